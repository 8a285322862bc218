// The members every script object has ("IID", "IID_ptr", "Interface", "Pointer",
// "Ppointer", "DirectorCode"; "Interface", "GetDirectorCode", "SetDirectorCode", "GetAt",
// "SetAt"), and the dispatch that tries them before the module's own. Host's thread only.
#include "framework/dispatch.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "framework/arguments.h"
#include "framework/host_ref.h"
#include "framework/plugin_definition.h"
#include "framework/text_converter.h"
#include "host/ids.h"

namespace tide {

namespace {

enum CommonProperty { kIid, kIidPtr, kInterface, kPointer, kPpointer, kDirectorCode };

// `text` (NUL-terminated, in set `from`) converted to the object's set, as a new string value.
void MakeConvertedString(ObjectView& object, const char* text, const char* from, host::HostValue* out) {
    TextConverter converter;
    converter.Open(from, object.directorCode());
    converter.Convert(NarrowTextBytes(text), text);
    object.utils().MakeStringValue(converter.output(), out);
}

// A new set name from a script string (in the object's set, converted to "char").
// False when the name does not fit, so that the old name stays.
bool ReadSetName(ObjectView& object, const host::HostValue& value, char (&name)[kSetNameBytes]) {
    TextConverter converter;
    if (!ConvertStringValue(object, value, object.directorCode(), kNarrowSet, converter)) {
        name[0] = '\0';
        return true;
    }
    const char* converted = converter.output();
    size_t length = std::strlen(converted);
    if (length >= kSetNameBytes) return false;
    std::memcpy(name, converted, length + 1);
    return true;
}

void StoreSetName(ObjectView& object, const char (&name)[kSetNameBytes]) {
    std::memcpy(object.state().directorCode, name, kSetNameBytes);
}

// "IID": a GuidValueClass object holding the script class id. Where the host makes no
// such object, the id's text instead, so that the script still learns it.
void ReadClassId(ObjectView& object, host::HostValue* result) {
    const PluginDefinition& plugin = ThisPlugin();
    MoaUtils& utils = object.utils();
    void* raw = nullptr;
    object.instance()->callback->NewHostObject(&host::kClsidGuidValue, &host::kIidMoaMmXValue, &raw);
    auto* guid = static_cast<host::IMoaMmXValue*>(raw);
    if (!guid) {
        const host::Id& id = plugin.scriptClassId;
        char text[40];
        std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.data1,
                      id.data2, id.data3, id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4],
                      id.data4[5], id.data4[6], id.data4[7]);
        utils.MakeStringValue(text, result);
        return;
    }
    host::HostValue code{};
    utils.MakeStringValue(object.directorCode(), &code);
    host::HostSymbol directorCode = 0;
    utils.MakeSymbol("DirectorCode", &directorCode);
    guid->WriteProperty(directorCode, 0, nullptr, &code);
    utils.ReleaseValue(&code);
    guid->Entry3(&plugin.scriptClassId);
    HostRef<host::ObjectValueServices> objects(utils, host::kIidObjectValueServices);
    if (objects) objects->ObjectToValue(guid, result);
    guid->Release();
}

bool ReadCommonProperty(ObjectView& object, host::HostSymbol property, host::HostValue* result) {
    const PluginDefinition& plugin = ThisPlugin();
    ObjectState& state = object.state();
    MoaUtils& utils = object.utils();
    for (int which = kIid; which <= kDirectorCode; ++which) {
        if (!object.Is(property, plugin.commonProperties[which])) continue;
        switch (which) {
            case kIid:
                ReadClassId(object, result);
                break;
            case kIidPtr:
                utils.MakeIntegerValue(
                    static_cast<int32_t>(object.AddressForScript(&plugin.scriptClassId, sizeof(host::ClassId),
                                                                 &state.addresses.scriptClassId)),
                    result);
                break;
            case kInterface:
                MakeConvertedString(object, plugin.description, kNarrowSet, result);
                break;
            case kPointer:
                utils.MakeIntegerValue(state.worker
                                           ? static_cast<int32_t>(object.AddressForScript(
                                                 state.worker, plugin.workerBytes, &state.addresses.worker))
                                           : 0,
                                       result);
                break;
            case kPpointer:
                utils.MakeIntegerValue(
                    static_cast<int32_t>(object.AddressForScript(&state.worker, sizeof(state.worker),
                                                                 &state.addresses.workerField)),
                    result);
                break;
            case kDirectorCode:
                MakeConvertedString(object, state.directorCode, kNarrowSet, result);
                break;
        }
        return true;
    }
    return false;
}

