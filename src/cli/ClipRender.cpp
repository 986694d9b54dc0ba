#include "ClipRender.h"

#include <CLI/CLI.hpp>
#include <climits>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "Commands_p.h"
#include "Errors.h"
#include "FramePattern.h"
#include "ImageIO.h"
#include "MemoryBudget.h"
#include "ParamValue.h"
#include "VideoReader.h"
#include "VideoWriter.h"
#include "WorldBridge.h"

namespace cli {

namespace {

// One input frame: its number (the effect's frame), its time stamp for the
// output clip and its pixels as the layer.
struct SourceFrame {
    long index = 0;
    std::int64_t pts = 0;
    std::shared_ptr<const host::World> world;
};

class FrameSource {
public:
    virtual ~FrameSource() = default;
    // The next frame, or false after the last one wanted.
    virtual bool Next(SourceFrame &frame) = 0;
};

class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Frames must arrive in order (a clip), or may come from any worker.
    virtual bool Ordered() const = 0;
    virtual std::string Label(long index) const = 0;
    virtual void Write(const SourceFrame &frame, const Image &image) = 0;
    virtual void Finish() {}
};

// Frames [first, last] of a clip, last clipped to the clip's end.
class ClipSource : public FrameSource {
public:
    ClipSource(VideoReader &reader, Depth depth, long first, long last)
        : reader_(reader), depth_(depth), last_(last)
    {
        reader_.Start(first);
    }
    bool Next(SourceFrame &frame) override
    {
        Image image;
        if (!reader_.Read(image, depth_, frame.index, frame.pts) || frame.index > last_) {
            return false;
        }
        if (!started_) {
            started_ = true;
            firstPts_ = frame.pts;
        }
        frame.pts -= firstPts_;
        frame.world = std::make_shared<host::World>(ToWorld(image));
        return true;
    }

private:
    VideoReader &reader_;
    Depth depth_;
    long last_;
    bool started_ = false;
    std::int64_t firstPts_ = 0;
};

// Frames [first, last] of an image sequence, or one image held for all.
class ImageSource : public FrameSource {
public:
    ImageSource(std::string path, Depth depth, ExrAlpha exrAlpha, long first, long last,
                std::uint64_t memoryLimit)
        : path_(std::move(path)),
          depth_(depth),
          exrAlpha_(exrAlpha),
          first_(first),
          next_(first),
          last_(last),
          memoryLimit_(memoryLimit)
    {
    }
    bool Next(SourceFrame &frame) override
    {
        if (next_ > last_) {
            return false;
        }
        const bool sequence = HasFramePattern(path_);
        if (!still_ || sequence) {
            const std::string file = sequence ? ExpandFramePattern(path_, next_) : path_;
            CheckRead(file, depth_, memoryLimit_);
            still_ = std::make_shared<host::World>(ToWorld(ReadImage(file, depth_, exrAlpha_)));
        }
        frame.index = next_;
        frame.pts = next_ - first_;
        frame.world = still_;
        ++next_;
        return true;
    }

private:
    std::string path_;
    Depth depth_;
    ExrAlpha exrAlpha_;
    long first_;
    long next_;
    long last_;
    std::uint64_t memoryLimit_;
    std::shared_ptr<const host::World> still_;
};

class ClipSink : public FrameSink {
public:
    explicit ClipSink(std::unique_ptr<VideoWriter> writer, std::string path)
        : writer_(std::move(writer)), path_(std::move(path))
    {
    }
    bool Ordered() const override { return true; }
    std::string Label(long index) const override
    {
        return path_ + " frame " + std::to_string(index);
    }
    void Write(const SourceFrame &frame, const Image &image) override
    {
        writer_->Write(image, frame.pts);
    }
    void Finish() override { writer_->Finish(); }

private:
    std::unique_ptr<VideoWriter> writer_;
    std::string path_;
};

class ImageSink : public FrameSink {
public:
    ImageSink(std::string pattern, const WriteOptions &write)
        : pattern_(std::move(pattern)), write_(write)
    {
    }
    bool Ordered() const override { return false; }
    std::string Label(long index) const override
    {
        return HasFramePattern(pattern_) ? ExpandFramePattern(pattern_, index) : pattern_;
    }
    void Write(const SourceFrame &frame, const Image &image) override
    {
        WriteImage(Label(frame.index), image, write_);
    }

private:
    std::string pattern_;
    WriteOptions write_;
};

// A layer that a layer value names: an image file, read once, or once per
// frame when its name has a frame pattern.
class LayerFile {
public:
    LayerFile(std::string path, Depth depth, ExrAlpha exrAlpha, std::uint64_t memoryLimit)
        : path_(std::move(path)), depth_(depth), exrAlpha_(exrAlpha), memoryLimit_(memoryLimit)
    {
    }
    const host::World &ForFrame(long frame)
    {
        const bool sequence = HasFramePattern(path_);
        if (!world_ || (sequence && frame != frame_)) {
            const std::string file = sequence ? ExpandFramePattern(path_, frame) : path_;
            CheckRead(file, depth_, memoryLimit_);
            world_ = std::make_unique<host::World>(ToWorld(ReadImage(file, depth_, exrAlpha_)));
            frame_ = frame;
        }
        return *world_;
    }

private:
    std::string path_;
    Depth depth_;
    ExrAlpha exrAlpha_;
    std::uint64_t memoryLimit_;
    std::unique_ptr<host::World> world_;
    long frame_ = 0;
};

// Warnings of the encoder, which writes outside the pipeline's lock: held
// until the pipeline passes them on with its other reports.
class Warnings {
public:
    void Add(const std::string &message)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_.push_back(message);
    }
    void PassOn(RenderObserver &observer)
    {
        std::vector<std::string> messages;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            messages.swap(pending_);
        }
        for (const std::string &m : messages) {
            observer.Warning(m);
        }
    }

