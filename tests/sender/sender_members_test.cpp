// The sender's members, called as a script calls them on a Tidespeak object made by the
// loaded module, checked on the wire with a plain socket joined to the group.
#include <gtest/gtest.h>

#include <cstring>

#include "host/address_table.h"
#include "tests/sender/speaker_fixture.h"

namespace tide::testing {
namespace {

constexpr char kGroup[] = "239.255.40.1";
constexpr uint16_t kPort = 43001;

using SenderMembersTest = SpeakerTest<kGroup, kPort>;

Bytes PayloadOf(const Bytes& datagram, size_t bytes) {
    return Bytes(datagram.begin() + kPayloadOffset,
                 datagram.begin() + kPayloadOffset + static_cast<long>(bytes));
}

TEST_F(SenderMembersTest, SendTextWithoutAStringSendsAnEmptyText) {
    EXPECT_EQ(IntegerResult(Call(speaker, "SendText")), 0);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendText", {Integer(42)})), 0);
    for (const Bytes& datagram : probe.Take(2)) {
        ASSERT_EQ(datagram.size(), static_cast<size_t>(kDatagramBytes));
        DatagramHeader header = HeaderOf(datagram);
        EXPECT_EQ(header.data_type, kTypeText);
        EXPECT_EQ(header.data_tsize, 2);
        EXPECT_EQ(header.data_size, 2);
        EXPECT_EQ(header.tcount, 1);
        EXPECT_EQ(PayloadOf(datagram, 2), (Bytes{0, 0}));
    }
}

TEST_F(SenderMembersTest, SendTextConvertsTheScriptsSetToSixteenBitUnits) {
    Call(speaker, "SendText", {String("abc")});
    Call(speaker, "SetDirectorCode", {String("ISO-8859-1")});
    Call(speaker, "SendText", {String("\xE9")});
    std::vector<Bytes> datagrams = probe.Take(2);
    ASSERT_EQ(datagrams.size(), 2u);
    EXPECT_EQ(HeaderOf(datagrams[0]).data_tsize, 8);
    EXPECT_EQ(PayloadOf(datagrams[0], 8), (Bytes{'a', 0, 'b', 0, 'c', 0, 0, 0}));
    EXPECT_EQ(HeaderOf(datagrams[0]).index, 1);
    EXPECT_EQ(PayloadOf(datagrams[1], 4), (Bytes{0xE9, 0, 0, 0})) << "Latin-1 \\xE9 is U+00E9";
    EXPECT_EQ(HeaderOf(datagrams[1]).index, 2);
}

TEST_F(SenderMembersTest, RepeatSendsCopiesZeroSendsNothingAndANonIntegerMeansOnce) {
    EXPECT_EQ(IntegerResult(Call(speaker, "SendText", {String("x"), Integer(3)})), 0);
    std::vector<Bytes> copies = probe.Take(3);
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(copies[0], copies[1]);
    EXPECT_EQ(copies[1], copies[2]);

    EXPECT_EQ(IntegerResult(Call(speaker, "SendText", {String("y"), Integer(0)})), 0);
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());
    Call(speaker, "SendText", {String("z"), Float(2.5)});
    std::vector<Bytes> once = probe.Take(1);
    ASSERT_EQ(once.size(), 1u);
    EXPECT_EQ(HeaderOf(once[0]).index, 3) << "repeat 0 still used message number 2";
}

TEST_F(SenderMembersTest, SendBinaryReadsTheWholeFileAndRefusesWhatCannotBeOpened) {
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(directory + "/missing")})), -1);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(directory)})), -1) << "a directory";
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary")), -1) << "no path";
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());

    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(WriteFile("empty", {}))})), 0);
    const Bytes content = Pattern(30000);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(WriteFile("file", content)), Integer(1)})),
              0);
    std::vector<Bytes> datagrams = probe.Take(3);
    ASSERT_EQ(datagrams.size(), 3u);
    DatagramHeader empty = HeaderOf(datagrams[0]);
    EXPECT_EQ(empty.index, 1) << "refused files used no message number";
    EXPECT_EQ(empty.data_type, kTypeBinary);
    EXPECT_EQ(empty.data_tsize, 0);
    EXPECT_EQ(empty.data_size, 0);
    Bytes reassembled = PayloadOf(datagrams[1], 20480);
    Bytes tail = PayloadOf(datagrams[2], 30000 - 20480);
    reassembled.insert(reassembled.end(), tail.begin(), tail.end());
    EXPECT_EQ(reassembled, content);
    EXPECT_EQ(HeaderOf(datagrams[2]).data_offset, 20480);
    EXPECT_EQ(HeaderOf(datagrams[2]).tcount, 2);
}

