// Fill, copy and transfer_rect at each depth. Expected pixels come from the
// compositing formulas worked by hand in each test.
#include <gtest/gtest.h>

#include <functional>

#include "FakeEffect.h"

using fake::Call;
using host::Depth;
using host::World;

namespace {

class CompositingTest : public ::testing::Test {
protected:
    // Runs `body` inside a command, as the effect would call the services.
    void During(std::function<void(PF_InData *)> body)
    {
        fx.on(PF_Cmd_ABOUT, [body](Call &c) -> PF_Err {
            body(c.in);
            return PF_Err_NONE;
        });
        effect.about();
    }

    PF_CompositeMode InFront() const
    {
        PF_CompositeMode m{};
        m.xfer = PF_Xfer_IN_FRONT;
        m.opacity = 255;
        m.opacitySu = 32768;
        return m;
    }

    fake::FakeEffect fx;
    host::Effect effect{fx.plugin()};
};

bool Eq(const PF_Pixel8 &a, const PF_Pixel8 &b)
{
    return a.alpha == b.alpha && a.red == b.red && a.green == b.green && a.blue == b.blue;
}

#define EXPECT_PX8(world, x, y, a, r, g, b) \
    EXPECT_TRUE(Eq((world).px8(x, y), PF_Pixel8{a, r, g, b})) << "at " << (x) << ", " << (y)

TEST_F(CompositingTest, FillCoversTheClippedRectangleOnly)
{
    World w(4, 3, Depth::k8);
    During([&](PF_InData *in) {
        const PF_Pixel color{255, 10, 20, 30};
        const PF_Rect r{2, 1, 10, 10};
        EXPECT_EQ(in->utils->fill(in->effect_ref, &color, &r, w.pf()), PF_Err_NONE);
    });
    for (A_long y = 0; y < 3; ++y) {
        for (A_long x = 0; x < 4; ++x) {
            if (x >= 2 && y >= 1) {
                EXPECT_PX8(w, x, y, 255, 10, 20, 30);
            } else {
                EXPECT_PX8(w, x, y, 0, 0, 0, 0);
            }
        }
    }
    EXPECT_TRUE(w.paddingIntact());
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(CompositingTest, NullColourAndRectangleClearTheWholeWorld)
{
    World w(3, 2, Depth::k16);
    w.px16(0, 0) = PF_Pixel16{32768, 5, 6, 7};
    w.px16(2, 1) = PF_Pixel16{1, 2, 3, 4};
    During([&](PF_InData *in) { in->utils->fill(in->effect_ref, nullptr, nullptr, w.pf()); });
    EXPECT_TRUE(w.samePixels(World(3, 2, Depth::k16)));
}

TEST_F(CompositingTest, EightBitFillIsScaledToDeepAndFloatWorlds)
{
    World w16(1, 1, Depth::k16), wf(1, 1, Depth::k32);
    During([&](PF_InData *in) {
        const PF_Pixel color{255, 128, 0, 51};
        in->utils->fill(in->effect_ref, &color, nullptr, w16.pf());
        in->utils->fill(in->effect_ref, &color, nullptr, wf.pf());
    });
    // 128 / 255 * 32768 = 16448.25 and 51 / 255 * 32768 = 6553.6, rounded.
    EXPECT_EQ(w16.px16(0, 0).alpha, 32768);
    EXPECT_EQ(w16.px16(0, 0).red, 16448);
    EXPECT_EQ(w16.px16(0, 0).blue, 6554);
    EXPECT_FLOAT_EQ(wf.pxF(0, 0).red, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(wf.pxF(0, 0).blue, 0.2f);
}

TEST_F(CompositingTest, FillMatteSuiteFillsDeepAndFloatExactly)
{
    World w16(2, 1, Depth::k16), wf(2, 1, Depth::k32);
    During([&](PF_InData *in) {
        auto *fm = fake::Acquire<PF_FillMatteSuite2>(in, kPFFillMatteSuite, 2);
        const PF_Pixel16 c16{32768, 1, 2, 3};
        const PF_PixelFloat cf{0.5f, 2.0f, -1.0f, 0.25f};
        fm->fill16(in->effect_ref, &c16, nullptr, w16.pf());
        fm->fill_float(in->effect_ref, &cf, nullptr, wf.pf());
        in->pica_basicP->ReleaseSuite(kPFFillMatteSuite, 2);
    });
    EXPECT_EQ(w16.px16(1, 0).blue, 3);
    EXPECT_EQ(wf.pxF(1, 0).red, 2.0f);  // float worlds keep values beyond 0..1
    EXPECT_EQ(wf.pxF(1, 0).green, -1.0f);
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(CompositingTest, CopyOfEqualRectanglesMovesPixelsAndConvertsDepth)
{
    World src(3, 2, Depth::k8), dst(5, 4, Depth::k8), deep(3, 2, Depth::k32);
    for (A_long y = 0; y < 2; ++y) {
        for (A_long x = 0; x < 3; ++x) {
            src.px8(x, y) = PF_Pixel8{255, static_cast<A_u_char>(10 * x + y), 51, 204};
        }
    }
    During([&](PF_InData *in) {
        PF_Rect from{0, 0, 3, 2}, to{1, 1, 4, 3};
        in->utils->copy(in->effect_ref, src.pf(), dst.pf(), &from, &to);
        in->utils->copy(in->effect_ref, src.pf(), deep.pf(), nullptr, nullptr);
    });
    EXPECT_PX8(dst, 1, 1, 255, 0, 51, 204);
    EXPECT_PX8(dst, 3, 2, 255, 21, 51, 204);
    EXPECT_PX8(dst, 0, 0, 0, 0, 0, 0);
    EXPECT_PX8(dst, 4, 3, 0, 0, 0, 0);
    EXPECT_FLOAT_EQ(deep.pxF(2, 1).red, 21.0f / 255.0f);
    EXPECT_FLOAT_EQ(deep.pxF(2, 1).green, 0.2f);
    EXPECT_FLOAT_EQ(deep.pxF(2, 1).blue, 0.8f);
}

TEST_F(CompositingTest, TransparentDestinationTakesTheSourceBitForBit)
{
    World src(2, 1, Depth::k8), dst(2, 1, Depth::k8);
    src.px8(0, 0) = PF_Pixel8{128, 10, 20, 30};
    src.px8(1, 0) = PF_Pixel8{1, 200, 100, 50};
    During([&](PF_InData *in) {
        const PF_CompositeMode mode = InFront();
        EXPECT_EQ(in->utils->transfer_rect(in->effect_ref, PF_Quality_HI, PF_MF_Alpha_STRAIGHT,
                                           PF_Field_FRAME, nullptr, src.pf(), &mode, nullptr, 0, 0,
                                           dst.pf()),
                  PF_Err_NONE);
    });
    EXPECT_TRUE(dst.samePixels(src));
}

TEST_F(CompositingTest, StraightSourceOverMixesByTheSourceAlpha)
{
    World src(2, 1, Depth::k8), dst(2, 1, Depth::k8);
    src.px8(0, 0) = PF_Pixel8{128, 255, 0, 0};
    src.px8(1, 0) = PF_Pixel8{0, 255, 255, 255};  // invisible: changes nothing
    dst.px8(0, 0) = PF_Pixel8{255, 0, 0, 255};
    dst.px8(1, 0) = PF_Pixel8{77, 1, 2, 3};
    During([&](PF_InData *in) {
        const PF_CompositeMode mode = InFront();
        in->utils->transfer_rect(in->effect_ref, PF_Quality_HI, PF_MF_Alpha_STRAIGHT,
                                 PF_Field_FRAME, nullptr, src.pf(), &mode, nullptr, 0, 0, dst.pf());
    });
    // Over an opaque destination: red = 255 * 128/255 = 128,
    // blue = 255 * 127/255 = 127, alpha stays 255.
    EXPECT_PX8(dst, 0, 0, 255, 128, 0, 127);
    EXPECT_PX8(dst, 1, 0, 77, 1, 2, 3);
}

TEST_F(CompositingTest, MaskIsReadAtTheDestinationMinusItsOffsetAndCanBeInverted)
{
    World src(4, 1, Depth::k8), plain(4, 1, Depth::k8), inverted(4, 1, Depth::k8);
    World mask(2, 1, Depth::k8);
    for (A_long x = 0; x < 4; ++x) src.px8(x, 0) = PF_Pixel8{255, 200, 0, 0};
    mask.px8(0, 0).alpha = 255;
    mask.px8(1, 0).alpha = 0;
    During([&](PF_InData *in) {
        const PF_CompositeMode mode = InFront();
        PF_MaskWorld m{};
        m.mask = *mask.pf();
        m.offset = PF_Point{1, 0};
        m.what_is_mask = PF_MaskFlag_NONE;
        in->utils->transfer_rect(in->effect_ref, PF_Quality_LO, PF_MF_Alpha_STRAIGHT,
                                 PF_Field_FRAME, nullptr, src.pf(), &mode, &m, 0, 0, plain.pf());
        m.what_is_mask = PF_MaskFlag_INVERTED;
        in->utils->transfer_rect(in->effect_ref, PF_Quality_LO, PF_MF_Alpha_STRAIGHT,
                                 PF_Field_FRAME, nullptr, src.pf(), &mode, &m, 0, 0, inverted.pf());
    });
    // Destination x reads mask x - 1: outside (0), 255, 0, outside (0).
    EXPECT_PX8(plain, 0, 0, 0, 0, 0, 0);
    EXPECT_PX8(plain, 1, 0, 255, 200, 0, 0);
    EXPECT_PX8(plain, 2, 0, 0, 0, 0, 0);
    EXPECT_PX8(plain, 3, 0, 0, 0, 0, 0);
    EXPECT_PX8(inverted, 0, 0, 255, 200, 0, 0);
    EXPECT_PX8(inverted, 1, 0, 0, 0, 0, 0);
    EXPECT_PX8(inverted, 2, 0, 255, 200, 0, 0);
    EXPECT_PX8(inverted, 3, 0, 255, 200, 0, 0);
}

TEST_F(CompositingTest, PartialMaskScalesTheSourceAlpha)
{
    World src(1, 1, Depth::k8), dst(1, 1, Depth::k8), mask(1, 1, Depth::k8);
    src.px8(0, 0) = PF_Pixel8{255, 9, 8, 7};
    mask.px8(0, 0).alpha = 128;
    During([&](PF_InData *in) {
        const PF_CompositeMode mode = InFront();
        PF_MaskWorld m{};
        m.mask = *mask.pf();
        in->utils->transfer_rect(in->effect_ref, PF_Quality_LO, PF_MF_Alpha_STRAIGHT,
                                 PF_Field_FRAME, nullptr, src.pf(), &mode, &m, 0, 0, dst.pf());
    });
    EXPECT_PX8(dst, 0, 0, 128, 9, 8, 7);  // 255 * 128/255, colour untouched
}

TEST_F(CompositingTest, ClippedSourceRectangleLandsShifted)
{
    World src(2, 1, Depth::k8), dst(4, 1, Depth::k8);
    src.px8(0, 0) = PF_Pixel8{255, 1, 1, 1};
    src.px8(1, 0) = PF_Pixel8{255, 2, 2, 2};
    During([&](PF_InData *in) {
        const PF_CompositeMode mode = InFront();
        const PF_Rect r{-1, 0, 2, 1};  // one column left of the source
        in->utils->transfer_rect(in->effect_ref, PF_Quality_LO, PF_MF_Alpha_STRAIGHT,
                                 PF_Field_FRAME, &r, src.pf(), &mode, nullptr, 1, 0, dst.pf());
    });
    EXPECT_PX8(dst, 1, 0, 0, 0, 0, 0);
    EXPECT_PX8(dst, 2, 0, 255, 1, 1, 1);
    EXPECT_PX8(dst, 3, 0, 255, 2, 2, 2);
}

TEST_F(CompositingTest, DeepAndFloatSourceOverHalveAtHalfAlpha)
{
    World s16(1, 1, Depth::k16), d16(1, 1, Depth::k16), c16(1, 1, Depth::k16);
    World sf(1, 1, Depth::k32), df(1, 1, Depth::k32);
    s16.px16(0, 0) = PF_Pixel16{16384, 32768, 0, 0};
    d16.px16(0, 0) = PF_Pixel16{32768, 0, 0, 32768};
    sf.pxF(0, 0) = PF_PixelFloat{0.5f, 1.0f, 0.0f, 0.0f};
    df.pxF(0, 0) = PF_PixelFloat{1.0f, 0.0f, 0.0f, 1.0f};
    During([&](PF_InData *in) {
        auto *wt = fake::Acquire<PF_WorldTransformSuite1>(in, kPFWorldTransformSuite, 1);
        const PF_CompositeMode mode = InFront();
        wt->transfer_rect(in->effect_ref, PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                          nullptr, s16.pf(), &mode, nullptr, 0, 0, d16.pf());
        wt->transfer_rect(in->effect_ref, PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                          nullptr, s16.pf(), &mode, nullptr, 0, 0, c16.pf());
        wt->transfer_rect(in->effect_ref, PF_Quality_HI, PF_MF_Alpha_STRAIGHT, PF_Field_FRAME,
                          nullptr, sf.pf(), &mode, nullptr, 0, 0, df.pf());
        in->pica_basicP->ReleaseSuite(kPFWorldTransformSuite, 1);
    });
    EXPECT_EQ(d16.px16(0, 0).alpha, 32768);
    EXPECT_EQ(d16.px16(0, 0).red, 16384);
    EXPECT_EQ(d16.px16(0, 0).blue, 16384);
    EXPECT_TRUE(c16.samePixels(s16));  // over transparent: the source itself
    EXPECT_FLOAT_EQ(df.pxF(0, 0).alpha, 1.0f);
    EXPECT_FLOAT_EQ(df.pxF(0, 0).red, 0.5f);
    EXPECT_FLOAT_EQ(df.pxF(0, 0).blue, 0.5f);
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

TEST_F(CompositingTest, OtherModesAndMixedDepthsAreRefused)
{
    World a(1, 1, Depth::k8), b(1, 1, Depth::k16);
    PF_Err mode_err = PF_Err_NONE, depth_err = PF_Err_NONE;
    During([&](PF_InData *in) {
        PF_CompositeMode mode = InFront();
        depth_err =
            in->utils->transfer_rect(in->effect_ref, PF_Quality_HI, PF_MF_Alpha_STRAIGHT,
                                     PF_Field_FRAME, nullptr, a.pf(), &mode, nullptr, 0, 0, b.pf());
        mode.xfer = PF_Xfer_MULTIPLY;
        mode_err =
            in->utils->transfer_rect(in->effect_ref, PF_Quality_HI, PF_MF_Alpha_STRAIGHT,
                                     PF_Field_FRAME, nullptr, a.pf(), &mode, nullptr, 0, 0, a.pf());
    });
    EXPECT_EQ(mode_err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(depth_err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(effect.faults().size(), 2u) << fake::Joined(effect.faults());
}

}  // namespace
