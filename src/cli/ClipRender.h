// Renders that involve a clip: a clip in (to a clip or to images) or images
// out to a clip. Frames flow from a FrameSource (a clip decoder, an image
// sequence, a still) through the --threads workers, each with its own
// instance of the effect, to a FrameSink (a clip encoder, image files), with a
// bounded number of frames in flight, so memory does not grow with the clip's
// length. A clip's frames are written in order.
#pragma once

#include <cstdint>

#include "Commands.h"
#include "FramePattern.h"
#include "FrameRender.h"
#include "ImageIO.h"
#include "Session.h"

namespace CLI {
class App;
}

namespace cli {

// Adds the clip options (--codec, --crf, --bitrate, --pix-fmt, --pad-even,
// --no-audio) to the render command, filling `options` as they are parsed.
void AddClipOptions(CLI::App &render, RenderOptions &options);

// True when the input is a clip or the output a clip format.
bool IsClipRender(const RenderOptions &options);

// Checks the clip options (--codec, --crf, ...) without reading anything.
// Throws UsageError.
void CheckClipOptions(const RenderOptions &options);

// The frames of --shard K/N within `range` (--frames, or the whole clip).
// Throws UsageError when the request cannot be sharded: a clip output, or
// images without --frames.
FrameRange CheckShard(const RenderOptions &options, const FrameRange &range);

// RenderWithSession for a render that IsClipRender, with the checked
// request's image options (OpenEXR files are read with write.exrAlpha too).
// A frame whose cost is more than `memoryLimit` is refused before the first
// is read, and no more frames are rendered at once than fit in it.
void RenderClip(Session &session, const RenderOptions &options, RenderObserver &observer,
                const WriteOptions &write, std::uint64_t memoryLimit);

}  // namespace cli
