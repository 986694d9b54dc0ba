#include "effectors/LayerEffectMap.h"

#include <algorithm>
#include <cmath>

namespace effectors {

namespace {

constexpr double kDegToRad = 0.017453292519943295;

// Indices are kept well inside 64 bits so that the folds below never
// overflow, however far off the layer a coordinate lands.
constexpr double kIndexLimit = 4611686018427387904.0;  // 2^62

template <typename Pixel>
struct Depth;

template <>
struct Depth<AEUtil::Pixel8> {
    static constexpr A_u_char kOpaque = 255;
    static double Weight(const AEUtil::Pixel8 &p)
    {
        const double lum =
            (0.586611 * p.green + 0.298912 * p.red + 0.114478 * p.blue) * 0.00392156862745098;
        return p.alpha * std::min(lum, 1.0) * 0.00392156862745098;
    }
};

template <>
struct Depth<AEUtil::Pixel16> {
    static constexpr A_u_short kOpaque = 32768;
    static double Weight(const AEUtil::Pixel16 &p)
    {
        const double lum =
            (0.586611 * p.green + 0.298912 * p.red + 0.114478 * p.blue) * 3.0517578125e-5;
        return p.alpha * std::min(lum, 1.0) * 3.0517578125e-5;
    }
};

template <>
struct Depth<AEUtil::Pixel32> {
    static constexpr float kOpaque = 1.0f;
    // Float layers may be brighter than white: the weight goes above 1.
    static double Weight(const AEUtil::Pixel32 &p)
    {
        return (0.586611 * static_cast<double>(p.green) + 0.298912 * static_cast<double>(p.red) +
                0.114478 * static_cast<double>(p.blue)) *
               static_cast<double>(p.alpha);
    }
};

template <typename Pixel>
Pixel OpaqueBlack()
{
    Pixel p{};
    p.alpha = Depth<Pixel>::kOpaque;
    return p;
}

}  // namespace

TileMode TileModeFromPopup(A_long popup)
{
    switch (popup) {
        case 1:
            return TileMode::None;
        case 2:
            return TileMode::Repeat;
        case 3:
            return TileMode::Symmetric;
        case 4:
            return TileMode::ExtendEdges;
        default:
            return TileMode::Unrecognised;
    }
}

std::int64_t RoundLayerCoordinate(double t)
{
    const double r = std::floor(t + 0.5);
    if (!(r >= -kIndexLimit)) {  // also NaN
        return static_cast<std::int64_t>(-kIndexLimit);
    }
    if (r > kIndexLimit) {
        return static_cast<std::int64_t>(kIndexLimit);
    }
    return static_cast<std::int64_t>(r);
}

std::int64_t FoldIndex(std::int64_t i, std::int64_t size, TileMode mode)
{
    if (i >= 0 && i < size) {
        return i;
    }
    switch (mode) {
        case TileMode::ExtendEdges:
            return i < 0 ? 0 : size - 1;
        case TileMode::Repeat:
            // The negative branch is i mod size with a division that
            // truncates toward zero: (i - size + 1) / size is floor(i / size).
            return i < 0 ? i - ((i - size + 1) / size) * size : i % size;
        case TileMode::Symmetric: {
            // Mirror copies alternate: even copies run forward, odd ones back,
            // and the edge column is repeated at each seam.
            const std::int64_t k = i < 0 ? -i : i;
            const std::int64_t q = k / size;
            const std::int64_t r = k % size;
            return (q % 2 != 0) ? size - 1 - r : r;
        }
        case TileMode::None:
            return -1;
        case TileMode::Unrecognised:
            break;
    }
    return i;
}

template <typename Pixel>
LayerEffectMap<Pixel>::LayerEffectMap(double centreX, double centreY, double angleDegrees,
                                      double scaleX, double scaleY, A_long tilePopup,
                                      const PF_EffectWorld *layer)
    : layer_(layer),
      a_(1.0),
      b_(0.0),
      c_(0.0),
      d_(0.0),
      e_(1.0),
      f_(0.0),
      tileMode_(TileModeFromPopup(tilePopup)),
      outsidePixel_(OpaqueBlack<Pixel>())
{
    if (layer_ != nullptr) {
        // T(W/2, H/2) . S(scaleX, scaleY) . R(-angle) . T(-centre): the canvas
        // centre lands on the layer's centre pixel and the layer appears
        // turned by the angle.
        const double w = layer_->width;
        const double h = layer_->height;
        const double rad = angleDegrees * kDegToRad;
        const double cs = std::cos(rad);
        const double sn = std::sin(rad);
        a_ = scaleX * cs;
        b_ = scaleX * sn;
        c_ = w / 2.0 - a_ * centreX - b_ * centreY;
        d_ = -(scaleY * sn);
        e_ = scaleY * cs;
        f_ = h / 2.0 - d_ * centreX - e_ * centreY;
    }
}

template <typename Pixel>
bool LayerEffectMap<Pixel>::HasPixels() const
{
    return layer_ != nullptr && layer_->width > 0 && layer_->height > 0;
}

template <typename Pixel>
const Pixel &LayerEffectMap<Pixel>::PixelAt(std::int64_t i, std::int64_t j) const
{
    return AEUtil::RowOf<Pixel>(layer_->data, layer_->rowbytes, static_cast<A_long>(j))[i];
}

template <typename Pixel>
void LayerEffectMap<Pixel>::LayerIndex(double x, double y, std::int64_t &i, std::int64_t &j) const
{
    const double u = a_ * x + b_ * y + c_;
    const double v = d_ * x + e_ * y + f_;
    i = RoundLayerCoordinate(u);
    j = RoundLayerCoordinate(v);
}

template <typename Pixel>
Pixel LayerEffectMap<Pixel>::SampleTiled(double x, double y) const
{
    if (!HasPixels()) {
        return OpaqueBlack<Pixel>();
    }
    std::int64_t i, j;
    LayerIndex(x, y, i, j);
    const std::int64_t w = layer_->width;
    const std::int64_t h = layer_->height;
    i = FoldIndex(i, w, tileMode_);
    j = FoldIndex(j, h, tileMode_);
    if (tileMode_ == TileMode::None && (i < 0 || j < 0)) {
        return outsidePixel_;
    }
    if (i >= 0 && i < w && j >= 0 && j < h) {
        return PixelAt(i, j);
    }
    return OpaqueBlack<Pixel>();
}

template <typename Pixel>
Pixel LayerEffectMap<Pixel>::SamplePlain(double x, double y, const Pixel &fallback) const
{
    // A layer without pixels reads black rather than the fallback, as the
    // tiled sampler does.
    if (!HasPixels()) {
        return OpaqueBlack<Pixel>();
    }
    std::int64_t i, j;
    LayerIndex(x, y, i, j);
    if (i >= 0 && i < layer_->width && j >= 0 && j < layer_->height) {
        return PixelAt(i, j);
    }
    return fallback;
}

template <typename Pixel>
double LayerEffectMap<Pixel>::Evaluate(double x, double y) const
{
    return Depth<Pixel>::Weight(SampleTiled(x, y));
}

template class LayerEffectMap<AEUtil::Pixel8>;
template class LayerEffectMap<AEUtil::Pixel16>;
template class LayerEffectMap<AEUtil::Pixel32>;

}  // namespace effectors
