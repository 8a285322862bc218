// win_iconv behind the three calls the converter uses. It speaks the Windows code pages
// ("char" is the system's ANSI code page, "wchar_t" is UTF-16LE) and hands every call to
// a GNU libiconv DLL instead when $WINICONV_LIBICONV_DLL names one that loads.
#include <cerrno>

#include "framework/iconv_calls.h"

extern "C" {
// win_iconv ships no header: its own prototypes, its handle a pointer. Its iconv takes
// non-const input and never writes through it.
void* iconv_open(const char* tocode, const char* fromcode);
int iconv_close(void* cd);
size_t iconv(void* cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft);
}

namespace tide {

namespace {

void* const kNotOpen = reinterpret_cast<void*>(-1);

}  // namespace

const char* LibrarySetName(const char* name) {
    if (!name) return "char";
    // win_iconv knows "char" in lower case only.
    return IsLocaleSetName(name) ? "char" : name;
}

ConversionHandle OpenConversion(const char* toName, const char* fromName) {
    void* handle = iconv_open(LibrarySetName(toName), LibrarySetName(fromName));
    return handle == kNotOpen ? nullptr : handle;
}

size_t RunConversion(ConversionHandle handle, const char** in, size_t* inLeft, char** out, size_t* outLeft,
                     int* error) {
    size_t result = iconv(handle, const_cast<char**>(in), inLeft, out, outLeft);
    *error = (result == static_cast<size_t>(-1)) ? errno : 0;
    return result;
}

void CloseConversion(ConversionHandle handle) {
    if (handle) iconv_close(handle);
}

}  // namespace tide
