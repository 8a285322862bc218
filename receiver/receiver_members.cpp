// The receiver's members: naming the script object and its handlers, the reassembly
// buffer's size, and opening, starting, stopping and closing the listener. Arguments of
// the wrong kind are ignored; results are what the script sees. Host's thread only.
#include "receiver/receiver_members.h"

#include <new>

#include "framework/arguments.h"
#include "framework/local_interface.h"
#include "framework/text_converter.h"
#include "receiver/buffer_address.h"
#include "receiver/property_list.h"
#include "receiver/receiver_state.h"

namespace tide {

namespace {

void SetScriptObject(ObjectView& object, host::HostCallRecord& record) {
    if (record.argc < 2) return;
    ReceiverState& receiver = Receiver(object);
    host::HostValue replaced = receiver.scriptObject;
    receiver.scriptObject = record.argv[1];
    object.utils().AddRefValue(&receiver.scriptObject);
    object.utils().ReleaseValue(&replaced);
}

// A handler is named by a symbol only; anything else leaves the handler as it was.
void SetHandler(ObjectView& object, const host::HostCallRecord& record, host::HostSymbol* handler) {
    if (ArgumentType(object, record, 1) != host::kTypeSymbol) return;
    object.utils().ReadSymbol(&record.argv[1], handler);
}

void SetBufferSize(ObjectView& object, host::HostCallRecord& record) {
    int32_t bytes = 0;
    if (!ReadIntegerArgument(object, record, 1, &bytes)) return;
    if (Receiver(object).reassembly.Resize(bytes)) SyncBufferAddress(object);
}

int32_t Join(ObjectView& object, const host::HostCallRecord& record) {
    int32_t port = 0;
    ReadIntegerArgument(object, record, 1, &port);
    TextConverter converter;
    ConvertStringArgument(object, record, 2, kWideSet, converter);
    GroupListener* listener = Listener(object);
    if (!listener) return -1;
    try {
        return listener->Join(static_cast<uint16_t>(port),
                              reinterpret_cast<const wchar_t*>(converter.output()));
    } catch (const std::bad_alloc&) {
        // The address library found no memory for the host text: a join that failed.
        return -1;
    }
}

// The interface later Opens join on; a value that names no interface of this machine
// changes nothing.
void SetLocalInterface(ObjectView& object, host::HostCallRecord& record) {
    uint32_t address = 0;
    GroupListener* listener = Listener(object);
    if (listener && ReadInterfaceArgument(object, record, 1, &address)) listener->SetInterface(address);
}

void GetLocalInterface(ObjectView& object, host::HostCallRecord& record) {
    GroupListener* listener = Listener(object);
    if (listener) MakeInterfaceValue(object, listener->interfaceAddress(), &record.result);
}

// The binary message being put together, or the one just completed (inside the binary
// handler, the message handed over), as a property list: remote_host ("address:port" of
// its sender, as texts have it), index, data_tsize, tcount, taken (its fragments in so
// far) and complete (1 or 0). An empty list before any fragment was taken.
void GetMessageInfo(ObjectView& object, host::HostCallRecord& record) {
    ReceiverState& receiver = Receiver(object);
    MoaUtils& utils = object.utils();
    utils.NewPropList(&record.result);
    const Reassembly& message = receiver.reassembly;
    if (message.fragmentCount() == 0) return;
    TextConverter sender;
    sender.Open(kWideSet, object.directorCode());
    sender.Convert(WideTextBytes(receiver.lastSenderText), receiver.lastSenderText);
    AppendString(utils, &record.result, "remote_host", sender.output() ? sender.output() : "");
    AppendInteger(utils, &record.result, "index", message.index());
    AppendInteger(utils, &record.result, "data_tsize", message.total());
    AppendInteger(utils, &record.result, "tcount", message.fragmentCount());
    AppendInteger(utils, &record.result, "taken", message.fragmentsIn());
    AppendInteger(utils, &record.result, "complete", message.complete() ? 1 : 0);
    sender.FreeOutput();
}

void OnTextData(ObjectView& object, host::HostCallRecord& record) {
    SetHandler(object, record, &Receiver(object).textHandler);
}

void OnBinaryData(ObjectView& object, host::HostCallRecord& record) {
    SetHandler(object, record, &Receiver(object).binaryHandler);
}

void GetBufferSize(ObjectView& object, host::HostCallRecord& record) {
    ResultInteger(object, record, Receiver(object).reassembly.bufferSize());
}

void Open(ObjectView& object, host::HostCallRecord& record) {
    ResultInteger(object, record, Join(object, record));
}

void Close(ObjectView& object, host::HostCallRecord& record) {
    GroupListener* listener = Listener(object);
    ResultInteger(object, record, listener ? listener->Leave() : -1);
}

// Start and Stop answer nothing; without a listener they do nothing.
void Start(ObjectView& object, host::HostCallRecord&) {
    GroupListener* listener = Listener(object);
    if (listener) listener->Start();
}

void Stop(ObjectView& object, host::HostCallRecord&) {
    GroupListener* listener = Listener(object);
    if (listener) listener->Stop();
}

}  // namespace

bool ReadReceiverProperty(ObjectView& object, host::HostSymbol property, host::HostValue* result) {
    if (object.Is(property, "BufferSize")) {
        object.utils().MakeIntegerValue(Receiver(object).reassembly.bufferSize(), result);
        return true;
    }
    GroupListener* listener = Listener(object);
    if (listener && object.Is(property, "LocalInterface")) {
        MakeInterfaceValue(object, listener->interfaceAddress(), result);
        return true;
    }
    return false;
}

bool CallReceiverMember(ObjectView& object, host::HostCallRecord* record) {
    using Member = void (*)(ObjectView&, host::HostCallRecord&);
    struct Entry {
        const char* name;
        Member member;
    };
    // Compared in this order; the first name that matches runs.
    static constexpr Entry kMembers[] = {
        {"SetScriptObject", &SetScriptObject},
        {"OnTextData", &OnTextData},
        {"OnBinaryData", &OnBinaryData},
        {"GetBufferSize", &GetBufferSize},
        {"SetBufferSize", &SetBufferSize},
        {"SetLocalInterface", &SetLocalInterface},
        {"GetLocalInterface", &GetLocalInterface},
        {"GetMessageInfo", &GetMessageInfo},
        {"Open", &Open},
        {"Close", &Close},
        {"Start", &Start},
        {"Stop", &Stop},
    };
    for (const Entry& entry : kMembers) {
        if (!object.Is(record->selector, entry.name)) continue;
        entry.member(object, *record);
        return true;
    }
    return false;
}

}  // namespace tide
