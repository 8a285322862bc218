// What this process holds, from /proc/self.
#include <dirent.h>

#include "tests/support/process_counts.h"

namespace tide::testing {

namespace {

size_t CountEntries(const char* directory) {
    size_t count = 0;
    if (DIR* dir = opendir(directory)) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

}  // namespace

size_t OpenDescriptors() { return CountEntries("/proc/self/fd"); }
size_t RunningThreads() { return CountEntries("/proc/self/task"); }

}  // namespace tide::testing
