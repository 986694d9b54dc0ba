#include "DotLattice.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr double kDegreesToRadians = 0.017453292519943295;

double FromFixed(PF_Fixed v)
{
    return v / 65536.0;
}

}  // namespace

DotLattice DotLattice::FromRecord(const RenderRecord &record, double width, double height)
{
    DotLattice l;
    l.cx = FromFixed(record.CenterPosition.x);
    l.cy = FromFixed(record.CenterPosition.y);
    switch (record.GlobalRotationCenter) {
        case 1:
            l.rcx = l.cx;
            l.rcy = l.cy;
            break;
        case 2:
        case 3:
        case 4: {
            // The effector's position, whether or not that effector is enabled.
            const FixedPoint &p = record.Effectors[record.GlobalRotationCenter - 2].position;
            l.rcx = FromFixed(p.x);
            l.rcy = FromFixed(p.y);
            break;
        }
        default:
            l.rcx = 0;
            l.rcy = 0;
            break;
    }
    l.width = width;
    l.height = height;

    switch (record.SpacingType) {
        case 1:  // Two Points: the spacing is the gap between dot edges
            l.pitchX = record.DotSize + record.DotSpacingX;
            l.pitchY = record.DotSize + record.DotSpacingY;
            break;
        case 2:  // Center: centre to centre
            l.pitchX = record.DotSpacingX;
            l.pitchY = record.DotSpacingY;
            break;
        default:
            l.pitchX = 1;
            l.pitchY = 1;
            break;
    }
    if (l.pitchX < 1) l.pitchX = 1;
    if (l.pitchY < 1) l.pitchY = 1;

    l.angle = FromFixed(record.GlobalRotation) * kDegreesToRadians;
    l.cosA = std::cos(l.angle);
    l.sinA = std::sin(l.angle);

    l.marginX = l.pitchX * (1 + record.RandomSpacingX);
    l.marginY = l.pitchY * (1 + record.RandomSpacingY);
    return l;
}

// The rotation keeps distances: a cell of ring r lies at least r times the
// smaller pitch from the turned grid centre. Once that exceeds the distance
// to the used area's farthest corner, no later ring can reach the area.
double DotLattice::FarthestUsefulRing() const
{
    const double dx = cx - rcx, dy = cy - rcy;
    const double gx = dx * cosA - dy * sinA + rcx;
    const double gy = dx * sinA + dy * cosA + rcy;
    const double xs[2] = {-marginX, width + marginX};
    const double ys[2] = {-marginY, height + marginY};
    double farthest = 0;
    for (double x : xs) {
        for (double y : ys) {
            farthest = std::max(farthest, std::hypot(x - gx, y - gy));
        }
    }
    const double ring = farthest / std::min(pitchX, pitchY) + 2;
    return std::isfinite(ring) ? ring : -1;
}

