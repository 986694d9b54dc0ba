#include "effectors/EffectMap.h"

#include <algorithm>

#include "Pixels.h"
#include "effectors/AnalyticMaps.h"
#include "effectors/LayerEffectMap.h"

namespace effectors {

void SharedCountBase::Release()
{
    if (--useCount_ == 0) {
        Dispose();
    }
}

namespace {

constexpr double kDegToRad = 0.017453292519943295;

// Map popup values; 2 is a separator line and, like anything unknown, falls
// back to the plain linear map.
enum MapPopup : A_long {
    kUseCustomMap = 1,
    kRadial = 3,
    kRadialSymmetric = 4,
    kLinear = 5,
    kLinearSymmetric = 6,
};

double FixedToDouble(PF_Fixed value)
{
    return value / 65536.0;
}

double ClampUnit(double v)
{
    return std::min(std::max(v, -1.0), 1.0);
}

}  // namespace

EffectorDerived DeriveEffector(const EffectorSettings &settings, double canvasWidth,
                               double canvasHeight)
{
    EffectorDerived d;
    d.positionX = FixedToDouble(settings.position.x);
    d.positionY = FixedToDouble(settings.position.y);
    d.falloffFraction = settings.falloff / 100.0;
    d.independentAspectFraction = ClampUnit(settings.independentAspect / 100.0);
    d.independentRotationRad = FixedToDouble(settings.independentRotation) * kDegToRad;
    d.independentOpacityFraction = settings.independentOpacity / 100.0;
    d.aspectOffsetFraction = ClampUnit(settings.aspectOffset / 100.0);
    d.rotationOffsetRad = FixedToDouble(settings.rotationOffset) * kDegToRad;
    d.opacityOffsetFraction = settings.opacityOffset / 100.0;
    d.hueOffsetTurns = FixedToDouble(settings.hueOffset) / 360.0;
    d.canvasWidth = canvasWidth;
    d.canvasHeight = canvasHeight;
    return d;
}

template <typename Pixel>
EffectMapPtr MakeEffectMap(const EffectorSettings &settings, const EffectorDerived &derived)
{
    switch (settings.mapType) {
        case kUseCustomMap: {
            const PF_EffectWorld *layer = settings.mapLayer;
            if (settings.fitToLayer && layer != nullptr) {
                // Stretched over the whole canvas; position and angle unused.
                return EffectMapPtr(new LayerEffectMap<Pixel>(
                    derived.canvasWidth * 0.5, derived.canvasHeight * 0.5, 0.0,
                    layer->width / derived.canvasWidth, layer->height / derived.canvasHeight,
                    settings.tile, layer));
            }
            return EffectMapPtr(new LayerEffectMap<Pixel>(derived.positionX, derived.positionY,
                                                          FixedToDouble(settings.angle), 1.0, 1.0,
                                                          settings.tile, layer));
        }
        case kRadial:
        case kRadialSymmetric:
            return EffectMapPtr(new RadialEffectMap(derived.positionX, derived.positionY,
                                                    settings.size, derived.falloffFraction,
                                                    settings.mapType == kRadialSymmetric));
        case kLinearSymmetric:
            return EffectMapPtr(new LinearEffectMap(derived.positionX, derived.positionY,
                                                    FixedToDouble(settings.angle), settings.size,
                                                    derived.falloffFraction, true));
        case kLinear:
        default:
            return EffectMapPtr(new LinearEffectMap(derived.positionX, derived.positionY,
                                                    FixedToDouble(settings.angle), settings.size,
                                                    derived.falloffFraction, false));
    }
}

template EffectMapPtr MakeEffectMap<AEUtil::Pixel8>(const EffectorSettings &,
                                                    const EffectorDerived &);
template EffectMapPtr MakeEffectMap<AEUtil::Pixel16>(const EffectorSettings &,
                                                     const EffectorDerived &);
template EffectMapPtr MakeEffectMap<AEUtil::Pixel32>(const EffectorSettings &,
                                                     const EffectorDerived &);

}  // namespace effectors