// A write of a property the module forwards to a handler: argv = [void, index values...,
// new value]; the handler's result never reaches the script.
host::Status ForwardWrite(ObjectView& object, const char* handler, int32_t indexCount,
                          const host::HostValue* indexValues, const host::HostValue* newValue) {
    if (indexCount < 0 || indexCount > kMaxForwardedIndexValues) return host::kNoSuchProperty;
    host::HostValue argv[kMaxForwardedIndexValues + 2] = {};
    for (int32_t i = 0; i < indexCount; ++i) argv[1 + i] = indexValues[i];
    argv[1 + indexCount] = *newValue;
    host::HostCallRecord record{};
    object.utils().MakeSymbol(handler, &record.selector);
    record.argc = indexCount + 2;
    record.argv = argv;
    host::Status status = CallObjectMember(object, &record);
    object.utils().ReleaseValue(&record.result);
    return status;
}

}  // namespace

host::Status ReadObjectProperty(ObjectView& object, const host::HostValue*, host::HostSymbol property,
                                int32_t, const host::HostValue*, host::HostValue* result) {
    if (ReadCommonProperty(object, property, result)) return host::kOk;
    const PluginDefinition& plugin = ThisPlugin();
    if (plugin.readOwnProperty && plugin.readOwnProperty(object, property, result)) return host::kOk;
    return host::kNoSuchProperty;
}

host::Status WriteObjectProperty(ObjectView& object, host::HostSymbol property, int32_t indexCount,
                                 const host::HostValue* indexValues, const host::HostValue* newValue) {
    if (object.Is(property, "DirectorCode")) {
        // A value that is not a string names no set: the old name stays.
        int32_t type = 0;
        object.utils().GetValueType(newValue, &type);
        if (type != host::kTypeString) return host::kOk;
        char name[kSetNameBytes];
        if (ReadSetName(object, *newValue, name)) StoreSetName(object, name);
        return host::kOk;
    }
    for (const ForwardedWrite* write = ThisPlugin().forwardedWrites; write && write->property; ++write) {
        if (object.Is(property, write->property))
            return ForwardWrite(object, write->handler, indexCount, indexValues, newValue);
    }
    return host::kNoSuchProperty;
}

host::Status CallObjectMember(ObjectView& object, host::HostCallRecord* record) {
    host::HostSymbol selector = record->selector;
    MoaUtils& utils = object.utils();
    if (object.Is(selector, "Interface")) {
        MakeConvertedString(object, ThisPlugin().description, kNarrowSet, &record->result);
        return host::kOk;
    }
    if (object.Is(selector, "GetDirectorCode")) {
        MakeConvertedString(object, object.directorCode(), kNarrowSet, &record->result);
        return host::kOk;
    }
    if (object.Is(selector, "SetDirectorCode")) {
        char name[kSetNameBytes] = "";
        bool fits = true;
        if (ArgumentType(object, *record, 1) == host::kTypeString)
            fits = ReadSetName(object, record->argv[1], name);
        if (fits) StoreSetName(object, name);
        utils.MakeIntegerValue(1, &record->result);
        return host::kOk;
    }
    if (object.Is(selector, "GetAt") && ArgumentType(object, *record, 1) == host::kTypeString) {
        host::HostSymbol property = 0;
        utils.ReadSymbol(&record->argv[1], &property);
        return ReadObjectProperty(object, &record->argv[0], property, record->argc - 2, record->argv + 2,
                                  &record->result);
    }
    // "SetAt" needs a name and a value; without either it is no member at all.
    if (object.Is(selector, "SetAt") && ArgumentType(object, *record, 1) == host::kTypeString &&
        record->argc >= 3) {
        host::HostSymbol property = 0;
        utils.ReadSymbol(&record->argv[1], &property);
        return WriteObjectProperty(object, property, 0, nullptr, &record->argv[2]);
    }
    const PluginDefinition& plugin = ThisPlugin();
    if (plugin.callOwnMember && plugin.callOwnMember(object, record)) return host::kOk;
    return host::kNoSuchMember;
}

void WithdrawPublishedAddresses(ObjectView& object) {
    PublishedAddresses& addresses = object.state().addresses;
    for (uint32_t* handle :
         {&addresses.scriptClassId, &addresses.worker, &addresses.workerField, &addresses.valueInterface}) {
        if (*handle) object.WithdrawAddress(*handle);
        *handle = 0;
    }
}

}  // namespace tide
