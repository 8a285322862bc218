// DatagramSender, checked on the wire: a plain socket joined to the group receives what
// the sender sends, and the tests look at the datagrams' bytes.
#include "sender/datagram_sender.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "tests/support/process_counts.h"
#include "tests/support/wire.h"

namespace tide {
namespace {

using testing::Bytes;
using testing::WireProbe;

constexpr const char* kGroup = "239.255.20.1";
constexpr const wchar_t* kWideGroup = L"239.255.20.1";
constexpr uint16_t kPort = 41001;

// Exactly `count` datagrams, then silence; every one of them full length.
std::vector<Bytes> TakeFull(WireProbe& probe, size_t count) {
    std::vector<Bytes> datagrams = probe.Take(count);
    for (size_t i = 0; i < datagrams.size(); ++i) {
        EXPECT_EQ(datagrams[i].size(), static_cast<size_t>(kDatagramBytes)) << "datagram " << i;
    }
    return datagrams;
}

using testing::OpenDescriptors;

// The seven header fields in wire order, for comparing a datagram at a glance.
using Fields = std::array<int32_t, 7>;

Fields FieldsOf(const Bytes& datagram) {
    DatagramHeader h = ReadHeader(datagram.data());
    return {h.data_type, h.index, h.data_tsize, h.data_offset, h.data_size, h.tcount, h.tindex};
}

Bytes PayloadOf(const Bytes& datagram, int32_t bytes) {
    return Bytes(datagram.begin() + kPayloadOffset, datagram.begin() + kPayloadOffset + bytes);
}

// `units` 16-bit units of `unit`, little-endian, followed by the zero unit.
Bytes Utf16Text(size_t units, uint16_t unit) {
    Bytes text;
    for (size_t i = 0; i < units; ++i) {
        text.push_back(static_cast<uint8_t>(unit));
        text.push_back(static_cast<uint8_t>(unit >> 8));
    }
    text.insert(text.end(), {0, 0});
    return text;
}

class SenderOnTheWire : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(probe.bound && probe.joined);
        sender.SetDestination(kPort, kWideGroup);
    }
    WireProbe probe{kGroup, kPort};
    DatagramSender sender;
};

TEST_F(SenderOnTheWire, TextsAreCutAtFragmentBoundariesAndEndAtTheirFirstZeroUnit) {
    const Bytes empty = Utf16Text(0, 0);
    const Bytes fits = Utf16Text(10239, 0x4E2D);
    const Bytes spills = Utf16Text(10240, 0xFFFF);
    // Units 0x0100, 'A', 0, 'B' at an odd address: a zero byte inside a unit does not end
    // the text, a zero unit does, and the text need not be aligned.
    const uint8_t odd[] = {0xAA, 0x00, 0x01, 0x41, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00, 0x00};
    for (const uint8_t* text : {empty.data(), fits.data(), spills.data(), odd + 1}) {
        sender.SendTextMessage(text, 1);
    }
    std::vector<Bytes> d = TakeFull(probe, 5);
    ASSERT_EQ(d.size(), 5u);
    EXPECT_EQ(FieldsOf(d[0]), (Fields{kTypeText, 1, 2, 0, 2, 1, 1}));
    EXPECT_EQ(FieldsOf(d[1]), (Fields{kTypeText, 2, 20480, 0, 20480, 1, 1}));
    EXPECT_EQ(FieldsOf(d[2]), (Fields{kTypeText, 3, 20482, 0, 20480, 2, 1}));
    EXPECT_EQ(FieldsOf(d[3]), (Fields{kTypeText, 3, 20482, 20480, 2, 2, 2}));
    EXPECT_EQ(FieldsOf(d[4]), (Fields{kTypeText, 4, 6, 0, 6, 1, 1}));
    EXPECT_EQ(PayloadOf(d[0], 2), (Bytes{0, 0}));
    EXPECT_EQ(PayloadOf(d[1], kFragmentBytes), fits);
    EXPECT_EQ(PayloadOf(d[2], kFragmentBytes), Bytes(spills.begin(), spills.end() - 2));
    EXPECT_EQ(d[2][kTerminatorOffset] | d[2][kTerminatorOffset + 1], 0) << "a full text is unterminated";
    EXPECT_EQ(PayloadOf(d[3], 2), (Bytes{0, 0}));
    EXPECT_EQ(PayloadOf(d[4], 6), Bytes(odd + 1, odd + 7));
}

