// The three iconv calls, in one place, so that the rest of the code never sees the
// library's header nor the set names only one library understands: the C library's iconv
// on Linux (iconv_calls_glibc.cpp), win_iconv on Windows (iconv_calls_win_iconv.cpp). Any
// thread; a handle is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstring>

namespace tide {

// An open conversion; null when none is open.
using ConversionHandle = void*;

// The library's name for `name`: "char" (ASCII case ignored) is the locale's own narrow
// set (the C library calls it "", win_iconv "char": the system's ANSI code page); every
// other name passes unchanged.
const char* LibrarySetName(const char* name);

// True when `name` starts with `lowerPrefix` in any ASCII case (set names ignore it).
inline bool IsSetPrefixed(const char* name, const char* lowerPrefix) {
    for (; *lowerPrefix; ++name, ++lowerPrefix) {
        const char c = (*name >= 'A' && *name <= 'Z') ? static_cast<char>(*name - 'A' + 'a') : *name;
        if (c != *lowerPrefix) return false;
    }
    return true;
}

// True when `name` is `lowerName` in any ASCII case.
inline bool IsSetNamed(const char* name, const char* lowerName) {
    return std::strlen(name) == std::strlen(lowerName) && IsSetPrefixed(name, lowerName);
}

// True for "char" in any ASCII case: the name a script uses for the locale's own set.
inline bool IsLocaleSetName(const char* name) { return IsSetNamed(name, "char"); }

// Opens a conversion from `fromName` to `toName` (target first, as the library has it),
// after mapping both through LibrarySetName. Null when the library knows no such pair.
ConversionHandle OpenConversion(const char* toName, const char* fromName);

// One call of the library's conversion. With `in` null it writes what returns the handle
// to its initial state (or, with `out` null too, just resets it). Returns the library's
// result: the number of irreversible conversions, or (size_t)-1 with the reason (an
// errno value such as EILSEQ, EINVAL or E2BIG) in `*error`.
size_t RunConversion(ConversionHandle handle, const char** in, size_t* inLeft, char** out, size_t* outLeft,
                     int* error);

// Closes a handle that OpenConversion gave. Null is ignored.
void CloseConversion(ConversionHandle handle);

}  // namespace tide
