// Whole frames through our host and the real plug-in: smart pre-render and
// render, with the driver's clear, copy of the input, temporary world and
// masked composite around RenderDots. Only render() is timed.
#include <memory>

#include "Bench.h"
#include "render/RenderDots.h"

namespace bench {

namespace {

// Loaded once for every frame benchmark; each benchmark makes its own
// instance.
std::unique_ptr<host::Effect> sharedEffect;

host::Effect &SharedEffect()
{
    if (!sharedEffect) {
        host::HostOptions options;
        // The real host hands out uncleared worlds as they come; painting
        // them first would add a fill to every frame.
        options.poison_uncleared_worlds = false;
        sharedEffect =
            std::make_unique<host::Effect>(host::Plugin::load(STIPPLEX_PLUGIN_PATH), options);
        sharedEffect->globalSetup();
    }
    return *sharedEffect;
}

// The number of dots the frame draws: the same layout RenderDots makes from
// the record that the plug-in builds for this scene.
std::size_t DotCount(Scene scene, host::Depth depth, host::World &input, host::World &mapLayer)
{
    const A_long w = input.width(), h = input.height();
    const RenderRecord record =
        SceneRecord(scene, depth, w, h, input.pf(), mapLayer.empty() ? nullptr : mapLayer.pf());
    switch (depth) {
        case host::Depth::k8:
            return LayOutDots<AEUtil::Pixel8>(record, w, h).dots.size();
        case host::Depth::k16:
            return LayOutDots<AEUtil::Pixel16>(record, w, h).dots.size();
        case host::Depth::k32:
            return LayOutDots<AEUtil::Pixel32>(record, w, h).dots.size();
    }
    return 0;
}

void HostFrame(benchmark::State &state, Scene scene, host::Depth depth, A_long width, A_long height)
{
    host::Effect &effect = SharedEffect();
    host::Instance instance = effect.newInstance(width, height);
    ApplyScene(instance, scene);

    host::World input = Gradient(width, height, depth);
    host::World mapLayer;
    host::FrameRequest request;
    request.input = &input;
    if (scene == Scene::kEffectors) {
        mapLayer = Gradient(width, height, depth);
        request.layers[kMapLayerId] = &mapLayer;
    }
    const std::size_t dots = DotCount(scene, depth, input, mapLayer);

    for (auto _ : state) {
        const double start = ThreadSeconds();
        const host::FrameResult frame = instance.render(request);
        state.SetIterationTime(ThreadSeconds() - start);
        if (!frame.ok()) {
            state.SkipWithError("the frame failed");
            break;
        }
        // RenderDots reports progress once per drawn dot.
        if (static_cast<std::size_t>(frame.progress_calls) != dots) {
            state.SkipWithError("the frame drew another number of dots than its layout holds");
            break;
        }
    }
    if (!effect.faults().empty()) {
        state.SkipWithError("the effect committed a protocol fault");
    }
    SetFrameCounters(state, dots, width, height);
}

}  // namespace

void RegisterHostFrameBenchmarks()
{
    for (const FrameSize &size : kFrameSizes) {
        for (Scene scene : kScenes) {
            for (host::Depth depth : kDepths) {
                const std::string name =
                    BenchmarkName("HostFrame", scene, depth, size.width, size.height);
                benchmark::RegisterBenchmark(name.c_str(), HostFrame, scene, depth, size.width,
                                             size.height)
                    ->UseManualTime()
                    ->Unit(benchmark::kMillisecond)
                    ->MinTime(0.2);
            }
        }
    }
}

std::vector<std::string> ShutDownHostEffect()
{
    std::vector<std::string> faults;
    if (sharedEffect) {
        sharedEffect->shutdown();
        faults = sharedEffect->faults();
        sharedEffect.reset();
    }
    return faults;
}

}  // namespace bench
