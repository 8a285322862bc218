// Message memory on Windows: the heap. Large pages there need a privilege an ordinary
// process lacks, and Windows makes a fresh page present far more cheaply than the virtual
// machines the huge pages are for.
#include <new>

#include "receiver/message_memory.h"

namespace tide {

uint8_t* AllocateMessageMemory(size_t bytes) { return new (std::nothrow) uint8_t[bytes]; }

size_t MarkForLargePages(uint8_t*, size_t bytes, size_t, size_t) { return bytes; }

void FreeMessageMemory(uint8_t* memory, size_t) { delete[] memory; }

}  // namespace tide
