// Private to the host: finding the pixels behind a world record, converting
// between depths, preparing layers (downsampling, cropping), and the world
// callbacks of the utility table and the World Suites.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

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
// Sets every pixel of `r` (within the view) to `p` as WritePixel stores it,
// a row at a time.
void FillRect(const WorldView &v, const PF_Rect &r, const PixelD &p);
// n pixels from one depth to another, each as WritePixel(ReadPixel) would
// convert it (a plain copy at the same depth).
void ConvertRow(const unsigned char *from, Depth from_depth, unsigned char *to, Depth to_depth,
                A_long n);

// A buffer of `size` bytes, all zero: pages of its own from the system for
// large buffers (zero without being cleared, paged in only where they are
// touched, in large pages where the system allows), the heap's calloc for
// small ones.
PixelBuffer NewZeroedBuffer(std::size_t size);

// Pixel buffers that an effect's worlds give back when they go, kept for
// the next worlds of the same size, so that frame after frame reuses its
// allocations instead of allocating (and paging in) fresh ones. Only the
// memory is reused: a world made on a kept buffer lays its guard and padding
// anew, and its pixels are cleared, poisoned or written over at once (but
// for the output and uncleared worlds without the poison, which hold what
// the buffer held, as in the real host). A buffer known to be all zero (the
// effect's cleared worlds are zeroed again when it disposes of them: a read
// that writes only where it drew, or for a world too large for the caches a
// write past them) makes a cleared world without clearing. At most
// kMaxBuffers buffers and kMaxBytes bytes are kept; the oldest go first.
class BufferPool {
public:
    static constexpr std::size_t kMaxBuffers = 16;
    static constexpr std::size_t kMaxBytes = std::size_t{1} << 30;

    // The most recently given buffer of exactly `size` bytes, or null; one
    // known to be zero first if `want_zero`, one that is not first if not,
    // so that zeroed buffers are kept for cleared worlds. *zero tells which
    // it is.
    PixelBuffer take(std::size_t size, bool want_zero, bool *zero);
    void give(PixelBuffer buffer, std::size_t size, bool zero) noexcept;

private:
    struct Kept {
        std::size_t size;
        PixelBuffer buffer;
        bool zero;
    };
    std::mutex mutex_;
    std::vector<Kept> kept_;  // oldest first
    std::size_t bytes_ = 0;
};

// How the pixels of a world the host makes for itself start out.
enum class NewPixels {
    kClear,    // transparent black, as every new World
    kPoison,   // PoisonPixel()
    kAsFound,  // whatever the buffer held
};
// The pixels of the output and of uncleared worlds of the effect: poisoned,
// or without the poison whatever the buffer held, as in the real host.
NewPixels UnclearedPixels(const HostOptions &options);

struct WorldMaker {
    // A world with the usual padding, on a buffer from `pool` that goes back
    // to it when the world goes (a buffer of its own if `pool` is null).
    static World make(A_long width, A_long height, Depth depth, NewPixels pixels,
                      const std::shared_ptr<BufferPool> &pool);
    // Empties `world`, giving its buffer back to its pool zeroed, so that a
    // cleared world can be made on it without clearing.
    static void releaseZeroed(World &world);
};

// Size after downsampling 1/n, rounded as effects compute it.
A_long DownsampledSize(A_long full, A_long n);
// A converted copy (`src` itself, copied, at its own depth); its buffer from
// `pool` if given, as for the two below.
World ConvertDepth(const World &src, Depth depth,
                   const std::shared_ptr<BufferPool> &pool = nullptr);
// Each pixel the rounded average of its nx by ny block (blocks cut by the
// edge average what they hold).
World Downsample(const World &src, A_long nx, A_long ny,
                 const std::shared_ptr<BufferPool> &pool = nullptr);
// The part `r` of `src` (within its bounds), origin at r.left, r.top.
World Crop(const World &src, const PF_Rect &r, const std::shared_ptr<BufferPool> &pool = nullptr);

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
