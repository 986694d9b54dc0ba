#include "PolygonRasterizer.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "Composite.h"
#include "RepeatedSum.h"

namespace {

constexpr int kSub = render::SpanCoverage::kSubSamples;
constexpr int kNoEnd = 1 << 30;  // beyond the last sub-row of any edge

// trunc(v) as an int; far-off values are limited so that the cast stays
// defined (they lie well outside any canvas either way).
int TruncInt(double v)
{
    constexpr double kLimit = 1073741824.0;  // 2^30
    if (v > kLimit) return static_cast<int>(kLimit);
    if (v < -kLimit) return -static_cast<int>(kLimit);
    return static_cast<int>(v);
}

// Two doubles worked on lane by lane, each lane rounded as a double alone.
typedef double Double2 __attribute__((vector_size(16)));

// TruncInt without branches, for a v that is not NaN.
int ClampTrunc(double v)
{
    constexpr double kLimit = 1073741824.0;  // 2^30
    return static_cast<int>(std::min(std::max(v, -kLimit), kLimit));
}

}  // namespace

template <typename Pixel>
PolygonRasterizer<Pixel>::PolygonRasterizer(DotCanvas<Pixel> &canvas) : canvas_(canvas)
{
    points_.reserve(100);
    edges_.reserve(200);
    active_.reserve(200);
    subRowOf_.reserve(100);
    coverage_.Reset(canvas.width);
}

template <typename Pixel>
void PolygonRasterizer<Pixel>::Fill()
{
    lastPath_ = Path::None;
    if (points_.size() < 3) {
        return;
    }

    // ---- Transform into canvas coordinates.
    const DotCanvas<Pixel> &cv = canvas_;
    const bool identity = cv.MatrixIsIdentity();
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (size_t i = 0; i < points_.size(); ++i) {
        Point &p = points_[i];
        if (identity) {
            p.X = p.x;
            p.Y = p.y;
        } else {
            p.X = cv.m00 * p.x + cv.m01 * p.y + cv.m02;
            p.Y = cv.m10 * p.x + cv.m11 * p.y + cv.m12;
        }
        if (!std::isfinite(p.X) || !std::isfinite(p.Y)) {
            return;  // no outline to speak of
        }
        if (i == 0) {
            minX = maxX = p.X;
            minY = maxY = p.Y;
        } else {
            minX = std::min(minX, p.X);
            maxX = std::max(maxX, p.X);
            minY = std::min(minY, p.Y);
            maxY = std::max(maxY, p.Y);
        }
    }

    // ---- Nothing of the outline can reach the canvas. The bounds keep a
    // sub-sample of slack because spans round their ends.
    if (cv.width <= 0 || cv.height <= 0 || maxX * kSub < -2 || maxY * kSub < -2 ||
        minX * kSub > cv.width * kSub + 2.0 || minY * kSub > cv.height * kSub + 2.0) {
        return;
    }
    if (coverage_.Width() != cv.width) {
        coverage_.Reset(cv.width);
    }
    if (counts_.size() != static_cast<size_t>(cv.width) + 1) {
        counts_.assign(static_cast<size_t>(cv.width) + 1, 0);
        whole_.assign(static_cast<size_t>(cv.width) + 1, 0);
        countFrom_ = 0;
        countTo_ = -1;
    }

    const double extent = std::max(maxX - minX, maxY - minY);
    const bool convex = IsConvex(extent) && YDirectionChanges(extent) == 2;

    if (convex) {
        lastPath_ = Path::Convex;
        if (plain_) {
            FillConvex();
        } else {
            FillConvexFast();
        }
    } else {
        lastPath_ = Path::General;
        if (plain_) {
            FillGeneral();
        } else {
            FillGeneralFast();
        }
    }
}

