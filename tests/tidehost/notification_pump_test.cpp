// The pump behind host.run, against a stand-in receiver registered with the emulated
// host: a queue that fills while the pump pauses must be drained without a pause per
// datagram, whether the host can see the work (host calls) or only its cost (a copy).
#include "emulator/tidehost/notification_pump.h"

#include <gtest/gtest.h>

#include <chrono>

#include "emulator/host.h"
#include "host/ids.h"
#include "host/notification.h"
#include "tests/support/platform.h"

namespace tide::tidehost {
namespace {

using Clock = NotificationPump::Clock;
constexpr int kBurstDatagrams = 100;
// Pauses 50, 100, 200, 400, 800 and 1600 us: by then the pump pauses its longest.
constexpr uint64_t kPausesBeforeBurst = 6;

// How a stand-in datagram costs: a copy the host cannot see, or host calls it can.
enum class Work { kCopy, kHostCall };

// A receiver whose queue fills all at once once the pump has paused long enough,
// and which notes the pump's pause count when it takes the first and last datagram.
class StandInReceiver final : public host::NotificationClient {
public:
    StandInReceiver(emulator::Host& host, const NotificationPump& pump, Work work)
        : host_(host), pump_(pump), work_(work) {}

    host::Status TIDE_CALL QueryInterface(const host::InterfaceId*, void** out) override {
        *out = nullptr;
        return host::kNoSuchInterface;
    }
    uint32_t TIDE_CALL AddRef() override { return ++refs_; }
    uint32_t TIDE_CALL Release() override { return --refs_; }

    host::Status TIDE_CALL HandleNotification(const host::InterfaceId*, void*, void*) override {
        if (!burstSent_ && pump_.totals().pauses >= kPausesBeforeBurst) {
            burstSent_ = true;
            queued_ = kBurstDatagrams;
            return host::kOk;  // arrived while this round was ending: taken from the next
        }
        if (queued_ == 0) return host::kOk;
        if (queued_ == kBurstDatagrams) pausesAtFirst_ = pump_.totals().pauses;
        --queued_;
        Take();
        if (queued_ == 0) pausesAtLast_ = pump_.totals().pauses;
        return host::kOk;
    }

    bool drained() const { return burstSent_ && queued_ == 0; }
    uint64_t pausesWhileQueued() const { return pausesAtLast_ - pausesAtFirst_; }
    uint32_t refs() const { return refs_; }

private:
    void Take() {
        if (work_ == Work::kHostCall) {
            void* services = nullptr;
            host_.callback()->QueryInterface(&host::kIidValueServices, &services);
            if (services) static_cast<host::Unknown*>(services)->Release();
            return;
        }
        // A 20 KB copy takes microseconds; an empty round a fraction of one.
        const Clock::time_point until = Clock::now() + std::chrono::microseconds(20);
        while (Clock::now() < until) {
        }
    }

    emulator::Host& host_;
    const NotificationPump& pump_;
    Work work_;
    uint32_t refs_ = 1;
    bool burstSent_ = false;
    int queued_ = 0;
    uint64_t pausesAtFirst_ = 0;
    uint64_t pausesAtLast_ = 0;
};

class NotificationPumpTest : public ::testing::TestWithParam<Work> {};

TEST_P(NotificationPumpTest, ABurstAfterAQuietSpellIsDrainedWithoutPauses) {
    emulator::Host host;
    NotificationPump pump(host);
    StandInReceiver receiver(host, pump, GetParam());
    ASSERT_EQ(host.notificationService()->Register(&receiver, &host::kNotifyIdle, 0, nullptr), host::kOk);

    const bool finished =
        pump.Run(Clock::now() + std::chrono::seconds(30), [&] { return receiver.drained(); });

    EXPECT_TRUE(finished) << "the quiet pump never paused long enough, or the burst was not drained";
    EXPECT_EQ(receiver.pausesWhileQueued(), 0u) << "the pump paused while datagrams waited";
    EXPECT_GE(pump.totals().busyRounds, static_cast<uint64_t>(kBurstDatagrams - 1));
    ASSERT_EQ(host.notificationService()->Unregister(&receiver, &host::kNotifyIdle, 0), host::kOk);
    EXPECT_EQ(receiver.refs(), 1u);
    EXPECT_TRUE(host.errors().empty());
}

INSTANTIATE_TEST_SUITE_P(SeenByItsCostOrByHostCalls, NotificationPumpTest,
                         ::testing::Values(Work::kCopy, Work::kHostCall),
                         [](const ::testing::TestParamInfo<Work>& info) {
                             return info.param == Work::kCopy ? "Copy" : "HostCall";
                         });

TEST(NotificationPump, AQuietPumpPausesAndEndsAtItsDeadline) {
    // The pump tells idle rounds from busy ones by their time, which QEMU does not keep:
    // code it runs for the first time takes far longer than when it runs again.
    if (testing::UnderEmulation()) GTEST_SKIP() << "an emulated processor's rounds take uneven times";
    emulator::Host host;
    NotificationPump pump(host);
    EXPECT_FALSE(pump.Run(Clock::now() + std::chrono::milliseconds(20), [] { return false; }));
    EXPECT_GT(pump.totals().pauses, 0u);
    EXPECT_EQ(pump.totals().busyRounds, 0u);
    // Some 20 ms of pauses growing from 50 us to 2 ms: a few dozen, not hundreds.
    EXPECT_LT(pump.totals().pauses, 100u);
}

}  // namespace
}  // namespace tide::tidehost
