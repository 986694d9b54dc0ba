// The effector step: the three effectors acting on one dot's running values.
#pragma once

#include "RenderRecord.h"

namespace effectors {

// The running values of one dot while its attributes are computed. The
// renderer fills them from the parameters and the generator, hands them to
// the effectors, then clamps and packs them into the dot record.
template <typename Pixel>
struct DotValues {
    double x = 0, y = 0;  // centre on the canvas, after jitter
    double front = -1;    // squared front distance, -1 when none
    double size = 0;      // pixels
    double aspect = 0;    // -1..1 once clamped
    double rotation = 0;  // radians
    double opacity = 0;   // 0..1 once clamped
    Pixel colour{};
};

// The three effectors of one frame: their maps and derived values, built once
// before the lattice walk and released when the frame's render returns.
template <typename Pixel>
class EffectorSet {
public:
    EffectorSet(const RenderRecord &record, double canvasWidth, double canvasHeight);
    ~EffectorSet();
    EffectorSet(const EffectorSet &) = delete;
    EffectorSet &operator=(const EffectorSet &) = delete;

    // Effectors 1, 2, 3 in turn on the dot's running values. While front
    // ordering is off, no effector computes a front distance.
    void Apply(DotValues<Pixel> &dot, bool frontOrdering) const;

private:
    struct Impl;
    Impl *impl_;
};

}  // namespace effectors
