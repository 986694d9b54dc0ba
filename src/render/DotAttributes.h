// Everything about one dot but its place on the lattice: jitter, size,
// aspect, rotation, opacity and colour, with their random variation, the
// effectors' pull, the rotation type, the front distance and the final clamps.
#pragma once

#include "DotCanvas.h"
#include "DotLattice.h"
#include "DotRng.h"
#include "effectors/EffectorStep.h"

template <typename Pixel>
class DotAttributes {
public:
    // Derives the per-render constants from the record.
    DotAttributes(const RenderRecord &record, const DotLattice &lattice);

    // The dot for the used lattice point (rx, ry), rotated but not yet
    // jittered. Takes exactly nine steps of the generator, in this order:
    // x jitter, y jitter, size, aspect, rotation, opacity, hue, saturation,
    // value. The effectors act between the opacity and the hue draws.
    DotRecord<Pixel> Make(double rx, double ry, DotRng &rng,
                          const effectors::EffectorSet<Pixel> &effectors);

    // On until the first dot that ends without a front distance; from then
    // on no front distance is computed for the rest of the render.
    bool FrontOrdering() const { return frontOrdering_; }

    // Triangle reflection of |v| into 0..1: 1.2 -> 0.8, 2.3 -> 0.3.
    static double Reflect(double v);

private:
    const RenderRecord &record_;
    const DotLattice &lattice_;
    double baseSize_;
    double baseAspect_;    // -1..1
    double baseRotation_;  // radians
    double baseOpacity_;   // clamped to 0..1
    Pixel baseColour_;
    double hueAmount_;  // turns
    double saturationAmount_;
    double valueAmount_;
    bool frontOrdering_ = true;
};

extern template class DotAttributes<AEUtil::Pixel8>;
extern template class DotAttributes<AEUtil::Pixel16>;
extern template class DotAttributes<AEUtil::Pixel32>;
