// Worlds: host-owned pixel buffers with padded rows and guard bytes, the
// registry that tells the depth of any world record the effect hands back,
// depth conversion and layer preparation, and the world callbacks.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <mutex>
#include <new>
#include <type_traits>
#include <vector>

#ifndef _WIN32
#include <sys/mman.h>
#endif

#include "host/Core_p.h"
#include "host/Streaming_p.h"
#include "host/Worlds_p.h"

namespace host {

PF_PixelFormat PixelFormatOf(Depth depth)
{
    switch (depth) {
        case Depth::k8:
            return PF_PixelFormat_ARGB32;
        case Depth::k16:
            return PF_PixelFormat_ARGB64;
        case Depth::k32:
            return PF_PixelFormat_ARGB128;
    }
    return PF_PixelFormat_INVALID;
}

std::size_t BytesPerPixel(Depth depth)
{
    switch (depth) {
        case Depth::k8:
            return sizeof(PF_Pixel8);
        case Depth::k16:
            return sizeof(PF_Pixel16);
        case Depth::k32:
            return sizeof(PF_PixelFloat);
    }
    return 0;
}

namespace detail {
namespace {

constexpr std::size_t kGuardBytes = 64;

struct Registered {
    const unsigned char *end;
    Depth depth;
};

struct WorldRegistry {
    std::mutex mutex;
    std::map<const unsigned char *, Registered> by_start;  // first pixel -> extent
};

WorldRegistry &Registry()
{
    static WorldRegistry *r = new WorldRegistry;  // outlives static worlds
    return *r;
}

void Register(const unsigned char *begin, const unsigned char *end, Depth depth)
{
    std::lock_guard<std::mutex> lock(Registry().mutex);
    Registry().by_start[begin] = Registered{end, depth};
}

void Unregister(const unsigned char *begin)
{
    std::lock_guard<std::mutex> lock(Registry().mutex);
    Registry().by_start.erase(begin);
}

double Clamp01(double v)
{
    return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
}

}  // namespace

Resolve ResolveWorld(const PF_EffectWorld *world, WorldView *view)
{
    if (!world) return Resolve::kNull;
    const auto *data = reinterpret_cast<const unsigned char *>(world->data);
    if (!data || world->width <= 0 || world->height <= 0) return Resolve::kNoPixels;
    Registered found{};
    {
        std::lock_guard<std::mutex> lock(Registry().mutex);
        auto &map = Registry().by_start;
        auto it = map.upper_bound(data);
        if (it == map.begin()) return Resolve::kUnknown;
        --it;
        if (data >= it->second.end) return Resolve::kUnknown;
        found = it->second;
    }
    const auto bpp = static_cast<std::ptrdiff_t>(BytesPerPixel(found.depth));
    const std::ptrdiff_t row_bytes = world->rowbytes;
    if (row_bytes < world->width * bpp) return Resolve::kOutOfRange;
    const std::ptrdiff_t last = row_bytes * (world->height - 1) + world->width * bpp;
    if (last > found.end - data) return Resolve::kOutOfRange;
    view->data = const_cast<unsigned char *>(data);
    view->rowbytes = world->rowbytes;
    view->width = world->width;
    view->height = world->height;
    view->depth = found.depth;
    return Resolve::kOk;
}

const char *ResolveText(Resolve r)
{
    switch (r) {
        case Resolve::kOk:
            return "is fine";
        case Resolve::kNull:
            return "is null";
        case Resolve::kNoPixels:
            return "has no pixels";
        case Resolve::kUnknown:
            return "is not a world of this host";
        case Resolve::kOutOfRange:
            return "reaches past its pixel buffer";
    }
    return "?";
}

bool DepthOfFormat(PF_PixelFormat format, Depth *depth)
{
    switch (format) {
        case PF_PixelFormat_ARGB32:
            *depth = Depth::k8;
            return true;
        case PF_PixelFormat_ARGB64:
            *depth = Depth::k16;
            return true;
        case PF_PixelFormat_ARGB128:
            *depth = Depth::k32;
            return true;
        default:
            return false;
    }
}

A_long FullScale(Depth depth)
{
    switch (depth) {
        case Depth::k8:
            return PF_MAX_CHAN8;
        case Depth::k16:
            return PF_MAX_CHAN16;
        case Depth::k32:
            return 1;
    }
    return 1;
}

PixelD FromPixel8(const PF_Pixel8 &p)
{
    return {p.alpha / 255.0, p.red / 255.0, p.green / 255.0, p.blue / 255.0};
}

PixelD FromPixel16(const PF_Pixel16 &p)
{
    return {p.alpha / 32768.0, p.red / 32768.0, p.green / 32768.0, p.blue / 32768.0};
}

PixelD FromPixelFloat(const PF_PixelFloat &p)
{
    return {p.alpha, p.red, p.green, p.blue};
}

PixelD ReadPixel(const WorldView &v, A_long x, A_long y)
{
    switch (v.depth) {
        case Depth::k8:
            return FromPixel8(v.row<PF_Pixel8>(y)[x]);
        case Depth::k16:
            return FromPixel16(v.row<PF_Pixel16>(y)[x]);
        case Depth::k32:
            return FromPixelFloat(v.row<PF_PixelFloat>(y)[x]);
    }
    return {};
}

void WritePixel(const WorldView &v, A_long x, A_long y, const PixelD &p)
{
    switch (v.depth) {
        case Depth::k8: {
            auto c = [](double d) {
                return static_cast<A_u_char>(std::lround(Clamp01(d) * 255.0));
            };
            v.row<PF_Pixel8>(y)[x] = PF_Pixel8{c(p.alpha), c(p.red), c(p.green), c(p.blue)};
            break;
        }
        case Depth::k16: {
            auto c = [](double d) {
                return static_cast<A_u_short>(std::lround(Clamp01(d) * 32768.0));
            };
            v.row<PF_Pixel16>(y)[x] = PF_Pixel16{c(p.alpha), c(p.red), c(p.green), c(p.blue)};
            break;
        }
        case Depth::k32:
            v.row<PF_PixelFloat>(y)[x] =
                PF_PixelFloat{static_cast<float>(p.alpha), static_cast<float>(p.red),
                              static_cast<float>(p.green), static_cast<float>(p.blue)};
            break;
    }
}

PixelD PoisonPixel()
{
    return {1.0, 1.0, 0.0, 1.0};
}

namespace {

WorldView ViewOf(World &w)
{
    WorldView v;
    ResolveWorld(w.pf(), &v);
    return v;
}

WorldView ViewOf(const World &w)
{
    return ViewOf(const_cast<World &>(w));
}

}  // namespace

void FillRect(const WorldView &v, const PF_Rect &r, const PixelD &p)
{
    if (r.left >= r.right || r.top >= r.bottom) return;
    const std::size_t bpp = BytesPerPixel(v.depth);
    const std::size_t offset = static_cast<std::size_t>(r.left) * bpp;
    const std::size_t n = static_cast<std::size_t>(r.right - r.left) * bpp;
    // Convert once into the first pixel, then repeat its bytes: as a byte
    // fill when they are all the same (transparent black), else by doubling
    // the first row and copying it to the others.
    WritePixel(v, r.left, r.top, p);
    unsigned char *first = v.row<unsigned char>(r.top) + offset;
    const bool uniform =
        std::all_of(first + 1, first + bpp, [first](unsigned char b) { return b == first[0]; });
    if (uniform) {
        const int byte = first[0];
        const bool stream = StreamWrites(n * static_cast<std::size_t>(r.bottom - r.top));
        for (A_long y = r.top; y < r.bottom; ++y) {
            unsigned char *row = v.row<unsigned char>(y) + offset;
            if (stream) {
                StreamFill(row, byte, n);
            } else {
                std::memset(row, byte, n);
            }
        }
        if (stream) StreamFence();
        return;
    }
    for (std::size_t done = bpp; done < n;) {
        const std::size_t step = std::min(done, n - done);
        std::memcpy(first + done, first, step);
        done += step;
    }
    for (A_long y = r.top + 1; y < r.bottom; ++y) {
        std::memcpy(v.row<unsigned char>(y) + offset, first, n);
    }
}

void FillAll(World &world, const PixelD &p)
{
    if (world.empty()) return;
    FillRect(ViewOf(world), PF_Rect{0, 0, world.width(), world.height()}, p);
}

namespace {

// One channel as WritePixel stores it at each depth.
template <typename C>
C StoreChannel(double d);

template <>
A_u_char StoreChannel<A_u_char>(double d)
{
    return static_cast<A_u_char>(std::lround(Clamp01(d) * 255.0));
}

template <>
A_u_short StoreChannel<A_u_short>(double d)
{
    return static_cast<A_u_short>(std::lround(Clamp01(d) * 32768.0));
}

template <>
float StoreChannel<float>(double d)
{
    return static_cast<float>(d);
}

template <typename P>
struct ChannelOf;
template <>
struct ChannelOf<PF_Pixel8> {
    using type = A_u_char;
    static constexpr double kScale = 255.0;  // as ReadPixel divides
};
template <>
struct ChannelOf<PF_Pixel16> {
    using type = A_u_short;
    static constexpr double kScale = 32768.0;
};
template <>
struct ChannelOf<PF_PixelFloat> {
    using type = float;
};

// Every value of an integer channel, stored at another depth: a table built
// once with the very expressions of ReadPixel and WritePixel.
template <typename PIn, typename Out>
const std::vector<Out> &ChannelTable()
{
    using In = typename ChannelOf<PIn>::type;
    static const std::vector<Out> table = [] {
        std::vector<Out> t(std::size_t{1} << (8 * sizeof(In)));
        for (std::size_t v = 0; v < t.size(); ++v) {
            t[v] = StoreChannel<Out>(static_cast<In>(v) / ChannelOf<PIn>::kScale);
        }
        return t;
    }();
    return table;
}

template <typename PIn, typename POut>
void ConvertPixels(const unsigned char *from, unsigned char *to, A_long n)
{
    using Out = typename ChannelOf<POut>::type;
    const auto *in = reinterpret_cast<const PIn *>(from);
    auto *out = reinterpret_cast<POut *>(to);
    if constexpr (std::is_same<PIn, PF_PixelFloat>::value) {
        for (A_long i = 0; i < n; ++i) {
            const PIn p = in[i];
            out[i] = POut{StoreChannel<Out>(p.alpha), StoreChannel<Out>(p.red),
                          StoreChannel<Out>(p.green), StoreChannel<Out>(p.blue)};
        }
    } else {
        const Out *t = ChannelTable<PIn, Out>().data();
        for (A_long i = 0; i < n; ++i) {
            const PIn p = in[i];
            out[i] = POut{t[p.alpha], t[p.red], t[p.green], t[p.blue]};
        }
    }
}

template <typename PIn>
void ConvertFrom(const unsigned char *from, unsigned char *to, Depth to_depth, A_long n)
{
    switch (to_depth) {
        case Depth::k8:
            ConvertPixels<PIn, PF_Pixel8>(from, to, n);
            break;
        case Depth::k16:
            ConvertPixels<PIn, PF_Pixel16>(from, to, n);
            break;
        case Depth::k32:
            ConvertPixels<PIn, PF_PixelFloat>(from, to, n);
            break;
    }
}

}  // namespace

void ConvertRow(const unsigned char *from, Depth from_depth, unsigned char *to, Depth to_depth,
                A_long n)
{
    if (n <= 0) return;
    if (from_depth == to_depth) {
        std::memcpy(to, from, static_cast<std::size_t>(n) * BytesPerPixel(to_depth));
        return;
    }
    switch (from_depth) {
        case Depth::k8:
            ConvertFrom<PF_Pixel8>(from, to, to_depth, n);
            break;
        case Depth::k16:
            ConvertFrom<PF_Pixel16>(from, to, to_depth, n);
            break;
        case Depth::k32:
            ConvertFrom<PF_PixelFloat>(from, to, to_depth, n);
            break;
    }
}

// ---------------------------------------------------------------- buffers

namespace {

// From this size on a buffer is mapped pages of its own.
constexpr std::size_t kMappedFrom = std::size_t{1} << 20;

// Sets the n bytes at p to zero, writing only the 64-byte blocks that are
// not zero already: a world with a few dots drawn on it costs a read.
void ZeroWhereSet(unsigned char *p, std::size_t n)
{
    constexpr std::size_t kBlock = 64;
    std::size_t at = 0;
    for (; at + kBlock <= n; at += kBlock) {
        std::uint64_t w[kBlock / sizeof(std::uint64_t)];
        std::memcpy(w, p + at, kBlock);
        std::uint64_t any = 0;
        for (std::uint64_t v : w) any |= v;
        if (any != 0) std::memset(p + at, 0, kBlock);
    }
    std::memset(p + at, 0, n - at);
}

}  // namespace

void BufferDeleter::operator()(unsigned char *p) const noexcept
{
#ifndef _WIN32
    if (size != 0) {
        munmap(p, size);
        return;
    }
#endif
    std::free(p);
}

PixelBuffer NewZeroedBuffer(std::size_t size)
{
#ifndef _WIN32
    if (size >= kMappedFrom) {
        void *p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
        // Paging in 2 MB at a time costs far less than 4 KB at a time.
        madvise(p, size, MADV_HUGEPAGE);
#endif
        return PixelBuffer(static_cast<unsigned char *>(p), BufferDeleter{size});
    }
#endif
    void *p = std::calloc(size, 1);
    if (!p) throw std::bad_alloc();
    return PixelBuffer(static_cast<unsigned char *>(p), BufferDeleter{0});
}

PixelBuffer BufferPool::take(std::size_t size, bool want_zero, bool *zero)
{
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = kept_.rend();
    for (auto it = kept_.rbegin(); it != kept_.rend(); ++it) {
        if (it->size != size) continue;
        if (found == kept_.rend()) found = it;
        if (it->zero == want_zero) {
            found = it;
            break;
        }
    }
    if (found == kept_.rend()) return nullptr;
    PixelBuffer buffer = std::move(found->buffer);
    *zero = found->zero;
    bytes_ -= size;
    kept_.erase(std::next(found).base());
    return buffer;
}

void BufferPool::give(PixelBuffer buffer, std::size_t size, bool zero) noexcept
{
    if (!buffer || size > kMaxBytes) return;
    std::lock_guard<std::mutex> lock(mutex_);
    try {
        kept_.push_back(Kept{size, std::move(buffer), zero});
    } catch (...) {
        return;  // not kept, freed with `buffer`
    }
    bytes_ += size;
    std::size_t drop = 0;
    while (kept_.size() - drop > kMaxBuffers || bytes_ > kMaxBytes) {
        bytes_ -= kept_[drop].size;
        ++drop;
    }
    if (drop == 0) return;
    kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(drop));
}

NewPixels UnclearedPixels(const HostOptions &options)
{
    return options.poison_uncleared_worlds ? NewPixels::kPoison : NewPixels::kAsFound;
}

World WorldMaker::make(A_long width, A_long height, Depth depth, NewPixels pixels,
                       const std::shared_ptr<BufferPool> &pool)
{
    World w;
    w.allocate(width, height, depth, 16 * (1 + width % 4),
               pixels == NewPixels::kClear ? World::Pixels::kClear : World::Pixels::kAsFound, pool);
    if (pixels == NewPixels::kPoison) FillAll(w, PoisonPixel());
    return w;
}

void WorldMaker::releaseZeroed(World &world)
{
    if (!world.buffer_ || world.pool_.expired()) {
        world.release();
        return;
    }
    unsigned char *pixels = world.buffer_.get() + kGuardBytes;
    const std::size_t n = world.buffer_size_ - 2 * kGuardBytes;
    if (StreamWrites(n)) {
        // Writing it all past the caches costs less than reading it.
        StreamFill(pixels, 0, n);
        StreamFence();
    } else {
        ZeroWhereSet(pixels, n);
    }
    world.release(true);
}

A_long DownsampledSize(A_long full, A_long n)
{
    // The same expression effects use for their own buffers (size times the
    // factor as a double, plus one half, truncated), so that both agree.
    return static_cast<A_long>(full * (1.0 / static_cast<double>(n)) + 0.5);
}

World ConvertDepth(const World &src, Depth depth, const std::shared_ptr<BufferPool> &pool)
{
    if (src.depth() == depth || src.empty()) return src;
    World out = WorldMaker::make(src.width(), src.height(), depth, NewPixels::kAsFound, pool);
    out.setOrigin(src.originX(), src.originY());
    for (A_long y = 0; y < src.height(); ++y) {
        ConvertRow(src.row(y), src.depth(), out.row(y), depth, src.width());
    }
    return out;
}

namespace {

template <typename P>
P Average(long long a, long long r, long long g, long long b, long long n);

template <>
PF_Pixel8 Average<PF_Pixel8>(long long a, long long r, long long g, long long b, long long n)
{
    auto c = [n](long long s) { return static_cast<A_u_char>((s + n / 2) / n); };
    return PF_Pixel8{c(a), c(r), c(g), c(b)};
}

template <>
PF_Pixel16 Average<PF_Pixel16>(long long a, long long r, long long g, long long b, long long n)
{
    auto c = [n](long long s) { return static_cast<A_u_short>((s + n / 2) / n); };
    return PF_Pixel16{c(a), c(r), c(g), c(b)};
}

template <typename P>
P Average(double a, double r, double g, double b, double n);

template <>
PF_PixelFloat Average<PF_PixelFloat>(double a, double r, double g, double b, double n)
{
    return PF_PixelFloat{static_cast<float>(a / n), static_cast<float>(r / n),
                         static_cast<float>(g / n), static_cast<float>(b / n)};
}

template <typename P, typename Sum>
void BoxAverage(const WorldView &from, const WorldView &to, A_long nx, A_long ny)
{
    for (A_long oy = 0; oy < to.height; ++oy) {
        const A_long y0 = std::min(oy * ny, from.height - 1);
        const A_long y1 = std::min(y0 + ny, from.height);
        P *out = to.row<P>(oy);
        for (A_long ox = 0; ox < to.width; ++ox) {
            const A_long x0 = std::min(ox * nx, from.width - 1);
            const A_long x1 = std::min(x0 + nx, from.width);
            Sum a = 0, r = 0, g = 0, b = 0;
            for (A_long y = y0; y < y1; ++y) {
                const P *in = from.row<P>(y);
                for (A_long x = x0; x < x1; ++x) {
                    a += in[x].alpha;
                    r += in[x].red;
                    g += in[x].green;
                    b += in[x].blue;
                }
            }
            const Sum count = static_cast<Sum>((x1 - x0) * (y1 - y0));
            out[ox] = Average<P>(a, r, g, b, count);
        }
    }
}

}  // namespace

World Downsample(const World &src, A_long nx, A_long ny, const std::shared_ptr<BufferPool> &pool)
{
    if (src.empty() || (nx == 1 && ny == 1)) return src;
    const A_long w = std::max<A_long>(1, DownsampledSize(src.width(), nx));
    const A_long h = std::max<A_long>(1, DownsampledSize(src.height(), ny));
    World out = WorldMaker::make(w, h, src.depth(), NewPixels::kAsFound, pool);
    WorldView from = ViewOf(src);
    WorldView to = ViewOf(out);
    switch (src.depth()) {
        case Depth::k8:
            BoxAverage<PF_Pixel8, long long>(from, to, nx, ny);
            break;
        case Depth::k16:
            BoxAverage<PF_Pixel16, long long>(from, to, nx, ny);
            break;
        case Depth::k32:
            BoxAverage<PF_PixelFloat, double>(from, to, nx, ny);
            break;
    }
    return out;
}

}  // namespace detail

