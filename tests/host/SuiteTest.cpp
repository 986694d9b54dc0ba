// The basic suite: which suites are offered or refused; and the services
// behind it: memory handles and the ANSI callbacks.
#include <gtest/gtest.h>

#include "FakeEffect.h"

using fake::Call;

namespace {

using SuiteTest = fake::WithEffect<>;

TEST_F(SuiteTest, OffersEachSuiteItServesAndRefusesOthersWithANullPointer)
{
    struct Probe {
        const char *name;
        A_long version;
        bool offered;
    };
    const Probe probes[] = {
        {kPFWorldSuite, 1, true},       {kPFWorldSuite, 2, true},
        {kPFWorldSuite, 3, false},      {kPFFillMatteSuite, 2, true},
        {kPFFillMatteSuite, 1, false},  {kPFWorldTransformSuite, 1, true},
        {kPFHandleSuite, 2, true},      {kPFHandleSuite, 1, false},
        {kPFParamUtilsSuite, 3, true},  {kPFParamUtilsSuite, 2, true},
        {kPFParamUtilsSuite, 1, false}, {"PF Iterate8 Suite", 1, false},
        {"pf world suite", 2, false},
    };
    during([&probes](PF_InData *in) {
        for (const Probe &p : probes) {
            SCOPED_TRACE(std::string(p.name) + " " + std::to_string(p.version));
            const void *suite = &probes;  // not null
            const SPErr err = in->pica_basicP->AcquireSuite(p.name, p.version, &suite);
            EXPECT_EQ(err == 0, p.offered);
            EXPECT_EQ(suite != nullptr, p.offered);
            if (err == 0) in->pica_basicP->ReleaseSuite(p.name, p.version);
        }
    });
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST_F(SuiteTest, HandlesFromEitherInterfaceResizeKeepingTheirContents)
{
    fx.on(PF_Cmd_SEQUENCE_SETUP, [](Call &c) -> PF_Err {
        auto *suite = fake::Acquire<PF_HandleSuite1>(c.in, kPFHandleSuite, kPFHandleSuiteVersion1);
        if (!suite) return PF_Err_BAD_CALLBACK_PARAM;
        PF_Handle h = suite->host_new_handle(24);
        EXPECT_EQ(c.in->utils->host_get_handle_size(h), 24u);
        auto *p = static_cast<unsigned char *>(suite->host_lock_handle(h));
        EXPECT_EQ(p, *h);
        for (int i = 0; i < 24; ++i) p[i] = static_cast<unsigned char>(i + 1);
        c.in->utils->host_unlock_handle(h);
        EXPECT_EQ(c.in->utils->host_resize_handle(100, &h), PF_Err_NONE);
        EXPECT_EQ(suite->host_get_handle_size(h), 100u);
        c.in->pica_basicP->ReleaseSuite(kPFHandleSuite, kPFHandleSuiteVersion1);
        c.out->sequence_data = h;
        return PF_Err_NONE;
    });
    host::Instance inst = effect.newInstance(8, 8);
    const std::vector<unsigned char> data = inst.sequenceData();
    ASSERT_EQ(data.size(), 100u);
    for (int i = 0; i < 24; ++i) EXPECT_EQ(data[i], i + 1) << i;
    EXPECT_EQ(data[24], 0);  // the grown part starts cleared
    inst.sequenceSetdown();
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST_F(SuiteTest, AnsiCallbacksFormatAndCopyIntoTheMessage)
{
    fx.does(PF_Cmd_ABOUT, [](Call &c) {
        char name[16];
        c.in->utils->ansi.strcpy(name, "Dots");
        c.in->utils->ansi.sprintf(c.out->return_msg, "%s %d.%d\r%05.1f", name, 1, 5, 2.5);
        EXPECT_DOUBLE_EQ(c.in->utils->ansi.atan2(1.0, 1.0) * 4.0, 3.141592653589793);
        EXPECT_DOUBLE_EQ(c.in->utils->ansi.hypot(3.0, 4.0), 5.0);
    });
    EXPECT_EQ(effect.about().message, "Dots 1.5\r002.5");
}

}  // namespace