// The rows of a dot lie a canvas row apart, usually outside the caches, and
// its spans reach them one after the other: asked for together, well before
// the first span, their loads overlap. Large boxes are left to the hardware,
// which follows their long runs along a row on its own. A box on the rows of
// the last one that starts within it (dots side by side along a row) asks
// only for the lines beyond the last.
template <typename Pixel>
void PolygonRasterizer<Pixel>::Prefetch(double cx, double cy, double radius)
{
#if defined(__GNUC__)
    constexpr int kMaxRows = 24;
    constexpr int kMaxBytes = 512;
    constexpr std::uintptr_t kLine = 64;
    if (!(radius >= 0 && radius < kMaxRows) || !std::isfinite(cx) || !std::isfinite(cy)) {
        return;
    }
    const int r0 = std::max(TruncInt(cy - radius) - 1, 0);
    const int r1 = std::min(TruncInt(cy + radius) + 1, canvas_.height - 1);
    const int c0 = std::max(TruncInt(cx - radius) - 1, 0);
    const int c1 = std::min(TruncInt(cx + radius) + 1, canvas_.width - 1);
    if (r1 < r0 || c1 < c0) {
        return;
    }
    int from = c0 * static_cast<int>(sizeof(Pixel));  // bytes from .. to - 1 of each row
    const int to = (c1 + 1) * static_cast<int>(sizeof(Pixel));
    if (to - from > kMaxBytes) {
        return;
    }
    const char *first =
        reinterpret_cast<const char *>(AEUtil::RowOf<Pixel>(canvas_.pixels, canvas_.rowbytes, r0));
    Prefetched &last = prefetched_;
    if (first == last.first && r1 == last.lastRow && from >= last.from && from <= last.to) {
        const int done = last.to;
        last.to = std::max(to, done);
        if (to <= done || reinterpret_cast<std::uintptr_t>(first + to - 1) / kLine ==
                              reinterpret_cast<std::uintptr_t>(first + done - 1) / kLine) {
            return;
        }
        from = done;
    } else {
        last = Prefetched{first, r1, from, to};
    }
    for (int r = r0; r <= r1; ++r) {
        const char *row = reinterpret_cast<const char *>(
            AEUtil::RowOf<Pixel>(canvas_.pixels, canvas_.rowbytes, r));
        for (int b = from; b < to; b += static_cast<int>(kLine)) {
            __builtin_prefetch(row + b, 1);
        }
        __builtin_prefetch(row + to - 1, 1);
    }
#else
    (void)cx, (void)cy, (void)radius;
#endif
}

// Both signs of the turn (P[i-1] - P[i-2]) x (P[i] - P[i-2]) around the loop
// mean a concave outline; straight runs (zero turns) are neutral.
//
// "Zero" allows for rounding: outlines repeat points on purpose (each
// rounded-rectangle corner starts on the straight point before it), and the
// trigonometry places the copy an ulp or so away. Turns and Y steps below a
// billionth of the outline's extent count as none, so such a seam neither
// breaks convexity nor adds a change of direction.
template <typename Pixel>
bool PolygonRasterizer<Pixel>::IsConvex(double extent) const
{
    const double tolerance = 1e-9 * extent * extent;
    const size_t n = points_.size();
    bool positive = false, negative = false;
    const Point *p2 = &points_[n - 2];
    const Point *p1 = &points_[n - 1];
    for (size_t i = 0; i < n; ++i) {
        const Point *p0 = &points_[i];
        const double cross = (p1->X - p2->X) * (p0->Y - p2->Y) - (p1->Y - p2->Y) * (p0->X - p2->X);
        if (cross > tolerance) positive = true;
        if (cross < -tolerance) negative = true;
        p2 = p1;
        p1 = p0;
    }
    return !(positive && negative);
}

// How often Y turns between rising and falling around the closed loop,
// passing over steps where Y stays the same.
template <typename Pixel>
int PolygonRasterizer<Pixel>::YDirectionChanges(double extent) const
{
    const double tolerance = 1e-9 * extent;
    const size_t n = points_.size();
    int first = 0, last = 0, changes = 0;
    for (size_t i = 0; i < n; ++i) {
        const double dy = points_[i + 1 == n ? 0 : i + 1].Y - points_[i].Y;
        const int sign = dy > tolerance ? 1 : (dy < -tolerance ? -1 : 0);
        if (sign == 0) continue;
        if (first == 0) {
            first = sign;
        } else if (sign != last) {
            ++changes;
        }
        last = sign;
    }
    if (first != 0 && last != first) {
        ++changes;  // closing the loop
    }
    return changes;
}

