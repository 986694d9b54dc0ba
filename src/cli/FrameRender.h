// The one render path: `stipplex render`, the studio's preview and the
// studio's export all turn a layer into a frame here, so that what the studio
// shows and writes is what the command writes, byte for byte.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "Commands.h"
#include "Image.h"
#include "Session.h"
#include "Timings.h"
#include "host/Host.h"

namespace cli {

// The time of one frame as a render sees it: frame n is at time n * `step` in
// units of 1/`fps` seconds (a time scale of `fps`), with a time step of
// `step`. Images use a step of 1; a clip at 30000/1001 frames per second has
// a time scale of 30000 and a step of 1001.
struct FrameTime {
    long frame = 0;
    int fps = 30;
    long totalFrames = 1;  // the duration, in frames
    int step = 1;
};

// A render that the progress callback interrupted.
class Interrupted : public std::runtime_error {
public:
    Interrupted() : std::runtime_error("the render was interrupted") {}
};

// Joins the threads that rendered frames, then ends the render as they did:
// with the first failure one of them met, or Interrupted when it was stopped.
void JoinWorkers(std::vector<std::thread> &threads, const std::exception_ptr &failure,
                 const std::atomic<bool> &stopped);

// Renders one frame of `input` (the full-resolution layer) with the
// instance's current values, at 1/`downsample`, and places it on a canvas of
// the downsampled layer's size. `layers` are the worlds that layer values
// name by id. `progress` is called for every dot; returning true interrupts
// the render, which then throws Interrupted. Throws Failure naming the frame
// when the effect fails or produces nothing. `downsampled`, when given, is
// host::DownsampleLayer(input, downsample, downsample), kept by the caller.
Image RenderFrame(host::Instance &instance, const host::World &input,
                  const std::map<A_long, const host::World *> &layers, const FrameTime &time,
                  int downsample, const std::function<bool(A_long, A_long)> &progress = {},
                  const host::World *downsampled = nullptr);

// What a whole render reports as it goes. The command draws a progress bar
// and prints frames; the studio feeds its export progress.
class RenderObserver {
public:
    virtual ~RenderObserver() = default;
    // Protocol faults the host saw (the effect's bugs).
    virtual void Faults(const std::vector<std::string> &faults) { (void)faults; }
    // A frame starts; `done` frames of `count` are finished. With several
    // frames at once only finished frames are reported (`path` the last one).
    virtual void FrameStarted(long done, long count, const std::string &path)
    {
        (void)done, (void)count, (void)path;
    }
    // Dots of the current frame, when frames are rendered one at a time.
    virtual void Step(long current, long total) { (void)current, (void)total; }
    virtual void FrameWritten(long frame, const std::string &path, const Image &image,
                              double seconds)
    {
        (void)frame, (void)path, (void)image, (void)seconds;
    }
    // Where a written frame's time went; `threads` frames are rendered at once.
    virtual void FrameTimed(const FrameTimings &times, long threads) { (void)times, (void)threads; }
    // Asked between dots: true ends the render with Interrupted.
    virtual bool Cancelled() { return false; }
    // Something the user should know that does not stop the render.
    virtual void Warning(const std::string &message) { (void)message; }
};

// `stipplex render` with a session that is already loaded: checks the
// request, resolves presets and --set values, renders every frame and writes
// it. Throws UsageError and Failure as the command does, and Interrupted
// when the observer cancelled.
void RenderWithSession(Session &session, const RenderOptions &options, RenderObserver &observer);

}  // namespace cli
