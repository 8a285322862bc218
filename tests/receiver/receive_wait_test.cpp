// ReceiveWait::HasRoom on a real socket: a socket with a small receive buffer, filled by a
// plain sender on loopback and drained again.
#include "receiver/receive_wait.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/plain_sockets.h"
#include "tests/support/platform.h"
#include "tests/support/wire.h"

namespace tide {
namespace {

constexpr uint16_t kPort = 42011;

TEST(ReceiveWaitRoom, ASocketHasRoomUntilHalfItsBufferIsTakenAndAgainOnceDrained) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows does not tell how full a datagram socket's buffer is";
#else
    if (testing::UnderEmulation()) GTEST_SKIP() << "QEMU does not pass SO_MEMINFO through";
    in_addr loopback{};
    inet_pton(AF_INET, "127.0.0.1", &loopback);
    bool bound = false;
    testing::SocketHandle socket = testing::BoundSocket(loopback, kPort, &bound);
    ASSERT_TRUE(bound);
    const int bufferBytes = 100000;  // a handful of full datagrams
    ASSERT_TRUE(testing::SetOption(socket, SOL_SOCKET, SO_RCVBUF, &bufferBytes, sizeof bufferBytes));
    ReceiveWait wait;
    EXPECT_TRUE(wait.HasRoom(socket, 0)) << "an empty socket";
    // A buffer the system kept small fills between two looks: it never has the room asked.
    EXPECT_FALSE(wait.HasRoom(socket, 16 * 1024 * 1024)) << "an empty socket, less free than asked";

    testing::RawSender sender{"127.0.0.1", kPort};
    // More than the buffer holds: loopback delivers each before sendto returns, and drops
    // what does not fit.
    const testing::Bytes datagram(kDatagramBytes, 0);
    for (int i = 0; i < 20; ++i) sender.Send(datagram);
    EXPECT_FALSE(wait.HasRoom(socket, 0)) << "a full socket";

    std::vector<char> buffer(kDatagramBytes);
    while (testing::WaitReadable(socket, 0)) recv(socket, buffer.data(), buffer.size(), 0);
    EXPECT_TRUE(wait.HasRoom(socket, 0)) << "a drained socket";
    testing::CloseSocket(socket);
#endif
}

}  // namespace
}  // namespace tide
