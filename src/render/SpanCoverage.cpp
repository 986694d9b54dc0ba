#include "SpanCoverage.h"

#include <algorithm>

namespace render {

void SpanCoverage::Reset(int widthPixels)
{
    width_ = widthPixels > 0 ? widthPixels : 0;
    partial_.assign(static_cast<size_t>(width_) + 2, 0);
    whole_.assign(static_cast<size_t>(width_) + 2, 0);
    Clear();
}

void SpanCoverage::Clear()
{
    for (auto &row : rows_) {
        row.clear();
    }
    any_ = false;
}

void SpanCoverage::Add(int subRow, int start, int end)
{
    const int limit = width_ * kSubSamples - 1;
    start = std::max(start, 0);
    end = std::min(end, limit);
    if (start > end || subRow < 0 || subRow >= kSubSamples) {
        return;
    }
    std::vector<Span> &row = rows_[subRow];
    // Spans mostly arrive left to right, so search from the end.
    size_t at = row.size();
    while (at > 0 && row[at - 1].start > start) {
        --at;
    }
    // Merge with the left neighbour when touching or overlapping.
    if (at > 0 && row[at - 1].end + 1 >= start) {
        --at;
        row[at].end = std::max(row[at].end, end);
    } else {
        row.insert(row.begin() + static_cast<std::ptrdiff_t>(at), Span{start, end});
    }
    // Swallow right neighbours that now touch or overlap.
    size_t next = at + 1;
    while (next < row.size() && row[next].start <= row[at].end + 1) {
        row[at].end = std::max(row[at].end, row[next].end);
        ++next;
    }
    row.erase(row.begin() + static_cast<std::ptrdiff_t>(at + 1),
              row.begin() + static_cast<std::ptrdiff_t>(next));
    if (!any_) {
        any_ = true;
        minStart_ = start;
        maxEnd_ = row[at].end;
    } else {
        minStart_ = std::min(minStart_, start);
        maxEnd_ = std::max(maxEnd_, row[at].end);
    }
}

void SpanCoverage::Count()
{
    for (const auto &row : rows_) {
        for (const Span &span : row) {
            const int pa = span.start / kSubSamples;
            const int pb = span.end / kSubSamples;
            if (pa == pb) {
                partial_[pa] += span.end - span.start + 1;
                continue;
            }
            partial_[pa] += kSubSamples - span.start % kSubSamples;
            partial_[pb] += span.end % kSubSamples + 1;
            whole_[pa + 1] += kSubSamples;
            whole_[pb] -= kSubSamples;
        }
    }
}

}  // namespace render