// Convex fast path: two chains walk down from the top vertex, one forward and
// one backward through the points, giving one span per sub-row. A sub-sample
// counts when its centre lies between the chains.
template <typename Pixel>
void PolygonRasterizer<Pixel>::FillConvex()
{
    const int n = static_cast<int>(points_.size());
    subRowOf_.resize(static_cast<size_t>(n));
    int top = 0;
    int bottomRow = 0;
    for (int i = 0; i < n; ++i) {
        subRowOf_[i] = TruncInt(points_[i].Y * kSub + 0.5);
        if (subRowOf_[i] < subRowOf_[top]) top = i;
        if (i == 0 || subRowOf_[i] > bottomRow) bottomRow = subRowOf_[i];
    }
    const int rowLimit = canvas_.height * kSub;
    const int first = std::max(subRowOf_[top], 0);
    const int end = std::min(bottomRow, rowLimit);

    // x of the edge a -> b at the centre of sub-row s.
    auto edgeX = [this](int a, int b, int s) {
        const double xa = points_[a].X * kSub, ya = points_[a].Y * kSub;
        const double xb = points_[b].X * kSub, yb = points_[b].Y * kSub;
        double dy = yb - ya;
        if (dy == 0) dy = 1;
        return (s + 0.5 - ya) * (xb - xa) / dy + xa;
    };

    int la = top, lb = (top + 1) % n;      // forward chain
    int ra = top, rb = (top + n - 1) % n;  // backward chain
    int lSteps = 0, rSteps = 0;
    for (int s = first; s < end; ++s) {
        // Vertices on or above this sub-row are passed over.
        while (subRowOf_[lb] <= s && lSteps < n) {
            la = lb;
            lb = (lb + 1) % n;
            ++lSteps;
        }
        while (subRowOf_[rb] <= s && rSteps < n) {
            ra = rb;
            rb = (rb + n - 1) % n;
            ++rSteps;
        }
        const double x1 = edgeX(la, lb, s);
        const double x2 = edgeX(ra, rb, s);
        const double xl = std::min(x1, x2);
        const double xr = std::max(x1, x2);
        coverage_.Add(s % kSub, TruncInt(xl + 0.5), TruncInt(xr - 0.5));
        if (s % kSub == kSub - 1) {
            CompositeRow(s / kSub);
        }
    }
    if (!coverage_.Empty()) {
        CompositeRow((end - 1) / kSub);  // a last, partial pixel row
    }
}

// The convex path's fast form: the same chains, sub-rows and spans, kept in
// fixed arrays for the pixel row being built and composited by
// CompositeSpans. Each chain edge's terms are taken once, when the chain
// reaches it.
template <typename Pixel>
void PolygonRasterizer<Pixel>::FillConvexFast()
{
    const int n = static_cast<int>(points_.size());
    subRowOf_.resize(static_cast<size_t>(n));
    int *subRow = subRowOf_.data();
    int top = 0;
    int bottomRow = 0;
    for (int i = 0; i < n; ++i) {
        subRow[i] = ClampTrunc(points_[i].Y * kSub + 0.5);
        if (subRow[i] < subRow[top]) top = i;
        if (i == 0 || subRow[i] > bottomRow) bottomRow = subRow[i];
    }
    const int rowLimit = canvas_.height * kSub;
    const int first = std::max(subRow[top], 0);
    const int end = std::min(bottomRow, rowLimit);
    if (first >= end) {
        return;
    }

    // The two chain edges a -> b in sub-sample units, forward (lane 0) and
    // backward (lane 1): x at the centre of sub-row s is
    // (s + 0.5 - ya) * dx / dy + xa, both lanes in one go.
    Double2 xa{}, ya{}, dx{}, dy{};
    auto set = [&](int k, const Point &a, const Point &b) {
        xa[k] = a.X * kSub;
        ya[k] = a.Y * kSub;
        dx[k] = b.X * kSub - xa[k];
        dy[k] = b.Y * kSub - ya[k];
        if (dy[k] == 0) dy[k] = 1;
    };

    int la = top, lb = top + 1 == n ? 0 : top + 1;  // forward chain
    int ra = top, rb = top == 0 ? n - 1 : top - 1;  // backward chain
    int lSteps = 0, rSteps = 0;
    set(0, points_[la], points_[lb]);
    set(1, points_[ra], points_[rb]);

    constexpr int kNone = 1 << 29;  // lo of an empty sub-row (hi is -1)
    const int limit = canvas_.width * kSub - 1;
    int lo[kSub], hi[kSub];
    for (int row = first / kSub; row * kSub < end; ++row) {
        const int base = row * kSub;
        const int from = std::max(base, first), to = std::min(base + kSub, end);
        if (from != base || to != base + kSub) {
            std::fill(lo, lo + kSub, kNone);
            std::fill(hi, hi + kSub, -1);
        }
        int minLo = kNone, maxHi = -1;
        for (int s = from; s < to; ++s) {
            // Vertices on or above this sub-row are passed over.
            if (subRow[lb] <= s && lSteps < n) {
                do {
                    la = lb;
                    lb = lb + 1 == n ? 0 : lb + 1;
                    ++lSteps;
                } while (subRow[lb] <= s && lSteps < n);
                set(0, points_[la], points_[lb]);
            }
            if (subRow[rb] <= s && rSteps < n) {
                do {
                    ra = rb;
                    rb = rb == 0 ? n - 1 : rb - 1;
                    ++rSteps;
                } while (subRow[rb] <= s && rSteps < n);
                set(1, points_[ra], points_[rb]);
            }
            const double centre = s + 0.5;
            const Double2 x = (Double2{centre, centre} - ya) * dx / dy + xa;
            const int start = std::max(ClampTrunc(std::min(x[0], x[1]) + 0.5), 0);
            const int stop = std::min(ClampTrunc(std::max(x[0], x[1]) - 0.5), limit);
            const bool empty = start > stop;
            lo[s - base] = empty ? kNone : start;
            hi[s - base] = empty ? -1 : stop;
            minLo = std::min(minLo, lo[s - base]);
            maxHi = std::max(maxHi, hi[s - base]);
        }
        if (maxHi >= 0) {
            CompositeSpans(row, lo, hi, minLo, maxHi);
        }
    }
}

