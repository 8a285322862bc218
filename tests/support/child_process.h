// Running the current test program again as a child process, for tests that need a peer
// in another process (a sender of another host, say). The child inherits the private
// network. Host's thread only.
#pragma once

#include <string>

namespace tide::testing {

// Runs this program again with `--gtest_filter=FILTER` and `variable`=`value` added to
// its environment, and waits for it. True when it exited with status 0.
bool RunTestsAgain(const std::string& filter, const std::string& variable, const std::string& value);

}  // namespace tide::testing