private:
    std::mutex mutex_;
    std::vector<std::string> pending_;
};

struct Plan {
    long first = 0;
    long last = 0;
    long count = 0;  // frames expected, for the progress bar
    FrameTime time;  // of the first frame; frame and totalFrames as a template
    int downsample = 1;
    Depth depth = Depth::k8;
    ExrAlpha exrAlpha = ExrAlpha::kPremultiplied;  // of OpenEXR files read
    std::uint64_t memoryLimit = 0;
    std::uint64_t frameCost = 0;  // of one frame in flight, at its peak
};

// decode -> render on the workers -> write, at most `workers + 2` frames in
// flight, and no more workers than frames fit in the memory limit. A clip is
// written in order on this thread; image files are written by the workers.
void RunPipeline(Session &session, const RenderOptions &o, RenderObserver &observer,
                 FrameSource &source, FrameSink &sink, const Plan &plan,
                 const std::vector<detail::ResolvedValue> &values,
                 const std::map<std::string, A_long> &layerIds, A_long layerWidth,
                 A_long layerHeight, Warnings &warnings)
{
    const long workers = detail::Workers(plan.count, o.threads, plan.memoryLimit, plan.frameCost);
    std::vector<host::Instance> instances =
        detail::NewInstances(session, workers, layerWidth, layerHeight, values, layerIds);
    observer.Faults(session.TakeFaults());

    struct Rendered {
        SourceFrame frame;
        Image image;
        double seconds = 0;
    };
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<long, SourceFrame>> queue;  // with its place in the output
    std::map<long, Rendered> rendered;               // by place, for an ordered sink
    const long capacity = workers + 2;
    long inFlight = 0;  // read and not yet written
    long produced = 0;
    long written = 0;
    bool sourceDone = false;
    std::atomic<bool> stop{false};
    std::exception_ptr failure;

    auto fail = [&](std::exception_ptr error) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!failure) {
            failure = error;
        }
        stop = true;
        changed.notify_all();
    };
    // Under the lock: a frame is out.
    auto reportWritten = [&](const Rendered &r) {
        warnings.PassOn(observer);
        --inFlight;
        const long done = ++written;
        const std::string label = sink.Label(r.frame.index);
        if (workers > 1) {
            observer.FrameStarted(done, std::max(plan.count, done), label);
        }
        observer.FrameWritten(r.frame.index, label, r.image, r.seconds);
        if (observer.Cancelled()) {
            stop = true;
        }
        changed.notify_all();
    };

    std::thread producer([&] {
        try {
            for (;;) {
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(lock, [&] { return stop || inFlight < capacity; });
                    if (stop) {
                        return;
                    }
                }
                SourceFrame frame;
                const bool got = source.Next(frame);
                std::lock_guard<std::mutex> lock(mutex);
                if (!got) {
                    sourceDone = true;
                } else {
                    queue.emplace_back(produced++, std::move(frame));
                    ++inFlight;
                }
                changed.notify_all();
                if (!got) {
                    return;
                }
            }
        } catch (...) {
            fail(std::current_exception());
        }
    });

    auto work = [&](long w) {
        try {
            host::Instance &instance = instances[static_cast<std::size_t>(w)];
            std::map<A_long, std::unique_ptr<LayerFile>> layerFiles;
            for (const auto &[path, id] : layerIds) {
                layerFiles[id] =
                    std::make_unique<LayerFile>(path, plan.depth, plan.exrAlpha, plan.memoryLimit);
            }
            for (;;) {
                std::pair<long, SourceFrame> job;
                {
                    std::unique_lock<std::mutex> lock(mutex);
                    changed.wait(lock, [&] { return stop || !queue.empty() || sourceDone; });
                    if (stop || queue.empty()) {
                        return;
                    }
                    job = std::move(queue.front());
                    queue.pop_front();
                    if (workers == 1) {
                        observer.FrameStarted(written, std::max(plan.count, written + 1),
                                              sink.Label(job.second.index));
                    }
                }
                const host::World &world = *job.second.world;
                if (world.width() != layerWidth || world.height() != layerHeight) {
                    throw Failure("frame " + std::to_string(job.second.index) + ": the input is " +
                                  std::to_string(world.width()) + " x " +
                                  std::to_string(world.height()) + ", the first frame was " +
                                  std::to_string(layerWidth) + " x " + std::to_string(layerHeight));
                }
                std::map<A_long, const host::World *> layers;
                for (auto &[id, layer] : layerFiles) {
                    layers[id] = &layer->ForFrame(job.second.index);
                }
                const auto started = std::chrono::steady_clock::now();
                const auto progress = [&](A_long current, A_long total) {
                    if (workers == 1) {
                        std::lock_guard<std::mutex> lock(mutex);
                        observer.Step(current, total);
                        if (observer.Cancelled()) {
                            stop = true;
                        }
                    }
                    return stop.load();
                };
                FrameTime time = plan.time;
                time.frame = job.second.index;
                Rendered r;
                try {
                    r.image = RenderFrame(instance, world, layers, time, plan.downsample, progress);
                } catch (const Interrupted &) {
                    std::lock_guard<std::mutex> lock(mutex);
                    observer.Faults(session.TakeFaults());
                    stop = true;
                    changed.notify_all();
                    return;
                }
                job.second.world.reset();
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    observer.Faults(session.TakeFaults());
                }
                r.frame = std::move(job.second);
                if (sink.Ordered()) {
                    r.seconds =
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - started)
                            .count();
                    std::lock_guard<std::mutex> lock(mutex);
                    rendered.emplace(job.first, std::move(r));
                    changed.notify_all();
                    continue;
                }
                sink.Write(r.frame, r.image);
                r.seconds =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - started)
                        .count();
                std::lock_guard<std::mutex> lock(mutex);
                reportWritten(r);
            }
        } catch (...) {
            fail(std::current_exception());
        }
    };
    std::vector<std::thread> threads;
    for (long w = 0; w < workers; ++w) {
        threads.emplace_back(work, w);
    }

    // The writer: frames of an ordered sink in their order; otherwise only
    // waits for the workers.
    try {
        for (long place = 0;;) {
            Rendered r;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [&] {
                    return stop || (sourceDone && inFlight == 0) ||
                           (sink.Ordered() && rendered.count(place) > 0);
                });
                if (stop || (sourceDone && inFlight == 0)) {
                    break;
                }
                r = std::move(rendered.at(place));
                rendered.erase(place);
            }
            sink.Write(r.frame, r.image);
            ++place;
            std::lock_guard<std::mutex> lock(mutex);
            reportWritten(r);
        }
    } catch (...) {
        fail(std::current_exception());
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        stop = stop || failure;
        changed.notify_all();
    }
    producer.join();
    JoinWorkers(threads, failure, stop);
    sink.Finish();
}

