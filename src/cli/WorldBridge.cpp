#include "WorldBridge.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace cli {

namespace {

// Our pixels are the host's, so rows copy byte for byte.
static_assert(sizeof(Argb8) == sizeof(PF_Pixel8) && offsetof(Argb8, r) == offsetof(PF_Pixel8, red));
static_assert(sizeof(Argb16) == sizeof(PF_Pixel16) &&
              offsetof(Argb16, b) == offsetof(PF_Pixel16, blue));
static_assert(sizeof(ArgbF) == sizeof(PF_PixelFloat) &&
              offsetof(ArgbF, a) == offsetof(PF_PixelFloat, alpha));

// Copies `count` pixels of `bytesPerPixel` from one row to another.
void CopyRow(void *dst, const void *src, int count, std::size_t bytesPerPixel)
{
    if (count > 0) {
        std::memcpy(dst, src, static_cast<std::size_t>(count) * bytesPerPixel);
    }
}

}  // namespace

host::World ToWorld(const Image &image)
{
    host::World world(image.Width(), image.Height(), image.GetDepth());
    for (int y = 0; y < image.Height(); ++y) {
        CopyRow(world.row(y), image.Row(y), image.Width(), image.PixelBytes());
    }
    return world;
}

Image FromWorld(const host::World &world)
{
    Image image(world.width(), world.height(), world.depth());
    for (int y = 0; y < image.Height(); ++y) {
        CopyRow(image.Row(y), world.row(y), image.Width(), image.PixelBytes());
    }
    return image;
}

Image FrameImage(const host::World &output, int canvasWidth, int canvasHeight)
{
    Image canvas(canvasWidth, canvasHeight, output.depth());
    if (output.empty()) {
        return canvas;
    }
    const std::size_t bpp = canvas.PixelBytes();
    const int x0 = std::max(0, static_cast<int>(output.originX()));
    const int x1 = std::min(canvasWidth, static_cast<int>(output.originX() + output.width()));
    const int y0 = std::max(0, static_cast<int>(output.originY()));
    const int y1 = std::min(canvasHeight, static_cast<int>(output.originY() + output.height()));
    for (int y = y0; y < y1; ++y) {
        const unsigned char *src = output.row(y - output.originY()) +
                                   static_cast<std::size_t>(x0 - output.originX()) * bpp;
        CopyRow(canvas.Row(y) + static_cast<std::size_t>(x0) * bpp, src, x1 - x0, bpp);
    }
    return canvas;
}

}  // namespace cli
