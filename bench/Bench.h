// What the benchmarks share: the scenes they render (the parameter defaults
// and three variations), the images they render them over, the clock and
// the rates every benchmark reports.
#pragma once

#include <benchmark/benchmark.h>

#include <cstddef>
#include <string>
#include <vector>

#include "RenderRecord.h"
#include "host/Host.h"

namespace bench {

enum class Scene {
    kDefaults,   // circles of size 10 with gaps of 20 between their edges
    kDense,      // size 4 without gaps: a dot every 4 pixels
    kStars,      // stars of size 60 turned by 45 degrees
    kEffectors,  // the defaults with all three effectors on
};

const char *SceneName(Scene scene);
const char *DepthName(host::Depth depth);  // "8-bit", "16-bit", "float"

// The id under which effector 3's custom map layer is handed to the host.
constexpr A_long kMapLayerId = 1;

// The record that the driver hands to RenderDots for a frame of width x
// height at full resolution: every parameter at its built-in default, then
// the scene's changes. `ownLayer` is the layer the effect is applied to,
// which is every effector's default custom map layer (the radial and linear
// effectors act only when they have one); `mapLayer` is effector 3's custom
// map layer. Only kEffectors uses them; they may be null otherwise.
RenderRecord SceneRecord(Scene scene, host::Depth depth, A_long width, A_long height,
                         PF_EffectWorld *ownLayer, PF_EffectWorld *mapLayer);

// Sets the scene's parameters on a fresh instance, the main ones explicitly
// even where they are the defaults. Effector 3's custom map layer is layer
// kMapLayerId of the frame request.
void ApplyScene(host::Instance &instance, Scene scene);

// An opaque image: red rises from left to right, green from top to bottom,
// blue falls from left to right.
host::World Gradient(A_long width, A_long height, host::Depth depth);

// CPU time of the calling thread, in seconds. The renderer and the host run
// a frame on the calling thread, so this is the frame's cost whatever else
// the machine is doing.
double ThreadSeconds();

// The counters of a frame benchmark: the number of dots drawn, dots per
// second and megapixels (of the frame) per second.
void SetFrameCounters(benchmark::State &state, std::size_t dots, A_long width, A_long height);

// "RenderDots/defaults/8-bit/1920x1080" and the like.
std::string BenchmarkName(const char *what, Scene scene, host::Depth depth, A_long width,
                          A_long height);

// The two families; each registers every scene at every depth and size.
void RegisterRenderDotsBenchmarks();
void RegisterHostFrameBenchmarks();
// Writing a rendered frame with each PNG and OpenEXR compression.
void RegisterWriteImageBenchmarks();
// Sets down the effect the frame benchmarks share and returns its protocol
// faults (none expected).
std::vector<std::string> ShutDownHostEffect();

// The frame sizes and depths every family covers.
struct FrameSize {
    A_long width;
    A_long height;
};
constexpr FrameSize kFrameSizes[] = {{1920, 1080}, {3840, 2160}};
constexpr host::Depth kDepths[] = {host::Depth::k8, host::Depth::k16, host::Depth::k32};
constexpr Scene kScenes[] = {Scene::kDefaults, Scene::kDense, Scene::kStars, Scene::kEffectors};

}  // namespace bench
