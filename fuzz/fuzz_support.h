// What the fuzz targets share: a check that stops the run with a reason (libFuzzer then
// keeps the input), the start of a target's run and libFuzzer's entries into it, and
// judging UTF-8 output. Fuzz targets run on one thread, the host's, besides the
// receiver's.
#pragma once

#include <iconv.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/support/private_network.h"

// A property of the code under test that must hold whatever the input; anything else is
// a fault, reported as a crash so that libFuzzer saves the input that caused it.
#define TIDE_FUZZ_CHECK(condition, reason)                                          \
    do {                                                                            \
        if (!(condition)) {                                                         \
            std::fprintf(stderr, "%s:%d: fault: %s\n", __FILE__, __LINE__, reason); \
            std::abort();                                                           \
        }                                                                           \
    } while (0)

// AddressSanitizer's options for a target whose host runs short of memory past 64 MiB:
// allocations larger than that fail, as they would there, and an input does not spend its
// time on the bookkeeping of gigabytes.
#define TIDE_FUZZ_SHORT_OF_MEMORY "allocator_may_return_null=1:max_allocation_size_mb=64"

// libFuzzer's entries for a target class with the Setup, Run and Teardown of StartTarget:
// the whole run's start, and one input.
#define TIDE_FUZZ_ENTRIES(Target, name)                                       \
    extern "C" int LLVMFuzzerInitialize(int*, char***) {                      \
        tide::fuzzing::StartTarget<Target>(name);                             \
        return 0;                                                             \
    }                                                                         \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { \
        tide::fuzzing::TargetOfThisRun<Target>()->Run(data, size);            \
        return 0;                                                             \
    }

namespace tide::fuzzing {

template <class Target>
Target*& TargetOfThisRun() {
    static Target* target = nullptr;
    return target;
}

// The start of a target's whole run, from LLVMFuzzerInitialize: a private network
// namespace of its own (nothing it sends leaves the machine), the locale its checks rely
// on, then the target made and set up; it is torn down at exit, before the libraries its
// threads use. Exits with status 2 when any of that fails.
template <class Target>
Target& StartTarget(const char* name) {
    std::string error;
    if (!testing::EnterPrivateNetwork(&error)) {
        std::fprintf(stderr, "%s: cannot enter a private network namespace: %s\n", name, error.c_str());
        std::exit(2);
    }
    std::setlocale(LC_ALL, "C.UTF-8");
    Target*& target = TargetOfThisRun<Target>();
    target = new Target();
    if (!target->Setup(&error)) {
        std::fprintf(stderr, "%s: %s\n", name, error.c_str());
        std::exit(2);
    }
    std::atexit([] {
        Target*& running = TargetOfThisRun<Target>();
        running->Teardown();
        delete running;
        running = nullptr;
    });
    return *target;
}

// Valid UTF-8 without zero bytes, as the C library judges it. One conversion stays open
// for the whole run (opening one costs more than most inputs' deliveries); it starts each
// check in its initial state.
inline bool IsValidUtf8(const char* bytes, size_t size) {
    if (std::memchr(bytes, 0, size)) return false;
    static const iconv_t check = iconv_open("UTF-32LE", "UTF-8");
    if (check == reinterpret_cast<iconv_t>(-1)) return false;
    iconv(check, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(bytes);
    size_t inLeft = size;
    // Only written, never read: kept from check to check, and not cleared.
    static std::string out;
    if (out.size() < size * 4 + 4) out.resize(size * 4 + 4);
    char* cursor = out.data();
    size_t outLeft = out.size();
    const bool valid = iconv(check, &in, &inLeft, &cursor, &outLeft) != static_cast<size_t>(-1);
    return valid && inLeft == 0;
}

// Well-formed UTF-8 in the original, wider sense (sequences of up to six bytes), which
// the C library also writes for code points past U+10FFFF that it lets through. A byte
// a conversion did not write shows up as a sequence that is not well-formed.
inline bool IsWellFormedUtf8(const uint8_t* bytes, size_t size) {
    size_t at = 0;
    while (at < size) {
        const uint8_t lead = bytes[at];
        const size_t length = lead < 0x80   ? 1
                              : lead < 0xC0 ? 0
                              : lead < 0xE0 ? 2
                              : lead < 0xF0 ? 3
                              : lead < 0xF8 ? 4
                              : lead < 0xFC ? 5
                              : lead < 0xFE ? 6
                                            : 0;
        if (length == 0 || at + length > size) return false;
        for (size_t i = 1; i < length; ++i) {
            if ((bytes[at + i] & 0xC0) != 0x80) return false;
        }
        at += length;
    }
    return true;
}

}  // namespace tide::fuzzing
