// Worlds: padded rows, formats, and the effect's own worlds through the
// utility callbacks and the World Suites.
#include <gtest/gtest.h>

#include "FakeEffect.h"

using fake::Call;

namespace {

TEST(WorldTest, RowsArePaddedAndWritesPastARowEndAreSeen)
{
    host::World w(5, 3, host::Depth::k8);
    const A_long packed = 5 * 4;
    EXPECT_GE(w.rowbytes() - packed, 16);
    EXPECT_LE(w.rowbytes() - packed, 64);
    EXPECT_TRUE(w.paddingIntact());
    EXPECT_EQ(w.px8(4, 2).alpha, 0);  // new worlds are transparent black
    w.px8(4, 2) = PF_Pixel8{255, 1, 2, 3};
    EXPECT_TRUE(w.paddingIntact());
    w.row(1)[packed] = 0;  // the first byte after row 1
    EXPECT_FALSE(w.paddingIntact());
}

TEST(WorldTest, WideExplicitPaddingIsCheckedToItsLastByte)
{
    host::World w(3, 2, host::Depth::k16, 400);
    EXPECT_EQ(w.rowbytes(), 3 * 8 + 400);
    EXPECT_TRUE(w.paddingIntact());
    unsigned char &last = w.row(0)[w.rowbytes() - 1];
    last = 0;
    EXPECT_FALSE(w.paddingIntact());
    last = host::World::kPadSentinel;
    EXPECT_TRUE(w.paddingIntact());
    w.row(1)[3 * 8 + 399 + 1] = 0;  // the first guard byte after the block
    EXPECT_FALSE(w.paddingIntact());
}

TEST(WorldTest, EachDepthHasItsPixelSizeAndRefusesOtherAccess)
{
    host::World w16(3, 2, host::Depth::k16);
    host::World wf(3, 2, host::Depth::k32);
    EXPECT_GE(w16.rowbytes(), 3 * 8 + 16);
    EXPECT_GE(wf.rowbytes(), 3 * 16 + 16);
    EXPECT_EQ(w16.pixelFormat(), PF_PixelFormat_ARGB64);
    EXPECT_EQ(wf.pixelFormat(), PF_PixelFormat_ARGB128);
    EXPECT_TRUE(w16.pf()->world_flags & PF_WorldFlag_DEEP);
    EXPECT_FALSE(wf.pf()->world_flags & PF_WorldFlag_DEEP);
    EXPECT_THROW(w16.px8(0, 0), host::HostError);
    EXPECT_THROW(wf.pxF(3, 0), host::HostError);
}

TEST(WorldTest, CopyKeepsPixelsOriginAndGeometry)
{
    host::World a(4, 2, host::Depth::k16);
    a.px16(3, 1) = PF_Pixel16{32768, 1, 2, 3};
    a.setOrigin(-7, 9);
    host::World b = a;
    EXPECT_TRUE(b.samePixels(a));
    EXPECT_EQ(b.originX(), -7);
    EXPECT_EQ(b.originY(), 9);
    EXPECT_NE(b.pf()->data, a.pf()->data);
    b.px16(0, 0).red = 5;
    EXPECT_FALSE(b.samePixels(a));
}

class EffectWorldTest : public ::testing::Test {
protected:
    fake::FakeEffect fx;
    host::Effect effect{fx.plugin()};
};

TEST_F(EffectWorldTest, WorldSuiteTwoMakesEveryFormatAndNamesIt)
{
    fx.on(PF_Cmd_ABOUT, [](Call &c) -> PF_Err {
        auto *ws = fake::Acquire<PF_WorldSuite2>(c.in, kPFWorldSuite, 2);
        EXPECT_NE(ws, nullptr);
        if (!ws) return PF_Err_NONE;
        for (PF_PixelFormat f :
             {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
            PF_EffectWorld w{};
            EXPECT_EQ(ws->PF_NewWorld(c.in->effect_ref, 7, 5, 1, f, &w), PF_Err_NONE);
            EXPECT_EQ(w.width, 7);
            EXPECT_EQ(w.height, 5);
            PF_PixelFormat got = PF_PixelFormat_INVALID;
            EXPECT_EQ(ws->PF_GetPixelFormat(&w, &got), PF_Err_NONE);
            EXPECT_EQ(got, f);
            // Cleared on request: the last pixel's first byte is zero.
            auto *last = reinterpret_cast<unsigned char *>(w.data) + w.rowbytes * 4;
            EXPECT_EQ(last[0], 0);
            EXPECT_EQ(ws->PF_DisposeWorld(c.in->effect_ref, &w), PF_Err_NONE);
        }
        c.in->pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
        return PF_Err_NONE;
    });
    effect.about();
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(EffectWorldTest, WorldSuiteOneMakesDeepWorldsAndUnclearedOnesAreMarked)
{
    PF_Pixel8 first{};
    PF_PixelFormat deep = 0;
    fx.on(PF_Cmd_ABOUT, [&](Call &c) -> PF_Err {
        auto *w1 = fake::Acquire<PF_WorldSuite1>(c.in, kPFWorldSuite, 1);
        auto *w2 = fake::Acquire<PF_WorldSuite2>(c.in, kPFWorldSuite, 2);
        PF_EffectWorld a{}, b{};
        w1->new_world(c.in->effect_ref, 2, 2, PF_NewWorldFlag_NONE, &a);
        first = *reinterpret_cast<PF_Pixel8 *>(a.data);
        w1->new_world(c.in->effect_ref, 2, 2,
                      PF_NewWorldFlag_DEEP_PIXELS | PF_NewWorldFlag_CLEAR_PIXELS, &b);
        w2->PF_GetPixelFormat(&b, &deep);
        w1->dispose_world(c.in->effect_ref, &a);
        w1->dispose_world(c.in->effect_ref, &b);
        c.in->pica_basicP->ReleaseSuite(kPFWorldSuite, 1);
        c.in->pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
        return PF_Err_NONE;
    });
    effect.about();
    EXPECT_EQ(deep, PF_PixelFormat_ARGB64);
    // Opaque magenta stands for the garbage of an uncleared buffer.
    EXPECT_EQ(first.alpha, 255);
    EXPECT_EQ(first.red, 255);
    EXPECT_EQ(first.green, 0);
    EXPECT_EQ(first.blue, 255);
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(EffectWorldTest, WorldLeftUndisposedIsAFault)
{
    fx.on(PF_Cmd_ABOUT, [](Call &c) -> PF_Err {
        PF_EffectWorld w{};
        c.in->utils->new_world(c.in->effect_ref, 3, 4, PF_NewWorldFlag_CLEAR_PIXELS, &w);
        return PF_Err_NONE;
    });
    effect.about();
    EXPECT_TRUE(fake::HasFault(effect.faults(), "ABOUT: a 3 x 4 world made by the effect was not"))
        << fake::Joined(effect.faults());
}

TEST_F(EffectWorldTest, DisposingAForeignWorldOrWritingPastARowAreFaults)
{
    PF_Err foreign = PF_Err_NONE;
    fx.on(PF_Cmd_ABOUT, [&foreign](Call &c) -> PF_Err {
        host::World mine(2, 2, host::Depth::k8);
        foreign = c.in->utils->dispose_world(c.in->effect_ref, mine.pf());
        PF_EffectWorld w{};
        c.in->utils->new_world(c.in->effect_ref, 4, 2, PF_NewWorldFlag_CLEAR_PIXELS, &w);
        reinterpret_cast<unsigned char *>(w.data)[4 * 4] = 1;  // one past row 0
        c.in->utils->dispose_world(c.in->effect_ref, &w);
        EXPECT_EQ(w.data, nullptr);  // the record is cleared
        return PF_Err_NONE;
    });
    effect.about();
    EXPECT_EQ(foreign, PF_Err_BAD_CALLBACK_PARAM);
    const auto faults = effect.faults();
    EXPECT_TRUE(fake::HasFault(faults, "dispose_world of a world that the effect did not create"))
        << fake::Joined(faults);
    EXPECT_TRUE(fake::HasFault(faults, "wrote outside the rows of its 4 x 2 world"))
        << fake::Joined(faults);
}

TEST_F(EffectWorldTest, ZeroSizedWorldIsRefused)
{
    PF_Err err = PF_Err_NONE;
    fx.on(PF_Cmd_ABOUT, [&err](Call &c) -> PF_Err {
        PF_EffectWorld w{};
        err = c.in->utils->new_world(c.in->effect_ref, 0, 4, PF_NewWorldFlag_NONE, &w);
        return PF_Err_NONE;
    });
    effect.about();
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_TRUE(fake::HasFault(effect.faults(), "new_world of 0 x 4 pixels"));
}

}  // namespace
