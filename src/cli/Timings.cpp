#include "Timings.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace cli {

namespace {

std::string Row(const char *label, const FrameTimings &t, double scale)
{
    char line[160];
    std::snprintf(line, sizeof line, "%-8s %9.1f %9.1f %9.1f %9.1f %9.1f %9.1f\n", label,
                  t.read * scale, t.decode * scale, t.render * scale, t.encode * scale,
                  t.write * scale, t.Total() * scale);
    return line;
}

}  // namespace

void PrintTimings(std::ostream &out, std::vector<FrameTimings> frames, double wallSeconds,
                  long threads)
{
    std::sort(frames.begin(), frames.end(),
              [](const FrameTimings &a, const FrameTimings &b) { return a.frame < b.frame; });
    out << "frame         read    decode    render    encode     write     total  (ms)\n";
    FrameTimings sum;
    for (const FrameTimings &t : frames) {
        out << Row(std::to_string(t.frame).c_str(), t, 1000);
        sum.read += t.read;
        sum.decode += t.decode;
        sum.render += t.render;
        sum.encode += t.encode;
        sum.write += t.write;
    }
    if (frames.empty()) {
        return;
    }
    out << Row("sum", sum, 1000);
    out << Row("mean", sum, 1000.0 / static_cast<double>(frames.size()));
    char line[160];
    std::snprintf(line, sizeof line,
                  "wall clock %.3f s for %zu frame%s, %ld at once: %.2f frames per second\n",
                  wallSeconds, frames.size(), frames.size() == 1 ? "" : "s", threads,
                  wallSeconds > 0 ? static_cast<double>(frames.size()) / wallSeconds : 0.0);
    out << line;
}

}  // namespace cli
