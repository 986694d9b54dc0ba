// The two computed maps: a linear ramp across a line and a radial fade around
// a point, each with a symmetric form.
#pragma once

#include "effectors/EffectMap.h"

namespace effectors {

// Weight by signed distance from a line through the centre running along
// (cos θ, sin θ) in canvas pixels (y down). At angle 0 the line is horizontal
// and the distance grows upward. The plain map is at full weight on the far
// side (d < 0) and fades over the near side; the symmetric map is a band.
class LinearEffectMap final : public BaseEffectMap {
public:
    LinearEffectMap(double centreX, double centreY, double angleDegrees, double reach,
                    double falloffFraction, bool symmetric);

    double Evaluate(double x, double y) const override;

    double SinA() const { return sinA_; }
    double CosA() const { return cosA_; }

private:
    double centreX_, centreY_;
    A_u_char symmetric_;
    double sinA_, cosA_;
    double reach_;
    double fadeWidth_;
    double innerWidth_;
};

// Weight by distance from the centre: full inside the inner radius, a cosine
// fade over the falloff to zero at the rim. The symmetric form folds the
// distance about half the radius, so the peak is a ring.
class RadialEffectMap final : public BaseEffectMap {
public:
    RadialEffectMap(double centreX, double centreY, double radius, double falloffFraction,
                    bool symmetric);

    double Evaluate(double x, double y) const override;

private:
    double centreX_, centreY_;
    A_u_char symmetric_;
    double radius_;
    double fadeWidth_;
    double innerRadius_;
};

}  // namespace effectors
