// Fill, copy and compositing on the effect's worlds.
//
// Rectangles are in the world's own pixel coordinates (0, 0 is the first
// pixel of its data, whatever its origin), a null rectangle meaning the
// whole world; parts outside a world are clipped away.
//
// transfer_rect supports PF_Xfer_IN_FRONT, source over destination:
//   k  = opacity x mask            (mask: see below; 1 without a mask)
//   sa = source alpha x k
//   straight alpha (PF_MF_Alpha_STRAIGHT):
//     sa = 0        -> the destination is left exactly as it was
//     dest alpha 0  -> the destination becomes (sa, source colour), exactly
//     otherwise     -> out alpha  = sa + da (1 - sa)
//                      out colour = (sc sa + dc da (1 - sa)) / out alpha
//   premultiplied (PF_MF_Alpha_PREMUL):
//     out = sc k + dc (1 - sa), out alpha = sa + da (1 - sa)
// At 8 and 16 bits this is integer arithmetic rounded to nearest (full scale
// 255 and 32768), so a cleared destination composited with a layer gives the
// layer bit for bit. Opacity is comp_mode->opacity (0..255) at 8 bits and
// opacitySu (0..32768) at 16 bits and in float.
//
// The mask multiplies the source alpha by the mask's alpha at the matching
// destination pixel: mask pixel = destination pixel - mask offset, 0 outside
// the mask (or when the mask has no pixels); PF_MaskFlag_INVERTED uses
// full - mask alpha instead. Other transfer modes and luminance masks are
// refused with PF_Err_BAD_CALLBACK_PARAM.
#include "host/Compositing_p.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "host/Core_p.h"
#include "host/Streaming_p.h"
#include "host/Worlds_p.h"

