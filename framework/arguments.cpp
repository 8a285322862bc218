// Reading a member call's arguments.
#include "framework/arguments.h"

namespace tide {

int32_t ArgumentType(ObjectView& object, const host::HostCallRecord& record, int32_t k) {
    if (k < 0 || record.argc <= k || !record.argv) return host::kTypeVoid;
    int32_t type = host::kTypeVoid;
    object.utils().GetValueType(&record.argv[k], &type);
    return type;
}

bool ReadIntegerArgument(ObjectView& object, const host::HostCallRecord& record, int32_t k, int32_t* out) {
    if (ArgumentType(object, record, k) != host::kTypeInteger) return false;
    return object.utils().ReadInteger(&record.argv[k], out) == host::kOk;
}

bool ConvertStringValue(ObjectView& object, const host::HostValue& value, const char* from, const char* to,
                        TextConverter& converter) {
    MoaUtils& utils = object.utils();
    int32_t type = host::kTypeVoid;
    utils.GetValueType(&value, &type);
    if (type != host::kTypeString) return false;
    int32_t length = -1;
    utils.GetStringLength(&value, &length);
    const char* text = nullptr;
    utils.LockStringText(&value, &text);
    converter.Open(from, to);
    // The count with the NUL fits 32 bits; Convert refuses what its output room cannot hold.
    if (text && length >= 0) converter.Convert(static_cast<uint32_t>(length) + 1, text);
    utils.UnlockStringText(&value);
    return true;
}

bool ConvertStringArgument(ObjectView& object, const host::HostCallRecord& record, int32_t k, const char* to,
                           TextConverter& converter) {
    if (ArgumentType(object, record, k) != host::kTypeString) return false;
    return ConvertStringValue(object, record.argv[k], object.directorCode(), to, converter);
}

void ResultInteger(ObjectView& object, host::HostCallRecord& record, int32_t n) {
    object.utils().MakeIntegerValue(n, &record.result);
}

}  // namespace tide
