// The header's byte layout and the fragment count, checked against literal bytes.
#include "receiver/datagram.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace tide {
namespace {

TEST(DatagramHeader, FieldsAreLittleEndianAtTheirOffsetsWhateverTheMachine) {
    std::vector<uint8_t> datagram(kDatagramBytes, 0xEE);
    WriteHeader(datagram.data(), DatagramHeader{1, 0x01020304, 20482, 20480, -2, 2, INT32_MIN});
    const std::vector<uint8_t> expected = {
        0x01, 0x00, 0x00, 0x00,  // data_type
        0x04, 0x03, 0x02, 0x01,  // index
        0x02, 0x50, 0x00, 0x00,  // data_tsize 20482
        0x00, 0x50, 0x00, 0x00,  // data_offset 20480
        0xFE, 0xFF, 0xFF, 0xFF,  // data_size -2
        0x02, 0x00, 0x00, 0x00,  // tcount
        0x00, 0x00, 0x00, 0x80,  // tindex INT32_MIN
    };
    EXPECT_EQ(std::vector<uint8_t>(datagram.begin(), datagram.begin() + kHeaderBytes), expected);
    EXPECT_EQ(datagram[kHeaderBytes], 0xEE) << "the header wrote past its 28 bytes";

    DatagramHeader read = ReadHeader(datagram.data());
    EXPECT_EQ(read.data_type, 1);
    EXPECT_EQ(read.index, 0x01020304);
    EXPECT_EQ(read.data_tsize, 20482);
    EXPECT_EQ(read.data_offset, 20480);
    EXPECT_EQ(read.data_size, -2);
    EXPECT_EQ(read.tcount, 2);
    EXPECT_EQ(read.tindex, INT32_MIN);
}

TEST(FragmentCount, EmptyMessageTakesOneAndExactMultiplesTakeNoEmptyExtra) {
    EXPECT_EQ(FragmentCount(0), 1);
    EXPECT_EQ(FragmentCount(1), 1);
    EXPECT_EQ(FragmentCount(kFragmentBytes), 1);
    EXPECT_EQ(FragmentCount(kFragmentBytes + 1), 2);
    EXPECT_EQ(FragmentCount(2 * kFragmentBytes), 2);
}

TEST(FragmentCount, LargestLengthDoesNotOverflow) {
    EXPECT_EQ(FragmentCount(INT32_MAX), INT32_MAX / kFragmentBytes + 1);
}

}  // namespace
}  // namespace tide
