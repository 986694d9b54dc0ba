// Frame numbers in file names: every run of '#' in a path stands for the
// frame number, zero-padded to the run's length ("out.####.png" with frame
// 7 is "out.0007.png"; a longer number is written in full).
#pragma once

#include <string>
#include <string_view>

namespace cli {

bool HasFramePattern(std::string_view path);

std::string ExpandFramePattern(std::string_view path, long frame);

// The last frame a render can reach: the host's times are 32-bit, and the
// duration, one past the last frame, must fit too.
constexpr long kLastFrame = 2147483646;

// An inclusive range of frames.
struct FrameRange {
    long first = 0;
    long last = 0;
    long Count() const { return last - first + 1; }
};

// "A-B" or a single "A", frames being integers from 0 to kLastFrame and A <= B.
// Throws UsageError naming the text.
FrameRange ParseFrameRange(std::string_view text);

// One of N shards: "K/N", 1 <= K <= N. Throws UsageError naming the text.
struct Shard {
    long index = 1;  // K
    long count = 1;  // N
};
Shard ParseShard(std::string_view text);

// The K-th of N contiguous parts of `range`, as even as can be (the first
// parts one frame shorter when it does not divide); empty (last < first)
// when there are more shards than frames.
FrameRange ShardRange(const FrameRange &range, const Shard &shard);

}  // namespace cli
