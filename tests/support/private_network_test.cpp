// The private network every test runs in: no way out, multicast on loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace {

std::string RouteTable() {
    std::string text;
    FILE* pipe = popen("ip -4 route show table all 2>/dev/null", "r");
    if (!pipe) return text;
    char line[512];
    while (fgets(line, sizeof line, pipe)) text += line;
    pclose(pipe);
    return text;
}

TEST(PrivateNetwork, HasNoDefaultRouteAndRoutesMulticastToLoopback) {
    std::string routes = RouteTable();
    EXPECT_EQ(routes.find("default"), std::string::npos) << routes;
    EXPECT_NE(routes.find("224.0.0.0/4 dev lo"), std::string::npos) << routes;
}

TEST(PrivateNetwork, AnOutsideAddressIsUnreachable) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in outside{};
    outside.sin_family = AF_INET;
    outside.sin_port = htons(9);
    inet_pton(AF_INET, "192.0.2.1", &outside.sin_addr);
    EXPECT_LT(connect(fd, reinterpret_cast<sockaddr*>(&outside), sizeof outside), 0);
    close(fd);
}

}  // namespace
