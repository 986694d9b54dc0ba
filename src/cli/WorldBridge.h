// Moving pixels between our images and the host's worlds, whose rows carry
// padding. Both use the same channel order and scale, so this is a copy.
#pragma once

#include "Image.h"
#include "host/Host.h"

namespace cli {

host::World ToWorld(const Image &image);

// The world's pixels as an image of its own size and depth.
Image FromWorld(const host::World &world);

// A frame the effect rendered, placed on a transparent canvas of the
// downsampled layer's size: the output world sits at its origin (layer
// coordinates at the render's downsampling) and is clipped to the canvas.
Image FrameImage(const host::World &output, int canvasWidth, int canvasHeight);

}  // namespace cli
