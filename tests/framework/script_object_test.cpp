// The members every script object has, through the value interface of objects made by
// the loaded modules: the character-set name, GetAt/SetAt, read-only properties, the
// stub entries, the string and symbol forms, the description texts, "IID" and the
// addresses handed to scripts.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

#include "host/address_table.h"
#include "host/ids.h"
#include "tests/support/locale_set.h"
#include "tests/support/plugin_host.h"

namespace tide::testing {
namespace {

class ScriptObjectTest : public PluginHostTest {};

TEST_F(ScriptObjectTest, EachObjectKeepsItsOwnDirectorCode) {
    host::HostValue a = NewSpeaker();
    host::HostValue b = NewSpeaker();
    EXPECT_EQ(StringResult(Get(a, "DirectorCode")), "UTF-8");
    EXPECT_EQ(Set(a, "directorcode", String("ISO-8859-1")), host::kOk);
    EXPECT_EQ(StringResult(Get(a, "DirectorCode")), "ISO-8859-1");
    EXPECT_EQ(StringResult(Call(a, "GetDirectorCode")), "ISO-8859-1");
    EXPECT_EQ(StringResult(Get(b, "DirectorCode")), "UTF-8");
}

TEST_F(ScriptObjectTest, SetDirectorCodeWithoutAStringAnswersOneAndEmptiesTheName) {
    host::HostValue object = NewListener();
    for (bool withInteger : {false, true}) {
        Call(object, "SetDirectorCode", {String("UTF-8")});
        emulator::CallOutcome outcome =
            withInteger ? Call(object, "SetDirectorCode", {Integer(5)}) : Call(object, "SetDirectorCode");
        EXPECT_EQ(outcome.status, host::kOk);
        EXPECT_EQ(IntegerResult(outcome), 1);
        EXPECT_EQ(StringResult(Call(object, "GetDirectorCode")), "");
    }
    // The empty name is the locale's own set: text still converts.
    EXPECT_EQ(StringResult(Get(object, "DirectorCode")), "");
}

TEST_F(ScriptObjectTest, ANameTooLongForTheObjectKeepsTheOldName) {
    host::HostValue object = NewSpeaker();
    EXPECT_EQ(IntegerResult(Call(object, "SetDirectorCode", {String(std::string(256, 'x'))})), 1);
    EXPECT_EQ(StringResult(Get(object, "DirectorCode")), "UTF-8");
    EXPECT_EQ(Set(object, "DirectorCode", String(std::string(300, 'y'))), host::kOk);
    EXPECT_EQ(StringResult(Get(object, "DirectorCode")), "UTF-8");
    // 255 bytes fit.
    Set(object, "DirectorCode", String(std::string(255, 'z')));
    EXPECT_EQ(StringResult(Call(object, "GetDirectorCode")), "");  // an unopenable set converts to nothing
}

TEST_F(ScriptObjectTest, WritingDirectorCodeWithANonStringKeepsTheName) {
    host::HostValue object = NewSpeaker();
    EXPECT_EQ(Set(object, "DirectorCode", Integer(3)), host::kOk);
    EXPECT_EQ(StringResult(Get(object, "DirectorCode")), "UTF-8");
}

TEST_F(ScriptObjectTest, GetAtAndSetAtTakeThePropertyNameAsAStringOnly) {
    host::HostValue object = NewSpeaker();
    EXPECT_EQ(StringResult(Call(object, "GetAt", {String("DirectorCode")})), "UTF-8");
    emulator::CallOutcome set = Call(object, "SetAt", {String("DirectorCode"), String("ISO-8859-1")});
    EXPECT_EQ(set.status, host::kOk);
    EXPECT_EQ(StringResult(Get(object, "DirectorCode")), "ISO-8859-1");

    EXPECT_EQ(Call(object, "GetAt", {Symbol("DirectorCode")}).status, host::kNoSuchMember);
    EXPECT_EQ(Call(object, "SetAt", {Symbol("DirectorCode"), String("x")}).status, host::kNoSuchMember);
    EXPECT_EQ(Call(object, "GetAt").status, host::kNoSuchMember);
    EXPECT_EQ(Call(object, "SetAt", {String("DirectorCode")}).status, host::kNoSuchMember)
        << "a name without a value is refused";
    // GetAt passes on the property entry's status.
    EXPECT_EQ(Call(object, "GetAt", {String("Nothing")}).status, host::kNoSuchProperty);
}

TEST_F(ScriptObjectTest, ReadOnlyAndUnknownPropertiesAreNoSuchPropertyAndUnknownMembersNoSuchMember) {
    host::HostValue speaker = NewSpeaker();
    host::HostValue listener = NewListener();
    for (const char* name : {"IID", "IID_ptr", "Interface", "Pointer", "Ppointer"}) {
        EXPECT_EQ(Set(speaker, name, Integer(1)), host::kNoSuchProperty) << name;
        EXPECT_EQ(Set(listener, name, Integer(1)), host::kNoSuchProperty) << name;
    }
    EXPECT_EQ(Get(speaker, "Text").status, host::kNoSuchProperty);
    EXPECT_EQ(Get(listener, "ScriptObject").status, host::kNoSuchProperty);
    emulator::CallOutcome unknown = Call(speaker, "Fly");
    EXPECT_EQ(unknown.status, host::kNoSuchMember);
    EXPECT_FALSE(host.TypeOf(unknown.result).has_value() && *host.TypeOf(unknown.result) != host::kTypeVoid);
}

TEST_F(ScriptObjectTest, StubEntriesAnswerTheirFixedCodesAndTheAliasReadsLikeReadProperty) {
    host::HostValue object = NewListener();
    host::IMoaMmXValue* value = calls.ValueInterface(object);
    uint32_t out = 99;
    EXPECT_EQ(value->Entry3(nullptr), host::kOk);
    EXPECT_EQ(value->Entry4(&out), host::kNotSupported);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(value->Entry5(1, 2), host::kNotSupported);
    out = 99;
    EXPECT_EQ(value->Entry6(1, &out), host::kOk);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(value->Entry10(1, 2), host::kNotSupported);
    EXPECT_EQ(value->Entry12(1), host::kNotSupported);
    EXPECT_EQ(value->Entry15(1, 2), host::kNotSupported);
    out = 99;
    EXPECT_EQ(value->Entry18(&out), host::kNotSupported);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(value->Entry19(1), host::kNotSupported);
    EXPECT_EQ(value->Entry20(1), host::kNotSupported);

    host::HostValue argument = Integer(1);
    EXPECT_EQ(value->CallDelete(&argument), host::kNoSuchMember);
    EXPECT_EQ(value->CallAppend(&argument), host::kNoSuchMember);

    host::HostValue read{};
    host::HostValue alias{};
    EXPECT_EQ(value->ReadProperty(&object, host.Symbol("BufferSize"), 0, nullptr, &read), host::kOk);
    EXPECT_EQ(value->ReadPropertyAlias(&object, host.Symbol("BufferSize"), 0, nullptr, &alias), host::kOk);
    EXPECT_EQ(host.IntegerOf(Own(read)), host.IntegerOf(Own(alias)));
    EXPECT_EQ(value->ReadPropertyAlias(&object, host.Symbol("Nothing"), 0, nullptr, &alias),
              host::kNoSuchProperty);
}

TEST_F(ScriptObjectTest, StringAndSymbolFormsNameTheClass) {
    host::HostValue listener = NewListener();
    host::HostValue speaker = NewSpeaker();
    EXPECT_EQ(calls.StringForm(listener).rfind("< Tidelisten ", 0), 0u) << calls.StringForm(listener);
    EXPECT_EQ(calls.StringForm(speaker).rfind("< Tidespeak ", 0), 0u);
    EXPECT_EQ(calls.StringForm(speaker).back(), '>');
    host::HostSymbol symbol = 0;
    EXPECT_EQ(calls.ValueInterface(speaker)->SymbolForm(&symbol), host::kOk);
    EXPECT_EQ(host.SymbolName(symbol), "Tidespeak");
}

// The description texts, converted from the locale's set (where that is UTF-8, which does
// not accept the two section-marker bytes, they become replacement characters, and no
// byte the conversion did not write is handed back).
TEST_F(ScriptObjectTest, InterfaceDescribesEachClassLineByLine) {
    const std::string marker = kSectionMarkerUtf8;
    const std::string listenText =
        marker + "common\r-Interface:STRING\r+Directorcode:STRING\r-Pointer:LONG_PTR\r" + marker +
        "Tidelisten\rOpen(port:LONG,hostname:STRING):INT\rClose():INT\rstart():void\r"
        "stop():void\r-IID:GUID\r+BufferSize:long\r#ScriptObject:SCRIPT\r"
        "#OnData:Symbol\r";
    const std::string speakText =
        marker + "common\r-Interface:STRING\r+Directorcode:STRING\r-Pointer:LONG_PTR\r-PPointer:LONG_PTR\r" +
        "-IID:GUID\r" + marker +
        "Tidespeak\rOpen(port:LONG,hostname:STRING):INT\rSendText(data:STRING,repeat:INT=1):INT\r"
        "SendBinary(path:STRING,repeat:INT=1):INT\rSendBuffer(pointer:LONG_PTR,size:LONG,repeat:INT=1):INT\r"
        "#Text:STRING\r#Binary:STRING\r";
    host::HostValue listener = NewListener();
    host::HostValue speaker = NewSpeaker();
    EXPECT_EQ(StringResult(Get(listener, "Interface")), listenText);
    EXPECT_EQ(StringResult(Call(listener, "Interface")), listenText);
    EXPECT_EQ(StringResult(Get(speaker, "interface")), speakText);
    EXPECT_EQ(StringResult(Call(speaker, "Interface")), speakText);
}

// The texts' own bytes, section markers and carriage returns included: with a locale
// whose narrow set is Latin-1 (or code page 1252, which agrees with it on these bytes)
// and the object's set Latin-1 too, every byte converts to itself.
TEST_F(ScriptObjectTest, InterfaceHandsOverTheDescriptionsOwnBytes) {
    Latin1Locale latin1Locale;
    const bool latin1 = latin1Locale.ok();

    const std::string listenText =
        "\xA1\xE1"
        "common\r-Interface:STRING\r+Directorcode:STRING\r-Pointer:LONG_PTR\r"
        "\xA1\xE1"
        "Tidelisten\rOpen(port:LONG,hostname:STRING):INT\rClose():INT\rstart():void\r"
        "stop():void\r-IID:GUID\r+BufferSize:long\r#ScriptObject:SCRIPT\r#OnData:Symbol\r";
    const std::string speakText =
        "\xA1\xE1"
        "common\r-Interface:STRING\r+Directorcode:STRING\r-Pointer:LONG_PTR\r-PPointer:LONG_PTR\r"
        "-IID:GUID\r"
        "\xA1\xE1"
        "Tidespeak\rOpen(port:LONG,hostname:STRING):INT\rSendText(data:STRING,repeat:INT=1):INT\r"
        "SendBinary(path:STRING,repeat:INT=1):INT\rSendBuffer(pointer:LONG_PTR,size:LONG,repeat:INT=1):INT\r"
        "#Text:STRING\r#Binary:STRING\r";
    if (latin1) {
        host::HostValue listener = NewListener();
        host::HostValue speaker = NewSpeaker();
        for (const host::HostValue& object : {listener, speaker})
            Set(object, "DirectorCode", String("ISO-8859-1"));
        EXPECT_EQ(StringResult(Get(listener, "Interface")), listenText);
        EXPECT_EQ(StringResult(Call(listener, "Interface")), listenText);
        EXPECT_EQ(StringResult(Get(speaker, "interface")), speakText);
        EXPECT_EQ(StringResult(Call(speaker, "Interface")), speakText);
        // In UTF-8 each marker byte is its Latin-1 character.
        Set(speaker, "DirectorCode", String("UTF-8"));
        EXPECT_EQ(StringResult(Call(speaker, "Interface")).substr(0, 4), "\xC2\xA1\xC3\xA1");
    }
    ASSERT_TRUE(latin1) << "no locale whose set is Latin-1 could be had";
}

TEST_F(ScriptObjectTest, IidIsAGuidValueHoldingTheScriptClassId) {
    host::HostValue object = NewSpeaker();
    emulator::CallOutcome iid = Get(object, "IID");
    ASSERT_EQ(iid.status, host::kOk);
    std::optional<emulator::GuidValueState> guid = host.GuidValueOf(iid.result);
    ASSERT_TRUE(guid.has_value());
    ASSERT_TRUE(guid->hasId);
    uint8_t expected[16];
    host::WriteIdBytes(speak->scriptClassId(), expected);
    EXPECT_EQ(std::memcmp(guid->id, expected, 16), 0);
    EXPECT_EQ(guid->directorCode.value_or(""), "UTF-8");

    // Where the host makes no such object, the id's text.
    host.RefuseNewHostObject();
    EXPECT_EQ(StringResult(Get(object, "IID")), emulator::IdText(speak->scriptClassId()));
    host.RefuseNewHostObject(false);
}

TEST_F(ScriptObjectTest, AddressesForScriptsResolveThroughTheHostsAddressTable) {
    host::HostValue a = NewSpeaker();
    host::HostValue b = NewSpeaker();
    host::AddressTable* table = host.addressTable();

    void* base = nullptr;
    int32_t iidPtr = IntegerResult(Get(a, "IID_ptr"));
    ASSERT_EQ(table->Resolve(static_cast<uint32_t>(iidPtr), 16, &base), host::kOk);
    uint8_t expected[16];
    host::WriteIdBytes(speak->scriptClassId(), expected);
    EXPECT_EQ(std::memcmp(base, expected, 16), 0);

    int32_t pointer = IntegerResult(Get(a, "Pointer"));
    EXPECT_NE(pointer, 0);
    EXPECT_EQ(IntegerResult(Get(a, "pointer")), pointer) << "the same number each time";
    int32_t fieldA = IntegerResult(Get(a, "Ppointer"));
    int32_t fieldB = IntegerResult(Get(b, "Ppointer"));
    EXPECT_NE(fieldA, fieldB);
    void* field = nullptr;
    ASSERT_EQ(table->Resolve(static_cast<uint32_t>(fieldA), sizeof(void*), &field), host::kOk);
    void* worker = nullptr;
    ASSERT_EQ(table->Resolve(static_cast<uint32_t>(pointer), 1, &worker), host::kOk);
    EXPECT_EQ(*static_cast<void**>(field), worker) << "Ppointer is where the worker's address is kept";
    void* tooFar = nullptr;
    EXPECT_NE(table->Resolve(static_cast<uint32_t>(pointer), 1u << 30, &tooFar), host::kOk)
        << "a region is only as long as the worker";
    EXPECT_EQ(tooFar, nullptr);
}

TEST_F(ScriptObjectTest, TheListenerRegistersForNotificationsForItsLifeOnly) {
    EXPECT_EQ(host.alive().notificationClients, 0u);
    host::HostValue object = listen->New();
    EXPECT_EQ(host.alive().notificationClients, 1u);
    EXPECT_EQ(host.Notify(), 1u) << "an object with nothing queued takes a notification quietly";
    host::HostValue speaker = speak->New();
    EXPECT_EQ(host.alive().notificationClients, 1u) << "the sender has no notification client";
    host.Release(object);
    host.Release(speaker);
    EXPECT_EQ(host.alive().notificationClients, 0u);
    EXPECT_EQ(host.Notify(), 0u);
}

}  // namespace
}  // namespace tide::testing
