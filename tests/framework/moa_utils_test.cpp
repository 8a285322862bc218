// MoaUtils against the emulated host: what the plug-ins rely on from each value
// operation, that every operation costs one query and one release, and that each
// pass-through reaches its own host entry with its words.
#include "framework/moa_utils.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "emulator/host.h"
#include "emulator/script_object.h"
#include "framework/text_converter.h"
#include "host/ids.h"

namespace {

using tide::MoaUtils;
using tide::emulator::Host;

class MoaUtilsTest : public ::testing::Test {
protected:
    void SetUp() override {
        utils_ = MoaUtils::Create();
        ASSERT_NE(utils_, nullptr);
        utils_->Attach(host_.callback(), &host_.memory());
    }

    void TearDown() override {
        if (utils_) utils_->Destroy();
        EXPECT_TRUE(host_.alive().none()) << host_.AliveReport();
        EXPECT_TRUE(host_.errors().empty()) << ::testing::PrintToString(host_.errors());
    }

    host::HostSymbol Symbol(const char* name) {
        host::HostSymbol symbol = 0;
        EXPECT_EQ(utils_->MakeSymbol(name, &symbol), host::kOk);
        return symbol;
    }

    Host host_;
    MoaUtils* utils_ = nullptr;
};

TEST_F(MoaUtilsTest, SymbolsOfNamesDifferingOnlyInAsciiCaseAreEqual) {
    EXPECT_EQ(Symbol("Start"), Symbol("start"));
    EXPECT_EQ(Symbol("Stop"), Symbol("stop"));
    EXPECT_EQ(Symbol("DirectorCode"), Symbol("Directorcode"));
    EXPECT_NE(Symbol("Start"), Symbol("Stop"));
    EXPECT_NE(Symbol("Start"), 0u);
}

TEST_F(MoaUtilsTest, ReadSymbolOfAStringGivesTheSymbolOfItsText) {
    host::HostValue text{};
    ASSERT_EQ(utils_->MakeStringValue("index", &text), host::kOk);
    host::HostSymbol read = 0;
    EXPECT_EQ(utils_->ReadSymbol(&text, &read), host::kOk);
    EXPECT_EQ(read, Symbol("index"));

    host::HostValue symbol{};
    ASSERT_EQ(utils_->MakeSymbolValue(Symbol("Data_Tsize"), &symbol), host::kOk);
    EXPECT_EQ(utils_->ReadSymbol(&symbol, &read), host::kOk);
    EXPECT_EQ(read, Symbol("data_tsize"));

    utils_->ReleaseValue(&text);
    utils_->ReleaseValue(&symbol);
}

TEST_F(MoaUtilsTest, EmptyStringHandsTheConverterOnlyItsTerminator) {
    host::HostValue empty{};
    ASSERT_EQ(utils_->MakeStringValue("", &empty), host::kOk);
    int32_t type = 0;
    EXPECT_EQ(utils_->GetValueType(&empty, &type), host::kOk);
    EXPECT_EQ(type, host::kTypeString);
    int32_t length = -7;
    EXPECT_EQ(utils_->GetStringLength(&empty, &length), host::kOk);
    EXPECT_EQ(length, 0);
    const char* text = nullptr;
    ASSERT_EQ(utils_->LockStringText(&empty, &text), host::kOk);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text[0], '\0');

    tide::TextConverter converter;
    converter.SetFromName("UTF-8");
    converter.SetToName("UTF-16LE");
    converter.Reopen();
    EXPECT_EQ(converter.Convert(static_cast<uint32_t>(length) + 1, text), 0u);
    EXPECT_NE(converter.output(), tide::TextConverter::emptyOutput());
    EXPECT_EQ(tide::Utf16TextBytes(converter.output()), 2u);

    EXPECT_EQ(utils_->UnlockStringText(&empty), host::kOk);
    utils_->ReleaseValue(&empty);
}

TEST_F(MoaUtilsTest, PropertyListKeepsKeyAndItemAfterTheCallerReleasesThem) {
    host::HostValue list{};
    ASSERT_EQ(utils_->NewPropList(&list), host::kOk);
    const char* names[] = {"data", "index", "tcount"};
    for (int i = 0; i < 3; ++i) {
        host::HostValue key{};
        host::HostValue item{};
        utils_->MakeSymbolValue(Symbol(names[i]), &key);
        utils_->MakeIntegerValue(10 + i, &item);
        EXPECT_EQ(utils_->AddProp(&list, &key, &item), host::kOk);
        utils_->ReleaseValue(&key);
        utils_->ReleaseValue(&item);
    }
    std::optional<std::vector<tide::emulator::PropEntry>> entries = host_.PropListOf(list);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(host_.SymbolNameOf((*entries)[i].key), names[i]);
        EXPECT_EQ(host_.IntegerOf((*entries)[i].item), 10 + i);
    }
    EXPECT_EQ(host_.alive().values, 7u);  // the list, three keys, three items
    utils_->ReleaseValue(&list);
}

