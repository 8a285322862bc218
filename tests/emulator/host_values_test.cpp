// The emulated host's values as a plug-in sees them through ValueServices, ListServices,
// CallServices and ObjectValueServices: what the plug-ins rely on, and strictness about
// leaks, double releases, released values and unlocks without locks.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "emulator/host.h"
#include "emulator/script_object.h"
#include "emulator/status.h"
#include "emulator/symbol_table.h"
#include "host/ids.h"
#include "tests/emulator/host_fixture.h"

namespace {

using tide::emulator::Host;
using tide::testing::Mentions;

// Holds the services the way a plug-in would: queried from the callback, released at the end.
class HostValuesTest : public tide::testing::HostTest {
protected:
    void SetUp() override {
        ASSERT_EQ(
            host_.callback()->QueryInterface(&host::kIidValueServices, reinterpret_cast<void**>(&values_)),
            host::kOk);
        ASSERT_EQ(
            host_.callback()->QueryInterface(&host::kIidListServices, reinterpret_cast<void**>(&lists_)),
            host::kOk);
        ASSERT_EQ(
            host_.callback()->QueryInterface(&host::kIidCallServices, reinterpret_cast<void**>(&calls_)),
            host::kOk);
    }

    void TearDown() override {
        values_->Release();
        lists_->Release();
        calls_->Release();
        HostTest::TearDown();
    }

    host::HostValue String(const char* text) {
        host::HostValue value{};
        EXPECT_EQ(values_->MakeStringValue(text, &value), host::kOk);
        return value;
    }

