// The notification pump. The host cannot see a receiver's queue, so a round counts as
// busy when the host saw any activity during it (a handler called, a value service
// queried, memory taken) or when it took clearly longer than an empty round: a binary
// fragment that completes no message makes no host call, but its 20 KB copy costs
// microseconds where an empty round costs a fraction of one.
#include "emulator/tidehost/notification_pump.h"

#include <algorithm>
#include <thread>

#include "emulator/host.h"

namespace tide::tidehost {

namespace {

// A round this many times slower than the quickest one, plus a microsecond for the
// clock's and the scheduler's jitter, did something.
constexpr int kBusyFactor = 4;
constexpr std::chrono::microseconds kJitter{1};
constexpr int kCalibrationRounds = 32;

// Everything the host counts that a round with work to do changes. Notifications
// themselves are left out: every round makes them.
uint64_t HostActivity(const emulator::Counters& c) {
    return c.interfaceQueries + c.interfaceAddRefs + c.interfaceReleases + c.handlerCalls +
           c.failedHandlerCalls + c.allocations + c.refusedAllocations + c.hostObjectsMade;
}

}  // namespace

NotificationPump::NotificationPump(emulator::Host& host) : host_(host), idleRound_(Clock::duration::max()) {
    for (int i = 0; i < kCalibrationRounds; ++i) {
        const Clock::time_point start = Clock::now();
        host_.Notify();
        idleRound_ = std::min(idleRound_, Clock::now() - start);
    }
}

NotificationPump::Round NotificationPump::Judge(uint64_t activityBefore, Clock::duration elapsed,
                                                bool afterPause) {
    idleRound_ = std::min(idleRound_, elapsed);
    if (HostActivity(host_.counters()) != activityBefore) return Round::kBusy;
    // The first round after a pause finds cold caches and is slow for nothing, but it
    // may as well have found a datagram: the next round, warm, decides.
    if (afterPause) return Round::kUndecided;
    return elapsed > kBusyFactor * idleRound_ + kJitter ? Round::kBusy : Round::kIdle;
}

bool NotificationPump::Run(Clock::time_point deadline, const std::function<bool()>& finished) {
    int idleRounds = 0;
    bool afterPause = false;
    Clock::duration pause = kFirstPause;
    for (;;) {
        const uint64_t activity = HostActivity(host_.counters());
        const Clock::time_point start = Clock::now();
        host_.Notify();
        const Clock::time_point end = Clock::now();
        ++totals_.rounds;
        if (finished()) return true;
        if (end >= deadline) return false;

        const Round round = Judge(activity, end - start, afterPause);
        afterPause = false;
        if (round == Round::kUndecided) continue;
        if (round == Round::kBusy) {
            ++totals_.busyRounds;
            idleRounds = 0;
            pause = kFirstPause;
            continue;
        }
        if (++idleRounds < kIdleRoundsBeforePause) continue;
        std::this_thread::sleep_for(
            std::max<Clock::duration>(kShortestSleep, std::min<Clock::duration>(pause, deadline - end)));
        ++totals_.pauses;
        afterPause = true;
        pause = std::min<Clock::duration>(pause * 2, kLongestPause);
    }
}

}  // namespace tide::tidehost
