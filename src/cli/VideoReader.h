// Clips read frame by frame with FFmpeg's libraries. A file is a clip when it
// is not a PNG or OpenEXR image (by content) and FFmpeg finds a video stream
// in it. Frames come in presentation order as host-world pixels: YUV is
// converted with the clip's own matrix and range (unknown: BT.709 limited
// range for HD and larger, BT.601 below), alpha is kept where the pixel
// format has it and opaque otherwise.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Image.h"

namespace cli {

// True when `path` names an existing file that is neither PNG nor OpenEXR:
// it is read as a clip (and fails there when it is none).
bool IsClipFile(const std::string &path);

// What a clip says about its video stream and what an output clip made from
// it carries over.
struct ClipInfo {
    std::string path;
    int width = 0;
    int height = 0;
    int rateNum = 30;  // frames per second: rateNum / rateDen
    int rateDen = 1;
    int timeBaseNum = 1;  // of the stream's time stamps
    int timeBaseDen = 30;
    long frameCount = 0;      // from the container, or counted
    Depth depth = Depth::k8;  // 8-bit sources 8, deeper 16, float 32
    bool alpha = false;
    bool variableRate = false;
    bool hasAudio = false;
    std::string codec;  // the decoder's name
    // Colour tags (FFmpeg's enumerations) and the rotation (a 3 x 3 display
    // matrix of 9 int32, empty when none).
    int colorPrimaries = 2;  // unspecified
    int colorTransfer = 2;
    int colorSpace = 2;
    int colorRange = 0;
    std::vector<std::uint8_t> displayMatrix;
};

class VideoReader {
public:
    // Opens the clip and its decoder. Throws Failure naming the file.
    explicit VideoReader(const std::string &path);
    ~VideoReader();
    VideoReader(const VideoReader &) = delete;
    VideoReader &operator=(const VideoReader &) = delete;

    const ClipInfo &Info() const;

    // The next Read returns frame `first`: a clip of constant rate is sought
    // to the key frame before it and decoded up to it; a variable-rate clip
    // is decoded from its start.
    void Start(long first);

    // The next frame at `depth`, its number in the clip and its time stamp
    // (stream time base, from the clip's first frame). False after the last.
    bool Read(Image &image, Depth depth, long &index, std::int64_t &pts);

    // The frames Read returned that the decoder marked as damaged (errors
    // it concealed), and the first of them (-1: none).
    struct Damage {
        long count = 0;
        long first = -1;
    };
    Damage Damaged() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace cli
