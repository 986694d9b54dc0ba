// A one-line progress bar on a terminal: frames of a sequence with the rate
// and the time left, and the dots of a frame once it has taken long enough
// to be worth showing. Does nothing
// when disabled (standard error is not a terminal, or -q).
#pragma once

#include <chrono>
#include <ostream>
#include <string>

namespace cli {

class Progress {
public:
    Progress(std::ostream &out, bool enabled, long frameCount);
    ~Progress();
    Progress(const Progress &) = delete;
    Progress &operator=(const Progress &) = delete;

    // A frame starts; `done` frames are finished.
    void StartFrame(long done, const std::string &label);
    // Within the current frame: `current` of `total` steps.
    void Step(long current, long total);
    // Clears the line, so that other messages start on a clean one.
    void Clear();

private:
    using Clock = std::chrono::steady_clock;
    void Draw(double fraction);

    std::ostream &out_;
    bool enabled_;
    long frameCount_;
    long done_ = 0;
    std::string label_;
    Clock::time_point start_ = Clock::now();
    Clock::time_point frameStart_;
    Clock::time_point lastDraw_;
    bool shown_ = false;
};

}  // namespace cli
