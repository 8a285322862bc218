// Receiving from a script: a Tidelisten object made by the loaded module, opened and
// started on a group, hands datagrams to a script object's handlers as the host notifies
// it: texts with their header fields, binary messages put back together from their
// fragments. Datagrams come from a Tidespeak object or from a plain socket that sends
// whatever a test makes, malformed ones included.
#include "receiver/delivery.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <regex>
#include <thread>
#include <tuple>

#include "framework/iconv_calls.h"
#include "host/address_table.h"
#include "receiver/group_listener.h"
#include "tests/receiver/listener_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/platform.h"
#include "tests/support/private_network.h"
#include "tests/support/process_counts.h"

namespace tide::testing {
namespace {

constexpr char kGroup[] = "239.255.50.1";
constexpr uint16_t kPort = 44001;

using DeliveryTest = ListenerTest<kGroup, kPort>;

// Two messages of two fragments each, `a` from `first` as message number `aIndex` and
// `b` from `second` as `bIndex`, sent fragment by fragment in turn.
void SendInterleaved(const Bytes& a, RawSender& first, int32_t aIndex, const Bytes& b, RawSender& second,
                     int32_t bIndex) {
    first.Send(MessageFragment(a, aIndex, 1));
    second.Send(MessageFragment(b, bIndex, 1));
    first.Send(MessageFragment(a, aIndex, 2));
    second.Send(MessageFragment(b, bIndex, 2));
}

TEST_F(DeliveryTest, ATextArrivesWithItsNineHeaderFieldsInOrder) {
    host::HostValue speaker = NewSpeaker();
    Call(speaker, "Open", {Integer(kPort), String(kGroup)});
    Call(speaker, "SendText", {String("h\xC3\xA9llo")});
    ASSERT_TRUE(PumpTexts(1));
    const ReceivedText& text = texts[0];
    EXPECT_EQ(text.Keys(), (std::vector<std::string>{"data", "remote_host", "data_tsize", "data_offset",
                                                     "data_size", "data_type", "index", "tcount", "tindex"}));
    EXPECT_EQ(text.Text("data"), "h\xC3\xA9llo");
    EXPECT_TRUE(std::regex_match(text.Text("remote_host"), std::regex(R"(127\.0\.0\.1:[0-9]{1,5})")))
        << text.Text("remote_host");
    EXPECT_EQ(text.Integer("data_tsize"), 12);
    EXPECT_EQ(text.Integer("data_offset"), 0);
    EXPECT_EQ(text.Integer("data_size"), 12);
    EXPECT_EQ(text.Integer("data_type"), 1);
    EXPECT_EQ(text.Integer("index"), 1);
    EXPECT_EQ(text.Integer("tcount"), 1);
    EXPECT_EQ(text.Integer("tindex"), 1);
}

TEST_F(DeliveryTest, EachNotificationDeliversOneDatagramInArrivalOrder) {
    RawSender peer(kGroup, kPort);
    for (int32_t index = 1; index <= 3; ++index)
        peer.Send(
            MakeDatagram({kTypeText, index, 4, 0, 4, 1, 1}, {static_cast<uint8_t>('0' + index), 0, 0, 0}));
    ASSERT_TRUE(PumpTexts(1));
    // The other two are queued by now; each notification takes exactly one.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    host.Notify();
    EXPECT_EQ(texts.size(), 2u);
    host.Notify();
    ASSERT_EQ(texts.size(), 3u);
    host.Notify();
    EXPECT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0].Text("data") + texts[1].Text("data") + texts[2].Text("data"), "123");
}

TEST_F(DeliveryTest, ANotificationGoesPastDatagramsNobodySeesUpToABound) {
    // The receiver's GroupListener, found the way a script finds it: its "Pointer".
    void* found = nullptr;
    host.addressTable()->Resolve(static_cast<uint32_t>(IntegerResult(Get(listener, "Pointer"))),
                                 sizeof(GroupListener), &found);
    ASSERT_NE(found, nullptr);
    auto* queue = static_cast<GroupListener*>(found);

    RawSender peer(kGroup, kPort);
    Bytes fragment = MakeDatagram({kTypeBinary, 5, 20, 0, 10, 2, 1}, Pattern(10));
    fragment.resize(kHeaderBytes + 10);
    constexpr int kRepeats = kMostPassedPerNotification + 44;
    for (int copy = 0; copy <= kRepeats; ++copy) peer.Send(fragment);
    peer.Send(MakeDatagram({kTypeText, 6, 4, 0, 4, 1, 1}, {'t', 0, 0, 0}));
    ASSERT_TRUE(WaitUntil([&] { return queue->QueuedBlocks() == kRepeats + 2; }));
    host.Notify();  // takes the fragment
    host.Notify();  // goes past as many repeats as it may
    EXPECT_TRUE(texts.empty()) << "one notification went past more than its bound";
    EXPECT_EQ(queue->QueuedBlocks(), 45u);
    host.Notify();  // past the rest, to the text
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].Text("data"), "t");
}

