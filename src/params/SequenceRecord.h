// Per-instance sequence data: a small header the host stores in saved
// projects (flat form, 24 bytes) and, while live, the spacing state that the
// interface rules keep.
#pragma once

#include <cstdint>

namespace seqdata {

// 'pseq' as a little-endian integer: the bytes "qesp" in memory.
constexpr std::uint32_t kMagic = 0x70736571u;
constexpr std::uint32_t kVersion = 1;
constexpr std::uint32_t kFlatSize = 24;

}  // namespace seqdata

struct SequenceRecord {
    std::uint32_t magic;       // kMagic
    std::uint32_t flat;        // 0 live, 1 in the flat form
    std::uint32_t size;        // 24
    std::uint32_t version;     // 1
    std::uint8_t reserved[8];  // zero
    // Live only: not part of the flat form.
    std::uint8_t spacingRecorded;      // 0 or 1
    std::int32_t recordedSpacingType;  // a SpacingType popup value
};
