// DatagramSender, checked on the wire: a plain socket joined to the group receives what
// the sender sends, and the tests look at the datagrams' bytes.
#include "sender/datagram_sender.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace tide {
namespace {

using Bytes = std::vector<uint8_t>;

constexpr const char* kGroup = "239.255.20.1";
constexpr const wchar_t* kWideGroup = L"239.255.20.1";
constexpr uint16_t kPort = 41001;
// Long enough for a datagram on loopback to arrive; reached only when one is missing.
constexpr int kArrivalWaitMilliseconds = 5000;
// How long a probe listens for a datagram that must not come.
constexpr int kSilenceMilliseconds = 200;

// A plain receiving socket joined to a group: what any peer on the network would see.
class WireProbe {
public:
    WireProbe(const char* group, uint16_t port) {
        fd = socket(AF_INET, SOCK_DGRAM, 0);
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        int bytes = 64 * 1024 * 1024;
        setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &bytes, sizeof bytes);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(port);
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        bound = bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) == 0;
        ip_mreq membership{};
        inet_pton(AF_INET, group, &membership.imr_multiaddr);
        membership.imr_interface.s_addr = htonl(INADDR_ANY);
        joined = setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) == 0;
    }
    ~WireProbe() { close(fd); }

    // The next datagram, as long as it really is (up to 64 KiB); empty when none came.
    Bytes Next(int waitMilliseconds = kArrivalWaitMilliseconds) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, waitMilliseconds) != 1) return {};
        Bytes datagram(65536);
        ssize_t n = recv(fd, datagram.data(), datagram.size(), 0);
        datagram.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return datagram;
    }

    // Exactly `count` datagrams, each checked to be full length, then silence.
    std::vector<Bytes> Take(size_t count) {
        std::vector<Bytes> datagrams;
        for (size_t i = 0; i < count; ++i) {
            Bytes datagram = Next();
            EXPECT_EQ(datagram.size(), static_cast<size_t>(kDatagramBytes)) << "datagram " << i;
            if (datagram.size() != static_cast<size_t>(kDatagramBytes)) return datagrams;
            datagrams.push_back(std::move(datagram));
        }
        EXPECT_TRUE(Next(kSilenceMilliseconds).empty()) << "more than " << count << " datagrams";
        return datagrams;
    }

    int fd = -1;
    bool bound = false;
    bool joined = false;
};

DatagramHeader HeaderOf(const Bytes& datagram) { return ReadHeader(datagram.data()); }

Bytes PayloadOf(const Bytes& datagram, size_t bytes) {
    return Bytes(datagram.begin() + kPayloadOffset, datagram.begin() + kPayloadOffset + bytes);
}

// `units` 16-bit units of `unit`, little-endian, followed by the zero unit.
Bytes Utf16Text(size_t units, uint16_t unit) {
    Bytes text;
    for (size_t i = 0; i < units; ++i) {
        text.push_back(static_cast<uint8_t>(unit));
        text.push_back(static_cast<uint8_t>(unit >> 8));
    }
    text.push_back(0);
    text.push_back(0);
    return text;
}

Bytes Pattern(size_t bytes) {
    Bytes block(bytes);
    for (size_t i = 0; i < bytes; ++i) block[i] = static_cast<uint8_t>(i * 7 + i / 251);
    return block;
}

