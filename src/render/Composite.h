// Straight-alpha "over" of the fill colour onto one canvas pixel, given how
// many of the pixel's 64 sub-samples the polygon covers.
//
// Source alpha a = n * Ca / 64 (truncated at 8 and 16 bit). Nothing happens
// when a is 0. An empty destination, or a fully opaque source, is replaced.
// Otherwise, with d the destination alpha:
//   k = (full - a) * d / full        (>> 8 at 8 bit, >> 15 at 16 bit)
//   alpha = a + k
//   colour = (C * a + dst * k) / (a + k)   (integer division at 8 and 16 bit)
// The 8-bit formula shifts by 8 although full scale is 255: the shift is the
// effect's arithmetic and its results are kept to the bit.
#pragma once

#include <cstdint>

#include "Pixels.h"

namespace render {

// Full-scale alpha of each depth, as the compositing tests it.
constexpr std::int32_t FullScale(const AEUtil::Pixel8 &)
{
    return 255;
}
constexpr std::int32_t FullScale(const AEUtil::Pixel16 &)
{
    return 32768;
}
constexpr double FullScale(const AEUtil::Pixel32 &)
{
    return 1.0;
}

inline void CompositeCoverage(AEUtil::Pixel8 &dst, const AEUtil::Pixel8 &c, int n)
{
    const std::int32_t a = (n * static_cast<std::int32_t>(c.alpha)) / 64;
    if (a == 0) {
        return;
    }
    const std::int32_t d = dst.alpha;
    if (d == 0 || a == 255) {
        dst.alpha = static_cast<A_u_char>(a);
        dst.red = c.red;
        dst.green = c.green;
        dst.blue = c.blue;
        return;
    }
    const std::int32_t k = ((255 - a) * d) >> 8;
    const std::int32_t sum = a + k;
    dst.alpha = static_cast<A_u_char>(sum);
    dst.red = static_cast<A_u_char>((c.red * a + dst.red * k) / sum);
    dst.green = static_cast<A_u_char>((c.green * a + dst.green * k) / sum);
    dst.blue = static_cast<A_u_char>((c.blue * a + dst.blue * k) / sum);
}

inline void CompositeCoverage(AEUtil::Pixel16 &dst, const AEUtil::Pixel16 &c, int n)
{
    // 64-bit products: a channel may hold up to 65535 although full scale is 32768.
    const std::int64_t a = (static_cast<std::int64_t>(n) * c.alpha) / 64;
    if (a == 0) {
        return;
    }
    const std::int64_t d = dst.alpha;
    if (d == 0 || a == 32768) {
        dst.alpha = static_cast<A_u_short>(a);
        dst.red = c.red;
        dst.green = c.green;
        dst.blue = c.blue;
        return;
    }
    const std::int64_t k = ((32768 - a) * d) >> 15;
    const std::int64_t sum = a + k;
    dst.alpha = static_cast<A_u_short>(sum);
    dst.red = static_cast<A_u_short>((c.red * a + dst.red * k) / sum);
    dst.green = static_cast<A_u_short>((c.green * a + dst.green * k) / sum);
    dst.blue = static_cast<A_u_short>((c.blue * a + dst.blue * k) / sum);
}

inline void CompositeCoverage(AEUtil::Pixel32 &dst, const AEUtil::Pixel32 &c, int n)
{
    const double a = static_cast<double>(n) * c.alpha * (1.0 / 64.0);
    if (a == 0) {
        return;
    }
    const double d = dst.alpha;
    if (d == 0 || a == 1.0) {
        dst.alpha = static_cast<PF_FpShort>(a);
        dst.red = c.red;
        dst.green = c.green;
        dst.blue = c.blue;
        return;
    }
    const double k = (1.0 - a) * d;
    const double sum = a + k;
    dst.alpha = static_cast<PF_FpShort>(sum);
    dst.red = static_cast<PF_FpShort>((a * c.red + k * dst.red) / sum);
    dst.green = static_cast<PF_FpShort>((a * c.green + k * dst.green) / sum);
    dst.blue = static_cast<PF_FpShort>((a * c.blue + k * dst.blue) / sum);
}

// CompositeCoverageFast: CompositeCoverage with the same results in cheaper
// arithmetic.
//
// n / d for 1 <= d <= 255 and 0 <= n <= 255 d (the 8-bit colour quotients)
// without a division: (n m) >> 24 with m = ceil(2^24 / d). Then
// m d = 2^24 + e with 0 <= e < d, and n m / 2^24 = n / d + n e / (d 2^24),
// where n e < 255 * 255 * 254 < 2^24 keeps the second term below 1 / d,
// which is no more than the distance from n / d up to the next integer.
struct Reciprocals8 {
    std::uint32_t m[256];
    constexpr Reciprocals8() : m{}
    {
        for (std::uint32_t d = 1; d < 256; ++d) {
            m[d] = ((1u << 24) + d - 1) / d;
        }
    }
};
inline constexpr Reciprocals8 kReciprocals8{};

inline std::uint32_t Quotient8(std::uint32_t n, std::uint32_t d)
{
    return static_cast<std::uint32_t>((static_cast<std::uint64_t>(n) * kReciprocals8.m[d]) >> 24);
}

// The 8- and 16-bit blends in 32-bit arithmetic: a is the dot's alpha at
// this coverage, kFull the depth's full scale, kShift its log2 rounded down;
// divide(n, d) is n / d rounded down.
template <std::uint32_t kFull, int kShift, typename Pixel, typename Divide>
inline void CompositeCoverageInt(Pixel &dst, const Pixel &c, int n, Divide divide)
{
    using Channel = decltype(Pixel::alpha);
    const std::uint32_t a = (static_cast<std::uint32_t>(n) * c.alpha) / 64;
    if (a > kFull) {
        CompositeCoverage(dst, c, n);
        return;
    }
    if (a == 0) {
        return;
    }
    const std::uint32_t d = dst.alpha;
    if (d == 0 || a == kFull) {
        dst.alpha = static_cast<Channel>(a);
        dst.red = c.red;
        dst.green = c.green;
        dst.blue = c.blue;
        return;
    }
    const std::uint32_t k = ((kFull - a) * d) >> kShift;
    const std::uint32_t sum = a + k;
    dst.alpha = static_cast<Channel>(sum);
    dst.red = static_cast<Channel>(divide(c.red * a + dst.red * k, sum));
    dst.green = static_cast<Channel>(divide(c.green * a + dst.green * k, sum));
    dst.blue = static_cast<Channel>(divide(c.blue * a + dst.blue * k, sum));
}

// At 8 bits a is at most 255 and, when it is less, k < 255 - a, so a + k
// stays within 1 .. 254 and each colour's numerator within 255 (a + k):
// Quotient8 gives the quotients.
inline void CompositeCoverageFast(AEUtil::Pixel8 &dst, const AEUtil::Pixel8 &c, int n)
{
    CompositeCoverageInt<255, 8>(
        dst, c, n, [](std::uint32_t num, std::uint32_t den) { return Quotient8(num, den); });
}

// At 16 bits in 32-bit arithmetic where the operands allow: with a at most
// full scale, k is non-negative, a + k stays below 65536 (d is at most
// 65535), so each colour's numerator, at most 65535 (a + k), stays below 2^32
// and the unsigned quotients are those of the 64-bit formula.
inline void CompositeCoverageFast(AEUtil::Pixel16 &dst, const AEUtil::Pixel16 &c, int n)
{
    CompositeCoverageInt<32768, 15>(dst, c, n,
                                    [](std::uint32_t num, std::uint32_t den) { return num / den; });
}

inline void CompositeCoverageFast(AEUtil::Pixel32 &dst, const AEUtil::Pixel32 &c, int n)
{
    CompositeCoverage(dst, c, n);
}

// CompositeCoverage(line[px], c, 64) for px = from .. to - 1: a run of fully
// covered pixels. An opaque colour replaces them outright.
template <typename Pixel>
inline void CompositeFullRun(Pixel *line, int from, int to, const Pixel &c)
{
    if (from >= to) {
        return;
    }
    // At full coverage a = Ca at every depth (64 * Ca / 64, exact), and the
    // pixel is replaced by (a, C) when a is full scale.
    Pixel probe{};
    CompositeCoverage(probe, c, 64);
    if (probe.alpha == 0) {
        return;
    }
    if (c.alpha == FullScale(c)) {
        for (int px = from; px < to; ++px) {
            line[px] = probe;
        }
        return;
    }
    for (int px = from; px < to; ++px) {
        CompositeCoverageFast(line[px], c, 64);
    }
}

}  // namespace render