// What a fresh conversion of `units` (UTF-16LE) to `set` gives, as far as a host string
// holds it: up to the first zero byte.
std::string FreshConversion(const char* set, Bytes units) {
    ConversionHandle handle = OpenConversion(set, "UTF-16LE");
    if (!handle) return "(cannot open)";
    char out[64] = {};
    const char* in = reinterpret_cast<const char*>(units.data());
    size_t inLeft = units.size();
    char* cursor = out;
    size_t outLeft = sizeof out - 1;
    int error = 0;
    RunConversion(handle, &in, &inLeft, &cursor, &outLeft, &error);
    CloseConversion(handle);
    return out;
}

TEST_F(DeliveryTest, EachTextIsConvertedToTheSetTheObjectHasWhenItArrives) {
    RawSender peer(kGroup, kPort);
    // U+65E5 U+672C and the zero unit, as UTF-16LE.
    const Bytes units = {0xE5, 0x65, 0x2C, 0x67, 0, 0};
    // Stateful sets: ISO-2022-JP shifts in and out, UTF-16 begins with a mark. UTF-16 comes
    // last: a set's name is read in the object's set too, and these names are ASCII.
    const char* sets[] = {"ISO-2022-JP", "ISO-2022-JP", "UTF-8", "ISO-2022-JP", "UTF-16", "UTF-16"};
    const size_t count = sizeof sets / sizeof sets[0];
    for (size_t i = 0; i < count; ++i) {
        if (i == 0 || std::string(sets[i]) != sets[i - 1]) Set(listener, "DirectorCode", String(sets[i]));
        peer.Send(MakeDatagram({kTypeText, static_cast<int32_t>(i + 1), 6, 0, 6, 1, 1}, units));
        ASSERT_TRUE(PumpTexts(i + 1));
    }
    EXPECT_EQ(texts[0].Text("data"), "\x1B$BF|K\\\x1B(B");
    EXPECT_EQ(texts[2].Text("data"), "\xE6\x97\xA5\xE6\x9C\xAC");
    for (size_t i = 0; i < count; ++i) {
        EXPECT_EQ(texts[i].Text("data"), FreshConversion(sets[i], units))
            << "text " << i + 1 << " in " << sets[i] << " converts as with a converter of its own";
    }
    EXPECT_TRUE(std::regex_match(texts[3].Text("remote_host"), std::regex(R"(127\.0\.0\.1:[0-9]{1,5})")));
}

TEST_F(DeliveryTest, ALongTextArrivesAsTwoDatagramsTheSecondEmpty) {
    host::HostValue speaker = NewSpeaker();
    Call(speaker, "Open", {Integer(kPort), String(kGroup)});
    Call(speaker, "SendText", {String(std::string(10240, 'q'))});
    ASSERT_TRUE(PumpTexts(2));
    EXPECT_EQ(texts[0].Text("data"), std::string(10240, 'q'));
    EXPECT_EQ(texts[0].Integer("data_size"), 20480);
    EXPECT_EQ(texts[1].Text("data"), "");
    EXPECT_EQ(texts[1].Integer("data_size"), 2);
    EXPECT_EQ(texts[1].Integer("data_offset"), 20480);
    EXPECT_EQ(texts[1].Integer("tindex"), 2);
    EXPECT_EQ(texts[1].Integer("data_tsize"), 20482);
}

TEST_F(DeliveryTest, AMessageWhoseFragmentsArriveOutOfOrderCompletesOnceWithAllItsBytes) {
    const Bytes message = Pattern(50000);
    RawSender peer(kGroup, kPort);
    for (int32_t tindex : {2, 3}) peer.Send(MessageFragment(message, 9, tindex));
    PumpQuietly();
    EXPECT_TRUE(binaries.empty());
    peer.Send(MessageFragment(message, 9, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return !binaries.empty(); }));
    EXPECT_EQ(binaries[0].length, 50000);
    EXPECT_EQ(binaries[0].bytes, message);
    PumpQuietly();
    EXPECT_EQ(binaries.size(), 1u);
}

