// The Tidespeak module: its class names, ids and description, and its worker, the
// datagram sender. A Tidespeak object has no thread, no lock and no notifications.
#include "framework/plugin_definition.h"
#include "sender/sender_members.h"

namespace tide {

namespace {

constexpr char kDescription[] =
    "\xA1\xE1"
    "common\r"
    "-Interface:STRING\r"
    "+Directorcode:STRING\r"
    "-Pointer:LONG_PTR\r"
    "-PPointer:LONG_PTR\r"
    "-IID:GUID\r"
    "\xA1\xE1"
    "Tidespeak\r"
    "Open(port:LONG,hostname:STRING):INT\r"
    "SendText(data:STRING,repeat:INT=1):INT\r"
    "SendBinary(path:STRING,repeat:INT=1):INT\r"
    "SendBuffer(pointer:LONG_PTR,size:LONG,repeat:INT=1):INT\r"
    "#Text:STRING\r"
    "#Binary:STRING\r";

constexpr ForwardedWrite kForwardedWrites[] = {
    {"Text", "SendText"}, {"Binary", "SendBinary"},
    {"TTL", "SetTTL"},    {"LocalInterface", "SetLocalInterface"},
    {nullptr, nullptr},
};

struct SpeakerVariables {
    ObjectState common;
};

// No construction or teardown steps, no notifications.
const PluginDefinition kSpeaker = {
    .className = "Tidespeak",
    .messageTable = "xtra Tidespeak\nnew object me\n",
    .description = kDescription,
    .registrationClassId =
        host::Id{0x7D3A1C52, 0x4B8E, 0x4F21, {0x9A, 0x6C, 0x1E, 0x52, 0xB7, 0x30, 0xD5, 0x01}},
    .scriptClassId = host::Id{0x7D3A1C52, 0x4B8E, 0x4F21, {0x9A, 0x6C, 0x1E, 0x52, 0xB7, 0x30, 0xD5, 0x02}},
    .instanceVariableBytes = sizeof(SpeakerVariables),
    .notificationClient = false,
    .commonProperties = {"IID", "IID_ptr", "interface", "pointer", "ppointer", "DirectorCode"},
    .forwardedWrites = kForwardedWrites,
    .createWorker = &MakeWorker<DatagramSender>,
    .destroyWorker = &DisposeWorker<DatagramSender>,
    .workerBytes = sizeof(DatagramSender),
    .readOwnProperty = &ReadSenderProperty,
    .callOwnMember = &CallSenderMember,
};

}  // namespace

const PluginDefinition& ThisPlugin() { return kSpeaker; }

}  // namespace tide