TEST_F(MoaUtilsTest, ReadsOfTheWrongKindFailAndLeaveTheOutParameterAlone) {
    host::HostValue text{};
    host::HostValue number{};
    utils_->MakeStringValue("12", &text);
    utils_->MakeIntegerValue(12, &number);
    int32_t integer = 1234;
    EXPECT_NE(utils_->ReadInteger(&text, &integer), host::kOk);
    EXPECT_EQ(integer, 1234);
    host::HostSymbol symbol = 99;
    EXPECT_NE(utils_->ReadSymbol(&number, &symbol), host::kOk);
    EXPECT_EQ(symbol, 99u);
    int32_t length = 0;
    utils_->GetStringLength(&number, &length);
    EXPECT_EQ(length, -1);
    const char* locked = "untouched";
    EXPECT_NE(utils_->LockStringText(&number, &locked), host::kOk);
    EXPECT_STREQ(locked, "untouched");
    utils_->ReleaseValue(&text);
    utils_->ReleaseValue(&number);
}

TEST_F(MoaUtilsTest, ARefusedInterfaceLeavesOutParametersAsTheCallerSetThem) {
    host_.RefuseInterface(host::kIidValueServices);
    host::HostSymbol symbol = 77;
    EXPECT_NE(utils_->MakeSymbol("start", &symbol), host::kOk);
    EXPECT_EQ(symbol, 77u);
    host::HostValue value{{5, 6}};
    EXPECT_NE(utils_->MakeIntegerValue(1, &value), host::kOk);
    EXPECT_EQ(value.words[0], 5u);
}

TEST_F(MoaUtilsTest, EveryValueOperationCostsOneQueryAndOneRelease) {
    host::HostValue text{};
    host::HostValue list{};
    utils_->MakeStringValue("text", &text);
    utils_->NewPropList(&list);
    auto script = std::make_shared<tide::emulator::HandlerScriptObject>();
    script->On("handler", nullptr);
    host::HostValue object = host_.MakeScriptObject(script);
    host::HostSymbol handler = Symbol("handler");

    host::HostSymbol symbol = 0;
    int32_t number = 0;
    const char* locked = nullptr;
    host::HostValue made{};  // what a Make operation made, released after it is measured
    host::HostValue result{};
    std::vector<std::pair<const char*, std::function<host::Status()>>> operations = {
        {"MakeSymbol", [&] { return utils_->MakeSymbol("x", &symbol); }},
        {"GetValueType", [&] { return utils_->GetValueType(&text, &number); }},
        {"AddRefValue", [&] { return utils_->AddRefValue(&text); }},
        {"ReleaseValue", [&] { return utils_->ReleaseValue(&text); }},
        {"ReadInteger", [&] { return utils_->ReadInteger(&text, &number); }},
        {"ReadSymbol", [&] { return utils_->ReadSymbol(&text, &symbol); }},
        {"GetStringLength", [&] { return utils_->GetStringLength(&text, &number); }},
        {"LockStringText", [&] { return utils_->LockStringText(&text, &locked); }},
        {"UnlockStringText", [&] { return utils_->UnlockStringText(&text); }},
        {"MakeIntegerValue", [&] { return utils_->MakeIntegerValue(3, &made); }},
        {"MakeSymbolValue", [&] { return utils_->MakeSymbolValue(handler, &made); }},
        {"MakeStringValue", [&] { return utils_->MakeStringValue("s", &made); }},
        {"NewPropList", [&] { return utils_->NewPropList(&made); }},
        {"AddProp", [&] { return utils_->AddProp(&list, &text, &text); }},
        {"InvokeHandler", [&] { return utils_->InvokeHandler(handler, 1, &object, &result); }},
    };
    for (auto& operation : operations) {
        tide::emulator::Counters before = host_.counters();
        size_t refsBefore = host_.alive().interfaceRefs;
        operation.second();
        EXPECT_EQ(host_.counters().interfaceQueries, before.interfaceQueries + 1) << operation.first;
        EXPECT_EQ(host_.counters().interfaceReleases, before.interfaceReleases + 1) << operation.first;
        EXPECT_EQ(host_.alive().interfaceRefs, refsBefore) << operation.first;
        host_.Release(made);
        made = host::HostValue{};
    }
    EXPECT_EQ(script->calls().size(), 1u);
    host_.Release(text);
    host_.Release(list);
    host_.Release(object);
}

