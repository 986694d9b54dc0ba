// Memory handles: sizes and contents, and the faults of unpaired locks,
// leaks and use after disposal.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeEffect.h"

using fake::Call;

namespace {

class HandleTest : public ::testing::Test {
protected:
    fake::FakeEffect fx;
    host::Effect effect{fx.plugin()};
};

TEST_F(HandleTest, ResizeKeepsContentsAndReportsTheNewSize)
{
    fx.on(PF_Cmd_SEQUENCE_SETUP, [](Call &c) -> PF_Err {
        PF_Handle h = c.in->utils->host_new_handle(24);
        EXPECT_EQ(c.in->utils->host_get_handle_size(h), 24u);
        auto *p = static_cast<unsigned char *>(c.in->utils->host_lock_handle(h));
        for (int i = 0; i < 24; ++i) p[i] = static_cast<unsigned char>(i + 1);
        c.in->utils->host_unlock_handle(h);
        EXPECT_EQ(c.in->utils->host_resize_handle(100, &h), PF_Err_NONE);
        EXPECT_EQ(c.in->utils->host_get_handle_size(h), 100u);
        c.out->sequence_data = h;
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(8, 8);
    const std::vector<unsigned char> data = inst.sequenceData();
    ASSERT_EQ(data.size(), 100u);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(data[i], i + 1) << i;
    EXPECT_EQ(data[24], 0);  // the grown part starts cleared
    inst.sequenceSetdown();
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(HandleTest, LockWithoutUnlockIsAFault)
{
    fx.on(PF_Cmd_SEQUENCE_SETUP, [](Call &c) -> PF_Err {
        c.out->sequence_data = c.in->utils->host_new_handle(4);
        return PF_Err_NONE;
    });
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [](Call &c) -> PF_Err {
        EXPECT_NE(c.in->utils->host_lock_handle(c.in->sequence_data), nullptr);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(8, 8);
    inst.updateParamsUI();
    const auto faults = effect.faults();
    ASSERT_EQ(faults.size(), 1u) << fake::Joined(faults);
    EXPECT_NE(faults[0].find("UPDATE_PARAMS_UI: handle #"), std::string::npos) << faults[0];
    EXPECT_NE(faults[0].find("locked 1 time(s), unlocked 0 time(s)"), std::string::npos);
}

TEST_F(HandleTest, HandleNeitherDisposedNorHandedBackIsALeak)
{
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [](Call &c) -> PF_Err {
        c.in->utils->host_new_handle(16);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(8, 8);
    inst.updateParamsUI();
    EXPECT_TRUE(fake::HasFault(effect.faults(), "of 16 bytes was neither disposed of nor handed"))
        << fake::Joined(effect.faults());
}

TEST_F(HandleTest, SequenceDataHandedBackAndDisposedAtSetdownIsClean)
{
    fx.on(PF_Cmd_SEQUENCE_SETUP, [](Call &c) -> PF_Err {
        c.out->sequence_data = c.in->utils->host_new_handle(32);
        return PF_Err_NONE;
    });
    {
        host::Instance inst = effect.newInstance(8, 8);
        EXPECT_TRUE(inst.hasSequenceData());
    }  // SEQUENCE_SETDOWN; the default handler disposes of the data
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(HandleTest, SequenceDataLeftAtSetdownIsAFault)
{
    fx.on(PF_Cmd_SEQUENCE_SETUP, [](Call &c) -> PF_Err {
        c.out->sequence_data = c.in->utils->host_new_handle(32);
        return PF_Err_NONE;
    });
    fx.on(PF_Cmd_SEQUENCE_SETDOWN, [](Call &) -> PF_Err { return PF_Err_NONE; });
    host::Instance inst = effect.newInstance(8, 8);
    inst.sequenceSetdown();
    EXPECT_TRUE(inst.closed());
    EXPECT_TRUE(fake::HasFault(effect.faults(), "SEQUENCE_SETDOWN: sequence data (handle #"))
        << fake::Joined(effect.faults());
}

TEST_F(HandleTest, UseOfADisposedHandleIsAFaultAndYieldsNull)
{
    void *locked = reinterpret_cast<void *>(1);
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [&locked](Call &c) -> PF_Err {
        PF_Handle h = c.in->utils->host_new_handle(8);
        c.in->utils->host_dispose_handle(h);
        locked = c.in->utils->host_lock_handle(h);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(8, 8);
    inst.updateParamsUI();
    EXPECT_EQ(locked, nullptr);
    EXPECT_TRUE(fake::HasFault(effect.faults(), "host_lock_handle of a disposed handle #"))
        << fake::Joined(effect.faults());
}

TEST_F(HandleTest, ForeignPointerIsAnUnknownHandle)
{
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [](Call &c) -> PF_Err {
        void *block[2] = {nullptr, nullptr};
        EXPECT_EQ(c.in->utils->host_get_handle_size(reinterpret_cast<PF_Handle>(block)), 0u);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(8, 8);
    inst.updateParamsUI();
    EXPECT_TRUE(fake::HasFault(effect.faults(), "host_get_handle_size of an unknown handle"))
        << fake::Joined(effect.faults());
}

TEST_F(HandleTest, UnlockOfAnUnlockedHandleAndResizeWhileLockedAreFaults)
{
    PF_Err resized = PF_Err_NONE;
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [&resized](Call &c) -> PF_Err {
        PF_Handle h = c.in->utils->host_new_handle(8);
        c.in->utils->host_unlock_handle(h);
        c.in->utils->host_lock_handle(h);
        resized = c.in->utils->host_resize_handle(16, &h);
        c.in->utils->host_unlock_handle(h);
        c.in->utils->host_dispose_handle(h);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(8, 8);
    inst.updateParamsUI();
    EXPECT_NE(resized, PF_Err_NONE);
    const auto faults = effect.faults();
    EXPECT_TRUE(fake::HasFault(faults, "which is not locked")) << fake::Joined(faults);
    EXPECT_TRUE(fake::HasFault(faults, "host_resize_handle of handle #")) << fake::Joined(faults);
    EXPECT_EQ(faults.size(), 2u) << fake::Joined(faults);
}

TEST_F(HandleTest, HandleSuiteServesTheSameHandles)
{
    fx.on(PF_Cmd_UPDATE_PARAMS_UI, [](Call &c) -> PF_Err {
        auto *suite = fake::Acquire<PF_HandleSuite1>(c.in, kPFHandleSuite, kPFHandleSuiteVersion1);
        EXPECT_NE(suite, nullptr);
        if (!suite) return PF_Err_BAD_CALLBACK_PARAM;
        PF_Handle h = suite->host_new_handle(40);
        EXPECT_EQ(c.in->utils->host_get_handle_size(h), 40u);
        EXPECT_EQ(suite->host_lock_handle(h), *h);
        suite->host_unlock_handle(h);
        c.in->utils->host_dispose_handle(h);
        c.in->pica_basicP->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion1);
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(8, 8);
    EXPECT_TRUE(inst.updateParamsUI().ok());
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

}  // namespace
