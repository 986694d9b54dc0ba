#include "effectors/BlendModes.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace effectors {

namespace {

// Soft light on unit channels, x the base and y the source, k = 2y - 1:
//   y < 0.5:              x + k (x - x^2)            (darkens)
//   y >= 0.5, x < 0.125:  x + k (x - x^2)(3 - 8x)    (lightens deep shadows gently)
//   y >= 0.5, otherwise:  x + k (sqrt(x) - x)        (lightens toward sqrt(x))
double SoftLight(double x, double y)
{
    const double k = 2.0 * y - 1.0;
    if (y < 0.5) {
        return x + k * (x - x * x);
    }
    if (x < 0.125) {
        return x + k * (x - x * x) * (3.0 - 8.0 * x);
    }
    return x + k * (std::sqrt(x) - x);
}

// ---------------------------------------------------------------- 8-bit
// Products of two channels are brought back to 0..255 by >> 8, i.e. divided
// by 256 rather than 255, so full scale times full scale gives 254.
int Blend8(BlendMode mode, int b, int s)
{
    switch (mode) {
        case BlendMode::Multiply:
            return (b * s) >> 8;
        case BlendMode::Screen:  // 255 - (255 - b)(255 - s) / 255, with /256
            return (65025 - (255 - b) * (255 - s)) >> 8;
        case BlendMode::Overlay:  // switches at b = 128, not 127.5
            return b < 128 ? (b * s) >> 7 : 255 - (((255 - b) * (255 - s)) >> 7);
        case BlendMode::HardLight:  // overlay with base and source swapped
            return s > 127 ? 255 - (((255 - b) * (255 - s)) >> 7) : (b * s) >> 7;
        case BlendMode::SoftLight:
            return static_cast<int>(SoftLight(b / 255.0, s / 255.0) * 255.0);
        case BlendMode::Darken:
            return std::min(b, s);
        case BlendMode::Lighten:
            return std::max(b, s);
        case BlendMode::Difference:
            return std::abs(b - s);
        case BlendMode::Exclusion:  // b + s - 2bs, with /256
            return ((255 - s) * b + (255 - b) * s) >> 8;
        default:
            return b;
    }
}

// ---------------------------------------------------------------- 16-bit
// Full scale is 32768, so products come back with >> 15 (or >> 14 for the
// doubled products of overlay and hard light). In-range channels never leave
// 32 bits; the 64-bit intermediates only keep out-of-range host data defined.
using Wide = std::int64_t;

Wide Blend16(BlendMode mode, Wide b, Wide s)
{
    switch (mode) {
        case BlendMode::Multiply:
            return std::min<Wide>(32768, (b * s) >> 15);
        case BlendMode::Screen:
            return (1073741824 - (32768 - b) * (32768 - s)) >> 15;
        case BlendMode::Overlay:
            return b <= 16384 ? std::min<Wide>(32768, (b * s) >> 14)
                              : std::min<Wide>(32768, 32768 - (((32768 - b) * (32768 - s)) >> 14));
        case BlendMode::HardLight:
            return s > 16384 ? 32768 - (((32768 - b) * (32768 - s)) >> 14) : (b * s) >> 14;
        case BlendMode::SoftLight:
            return std::min<Wide>(32768,
                                  static_cast<Wide>(SoftLight(b / 32768.0, s / 32768.0) * 32768.0));
        case BlendMode::Darken:
            return std::min(b, s);
        case BlendMode::Lighten:
            return std::max(b, s);
        case BlendMode::Difference:
            return b > s ? b - s : s - b;
        case BlendMode::Exclusion:
            return ((32768 - s) * b + (32768 - b) * s) >> 15;
        default:
            return b;
    }
}

// ---------------------------------------------------------------- float
// A product of two channels is taken in single precision; everything else in
// double, and the result is stored as float.
double BlendFloat(BlendMode mode, float b, float s)
{
    const double bd = b;
    const double sd = s;
    switch (mode) {
        case BlendMode::Multiply: {
            const float t = b * s;
            return t < 1.0f ? t : 1.0;
        }
        case BlendMode::Screen:
            return 1.0 - (1.0 - bd) * (1.0 - sd);
        case BlendMode::Overlay: {
            const double t =
                bd <= 0.5 ? static_cast<double>(2.0f * b * s) : 1.0 - 2.0 * (1.0 - bd) * (1.0 - sd);
            return std::min(t, 1.0);
        }
        case BlendMode::HardLight:  // unclamped, unlike overlay
            return sd <= 0.5 ? static_cast<double>(2.0f * b * s)
                             : 1.0 - 2.0 * (1.0 - bd) * (1.0 - sd);
        case BlendMode::SoftLight:
            return std::min(SoftLight(bd, sd), 1.0);
        case BlendMode::Darken:
            return b > s ? sd : bd;
        case BlendMode::Lighten:
            return s > b ? sd : bd;
        case BlendMode::Difference:
            return std::fabs(bd - sd);
        case BlendMode::Exclusion:
            return (1.0 - sd) * bd + (1.0 - bd) * sd;
        default:
            return bd;
    }
}

template <typename Pixel>
void CopyColour(Pixel &dst, const Pixel &src)
{
    dst.red = src.red;
    dst.green = src.green;
    dst.blue = src.blue;
}

bool IsMode(BlendMode mode)
{
    return mode >= BlendMode::Normal && mode <= BlendMode::Exclusion;
}

}  // namespace

