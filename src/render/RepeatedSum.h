#pragma once

#include <cmath>
#include <cstdint>

namespace render {

// x after n additions of step, each rounded to the nearest double as the
// additions `x += step` one by one would round it, in steps of whole
// binades instead of n additions. Within a binade every double is a multiple
// of the binade's ulp u, so while x + step stays in the binade the sum rounds
// to x + r, r being step rounded to a multiple of u, whatever x is there. A
// step halfway between two multiples rounds to the even sum: from an even
// multiple of u, r is the even one of the two, every time; from an odd one
// only the first addition differs, and x + r == next sends that one alone.
// Near the binade's ends, where x + step may round in the next, the
// additions go one by one.
inline double AddRepeatedly(double x, double step, std::int64_t n)
{
    while (n > 0) {
        const double next = x + step;
        if (!std::isfinite(next) || next == x) {
            return next;  // no later addition changes it
        }
        const double a = std::fabs(x);
        std::int64_t k = 0;
        if (a >= 0x1p-1000 && a <= 0x1p1000) {
            int e = 0;
            std::frexp(a, &e);                          // a in [2^(e-1), 2^e)
            const double low = std::ldexp(1.0, e - 1);  // the binade [low, 2 low)
            const double u = std::ldexp(1.0, e - 53);
            const double q = step / u;  // exact: u is a power of two
            const double r = std::nearbyint(q) * u;
            const double margin = 2 * (std::fabs(step) + u);
            if (x + r == next) {
                // |x + j r| moves away from or toward zero by |r| each step.
                const bool away = (x > 0) == (r > 0);
                const double room = away ? (2 * low - margin) - a : a - (low + margin);
                if (room > 0) {
                    const double steps = std::floor(room / std::fabs(r));
                    k = steps < static_cast<double>(n) ? static_cast<std::int64_t>(steps) : n;
                }
            }
            if (k > 1) {
                x += static_cast<double>(k) * r;  // a multiple of u within the binade: exact
                n -= k;
                continue;
            }
        }
        x = next;
        --n;
    }
    return x;
}

}  // namespace render
