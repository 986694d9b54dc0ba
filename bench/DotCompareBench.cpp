// stipplex_dot_compare: DrawDot against two general 2D rasterisers drawing
// the very same outlines.
//
// One dot list per shape and size: the cells of a lattice over a 1920 x 1080
// canvas, each dot jittered by up to half a pitch, turned by a random angle,
// with a random colour and opacity (fixed seed, so every run draws the same
// dots). Each list is drawn
//   - by DrawDot on a DotCanvas at 8 bits, 16 bits and float,
//   - by AGG 2.6: rasterizer_scanline_aa and scanline_u8 (non-zero), one
//     render_scanlines_aa_solid per dot into straight-alpha ARGB pixels,
//   - by cairo: cairo_fill per dot on an ARGB32 image surface,
// AGG and cairo getting the outline points that DrawDot filled, already in
// canvas coordinates (so they skip the outline building and the transform
// that DrawDot's time includes). The renderers take turns within every
// repetition; each time is the CPU time of this thread, and the table shows
// medians and the ratios of medians.
//
//     stipplex_dot_compare [--repetitions N] [--shapes circle,star] [--sizes 4,8]
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_rendering_buffer.h>
#include <agg_scanline_u.h>
#include <benchmark/benchmark.h>
#include <cairo.h>
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "render/DotCanvas.h"
#include "render/DotShapes.h"
#include "render/PolygonRasterizer.h"

namespace {

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;
constexpr double kPi = 3.14159265358979323846;

const char *const kShapeNames[] = {"circle", "rectangle", "rounded", "cross", "star", "diamond"};
const int kSizes[] = {4, 8, 16, 32, 64};

double ThreadSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}

struct Dot {
    DotRecord<AEUtil::Pixel8> d8;
    DotRecord<AEUtil::Pixel16> d16;
    DotRecord<AEUtil::Pixel32> d32;
    std::vector<double> outline;  // x0, y0, x1, y1, ... in canvas coordinates
};

template <typename Pixel>
DotRecord<Pixel> Converted(const DotRecord<AEUtil::Pixel8> &d, double full)
{
    using Channel = decltype(Pixel{}.alpha);
    auto c = [full](A_u_char v) { return static_cast<Channel>(v * full / 255.0); };
    DotRecord<Pixel> r{d.front, d.x, d.y, {}, d.width, d.height, d.rotation, d.shape};
    r.colour.alpha = c(d.colour.alpha);
    r.colour.red = c(d.colour.red);
    r.colour.green = c(d.colour.green);
    r.colour.blue = c(d.colour.blue);
    return r;
}

// The dots of one cell of the table. The pitch is twice the size, but at
// least 16 pixels so that small dots stay a list of about 8000.
std::vector<Dot> MakeDots(A_u_long shape, int size)
{
    std::mt19937 rng(20261206u + 97u * shape + static_cast<unsigned>(size));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> channel(0, 255);
    std::uniform_int_distribution<int> opacity(32, 255);
    const double pitch = std::max(2.0 * size, 16.0);

    // DrawDot fills the outline on a canvas of no pixels, which leaves the
    // transformed points in the rasteriser.
    DotCanvas<AEUtil::Pixel8> probe;
    PolygonRasterizer<AEUtil::Pixel8> rasterizer(probe);
    probe.rasterizer = &rasterizer;

    std::vector<Dot> dots;
    for (double y = pitch / 2; y < kHeight; y += pitch) {
        for (double x = pitch / 2; x < kWidth; x += pitch) {
            Dot dot;
            DotRecord<AEUtil::Pixel8> &d = dot.d8;
            d.front = -1.0;
            d.x = x + (unit(rng) - 0.5) * pitch;
            d.y = y + (unit(rng) - 0.5) * pitch;
            d.colour.alpha = static_cast<A_u_char>(opacity(rng));
            d.colour.red = static_cast<A_u_char>(channel(rng));
            d.colour.green = static_cast<A_u_char>(channel(rng));
            d.colour.blue = static_cast<A_u_char>(channel(rng));
            d.width = d.height = size;
            d.rotation = unit(rng) * 2 * kPi;
            d.shape = shape;
            dot.d16 = Converted<AEUtil::Pixel16>(d, 32768.0);
            dot.d32 = Converted<AEUtil::Pixel32>(d, 1.0);
            DrawDot(probe, d);
            for (const auto &p : rasterizer.Points()) {
                dot.outline.push_back(p.X);
                dot.outline.push_back(p.Y);
            }
            dots.push_back(std::move(dot));
        }
    }
    return dots;
}

