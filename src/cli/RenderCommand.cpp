// `stipplex render`: images in, the effect applied through the host, images
// out. Each worker thread has its own instance of the effect, as a layer of a
// composition has, and takes the next frame until none is left; the effect
// declares itself thread-safe, so the host may render frames at once. The
// frame number is the current time, with a time step of 1 and a time scale
// of --fps.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Commands.h"
#include "Commands_p.h"
#include "Errors.h"
#include "FramePattern.h"
#include "ImageIO.h"
#include "ParamValue.h"
#include "Progress.h"
#include "WorldBridge.h"

namespace cli {

namespace {

struct FramePlan {
    long first = 0;
    long last = 0;
    long Count() const { return last - first + 1; }
};

// Everything about the request that can be checked before the plug-in is
// loaded or an image is read.
FramePlan CheckRequest(const RenderOptions &o, WriteOptions &write)
{
    if (!FormatForExtension(o.output)) {
        throw UsageError("cannot tell the format of '" + o.output +
                         "': the output name must end in .png or .exr");
    }
    if (o.depth && *o.depth != 8 && *o.depth != 16 && *o.depth != 32) {
        throw UsageError("--depth must be 8, 16 or 32");
    }
    if (o.downsample < 1) {
        throw UsageError("--downsample must be 1 or more");
    }
    if (o.fps < 1) {
        throw UsageError("--fps must be 1 or more");
    }
    if (o.threads < 0) {
        throw UsageError("--threads must be 0 (one per core) or more");
    }
    if (o.frame && o.frames) {
        throw UsageError("--frame and --frames cannot be used together");
    }
    if (o.pngDepth) {
        if (*o.pngDepth != 8 && *o.pngDepth != 16) {
            throw UsageError("--png-depth must be 8 or 16");
        }
        write.pngBits = *o.pngDepth;
    }
    if (o.exrType) {
        if (*o.exrType == "half") {
            write.exrType = ExrType::kHalf;
        } else if (*o.exrType == "float") {
            write.exrType = ExrType::kFloat;
        } else {
            throw UsageError("--exr-type must be half or float");
        }
    }
    FramePlan plan;
    if (o.frames) {
        const FrameRange range = ParseFrameRange(*o.frames);
        plan.first = range.first;
        plan.last = range.last;
        if (range.Count() > 1 && !HasFramePattern(o.output)) {
            throw UsageError("rendering frames " + *o.frames + " needs a # pattern in OUTPUT, " +
                             "e.g. out.####.png");
        }
    } else if (o.frame) {
        if (*o.frame < 0) {
            throw UsageError("--frame must not be negative");
        }
        plan.first = plan.last = *o.frame;
    }
    return plan;
}

// An image file read as a layer world once, or once per frame when its name
// has a frame pattern.
class LayerSource {
public:
    LayerSource(std::string path, Depth depth) : path_(std::move(path)), depth_(depth) {}