namespace {

double FromBits(std::uint64_t bits)
{
    double v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// Of the doubles in the binade of s (|s| from 2^e to 2^(e+1), spacing u =
// 2^(e-52)): sums v + step that stay in that binade round to the nearest
// multiple of u, so the rounded step depends only on the step and, for a
// step that falls half-way between two multiples, on whether v / u is even.
// Two equal rounded steps from s therefore fix the rounded step for every
// later sum that stays in the binade. Returns how many steps from s (at most
// limit) are known to add exactly `rounded`, or 0.
std::int64_t RegularSteps(double s, double step, std::int64_t limit, double &rounded)
{
    if (limit < 1) {
        return 0;
    }
    const double t1 = s + step;
    if (t1 == s) {
        rounded = 0;  // the step is lost in the rounding, at s and ever after
        return limit;
    }
    std::uint64_t bits;
    std::memcpy(&bits, &s, sizeof bits);
    const std::uint64_t biased = (bits >> 52) & 0x7FF;  // e + 1023
    if (limit < 2 || biased <= 52 || biased == 0x7FF) {
        return 0;  // too near zero for u to be a normal double, or not finite
    }
    const double t2 = t1 + step;
    const double low = FromBits(biased << 52), high = 2 * low;
    const auto inBinade = [&](double v) {
        return (v > 0) == (s > 0) && std::fabs(v) >= low && std::fabs(v) < high;
    };
    if (!inBinade(t1) || !inBinade(t2) || t2 - t1 != t1 - s) {
        return 0;
    }
    // In units of u: s / u (the significand) and the rounded step are
    // integers below 2^53. A step from v is regular while v + step stays in
    // the binade with a unit to spare for the rounding: up to 2^53 - 2 units
    // for positive sums, and down to 2^52 + 2 units in magnitude for negative
    // ones (which shrink toward zero).
    const double u = FromBits((biased - 52) << 52);
    const std::int64_t significand = static_cast<std::int64_t>(
        (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52));
    const std::int64_t v = s > 0 ? significand : -significand;
    const std::int64_t d = static_cast<std::int64_t>((t1 - s) / u);
    const std::int64_t end = s > 0 ? (std::int64_t{1} << 53) - 2 : -((std::int64_t{1} << 52) + 2);
    if (v + d > end) {
        return 0;
    }
    // Steps i = 0 .. n-1 are regular while v + i d + d <= end.
    const std::int64_t n = (end - v - d) / d + 1;
    rounded = t1 - s;
    return std::min(n, limit);
}

}  // namespace

void RoundedSums::Reset(double start, double step, std::int64_t count)
{
    runs_.clear();
    std::int64_t k = 0;
    double s = start;
    for (;;) {
        double rounded = 0;
        const std::int64_t n = RegularSteps(s, step, count - k, rounded);
        if (n == 0) {
            runs_.push_back(Run{k, s, 0});
            if (k == count) {
                break;
            }
            s += step;
            ++k;
        } else {
            runs_.push_back(Run{k, s, rounded});
            s += static_cast<double>(n) * rounded;
            k += n;
        }
    }
}

double RoundedSums::At(std::int64_t k) const
{
    const auto after =
        std::upper_bound(runs_.begin(), runs_.end(), k,
                         [](std::int64_t key, const Run &run) { return key < run.first; });
    const Run &run = *(after - 1);
    return run.value + static_cast<double>(k - run.first) * run.step;
}

LatticeRings::LatticeRings(const DotLattice &lattice, std::int64_t computedFrom)
    : l_(lattice), computedFrom_(computedFrom)
{
    const DotLattice &l = l_;
    none_ = !(-l.marginX < l.width + l.marginX && -l.marginY < l.height + l.marginY);
    // The corners of the used area turned back into lattice coordinates.
    const double xs[2] = {-l.marginX, l.width + l.marginX};
    const double ys[2] = {-l.marginY, l.height + l.marginY};
    bool first = true;
    for (double x : xs) {
        for (double y : ys) {
            const double dx = x - l.rcx, dy = y - l.rcy;
            const double u = dx * l.cosA + dy * l.sinA + l.rcx;
            const double v = dy * l.cosA - dx * l.sinA + l.rcy;
            uLo_ = first ? u : std::min(uLo_, u);
            uHi_ = first ? u : std::max(uHi_, u);
            vLo_ = first ? v : std::min(vLo_, v);
            vHi_ = first ? v : std::max(vHi_, v);
            first = false;
        }
    }
    boxed_ =
        std::isfinite(uLo_) && std::isfinite(uHi_) && std::isfinite(vLo_) && std::isfinite(vHi_);
}

template <typename PointAt>
LatticeRings::Range LatticeRings::UsedRange(std::int64_t lo, std::int64_t hi, PointAt pointAt) const
{
    // Along a side the turned point moves monotonically in x and in y, so
    // each of the area's four bounds holds on a prefix or a suffix of the
    // side; the used cells are where all four hold.
    const DotLattice &l = l_;
    double rx = 0, ry = 0;
    pointAt(lo, rx, ry);
    const double atLo[2] = {rx, ry};
    pointAt(hi, rx, ry);
    const double atHi[2] = {rx, ry};
    const auto bound = [&](int which, double x, double y) {
        switch (which) {
            case 0:
                return -l.marginX <= x;
            case 1:
                return x < l.width + l.marginX;
            case 2:
                return -l.marginY <= y;
            default:
                return y < l.height + l.marginY;
        }
    };
    Range range{lo, hi};
    for (int which = 0; which < 4 && !range.Empty(); ++which) {
        const bool first = bound(which, atLo[0], atLo[1]);
        const bool last = bound(which, atHi[0], atHi[1]);
        if (first && last) {
            continue;
        }
        if (!first && !last) {
            return Range{lo, lo - 1};
        }
        // Bisect between a cell where the bound holds and one where it fails.
        std::int64_t holds = first ? lo : hi, fails = first ? hi : lo;
        while (holds - fails > 1 || fails - holds > 1) {
            const std::int64_t mid = holds + (fails - holds) / 2;
            pointAt(mid, rx, ry);
            (bound(which, rx, ry) ? holds : fails) = mid;
        }
        if (first) {
            range.last = std::min(range.last, holds);
        } else {
            range.first = std::max(range.first, holds);
        }
    }
    return range;
}

bool LatticeRings::Walk(std::int64_t r, LatticeCells &cells)
{
    const DotLattice &l = l_;
    const double pitchX = l.pitchX, pitchY = l.pitchY;
    const double x0 = l.cx - static_cast<double>(r) * pitchX;
    const double y0 = l.cy - static_cast<double>(r) * pitchY;
    if (r < computedFrom_ || r == 0 || !boxed_) {
        return WalkCells(r, cells);
    }
    const std::int64_t n = 2 * r;  // index of the last row and column
    const double rows = static_cast<double>(n);
    // A bound on the size of every coordinate that the ring's cells and
    // their turn involve. The rounding of the turn and of the box stays far
    // inside 2^-40 of it, and the rounded sums along a side drift from
    // x0 + k pitch by at most half a unit in the last place per step.
    const double scale = std::fabs(x0) + std::fabs(y0) + rows * (pitchX + pitchY) +
                         std::fabs(l.rcx) + std::fabs(l.rcy) + std::fabs(l.width) +
                         std::fabs(l.height) + std::fabs(l.marginX) + std::fabs(l.marginY) + 1;
    if (!(scale < 0x1p900)) {
        return WalkCells(r, cells);
    }
    const double slack = scale * (0x1p-40 + (rows + 2) * 0x1p-52);
    // The last column's and the last row's coordinate, near enough.
    const double xEnd = x0 + rows * pitchX, yEnd = y0 + rows * pitchY;
    const auto meetsU = [&](double lo, double hi) {
        return !none_ && lo <= uHi_ + slack && hi >= uLo_ - slack;
    };
    const auto meetsV = [&](double lo, double hi) {
        return !none_ && lo <= vHi_ + slack && hi >= vLo_ - slack;
    };
    const bool top = meetsV(y0, y0) && meetsU(x0, xEnd + slack);
    const bool bottom = meetsV(yEnd - slack, yEnd + slack) && meetsU(x0, xEnd + slack);
    const bool left = meetsU(x0, x0) && meetsV(y0, yEnd + slack);
    const bool right = meetsU(xEnd - slack, xEnd + slack) && meetsV(y0, yEnd + slack);
    if (!top && !bottom && !left && !right) {
        cells.Skip(static_cast<std::uint64_t>(4 * n));
        return false;
    }

    xs_.Reset(x0, pitchX, n);
    ys_.Reset(y0, pitchY, n);
    const double xLast = xs_.At(n), yLast = ys_.At(n);
    bool used = false;
    const auto visit = [&](double x, double y) {
        double rx = 0, ry = 0;
        l.Turn(x, y, rx, ry);
        if (l.Uses(rx, ry)) {
            cells.Use(rx, ry);
            used = true;
        } else {
            cells.Skip(1);
        }
    };
    // The turned cell at index k of a row (at y) or of a column (at x).
    const auto inRow = [&](double y) {
        return [&, y](std::int64_t k, double &rx, double &ry) { l.Turn(xs_.At(k), y, rx, ry); };
    };
    const auto inColumn = [&](double x) {
        return [&, x](std::int64_t k, double &rx, double &ry) { l.Turn(x, ys_.At(k), rx, ry); };
    };

    const auto row = [&](double y, bool near) {
        const Range range = near ? UsedRange(0, n, inRow(y)) : Range{0, -1};
        if (range.Empty()) {
            cells.Skip(static_cast<std::uint64_t>(n + 1));
            return;
        }
        cells.Skip(static_cast<std::uint64_t>(range.first));
        double x = xs_.At(range.first);
        for (std::int64_t j = range.first; j <= range.last; ++j) {
            visit(x, y);
            x += pitchX;
        }
        cells.Skip(static_cast<std::uint64_t>(n - range.last));
    };

    row(y0, top);
    // Rows 1 to n-1 hold only their first and last cell, left then right:
    // the rows in which either can be used are visited, the others skipped.
    const Range leftRange = left ? UsedRange(1, n - 1, inColumn(x0)) : Range{1, 0};
    const Range rightRange = right ? UsedRange(1, n - 1, inColumn(xLast)) : Range{1, 0};
    std::int64_t next = 1;  // the first row not yet passed
    const auto sideRows = [&](Range range) {
        cells.Skip(static_cast<std::uint64_t>(2 * (range.first - next)));
        double y = ys_.At(range.first);
        for (std::int64_t i = range.first; i <= range.last; ++i) {
            visit(x0, y);
            visit(xLast, y);
            y += pitchY;
        }
        next = range.last + 1;
    };
    if (leftRange.Empty() || rightRange.Empty()) {
        const Range &one = leftRange.Empty() ? rightRange : leftRange;
        if (!one.Empty()) {
            sideRows(one);
        }
    } else {
        const bool leftFirst = leftRange.first <= rightRange.first;
        const Range &a = leftFirst ? leftRange : rightRange;
        const Range &b = leftFirst ? rightRange : leftRange;
        if (b.first <= a.last + 1) {
            sideRows(Range{a.first, std::max(a.last, b.last)});
        } else {
            sideRows(a);
            sideRows(b);
        }
    }
    cells.Skip(static_cast<std::uint64_t>(2 * (n - next)));
    row(yLast, bottom);
    return used;
}

// Every cell of ring r, one by one.
bool LatticeRings::WalkCells(std::int64_t r, LatticeCells &cells) const
{
    const DotLattice &l = l_;
    bool used = false;
    std::uint64_t skipped = 0;  // passed on in one count
    const auto visit = [&](double x, double y) {
        double rx = 0, ry = 0;
        l.Turn(x, y, rx, ry);
        if (l.Uses(rx, ry)) {
            if (skipped != 0) {
                cells.Skip(skipped);
                skipped = 0;
            }
            cells.Use(rx, ry);
            used = true;
        } else {
            ++skipped;
        }
    };
    const std::int64_t n = 2 * r;
    const double x0 = l.cx - static_cast<double>(r) * l.pitchX;
    const double y0 = l.cy - static_cast<double>(r) * l.pitchY;
    double xLast = x0;
    for (std::int64_t j = 0; j < n; ++j) {
        xLast += l.pitchX;
    }
    double y = y0;
    for (std::int64_t i = 0; i <= n; ++i) {
        if (i == 0 || i == n) {
            double x = x0;
            for (std::int64_t j = 0; j <= n; ++j) {
                visit(x, y);
                x += l.pitchX;
            }
        } else {
            visit(x0, y);
            visit(xLast, y);
        }
        y += l.pitchY;
    }
    cells.Skip(skipped);
    return used;
}
