#include "DotLattice.h"

#include <algorithm>

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