TEST_F(DeliveryTest, RepeatedCopiesNeverCompleteAMessageEarlyAndCompleteItOnce) {
    const Bytes message = Pattern(50000, 11);
    RawSender peer(kGroup, kPort);
    for (int copy = 0; copy < 3; ++copy) peer.Send(MessageFragment(message, 4, 1));
    PumpQuietly();
    EXPECT_TRUE(binaries.empty()) << "three copies of one fragment are not a message of three";

    // A whole message sent by the sender with every fragment three times.
    host::HostValue speaker = NewSpeaker();
    Call(speaker, "Open", {Integer(kPort), String(kGroup)});
    uint32_t handle = 0;
    host.addressTable()->Publish(message.data(), static_cast<uint32_t>(message.size()), &handle);
    Call(speaker, "SendBuffer", {Integer(static_cast<int32_t>(handle)), Integer(50000), Integer(3)});
    ASSERT_TRUE(PumpUntil(host, [&] { return !binaries.empty(); }));
    EXPECT_EQ(binaries[0].bytes, message);
    PumpQuietly();
    EXPECT_EQ(binaries.size(), 1u);
    host.addressTable()->Withdraw(handle);
}

// Another sender's message of the same length, whose fragments leave gaps, must not be
// handed over with the bytes the buffer still holds from the first.
TEST_F(DeliveryTest, AMessageIsHandedOverOnlyOnceItsFragmentsCoverEveryByteOfIt) {
    RawSender first(kGroup, kPort);
    const Bytes secret = Pattern(100, 21);
    first.Send(MessageFragment(secret, 1, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return binaries.size() == 1; }));

    RawSender second(kGroup, kPort);
    // One fragment of 4 bytes for all 100; two fragments at the same offset; a fragment
    // that ends one byte short of the end.
    second.Send(MakeDatagram({kTypeBinary, 1, 100, 0, 4, 1, 1}, {'A', 'B', 'C', 'D'}));
    second.Send(MakeDatagram({kTypeBinary, 2, 100, 0, 50, 2, 1}, Pattern(50, 1)));
    second.Send(MakeDatagram({kTypeBinary, 2, 100, 0, 50, 2, 2}, Pattern(50, 2)));
    second.Send(MakeDatagram({kTypeBinary, 3, 100, 0, 60, 2, 1}, Pattern(60, 3)));
    second.Send(MakeDatagram({kTypeBinary, 3, 100, 60, 39, 2, 2}, Pattern(39, 4)));
    // A foreign sender's own cut: small fragments, out of order, overlapping, covering it.
    const Bytes message = Pattern(100, 5);
    for (auto [tindex, offset, size] : {std::tuple{3, 60, 40}, {1, 0, 40}, {2, 30, 40}}) {
        second.Send(MakeDatagram({kTypeBinary, 4, 100, offset, size, 3, tindex},
                                 Bytes(message.begin() + offset, message.begin() + offset + size)));
    }
    ASSERT_TRUE(PumpUntil(host, [&] { return binaries.size() == 2; }));
    EXPECT_EQ(binaries[1].bytes, message) << "only the covered message is handed over";
    PumpQuietly();
    EXPECT_EQ(binaries.size(), 2u);
}

// 512 datagrams of 29 bytes, each a byte at a new 2 MiB step of a message that claims
// 10^9 bytes: the listener may hold what they touch, not huge pages across the buffer.
// With 32-bit addresses such a claim makes the buffer grow not at all.
TEST_F(DeliveryTest, AMessageClaimedHugeButSentAsFarApartBytesHoldsOnlyWhatItTouched) {
    constexpr int32_t kClaimed = 1000 * 1000 * 1000;
    constexpr int32_t kStep = 2 * 1024 * 1024;
    constexpr int32_t kDatagrams = 512;
    const size_t before = ResidentBytes();
    RawSender peer(kGroup, kPort);
    for (int32_t i = 0; i < kDatagrams; ++i) {
        Bytes datagram = MakeDatagram({kTypeBinary, 1, kClaimed, i * kStep, 1, kDatagrams, i + 1}, {0x77});
        datagram.resize(kHeaderBytes + 1);
        peer.Send(datagram);
    }
    // The queue keeps the order they came in: once this text is delivered, so are they.
    peer.Send(MakeDatagram({kTypeText, 2, 4, 0, 4, 1, 1}, {'z', 0, 0, 0}));
    ASSERT_TRUE(PumpTexts(1));
    if (sizeof(void*) == 4) {
        EXPECT_EQ(BufferSize(), 102400) << "a peer's claim alone takes no share of a 32-bit address space";
        return;
    }
    EXPECT_EQ(BufferSize(), kClaimed + 1024);
    // A sanitizer's allocator keeps the receive blocks it freed, and message memory comes
    // from its heap there: what is resident says nothing of the listener's own.
    if (kSanitized) return;
    const double grownMiB = (static_cast<double>(ResidentBytes()) - static_cast<double>(before)) / (1 << 20);
    EXPECT_LT(grownMiB, 16.0) << "resident memory grew by " << grownMiB << " MiB for " << kDatagrams * 29
                              << " bytes received";
}

