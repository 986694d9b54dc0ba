// The drawing target of one render and the dots drawn on it.
#pragma once

#include "Pixels.h"

template <typename Pixel>
class PolygonRasterizer;

// A canvas over pixels that someone else owns (the driver's temporary world,
// or a test's buffer). Rows are `rowbytes` apart and may be padded; nothing
// outside width x height pixels of each row is ever touched.
template <typename Pixel>
struct DotCanvas {
    Pixel *pixels = nullptr;
    A_long width = 0;
    A_long height = 0;
    A_long rowbytes = 0;
    // Local to canvas: X = m00*x + m01*y + m02, Y = m10*x + m11*y + m12.
    // Identity whenever no dot is being drawn.
    double m00 = 1, m01 = 0, m02 = 0;
    double m10 = 0, m11 = 1, m12 = 0;
    Pixel colour{};  // colour of the polygon being filled
    PolygonRasterizer<Pixel> *rasterizer = nullptr;

    bool MatrixIsIdentity() const
    {
        return m00 == 1 && m01 == 0 && m02 == 0 && m10 == 0 && m11 == 1 && m12 == 0;
    }
    void ResetMatrix()
    {
        m00 = 1, m01 = 0, m02 = 0;
        m10 = 0, m11 = 1, m12 = 0;
    }
};

// One dot, ready to be drawn.
template <typename Pixel>
struct DotRecord {
    double front;  // squared front distance, or -1.0 when no front ordering applies
    double x, y;   // centre on the canvas, after jitter
    Pixel colour;  // alpha carries the dot's opacity
    double width;  // extent in pixels after aspect
    double height;
    double rotation;  // radians, clockwise on screen (y points down)
    A_u_long shape;   // dot shape code 1..6
};

// Dot shape codes, as the shape popup numbers them.
enum DotShapeCode : A_u_long {
    kShapeCircle = 1,
    kShapeRectangle = 2,
    kShapeRoundedRectangle = 3,
    kShapeCross = 4,
    kShapeStar = 5,
    kShapeDiamond = 6,
};
