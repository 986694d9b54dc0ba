// One frame of halftone dots: the lattice is walked ring by ring, every used
// point becomes a dot, the dots are sorted and drawn one after another.
#pragma once

#include <vector>

#include "DotCanvas.h"
#include "RenderRecord.h"

// The dots of one frame, in walk order, before sorting.
template <typename Pixel>
struct DotLayout {
    std::vector<DotRecord<Pixel>> dots;
    // Whether the dots carry front distances (drawn farthest first) or not
    // (drawn top to bottom, left to right).
    bool frontOrdering = false;
};

// Seeds the generator from the record, builds the frame's effectors and
// computes every used dot for a canvas of width x height pixels.
template <typename Pixel>
DotLayout<Pixel> LayOutDots(const RenderRecord &record, A_long width, A_long height);

// Sorts the dots into drawing order: by front distance, farthest first, when
// front ordering is on; otherwise by y, then x. Equal keys keep no
// particular order.
template <typename Pixel>
void SortForDrawing(std::vector<DotRecord<Pixel>> &dots, bool frontOrdering);

// Lays out, sorts and draws the frame's dots onto the canvas. After the k-th
// dot, when the record has in_data, reports min(100 k / count, 100) of 100
// through its progress callback; a non-zero answer stops the drawing and is
// returned. Otherwise returns 0. When the canvas has no rasteriser, one is
// made for the call.
template <typename Pixel>
PF_Err RenderDots(RenderRecord &record, DotCanvas<Pixel> &canvas);

#define STIPPLEX_RENDER_DOTS_EXTERN(P)                                                \
    extern template DotLayout<P> LayOutDots<P>(const RenderRecord &, A_long, A_long); \
    extern template void SortForDrawing<P>(std::vector<DotRecord<P>> &, bool);        \
    extern template PF_Err RenderDots<P>(RenderRecord &, DotCanvas<P> &);
STIPPLEX_RENDER_DOTS_EXTERN(AEUtil::Pixel8)
STIPPLEX_RENDER_DOTS_EXTERN(AEUtil::Pixel16)
STIPPLEX_RENDER_DOTS_EXTERN(AEUtil::Pixel32)
#undef STIPPLEX_RENDER_DOTS_EXTERN