TEST_F(DeliveryTest, TheBufferGrowsOnlyForMessagesThatReachItsSize) {
    EXPECT_EQ(IntegerResult(Call(listener, "GetBufferSize")), 102400);
    RawSender peer(kGroup, kPort);
    peer.Send(MakeDatagram({kTypeBinary, 1, 102399, 0, 0, 5, 1}));
    peer.Send(MakeDatagram({kTypeBinary, 2, 102400, 0, 0, 5, 1}));
    ASSERT_TRUE(PumpUntil(host, [&] { return BufferSize() != 102400; }));
    EXPECT_EQ(BufferSize(), 103424);

    Set(listener, "BufferSize", Integer(4096));
    EXPECT_EQ(BufferSize(), 4096);
    Call(listener, "SetBufferSize", {Integer(0)});
    Call(listener, "SetBufferSize", {Integer(-5)});
    Call(listener, "SetBufferSize", {String("9")});
    EXPECT_EQ(BufferSize(), 4096) << "sizes of 0 or less, and non-integers, change nothing";

    const Bytes message = Pattern(10000, 5);
    peer.Send(MessageFragment(message, 3, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return !binaries.empty(); }));
    EXPECT_EQ(BufferSize(), 11024);
    EXPECT_EQ(binaries[0].bytes, message);
}

TEST_F(DeliveryTest, ABufferShrunkBelowAMessagesLengthGrowsAgainForTheNextMessagesOfThatLength) {
    RawSender peer(kGroup, kPort);
    peer.Send(MessageFragment(Pattern(10000, 1), 1, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return binaries.size() == 1; }));
    Set(listener, "BufferSize", Integer(4096));
    ASSERT_EQ(BufferSize(), 4096);
    // Of the same length as the one before the shrink: a receiver of fixed-size messages.
    for (int32_t index = 2; index <= 3; ++index) peer.Send(MessageFragment(Pattern(10000, index), index, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return binaries.size() == 3; }))
        << "messages of that length went unheard";
    EXPECT_EQ(binaries[1].bytes, Pattern(10000, 2));
    EXPECT_EQ(binaries[2].bytes, Pattern(10000, 3));
    EXPECT_EQ(BufferSize(), 11024);

    // A shrink in the middle of a message below the bytes it has taken: it starts over,
    // so it is never handed over; the next message of that length is whole.
    const Bytes long1 = Pattern(30000, 4);
    const Bytes long2 = Pattern(30000, 5);
    peer.Send(MessageFragment(long1, 4, 1));
    // Its first fragment has been taken in once the buffer has grown for it.
    ASSERT_TRUE(PumpUntil(host, [&] { return BufferSize() == 31024; }));
    Set(listener, "BufferSize", Integer(10000));
    peer.Send(MessageFragment(long1, 4, 2));
    for (int32_t tindex : {1, 2}) peer.Send(MessageFragment(long2, 5, tindex));
    ASSERT_TRUE(PumpUntil(host, [&] { return binaries.size() == 4; }));
    EXPECT_EQ(binaries[3].bytes, long2);
    EXPECT_EQ(BufferSize(), 31024);
    PumpQuietly();
    EXPECT_EQ(binaries.size(), 4u);
}

