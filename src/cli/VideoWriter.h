// Clips written frame by frame with FFmpeg's libraries. The container and
// its default encoder follow the output's extension:
//
//   .mov   ProRes 4444 (prores_ks), yuva444p10le: keeps alpha
//   .mp4   H.264 (libx264), yuv420p, CRF 18: alpha dropped, even sizes only
//   .mkv   FFV1, bgra (gbrap16le for 16-bit and float renders): lossless
//   .webm  VP9 (libvpx-vp9), yuva420p, CRF 30: keeps alpha
//   .gif   GIF, a palette made for every frame (transparent below half alpha)
//
// --codec, --crf, --bitrate and --pix-fmt override them. The frame rate, the
// time base and time stamps, the rotation and the colour tags of a source
// clip are carried over and its audio streams copied unchanged. The clip is
// written to a temporary file renamed over the output by Finish only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "Image.h"
#include "VideoReader.h"

namespace cli {

// True when the path's extension (either case) names a clip format above.
bool IsClipOutput(const std::string &path);

struct EncodeOptions {
    std::optional<std::string> codec;
    std::optional<int> crf;
    std::optional<std::string> bitrate;  // "8M", "2500k", ...
    std::optional<std::string> pixFmt;
    bool audio = true;     // copy the source's audio streams
    bool padEven = false;  // pad odd sizes for formats that need even ones
};

// What the output takes from its source: the clip's rate, time base and tags,
// or for images a rate of `fps` with a time base of 1/fps.
struct ClipTiming {
    ClipInfo clip;
    bool fromClip = false;
    // With a clip: the part copied, in clip frames [first, last].
    long first = 0;
    long last = 0;
};

class VideoWriter {
public:
    // Checks the encoder against the frame size and depth and opens the
    // output. Throws UsageError for a request the format cannot meet (odd
    // size, unknown codec or pixel format) and Failure naming the file.
    // `warn` receives one-line warnings (alpha dropped, audio left out).
    VideoWriter(const std::string &path, int width, int height, Depth depth,
                const ClipTiming &timing, const EncodeOptions &options,
                const std::function<void(const std::string &)> &warn);
    ~VideoWriter();
    VideoWriter(const VideoWriter &) = delete;
    VideoWriter &operator=(const VideoWriter &) = delete;

    // Encodes the next frame; `pts` in the time base of the timing, from the
    // first frame written.
    void Write(const Image &image, std::int64_t pts);
    // Flushes the encoder, copies the rest of the audio, closes the file and
    // renames it over the output.
    void Finish();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace cli
