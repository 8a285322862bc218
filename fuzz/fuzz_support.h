// What the fuzz targets share: a check that stops the run with a reason (libFuzzer then
// keeps the input), where the modules are, and notifying the emulated host until a
// delivery has come. Fuzz targets run on one thread, the host's, besides the receiver's.
#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "emulator/host.h"

// A property of the code under test that must hold whatever the input; anything else is
// a fault, reported as a crash so that libFuzzer saves the input that caused it.
#define TIDE_FUZZ_CHECK(condition, reason)                                        \
    do {                                                                          \
        if (!(condition)) {                                                       \
            std::fprintf(stderr, "%s:%d: fault: %s\n", __FILE__, __LINE__, reason); \
            std::abort();                                                         \
        }                                                                         \
    } while (0)

namespace tide::fuzzing {

inline std::string PluginDirectory() {
    const char* dir = std::getenv("TIDE_PLUGIN_DIR");
    return dir && *dir ? dir : TIDE_PLUGIN_DIR;
}

// A delivery that has not come after this long never will: the receiver is stuck.
constexpr std::chrono::seconds kStuckAfter{20};

// Notifies until `done()`; a receiver that stops delivering is a fault.
template <class Done>
void PumpUntil(emulator::Host& host, Done done, const char* reason) {
    const auto deadline = std::chrono::steady_clock::now() + kStuckAfter;
    while (!done()) {
        if (host.Notify() == 0) TIDE_FUZZ_CHECK(false, "no receiver is registered for notifications");
        if (done()) return;
        std::this_thread::yield();
        TIDE_FUZZ_CHECK(std::chrono::steady_clock::now() < deadline, reason);
    }
}

}  // namespace tide::fuzzing
