// Worlds: padded rows, formats, copies, and the effect's own worlds through
// the World Suites.
#include <gtest/gtest.h>

#include <vector>

#include "FakeEffect.h"

namespace {

TEST(WorldTest, PaddingAndGuardsAreCheckedToTheirLastByte)
{
    host::World w(5, 3, host::Depth::k8), wide(3, 2, host::Depth::k16, 400);
    EXPECT_GE(w.rowbytes() - 5 * 4, 16);
    EXPECT_LE(w.rowbytes() - 5 * 4, 64);
    EXPECT_EQ(wide.rowbytes(), 3 * 8 + 400);
    EXPECT_EQ(w.px8(4, 2).alpha, 0);  // new worlds are transparent black
    w.px8(4, 2) = PF_Pixel8{255, 1, 2, 3};
    for (host::World *world : {&w, &wide}) {
        const A_long packed = world->width() * static_cast<A_long>(BytesPerPixel(world->depth()));
        const A_long last = world->height() - 1;
        // Before the block, after a row, at a row's end, after the block.
        for (unsigned char *p :
             {world->row(0) - 1, world->row(1) + packed, world->row(0) + world->rowbytes() - 1,
              world->row(last) + world->rowbytes()}) {
            EXPECT_TRUE(world->paddingIntact());
            *p = 0;
            EXPECT_FALSE(world->paddingIntact()) << p - world->row(0);
            *p = host::World::kPadSentinel;
        }
    }
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

using EffectWorldTest = fake::WithEffect<>;

TEST_F(EffectWorldTest, WorldSuitesMakeEveryFormatAndMarkUnclearedPixels)
{
    during([](PF_InData *in) {
        auto *w1 = fake::Acquire<PF_WorldSuite1>(in, kPFWorldSuite, 1);
        auto *w2 = fake::Acquire<PF_WorldSuite2>(in, kPFWorldSuite, 2);
        ASSERT_TRUE(w1 && w2);
        for (PF_PixelFormat f :
             {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64, PF_PixelFormat_ARGB128}) {
            SCOPED_TRACE(f);
            PF_EffectWorld w{};
            EXPECT_EQ(w2->PF_NewWorld(in->effect_ref, 7, 5, 1, f, &w), PF_Err_NONE);
            EXPECT_EQ(w.width, 7);
            EXPECT_EQ(w.height, 5);
            PF_PixelFormat got = PF_PixelFormat_INVALID;
            EXPECT_EQ(w2->PF_GetPixelFormat(&w, &got), PF_Err_NONE);
            EXPECT_EQ(got, f);
            // Cleared on request: the last row's first byte is zero.
            EXPECT_EQ(reinterpret_cast<unsigned char *>(w.data)[w.rowbytes * 4], 0);
            EXPECT_EQ(w2->PF_DisposeWorld(in->effect_ref, &w), PF_Err_NONE);
        }
        PF_EffectWorld deep{}, uncleared{};
        PF_PixelFormat format = 0;
        w1->new_world(in->effect_ref, 2, 2,
                      PF_NewWorldFlag_DEEP_PIXELS | PF_NewWorldFlag_CLEAR_PIXELS, &deep);
        w2->PF_GetPixelFormat(&deep, &format);
        EXPECT_EQ(format, PF_PixelFormat_ARGB64);
        w1->new_world(in->effect_ref, 2, 2, PF_NewWorldFlag_NONE, &uncleared);
        // Opaque magenta stands for the garbage of an uncleared buffer.
        const PF_Pixel8 p = fake::Px8(&uncleared, 1, 1);
        EXPECT_EQ((std::vector<int>{p.alpha, p.red, p.green, p.blue}),
                  (std::vector<int>{255, 255, 0, 255}));
        w1->dispose_world(in->effect_ref, &deep);
        w1->dispose_world(in->effect_ref, &uncleared);
        in->pica_basicP->ReleaseSuite(kPFWorldSuite, 1);
        in->pica_basicP->ReleaseSuite(kPFWorldSuite, 2);
    });
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

}  // namespace
