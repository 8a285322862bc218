// What host.peek vouches for without an address table: a range of this process's memory
// is readable only when every page of it is, so a peek at a bad address is an error for
// the script, never a fault that takes the host down.
#include "emulator/tidehost/readable_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tide::tidehost {
namespace {

// Two pages, the second of which cannot be read; released at the end.
class TwoPages {
public:
    TwoPages() {
#ifdef _WIN32
        SYSTEM_INFO system{};
        GetSystemInfo(&system);
        page = system.dwPageSize;
        first =
            static_cast<uint8_t*>(VirtualAlloc(nullptr, 2 * page, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(first + page, page, PAGE_NOACCESS, &old);
#else
        page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void* mapped = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        first = mapped == MAP_FAILED ? nullptr : static_cast<uint8_t*>(mapped);
        if (first) mprotect(first + page, page, PROT_NONE);
#endif
    }
    ~TwoPages() {
#ifdef _WIN32
        VirtualFree(first, 0, MEM_RELEASE);
#else
        munmap(first, 2 * page);
#endif
    }
    size_t page = 0;
    uint8_t* first = nullptr;
};

TEST(ReadableMemory, EveryPageOfTheRangeMustBeReadable) {
    const std::vector<uint8_t> live(100000, 1);
    if (!IsReadable(live.data(), live.size()))
        GTEST_SKIP() << "addresses here do not fit a script's integers: nothing is vouched for";
    EXPECT_TRUE(IsReadable(live.data(), 1));
    TwoPages pages;
    ASSERT_NE(pages.first, nullptr);
    EXPECT_TRUE(IsReadable(pages.first, pages.page));
    EXPECT_FALSE(IsReadable(pages.first, pages.page + 1)) << "one byte into the page that cannot be read";
    EXPECT_FALSE(IsReadable(pages.first + pages.page, 1));
    EXPECT_FALSE(IsReadable(nullptr, 1));
    EXPECT_FALSE(IsReadable(live.data(), SIZE_MAX)) << "a range past the end of the address space";
}

}  // namespace
}  // namespace tide::tidehost
