// The six dot outlines and DrawDot, which places one dot on the canvas.
//
// Every outline is a closed polygon in local coordinates (dot centre at the
// origin, y down) that the canvas's rasteriser fills with the canvas colour
// through the canvas matrix. The builders take the dot's box (left, top,
// width, height) in local coordinates; DrawDot passes (-w/2, -h/2, w, h).
#pragma once

#include "DotCanvas.h"

// Number of points of a circle outline of box size w x h:
// max(trunc(sqrt(w^2 + h^2) * 2pi * 0.125), 8).
int CirclePointCount(double w, double h);

// Appends (cx + rx cos t, cy + ry sin t) for t = start, start + pi/20, ...
// while t < end.
template <typename Pixel>
void AddArc(DotCanvas<Pixel> &canvas, double cx, double cy, double rx, double ry, double start,
            double end);

template <typename Pixel>
void FillCircle(DotCanvas<Pixel> &canvas, double x, double y, double w, double h);
template <typename Pixel>
void FillRectangle(DotCanvas<Pixel> &canvas, double x, double y, double w, double h);
template <typename Pixel>
void FillRoundedRectangle(DotCanvas<Pixel> &canvas, double x, double y, double w, double h);
template <typename Pixel>
void FillCross(DotCanvas<Pixel> &canvas, double x, double y, double w, double h);
template <typename Pixel>
void FillStar(DotCanvas<Pixel> &canvas, double x, double y, double w, double h);
template <typename Pixel>
void FillDiamond(DotCanvas<Pixel> &canvas, double x, double y, double w, double h);

// Draws one dot: the canvas colour becomes the dot's colour, the matrix moves
// to the dot centre and turns by its rotation, the shape's outline is filled,
// and the matrix returns to identity. A dot of zero width or height, or of an
// unknown shape, draws nothing. Always returns 0.
template <typename Pixel>
int DrawDot(DotCanvas<Pixel> &canvas, const DotRecord<Pixel> &dot);

#define STIPPLEX_DOT_SHAPES_EXTERN(P)                                                             \
    extern template void AddArc<P>(DotCanvas<P> &, double, double, double, double, double,        \
                                   double);                                                       \
    extern template void FillCircle<P>(DotCanvas<P> &, double, double, double, double);           \
    extern template void FillRectangle<P>(DotCanvas<P> &, double, double, double, double);        \
    extern template void FillRoundedRectangle<P>(DotCanvas<P> &, double, double, double, double); \
    extern template void FillCross<P>(DotCanvas<P> &, double, double, double, double);            \
    extern template void FillStar<P>(DotCanvas<P> &, double, double, double, double);             \
    extern template void FillDiamond<P>(DotCanvas<P> &, double, double, double, double);          \
    extern template int DrawDot<P>(DotCanvas<P> &, const DotRecord<P> &);
STIPPLEX_DOT_SHAPES_EXTERN(AEUtil::Pixel8)
STIPPLEX_DOT_SHAPES_EXTERN(AEUtil::Pixel16)
STIPPLEX_DOT_SHAPES_EXTERN(AEUtil::Pixel32)
#undef STIPPLEX_DOT_SHAPES_EXTERN
