// Reading a whole file for SendBinary: the one place where the sender touches the file
// system. Others may read the file at the same time (Linux has no rule against writers).
// Host's thread only.
#pragma once

#include <cstdint>
#include <memory>

namespace tide {

struct FileContents {
    std::unique_ptr<uint8_t[]> bytes;
    int32_t size = 0;
};

enum class FileReadResult {
    kRead,        // `contents` holds the whole file
    kCannotOpen,  // missing, no access, empty path, or not a regular file (directory, pipe, device, socket)
    kCannotRead,  // too large for a message (2^31 bytes or more), cannot be sized, allocated or read
};

// Reads the file at `path` (in the file system's own encoding) whole. A file that comes
// out shorter than its size keeps that size, its missing end zero-filled.
FileReadResult ReadWholeFile(const char* path, FileContents* contents);

}  // namespace tide
