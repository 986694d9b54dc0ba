// Channel conversions between the samples of image files and the channels of
// host worlds. World full scale: 255 at 8 bits, 32768 at 16 bits (not 65535),
// 1.0 in float. Every conversion goes from the file's sample straight to the
// world's depth and back, so nothing is rounded twice.
//
//   file sample        world 8               world 16                  world float
//   PNG 8-bit c        c                     (c*32768 + 127) / 255     c / 255
//   PNG 16-bit p       (p*255 + 32767)/65535 (p*32768 + 32767) / 65535 p / 65535
//   EXR half/float f   round(f*255)          round(f*32768)            f
//
//   world channel      PNG 8-bit             PNG 16-bit                EXR
//   8-bit c            c                     c * 257                   c / 255
//   16-bit v           (v*255 + 16384)/32768 (v*65535 + 16384) / 32768 v / 32768
//   float f            round(f*255)          round(f*65535)            f
//
// Integer divisions truncate; "round" is to nearest with halves away from
// zero. Results that leave the target's range are clamped to it, a float NaN
// becomes 0. The 16-bit pair is chosen so that every world value 0..32768
// survives world -> PNG -> world unchanged.
#pragma once

#include <cmath>
#include <cstdint>

namespace cli {

namespace detail {
inline std::uint32_t RoundClamped(float f, float scale, std::uint32_t max)
{
    if (!(f > 0.0f)) {  // also NaN
        return 0;
    }
    const double scaled = static_cast<double>(f) * scale;
    if (scaled >= max) {
        return max;
    }
    return static_cast<std::uint32_t>(std::lround(scaled));
}
}  // namespace detail

// ---- file samples to world channels

inline std::uint16_t World16FromPng8(std::uint8_t c)
{
    return static_cast<std::uint16_t>((c * 32768u + 127u) / 255u);
}
inline float WorldFFromPng8(std::uint8_t c)
{
    return static_cast<float>(c) / 255.0f;
}

inline std::uint8_t World8FromPng16(std::uint16_t p)
{
    return static_cast<std::uint8_t>((p * 255u + 32767u) / 65535u);
}
inline std::uint16_t World16FromPng16(std::uint16_t p)
{
    return static_cast<std::uint16_t>((p * 32768u + 32767u) / 65535u);
}
inline float WorldFFromPng16(std::uint16_t p)
{
    return static_cast<float>(p) / 65535.0f;
}

inline std::uint8_t World8FromFloat(float f)
{
    return static_cast<std::uint8_t>(detail::RoundClamped(f, 255.0f, 255));
}
inline std::uint16_t World16FromFloat(float f)
{
    return static_cast<std::uint16_t>(detail::RoundClamped(f, 32768.0f, 32768));
}

// ---- world channels to file samples

inline std::uint16_t Png16FromWorld8(std::uint8_t c)
{
    return static_cast<std::uint16_t>(c * 257u);
}
inline float FloatFromWorld8(std::uint8_t c)
{
    return static_cast<float>(c) / 255.0f;
}

inline std::uint8_t Png8FromWorld16(std::uint16_t v)
{
    const std::uint32_t p = (v * 255u + 16384u) / 32768u;
    return static_cast<std::uint8_t>(p > 255u ? 255u : p);
}
inline std::uint16_t Png16FromWorld16(std::uint16_t v)
{
    const std::uint32_t p = (v * 65535u + 16384u) / 32768u;
    return static_cast<std::uint16_t>(p > 65535u ? 65535u : p);
}
inline float FloatFromWorld16(std::uint16_t v)
{
    return static_cast<float>(v) / 32768.0f;
}

inline std::uint8_t Png8FromFloat(float f)
{
    return static_cast<std::uint8_t>(detail::RoundClamped(f, 255.0f, 255));
}
inline std::uint16_t Png16FromFloat(float f)
{
    return static_cast<std::uint16_t>(detail::RoundClamped(f, 65535.0f, 65535));
}

}  // namespace cli
