// Readable memory on Linux: the kernel copies one byte of every page of the range into a
// pipe, and refuses (EFAULT) where the page cannot be read, instead of the fault a read
// of our own would take. Where addresses do not fit a script's integers, no number a
// script has is an address, and nothing is vouched for.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>

#include "emulator/tidehost/readable_memory.h"

namespace tide::tidehost {

bool IsReadable(const void* base, size_t length) {
    if constexpr (sizeof(void*) > sizeof(uint32_t)) {
        return false;
    } else {
        auto at = reinterpret_cast<uintptr_t>(base);
        if (at == 0 || at + length < at) return false;
        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
        const auto page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
        const uintptr_t end = at + length;
        bool readable = true;
        while (readable && at < end) {
            char byte = 0;
            readable = write(pipeEnds[1], reinterpret_cast<const void*>(at), 1) == 1 &&
                       read(pipeEnds[0], &byte, 1) == 1;
            at = (at | (page - 1)) + 1;
            if (at == 0) break;  // the last page of the address space
        }
        close(pipeEnds[0]);
        close(pipeEnds[1]);
        return readable;
    }
}

}  // namespace tide::tidehost
