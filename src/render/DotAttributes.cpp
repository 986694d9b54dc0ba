#include "DotAttributes.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

#include "colour/Colour.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegreesToRadians = 0.017453292519943295;

template <typename Pixel>
void SetOpacity(Pixel &c, double o)
{
    if constexpr (std::is_same_v<Pixel, AEUtil::Pixel32>) {
        c.alpha = static_cast<PF_FpShort>(o);
    } else if constexpr (std::is_same_v<Pixel, AEUtil::Pixel16>) {
        c.alpha = static_cast<A_u_short>(o * 32768.0);
    } else {
        c.alpha = static_cast<A_u_char>(o * 255.0);
    }
}

}  // namespace

template <typename Pixel>
DotAttributes<Pixel>::DotAttributes(const RenderRecord &record, const DotLattice &lattice)
    : record_(record), lattice_(lattice)
{
    baseSize_ = record.DotSize;
    baseAspect_ = std::clamp(record.DotAspect / 100, -1.0, 1.0);
    baseRotation_ = record.DotRotation / 65536.0 * kDegreesToRadians;
    baseOpacity_ = std::clamp(record.DotOpacity / 100, 0.0, 1.0);
    baseColour_ = colour::FromPixel8<Pixel>(record.DotColor);
    hueAmount_ = record.RandomHue / 65536.0 / 360.0;
    saturationAmount_ = record.RandomSaturation / 100;
    valueAmount_ = record.RandomValue / 100;
}

template <typename Pixel>
double DotAttributes<Pixel>::Reflect(double v)
{
    v = std::fabs(v);
    v = v - 2 * std::trunc(v / 2);
    if (v > 1) v = 2 - v;
    return v;
}

template <typename Pixel>
DotRecord<Pixel> DotAttributes<Pixel>::Make(double rx, double ry, DotRng &rng,
                                            const effectors::EffectorSet<Pixel> &effectors)
{
    const RenderRecord &rec = record_;
    const DotLattice &l = lattice_;
    effectors::DotValues<Pixel> dot;

    // Position: jitter by a fraction of the pitch.
    dot.x = rx + rng.Variation(rec.RandomSpacingX) * l.pitchX;
    dot.y = ry + rng.Variation(rec.RandomSpacingY) * l.pitchY;

    // Front distance: squared distance to the grid centre.
    dot.front = -1.0;
    if (rec.CenterDotToFront && frontOrdering_) {
        const double dx = dot.x - l.cx, dy = dot.y - l.cy;
        dot.front = dx * dx + dy * dy;
    }

    dot.size = rng.Variation(rec.RandomSize) * baseSize_ + baseSize_;
    if (dot.size < 0) dot.size = 0;
    dot.aspect = baseAspect_ + rng.Variation(rec.RandomAspect);
    dot.rotation = rng.Variation(rec.RandomRotation) * (2 * kPi) + baseRotation_;

    // Opacity above 1 is reflected back below it rather than held at 1.
    double o = baseOpacity_ + rng.Variation(rec.RandomOpacity);
    if (o > 1) {
        o = 2 - o;
        if (o < 0) o = 0;
    }
    if (o < 0) o = 0;
    dot.opacity = o;
    dot.colour = baseColour_;

    effectors.Apply(dot, frontOrdering_);

    // Hue, saturation and value variation, always (it also normalises the
    // colour through HSV when all amounts are zero).
    const colour::Hsv hsv = colour::PixelToHsv(dot.colour);
    const double h = colour::WrapHue(hsv.h + rng.Variation(hueAmount_));
    const double s = Reflect(hsv.s + rng.Variation(saturationAmount_));
    const double v = Reflect(hsv.v + rng.Variation(valueAmount_));
    Pixel c = colour::HsvToPixel<Pixel>(h, s, v, 1.0);

    double rotation = dot.rotation;
    switch (rec.RotationType) {
        case 1:  // Normal: the dots turn with the lattice
            rotation += l.angle;
            break;
        case 2:  // Toward Center: the top of the shape faces the rotation centre
            if (!(dot.x == l.rcx && dot.y == l.rcy)) {
                rotation += std::atan2(dot.y - l.rcy, dot.x - l.rcx) - kPi / 2;
            }
            break;
        default:  // Fixed Dot Angle
            break;
    }

    if (frontOrdering_ && dot.front == -1.0) {
        frontOrdering_ = false;
    }

    // Final clamps. Negative aspect narrows the dot, positive flattens it.
    const double size = dot.size < 0 ? 0 : dot.size;
    double wf = 1, hf = 1;
    if (dot.aspect < 0) {
        wf = 1 - std::min(std::fabs(dot.aspect), 1.0);
    } else if (dot.aspect > 0) {
        hf = 1 - std::min(dot.aspect, 1.0);
    }
    // Clamped to 0..1; an opacity that is not a number (an effector's NaN
    // weight flows through unclamped) counts as 0.
    const double opacity = dot.opacity >= 0 ? (dot.opacity <= 1 ? dot.opacity : 1.0) : 0.0;
    SetOpacity(c, opacity);

    DotRecord<Pixel> out;
    out.front = dot.front;
    out.x = dot.x;
    out.y = dot.y;
    out.colour = c;
    out.width = wf * size;
    out.height = hf * size;
    out.rotation = rotation;
    out.shape = static_cast<A_u_long>(rec.DotShape);
    return out;
}

template class DotAttributes<AEUtil::Pixel8>;
template class DotAttributes<AEUtil::Pixel16>;
template class DotAttributes<AEUtil::Pixel32>;
