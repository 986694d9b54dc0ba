// The live preview: one worker thread with its own instance of the effect
// renders the newest look through the same render path as the command. A
// newer request interrupts the render in flight through the host's progress
// callback, so the preview never trails the controls; only a draft in flight
// while the drag goes on is let finish, with the newest look rendered right
// after it. While the user drags, frames render downsampled (the host's
// downsampling), at the finest factor whose render is expected within what
// is left of the time a draft may take on its way to the screen once the
// page's own share (measured by the page) is taken off; once the user lets
// go, at full resolution.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Document.h"
#include "Input.h"
#include "cli/Session.h"

namespace studio {

struct PreviewRequest {
    Values values;
    std::shared_ptr<InputSource> input;
    // Layer images by the id layer values name them with.
    std::map<A_long, std::string> layerPaths;
    long frame = 0;
    int fps = 30;
    bool interactive = false;  // a drag goes on: draft quality
    // The time the page's last draft took beyond its render: requests,
    // transfer, decoding and drawing. 0: not known.
    double pageMs = 0;
};

struct PreviewFrame {
    std::uint64_t generation = 0;  // of the request it shows
    long frame = 0;
    int downsample = 1;
    int width = 0;  // of the rendered (downsampled) image
    int height = 0;
    double milliseconds = 0;  // the render alone
    std::vector<unsigned char> rgba;
    std::string error;  // the render failed: why
};

class Preview {
public:
    // `budget`: the most a draft render may take; `target`: the time from a
    // change to its draft on the screen that the drafts are chosen for.
    explicit Preview(cli::Session &session,
                     std::chrono::milliseconds budget = std::chrono::milliseconds(80),
                     std::chrono::milliseconds target = std::chrono::milliseconds(100));
    ~Preview();
    Preview(const Preview &) = delete;
    Preview &operator=(const Preview &) = delete;

    // Asks for a render of this look; returns its generation. Any older
    // render still running is interrupted.
    std::uint64_t Submit(PreviewRequest request);

    // The newest frame once its generation is above `after`; nothing when
    // none comes within `timeout`.
    std::optional<std::shared_ptr<const PreviewFrame>> WaitFrame(std::uint64_t after,
                                                                 std::chrono::milliseconds timeout);

    int InterruptedRenders() const;
    // The generation being rendered, or 0 when the worker waits.
    std::uint64_t Rendering() const;

    // Interrupts the render in flight and answers every wait at once; no
    // frames come after it.
    void Shutdown();

private:
    void Run();
    void Render(const PreviewRequest &request, std::uint64_t generation);
    int ChooseDownsample(bool interactive, int width, int height, double budget) const;
    double PredictMs(double pixels) const;  // < 0: nothing measured yet
    const host::World &LayerWorld(const std::string &path, cli::Depth depth);

    cli::Session &session_;
    std::chrono::milliseconds budget_;
    std::chrono::milliseconds target_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable framed_;
    std::optional<PreviewRequest> pending_;
    std::atomic<std::uint64_t> generation_{0};
    // Renders of generations below this one stop at once.
    std::atomic<std::uint64_t> cancelBelow_{0};
    bool renderingDraft_ = false;
    std::shared_ptr<const PreviewFrame> latest_;
    bool stopping_ = false;
    int interrupted_ = 0;
    std::uint64_t rendering_ = 0;
    // Worker-only state.
    std::unique_ptr<host::Instance> instance_;
    int instanceWidth_ = 0;
    int instanceHeight_ = 0;
    // The newest render's time at full resolution and the newest draft's,
    // with their counts of pixels: through these two a render's time is a
    // fixed part (the layer's downsampling, the parameters) and a part per
    // pixel. 0: not measured yet.
    double fullMs_ = 0;
    double fullPixels_ = 0;
    double draftMs_ = 0;
    double draftPixels_ = 0;
    double pageMs_ = 0;  // the page's share of a draft's time, smoothed
    std::map<std::string, std::pair<cli::Depth, std::unique_ptr<host::World>>> layerCache_;
    // The input frame of the newest draft at that draft's downsampling, so
    // that the drafts of a drag average the input once.
    std::shared_ptr<const host::World> draftSource_;
    int draftFactor_ = 0;
    host::World draftInput_;
    std::thread worker_;
};

}  // namespace studio
