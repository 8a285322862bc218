// Faults from outside: a sender process killed in the middle of a message, and character
// sets of every name the C library knows (and names it does not) on both ends of a text.
// Each costs at most what was sent; the receiver goes on, and nothing leaks.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/plugin_host.h"
#include "tests/support/recording_script.h"
#include "tests/support/waiting.h"

namespace tide::testing {
namespace {

constexpr const char* kGroup = "239.255.61.1";
constexpr uint16_t kPort = 46100;
// Eight fragments; the first one grows the receiver's buffer, which a script can see.
constexpr int32_t kMessageBytes = 150000;
constexpr int32_t kGrownBufferBytes = kMessageBytes + 1024;
constexpr const char* kSenderRoleVariable = "TIDE_FAULT_SENDER";

// This binary again, as a sender process doing `role`.
ChildSetup SenderDoing(const std::string& role) {
    ChildSetup setup;
    setup.filter = "FaultSender.*";
    setup.environment = {std::string(kSenderRoleVariable) + "=" + role};
    return setup;
}

// The sender process: "forever" repeats the first fragment of a message until it is
// killed; "once" sends a message of the same length and number whole, as a restarted
// sender would, with other bytes, then a text.
TEST(FaultSender, SendsWhatItIsTold) {
    const char* role = std::getenv(kSenderRoleVariable);
    if (!role) GTEST_SKIP() << "run as the sender of a fault test";
    const bool forever = std::string(role) == "forever";
    emulator::Host host;
    std::string error;
    auto speak = emulator::Module::Load(host, emulator::ModuleFile(PluginDirectory(), "Tidespeak"), &error);
    ASSERT_TRUE(speak) << error;
    emulator::ScriptCalls calls(host);
    const Bytes message = Pattern(kMessageBytes, forever ? 1 : 2);
    uint32_t handle = 0;
    host.addressTable()->Publish(message.data(), kMessageBytes, &handle);
    std::vector<host::HostValue> values = {speak->New(),
                                           host.MakeInteger(kPort),
                                           host.MakeString(kGroup),
                                           host.MakeInteger(static_cast<int32_t>(handle)),
                                           host.MakeInteger(kMessageBytes),
                                           host.MakeInteger(forever ? INT32_MAX : 1),
                                           host.MakeString("after")};
    const host::HostValue& speaker = values[0];
    for (const emulator::CallOutcome& outcome :
         {calls.Call(speaker, "Open", {values[1], values[2]}),
          calls.Call(speaker, "SendBuffer", {values[3], values[4], values[5]}),
          calls.Call(speaker, "SendText", {values[6]})}) {
        EXPECT_EQ(host.IntegerOf(outcome.result), 0);
        host.Release(outcome.result);
    }
    host.addressTable()->Withdraw(handle);
    for (const host::HostValue& value : values) host.Release(value);
    EXPECT_TRUE(host.alive().none()) << host.AliveReport();
}

class FaultTest : public PluginHostTest {
protected:
    void SetUp() override {
        PluginHostTest::SetUp();
        scriptValue = Own(host.MakeScriptObject(script));
    }
    void TearDown() override {
        listener.reset();
        PluginHostTest::TearDown();
    }
    void Listen() {
        listener = std::make_unique<ScriptedListener>(host, *listen, scriptValue);
        ASSERT_EQ(listener->Open(kPort, kGroup), 0);
        listener->Start();
    }

