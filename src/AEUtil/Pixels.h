// The host's pixel layouts at the three depths the effect renders.
#pragma once

#include <cstddef>

#include "AESdk.h"

namespace AEUtil {

// Channels in the order alpha, red, green, blue.
using Pixel8 = PF_Pixel8;       // 0..255
using Pixel16 = PF_Pixel16;     // 0..32768 (not 65535)
using Pixel32 = PF_PixelFloat;  // 0..1.0

// Row access through the world's stride: the host pads rows freely.
template <typename Pixel>
inline Pixel *RowOf(void *base, A_long rowbytes, A_long y)
{
    return reinterpret_cast<Pixel *>(static_cast<char *>(base) +
                                     static_cast<std::ptrdiff_t>(rowbytes) * y);
}

template <typename Pixel>
inline const Pixel *RowOf(const void *base, A_long rowbytes, A_long y)
{
    return reinterpret_cast<const Pixel *>(static_cast<const char *>(base) +
                                           static_cast<std::ptrdiff_t>(rowbytes) * y);
}

}  // namespace AEUtil
