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
#include <functional>
#include <limits>
#include <string>

#include "FakeEffect.h"

using fake::Call;
using host::Depth;
using host::World;

namespace {

// A small deterministic generator, so that a failure names its case.
class Numbers {
public:
    explicit Numbers(std::uint32_t seed) : state_(seed * 2654435761u + 1) {}
    std::uint32_t next()
    {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }

private:
    std::uint32_t state_;
};

double Clamp01(double v)
{
    return std::min(std::max(v, 0.0), 1.0);
}

// ---------------------------------------------------------------- the formulas

// The mask's alpha at a destination pixel, 0..1 (inverted: 1 - alpha), 0
// outside the mask.
struct MaskRef {
    const World *world = nullptr;  // null: no mask
    bool inverted = false;
    A_long off_x = 0, off_y = 0;

    double at(A_long dx, A_long dy) const
    {
        double m = 0.0;
        const A_long mx = dx - off_x, my = dy - off_y;
        if (mx >= 0 && my >= 0 && mx < world->width() && my < world->height()) {
            switch (world->depth()) {
                case Depth::k8:
                    m = world->px8(mx, my).alpha / 255.0;
                    break;
                case Depth::k16:
                    m = world->px16(mx, my).alpha / 32768.0;
                    break;
                case Depth::k32:
                    m = world->pxF(mx, my).alpha;
                    break;
            }
            m = Clamp01(m);
        }
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
        d.red = mix(s.red, d.red);
        d.green = mix(s.green, d.green);
        d.blue = mix(s.blue, d.blue);
        d.alpha = static_cast<decltype(d.alpha)>((a + F / 2) / F);
        return;
    }
    const double kf = static_cast<double>(k) / FF;
    const double inv = 1.0 - static_cast<double>(sa) / F;
    auto mix = [&](double sc, double dc) {
        return static_cast<decltype(d.red)>(
            std::min(std::max(std::round(sc * kf + dc * inv), 0.0), static_cast<double>(F)));
    };
    d.red = mix(s.red, d.red);
    d.green = mix(s.green, d.green);
    d.blue = mix(s.blue, d.blue);
    d.alpha = mix(s.alpha, d.alpha);
}

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
        d.red = mix(s.red, d.red);
        d.green = mix(s.green, d.green);
        d.blue = mix(s.blue, d.blue);
        d.alpha = static_cast<float>(a);
        return;
    }
    auto mix = [&](double sc, double dc) { return static_cast<float>(sc * k + dc * (1.0 - sa)); };
    d.red = mix(s.red, d.red);
    d.green = mix(s.green, d.green);
    d.blue = mix(s.blue, d.blue);
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
            switch (src.depth()) {
                case Depth::k8: {
                    const long long mi = c.mask.world ? std::lround(m * 255) : 255;
                    OverIntRef<PF_Pixel8, 255>(dst.px8(dx, dy), src.px8(sx, sy),
                                               c.mode.opacity * mi, c.straight);
                    break;
                }
                case Depth::k16: {
                    const long long mi = c.mask.world ? std::lround(m * 32768) : 32768;
                    const long long opacity = std::min<long long>(c.mode.opacitySu, 32768);
                    OverIntRef<PF_Pixel16, 32768>(dst.px16(dx, dy), src.px16(sx, sy), opacity * mi,
                                                  c.straight);
                    break;
                }
                case Depth::k32: {
                    const double opacity = std::min(c.mode.opacitySu / 32768.0, 1.0);
                    OverFloatRef(dst.pxF(dx, dy), src.pxF(sx, sy), opacity * m, c.straight);
                    break;
                }
            }
        }
    }
}

// ---------------------------------------------------------------- test worlds

double FullOf(Depth d)
{
    return d == Depth::k8 ? 255.0 : d == Depth::k16 ? 32768.0 : 1.0;
}

