#include "DotShapes.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "PolygonRasterizer.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegreesToRadians = 0.017453292519943295;
constexpr int kTableSize = 720;  // half-degree steps

// Read-only after their first use; the function-local static makes the one
// initialisation safe when several renders start at once.
// The four corner arcs of the rounded rectangle, clockwise from the top
// right: their start and end angles.
constexpr double kCornerArcs[4][2] = {
    {1.5 * kPi, 2 * kPi}, {0.0, 0.5 * kPi}, {0.5 * kPi, kPi}, {kPi, 1.5 * kPi}};

struct TrigTables {
    double cosine[kTableSize];
    double sine[kTableSize];
    double cos18, sin18, cos54, sin54;
    // cos t and sin t at the angles AddArc steps through on each corner arc.
    std::vector<double> cornerCos[4], cornerSin[4];

    TrigTables()
    {
        for (int i = 0; i < kTableSize; ++i) {
            const double a = i * 0.5 * kDegreesToRadians;
            cosine[i] = std::cos(a);
            sine[i] = std::sin(a);
        }
        cos18 = std::cos(0.1 * kPi);
        sin18 = std::sin(0.1 * kPi);
        cos54 = std::cos(0.3 * kPi);
        sin54 = std::sin(0.3 * kPi);
        for (int k = 0; k < 4; ++k) {
            for (double t = kCornerArcs[k][0]; t < kCornerArcs[k][1]; t += kPi / 20) {
                cornerCos[k].push_back(std::cos(t));
                cornerSin[k].push_back(std::sin(t));
            }
        }
    }
};

const TrigTables &Tables()
{
    static const TrigTables tables;
    return tables;
}

template <typename Pixel>
PolygonRasterizer<Pixel> &Raster(DotCanvas<Pixel> &canvas)
{
    return *canvas.rasterizer;
}

}  // namespace

int CirclePointCount(double w, double h)
{
    const double n = std::sqrt(w * w + h * h) * (2.0 * kPi) * 0.125;
    // Beyond a million points a circle is as round as it gets; the limit keeps
    // the conversion defined for absurd sizes.
    if (!(n >= 8.0)) return 8;
    if (n > 1048576.0) return 1048576;
    return static_cast<int>(n);
}

template <typename Pixel>
void AddArc(DotCanvas<Pixel> &canvas, double cx, double cy, double rx, double ry, double start,
            double end)
{
    PolygonRasterizer<Pixel> &r = Raster(canvas);
    for (double t = start; t < end; t += kPi / 20) {
        r.AddPoint(cx + rx * std::cos(t), cy + ry * std::sin(t));
    }
}

template <typename Pixel>
void FillCircle(DotCanvas<Pixel> &canvas, double x, double y, double w, double h)
{
    const TrigTables &t = Tables();
    PolygonRasterizer<Pixel> &r = Raster(canvas);
    if (!r.HoldsOutline(kShapeCircle, x, y, w, h)) {
        r.Clear();
        const double cx = x + w / 2, cy = y + h / 2;
        const double rx = w / 2, ry = h / 2;
        const int n = CirclePointCount(w, h);
        const double step = static_cast<double>(kTableSize) / n;
        double index = 0;  // accumulated, as the table is walked
        for (int k = 0; k < n; ++k) {
            const int i = static_cast<int>(index) % kTableSize;
            r.AddPoint(cx + rx * t.cosine[i], cy + ry * t.sine[i]);
            index += step;
        }
        r.SetOutline(kShapeCircle, x, y, w, h);
    }
    r.Fill();
}

template <typename Pixel>
void FillRectangle(DotCanvas<Pixel> &canvas, double x, double y, double w, double h)
{
    PolygonRasterizer<Pixel> &r = Raster(canvas);
    if (!r.HoldsOutline(kShapeRectangle, x, y, w, h)) {
        r.Clear();
        r.AddPoint(x, y);
        r.AddPoint(x + w, y);
        r.AddPoint(x + w, y + h);
        r.AddPoint(x, y + h);
        r.SetOutline(kShapeRectangle, x, y, w, h);
    }
    r.Fill();
}

