// What this process holds, from /proc/self.
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

size_t ResidentBytes() {
    unsigned long long pages = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu %llu", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<size_t>(resident) * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}
std::vector<uint64_t> RunningThreadIds() {
    std::vector<uint64_t> ids;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') ids.push_back(std::strtoull(entry->d_name, nullptr, 10));
        }
        closedir(dir);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace tide::testing
