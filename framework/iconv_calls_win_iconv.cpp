// win_iconv behind the three calls the converter uses. It speaks the Windows code pages
// ("char" is the system's ANSI code page, "wchar_t" is UTF-16LE) and hands every call to
// a GNU libiconv DLL instead when $WINICONV_LIBICONV_DLL names one that loads.
//
// win_iconv's UTF-8 decoder answers EINVAL ("an incomplete sequence ends the input") for
// any lead byte that claims more bytes than remain, without looking at them or at the
// lead byte itself: "\xF8y" would lose its "y". Where the remaining bytes cannot begin a
// valid sequence, they are an invalid sequence (EILSEQ), as the C library says on Linux.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

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

constexpr int kUtf8CodePage = 65001;

void* const kNotOpen = reinterpret_cast<void*>(-1);

// What a handle of ours holds: win_iconv's, and whether its source is UTF-8.
struct Conversion {
    void* library;
    bool fromUtf8;
};

// Whether win_iconv reads `name` as code page 65001, UTF-8, as its own name lookup does:
// options after the first "//" (TRANSLIT, IGNORE, NOCOMPAT or any other) are cut off;
// the empty name and "char" (lower case only) are the ANSI code page; a name that starts
// with "cp" or "xx" (any case) or with a digit is the number there as atoi reads it
// ("65001", "CP65001", "xx65001"); of its aliases only "UTF-8" and "UTF8" (any case) are
// 65001.
bool IsUtf8Name(const char* name) {
    std::string bare(name);
    bare.erase(std::min(bare.find("//"), bare.size()));
    if (bare.empty() || bare == "char") return GetACP() == kUtf8CodePage;
    const auto number = [](const char* digits) { return std::atoi(digits) == kUtf8CodePage; };
    if (IsSetPrefixed(bare.c_str(), "cp") || IsSetPrefixed(bare.c_str(), "xx"))
        return number(bare.c_str() + 2);
    if (bare[0] >= '0' && bare[0] <= '9') return number(bare.c_str());
    return IsSetNamed(bare.c_str(), "utf-8") || IsSetNamed(bare.c_str(), "utf8");
}

bool IsContinuation(unsigned char byte) { return byte >= 0x80 && byte <= 0xBF; }

// True when `count` bytes are the start of a valid UTF-8 sequence that needs more bytes.
bool IsUtf8Prefix(const char* bytes, size_t count) {
    if (count == 0) return false;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes);
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (b[0] >= 0xC2 && b[0] <= 0xDF) {
        length = 2;
    } else if (b[0] >= 0xE0 && b[0] <= 0xEF) {
        length = 3;
        if (b[0] == 0xE0) low = 0xA0;   // no overlong forms
        if (b[0] == 0xED) high = 0x9F;  // no surrogates
    } else if (b[0] >= 0xF0 && b[0] <= 0xF4) {
        length = 4;
        if (b[0] == 0xF0) low = 0x90;   // no overlong forms
        if (b[0] == 0xF4) high = 0x8F;  // nothing past U+10FFFF
    } else {
        return false;
    }
    if (count >= length) return false;  // complete: not an incomplete sequence
    if (count >= 2 && (b[1] < low || b[1] > high)) return false;
    for (size_t i = 2; i < count; ++i) {
        if (!IsContinuation(b[i])) return false;
    }
    return true;
}

}  // namespace

const char* LibrarySetName(const char* name) {
    if (!name) return "char";
    // win_iconv knows "char" in lower case only.
    return IsLocaleSetName(name) ? "char" : name;
}

ConversionHandle OpenConversion(const char* toName, const char* fromName) {
    const char* from = LibrarySetName(fromName);
    Conversion* conversion = nullptr;
    try {
        conversion = new Conversion{nullptr, IsUtf8Name(from)};
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    conversion->library = iconv_open(LibrarySetName(toName), from);
    if (conversion->library == kNotOpen) {
        delete conversion;
        return nullptr;
    }
    return conversion;
}

size_t RunConversion(ConversionHandle handle, const char** in, size_t* inLeft, char** out, size_t* outLeft,
                     int* error) {
    auto* conversion = static_cast<Conversion*>(handle);
    size_t result = iconv(conversion->library, const_cast<char**>(in), inLeft, out, outLeft);
    *error = (result == static_cast<size_t>(-1)) ? errno : 0;
    if (*error == EINVAL && conversion->fromUtf8 && in && *in && inLeft && !IsUtf8Prefix(*in, *inLeft))
        *error = EILSEQ;
    return result;
}

void CloseConversion(ConversionHandle handle) {
    auto* conversion = static_cast<Conversion*>(handle);
    if (!conversion) return;
    iconv_close(conversion->library);
    delete conversion;
}

}  // namespace tide
