// The command protocol: loading, global and sequence commands, the order of
// set-down, and faults the runner itself detects.
#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>

#include "FakeEffect.h"

using fake::Call;

namespace {

TEST(PluginTest, LoadFailuresNameThePathAndTheReason)
{
    try {
        host::Plugin::load("/no/such/dir/effect.plugin");
        FAIL() << "loaded a missing file";
    } catch (const host::HostError &e) {
        EXPECT_NE(std::string(e.what()).find("/no/such/dir/effect.plugin"), std::string::npos);
        EXPECT_NE(std::string(e.what()).find("cannot load"), std::string::npos);
    }
#ifdef _WIN32
    const char *library = "kernel32.dll";
#else
    const char *library = "libm.so.6";
#endif
    try {
        host::Plugin::load(library);
        FAIL() << "found an entry point in " << library;
    } catch (const host::HostError &e) {
        EXPECT_NE(std::string(e.what()).find("does not export EntryPointFunc"), std::string::npos)
            << e.what();
    }
}

TEST(CommandsTest, GlobalSetupRecordsVersionAndFlagsAndInDataCarriesTheOptions)
{
    fake::FakeEffect fx;
    fx.out_flags = PF_OutFlag_I_DO_DIALOG | PF_OutFlag_DEEP_COLOR_AWARE;
    PF_InData seen{};
    fx.on(PF_Cmd_ABOUT, [&seen](Call &c) -> PF_Err {
        seen = *c.in;
        return PF_Err_NONE;
    });
    host::HostOptions options;
    options.spec_minor = 11;
    options.spec_major = 12;
    host::Effect effect(fx.plugin(), options);
    effect.about();
    EXPECT_EQ(effect.version(), 0x00080001u);
    EXPECT_EQ(effect.outFlags(), fx.out_flags);
    EXPECT_EQ(seen.appl_id, 0x46585443);
    EXPECT_EQ(seen.version.major, 12);
    EXPECT_EQ(seen.version.minor, 11);
    EXPECT_EQ(fx.calls, (std::vector<PF_Cmd>{PF_Cmd_GLOBAL_SETUP, PF_Cmd_ABOUT}));
}

TEST(CommandsTest, FloatAwareWithoutSmartRenderIsAFault)
{
    fake::FakeEffect fx;
    fx.out_flags2 = PF_OutFlag2_FLOAT_COLOR_AWARE;
    host::Effect effect(fx.plugin());
    effect.globalSetup();
    EXPECT_TRUE(fake::HasFault(effect.faults(), "GLOBAL_SETUP: PF_OutFlag2_FLOAT_COLOR_AWARE"));
}

class SequenceTest : public ::testing::Test {
protected:
    SequenceTest()
    {
        fx.on(PF_Cmd_SEQUENCE_SETUP, [](Call &c) -> PF_Err {
            c.out->sequence_data = c.in->utils->host_new_handle(8);
            std::memcpy(*c.out->sequence_data, "livedata", 8);
            return PF_Err_NONE;
        });
        // Flattening leaves the live handle to the host.
        fx.on(PF_Cmd_SEQUENCE_FLATTEN, [this](Call &c) -> PF_Err {
            old = c.in->sequence_data;
            c.out->sequence_data = c.in->utils->host_new_handle(4);
            std::memcpy(*c.out->sequence_data, "flat", 4);
            return PF_Err_NONE;
        });
        fx.on(PF_Cmd_SEQUENCE_RESETUP, [this](Call &c) -> PF_Err {
            const auto n = c.in->utils->host_get_handle_size(c.in->sequence_data);
            received.assign(static_cast<const char *>(*c.in->sequence_data), n);
            c.out->sequence_data = c.in->utils->host_new_handle(8);
            return PF_Err_NONE;
        });
    }

    fake::FakeEffect fx;
    PF_Handle old = nullptr;
    std::string received;
};

TEST_F(SequenceTest, FlattenReplacesTheDataAndTheHostTakesTheOldHandle)
{
    host::Effect effect(fx.plugin());
    host::Instance inst = effect.newInstance(8, 8);
    EXPECT_EQ(inst.sequenceData(),
              (std::vector<unsigned char>{'l', 'i', 'v', 'e', 'd', 'a', 't', 'a'}));
    inst.sequenceFlatten();
    EXPECT_EQ(inst.sequenceData(), (std::vector<unsigned char>{'f', 'l', 'a', 't'}));
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [this](Call &c) -> PF_Err {
        c.in->utils->host_get_handle_size(old);
        return PF_Err_NONE;
    });
    inst.updateParamsUI();
    const auto faults = effect.faults();
    ASSERT_EQ(faults.size(), 1u) << fake::Joined(faults);
    EXPECT_NE(faults[0].find("of a disposed handle"), std::string::npos);  // taken back
}

