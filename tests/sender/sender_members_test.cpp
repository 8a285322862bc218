// The sender's members, called as a script calls them on a Tidespeak object made by the
// loaded module, checked on the wire with a plain socket joined to the group.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <thread>

#include "host/address_table.h"
#include "tests/support/plugin_host.h"
#include "tests/support/wire.h"

namespace tide::testing {
namespace {

constexpr const char* kGroup = "239.255.40.1";
constexpr uint16_t kPort = 43001;

class SenderMembersTest : public PluginHostTest {
protected:
    void SetUp() override {
        PluginHostTest::SetUp();
        ASSERT_TRUE(probe.joined);
        speaker = NewSpeaker();
        ASSERT_EQ(IntegerResult(Call(speaker, "Open", {Integer(kPort), String(kGroup)})), 0);
        char pattern[] = "/tmp/tide-sender-XXXXXX";
        ASSERT_TRUE(mkdtemp(pattern));
        directory = pattern;
    }
    void TearDown() override {
        std::system(("rm -rf " + directory).c_str());
        PluginHostTest::TearDown();
    }

    std::string WriteFile(const std::string& name, const Bytes& bytes) {
        std::string path = directory + "/" + name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    WireProbe probe{kGroup, kPort};
    host::HostValue speaker{};
    std::string directory;
};

Bytes PayloadOf(const Bytes& datagram, size_t bytes) {
    return Bytes(datagram.begin() + kPayloadOffset, datagram.begin() + kPayloadOffset + static_cast<long>(bytes));
}

TEST_F(SenderMembersTest, SendTextWithoutAStringSendsAnEmptyText) {
    EXPECT_EQ(IntegerResult(Call(speaker, "SendText")), 0);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendText", {Integer(42)})), 0);
    for (const Bytes& datagram : probe.Take(2)) {
        ASSERT_EQ(datagram.size(), static_cast<size_t>(kDatagramBytes));
        DatagramHeader header = HeaderOf(datagram);
        EXPECT_EQ(header.data_type, kTypeText);
        EXPECT_EQ(header.data_tsize, 2);
        EXPECT_EQ(header.data_size, 2);
        EXPECT_EQ(header.tcount, 1);
        EXPECT_EQ(PayloadOf(datagram, 2), (Bytes{0, 0}));
    }
}

TEST_F(SenderMembersTest, SendTextConvertsTheScriptsSetToSixteenBitUnits) {
    Call(speaker, "SendText", {String("abc")});
    Call(speaker, "SetDirectorCode", {String("ISO-8859-1")});
    Call(speaker, "SendText", {String("\xE9")});
    std::vector<Bytes> datagrams = probe.Take(2);
    ASSERT_EQ(datagrams.size(), 2u);
    EXPECT_EQ(HeaderOf(datagrams[0]).data_tsize, 8);
    EXPECT_EQ(PayloadOf(datagrams[0], 8), (Bytes{'a', 0, 'b', 0, 'c', 0, 0, 0}));
    EXPECT_EQ(HeaderOf(datagrams[0]).index, 1);
    EXPECT_EQ(PayloadOf(datagrams[1], 4), (Bytes{0xE9, 0, 0, 0})) << "Latin-1 \\xE9 is U+00E9";
    EXPECT_EQ(HeaderOf(datagrams[1]).index, 2);
}

TEST_F(SenderMembersTest, RepeatSendsCopiesZeroSendsNothingAndANonIntegerMeansOnce) {
    EXPECT_EQ(IntegerResult(Call(speaker, "SendText", {String("x"), Integer(3)})), 0);
    std::vector<Bytes> copies = probe.Take(3);
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(copies[0], copies[1]);
    EXPECT_EQ(copies[1], copies[2]);

    EXPECT_EQ(IntegerResult(Call(speaker, "SendText", {String("y"), Integer(0)})), 0);
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());
    Call(speaker, "SendText", {String("z"), Float(2.5)});
    std::vector<Bytes> once = probe.Take(1);
    ASSERT_EQ(once.size(), 1u);
    EXPECT_EQ(HeaderOf(once[0]).index, 3) << "repeat 0 still used message number 2";
}

TEST_F(SenderMembersTest, SendBinaryReadsTheWholeFileAndRefusesWhatCannotBeOpened) {
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(directory + "/missing")})), -1);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(directory)})), -1) << "a directory";
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary")), -1) << "no path";
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());

    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(WriteFile("empty", {}))})), 0);
    const Bytes content = Pattern(30000);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(WriteFile("file", content)), Integer(1)})), 0);
    std::vector<Bytes> datagrams = probe.Take(3);
    ASSERT_EQ(datagrams.size(), 3u);
    DatagramHeader empty = HeaderOf(datagrams[0]);
    EXPECT_EQ(empty.index, 1) << "refused files used no message number";
    EXPECT_EQ(empty.data_type, kTypeBinary);
    EXPECT_EQ(empty.data_tsize, 0);
    EXPECT_EQ(empty.data_size, 0);
    Bytes reassembled = PayloadOf(datagrams[1], 20480);
    Bytes tail = PayloadOf(datagrams[2], 30000 - 20480);
    reassembled.insert(reassembled.end(), tail.begin(), tail.end());
    EXPECT_EQ(reassembled, content);
    EXPECT_EQ(HeaderOf(datagrams[2]).data_offset, 20480);
    EXPECT_EQ(HeaderOf(datagrams[2]).tcount, 2);
}