// The outline's non-horizontal edges in sub-sample units, sorted by their
// upper end, and the outline's vertical extent.
template <typename Pixel>
void PolygonRasterizer<Pixel>::BuildEdges(double &minY, double &maxY)
{
    const size_t n = points_.size();
    edges_.clear();
    minY = points_[0].Y * kSub;
    maxY = minY;
    for (size_t i = 0; i < n; ++i) {
        const Point &a = points_[i];
        const Point &b = points_[i + 1 == n ? 0 : i + 1];
        const double ya = a.Y * kSub, yb = b.Y * kSub;
        minY = std::min(minY, ya);
        maxY = std::max(maxY, ya);
        if (ya == yb) {
            continue;  // horizontal: active on no sub-row
        }
        const bool down = yb > ya;
        const Point &upper = down ? a : b;
        const Point &lower = down ? b : a;
        const double uy = upper.Y * kSub, ly = lower.Y * kSub;
        const double ux = upper.X * kSub, lx = lower.X * kSub;
        Edge e;
        e.upperY = uy;
        e.x = ux;
        e.step = (lx - ux) / (ly - uy);
        e.dir = down ? -1 : 1;
        e.firstRow = TruncInt(uy + 0.5);
        e.lastRow = TruncInt(ly + 0.5);
        if (e.firstRow < e.lastRow) {
            edges_.push_back(e);
        }
    }
    std::sort(edges_.begin(), edges_.end(),
              [](const Edge &l, const Edge &r) { return l.upperY < r.upperY; });
}

// Admits the edges from edges_[next] on that start by sub-row s and, on the
// sub-rows where one ends (nextEnd, the smallest lastRow among the active
// ones), drops those that have ended. False once no edge is active and none
// is left to come.
template <typename Pixel>
bool PolygonRasterizer<Pixel>::UpdateActive(int s, size_t &next, int &nextEnd)
{
    while (next < edges_.size() && edges_[next].firstRow <= s) {
        nextEnd = std::min(nextEnd, edges_[next].lastRow);
        active_.push_back(&edges_[next++]);
    }
    if (nextEnd <= s) {
        active_.erase(std::remove_if(active_.begin(), active_.end(),
                                     [s](const Edge *e) { return e->lastRow <= s; }),
                      active_.end());
        nextEnd = kNoEnd;
        for (const Edge *e : active_) {
            nextEnd = std::min(nextEnd, e->lastRow);
        }
    }
    return !(active_.empty() && next == edges_.size());
}

// Insertion sort by x: the order changes little from one sub-row to the next.
template <typename Pixel>
void PolygonRasterizer<Pixel>::SortActive()
{
    for (size_t i = 1; i < active_.size(); ++i) {
        Edge *e = active_[i];
        size_t j = i;
        while (j > 0 && active_[j - 1]->x > e->x) {
            active_[j] = active_[j - 1];
            --j;
        }
        active_[j] = e;
    }
}