    host::ValueServices* values_ = nullptr;
    host::ListServices* lists_ = nullptr;
    host::CallServices* calls_ = nullptr;
};

TEST_F(HostValuesTest, EveryValueKindIsCountedUntilReleased) {
    host::HostValue made[6] = {};
    values_->MakeIntegerValue(5, &made[0]);
    made[1] = String("text");
    host::HostSymbol symbol = 0;
    values_->MakeSymbol("name", &symbol);
    values_->MakeSymbolValue(symbol, &made[2]);
    lists_->NewPropList(&made[3]);
    made[4] = host_.MakeFloat(1.5);
    made[5] = host_.MakeScriptObject(std::make_shared<tide::emulator::HandlerScriptObject>());
    EXPECT_EQ(host_.alive().values, 6u);
    std::string report = host_.AliveReport();
    EXPECT_NE(report.find("integer 5"), std::string::npos) << report;
    EXPECT_NE(report.find("\"text\""), std::string::npos) << report;
    EXPECT_NE(report.find("#name"), std::string::npos) << report;

    const int32_t expectedTypes[6] = {1, 3, 2, 5, 4, 6};
    for (int i = 0; i < 6; ++i) {
        int32_t type = -1;
        EXPECT_EQ(values_->GetValueType(&made[i], &type), host::kOk);
        EXPECT_EQ(type, expectedTypes[i]);
        EXPECT_EQ(values_->ReleaseValue(&made[i]), host::kOk);
    }
}

TEST_F(HostValuesTest, TheVoidValueIsAcceptedByReleaseAndAddRef) {
    host::HostValue nothing{};
    EXPECT_EQ(values_->ReleaseValue(&nothing), host::kOk);
    EXPECT_EQ(values_->AddRefValue(&nothing), host::kOk);
    int32_t type = -1;
    EXPECT_EQ(values_->GetValueType(&nothing, &type), host::kOk);
    EXPECT_EQ(type, host::kTypeVoid);
}

TEST_F(HostValuesTest, AReferenceAddedKeepsTheValueUntilItIsReleasedToo) {
    host::HostValue value = String("kept");
    values_->AddRefValue(&value);
    values_->ReleaseValue(&value);
    EXPECT_EQ(host_.StringOf(value), "kept");
    values_->ReleaseValue(&value);
    EXPECT_FALSE(host_.IsAlive(value));
}

TEST_F(HostValuesTest, ReleasingTwiceIsAnErrorAnsweredWithAFailure) {
    host::HostValue value{};
    values_->MakeIntegerValue(1, &value);
    EXPECT_EQ(values_->ReleaseValue(&value), host::kOk);
    EXPECT_EQ(values_->ReleaseValue(&value), tide::emulator::kBadValue);
    ExpectError("released value");
}

TEST_F(HostValuesTest, AReleasedValueIsRecognisedEvenAfterItsSlotIsReused) {
    host::HostValue old{};
    values_->MakeIntegerValue(1, &old);
    values_->ReleaseValue(&old);
    std::vector<host::HostValue> newer(200);
    for (host::HostValue& value : newer) values_->MakeIntegerValue(2, &value);
    int32_t read = 77;
    EXPECT_NE(values_->ReadInteger(&old, &read), host::kOk);
    EXPECT_EQ(read, 77);
    ExpectError("released value");
    for (host::HostValue& value : newer) values_->ReleaseValue(&value);
}

TEST_F(HostValuesTest, WordsThatNeverCameFromTheHostAreAnError) {
    host::HostValue forged{{0x00012303, 5000}};
    EXPECT_EQ(values_->AddRefValue(&forged), tide::emulator::kBadValue);
    ExpectError("not a value of this host");
}

TEST_F(HostValuesTest, SymbolsIgnoreAsciiCaseAndZeroIsNoSymbol) {
    host::HostSymbol a = 0, b = 0, c = 0;
    values_->MakeSymbol("DirectorCode", &a);
    values_->MakeSymbol("Directorcode", &b);
    values_->MakeSymbol("Director\xC3\x89", &c);
    EXPECT_EQ(a, b);
    EXPECT_NE(a, c);
    EXPECT_NE(a, 0u);
    EXPECT_EQ(host_.SymbolName(b), "DirectorCode");  // the first spelling is kept
    host::HostValue value{{1, 1}};
    EXPECT_NE(values_->MakeSymbolValue(0, &value), host::kOk);
    EXPECT_EQ(value.words[0], 1u);
    ExpectError("unknown symbol");
}

// Names are folded and compared eight bytes at a time: only A-Z fold, at any place of a
// long name, and the bytes just outside the capitals ('@', '[', '`', '{') and bytes
// above 0x7F (0xC1 is 0xE1 less 0x20) stay as they are.
TEST_F(HostValuesTest, OnlyAsciiCapitalsFoldAnywhereInALongName) {
    using tide::emulator::SymbolTable;
    EXPECT_TRUE(SymbolTable::SameName("remote_host_and_more_Z", "REMOTE_HOST_AND_MORE_z"));
    EXPECT_FALSE(SymbolTable::SameName("remote_host_and_more_a", "remote_host_and_more_b"));
    EXPECT_FALSE(SymbolTable::SameName("remote_host_and_more", "remote_host_and_mor"));
    for (const char* pair : {"@`", "[{", "\xC1\xE1", "\xDA\xFA"}) {
        const std::string a = std::string("abcdefgh") + pair[0];
        const std::string b = std::string("abcdefgh") + pair[1];
        EXPECT_FALSE(SymbolTable::SameName(a, b)) << a;
        EXPECT_NE(host_.Symbol(a), host_.Symbol(b)) << a;
    }
    EXPECT_EQ(host_.Symbol("TCOUNT_of_eleven"), host_.Symbol("tcount_OF_ELEVEN"));
}

// The table remembers where a name was last read from; the same buffer holding another
// name must give that name's symbol.
TEST_F(HostValuesTest, ANameReadFromTheSameBufferAgainIsLookedAtAfresh) {
    char buffer[16] = "tindex";
    host::HostSymbol first = 0, second = 0, third = 0;
    values_->MakeSymbol(buffer, &first);
    std::strcpy(buffer, "tcount");
    values_->MakeSymbol(buffer, &second);
    std::strcpy(buffer, "TINDEX");
    values_->MakeSymbol(buffer, &third);
    EXPECT_NE(first, second);
    EXPECT_EQ(first, third);
    EXPECT_EQ(host_.SymbolName(second), "tcount");
}

TEST_F(HostValuesTest, ReadSymbolGivesTheSymbolOfAStringsTextAndReadIntegerOnlyIntegers) {
    host::HostValue text = String("Index");
    host::HostSymbol fromText = 0, made = 0;
    EXPECT_EQ(values_->ReadSymbol(&text, &fromText), host::kOk);
    values_->MakeSymbol("index", &made);
    EXPECT_EQ(fromText, made);

    host::HostValue number = host_.MakeFloat(2.0);
    int32_t integer = 9;
    EXPECT_EQ(values_->ReadInteger(&number, &integer), tide::emulator::kWrongKind);
    EXPECT_EQ(integer, 9);
    host::HostSymbol symbol = 8;
    EXPECT_EQ(values_->ReadSymbol(&number, &symbol), tide::emulator::kWrongKind);
    EXPECT_EQ(symbol, 8u);
    values_->ReleaseValue(&text);
    values_->ReleaseValue(&number);
}

TEST_F(HostValuesTest, StringsOwnACopyAndTheirLengthExcludesTheTerminator) {
    char buffer[] = "copied";
    host::HostValue value = String(buffer);
    buffer[0] = 'X';
    EXPECT_EQ(host_.StringOf(value), "copied");
    int32_t length = 0;
    EXPECT_EQ(values_->GetStringLength(&value, &length), host::kOk);
    EXPECT_EQ(length, 6);

    host::HostValue number{};
    values_->MakeIntegerValue(3, &number);
    EXPECT_NE(values_->GetStringLength(&number, &length), host::kOk);
    EXPECT_EQ(length, -1);
    host::HostValue nothing{};
    length = 0;
    values_->GetStringLength(&nothing, &length);
    EXPECT_EQ(length, -1);
    values_->ReleaseValue(&value);
    values_->ReleaseValue(&number);
}

TEST_F(HostValuesTest, ALockedTextStaysPutWhileManyValuesAreMade) {
    host::HostValue value = String("stays");
    const char* text = nullptr;
    ASSERT_EQ(values_->LockStringText(&value, &text), host::kOk);
    EXPECT_EQ(host_.alive().lockedStrings, 1u);
    std::vector<host::HostValue> others(1000);
    for (host::HostValue& other : others) other = String("x");
    EXPECT_STREQ(text, "stays");  // the sanitizer run catches a moved text
    EXPECT_EQ(values_->UnlockStringText(&value), host::kOk);
    for (host::HostValue& other : others) values_->ReleaseValue(&other);
    values_->ReleaseValue(&value);
}

TEST_F(HostValuesTest, UnlockingATextThatIsNotLockedIsAnError) {
    host::HostValue value = String("never locked");
    EXPECT_NE(values_->UnlockStringText(&value), host::kOk);
    ExpectError("not locked");
    const char* text = nullptr;
    values_->LockStringText(&value, &text);
    EXPECT_EQ(values_->UnlockStringText(&value), host::kOk);
    EXPECT_NE(values_->UnlockStringText(&value), host::kOk);
    EXPECT_EQ(host_.errors().size(), 2u);
    ExpectError("not locked");
    values_->ReleaseValue(&value);
}

TEST_F(HostValuesTest, PropertyListsKeepInsertionOrderAndTheirOwnReferences) {
    host::HostValue list{};
    lists_->NewPropList(&list);
    const char* keys[] = {"tindex", "data", "Remote_Host"};
    for (int i = 0; i < 3; ++i) {
        host::HostValue key = host_.MakeSymbolValue(keys[i]);
        host::HostValue item{};
        values_->MakeIntegerValue(i, &item);
        EXPECT_EQ(lists_->AddProp(&list, &key, &item), host::kOk);
        values_->ReleaseValue(&key);
        values_->ReleaseValue(&item);
    }
    auto entries = host_.PropListOf(list);
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(host_.SymbolNameOf((*entries)[i].key), keys[i]);
        EXPECT_EQ(host_.IntegerOf((*entries)[i].item), i);
    }
    EXPECT_EQ(host_.IntegerOf(*host_.PropOf(list, "remote_host")), 2);
    EXPECT_FALSE(host_.PropOf(list, "missing"));
    values_->ReleaseValue(&list);  // releases the entries with it
}

