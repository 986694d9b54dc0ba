#include "Image.h"

#include <stdexcept>

namespace cli {

std::string DepthName(Depth depth)
{
    return std::to_string(static_cast<int>(depth));
}

Image::Image(int width, int height, Depth depth) : width_(width), height_(height), depth_(depth)
{
    if (width < 0 || height < 0) {
        throw std::invalid_argument("image size must not be negative");
    }
    switch (depth) {
        case Depth::k8:
            p8_.assign(PixelCount(), Argb8{0, 0, 0, 0});
            break;
        case Depth::k16:
            p16_.assign(PixelCount(), Argb16{0, 0, 0, 0});
            break;
        case Depth::k32:
            pF_.assign(PixelCount(), ArgbF{0, 0, 0, 0});
            break;
    }
}

std::size_t Image::PixelBytes() const
{
    switch (depth_) {
        case Depth::k8:
            return sizeof(Argb8);
        case Depth::k16:
            return sizeof(Argb16);
        case Depth::k32:
            return sizeof(ArgbF);
    }
    return 0;
}

unsigned char *Image::Row(int y)
{
    const std::size_t offset =
        static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) * PixelBytes();
    switch (depth_) {
        case Depth::k8:
            return reinterpret_cast<unsigned char *>(p8_.data()) + offset;
        case Depth::k16:
            return reinterpret_cast<unsigned char *>(p16_.data()) + offset;
        case Depth::k32:
            break;
    }
    return reinterpret_cast<unsigned char *>(pF_.data()) + offset;
}

const unsigned char *Image::Row(int y) const
{
    return const_cast<Image *>(this)->Row(y);
}

namespace {
void Require(Depth have, Depth want)
{
    if (have != want) {
        throw std::logic_error("image of depth " + DepthName(have) + " accessed as depth " +
                               DepthName(want));
    }
}
}  // namespace

Argb8 *Image::Pixels8()
{
    Require(depth_, Depth::k8);
    return p8_.data();
}
Argb16 *Image::Pixels16()
{
    Require(depth_, Depth::k16);
    return p16_.data();
}
ArgbF *Image::PixelsF()
{
    Require(depth_, Depth::k32);
    return pF_.data();
}
const Argb8 *Image::Pixels8() const
{
    Require(depth_, Depth::k8);
    return p8_.data();
}
const Argb16 *Image::Pixels16() const
{
    Require(depth_, Depth::k16);
    return p16_.data();
}
const ArgbF *Image::PixelsF() const
{
    Require(depth_, Depth::k32);
    return pF_.data();
}

}  // namespace cli
