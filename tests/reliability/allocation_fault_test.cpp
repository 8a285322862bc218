// Running out of memory inside the modules: one whole scenario (both objects made,
// opened and started, texts, a file and a large block sent and received, stopped,
// closed, released) run again and again, each time with another of its allocations
// refused, from the first to the last it makes, whether the host's memory or the
// modules' operator new was asked. Every step may fail as its members allow; nothing may
// crash, and nothing may stay alive or allocated afterwards.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "tests/support/module_allocations.h"
#include "tests/support/plugin_host.h"
#include "tests/support/recording_script.h"
#include "tests/support/waiting.h"

namespace tide::testing {
namespace {

constexpr const char* kGroup = "239.255.62.1";
constexpr uint16_t kPort = 46200;
// Eight fragments, more than the listener's first buffer holds: the buffer grows for it.
constexpr int32_t kBlockBytes = 150000;
// How long a scenario waits for its last text; reached only when a refusal lost it.
constexpr auto kLastTextWait = std::chrono::milliseconds(1500);

const char* const kTexts[] = {"one", "two"};
constexpr const char* kLastText = "end";
const Bytes kFileBytes = {1, 2, 3, 4, 5};

// What one run of the scenario saw, checked against what its members may answer.
struct ScenarioRun {
    bool listenerMade = false;
    bool speakerMade = false;
    int32_t lastIndex = 0;  // the message number of the last text, when it was sent
    std::vector<ReceivedText> texts;
    std::vector<ReceivedBinary> binaries;
};

class AllocationFaultTest : public PluginHostTest {
protected:
    void SetUp() override {
        PluginHostTest::SetUp();
        allocations::WatchLoadedModules();
        host.memory().RefuseWhen([](uint32_t bytes) { return allocations::CountAllocation(bytes); });
        char pattern[] = "/tmp/tide-allocation-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        directory = pattern;
        filePath = directory + "/file";
        std::ofstream(filePath, std::ios::binary)
            .write(reinterpret_cast<const char*>(kFileBytes.data()),
                   static_cast<std::streamsize>(kFileBytes.size()));
    }
    void TearDown() override {
        host.memory().RefuseWhen(nullptr);
        std::remove(filePath.c_str());
        rmdir(directory.c_str());
        PluginHostTest::TearDown();
    }

    // Each step's answer is one of those its member may give; the run's record.
    ScenarioRun Run() {
        ScenarioRun run;
        auto script = std::make_shared<RecordingScript>();
        const host::HostValue scriptValue = host.MakeScriptObject(script);
        const Bytes block = Pattern(kBlockBytes, 7);
        uint32_t handle = 0;
        host.addressTable()->Publish(block.data(), kBlockBytes, &handle);
        {
            ScriptedListener listener(host, *listen, scriptValue);
            run.listenerMade = host.IsAlive(listener.value());
            // A member answers what its work gave, with status 0, whatever ran short.
            auto expectAnswered = [&](const char* member, int32_t result, bool answersInteger) {
                if (!run.listenerMade) return;
                EXPECT_EQ(listener.lastStatus(), host::kOk) << member;
                if (answersInteger) {
                    EXPECT_TRUE(result == 0 || result == -1) << member << " answered " << result;
                }
            };
            expectAnswered("Open", listener.Open(kPort, kGroup), true);
            listener.Start();
            expectAnswered("Start", 0, false);

            const host::HostValue speaker = speak->New();
            run.speakerMade = host.IsAlive(speaker);
            // Refused sends use no message number.
            int32_t sent = 0;
            auto send = [&](std::string_view member, std::initializer_list<host::HostValue> arguments) {
                emulator::CallOutcome outcome = calls.Call(speaker, member, arguments);
                const int32_t result = host.IntegerOf(outcome.result).value_or(INT32_MIN);
                host.Release(outcome.result);
                if (run.speakerMade) {
                    EXPECT_EQ(outcome.status, host::kOk) << member;
                    EXPECT_TRUE(result == 0 || result == -1) << member << " answered " << result;
                }
                if (result == 0 && member != "Open") ++sent;
                return result == 0;
            };
            std::vector<host::HostValue> values = {
                host.MakeInteger(kPort),       host.MakeString(kGroup),
                host.MakeString(kTexts[0]),    host.MakeString(kTexts[1]),
                host.MakeString(filePath),     host.MakeInteger(static_cast<int32_t>(handle)),
                host.MakeInteger(kBlockBytes), host.MakeString(kLastText)};
            send("Open", {values[0], values[1]});
            send("SendText", {values[2]});
            send("SendText", {values[3]});
            send("SendBinary", {values[4]});
            send("SendBuffer", {values[5], values[6]});
            if (send("SendText", {values[7]})) run.lastIndex = sent;

            // Everything sent before the last text is delivered before it.
            if (run.lastIndex > 0) {
                PumpUntil(
                    host,
                    [&] {
                        return !script->texts.empty() &&
                               script->texts.back().Integer("index") == run.lastIndex;
                    },
                    kLastTextWait);
            }
            listener.Stop();
            expectAnswered("Stop", 0, false);
            expectAnswered("Close", listener.Close(), true);
            for (const host::HostValue& value : values) host.Release(value);
            host.Release(speaker);
        }
        host.addressTable()->Withdraw(handle);
        host.Release(scriptValue);
        run.texts = script->texts;
        run.binaries = script->binaries;
        return run;
    }

