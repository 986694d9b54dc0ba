// The memory a render may use, and what a frame costs. A render refuses a
// frame that cannot fit before any of its pixels are read, and runs fewer
// frames at once when several would not fit together.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Image.h"

namespace cli {

// "512M", "2G", "64K", "1.5G" or a number of bytes; K, M, G and T are powers
// of 1024, in either case, with or without a trailing B. Throws UsageError.
std::uint64_t ParseMemorySize(const std::string &text);

// Half of the physical memory, or of the control group's limit when that is
// lower.
std::uint64_t DefaultMemoryLimit();

// "512 MiB", "1.5 GiB", "300 bytes".
std::string FormatBytes(std::uint64_t bytes);

struct PixelSize {
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// One frame of a render as far as its memory goes.
struct FrameShape {
    PixelSize input;
    std::vector<PixelSize> layers;  // every image file the parameters name
    Depth depth = Depth::k8;        // the render depth
    int downsample = 1;
    bool exrOutput = false;  // written from a float copy of the frame
    // The largest of the files read, whose content is held while decoded.
    std::uint64_t fileBytes = 0;
};

// The bytes one frame holds at its peak, at the render depth: the input layer
// kept between frames and the next one being read (its file's content and
// the reader's own buffers), the copies the host hands the effect, every
// layer with its copies, the output and the effect's world of dots, then the
// image written with the writer's buffers and the file's content.
std::uint64_t FrameCost(const FrameShape &frame);

// The bytes reading one image file of `fileBytes` and `size` into a world
// of `depth` takes at its peak: the file's content, the reader's buffers,
// the image and the world made from it.
std::uint64_t ReadCost(PixelSize size, Depth depth, std::uint64_t fileBytes);

// Refuses an image file whose reading alone would take more than `limit`,
// before any of its pixels are read (Failure naming file, size and limit).
void CheckRead(const std::string &file, Depth depth, std::uint64_t limit);

}  // namespace cli