// A script that changes the buffer's size between the fragments of a message, larger or
// smaller but still holding what came: the message keeps the bytes it has taken, and is
// handed over whole, never with what the new buffer's memory held.
TEST_F(DeliveryTest, AMessageKeepsItsBytesWhenAScriptReplacesTheBufferBetweenItsFragments) {
    RawSender peer(kGroup, kPort);
    std::vector<int32_t> sizes = {300000, 25000};
    script->onText = [&](const ReceivedText&) {
        Call(listener, "SetBufferSize", {Integer(sizes.front())});
        sizes.erase(sizes.begin());
    };
    for (int32_t index = 1; index <= 2; ++index) {
        const Bytes message = Pattern(30000, 10 + index);
        peer.Send(MessageFragment(message, index, 1));
        peer.Send(MakeDatagram({kTypeText, 90 + index, 4, 0, 4, 1, 1}, {'x', 0, 0, 0}));
        peer.Send(MessageFragment(message, index, 2));
        ASSERT_TRUE(PumpUntil(host, [&] { return binaries.size() == static_cast<size_t>(index); }));
        EXPECT_EQ(binaries.back().bytes, message) << "message " << index;
    }
    EXPECT_EQ(texts.size(), 2u);
    EXPECT_EQ(BufferSize(), 31024) << "the smaller buffer grew back for the message's last fragment";
}

TEST_F(DeliveryTest, AnEmptyMessageReachesTheHandlerWithLengthZero) {
    RawSender peer(kGroup, kPort);
    peer.Send(MakeDatagram({kTypeBinary, 1, 0, 0, 0, 1, 1}));
    ASSERT_TRUE(PumpUntil(host, [&] { return !binaries.empty(); }));
    EXPECT_EQ(binaries[0].length, 0);
    EXPECT_NE(binaries[0].number, 0) << "still the buffer's number";
}

TEST_F(DeliveryTest, ANewNumberOrANewLengthStartsANewMessage) {
    RawSender peer(kGroup, kPort);
    const Bytes a = Pattern(30000, 1);
    const Bytes b = Pattern(30000, 2);
    // One length, one sender, two numbers, alternating: each fragment starts over.
    SendInterleaved(a, peer, 1, b, peer, 2);
    // A length that changes in the middle of a message, and changes back.
    peer.Send(MessageFragment(a, 3, 1));
    Bytes longer = MessageFragment(a, 3, 2);
    WriteHeader(longer.data(), {kTypeBinary, 3, 30001, kFragmentBytes, 30000 - kFragmentBytes, 2, 2});
    peer.Send(longer);
    peer.Send(MessageFragment(a, 3, 2));
    PumpQuietly();
    EXPECT_TRUE(binaries.empty()) << "no fragment counted for a message it does not belong to";
    for (int32_t tindex : {1, 2}) peer.Send(MessageFragment(b, 4, tindex));
    ASSERT_TRUE(PumpUntil(host, [&] { return !binaries.empty(); }));
    ASSERT_EQ(binaries.size(), 1u);
    EXPECT_EQ(binaries[0].bytes, b);
}

TEST_F(DeliveryTest, ABinaryMessageWithoutABinaryHandlerStillMovesTheReassembly) {
    host::HostValue quiet = NewListener();
    ASSERT_EQ(ListenInstead(quiet), 0);
    RawSender peer(kGroup, kPort);
    const Bytes message = Pattern(150000, 3);
    for (int32_t tindex = 1; tindex <= FragmentCount(150000); ++tindex)
        peer.Send(MessageFragment(message, 1, tindex));
    peer.Send(MakeDatagram({kTypeText, 2, 4, 0, 4, 1, 1}, {'z', 0, 0, 0}));
    ASSERT_TRUE(PumpTexts(1));
    EXPECT_TRUE(binaries.empty());
    EXPECT_EQ(IntegerResult(Get(quiet, "BufferSize")), 151024)
        << "the buffer grew for the message all the same";
    EXPECT_EQ(host.counters().failedHandlerCalls, 0u);
    // Named later, the handler gets the next message.
    Call(quiet, "OnBinaryData", {Symbol("onBinary")});
    peer.Send(MessageFragment(Pattern(10, 4), 3, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return !binaries.empty(); }));
    EXPECT_EQ(binaries[0].bytes, Pattern(10, 4));
}

