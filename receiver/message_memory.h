// Memory for a message's reassembly buffer. A message's buffer is written once through,
// from memory the process has never touched: each small page costs a fault the first time
// (16 384 of them for a 64 MiB message), a large page one fault for 512 of them
// (receiver/system_pages.h). But a large page is resident whole once any byte of it is
// written, and a peer names a fragment's offset at will: so a block starts with small
// pages only, and large pages back only the bytes that continue a message in order from
// its start.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tide {

// A block of `bytes` bytes, not cleared; null when there is no memory for it.
uint8_t* AllocateMessageMemory(size_t bytes);
// Marks the pages of a block (made with `bytes`) that hold the bytes from `from` to `to`
// for large pages: bytes about to be written in order, after every byte before them.
// Answers how far the marks now reach (at least `to`, at most `bytes`); where the system
// has no large pages for the block, `bytes`, so that it is not asked again.
size_t MarkForLargePages(uint8_t* memory, size_t bytes, size_t from, size_t to);
// Gives back a block AllocateMessageMemory made with the same `bytes`; null is ignored.
void FreeMessageMemory(uint8_t* memory, size_t bytes);

}  // namespace tide
