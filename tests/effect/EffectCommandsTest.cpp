// The real plug-in driven through our host: the commands that are not about
// rendering or parameters.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "host/Host.h"

extern "C" PF_Err EntryPointFunc(PF_Cmd, PF_InData *, PF_OutData *, PF_ParamDef *[], PF_LayerDef *,
                                 void *);

namespace {

host::Effect LoadEffect(host::HostOptions options = {})
{
    return host::Effect(host::Plugin::load(STIPPLEX_PLUGIN_PATH), options);
}

std::uint32_t U32At(const std::vector<unsigned char> &bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

#ifndef _WIN32
// Outside Windows there is no keyboard to ask; the platform layer reads a
// held Shift key from the environment.
class ShiftKey {
public:
    explicit ShiftKey(bool down) { setenv("STIPPLEX_SHIFT_KEY", down ? "1" : "0", 1); }
    ~ShiftKey() { unsetenv("STIPPLEX_SHIFT_KEY"); }
};
#endif

TEST(EffectCommands, GlobalSetupReportsVersionAndFlags)
{
    host::Effect effect = LoadEffect();
    ASSERT_TRUE(effect.globalSetup().ok());
    EXPECT_EQ(effect.version(), 699907u);
    EXPECT_EQ(effect.outFlags(), 0x06000062);
    EXPECT_EQ(effect.outFlags2(), 0x00001419);
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
}

TEST(EffectCommands, AboutNamesTheVersionAndAddsTheBuildWithShift)
{
    host::Effect effect = LoadEffect();
#ifdef _WIN32
    const std::string text = effect.about().message;
    EXPECT_EQ(text.rfind("Stipplex 1.5.5 Release\r\r", 0), 0u) << text;
#else
    {
        ShiftKey shift(false);
        const std::string text = effect.about().message;
        EXPECT_EQ(text.rfind("Stipplex 1.5.5 Release\r\r", 0), 0u) << text;
    }
    {
        ShiftKey shift(true);
        const std::string text = effect.about().message;
        EXPECT_EQ(text.rfind("Stipplex 1.5.5 Release build:3\r\r", 0), 0u) << text;
    }
#endif
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty());
}

TEST(EffectCommands, AnotherHostApplicationGetsBadCallbackParamForEverything)
{
    host::HostOptions options;
    options.appl_id = 0x50724D72;  // 'PrMr'
    host::Effect effect = LoadEffect(options);
    for (PF_Cmd cmd : {PF_Cmd_ABOUT, PF_Cmd_GLOBAL_SETUP, PF_Cmd_PARAMS_SETUP}) {
        const host::CommandResult r = effect.send(cmd);
        EXPECT_EQ(r.err, PF_Err_BAD_CALLBACK_PARAM) << host::CommandName(cmd);
        EXPECT_EQ(r.message, "");
    }
}

TEST(EffectCommands, CommandsWithoutAHandlerSucceedDoingNothing)
{
    host::Effect effect = LoadEffect();
    ASSERT_TRUE(effect.globalSetup().ok());
    for (PF_Cmd cmd : {2, 10, 12, 16, 17, 19, 25, 33}) {
        const host::CommandResult r = effect.send(cmd);
        EXPECT_EQ(r.err, PF_Err_NONE) << cmd;
        EXPECT_EQ(r.message, "");
    }
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty());
}

TEST(EffectCommands, FlattenWritesTheTwentyFourByteForm)
{
    host::Effect effect = LoadEffect();
    host::Instance inst = effect.newInstance(64, 48);
    ASSERT_TRUE(inst.sequenceFlatten().ok());
    const std::vector<unsigned char> flat = inst.sequenceData();
    ASSERT_EQ(flat.size(), 24u);
    EXPECT_EQ(std::string(flat.begin(), flat.begin() + 4), "qesp");
    EXPECT_EQ(U32At(flat, 4), 1u);  // flat flag
    EXPECT_EQ(U32At(flat, 8), 1u);  // version comes before size here
    EXPECT_EQ(U32At(flat, 12), 24u);
    EXPECT_EQ(U32At(flat, 16), 0u);
    EXPECT_EQ(U32At(flat, 20), 0u);

    ASSERT_TRUE(inst.sequenceResetup().ok());
    const std::vector<unsigned char> live = inst.sequenceData();
    ASSERT_GE(live.size(), 16u);
    EXPECT_EQ(U32At(live, 0), 0x70736571u);  // 'pseq'
    EXPECT_EQ(U32At(live, 4), 0u);           // live
    EXPECT_EQ(U32At(live, 8), 24u);          // size, then version
    EXPECT_EQ(U32At(live, 12), 1u);
    inst.sequenceSetdown();
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
}

