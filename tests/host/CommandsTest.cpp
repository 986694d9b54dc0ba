// The command protocol: loading, global and sequence commands, the options
// the effect sees, and the order of set-down.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "FakeEffect.h"

using fake::Call;
using ::testing::AllOf;
using ::testing::HasSubstr;

namespace {

TEST(PluginTest, LoadFailuresNameThePathAndTheReason)
{
#ifdef _WIN32
    const std::string library = "kernel32.dll";
#else
    const std::string library = "libm.so.6";
#endif
    const std::string missing = "/no/such/dir/effect.plugin";
    EXPECT_THAT([&] { host::Plugin::load(missing); },
                ::testing::ThrowsMessage<host::HostError>(
                    AllOf(HasSubstr(missing), HasSubstr("cannot load"))));
    EXPECT_THAT([&] { host::Plugin::load(library); },
                ::testing::ThrowsMessage<host::HostError>(
                    AllOf(HasSubstr(library), HasSubstr("does not export EntryPointFunc"))));
}

TEST(HostOptionsTest, GlobalSetupIsRecordedAndTheOptionsReachTheEffect)
{
    fake::FakeEffect fx;
    fx.out_flags = PF_OutFlag_I_DO_DIALOG | PF_OutFlag_DEEP_COLOR_AWARE;
    PF_InData seen{};
    void *window = nullptr, *bundle = nullptr;
    PF_Err unknown = PF_Err_NONE;
    const void *withheld = &seen, *fallback = nullptr;
    fx.does(PF_Cmd_ABOUT, [&](Call &c) {
        seen = *c.in;
        c.in->utils->get_platform_data(c.ref(), PF_PlatData_MAIN_WND, &window);
        unknown = c.in->utils->get_platform_data(c.ref(), PF_PlatData_BUNDLE_REF, &bundle);
        withheld = fake::Acquire<void>(c.in, kPFWorldSuite, 2);
        fallback = fake::Acquire<void>(c.in, kPFWorldSuite, 1);
        c.in->pica_basicP->ReleaseSuite(kPFWorldSuite, 1);
    });
    int marker = 0;
    host::HostOptions options;
    options.spec_minor = 11;
    options.spec_major = 12;
    options.main_window = &marker;
    options.withheld_suites.push_back({kPFWorldSuite, 2});  // the effect falls back to 1
    host::Effect effect(fx.plugin(), options);
    effect.about();
    EXPECT_EQ(window, &marker);
    EXPECT_NE(unknown, PF_Err_NONE);
    EXPECT_EQ(withheld, nullptr);
    EXPECT_NE(fallback, nullptr);
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
    EXPECT_EQ(effect.version(), 0x00080001u);
    EXPECT_EQ(effect.outFlags(), fx.out_flags);
    EXPECT_EQ(seen.appl_id, 0x46585443);
    EXPECT_EQ(seen.version.major, 12);
    EXPECT_EQ(seen.version.minor, 11);
    EXPECT_EQ(fx.calls, (std::vector<PF_Cmd>{PF_Cmd_GLOBAL_SETUP, PF_Cmd_ABOUT}));
}

using CommandsTest = fake::WithEffect<>;

std::vector<unsigned char> Bytes(const std::string &s)
{
    return std::vector<unsigned char>(s.begin(), s.end());
}

TEST_F(CommandsTest, FlattenAndResetupReplaceTheSequenceDataAndTheHostTakesTheOldHandle)
{
    PF_Handle old = nullptr;
    std::string received;
    // Each command leaves the handle it got to the host and hands back a new one.
    auto replace = [&](const char *bytes) {
        return [&, bytes](Call &c) {
            old = c.in->sequence_data;
            if (old) {
                received.assign(static_cast<const char *>(*old),
                                c.in->utils->host_get_handle_size(old));
            }
            c.out->sequence_data = c.in->utils->host_new_handle(std::strlen(bytes));
            std::memcpy(*c.out->sequence_data, bytes, std::strlen(bytes));
        };
    };
    fx.does(PF_Cmd_SEQUENCE_SETUP, replace("livedata"));
    fx.does(PF_Cmd_SEQUENCE_FLATTEN, replace("flat"));
    fx.does(PF_Cmd_SEQUENCE_RESETUP, replace("again"));
    fx.does(PF_Cmd_UPDATE_PARAMS_UI, [&old](Call &c) { c.in->utils->host_get_handle_size(old); });
    host::Instance inst = effect.newInstance(8, 8);
    EXPECT_EQ(inst.sequenceData(), Bytes("livedata"));
    ASSERT_TRUE(inst.sequenceFlatten().ok());
    EXPECT_EQ(received, "livedata");
    EXPECT_EQ(inst.sequenceData(), Bytes("flat"));
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
    inst.updateParamsUI();
    EXPECT_TRUE(fake::FaultsAre(effect, {"host_get_handle_size of a disposed handle"}));
    effect.clearFaults();
    ASSERT_TRUE(inst.sequenceResetup({'q', 'e', 's', 'p', 1, 0, 0, 0, 9}).ok());
    EXPECT_EQ(received, std::string("qesp\x01\x00\x00\x00\x09", 9));
    EXPECT_EQ(inst.sequenceData(), Bytes("again"));
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST_F(CommandsTest, ShutdownSetsDownInstancesBeforeTheEffect)
{
    host::Instance a = effect.newInstance(8, 8);
    host::Instance b = effect.newInstance(8, 8);
    fx.calls.clear();
    effect.shutdown();
    EXPECT_EQ(fx.calls, (std::vector<PF_Cmd>{PF_Cmd_SEQUENCE_SETDOWN, PF_Cmd_SEQUENCE_SETDOWN,
                                             PF_Cmd_GLOBAL_SETDOWN}));
    EXPECT_TRUE(a.closed());
    EXPECT_THROW(a.updateParamsUI(), host::HostError);
    EXPECT_THROW(effect.about(), host::HostError);
}

TEST_F(CommandsTest, QueryDynamicFlagsMayChangeOnlyTheDynamicFlags)
{
    fx.out_flags = PF_OutFlag_WIDE_TIME_INPUT;
    fx.does(PF_Cmd_QUERY_DYNAMIC_FLAGS, [](Call &c) {
        EXPECT_EQ(c.out->out_flags, PF_OutFlag_WIDE_TIME_INPUT);  // starts from global set-up
        c.out->out_flags &= ~PF_OutFlag_WIDE_TIME_INPUT;
        c.out->out_flags |= PF_OutFlag_I_DO_DIALOG;
    });
    host::Instance inst = effect.newInstance(8, 8);
    EXPECT_EQ(inst.queryDynamicFlags().out_flags, PF_OutFlag_I_DO_DIALOG);
    EXPECT_TRUE(fake::FaultsAre(effect, {"out_flags 32 changed"}));
}

TEST_F(CommandsTest, FailedSequenceSetupRefusesTheInstance)
{
    fx.on(PF_Cmd_SEQUENCE_SETUP, [](Call &c) -> PF_Err {
        std::strcpy(c.out->return_msg, "no memory");
        return PF_Err_OUT_OF_MEMORY;
    });
    EXPECT_THAT([&] { effect.newInstance(8, 8); },
                ::testing::ThrowsMessage<host::HostError>(
                    ::testing::StrEq("SEQUENCE_SETUP failed with error 4: no memory")));
}

}  // namespace