BlendMode BlendModeFromPopup(A_long popup)
{
    switch (popup) {
        case 3:
            return BlendMode::Add;
        case 4:
            return BlendMode::Subtract;
        case 5:
            return BlendMode::Multiply;
        case 6:
            return BlendMode::Screen;
        case 7:
            return BlendMode::Overlay;
        case 8:
            return BlendMode::HardLight;
        case 9:
            return BlendMode::SoftLight;
        case 11:
            return BlendMode::Darken;
        case 12:
            return BlendMode::Lighten;
        case 13:
            return BlendMode::Difference;
        case 14:
            return BlendMode::Exclusion;
        default:  // 1 Normal, the separators 2 and 10, anything unknown
            return BlendMode::Normal;
    }
}

// ---------------------------------------------------------------- composite

void CompositeNormal(AEUtil::Pixel8 &dst, const AEUtil::Pixel8 &base, const AEUtil::Pixel8 &top)
{
    const int a = top.alpha;
    if (a == 255) {
        CopyColour(dst, top);
        return;
    }
    const int wb = ((255 - a) * base.alpha) >> 8;
    const int den = wb + a;
    if (den == 0) {  // a transparent top; the blends never get here
        CopyColour(dst, base);
        return;
    }
    auto mix = [&](int b, int t) { return static_cast<A_u_char>((b * wb + t * a) / den); };
    dst.red = mix(base.red, top.red);
    dst.green = mix(base.green, top.green);
    dst.blue = mix(base.blue, top.blue);
}

void CompositeNormal(AEUtil::Pixel16 &dst, const AEUtil::Pixel16 &base, const AEUtil::Pixel16 &top)
{
    const Wide a = top.alpha;
    if (a == 32768) {
        CopyColour(dst, top);
        return;
    }
    const Wide wb = ((32768 - a) * base.alpha) >> 15;
    const Wide den = wb + a;
    if (den == 0) {
        CopyColour(dst, base);
        return;
    }
    auto mix = [&](Wide b, Wide t) { return static_cast<A_u_short>((b * wb + t * a) / den); };
    dst.red = mix(base.red, top.red);
    dst.green = mix(base.green, top.green);
    dst.blue = mix(base.blue, top.blue);
}

void CompositeNormal(AEUtil::Pixel32 &dst, const AEUtil::Pixel32 &base, const AEUtil::Pixel32 &top)
{
    if (top.alpha == 1.0f) {
        CopyColour(dst, top);
        return;
    }
    const double a = top.alpha;
    const double wb = (1.0 - a) * static_cast<double>(base.alpha);
    const double den = wb + a;
    if (den == 0.0) {
        CopyColour(dst, base);
        return;
    }
    auto mix = [&](double b, double t) { return static_cast<float>((b * wb + t * a) / den); };
    dst.red = mix(base.red, top.red);
    dst.green = mix(base.green, top.green);
    dst.blue = mix(base.blue, top.blue);
}

// ---------------------------------------------------------------- blend