TEST_F(DeliveryTest, InterleavedSendersResetEachOthersCount) {
    RawSender first(kGroup, kPort);
    RawSender second(kGroup, kPort);
    const Bytes a = Pattern(30000, 1);
    const Bytes b = Pattern(30000, 2);
    // Two-fragment messages of the same length and number, interleaved: neither completes.
    SendInterleaved(a, first, 1, b, second, 1);
    PumpQuietly();
    EXPECT_TRUE(binaries.empty());
    // One-fragment messages complete at once whoever sends them.
    first.Send(MessageFragment(Pattern(100, 3), 1, 1));
    second.Send(MessageFragment(Pattern(100, 4), 1, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return binaries.size() == 2; }));
    EXPECT_EQ(binaries[0].bytes, Pattern(100, 3));
    EXPECT_EQ(binaries[1].bytes, Pattern(100, 4));
}

TEST_F(DeliveryTest, TheLongestSenderTextIsNeverCut) {
    // Wine binds a datagram socket to every address rather than the one it names, so the
    // sender's address is the route's there.
    if (UnderWine()) GTEST_SKIP() << "under Wine a peer cannot choose its source address";
    RawSender peer(kGroup, kPort, kLongestLocalAddress, 65000);
    ASSERT_TRUE(peer.bound);
    peer.Send(MakeDatagram({kTypeText, 1, 4, 0, 4, 1, 1}, {'x', 0, 0, 0}));
    ASSERT_TRUE(PumpTexts(1));
    EXPECT_EQ(texts[0].Text("remote_host"), "100.100.100.100:65000");
    // Two fragments from that sender belong to one message.
    const Bytes message = Pattern(30000, 9);
    peer.Send(MessageFragment(message, 2, 1));
    peer.Send(MessageFragment(message, 2, 2));
    ASSERT_TRUE(PumpUntil(host, [&] { return !binaries.empty(); }));
    EXPECT_EQ(binaries[0].bytes, message);
}

TEST_F(DeliveryTest, MalformedDatagramsAreConsumedWithoutHarm) {
    RawSender peer(kGroup, kPort);
    peer.Send(Bytes(10, 0x01));                                                // shorter than a header
    peer.Send(Bytes(kHeaderBytes, 0x00));                                      // header only: binary, 0 bytes
    peer.Send(MakeDatagram({kTypeBinary, 5, 100, -20480, 10, 1, 1}));          // negative offset
    peer.Send(MakeDatagram({kTypeBinary, 6, 100, 0, 30000, 1, 1}));            // oversize fragment
    peer.Send(MakeDatagram({kTypeBinary, 7, 100, 102400, 10, 1, 1}));          // beyond the buffer
    peer.Send(MakeDatagram({kTypeBinary, 8, INT32_MAX - 100, 0, 10, 1, 1}));   // no buffer that large: never
                                                                               // handed over as complete
    peer.Send(MakeDatagram({kTypeBinary, 9, 100, 0, 10, 0, 1}));               // no fragments
    peer.Send(MakeDatagram({kTypeBinary, 10, 100, 0, 10, 2, 5}));              // fragment beyond the count
    peer.Send(MakeDatagram({7, 11, 100, 0, 10, 1, 1}));                        // unknown kind
    Bytes truncated = MakeDatagram({kTypeBinary, 12, 20000, 0, 20000, 1, 1});  // claims more than arrived
    truncated.resize(100);
    peer.Send(truncated);
    Bytes unterminated(static_cast<size_t>(kDatagramBytes), 'A');  // text without a zero unit
    WriteHeader(unterminated.data(), {kTypeText, 13, 2, 0, 2, 1, 1});
    peer.Send(unterminated);
    Bytes shortText = MakeDatagram({kTypeText, 14, 8, 0, 8, 1, 1}, {'a', 0, 'b', 0});
    shortText.resize(kHeaderBytes + 3);  // ends inside a unit
    peer.Send(shortText);
    // A good message afterwards still completes.
    const Bytes message = Pattern(300, 8);
    peer.Send(MessageFragment(message, 20, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return !binaries.empty(); }));
    EXPECT_EQ(binaries.size(), 1u) << "only the good message completed";
    EXPECT_EQ(binaries.back().bytes, message);
    ASSERT_EQ(texts.size(), 2u);
    std::string units;
    for (int i = 0; i < 10241; ++i) units += "\xE4\x85\x81";  // U+4141, from the bytes 'A' 'A'
    EXPECT_EQ(texts[0].Text("data"), units) << "the scan stops at the datagram's end";
    EXPECT_EQ(texts[1].Text("data"), "a") << "the scan stops where the bytes that arrived end";
}

