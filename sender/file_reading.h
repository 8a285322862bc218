// Reading a whole file for SendBinary: the one place where the sender touches the file
// system (file_reading_posix.cpp, file_reading_windows.cpp). Others may read the file at
// the same time; on Windows a file another program has open for writing cannot be opened,
// on Linux there is no such rule. Host's thread only.
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

// Reads the file at `path` (zero-terminated wide text, as a script's string converts to
// "wchar_t") whole. A file that comes out shorter than its size keeps that size, its
// missing end zero-filled.
FileReadResult ReadWholeFile(const wchar_t* path, FileContents* contents);

}  // namespace tide