// Sets one pixel from channel values on the scale of `full`; integer depths
// take them as they are (16-bit values may exceed 32768).
void Put(World &w, A_long x, A_long y, double a, double r, double g, double b)
{
    switch (w.depth()) {
        case Depth::k8:
            w.px8(x, y) = PF_Pixel8{static_cast<A_u_char>(a), static_cast<A_u_char>(r),
                                    static_cast<A_u_char>(g), static_cast<A_u_char>(b)};
            break;
        case Depth::k16:
            w.px16(x, y) = PF_Pixel16{static_cast<A_u_short>(a), static_cast<A_u_short>(r),
                                      static_cast<A_u_short>(g), static_cast<A_u_short>(b)};
            break;
        case Depth::k32:
            w.pxF(x, y) = PF_PixelFloat{static_cast<float>(a), static_cast<float>(r),
                                        static_cast<float>(g), static_cast<float>(b)};
            break;
    }
}

// An alpha: mostly 0 or full (the common cases, in runs), else anything,
// beyond full at 16 bits and in float, below 0 in float.
double AnyAlpha(Numbers &n, Depth d)
{
    const double full = FullOf(d);
    switch (n.below(8)) {
        case 0:
        case 1:
        case 2:
            return 0.0;
        case 3:
        case 4:
            return full;
        case 5:
            return d == Depth::k8 ? 1.0 : d == Depth::k16 ? 40000.0 : 1.5;
        case 6:
            return d == Depth::k32 ? -0.25 : 1.0;
        default:
            return d == Depth::k32 ? n.below(1000) / 999.0
                                   : std::floor(n.below(1000) / 999.0 * full);
    }
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
            Put(world, x, y, a, AnyChannel(n, d), AnyChannel(n, d), AnyChannel(n, d));
        }
    }
    return world;
}

bool SameBytes(const World &a, const World &b)
{
    return a.samePixels(b);
}

std::string Where(const World &a, const World &b)
{
    const std::size_t bpp = host::BytesPerPixel(a.depth());
    for (A_long y = 0; y < a.height(); ++y) {
        for (A_long x = 0; x < a.width(); ++x) {
            if (std::memcmp(a.row(y) + x * bpp, b.row(y) + x * bpp, bpp) != 0) {
                return "first difference at " + std::to_string(x) + ", " + std::to_string(y);
            }
        }
    }
    return "no difference";
}

class TransferFormulaTest : public ::testing::TestWithParam<Depth> {
protected:
    void During(std::function<void(PF_InData *)> body)
    {
        fx.on(PF_Cmd_ABOUT, [body](Call &c) -> PF_Err {
            body(c.in);
            return PF_Err_NONE;
        });
        effect.about();
    }

