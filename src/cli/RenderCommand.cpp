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

#include "ClipRender.h"
#include "Commands.h"
#include "Commands_p.h"
#include "Errors.h"
#include "FramePattern.h"
#include "FrameRender.h"
#include "ImageIO.h"
#include "MemoryBudget.h"
#include "ParamValue.h"
#include "Progress.h"
#include "VideoWriter.h"
#include "WorldBridge.h"

namespace cli {

namespace {

struct FramePlan {
    long first = 0;
    long last = 0;
    std::uint64_t memoryLimit = 0;
    ExrAlpha exrAlpha = ExrAlpha::kPremultiplied;
    long Count() const { return last - first + 1; }
};

// Everything about the request that can be checked before the plug-in is
// loaded or an image is read.
FramePlan CheckRequest(const RenderOptions &o, WriteOptions &write)
{
    if (!FormatForExtension(o.output) && !IsClipOutput(o.output)) {
        throw UsageError(
            "cannot tell the format of '" + o.output +
            "': the output name must end in .png, .exr, .mov, .mp4, .mkv, .webm or .gif");
    }
    CheckClipOptions(o);
    if (o.timings && IsClipRender(o)) {
        throw UsageError("--timings times image files and sequences, not clips");
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
    if (o.pngCompression) {
        const auto how = ParsePngCompression(*o.pngCompression);
        if (!how) {
            throw UsageError("--png-compression must be none, fast, small or smallest");
        }
        write.pngCompression = *how;
    }
    if (o.exrCompression) {
        const auto how = ParseExrCompression(*o.exrCompression);
        if (!how) {
            throw UsageError(
                "--exr-compression must be none, rle, zips, zip, piz, pxr24, b44, b44a, dwaa or "
                "dwab");
        }
        write.exrCompression = *how;
    }
    FramePlan plan;
    if (o.exrAlpha) {
        if (*o.exrAlpha == "straight") {
            plan.exrAlpha = ExrAlpha::kStraight;
        } else if (*o.exrAlpha != "premultiplied") {
            throw UsageError("--exr-alpha must be premultiplied or straight");
        }
    }
    write.exrAlpha = plan.exrAlpha;
    plan.memoryLimit = o.memoryLimit ? ParseMemorySize(*o.memoryLimit) : DefaultMemoryLimit();
    if (o.frames) {
        const FrameRange range = ParseFrameRange(*o.frames);
        plan.first = range.first;
        plan.last = range.last;
        if (range.Count() > 1 && !HasFramePattern(o.output) && !IsClipOutput(o.output)) {
            throw UsageError("rendering frames " + *o.frames + " needs a # pattern in OUTPUT, " +
                             "e.g. out.####.png");
        }
    } else if (o.frame) {
        if (*o.frame < 0 || *o.frame > kLastFrame) {
            throw UsageError("--frame " + std::to_string(*o.frame) +
                             " is out of range: frames go from 0 to " + std::to_string(kLastFrame));
        }
        plan.first = plan.last = *o.frame;
    }
    if (o.shard) {
        const FrameRange part = CheckShard(o, FrameRange{plan.first, plan.last});
        plan.first = part.first;
        plan.last = part.last;
    }
    return plan;
}

// An image file read as a layer world once, or once per frame when its name
// has a frame pattern.
class LayerSource {
public:
    LayerSource(std::string path, Depth depth, const FramePlan &plan)
        : path_(std::move(path)), depth_(depth), plan_(plan)
    {
    }

    // The layer at `frame`; the time its reading takes goes to `times`.
    const host::World &ForFrame(long frame, FrameTimings &times)
    {
        const bool sequence = HasFramePattern(path_);
        if (!world_ || (sequence && frame != frame_)) {
            const std::string file = sequence ? ExpandFramePattern(path_, frame) : path_;
            const ImageInfo info = ReadImageInfo(file);
            detail::CheckMemory(file, {info.width, info.height}, depth_,
                                ReadCost({info.width, info.height}, depth_, info.fileBytes),
                                plan_.memoryLimit);
            const std::vector<unsigned char> bytes =
                Timed(times.read, [&] { return ReadFileBytes(file); });
            world_ = Timed(times.decode, [&] {
                return std::make_unique<host::World>(
                    DecodeWorld(file, bytes, depth_, plan_.exrAlpha));
            });
            frame_ = frame;
        }
        return *world_;
    }

private:
    std::string path_;
    Depth depth_;
    const FramePlan &plan_;
    std::unique_ptr<host::World> world_;
    long frame_ = 0;
};

std::string DepthText(Depth depth)
{
    return DepthName(depth) + (depth == Depth::k32 ? "-bit float" : "-bit");
}

}  // namespace

void JoinWorkers(std::vector<std::thread> &threads, const std::exception_ptr &failure,
                 const std::atomic<bool> &stopped)
{
    for (std::thread &t : threads) {
        t.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    if (stopped) {
        throw Interrupted();
    }
}

namespace detail {

void CheckMemory(const std::string &file, PixelSize size, Depth depth, std::uint64_t bytes,
                 std::uint64_t limit)
{
    if (bytes > limit) {
        throw Failure("'" + file + "' is " + std::to_string(size.width) + " x " +
                      std::to_string(size.height) + " pixels: rendering it at " + DepthName(depth) +
                      " bits needs about " + FormatBytes(bytes) +
                      ", more than the memory limit of " + FormatBytes(limit) +
                      " (--memory-limit)");
    }
}

void CheckDownsample(const std::string &file, PixelSize size, int downsample)
{
    const int width = static_cast<int>(size.width);
    const int height = static_cast<int>(size.height);
    const auto keeps = [&](int n) {
        const double scale = 1.0 / n;
        return static_cast<int>(width * scale + 0.5) >= 1 &&
               static_cast<int>(height * scale + 0.5) >= 1;
    };
    if (keeps(downsample)) {
        return;
    }
    int most = 2 * std::min(width, height);
    while (most > 1 && !keeps(most)) {
        --most;
    }
    throw UsageError("--downsample " + std::to_string(downsample) + " is too large for '" + file +
                     "' (" + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels): at most " + std::to_string(most));
}

long Workers(long frames, int threads, std::uint64_t limit, std::uint64_t frameCost)
{
    const long wanted = threads > 0
                            ? threads
                            : static_cast<long>(std::max(1u, std::thread::hardware_concurrency()));
    const long fit = static_cast<long>(
        std::min<std::uint64_t>(limit / std::max<std::uint64_t>(frameCost, 1), 1024));
    return std::max<long>(1, std::min<long>({frames, wanted, fit}));
}

}  // namespace detail

Image RenderFrame(host::Instance &instance, const host::World &input,
                  const std::map<A_long, const host::World *> &layers, const FrameTime &time,
                  int downsample, const std::function<bool(A_long, A_long)> &progress,
                  const host::World *downsampled)
{
    host::FrameRequest request;
    request.input = &input;
    request.input_downsampled = downsampled;
    request.layers = layers;
    request.current_time = static_cast<A_long>(time.frame * time.step);
    request.time_step = time.step;
    request.time_scale = static_cast<A_u_long>(time.fps);
    request.total_time = static_cast<A_long>(time.totalFrames * time.step);
    request.downsample_x = downsample;
    request.downsample_y = downsample;
    request.progress = progress;
    const host::FrameResult result = instance.render(request);
    if (result.interrupted) {
        throw Interrupted();
    }
    const std::string frameText = "frame " + std::to_string(time.frame) + ": ";
    if (!result.ok()) {
        const host::CommandResult &bad = result.pre_render.ok() ? result.render : result.pre_render;
        throw Failure(frameText + DescribeFailure(bad));
    }
    if (result.output.empty()) {
        throw Failure(frameText + "the effect produced no output image");
    }
    // The downsampled layer, sized as the effect sizes it: w / N + 0.5,
    // truncated, and at least one pixel.
    const double scale = 1.0 / downsample;
    return FrameImage(result.output, std::max(1, static_cast<int>(input.width() * scale + 0.5)),
                      std::max(1, static_cast<int>(input.height() * scale + 0.5)));
}

void RenderWithSession(Session &session, const RenderOptions &o, RenderObserver &observer)
{
    WriteOptions write;
    const FramePlan plan = CheckRequest(o, write);
    if (IsClipRender(o)) {
        RenderClip(session, o, observer, write, plan.memoryLimit);
        return;
    }

    const std::vector<detail::ResolvedValue> values =
        detail::ResolveValues(session, o.presets, o.sets);
    const std::map<std::string, A_long> layerIds = detail::LayerIds(values);

    // The first frame's headers: its size, depth and what it costs, before
    // any pixels are read.
    const auto firstFile = [&](const std::string &path) {
        return HasFramePattern(path) ? ExpandFramePattern(path, plan.first) : path;
    };
    const ImageInfo first = ReadImageInfo(firstFile(o.input));
    const Depth depth = o.depth ? static_cast<Depth>(*o.depth) : first.depth;
    detail::CheckDownsample(firstFile(o.input), {first.width, first.height}, o.downsample);
    FrameShape shape{{first.width, first.height},
                     {},
                     depth,
                     o.downsample,
                     FormatForExtension(o.output) == ImageFormat::kExr};
    shape.fileBytes = first.fileBytes;
    for (const auto &layer : layerIds) {
        const ImageInfo info = ReadImageInfo(firstFile(layer.first));
        shape.layers.push_back({info.width, info.height});
        shape.fileBytes = std::max(shape.fileBytes, info.fileBytes);
    }
    const std::uint64_t frameCost = FrameCost(shape);
    detail::CheckMemory(firstFile(o.input), shape.input, depth, frameCost, plan.memoryLimit);
    const A_long layerWidth = first.width;
    const A_long layerHeight = first.height;

    // As many frames at once as fit in the memory limit.
    const long workers = detail::Workers(plan.Count(), o.threads, plan.memoryLimit, frameCost);
    // Faults go to the observer as the host finds them; with --strict the
    // first one ends the render.
    const auto takeFaults = [&] {
        const std::vector<std::string> faults = session.TakeFaults();
        observer.Faults(faults);
        if (o.strict && !faults.empty()) {
            throw ProtocolFaults("stopped at the effect's first protocol fault (--strict)");
        }
    };
    std::vector<host::Instance> instances =
        detail::NewInstances(session, workers, layerWidth, layerHeight, values, layerIds);
    takeFaults();

    std::mutex report;  // observer, the first failure
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
            FrameTimings times;
            times.frame = frame;
            const host::World &world = source.ForFrame(frame, times);
            if (world.width() != layerWidth || world.height() != layerHeight) {
                throw Failure("frame " + std::to_string(frame) + ": the input is " +
                              std::to_string(world.width()) + " x " +
                              std::to_string(world.height()) + ", the first frame was " +
                              std::to_string(layerWidth) + " x " + std::to_string(layerHeight));
            }
            std::map<A_long, const host::World *> layers;
            for (auto &[id, layer] : sources) {
                layers[id] = &layer->ForFrame(frame, times);
            }
            if (workers == 1) {
                // One frame at a time: its dots are worth a bar of their own.
                observer.FrameStarted(frame - plan.first, plan.Count(), outputPath);
            }
            const auto progress = [&](A_long current, A_long total) {
                if (workers == 1) {
                    observer.Step(current, total);
                    if (observer.Cancelled()) {
                        failed = true;
                    }
                }
                // A failure elsewhere ends this frame early too.
                return failed.load();
            };
            Image image;
            try {
                image = Timed(times.render, [&] {
                    return RenderFrame(instance, world, layers,
                                       FrameTime{frame, o.fps, plan.last + 1}, o.downsample,
                                       progress);
                });
            } catch (...) {
                std::lock_guard<std::mutex> lock(report);
                takeFaults();
                if (failed) {
                    return;
                }
                throw;
            }
            {
                std::lock_guard<std::mutex> lock(report);
                takeFaults();
            }
            if (failed) {
                return;
            }
            const std::vector<unsigned char> bytes =
                Timed(times.encode, [&] { return EncodeImage(outputPath, image, write); });
            Timed(times.write, [&] { WriteFileBytes(outputPath, bytes); });

            std::lock_guard<std::mutex> lock(report);
            const long finished = ++done;
            if (workers > 1) {
                observer.FrameStarted(finished, plan.Count(), outputPath);
                if (observer.Cancelled()) {
                    failed = true;
                }
            }
            observer.FrameTimed(times, workers);
            observer.FrameWritten(
                frame, outputPath, image,
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        }
    };
    auto guarded = [&](long w) {
        try {
            // Each worker reads its own files: sources cache one frame.
            LayerSource source(o.input, depth, plan);
            std::map<A_long, std::unique_ptr<LayerSource>> sources;
            for (const auto &[path, id] : layerIds) {
                sources[id] = std::make_unique<LayerSource>(path, depth, plan);
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
    JoinWorkers(threads, failure, failed);
}

namespace {

// The command's observer: warnings, a progress bar on a terminal, and with
// -v a line for every frame.
class TerminalObserver : public RenderObserver {
public:
    TerminalObserver(const CommonOptions &common, bool bar, std::ostream &out, std::ostream &err)
        : common_(common), bar_(bar), out_(out), err_(err)
    {
    }

    void Faults(const std::vector<std::string> &faults) override
    {
        if (!faults.empty()) {
            Clear();  // messages start on a line of their own
        }
        detail::PrintFaults(faults, err_);
        faultCount_ += faults.size();
    }
    std::size_t FaultCount() const { return faultCount_; }
    void FrameStarted(long done, long count, const std::string &path) override
    {
        if (!progress_) {
            progress_ = std::make_unique<Progress>(err_, bar_, count);
        }
        progress_->StartFrame(done, path);
    }
    void Warning(const std::string &message) override
    {
        if (common_.verbosity != Verbosity::kQuiet) {
            Clear();
            err_ << "stipplex: warning: " << message << "\n";
        }
    }
    void Step(long current, long total) override
    {
        if (progress_) {
            progress_->Step(current, total);
        }
    }
    void FrameWritten(long frame, const std::string &path, const Image &image,
                      double seconds) override
    {
        if (common_.verbosity != Verbosity::kVerbose) {
            return;
        }
        Clear();
        out_ << "frame " << frame << " -> " << path << " (" << image.Width() << " x "
             << image.Height() << ", " << DepthText(image.GetDepth()) << ", "
             << FormatNumber(std::round(seconds * 1000) / 1000) << " s)\n";
    }
    void FrameTimed(const FrameTimings &times, long threads) override
    {
        timings_.push_back(times);
        threads_ = threads;
    }
    void Clear()
    {
        if (progress_) {
            progress_->Clear();
        }
    }
    void PrintTimings(double wallSeconds)
    {
        Clear();
        cli::PrintTimings(err_, timings_, wallSeconds, threads_);
    }

private:
    const CommonOptions &common_;
    bool bar_;
    std::ostream &out_;
    std::ostream &err_;
    std::unique_ptr<Progress> progress_;
    std::vector<FrameTimings> timings_;
    long threads_ = 1;
    std::size_t faultCount_ = 0;
};

}  // namespace

void RunRender(const CommonOptions &common, const RenderOptions &o, std::ostream &out,
               std::ostream &err)
{
    // Usage errors before the plug-in is loaded or an image is read.
    WriteOptions write;
    CheckRequest(o, write);

    Session session(detail::PluginPath(common));
    std::size_t faults = 0;
    {
        TerminalObserver observer(common, o.progress && common.verbosity != Verbosity::kQuiet, out,
                                  err);
        const auto started = std::chrono::steady_clock::now();
        try {
            RenderWithSession(session, o, observer);
        } catch (...) {
            observer.Clear();
            throw;
        }
        if (o.timings) {
            observer.PrintTimings(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        }
        faults = observer.FaultCount();
    }
    session.Shutdown();
    detail::ReportFaults(session, err, faults);
}

}  // namespace cli
