// transfer_rect and copy against their formulas worked one pixel at a time,
// on worlds that hold every case the host treats apart: transparent, opaque
// and partial source pixels, transparent and opaque destinations, masks of
// each depth (inverted, offset, partly outside), opacities, both alpha
// modes and the fields. Results must agree to the bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "FakeEffect.h"

using host::Depth;
using host::World;

namespace {

// A deterministic generator, so that a failure names its case.
struct Numbers {
    explicit Numbers(std::uint32_t seed) : gen(seed) {}
    int below(int n) { return static_cast<int>(gen() % static_cast<std::uint32_t>(n)); }
    std::mt19937 gen;
};

double Clamp01(double v)
{
    return std::min(std::max(v, 0.0), 1.0);
}

// ---------------------------------------------------------------- the formulas

double FullOf(Depth d)
{
    return d == Depth::k8 ? 255.0 : d == Depth::k16 ? 32768.0 : 1.0;
}

// Channel c (alpha, red, green, blue) of a pixel on a 0..1 scale, unclamped.
double Channel(const World &w, A_long x, A_long y, int c)
{
    const unsigned char *p = w.row(y) + x * host::BytesPerPixel(w.depth());
    switch (w.depth()) {
        case Depth::k8:
            return p[c] / 255.0;
        case Depth::k16:
            return reinterpret_cast<const A_u_short *>(p)[c] / 32768.0;
        default:
            return reinterpret_cast<const float *>(p)[c];
    }
}

// The mask's alpha at a destination pixel, 0..1 (inverted: 1 - alpha), 0
// outside the mask.
struct MaskRef {
    const World *world = nullptr;  // null: no mask
    bool inverted = false;
    A_long off_x = 0, off_y = 0;