TEST_F(SenderOnTheWire, ByteMessagesAreCutAtFragmentBoundariesWithTheirBytesIntact) {
    const Bytes message = testing::Pattern(40960);
    for (int32_t size : {0, 20480, 20481, 40960}) sender.SendByteMessage(message.data(), size, 1);
    std::vector<Bytes> d = TakeFull(probe, 6);
    ASSERT_EQ(d.size(), 6u);
    const Fields expected[] = {
        {kTypeBinary, 1, 0, 0, 0, 1, 1},         {kTypeBinary, 2, 20480, 0, 20480, 1, 1},
        {kTypeBinary, 3, 20481, 0, 20480, 2, 1}, {kTypeBinary, 3, 20481, 20480, 1, 2, 2},
        {kTypeBinary, 4, 40960, 0, 20480, 2, 1}, {kTypeBinary, 4, 40960, 20480, 20480, 2, 2},
    };
    for (size_t i = 0; i < d.size(); ++i) {
        EXPECT_EQ(FieldsOf(d[i]), expected[i]) << "datagram " << i;
        const int32_t offset = expected[i][3];
        const int32_t size = expected[i][4];
        EXPECT_EQ(PayloadOf(d[i], size), Bytes(message.begin() + offset, message.begin() + offset + size));
    }
}

TEST_F(SenderOnTheWire, RepeatSendsEachFragmentThatManyTimesInARowAsIdenticalCopies) {
    const Bytes message(20481, 0x3C);
    sender.SendByteMessage(message.data(), 20481, 3);
    std::vector<Bytes> d = TakeFull(probe, 6);
    ASSERT_EQ(d.size(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(FieldsOf(d[i])[6], i < 3 ? 1 : 2) << "datagram " << i;
    EXPECT_TRUE(d[1] == d[0] && d[2] == d[0]);
    EXPECT_TRUE(d[4] == d[3] && d[5] == d[3]);
}

TEST_F(SenderOnTheWire, EveryMessageTakesANumberExceptANegativeSizeAndEachSenderCountsFromOne) {
    const Bytes text = Utf16Text(3, 'x');
    sender.SendTextMessage(text.data(), 1);      // 1
    sender.SendTextMessage(text.data(), 0);      // 2, not sent
    sender.SendByteMessage(text.data(), 4, -1);  // 3, not sent
    sender.SendByteMessage(text.data(), -4, 1);  // nothing at all
    sender.SendByteMessage(text.data(), 4, 1);   // 4
    DatagramSender other;
    other.SetDestination(kPort, kWideGroup);
    other.SendTextMessage(text.data(), 1);
    std::vector<Bytes> d = TakeFull(probe, 3);
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(FieldsOf(d[0])[1], 1);
    EXPECT_EQ(FieldsOf(d[1]), (Fields{kTypeBinary, 4, 4, 0, 4, 1, 1}));
    EXPECT_EQ(FieldsOf(d[2])[1], 1);
}

TEST_F(SenderOnTheWire, ShortFragmentCarriesNoBytesOfAnEarlierMessage) {
    const Bytes secret(kFragmentBytes, 0xFF);
    sender.SendByteMessage(secret.data(), kFragmentBytes, 1);
    sender.SendByteMessage("\x01", 1, 1);
    std::vector<Bytes> d = TakeFull(probe, 2);
    ASSERT_EQ(d.size(), 2u);
    EXPECT_EQ(d[0][kTerminatorOffset] | d[0][kTerminatorOffset + 1], 0) << "a full fragment overwrote it";
    Bytes expected(kDatagramBytes - kPayloadOffset, 0);
    expected[0] = 0x01;
    EXPECT_EQ(Bytes(d[1].begin() + kPayloadOffset, d[1].end()), expected);
}

TEST(SenderDestination, PortAboveSixteenBitsKeepsItsLowBitsAndNamesResolveToIPv4) {
    WireProbe low(kGroup, 4464);
    WireProbe named(kGroup, kPort);
    ASSERT_TRUE(low.joined && named.bound);
    DatagramSender sender;
    sender.SetDestination(70000, kWideGroup);
    sender.SendByteMessage("", 0, 1);
    sender.SetDestination(kPort, L"localhost");
    sender.SendByteMessage("", 0, 1);
    EXPECT_EQ(TakeFull(low, 1).size(), 1u);
    EXPECT_EQ(TakeFull(named, 1).size(), 1u);
}

TEST(SenderDestination, UnresolvableHostSendsNothingAndLaterDestinationsStillWork) {
    WireProbe probe(kGroup, kPort);
    ASSERT_TRUE(probe.joined);
    DatagramSender sender;
    sender.SetDestination(kPort, kWideGroup);
    EXPECT_EQ(sender.SetDestination(kPort, L"no-such-host.invalid"), 0);
    sender.SendByteMessage("", 0, 1);
    EXPECT_EQ(sender.SetDestination(kPort, nullptr), 0);
    sender.SendByteMessage("", 0, 1);
    sender.SetDestination(kPort, kWideGroup);
    sender.SendByteMessage("", 0, 1);
    std::vector<Bytes> d = TakeFull(probe, 1);
    ASSERT_EQ(d.size(), 1u);
    EXPECT_EQ(FieldsOf(d[0])[1], 3);
}

TEST(SenderLifetime, DestroyingTheSenderClosesItsSocket) {
    const size_t before = OpenDescriptors();
    { DatagramSender sender; }
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace tide
