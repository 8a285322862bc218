// The main of every test binary: enters a private network namespace before anything else
// runs (so a test binary run by hand sends nothing off the machine), fixes the locale
// the tests rely on, then runs the tests.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>

#include "tests/support/private_network.h"

int main(int argc, char** argv) {
    std::string error;
    if (!tide::testing::EnterPrivateNetwork(&error)) {
        std::fprintf(stderr, "cannot enter a private network namespace: %s\n", error.c_str());
        return 2;
    }
    std::setlocale(LC_ALL, "C.UTF-8");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
