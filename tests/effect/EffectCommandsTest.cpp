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

// Shuts the effect down (its instances first) and expects no protocol fault.
void ShutDownCleanly(host::Effect &effect)
{
    effect.shutdown();
    EXPECT_TRUE(effect.faults().empty()) << effect.faults().front();
}

std::uint32_t U32At(const std::vector<unsigned char> &bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// The live sequence record: 'pseq', not flat, size 24, version 1, and the
// default (zero) bytes after the header.
void ExpectFreshLiveRecord(const std::vector<unsigned char> &live)
{
    ASSERT_GE(live.size(), 24u);
    EXPECT_EQ(U32At(live, 0), 0x70736571u);  // 'pseq'
    EXPECT_EQ(U32At(live, 4), 0u);           // live
    EXPECT_EQ(U32At(live, 8), 24u);          // size, then version
    EXPECT_EQ(U32At(live, 12), 1u);
    EXPECT_EQ(live[16], 0);
}

TEST(EffectCommands, GlobalSetupReportsVersionAndFlags)
{
    host::Effect effect = LoadEffect();
    ASSERT_TRUE(effect.globalSetup().ok());
    EXPECT_EQ(effect.version(), 699907u);
    EXPECT_EQ(effect.outFlags(), 0x06000062);
    EXPECT_EQ(effect.outFlags2(), 0x00001419);
    ShutDownCleanly(effect);
}

TEST(EffectCommands, AboutNamesTheVersionAndAddsTheBuildWithShift)
{
    host::Effect effect = LoadEffect();
#ifdef _WIN32
    EXPECT_EQ(effect.about().message.rfind("Stipplex 1.5.5 Release\r\r", 0), 0u);
#else
    // Outside Windows there is no keyboard to ask; the platform layer reads a
    // held Shift key from the environment.
    for (const char *shift : {"0", "1"}) {
        setenv("STIPPLEX_SHIFT_KEY", shift, 1);
        const std::string text = effect.about().message;
        unsetenv("STIPPLEX_SHIFT_KEY");
        const char *want =
            *shift == '1' ? "Stipplex 1.5.5 Release build:3\r\r" : "Stipplex 1.5.5 Release\r\r";
        EXPECT_EQ(text.rfind(want, 0), 0u) << text;
    }
#endif
    ShutDownCleanly(effect);
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
    ShutDownCleanly(effect);
}

TEST(EffectCommands, FlattenWritesTheTwentyFourByteFormAndResetupReadsItBack)
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
    ExpectFreshLiveRecord(inst.sequenceData());
    ShutDownCleanly(effect);
}

TEST(EffectCommands, ResetupReadsItsOwnFlatFormAndGivesAFreshRecordForAnythingElse)
{
    host::Effect effect = LoadEffect();
    host::Instance inst = effect.newInstance(64, 48);
    // A flat form of version 2, with a reserved byte that must not survive.
    std::vector<unsigned char> flat = {'q', 'e', 's', 'p', 1, 0, 0, 0, 2, 0, 0, 0, 24, 0, 0, 0};
    flat.resize(24, 0);
    flat[16] = 0x5A;
    for (const auto &bytes : {std::vector<unsigned char>(flat.begin(), flat.begin() + 20),  // short
                              flat, std::vector<unsigned char>(24, 0x41)}) {  // not 'pseq'
        ASSERT_TRUE(inst.sequenceResetup(bytes).ok());
        ExpectFreshLiveRecord(inst.sequenceData());
    }
    // The same form at version 1 is the effect's own: read, reserved bytes and all.
    flat[8] = 1;
    ASSERT_TRUE(inst.sequenceResetup(flat).ok());
    EXPECT_EQ(inst.sequenceData().at(16), 0x5A);
    ShutDownCleanly(effect);
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
    ShutDownCleanly(effect);
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

#ifndef _WIN32
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
    bool Exists(const char *below) const { return std::filesystem::exists(config_ + below); }
    void Dialog(const char *answer, A_short major = 13, A_short minor = 28)
    {
        if (answer) {
            setenv("STIPPLEX_OPTIONS_ACTION", answer, 1);
        } else {
            unsetenv("STIPPLEX_OPTIONS_ACTION");
        }
        host::HostOptions options;
        options.spec_major = major;
        options.spec_minor = minor;
        host::Effect effect = LoadEffect(options);
        host::Instance inst = effect.newInstance(32, 32);
        EXPECT_TRUE(inst.doDialog().ok());
        ShutDownCleanly(effect);
    }
    std::string config_;
};

// Reset, and what a save stores: the tool's `defaults save|reset` tests,
// which go through this command.
TEST_F(HeadlessOptions, OnlyTheSaveAnswerOfAHostRecentEnoughStoresTheDefaults)
{
    Dialog(nullptr);
    Dialog("save", 12, 11);
    EXPECT_FALSE(Exists("/Tavro"));
    Dialog("save");
    EXPECT_TRUE(Exists("/Tavro/Panelry/Stipplex.ini"));
}
#endif

}  // namespace
