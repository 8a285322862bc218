// What "char", the locale's own narrow set, is where the tests run: UTF-8 on Linux, where
// the test main sets C.UTF-8; on Windows the system's ANSI code page, which is 1252 under
// Wine's default set-up. A sample text in that set, and its UTF-16LE form, for tests of
// conversions to and from "char".
#pragma once

#include <clocale>
#include <cstdlib>
#include <string>
#ifdef _WIN32
#include <windows.h>
#endif

namespace tide::testing {

#ifdef _WIN32
constexpr bool kLocaleSetIsUtf8 = false;
// a é € in code page 1252.
inline const std::string kLocaleSample = "a\xE9\x80";
inline const std::string kLocaleSampleUtf16("a\0\xE9\0\xAC\x20", 6);
#else
constexpr bool kLocaleSetIsUtf8 = true;
// a é € U+1F600 in UTF-8.
inline const std::string kLocaleSample = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
inline const std::string kLocaleSampleUtf16("a\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE", 10);
#endif

// The description texts' section marker, 0xA1 0xE1, read in the locale's set and written
// as UTF-8: two replacement characters where the set is UTF-8, which does not accept
// those bytes; "¡á" in code page 1252.
inline const std::string kSectionMarkerUtf8 =
    kLocaleSetIsUtf8 ? "\xEF\xBF\xBD\xEF\xBF\xBD" : "\xC2\xA1\xC3\xA1";

// Makes "char" a set whose bytes 0xA0 to 0xFF are Latin-1's, for as long as the object
// lives: on Linux a Latin-1 locale that localedef makes in a folder of its own; on Windows
// the ANSI code page 1252 is one already. `ok()` is false when that cannot be had.
class Latin1Locale {
public:
#ifdef _WIN32
    Latin1Locale() : ok_(GetACP() == 1252) {}
    ~Latin1Locale() = default;
#else
    Latin1Locale() {
        char pattern[] = "/tmp/tide-locale-XXXXXX";
        if (!mkdtemp(pattern)) return;
        folder_ = pattern;
        const std::string make =
            "localedef -c -i C -f ISO-8859-1 " + folder_ + "/C.ISO-8859-1 >/dev/null 2>&1";
        if (std::system(make.c_str()) != 0) return;
        setenv("LOCPATH", folder_.c_str(), 1);
        ok_ = std::setlocale(LC_ALL, "C.ISO-8859-1") != nullptr;
    }
    ~Latin1Locale() {
        std::setlocale(LC_ALL, "C.UTF-8");
        unsetenv("LOCPATH");
        if (!folder_.empty()) std::system(("rm -rf " + folder_).c_str());
    }
#endif
    Latin1Locale(const Latin1Locale&) = delete;
    Latin1Locale& operator=(const Latin1Locale&) = delete;
    bool ok() const { return ok_; }

private:
    bool ok_ = false;
    std::string folder_;
};

}  // namespace tide::testing
