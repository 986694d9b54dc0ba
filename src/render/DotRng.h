// The seeded generator behind every random dot attribute: a 16-bit linear
// congruential state owned by one render call.
#pragma once

#include <cstdint>

#include "RenderRecord.h"

class DotRng {
public:
    explicit DotRng(std::uint32_t state = 0) : state_(state) {}

    // The seed for a frame: RandomSeed, plus (frame / RandomInterval) when the
    // interval and the time step are non-zero, taken modulo RandomCycle when
    // that is non-zero. Divisions truncate toward zero; remainders keep the
    // dividend's sign. Without in_data the time plays no part.
    static std::int32_t SeedFor(const RenderRecord &record);

    // state = seed; then (seed mod 10) warm-up steps when that is positive.
    void Seed(std::int32_t seed);

    // One step: state = (state * 2061 + 7) mod 65536; returns the new state.
    std::uint32_t Next()
    {
        state_ = (state_ * 2061u + 7u) & 0xFFFFu;
        return state_;
    }

    // A value in [-a, a): one step n, then (2a * n) / 65536 - a.
    double Variation(double a)
    {
        const double n = static_cast<double>(Next());
        return ((a - (-a)) * n) * (1.0 / 65536.0) + (-a);
    }

    // The step taken for a lattice cell that falls outside the used area:
    // state = (state * 6573 + 6735) mod 65536.
    void Cull() { state_ = (state_ * 6573u + 6735u) & 0xFFFFu; }

    // `count` culling steps at once, in time independent of the count: the
    // step is an affine map modulo 65536 whose powers are composed by
    // squaring. No step at all leaves the state as it is.
    void Cull(std::uint64_t count);

    std::uint32_t State() const { return state_; }

private:
    std::uint32_t state_;
};