template <typename Pixel>
class OurRenderer {
public:
    OurRenderer() : pixels_(static_cast<size_t>(kWidth) * kHeight), rasterizer_(canvas_)
    {
        canvas_.pixels = pixels_.data();
        canvas_.width = kWidth;
        canvas_.height = kHeight;
        canvas_.rowbytes = kWidth * static_cast<A_long>(sizeof(Pixel));
        canvas_.rasterizer = &rasterizer_;
    }
    void Clear()
    {
        std::memset(static_cast<void *>(pixels_.data()), 0, pixels_.size() * sizeof(Pixel));
    }
    template <typename Get>
    double Draw(const std::vector<Dot> &dots, Get get)
    {
        const double start = ThreadSeconds();
        for (const Dot &dot : dots) {
            DrawDot(canvas_, get(dot));
        }
        const double t = ThreadSeconds() - start;
        benchmark::DoNotOptimize(pixels_.data());
        return t;
    }
    const std::vector<Pixel> &Pixels() const { return pixels_; }

private:
    std::vector<Pixel> pixels_;
    DotCanvas<Pixel> canvas_;
    PolygonRasterizer<Pixel> rasterizer_;
};

class AggRenderer {
public:
    AggRenderer()
        : pixels_(static_cast<size_t>(kWidth) * kHeight * 4),
          buffer_(pixels_.data(), kWidth, kHeight, kWidth * 4),
          format_(buffer_),
          base_(format_)
    {
        raster_.filling_rule(agg::fill_non_zero);
    }
    void Clear() { std::fill(pixels_.begin(), pixels_.end(), 0); }
    double Draw(const std::vector<Dot> &dots)
    {
        const double start = ThreadSeconds();
        for (const Dot &dot : dots) {
            const std::vector<double> &o = dot.outline;
            if (o.size() < 6) continue;
            raster_.reset();
            raster_.move_to_d(o[0], o[1]);
            for (size_t i = 2; i < o.size(); i += 2) {
                raster_.line_to_d(o[i], o[i + 1]);
            }
            const auto &c = dot.d8.colour;
            agg::render_scanlines_aa_solid(raster_, scanline_, base_,
                                           agg::rgba8(c.red, c.green, c.blue, c.alpha));
        }
        const double t = ThreadSeconds() - start;
        benchmark::DoNotOptimize(pixels_.data());
        return t;
    }
    const std::vector<std::uint8_t> &Pixels() const { return pixels_; }

private:
    std::vector<std::uint8_t> pixels_;
    agg::rendering_buffer buffer_;
    agg::pixfmt_argb32_plain format_;
    agg::renderer_base<agg::pixfmt_argb32_plain> base_;
    agg::rasterizer_scanline_aa<> raster_;
    agg::scanline_u8 scanline_;
};

class CairoRenderer {
public:
    CairoRenderer()
        : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kWidth, kHeight)),
          cr_(cairo_create(surface_))
    {
        cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
    }
    ~CairoRenderer()
    {
        cairo_destroy(cr_);
        cairo_surface_destroy(surface_);
    }
    CairoRenderer(const CairoRenderer &) = delete;
    CairoRenderer &operator=(const CairoRenderer &) = delete;
    void Clear()
    {
        cairo_surface_flush(surface_);
        std::memset(cairo_image_surface_get_data(surface_), 0,
                    static_cast<size_t>(cairo_image_surface_get_stride(surface_)) * kHeight);
        cairo_surface_mark_dirty(surface_);
    }
    double Draw(const std::vector<Dot> &dots)
    {
        const double start = ThreadSeconds();
        for (const Dot &dot : dots) {
            const std::vector<double> &o = dot.outline;
            if (o.size() < 6) continue;
            cairo_move_to(cr_, o[0], o[1]);
            for (size_t i = 2; i < o.size(); i += 2) {
                cairo_line_to(cr_, o[i], o[i + 1]);
            }
            cairo_close_path(cr_);
            const auto &c = dot.d8.colour;
            cairo_set_source_rgba(cr_, c.red / 255.0, c.green / 255.0, c.blue / 255.0,
                                  c.alpha / 255.0);
            cairo_fill(cr_);
        }
        cairo_surface_flush(surface_);
        return ThreadSeconds() - start;
    }

private:
    cairo_surface_t *surface_;
    cairo_t *cr_;
};

std::vector<std::string> Split(const std::string &list)
{
    std::vector<std::string> parts;
    size_t from = 0;
    while (from <= list.size()) {
        const size_t comma = std::min(list.find(',', from), list.size());
        if (comma > from) parts.push_back(list.substr(from, comma - from));
        from = comma + 1;
    }
    return parts;
}