namespace {

// AddArc over corner arc k, from the tables.
template <typename Pixel>
void AddCornerArc(PolygonRasterizer<Pixel> &r, int k, double cx, double cy, double rx, double ry)
{
    const TrigTables &t = Tables();
    const size_t n = t.cornerCos[k].size();
    for (size_t i = 0; i < n; ++i) {
        r.AddPoint(cx + rx * t.cornerCos[k][i], cy + ry * t.cornerSin[k][i]);
    }
}

}  // namespace

template <typename Pixel>
void FillRoundedRectangle(DotCanvas<Pixel> &canvas, double x, double y, double w, double h)
{
    PolygonRasterizer<Pixel> &r = Raster(canvas);
    if (!r.HoldsOutline(kShapeRoundedRectangle, x, y, w, h)) {
        r.Clear();
        const double rx = 0.2 * w, ry = 0.2 * h;
        // Each corner's arc starts on the straight point before it.
        r.AddPoint(x + 0.2 * w, y);
        r.AddPoint(x + 0.8 * w, y);
        AddCornerArc(r, 0, x + 0.8 * w, y + 0.2 * h, rx, ry);
        r.AddPoint(x + w, y + 0.2 * h);
        r.AddPoint(x + w, y + 0.8 * h);
        AddCornerArc(r, 1, x + 0.8 * w, y + 0.8 * h, rx, ry);
        r.AddPoint(x + 0.8 * w, y + h);
        r.AddPoint(x + 0.2 * w, y + h);
        AddCornerArc(r, 2, x + 0.2 * w, y + 0.8 * h, rx, ry);
        r.AddPoint(x, y + 0.8 * h);
        r.AddPoint(x, y + 0.2 * h);
        AddCornerArc(r, 3, x + 0.2 * w, y + 0.2 * h, rx, ry);
        r.SetOutline(kShapeRoundedRectangle, x, y, w, h);
    }
    r.Fill();
}

template <typename Pixel>
void FillCross(DotCanvas<Pixel> &canvas, double x, double y, double w, double h)
{
    PolygonRasterizer<Pixel> &r = Raster(canvas);
    if (!r.HoldsOutline(kShapeCross, x, y, w, h)) {
        r.Clear();
        const double a = 0.35, b = 1 - 0.35;  // each arm is 30 % of the size wide
        r.AddPoint(x + a * w, y);
        r.AddPoint(x + b * w, y);
        r.AddPoint(x + b * w, y + a * h);
        r.AddPoint(x + w, y + a * h);
        r.AddPoint(x + w, y + b * h);
        r.AddPoint(x + b * w, y + b * h);
        r.AddPoint(x + b * w, y + h);
        r.AddPoint(x + a * w, y + h);
        r.AddPoint(x + a * w, y + b * h);
        r.AddPoint(x, y + b * h);
        r.AddPoint(x, y + a * h);
        r.AddPoint(x + a * w, y + a * h);
        r.SetOutline(kShapeCross, x, y, w, h);
    }
    r.Fill();
}

// One self-crossing pentagram, top point up; non-zero winding fills the
// inner pentagon, so the star is solid.
template <typename Pixel>
void FillStar(DotCanvas<Pixel> &canvas, double x, double y, double w, double h)
{
    const TrigTables &t = Tables();
    PolygonRasterizer<Pixel> &r = Raster(canvas);
    if (!r.HoldsOutline(kShapeStar, x, y, w, h)) {
        r.Clear();
        const double cx = x + w / 2, cy = y + h / 2;
        const double rx = w / 2, ry = h / 2;
        r.AddPoint(cx, cy - ry);
        r.AddPoint(cx - t.cos54 * rx, cy + t.sin54 * ry);
        r.AddPoint(cx + t.cos18 * rx, cy - t.sin18 * ry);
        r.AddPoint(cx - t.cos18 * rx, cy - t.sin18 * ry);
        r.AddPoint(cx + t.cos54 * rx, cy + t.sin54 * ry);
        r.SetOutline(kShapeStar, x, y, w, h);
    }
    r.Fill();
}

