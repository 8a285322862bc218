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

#include <array>
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

size_t OpenDescriptors() {
    size_t count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

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
    std::vector<Bytes> d = probe.Take(5);
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
    Bytes message(40960);
    for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i * 7 + i / 251);
    for (int32_t size : {0, 20480, 20481, 40960}) sender.SendByteMessage(message.data(), size, 1);
    std::vector<Bytes> d = probe.Take(6);
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
    std::vector<Bytes> d = probe.Take(6);
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
    std::vector<Bytes> d = probe.Take(3);
    ASSERT_EQ(d.size(), 3u);
    EXPECT_EQ(FieldsOf(d[0])[1], 1);
    EXPECT_EQ(FieldsOf(d[1]), (Fields{kTypeBinary, 4, 4, 0, 4, 1, 1}));
    EXPECT_EQ(FieldsOf(d[2])[1], 1);
}

TEST_F(SenderOnTheWire, ShortFragmentCarriesNoBytesOfAnEarlierMessage) {
    const Bytes secret(kFragmentBytes, 0xFF);
    sender.SendByteMessage(secret.data(), kFragmentBytes, 1);
    sender.SendByteMessage("\x01", 1, 1);
    std::vector<Bytes> d = probe.Take(2);
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
    EXPECT_EQ(low.Take(1).size(), 1u);
    EXPECT_EQ(named.Take(1).size(), 1u);
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
    std::vector<Bytes> d = probe.Take(1);
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
