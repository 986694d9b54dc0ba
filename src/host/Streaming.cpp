#include "host/Streaming_p.h"

#include <cstdint>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define STIPPLEX_STREAM_STORES 1
#endif

namespace host {
namespace detail {

namespace {

// From this many bytes written on, an operation streams: several times the
// caches of one core. The last level cache is shared (with the other worlds
// of the frame, the effect's own data and other threads), so even a world
// that would fit in it mostly has left it by the time it is read again.
constexpr std::size_t kStreamFrom = std::size_t{4} << 20;

#ifdef STIPPLEX_STREAM_STORES
constexpr std::size_t kVector = sizeof(__m128i);

// Bytes up to the next 16-byte boundary of p (at most n).
std::size_t ToAligned(const unsigned char *p, std::size_t n)
{
    const std::size_t misaligned = reinterpret_cast<std::uintptr_t>(p) % kVector;
    const std::size_t head = misaligned == 0 ? 0 : kVector - misaligned;
    return head < n ? head : n;
}
#endif

}  // namespace

bool StreamWrites(std::size_t bytes)
{
#ifdef STIPPLEX_STREAM_STORES
    return bytes >= kStreamFrom;
#else
    static_cast<void>(bytes);
    return false;
#endif
}

void StreamFill(unsigned char *p, int byte, std::size_t n)
{
#ifdef STIPPLEX_STREAM_STORES
    const std::size_t head = ToAligned(p, n);
    std::memset(p, byte, head);
    p += head;
    n -= head;
    const __m128i v = _mm_set1_epi8(static_cast<char>(byte));
    for (; n >= 4 * kVector; n -= 4 * kVector, p += 4 * kVector) {
        _mm_stream_si128(reinterpret_cast<__m128i *>(p), v);
        _mm_stream_si128(reinterpret_cast<__m128i *>(p + kVector), v);
        _mm_stream_si128(reinterpret_cast<__m128i *>(p + 2 * kVector), v);
        _mm_stream_si128(reinterpret_cast<__m128i *>(p + 3 * kVector), v);
    }
#endif
    std::memset(p, byte, n);
}

void StreamCopy(unsigned char *to, const unsigned char *from, std::size_t n)
{
#ifdef STIPPLEX_STREAM_STORES
    const std::size_t head = ToAligned(to, n);
    std::memcpy(to, from, head);
    to += head;
    from += head;
    n -= head;
    for (; n >= 4 * kVector; n -= 4 * kVector, to += 4 * kVector, from += 4 * kVector) {
        const auto *in = reinterpret_cast<const __m128i *>(from);
        const __m128i a = _mm_loadu_si128(in), b = _mm_loadu_si128(in + 1);
        const __m128i c = _mm_loadu_si128(in + 2), d = _mm_loadu_si128(in + 3);
        auto *out = reinterpret_cast<__m128i *>(to);
        _mm_stream_si128(out, a);
        _mm_stream_si128(out + 1, b);
        _mm_stream_si128(out + 2, c);
        _mm_stream_si128(out + 3, d);
    }
#endif
    std::memcpy(to, from, n);
}

void StreamFence()
{
#ifdef STIPPLEX_STREAM_STORES
    _mm_sfence();
#endif
}

}  // namespace detail
}  // namespace host
