// Waiting, with a bound, for what a test expects to happen: a delivery the emulated host
// must be notified for (PumpUntil), or work another thread does (WaitUntil). The bound is
// reached only when what is awaited never comes; no test measures time with it.
// PumpUntil runs on the host's thread; WaitUntil on any.
#pragma once

#include <chrono>
#include <cstdlib>
#include <functional>
#include <thread>

#include "emulator/host.h"

namespace tide::testing {

// Long enough for anything sent on this machine to be delivered, and for a joined thread
// to leave the system's books, under a sanitizer or Wine too.
constexpr std::chrono::seconds kDeliveryWait{30};

// How many times longer than natively anything may take here: TIDE_TIME_SCALE, which the
// build sets where its programs run on an emulated processor; 1 elsewhere.
inline int TimeScale() {
    static const int scale = [] {
        const char* text = std::getenv("TIDE_TIME_SCALE");
        const int value = text ? std::atoi(text) : 1;
        return value > 0 ? value : 1;
    }();
    return scale;
}

// kDeliveryWait where this machine runs the test.
inline std::chrono::steady_clock::duration DeliveryWait() { return kDeliveryWait * TimeScale(); }

// Waits, without notifying, until `done()`; false when it did not come within `bound`.
inline bool WaitUntil(const std::function<bool()>& done,
                      std::chrono::steady_clock::duration bound = DeliveryWait()) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Notifies the host's clients until `done()`; false when it did not come within `bound`,
// and at once when a notification reaches nobody: without a receiver nothing can come.
inline bool PumpUntil(emulator::Host& host, const std::function<bool()>& done,
                      std::chrono::steady_clock::duration bound = DeliveryWait()) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        if (host.Notify() == 0) return done();
        std::this_thread::yield();
    }
    return true;
}

}  // namespace tide::testing
