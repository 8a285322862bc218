// What the emulated host's own tests share: a host whose books must be clean when a test
// ends, where the misuse a test provokes on purpose is marked as expected.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "emulator/host.h"

namespace tide::testing {

// True when one of `errors` says `part`.
inline bool Mentions(const std::vector<std::string>& errors, const std::string& part) {
    for (const std::string& error : errors) {
        if (error.find(part) != std::string::npos) return true;
    }
    return false;
}

class HostTest : public ::testing::Test {
protected:
    void TearDown() override {
        EXPECT_TRUE(host_.alive().none()) << host_.AliveReport();
        EXPECT_EQ(host_.errors(), expectedErrors_);
    }

    // Marks the errors a test provokes on purpose; anything else fails the test.
    void ExpectError(const std::string& part) {
        std::vector<std::string> errors = host_.errors();
        ASSERT_TRUE(Mentions(errors, part)) << part << " not in " << ::testing::PrintToString(errors);
        expectedErrors_ = errors;
    }

    emulator::Host host_;
    std::vector<std::string> expectedErrors_;
};

}  // namespace tide::testing
