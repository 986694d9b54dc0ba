#include "FramePattern.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "Errors.h"

namespace cli {

namespace {

// A non-negative decimal integer, or -1; above kLastFrame: kLastFrame + 1.
long ParseFrameNumber(std::string_view text)
{
    if (text.empty()) {
        return -1;
    }
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        value = std::min(value * 10 + (c - '0'), kLastFrame + 1);
    }
    return value;
}

}  // namespace

bool HasFramePattern(std::string_view path)
{
    return path.find('#') != std::string_view::npos;
}

std::string ExpandFramePattern(std::string_view path, long frame)
{
    std::string out;
    std::size_t i = 0;
    while (i < path.size()) {
        if (path[i] != '#') {
            out += path[i++];
            continue;
        }
        std::size_t width = 0;
        while (i < path.size() && path[i] == '#') {
            ++width;
            ++i;
        }
        char buf[64];
        std::snprintf(buf, sizeof buf, "%0*ld", static_cast<int>(width), frame);
        out += buf;
    }
    return out;
}

FrameRange ParseFrameRange(std::string_view text)
{
    const std::size_t dash = text.find('-');
    FrameRange range;
    if (dash == std::string_view::npos) {
        range.first = range.last = ParseFrameNumber(text);
    } else {
        range.first = ParseFrameNumber(text.substr(0, dash));
        range.last = ParseFrameNumber(text.substr(dash + 1));
    }
    if (range.first < 0 || range.last < 0) {
        throw UsageError("bad frame range '" + std::string(text) +
                         "': expected FIRST-LAST, e.g. 1-48");
    }
    if (range.first > kLastFrame || range.last > kLastFrame) {
        throw UsageError("bad frame range '" + std::string(text) + "': frames go from 0 to " +
                         std::to_string(kLastFrame));
    }
    if (range.last < range.first) {
        throw UsageError("bad frame range '" + std::string(text) +
                         "': the last frame comes before the first");
    }
    return range;
}

Shard ParseShard(std::string_view text)
{
    const std::size_t slash = text.find('/');
    Shard shard;
    bool ok = slash != std::string_view::npos;
    if (ok) {
        const std::string k(text.substr(0, slash));
        const std::string n(text.substr(slash + 1));
        ok = !k.empty() && !n.empty() && k.find_first_not_of("0123456789") == std::string::npos &&
             n.find_first_not_of("0123456789") == std::string::npos && k.size() < 10 &&
             n.size() < 10;
        if (ok) {
            shard.index = std::stol(k);
            shard.count = std::stol(n);
            ok = shard.index >= 1 && shard.index <= shard.count;
        }
    }
    if (!ok) {
        throw UsageError("bad shard '" + std::string(text) + "': expected K/N with 1 <= K <= N, " +
                         "e.g. 2/8");
    }
    return shard;
}

FrameRange ShardRange(const FrameRange &range, const Shard &shard)
{
    const long count = range.Count();
    FrameRange part;
    part.first = range.first + count * (shard.index - 1) / shard.count;
    part.last = range.first + count * shard.index / shard.count - 1;
    return part;
}

}  // namespace cli