TEST_F(HostValuesTest, AddPropOnSomethingThatIsNotAListFails) {
    host::HostValue notList = String("list?");
    host::HostValue key = host_.MakeSymbolValue("k");
    EXPECT_EQ(lists_->AddProp(&notList, &key, &key), tide::emulator::kWrongKind);
    EXPECT_EQ(host_.RefCount(key), 1u);
    values_->ReleaseValue(&notList);
    values_->ReleaseValue(&key);
}

TEST_F(HostValuesTest, InvokeHandlerCallsTheScriptObjectAndFailsQuietlyForNobody) {
    auto script = std::make_shared<tide::emulator::HandlerScriptObject>();
    script->On("onData", [](Host& host, int32_t argc, const host::HostValue* argv, host::HostValue* result) {
        *result = host.MakeInteger(argc * 100 + *host.IntegerOf(argv[1]));
        return host::kOk;
    });
    host::HostValue argv[2] = {host_.MakeScriptObject(script), host_.MakeInteger(7)};
    host::HostSymbol handler = host_.Symbol("ONDATA");
    host::HostValue result{{3, 3}};
    EXPECT_EQ(calls_->InvokeHandler(handler, 2, argv, &result), host::kOk);
    EXPECT_EQ(host_.IntegerOf(result), 207);
    EXPECT_EQ(script->calls(), std::vector<std::string>{"ONDATA"});
    values_->ReleaseValue(&result);

    // A handler that makes a result and then fails: the caller's result stays as it was,
    // and the made value does not leak.
    script->On("fails", [](Host& host, int32_t, const host::HostValue*, host::HostValue* result) {
        *result = host.MakeString("lost");
        return host::kNoSuchMember;
    });
    host::HostValue untouched{{3, 3}};
    EXPECT_NE(calls_->InvokeHandler(host_.Symbol("fails"), 2, argv, &untouched), host::kOk);
    EXPECT_NE(calls_->InvokeHandler(host_.Symbol("other"), 2, argv, &untouched), host::kOk);
    EXPECT_NE(calls_->InvokeHandler(0, 2, argv, &untouched), host::kOk);
    host::HostValue voidTarget[2] = {{}, argv[1]};
    EXPECT_NE(calls_->InvokeHandler(handler, 2, voidTarget, &untouched), host::kOk);
    EXPECT_EQ(untouched.words[0], 3u);
    EXPECT_EQ(host_.counters().handlerCalls, 3u);  // the calls that reached the object
    EXPECT_EQ(host_.counters().failedHandlerCalls, 4u);
    values_->ReleaseValue(&argv[0]);
    values_->ReleaseValue(&argv[1]);
}

