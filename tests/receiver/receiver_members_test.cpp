// The receiver's own members, called as a script calls them on a Tidelisten object made
// by the loaded module: Open and Close, Start and Stop (from inside a handler too),
// SetBufferSize and the handler names, checked through what they answer and through what
// the object delivers afterwards.
#include <gtest/gtest.h>

#include "host/address_table.h"
#include "tests/receiver/listener_fixture.h"

namespace tide::testing {
namespace {

constexpr char kGroup[] = "239.255.51.1";
constexpr uint16_t kPort = 44101;

using ReceiverMembersTest = ListenerTest<kGroup, kPort>;

TEST_F(ReceiverMembersTest, OpenWithoutArgumentsJoinsNothingAndAnswersTheJoinsResult) {
    host::HostValue other = NewListener();
    EXPECT_EQ(IntegerResult(Call(other, "Open")), -1);
    EXPECT_EQ(IntegerResult(Call(other, "Close")), -1);
    EXPECT_EQ(IntegerResult(Call(other, "Open", {Integer(kPort), Integer(5)})), -1);
}

TEST_F(ReceiverMembersTest, OpenTakesThePortsLowSixteenBitsAndAFailedOpenKeepsTheGroupForCloseToLeave) {
    // A group nothing else in this test joins, so that once left nothing of it arrives.
    constexpr char kOldGroup[] = "239.255.51.9";
    host::HostValue other = NewListener();
    Call(other, "SetScriptObject", {scriptValue});
    Call(other, "OnTextData", {Symbol("onText")});
    ASSERT_EQ(IntegerResult(Call(other, "Open", {Integer(kPort + 3 * 65536), String(kOldGroup)})), 0);
    Call(other, "Start");
    Call(listener, "Stop");
    // A name that does not resolve, and an address the socket refuses to join.
    EXPECT_EQ(IntegerResult(Call(other, "Open", {Integer(kPort), String("no-such-host.invalid")})), -1);
    EXPECT_EQ(IntegerResult(Call(other, "Open", {Integer(kPort), String("127.0.0.1")})), -1);
    RawSender oldPeer(kOldGroup, kPort);
    oldPeer.Send(MakeDatagram({kTypeText, 1, 4, 0, 4, 1, 1}, {'a', 0, 0, 0}));
    ASSERT_TRUE(PumpTexts(1)) << "still joined to the first group, on port " << kPort;
    EXPECT_EQ(texts[0].Text("data"), "a");

    EXPECT_EQ(IntegerResult(Call(other, "Close")), 0) << "Close leaves the group joined before";
    oldPeer.Send(MakeDatagram({kTypeText, 2, 4, 0, 4, 1, 1}, {'b', 0, 0, 0}));
    ASSERT_EQ(IntegerResult(Call(other, "Open", {Integer(kPort), String(kGroup)})), 0);
    RawSender(kGroup, kPort).Send(MakeDatagram({kTypeText, 3, 4, 0, 4, 1, 1}, {'c', 0, 0, 0}));
    ASSERT_TRUE(PumpTexts(2));
    PumpQuietly();
    ASSERT_EQ(texts.size(), 2u) << "the group left was delivered after a later Open";
    EXPECT_EQ(texts[1].Text("data"), "c");
}

TEST_F(ReceiverMembersTest, AHandlerMayStopAndCloseItsOwnReceiver) {
    script->onText = [this](const ReceivedText&) {
        Call(listener, "Stop");
        Call(listener, "Close");
    };
    RawSender peer(kGroup, kPort);
    peer.Send(MakeDatagram({kTypeText, 1, 4, 0, 4, 1, 1}, {'a', 0, 0, 0}));
    ASSERT_TRUE(PumpTexts(1));
    script->onText = nullptr;
    peer.Send(MakeDatagram({kTypeText, 2, 4, 0, 4, 1, 1}, {'b', 0, 0, 0}));
    PumpQuietly();
    EXPECT_EQ(texts.size(), 1u) << "stopped and closed: nothing more arrives";
    EXPECT_EQ(IntegerResult(Call(listener, "Close")), -1) << "closing twice";
}

TEST_F(ReceiverMembersTest, HandlersAreNamedBySymbolsOnly) {
    Call(listener, "OnTextData", {String("other")});
    RawSender peer(kGroup, kPort);
    peer.Send(MakeDatagram({kTypeText, 1, 4, 0, 4, 1, 1}, {'a', 0, 0, 0}));
    ASSERT_TRUE(PumpTexts(1)) << "a string name leaves the handler as it was";
    Set(listener, "OnTextData", Symbol("nothing"));
    const uint64_t failedBefore = host.counters().failedHandlerCalls;
    peer.Send(MakeDatagram({kTypeText, 2, 4, 0, 4, 1, 1}, {'b', 0, 0, 0}));
    ASSERT_TRUE(PumpUntil(host, [&] { return host.counters().failedHandlerCalls > failedBefore; }))
        << "the written handler name is the one called";
    EXPECT_EQ(texts.size(), 1u) << "a handler the script object lacks is called without effect";
}

TEST_F(ReceiverMembersTest, SetBufferSizeWithTheCurrentSizeKeepsTheBufferAndItsNumberAnotherWithdrawsBoth) {
    RawSender peer(kGroup, kPort);
    const Bytes message = Pattern(3000, 12);
    peer.Send(MessageFragment(message, 1, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return binaries.size() == 1; }));
    const auto number = static_cast<uint32_t>(binaries[0].number);
    auto held = [&]() -> Bytes {
        void* base = nullptr;
        if (host.addressTable()->Resolve(number, 3000, &base) != host::kOk) return {};
        return Bytes(static_cast<uint8_t*>(base), static_cast<uint8_t*>(base) + 3000);
    };
    Call(listener, "SetBufferSize", {Integer(102400)});
    EXPECT_EQ(held(), message) << "the same size keeps the buffer, its bytes and its number";
    Set(listener, "BufferSize", Integer(102400));
    EXPECT_EQ(held(), message);

    Call(listener, "SetBufferSize", {Integer(50000)});
    EXPECT_EQ(BufferSize(), 50000);
    EXPECT_TRUE(held().empty()) << "a replaced buffer's number stands for nothing";
    peer.Send(MessageFragment(message, 2, 1));
    ASSERT_TRUE(PumpUntil(host, [&] { return binaries.size() == 2; }));
    EXPECT_NE(binaries[1].number, binaries[0].number) << "the new buffer has a number of its own";
    EXPECT_EQ(binaries[1].bytes, message);
}

}  // namespace
}  // namespace tide::testing
