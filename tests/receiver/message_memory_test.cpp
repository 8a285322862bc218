// Message memory at the sizes where it changes hands (below, at and above a huge page,
// and a grown 64 MiB buffer's size): every byte of a block is its own to write and read
// back, the two ends included, and a block goes back whole.
#include "receiver/message_memory.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tide {
namespace {

TEST(MessageMemory, EveryByteOfABlockIsItsOwnAtEverySize) {
    constexpr size_t kHuge = 2 * 1024 * 1024;
    for (size_t bytes :
         {size_t{1}, size_t{20480}, kHuge - 1, kHuge, kHuge + 1, size_t{64 * 1024 * 1024 + 1024}}) {
        uint8_t* first = AllocateMessageMemory(bytes);
        uint8_t* second = AllocateMessageMemory(bytes);
        ASSERT_NE(first, nullptr) << bytes;
        ASSERT_NE(second, nullptr) << bytes;
        std::memset(first, 0xA5, bytes);
        std::memset(second, 0x5A, bytes);
        EXPECT_EQ(first[0], 0xA5) << bytes;
        EXPECT_EQ(first[bytes - 1], 0xA5) << bytes << ": the last byte is the block's alone";
        EXPECT_EQ(second[bytes - 1], 0x5A) << bytes;
        FreeMessageMemory(first, bytes);
        FreeMessageMemory(second, bytes);
    }
    FreeMessageMemory(nullptr, kHuge);
}

}  // namespace
}  // namespace tide
