// Load on the receiver's threads and queue: a listener worked through Open, Start, Stop
// and Close thousands of times (from its own handler too) while a sender floods, listeners
// thrown away in every state while traffic flows, and a flood that arrives while the host
// sends no notifications. No deadlock, no thread left behind, no memory kept.
#include <gtest/gtest.h>
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "receiver/group_listener.h"
#include "receiver/system_pages.h"
#include "tests/reliability/memory.h"
#include "tests/support/plugin_host.h"
#include "tests/support/process_counts.h"
#include "tests/support/recording_script.h"
#include "tests/support/waiting.h"

namespace tide::testing {
namespace {

constexpr const char* kGroup = "239.255.62.1";
constexpr uint16_t kPort = 46200;
#ifdef TIDE_SANITIZED
constexpr int kCycleSteps = 5000;  // a thread start costs a sanitizer far more
#else
constexpr int kCycleSteps = 10000;
#endif
constexpr int kThrownAway = 300;
constexpr int32_t kFloodDatagrams = 2000;
constexpr int32_t kFloodChunk = 100;
// What one queued datagram may cost beyond its own bytes (its block's place in a slab,
// the queue's entry).
constexpr size_t kBlockOverheadBytes = 4096;
constexpr size_t kSlackBytes = 4 << 20;

Bytes TextDatagram(int32_t index, char letter) {
    return MakeDatagram({kTypeText, index, 4, 0, 4, 1, 1}, {static_cast<uint8_t>(letter), 0, 0, 0});
}

// A peer that sends texts and three-fragment messages, about sixteen datagrams per
// millisecond, until it is stopped.
class Flood {
public:
    Flood() : thread_([this] { Run(); }) {}
    ~Flood() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
    }
    uint64_t sent() const { return sent_; }

private:
    void Run() {
        RawSender peer(kGroup, kPort);
        const Bytes message = Pattern(3 * 100);
        for (int32_t index = 1; !stop_; ++index) {
            peer.Send(TextDatagram(index, 'f'));
            for (int32_t tindex = 1; tindex <= 3; ++tindex) {
                const Bytes fragment(message.begin() + (tindex - 1) * 100, message.begin() + tindex * 100);
                peer.Send(
                    MakeDatagram({kTypeBinary, index, 300, (tindex - 1) * 100, 100, 3, tindex}, fragment));
            }
            sent_ += 4;
            if (index % 4 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }

    std::atomic<bool> stop_{false};
    std::atomic<uint64_t> sent_{0};
    std::thread thread_;
};

class StressTest : public PluginHostTest {
protected:
    void SetUp() override {
        // A thread made and joined first, so that helper threads a runtime starts along
        // with the first thread (a sanitizer's) are there before threads are counted.
        std::thread([] {}).join();
        PluginHostTest::SetUp();
        scriptValue = Own(host.MakeScriptObject(script));
    }

    // A text from a quiet sender, and notifications until it has come: the receiver works.
    // The text goes again now and then: after a flood the socket's buffer may still be
    // full, and the system drops what does not fit, as any network may.
    bool Delivers(int32_t index) {
        RawSender peer(kGroup, kPort);
        auto resend = std::chrono::steady_clock::now();
        return PumpUntil(host, [&] {
            if (std::chrono::steady_clock::now() >= resend) {
                peer.Send(TextDatagram(index, 'm'));
                resend += std::chrono::milliseconds(100);
            }
            return lastIndex == index;
        });
    }

    std::shared_ptr<RecordingScript> script = std::make_shared<RecordingScript>();
    host::HostValue scriptValue{};
    int32_t lastIndex = 0;
};

TEST_F(StressTest, OpenStartStopCloseCycledThousandsOfTimesWhileASenderFloods) {
    script->keep = false;
    const auto threadsBefore = RunningThreadIds();
    Flood flood;
    {
        ScriptedListener listener(host, *listen, scriptValue);
        std::mt19937 random(8);
        int counts[5] = {};
        // A handler may work its own receiver too, with the queue's lock not held.
        script->onText = [&](const ReceivedText& text) {
            lastIndex = text.Integer("index");
            const unsigned op = random() % 8;
            if (op == 0) listener.Stop();
            if (op == 1) listener.Start();
            if (op == 2) listener.Close();
            if (op == 3) listener.Open(kPort, kGroup);
        };
        for (int step = 0; step < kCycleSteps; ++step) {
            const unsigned op = random() % 5;
            ++counts[op];
            switch (op) {
                case 0:
                    listener.Open(kPort, kGroup);
                    break;
                case 1:
                    listener.Start();
                    break;
                case 2:
                    listener.Stop();
                    break;
                case 3:
                    listener.Close();
                    break;
                default:
                    for (int i = 0; i < 20; ++i) host.Notify();
            }
        }
        std::printf(
            "%d steps: %d Open, %d Start, %d Stop, %d Close, %d x 20 notifications; %llu datagrams sent\n",
            kCycleSteps, counts[0], counts[1], counts[2], counts[3], counts[4],
            static_cast<unsigned long long>(flood.sent()));
        script->onText = [&](const ReceivedText& text) { lastIndex = text.Integer("index"); };
        listener.Close();
        ASSERT_EQ(listener.Open(kPort, kGroup), 0) << "the receiver can still join";
        listener.Start();
        flood.Stop();
        EXPECT_TRUE(Delivers(1 << 30)) << "the receiver still delivers";
    }
    EXPECT_EQ(ThreadsStartedSinceSettledAt(threadsBefore, 0), 0u) << "every receive thread has ended";
}

TEST_F(StressTest, ListenersThrownAwayInAnyStateWhileTrafficFlows) {
    script->keep = false;
    script->onText = [&](const ReceivedText& text) { lastIndex = text.Integer("index"); };
    const auto threadsBefore = RunningThreadIds();
    Flood flood;
    for (int i = 0; i < kThrownAway; ++i) {
        ScriptedListener listener(host, *listen, scriptValue);
        switch (i % 5) {
            case 0:  // receiving, with deliveries
                listener.Open(kPort, kGroup);
                listener.Start();
                PumpUntil(host, [&, before = script->textCount] { return script->textCount > before; });
                break;
            case 1:  // a thread that may not have reached its loop yet
                listener.Open(kPort, kGroup);
                listener.Start();
                break;
            case 2:  // started, never joined
                listener.Start();
                break;
            case 3:  // joined, never started: datagrams wait in the socket
                listener.Open(kPort, kGroup);
                break;
            default:  // stopped with datagrams still queued
                listener.Open(kPort, kGroup);
                listener.Start();
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                listener.Stop();
        }
        // Released here without Stop or Close.
    }
    flood.Stop();
    EXPECT_EQ(ThreadsStartedSinceSettledAt(threadsBefore, 0), 0u) << "every receive thread has ended";
    ScriptedListener survivor(host, *listen, scriptValue);
    ASSERT_EQ(survivor.Open(kPort, kGroup), 0);
    survivor.Start();
    EXPECT_TRUE(Delivers(7));
}

TEST_F(StressTest, AFloodWithoutNotificationsCostsTheQueueOnlyAndDrains) {
    script->keep = false;
    int32_t expectedIndex = 1;
    bool inOrder = true;
    script->onText = [&](const ReceivedText& text) {
        lastIndex = text.Integer("index");
        if (lastIndex >= 1) inOrder = inOrder && lastIndex == expectedIndex++;
    };
    ScriptedListener listener(host, *listen, scriptValue);
    ASSERT_EQ(listener.Open(kPort, kGroup), 0);
    listener.Start();
    ASSERT_TRUE(Delivers(-1)) << "warmed up";
    // The object's listener, found the way a script finds it, for its queue and the
    // memory its blocks take outside the heap (none in the sanitizer builds, where each
    // block is a heap block the heap's count includes).
    auto* const queue = static_cast<GroupListener*>(listener.Worker(sizeof(GroupListener)));
    ASSERT_NE(queue, nullptr);
    auto held = [&] { return HeldBytes() + (kSystemPages ? queue->BlockBytes() : 0); };

    const size_t residentBefore = ResidentBytes();
    const size_t before = held();
    // Blocks filled before the listener needs memory: the rest of the slab it holds.
    const size_t keptBefore = queue->KeptBlocks();
    RawSender peer(kGroup, kPort);
    // In chunks, so that the socket's own buffer never overflows while the thread catches up.
    for (int32_t sent = 0; sent < kFloodDatagrams;) {
        for (int32_t i = 0; i < kFloodChunk; ++i) peer.Send(TextDatagram(++sent, 'q'));
        ASSERT_TRUE(WaitUntil([&] { return queue->QueuedBlocks() >= static_cast<size_t>(sent); }))
            << "the receive thread queued " << sent;
    }
    const size_t grown = held() - before;
    const size_t residentFlooded = ResidentBytes();
    EXPECT_EQ(script->textCount, 1u) << "nothing delivered without notifications";
    EXPECT_GE(grown, (kFloodDatagrams - keptBefore) * static_cast<size_t>(kDatagramBytes));
    EXPECT_LE(grown,
              static_cast<size_t>(kFloodDatagrams) * (kDatagramBytes + kBlockOverheadBytes) + kSlackBytes)
        << "memory grows by the queued datagrams only";

    ASSERT_TRUE(PumpUntil(host, [&] { return script->textCount == 1u + kFloodDatagrams; }));
    EXPECT_TRUE(inOrder) << "delivered in the order received";
    // The delivered blocks wait for another burst, and go back to the system once
    // nothing has arrived for a while (kQuietTime).
    size_t after = held();
    EXPECT_TRUE(WaitUntil([&] { return (after = held()) <= before + kSlackBytes; },
                          kQuietTime + std::chrono::seconds(5)))
        << "the drained queue holds nothing once the spares are given back: " << after - before
        << " bytes more than before the flood";
#ifndef TIDE_SANITIZED
    malloc_trim(0);  // so that the resident figure below shows the memory given back
#endif
    std::printf(
        "%d datagrams queued: held %zu KiB more (%zu KiB per datagram); resident %zu -> %zu -> %zu KiB\n",
        kFloodDatagrams, grown / 1024, grown / 1024 / kFloodDatagrams, residentBefore / 1024,
        residentFlooded / 1024, ResidentBytes() / 1024);
}

}  // namespace
}  // namespace tide::testing
