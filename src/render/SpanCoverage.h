// Coverage of one pixel row on the 8 x 8 sub-sample grid: for each of the
// row's 8 sub-rows an ordered list of sub-column spans, merged where they
// touch or overlap, and from them the count (0..64) of covered sub-samples
// of every pixel the spans reach.
#pragma once

#include <vector>

namespace render {

class SpanCoverage {
public:
    static constexpr int kSubSamples = 8;

    // A row of `widthPixels` pixels; spans are clipped to its sub-columns.
    void Reset(int widthPixels);

    // Adds the sub-columns start..end (both included) to sub-row `subRow`
    // (0..7). An empty range (start > end) adds nothing.
    void Add(int subRow, int start, int end);

    bool Empty() const { return !any_; }
    int Width() const { return width_; }

    // Calls visit(pixel, n) for every pixel from the one holding the leftmost
    // span start to the one holding the rightmost span end, n being the
    // number of its 64 sub-samples that lie in spans, then empties the lists.
    template <typename Visit>
    void Flush(Visit &&visit);

    struct Span {
        int start;
        int end;
    };
    const std::vector<Span> &SpansOf(int subRow) const { return rows_[subRow]; }

private:
    void Count();
    void Clear();

    int width_ = 0;
    std::vector<Span> rows_[kSubSamples];
    bool any_ = false;
    int minStart_ = 0;  // leftmost span start, while any_
    int maxEnd_ = 0;    // rightmost span end, while any_
    // Per pixel of the touched range: partial counts, and a difference array
    // that adds 8 per sub-row to the pixels a span covers whole.
    std::vector<int> partial_;
    std::vector<int> whole_;
};

template <typename Visit>
void SpanCoverage::Flush(Visit &&visit)
{
    if (Empty()) {
        return;
    }
    Count();
    const int first = minStart_ / kSubSamples;
    const int last = maxEnd_ / kSubSamples;
    int running = 0;
    for (int px = first; px <= last; ++px) {
        running += whole_[px];
        const int n = partial_[px] + running;
        partial_[px] = 0;
        whole_[px] = 0;
        visit(px, n);
    }
    Clear();
}

}  // namespace render