TEST_F(MoaUtilsTest, InvokeHandlerReachesTheScriptObjectWithItsArguments) {
    auto script = std::make_shared<tide::emulator::HandlerScriptObject>();
    int32_t seenArgc = 0;
    std::optional<std::string> seenText;
    std::optional<int32_t> seenNumber;
    script->On("OnTextData",
               [&](Host& host, int32_t argc, const host::HostValue* argv, host::HostValue* result) {
                   seenArgc = argc;
                   seenText = host.StringOf(argv[1]);
                   seenNumber = host.IntegerOf(argv[2]);
                   *result = host.MakeInteger(1);
                   return host::kOk;
               });
    host::HostValue argv[3] = {host_.MakeScriptObject(script), {}, {}};
    utils_->MakeStringValue("hello", &argv[1]);
    utils_->MakeIntegerValue(42, &argv[2]);
    host::HostValue result{};
    EXPECT_EQ(utils_->InvokeHandler(Symbol("ontextdata"), 3, argv, &result), host::kOk);
    EXPECT_EQ(seenArgc, 3);
    EXPECT_EQ(seenText, "hello");
    EXPECT_EQ(seenNumber, 42);
    EXPECT_EQ(host_.IntegerOf(result), 1);
    EXPECT_EQ(host_.counters().handlerCalls, 1u);

    // A handler the object lacks, and a target that is no script object, fail quietly.
    host::HostValue untouched{{7, 9}};
    EXPECT_NE(utils_->InvokeHandler(Symbol("OnBinaryData"), 3, argv, &untouched), host::kOk);
    host::HostValue aString[2] = {argv[1], argv[2]};
    EXPECT_NE(utils_->InvokeHandler(Symbol("OnTextData"), 2, aString, &untouched), host::kOk);
    host::HostValue nobody[2] = {{}, argv[1]};
    EXPECT_NE(utils_->InvokeHandler(Symbol("OnTextData"), 2, nobody, &untouched), host::kOk);
    EXPECT_EQ(untouched.words[0], 7u);
    EXPECT_EQ(untouched.words[1], 9u);
    EXPECT_EQ(host_.counters().handlerCalls, 2u);  // only the call that reached the object

    for (host::HostValue& value : argv) utils_->ReleaseValue(&value);
    utils_->ReleaseValue(&result);
}

TEST_F(MoaUtilsTest, TheFPassThroughQueriesTheGivenObjectNeverTheCallback) {
    host::Unknown* object = host_.MakeRecordingObject();
    host_.RefuseInterface(host::kIidHostInterfaceF);  // a query of the callback would fail
    EXPECT_EQ(utils_->ForwardF3(object, 31), host::kOk);
    EXPECT_EQ(utils_->ForwardF6(object, 36), host::kOk);
    ASSERT_EQ(host_.forwardedCalls().size(), 2u);
    EXPECT_EQ(host_.forwardedCalls()[0].entry, "F3");
    EXPECT_TRUE(host_.forwardedCalls()[0].onHostObject);
    EXPECT_EQ(host_.forwardedCalls()[0].words, std::vector<host::Word>{31});
    EXPECT_EQ(host_.forwardedCalls()[1].entry, "F6");
    EXPECT_NE(utils_->ForwardF4(nullptr, 1), host::kOk);
    EXPECT_EQ(host_.forwardedCalls().size(), 2u);
    object->Release();
}

