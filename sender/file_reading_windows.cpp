// Reading a whole file on Windows: opened for shared reading under its wide name as it
// stands, sized, and read with one ReadFile.
#include <windows.h>

#include <cstring>
#include <new>

#include "sender/file_reading.h"

namespace tide {

namespace {

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle_(handle) {}
    ~FileHandle() {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace

FileReadResult ReadWholeFile(const wchar_t* path, FileContents* contents) {
    if (!path || !*path) return FileReadResult::kCannotOpen;
    // Other readers are allowed, a writer is not; a missing file is not created. A folder
    // cannot be opened this way at all.
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return FileReadResult::kCannotOpen;
    // A pipe, a console or a device has no size to read up to, and may block the host's
    // thread for good.
    if (GetFileType(file.get()) != FILE_TYPE_DISK) return FileReadResult::kCannotRead;
    DWORD high = 0;
    const DWORD low = GetFileSize(file.get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return FileReadResult::kCannotRead;
    if (high != 0 || low > static_cast<DWORD>(INT32_MAX)) return FileReadResult::kCannotRead;

    const auto size = static_cast<size_t>(low);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (!bytes) return FileReadResult::kCannotRead;
    DWORD done = 0;
    if (size > 0 && !ReadFile(file.get(), bytes.get(), low, &done, nullptr))
        return FileReadResult::kCannotRead;
    // A file that shrank since it was sized keeps its size, the missing end zero.
    std::memset(bytes.get() + done, 0, size - done);
    contents->bytes = std::move(bytes);
    contents->size = static_cast<int32_t>(size);
    return FileReadResult::kRead;
}

}  // namespace tide
