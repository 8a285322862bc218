// The Tidespeak module: its class names, ids and description, and its worker, the
// datagram sender. A Tidespeak object has no thread, no lock and no notifications.
#include "framework/plugin_definition.h"
#include "sender/speaker.h"

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
    {"Text", "SendText"},
    {"Binary", "SendBinary"},
    {nullptr, nullptr},
};

struct SpeakerVariables {
    ObjectState common;
};

const PluginDefinition kSpeaker = {
    "Tidespeak",
    "xtra Tidespeak\nnew object me\n",
    kDescription,
    host::Id{0x7D3A1C52, 0x4B8E, 0x4F21, {0x9A, 0x6C, 0x1E, 0x52, 0xB7, 0x30, 0xD5, 0x01}},
    host::Id{0x7D3A1C52, 0x4B8E, 0x4F21, {0x9A, 0x6C, 0x1E, 0x52, 0xB7, 0x30, 0xD5, 0x02}},
    sizeof(SpeakerVariables),
    false,
    {"IID", "IID_ptr", "interface", "pointer", "ppointer", "DirectorCode"},
    kForwardedWrites,
    &MakeWorker<DatagramSender>,
    &DisposeWorker<DatagramSender>,
    sizeof(DatagramSender),
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    &CallSenderMember,
    nullptr,
};

}  // namespace

const PluginDefinition& ThisPlugin() { return kSpeaker; }

}  // namespace tide