int Usage(const char *why)
{
    std::fprintf(stderr,
                 "stipplex_dot_compare: %s\n"
                 "usage: stipplex_dot_compare [--repetitions N] [--shapes circle,rectangle,"
                 "rounded,cross,star,diamond] [--sizes 4,8,16,32,64]\n",
                 why);
    return 2;
}

}  // namespace

int main(int argc, char **argv)
{
    int repetitions = 7;
    std::vector<int> shapes = {1, 2, 3, 4, 5, 6};
    std::vector<int> sizes(std::begin(kSizes), std::end(kSizes));
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage(("missing value after " + arg).c_str());
        const std::string value = argv[++i];
        if (arg == "--repetitions") {
            repetitions = std::atoi(value.c_str());
            if (repetitions < 1) return Usage("--repetitions needs a positive count");
        } else if (arg == "--shapes") {
            shapes.clear();
            for (const std::string &name : Split(value)) {
                const auto *it = std::find(std::begin(kShapeNames), std::end(kShapeNames), name);
                if (it == std::end(kShapeNames)) {
                    return Usage(("unknown shape '" + name + "'").c_str());
                }
                shapes.push_back(static_cast<int>(it - std::begin(kShapeNames)) + 1);
            }
        } else if (arg == "--sizes") {
            sizes.clear();
            for (const std::string &s : Split(value)) {
                const int size = std::atoi(s.c_str());
                if (size < 1) return Usage(("bad size '" + s + "'").c_str());
                sizes.push_back(size);
            }
        } else {
            return Usage(("unknown option " + arg).c_str());
        }
    }

    OurRenderer<AEUtil::Pixel8> our8;
    OurRenderer<AEUtil::Pixel16> our16;
    OurRenderer<AEUtil::Pixel32> our32;
    AggRenderer agg;
    CairoRenderer cairo;

    std::printf("1920 x 1080 canvas, %d interleaved repetitions, medians of thread CPU time\n\n",
                repetitions);
    std::printf(
        "| shape | size | dots | DrawDot 8-bit ns/dot | AGG ns/dot | cairo ns/dot | "
        "8-bit / AGG | 8-bit / cairo | 16-bit / AGG | float / AGG | alpha sum AGG / ours |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|\n");
    std::vector<double> r8, r16, r32, rc;
    for (const int shape : shapes) {
        for (const int size : sizes) {
            const std::vector<Dot> dots = MakeDots(static_cast<A_u_long>(shape), size);
            std::vector<double> t8, t16, t32, ta, tc;
            for (int rep = 0; rep < repetitions; ++rep) {
                our8.Clear();
                t8.push_back(our8.Draw(
                    dots, [](const Dot &d) -> const auto & { return d.d8; }));
                agg.Clear();
                ta.push_back(agg.Draw(dots));
                cairo.Clear();
                tc.push_back(cairo.Draw(dots));
                our16.Clear();
                t16.push_back(our16.Draw(
                    dots, [](const Dot &d) -> const auto & { return d.d16; }));
                our32.Clear();
                t32.push_back(our32.Draw(
                    dots, [](const Dot &d) -> const auto & { return d.d32; }));
            }
            // Both canvases hold the same dots: their alpha sums agree to
            // within the differences of anti-aliasing.
            double oursAlpha = 0, aggAlpha = 0;
            for (const auto &p : our8.Pixels()) oursAlpha += p.alpha;
            for (size_t i = 0; i < agg.Pixels().size(); i += 4) aggAlpha += agg.Pixels()[i];

            const double m8 = Median(t8), m16 = Median(t16), m32 = Median(t32);
            const double ma = Median(ta), mc = Median(tc);
            const double perDot = 1e9 / static_cast<double>(dots.size());
            r8.push_back(m8 / ma);
            rc.push_back(m8 / mc);
            r16.push_back(m16 / ma);
            r32.push_back(m32 / ma);
            std::printf(
                "| %s | %d | %zu | %.0f | %.0f | %.0f | %.2f | %.2f | %.2f | %.2f | %.3f |\n",
                kShapeNames[shape - 1], size, dots.size(), m8 * perDot, ma * perDot, mc * perDot,
                r8.back(), rc.back(), r16.back(), r32.back(),
                oursAlpha > 0 ? aggAlpha / oursAlpha : 0.0);
            std::fflush(stdout);
        }
    }
    auto summary = [](const char *what, const std::vector<double> &r) {
        std::printf("%s: median %.2f, best %.2f, worst %.2f\n", what, Median(r),
                    *std::min_element(r.begin(), r.end()), *std::max_element(r.begin(), r.end()));
    };
    std::printf("\n");
    summary("8-bit / AGG  ", r8);
    summary("16-bit / AGG ", r16);
    summary("float / AGG  ", r32);
    summary("8-bit / cairo", rc);
    return 0;
}
