// Anti-aliased polygon filling on a DotCanvas: 8 x 8 sub-samples per pixel,
// non-zero winding, straight-alpha compositing of the canvas colour.
//
// Outlines that are convex and monotone in Y take a fast path with one span
// per sub-row; everything else (the cross, the self-crossing star) takes the
// general scanline path with an active edge list.
//
// Each path exists twice: the plain one collects spans in SpanCoverage and
// composites pixel by pixel; the fast ones (the default) skip the sorted span
// lists: the convex one keeps its spans in fixed arrays, counts the edge
// pixels of a row directly and writes a row's fully covered middle in one
// run; the general one counts each sub-row's merged spans as they come.
// Both give the same bytes; the plain paths stay as the reference the fast
// ones are checked against.
#pragma once

#include <vector>

#include "DotCanvas.h"
#include "SpanCoverage.h"

template <typename Pixel>
class PolygonRasterizer {
public:
    // Binds to the canvas for its life: its pixels, size, row stride, matrix
    // and colour are read at each Fill.
    explicit PolygonRasterizer(DotCanvas<Pixel> &canvas);
    PolygonRasterizer(const PolygonRasterizer &) = delete;
    PolygonRasterizer &operator=(const PolygonRasterizer &) = delete;

    // Empties the point list (its capacity is kept).
    void Clear()
    {
        points_.clear();
        outline_.shape = 0;
    }
    // Appends a point in local coordinates.
    void AddPoint(double x, double y)
    {
        points_.push_back(Point{x, y, 0, 0});
        outline_.shape = 0;
    }
    // Whether the points are still the outline of `shape` over the box x, y,
    // w, h that SetOutline named last (Fill leaves the local points as they
    // are), so that a run of equal dots builds its outline once. Never on
    // the plain paths, which build every outline afresh.
    bool HoldsOutline(unsigned shape, double x, double y, double w, double h) const
    {
        return !plain_ && shape != 0 && outline_.shape == shape && outline_.x == x &&
               outline_.y == y && outline_.w == w && outline_.h == h;
    }
    void SetOutline(unsigned shape, double x, double y, double w, double h)
    {
        outline_ = Outline{shape, x, y, w, h};
    }
    size_t PointCount() const { return points_.size(); }

    // Transforms the points by the canvas matrix and fills the closed outline
    // with the canvas colour. Fewer than 3 points fill nothing.
    void Fill();

    // Asks for the canvas pixels within `radius` of (cx, cy), canvas
    // coordinates, ahead of a fill there. Draws nothing.
    void Prefetch(double cx, double cy, double radius);

    // The points of the last Fill, local and transformed (X, Y: canvas
    // coordinates), e.g. to hand the same outline to another renderer.
    struct Point {
        double x, y;  // local
        double X, Y;  // canvas
    };
    const std::vector<Point> &Points() const { return points_; }

    // Plain paths on (true) or the fast ones (false, the default).
    void UsePlainPaths(bool plain) { plain_ = plain; }
    bool PlainPaths() const { return plain_; }

    enum class Path { None, Convex, General };
    // Which path the last Fill took (None when it had nothing to fill).
    Path LastPath() const { return lastPath_; }

private:
    struct Edge {
        double upperY;
        double x;      // at the current sub-row
        double step;   // x change per sub-row
        int dir;       // -1 when the outline runs toward larger Y, +1 otherwise
        int firstRow;  // active on sub-rows firstRow .. lastRow - 1
        int lastRow;
    };

    bool IsConvex(double extent) const;
    int YDirectionChanges(double extent) const;
    void FillConvex();
    void FillConvexFast();
    void BuildEdges(double &minY, double &maxY);
    bool UpdateActive(int s, size_t &next, int &nextEnd);
    void SortActive();
    // f(xstart, xend) for each span of the sorted active edges, left to
    // right: from where the winding sum leaves zero to where it returns.
    template <typename F>
    void ForEachSpan(F &&f) const
    {
        int winding = 0;
        double start = 0;
        for (const Edge *e : active_) {
            const int before = winding;
            winding += e->dir;
            if (before == 0 && winding != 0) {
                start = e->x;
            } else if (before != 0 && winding == 0) {
                f(start, e->x);
            }
        }
    }
    void FillGeneral();
    void FillGeneralFast();
    // Adds the sub-columns start..end of one sub-row to counts_ / whole_ and
    // widens countFrom_ .. countTo_ (pixels) to hold them.
    void CountSpan(int start, int end);
    void CompositeCounts(int row);
    void CompositeRow(int row);
    // The spans lo[r]..hi[r] of the 8 sub-rows of pixel row `row` (an empty
    // sub-row has lo > hi), minLo and maxHi over the non-empty ones.
    void CompositeSpans(int row, const int *lo, const int *hi, int minLo, int maxHi);

    DotCanvas<Pixel> &canvas_;
    std::vector<Point> points_;
    std::vector<Edge> edges_;
    std::vector<Edge *> active_;
    std::vector<int> subRowOf_;  // per point, its rounded sub-row (convex path)
    render::SpanCoverage coverage_;
    // Fast general path, per pixel of the row being built: sub-samples of
    // the partly covered pixels, and a difference array adding 8 per sub-row
    // to the pixels a span covers whole. Zero outside countFrom_ .. countTo_.
    std::vector<int> counts_;
    std::vector<int> whole_;
    int countFrom_ = 0;
    int countTo_ = -1;
    // The box of the last Prefetch: its first row's start, its last row and
    // the bytes asked for of each row.
    struct Prefetched {
        const char *first = nullptr;
        int lastRow = -1;
        int from = 0, to = 0;
    };
    Prefetched prefetched_;
    struct Outline {
        unsigned shape = 0;  // none
        double x = 0, y = 0, w = 0, h = 0;
    };
    Outline outline_;
    Path lastPath_ = Path::None;
    bool plain_ = false;
};

extern template class PolygonRasterizer<AEUtil::Pixel8>;
extern template class PolygonRasterizer<AEUtil::Pixel16>;
extern template class PolygonRasterizer<AEUtil::Pixel32>;