FrameRange RequestedRange(const RenderOptions &o, long defaultLast)
{
    if (o.frames) {
        return ParseFrameRange(*o.frames);
    }
    if (o.frame) {
        return FrameRange{*o.frame, *o.frame};
    }
    return FrameRange{0, defaultLast};
}

}  // namespace

void AddClipOptions(CLI::App &render, RenderOptions &o)
{
    render
        .add_option_function<std::string>(
            "--codec", [&o](const std::string &v) { o.codec = v; },
            "Clip output: the FFmpeg encoder (default by extension: .mov prores_ks, .mp4 "
            "libx264, .mkv ffv1, .webm libvpx-vp9)")
        ->type_name("NAME");
    render
        .add_option_function<int>(
            "--crf", [&o](const int &v) { o.crf = v; },
            "Clip output: constant quality for encoders that have it (default .mp4 18, .webm 30)")
        ->type_name("N");
    render
        .add_option_function<std::string>(
            "--bitrate", [&o](const std::string &v) { o.bitrate = v; },
            "Clip output: target bit rate, e.g. 8M, instead of --crf")
        ->type_name("RATE");
    render
        .add_option_function<std::string>(
            "--pix-fmt", [&o](const std::string &v) { o.pixFmt = v; },
            "Clip output: the encoder's pixel format, e.g. yuv444p10le")
        ->type_name("FORMAT");
    render.add_flag_callback(
        "--pad-even", [&o] { o.padEven = true; },
        "Clip output: pad odd sizes to even for formats that need it (.mp4)");
    render.add_flag_callback(
        "--no-audio", [&o] { o.audio = false; },
        "Clip output: leave out the input clip's audio (default: copied)");
    render
        .add_option_function<std::string>(
            "--shard", [&o](const std::string &v) { o.shard = v; },
            "Render the K-th of N contiguous parts of the frames (of --frames, or of the input "
            "clip), for render farms; OUTPUT an image sequence")
        ->type_name("K/N");
}