    std::shared_ptr<RecordingScript> script = std::make_shared<RecordingScript>();
    host::HostValue scriptValue{};
    std::unique_ptr<ScriptedListener> listener;
};

TEST_F(FaultTest, ASenderKilledInTheMiddleOfAMessageCostsOnlyThatMessage) {
    Listen();
    ChildProcess flooding(SenderDoing("forever"));
    ASSERT_TRUE(flooding.started());
    // The first fragment has been delivered once the buffer has grown for the message;
    // the sender is still repeating it then, so it dies with seven fragments unsent.
    const bool started = PumpUntil(host, [&] { return listener->BufferSize() == kGrownBufferBytes; });
    flooding.Kill();
    const ChildEnd killed = flooding.Wait();
    ASSERT_NE(killed, ChildEnd::kUnknown);
    ASSERT_TRUE(started) << "the killed sender's message never began";
    EXPECT_EQ(killed, ChildEnd::kKilled) << "the sender was still sending when it was killed";

    ChildProcess restarted(SenderDoing("once"));
    ASSERT_TRUE(restarted.started());
    const ChildEnd ended = restarted.Wait();
    ASSERT_NE(ended, ChildEnd::kUnknown);
    ASSERT_EQ(ended, ChildEnd::kSucceeded) << "the second sender failed";
    ASSERT_TRUE(PumpUntil(host, [&] { return !script->texts.empty(); }))
        << "the receiver stopped delivering after the first sender died";
    ASSERT_EQ(script->binaries.size(), 1u) << "only the second sender's message completes";
    EXPECT_TRUE(script->binaries[0].readable);
    EXPECT_EQ(script->binaries[0].bytes, Pattern(kMessageBytes, 2))
        << "none of the dead sender's fragments counts for the new message";
    EXPECT_EQ(script->texts[0].Text("data"), "after");
}

// Every name `iconv -l` lists, without its trailing slashes.
std::vector<std::string> LibrarySets() {
    std::vector<std::string> names;
    FILE* pipe = popen("iconv -l", "r");
    if (!pipe) return names;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::string name;
        for (const char* c = line;; ++c) {
            if (*c == ',' || *c == ' ' || *c == '\n' || *c == '\0') {
                while (!name.empty() && name.back() == '/') name.pop_back();
                if (!name.empty()) names.push_back(name);
                name.clear();
                if (*c == '\0') break;
            } else {
                name += *c;
            }
        }
    }
    pclose(pipe);
    return names;
}

// `input` converted by the C library alone; `complete` tells whether all of it converted.
std::string Reference(const std::string& to, const std::string& from, const std::string& input, bool* opened,
                      bool* complete) {
    iconv_t handle = iconv_open(to.c_str(), from.c_str());
    *opened = handle != reinterpret_cast<iconv_t>(-1);
    *complete = false;
    if (!*opened) return "";
    std::string out(input.size() * 8 + 64, '\0');
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char* cursor = out.data();
    size_t outLeft = out.size();
    *complete = iconv(handle, &in, &inLeft, &cursor, &outLeft) != static_cast<size_t>(-1) &&
                iconv(handle, nullptr, nullptr, &cursor, &outLeft) != static_cast<size_t>(-1);
    iconv_close(handle);
    out.resize(out.size() - outLeft);
    return out;
}

// What a host string holds of converted bytes: up to their first zero byte.
std::string AsHostString(const std::string& bytes) { return bytes.substr(0, bytes.find('\0')); }

TEST_F(FaultTest, EveryCharacterSetTheLibraryKnowsAndNamesThatAreNone) {
    std::vector<std::string> names = LibrarySets();
    ASSERT_GT(names.size(), 100u) << "iconv -l lists the C library's sets";
    for (const char* none : {"", "no such set", "UTF-8//", "//", "\xFF\xFE", "../../../../tmp/x", "char",
                             "CHAR", "wchar_t", "UTF-8//TRANSLIT//IGNORE", "UTF-16LE//BOGUS"})
        names.push_back(none);
    names.push_back(std::string(255, 'x'));
    names.push_back(std::string(400, 'y'));  // too long: the object keeps its set

    const std::string sample = "Tide 42 h\xC3\xA9 \xE2\x82\xAC";
    WireProbe probe(kGroup, kPort);
    ASSERT_TRUE(probe.joined);
    size_t exact = 0;
    for (const std::string& name : names) {
        SCOPED_TRACE("DirectorCode \"" + name + "\"");
        const size_t textsBefore = script->texts.size();
        {
            ScriptedListener receiver(host, *listen, scriptValue);
            ASSERT_EQ(receiver.Open(kPort, kGroup), 0);
            receiver.Start();
            host::HostValue speaker = speak->New();
            ASSERT_EQ(IntegerResult(Call(speaker, "Open", {Integer(kPort), String(kGroup)})), 0);
            receiver.SetDirectorCode(name);
            Set(speaker, "DirectorCode", String(name));

            // The script's text in the set, as far as the set can hold it.
            bool opened = false;
            bool complete = false;
            std::string text = Reference(name, "UTF-8", sample, &opened, &complete);
            if (!complete) text = Reference(name, "UTF-8", "Tide 42", &opened, &complete);
            const bool plainText = complete && text.find('\0') == std::string::npos;
            if (!complete) text = "Tide 42";
            EXPECT_EQ(IntegerResult(Call(speaker, "SendText", {String(text)})), 0);
            host.Release(speaker);

            const Bytes wire = probe.Next();
            ASSERT_GE(wire.size(), static_cast<size_t>(kHeaderBytes));
            std::string units;
            for (size_t at = kPayloadOffset; at + 1 < wire.size() && (wire[at] | wire[at + 1]) != 0; at += 2)
                units.append({static_cast<char>(wire[at]), static_cast<char>(wire[at + 1])});
            if (plainText && name.size() < 256) {
                const std::string expected = Reference("UTF-16LE", name, text, &opened, &complete);
                if (complete) {
                    EXPECT_EQ(units, expected) << "the sender converts from the script's set";
                }
            }

            ASSERT_TRUE(PumpUntil(host, [&] { return script->texts.size() > textsBefore; }));
            const ReceivedText& delivered = script->texts.back();
            units.append(2, '\0');
            // What the receiver's set is: a name too long to keep leaves the default; "char"
            // is the locale's own set.
            const std::string set = name.size() >= 256                   ? "UTF-8"
                                    : (name == "char" || name == "CHAR") ? ""
                                                                         : name;
            const std::string expected = Reference(set, "UTF-16LE", units, &opened, &complete);
            if (!opened) {
                EXPECT_EQ(delivered.Text("data"), "") << "a set that cannot be opened gives an empty text";
            } else if (complete) {
                EXPECT_EQ(delivered.Text("data"), AsHostString(expected))
                    << "nothing but what the conversion wrote";
                ++exact;
            } else {
                // Replaced from the first character the set lacks; what came before is exact.
                const std::string prefix = AsHostString(expected);
                EXPECT_EQ(delivered.Text("data").substr(0, prefix.size()), prefix);
            }
        }
        ASSERT_TRUE(host.errors().empty()) << host.errors().front();
    }
    EXPECT_GT(exact, names.size() / 2) << "most sets hold the sample text whole";
    std::printf("%zu set names on both ends of a text, %zu delivered exactly as the C library converts\n",
                names.size(), exact);
}

}  // namespace
}  // namespace tide::testing
