// A small host layer over a vector, rows padded past their width so that any
// access that ignores the row stride reads the marker pixels in the padding.
#pragma once

#include <cstddef>
#include <vector>

#include "AESdk.h"

template <typename Pixel>
class TestLayer {
public:
    static constexpr int kPadPixels = 3;

    // `marker` fills the pixels and the padding alike.
    TestLayer(int width, int height, const Pixel &marker = Pixel{})
        : stride_(width + kPadPixels),
          pixels_(static_cast<std::size_t>(stride_) * static_cast<std::size_t>(height), marker)
    {
        world_.data = reinterpret_cast<PF_PixelPtr>(pixels_.data());
        world_.rowbytes = static_cast<A_long>(stride_ * sizeof(Pixel));
        world_.width = width;
        world_.height = height;
    }

    Pixel &At(int i, int j) { return pixels_[static_cast<std::size_t>(j * stride_ + i)]; }
    PF_EffectWorld *World() { return &world_; }

private:
    int stride_;
    std::vector<Pixel> pixels_;
    PF_EffectWorld world_{};
};
