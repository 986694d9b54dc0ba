// The lattice that the dots sit on: its centre, pitch, global rotation and
// the area in which its points are used, and the ring walk over its cells.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "RenderRecord.h"

// Receives the cells of the walk in walk order.
class LatticeCells {
public:
    virtual ~LatticeCells() = default;
    // `count` cells in a row that lie outside the used area (count may be 0).
    virtual void Skip(std::uint64_t count) = 0;
    // A used cell, turned about the rotation centre, not yet jittered.
    virtual void Use(double rx, double ry) = 0;
};

struct DotLattice {
    double cx = 0, cy = 0;          // grid centre, canvas pixels
    double rcx = 0, rcy = 0;        // centre of the global rotation
    double pitchX = 1, pitchY = 1;  // centre-to-centre distance, at least 1
    double angle = 0;               // global rotation, radians
    double cosA = 1, sinA = 0;
    double width = 0, height = 0;     // canvas size
    double marginX = 0, marginY = 0;  // how far outside the canvas points are used

    // From the record's centre, spacing, rotation and random spacing, for a
    // canvas of the given size.
    static DotLattice FromRecord(const RenderRecord &record, double width, double height);

    // Whether a rotated, not yet jittered point is used:
    // -marginX <= x < width + marginX, and the same in y.
    bool Uses(double x, double y) const
    {
        return -marginX <= x && x < width + marginX && -marginY <= y && y < height + marginY;
    }

    // The cell (x, y) turned about the rotation centre.
    void Turn(double x, double y, double &rx, double &ry) const
    {
        const double dx = x - rcx, dy = y - rcy;
        rx = dx * cosA - dy * sinA + rcx;
        ry = dx * sinA + dy * cosA + rcy;
    }

    // Walks the lattice in square rings around the grid centre: ring r is the
    // border of the (2r+1) x (2r+1) block of cells, rows top to bottom and
    // cells left to right, interior cells skipped. Row i's y is the top row's
    // plus the pitch added i times, and cell j's x the row's first x plus
    // the pitch added j times, each sum rounded. Each cell is
    // turned about the rotation centre; used(x, y) is called for a cell inside
    // the used area, and skipped(n) with the number of cells outside it
    // before each used cell (when there are any) and at the end. The walk
    // goes on while no cell has been used yet, or the last ring used at least
    // one; it also gives up once the rings are too far out to ever reach the
    // area. The cost grows with the rings and the used cells, not with the
    // skipped ones.
    template <typename Used, typename Skipped>
    void Walk(Used &&used, Skipped &&skipped) const;

    // Rings beyond this one lie wholly outside the used area; negative when
    // the lattice is not finite.
    double FarthestUsefulRing() const;
};

// The sums s(0) = start, s(k) = s(k-1) + step, each rounded to a double, as
// adding the step k times computes them. Kept as runs on which the rounded
// step stays the same, so that any s(k) costs a search among a few dozen
// runs instead of k additions.
class RoundedSums {
public:
    // s(0) to s(count); step > 0, start and step finite.
    void Reset(double start, double step, std::int64_t count);
    // s(k) for 0 <= k <= count.
    double At(std::int64_t k) const;
    std::size_t Runs() const { return runs_.size(); }

private:
    // s(first + i) = value + i * step up to the next run's first index; every
    // such value is a double, so the product and the sum are exact.
    struct Run {
        std::int64_t first;
        double value;
        double step;
    };
    std::vector<Run> runs_;
};

// One ring of the walk at a time. A side of a ring that cannot come near the
// used area is skipped as a whole; on the others the used cells form one
// range (the turn and the area's bounds are monotonic along a side), found by
// bisection with the used-area test itself, and only those are visited.
class LatticeRings {
public:
    // Rings below `computedFrom` cost less visited cell by cell than
    // computed, and are visited.
    static constexpr std::int64_t kComputedFrom = 40;
    explicit LatticeRings(const DotLattice &lattice, std::int64_t computedFrom = kComputedFrom);
    // Hands ring r's cells to `cells` in walk order; whether any was used.
    bool Walk(std::int64_t r, LatticeCells &cells);

private:
    struct Range {
        std::int64_t first, last;  // empty when first > last
        bool Empty() const { return first > last; }
    };
    template <typename PointAt>
    Range UsedRange(std::int64_t lo, std::int64_t hi, PointAt pointAt) const;
    bool WalkCells(std::int64_t r, LatticeCells &cells) const;

    const DotLattice &l_;
    std::int64_t computedFrom_;
    // The used area's bounding box in lattice coordinates (before the turn).
    double uLo_ = 0, uHi_ = 0, vLo_ = 0, vHi_ = 0;
    bool none_ = false;   // no point can be used
    bool boxed_ = false;  // the box is finite: sides far from it can be skipped
    RoundedSums xs_, ys_;
};

template <typename Used, typename Skipped>
void DotLattice::Walk(Used &&used, Skipped &&skipped) const
{
    const double farthest = FarthestUsefulRing();
    if (!(farthest >= 0)) {
        return;  // no finite lattice
    }
    // Skipped cells are passed on in one count before each used cell.
    class Cells final : public LatticeCells {
    public:
        Cells(Used &u, Skipped &s) : used_(u), skipped_(s) {}
        void Skip(std::uint64_t count) override { pending_ += count; }
        void Use(double rx, double ry) override
        {
            Flush();
            used_(rx, ry);
        }
        void Flush()
        {
            if (pending_ != 0) {
                skipped_(pending_);
                pending_ = 0;
            }
        }

    private:
        Used &used_;
        Skipped &skipped_;
        std::uint64_t pending_ = 0;
    } cells(used, skipped);

    LatticeRings rings(*this);
    bool anyUsed = false;
    for (std::int64_t r = 0;; ++r) {
        if (rings.Walk(r, cells)) {
            anyUsed = true;
        } else if (anyUsed || static_cast<double>(r) > farthest) {
            break;
        }
    }
    cells.Flush();
}