size_t OpenDescriptors() {
    size_t count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
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

TEST_F(SenderOnTheWire, EmptyTextTravelsAsOneFragmentHoldingOnlyTheZeroUnit) {
    sender.SendTextMessage(Utf16Text(0, 0).data(), 1);
    std::vector<Bytes> datagrams = probe.Take(1);
    ASSERT_EQ(datagrams.size(), 1u);
    DatagramHeader header = HeaderOf(datagrams[0]);
    EXPECT_EQ(header.data_type, kTypeText);
    EXPECT_EQ(header.index, 1);
    EXPECT_EQ(header.data_tsize, 2);
    EXPECT_EQ(header.data_offset, 0);
    EXPECT_EQ(header.data_size, 2);
    EXPECT_EQ(header.tcount, 1);
    EXPECT_EQ(header.tindex, 1);
    EXPECT_EQ(PayloadOf(datagrams[0], 2), (Bytes{0, 0}));
}

TEST_F(SenderOnTheWire, TextOf10239UnitsFillsOneFragmentEndingInItsZeroUnit) {
    Bytes text = Utf16Text(10239, 0x4E2D);
    sender.SendTextMessage(text.data(), 1);
    std::vector<Bytes> datagrams = probe.Take(1);
    ASSERT_EQ(datagrams.size(), 1u);
    DatagramHeader header = HeaderOf(datagrams[0]);
    EXPECT_EQ(header.data_tsize, kFragmentBytes);
    EXPECT_EQ(header.data_size, kFragmentBytes);
    EXPECT_EQ(header.tcount, 1);
    EXPECT_EQ(PayloadOf(datagrams[0], kFragmentBytes), text);
}

TEST_F(SenderOnTheWire, TextOf10240UnitsEndsAtTheFixedTerminatorAndSendsItsZeroUnitAlone) {
    Bytes text = Utf16Text(10240, 0xFFFF);
    sender.SendTextMessage(text.data(), 1);
    std::vector<Bytes> datagrams = probe.Take(2);
    ASSERT_EQ(datagrams.size(), 2u);
    DatagramHeader first = HeaderOf(datagrams[0]);
    DatagramHeader second = HeaderOf(datagrams[1]);
    EXPECT_EQ(first.data_tsize, 20482);
    EXPECT_EQ(first.data_size, kFragmentBytes);
    EXPECT_EQ(first.tcount, 2);
    EXPECT_EQ(first.tindex, 1);
    EXPECT_EQ(PayloadOf(datagrams[0], kFragmentBytes), Bytes(text.begin(), text.end() - 2));
    EXPECT_EQ(datagrams[0][kTerminatorOffset], 0);
    EXPECT_EQ(datagrams[0][kTerminatorOffset + 1], 0);
    EXPECT_EQ(second.data_tsize, 20482);
    EXPECT_EQ(second.data_offset, kFragmentBytes);
    EXPECT_EQ(second.data_size, 2);
    EXPECT_EQ(second.tcount, 2);
    EXPECT_EQ(second.tindex, 2);
    EXPECT_EQ(PayloadOf(datagrams[1], 2), (Bytes{0, 0}));
}

TEST_F(SenderOnTheWire, TextEndsAtTheFirstZeroUnitNotTheFirstZeroByte) {
    // Units 0x0100, 'A', 0, 'B' at an odd address: a zero byte inside a unit does not end
    // the text, a zero unit does, and the text need not be aligned.
    const uint8_t storage[] = {0xAA, 0x00, 0x01, 0x41, 0x00, 0x00, 0x00, 0x42, 0x00, 0x00, 0x00};
    sender.SendTextMessage(storage + 1, 1);
    std::vector<Bytes> datagrams = probe.Take(1);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(HeaderOf(datagrams[0]).data_tsize, 6);
    EXPECT_EQ(HeaderOf(datagrams[0]).data_size, 6);
    EXPECT_EQ(PayloadOf(datagrams[0], 6), (Bytes{0x00, 0x01, 0x41, 0x00, 0x00, 0x00}));
}

TEST_F(SenderOnTheWire, ByteMessagesSplitAtFragmentBoundariesWithTheirBytesIntact) {
    struct Case {
        int32_t bytes;
        std::vector<int32_t> fragmentSizes;
    };
    const Case cases[] = {{0, {0}}, {20480, {20480}}, {20481, {20480, 1}}, {40960, {20480, 20480}}};
    int32_t index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE("message of " + std::to_string(c.bytes) + " bytes");
        Bytes message = Pattern(static_cast<size_t>(c.bytes));
        sender.SendByteMessage(message.data(), c.bytes, 1);
        ++index;
        std::vector<Bytes> datagrams = probe.Take(c.fragmentSizes.size());
        ASSERT_EQ(datagrams.size(), c.fragmentSizes.size());
        int32_t offset = 0;
        for (size_t i = 0; i < datagrams.size(); ++i) {
            DatagramHeader header = HeaderOf(datagrams[i]);
            EXPECT_EQ(header.data_type, kTypeBinary);
            EXPECT_EQ(header.index, index);
            EXPECT_EQ(header.data_tsize, c.bytes);
            EXPECT_EQ(header.data_offset, offset);
            EXPECT_EQ(header.data_size, c.fragmentSizes[i]);
            EXPECT_EQ(header.tcount, static_cast<int32_t>(c.fragmentSizes.size()));
            EXPECT_EQ(header.tindex, static_cast<int32_t>(i + 1));
            EXPECT_EQ(PayloadOf(datagrams[i], static_cast<size_t>(c.fragmentSizes[i])),
                      Bytes(message.begin() + offset, message.begin() + offset + c.fragmentSizes[i]));
            offset += c.fragmentSizes[i];
        }
    }
}

