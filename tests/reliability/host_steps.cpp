// One host of a multi-host test: its network and its steps (see host_steps.h).
#include "tests/reliability/host_steps.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "emulator/script_calls.h"
#include "tests/support/recording_script.h"
#include "tests/support/waiting.h"

namespace tide::testing {

namespace {

constexpr int kTestSilenceMilliseconds = 60000;
constexpr auto kLinkWait = std::chrono::seconds(30);

// What this host's network saw: each link's counters, the groups joined on it, the IGMP
// state. Shown when something awaited never came, to tell a datagram the bridge never
// forwarded from one the host dropped.
std::string NetworkReport() { return CommandOutput("ip -s link show; ip maddr show; cat /proc/net/igmp"); }

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator)) {
        if (!part.empty()) parts.push_back(part);
    }
    return parts;
}

void TellTest(const std::string& word) {
    const std::string line = word + "\n";
    ASSERT_EQ(write(kHostToTestFd, line.data(), line.size()), static_cast<ssize_t>(line.size()));
}

bool AwaitTest(const std::string& word) {
    std::string pending;
    for (;;) {
        const size_t end = pending.find('\n');
        if (end != std::string::npos) {
            if (pending.substr(0, end) == word) return true;
            pending.erase(0, end + 1);
            continue;
        }
        pollfd ready{kTestToHostFd, POLLIN, 0};
        if (poll(&ready, 1, kTestSilenceMilliseconds) != 1) return false;
        char chunk[64];
        const ssize_t n = read(kTestToHostFd, chunk, sizeof chunk);
        if (n <= 0) return false;
        pending.append(chunk, static_cast<size_t>(n));
    }
}

class HostSteps {
public:
    HostSteps(emulator::Host& host, emulator::Module& listen, emulator::Module& speak)
        : host_(host), listen_(listen), speak_(speak), calls_(host) {
        scriptValue_ = host_.MakeScriptObject(script_);
    }
    ~HostSteps() {
        EXPECT_EQ(script_->texts.size(), textsTaken_) << "texts nobody expected";
        EXPECT_EQ(script_->binaries.size(), binariesTaken_) << "messages nobody expected";
        listener_.reset();
        for (auto& [name, speaker] : speakers_) host_.Release(speaker);
        host_.Release(scriptValue_);
        for (const std::string& path : files_) std::remove(path.c_str());
    }

    // False once a step failed: the steps after it are not run.
    bool Run(const std::vector<std::string>& words);

private:
    int32_t SpeakerCall(const std::string& name, std::string_view member,
                        std::initializer_list<host::HostValue> args);

    emulator::Host& host_;
    emulator::Module& listen_;
    emulator::Module& speak_;
    emulator::ScriptCalls calls_;
    std::shared_ptr<RecordingScript> script_ = std::make_shared<RecordingScript>();
    host::HostValue scriptValue_{};
    std::unique_ptr<ScriptedListener> listener_;
    std::map<std::string, host::HostValue> speakers_;
    std::vector<std::string> files_;
    size_t textsTaken_ = 0;
    size_t binariesTaken_ = 0;
};

int32_t HostSteps::SpeakerCall(const std::string& name, std::string_view member,
                               std::initializer_list<host::HostValue> args) {
    emulator::CallOutcome outcome = calls_.Call(speakers_.at(name), member, args);
    const int32_t result = host_.IntegerOf(outcome.result).value_or(INT32_MIN);
    host_.Release(outcome.result);
    return result;
}

