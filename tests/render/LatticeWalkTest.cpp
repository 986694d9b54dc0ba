// The ring walk skips what it can compute: whole sides of rings far from the
// used area, and the culled cells around the used ones. These tests hold it
// to a plain walk that visits every cell, over random lattices: the same used
// cells in the same order, with the same generator state at each.
// STIPPLEX_WALK_CASES sets the number of random lattices per test (default 150).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "RenderTestSupport.h"
#include "render/DotAttributes.h"
#include "render/DotLattice.h"
#include "render/RenderDots.h"

using namespace rendertest;

namespace {

int Cases()
{
    const char *text = std::getenv("STIPPLEX_WALK_CASES");
    const int n = text != nullptr ? std::atoi(text) : 0;
    return n > 0 ? n : 150;
}

// Ring r cell by cell, as the walk is written down: rows top to bottom,
// cells left to right, interior cells skipped, every sum rounded as it goes.
template <typename Used, typename Culled>
bool PlainRing(const DotLattice &l, std::int64_t r, Used &used, Culled &culled)
{
    bool ringUsed = false;
    const auto visit = [&](double x, double y) {
        const double dx = x - l.rcx, dy = y - l.rcy;
        const double rx = dx * l.cosA - dy * l.sinA + l.rcx;
        const double ry = dx * l.sinA + dy * l.cosA + l.rcy;
        if (l.Uses(rx, ry)) {
            used(rx, ry);
            ringUsed = true;
        } else {
            culled();
        }
    };
    const std::int64_t cells = 2 * r;
    const double x0 = l.cx - static_cast<double>(r) * l.pitchX;
    const double y0 = l.cy - static_cast<double>(r) * l.pitchY;
    double xLast = x0;
    for (std::int64_t j = 0; j < cells; ++j) xLast += l.pitchX;
    double y = y0;
    for (std::int64_t i = 0; i <= cells; ++i) {
        if (i == 0 || i == cells) {
            double x = x0;
            for (std::int64_t j = 0; j <= cells; ++j) {
                visit(x, y);
                x += l.pitchX;
            }
        } else {
            visit(x0, y);
            visit(xLast, y);
        }
        y += l.pitchY;
    }
    return ringUsed;
}

template <typename Used, typename Culled>
void PlainWalk(const DotLattice &l, Used used, Culled culled)
{
    const double farthest = l.FarthestUsefulRing();
    if (!(farthest >= 0)) return;
    bool anyUsed = false;
    for (std::int64_t r = 0;; ++r) {
        if (PlainRing(l, r, used, culled)) {
            anyUsed = true;
        } else if (anyUsed || static_cast<double>(r) > farthest) {
            return;
        }
    }
}

// One used cell: the cells culled since the previous one, the point, and
// the generator state when it was reached (0 where no generator runs).
struct Visit {
    std::uint64_t culledBefore;
    double rx, ry;
    std::uint32_t state;
};

std::uint64_t Bits(double v)
{
    std::uint64_t b;
    std::memcpy(&b, &v, sizeof b);
    return b;
}

// The cells of a walk or of one ring. With a generator, as the renderer runs
// it: each used cell takes nine draws, as a dot's attributes do, and each
// culled cell one culling step.
struct Log final : LatticeCells {
    std::vector<Visit> visits;
    std::uint64_t culled = 0;  // since the last used cell
    DotRng *rng = nullptr;
    bool ringUsed = false;
    void Use(double rx, double ry) override
    {
        visits.push_back(Visit{culled, rx, ry, rng ? rng->State() : 0});
        culled = 0;
        for (int i = 0; rng && i < 9; ++i) rng->Next();
    }
    void Skip(std::uint64_t n) override
    {
        culled += n;
        if (rng) rng->Cull(n);
    }
};

// The plain walk, or with ring >= 0 that plain ring alone, culling one cell at
// a time.
Log PlainLog(const DotLattice &l, DotRng *rng, std::int64_t ring = -1)
{
    Log log;
    log.rng = rng;
    const auto use = [&](double rx, double ry) { log.Use(rx, ry); };
    const auto cull = [&] {
        ++log.culled;
        if (rng) rng->Cull();
    };
    if (ring < 0) {
        PlainWalk(l, use, cull);
    } else {
        log.ringUsed = PlainRing(l, ring, use, cull);
    }
    return log;
}

// Where two logs first differ, or "" when they are the same.
std::string Difference(const Log &want, const Log &got)
{
    std::ostringstream out;
    out.precision(17);
    for (std::size_t i = 0; i < std::min(want.visits.size(), got.visits.size()); ++i) {
        const Visit &a = want.visits[i], &b = got.visits[i];
        if (a.culledBefore != b.culledBefore || Bits(a.rx) != Bits(b.rx) ||
            Bits(a.ry) != Bits(b.ry) || a.state != b.state) {
            out << "used cell " << i << ": want " << a.culledBefore << " culled, (" << a.rx << ", "
                << a.ry << "), state " << a.state << "; got " << b.culledBefore << ", (" << b.rx
                << ", " << b.ry << "), " << b.state;
            return out.str();
        }
    }
    if (want.visits.size() != got.visits.size() || want.culled != got.culled) {
        out << want.visits.size() << " used cells and " << want.culled << " culled after them; got "
            << got.visits.size() << " and " << got.culled;
    }
    return out.str();
}

// A record for a random lattice: canvases from 1 pixel to a few hundred,
// pitches from the 1-pixel floor to thousands, centres on the canvas, near it
// or at the far ends of the position range, on whole pixels (cells land
// exactly on the used area's edges) or anywhere, turned or not.
RenderRecord RandomRecord(std::mt19937_64 &g, A_long &width, A_long &height)
{
    const auto pick = [&](int n) { return static_cast<int>(g() % static_cast<unsigned>(n)); };
    const auto real = [&](double lo, double hi) {
        return std::uniform_real_distribution<double>(lo, hi)(g);
    };
    width = pick(4) == 0 ? 1 + pick(4) : 1 + pick(400);
    height = pick(4) == 0 ? 1 + pick(4) : 1 + pick(300);

    RenderRecord r = QuietRecord();
    r.SpacingType = 1 + pick(2);
    r.DotSize = pick(3) == 0 ? 0 : pick(2) == 0 ? pick(30) : std::round(real(0, 40) * 10) / 10;
    const auto spacing = [&] {
        const int kind = pick(6);  // 0: the 1-pixel floor
        return kind == 0       ? 0.0
               : kind == 1     ? real(0, 3)
               : kind == 2     ? 1.0 + pick(4)
               : kind == 3     ? real(1, 60)
               : kind == 4     ? std::round(real(0, 100) * 10) / 10
               : pick(10) == 0 ? real(100, 10000)
                               : 10.0 * pick(5);
    };
    r.DotSpacingX = spacing();
    r.DotSpacingY = pick(3) == 0 ? r.DotSpacingX : spacing();

    const auto position = [&](A_long extent) -> PF_Fixed {
        const int kind = pick(5);  // 1: anywhere, any fraction
        return kind == 0   ? (pick(2) == 0 ? 32767 : -32768) * 65536 + pick(2) * 65535
               : kind == 1 ? static_cast<PF_Fixed>(g())
               : kind == 2 ? (pick(2 * extent + 1) - extent / 2) * 65536
                           : static_cast<PF_Fixed>(real(-2.0 * extent, 3.0 * extent) * 65536);
    };
    r.CenterPosition = FixedPoint{position(width), position(height)};
    const int turn = pick(4);
    r.GlobalRotation = turn == 0   ? 0
                       : turn == 1 ? (pick(8) - 4) * 90 * 65536
                       : turn == 2 ? (pick(2) == 0 ? 1 : -45 * 65536)
                                   : static_cast<PF_Fixed>(real(-720, 720) * 65536);
    r.GlobalRotationCenter = pick(6);
    for (auto &e : r.Effectors) e.position = FixedPoint{position(width), position(height)};
    r.RandomSpacingX = pick(2) == 0 ? 0 : pick(2) == 0 ? pick(3) : real(0, 2);
    r.RandomSpacingY = pick(2) == 0 ? 0 : pick(6) == 0 ? -real(0, 1.5) : real(0, 2);
    r.RandomSeed = pick(10001);
    r.RandomSize = real(0, 1);
    r.RandomOpacity = real(0, 1);
    return r;
}

std::string Describe(const RenderRecord &r, A_long width, A_long height)
{
    std::ostringstream out;
    out.precision(17);
    out << width << "x" << height << ", spacing type " << r.SpacingType << ", size " << r.DotSize
        << ", spacing " << r.DotSpacingX << "/" << r.DotSpacingY << ", centre "
        << r.CenterPosition.x << "," << r.CenterPosition.y << " (/65536), rotation "
        << r.GlobalRotation << " about " << r.GlobalRotationCenter << ", random spacing "
        << r.RandomSpacingX << "/" << r.RandomSpacingY << ", seed " << r.RandomSeed;
    return out.str();
}

// An upper bound on the cells a plain walk of the lattice visits.
double PlainCells(const DotLattice &l)
{
    const double rings = l.FarthestUsefulRing() + 1;
    return 4 * rings * rings;
}

TEST(LatticeWalk, SameUsedCellsAndGeneratorStatesAsThePlainWalk)
{
    std::mt19937_64 g(20240611);
    int walked = 0, far = 0;
    for (int tries = 0; walked < Cases(); ++tries) {
        A_long w = 0, h = 0;
        const RenderRecord record = RandomRecord(g, w, h);
        const DotLattice l = DotLattice::FromRecord(record, w, h);
        // Plain walks of far-away centres with small pitches take seconds;
        // those lattices are compared ring by ring below.
        if (PlainCells(l) > 1.5e6) continue;
        ++walked;
        DotRng wantRng, gotRng;
        wantRng.Seed(record.RandomSeed);
        gotRng.Seed(record.RandomSeed);
        const Log want = PlainLog(l, &wantRng);
        Log got;
        got.rng = &gotRng;
        l.Walk([&](double rx, double ry) { got.Use(rx, ry); },
               [&](std::uint64_t n) { got.Skip(n); });
        far += want.visits.empty() || want.visits[0].culledBefore > 1000;
        ASSERT_EQ(Difference(want, got), "") << Describe(record, w, h);
        ASSERT_EQ(gotRng.State(), wantRng.State()) << Describe(record, w, h);
    }
    EXPECT_GT(far, Cases() / 10);  // enough walks that start far from the canvas
}

// Ring by ring, where whole walks are too long for the plain walk: the rings
// around the used area, far from the grid centre. Here every ring is
// computed, small ones included, which the walk itself visits cell by cell.
// The rings whose border comes near the used area: from the grid centre's
// distance to the area, in pitches along the lattice's own axes, to the
// farthest corner's.
void RingsNearTheArea(const DotLattice &l, double &nearest, double &farthest)
{
    const double xs[2] = {-l.marginX, l.width + l.marginX};
    const double ys[2] = {-l.marginY, l.height + l.marginY};
    double uLo = INFINITY, uHi = -INFINITY, vLo = INFINITY, vHi = -INFINITY;
    farthest = 0;
    for (double x : xs) {
        for (double y : ys) {
            // Back from the turned frame: the corner in lattice coordinates.
            const double dx = x - l.rcx, dy = y - l.rcy;
            const double u = dx * l.cosA + dy * l.sinA + l.rcx - l.cx;
            const double v = dy * l.cosA - dx * l.sinA + l.rcy - l.cy;
            uLo = std::min(uLo, u), uHi = std::max(uHi, u);
            vLo = std::min(vLo, v), vHi = std::max(vHi, v);
            farthest = std::max({farthest, std::fabs(u) / l.pitchX, std::fabs(v) / l.pitchY});
        }
    }
    const double gapU = std::max({0.0, uLo, -uHi}) / l.pitchX;
    const double gapV = std::max({0.0, vLo, -vHi}) / l.pitchY;
    nearest = std::max(gapU, gapV);
}

TEST(LatticeWalk, FarRingsSameAsThePlainRings)
{
    std::mt19937_64 g(77001);
    int compared = 0, used = 0;
    while (compared < 4 * Cases()) {
        A_long w = 0, h = 0;
        RenderRecord record = RandomRecord(g, w, h);
        if (g() % 2 == 0) {
            // Small pitches: the hardest sums, the longest rings.
            record.SpacingType = 2;
            record.DotSpacingX = 1 + (g() % 4 == 0 ? 0 : (g() % 1000) / 997.0);
            record.DotSpacingY = g() % 2 == 0 ? record.DotSpacingX : 1 + (g() % 3000) / 1000.0;
        }
        const DotLattice l = DotLattice::FromRecord(record, w, h);
        double nearest = 0, farthest = 0;
        RingsNearTheArea(l, nearest, farthest);
        if (!(farthest < 40000)) continue;  // keeps a plain ring under 400000 cells
        LatticeRings rings(l, 1);           // every ring but the centre computed
        for (int k = 0; k < 4; ++k, ++compared) {
            // Mostly rings that cross the area, a few on either side of it.
            const double lo = std::max(0.0, nearest - 3), hi = farthest + 3;
            const std::int64_t r = static_cast<std::int64_t>(
                k == 3 ? std::uniform_real_distribution<double>(0, hi + 10)(g)
                       : std::uniform_real_distribution<double>(lo, hi)(g));
            const Log want = PlainLog(l, nullptr, r);
            Log got;
            ASSERT_EQ(rings.Walk(r, got), want.ringUsed);
            ASSERT_EQ(Difference(want, got), "")
                << "ring " << r << " of " << Describe(record, w, h);
            used += want.ringUsed;
        }
    }
    EXPECT_GT(used, compared / 3);  // most compared rings cross the area
}

TEST(LatticeWalk, CellsThatTheTurnRoundsOntoTheAreaAreUsed)
{
    // Turning about a centre far from the cell rounds: x - rcx + rcx can
    // come out a little above x. A cell just left of the used area's edge
    // is then used, and the walk must not skip the side it lies on. Such
    // cells are searched for, set on the left column of ring 1, and that
    // ring compared with the plain one.
    DotLattice l;
    l.width = 0;  // with margins below 1 the right column lies outside
    l.height = 10;
    l.cy = 5;
    l.marginY = 1;
    std::mt19937_64 g(5);
    int found = 0;
    for (int i = 0; i < 2000 && found < 20; ++i) {
        l.marginX = std::uniform_real_distribution<double>(0.5, 1)(g);
        l.rcx = std::uniform_real_distribution<double>(-3000, 3000)(g);
        const double edge = -l.marginX;
        const double x = std::nextafter(std::nextafter(edge, -1.0), -1.0);
        double rx = 0, ry = 0, edgeTurned = 0;
        l.Turn(x, l.cy, rx, ry);
        l.Turn(edge, l.cy, edgeTurned, ry);
        if (!(rx >= edge && edgeTurned > x)) continue;
        ++found;
        l.cx = x + 1;  // exact: the left column of ring 1 is at x
        Log got;
        LatticeRings(l, 1).Walk(1, got);
        ASSERT_EQ(Difference(PlainLog(l, nullptr, 1), got), "") << l.rcx << ", " << x;
    }
    EXPECT_EQ(found, 20);
}

TEST(LatticeWalk, LaidOutDotsSameAsThePlainWalk)
{
    // The renderer's own layout, dot for dot, against the plain walk with the
    // same attributes: the walk hands the generator on exactly.
    std::mt19937_64 g(4242);
    for (int done = 0; done < Cases() / 5;) {
        A_long w = 0, h = 0;
        RenderRecord record = RandomRecord(g, w, h);
        record.RandomSpacingX = std::fabs(record.RandomSpacingX);
        record.RandomSpacingY = std::fabs(record.RandomSpacingY);
        const DotLattice l = DotLattice::FromRecord(record, w, h);
        if (PlainCells(l) > 1e6) continue;
        ++done;
        DotRng rng;
        rng.Seed(DotRng::SeedFor(record));
        const effectors::EffectorSet<Pixel8> effectors(record, w, h);
        DotAttributes<Pixel8> attributes(record, l);
        std::vector<DotRecord<Pixel8>> want;
        PlainWalk(
            l,
            [&](double rx, double ry) { want.push_back(attributes.Make(rx, ry, rng, effectors)); },
            [&] { rng.Cull(); });
        const std::vector<DotRecord<Pixel8>> got = LayOutDots<Pixel8>(record, w, h).dots;
        ASSERT_EQ(got.size(), want.size()) << Describe(record, w, h);
        for (std::size_t i = 0; i < got.size(); ++i) {
            const DotRecord<Pixel8> &a = want[i], &b = got[i];
            ASSERT_TRUE(Bits(a.front) == Bits(b.front) && Bits(a.x) == Bits(b.x) &&
                        Bits(a.y) == Bits(b.y) && Bits(a.width) == Bits(b.width) &&
                        Bits(a.height) == Bits(b.height) && Bits(a.rotation) == Bits(b.rotation) &&
                        ArgbOf(a.colour) == ArgbOf(b.colour))
                << "dot " << i << " of " << Describe(record, w, h);
        }
    }
}

TEST(RoundedSums, EverySumAsAddingTheStepOneByOne)
{
    struct Case {
        double start, step;
        std::int64_t count;
    };
    std::vector<Case> cases = {
        {-32767.0, 1.0, 70000},              // through zero, whole numbers
        {32767.5, 1.0000001, 70000},         // rounding in every binade
        {-40000.123, 0.1, 100000},           // steps far from a power of two
        {-1 + 0x1p-40, 1.0, 5},              // lands just above zero
        {0x1p53 + 2, 1.0, 50},               // half-way steps: rounds to even, then stays
        {0x1p53 + 2, 3.0, 50},               // half-way steps that move
        {-0x1p53 - 6, 5.0, 5000},            // the same coming up from below
        {1e20, 1.0, 1000},                   // the step is lost entirely
        {-0x1p30 + 0.25, 3.3e4, 70000},      // large steps across many binades
        {0.0, 11000.0, 20000},               // from zero, pitches of thousands
        {-3.0e8, 10000.5, 60000},            // far out, large and half pitches
        {-65536.0 * 3, 2.999999999, 99999},  // many runs of equal steps
    };
    // Sums that reach a power of two within a few steps of a few units in the
    // last place: where the spacing of the doubles, and with it the rounding,
    // changes. Upward from below it, and toward zero from above it.
    for (int e : {-3, 1, 17, 52}) {
        for (double units : {0.3, 0.5, 0.7, 1.0, 1.3, 1.5, 2.6, 3.5, 6.25}) {
            for (int o = 0; o < 12; ++o) {
                const double below = std::ldexp(1.0, e - 53), above = 2 * below;
                cases.push_back(Case{std::ldexp(1.0, e) - o * below, units * below, 40});
                cases.push_back(Case{-std::ldexp(1.0, e) - o * above, units * above, 40});
            }
        }
    }
    std::mt19937_64 g(99);
    for (int i = 0; i < Cases(); ++i) {
        const double scale = std::ldexp(1.0, static_cast<int>(g() % 40));
        const double start = std::uniform_real_distribution<double>(-scale, scale)(g);
        const double step = std::ldexp(std::uniform_real_distribution<double>(1, 2)(g),
                                       static_cast<int>(g() % 12) - 2);
        cases.push_back(Case{start, step, static_cast<std::int64_t>(g() % 20000)});
    }
    RoundedSums sums;
    for (const Case &c : cases) {
        sums.Reset(c.start, c.step, c.count);
        double s = c.start;
        for (std::int64_t k = 0; k <= c.count; ++k) {
            ASSERT_EQ(Bits(sums.At(k)), Bits(s))
                << "s(" << k << ") from " << c.start << " by " << c.step;
            s += c.step;
        }
        // A few runs per binade the sums pass, not one per step.
        EXPECT_LT(sums.Runs(), 400u) << c.start << " by " << c.step;
    }
}

TEST(LatticeWalk, FarCentreWithTheSmallestPitchCostsRingsNotCells)
{
    // The centre at the far corner of the position range, a pitch of one
    // pixel, a 160 x 90 canvas: 4.3 billion culled cells before and around
    // about 15 thousand used ones. Walked cell by cell this takes seconds;
    // here the ring count decides, so the whole layout is compared against
    // the used cells counted from the lattice itself.
    RenderRecord record = QuietRecord(32767, -32767);
    record.DotSize = 0;
    record.DotSpacingX = record.DotSpacingY = 0;
    record.SpacingType = 1;
    const DotLattice l = DotLattice::FromRecord(record, 160, 90);
    std::uint64_t culled = 0, used = 0;
    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    l.Walk(
        [&](double rx, double ry) {
            ++used;
            minX = std::min(minX, rx), maxX = std::max(maxX, rx);
            minY = std::min(minY, ry), maxY = std::max(maxY, ry);
        },
        [&](std::uint64_t n) { culled += n; });
    // Used: whole pixels from -1 to 160 and from -1 to 90.
    EXPECT_EQ(used, 162u * 92u);
    EXPECT_EQ(std::make_tuple(minX, maxX, minY, maxY), std::make_tuple(-1.0, 160.0, -1.0, 90.0));
    // Rings 32766 (bottom row at y = -1) to 32857 (y = 90) use cells; ring
    // 32858 is the first empty one after them and ends the walk. Every cell
    // of rings 0 to 32858 is either used or culled.
    const std::uint64_t rings = 32859;
    EXPECT_EQ(used + culled, (2 * rings - 1) * (2 * rings - 1));
}

}  // namespace