bool IsClipRender(const RenderOptions &o)
{
    return IsClipOutput(o.output) || (!HasFramePattern(o.input) && IsClipFile(o.input));
}

void CheckClipOptions(const RenderOptions &o)
{
    const bool clipOut = IsClipOutput(o.output);
    for (const auto &[given, name] :
         {std::pair{o.codec.has_value(), "--codec"}, std::pair{o.crf.has_value(), "--crf"},
          std::pair{o.bitrate.has_value(), "--bitrate"},
          std::pair{o.pixFmt.has_value(), "--pix-fmt"}, std::pair{o.padEven, "--pad-even"}}) {
        if (given && !clipOut) {
            throw UsageError(std::string(name) +
                             " is for clip outputs (.mov, .mp4, .mkv, .webm, .gif)");
        }
    }
    if (o.crf && o.bitrate) {
        throw UsageError("--crf and --bitrate cannot be used together");
    }
    if (o.crf && (*o.crf < 0 || *o.crf > 63)) {
        throw UsageError("--crf must be 0 to 63");
    }
}

FrameRange CheckShard(const RenderOptions &o, const FrameRange &range)
{
    if (!o.shard) {
        return range;
    }
    const Shard shard = ParseShard(*o.shard);
    if (IsClipOutput(o.output)) {
        throw UsageError(
            "--shard renders part of the frames: OUTPUT must be an image sequence "
            "(e.g. out.####.png), joined afterwards");
    }
    if (!o.frames && (HasFramePattern(o.input) || !IsClipFile(o.input))) {
        throw UsageError("--shard needs the frames to share: --frames A-B");
    }
    return ShardRange(range, shard);
}

