#include "Progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace cli {

namespace {
// A single frame gets a bar only when it runs longer than this.
constexpr std::chrono::milliseconds kSlowFrame(500);
// The line is redrawn at most this often.
constexpr std::chrono::milliseconds kRedraw(100);
constexpr int kBarWidth = 30;
}  // namespace

Progress::Progress(std::ostream &out, bool enabled, long frameCount)
    : out_(out), enabled_(enabled), frameCount_(std::max(1L, frameCount))
{
}

Progress::~Progress()
{
    Clear();
}

void Progress::StartFrame(long done, const std::string &label)
{
    done_ = done;
    label_ = label;
    frameStart_ = Clock::now();
    if (enabled_ && frameCount_ > 1) {
        Draw(0.0);
    }
}

void Progress::Step(long current, long total)
{
    if (!enabled_ || total <= 0) {
        return;
    }
    const Clock::time_point now = Clock::now();
    if (frameCount_ == 1 && now - frameStart_ < kSlowFrame) {
        return;
    }
    if (shown_ && now - lastDraw_ < kRedraw) {
        return;
    }
    Draw(std::clamp(static_cast<double>(current) / static_cast<double>(total), 0.0, 1.0));
}

void Progress::Draw(double fraction)
{
    const double overall =
        (static_cast<double>(done_) + fraction) / static_cast<double>(frameCount_);
    const int filled = static_cast<int>(overall * kBarWidth);
    std::string line = "\r[";
    line.append(static_cast<std::size_t>(filled), '#');
    line.append(static_cast<std::size_t>(kBarWidth - filled), '.');
    line += "] ";
    if (frameCount_ > 1) {
        line += std::to_string(done_) + "/" + std::to_string(frameCount_) + " frames ";
        const double seconds = std::chrono::duration<double>(Clock::now() - start_).count();
        if (done_ > 0 && seconds > 0) {
            const double rate = static_cast<double>(done_) / seconds;
            const long left = std::lround(static_cast<double>(frameCount_ - done_) / rate);
            char text[64];
            std::snprintf(text, sizeof text, "%.1f fps ETA %ld:%02ld ", rate, left / 60, left % 60);
            line += text;
        }
    } else {
        line += std::to_string(static_cast<int>(fraction * 100)) + "% ";
    }
    line += label_;
    line += "\x1b[K";  // clear the rest of the line
    out_ << line << std::flush;
    shown_ = true;
    lastDraw_ = Clock::now();
}

void Progress::Clear()
{
    if (shown_) {
        out_ << "\r\x1b[K" << std::flush;
        shown_ = false;
    }
}

}  // namespace cli