// General path: non-zero winding over an active edge list, sub-row by
// sub-row. Spans run between the edges where the winding sum leaves and
// returns to zero.
template <typename Pixel>
void PolygonRasterizer<Pixel>::FillGeneral()
{
    double minY = 0, maxY = 0;
    BuildEdges(minY, maxY);

    const int rowLimit = canvas_.height * kSub;
    const int from = TruncInt(minY + 0.5);
    const int to = TruncInt(maxY + 0.5);
    active_.clear();
    size_t next = 0;
    int nextEnd = kNoEnd;
    int pendingRow = -1;
    for (int s = from; s <= to && s < rowLimit; ++s) {
        if (!UpdateActive(s, next, nextEnd)) {
            break;
        }
        if (s >= 0) {
            SortActive();
            ForEachSpan([&](double start, double end) {
                coverage_.Add(s % kSub, TruncInt(start + 0.5), TruncInt(end + 0.5));
            });
            pendingRow = s / kSub;
            if (s % kSub == kSub - 1) {
                CompositeRow(pendingRow);
            }
        }
        for (Edge *e : active_) {
            e->x += e->step;
        }
    }
    if (!coverage_.Empty()) {
        CompositeRow(pendingRow);
    }
}

// The general path's fast form: the same edges, order and spans. A sub-row's
// spans come left to right with starts that never decrease, so each one
// either joins the previous (touching or overlapping) or closes it; closed
// spans go straight into the pixel counts. Edges leave the active list only
// on the sub-rows where one of them ends.
template <typename Pixel>
void PolygonRasterizer<Pixel>::FillGeneralFast()
{
    double minY = 0, maxY = 0;
    BuildEdges(minY, maxY);

    const int rowLimit = canvas_.height * kSub;
    const int limit = canvas_.width * kSub - 1;
    const int from = TruncInt(minY + 0.5);
    const int to = TruncInt(maxY + 0.5);
    active_.clear();
    size_t next = 0;
    int nextEnd = kNoEnd;
    int pendingRow = -1;
    // Sub-rows above the canvas only move the edges along: an edge that
    // reaches the canvas starts on sub-row 0 with the x its steps down to
    // there give it; one that ends above it comes and goes on sub-row 0.
    for (Edge &e : edges_) {
        if (e.firstRow >= 0) {
            break;
        }
        if (e.lastRow > 0) {
            e.x = render::AddRepeatedly(e.x, e.step, -static_cast<std::int64_t>(e.firstRow));
            e.firstRow = 0;
        }
    }
    for (int s = std::max(from, 0); s <= to && s < rowLimit; ++s) {
        if (!UpdateActive(s, next, nextEnd)) {
            break;
        }
        SortActive();
        int spanStart = 0, spanEnd = -2;  // the open span (none while spanEnd < spanStart)
        ForEachSpan([&](double start, double end) {
            const int a = std::max(TruncInt(start + 0.5), 0);
            const int b = std::min(TruncInt(end + 0.5), limit);
            if (a > b) return;
            if (spanEnd >= spanStart && a <= spanEnd + 1) {
                spanEnd = std::max(spanEnd, b);
            } else {
                if (spanEnd >= spanStart) CountSpan(spanStart, spanEnd);
                spanStart = a;
                spanEnd = b;
            }
        });
        if (spanEnd >= spanStart) CountSpan(spanStart, spanEnd);
        pendingRow = s / kSub;
        if (s % kSub == kSub - 1) {
            CompositeCounts(pendingRow);
        }
        for (Edge *e : active_) {
            e->x += e->step;
        }
    }
    CompositeCounts(pendingRow);
}

template <typename Pixel>
void PolygonRasterizer<Pixel>::CountSpan(int start, int end)
{
    const int first = start / kSub, last = end / kSub;
    if (first == last) {
        counts_[first] += end - start + 1;
    } else {
        counts_[first] += (first + 1) * kSub - start;
        counts_[last] += end - last * kSub + 1;
        whole_[first + 1] += kSub;
        whole_[last] -= kSub;
    }
    if (countTo_ < countFrom_) {
        countFrom_ = first;
        countTo_ = last;
    } else {
        countFrom_ = std::min(countFrom_, first);
        countTo_ = std::max(countTo_, last);
    }
}

