// Private to the host: finding the pixels behind a world record, converting
// between depths, preparing layers (downsampling, cropping), and the world
// callbacks of the utility table and the World Suites.
#pragma once

#include <cstddef>

#include "host/Host.h"

namespace host {
namespace detail {

// The pixels of a world record, with the depth the host knows them by.
struct WorldView {
    unsigned char *data = nullptr;
    A_long rowbytes = 0;
    A_long width = 0;
    A_long height = 0;
    Depth depth = Depth::k8;

    template <typename P>
    P *row(A_long y) const
    {
        return reinterpret_cast<P *>(data + static_cast<std::ptrdiff_t>(rowbytes) * y);
    }
};

enum class Resolve { kOk, kNull, kNoPixels, kUnknown, kOutOfRange };

// Looks the record's data pointer up among the host's worlds (the effect may
// hand over a copy of a record, or one for part of a world). kOutOfRange
// when its width, height and rowbytes reach past the host's buffer.
Resolve ResolveWorld(const PF_EffectWorld *world, WorldView *view);
const char *ResolveText(Resolve r);  // "has no pixels", ...

bool DepthOfFormat(PF_PixelFormat format, Depth *depth);
A_long FullScale(Depth depth);  // 255, 32768; 1 for float

// A pixel with channels on a 0..1 scale (float worlds may exceed it).
struct PixelD {
    double alpha, red, green, blue;
};
PixelD ReadPixel(const WorldView &v, A_long x, A_long y);
// Rounded to the nearest step of the world's depth and clamped for integers.
void WritePixel(const WorldView &v, A_long x, A_long y, const PixelD &p);
PixelD FromPixel8(const PF_Pixel8 &p);
PixelD FromPixel16(const PF_Pixel16 &p);
PixelD FromPixelFloat(const PF_PixelFloat &p);

// The fill of uncleared worlds: opaque magenta.
PixelD PoisonPixel();
void FillAll(World &world, const PixelD &p);

// Size after downsampling 1/n, rounded as effects compute it.
A_long DownsampledSize(A_long full, A_long n);
World ConvertDepth(const World &src, Depth depth);
// Each pixel the rounded average of its nx by ny block (blocks cut by the
// edge average what they hold).
World Downsample(const World &src, A_long nx, A_long ny);
// The part `r` of `src` (within its bounds), origin at r.left, r.top.
World Crop(const World &src, const PF_Rect &r);

// Callbacks.
PF_Err CbNewWorld(PF_ProgPtr ref, A_long width, A_long height, PF_NewWorldFlags flags,
                  PF_EffectWorld *world);
PF_Err CbDisposeWorld(PF_ProgPtr ref, PF_EffectWorld *world);
PF_Err CbNewWorld2(PF_ProgPtr ref, A_long width, A_long height, PF_Boolean clear,
                   PF_PixelFormat format, PF_EffectWorld *world);
PF_Err CbDisposeWorld2(PF_ProgPtr ref, PF_EffectWorld *world);
PF_Err CbGetPixelFormat(const PF_EffectWorld *world, PF_PixelFormat *format);
PF_Err CbGetPixelData8(PF_EffectWorld *world, PF_PixelPtr pixels, PF_Pixel8 **out);
PF_Err CbGetPixelData16(PF_EffectWorld *world, PF_PixelPtr pixels, PF_Pixel16 **out);

}  // namespace detail
}  // namespace host
