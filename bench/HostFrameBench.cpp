// Whole frames through our host and the real plug-in: smart pre-render and
// render, with the driver's clear, copy of the input, temporary world and
// masked composite around RenderDots. Only render() is timed: warm frames
// (HostFrame, an instance's later frames) and cold ones (HostFrameCold, the
// first frame of a fresh instance) apart.
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

// A frame's instance with the scene applied and the images it renders.
struct Setup {
    Setup(Scene scene, host::Depth depth, A_long width, A_long height)
        : instance(SharedEffect().newInstance(width, height)), input(Gradient(width, height, depth))
    {
        ApplyScene(instance, scene);
        request.input = &input;
        if (scene == Scene::kEffectors) {
            mapLayer = Gradient(width, height, depth);
            request.layers[kMapLayerId] = &mapLayer;
        }
        dots = DotCount(scene, depth, input, mapLayer);
    }

    host::Instance instance;
    host::World input;
    host::World mapLayer;
    host::FrameRequest request;
    std::size_t dots = 0;
};

// Renders one frame, timed; false (with the benchmark skipped) if it failed.
bool TimedFrame(benchmark::State &state, Setup &setup)
{
    const double start = ThreadSeconds();
    const host::FrameResult frame = setup.instance.render(setup.request);
    state.SetIterationTime(ThreadSeconds() - start);
    if (!frame.ok()) {
        state.SkipWithError("the frame failed");
        return false;
    }
    // RenderDots reports progress once per drawn dot.
    if (static_cast<std::size_t>(frame.progress_calls) != setup.dots) {
        state.SkipWithError("the frame drew another number of dots than its layout holds");
        return false;
    }
    return true;
}

// Warm: frames of one instance after an untimed first frame, as in a
// sequence, where the host's buffers are kept from frame to frame.
void HostFrame(benchmark::State &state, Scene scene, host::Depth depth, A_long width, A_long height)
{
    Setup setup(scene, depth, width, height);
    setup.instance.render(setup.request);
    for (auto _ : state) {
        if (!TimedFrame(state, setup)) break;
    }
    if (!SharedEffect().faults().empty()) {
        state.SkipWithError("the effect committed a protocol fault");
    }
    SetFrameCounters(state, setup.dots, width, height);
}

// Cold: the first frame of a fresh instance, whose buffers are all new.
void HostFrameCold(benchmark::State &state, Scene scene, host::Depth depth, A_long width,
                   A_long height)
{
    std::size_t dots = 0;
    for (auto _ : state) {
        Setup setup(scene, depth, width, height);
        dots = setup.dots;
        if (!TimedFrame(state, setup)) break;
    }
    if (!SharedEffect().faults().empty()) {
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
                for (bool cold : {false, true}) {
                    const std::string name = BenchmarkName(cold ? "HostFrameCold" : "HostFrame",
                                                           scene, depth, size.width, size.height);
                    benchmark::RegisterBenchmark(name.c_str(), cold ? HostFrameCold : HostFrame,
                                                 scene, depth, size.width, size.height)
                        ->UseManualTime()
                        ->Unit(benchmark::kMillisecond)
                        ->MinTime(0.2);
                }
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
