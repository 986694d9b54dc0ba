#include "DotRng.h"

#include <array>

namespace {

// state -> (mul * state + add) mod 65536.
struct Affine {
    std::uint32_t mul, add;
};

// The culling step applied 1, 2, 4, ..., 2^15 times. The step has full
// period (6735 is odd and 6573 - 1 a multiple of 4), so 2^16 steps map every
// 16-bit state to itself and larger counts need only their low 16 bits.
constexpr std::array<Affine, 16> CullPowers()
{
    std::array<Affine, 16> powers{};
    Affine f{6573u, 6735u};
    for (Affine &p : powers) {
        p = f;
        f = Affine{(f.mul * f.mul) & 0xFFFFu, (f.mul * f.add + f.add) & 0xFFFFu};
    }
    return powers;
}

constexpr std::array<Affine, 16> kCullPowers = CullPowers();

}  // namespace

std::int32_t DotRng::SeedFor(const RenderRecord &record)
{
    // 64-bit intermediates: no division or sum here can overflow.
    std::int64_t s = record.RandomSeed;
    const PF_InData *in = record.in_data;
    if (record.RandomInterval != 0 && in != nullptr && in->time_step != 0) {
        const std::int64_t frame =
            static_cast<std::int64_t>(in->current_time) / static_cast<std::int64_t>(in->time_step);
        const std::int64_t k = frame / record.RandomInterval;
        if (record.RandomCycle != 0) {
            s += k % record.RandomCycle;
        } else {
            s += k;
        }
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(s));
}

void DotRng::Seed(std::int32_t seed)
{
    state_ = static_cast<std::uint32_t>(seed);
    const std::int32_t warmUp = seed % 10;
    for (std::int32_t i = 0; i < warmUp; ++i) {
        Next();
    }
}

void DotRng::Cull(std::uint64_t count)
{
    if (count == 0) {
        return;
    }
    // The first step keeps only the low 16 bits of a seeded state.
    std::uint32_t state = state_ & 0xFFFFu;
    unsigned bit = 0;
    for (std::uint64_t rest = count & 0xFFFFu; rest != 0; rest >>= 1, ++bit) {
        if (rest & 1u) {
            const Affine &p = kCullPowers[bit];
            state = (p.mul * state + p.add) & 0xFFFFu;
        }
    }
    state_ = state;
}
