// A Tidelisten object of the loaded module, opened and started on a group, whose text and
// binary handlers are a recording script object's: what the receiver's tests share.
// Datagrams come from a Tidespeak object or from a plain socket that sends whatever a
// test makes, malformed ones included.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "tests/support/plugin_host.h"
#include "tests/support/recording_script.h"
#include "tests/support/waiting.h"
#include "tests/support/wire.h"

namespace tide::testing {

// Each test file listens on a group and port of its own (under Wine the whole suite
// shares one network, where a socket bound to a port hears every group joined on it).
template <const char* kGroup, uint16_t kPort>
class ListenerTest : public PluginHostTest {
protected:
    void SetUp() override {
        PluginHostTest::SetUp();
        listener = NewListener();
        scriptValue = Own(host.MakeScriptObject(script));
        Call(listener, "SetScriptObject", {scriptValue});
        Call(listener, "OnTextData", {Symbol("onText")});
        // Handler names are symbols: their letter case does not matter.
        Call(listener, "OnBinaryData", {Symbol("ONBINARY")});
        ASSERT_EQ(IntegerResult(Call(listener, "Open", {Integer(kPort), String(kGroup)})), 0);
        Call(listener, "Start");
    }
    void TearDown() override {
        EXPECT_EQ(script->malformedCalls, 0u) << "a handler was called with the arguments of no delivery";
        PluginHostTest::TearDown();
    }

    bool PumpTexts(size_t count) {
        return PumpUntil(host, [&] { return texts.size() >= count; });
    }
    // Notifies for a while and expects nothing more to be delivered.
    void PumpQuietly() {
        for (int i = 0; i < 200; ++i) {
            host.Notify();
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    }
    int32_t BufferSize() { return IntegerResult(Get(listener, "BufferSize")); }

    // Makes `other` receive in the fixture's listener's place: the same script object and
    // text handler, opened on `port` and started, while the fixture's listener stops.
    // Answers what Open answered.
    int32_t ListenInstead(const host::HostValue& other, int32_t port = kPort) {
        Call(other, "SetScriptObject", {scriptValue});
        Call(other, "OnTextData", {Symbol("onText")});
        const int32_t opened = IntegerResult(Call(other, "Open", {Integer(port), String(kGroup)}));
        Call(other, "Start");
        Call(listener, "Stop");
        return opened;
    }

    host::HostValue listener{};
    host::HostValue scriptValue{};
    std::shared_ptr<RecordingScript> script = std::make_shared<RecordingScript>();
    const std::vector<ReceivedText>& texts = script->texts;
    const std::vector<ReceivedBinary>& binaries = script->binaries;
};

}  // namespace tide::testing
