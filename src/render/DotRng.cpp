#include "DotRng.h"

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