    std::string directory;
    std::string filePath;
};

// What a delivered text or message may be when memory ran out somewhere: the text sent,
// or an empty one where a conversion found no memory; a message whole, or not at all.
void ExpectOnlyWhatWasSent(const ScenarioRun& run) {
    for (const ReceivedText& text : run.texts) {
        const int32_t index = text.Integer("index");
        const std::string data = text.Text("data");
        const std::string sent = index == run.lastIndex ? kLastText : kTexts[index - 1];
        EXPECT_TRUE(data == sent || data.empty()) << "text " << index << ": " << data;
    }
    for (const ReceivedBinary& binary : run.binaries) {
        ASSERT_TRUE(binary.readable);
        if (binary.length == static_cast<int32_t>(kFileBytes.size())) {
            EXPECT_EQ(binary.bytes, kFileBytes);
        } else {
            EXPECT_EQ(binary.length, kBlockBytes);
            EXPECT_EQ(binary.bytes, Pattern(kBlockBytes, 7))
                << "a message is handed over whole or not at all";
        }
    }
}

TEST_F(AllocationFaultTest, EveryAllocationOfAWholeScenarioMayFailWithoutACrashOrALeak) {
    const int64_t liveBefore = allocations::LiveModuleBlocks();
    allocations::Arm();
    ScenarioRun clean = Run();
    const uint64_t count = allocations::Counted();
    allocations::Disarm();
    ASSERT_TRUE(clean.listenerMade && clean.speakerMade);
    ASSERT_EQ(clean.texts.size(), 3u);
    ASSERT_EQ(clean.binaries.size(), 2u);
    ExpectOnlyWhatWasSent(clean);
    ASSERT_TRUE(host.alive().none()) << host.AliveReport();
    ASSERT_EQ(allocations::LiveModuleBlocks(), liveBefore);
    ASSERT_GT(count, 10u) << "the modules' allocations are seen";

    for (uint64_t n = 1; n <= count; ++n) {
        SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(count) + " refused");
        allocations::Arm();
        allocations::RefuseNumber(n);
        ScenarioRun run = Run();
        const uint64_t refused = allocations::Refused();
        allocations::Disarm();
        EXPECT_EQ(refused, 1u) << "the scenario makes its allocations in the same order every time";
        ExpectOnlyWhatWasSent(run);
        ASSERT_TRUE(host.alive().none()) << host.AliveReport();
        ASSERT_TRUE(host.errors().empty()) << ::testing::PrintToString(host.errors());
        ASSERT_EQ(allocations::LiveModuleBlocks(), liveBefore) << "the modules' blocks left allocated";
    }
    std::printf("%llu allocations of the scenario refused one at a time\n",
                static_cast<unsigned long long>(count));
}

// A growth that failed is tried again by the next fragment of that length, so only the
// message whose fragment found no memory is lost.
TEST_F(AllocationFaultTest, AGrowthThatFailedIsTriedAgainAtTheNextFragment) {
    auto script = std::make_shared<RecordingScript>();
    const host::HostValue scriptValue = Own(host.MakeScriptObject(script));
    ScriptedListener listener(host, *listen, scriptValue);
    ASSERT_EQ(listener.Open(kPort, kGroup), 0);
    listener.Start();
    RawSender peer(kGroup, kPort);
    const Bytes first = Pattern(kBlockBytes, 1);
    const Bytes second = Pattern(kBlockBytes, 2);
    allocations::Arm();
    allocations::RefuseNextOfAtLeast(kBlockBytes);
    peer.Send(MessageFragment(first, 1, 1));
    ASSERT_TRUE(PumpUntil(host, [] { return allocations::Refused() == 1; }));
    EXPECT_EQ(listener.BufferSize(), 102400) << "the old buffer stays";
    for (int32_t tindex = 2; tindex <= FragmentCount(kBlockBytes); ++tindex)
        peer.Send(MessageFragment(first, 1, tindex));
    for (int32_t tindex = 1; tindex <= FragmentCount(kBlockBytes); ++tindex)
        peer.Send(MessageFragment(second, 2, tindex));
    const bool arrived = PumpUntil(host, [&] { return !script->binaries.empty(); });
    allocations::Disarm();
    ASSERT_TRUE(arrived) << "messages of that length went unheard";
    ASSERT_EQ(script->binaries.size(), 1u) << "the message whose first fragment was dropped stays incomplete";
    EXPECT_EQ(script->binaries[0].bytes, second);
    EXPECT_EQ(listener.BufferSize(), kBlockBytes + 1024);
    listener.Stop();
}

}  // namespace
}  // namespace tide::testing