// Opening a named pipe without a writer waits for one: a call that did would freeze the
// host. The test opens the pipe's other end itself once it has waited long enough for
// any call that returns at once, so that a faulty call ends and fails instead of hanging.
class PipeRescue {
public:
    explicit PipeRescue(std::string path) : path_(std::move(path)) {
        thread_ = std::thread([this] {
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!done_ && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            if (done_) return;
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

TEST_F(SenderMembersTest, SendBinaryOfAnythingButARegularFileAnswersMinusOneAtOnce) {
    const std::string pipe = directory + "/pipe";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    {
        PipeRescue rescue(pipe);
        EXPECT_EQ(IntegerResult(Call(speaker, "SendBinary", {String(pipe)})), -1) << "a pipe without a writer";
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

TEST_F(SenderMembersTest, WritingTextOrBinarySendsOnceAndHidesTheResult) {
    EXPECT_EQ(Set(speaker, "Text", String("hi")), host::kOk);
    EXPECT_EQ(Set(speaker, "Binary", String(directory + "/missing")), host::kOk);
    std::vector<Bytes> datagrams = probe.Take(1);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(PayloadOf(datagrams[0], 6), (Bytes{'h', 0, 'i', 0, 0, 0}));
    EXPECT_EQ(Set(speaker, "Binary", String(WriteFile("one", {1, 2, 3}))), host::kOk);
    EXPECT_EQ(probe.Take(1).size(), 1u);
    EXPECT_EQ(Get(speaker, "Binary").status, host::kNoSuchProperty);
}

TEST_F(SenderMembersTest, OpenWithAPortGivenAsAStringUsesPortZero) {
    EXPECT_EQ(IntegerResult(Call(speaker, "Open", {String("43001"), String(kGroup)})), 0);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendText", {String("lost")})), 0);
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());
    // Port 43001 + 65536 is port 43001 again.
    Call(speaker, "Open", {Integer(kPort + 65536), String(kGroup)});
    Call(speaker, "SendText", {String("found")});
    EXPECT_EQ(probe.Take(1).size(), 1u);
}

TEST_F(SenderMembersTest, SendBufferSendsAPublishedRegionAndRefusesAnythingElse) {
    const Bytes block = Pattern(25000, 3);
    uint32_t handle = 0;
    ASSERT_EQ(host.addressTable()->Publish(block.data(), static_cast<uint32_t>(block.size()), &handle), host::kOk);
    const int32_t number = static_cast<int32_t>(handle);

    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number + 7777), Integer(10)})), -1);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number), Integer(25001)})), -1) << "too long";
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number), Integer(-1)})), -1);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number)})), -1) << "no size";
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {String("1"), Integer(10)})), -1);
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());

    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number), Integer(25000), Integer(2)})), 0);
    std::vector<Bytes> datagrams = probe.Take(4);
    ASSERT_EQ(datagrams.size(), 4u);
    EXPECT_EQ(HeaderOf(datagrams[0]).index, 1) << "refused calls used no message number";
    EXPECT_EQ(datagrams[0], datagrams[1]);
    Bytes sent = PayloadOf(datagrams[0], 20480);
    Bytes tail = PayloadOf(datagrams[2], 25000 - 20480);
    sent.insert(sent.end(), tail.begin(), tail.end());
    EXPECT_EQ(sent, block);

    host.addressTable()->Withdraw(handle);
    EXPECT_EQ(IntegerResult(Call(speaker, "SendBuffer", {Integer(number), Integer(1)})), -1) << "withdrawn";
}

}  // namespace
}  // namespace tide::testing