namespace host {
namespace detail {
namespace {

PF_Rect Whole(const WorldView &v)
{
    return PF_Rect{0, 0, v.width, v.height};
}

bool Empty(const PF_Rect &r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

PF_Rect Intersect(const PF_Rect &a, const PF_Rect &b)
{
    return PF_Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                   std::min(a.bottom, b.bottom)};
}

// Resolves a world argument, booking a fault when it cannot be used.
bool Need(CommandContext *ctx, const char *service, const char *what, const PF_EffectWorld *w,
          WorldView *v)
{
    const Resolve r = ResolveWorld(w, v);
    if (r == Resolve::kOk) return true;
    ctx->fault(std::string(service) + ": the " + what + " world " + ResolveText(r));
    return false;
}

// ---------------------------------------------------------------- fill

PF_Err Fill(PF_ProgPtr ref, const char *service, const PixelD &color, const PF_Rect *dst_rect,
            PF_EffectWorld *world)
{
    CommandContext *ctx = ContextFor(ref, service);
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    WorldView v;
    if (!Need(ctx, service, "destination", world, &v)) return PF_Err_BAD_CALLBACK_PARAM;
    FillRect(v, Intersect(dst_rect ? *dst_rect : Whole(v), Whole(v)), color);
    return PF_Err_NONE;
}

// ---------------------------------------------------------------- copy

PixelD Lerp(const PixelD &a, const PixelD &b, double t)
{
    return {a.alpha + (b.alpha - a.alpha) * t, a.red + (b.red - a.red) * t,
            a.green + (b.green - a.green) * t, a.blue + (b.blue - a.blue) * t};
}

// Bilinear sample at a position in source pixels (centres at .5), clamped
// to the rectangle `r`.
PixelD Bilinear(const WorldView &v, const PF_Rect &r, double fx, double fy)
{
    fx = std::min(std::max(fx - 0.5, static_cast<double>(r.left)), r.right - 1.0);
    fy = std::min(std::max(fy - 0.5, static_cast<double>(r.top)), r.bottom - 1.0);
    const A_long x0 = static_cast<A_long>(fx), y0 = static_cast<A_long>(fy);
    const A_long x1 = std::min(x0 + 1, r.right - 1), y1 = std::min(y0 + 1, r.bottom - 1);
    const double tx = fx - x0, ty = fy - y0;
    const PixelD top = Lerp(ReadPixel(v, x0, y0), ReadPixel(v, x1, y0), tx);
    const PixelD bottom = Lerp(ReadPixel(v, x0, y1), ReadPixel(v, x1, y1), tx);
    return Lerp(top, bottom, ty);
}

// Whether two views share bytes, from the first pixel to the last of each.
bool Overlap(const WorldView &a, const WorldView &b)
{
    auto end = [](const WorldView &v) {
        return v.data + static_cast<std::ptrdiff_t>(v.rowbytes) * (v.height - 1) +
               static_cast<std::ptrdiff_t>(v.width) *
                   static_cast<std::ptrdiff_t>(BytesPerPixel(v.depth));
    };
    return a.data < end(b) && b.data < end(a);
}

// Equal rectangles copy pixel for pixel (converting depth if the worlds
// differ); unequal ones scale, by nearest pixel or, for copy_hq, bilinearly.
PF_Err Copy(PF_ProgPtr ref, const char *service, bool hq, PF_EffectWorld *src, PF_EffectWorld *dst,
            const PF_Rect *src_r, const PF_Rect *dst_r)
{
    CommandContext *ctx = ContextFor(ref, service);
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    WorldView s, d;
    if (!Need(ctx, service, "source", src, &s) || !Need(ctx, service, "destination", dst, &d)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const PF_Rect sr = src_r ? *src_r : Whole(s);
    const PF_Rect dr = dst_r ? *dst_r : Whole(d);
    if (Empty(sr) || Empty(dr)) return PF_Err_NONE;
    const PF_Rect sclip = Intersect(sr, Whole(s));
    if (Empty(sclip)) return PF_Err_NONE;
    const PF_Rect out = Intersect(dr, Whole(d));
    const A_long sw = sr.right - sr.left, sh = sr.bottom - sr.top;
    const A_long dw = dr.right - dr.left, dh = dr.bottom - dr.top;
    const bool same_size = sw == dw && sh == dh;
    const std::size_t bpp = BytesPerPixel(s.depth);
    if (same_size && !Overlap(s, d)) {
        // Whole rows at once: the destination pixels whose source pixel
        // lies within the source world.
        const PF_Rect to = Intersect(
            out, PF_Rect{sclip.left - sr.left + dr.left, sclip.top - sr.top + dr.top,
                         sclip.right - sr.left + dr.left, sclip.bottom - sr.top + dr.top});
        if (Empty(to)) return PF_Err_NONE;
        const A_long sx = sr.left + (to.left - dr.left);
        const std::size_t row_bytes =
            static_cast<std::size_t>(to.right - to.left) * BytesPerPixel(d.depth);
        const bool stream = s.depth == d.depth &&
                            StreamWrites(row_bytes * static_cast<std::size_t>(to.bottom - to.top));
        for (A_long y = to.top; y < to.bottom; ++y) {
            const A_long sy = sr.top + (y - dr.top);
            const unsigned char *from =
                s.row<unsigned char>(sy) + static_cast<std::size_t>(sx) * bpp;
            unsigned char *into = d.row<unsigned char>(y) +
                                  static_cast<std::size_t>(to.left) * BytesPerPixel(d.depth);
            if (stream) {
                StreamCopy(into, from, row_bytes);
            } else {
                ConvertRow(from, s.depth, into, d.depth, to.right - to.left);
            }
        }
        if (stream) StreamFence();
        return PF_Err_NONE;
    }
    // Pixel by pixel, in order, for scaling and for worlds that share
    // memory (where the order decides what is read).
    for (A_long y = out.top; y < out.bottom; ++y) {
        for (A_long x = out.left; x < out.right; ++x) {
            if (same_size) {
                const A_long sx = sr.left + (x - dr.left), sy = sr.top + (y - dr.top);
                if (sx < sclip.left || sx >= sclip.right || sy < sclip.top || sy >= sclip.bottom) {
                    continue;  // nothing there to copy
                }
                if (s.depth == d.depth) {
                    std::memcpy(d.row<unsigned char>(y) + x * bpp,
                                s.row<unsigned char>(sy) + sx * bpp, bpp);
                } else {
                    WritePixel(d, x, y, ReadPixel(s, sx, sy));
                }
                continue;
            }
            const double fx = sr.left + (x - dr.left + 0.5) * sw / dw;
            const double fy = sr.top + (y - dr.top + 0.5) * sh / dh;
            if (hq) {
                WritePixel(d, x, y, Bilinear(s, sclip, fx, fy));
            } else {
                const A_long sx =
                    std::min(std::max(static_cast<A_long>(fx), sclip.left), sclip.right - 1);
                const A_long sy =
                    std::min(std::max(static_cast<A_long>(fy), sclip.top), sclip.bottom - 1);
                WritePixel(d, x, y, ReadPixel(s, sx, sy));
            }
        }
    }
    return PF_Err_NONE;
}

// ---------------------------------------------------------------- transfer

// Source over destination at an integer depth with full scale F; k is
// opacity x mask on the scale F * F.
template <typename P, long long F>
void OverInt(P &d, const P &s, long long k, bool straight)
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
        if (d.alpha == F) {
            // An opaque destination stays opaque: its out alpha on the scale
            // F * F is sa F + F (F - sa) = F * F whatever sa is, so the
            // quotients below are those of the general formula, by a divisor
            // known in advance.
            auto mix_opaque = [&](long long sc, long long dc) {
                return static_cast<decltype(d.red)>((sc * sa * F + dc * F * (F - sa) + FF / 2) /
                                                    FF);
            };
            d.red = mix_opaque(s.red, d.red);
            d.green = mix_opaque(s.green, d.green);
            d.blue = mix_opaque(s.blue, d.blue);
            return;
        }
        const long long da = d.alpha;
        const long long a_num = sa * F + da * (F - sa);  // out alpha on the scale F * F
        auto mix = [&](long long sc, long long dc) {
            return static_cast<decltype(d.red)>((sc * sa * F + dc * da * (F - sa) + a_num / 2) /
                                                a_num);
        };
        if (F <= 255 && sa > 0 && sa <= F) {
            // Every sum is then below 2^25: the same quotients from 32-bit
            // unsigned division, which is the quicker.
            const auto sa32 = static_cast<std::uint32_t>(sa), da32 = static_cast<std::uint32_t>(da);
            const auto a32 = static_cast<std::uint32_t>(a_num), f32 = static_cast<std::uint32_t>(F);
            auto mix32 = [&](std::uint32_t sc, std::uint32_t dc) {
                return static_cast<decltype(d.red)>(
                    (sc * sa32 * f32 + dc * da32 * (f32 - sa32) + a32 / 2) / a32);
            };
            d.red = mix32(s.red, d.red);
            d.green = mix32(s.green, d.green);
            d.blue = mix32(s.blue, d.blue);
            d.alpha = static_cast<decltype(d.alpha)>((a32 + f32 / 2) / f32);
            return;
        }
        d.red = mix(s.red, d.red);
        d.green = mix(s.green, d.green);
        d.blue = mix(s.blue, d.blue);
        d.alpha = static_cast<decltype(d.alpha)>((a_num + F / 2) / F);
        return;
    }
    const double kf = static_cast<double>(k) / FF;
    const double inv = 1.0 - static_cast<double>(sa) / F;
    auto mix = [&](double sc, double dc) {
        const double v = std::round(sc * kf + dc * inv);
        return static_cast<decltype(d.red)>(std::min(std::max(v, 0.0), static_cast<double>(F)));
    };
    d.red = mix(s.red, d.red);
    d.green = mix(s.green, d.green);
    d.blue = mix(s.blue, d.blue);
    d.alpha = mix(s.alpha, d.alpha);  // sa + da (1 - sa), unrounded sa
}

void OverFloat(PF_PixelFloat &d, const PF_PixelFloat &s, double k, bool straight)
{
    const double sa = std::min(std::max(static_cast<double>(s.alpha), 0.0), 1.0) * k;
    if (sa <= 0.0) return;
    const double da = std::min(std::max(static_cast<double>(d.alpha), 0.0), 1.0);
    if (straight) {
        if (da <= 0.0) {
            d = s;
            d.alpha = static_cast<float>(sa);
            return;
        }
        const double a = sa + da * (1.0 - sa);
        // Dividing by exactly 1 (an opaque result, the common case) leaves
        // every value as it is, so that division is left out.
        auto mix = [&](double sc, double dc) {
            const double v = sc * sa + dc * da * (1.0 - sa);
            return static_cast<float>(a == 1.0 ? v : v / a);
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

struct Mask {
    bool present = false;
    bool inverted = false;
    bool has_pixels = false;
    WorldView view;
    PF_Point offset{};

    // What a mask alpha (as ReadPixel reads it: 0..1 for integer masks)
    // counts for. Outside the mask, or without pixels, the alpha is 0.
    static double Value(double alpha, bool inverted)
    {
        const double m = std::min(std::max(alpha, 0.0), 1.0);
        return inverted ? 1.0 - m : m;
    }
};

// The factor a mask value makes at a destination of full scale F: the
// value rounded to the scale F at the integer depths (Factor long long), the
// value itself in float (Factor double, F 1).
template <typename Factor, long long F>
Factor FactorOf(double m)
{
    if constexpr (std::is_same<Factor, double>::value) {
        return m;
    } else {
        return std::lround(m * F);
    }
}

// FactorOf(Mask::Value(alpha)) for every alpha an integer mask pixel can
// hold, worked once with the very expressions of the pixel-by-pixel path.
template <typename Factor, long long F, typename MaskPixel, bool Inverted>
const Factor *FactorTable()
{
    static const std::vector<Factor> table = [] {
        MaskPixel p{};
        std::vector<Factor> t(std::size_t{1} << (8 * sizeof p.alpha));
        for (std::size_t v = 0; v < t.size(); ++v) {
            p.alpha = static_cast<decltype(p.alpha)>(v);
            double alpha;
            if constexpr (std::is_same<MaskPixel, PF_Pixel8>::value) {
                alpha = FromPixel8(p).alpha;
            } else {
                alpha = FromPixel16(p).alpha;
            }
            t[v] = FactorOf<Factor, F>(Mask::Value(alpha, Inverted));
        }
        return t;
    }();
    return table.data();
}

template <typename Factor, long long F, typename MaskPixel>
const Factor *FactorTableFor(bool inverted)
{
    return inverted ? FactorTable<Factor, F, MaskPixel, true>()
                    : FactorTable<Factor, F, MaskPixel, false>();
}

// The factor of the mask's alpha at each destination pixel (mask pixel =
// destination pixel - offset): from a table for integer masks, worked out
// for float ones.
template <typename Factor, long long F>
class MaskFactor {
public:
    explicit MaskFactor(const Mask &mask)
        : mask_(mask), outside_(FactorOf<Factor, F>(Mask::Value(0.0, mask.inverted)))
    {
        if (!mask.present || !mask.has_pixels) return;
        if (mask.view.depth == Depth::k8) {
            table8_ = FactorTableFor<Factor, F, PF_Pixel8>(mask.inverted);
        } else if (mask.view.depth == Depth::k16) {
            table16_ = FactorTableFor<Factor, F, PF_Pixel16>(mask.inverted);
        }
    }

    Factor at(A_long dx, A_long dy) const
    {
        const A_long mx = dx - mask_.offset.h, my = dy - mask_.offset.v;
        const WorldView &v = mask_.view;
        if (!mask_.has_pixels || mx < 0 || my < 0 || mx >= v.width || my >= v.height) {
            return outside_;
        }
        if (table8_) return table8_[v.row<PF_Pixel8>(my)[mx].alpha];
        if (table16_) return table16_[v.row<PF_Pixel16>(my)[mx].alpha];
        const PF_PixelFloat &p = v.row<PF_PixelFloat>(my)[mx];
        return FactorOf<Factor, F>(Mask::Value(static_cast<double>(p.alpha), mask_.inverted));
    }

    // at(dx, dy) along one destination row, with what depends on the row
    // alone worked out once; without a mask the factor is `none`.
    class Row {
    public:
        Factor at(A_long dx) const
        {
            if (!present_) return none_;
            const A_long mx = dx - offset_;
            if (!row_ || mx < 0 || mx >= width_) return outside_;
            if (table8_) return table8_[reinterpret_cast<const PF_Pixel8 *>(row_)[mx].alpha];
            if (table16_) return table16_[reinterpret_cast<const PF_Pixel16 *>(row_)[mx].alpha];
            const PF_PixelFloat &p = reinterpret_cast<const PF_PixelFloat *>(row_)[mx];
            return FactorOf<Factor, F>(Mask::Value(static_cast<double>(p.alpha), inverted_));
        }

    private:
        friend class MaskFactor;
        bool present_ = false;
        bool inverted_ = false;
        Factor none_{};
        Factor outside_{};
        const unsigned char *row_ = nullptr;  // null outside the mask
        A_long offset_ = 0;
        A_long width_ = 0;
        const Factor *table8_ = nullptr;
        const Factor *table16_ = nullptr;
    };

    Row row(A_long dy, Factor none) const
    {
        Row r;
        r.present_ = mask_.present;
        r.inverted_ = mask_.inverted;
        r.none_ = none;
        r.outside_ = outside_;
        r.offset_ = mask_.offset.h;
        r.width_ = mask_.view.width;
        r.table8_ = table8_;
        r.table16_ = table16_;
        const A_long my = dy - mask_.offset.v;
        if (mask_.has_pixels && my >= 0 && my < mask_.view.height) {
            r.row_ = mask_.view.row<unsigned char>(my);
        }
        return r;
    }

    // Whether the factor at a destination pixel is a number: always, but
    // for a float mask holding a NaN alpha there.
    bool numberAt(A_long dx, A_long dy) const
    {
        if (!mask_.present || table8_ || table16_) return true;
        const A_long mx = dx - mask_.offset.h, my = dy - mask_.offset.v;
        const WorldView &v = mask_.view;
        if (!mask_.has_pixels || mx < 0 || my < 0 || mx >= v.width || my >= v.height) {
            return true;
        }
        return !std::isnan(v.row<PF_PixelFloat>(my)[mx].alpha);
    }

    // numberAt for every pixel of destination row dy from dx0 to dx1.
    bool numbersAlong(A_long dy, A_long dx0, A_long dx1) const
    {
        if (!mask_.present || table8_ || table16_ || !mask_.has_pixels) return true;
        const WorldView &v = mask_.view;
        const A_long my = dy - mask_.offset.v;
        if (my < 0 || my >= v.height) return true;
        const A_long mx0 = std::max<A_long>(dx0 - mask_.offset.h, 0);
        const A_long mx1 = std::min<A_long>(dx1 - mask_.offset.h, v.width);
        // A NaN's bits, sign aside, exceed those of infinity; counted
        // without a branch, which compilers turn into vector code.
        const PF_PixelFloat *row = v.row<PF_PixelFloat>(my);
        std::uint32_t nans = 0;
        for (A_long mx = mx0; mx < mx1; ++mx) {
            std::uint32_t bits;
            std::memcpy(&bits, &row[mx].alpha, sizeof bits);
            nans += (bits & 0x7FFFFFFFu) > 0x7F800000u ? 1u : 0u;
        }
        return nans == 0;
    }

private:
    const Mask &mask_;
    const Factor outside_;
    const Factor *table8_ = nullptr;
    const Factor *table16_ = nullptr;
};

// The source columns sx of [sr.left, sr.right) whose destination column
// dest_x + (sx - sr.left) lies within the destination's width.
void LandingColumns(const PF_Rect &sr, A_long dest_x, A_long width, A_long *first, A_long *last)
{
    const long long shift = static_cast<long long>(sr.left) - dest_x;
    *first = static_cast<A_long>(std::max<long long>(sr.left, shift));
    *last = static_cast<A_long>(std::min<long long>(sr.right, shift + width));
}

bool SkipRow(A_long dy, A_long height, PF_Field field)
{
    if (dy < 0 || dy >= height) return true;
    if (field == PF_Field_UPPER && dy % 2 != 0) return true;
    if (field == PF_Field_LOWER && dy % 2 == 0) return true;
    return false;
}

// The bits of a 64-bit word laid over pixels of type P (over its first
// eight bytes, for pixels that are larger) that hold alpha.
template <typename P>
std::uint64_t AlphaBits()
{
    unsigned char bytes[sizeof(std::uint64_t)] = {};
    for (std::size_t at = 0; at + sizeof(P::alpha) <= sizeof bytes; at += sizeof(P)) {
        std::memset(bytes + at + offsetof(P, alpha), 0xFF, sizeof(P::alpha));
    }
    std::uint64_t bits;
    std::memcpy(&bits, bytes, sizeof bits);
    return bits;
}

// The first pixel from sx on (last if none) that `skip` does not pass
// over. Runs of pixels whose alpha bits are all 0 (transparent at every
// depth) go eight at a time, a word at a time.
template <typename P, typename Skip>
A_long NextKept(const P *in, A_long sx, A_long last, std::uint64_t alpha_bits, Skip skip)
{
    if (sx < last && !skip(in[sx])) return sx;  // dense parts: no run to look for
    constexpr A_long kRun = 8;
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    constexpr std::size_t kStep = sizeof(P) > kWord ? sizeof(P) : kWord;  // alpha in each
    for (; last - sx >= kRun; sx += kRun) {
        const auto *bytes = reinterpret_cast<const unsigned char *>(in + sx);
        std::uint64_t any = 0;
        for (std::size_t at = 0; at < kRun * sizeof(P); at += kStep) {
            std::uint64_t w;
            std::memcpy(&w, bytes + at, kWord);
            any |= w;
        }
        if (any & alpha_bits) break;
    }
    while (sx < last && skip(in[sx])) ++sx;
    return sx;
}

template <typename P, long long F>
void TransferInt(const WorldView &s, const PF_Rect &sr, const WorldView &d, A_long dest_x,
                 A_long dest_y, long long opacity, const Mask &mask, bool straight, PF_Field field)
{
    const MaskFactor<long long, F> factor(mask);
    // A transparent source pixel leaves the destination as it is (its alpha
    // times any k rounds to 0): passed over without reading the mask.
    auto transparent = [](const P &p) { return p.alpha == 0; };
    const std::uint64_t alpha_bits = AlphaBits<P>();
    A_long first, last;
    LandingColumns(sr, dest_x, d.width, &first, &last);
    for (A_long sy = sr.top; sy < sr.bottom && first < last; ++sy) {
        const A_long dy = dest_y + (sy - sr.top);
        if (SkipRow(dy, d.height, field)) continue;
        const P *in = s.row<P>(sy);
        P *out = d.row<P>(dy);
        const auto along = factor.row(dy, F);
        for (A_long sx = NextKept(in, first, last, alpha_bits, transparent); sx < last;
             sx = NextKept(in, sx + 1, last, alpha_bits, transparent)) {
            const P &src = in[sx];
            const A_long dx = dest_x + (sx - sr.left);
            const long long k = opacity * along.at(dx);
            // An opaque source at full opacity and mask comes out unchanged
            // from the straight formula: sa = F, out alpha F, colours sc.
            if (straight && k == F * F && src.alpha == F) {
                out[dx] = src;
                continue;
            }
            OverInt<P, F>(out[dx], src, k, straight);
        }
    }
}

void TransferFloat(const WorldView &s, const PF_Rect &sr, const WorldView &d, A_long dest_x,
                   A_long dest_y, double opacity, const Mask &mask, bool straight, PF_Field field)
{
    const MaskFactor<double, 1> factor(mask);
    // A source alpha at or below 0 leaves the destination as it is, unless
    // the mask's factor there is a NaN (a float mask's): such pixels are
    // passed over along rows where the mask holds no NaN.
    auto transparent = [](const PF_PixelFloat &p) { return p.alpha <= 0.0f; };
    const std::uint64_t alpha_bits = AlphaBits<PF_PixelFloat>();
    A_long first, last;
    LandingColumns(sr, dest_x, d.width, &first, &last);
    for (A_long sy = sr.top; sy < sr.bottom && first < last; ++sy) {
        const A_long dy = dest_y + (sy - sr.top);
        if (SkipRow(dy, d.height, field)) continue;
        const PF_PixelFloat *in = s.row<PF_PixelFloat>(sy);
        PF_PixelFloat *out = d.row<PF_PixelFloat>(dy);
        const A_long dx0 = dest_x + (first - sr.left), dx1 = dest_x + (last - sr.left);
        if (factor.numbersAlong(dy, dx0, dx1)) {
            const auto along = factor.row(dy, 1.0);
            for (A_long sx = NextKept(in, first, last, alpha_bits, transparent); sx < last;
                 sx = NextKept(in, sx + 1, last, alpha_bits, transparent)) {
                const A_long dx = dest_x + (sx - sr.left);
                const double m = along.at(dx);
                OverFloat(out[dx], in[sx], opacity * m, straight);
            }
            continue;
        }
        for (A_long sx = first; sx < last; ++sx) {
            const A_long dx = dest_x + (sx - sr.left);
            if (transparent(in[sx]) && factor.numberAt(dx, dy)) continue;
            const double m = mask.present ? factor.at(dx, dy) : 1.0;
            OverFloat(out[dx], in[sx], opacity * m, straight);
        }
    }
}

PF_Err Transfer(CommandContext *ctx, const char *service, PF_ModeFlags m_flags, PF_Field field,
                const PF_Rect *src_rec, const PF_EffectWorld *src_world,
                const PF_CompositeMode *comp_mode, const PF_MaskWorld *mask_world, A_long dest_x,
                A_long dest_y, PF_EffectWorld *dst_world)
{
    WorldView s, d;
    if (!Need(ctx, service, "source", src_world, &s) ||
        !Need(ctx, service, "destination", dst_world, &d)) {
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (s.depth != d.depth) {
        ctx->fault(std::string(service) + " between worlds of different depths");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!comp_mode) {
        ctx->fault(std::string(service) + " without a composite mode");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (comp_mode->xfer != PF_Xfer_IN_FRONT) {
        ctx->fault(std::string(service) + " with transfer mode " + std::to_string(comp_mode->xfer) +
                   ", which this host does not support (only PF_Xfer_IN_FRONT)");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    Mask mask;
    if (mask_world) {
        if (mask_world->what_is_mask & PF_MaskFlag_LUMINANCE) {
            ctx->fault(std::string(service) + " with a luminance mask, which this host does " +
                       "not support");
            return PF_Err_BAD_CALLBACK_PARAM;
        }
        mask.present = true;
        mask.inverted = (mask_world->what_is_mask & PF_MaskFlag_INVERTED) != 0;
        mask.offset = mask_world->offset;
        const Resolve r = ResolveWorld(&mask_world->mask, &mask.view);
        if (r == Resolve::kOk) {
            mask.has_pixels = true;
        } else if (r != Resolve::kNoPixels) {
            ctx->fault(std::string(service) + ": the mask world " + ResolveText(r));
            return PF_Err_BAD_CALLBACK_PARAM;
        }
    }
    PF_Rect sr = src_rec ? *src_rec : Whole(s);
    // Clipping the source moves the place its first pixel lands.
    const PF_Rect clipped = Intersect(sr, Whole(s));
    dest_x += clipped.left - sr.left;
    dest_y += clipped.top - sr.top;
    sr = clipped;
    if (Empty(sr)) return PF_Err_NONE;
    const bool straight = m_flags == PF_MF_Alpha_STRAIGHT;
    switch (d.depth) {
        case Depth::k8:
            TransferInt<PF_Pixel8, PF_MAX_CHAN8>(s, sr, d, dest_x, dest_y, comp_mode->opacity, mask,
                                                 straight, field);
            break;
        case Depth::k16:
            TransferInt<PF_Pixel16, PF_MAX_CHAN16>(
                s, sr, d, dest_x, dest_y, std::min<long long>(comp_mode->opacitySu, PF_MAX_CHAN16),
                mask, straight, field);
            break;
        case Depth::k32:
            TransferFloat(s, sr, d, dest_x, dest_y, std::min(comp_mode->opacitySu / 32768.0, 1.0),
                          mask, straight, field);
            break;
    }
    return PF_Err_NONE;
}

}  // namespace

PF_Err CbFill(PF_ProgPtr ref, const PF_Pixel *color, const PF_Rect *dst_rect, PF_EffectWorld *world)
{
    return Fill(ref, "fill", color ? FromPixel8(*color) : PixelD{0, 0, 0, 0}, dst_rect, world);
}

PF_Err CbFill16(PF_ProgPtr ref, const PF_Pixel16 *color, const PF_Rect *dst_rect,
                PF_EffectWorld *world)
{
    return Fill(ref, "fill16", color ? FromPixel16(*color) : PixelD{0, 0, 0, 0}, dst_rect, world);
}

PF_Err CbFillFloat(PF_ProgPtr ref, const PF_PixelFloat *color, const PF_Rect *dst_rect,
                   PF_EffectWorld *world)
{
    return Fill(ref, "fill_float", color ? FromPixelFloat(*color) : PixelD{0, 0, 0, 0}, dst_rect,
                world);
}

PF_Err CbCopy(PF_ProgPtr ref, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *src_r,
              PF_Rect *dst_r)
{
    return Copy(ref, "copy", false, src, dst, src_r, dst_r);
}

PF_Err CbCopyHq(PF_ProgPtr ref, PF_EffectWorld *src, PF_EffectWorld *dst, PF_Rect *src_r,
                PF_Rect *dst_r)
{
    return Copy(ref, "copy_hq", true, src, dst, src_r, dst_r);
}

PF_Err CbTransferRect(PF_ProgPtr ref, PF_Quality, PF_ModeFlags m_flags, PF_Field field,
                      const PF_Rect *src_rec, const PF_EffectWorld *src_world,
                      const PF_CompositeMode *comp_mode, const PF_MaskWorld *mask_world0,
                      A_long dest_x, A_long dest_y, PF_EffectWorld *dst_world)
{
    CommandContext *ctx = ContextFor(ref, "transfer_rect");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    return Transfer(ctx, "transfer_rect", m_flags, field, src_rec, src_world, comp_mode,
                    mask_world0, dest_x, dest_y, dst_world);
}

PF_Err CbCompositeRect(PF_ProgPtr ref, PF_Rect *src_rect, A_long src_opacity,
                       PF_EffectWorld *source_wld, A_long dest_x, A_long dest_y, PF_Field field_rdr,
                       PF_XferMode xfer_mode, PF_EffectWorld *dest_wld)
{
    CommandContext *ctx = ContextFor(ref, "composite_rect");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    const long long opacity = std::min<long long>(std::max<long long>(src_opacity, 0), 255);
    PF_CompositeMode mode{};
    mode.xfer = xfer_mode;
    mode.opacity = static_cast<A_u_char>(opacity);
    mode.opacitySu = static_cast<A_u_short>((opacity * PF_MAX_CHAN16 + 127) / 255);
    return Transfer(ctx, "composite_rect", PF_MF_Alpha_STRAIGHT, field_rdr, src_rect, source_wld,
                    &mode, nullptr, dest_x, dest_y, dest_wld);
}

}  // namespace detail
}  // namespace host
