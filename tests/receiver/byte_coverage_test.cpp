// The byte runs of a message against a plain bitmap of the same bytes: random fragments,
// in and out of order, overlapping, touching and far apart.
#include "receiver/byte_coverage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace tide {
namespace {

TEST(ByteCoverage, AgreesWithABitmapOfTheSameFragments) {
    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        const int32_t total = 1 + static_cast<int32_t>(random() % 400);
        std::vector<bool> arrived(static_cast<size_t>(total) + 80, false);
        ByteCoverage coverage;
        for (int fragment = 0; fragment < 40; ++fragment) {
            const int32_t begin = static_cast<int32_t>(random() % (static_cast<uint32_t>(total) + 32));
            const int32_t end = begin + static_cast<int32_t>(random() % 48);
            ASSERT_TRUE(coverage.Add(begin, end));
            std::fill(arrived.begin() + begin, arrived.begin() + end, true);
            const auto gap = std::find(arrived.begin(), arrived.end(), false);
            const auto prefix = static_cast<int32_t>(gap - arrived.begin());
            ASSERT_EQ(coverage.PrefixEnd(), prefix) << "round " << round;
            ASSERT_EQ(coverage.Covers(total), prefix >= total) << "round " << round;
            const auto last = std::find(arrived.rbegin(), arrived.rend(), true);
            ASSERT_EQ(coverage.End(), static_cast<int32_t>(arrived.rend() - last)) << "round " << round;
        }
        coverage.Clear();
        EXPECT_FALSE(coverage.Covers(1));
        EXPECT_TRUE(coverage.Covers(0)) << "an empty message needs no bytes";
    }
}

}  // namespace
}  // namespace tide
