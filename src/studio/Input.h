// What the studio shows and renders: one image, an image sequence named by a
// # pattern (frames found in its folder) or a clip (frames 0 to its last, at
// its own rate). Every file is checked against the size limits before it is
// decoded.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/FrameRender.h"
#include "cli/Image.h"
#include "host/Host.h"

namespace cli {
class VideoReader;
}

namespace studio {

struct ImageLimits {
    int maxSide = 16384;
    long long maxPixels = 8192LL * 8192LL;
};

// The width and height an image file declares in its header (PNG IHDR, EXR
// display window), read without decoding it. Throws cli::Failure naming the
// file when it is neither or is cut short.
void ImageFileSize(const std::string &path, int &width, int &height);

// Throws cli::Failure naming the file and the limit when it is too large.
void CheckImageLimits(const std::string &path, const ImageLimits &limits);

class InputSource {
public:
    // Opens an image, a sequence pattern or a clip: reads the first frame to
    // learn size and depth. Throws cli::Failure or cli::UsageError naming the
    // file.
    InputSource(std::string path, std::string displayName, const ImageLimits &limits);
    ~InputSource();

    const std::string &Path() const { return path_; }         // as rendered
    const std::string &DisplayName() const { return name_; }  // as the user knows it
    bool IsSequence() const { return !frames_.empty(); }      // a clip too
    bool IsClip() const { return reader_ != nullptr; }
    long First() const { return frames_.empty() ? 0 : frames_.front(); }
    long Last() const { return frames_.empty() ? 0 : frames_.back(); }
    const std::vector<long> &Frames() const { return frames_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    cli::Depth GetDepth() const { return depth_; }
    // The effect's time at `frame`: a clip's own rate, else `fps`.
    cli::FrameTime TimeAt(long frame, int fps) const;

    // The layer at `frame` (the nearest existing frame of a sequence), read
    // at the source's depth and kept until another frame is asked for.
    // Thread-safe.
    std::shared_ptr<const host::World> Frame(long frame);

    // The file that holds `frame`.
    std::string FileFor(long frame) const;

private:
    std::string path_;
    std::string name_;
    ImageLimits limits_;
    std::vector<long> frames_;
    int width_ = 0;
    int height_ = 0;
    cli::Depth depth_ = cli::Depth::k8;
    std::mutex mutex_;
    long cachedFrame_ = -1;
    std::shared_ptr<const host::World> cached_;
    std::unique_ptr<cli::VideoReader> reader_;
    long nextRead_ = -1;  // the frame the clip's next read gives
};

// The frame numbers for which a file of the pattern exists, in order.
std::vector<long> FindSequenceFrames(const std::string &pattern);

// An image as 8-bit straight RGBA rows for the page, from a world of any
// depth.
std::vector<unsigned char> ToRgba8(const cli::Image &image);

}  // namespace studio
