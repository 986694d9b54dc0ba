#include <ctime>
#include <sstream>

#include "Bench.h"
#include "params/ParamIds.h"

namespace bench {

namespace id = params::id;

namespace {

PF_Fixed Fixed(double value)
{
    return static_cast<PF_Fixed>(value * 65536.0);
}

// Point parameters default to the middle of the layer.
FixedPoint LayerCentre(A_long width, A_long height)
{
    return FixedPoint{Fixed(width / 2.0), Fixed(height / 2.0)};
}

EffectorSettings DefaultEffector(A_long width, A_long height, PF_EffectWorld *ownLayer)
{
    EffectorSettings fx{};
    fx.enable = 0;
    fx.mapType = 3;  // radial
    fx.angle = 0;
    fx.position = LayerCentre(width, height);
    fx.size = 200;
    fx.falloff = 100;
    fx.mapLayer = ownLayer;
    fx.tile = 4;  // extend edges
    fx.independentSize = 20;
    fx.independentOpacity = 100;
    fx.sizeByRatio = 1;
    fx.aspectByRatio = 1;
    fx.rotationByRatio = 1;
    fx.opacityByRatio = 1;
    fx.blendMode = 1;
    fx.blendColor = PF_Pixel{255, 255, 255, 255};
    return fx;
}

template <typename Pixel>
void FillGradient(host::World &world, double full)
{
    using Channel = decltype(Pixel{}.alpha);
    const double w = world.width(), h = world.height();
    for (A_long y = 0; y < world.height(); ++y) {
        Pixel *row = reinterpret_cast<Pixel *>(world.row(y));
        const double fy = (y + 0.5) / h;
        for (A_long x = 0; x < world.width(); ++x) {
            const double fx = (x + 0.5) / w;
            row[x].alpha = static_cast<Channel>(full);
            row[x].red = static_cast<Channel>(fx * full);
            row[x].green = static_cast<Channel>(fy * full);
            row[x].blue = static_cast<Channel>((1.0 - fx) * full);
        }
    }
}

}  // namespace

const char *SceneName(Scene scene)
{
    switch (scene) {
        case Scene::kDefaults:
            return "defaults";
        case Scene::kDense:
            return "dense";
        case Scene::kStars:
            return "stars";
        case Scene::kEffectors:
            return "effectors";
    }
    return "?";
}

const char *DepthName(host::Depth depth)
{
    switch (depth) {
        case host::Depth::k8:
            return "8-bit";
        case host::Depth::k16:
            return "16-bit";
        case host::Depth::k32:
            return "float";
    }
    return "?";
}

RenderRecord SceneRecord(Scene scene, host::Depth depth, A_long width, A_long height,
                         PF_EffectWorld *ownLayer, PF_EffectWorld *mapLayer)
{
    RenderRecord r{};
    r.DotShape = 1;  // circle
    r.DotColor = PF_Pixel{255, 255, 125, 20};
    r.DotSize = 10;
    r.DotAspect = 0;
    r.DotRotation = 0;
    r.RotationType = 1;
    r.DotOpacity = 100;
    r.SpacingType = 1;  // two points: the spacing is the gap between dot edges
    r.DotSpacingX = 20;
    r.DotSpacingY = 20;
    r.CenterPosition = LayerCentre(width, height);
    r.GlobalRotationCenter = 1;
    r.MaskMode = 1;
    for (EffectorSettings &fx : r.Effectors) {
        fx = DefaultEffector(width, height, ownLayer);
    }
    r.pixelFormat = host::PixelFormatOf(depth);
    r.smart = 1;

    switch (scene) {
        case Scene::kDefaults:
            break;
        case Scene::kDense:
            r.DotSize = 4;
            r.DotSpacingX = 0;
            r.DotSpacingY = 0;
            break;
        case Scene::kStars:
            r.DotShape = 5;
            r.DotSize = 60;
            r.DotRotation = Fixed(45);
            break;
        case Scene::kEffectors:
            r.Effectors[0].enable = 1;  // radial
            r.Effectors[1].enable = 1;
            r.Effectors[1].mapType = 6;  // linear, symmetric
            r.Effectors[2].enable = 1;
            r.Effectors[2].mapType = 1;  // custom map layer
            r.Effectors[2].mapLayer = mapLayer;
            r.Effectors[2].pickSourceColor = 1;
            break;
    }
    return r;
}

void ApplyScene(host::Instance &instance, Scene scene)
{
    auto at = [&](A_long paramId) { return instance.indexOfId(paramId); };
    instance.setPopup(at(id::DotShape), 1);
    instance.setFloatSlider(at(id::DotSize), 10);
    instance.setAngle(at(id::DotRotation), 0);
    instance.setPopup(at(id::SpacingType), 1);
    instance.setFloatSlider(at(id::DotSpacingX), 20);
    instance.setFloatSlider(at(id::DotSpacingY), 20);

    switch (scene) {
        case Scene::kDefaults:
            break;
        case Scene::kDense:
            instance.setFloatSlider(at(id::DotSize), 4);
            instance.setFloatSlider(at(id::DotSpacingX), 0);
            instance.setFloatSlider(at(id::DotSpacingY), 0);
            break;
        case Scene::kStars:
            instance.setPopup(at(id::DotShape), 5);
            instance.setFloatSlider(at(id::DotSize), 60);
            instance.setAngle(at(id::DotRotation), Fixed(45));
            break;
        case Scene::kEffectors:
            instance.setCheckbox(at(id::EnableEffector1), true);
            instance.setPopup(at(id::EffectMap1), 3);
            instance.setCheckbox(at(id::EnableEffector2), true);
            instance.setPopup(at(id::EffectMap2), 6);
            instance.setCheckbox(at(id::EnableEffector3), true);
            instance.setPopup(at(id::EffectMap3), 1);
            instance.setLayer(at(id::CustomMapLayer3), host::LayerChoice::Layer(kMapLayerId));
            instance.setCheckbox(at(id::PickSourceColor3), true);
            break;
    }
}

host::World Gradient(A_long width, A_long height, host::Depth depth)
{
    host::World world(width, height, depth);
    switch (depth) {
        case host::Depth::k8:
            FillGradient<PF_Pixel8>(world, 255);
            break;
        case host::Depth::k16:
            FillGradient<PF_Pixel16>(world, 32768);
            break;
        case host::Depth::k32:
            FillGradient<PF_PixelFloat>(world, 1.0);
            break;
    }
    return world;
}

double ThreadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

void SetFrameCounters(benchmark::State &state, std::size_t dots, A_long width, A_long height)
{
    using benchmark::Counter;
    state.counters["dots"] = Counter(static_cast<double>(dots));
    state.counters["dots/s"] =
        Counter(static_cast<double>(dots), Counter::kIsIterationInvariantRate);
    state.counters["Mpx/s"] =
        Counter(static_cast<double>(width) * static_cast<double>(height) / 1e6,
                Counter::kIsIterationInvariantRate);
}

std::string BenchmarkName(const char *what, Scene scene, host::Depth depth, A_long width,
                          A_long height)
{
    std::ostringstream name;
    name << what << '/' << SceneName(scene) << '/' << DepthName(depth) << '/' << width << 'x'
         << height;
    return name.str();
}

}  // namespace bench
