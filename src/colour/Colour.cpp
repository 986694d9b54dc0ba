#include "colour/Colour.h"

#include <cmath>
#include <type_traits>

namespace colour {

namespace {

// trunc(x) as an integer, for values that the conversions below can meet;
// NaN gives `fallback`, the rest is limited to the int range first.
int TruncToInt(double x, int fallback)
{
    if (std::isnan(x)) {
        return fallback;
    }
    if (x >= 2147483647.0) {
        return 2147483647;
    }
    if (x <= -2147483648.0) {
        return -2147483647 - 1;
    }
    return static_cast<int>(x);
}

// trunc(x * scale + 0.5) with the product in single precision. Values of x
// outside 0..1 are not expected; should one come, the channel saturates at
// its type's range instead of wrapping.
template <typename Channel>
Channel ToChannel(double x, float scale, int typeMax)
{
    const float product = static_cast<float>(x) * scale;
    int c = TruncToInt(static_cast<double>(product) + 0.5, 0);
    if (c < 0) {
        c = 0;
    } else if (c > typeMax) {
        c = typeMax;
    }
    return static_cast<Channel>(c);
}

struct Rgb {
    double r, g, b;
};

Rgb HsvToRgb(double h, double s, double v)
{
    const double f6 = (h - std::trunc(h)) * 6.0;
    const int i = TruncToInt(f6, -1);
    const double f = f6 - i;
    const double p = (1.0 - s) * v;
    const double q = (1.0 - f * s) * v;
    const double t = (1.0 - (1.0 - f) * s) * v;
    switch (i) {
        case 0:
            return {v, t, p};
        case 1:
            return {q, v, p};
        case 2:
            return {p, v, t};
        case 3:
            return {p, q, v};
        case 4:
            return {t, p, v};
        case 5:
            return {v, p, q};
        default:
            return {0.0, 0.0, 0.0};
    }
}

}  // namespace

Hsv RgbToHsv(double r, double g, double b)
{
    double val = r;
    if (g > val) val = g;
    if (b > val) val = b;
    double mn = r;
    if (g < mn) mn = g;
    if (b < mn) mn = b;
    const double delta = val - mn;
    const double s = val == 0.0 ? 0.0 : delta / val;
    double h = 0.0;
    if (s != 0.0) {
        if (val == r) {
            h = (g - b) / delta;
        } else if (val == g) {
            h = (b - r) / delta + 2.0;
        } else {
            h = (r - g) / delta + 4.0;
        }
        h = h * 0.166666666666667;
        if (h < 0.0) {
            h += 1.0;
        }
    }
    return {h, s, val};
}

double WrapHue(double h)
{
    const double t = std::fabs(std::trunc(h));
    return h >= 0.0 ? h - t : h + t + 1.0;
}

template <>
AEUtil::Pixel8 HsvToPixel<AEUtil::Pixel8>(double h, double s, double v, double alpha)
{
    const Rgb c = HsvToRgb(h, s, v);
    AEUtil::Pixel8 p;
    p.alpha = ToChannel<A_u_char>(alpha, 255.0f, 255);
    p.red = ToChannel<A_u_char>(c.r, 255.0f, 255);
    p.green = ToChannel<A_u_char>(c.g, 255.0f, 255);
    p.blue = ToChannel<A_u_char>(c.b, 255.0f, 255);
    return p;
}

template <>
AEUtil::Pixel16 HsvToPixel<AEUtil::Pixel16>(double h, double s, double v, double alpha)
{
    const Rgb c = HsvToRgb(h, s, v);
    AEUtil::Pixel16 p;
    p.alpha = ToChannel<A_u_short>(alpha, 32768.0f, 65535);
    p.red = ToChannel<A_u_short>(c.r, 32768.0f, 65535);
    p.green = ToChannel<A_u_short>(c.g, 32768.0f, 65535);
    p.blue = ToChannel<A_u_short>(c.b, 32768.0f, 65535);
    return p;
}

template <>
AEUtil::Pixel32 HsvToPixel<AEUtil::Pixel32>(double h, double s, double v, double alpha)
{
    const Rgb c = HsvToRgb(h, s, v);
    AEUtil::Pixel32 p;
    p.alpha = static_cast<PF_FpShort>(alpha);
    p.red = static_cast<PF_FpShort>(c.r);
    p.green = static_cast<PF_FpShort>(c.g);
    p.blue = static_cast<PF_FpShort>(c.b);
    return p;
}

template <typename Pixel>
Hsv PixelToHsv(const Pixel &c)
{
    if constexpr (std::is_same_v<Pixel, AEUtil::Pixel32>) {
        return RgbToHsv(c.red, c.green, c.blue);
    } else {
        constexpr double kUnit = 1.0 / FullScale<Pixel>();
        return RgbToHsv(c.red * kUnit, c.green * kUnit, c.blue * kUnit);
    }
}

template <typename Pixel>
Pixel ShiftHue(const Pixel &c, double turns)
{
    const Hsv hsv = PixelToHsv(c);
    return HsvToPixel<Pixel>(WrapHue(hsv.h + turns), hsv.s, hsv.v, 1.0);
}

template <>
AEUtil::Pixel8 FromPixel8<AEUtil::Pixel8>(const AEUtil::Pixel8 &c)
{
    return c;
}

template <>
AEUtil::Pixel16 FromPixel8<AEUtil::Pixel16>(const AEUtil::Pixel8 &c)
{
    auto to16 = [](A_u_char v) {
        return static_cast<A_u_short>(static_cast<int>(v / 255.0 * 32768.0));
    };
    AEUtil::Pixel16 p;
    p.alpha = to16(c.alpha);
    p.red = to16(c.red);
    p.green = to16(c.green);
    p.blue = to16(c.blue);
    return p;
}

template <>
AEUtil::Pixel32 FromPixel8<AEUtil::Pixel32>(const AEUtil::Pixel8 &c)
{
    AEUtil::Pixel32 p;
    p.alpha = static_cast<PF_FpShort>(c.alpha / 255.0);
    p.red = static_cast<PF_FpShort>(c.red / 255.0);
    p.green = static_cast<PF_FpShort>(c.green / 255.0);
    p.blue = static_cast<PF_FpShort>(c.blue / 255.0);
    return p;
}

template Hsv PixelToHsv<AEUtil::Pixel8>(const AEUtil::Pixel8 &);
template Hsv PixelToHsv<AEUtil::Pixel16>(const AEUtil::Pixel16 &);
template Hsv PixelToHsv<AEUtil::Pixel32>(const AEUtil::Pixel32 &);
template AEUtil::Pixel8 ShiftHue<AEUtil::Pixel8>(const AEUtil::Pixel8 &, double);
template AEUtil::Pixel16 ShiftHue<AEUtil::Pixel16>(const AEUtil::Pixel16 &, double);
template AEUtil::Pixel32 ShiftHue<AEUtil::Pixel32>(const AEUtil::Pixel32 &, double);

}  // namespace colour
