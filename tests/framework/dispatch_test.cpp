// The names each module's dispatch compares, spelled exactly as it makes their symbols
// and in its order, seen through the host's record of the symbols a call made: symbols
// ignore case, so no outcome of a call would show a wrong spelling or order. Also what
// forwarded writes pass on with their index values.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/plugin_host.h"
#include "tests/support/wire.h"

namespace tide::testing {
namespace {

using Names = std::vector<std::string>;

const Names kListenReads = {"IID",      "IID_ptr",      "Interface",  "Pointer",
                            "Ppointer", "DirectorCode", "BufferSize", "LocalInterface"};
const Names kSpeakReads = {"IID",      "IID_ptr",      "interface", "pointer",
                           "ppointer", "DirectorCode", "TTL",       "LocalInterface"};
const Names kListenWrites = {"DirectorCode",   "ScriptObject", "BufferSize",
                             "LocalInterface", "OnTextData",   "OnBinaryData"};
const Names kSpeakWrites = {"DirectorCode", "Text", "Binary", "TTL", "LocalInterface"};
const Names kCommonMembers = {"Interface", "GetDirectorCode", "SetDirectorCode", "GetAt", "SetAt"};
const Names kListenMembers = {"SetScriptObject",
                              "OnTextData",
                              "OnBinaryData",
                              "GetBufferSize",
                              "SetBufferSize",
                              "SetLocalInterface",
                              "GetLocalInterface",
                              "GetMessageInfo",
                              "Open",
                              "Close",
                              "Start",
                              "Stop"};
const Names kSpeakMembers = {"SendText", "SendBinary", "SendBuffer",        "Open",
                             "SetTTL",   "GetTTL",     "SetLocalInterface", "GetLocalInterface"};

// The names of `order` up to and including `name`: what a dispatch that finds `name`
// compares. All of them when it is not there.
Names UpTo(const Names& order, const std::string& name) {
    Names compared;
    for (const std::string& candidate : order) {
        compared.push_back(candidate);
        if (candidate == name) break;
    }
    return compared;
}

Names Joined(std::initializer_list<Names> parts) {
    Names all;
    for (const Names& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::string Lowered(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

class DispatchTest : public PluginHostTest {
protected:
    // The names made into symbols while `step` runs. It runs twice: nothing is cached,
    // so the second run makes the same names again.
    Names MadeBy(const std::function<void()>& step) {
        host.RecordMadeSymbols();
        step();
        const Names first = host.madeSymbols();
        host.RecordMadeSymbols();
        step();
        host.RecordMadeSymbols(false);
        EXPECT_EQ(host.madeSymbols(), first) << "the second call makes the same symbols";
        return first;
    }
};

TEST_F(DispatchTest, ReadPropertyComparesTheCommonNamesThenTheModulesOwnFirstMatchWinning) {
    for (bool listener : {true, false}) {
        SCOPED_TRACE(listener ? "Tidelisten" : "Tidespeak");
        const host::HostValue object = listener ? NewListener() : NewSpeaker();
        const Names& order = listener ? kListenReads : kSpeakReads;
        for (const std::string& name : order) {
            SCOPED_TRACE(name);
            Names expected = UpTo(order, name);
            // "IID" writes the id object's "DirectorCode" through its own entry.
            if (name == "IID") expected.push_back("DirectorCode");
            EXPECT_EQ(MadeBy([&] { EXPECT_EQ(Get(object, Lowered(name)).status, host::kOk); }), expected);
        }
        EXPECT_EQ(MadeBy([&] { EXPECT_EQ(Get(object, "Nothing").status, host::kNoSuchProperty); }), order);
        EXPECT_EQ(MadeBy([&] {
                      EXPECT_EQ(Get(object, listener ? "Text" : "BufferSize").status, host::kNoSuchProperty);
                  }),
                  order);
    }
}

TEST_F(DispatchTest, WritePropertyTriesDirectorCodeThenTheForwardedPropertiesThenCallsTheirHandler) {
    const host::HostValue listener = NewListener();
    const host::HostValue speaker = NewSpeaker();
    EXPECT_EQ(MadeBy([&] { EXPECT_EQ(Set(listener, "Nothing", Integer(1)), host::kNoSuchProperty); }),
              kListenWrites);
    EXPECT_EQ(MadeBy([&] { EXPECT_EQ(Set(speaker, "Nothing", Integer(1)), host::kNoSuchProperty); }),
              kSpeakWrites);
    EXPECT_EQ(MadeBy([&] { Set(speaker, "directorcode", String("UTF-8")); }), Names{"DirectorCode"});

    // A forwarded write: the property's handler, found through the whole member dispatch.
    EXPECT_EQ(MadeBy([&] { EXPECT_EQ(Set(listener, "onbinarydata", Symbol("x")), host::kOk); }),
              Joined({UpTo(kListenWrites, "OnBinaryData"),
                      {"OnBinaryData"},
                      kCommonMembers,
                      UpTo(kListenMembers, "OnBinaryData")}));
    EXPECT_EQ(MadeBy([&] { EXPECT_EQ(Set(listener, "BUFFERSIZE", Integer(5000)), host::kOk); }),
              Joined({UpTo(kListenWrites, "BufferSize"),
                      {"SetBufferSize"},
                      kCommonMembers,
                      UpTo(kListenMembers, "SetBufferSize")}));
    EXPECT_EQ(MadeBy([&] { EXPECT_EQ(Set(speaker, "binary", String("/nonexistent/file")), host::kOk); }),
              Joined({UpTo(kSpeakWrites, "Binary"),
                      {"SendBinary"},
                      kCommonMembers,
                      UpTo(kSpeakMembers, "SendBinary")}));
}

TEST_F(DispatchTest, CallMemberComparesTheCommonHandlersThenTheModulesOwnInOrder) {
    for (bool listener : {true, false}) {
        SCOPED_TRACE(listener ? "Tidelisten" : "Tidespeak");
        const host::HostValue object = listener ? NewListener() : NewSpeaker();
        const Names all = Joined({kCommonMembers, listener ? kListenMembers : kSpeakMembers});
        for (const std::string& name : all) {
            SCOPED_TRACE(name);
            Names expected = UpTo(all, name);
            std::vector<host::HostValue> arguments;
            if (name == "GetAt") {
                // GetAt reads the named property through the read dispatch.
                arguments = {String("DirectorCode")};
                const Names reads = UpTo(listener ? kListenReads : kSpeakReads, "DirectorCode");
                expected.insert(expected.end(), reads.begin(), reads.end());
            } else if (name == "SetAt") {
                arguments = {String("DirectorCode"), String("UTF-8")};
                expected.push_back("DirectorCode");
            } else if (name == "SendText") {
                arguments = {String("quiet"), Integer(0)};  // repeat 0 sends nothing
            } else if (name == "SendBinary") {
                arguments = {String("/nonexistent/file")};
            }
            EXPECT_EQ(MadeBy([&] {
                          emulator::CallOutcome outcome = calls.Call(object, Lowered(name), arguments.data(),
                                                                     static_cast<int32_t>(arguments.size()));
                          Own(outcome.result);
                          EXPECT_EQ(outcome.status, host::kOk);
                      }),
                      expected);
        }
        EXPECT_EQ(MadeBy([&] { EXPECT_EQ(Call(object, "Fly").status, host::kNoSuchMember); }), all);
        // GetAt and SetAt without a string name are no match: the comparison goes on.
        EXPECT_EQ(MadeBy([&] {
                      EXPECT_EQ(Call(object, "GetAt", {Symbol("DirectorCode")}).status, host::kNoSuchMember);
                  }),
                  all);
        EXPECT_EQ(MadeBy([&] {
                      EXPECT_EQ(Call(object, "SetAt", {String("DirectorCode")}).status, host::kNoSuchMember);
                  }),
                  all);
        // Entries 11 and 13 call the dispatch with a member neither module has.
        host::IMoaMmXValue* value = calls.ValueInterface(object);
        host::HostValue argument = Integer(7);
        EXPECT_EQ(MadeBy([&] { EXPECT_EQ(value->CallDelete(&argument), host::kNoSuchMember); }),
                  Joined({{"delete"}, all}));
        EXPECT_EQ(MadeBy([&] { EXPECT_EQ(value->CallAppend(&argument), host::kNoSuchMember); }),
                  Joined({{"append"}, all}));
    }
}

// The records the framework builds itself, as the recording module's members saw them.
class BuiltRecordTest : public PluginHostTest {
protected:
    void SetUp() override {
        PluginHostTest::SetUp();
        std::string error;
        recording = emulator::Module::Load(host, TIDE_RECORDING_MODULE, &error);
        ASSERT_TRUE(recording) << error;
        object = Own(recording->New());
        value = calls.ValueInterface(object);
        ASSERT_NE(value, nullptr);
    }
    void TearDown() override {
        PluginHostTest::TearDown();
        if (recording) {
            EXPECT_TRUE(recording->Unload());
        }
    }
    // What the member told of its record while `step` ran: the names after its own.
    Names Told(const std::function<void()>& step) {
        host.RecordMadeSymbols();
        step();
        host.RecordMadeSymbols(false);
        Names told;
        for (const std::string& name : host.madeSymbols()) {
            if (name.rfind("reserved ", 0) == 0 || name.rfind("result ", 0) == 0 ||
                name.rfind("argc ", 0) == 0 || name.rfind("argv ", 0) == 0)
                told.push_back(name);
        }
        return told;
    }
    static std::string Argv(int i, const host::HostValue& v) {
        return "argv " + std::to_string(i) + " " + std::to_string(v.words[0]) + " " +
               std::to_string(v.words[1]);
    }

    std::unique_ptr<emulator::Module> recording;
    host::HostValue object{};
    host::IMoaMmXValue* value = nullptr;
};

TEST_F(BuiltRecordTest, CallDeleteAndCallAppendBuildTheirRecordsAroundTheGivenValue) {
    const host::HostValue given = Integer(77);
    EXPECT_EQ(Told([&] { EXPECT_EQ(value->CallDelete(&given), host::kOk); }),
              (Names{"reserved 0 0", "result 0 0", "argc 1", Argv(0, given)}));
    EXPECT_EQ(Told([&] { EXPECT_EQ(value->CallAppend(&given), host::kOk); }),
              (Names{"reserved 0 0", "result 0 0", "argc 2", "argv 0 0 0", Argv(1, given)}));
    EXPECT_EQ(host.RefCount(given), 1u) << "the value is passed as it is, without a reference of its own";
}

TEST_F(BuiltRecordTest, AForwardedWritePutsItsIndexValuesBetweenAVoidAndTheWrittenValue) {
    const host::HostSymbol prop = host.Symbol("Prop");
    const host::HostValue written = String("x");
    const host::HostValue v0 = Integer(1);
    const host::HostValue v1 = Integer(2);
    const host::HostValue indexes[] = {v0, v1, Integer(3)};
    EXPECT_EQ(Told([&] { EXPECT_EQ(value->WriteProperty(prop, 0, nullptr, &written), host::kOk); }),
              (Names{"reserved 0 0", "result 0 0", "argc 2", "argv 0 0 0", Argv(1, written)}));
    EXPECT_EQ(Told([&] { EXPECT_EQ(value->WriteProperty(prop, 1, indexes, &written), host::kOk); }),
              (Names{"reserved 0 0", "result 0 0", "argc 3", "argv 0 0 0", Argv(1, v0), Argv(2, written)}));
    EXPECT_EQ(Told([&] { EXPECT_EQ(value->WriteProperty(prop, 2, indexes, &written), host::kOk); }),
              (Names{"reserved 0 0", "result 0 0", "argc 4", "argv 0 0 0", Argv(1, v0), Argv(2, v1),
                     Argv(3, written)}));
    EXPECT_EQ(
        Told([&] { EXPECT_EQ(value->WriteProperty(prop, 3, indexes, &written), host::kNoSuchProperty); }),
        Names{})
        << "more than two index values reach no handler";
}

// What a forwarded write passes to its handler shows in what the handler does with its
// arguments: argv = [void, the index values, the written value], argc = their count + 2.
TEST_F(DispatchTest, ForwardedWritesPassTheirIndexValuesBeforeTheWrittenValue) {
    constexpr const char* kGroup = "239.255.41.1";
    constexpr uint16_t kPort = 43101;
    WireProbe probe(kGroup, kPort);
    ASSERT_TRUE(probe.joined);
    const host::HostValue speaker = NewSpeaker();
    ASSERT_EQ(IntegerResult(Call(speaker, "Open", {Integer(kPort), String(kGroup)})), 0);
    host::IMoaMmXValue* value = calls.ValueInterface(speaker);
    const host::HostSymbol text = host.Symbol("Text");

    // One index value: SendText(index, written): the index is the text, the value the repeat.
    host::HostValue one[] = {String("ab")};
    host::HostValue repeat = Integer(3);
    EXPECT_EQ(value->WriteProperty(text, 1, one, &repeat), host::kOk);
    std::vector<Bytes> copies = probe.Take(3);
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(Bytes(copies[0].begin() + kPayloadOffset, copies[0].begin() + kPayloadOffset + 6),
              (Bytes{'a', 0, 'b', 0, 0, 0}));

    // Two: SendText(first, second, written): the written value is a third argument the
    // member does not read.
    host::HostValue two[] = {String("c"), Integer(2)};
    host::HostValue ignored = Integer(5);
    EXPECT_EQ(value->WriteProperty(text, 2, two, &ignored), host::kOk);
    copies = probe.Take(2);
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(HeaderOf(copies[0]).data_tsize, 4);

    // More than two are refused before any handler runs.
    host::HostValue three[] = {String("d"), Integer(1), Integer(1)};
    EXPECT_EQ(value->WriteProperty(text, 3, three, &ignored), host::kNoSuchProperty);
    EXPECT_EQ(value->WriteProperty(text, -1, three, &ignored), host::kNoSuchProperty);
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());

    // The receiver's SetBufferSize takes its size from argv[1]: the index value.
    const host::HostValue listener = NewListener();
    host::HostValue size[] = {Integer(5000)};
    host::HostValue written = Integer(7000);
    EXPECT_EQ(calls.ValueInterface(listener)->WriteProperty(host.Symbol("BufferSize"), 1, size, &written),
              host::kOk);
    EXPECT_EQ(IntegerResult(Get(listener, "BufferSize")), 5000);
}

}  // namespace
}  // namespace tide::testing
