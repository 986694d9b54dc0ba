// Where a render's time goes: `stipplex render --timings` measures each
// stage of every frame on the thread that runs it and prints a table.
#pragma once

#include <chrono>
#include <ostream>
#include <vector>

namespace cli {

// The stages of one frame, in seconds of the thread that ran them. Input
// layers that are read once count in the first frame that needs them.
struct FrameTimings {
    long frame = 0;
    double read = 0;    // the input files' bytes from the disk
    double decode = 0;  // those bytes to the host's worlds
    double render = 0;  // the effect through the host, and the frame's copy
    double encode = 0;  // the frame to the output file's bytes
    double write = 0;   // those bytes to the disk, synced, in place
    double Total() const { return read + decode + render + encode + write; }
};

// Runs `work` and adds its wall-clock time to `seconds`.
template <typename Work>
decltype(auto) Timed(double &seconds, Work &&work)
{
    struct Add {
        double &seconds;
        std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        ~Add()
        {
            seconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
    } add{seconds};
    return work();
}

// The table: a row per frame (in frame order) in milliseconds, their sum and
// mean, then the whole render's wall-clock time and frames per second with
// `threads` frames at once. With several threads the stages overlap, so
// their sum exceeds the wall-clock time.
void PrintTimings(std::ostream &out, std::vector<FrameTimings> frames, double wallSeconds,
                  long threads);

}  // namespace cli
