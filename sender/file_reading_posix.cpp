// Reading a whole file, with POSIX calls, under the path's name in the locale's own set.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "framework/text_converter.h"
#include "sender/file_reading.h"

namespace tide {

namespace {

class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0) close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

}  // namespace

FileReadResult ReadWholeFile(const wchar_t* widePath, FileContents* contents) {
    // The file system names files in the locale's set.
    TextConverter narrow;
    narrow.Open(kWideSet, kNarrowSet);
    narrow.Convert(WideTextBytes(widePath), widePath);
    const char* path = narrow.output();
    if (!path || !*path) return FileReadResult::kCannotOpen;
    // Only a regular file has a size to send, and opening anything else may wait for good
    // (a named pipe without a writer) or set a device going: look before opening. The
    // path may be swapped for a pipe in between, so the open must not wait either, and
    // what was opened is looked at once more.
    struct stat status {};
    if (stat(path, &status) != 0 || !S_ISREG(status.st_mode)) return FileReadResult::kCannotOpen;
    FileHandle file(open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (file.get() < 0) return FileReadResult::kCannotOpen;
    if (fstat(file.get(), &status) != 0) return FileReadResult::kCannotRead;
    if (!S_ISREG(status.st_mode)) return FileReadResult::kCannotOpen;
    // A regular file read without waiting could come back short on some file systems.
    const int flags = fcntl(file.get(), F_GETFL);
    if (flags < 0 || fcntl(file.get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return FileReadResult::kCannotRead;
    if (status.st_size < 0 || status.st_size > INT32_MAX) return FileReadResult::kCannotRead;

    const auto size = static_cast<size_t>(status.st_size);
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (!bytes) return FileReadResult::kCannotRead;
    size_t done = 0;
    while (done < size) {
        ssize_t n = read(file.get(), bytes.get() + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return FileReadResult::kCannotRead;
        if (n == 0) break;  // the file shrank while it was read
        done += static_cast<size_t>(n);
    }
    std::memset(bytes.get() + done, 0, size - done);
    contents->bytes = std::move(bytes);
    contents->size = static_cast<int32_t>(size);
    return FileReadResult::kRead;
}

}  // namespace tide
