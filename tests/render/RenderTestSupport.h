// Helpers for the renderer's tests: canvases over plain buffers with padded
// rows, a record with quiet defaults, and generator states chosen backwards.
#pragma once

#include <cstdint>
#include <cstring>
#include <tuple>
#include <type_traits>
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
constexpr double kPi = 3.14159265358979323846;

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
        Clear();
    }

    // Every pixel transparent black again.
    void Clear()
    {
        for (int y = 0; y < canvas.height; ++y) {
            std::memset(buffer_.data() + kLead + y * rowbytes_, 0, canvas.width * sizeof(Pixel));
        }
    }

    // The whole buffer: pixels, padding and guards.
    const std::vector<unsigned char> &Bytes() const { return buffer_; }

    Pixel &At(int x, int y) { return AEUtil::RowOf<Pixel>(canvas.pixels, canvas.rowbytes, y)[x]; }

    // Whether every byte outside the pixels still holds the guard value.
    bool GuardsIntact() const
    {
        const long pixelBytes = static_cast<long>(canvas.width * sizeof(Pixel));
        for (size_t i = 0; i < buffer_.size(); ++i) {
            const long at = static_cast<long>(i) - kLead;
            const bool inPixels =
                at >= 0 && at < rowbytes_ * canvas.height && at % rowbytes_ < pixelBytes;
            if (!inPixels && buffer_[i] != kGuard) return false;
        }
        return true;
    }

    // Pixels whose alpha is not zero.
    int CountCovered()
    {
        int count = 0;
        for (int y = 0; y < canvas.height; ++y) {
            for (int x = 0; x < canvas.width; ++x) count += At(x, y).alpha != 0;
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
constexpr double Full()
{
    return std::is_same_v<Pixel, Pixel8> ? 255 : std::is_same_v<Pixel, Pixel16> ? 32768 : 1.0;
}

// A pixel's channels in the order alpha, red, green, blue, for comparing whole
// pixels in one expectation.
using Argb = std::tuple<double, double, double, double>;
template <typename Pixel>
Argb ArgbOf(const Pixel &p)
{
    return Argb(p.alpha, p.red, p.green, p.blue);
}

template <typename Pixel>
Pixel Opaque(double r, double g, double b)
{
    using C = decltype(Pixel{}.alpha);
    return Pixel{C(Full<Pixel>()), C(r * Full<Pixel>()), C(g * Full<Pixel>()),
                 C(b * Full<Pixel>())};
}

template <typename Pixel>
DotRecord<Pixel> Dot(A_u_long shape, double x, double y, double w, double h, Pixel colour,
                     double rotation = 0)
{
    return DotRecord<Pixel>{-1, x, y, colour, w, h, rotation, shape};
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
    r.RotationType = 1;
    r.DotOpacity = 100;
    r.SpacingType = 2;
    r.DotSpacingX = r.DotSpacingY = 20;
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
    for (int i = 0; i < draw; ++i) state = ((state - 7u) * inverse) & 0xFFFFu;
    return DotRng(state);
}

}  // namespace rendertest
