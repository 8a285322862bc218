// The receiver's members: naming the script object and its handlers, the reassembly
// buffer's size, and opening, starting, stopping and closing the listener. Arguments of
// the wrong kind are ignored; results are what the script sees. Host's thread only.
#include <new>

#include "framework/arguments.h"
#include "framework/text_converter.h"
#include "receiver/listener.h"
#include "receiver/receiver_state.h"

namespace tide {

namespace {

void SetScriptObject(ScriptObject& object, const host::HostCallRecord& record) {
    if (record.argc < 2) return;
    ReceiverState& receiver = Receiver(object);
    host::HostValue replaced = receiver.scriptObject;
    receiver.scriptObject = record.argv[1];
    object.utils().AddRefValue(&receiver.scriptObject);
    object.utils().ReleaseValue(&replaced);
}

// A handler is named by a symbol only; anything else leaves the handler as it was.
void SetHandler(ScriptObject& object, const host::HostCallRecord& record, host::HostSymbol* handler) {
    if (ArgumentType(object, record, 1) != host::kTypeSymbol) return;
    object.utils().ReadSymbol(&record.argv[1], handler);
}

void SetBufferSize(ScriptObject& object, const host::HostCallRecord& record) {
    int32_t bytes = 0;
    if (!ReadIntegerArgument(object, record, 1, &bytes)) return;
    if (Receiver(object).reassembly.Resize(bytes)) SyncBufferAddress(object);
}

int32_t Open(ScriptObject& object, const host::HostCallRecord& record) {
    int32_t port = 0;
    ReadIntegerArgument(object, record, 1, &port);
    TextConverter converter;
    ConvertStringArgument(object, record, 2, "wchar_t", converter);
    GroupListener* listener = Listener(object);
    if (!listener) return -1;
    try {
        return listener->Join(static_cast<uint16_t>(port), reinterpret_cast<const wchar_t*>(converter.output()));
    } catch (const std::bad_alloc&) {
        // The address library found no memory for the host text: a join that failed.
        return -1;
    }
}

}  // namespace

bool ReadReceiverProperty(ScriptObject& object, host::HostSymbol property, host::HostValue* result) {
    if (!object.Is(property, "BufferSize")) return false;
    object.utils().MakeIntegerValue(Receiver(object).reassembly.bufferSize(), result);
    return true;
}

bool CallReceiverMember(ScriptObject& object, host::HostCallRecord* record) {
    host::HostSymbol selector = record->selector;
    ReceiverState& receiver = Receiver(object);
    GroupListener* listener = Listener(object);
    if (object.Is(selector, "SetScriptObject")) {
        SetScriptObject(object, *record);
    } else if (object.Is(selector, "OnTextData")) {
        SetHandler(object, *record, &receiver.textHandler);
    } else if (object.Is(selector, "OnBinaryData")) {
        SetHandler(object, *record, &receiver.binaryHandler);
    } else if (object.Is(selector, "GetBufferSize")) {
        ResultInteger(object, *record, receiver.reassembly.bufferSize());
    } else if (object.Is(selector, "SetBufferSize")) {
        SetBufferSize(object, *record);
    } else if (object.Is(selector, "Open")) {
        ResultInteger(object, *record, Open(object, *record));
    } else if (object.Is(selector, "Close")) {
        ResultInteger(object, *record, listener ? listener->Leave() : -1);
    } else if (object.Is(selector, "Start")) {
        if (listener) listener->Start();
    } else if (object.Is(selector, "Stop")) {
        if (listener) listener->Stop();
    } else {
        return false;
    }
    return true;
}

}  // namespace tide
