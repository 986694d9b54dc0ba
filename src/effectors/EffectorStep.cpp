#include "effectors/EffectorStep.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Pixels.h"
#include "colour/Colour.h"
#include "effectors/BlendModes.h"
#include "effectors/EffectMap.h"
#include "effectors/LayerEffectMap.h"

namespace effectors {

namespace {

// Moves c toward t by weight v. The integer depths use a 1.15 fixed-point
// weight and truncate toward zero, so a half step from 100 to 201 lands on
// 150. The alpha difference is zero in practice (t carries c's alpha).
template <typename Pixel>
void MixToward(Pixel &c, const Pixel &t, double v)
{
    // A NaN weight has no integer value: the colour stays as it is.
    const A_long w = std::isnan(v) ? 0 : static_cast<A_long>(v * 32768.0);
    // 64 bits only matter for out-of-range host data; in range the product
    // fits 32 bits.
    using Channel = decltype(c.red);
    auto mix = [w](Channel from, Channel to) {
        const std::int64_t d = static_cast<std::int64_t>(to) - from;
        return static_cast<Channel>(from + d * w / 32768);
    };
    c.red = mix(c.red, t.red);
    c.green = mix(c.green, t.green);
    c.blue = mix(c.blue, t.blue);
    c.alpha = mix(c.alpha, t.alpha);
}

template <>
void MixToward<AEUtil::Pixel32>(AEUtil::Pixel32 &c, const AEUtil::Pixel32 &t, double v)
{
    auto mix = [v](float from, float to) {
        const double f = from;
        return static_cast<float>(f + (static_cast<double>(to) - f) * v);
    };
    c.red = mix(c.red, t.red);
    c.green = mix(c.green, t.green);
    c.blue = mix(c.blue, t.blue);
    c.alpha = mix(c.alpha, t.alpha);
}

// Float layers and colours can be brighter than white; a dot colour is kept
// at or below full scale before each effector weighs it.
template <typename Pixel>
void LimitBrightness(Pixel &)
{
}

template <>
void LimitBrightness<AEUtil::Pixel32>(AEUtil::Pixel32 &c)
{
    auto limit = [](float &ch) {
        if (ch > 1.0f) {
            ch = 1.0f;
        }
    };
    limit(c.alpha);
    limit(c.red);
    limit(c.green);
    limit(c.blue);
}

constexpr A_long kUseCustomMap = 1;
constexpr A_long kTileNone = 1;

}  // namespace

template <typename Pixel>
struct EffectorSet<Pixel>::Impl {
    struct Effector {
        EffectorSettings settings;
        EffectorDerived derived;
        EffectMapPtr map;
        // The same object as `map` when the effector uses its custom layer;
        // the colour picking needs the layer's own samplers.
        const LayerEffectMap<Pixel> *layerMap = nullptr;
        Pixel colour{};  // the effector's colour at the render depth
        BlendMode blendMode = BlendMode::Normal;
    };

    Effector effectors[3];