TEST_F(SequenceTest, LeavingTheReplacedHandleCanBeMadeAFault)
{
    host::HostOptions options;
    options.replaced_sequence_data_is_fault = true;
    host::Effect effect(fx.plugin(), options);
    host::Instance inst = effect.newInstance(8, 8);
    inst.sequenceFlatten();
    EXPECT_TRUE(fake::HasFault(effect.faults(), "SEQUENCE_FLATTEN: the replaced sequence data"));
}

TEST_F(SequenceTest, ResetupHandsSavedBytesToTheEffect)
{
    host::Effect effect(fx.plugin());
    host::Instance inst = effect.newInstance(8, 8);
    const std::vector<unsigned char> saved = {'q', 'e', 's', 'p', 1, 0, 0, 0, 9};
    ASSERT_TRUE(inst.sequenceResetup(saved).ok());
    EXPECT_EQ(received, std::string("qesp\x01\x00\x00\x00\x09", 9));
    EXPECT_EQ(inst.sequenceData().size(), 8u);
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST(CommandsTest, ShutdownSetsDownInstancesBeforeTheEffectAndChecksGlobalData)
{
    fake::FakeEffect fx;
    fx.on(PF_Cmd_GLOBAL_SETUP, [](Call &c) -> PF_Err {
        c.out->global_data = c.in->utils->host_new_handle(12);
        return PF_Err_NONE;
    });
    host::Effect effect(fx.plugin());
    host::Instance a = effect.newInstance(8, 8);
    host::Instance b = effect.newInstance(8, 8);
    fx.calls.clear();
    effect.shutdown();
    EXPECT_EQ(fx.calls, (std::vector<PF_Cmd>{PF_Cmd_SEQUENCE_SETDOWN, PF_Cmd_SEQUENCE_SETDOWN,
                                             PF_Cmd_GLOBAL_SETDOWN}));
    EXPECT_TRUE(a.closed());
    EXPECT_TRUE(fake::HasFault(effect.faults(), "GLOBAL_SETDOWN: global data (handle #"));
    EXPECT_THROW(a.updateParamsUI(), host::HostError);
    EXPECT_THROW(effect.about(), host::HostError);
}

TEST(CommandsTest, QueryDynamicFlagsMayChangeOnlyTheDynamicFlags)
{
    fake::FakeEffect fx;
    fx.out_flags = PF_OutFlag_WIDE_TIME_INPUT;
    fx.on(PF_Cmd_QUERY_DYNAMIC_FLAGS, [](Call &c) -> PF_Err {
        EXPECT_EQ(c.out->out_flags, PF_OutFlag_WIDE_TIME_INPUT);  // starts from global set-up
        c.out->out_flags &= ~PF_OutFlag_WIDE_TIME_INPUT;
        c.out->out_flags |= PF_OutFlag_I_DO_DIALOG;
        return PF_Err_NONE;
    });
    host::Effect effect(fx.plugin());
    host::Instance inst = effect.newInstance(8, 8);
    const host::CommandResult r = inst.queryDynamicFlags();
    EXPECT_EQ(r.out_flags, PF_OutFlag_I_DO_DIALOG);
    const auto faults = effect.faults();
    ASSERT_EQ(faults.size(), 1u) << fake::Joined(faults);
    EXPECT_NE(faults[0].find("out_flags 32 changed"), std::string::npos) << faults[0];
}

TEST(CommandsTest, ExceptionThroughTheEntryPointIsAFaultAndAnError)
{
    fake::FakeEffect fx;
    fx.on(PF_Cmd_ABOUT, [](Call &) -> PF_Err { throw std::runtime_error("boom"); });
    host::Effect effect(fx.plugin());
    EXPECT_EQ(effect.about().err, PF_Err_INTERNAL_STRUCT_DAMAGED);
    EXPECT_TRUE(fake::HasFault(effect.faults(), "ABOUT: an exception escaped the entry point"));
}

TEST(CommandsTest, FailedSequenceSetupRefusesTheInstance)
{
    fake::FakeEffect fx;
    fx.on(PF_Cmd_SEQUENCE_SETUP, [](Call &c) -> PF_Err {
        std::strcpy(c.out->return_msg, "no memory");
        return PF_Err_OUT_OF_MEMORY;
    });
    host::Effect effect(fx.plugin());
    try {
        effect.newInstance(8, 8);
        FAIL() << "an instance despite the failed set-up";
    } catch (const host::HostError &e) {
        EXPECT_STREQ(e.what(), "SEQUENCE_SETUP failed with error 4: no memory");
    }
}

}  // namespace
