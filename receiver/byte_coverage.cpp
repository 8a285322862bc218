// The byte runs of a message.
#include "receiver/byte_coverage.h"

#include <algorithm>
#include <iterator>
#include <new>

namespace tide {

bool ByteCoverage::Add(int32_t begin, int32_t end) {
    if (begin >= end) return true;
    auto next = runs.upper_bound(begin);
    if (next != runs.begin()) {
        auto previous = std::prev(next);
        if (previous->second >= begin) {
            // Overlaps or touches the run before: that run grows and swallows what it reaches.
            if (previous->second >= end) return true;
            previous->second = end;
            while (next != runs.end() && next->first <= previous->second) {
                previous->second = std::max(previous->second, next->second);
                next = runs.erase(next);
            }
            return true;
        }
    }
    int32_t merged = end;
    auto last = next;
    while (last != runs.end() && last->first <= merged) {
        merged = std::max(merged, last->second);
        ++last;
    }
    try {
        // Made before anything is erased, so that a refusal leaves the runs as they were.
        next = runs.emplace_hint(next, begin, merged);
    } catch (const std::bad_alloc&) {
        return false;
    }
    runs.erase(std::next(next), last);
    return true;
}

bool ByteCoverage::Covers(int32_t total) const { return total <= 0 || PrefixEnd() >= total; }

int32_t ByteCoverage::PrefixEnd() const {
    return !runs.empty() && runs.begin()->first == 0 ? runs.begin()->second : 0;
}

int32_t ByteCoverage::End() const { return runs.empty() ? 0 : std::prev(runs.end())->second; }

}  // namespace tide
