// The basic suite: which suites are offered, refused or withheld, and the
// faults of unpaired acquisitions; plus the ANSI and platform callbacks.
#include <gtest/gtest.h>

#include <cstring>

#include "FakeEffect.h"

using fake::Call;

namespace {

TEST(SuiteTest, OffersEachSuiteItServesAndRefusesOthersWithANullPointer)
{
    fake::FakeEffect fx;
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
    fx.on(PF_Cmd_ABOUT, [&probes](Call &c) -> PF_Err {
        for (const Probe &p : probes) {
            const void *suite = reinterpret_cast<const void *>(&probes);  // not null
            const SPErr err = c.in->pica_basicP->AcquireSuite(p.name, p.version, &suite);
            EXPECT_EQ(err == 0, p.offered) << p.name << " " << p.version;
            EXPECT_EQ(suite != nullptr, p.offered) << p.name << " " << p.version;
            if (err == 0) c.in->pica_basicP->ReleaseSuite(p.name, p.version);
        }
        return PF_Err_NONE;
    });
    host::Effect effect(fx.plugin());
    EXPECT_TRUE(effect.about().ok());
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST(SuiteTest, WithheldVersionIsRefusedSoTheEffectCanFallBack)
{
    fake::FakeEffect fx;
    A_long got = 0;
    fx.on(PF_Cmd_ABOUT, [&got](Call &c) -> PF_Err {
        const void *s = nullptr;
        if (c.in->pica_basicP->AcquireSuite(kPFWorldSuite, 2, &s) == 0) {
            got = 2;
            c.in->pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
        } else if (c.in->pica_basicP->AcquireSuite(kPFWorldSuite, 1, &s) == 0) {
            got = 1;
            c.in->pica_basicP->ReleaseSuite(kPFWorldSuite, 1);
        }
        return PF_Err_NONE;
    });
    host::HostOptions options;
    options.withheld_suites.push_back({kPFWorldSuite, 2});
    host::Effect effect(fx.plugin(), options);
    effect.about();
    EXPECT_EQ(got, 1);
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST(SuiteTest, UnreleasedAndOverReleasedSuitesAreFaults)
{
    fake::FakeEffect fx;
    fx.on(PF_Cmd_ABOUT, [](Call &c) -> PF_Err {
        const void *s = nullptr;
        c.in->pica_basicP->AcquireSuite(kPFFillMatteSuite, 2, &s);
        c.in->pica_basicP->AcquireSuite(kPFWorldSuite, 2, &s);
        c.in->pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
        c.in->pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
        return PF_Err_NONE;
    });
    host::Effect effect(fx.plugin());
    effect.about();
    const auto faults = effect.faults();
    EXPECT_TRUE(fake::HasFault(
        faults, "ABOUT: suite \"PF Fill Matte Suite\" version 2 acquired 1 time(s), released 0"))
        << fake::Joined(faults);
    EXPECT_TRUE(fake::HasFault(faults, "\"PF World Suite\" version 2 more often than it was"))
        << fake::Joined(faults);
}

TEST(SuiteTest, AnsiCallbacksFormatAndCopyIntoTheMessage)
{
    fake::FakeEffect fx;
    fx.on(PF_Cmd_ABOUT, [](Call &c) -> PF_Err {
        char name[16];
        c.in->utils->ansi.strcpy(name, "Dots");
        c.in->utils->ansi.sprintf(c.out->return_msg, "%s %d.%d\r%05.1f", name, 1, 5, 2.5);
        EXPECT_DOUBLE_EQ(c.in->utils->ansi.atan2(1.0, 1.0) * 4.0, 3.141592653589793);
        EXPECT_DOUBLE_EQ(c.in->utils->ansi.hypot(3.0, 4.0), 5.0);
        return PF_Err_NONE;
    });
    host::Effect effect(fx.plugin());
    EXPECT_EQ(effect.about().message, "Dots 1.5\r002.5");
}

TEST(SuiteTest, OverlongMessageIsAFault)
{
    fake::FakeEffect fx;
    fx.on(PF_Cmd_ABOUT, [](Call &c) -> PF_Err {
        std::memset(c.out->return_msg, 'x', sizeof c.out->return_msg);
        return PF_Err_NONE;
    });
    host::Effect effect(fx.plugin());
    EXPECT_EQ(effect.about().message.size(), 256u);
    EXPECT_TRUE(fake::HasFault(effect.faults(), "return_msg is not terminated"));
}

TEST(SuiteTest, PlatformDataGivesTheMainWindow)
{
    fake::FakeEffect fx;
    void *window = nullptr;
    PF_Err unknown = PF_Err_NONE;
    fx.on(PF_Cmd_ABOUT, [&](Call &c) -> PF_Err {
        c.in->utils->get_platform_data(c.in->effect_ref, PF_PlatData_MAIN_WND, &window);
        void *ignored = nullptr;
        unknown =
            c.in->utils->get_platform_data(c.in->effect_ref, PF_PlatData_BUNDLE_REF, &ignored);
        return PF_Err_NONE;
    });
    int marker = 0;
    host::HostOptions options;
    options.main_window = &marker;
    host::Effect effect(fx.plugin(), options);
    effect.about();
    EXPECT_EQ(window, &marker);
    EXPECT_NE(unknown, PF_Err_NONE);
}

TEST(SuiteTest, CallbackWithAStaleEffectRefIsRefused)
{
    fake::FakeEffect fx;
    PF_ProgPtr kept = nullptr;
    PF_Err late = PF_Err_NONE;
    fx.on(PF_Cmd_GLOBAL_SETUP, [&kept](Call &c) -> PF_Err {
        kept = c.in->effect_ref;
        return PF_Err_NONE;
    });
    fx.on(PF_Cmd_ABOUT, [&](Call &c) -> PF_Err {
        PF_Pixel black{};
        PF_EffectWorld w{};
        late = c.in->utils->fill(kept, &black, nullptr, &w);
        return PF_Err_NONE;
    });
    host::Effect effect(fx.plugin());
    effect.about();
    EXPECT_EQ(late, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(fake::HasFault(effect.faults(),
                               "ABOUT: fill with an effect_ref that belongs to no running command"))
        << fake::Joined(effect.faults());
}

TEST(SuiteTest, UnsupportedServiceAnswersAnErrorAndIsAFault)
{
    fake::FakeEffect fx;
    PF_Err err = PF_Err_NONE;
    fx.on(PF_Cmd_ABOUT, [&err](Call &c) -> PF_Err {
        err = c.in->utils->premultiply(c.in->effect_ref, 1, nullptr);
        return PF_Err_NONE;
    });
    host::Effect effect(fx.plugin());
    effect.about();
    EXPECT_EQ(err, PF_Err_INVALID_CALLBACK);
    EXPECT_TRUE(fake::HasFault(effect.faults(), "premultiply is not supported by this host"));
}

}  // namespace
