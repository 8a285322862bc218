// The C library's iconv behind the three calls the converter uses.
#include <iconv.h>

#include <cerrno>
#include <type_traits>

#include "framework/iconv_calls.h"

namespace tide {

static_assert(std::is_same<iconv_t, ConversionHandle>::value, "the C library's handle is a pointer");

namespace {

const iconv_t kNotOpen = reinterpret_cast<iconv_t>(-1);

}  // namespace

const char* LibrarySetName(const char* name) {
    if (!name) return "";
    // The library has no name "char": its empty name is the locale's narrow set.
    return IsLocaleSetName(name) ? "" : name;
}

ConversionHandle OpenConversion(const char* toName, const char* fromName) {
    iconv_t handle = iconv_open(LibrarySetName(toName), LibrarySetName(fromName));
    return handle == kNotOpen ? nullptr : handle;
}

size_t RunConversion(ConversionHandle handle, const char** in, size_t* inLeft, char** out, size_t* outLeft,
                     int* error) {
    // The library's prototype takes non-const input; it never writes through it.
    size_t result = iconv(static_cast<iconv_t>(handle), const_cast<char**>(in), inLeft, out, outLeft);
    *error = (result == static_cast<size_t>(-1)) ? errno : 0;
    return result;
}

void CloseConversion(ConversionHandle handle) {
    if (handle) iconv_close(static_cast<iconv_t>(handle));
}

}  // namespace tide
