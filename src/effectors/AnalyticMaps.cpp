#include "effectors/AnalyticMaps.h"

#include <cmath>

namespace effectors {

namespace {
constexpr double kDegToRad = 0.017453292519943295;
constexpr double kPi = 3.14159265358979323846;
}  // namespace

LinearEffectMap::LinearEffectMap(double centreX, double centreY, double angleDegrees, double reach,
                                 double falloffFraction, bool symmetric)
    : centreX_(centreX),
      centreY_(centreY),
      symmetric_(symmetric ? 1 : 0),
      reach_(reach),
      fadeWidth_(reach * falloffFraction),
      innerWidth_(reach - reach * falloffFraction)
{
    // sin(pi) and cos(pi/2) come out near 1e-16, not 0, which would tilt the
    // line by a hair; the axis-aligned angles get exact zeros instead.
    const double m = std::fabs(std::fmod(angleDegrees, 180.0));
    sinA_ = m == 0.0 ? 0.0 : std::sin(angleDegrees * kDegToRad);
    cosA_ = m == 90.0 ? 0.0 : std::cos(angleDegrees * kDegToRad);
}

double LinearEffectMap::Evaluate(double x, double y) const
{
    // Without a fade the map is not a hard band: it covers the whole canvas.
    if (fadeWidth_ == 0.0) {
        return 1.0;
    }
    const double d = (x - centreX_) * sinA_ - (y - centreY_) * cosA_;
    if (!symmetric_ && d < 0.0) {
        return 1.0;
    }
    const double a = std::fabs(d);
    if (a > reach_) {
        return 0.0;
    }
    if (a < innerWidth_) {
        return 1.0;
    }
    return 1.0 - (a - innerWidth_) / fadeWidth_;
}

RadialEffectMap::RadialEffectMap(double centreX, double centreY, double radius,
                                 double falloffFraction, bool symmetric)
    : centreX_(centreX),
      centreY_(centreY),
      symmetric_(symmetric ? 1 : 0),
      radius_(radius),
      fadeWidth_(radius * falloffFraction),
      innerRadius_(radius - radius * falloffFraction)
{
}

double RadialEffectMap::Evaluate(double x, double y) const
{
    const double dx = x - centreX_;
    const double dy = y - centreY_;
    double d = std::sqrt(dx * dx + dy * dy);
    if (d > radius_) {
        return 0.0;
    }
    if (fadeWidth_ == 0.0) {
        return 1.0;
    }
    if (symmetric_) {
        // Fold about half the radius: the centre and the rim both map to the
        // rim, the half-radius ring to the centre.
        d = radius_ * 0.5 > d ? radius_ - 2.0 * d : 2.0 * d - radius_;
    }
    if (d < innerRadius_) {
        return 1.0;
    }
    return 0.5 + 0.5 * std::cos((d - innerRadius_) * kPi / fadeWidth_);
}

}  // namespace effectors
