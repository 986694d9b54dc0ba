// An image in memory in the layout of a host world: four channels per pixel in
// the order alpha, red, green, blue, at one of the three depths the effect
// renders (8-bit 0..255, 16-bit 0..32768, float 0..1). Alpha is straight.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/Host.h"

namespace cli {

// The host's depths: 8, 16 and 32 (float) bits per channel.
using Depth = host::Depth;

// "8", "16" or "32".
std::string DepthName(Depth depth);

// One pixel of each depth, channels in host order.
template <typename T>
struct Argb {
    T a, r, g, b;
};
using Argb8 = Argb<std::uint8_t>;
using Argb16 = Argb<std::uint16_t>;
using ArgbF = Argb<float>;

class Image {
public:
    Image() = default;
    // A transparent black image.
    Image(int width, int height, Depth depth);

    int Width() const { return width_; }
    int Height() const { return height_; }
    Depth GetDepth() const { return depth_; }
    bool Empty() const { return width_ == 0 || height_ == 0; }

    // Pixels of the image's own depth, rows packed without padding. Asking for
    // another depth than the image's is a programming error and throws.
    Argb8 *Pixels8();
    Argb16 *Pixels16();
    ArgbF *PixelsF();
    const Argb8 *Pixels8() const;
    const Argb16 *Pixels16() const;
    const ArgbF *PixelsF() const;

    // The bytes of row `y`, of whatever depth.
    unsigned char *Row(int y);
    const unsigned char *Row(int y) const;

    std::size_t PixelCount() const
    {
        return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    }
    // Bytes of one pixel: 4, 8 or 16.
    std::size_t PixelBytes() const;

private:
    int width_ = 0;
    int height_ = 0;
    Depth depth_ = Depth::k8;
    std::vector<Argb8> p8_;
    std::vector<Argb16> p16_;
    std::vector<ArgbF> pF_;
};

}  // namespace cli
