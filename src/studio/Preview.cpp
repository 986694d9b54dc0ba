#include "Preview.h"

#include <algorithm>

#include "cli/Errors.h"
#include "cli/FrameRender.h"
#include "cli/ImageIO.h"
#include "cli/ParamValue.h"
#include "cli/WorldBridge.h"

namespace studio {

namespace {

// The downsampling factors a draft may use, finest first.
constexpr int kFactors[] = {1, 2, 3, 4, 6, 8, 12, 16};

}  // namespace

Preview::Preview(cli::Session &session, std::chrono::milliseconds budget,
                 std::chrono::milliseconds target)
    : session_(session), budget_(budget), target_(target)
{
    worker_ = std::thread([this] { Run(); });
}

Preview::~Preview()
{
    Shutdown();
    worker_.join();
}

std::uint64_t Preview::Rendering() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return rendering_;
}

void Preview::Shutdown()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        cancelBelow_ = ++generation_;  // interrupts the render in flight
    }
    wake_.notify_all();
    framed_.notify_all();
}

std::uint64_t Preview::Submit(PreviewRequest request)
{
    std::uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        // A draft in flight finishes while the drag goes on, and the newest
        // look follows it at once: were every move to interrupt it, no frame
        // would come until the pointer rests. Anything else interrupts it.
        const bool draft = request.interactive;
        pending_ = std::move(request);
        generation = ++generation_;
        if (!(draft && renderingDraft_)) {
            cancelBelow_ = generation;
        }
    }
    wake_.notify_all();
    return generation;
}

std::optional<std::shared_ptr<const PreviewFrame>> Preview::WaitFrame(
    std::uint64_t after, std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(mutex_);
    const bool ready = framed_.wait_for(
        lock, timeout, [&] { return stopping_ || (latest_ && latest_->generation > after); });
    if (!ready || !latest_ || latest_->generation <= after) {
        return std::nullopt;
    }
    return latest_;
}

int Preview::InterruptedRenders() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return interrupted_;
}

void Preview::Run()
{
    while (true) {
        PreviewRequest request;
        std::uint64_t generation = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            wake_.wait(lock, [&] { return stopping_ || pending_.has_value(); });
            if (stopping_) {
                return;
            }
            request = std::move(*pending_);
            pending_.reset();
            generation = generation_;
            rendering_ = generation;
            renderingDraft_ = request.interactive;
        }
        Render(request, generation);
        std::lock_guard<std::mutex> lock(mutex_);
        rendering_ = 0;
        renderingDraft_ = false;
    }
}

int Preview::ChooseDownsample(bool interactive, int width, int height, double budget) const
{
    if (!interactive) {
        return 1;
    }
    const double pixels = static_cast<double>(width) * height;
    for (const int n : kFactors) {
        // Nothing measured yet: about half a megapixel.
        const double predicted = PredictMs(pixels / (n * n));
        if (predicted < 0 ? pixels / (n * n) <= 500000.0 : predicted <= budget) {
            return n;
        }
    }
    return kFactors[std::size(kFactors) - 1];
}

double Preview::PredictMs(double pixels) const
{
    if (fullMs_ > 0 && draftMs_ > 0 && fullPixels_ > draftPixels_) {
        const double perPixel = std::max(0.0, (fullMs_ - draftMs_) / (fullPixels_ - draftPixels_));
        return std::max(0.0, draftMs_ - perPixel * draftPixels_) + perPixel * pixels;
    }
    if (fullMs_ > 0) {
        return fullMs_ * pixels / fullPixels_;
    }
    return draftMs_ > 0 ? draftMs_ * pixels / draftPixels_ : -1;
}

const host::World &Preview::LayerWorld(const std::string &path, cli::Depth depth)
{
    auto &entry = layerCache_[path];
    if (!entry.second || entry.first != depth) {
        entry.first = depth;
        entry.second = std::make_unique<host::World>(cli::ToWorld(cli::ReadImage(path, depth)));
    }
    return *entry.second;
}

void Preview::Render(const PreviewRequest &request, std::uint64_t generation)
{
    auto frame = std::make_shared<PreviewFrame>();
    frame->generation = generation;
    frame->frame = request.frame;
    const auto interrupted = [&] { return generation < cancelBelow_.load(); };
    try {
        InputSource &input = *request.input;
        if (!instance_ || instanceWidth_ != input.Width() || instanceHeight_ != input.Height()) {
            instance_.reset();
            instance_ = std::make_unique<host::Instance>(
                session_.GetEffect().newInstance(input.Width(), input.Height()));
            instanceWidth_ = input.Width();
            instanceHeight_ = input.Height();
            fullMs_ = draftMs_ = 0;  // measured on another size
        }
        for (const cli::ToolParam &p : session_.Params()) {
            const auto i = static_cast<std::size_t>(p.index);
            if (cli::IsGroupMarker(*p.info) || i >= request.values.defs.size()) {
                continue;
            }
            if (p.info->type == PF_Param_LAYER) {
                instance_->setLayer(p.index, request.values.layers[i]);
            } else {
                instance_->setRaw(p.index, request.values.defs[i]);
            }
        }
        const host::CommandResult ui = instance_->updateParamsUI();
        instance_->clearUiUpdates();
        if (!ui.ok()) {
            throw cli::Failure(cli::DescribeFailure(ui));
        }
        std::map<A_long, const host::World *> layers;
        for (const auto &[id, path] : request.layerPaths) {
            layers[id] = &LayerWorld(path, input.GetDepth());
        }
        const std::shared_ptr<const host::World> world = input.Frame(request.frame);
        if (request.interactive && request.pageMs > 0) {
            pageMs_ = pageMs_ > 0 ? 0.7 * pageMs_ + 0.3 * request.pageMs : request.pageMs;
        }
        // What is left of the target once the page has had its share, but
        // never so little that drafts turn to mush, nor above the budget.
        const double budget = std::clamp(static_cast<double>(target_.count()) - pageMs_,
                                         static_cast<double>(budget_.count()) / 5,
                                         static_cast<double>(budget_.count()));
        const int n = ChooseDownsample(request.interactive, input.Width(), input.Height(), budget);
        const auto started = std::chrono::steady_clock::now();
        if (n > 1 && (world != draftSource_ || n != draftFactor_)) {
            draftInput_ = host::DownsampleLayer(*world, n, n);
            draftSource_ = world;
            draftFactor_ = n;
        }
        const cli::Image image = cli::RenderFrame(
            *instance_, *world, layers, input.TimeAt(request.frame, request.fps), n,
            [&](A_long, A_long) { return interrupted(); }, n > 1 ? &draftInput_ : nullptr);
        frame->milliseconds =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started)
                .count();
        const double pixels = std::max(1.0, static_cast<double>(image.Width()) * image.Height());
        (n == 1 ? fullMs_ : draftMs_) = std::max(0.01, frame->milliseconds);
        (n == 1 ? fullPixels_ : draftPixels_) = pixels;
        frame->downsample = n;
        frame->width = image.Width();
        frame->height = image.Height();
        frame->rgba = ToRgba8(image);
    } catch (const cli::Interrupted &) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++interrupted_;
        return;
    } catch (const std::exception &e) {
        frame->error = e.what();
    }
    session_.TakeFaults();  // the effect's faults are not the designer's concern here
    if (interrupted()) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        latest_ = std::move(frame);
    }
    framed_.notify_all();
}

}  // namespace studio