    static void ApplyOne(const Effector &e, DotValues<Pixel> &dot, bool frontOrdering);
};

template <typename Pixel>
EffectorSet<Pixel>::EffectorSet(const RenderRecord &record, double canvasWidth, double canvasHeight)
    : impl_(new Impl)
{
    try {
        for (int n = 0; n < 3; ++n) {
            typename Impl::Effector &e = impl_->effectors[n];
            e.settings = record.Effectors[n];
            e.derived = DeriveEffector(e.settings, canvasWidth, canvasHeight);
            // Every effector gets its map, switched on or not.
            e.map = MakeEffectMap<Pixel>(e.settings, e.derived);
            if (e.settings.mapType == kUseCustomMap) {
                e.layerMap = dynamic_cast<const LayerEffectMap<Pixel> *>(e.map.get());
            }
            e.colour = colour::FromPixel8<Pixel>(e.settings.blendColor);
            e.blendMode = BlendModeFromPopup(e.settings.blendMode);
        }
    } catch (...) {
        delete impl_;
        throw;
    }
}

template <typename Pixel>
EffectorSet<Pixel>::~EffectorSet()
{
    delete impl_;
}

template <typename Pixel>
void EffectorSet<Pixel>::Apply(DotValues<Pixel> &dot, bool frontOrdering) const
{
    for (const typename Impl::Effector &e : impl_->effectors) {
        Impl::ApplyOne(e, dot, frontOrdering);
    }
}

template <typename Pixel>
void EffectorSet<Pixel>::Impl::ApplyOne(const Effector &e, DotValues<Pixel> &dot,
                                        bool frontOrdering)
{
    const EffectorSettings &s = e.settings;
    const EffectorDerived &k = e.derived;

    // An effector without pixels for its custom layer sits out, whatever its
    // map type: the layer parameter set to none switches it off.
    if (!s.enable || s.mapLayer == nullptr) {
        return;
    }

    // --- Front distance: the nearest effector centre wins.
    if (s.centerDotToFront && frontOrdering) {
        const double dx = dot.x - k.positionX;
        const double dy = dot.y - k.positionY;
        const double q = dx * dx + dy * dy;
        dot.front = dot.front == -1.0 ? q : std::min(dot.front, q);
    }

    // --- Source colour, taken before and regardless of the weight. Untiled,
    // a dot off the layer keeps its colour instead of turning black.
    if (e.layerMap != nullptr && s.pickSourceColor) {
        dot.colour = s.tile == kTileNone ? e.layerMap->SamplePlain(dot.x, dot.y, dot.colour)
                                         : e.layerMap->SampleTiled(dot.x, dot.y);
    }
    LimitBrightness(dot.colour);

    // --- Weight. NaN passes every test below and flows on.
    double v = e.map->Evaluate(dot.x, dot.y);
    if (v < 0.0) {
        return;
    }
    if (v > 1.0) {
        v = 1.0;
    }
    if (v == 0.0) {
        return;
    }

    // --- Pull toward the effector's own values, then ratio and offset. At
    // full weight a ratio multiplies and an offset adds; at v they are
    // interpolated from "unchanged". Clamping is left to the dot's final step.
    if (s.absolute) {
        dot.size = (1.0 - v) * dot.size + v * s.independentSize;
        dot.aspect = (1.0 - v) * dot.aspect + v * k.independentAspectFraction;
        dot.rotation = (1.0 - v) * dot.rotation + v * k.independentRotationRad;
        dot.opacity = (1.0 - v) * dot.opacity + v * k.independentOpacityFraction;
    }
    dot.size = ((s.sizeByRatio - 1.0) * v + 1.0) * dot.size + v * s.sizeOffset;
    dot.aspect = ((s.aspectByRatio - 1.0) * v + 1.0) * dot.aspect + v * k.aspectOffsetFraction;
    dot.rotation = ((s.rotationByRatio - 1.0) * v + 1.0) * dot.rotation + v * k.rotationOffsetRad;
    dot.opacity = ((s.opacityByRatio - 1.0) * v + 1.0) * dot.opacity + v * k.opacityOffsetFraction;

    // --- Colour: blend the effector's colour in, then move toward the blend
    // by the weight. The blend keeps the dot colour's alpha.
    if (s.colorize) {
        Pixel blended = dot.colour;
        BlendPixel(blended, dot.colour, e.colour, e.blendMode);
        MixToward(dot.colour, blended, v);
    }

    // --- Hue turn, scaled by the weight. Rebuilding the colour from its hue
    // makes it opaque.
    if (s.hueOffset != 0) {
        dot.colour = colour::ShiftHue(dot.colour, v * k.hueOffsetTurns);
    }
}

template class EffectorSet<AEUtil::Pixel8>;
template class EffectorSet<AEUtil::Pixel16>;
template class EffectorSet<AEUtil::Pixel32>;

}  // namespace effectors