    fake::FakeEffect fx;
    host::Effect effect{fx.plugin()};
};

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
        const bool masked = n.below(3) != 0;
        if (masked) {
            c.mask.world = &mask_world;
            c.mask.inverted = n.below(2) == 0;
            c.mask.off_x = n.below(5) - 2;
            c.mask.off_y = n.below(3) - 1;
        }

        World expected = dst;
        TransferRef(src, expected, c);
        PF_Err err = PF_Err_NONE;
        During([&](PF_InData *in) {
            PF_MaskWorld m{};
            if (masked) {
                m.mask = *mask_world.pf();
                m.offset = PF_Point{c.mask.off_x, c.mask.off_y};
                m.what_is_mask = c.mask.inverted ? PF_MaskFlag_INVERTED : PF_MaskFlag_NONE;
            }
            err = in->utils->transfer_rect(in->effect_ref, PF_Quality_HI,
                                           c.straight ? PF_MF_Alpha_STRAIGHT : PF_MF_Alpha_PREMUL,
                                           c.field, &c.src_rect, src.pf(), &c.mode,
                                           masked ? &m : nullptr, c.dest_x, c.dest_y, dst.pf());
        });
        ASSERT_EQ(err, PF_Err_NONE) << "case " << i;
        ASSERT_TRUE(SameBytes(dst, expected)) << "case " << i << ": " << Where(dst, expected);
        ASSERT_TRUE(dst.paddingIntact()) << "case " << i;
    }
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
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
                // destination's depth.
                double ch[4] = {};
                switch (depth) {
                    case Depth::k8: {
                        const PF_Pixel8 &p = src.px8(sx, sy);
                        const double v[4] = {p.alpha / 255.0, p.red / 255.0, p.green / 255.0,
                                             p.blue / 255.0};
                        std::copy(v, v + 4, ch);
                        break;
                    }
                    case Depth::k16: {
                        const PF_Pixel16 &p = src.px16(sx, sy);
                        const double v[4] = {p.alpha / 32768.0, p.red / 32768.0, p.green / 32768.0,
                                             p.blue / 32768.0};
                        std::copy(v, v + 4, ch);
                        break;
                    }
                    case Depth::k32: {
                        const PF_PixelFloat &p = src.pxF(sx, sy);
                        const double v[4] = {p.alpha, p.red, p.green, p.blue};
                        std::copy(v, v + 4, ch);
                        break;
                    }
                }
                if (to == depth) {
                    std::memcpy(expected.row(y) + x * host::BytesPerPixel(to),
                                src.row(sy) + sx * host::BytesPerPixel(to),
                                host::BytesPerPixel(to));
                } else if (to == Depth::k8) {
                    auto c = [](double d) {
                        return static_cast<A_u_char>(std::lround(Clamp01(d) * 255.0));
                    };
                    expected.px8(x, y) = PF_Pixel8{c(ch[0]), c(ch[1]), c(ch[2]), c(ch[3])};
                } else if (to == Depth::k16) {
                    auto c = [](double d) {
                        return static_cast<A_u_short>(std::lround(Clamp01(d) * 32768.0));
                    };
                    expected.px16(x, y) = PF_Pixel16{c(ch[0]), c(ch[1]), c(ch[2]), c(ch[3])};
                } else {
                    auto c = [](double d) { return static_cast<float>(d); };
                    expected.pxF(x, y) = PF_PixelFloat{c(ch[0]), c(ch[1]), c(ch[2]), c(ch[3])};
                }
            }
        }
        During([&](PF_InData *in) {
            PF_Rect s = from, d = into;
            EXPECT_EQ(in->utils->copy(in->effect_ref, const_cast<PF_EffectWorld *>(src.pf()),
                                      dst.pf(), &s, &d),
                      PF_Err_NONE);
        });
        EXPECT_TRUE(SameBytes(dst, expected))
            << static_cast<int>(depth) << " to " << static_cast<int>(to) << ": "
            << Where(dst, expected);
        EXPECT_TRUE(dst.paddingIntact());
    }
    EXPECT_TRUE(effect.faults().empty()) << fake::Joined(effect.faults());
}

INSTANTIATE_TEST_SUITE_P(EveryDepth, TransferFormulaTest,
                         ::testing::Values(Depth::k8, Depth::k16, Depth::k32),
                         [](const ::testing::TestParamInfo<Depth> &p) {
                             return std::to_string(static_cast<int>(p.param)) + "bit";
                         });

// A float mask holding a NaN alpha makes a NaN of even a transparent source
// pixel's weight, and the formula then writes that NaN: transparent source
// pixels are passed over only where the mask is a number.
TEST(TransferFormula, FloatMaskWithANanTurnsEvenTransparentPixelsToNan)
{
    fake::FakeEffect fx;
    host::Effect effect{fx.plugin()};
    World src(12, 1, Depth::k32), dst(12, 1, Depth::k32), mask(12, 1, Depth::k32);
    for (A_long x = 0; x < 12; ++x) {
        dst.pxF(x, 0) = PF_PixelFloat{1.0f, 0.25f, 0.5f, 0.75f};
        mask.pxF(x, 0).alpha = 1.0f;
    }
    mask.pxF(9, 0).alpha = std::numeric_limits<float>::quiet_NaN();
    World expected = dst;
    Case c{};
    c.src_rect = PF_Rect{0, 0, 12, 1};
    c.mode.xfer = PF_Xfer_IN_FRONT;
    c.mode.opacity = 255;
    c.mode.opacitySu = 32768;
    c.straight = true;
    c.field = PF_Field_FRAME;
    c.mask.world = &mask;
    TransferRef(src, expected, c);
    ASSERT_TRUE(std::isnan(expected.pxF(9, 0).red));
    fx.on(PF_Cmd_ABOUT, [&](Call &call) -> PF_Err {
        PF_MaskWorld m{};
        m.mask = *mask.pf();
        return call.in->utils->transfer_rect(call.in->effect_ref, PF_Quality_HI,
                                             PF_MF_Alpha_STRAIGHT, PF_Field_FRAME, nullptr,
                                             src.pf(), &c.mode, &m, 0, 0, dst.pf());
    });
    effect.about();
    EXPECT_TRUE(SameBytes(dst, expected)) << Where(dst, expected);
}

}  // namespace
