// A host that offers no address table, as the original host does: where addresses fit in
// 32 bits, the numbers scripts get and give are the addresses themselves (the class id's
// bytes, the worker, the reassembly buffer, a block for SendBuffer); where they do not,
// a script's number is no address, and SendBuffer refuses it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "emulator/script_object.h"
#include "host/ids.h"
#include "tests/support/plugin_host.h"
#include "tests/support/waiting.h"
#include "tests/support/wire.h"

namespace tide::testing {
namespace {

constexpr const char* kGroup = "239.255.42.1";
constexpr uint16_t kPort = 42501;
constexpr bool kAddressesFit = sizeof(void*) <= sizeof(uint32_t);

class WithoutAddressTable : public PluginHostTest {
protected:
    void SetUp() override {
        PluginHostTest::SetUp();
        host.RefuseInterface(host::kIidAddressTable);
    }

    template <class T>
    static T* At(int32_t number) {
        return reinterpret_cast<T*>(static_cast<uintptr_t>(static_cast<uint32_t>(number)));
    }
};

TEST_F(WithoutAddressTable, ScriptsGetTheAddressesThemselves) {
    if (!kAddressesFit) GTEST_SKIP() << "addresses here are wider than a script's integers";
    host::HostValue speaker = NewSpeaker();
    uint8_t expected[16];
    host::WriteIdBytes(speak->scriptClassId(), expected);
    EXPECT_EQ(std::memcmp(At<uint8_t>(IntegerResult(Get(speaker, "IID_ptr"))), expected, 16), 0);
    const int32_t worker = IntegerResult(Get(speaker, "Pointer"));
    EXPECT_NE(worker, 0);
    EXPECT_EQ(*At<void*>(IntegerResult(Get(speaker, "Ppointer"))), At<void>(worker))
        << "Ppointer is where the worker's address is kept";
    EXPECT_EQ(host.alive().publishedRegions, 0u);
}

TEST_F(WithoutAddressTable, SendBufferSendsTheBytesAtTheAddressTheScriptGives) {
    WireProbe probe{kGroup, kPort};
    ASSERT_TRUE(probe.joined);
    host::HostValue speaker = NewSpeaker();
    Call(speaker, "Open", {Integer(kPort), String(kGroup)});
    const Bytes block = Pattern(30000, 5);
    const auto address = static_cast<int32_t>(reinterpret_cast<uintptr_t>(block.data()));
    const int32_t answer = IntegerResult(Call(speaker, "SendBuffer", {Integer(address), Integer(30000)}));
    if (!kAddressesFit) {
        EXPECT_EQ(answer, -1) << "a number that cannot be an address is refused";
        EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());
        return;
    }
    EXPECT_EQ(answer, 0);
    std::vector<Bytes> datagrams = probe.Take(2);
    ASSERT_EQ(datagrams.size(), 2u);
    Bytes sent(datagrams[0].begin() + kPayloadOffset, datagrams[0].begin() + kDatagramBytes - 4);
    sent.insert(sent.end(), datagrams[1].begin() + kPayloadOffset,
                datagrams[1].begin() + kPayloadOffset + (30000 - kFragmentBytes));
    EXPECT_EQ(sent, block);
}

// A region that would run past the end of the address space is no region: refused before
// a byte is read, where reading would take the host down.
TEST_F(WithoutAddressTable, SendBufferRefusesARegionThatWrapsTheAddressSpace) {
    if (!kAddressesFit) GTEST_SKIP() << "addresses here are wider than a script's integers";
    WireProbe probe{kGroup, kPort};
    ASSERT_TRUE(probe.joined);
    host::HostValue speaker = NewSpeaker();
    Call(speaker, "Open", {Integer(kPort), String(kGroup)});
    const int32_t nearTheEnd = static_cast<int32_t>(0xFFFFFF00u);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(nearTheEnd), Integer(0x200)})), -1);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(-1), Integer(2)})), -1);
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());
}

TEST_F(WithoutAddressTable, TheBinaryHandlerGetsTheAddressOfTheReassembledBytes) {
    if (!kAddressesFit) GTEST_SKIP() << "addresses here are wider than a script's integers";
    Bytes arrived;
    auto script = std::make_shared<emulator::HandlerScriptObject>();
    script->On("onBinary", [&](emulator::Host& h, int32_t, const host::HostValue* argv, host::HostValue*) {
        const int32_t number = h.IntegerOf(argv[1]).value_or(0);
        const int32_t length = h.IntegerOf(argv[2]).value_or(0);
        const uint8_t* bytes = At<uint8_t>(number);
        arrived.assign(bytes, bytes + length);
        return host::kOk;
    });
    host::HostValue listener = NewListener();
    Call(listener, "SetScriptObject", {Own(host.MakeScriptObject(script))});
    Call(listener, "OnBinaryData", {Symbol("onBinary")});
    ASSERT_EQ(IntegerResult(Call(listener, "Open", {Integer(kPort), String(kGroup)})), 0);
    Call(listener, "Start");
    const Bytes message = Pattern(25000, 11);
    RawSender peer(kGroup, kPort);
    for (int32_t tindex = 1; tindex <= 2; ++tindex) peer.Send(MessageFragment(message, 1, tindex));
    PumpUntil(host, [&] { return !arrived.empty(); });
    EXPECT_EQ(arrived, message);
    Call(listener, "Stop");
    EXPECT_EQ(host.alive().publishedRegions, 0u);
}

}  // namespace
}  // namespace tide::testing
