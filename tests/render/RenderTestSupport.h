// Helpers for the renderer's tests: canvases over plain buffers with padded
// rows, a record with quiet defaults, and generator states chosen backwards.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "RenderRecord.h"
#include "render/DotCanvas.h"
#include "render/DotRng.h"
#include "render/PolygonRasterizer.h"

namespace rendertest {

using AEUtil::Pixel16;
using AEUtil::Pixel32;
using AEUtil::Pixel8;

constexpr unsigned char kGuard = 0xA5;

// A canvas of width x height pixels whose rows are `padding` bytes longer
// than the pixels, inside a buffer with guard bytes before and after. The
// pixels start transparent black; every other byte holds kGuard.
template <typename Pixel>
class TestCanvas {
public:
    TestCanvas(int width, int height, int padding = 0)
        : rowbytes_(width * static_cast<int>(sizeof(Pixel)) + padding),
          buffer_(static_cast<size_t>(kLead + rowbytes_ * height + kLead), kGuard),
          raster_(canvas)
    {
        canvas.pixels = reinterpret_cast<Pixel *>(buffer_.data() + kLead);
        canvas.width = width;
        canvas.height = height;
        canvas.rowbytes = rowbytes_;
        canvas.rasterizer = &raster_;
        for (int y = 0; y < height; ++y) {
            std::memset(buffer_.data() + kLead + y * rowbytes_, 0, width * sizeof(Pixel));
        }
    }

    Pixel &At(int x, int y) { return AEUtil::RowOf<Pixel>(canvas.pixels, canvas.rowbytes, y)[x]; }

    // Whether every byte outside the pixels still holds the guard value.
    bool GuardsIntact() const
    {
        const size_t pixelBytes = canvas.width * sizeof(Pixel);
        for (size_t i = 0; i < buffer_.size(); ++i) {
            const long at = static_cast<long>(i) - kLead;
            const bool inPixels = at >= 0 && at < static_cast<long>(rowbytes_) * canvas.height &&
                                  static_cast<size_t>(at % rowbytes_) < pixelBytes;
            if (!inPixels && buffer_[i] != kGuard) {
                return false;
            }
        }
        return true;
    }

    // Pixels whose alpha is not zero.
    int CountCovered()
    {
        int count = 0;
        for (int y = 0; y < canvas.height; ++y) {
            for (int x = 0; x < canvas.width; ++x) {
                if (At(x, y).alpha != 0) ++count;
            }
        }
        return count;
    }

    PolygonRasterizer<Pixel> &Raster() { return raster_; }

    DotCanvas<Pixel> canvas;

private:
    static constexpr int kLead = 64;
    int rowbytes_;
    std::vector<unsigned char> buffer_;
    PolygonRasterizer<Pixel> raster_;
};

// Full scale of a channel at each depth.
template <typename Pixel>
double Full();
template <>
inline double Full<Pixel8>()
{
    return 255;
}
template <>
inline double Full<Pixel16>()
{
    return 32768;
}
template <>
inline double Full<Pixel32>()
{
    return 1.0;
}

template <typename Pixel>
Pixel Opaque(double r, double g, double b, double a = 1.0)
{
    Pixel p;
    using C = decltype(p.alpha);
    p.alpha = static_cast<C>(a * Full<Pixel>());
    p.red = static_cast<C>(r * Full<Pixel>());
    p.green = static_cast<C>(g * Full<Pixel>());
    p.blue = static_cast<C>(b * Full<Pixel>());
    return p;
}

template <typename Pixel>
DotRecord<Pixel> Dot(A_u_long shape, double x, double y, double w, double h, Pixel colour,
                     double rotation = 0)
{
    DotRecord<Pixel> d;
    d.front = -1;
    d.x = x;
    d.y = y;
    d.colour = colour;
    d.width = w;
    d.height = h;
    d.rotation = rotation;
    d.shape = shape;
    return d;
}

// A record with no randomness, no effectors and no host: opaque white
// circles of size 10, 20 pixels apart centre to centre, grid centre at
// (cx, cy).
inline RenderRecord QuietRecord(double cx = 0, double cy = 0)
{
    RenderRecord r;
    std::memset(&r, 0, sizeof r);
    r.DotShape = 1;
    r.DotColor = PF_Pixel{255, 255, 255, 255};
    r.DotSize = 10;
    r.DotAspect = 0;
    r.RotationType = 1;
    r.DotOpacity = 100;
    r.SpacingType = 2;
    r.DotSpacingX = 20;
    r.DotSpacingY = 20;
    r.CenterPosition =
        FixedPoint{static_cast<PF_Fixed>(cx * 65536), static_cast<PF_Fixed>(cy * 65536)};
    r.GlobalRotationCenter = 1;
    r.MaskMode = 2;
    r.pixelFormat = PF_PixelFormat_ARGB32;
    return r;
}

// The generator state from which the `draw`-th draw (1 for the next one)
// yields n: the steps are walked backwards.
inline DotRng RngGiving(int draw, std::uint32_t n)
{
    std::uint32_t inverse = 1;  // 2061 is odd, so it has an inverse mod 2^16
    while (((2061u * inverse) & 0xFFFFu) != 1u) ++inverse;
    std::uint32_t state = n;
    for (int i = 0; i < draw; ++i) {
        state = ((state - 7u) * inverse) & 0xFFFFu;
    }
    return DotRng(state);
}

}  // namespace rendertest