TEST_F(SenderOnTheWire, RepeatSendsEachFragmentThatManyTimesInARowAsIdenticalCopies) {
    Bytes message = Pattern(20481);
    sender.SendByteMessage(message.data(), 20481, 3);
    std::vector<Bytes> datagrams = probe.Take(6);
    ASSERT_EQ(datagrams.size(), 6u);
    for (size_t i = 0; i < 6; ++i) EXPECT_EQ(HeaderOf(datagrams[i]).tindex, i < 3 ? 1 : 2);
    EXPECT_EQ(datagrams[1], datagrams[0]);
    EXPECT_EQ(datagrams[2], datagrams[0]);
    EXPECT_EQ(datagrams[4], datagrams[3]);
    EXPECT_EQ(datagrams[5], datagrams[3]);
}

TEST_F(SenderOnTheWire, RepeatOfZeroOrLessSendsNothingYetUsesUpAMessageNumber) {
    Bytes text = Utf16Text(3, 'x');
    sender.SendTextMessage(text.data(), 1);
    sender.SendTextMessage(text.data(), 0);
    sender.SendByteMessage(text.data(), 4, -1);
    sender.SendByteMessage(text.data(), 4, 1);
    std::vector<Bytes> datagrams = probe.Take(2);
    ASSERT_EQ(datagrams.size(), 2u);
    EXPECT_EQ(HeaderOf(datagrams[0]).index, 1);
    EXPECT_EQ(HeaderOf(datagrams[1]).index, 4);
}

TEST_F(SenderOnTheWire, NegativeByteSizeSendsNothingAndKeepsTheMessageNumber) {
    Bytes message = Pattern(8);
    sender.SendByteMessage(message.data(), -8, 1);
    sender.SendByteMessage(message.data(), 8, 1);
    std::vector<Bytes> datagrams = probe.Take(1);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(HeaderOf(datagrams[0]).index, 1);
    EXPECT_EQ(HeaderOf(datagrams[0]).data_tsize, 8);
}

TEST_F(SenderOnTheWire, EverySenderNumbersItsMessagesFromOne) {
    Bytes text = Utf16Text(1, 'a');
    sender.SendTextMessage(text.data(), 1);
    sender.SendByteMessage(text.data(), 2, 1);
    DatagramSender other;
    other.SetDestination(kPort, kWideGroup);
    other.SendTextMessage(text.data(), 1);
    std::vector<Bytes> datagrams = probe.Take(3);
    ASSERT_EQ(datagrams.size(), 3u);
    EXPECT_EQ(HeaderOf(datagrams[0]).index, 1);
    EXPECT_EQ(HeaderOf(datagrams[1]).index, 2);
    EXPECT_EQ(HeaderOf(datagrams[2]).index, 1);
}

