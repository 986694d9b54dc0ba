// Colour conversions shared by the per-dot attributes and the effector step:
// hue, saturation and value in doubles, pixels at the three render depths.
//
// This unit sits below both the renderer and the effectors and includes
// nothing of either.
#pragma once

#include "Pixels.h"

namespace colour {

// Hue in turns (0..1), saturation and value in 0..1.
struct Hsv {
    double h;
    double s;
    double v;
};

// Red, green and blue in 0..1.
Hsv RgbToHsv(double r, double g, double b);

// Wraps a hue into 0..1 by its whole turns: t = trunc(h); h - |t| when
// h >= 0, else h + |t| + 1 (so -1.0 becomes 1.0, not 0.0).
double WrapHue(double h);

// The pixel of the given depth for (h, s, v) with the given alpha (0..1).
// 8 and 16 bit: channel = trunc(x * scale + 0.5), the product x * scale taken
// in single precision (x rounded to float first), the + 0.5 in double. Float:
// the values stored as they are.
template <typename Pixel>
Pixel HsvToPixel(double h, double s, double v, double alpha);

// The channel value that stands for 1.0: 255, 32768, 1.0f.
template <typename Pixel>
constexpr double FullScale();
template <>
constexpr double FullScale<AEUtil::Pixel8>()
{
    return 255.0;
}
template <>
constexpr double FullScale<AEUtil::Pixel16>()
{
    return 32768.0;
}
template <>
constexpr double FullScale<AEUtil::Pixel32>()
{
    return 1.0;
}

// RgbToHsv of a pixel's red, green and blue, scaled to 0..1 by multiplying
// with 1/255 (8 bit) or 1/32768 (16 bit); float channels are taken as they are.
// The alpha channel is ignored.
template <typename Pixel>
Hsv PixelToHsv(const Pixel &c);

// Turns the hue of c by `turns`: hue wrapped into 0..1 with WrapHue, then the
// pixel rebuilt with HsvToPixel at alpha 1.0, so all four channels change and
// the result is opaque.
template <typename Pixel>
Pixel ShiftHue(const Pixel &c, double turns);

// An 8-bit colour parameter at the render depth: 8 bit as it is, 16 bit
// trunc(c / 255 * 32768) per channel, float c / 255 (all four channels).
template <typename Pixel>
Pixel FromPixel8(const AEUtil::Pixel8 &c);

template <>
AEUtil::Pixel8 HsvToPixel<AEUtil::Pixel8>(double h, double s, double v, double alpha);
template <>
AEUtil::Pixel16 HsvToPixel<AEUtil::Pixel16>(double h, double s, double v, double alpha);
template <>
AEUtil::Pixel32 HsvToPixel<AEUtil::Pixel32>(double h, double s, double v, double alpha);
extern template Hsv PixelToHsv<AEUtil::Pixel8>(const AEUtil::Pixel8 &);
extern template Hsv PixelToHsv<AEUtil::Pixel16>(const AEUtil::Pixel16 &);
extern template Hsv PixelToHsv<AEUtil::Pixel32>(const AEUtil::Pixel32 &);
extern template AEUtil::Pixel8 ShiftHue<AEUtil::Pixel8>(const AEUtil::Pixel8 &, double);
extern template AEUtil::Pixel16 ShiftHue<AEUtil::Pixel16>(const AEUtil::Pixel16 &, double);
extern template AEUtil::Pixel32 ShiftHue<AEUtil::Pixel32>(const AEUtil::Pixel32 &, double);
template <>
AEUtil::Pixel8 FromPixel8<AEUtil::Pixel8>(const AEUtil::Pixel8 &c);
template <>
AEUtil::Pixel16 FromPixel8<AEUtil::Pixel16>(const AEUtil::Pixel8 &c);
template <>
AEUtil::Pixel32 FromPixel8<AEUtil::Pixel32>(const AEUtil::Pixel8 &c);

}  // namespace colour