    const host::World &ForFrame(long frame)
    {
        const bool sequence = HasFramePattern(path_);
        if (!world_ || (sequence && frame != frame_)) {
            const std::string file = sequence ? ExpandFramePattern(path_, frame) : path_;
            world_ = std::make_unique<host::World>(ToWorld(ReadImage(file, depth_)));
            frame_ = frame;
        }
        return *world_;
    }

private:
    std::string path_;
    Depth depth_;
    std::unique_ptr<host::World> world_;
    long frame_ = 0;
};

std::string DepthText(Depth depth)
{
    return DepthName(depth) + (depth == Depth::k32 ? "-bit float" : "-bit");
}

}  // namespace

void RunRender(const CommonOptions &common, const RenderOptions &o, std::ostream &out,
               std::ostream &err)
{
    WriteOptions write;
    const FramePlan plan = CheckRequest(o, write);
    const bool verbose = common.verbosity == Verbosity::kVerbose;

    Session session(detail::PluginPath(common));
    const std::vector<detail::ResolvedValue> values =
        detail::ResolveValues(session, o.presets, o.sets);
    const std::map<std::string, A_long> layerIds = detail::LayerIds(values);

    const std::string firstInput =
        HasFramePattern(o.input) ? ExpandFramePattern(o.input, plan.first) : o.input;
    const Depth depth = o.depth ? static_cast<Depth>(*o.depth) : FileDepth(firstInput);

    LayerSource input(o.input, depth);

    const host::World &firstWorld = input.ForFrame(plan.first);
    const A_long layerWidth = firstWorld.width();
    const A_long layerHeight = firstWorld.height();
    // The downsampled layer, sized as the effect sizes it: w / N + 0.5, truncated.
    const double scale = 1.0 / o.downsample;
    const int canvasWidth = static_cast<int>(layerWidth * scale + 0.5);
    const int canvasHeight = static_cast<int>(layerHeight * scale + 0.5);

    const long workers = std::max<long>(
        1, std::min<long>(plan.Count(), o.threads > 0
                                            ? o.threads
                                            : static_cast<long>(std::max(
                                                  1u, std::thread::hardware_concurrency()))));
    {
        std::vector<host::Instance> instances;
        for (long w = 0; w < workers; ++w) {
            instances.push_back(session.GetEffect().newInstance(layerWidth, layerHeight));
            detail::ApplyValues(instances.back(), values, layerIds);
            // The host sends this after every change in the effect controls; it
            // leaves the controls enabled or disabled as the values demand.
            const host::CommandResult ui = instances.back().updateParamsUI();
            if (!ui.ok()) {
                throw Failure(DescribeFailure(ui));
            }
        }
        detail::ReportFaults(session, common, err);

        Progress progress(err, o.progress && common.verbosity != Verbosity::kQuiet, plan.Count());
        std::mutex report;  // progress, messages, the first failure
        std::atomic<long> next{plan.first};
        std::atomic<long> done{0};
        std::atomic<bool> failed{false};
        std::exception_ptr failure;

        auto work = [&](host::Instance &instance, LayerSource &source,
                        std::map<A_long, std::unique_ptr<LayerSource>> &sources) {
            for (long frame = next++; frame <= plan.last && !failed; frame = next++) {
                const std::string outputPath =
                    HasFramePattern(o.output) ? ExpandFramePattern(o.output, frame) : o.output;
                const auto started = std::chrono::steady_clock::now();
                host::FrameRequest request;
                request.input = &source.ForFrame(frame);
                if (request.input->width() != layerWidth ||
                    request.input->height() != layerHeight) {
                    throw Failure("frame " + std::to_string(frame) + ": the input is " +
                                  std::to_string(request.input->width()) + " x " +
                                  std::to_string(request.input->height()) +
                                  ", the first frame was " + std::to_string(layerWidth) + " x " +
                                  std::to_string(layerHeight));
                }
                for (auto &[id, layer] : sources) {
                    request.layers[id] = &layer->ForFrame(frame);
                }
                request.current_time = static_cast<A_long>(frame);
                request.time_step = 1;
                request.time_scale = static_cast<A_u_long>(o.fps);
                request.total_time = static_cast<A_long>(plan.last + 1);
                request.downsample_x = o.downsample;
                request.downsample_y = o.downsample;
                if (workers == 1) {
                    // One frame at a time: its dots are worth a bar of their own.
                    progress.StartFrame(frame - plan.first, outputPath);
                }
                request.progress = [&](A_long current, A_long total) {
                    if (workers == 1) {
                        progress.Step(current, total);
                    }
                    // A failure elsewhere ends this frame early too.
                    return failed.load();
                };

                const host::FrameResult result = instance.render(request);
                {
                    std::lock_guard<std::mutex> lock(report);
                    const std::vector<std::string> faults = session.TakeFaults();
                    if (!faults.empty() || verbose || !result.ok()) {
                        progress.Clear();  // messages start on a line of their own
                    }
                    detail::PrintFaults(faults, common, err);
                }
                if (failed) {
                    return;
                }
                if (!result.ok()) {
                    const host::CommandResult &bad =
                        result.pre_render.ok() ? result.render : result.pre_render;
                    throw Failure("frame " + std::to_string(frame) + ": " + DescribeFailure(bad));
                }
                if (result.output.empty()) {
                    throw Failure("frame " + std::to_string(frame) +
                                  ": the effect produced no output image");
                }
                WriteImage(outputPath, FrameImage(result.output, canvasWidth, canvasHeight), write);

                std::lock_guard<std::mutex> lock(report);
                const long finished = ++done;
                if (workers > 1) {
                    progress.StartFrame(finished, outputPath);
                }
                if (verbose) {
                    progress.Clear();
                    const double seconds =
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - started)
                            .count();
                    out << "frame " << frame << " -> " << outputPath << " (" << canvasWidth << " x "
                        << canvasHeight << ", " << DepthText(depth) << ", "
                        << FormatNumber(std::round(seconds * 1000) / 1000) << " s)\n";
                }
            }
        };
        auto guarded = [&](long w) {
            try {
                // Each worker reads its own files: sources cache one frame.
                LayerSource source(o.input, depth);
                std::map<A_long, std::unique_ptr<LayerSource>> sources;
                for (const auto &[path, id] : layerIds) {
                    sources[id] = std::make_unique<LayerSource>(path, depth);
                }
                work(instances[static_cast<std::size_t>(w)], source, sources);
            } catch (...) {
                std::lock_guard<std::mutex> lock(report);
                if (!failure) {
                    failure = std::current_exception();
                }
                failed = true;
            }
        };
        std::vector<std::thread> threads;
        for (long w = 1; w < workers; ++w) {
            threads.emplace_back(guarded, w);
        }
        guarded(0);
        for (std::thread &t : threads) {
            t.join();
        }
        progress.Clear();
        if (failure) {
            std::rethrow_exception(failure);
        }
    }
    session.Shutdown();
    detail::ReportFaults(session, common, err);
}

}  // namespace cli
