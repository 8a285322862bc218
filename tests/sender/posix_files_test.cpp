// SendBinary of what is not a regular file on POSIX systems: named pipes with and without
// a writer (whose open alone would wait for good), a link to one, a unix socket, devices
// and a folder all answer -1 at once and send nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "tests/sender/speaker_fixture.h"
#include "tests/support/waiting.h"

namespace tide::testing {
namespace {

constexpr char kGroup[] = "239.255.40.2";
constexpr uint16_t kPort = 43002;

using PosixFilesTest = SpeakerTest<kGroup, kPort>;

// Opening a named pipe without a writer waits for one: a call that did would freeze the
// host. The test opens the pipe's other end itself once it has waited long enough for
// any call that returns at once, so that a faulty call ends and fails instead of hanging.
class PipeRescue {
public:
    explicit PipeRescue(std::string path) : path_(std::move(path)) {
        thread_ = std::thread([this] {
            if (WaitUntil([this] { return done_.load(); }, std::chrono::seconds(5))) return;
            rescued_ = true;
            // Succeeds only while a reader waits in its open, which it then lets go.
            for (int attempt = 0; attempt < 500 && !done_; ++attempt) {
                int fd = open(path_.c_str(), O_WRONLY | O_NONBLOCK);
                if (fd >= 0) {
                    close(fd);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        });
    }
    // Whether the call under test needed the other end opened to return.
    bool Finish() {
        done_ = true;
        thread_.join();
        return rescued_;
    }

private:
    std::string path_;
    std::atomic<bool> done_{false};
    std::atomic<bool> rescued_{false};
    std::thread thread_;
};

TEST_F(PosixFilesTest, SendBinaryOfAnythingButARegularFileAnswersMinusOneAtOnce) {
    const std::string pipe = directory + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    {
        PipeRescue rescue(pipe);
        EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(pipe)})), -1)
            << "a pipe without a writer";
        EXPECT_FALSE(rescue.Finish()) << "SendBinary waited for a writer to open the pipe";
    }
    {
        const std::string link = directory + "/link-to-pipe";
        ASSERT_EQ(symlink(pipe.c_str(), link.c_str()), 0);
        PipeRescue rescue(pipe);
        EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(link)})), -1) << "a link to the pipe";
        EXPECT_FALSE(rescue.Finish()) << "SendBinary waited for a writer to open the pipe";
    }
    {
        // Both ends held open, with bytes waiting in it.
        int both = open(pipe.c_str(), O_RDWR | O_NONBLOCK);
        ASSERT_GE(both, 0);
        ASSERT_EQ(write(both, "abc", 3), 3);
        EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(pipe)})), -1) << "a pipe with a writer";
        close(both);
    }
    const std::string socketPath = directory + "/socket";
    int listening = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listening, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    ASSERT_EQ(bind(listening, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listening, 1), 0);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(socketPath)})), -1) << "a unix socket";
    close(listening);
    for (const char* device : {"/dev/zero", "/dev/null", "/dev/urandom"})
        EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(device), Integer(2)})), -1) << device;
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(directory)})), -1) << "a directory";
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty()) << "nothing is sent for any of them";

    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(WriteFile("after", {7}))})), 0);
    std::vector<Bytes> datagrams = probe.Take(1);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(HeaderOf(datagrams[0]).index, 1) << "refused paths used no message number";
}

}  // namespace
}  // namespace tide::testing