    double at(A_long dx, A_long dy) const
    {
        const A_long mx = dx - off_x, my = dy - off_y;
        const bool inside = mx >= 0 && my >= 0 && mx < world->width() && my < world->height();
        const double m = inside ? Clamp01(Channel(*world, mx, my, 0)) : 0.0;
        return inverted ? 1.0 - m : m;
    }
};

template <typename P, long long F>
void OverIntRef(P &d, const P &s, long long k, bool straight)
{
    const long long FF = F * F;
    const long long sa = (s.alpha * k + FF / 2) / FF;
    if (sa == 0) return;
    if (straight) {
        if (d.alpha == 0) {
            d = s;
            d.alpha = static_cast<decltype(d.alpha)>(sa);
            return;
        }
        const long long da = d.alpha;
        const long long a = sa * F + da * (F - sa);
        auto mix = [&](long long sc, long long dc) {
            return static_cast<decltype(d.red)>((sc * sa * F + dc * da * (F - sa) + a / 2) / a);
        };
        for (auto ch : {&P::red, &P::green, &P::blue}) d.*ch = mix(s.*ch, d.*ch);
        d.alpha = static_cast<decltype(d.alpha)>((a + F / 2) / F);
        return;
    }
    const double kf = static_cast<double>(k) / FF;
    const double inv = 1.0 - static_cast<double>(sa) / F;
    auto mix = [&](double sc, double dc) {
        return static_cast<decltype(d.red)>(
            std::min(std::max(std::round(sc * kf + dc * inv), 0.0), static_cast<double>(F)));
    };
    for (auto ch : {&P::alpha, &P::red, &P::green, &P::blue}) d.*ch = mix(s.*ch, d.*ch);
}

constexpr PF_FpShort PF_PixelFloat::*kColours[] = {&PF_PixelFloat::red, &PF_PixelFloat::green,
                                                   &PF_PixelFloat::blue};

void OverFloatRef(PF_PixelFloat &d, const PF_PixelFloat &s, double k, bool straight)
{
    const double sa = Clamp01(s.alpha) * k;
    if (sa <= 0.0) return;
    const double da = Clamp01(d.alpha);
    if (straight) {
        if (da <= 0.0) {
            d = s;
            d.alpha = static_cast<float>(sa);
            return;
        }
        const double a = sa + da * (1.0 - sa);
        auto mix = [&](double sc, double dc) {
            return static_cast<float>((sc * sa + dc * da * (1.0 - sa)) / a);
        };
        for (auto ch : kColours) d.*ch = mix(s.*ch, d.*ch);
        d.alpha = static_cast<float>(a);
        return;
    }
    auto mix = [&](double sc, double dc) { return static_cast<float>(sc * k + dc * (1.0 - sa)); };
    for (auto ch : kColours) d.*ch = mix(s.*ch, d.*ch);
    d.alpha = static_cast<float>(sa + da * (1.0 - sa));
}

struct Case {
    PF_Rect src_rect;
    A_long dest_x, dest_y;
    PF_CompositeMode mode;
    bool straight;
    PF_Field field;
    MaskRef mask;
};

// Source over destination pixel by pixel, as the host documents it.
void TransferRef(const World &src, World &dst, const Case &c)
{
    PF_Rect sr = c.src_rect;
    A_long dest_x = c.dest_x, dest_y = c.dest_y;
    const PF_Rect clipped{std::max(sr.left, 0), std::max(sr.top, 0),
                          std::min(sr.right, src.width()), std::min(sr.bottom, src.height())};
    dest_x += clipped.left - sr.left;
    dest_y += clipped.top - sr.top;
    sr = clipped;
    for (A_long sy = sr.top; sy < sr.bottom; ++sy) {
        const A_long dy = dest_y + (sy - sr.top);
        if (dy < 0 || dy >= dst.height()) continue;
        if (c.field == PF_Field_UPPER && dy % 2 != 0) continue;
        if (c.field == PF_Field_LOWER && dy % 2 == 0) continue;
        for (A_long sx = sr.left; sx < sr.right; ++sx) {
            const A_long dx = dest_x + (sx - sr.left);
            if (dx < 0 || dx >= dst.width()) continue;
            const double m = c.mask.world ? c.mask.at(dx, dy) : 1.0;
            if (src.depth() == Depth::k8) {
                OverIntRef<PF_Pixel8, 255>(dst.px8(dx, dy), src.px8(sx, sy),
                                           c.mode.opacity * std::lround(m * 255), c.straight);
            } else if (src.depth() == Depth::k16) {
                OverIntRef<PF_Pixel16, 32768>(
                    dst.px16(dx, dy), src.px16(sx, sy),
                    std::min<long long>(c.mode.opacitySu, 32768) * std::lround(m * 32768),
                    c.straight);
            } else {
                OverFloatRef(dst.pxF(dx, dy), src.pxF(sx, sy),
                             std::min(c.mode.opacitySu / 32768.0, 1.0) * m, c.straight);
            }
        }
    }
}

// transfer_rect of a case, as an effect calls it.
PF_Err Transfer(PF_InData *in, const World &src, World &dst, const Case &c)
{
    PF_MaskWorld m{};
    if (c.mask.world) {
        m.mask = *c.mask.world->pf();
        m.offset = PF_Point{c.mask.off_x, c.mask.off_y};
        m.what_is_mask = c.mask.inverted ? PF_MaskFlag_INVERTED : PF_MaskFlag_NONE;
    }
    return in->utils->transfer_rect(in->effect_ref, PF_Quality_HI,
                                    c.straight ? PF_MF_Alpha_STRAIGHT : PF_MF_Alpha_PREMUL, c.field,
                                    &c.src_rect, src.pf(), &c.mode, c.mask.world ? &m : nullptr,
                                    c.dest_x, c.dest_y, dst.pf());
}

// ---------------------------------------------------------------- test worlds

// Sets one pixel from channel values on the world's scale; integer depths
// take them as they are (16-bit values may exceed 32768).
void Put(World &w, A_long x, A_long y, const double (&v)[4])
{
    unsigned char *p = w.row(y) + x * host::BytesPerPixel(w.depth());
    for (int c = 0; c < 4; ++c) {
        if (w.depth() == Depth::k8) p[c] = static_cast<A_u_char>(v[c]);
        if (w.depth() == Depth::k16)
            reinterpret_cast<A_u_short *>(p)[c] = static_cast<A_u_short>(v[c]);
        if (w.depth() == Depth::k32) reinterpret_cast<float *>(p)[c] = static_cast<float>(v[c]);
    }
}

// An alpha: mostly 0 or full (the common cases, in runs), else anything,
// beyond full at 16 bits and in float, below 0 in float.
double AnyAlpha(Numbers &n, Depth d)
{
    const int kind = n.below(8);
    if (kind < 3) return 0.0;
    if (kind < 5) return FullOf(d);
    if (kind == 5) return d == Depth::k8 ? 1.0 : d == Depth::k16 ? 40000.0 : 1.5;
    if (kind == 6) return d == Depth::k32 ? -0.25 : 1.0;
    const double v = n.below(1000) / 999.0;
    return d == Depth::k32 ? v : std::floor(v * FullOf(d));
}

double AnyChannel(Numbers &n, Depth d)
{
    if (d == Depth::k16 && n.below(6) == 0) return 32768 + n.below(32768);
    if (d == Depth::k32 && n.below(6) == 0) return n.below(2) ? -0.0 : 2.5;
    return d == Depth::k32 ? n.below(1001) / 1000.0
                           : std::floor(n.below(1001) / 1000.0 * FullOf(d));
}

World AnyWorld(Numbers &n, A_long w, A_long h, Depth d, bool alpha_runs)
{
    World world(w, h, d);
    for (A_long y = 0; y < h; ++y) {
        double a = 0.0;
        for (A_long x = 0; x < w; ++x) {
            // Runs of one alpha, longer than the host's steps of eight.
            if (!alpha_runs || x % 11 == 0 || n.below(5) == 0) a = AnyAlpha(n, d);
            const double v[4] = {a, AnyChannel(n, d), AnyChannel(n, d), AnyChannel(n, d)};
            Put(world, x, y, v);
        }
    }
    return world;
}

class TransferFormulaTest : public fake::WithEffect<::testing::TestWithParam<Depth>> {};

TEST_P(TransferFormulaTest, TransferAgreesWithThePixelByPixelFormula)
{
    const Depth depth = GetParam();
    const Depth mask_depths[] = {Depth::k8, Depth::k16, Depth::k32};
    for (int i = 0; i < 160; ++i) {
        Numbers n(static_cast<std::uint32_t>(i) + 100 * static_cast<std::uint32_t>(depth));
        const A_long w = 19 + n.below(30), h = 3 + n.below(6);
        const World src = AnyWorld(n, w, h, depth, true);
        World dst = AnyWorld(n, w + n.below(5), h + n.below(3), depth, true);
        if (n.below(3) == 0) dst = World(dst.width(), dst.height(), depth);  // cleared
        const World mask_world = AnyWorld(n, w - n.below(6), h, mask_depths[n.below(3)], true);

        Case c{};
        c.src_rect = n.below(3) == 0
                         ? PF_Rect{0, 0, w, h}
                         : PF_Rect{n.below(4) - 2, n.below(3) - 1, w - n.below(4), h + n.below(2)};
        c.dest_x = n.below(7) - 3;
        c.dest_y = n.below(3) - 1;
        c.mode.xfer = PF_Xfer_IN_FRONT;
        const bool full = n.below(2) == 0;
        c.mode.opacity = static_cast<A_u_char>(full ? 255 : n.below(256));
        c.mode.opacitySu = static_cast<A_u_short>(full ? 32768 : n.below(32769));
        c.straight = n.below(4) != 0;
        const PF_Field fields[] = {PF_Field_FRAME, PF_Field_FRAME, PF_Field_UPPER, PF_Field_LOWER};
        c.field = fields[n.below(4)];
        if (n.below(3) != 0) {
            c.mask.world = &mask_world;
            c.mask.inverted = n.below(2) == 0;
            c.mask.off_x = n.below(5) - 2;
            c.mask.off_y = n.below(3) - 1;
        }

        World expected = dst;
        TransferRef(src, expected, c);
        PF_Err err = PF_Err_NONE;
        during([&](PF_InData *in) { err = Transfer(in, src, dst, c); });
        ASSERT_EQ(err, PF_Err_NONE) << "case " << i;
        ASSERT_TRUE(dst.samePixels(expected)) << "case " << i;
        ASSERT_TRUE(dst.paddingIntact()) << "case " << i;
    }
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

TEST_P(TransferFormulaTest, CopyOfEqualRectanglesAgreesWithThePixelByPixelCopy)
{
    const Depth depth = GetParam();
    for (Depth to : {Depth::k8, Depth::k16, Depth::k32}) {
        Numbers n(7 + static_cast<std::uint32_t>(depth) * static_cast<std::uint32_t>(to));
        const World src = AnyWorld(n, 23, 5, depth, false);
        World dst = AnyWorld(n, 20, 6, to, false);
        const PF_Rect from{-2, 1, 21, 5}, into{3, -1, 26, 3};
        World expected = dst;
        for (A_long y = into.top; y < into.bottom; ++y) {
            for (A_long x = into.left; x < into.right; ++x) {
                const A_long sx = from.left + (x - into.left), sy = from.top + (y - into.top);
                if (x < 0 || y < 0 || x >= dst.width() || y >= dst.height() || sx < 0 || sy < 0 ||
                    sx >= src.width() || sy >= src.height()) {
                    continue;
                }
                // Each channel as read on a 0..1 scale and stored at the
                // destination's depth; at the same depth, the bytes as they are.
                if (to == depth) {
                    std::memcpy(expected.row(y) + x * host::BytesPerPixel(to),
                                src.row(sy) + sx * host::BytesPerPixel(to),
                                host::BytesPerPixel(to));
                    continue;
                }
                double ch[4];
                for (int i = 0; i < 4; ++i) {
                    ch[i] = Channel(src, sx, sy, i);
                    if (to != Depth::k32) ch[i] = std::lround(Clamp01(ch[i]) * FullOf(to));
                }
                Put(expected, x, y, ch);
            }
        }
        during([&](PF_InData *in) {
            PF_Rect s = from, d = into;
            EXPECT_EQ(in->utils->copy(in->effect_ref, const_cast<PF_EffectWorld *>(src.pf()),
                                      dst.pf(), &s, &d),
                      PF_Err_NONE);
        });
        EXPECT_TRUE(dst.samePixels(expected))
            << static_cast<int>(depth) << " to " << static_cast<int>(to);
        EXPECT_TRUE(dst.paddingIntact());
    }
    EXPECT_TRUE(fake::FaultsAre(effect, {}));
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, TransferFormulaTest,
                         ::testing::Values(Depth::k8, Depth::k16, Depth::k32),
                         [](const ::testing::TestParamInfo<Depth> &p) {
                             return std::to_string(static_cast<int>(p.param)) + "bit";
                         });

// A float mask holding a NaN alpha makes a NaN of even a transparent source
// pixel's weight, and the formula then writes that NaN: transparent source
// pixels are passed over only where the mask is a number.
using TransferNanTest = fake::WithEffect<>;

TEST_F(TransferNanTest, FloatMaskWithANanTurnsEvenTransparentPixelsToNan)
{
    World src(12, 1, Depth::k32), dst(12, 1, Depth::k32), mask(12, 1, Depth::k32);
    for (A_long x = 0; x < 12; ++x) {
        dst.pxF(x, 0) = PF_PixelFloat{1.0f, 0.25f, 0.5f, 0.75f};
        mask.pxF(x, 0).alpha = 1.0f;
    }
    mask.pxF(9, 0).alpha = std::numeric_limits<float>::quiet_NaN();
    const Case c{
        {0, 0, 12, 1},       0, 0, {PF_Xfer_IN_FRONT, 0, 255, false, 32768}, true, PF_Field_FRAME,
        {&mask, false, 0, 0}};
    World expected = dst;
    TransferRef(src, expected, c);
    ASSERT_TRUE(std::isnan(expected.pxF(9, 0).red));
    during([&](PF_InData *in) { EXPECT_EQ(Transfer(in, src, dst, c), PF_Err_NONE); });
    EXPECT_TRUE(dst.samePixels(expected));
}

}  // namespace
