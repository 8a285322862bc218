// The soak run (./tide soak, not part of the suite): continuous text and binary traffic
// between a sender and a receiver object, with listeners made and thrown away and the
// buffer resized on the way, every delivery checked, and the resident memory sampled.
// It runs only when TIDE_SOAK_SECONDS says for how long; tests/soak/run.sh runs it once
// plainly and once under valgrind's leak check.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "tests/reliability/memory.h"
#include "tests/support/plugin_host.h"
#include "tests/support/recording_script.h"
#include "tests/support/waiting.h"

namespace tide::testing {
namespace {

constexpr const char* kGroup = "239.255.63.1";
constexpr uint16_t kPort = 46300;
// Up to two text fragments, and binary messages of up to fifteen fragments.
constexpr size_t kLongestTextCharacters = 15000;
constexpr size_t kLongestMessageBytes = 300000;
// Memory is "flat" when the heap in use and the resident set at the end are within this
// of what they were once the run had warmed up.
constexpr size_t kFlatBytes = 8 << 20;
constexpr int kSampleSeconds = 5;

// A text of `characters` characters: ASCII with an accented letter now and then.
std::string MakeText(size_t characters, uint32_t seed) {
    std::string text;
    for (size_t i = 0; i < characters; ++i) {
        if ((i + seed) % 37 == 0) {
            text += "\xC3\xA9";
        } else {
            text += static_cast<char>('a' + (i * 7 + seed) % 26);
        }
    }
    return text;
}

class Soak : public PluginHostTest {
protected:
    // A member call whose arguments and result are released at once: a run of hours
    // must not keep what each round made.
    int32_t CallNow(const host::HostValue& object, std::string_view member,
                    std::vector<host::HostValue> arguments) {
        emulator::CallOutcome outcome =
            calls.Call(object, member, arguments.data(), static_cast<int32_t>(arguments.size()));
        const int32_t result = host.IntegerOf(outcome.result).value_or(INT32_MIN);
        host.Release(outcome.result);
        for (const host::HostValue& argument : arguments) host.Release(argument);
        return result;
    }
};

TEST_F(Soak, ContinuousTextAndBinaryTraffic) {
    const char* seconds = std::getenv("TIDE_SOAK_SECONDS");
    if (!seconds) GTEST_SKIP() << "run by ./tide soak";
    const auto duration = std::chrono::seconds(std::atoi(seconds));

    auto script = std::make_shared<RecordingScript>();
    script->keep = false;
    const host::HostValue scriptValue = Own(host.MakeScriptObject(script));
    auto listener = std::make_unique<ScriptedListener>(host, *listen, scriptValue);
    ASSERT_EQ(listener->Open(kPort, kGroup), 0);
    listener->Start();
    const host::HostValue texts = NewSpeaker();
    const host::HostValue bytes = NewSpeaker();
    ASSERT_EQ(IntegerResult(Call(texts, "Open", {Integer(kPort), String(kGroup)})), 0);
    ASSERT_EQ(IntegerResult(Call(bytes, "Open", {Integer(kPort), String(kGroup)})), 0);
    RawSender stranger(kGroup, kPort);

    // What the round's messages must come back as.
    std::string textSoFar;
    int32_t textIndex = 0;
    Bytes message;
    bool messageCorrect = false;
    size_t messagesThisRound = 0;
    script->onText = [&](const ReceivedText& text) {
        if (text.Integer("index") == textIndex) textSoFar += text.Text("data");
    };
    script->onBinary = [&](const ReceivedBinary& binary) {
        ++messagesThisRound;
        messageCorrect = binary.readable && binary.bytes == message;
    };

    std::mt19937 random(42);
    const auto start = std::chrono::steady_clock::now();
    auto nextSample = start;
    size_t rounds = 0, textBytes = 0, messageBytes = 0, churned = 0;
    size_t warmResident = 0, peakResident = 0, warmHeld = 0;
    while (std::chrono::steady_clock::now() - start < duration) {
        const std::string text = MakeText(random() % kLongestTextCharacters, static_cast<uint32_t>(rounds));
        message = Pattern(random() % kLongestMessageBytes, static_cast<uint32_t>(rounds));
        textSoFar.clear();
        messagesThisRound = 0;
        messageCorrect = false;
        textIndex = static_cast<int32_t>(rounds + 1);

        ASSERT_EQ(CallNow(texts, "SendText", {host.MakeString(text)}), 0);
        uint32_t handle = 0;
        host.addressTable()->Publish(message.data(), static_cast<uint32_t>(message.size()), &handle);
        const int32_t repeat = 1 + static_cast<int32_t>(random() % 2);
        ASSERT_EQ(CallNow(bytes, "SendBuffer",
                          {host.MakeInteger(static_cast<int32_t>(handle)),
                           host.MakeInteger(static_cast<int32_t>(message.size())), host.MakeInteger(repeat)}),
                  0);
        if (rounds % 10 == 0) stranger.Send(Pattern(1 + random() % 200));  // noise from a foreign peer
        ASSERT_TRUE(
            PumpUntil(host, [&] { return textSoFar.size() >= text.size() && messagesThisRound == 1; }))
            << "round " << rounds << ": the text or the message did not come";
        host.addressTable()->Withdraw(handle);
        ASSERT_EQ(textSoFar, text) << "round " << rounds;
        ASSERT_TRUE(messageCorrect) << "round " << rounds << ": the message came with other bytes";
        textBytes += text.size();
        messageBytes += message.size();
        ++rounds;

        if (rounds % 50 == 0) {
            // A listener made and thrown away while the other one receives, and the buffer
            // shrunk, to grow again with the next large message.
            ScriptedListener passing(host, *listen, scriptValue);
            passing.Open(kPort, kGroup);
            passing.Start();
            CallNow(listener->value(), "SetBufferSize",
                    {host.MakeInteger(static_cast<int32_t>(1 + random() % 200000))});
            ++churned;
        }
        if (std::chrono::steady_clock::now() >= nextSample) {
            const size_t resident = ResidentBytes();
            peakResident = std::max(peakResident, resident);
            // The first sample after a tenth of the run gives the warmed-up figures.
            if (warmResident == 0 && std::chrono::steady_clock::now() - start >= duration / 10) {
                warmResident = resident;
                warmHeld = HeldBytes();
            }
            nextSample += std::chrono::seconds(kSampleSeconds);
        }
    }
    const size_t endResident = ResidentBytes();
    const size_t endHeld = HeldBytes();
    listener.reset();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf(
        "soak: %.0f s, %zu rounds, %zu text bytes and %zu message bytes delivered and checked, "
        "%zu listeners thrown away\n",
        elapsed, rounds, textBytes, messageBytes, churned);
    std::printf("soak: resident memory %zu KiB warmed up, %zu KiB at the end, %zu KiB at most\n",
                warmResident / 1024, endResident / 1024, peakResident / 1024);
    // Under valgrind the C library's arenas are not used, and show nothing.
    if (warmHeld > 0) {
        std::printf("soak: heap in use %zu KiB warmed up, %zu KiB at the end\n", warmHeld / 1024,
                    endHeld / 1024);
    }
    if (warmResident > 0) {
        EXPECT_LE(endHeld, warmHeld + kFlatBytes) << "the heap grew during the run";
        // A sanitizer's quarantine keeps freed memory resident up to its own limit.
        if (!kSanitized) {
            EXPECT_LE(endResident, warmResident + kFlatBytes) << "resident memory grew during the run";
        }
    }
}

}  // namespace
}  // namespace tide::testing
