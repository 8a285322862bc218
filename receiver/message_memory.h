// Memory for a message's reassembly buffer, the part of the listener that differs between
// systems (message_memory_posix.cpp: huge pages where Linux offers them;
// message_memory_windows.cpp: the heap). A message's buffer is written once through, from
// memory the process has never touched: each small page costs a fault the first time
// (16 384 of them for a 64 MiB message), a huge page one fault for 512 of them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tide {

// A block of `bytes` bytes, not cleared; null when there is no memory for it.
uint8_t* AllocateMessageMemory(size_t bytes);
// Gives back a block AllocateMessageMemory made with the same `bytes`; null is ignored.
void FreeMessageMemory(uint8_t* memory, size_t bytes);

}  // namespace tide
