// The custom-map layer as an effect map: another layer's pixels placed over
// the canvas, tiled beyond its edges, read nearest-neighbour, weighted by
// luminance times alpha. It also lends its pixels as dot colours.
#pragma once

#include <cstdint>

#include "Pixels.h"
#include "effectors/EffectMap.h"

namespace effectors {

// How sampling folds an index that falls off the layer. The codes are not the
// tile popup's values; see TileModeFromPopup.
enum class TileMode : A_long {
    Unrecognised = -1,
    None = 0,
    ExtendEdges = 1,
    Repeat = 2,
    Symmetric = 3,
};

// Tile popup: 1 None, 2 Repeat, 3 Symmetric, 4 Extend Edges.
TileMode TileModeFromPopup(A_long popup);

// Nearest layer index to a layer coordinate: floor(t + 0.5), so halves go up
// (-0.5 gives 0, 2.5 gives 3). Saturates far outside any layer; NaN counts as
// far to the left.
std::int64_t RoundLayerCoordinate(double t);

// Folds index i into [0, size) by the tile mode. None gives -1 for an index
// outside; an unrecognised mode leaves it as it is. size must be above 0.
std::int64_t FoldIndex(std::int64_t i, std::int64_t size, TileMode mode);

template <typename Pixel>
class LayerEffectMap final : public BaseEffectMap {
public:
    // Places the layer's centre pixel on (centreX, centreY), scaled and then
    // turned by angleDegrees. `layer` may be null; such a map is never
    // sampled (the effector step skips effectors without a layer).
    LayerEffectMap(double centreX, double centreY, double angleDegrees, double scaleX,
                   double scaleY, A_long tilePopup, const PF_EffectWorld *layer);

    // Luminance x alpha of the tiled sample; 1 for opaque white. 8- and 16-bit
    // luminance is clamped to 1 before the alpha, float is not clamped at all.
    double Evaluate(double x, double y) const override;

    // The layer pixel under a canvas point, tile mode applied. Outside an
    // untiled layer, or on a layer without pixels: opaque black.
    Pixel SampleTiled(double x, double y) const;

    // The layer pixel under a canvas point, or `fallback` off the layer. The
    // tile mode plays no part.
    Pixel SamplePlain(double x, double y, const Pixel &fallback) const;

    TileMode Tile() const { return tileMode_; }

private:
    bool HasPixels() const;
    const Pixel &PixelAt(std::int64_t i, std::int64_t j) const;
    void LayerIndex(double x, double y, std::int64_t &i, std::int64_t &j) const;

    const PF_EffectWorld *layer_;
    // Canvas to layer coordinates: u = a x + b y + c, v = d x + e y + f.
    double a_, b_, c_, d_, e_, f_;
    TileMode tileMode_;
    Pixel outsidePixel_;
};

extern template class LayerEffectMap<AEUtil::Pixel8>;
extern template class LayerEffectMap<AEUtil::Pixel16>;
extern template class LayerEffectMap<AEUtil::Pixel32>;

}  // namespace effectors
