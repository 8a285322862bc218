// Property lists for scripts.
#include "receiver/property_list.h"

namespace tide {

void AppendEntry(MoaUtils& utils, host::HostValue* list, const char* key, host::HostValue item) {
    host::HostSymbol symbol = 0;
    utils.MakeSymbol(key, &symbol);
    host::HostValue keyValue{};
    utils.MakeSymbolValue(symbol, &keyValue);
    utils.AddProp(list, &keyValue, &item);
    utils.ReleaseValue(&keyValue);
    utils.ReleaseValue(&item);
}

void AppendInteger(MoaUtils& utils, host::HostValue* list, const char* key, int32_t n) {
    host::HostValue item{};
    utils.MakeIntegerValue(n, &item);
    AppendEntry(utils, list, key, item);
}

void AppendString(MoaUtils& utils, host::HostValue* list, const char* key, const char* text) {
    host::HostValue item{};
    utils.MakeStringValue(text, &item);
    AppendEntry(utils, list, key, item);
}

}  // namespace tide
