// Which bytes of a message have arrived: the runs of byte offsets its fragments covered,
// kept merged, so that a message counts as complete only when they cover all of it. A
// peer names a fragment's offset and size freely; counting fragments alone would hand
// over a message with gaps, holding whatever the buffer held before. Fragments that come
// in order extend the last run and cost no allocation. Host's thread only.
#pragma once

#include <cstdint>
#include <map>

namespace tide {

class ByteCoverage {
public:
    // Forgets every run: a new message.
    void Clear() { runs.clear(); }

    // Notes the bytes [begin, end) as arrived. False, with nothing noted, when there is
    // no memory for a new run.
    bool Add(int32_t begin, int32_t end);

    // Whether the runs cover every byte from 0 to `total`.
    bool Covers(int32_t total) const;

    // Where the run that starts at 0 ends: every byte before it has arrived.
    int32_t PrefixEnd() const;

    // The end of the furthest run: no byte at or after it has arrived.
    int32_t End() const;

private:
    // Disjoint runs that neither overlap nor touch, by their first byte: first → end.
    std::map<int32_t, int32_t> runs;
};

}  // namespace tide
