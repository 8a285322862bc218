// The local interface a script chooses, from a member's argument.
#include "framework/local_interface.h"

#include <cstdio>
#include <cwchar>

#include "framework/arguments.h"
#include "framework/local_addresses.h"
#include "framework/text_converter.h"

namespace tide {

namespace {

// Dotted IPv4 text only: four numbers of 0 to 255, no names to resolve.
bool ParseDotted(const wchar_t* text, uint32_t* address) {
    unsigned parts[4] = {};
    wchar_t end = 0;
    if (std::swscanf(text, L"%3u.%3u.%3u.%3u%lc", &parts[0], &parts[1], &parts[2], &parts[3], &end) != 4)
        return false;
    uint32_t value = 0;
    for (unsigned part : parts) {
        if (part > 255) return false;
        value = value << 8 | part;
    }
    *address = value;
    return true;
}

}  // namespace

bool ReadInterfaceArgument(ObjectView& object, const host::HostCallRecord& record, int32_t k,
                           uint32_t* address) {
    TextConverter converter;
    if (!ConvertStringArgument(object, record, k, kWideSet, converter) || !converter.output()) return false;
    const auto* text = reinterpret_cast<const wchar_t*>(converter.output());
    uint32_t chosen = 0;
    if (*text != L'\0' && (!ParseDotted(text, &chosen) || (chosen != 0 && !IsLocalAddress(chosen))))
        return false;
    *address = chosen;
    return true;
}

void MakeInterfaceValue(ObjectView& object, uint32_t address, host::HostValue* result) {
    char text[16] = "";
    if (address != 0)
        std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 255,
                      (address >> 8) & 255, address & 255);
    object.utils().MakeStringValue(text, result);
}

}  // namespace tide
