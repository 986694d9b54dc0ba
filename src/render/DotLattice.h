// The lattice that the dots sit on: its centre, pitch, global rotation and
// the area in which its points are used, and the ring walk over its cells.
#pragma once

#include <cmath>

#include "RenderRecord.h"

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

    // Walks the lattice in square rings around the grid centre: ring r is the
    // border of the (2r+1) x (2r+1) block of cells, rows top to bottom and
    // cells left to right, interior cells skipped. Each cell is turned about
    // the rotation centre; used(x, y) is called for a cell inside the used
    // area and culled() for one outside. The walk goes on while no cell has
    // been used yet, or the last ring used at least one; it also gives up
    // once the rings are too far out to ever reach the area.
    template <typename Used, typename Culled>
    void Walk(Used &&used, Culled &&culled) const;

private:
    // Rings beyond this one lie wholly outside the used area.
    double FarthestUsefulRing() const;
};

template <typename Used, typename Culled>
void DotLattice::Walk(Used &&used, Culled &&culled) const
{
    const double farthest = FarthestUsefulRing();
    if (!(farthest >= 0)) {
        return;  // no finite lattice
    }
    bool anyUsed = false;
    for (long r = 0;; ++r) {
        bool ringUsed = false;
        auto visit = [&](double x, double y) {
            const double dx = x - rcx, dy = y - rcy;
            const double rx = dx * cosA - dy * sinA + rcx;
            const double ry = dx * sinA + dy * cosA + rcy;
            if (Uses(rx, ry)) {
                used(rx, ry);
                ringUsed = true;
            } else {
                culled();
            }
        };
        const long cells = 2 * r;  // index of the last row and column
        const double x0 = cx - r * pitchX;
        const double y0 = cy - r * pitchY;
        // Each row steps x from x0 by pitchX; the last column's x is the same
        // sum on every row, so the rows with only two cells reuse it.
        double xLast = x0;
        for (long j = 0; j < cells; ++j) {
            xLast += pitchX;
        }
        double y = y0;
        for (long i = 0; i <= cells; ++i) {
            if (i == 0 || i == cells) {
                double x = x0;
                for (long j = 0; j <= cells; ++j) {
                    visit(x, y);
                    x += pitchX;
                }
            } else {
                visit(x0, y);
                visit(xLast, y);
            }
            y += pitchY;
        }
        if (ringUsed) {
            anyUsed = true;
        } else if (anyUsed || r > farthest) {
            return;
        }
    }
}