namespace {

// The arithmetic of each depth; the steps around it are the same for all.
struct Ops8 {
    using Pixel = AEUtil::Pixel8;
    static bool Transparent(const Pixel &p) { return p.alpha == 0; }
    static A_u_char Add(int b, int s, int a)
    {
        return static_cast<A_u_char>(std::min(255, b + ((s * a) >> 8)));
    }
    static A_u_char Subtract(int b, int s, int a)
    {
        return static_cast<A_u_char>(std::max(0, b - ((s * a) >> 8)));
    }
    static A_u_char Top(BlendMode mode, int b, int s)
    {
        return static_cast<A_u_char>(Blend8(mode, b, s));
    }
};

struct Ops16 {
    using Pixel = AEUtil::Pixel16;
    static bool Transparent(const Pixel &p) { return p.alpha == 0; }
    static A_u_short Add(Wide b, Wide s, Wide a)
    {
        return static_cast<A_u_short>(std::min<Wide>(32768, b + ((s * a) >> 15)));
    }
    static A_u_short Subtract(Wide b, Wide s, Wide a)
    {
        return static_cast<A_u_short>(std::max<Wide>(0, b - ((s * a) >> 15)));
    }
    static A_u_short Top(BlendMode mode, Wide b, Wide s)
    {
        return static_cast<A_u_short>(Blend16(mode, b, s));
    }
};

struct OpsFloat {
    using Pixel = AEUtil::Pixel32;
    static bool Transparent(const Pixel &p) { return p.alpha == 0.0f; }
    // The source is weighted by its alpha in single precision, then added in
    // double; anything not below 1 (NaN too) becomes 1.
    static float Add(float b, float s, float a)
    {
        const double sum = static_cast<double>(b) + static_cast<double>(s * a);
        return static_cast<float>(sum < 1.0 ? sum : 1.0);
    }
    static float Subtract(float b, float s, float a)
    {
        const double diff = static_cast<double>(b) - static_cast<double>(s * a);
        return static_cast<float>(diff > 0.0 ? diff : 0.0);
    }
    static float Top(BlendMode mode, float b, float s)
    {
        return static_cast<float>(BlendFloat(mode, b, s));
    }
};

template <typename Ops>
void Blend(typename Ops::Pixel &dst, const typename Ops::Pixel &base,
           const typename Ops::Pixel &source, BlendMode mode)
{
    if (!IsMode(mode)) {
        return;
    }
    if (Ops::Transparent(source)) {
        CopyColour(dst, base);
        return;
    }
    const auto a = source.alpha;
    switch (mode) {
        case BlendMode::Normal:
            CompositeNormal(dst, base, source);
            return;
        case BlendMode::Add:
            // Add and Subtract fold the source alpha in and write directly.
            dst.red = Ops::Add(base.red, source.red, a);
            dst.green = Ops::Add(base.green, source.green, a);
            dst.blue = Ops::Add(base.blue, source.blue, a);
            return;
        case BlendMode::Subtract:
            dst.red = Ops::Subtract(base.red, source.red, a);
            dst.green = Ops::Subtract(base.green, source.green, a);
            dst.blue = Ops::Subtract(base.blue, source.blue, a);
            return;
        default: {
            typename Ops::Pixel top;
            top.alpha = source.alpha;
            top.red = Ops::Top(mode, base.red, source.red);
            top.green = Ops::Top(mode, base.green, source.green);
            top.blue = Ops::Top(mode, base.blue, source.blue);
            CompositeNormal(dst, base, top);
            return;
        }
    }
}

}  // namespace

void BlendPixel(AEUtil::Pixel8 &dst, const AEUtil::Pixel8 &base, const AEUtil::Pixel8 &source,
                BlendMode mode)
{
    Blend<Ops8>(dst, base, source, mode);
}

void BlendPixel(AEUtil::Pixel16 &dst, const AEUtil::Pixel16 &base, const AEUtil::Pixel16 &source,
                BlendMode mode)
{
    Blend<Ops16>(dst, base, source, mode);
}

void BlendPixel(AEUtil::Pixel32 &dst, const AEUtil::Pixel32 &base, const AEUtil::Pixel32 &source,
                BlendMode mode)
{
    Blend<OpsFloat>(dst, base, source, mode);
}

}  // namespace effectors