TEST_F(MoaUtilsTest, EachPassThroughReachesItsOwnHostEntryWithItsWords) {
    using W = host::Word;
    MoaUtils& u = *utils_;
    struct Case {
        const char* entry;
        size_t words;
        std::function<host::Status()> call;
    };
    std::vector<Case> cases = {
        {"A3", 2, [&] { return u.ForwardA3(1, 2); }},
        {"A5", 6, [&] { return u.ForwardA5(1, 2, 3, 4, 5, 6); }},
        {"A6", 1, [&] { return u.ForwardA6(1); }},
        {"A7", 1, [&] { return u.ForwardA7(1); }},
        {"A8", 3, [&] { return u.ForwardA8(1, 2, 3); }},
        {"A9", 3, [&] { return u.ForwardA9(1, 2, 3); }},
        {"B3", 2, [&] { return u.ForwardB3(1, 2); }},
        {"B4", 2, [&] { return u.ForwardB4(1, 2); }},
        {"B5", 2, [&] { return u.ForwardB5(1, 2); }},
        {"B6", 2, [&] { return u.ForwardB6(1, 2); }},
        {"C4", 2, [&] { return u.ForwardC4(1, 2); }},
        {"C5", 2, [&] { return u.ForwardC5(1, 2); }},
        {"C6", 2, [&] { return u.ForwardC6(1, 2); }},
        {"C7", 2, [&] { return u.ForwardC7(1, 2); }},
        {"C8", 2, [&] { return u.ForwardC8(1, 2); }},
        {"C9", 2, [&] { return u.ForwardC9(1, 2); }},
        {"C10", 2, [&] { return u.ForwardC10(1, 2); }},
        {"D3", 2, [&] { return u.ForwardD3(1, 2); }},
        {"D4", 2, [&] { return u.ForwardD4(1, 2); }},
        {"E3", 2, [&] { return u.ForwardE3(1, 2); }},
        {"E4", 2, [&] { return u.ForwardE4(1, 2); }},
        {"E5", 2, [&] { return u.ForwardE5(1, 2); }},
        {"E6", 2, [&] { return u.ForwardE6(1, 2); }},
        {"E7", 1, [&] { return u.ForwardE7(1); }},
        {"E8", 2, [&] { return u.ForwardE8(1, 2); }},
        {"E9", 2, [&] { return u.ForwardE9(1, 2); }},
        {"E12", 1, [&] { return u.ForwardE12(1); }},
        {"G3", 5, [&] { return u.ForwardG3(1, 2, 3, 4, 5); }},
        {"G17", 6, [&] { return u.ForwardG17(1, 2, 3, 4, 5, 6); }},
        {"G15", 2, [&] { return u.ForwardG15(1, 2); }},
        {"G14", 2, [&] { return u.ForwardG14(1, 2); }},
        {"G4", 2, [&] { return u.ForwardG4(1, 2); }},
        {"G5", 3, [&] { return u.ForwardG5(1, 2, 3); }},
        {"G6", 4, [&] { return u.ForwardG6(1, 2, 3, 4); }},
        {"G7", 4, [&] { return u.ForwardG7(1, 2, 3, 4); }},
        {"G8", 4, [&] { return u.ForwardG8(1, 2, 3, 4); }},
        {"G9", 4, [&] { return u.ForwardG9(1, 2, 3, 4); }},
        {"G10", 3, [&] { return u.ForwardG10(1, 2, 3); }},
        {"G11", 3, [&] { return u.ForwardG11(1, 2, 3); }},
        {"G12", 2, [&] { return u.ForwardG12(1, 2); }},
        {"G13", 2, [&] { return u.ForwardG13(1, 2); }},
        {"G16", 2, [&] { return u.ForwardG16(1, 2); }},
        {"G18", 2, [&] { return u.ForwardG18(1, 2); }},
        {"G19", 1, [&] { return u.ForwardG19(1); }},
        {"G23", 2, [&] { return u.ForwardG23(1, 2); }},
        {"G24", 2, [&] { return u.ForwardG24(1, 2); }},
        {"G20", 3, [&] { return u.ForwardG20(1, 2, 3); }},
        {"G21", 3, [&] { return u.ForwardG21(1, 2, 3); }},
        {"G22", 1, [&] { return u.ForwardG22(1); }},
    };
    for (const Case& c : cases) {
        host_.ClearForwardedCalls();
        uint64_t releases = host_.counters().interfaceReleases;
        EXPECT_EQ(c.call(), host::kOk) << c.entry;
        ASSERT_EQ(host_.forwardedCalls().size(), 1u) << c.entry;
        EXPECT_EQ(host_.forwardedCalls()[0].entry, c.entry);
        std::vector<W> expected;
        for (size_t i = 1; i <= c.words; ++i) expected.push_back(i);
        EXPECT_EQ(host_.forwardedCalls()[0].words, expected) << c.entry;
        EXPECT_FALSE(host_.forwardedCalls()[0].onHostObject) << c.entry;
        EXPECT_EQ(host_.counters().interfaceReleases, releases + 1) << c.entry;
    }
}

TEST_F(MoaUtilsTest, DestroyReleasesBothReferencesAndAnUnattachedOneReleasesNothing) {
    EXPECT_EQ(host_.alive().interfaceRefs, 2u);
    utils_->Destroy();
    utils_ = nullptr;
    EXPECT_EQ(host_.alive().interfaceRefs, 0u);

    uint64_t releases = host_.counters().interfaceReleases;
    MoaUtils* unattached = MoaUtils::Create();
    ASSERT_NE(unattached, nullptr);
    unattached->Destroy();
    EXPECT_EQ(host_.counters().interfaceReleases, releases);
}

TEST_F(MoaUtilsTest, AttachingAgainReleasesTheReferencesHeldBefore) {
    utils_->Attach(host_.callback(), &host_.memory());
    EXPECT_EQ(host_.alive().interfaceRefs, 2u);
}

}  // namespace
