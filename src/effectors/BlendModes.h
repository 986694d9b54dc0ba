// The effector colour's blend modes at the three depths. Blending changes
// red, green and blue only; the result keeps the base's alpha.
#pragma once

#include "Pixels.h"

namespace effectors {

enum class BlendMode : A_long {
    Normal = 1,
    Add = 2,
    Subtract = 3,
    Multiply = 4,
    Screen = 5,
    Overlay = 6,
    HardLight = 7,
    SoftLight = 8,
    Darken = 9,
    Lighten = 10,
    Difference = 11,
    Exclusion = 12,
};

// The blend-mode popup has separator lines at 2 and 10; they, and any value
// outside the popup, blend as Normal.
BlendMode BlendModeFromPopup(A_long popup);

// Blends `source` onto `base` and writes red, green and blue of `dst`, never
// its alpha (pass a copy of the base to get the base's alpha). A transparent
// source leaves the base colour. Add and Subtract fold the source alpha into
// the source; the other modes composite their per-channel result over the
// base with the source alpha. A mode outside 1..12 leaves `dst` untouched.
void BlendPixel(AEUtil::Pixel8 &dst, const AEUtil::Pixel8 &base, const AEUtil::Pixel8 &source,
                BlendMode mode);
void BlendPixel(AEUtil::Pixel16 &dst, const AEUtil::Pixel16 &base, const AEUtil::Pixel16 &source,
                BlendMode mode);
void BlendPixel(AEUtil::Pixel32 &dst, const AEUtil::Pixel32 &base, const AEUtil::Pixel32 &source,
                BlendMode mode);

// Straight-alpha "over" of `top` on `base`, red, green and blue into `dst`:
// the base is weighted by (1 - top alpha) x base alpha, the top by its alpha.
// An opaque top replaces the colour outright.
void CompositeNormal(AEUtil::Pixel8 &dst, const AEUtil::Pixel8 &base, const AEUtil::Pixel8 &top);
void CompositeNormal(AEUtil::Pixel16 &dst, const AEUtil::Pixel16 &base, const AEUtil::Pixel16 &top);
void CompositeNormal(AEUtil::Pixel32 &dst, const AEUtil::Pixel32 &base, const AEUtil::Pixel32 &top);

}  // namespace effectors
