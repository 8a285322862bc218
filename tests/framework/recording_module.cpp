// Tiderecord: a module built from the shared framework for the tests alone, whose own
// members tell the host what reached them. Each of "delete", "append" and "Record" makes
// symbols that spell out its call record ("reserved 0 0", "result 0 0", "argc 2",
// "argv 1 3 17", ...), so that a test reading the host's record of made symbols sees the
// records the framework builds for entries 11 and 13 and for forwarded writes of "Prop".
// Host's thread only.
#include <cstdio>
#include <initializer_list>

#include "framework/object_view.h"
#include "framework/plugin_definition.h"

namespace tide {

namespace {

constexpr char kDescription[] = "recording\r";

constexpr ForwardedWrite kForwardedWrites[] = {
    {"Prop", "Record"},
    {nullptr, nullptr},
};

struct RecordingVariables {
    ObjectState common;
};

struct NoWork {
    int unused = 0;
};

void Tell(ObjectView& object, const char* format, uint32_t a, uint32_t b = 0, uint32_t c = 0) {
    char text[64];
    std::snprintf(text, sizeof text, format, a, b, c);
    host::HostSymbol symbol = 0;
    object.utils().MakeSymbol(text, &symbol);
}

bool CallRecordingMember(ObjectView& object, host::HostCallRecord* record) {
    for (const char* name : {"delete", "append", "Record"}) {
        if (!object.Is(record->selector, name)) continue;
        Tell(object, "reserved %u %u", record->reserved0, record->reserved1);
        Tell(object, "result %u %u", record->result.words[0], record->result.words[1]);
        Tell(object, "argc %u", static_cast<uint32_t>(record->argc));
        for (int32_t i = 0; i < record->argc; ++i)
            Tell(object, "argv %u %u %u", static_cast<uint32_t>(i), record->argv[i].words[0],
                 record->argv[i].words[1]);
        return true;
    }
    return false;
}

const PluginDefinition kRecording = {
    "Tiderecord",
    "xtra Tiderecord\nnew object me\n",
    kDescription,
    host::Id{0x7D3A1C52, 0x4B8E, 0x4F21, {0x9A, 0x6C, 0x1E, 0x52, 0xB7, 0x30, 0xD6, 0x01}},
    host::Id{0x7D3A1C52, 0x4B8E, 0x4F21, {0x9A, 0x6C, 0x1E, 0x52, 0xB7, 0x30, 0xD6, 0x02}},
    sizeof(RecordingVariables),
    false,
    {"IID", "IID_ptr", "Interface", "Pointer", "Ppointer", "DirectorCode"},
    kForwardedWrites,
    &MakeWorker<NoWork>,
    &DisposeWorker<NoWork>,
    sizeof(NoWork),
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    &CallRecordingMember,
    nullptr,
};

}  // namespace

const PluginDefinition& ThisPlugin() { return kRecording; }

}  // namespace tide