World DownsampleLayer(const World &full, A_long nx, A_long ny)
{
    if (nx < 1 || ny < 1) throw HostError("downsampling must be 1/N with N >= 1");
    World out = detail::Downsample(full, nx, ny, nullptr);
    out.setOrigin(0, 0);
    return out;
}

namespace detail {

World Crop(const World &src, const PF_Rect &r, const std::shared_ptr<BufferPool> &pool)
{
    World out = WorldMaker::make(r.right - r.left, r.bottom - r.top, src.depth(),
                                 NewPixels::kAsFound, pool);
    out.setOrigin(r.left, r.top);
    const std::size_t bpp = BytesPerPixel(src.depth());
    for (A_long y = r.top; y < r.bottom; ++y) {
        std::memcpy(out.row(y - r.top), src.row(y) + static_cast<std::size_t>(r.left) * bpp,
                    static_cast<std::size_t>(r.right - r.left) * bpp);
    }
    return out;
}

// ---------------------------------------------------------------- callbacks

namespace {

bool ValidSize(A_long width, A_long height)
{
    return width > 0 && height > 0 && width <= PF_MAX_WORLD_WIDTH && height <= PF_MAX_WORLD_HEIGHT;
}

PF_Err MakeWorld(CommandContext *ctx, const char *service, A_long width, A_long height, Depth depth,
                 bool clear, PF_EffectWorld *world)
{
    if (!world) {
        ctx->fault(std::string(service) + " without a world record to fill");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!ValidSize(width, height)) {
        ctx->fault(std::string(service) + " of " + std::to_string(width) + " x " +
                   std::to_string(height) + " pixels");
        std::memset(world, 0, sizeof *world);
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    const NewPixels pixels = clear ? NewPixels::kClear : UnclearedPixels(ctx->core.options);
    // Inside an instance's commands the buffer comes from the instance's
    // pool, so the effect's temporary worlds reuse last frame's memory.
    auto made = std::make_unique<World>(WorldMaker::make(
        width, height, depth, pixels, ctx->instance ? ctx->instance->buffers : nullptr));
    *world = *made->pf();
    std::lock_guard<std::mutex> lock(ctx->mutex);
    ctx->effect_worlds[made->pf()->data] = std::move(made);
    return PF_Err_NONE;
}

PF_Err DropWorld(CommandContext *ctx, const char *service, PF_EffectWorld *world)
{
    if (!world) {
        ctx->fault(std::string(service) + " of a null world");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    std::unique_ptr<World> owned;
    {
        std::lock_guard<std::mutex> lock(ctx->mutex);
        auto it = ctx->effect_worlds.find(world->data);
        if (it != ctx->effect_worlds.end()) {
            owned = std::move(it->second);
            ctx->effect_worlds.erase(it);
        }
    }
    if (!owned) {
        ctx->fault(std::string(service) +
                   " of a world that the effect did not create during this command");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    if (!owned->paddingIntact()) {
        ctx->fault(std::string(service) + ": the effect wrote outside the rows of its " +
                   std::to_string(owned->width()) + " x " + std::to_string(owned->height()) +
                   " world");
    }
    // Zeroed for the next cleared world of its size (the effect's temporary
    // world of the next frame, typically).
    WorldMaker::releaseZeroed(*owned);
    // Cleared, so that a use after disposal fails at once rather than later.
    std::memset(world, 0, sizeof *world);
    return PF_Err_NONE;
}

}  // namespace

PF_Err CbNewWorld(PF_ProgPtr ref, A_long width, A_long height, PF_NewWorldFlags flags,
                  PF_EffectWorld *world)
{
    CommandContext *ctx = ContextFor(ref, "new_world");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    const Depth depth = (flags & PF_NewWorldFlag_DEEP_PIXELS) ? Depth::k16 : Depth::k8;
    return MakeWorld(ctx, "new_world", width, height, depth,
                     (flags & PF_NewWorldFlag_CLEAR_PIXELS) != 0, world);
}

PF_Err CbDisposeWorld(PF_ProgPtr ref, PF_EffectWorld *world)
{
    CommandContext *ctx = ContextFor(ref, "dispose_world");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    return DropWorld(ctx, "dispose_world", world);
}

PF_Err CbNewWorld2(PF_ProgPtr ref, A_long width, A_long height, PF_Boolean clear,
                   PF_PixelFormat format, PF_EffectWorld *world)
{
    CommandContext *ctx = ContextFor(ref, "PF_NewWorld");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    Depth depth;
    if (!DepthOfFormat(format, &depth)) {
        ctx->fault("PF_NewWorld with pixel format " + std::to_string(format) +
                   ", which is none of 'argb', 'ae16', 'ae32'");
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    return MakeWorld(ctx, "PF_NewWorld", width, height, depth, clear != 0, world);
}

PF_Err CbDisposeWorld2(PF_ProgPtr ref, PF_EffectWorld *world)
{
    CommandContext *ctx = ContextFor(ref, "PF_DisposeWorld");
    if (!ctx) return PF_Err_BAD_CALLBACK_PARAM;
    return DropWorld(ctx, "PF_DisposeWorld", world);
}

PF_Err CbGetPixelFormat(const PF_EffectWorld *world, PF_PixelFormat *format)
{
    WorldView v;
    const Resolve r = ResolveWorld(world, &v);
    if (!format || r != Resolve::kOk) {
        if (format) *format = PF_PixelFormat_INVALID;
        if (CommandContext *ctx = CurrentContext()) {
            ctx->fault(format ? std::string("PF_GetPixelFormat of a world that ") + ResolveText(r)
                              : std::string("PF_GetPixelFormat without a place for the result"));
        }
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *format = PixelFormatOf(v.depth);
    return PF_Err_NONE;
}

namespace {

template <typename P>
PF_Err PixelData(const char *service, Depth want, PF_EffectWorld *world, PF_PixelPtr pixels,
                 P **out)
{
    WorldView v;
    const Resolve r = ResolveWorld(world, &v);
    if (!out || r != Resolve::kOk || v.depth != want) {
        if (out) *out = nullptr;
        if (CommandContext *ctx = CurrentContext()) {
            ctx->fault(std::string(service) +
                       (r != Resolve::kOk ? std::string(" of a world that ") + ResolveText(r)
                                          : std::string(" of a world of another depth")));
        }
        return PF_Err_BAD_CALLBACK_PARAM;
    }
    *out = pixels ? reinterpret_cast<P *>(pixels) : reinterpret_cast<P *>(world->data);
    return PF_Err_NONE;
}

}  // namespace

PF_Err CbGetPixelData8(PF_EffectWorld *world, PF_PixelPtr pixels, PF_Pixel8 **out)
{
    return PixelData("get_pixel_data8", Depth::k8, world, pixels, out);
}

PF_Err CbGetPixelData16(PF_EffectWorld *world, PF_PixelPtr pixels, PF_Pixel16 **out)
{
    return PixelData("get_pixel_data16", Depth::k16, world, pixels, out);
}

}  // namespace detail

// ---------------------------------------------------------------- World

World::World(A_long width, A_long height, Depth depth)
{
    // Every row gets 16 to 64 padding bytes, varying with the width, so that
    // code assuming tightly packed rows fails visibly.
    allocate(width, height, depth, 16 * (1 + width % 4), Pixels::kClear, nullptr);
}

World::World(A_long width, A_long height, Depth depth, A_long row_padding)
{
    allocate(width, height, depth, row_padding, Pixels::kClear, nullptr);
}

void World::allocate(A_long width, A_long height, Depth depth, A_long row_padding, Pixels pixels,
                     const std::shared_ptr<detail::BufferPool> &pool)
{
    if (width <= 0 || height <= 0 || width > PF_MAX_WORLD_WIDTH || height > PF_MAX_WORLD_HEIGHT ||
        row_padding < 0) {
        throw HostError("cannot make a world of " + std::to_string(width) + " x " +
                        std::to_string(height) + " pixels");
    }
    const std::size_t used = static_cast<std::size_t>(width) * BytesPerPixel(depth);
    const std::size_t padding = static_cast<std::size_t>(row_padding);
    const std::size_t rowbytes = used + padding;
    const std::size_t size = 2 * detail::kGuardBytes + rowbytes * static_cast<std::size_t>(height);
    bool zero = false;
    detail::PixelBuffer buffer;
    if (pool) buffer = pool->take(size, pixels == Pixels::kClear, &zero);
    if (!buffer) {
        buffer = detail::NewZeroedBuffer(size);
        zero = true;
    }
    // One pass over the block: the guards, and each row's pixels (when they
    // are to be cleared and are not zero already) and padding.
    unsigned char *data = buffer.get() + detail::kGuardBytes;
    unsigned char *end = data + rowbytes * static_cast<std::size_t>(height);
    std::memset(buffer.get(), kPadSentinel, detail::kGuardBytes);
    for (unsigned char *row = data; row != end; row += rowbytes) {
        if (pixels == Pixels::kClear && !zero) std::memset(row, 0, used);
        std::memset(row + used, kPadSentinel, padding);
    }
    std::memset(end, kPadSentinel, detail::kGuardBytes);
    buffer_ = std::move(buffer);
    buffer_size_ = size;
    pool_ = pool;
    depth_ = depth;
    padding_ = row_padding;
    world_ = PF_EffectWorld{};
    // Built up in steps: the vendor's flags enum may be wider than A_long.
    world_.world_flags = static_cast<PF_WorldFlags>(PF_WorldFlag_WRITEABLE);
    if (depth == Depth::k16) {
        world_.world_flags |= static_cast<PF_WorldFlags>(PF_WorldFlag_DEEP);
    }
    world_.data = reinterpret_cast<PF_PixelPtr>(data);
    world_.rowbytes = static_cast<A_long>(rowbytes);
    world_.width = width;
    world_.height = height;
    world_.extent_hint = PF_LRect{0, 0, width, height};
    world_.pix_aspect_ratio = PF_RationalScale{1, 1};
    detail::Register(data, end, depth);
}

void World::release(bool zeroed)
{
    if (buffer_) {
        detail::Unregister(buffer_.get() + detail::kGuardBytes);
        if (std::shared_ptr<detail::BufferPool> pool = pool_.lock()) {
            pool->give(std::move(buffer_), buffer_size_, zeroed);
        }
    }
    buffer_.reset();
    buffer_size_ = 0;
    pool_.reset();
    world_ = PF_EffectWorld{};
}

World::World(const World &other)
{
    if (other.empty()) return;
    // A buffer of its own, padding and guards included as they are.
    allocate(other.width(), other.height(), other.depth_, other.padding_, Pixels::kAsFound,
             nullptr);
    std::memcpy(buffer_.get(), other.buffer_.get(), buffer_size_);
    setOrigin(other.originX(), other.originY());
}

World &World::operator=(const World &other)
{
    if (this != &other) {
        World copy(other);
        *this = std::move(copy);
    }
    return *this;
}

World::World(World &&other) noexcept
    : world_(other.world_),
      depth_(other.depth_),
      padding_(other.padding_),
      buffer_(std::move(other.buffer_)),
      buffer_size_(other.buffer_size_),
      pool_(std::move(other.pool_))
{
    other.world_ = PF_EffectWorld{};
    other.buffer_size_ = 0;
}

World &World::operator=(World &&other) noexcept
{
    if (this != &other) {
        release();
        world_ = other.world_;
        depth_ = other.depth_;
        padding_ = other.padding_;
        buffer_ = std::move(other.buffer_);
        buffer_size_ = other.buffer_size_;
        pool_ = std::move(other.pool_);
        other.world_ = PF_EffectWorld{};
        other.buffer_size_ = 0;
    }
    return *this;
}

World::~World()
{
    release();
}

void World::setOrigin(A_long x, A_long y)
{
    world_.origin_x = x;
    world_.origin_y = y;
}

unsigned char *World::row(A_long y)
{
    return reinterpret_cast<unsigned char *>(world_.data) +
           static_cast<std::ptrdiff_t>(world_.rowbytes) * y;
}

const unsigned char *World::row(A_long y) const
{
    return reinterpret_cast<const unsigned char *>(world_.data) +
           static_cast<std::ptrdiff_t>(world_.rowbytes) * y;
}

template <typename P>
P &World::at(A_long x, A_long y, Depth want) const
{
    if (empty()) throw HostError("pixel access to an empty world");
    if (depth_ != want) {
        throw HostError("pixel access at " + std::to_string(static_cast<int>(want)) +
                        " bits to a " + std::to_string(static_cast<int>(depth_)) + "-bit world");
    }
    if (x < 0 || y < 0 || x >= world_.width || y >= world_.height) {
        throw HostError("pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") outside a " +
                        std::to_string(world_.width) + " x " + std::to_string(world_.height) +
                        " world");
    }
    auto *base = reinterpret_cast<unsigned char *>(world_.data);
    return reinterpret_cast<P *>(base + static_cast<std::ptrdiff_t>(world_.rowbytes) * y)[x];
}

PF_Pixel8 &World::px8(A_long x, A_long y)
{
    return at<PF_Pixel8>(x, y, Depth::k8);
}
const PF_Pixel8 &World::px8(A_long x, A_long y) const
{
    return at<PF_Pixel8>(x, y, Depth::k8);
}
PF_Pixel16 &World::px16(A_long x, A_long y)
{
    return at<PF_Pixel16>(x, y, Depth::k16);
}
const PF_Pixel16 &World::px16(A_long x, A_long y) const
{
    return at<PF_Pixel16>(x, y, Depth::k16);
}
PF_PixelFloat &World::pxF(A_long x, A_long y)
{
    return at<PF_PixelFloat>(x, y, Depth::k32);
}
const PF_PixelFloat &World::pxF(A_long x, A_long y) const
{
    return at<PF_PixelFloat>(x, y, Depth::k32);
}

namespace {

// Every one of the n bytes at p is the sentinel: compared a block at a time.
bool AllSentinel(const unsigned char *p, std::size_t n)
{
    static const auto block = [] {
        std::array<unsigned char, 256> b;
        b.fill(World::kPadSentinel);
        return b;
    }();
    while (n > 0) {
        const std::size_t step = std::min(n, block.size());
        if (std::memcmp(p, block.data(), step) != 0) return false;
        p += step;
        n -= step;
    }
    return true;
}

}  // namespace

bool World::paddingIntact() const
{
    if (empty()) return true;
    const unsigned char *b = buffer_.get();
    if (!AllSentinel(b, detail::kGuardBytes)) return false;
    if (!AllSentinel(b + buffer_size_ - detail::kGuardBytes, detail::kGuardBytes)) return false;
    const std::size_t used = static_cast<std::size_t>(world_.width) * BytesPerPixel(depth_);
    for (A_long y = 0; y < world_.height; ++y) {
        if (!AllSentinel(row(y) + used, static_cast<std::size_t>(padding_))) return false;
    }
    return true;
}

bool World::samePixels(const World &other) const
{
    if (empty() || other.empty()) return empty() && other.empty();
    if (width() != other.width() || height() != other.height() || depth_ != other.depth_) {
        return false;
    }
    const std::size_t used = static_cast<std::size_t>(world_.width) * BytesPerPixel(depth_);
    for (A_long y = 0; y < world_.height; ++y) {
        if (std::memcmp(row(y), other.row(y), used) != 0) return false;
    }
    return true;
}

}  // namespace host