TEST_F(DeliveryTest, AFailingHandlerDoesNotStopLaterDeliveries) {
    script->textStatus = host::kNoSuchMember;
    RawSender peer(kGroup, kPort);
    for (int32_t index = 1; index <= 2; ++index)
        peer.Send(MakeDatagram({kTypeText, index, 4, 0, 4, 1, 1}, {'a', 0, 0, 0}));
    ASSERT_TRUE(PumpTexts(2));
}

TEST_F(DeliveryTest, AReceivedBufferCanBeRelayedWithSendBuffer) {
    constexpr const char* kRelayGroup = "239.255.50.2";
    // Another port too: the system hands a port's datagrams to every socket bound to it.
    constexpr uint16_t kRelayPort = kPort + 1;
    WireProbe probe(kRelayGroup, kRelayPort);
    host::HostValue relay = NewSpeaker();
    Call(relay, "Open", {Integer(kRelayPort), String(kRelayGroup)});
    script->onBinary = [&](const ReceivedBinary& delivery) {
        EXPECT_EQ(
            IntegerResult(Call(relay, "SendBuffer", {Integer(delivery.number), Integer(delivery.length)})),
            0);
    };
    const Bytes message = Pattern(5000, 6);
    RawSender peer(kGroup, kPort);
    peer.Send(MessageFragment(message, 1, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return !binaries.empty(); }));
    std::vector<Bytes> relayed = probe.Take(1);
    ASSERT_EQ(relayed.size(), 1u);
    EXPECT_EQ(Bytes(relayed[0].begin() + kPayloadOffset, relayed[0].begin() + kPayloadOffset + 5000),
              message);
}

TEST_F(DeliveryTest, AHandlerMayLetGoOfTheLastReferenceToItsReceiver) {
    host::HostValue own = listen->New();
    EXPECT_EQ(ListenInstead(own), 0);
    bool released = false;
    script->onText = [&](const ReceivedText&) {
        if (!released) host.Release(own);
        released = true;
    };
    RawSender peer(kGroup, kPort);
    peer.Send(MakeDatagram({kTypeText, 1, 4, 0, 4, 1, 1}, {'a', 0, 0, 0}));
    ASSERT_TRUE(PumpTexts(1));
    EXPECT_EQ(host.alive().notificationClients, 1u) << "torn down once its delivery was over";
}

// Run in a process of its own by the test below: sends a text and a three-fragment
// message from a Tidespeak object of its own host, then exits.
TEST(SenderProcess, SendsATextAndAMessage) {
    if (!std::getenv("TIDE_SENDER_PROCESS")) GTEST_SKIP() << "only run as the sender of another test";
    emulator::Host host;
    std::string error;
    auto speak = emulator::Module::Load(host, emulator::ModuleFile(PluginDirectory(), "Tidespeak"), &error);
    ASSERT_TRUE(speak) << error;
    emulator::ScriptCalls calls(host);
    host::HostValue speaker = speak->New();
    host::HostValue port = host.MakeInteger(kPort);
    host::HostValue group = host.MakeString(kGroup);
    host::HostValue text = host.MakeString("from afar");
    const Bytes message = Pattern(50000, 21);
    uint32_t handle = 0;
    host.addressTable()->Publish(message.data(), static_cast<uint32_t>(message.size()), &handle);
    host::HostValue number = host.MakeInteger(static_cast<int32_t>(handle));
    host::HostValue size = host.MakeInteger(50000);
    for (const emulator::CallOutcome& outcome :
         {calls.Call(speaker, "Open", {port, group}), calls.Call(speaker, "SendText", {text}),
          calls.Call(speaker, "SendBuffer", {number, size})}) {
        EXPECT_EQ(host.IntegerOf(outcome.result), 0);
        host.Release(outcome.result);
    }
    host.addressTable()->Withdraw(handle);
    for (const host::HostValue& value : {speaker, port, group, text, number, size}) host.Release(value);
    EXPECT_TRUE(host.alive().none()) << host.AliveReport();
}

TEST_F(DeliveryTest, ASenderInAnotherProcessReachesTheReceiver) {
    ASSERT_TRUE(RunTestsAgain("SenderProcess.*", "TIDE_SENDER_PROCESS", "1")) << "the sender process failed";

    ASSERT_TRUE(PumpUntil(host, [&] { return !texts.empty() && !binaries.empty(); }));
    EXPECT_EQ(texts[0].Text("data"), "from afar");
    EXPECT_EQ(binaries[0].bytes, Pattern(50000, 21));
}

}  // namespace
}  // namespace tide::testing
