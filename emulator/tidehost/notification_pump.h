// The notification pump behind host.run: calls the host's notifications round after
// round, at full speed while rounds find work (datagrams being delivered) and with
// growing pauses while they find none, so an idle receiver costs next to no CPU.
// Host's thread only; handlers run inside the pump's rounds.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace tide::emulator {
class Host;
}

namespace tide::tidehost {

class NotificationPump {
public:
    using Clock = std::chrono::steady_clock;

    // Pauses between idle rounds grow from the first to the longest, doubling: the
    // longest is how late the first datagram after a quiet spell can be handed over.
    static constexpr std::chrono::microseconds kFirstPause{50};
    static constexpr std::chrono::microseconds kLongestPause{2000};
    // The shortest pause the system's sleep makes: Windows sleeps whole milliseconds and
    // returns at once from a shorter request, which would make every pause a busy round.
#ifdef _WIN32
    static constexpr std::chrono::microseconds kShortestSleep{1000};
#else
    static constexpr std::chrono::microseconds kShortestSleep{0};
#endif
    // Idle rounds in a row before a pause: a round costs a fraction of a microsecond,
    // a few more are nothing against a pause.
    static constexpr int kIdleRoundsBeforePause = 4;

    struct Totals {
        uint64_t rounds = 0;
        uint64_t busyRounds = 0;
        uint64_t pauses = 0;
    };

    // Times a few rounds of the host as it is now, before any plug-in object exists:
    // no round with a receiver can be quicker, so this is where the idle baseline starts.
    explicit NotificationPump(emulator::Host& host);

    // Notifies at least once, then until `deadline` passes or `finished()` answers true
    // (asked after every round). True when `finished()` ended it.
    bool Run(Clock::time_point deadline, const std::function<bool()>& finished);

    const Totals& totals() const { return totals_; }

private:
    enum class Round { kIdle, kBusy, kUndecided };
    Round Judge(uint64_t activityBefore, Clock::duration elapsed, bool afterPause);

    emulator::Host& host_;
    // The quickest round seen: what a round costs when there is nothing to deliver.
    Clock::duration idleRound_;
    Totals totals_;
};

}  // namespace tide::tidehost