template <typename Pixel>
void FillDiamond(DotCanvas<Pixel> &canvas, double x, double y, double w, double h)
{
    PolygonRasterizer<Pixel> &r = Raster(canvas);
    if (!r.HoldsOutline(kShapeDiamond, x, y, w, h)) {
        r.Clear();
        const double cx = x + w / 2, cy = y + h / 2;
        r.AddPoint(cx, y);
        r.AddPoint(x + w, cy);
        r.AddPoint(cx, y + h);
        r.AddPoint(x, cy);
        r.SetOutline(kShapeDiamond, x, y, w, h);
    }
    r.Fill();
}

template <typename Pixel>
int DrawDot(DotCanvas<Pixel> &canvas, const DotRecord<Pixel> &dot)
{
    if (dot.width == 0 || dot.height == 0 || canvas.rasterizer == nullptr) {
        return 0;
    }
    canvas.colour = dot.colour;

    // Move to the dot centre, then turn: a local (px, py) lands at the centre
    // plus (px cos - py sin, px sin + py cos), clockwise on screen.
    canvas.m02 += canvas.m00 * dot.x + canvas.m01 * dot.y;
    canvas.m12 += canvas.m10 * dot.x + canvas.m11 * dot.y;
    const double reach = std::max(std::abs(canvas.m00) + std::abs(canvas.m01),
                                  std::abs(canvas.m10) + std::abs(canvas.m11));
    canvas.rasterizer->Prefetch(
        canvas.m02, canvas.m12,
        0.5 * std::sqrt(dot.width * dot.width + dot.height * dot.height) * reach);
    const double c = std::cos(dot.rotation), s = std::sin(dot.rotation);
    const double m00 = canvas.m00 * c + canvas.m01 * s;
    const double m01 = canvas.m01 * c - canvas.m00 * s;
    const double m10 = canvas.m10 * c + canvas.m11 * s;
    const double m11 = canvas.m11 * c - canvas.m10 * s;
    canvas.m00 = m00;
    canvas.m01 = m01;
    canvas.m10 = m10;
    canvas.m11 = m11;

    const double w = dot.width, h = dot.height;
    const double x = -w / 2, y = -h / 2;
    switch (dot.shape) {
        case kShapeCircle:
            FillCircle(canvas, x, y, w, h);
            break;
        case kShapeRectangle:
            FillRectangle(canvas, x, y, w, h);
            break;
        case kShapeRoundedRectangle:
            FillRoundedRectangle(canvas, x, y, w, h);
            break;
        case kShapeCross:
            FillCross(canvas, x, y, w, h);
            break;
        case kShapeStar:
            FillStar(canvas, x, y, w, h);
            break;
        case kShapeDiamond:
            FillDiamond(canvas, x, y, w, h);
            break;
        default:
            break;
    }
    canvas.ResetMatrix();
    return 0;
}

#define STIPPLEX_DOT_SHAPES_INSTANTIATE(P)                                                   \
    template void AddArc<P>(DotCanvas<P> &, double, double, double, double, double, double); \
    template void FillCircle<P>(DotCanvas<P> &, double, double, double, double);             \
    template void FillRectangle<P>(DotCanvas<P> &, double, double, double, double);          \
    template void FillRoundedRectangle<P>(DotCanvas<P> &, double, double, double, double);   \
    template void FillCross<P>(DotCanvas<P> &, double, double, double, double);              \
    template void FillStar<P>(DotCanvas<P> &, double, double, double, double);               \
    template void FillDiamond<P>(DotCanvas<P> &, double, double, double, double);            \
    template int DrawDot<P>(DotCanvas<P> &, const DotRecord<P> &);
STIPPLEX_DOT_SHAPES_INSTANTIATE(AEUtil::Pixel8)
STIPPLEX_DOT_SHAPES_INSTANTIATE(AEUtil::Pixel16)
STIPPLEX_DOT_SHAPES_INSTANTIATE(AEUtil::Pixel32)
