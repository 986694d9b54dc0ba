// The halftone renderer alone: RenderDots on a cleared canvas of the whole
// frame, as the driver calls it at full resolution, without the host's
// worlds, copies and composite around it; and its first stage, LayOutDots
// (lattice walk, per-dot attributes and effectors, no drawing), where the
// effectors' share of the work shows.
#include <cstring>
#include <vector>

#include "Bench.h"
#include "render/DotCanvas.h"
#include "render/PolygonRasterizer.h"
#include "render/RenderDots.h"

namespace bench {

namespace {

// The record of the scene and the layers it points to.
class SceneSetup {
public:
    SceneSetup(Scene scene, host::Depth depth, A_long width, A_long height)
    {
        // The effectors' layers: the frame's own layer and effector 3's map.
        if (scene == Scene::kEffectors) {
            ownLayer_ = Gradient(width, height, depth);
            mapLayer_ = Gradient(width, height, depth);
        }
        record_ =
            SceneRecord(scene, depth, width, height, ownLayer_.empty() ? nullptr : ownLayer_.pf(),
                        mapLayer_.empty() ? nullptr : mapLayer_.pf());
    }
    const RenderRecord &record() const { return record_; }

private:
    host::World ownLayer_;
    host::World mapLayer_;
    RenderRecord record_{};
};

template <typename Pixel>
void LayOutFrame(benchmark::State &state, Scene scene, host::Depth depth, A_long width,
                 A_long height)
{
    const SceneSetup setup(scene, depth, width, height);
    std::size_t dots = 0;
    for (auto _ : state) {
        const double start = ThreadSeconds();
        const DotLayout<Pixel> layout = LayOutDots<Pixel>(setup.record(), width, height);
        state.SetIterationTime(ThreadSeconds() - start);
        benchmark::DoNotOptimize(layout.dots.data());
        dots = layout.dots.size();
    }
    SetFrameCounters(state, dots, width, height);
}

template <typename Pixel>
void RenderDotsFrame(benchmark::State &state, Scene scene, host::Depth depth, A_long width,
                     A_long height)
{
    const SceneSetup setup(scene, depth, width, height);
    const RenderRecord &prototype = setup.record();
    const std::size_t dots = LayOutDots<Pixel>(prototype, width, height).dots.size();

    std::vector<Pixel> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    DotCanvas<Pixel> canvas;
    canvas.pixels = pixels.data();
    canvas.width = width;
    canvas.height = height;
    canvas.rowbytes = width * static_cast<A_long>(sizeof(Pixel));

    for (auto _ : state) {
        // The driver draws on a freshly cleared world, with a new rasteriser
        // and a record of its own (RenderDots leaves the record unchanged,
        // but the driver scales it in place before the call).
        std::memset(static_cast<void *>(pixels.data()), 0, pixels.size() * sizeof(Pixel));
        RenderRecord record = prototype;
        const double start = ThreadSeconds();
        PF_Err err;
        {
            PolygonRasterizer<Pixel> rasterizer(canvas);
            canvas.rasterizer = &rasterizer;
            err = RenderDots(record, canvas);
            canvas.rasterizer = nullptr;
        }
        benchmark::ClobberMemory();
        state.SetIterationTime(ThreadSeconds() - start);
        if (err != PF_Err_NONE) {
            state.SkipWithError("RenderDots returned an error");
            break;
        }
    }
    SetFrameCounters(state, dots, width, height);
}

// One benchmark function per depth, picked at registration.
using FrameBenchmark = void (*)(benchmark::State &, Scene, host::Depth, A_long, A_long);

template <template <typename> class Family>
FrameBenchmark AtDepth(host::Depth depth)
{
    switch (depth) {
        case host::Depth::k8:
            return Family<AEUtil::Pixel8>::Run;
        case host::Depth::k16:
            return Family<AEUtil::Pixel16>::Run;
        case host::Depth::k32:
            break;
    }
    return Family<AEUtil::Pixel32>::Run;
}

template <typename Pixel>
struct RenderDotsFamily {
    static constexpr FrameBenchmark Run = RenderDotsFrame<Pixel>;
};
template <typename Pixel>
struct LayOutDotsFamily {
    static constexpr FrameBenchmark Run = LayOutFrame<Pixel>;
};

// Half a second of frames for each: the renderer's frames are short, and
// the machine is shared.
template <template <typename> class Family>
void Register(const char *what, Scene scene, host::Depth depth, const FrameSize &size)
{
    const std::string name = BenchmarkName(what, scene, depth, size.width, size.height);
    benchmark::RegisterBenchmark(name.c_str(), AtDepth<Family>(depth), scene, depth, size.width,
                                 size.height)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond)
        ->MinTime(0.5);
}

}  // namespace

void RegisterRenderDotsBenchmarks()
{
    for (const FrameSize &size : kFrameSizes) {
        for (Scene scene : kScenes) {
            for (host::Depth depth : kDepths) {
                Register<RenderDotsFamily>("RenderDots", scene, depth, size);
            }
        }
    }
    // The layout alone, with and without effectors.
    for (const FrameSize &size : kFrameSizes) {
        for (Scene scene : {Scene::kDefaults, Scene::kEffectors}) {
            for (host::Depth depth : kDepths) {
                Register<LayOutDotsFamily>("LayOutDots", scene, depth, size);
            }
        }
    }
}

}  // namespace bench