TEST_F(HostValuesTest, InvokeHandlerWithAReleasedArgumentIsAnError) {
    auto script = std::make_shared<tide::emulator::HandlerScriptObject>();
    script->On("h", nullptr);
    host::HostValue argv[2] = {host_.MakeScriptObject(script), host_.MakeInteger(1)};
    values_->ReleaseValue(&argv[1]);
    host::HostValue result{};
    EXPECT_EQ(calls_->InvokeHandler(host_.Symbol("h"), 2, argv, &result), tide::emulator::kBadValue);
    EXPECT_TRUE(script->calls().empty());
    ExpectError("released value");
    values_->ReleaseValue(&argv[0]);
}

TEST_F(HostValuesTest, AnObjectValueHoldsItsOwnReferenceToTheObject) {
    host::ObjectValueServices* objects = host_.objectValueServices();
    host::Unknown* object = host_.MakeRecordingObject();
    host::HostValue value{};
    ASSERT_EQ(objects->ObjectToValue(object, &value), host::kOk);
    object->Release();  // the creator's reference; the value keeps the object
    EXPECT_EQ(host_.alive().hostObjects, 1u);
    EXPECT_EQ(host_.ObjectOf(value), object);
    int32_t type = 0;
    values_->GetValueType(&value, &type);
    EXPECT_EQ(type, host::kTypePluginObject);
    values_->ReleaseValue(&value);
    EXPECT_EQ(host_.alive().hostObjects, 0u);
}

TEST(HostLeaks, WhatAScenarioLeavesIsReportedAndReleaseLeftoversDropsIt) {
    Host host;
    host::HostValue list = host.MakePropList();
    host::HostValue key = host.MakeSymbolValue("leaked");
    host.AddProp(list, key, host.MakeString("item"));
    host.Release(key);
    host::ValueServices* values = nullptr;
    host.callback()->QueryInterface(&host::kIidValueServices, reinterpret_cast<void**>(&values));

    tide::emulator::Alive alive = host.alive();
    EXPECT_FALSE(alive.none());
    EXPECT_EQ(alive.values, 3u);
    EXPECT_EQ(alive.interfaceRefs, 1u);
    std::string report = host.AliveReport();
    EXPECT_NE(report.find("#leaked"), std::string::npos) << report;
    EXPECT_NE(report.find("ValueServices: 1"), std::string::npos) << report;

    EXPECT_EQ(host.ReleaseLeftovers(), 3u);
    values->Release();
    EXPECT_TRUE(host.alive().none()) << host.AliveReport();
    EXPECT_TRUE(host.errors().empty()) << ::testing::PrintToString(host.errors());
}

TEST(HostLeaks, ReleasingAStringWhileItsTextIsLockedIsAnErrorAndTheTextStaysReadable) {
    Host host;
    host::HostValue value = host.MakeString("locked");
    const char* text = nullptr;
    host.valueServices()->LockStringText(&value, &text);
    host.Release(value);
    EXPECT_STREQ(text, "locked");
    EXPECT_TRUE(Mentions(host.errors(), "while its text was locked"));
    EXPECT_EQ(host.alive().lockedStrings, 1u);
    EXPECT_NE(host.AliveReport().find("\"locked\" released with its text still locked"), std::string::npos)
        << host.AliveReport();
    EXPECT_NE(host.valueServices()->UnlockStringText(&value), host::kOk);
}

}  // namespace