TEST_F(SenderMembersTest, WritingTextOrBinarySendsOnceAndHidesTheResult) {
    EXPECT_EQ(Set(speaker, "Text", String("hi")), host::kOk);
    EXPECT_EQ(Set(speaker, "Binary", String(directory + "/missing")), host::kOk);
    std::vector<Bytes> datagrams = probe.Take(1);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(PayloadOf(datagrams[0], 6), (Bytes{'h', 0, 'i', 0, 0, 0}));
    EXPECT_EQ(Set(speaker, "Binary", String(WriteFile("one", {1, 2, 3}))), host::kOk);
    EXPECT_EQ(probe.Take(1).size(), 1u);
    EXPECT_EQ(Get(speaker, "Binary").status, host::kNoSuchProperty);
}

TEST_F(SenderMembersTest, OpenWithAPortGivenAsAStringUsesPortZero) {
    EXPECT_EQ(IntegerResult(Call(speaker, "Open", {String("43001"), String(kGroup)})), 0);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendText", {String("lost")})), 0);
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());
    // Port 43001 + 65536 is port 43001 again.
    Call(speaker, "Open", {Integer(kPort + 65536), String(kGroup)});
    Call(speaker, "SendText", {String("found")});
    EXPECT_EQ(probe.Take(1).size(), 1u);
}

TEST_F(SenderMembersTest, SendBufferSendsAPublishedRegionAndRefusesAnythingElse) {
    const Bytes block = Pattern(25000, 3);
    uint32_t handle = 0;
    ASSERT_EQ(host.addressTable()->Publish(block.data(), static_cast<uint32_t>(block.size()), &handle),
              host::kOk);
    const int32_t number = static_cast<int32_t>(handle);

    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number + 7777), Integer(10)})), -1);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number), Integer(25001)})), -1)
        << "too long";
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number), Integer(-1)})), -1);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number)})), -1) << "no size";
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {String("1"), Integer(10)})), -1);
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());

    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number), Integer(25000), Integer(2)})), 0);
    std::vector<Bytes> datagrams = probe.Take(4);
    ASSERT_EQ(datagrams.size(), 4u);
    EXPECT_EQ(HeaderOf(datagrams[0]).index, 1) << "refused calls used no message number";
    EXPECT_EQ(datagrams[0], datagrams[1]);
    Bytes sent = PayloadOf(datagrams[0], 20480);
    Bytes tail = PayloadOf(datagrams[2], 25000 - 20480);
    sent.insert(sent.end(), tail.begin(), tail.end());
    EXPECT_EQ(sent, block);

    host.addressTable()->Withdraw(handle);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number), Integer(1)})), -1) << "withdrawn";
}

// The TTL in the IP header of each datagram, as the probe's socket is told it; 0 when no
// datagram came.
#ifndef _WIN32
int ArrivingTtl(WireProbe& probe) {
    if (!WaitReadable(probe.fd, kArrivalWaitMilliseconds)) return 0;
    Bytes datagram(65536);
    iovec part{datagram.data(), datagram.size()};
    alignas(cmsghdr) char control[64];
    msghdr message{};
    message.msg_iov = &part;
    message.msg_iovlen = 1;
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    if (recvmsg(probe.fd, &message, 0) < 0) return 0;
    for (cmsghdr* header = CMSG_FIRSTHDR(&message); header; header = CMSG_NXTHDR(&message, header)) {
        if (header->cmsg_level == IPPROTO_IP && header->cmsg_type == IP_TTL) {
            int ttl = 0;
            std::memcpy(&ttl, CMSG_DATA(header), sizeof ttl);
            return ttl;
        }
    }
    return 0;
}
#endif

TEST_F(SenderMembersTest, DatagramsCarryTheTtlAScriptSets) {
#ifdef _WIN32
    GTEST_SKIP() << "the probe reads a datagram's TTL with Linux's IP_RECVTTL";
#else
    int on = 1;
    ASSERT_EQ(setsockopt(probe.fd, IPPROTO_IP, IP_RECVTTL, &on, sizeof on), 0);
    Call(speaker, "SendText", {String("a")});
    EXPECT_EQ(ArrivingTtl(probe), 1) << "no router crossed unless a script says so";
    Call(speaker, "SetTTL", {Integer(0)});
    Call(speaker, "SetTTL", {Integer(256)});
    Call(speaker, "SendText", {String("b")});
    EXPECT_EQ(ArrivingTtl(probe), 1) << "TTLs outside 1 to 255 change nothing";
    Set(speaker, "TTL", Integer(64));
    Call(speaker, "SendText", {String("c")});
    EXPECT_EQ(ArrivingTtl(probe), 64);
    EXPECT_EQ(IntegerResult(Call(speaker, "GetTTL")), 64);
#endif
}

}  // namespace
}  // namespace tide::testing