bool HostSteps::Run(const std::vector<std::string>& words) {
    const std::string& verb = words[0];
    const std::string argument = words.size() > 1 ? words[1] : "";
    if (verb == "open") {
        if (!listener_) listener_ = std::make_unique<ScriptedListener>(host_, listen_, scriptValue_);
        EXPECT_EQ(listener_->Open(kLanPort, argument), 0) << "open " << argument;
    } else if (verb == "start") {
        listener_->Start();
    } else if (verb == "close") {
        EXPECT_EQ(listener_->Close(), 0);
    } else if (verb == "texts") {
        const std::vector<std::string> expected = Split(argument, ',');
        const bool came =
            PumpUntil(host_, [&] { return script_->texts.size() >= textsTaken_ + expected.size(); });
        std::vector<std::string> got;
        for (size_t i = textsTaken_; i < script_->texts.size() && got.size() < expected.size(); ++i)
            got.push_back(script_->texts[i].Text("data"));
        textsTaken_ += got.size();
        EXPECT_TRUE(came) << "only " << got.size() << " of " << expected.size() << " texts came\n"
                          << (came ? "" : NetworkReport());
        EXPECT_EQ(got, expected);
    } else if (verb == "file") {
        const bool came = PumpUntil(host_, [&] { return script_->binaries.size() > binariesTaken_; });
        EXPECT_TRUE(came) << "no message of " << argument << " bytes came\n" << (came ? "" : NetworkReport());
        if (!came) return false;
        const ReceivedBinary& binary = script_->binaries[binariesTaken_++];
        EXPECT_TRUE(binary.readable);
        EXPECT_EQ(binary.bytes, Pattern(std::stoul(argument)));
    } else if (verb == "senders") {
        std::set<std::string> senders;
        for (const ReceivedText& text : script_->texts) senders.insert(text.Text("remote_host"));
        for (const std::string& sender : senders) TellTest("sender " + sender);
    } else if (verb == "speaker") {
        speakers_[argument] = speak_.New();
        host::HostValue port = host_.MakeInteger(kLanPort);
        host::HostValue to = host_.MakeString(words.at(2));
        EXPECT_EQ(SpeakerCall(argument, "Open", {port, to}), 0);
        host_.Release(port);
        host_.Release(to);
    } else if (verb == "say") {
        host::HostValue text = host_.MakeString(words.at(2));
        EXPECT_EQ(SpeakerCall(argument, "SendText", {text}), 0);
        host_.Release(text);
    } else if (verb == "send-file") {
        const Bytes bytes = Pattern(std::stoul(words.at(2)));
        char path[] = "/tmp/tide-lan-file-XXXXXX";
        const int fd = mkstemp(path);
        EXPECT_GE(fd, 0);
        if (fd < 0) return false;
        files_.push_back(path);
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        close(fd);
        host::HostValue file = host_.MakeString(path);
        EXPECT_EQ(SpeakerCall(argument, "SendBinary", {file}), 0);
        host_.Release(file);
    } else if (verb == "tell") {
        TellTest(argument);
    } else if (verb == "await") {
        EXPECT_TRUE(AwaitTest(argument)) << "the test never said " << argument;
    } else {
        ADD_FAILURE() << "no such step: " << verb;
    }
    return !::testing::Test::HasFailure();
}

}  // namespace

bool RunCommand(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

std::string CommandOutput(const std::string& command) {
    std::string text;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) return text;
    char chunk[512];
    for (size_t n = std::fread(chunk, 1, sizeof chunk, pipe); n > 0;
         n = std::fread(chunk, 1, sizeof chunk, pipe))
        text.append(chunk, n);
    pclose(pipe);
    return text;
}

bool LinkIsOn(const std::string& device) {
    // Not /sys/class/net: it shows the links of the namespace it was mounted in.
    return CommandOutput("ip -o link show dev " + device).find(" state UP ") != std::string::npos;
}

bool ConfigureHostNetwork(const char* address, const char* link) {
    if (!AwaitTest("linked")) return false;
    const std::string device(link);
    for (const std::string& command :
         {std::string("ip link set lo up"), "ip addr add " + std::string(address) + "/24 dev " + device,
          "ip link set " + device + " up", "ip route add 224.0.0.0/4 dev " + device}) {
        if (!RunCommand(command)) return false;
    }
    // The system switches a link on a while after it has been set up (under load, a
    // second or more); until then whatever is sent on it, an IGMP report too, is lost.
    const auto deadline = std::chrono::steady_clock::now() + kLinkWait;
    while (!LinkIsOn(device)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

void RunHostSteps(emulator::Host& host, emulator::Module& listen, emulator::Module& speak,
                  const char* steps) {
    HostSteps runner(host, listen, speak);
    // The test answers once the bridge's end of the link is on too, so that the first
    // IGMP report is not lost there.
    TellTest("ready");
    if (!AwaitTest("steps")) {
        ADD_FAILURE() << "the test never let the steps begin";
        return;
    }
    for (const std::string& step : Split(steps, ';')) {
        const std::vector<std::string> words = Split(step, ' ');
        if (words.empty()) continue;
        if (!runner.Run(words)) {
            ADD_FAILURE() << "at step: " << step;
            return;
        }
    }
}

}  // namespace tide::testing
