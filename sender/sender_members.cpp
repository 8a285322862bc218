// The sender's members: Open, SendText, SendBinary and SendBuffer. Each reads its
// arguments (wrong kinds fall back to defaults), hands the work to the object's
// DatagramSender and answers an integer. Host's thread only.
#include "sender/sender_members.h"

#include "framework/arguments.h"
#include "framework/local_interface.h"
#include "framework/text_converter.h"
#include "sender/file_reading.h"

namespace tide {

namespace {

int32_t RepeatArgument(ObjectView& object, const host::HostCallRecord& record, int32_t k) {
    int32_t repeat = 1;
    ReadIntegerArgument(object, record, k, &repeat);
    return repeat;
}

int32_t Open(ObjectView& object, const host::HostCallRecord& record, DatagramSender& sender) {
    int32_t port = 0;
    ReadIntegerArgument(object, record, 1, &port);
    TextConverter converter;
    ConvertStringArgument(object, record, 2, kWideSet, converter);
    return sender.SetDestination(port, reinterpret_cast<const wchar_t*>(converter.output()));
}

int32_t SendText(ObjectView& object, const host::HostCallRecord& record, DatagramSender& sender) {
    TextConverter converter;
    ConvertStringArgument(object, record, 1, kDatagramTextSet, converter);
    return sender.SendTextMessage(converter.output(), RepeatArgument(object, record, 2));
}

int32_t SendBinary(ObjectView& object, const host::HostCallRecord& record, DatagramSender& sender) {
    TextConverter wide;
    ConvertStringArgument(object, record, 1, kWideSet, wide);
    FileContents file;
    if (ReadWholeFile(reinterpret_cast<const wchar_t*>(wide.output()), &file) != FileReadResult::kRead)
        return -1;
    return sender.SendByteMessage(file.bytes.get(), file.size, RepeatArgument(object, record, 2));
}

// The pointer is a number the host handed out for a region; a number it does not know,
// or a region shorter than the size, sends nothing and uses no message number.
int32_t SendBuffer(ObjectView& object, const host::HostCallRecord& record, DatagramSender& sender) {
    int32_t pointer = 0;
    int32_t size = 0;
    if (!ReadIntegerArgument(object, record, 1, &pointer) || !ReadIntegerArgument(object, record, 2, &size) ||
        size < 0)
        return -1;
    const void* bytes = object.AddressFromScript(static_cast<uint32_t>(pointer), static_cast<uint32_t>(size));
    if (!bytes) return -1;
    return sender.SendByteMessage(bytes, size, RepeatArgument(object, record, 3));
}

// The settings' members answer nothing (Set) or the setting (Get); a value a setter
// refuses changes nothing. Without a sender they do nothing and answer nothing.
void SetTTL(ObjectView& object, host::HostCallRecord& record, DatagramSender& sender) {
    int32_t ttl = 0;
    if (ReadIntegerArgument(object, record, 1, &ttl)) sender.SetTtl(ttl);
}

void GetTTL(ObjectView& object, host::HostCallRecord& record, DatagramSender& sender) {
    ResultInteger(object, record, sender.ttl());
}

void SetLocalInterface(ObjectView& object, host::HostCallRecord& record, DatagramSender& sender) {
    uint32_t address = 0;
    if (ReadInterfaceArgument(object, record, 1, &address)) sender.SetInterface(address);
}

void GetLocalInterface(ObjectView& object, host::HostCallRecord& record, DatagramSender& sender) {
    MakeInterfaceValue(object, sender.interfaceAddress(), &record.result);
}

}  // namespace

bool ReadSenderProperty(ObjectView& object, host::HostSymbol property, host::HostValue* result) {
    DatagramSender* sender = Sender(object);
    if (!sender) return false;
    if (object.Is(property, "TTL")) {
        object.utils().MakeIntegerValue(sender->ttl(), result);
        return true;
    }
    if (object.Is(property, "LocalInterface")) {
        MakeInterfaceValue(object, sender->interfaceAddress(), result);
        return true;
    }
    return false;
}

bool CallSenderMember(ObjectView& object, host::HostCallRecord* record) {
    using Member = int32_t (*)(ObjectView&, const host::HostCallRecord&, DatagramSender&);
    struct Entry {
        const char* name;
        Member member;
    };
    // The sending members first: they are the busy ones.
    static constexpr Entry kMembers[] = {
        {"SendText", &SendText},
        {"SendBinary", &SendBinary},
        {"SendBuffer", &SendBuffer},
        {"Open", &Open},
    };
    for (const Entry& entry : kMembers) {
        if (!object.Is(record->selector, entry.name)) continue;
        DatagramSender* sender = Sender(object);
        // An object whose sender could not be made refuses every sending member.
        ResultInteger(object, *record, sender ? entry.member(object, *record, *sender) : -1);
        return true;
    }
    using Setting = void (*)(ObjectView&, host::HostCallRecord&, DatagramSender&);
    struct SettingEntry {
        const char* name;
        Setting member;
    };
    static constexpr SettingEntry kSettings[] = {
        {"SetTTL", &SetTTL},
        {"GetTTL", &GetTTL},
        {"SetLocalInterface", &SetLocalInterface},
        {"GetLocalInterface", &GetLocalInterface},
    };
    for (const SettingEntry& entry : kSettings) {
        if (!object.Is(record->selector, entry.name)) continue;
        if (DatagramSender* sender = Sender(object)) entry.member(object, *record, *sender);
        return true;
    }
    return false;
}

}  // namespace tide
