#include "RenderDots.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "DotAttributes.h"
#include "DotLattice.h"
#include "DotRng.h"
#include "DotShapes.h"
#include "PolygonRasterizer.h"
#include "effectors/EffectorStep.h"

namespace {

// An ordering that stays strict and weak with NaN keys (they sort last), so
// that a stray NaN cannot derail the sort.
bool KeyLess(double a, double b)
{
    return !std::isnan(a) && (std::isnan(b) || a < b);
}

}  // namespace

template <typename Pixel>
DotLayout<Pixel> LayOutDots(const RenderRecord &record, A_long width, A_long height)
{
    const DotLattice lattice = DotLattice::FromRecord(record, width, height);
    DotRng rng;
    rng.Seed(DotRng::SeedFor(record));
    const effectors::EffectorSet<Pixel> effectors(record, width, height);
    DotAttributes<Pixel> attributes(record, lattice);

    DotLayout<Pixel> layout;
    layout.dots.reserve(15000);
    lattice.Walk([&](double rx,
                     double ry) { layout.dots.push_back(attributes.Make(rx, ry, rng, effectors)); },
                 [&rng](std::uint64_t culled) { rng.Cull(culled); });
    layout.frontOrdering = attributes.FrontOrdering() && !layout.dots.empty();
    return layout;
}

template <typename Pixel>
void SortForDrawing(std::vector<DotRecord<Pixel>> &dots, bool frontOrdering)
{
    if (frontOrdering) {
        // The dot nearest a front centre is drawn last, on top.
        std::sort(dots.begin(), dots.end(),
                  [](const DotRecord<Pixel> &a, const DotRecord<Pixel> &b) {
                      return KeyLess(b.front, a.front);
                  });
    } else {
        // Dots lower on the canvas cover those above.
        std::sort(dots.begin(), dots.end(),
                  [](const DotRecord<Pixel> &a, const DotRecord<Pixel> &b) {
                      return KeyLess(a.y, b.y) || (!KeyLess(b.y, a.y) && KeyLess(a.x, b.x));
                  });
    }
}

template <typename Pixel>
PF_Err RenderDots(RenderRecord &record, DotCanvas<Pixel> &canvas)
{
    // A canvas handed over without a rasteriser gets one for this call only.
    std::optional<PolygonRasterizer<Pixel>> own;
    struct Unbind {
        DotCanvas<Pixel> &canvas;
        bool active;
        ~Unbind()
        {
            if (active) canvas.rasterizer = nullptr;
        }
    } unbind{canvas, canvas.rasterizer == nullptr};
    if (canvas.rasterizer == nullptr) {
        own.emplace(canvas);
        canvas.rasterizer = &*own;
    }

    DotLayout<Pixel> layout = LayOutDots<Pixel>(record, canvas.width, canvas.height);
    SortForDrawing(layout.dots, layout.frontOrdering);

    PF_Err (*progress)(PF_ProgPtr, A_long, A_long) = nullptr;
    PF_ProgPtr effectRef = nullptr;
    if (record.in_data != nullptr) {
        progress = record.in_data->inter.progress;
        effectRef = record.in_data->effect_ref;
    }
    const long long count = static_cast<long long>(layout.dots.size());
    for (long long k = 1; k <= count; ++k) {
        DrawDot(canvas, layout.dots[static_cast<size_t>(k - 1)]);
        if (progress != nullptr) {
            const long long done = std::min(100 * k / count, 100LL);
            const PF_Err err = progress(effectRef, static_cast<A_long>(done), 100);
            if (err != 0) {
                return err;
            }
        }
    }
    return 0;
}

#define STIPPLEX_RENDER_DOTS_INSTANTIATE(P)                                    \
    template DotLayout<P> LayOutDots<P>(const RenderRecord &, A_long, A_long); \
    template void SortForDrawing<P>(std::vector<DotRecord<P>> &, bool);        \
    template PF_Err RenderDots<P>(RenderRecord &, DotCanvas<P> &);
STIPPLEX_RENDER_DOTS_INSTANTIATE(AEUtil::Pixel8)
STIPPLEX_RENDER_DOTS_INSTANTIATE(AEUtil::Pixel16)
STIPPLEX_RENDER_DOTS_INSTANTIATE(AEUtil::Pixel32)
