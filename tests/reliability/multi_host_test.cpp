// Multicast between hosts: a sender and two receivers, each a process in a network
// namespace of its own with its own address, on one bridge like machines on one switch.
// Receivers join with real IGMP reports; the bridge forwards a group only to the ports it
// learned members on. Each host runs the modules in an emulated host of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/reliability/host_steps.h"
#include "tests/reliability/lan.h"
#include "tests/support/plugin_host.h"

namespace tide::testing {
namespace {

constexpr const char* kGroup = "239.255.60.1";
constexpr const char* kOtherGroup = "239.255.60.2";
constexpr const char* kSenderAddress = "10.77.0.1";
constexpr const char* kFirstAddress = "10.77.0.2";
constexpr const char* kSecondAddress = "10.77.0.3";
// Three fragments.
constexpr const char* kFileBytes = "50000";

// Run by every host process: the steps its environment names.
class HostProcess : public PluginHostTest {};

TEST_F(HostProcess, RunsItsSteps) {
    const char* steps = std::getenv(kHostStepsVariable);
    if (!steps) GTEST_SKIP() << "run by the multi-host tests as one of their hosts";
    ASSERT_TRUE(ConfigureHostNetwork(std::getenv(kHostAddressVariable), std::getenv(kHostLinkVariable)));
    RunHostSteps(host, *listen, *speak, steps);
}

class MultiHostTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(lan.ok()) << lan.error(); }

    int Host(const char* address, const std::string& steps) {
        const int host = lan.AddHost(address, steps);
        EXPECT_GE(host, 0) << lan.error();
        if (host >= 0) {
            EXPECT_TRUE(lan.AwaitReady(host)) << lan.error();
        }
        return host;
    }
    // The receivers say they joined, and the bridge has seen their IGMP reports.
    void AwaitMembers(std::initializer_list<std::pair<int, const char*>> members) {
        for (const auto& [host, group] : members) {
            ASSERT_TRUE(lan.Await(host, "joined")) << lan.error();
            ASSERT_TRUE(lan.LearnedMember(host, group)) << lan.error();
        }
    }
    void Finish() { EXPECT_TRUE(lan.Finish()) << lan.error(); }

    Lan lan;
};

TEST_F(MultiHostTest, BothReceiversGetEveryTextAndAFileOfThreeFragments) {
    const std::string texts = "one,two,h\xC3\xA9llo,\xE2\x82\xAC\xF0\x9F\x98\x80,five";
    const std::string receive =
        std::string("open ") + kGroup + "; start; tell joined; texts " + texts + "; file " + kFileBytes;
    const int first = Host(kFirstAddress, receive);
    const int second = Host(kSecondAddress, receive);
    std::string send = std::string("speaker s ") + kGroup + "; await go";
    for (const char* text : {"one", "two", "h\xC3\xA9llo", "\xE2\x82\xAC\xF0\x9F\x98\x80", "five"})
        send += std::string("; say s ") + text;
    send += std::string("; send-file s ") + kFileBytes;
    const int sender = Host(kSenderAddress, send);
    AwaitMembers({{first, kGroup}, {second, kGroup}});
    lan.Tell(sender, "go");
    Finish();
}

TEST_F(MultiHostTest, RemoteHostIsTheSendingHostsAddressAndPort) {
    const std::string receive =
        std::string("open ") + kGroup + "; start; tell joined; texts a,b; senders; tell done";
    const int first = Host(kFirstAddress, receive);
    const int second = Host(kSecondAddress, receive);
    // Two sending objects on one host: one address, two ports.
    const int sender = Host(kSenderAddress, std::string("speaker s ") + kGroup + "; speaker t " + kGroup +
                                                "; await go; say s a; say t b");
    AwaitMembers({{first, kGroup}, {second, kGroup}});
    lan.Tell(sender, "go");
    ASSERT_TRUE(lan.Await(first, "done")) << lan.error();
    ASSERT_TRUE(lan.Await(second, "done")) << lan.error();
    Finish();
    const std::vector<std::string> seen = lan.heard(first);
    EXPECT_EQ(seen, lan.heard(second)) << "both receivers saw the same senders";
    ASSERT_EQ(seen.size(), 2u) << "two sending objects, two senders";
    for (const std::string& line : seen) {
        EXPECT_EQ(line.rfind(std::string("sender ") + kSenderAddress + ":", 0), 0u) << line;
        EXPECT_GT(std::atoi(line.c_str() + line.rfind(':') + 1), 0) << line;
    }
}

TEST_F(MultiHostTest, AReceiverThatClosesGetsNothingMoreWhileTheOtherGoesOn) {
    // A closed receiver reads nothing, so what the group sent meanwhile would wait in its
    // socket: when it opens again, the first text it gets must be one sent after that.
    const int first =
        Host(kFirstAddress, std::string("open ") + kGroup +
                                "; start; tell joined; texts before; close; tell closed; await reopen; "
                                "open " +
                                kGroup + "; tell rejoined; texts fence");
    const int second =
        Host(kSecondAddress, std::string("open ") + kGroup +
                                 "; start; tell joined; texts before,after; tell got-after; texts fence");
    const int sender = Host(kSenderAddress, std::string("speaker s ") + kGroup +
                                                "; await before; say s before; await after; say s after"
                                                "; await fence; say s fence");
    AwaitMembers({{first, kGroup}, {second, kGroup}});
    lan.Tell(sender, "before");
    ASSERT_TRUE(lan.Await(first, "closed")) << lan.error();
    lan.Tell(sender, "after");
    ASSERT_TRUE(lan.Await(second, "got-after")) << lan.error();
    lan.Tell(first, "reopen");
    ASSERT_TRUE(lan.Await(first, "rejoined")) << lan.error();
    ASSERT_TRUE(lan.LearnedMember(first, kGroup)) << lan.error();
    lan.Tell(sender, "fence");
    Finish();
}

TEST_F(MultiHostTest, AReceiverJoinedToAnotherGroupGetsNothing) {
    const int first =
        Host(kFirstAddress, std::string("open ") + kGroup + "; start; tell joined; texts x,y; file 30000");
    // Its first text is the one sent to its own group after all the others.
    const int second =
        Host(kSecondAddress, std::string("open ") + kOtherGroup + "; start; tell joined; texts fence");
    const int sender =
        Host(kSenderAddress, std::string("speaker s ") + kGroup + "; speaker other " + kOtherGroup +
                                 "; await go; say s x; say s y; send-file s 30000; say other fence");
    AwaitMembers({{first, kGroup}, {second, kOtherGroup}});
    EXPECT_FALSE(lan.ListsMember(second, kGroup)) << "the second receiver never joined the first group";
    lan.Tell(sender, "go");
    Finish();
}

}  // namespace
}  // namespace tide::testing