void RenderClip(Session &session, const RenderOptions &o, RenderObserver &observer,
                const WriteOptions &write, std::uint64_t memoryLimit)
{
    CheckClipOptions(o);
    const std::vector<detail::ResolvedValue> values =
        detail::ResolveValues(session, o.presets, o.sets);
    const std::map<std::string, A_long> layerIds = detail::LayerIds(values);
    Warnings warnings;
    const auto warn = [&warnings](const std::string &message) { warnings.Add(message); };

    Plan plan;
    plan.downsample = o.downsample;
    plan.exrAlpha = write.exrAlpha;
    plan.memoryLimit = memoryLimit;
    ClipTiming timing;
    std::unique_ptr<VideoReader> reader;
    std::unique_ptr<FrameSource> source;
    A_long width = 0;
    A_long height = 0;
    std::string firstInput = o.input;
    std::uint64_t firstBytes = 0;  // of the first image file read
    if (!HasFramePattern(o.input) && IsClipFile(o.input)) {
        reader = std::make_unique<VideoReader>(o.input);
        const ClipInfo &info = reader->Info();
        const long lastFrame = info.frameCount > 0 ? info.frameCount - 1 : LONG_MAX;
        const FrameRange range = RequestedRange(o, lastFrame);
        if (range.first > lastFrame) {
            throw Failure("'" + o.input + "' has " + std::to_string(info.frameCount) +
                          " frames, 0 to " + std::to_string(lastFrame) + ": there is no frame " +
                          std::to_string(range.first));
        }
        if (range.last > lastFrame) {
            warn("'" + o.input + "' ends at frame " + std::to_string(lastFrame));
        }
        const FrameRange part =
            CheckShard(o, FrameRange{range.first, std::min(range.last, lastFrame)});
        if (part.Count() <= 0) {
            warn("shard " + *o.shard + " of " + std::to_string(range.Count()) + " frames is empty");
            warnings.PassOn(observer);
            return;
        }
        plan.first = part.first;
        plan.last = part.last;
        if (info.variableRate) {
            warn("'" + o.input +
                 "' has a variable frame rate: its frames are taken one by one as " + "frames of " +
                 FormatNumber(std::round(1000.0 * info.rateNum / info.rateDen) / 1000) +
                 " per second");
        }
        plan.depth = o.depth ? static_cast<Depth>(*o.depth) : info.depth;
        plan.time.fps = info.rateNum;
        plan.time.step = info.rateDen;
        plan.time.totalFrames = std::max(info.frameCount, plan.last + 1);
        width = info.width;
        height = info.height;
        timing.clip = info;
        timing.fromClip = true;
    } else {
        const FrameRange range = CheckShard(o, RequestedRange(o, 0));
        plan.first = range.first;
        plan.last = range.last;
        firstInput = HasFramePattern(o.input) ? ExpandFramePattern(o.input, plan.first) : o.input;
        const ImageInfo first = ReadImageInfo(firstInput);
        plan.depth = o.depth ? static_cast<Depth>(*o.depth) : first.depth;
        width = first.width;
        height = first.height;
        firstBytes = first.fileBytes;
        plan.time.fps = o.fps;
        plan.time.step = 1;
        plan.time.totalFrames = plan.last + 1;
        timing.clip.rateNum = o.fps;
        timing.clip.rateDen = 1;
        timing.clip.timeBaseNum = 1;
        timing.clip.timeBaseDen = o.fps;
        timing.clip.frameCount = plan.last + 1;
    }
    plan.count = plan.last - plan.first + 1;

    // The first frame with every layer must fit in the memory limit before
    // any pixels are read.
    detail::CheckDownsample(firstInput, {width, height}, o.downsample);
    FrameShape shape{{width, height},
                     {},
                     plan.depth,
                     o.downsample,
                     !IsClipOutput(o.output) && FormatForExtension(o.output) == ImageFormat::kExr};
    shape.fileBytes = firstBytes;
    for (const auto &layer : layerIds) {
        const std::string file = HasFramePattern(layer.first)
                                     ? ExpandFramePattern(layer.first, plan.first)
                                     : layer.first;
        const ImageInfo info = ReadImageInfo(file);
        shape.layers.push_back({info.width, info.height});
        shape.fileBytes = std::max(shape.fileBytes, info.fileBytes);
    }
    plan.frameCost = FrameCost(shape);
    detail::CheckMemory(firstInput, shape.input, plan.depth, plan.frameCost, plan.memoryLimit);
    if (reader) {
        source = std::make_unique<ClipSource>(*reader, plan.depth, plan.first, plan.last);
    } else {
        source = std::make_unique<ImageSource>(o.input, plan.depth, plan.exrAlpha, plan.first,
                                               plan.last, plan.memoryLimit);
    }
    timing.first = plan.first;
    timing.last = plan.last;

    std::unique_ptr<FrameSink> sink;
    if (IsClipOutput(o.output)) {
        const double scale = 1.0 / o.downsample;
        EncodeOptions encode;
        encode.codec = o.codec;
        encode.crf = o.crf;
        encode.bitrate = o.bitrate;
        encode.pixFmt = o.pixFmt;
        encode.audio = o.audio;
        encode.padEven = o.padEven;
        auto writer = std::make_unique<VideoWriter>(o.output, static_cast<int>(width * scale + 0.5),
                                                    static_cast<int>(height * scale + 0.5),
                                                    plan.depth, timing, encode, warn);
        sink = std::make_unique<ClipSink>(std::move(writer), o.output);
    } else {
        if (plan.count > 1 && !HasFramePattern(o.output)) {
            throw UsageError("rendering " + std::to_string(plan.count) + " frames of '" + o.input +
                             "' needs a # pattern in OUTPUT, e.g. out.####.png");
        }
        sink = std::make_unique<ImageSink>(o.output, write);
    }
    warnings.PassOn(observer);
    try {
        RunPipeline(session, o, observer, *source, *sink, plan, values, layerIds, width, height,
                    warnings);
    } catch (...) {
        warnings.PassOn(observer);
        throw;
    }
    if (reader && reader->Damaged().count > 0) {
        const VideoReader::Damage damage = reader->Damaged();
        warn("'" + o.input + "' is damaged: the decoder concealed errors in " +
             std::to_string(damage.count) + (damage.count == 1 ? " frame" : " frames") +
             ", the first frame " + std::to_string(damage.first));
    }
    warnings.PassOn(observer);
}

}  // namespace cli