template <typename Pixel>
void PolygonRasterizer<Pixel>::CompositeCounts(int row)
{
    if (countTo_ < countFrom_) {
        return;
    }
    Pixel *line = AEUtil::RowOf<Pixel>(canvas_.pixels, canvas_.rowbytes, row);
    const Pixel colour = canvas_.colour;
    int running = 0;
    for (int px = countFrom_; px <= countTo_; ++px) {
        running += whole_[px];
        const int count = counts_[px] + running;
        counts_[px] = 0;
        whole_[px] = 0;
        if (count > 0) {
            render::CompositeCoverageFast(line[px], colour, count);
        }
    }
    countFrom_ = 0;
    countTo_ = -1;
}

template <typename Pixel>
void PolygonRasterizer<Pixel>::CompositeRow(int row)
{
    Pixel *line = AEUtil::RowOf<Pixel>(canvas_.pixels, canvas_.rowbytes, row);
    const Pixel colour = canvas_.colour;
    coverage_.Flush([line, &colour](int px, int n) {
        if (n > 0) {
            render::CompositeCoverage(line[px], colour, n);
        }
    });
}

// A pixel is fully covered when every sub-row's span holds its 8
// sub-columns: from the pixel holding the largest span start (rounded up) to
// the one before the pixel past the smallest span end. The sub-samples of the
// others are counted as CountSpan counts them, span by span into counts_ and
// whole_, and summed in one pass along the row.
template <typename Pixel>
void PolygonRasterizer<Pixel>::CompositeSpans(int row, const int *lo, const int *hi, int minLo,
                                              int maxHi)
{
    Pixel *line = AEUtil::RowOf<Pixel>(canvas_.pixels, canvas_.rowbytes, row);
    const Pixel colour = canvas_.colour;
    const int first = minLo / kSub;
    const int last = maxHi / kSub;
    int maxStart = lo[0], minEnd = hi[0];
    for (int r = 1; r < kSub; ++r) {
        maxStart = std::max(maxStart, lo[r]);
        minEnd = std::min(minEnd, hi[r]);
    }
    int fullFrom = last + 1, fullTo = last + 1;  // whole pixels fullFrom .. fullTo - 1
    if (minEnd >= maxStart) {
        const int from = (maxStart + kSub - 1) / kSub;
        const int to = (minEnd + 1) / kSub;
        if (from < to) {
            fullFrom = from;
            fullTo = to;
        }
    }
    // A span lo .. hi (sub-columns) adds to its first pixel the sub-columns
    // from lo on, to its last pixel those up to hi, and 8 to each pixel in
    // between (whole_ holds the differences). When both ends lie in one
    // pixel, its -8 in whole_ takes back the 8 that the two ends count twice.
    // An empty sub-row counts as the empty span first * 8 + 1 .. first * 8,
    // which adds nothing, so that no sub-row needs a branch.
    int *counts = counts_.data();
    int *whole = whole_.data();
    for (int r = 0; r < kSub; ++r) {
        const bool empty = lo[r] > hi[r];
        const int spanLo = empty ? first * kSub + 1 : lo[r];
        const int spanHi = empty ? first * kSub : hi[r];
        const unsigned a = static_cast<unsigned>(spanLo) / kSub;
        const unsigned b = static_cast<unsigned>(spanHi) / kSub;
        counts[a] += static_cast<int>(a + 1) * kSub - spanLo;
        counts[b] += spanHi + 1 - static_cast<int>(b) * kSub;
        whole[a + 1] += kSub;
        whole[b] -= kSub;
    }
    int running = 0;
    auto next = [&](int px) {
        running += whole[px];
        const int count = counts[px] + running;
        counts[px] = 0;
        whole[px] = 0;
        return count;
    };
    for (int px = first; px < fullFrom; ++px) {
        const int count = next(px);
        if (count > 0) {
            render::CompositeCoverageFast(line[px], colour, count);
        }
    }
    for (int px = fullFrom; px < fullTo; ++px) {
        next(px);
    }
    for (int px = fullTo; px <= last; ++px) {
        const int count = next(px);
        if (count > 0) {
            render::CompositeCoverageFast(line[px], colour, count);
        }
    }
    whole[last + 1] = 0;
    render::CompositeFullRun(line, fullFrom, fullTo, colour);
}

template class PolygonRasterizer<AEUtil::Pixel8>;
template class PolygonRasterizer<AEUtil::Pixel16>;
template class PolygonRasterizer<AEUtil::Pixel32>;