TEST_F(SenderOnTheWire, HeaderTravelsLittleEndian) {
    Bytes message = Pattern(20481);
    sender.SendByteMessage(message.data(), 20481, 1);
    std::vector<Bytes> datagrams = probe.Take(2);
    ASSERT_EQ(datagrams.size(), 2u);
    const Bytes expected = {
        0x00, 0x00, 0x00, 0x00,  // data_type binary
        0x01, 0x00, 0x00, 0x00,  // index 1
        0x01, 0x50, 0x00, 0x00,  // data_tsize 20481
        0x00, 0x50, 0x00, 0x00,  // data_offset 20480
        0x01, 0x00, 0x00, 0x00,  // data_size 1
        0x02, 0x00, 0x00, 0x00,  // tcount 2
        0x02, 0x00, 0x00, 0x00,  // tindex 2
    };
    EXPECT_EQ(Bytes(datagrams[1].begin(), datagrams[1].begin() + kHeaderBytes), expected);
}

TEST_F(SenderOnTheWire, ShortFragmentCarriesNoBytesOfAnEarlierMessage) {
    Bytes secret(kFragmentBytes, 0xFF);
    sender.SendByteMessage(secret.data(), kFragmentBytes, 1);
    const uint8_t small[] = {0x01};
    sender.SendByteMessage(small, 1, 1);
    std::vector<Bytes> datagrams = probe.Take(2);
    ASSERT_EQ(datagrams.size(), 2u);
    EXPECT_EQ(datagrams[0][kTerminatorOffset], 0) << "a full fragment overwrote the terminator";
    EXPECT_EQ(datagrams[0][kTerminatorOffset + 1], 0);
    Bytes expected(kDatagramBytes - kPayloadOffset, 0);
    expected[0] = 0x01;
    EXPECT_EQ(Bytes(datagrams[1].begin() + kPayloadOffset, datagrams[1].end()), expected);
}

TEST(SenderDestination, PortAboveSixteenBitsKeepsItsLowBits) {
    WireProbe probe(kGroup, 4464);
    ASSERT_TRUE(probe.bound && probe.joined);
    DatagramSender sender;
    sender.SetDestination(70000, kWideGroup);
    sender.SendByteMessage("", 0, 1);
    EXPECT_EQ(probe.Take(1).size(), 1u);
}

TEST(SenderDestination, HostNameResolvesToAnIPv4Address) {
    WireProbe probe(kGroup, kPort);
    ASSERT_TRUE(probe.bound);
    DatagramSender sender;
    sender.SetDestination(kPort, L"localhost");
    sender.SendByteMessage("", 0, 1);
    EXPECT_EQ(probe.Take(1).size(), 1u);
}

TEST(SenderDestination, UnresolvableHostSendsNothingAndLaterDestinationsStillWork) {
    WireProbe probe(kGroup, kPort);
    ASSERT_TRUE(probe.bound && probe.joined);
    DatagramSender sender;
    sender.SetDestination(kPort, kWideGroup);
    EXPECT_EQ(sender.SetDestination(kPort, L"no-such-host.invalid"), 0);
    sender.SendByteMessage("", 0, 1);
    EXPECT_EQ(sender.SetDestination(kPort, nullptr), 0);
    sender.SendByteMessage("", 0, 1);
    sender.SetDestination(kPort, kWideGroup);
    sender.SendByteMessage("", 0, 1);
    std::vector<Bytes> datagrams = probe.Take(1);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(HeaderOf(datagrams[0]).index, 3);
}

TEST(SenderLifetime, DestroyingTheSenderClosesItsSocket) {
    const size_t before = OpenDescriptors();
    { DatagramSender sender; }
    EXPECT_EQ(OpenDescriptors(), before);
}

}  // namespace
}  // namespace tide
