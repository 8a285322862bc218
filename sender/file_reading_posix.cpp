// Reading a whole file, with POSIX calls, under the path's name in the locale's own set.
#include "sender/file_reading.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

#include "framework/text_converter.h"

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
    narrow.SetFromName("wchar_t");
    narrow.SetToName("char");
    narrow.Reopen();
    narrow.Convert(WideTextBytes(widePath), widePath);
    const char* path = narrow.output();
    if (!path || !*path) return FileReadResult::kCannotOpen;
    FileHandle file(open(path, O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) return FileReadResult::kCannotOpen;
    struct stat status {};
    if (fstat(file.get(), &status) != 0) return FileReadResult::kCannotRead;
    if (S_ISDIR(status.st_mode)) return FileReadResult::kCannotOpen;
    if (!S_ISREG(status.st_mode) || status.st_size < 0 || status.st_size > INT32_MAX)
        return FileReadResult::kCannotRead;

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
