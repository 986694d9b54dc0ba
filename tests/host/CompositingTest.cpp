// Fill at each depth, copies and transfer_rect. Expected pixels come from
// the compositing formulas worked by hand in each test (transfer_rect at
// every depth against its formula: TransferFormulaTest).
#include <gtest/gtest.h>

#include <vector>

#include "FakeEffect.h"

using host::Depth;
using host::World;

namespace {

using CompositingTest = fake::WithEffect<>;
using P = std::vector<int>;  // alpha, red, green, blue

P At(const World &w, A_long x, A_long y)
{
    const PF_Pixel8 &p = w.px8(x, y);
    return {p.alpha, p.red, p.green, p.blue};
}

// transfer_rect in front at full opacity, straight alpha, whole frame.
PF_Err Over(PF_InData *in, World &src, World &dst, const PF_MaskWorld *mask)
{
    const PF_CompositeMode mode{PF_Xfer_IN_FRONT, 0, 255, false, 32768};
    return in->utils->transfer_rect(in->effect_ref, PF_Quality_HI, PF_MF_Alpha_STRAIGHT,
                                    PF_Field_FRAME, nullptr, src.pf(), &mode, mask, 0, 0, dst.pf());
}

// Worlds too large for the caches are filled and copied past them, rows
// starting anywhere: every pixel of the rectangles, and none beside them.
TEST_F(CompositingTest, LargeCopiesAndClearingFillsCoverTheirRectanglesExactly)
{
    const A_long w = 2001, h = 1600;  // 12.8 MB a world
    World src(w, h, Depth::k8), dst(w, h, Depth::k8);
    auto pixel = [](A_long x, A_long y) { return P{255, x % 251, y % 241, (x + y) % 239}; };
    for (A_long y = 0; y < h; ++y) {
        for (A_long x = 0; x < w; ++x) {
            const P p = pixel(x, y);
            src.px8(x, y) =
                PF_Pixel8{A_u_char(p[0]), A_u_char(p[1]), A_u_char(p[2]), A_u_char(p[3])};
        }
    }
    PF_Rect from{1, 2, w, h}, into{0, 1, w - 1, h - 1};
    const PF_Rect cleared{3, 5, w - 2, h - 2};
    during([&](PF_InData *in) {
        EXPECT_EQ(in->utils->copy(in->effect_ref, src.pf(), dst.pf(), &from, &into), PF_Err_NONE);
        EXPECT_EQ(in->utils->fill(in->effect_ref, nullptr, &cleared, dst.pf()), PF_Err_NONE);
    });
    for (A_long y = 0; y < h; ++y) {
        for (A_long x = 0; x < w; ++x) {
            const bool copied =
                x < w - 1 && y >= 1 && y < h - 1 && !(x >= 3 && y >= 5 && x < w - 2 && y < h - 2);
            ASSERT_EQ(At(dst, x, y), (copied ? pixel(x + 1, y + 1) : P{0, 0, 0, 0}))
                << x << ", " << y;
        }
    }
    EXPECT_TRUE(dst.paddingIntact());
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST_F(CompositingTest, FillsClipScaleEightBitColoursTakeSuiteOnesExactlyAndClearWithNone)
{
    World w8(4, 3, Depth::k8), w16(1, 1, Depth::k16), wf(1, 1, Depth::k32);
    World e16(2, 1, Depth::k16), ef(2, 1, Depth::k32), cleared(3, 2, Depth::k16);
    cleared.px16(0, 0) = PF_Pixel16{32768, 5, 6, 7};
    cleared.px16(2, 1) = PF_Pixel16{1, 2, 3, 4};
    during([&](PF_InData *in) {
        in->utils->fill(in->effect_ref, nullptr, nullptr, cleared.pf());  // all of it, black
        const PF_Pixel color{255, 128, 0, 51};
        const PF_Rect beyond{2, 1, 10, 10};  // clipped to the world
        EXPECT_EQ(in->utils->fill(in->effect_ref, &color, &beyond, w8.pf()), PF_Err_NONE);
        in->utils->fill(in->effect_ref, &color, nullptr, w16.pf());
        in->utils->fill(in->effect_ref, &color, nullptr, wf.pf());
        auto *fm = fake::Acquire<PF_FillMatteSuite2>(in, kPFFillMatteSuite, 2);
        const PF_Pixel16 c16{32768, 1, 2, 3};
        const PF_PixelFloat cf{0.5f, 2.0f, -1.0f, 0.25f};
        fm->fill16(in->effect_ref, &c16, nullptr, e16.pf());
        fm->fill_float(in->effect_ref, &cf, nullptr, ef.pf());
        in->pica_basicP->ReleaseSuite(kPFFillMatteSuite, 2);
    });
    for (A_long y = 0; y < 3; ++y) {
        for (A_long x = 0; x < 4; ++x) {
            EXPECT_EQ(At(w8, x, y), x >= 2 && y >= 1 ? (P{255, 128, 0, 51}) : (P{0, 0, 0, 0}))
                << x << ", " << y;
        }
    }
    EXPECT_TRUE(w8.paddingIntact());
    // 128 / 255 * 32768 = 16448.25 and 51 / 255 * 32768 = 6553.6, rounded.
    EXPECT_EQ(w16.px16(0, 0).alpha, 32768);
    EXPECT_EQ(w16.px16(0, 0).red, 16448);
    EXPECT_EQ(w16.px16(0, 0).blue, 6554);
    EXPECT_FLOAT_EQ(wf.pxF(0, 0).red, 128.0f / 255.0f);
    EXPECT_FLOAT_EQ(wf.pxF(0, 0).blue, 0.2f);
    EXPECT_EQ(e16.px16(1, 0).blue, 3);
    EXPECT_EQ(ef.pxF(1, 0).red, 2.0f);  // float worlds keep values beyond 0..1
    EXPECT_EQ(ef.pxF(1, 0).green, -1.0f);
    EXPECT_TRUE(cleared.samePixels(World(3, 2, Depth::k16)));
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST_F(CompositingTest, OnePixelSourceOverDestination)
{
    struct Case {
        PF_Pixel8 src, dst;
        int mask;  // its alpha, or -1 for none
        bool inverted;
        P want;
    };
    const Case cases[] = {
        // Over a transparent destination: the source as it is, even a faint one.
        {{128, 10, 20, 30}, {}, -1, false, {128, 10, 20, 30}},
        {{1, 200, 100, 50}, {}, -1, false, {1, 200, 100, 50}},
        // Half over opaque: red 255 * 128/255 = 128, blue 255 * 127/255 = 127.
        {{128, 255, 0, 0}, {255, 0, 0, 255}, -1, false, {255, 128, 0, 127}},
        // Invisible: nothing changes.
        {{0, 255, 255, 255}, {77, 1, 2, 3}, -1, false, {77, 1, 2, 3}},
        // A mask scales the source alpha: 255 * 128/255, inverted 255 * 127/255.
        {{255, 9, 8, 7}, {}, 128, false, {128, 9, 8, 7}},
        {{255, 9, 8, 7}, {}, 128, true, {127, 9, 8, 7}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(&c - cases);
        World src(1, 1, Depth::k8), dst(1, 1, Depth::k8), mask(1, 1, Depth::k8);
        src.px8(0, 0) = c.src;
        dst.px8(0, 0) = c.dst;
        mask.px8(0, 0).alpha = static_cast<A_u_char>(c.mask);
        PF_MaskWorld m{};
        m.mask = *mask.pf();
        m.what_is_mask = c.inverted ? PF_MaskFlag_INVERTED : PF_MaskFlag_NONE;
        during([&](PF_InData *in) {
            EXPECT_EQ(Over(in, src, dst, c.mask < 0 ? nullptr : &m), PF_Err_NONE);
        });
        EXPECT_EQ(At(dst, 0, 0), c.want);
    }
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

}  // namespace