TEST(EffectCommands, ResetupOfUnrecognisedDataGivesAFreshRecord)
{
    host::Effect effect = LoadEffect();
    host::Instance inst = effect.newInstance(64, 48);
    std::vector<unsigned char> flat(24, 0);
    const unsigned char header[] = {'q', 'e', 's', 'p', 1, 0, 0, 0, 2, 0, 0, 0, 24, 0, 0, 0};
    std::memcpy(flat.data(), header, sizeof header);
    flat[16] = 0x5A;
    const std::vector<std::vector<unsigned char>> cases = {
        std::vector<unsigned char>(flat.begin(), flat.begin() + 20),  // too short
        flat,                                                         // version 2
        std::vector<unsigned char>(24, 0x41),                         // not 'pseq'
    };
    for (const auto &bytes : cases) {
        ASSERT_TRUE(inst.sequenceResetup(bytes).ok());
        const std::vector<unsigned char> live = inst.sequenceData();
        ASSERT_GE(live.size(), 24u);
        EXPECT_EQ(U32At(live, 0), 0x70736571u);
        EXPECT_EQ(U32At(live, 4), 0u);
        EXPECT_EQ(U32At(live, 8), 24u);
        EXPECT_EQ(U32At(live, 12), 1u);
        EXPECT_EQ(live[16], 0);  // reserved bytes are the defaults, not 0x5A
    }
    inst.sequenceSetdown();
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
}

TEST(EffectCommands, QueryDynamicFlagsFollowsTheRandomInterval)
{
    host::Effect effect = LoadEffect();
    host::Instance inst = effect.newInstance(64, 48);
    const int interval = inst.indexOfId(20);
    inst.setSlider(interval, 0);
    host::CommandResult r = inst.queryDynamicFlags();
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.out_flags & PF_OutFlag_WIDE_TIME_INPUT, 0);
    inst.setSlider(interval, 4);
    r = inst.queryDynamicFlags();
    EXPECT_EQ(r.out_flags & PF_OutFlag_WIDE_TIME_INPUT, PF_OutFlag_WIDE_TIME_INPUT);
    inst.sequenceSetdown();
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
}

TEST(EffectCommands, MissingBasicSuiteIsReportedAsAnIntegerError)
{
    // Straight into the entry point: no host hands out a null basic suite.
    PF_InData in{};
    PF_OutData out{};
    in.appl_id = 0x46585443;
    const PF_Err err = EntryPointFunc(PF_Cmd_ABOUT, &in, &out, nullptr, nullptr, nullptr);
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_STREQ(out.return_msg, "error code = 516\nPF_Err_BAD_CALLBACK_PARAM");
}

}  // namespace

#ifndef _WIN32
namespace {

// DO_DIALOG where no dialog can be shown: the answer comes from the
// environment, and without one nothing changes.
class HeadlessOptions : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/stipplex-options-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        config_ = pattern;
        setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("STIPPLEX_OPTIONS_ACTION");
        unsetenv("XDG_CONFIG_HOME");
        std::filesystem::remove_all(config_);
    }
    bool DefaultsFileExists() const
    {
        return std::filesystem::exists(config_ + "/Tavro/Panelry/Stipplex.ini");
    }
    bool TavroFolderExists() const { return std::filesystem::exists(config_ + "/Tavro"); }
    void Dialog(const char *answer, host::HostOptions options = {})
    {
        if (answer) {
            setenv("STIPPLEX_OPTIONS_ACTION", answer, 1);
        } else {
            unsetenv("STIPPLEX_OPTIONS_ACTION");
        }
        host::Effect effect = LoadEffect(options);
        host::Instance inst = effect.newInstance(32, 32);
        EXPECT_TRUE(inst.doDialog().ok());
        inst.sequenceSetdown();
        effect.shutdown();
        EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
    }
    std::string config_;
};

TEST_F(HeadlessOptions, WithoutAnAnswerNothingChanges)
{
    Dialog(nullptr);
    EXPECT_FALSE(DefaultsFileExists());
    EXPECT_FALSE(TavroFolderExists());
}

TEST_F(HeadlessOptions, SaveWritesTheFileAndResetRemovesItWithItsFolders)
{
    Dialog("save");
    EXPECT_TRUE(DefaultsFileExists());
    Dialog("reset");
    EXPECT_FALSE(DefaultsFileExists());
    EXPECT_FALSE(TavroFolderExists());
}

TEST_F(HeadlessOptions, HostsTooOldForStoredDefaultsCannotSave)
{
    host::HostOptions old;
    old.spec_major = 12;
    old.spec_minor = 11;
    Dialog("save", old);
    EXPECT_FALSE(DefaultsFileExists());
}

}  // namespace
#endif
