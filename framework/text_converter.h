// TextConverter: every change of character set goes through one of these. A converter
// lives inside one member call or one delivery on the host's thread: named, opened, used
// for a conversion, destroyed before the call returns. Also the byte counts of terminated
// texts that callers hand it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/iconv_calls.h"

namespace tide {

// The set names the modules convert between.
// The platform's wide characters: host names, paths and sender addresses in wide form.
constexpr const char* kWideSet = "wchar_t";
// The locale's narrow set (the system's ANSI code page on Windows): set names, the
// description text, paths as the file system takes them.
constexpr const char* kNarrowSet = "char";
// The set datagram text is converted to and from: the platform's wide characters where
// they are 16-bit UTF-16LE units (Windows), otherwise "UTF-16LE" by name, so that the
// wire keeps 16-bit little-endian units on every platform.
constexpr const char* kDatagramTextSet = sizeof(wchar_t) == 2 ? kWideSet : "UTF-16LE";

class TextConverter {
public:
    // Room for a set name and its NUL.
    static constexpr size_t kNameBytes = 256;
    // The output has room for four bytes per input byte, plus a terminator of the widest
    // unit (32-bit sets), which the converter always writes after what it converted.
    static constexpr uint32_t kOutputBytesPerInputByte = 4;
    static constexpr uint32_t kTerminatorBytes = 4;
    // Larger inputs would make an output size that does not fit 32 bits. Where size_t has
    // 32 bits, inputs whose output room does not fit one allocation are refused as well
    // (OutputBytesFor).
    static constexpr uint32_t kMaxInputBytes = (1u << 30) - 1;
    // What Convert answers when it could not convert the whole input.
    static constexpr uint32_t kConversionFailed = 0xFFFFFFFFu;

    TextConverter();
    ~TextConverter();
    TextConverter(const TextConverter&) = delete;
    TextConverter& operator=(const TextConverter&) = delete;

    // Copy a set name, cut to 255 bytes. "char" is the locale's narrow set, "" too;
    // "wchar_t" is the platform's wide characters; any name the C library knows works.
    void SetFromName(const char* name);
    void SetToName(const char* name);

    // Closes the open handle, if any, and opens one from the source to the target set.
    // False when the pair cannot be opened (Convert then gives an empty text).
    bool Reopen();

    // Names both sets and opens the conversion: SetFromName, SetToName, Reopen.
    bool Open(const char* from, const char* to);

    // The bytes Convert allocates for an input of `inputBytes` bytes (its output room and
    // the terminator), computed so that it cannot wrap: false when that does not fit one
    // allocation (on 32-bit, inputs of about 512 MiB and more), or the input is larger
    // than kMaxInputBytes. Convert refuses such inputs before it reads them.
    static bool OutputBytesFor(uint32_t inputBytes, size_t* outputBytes);

    // Converts `byteCount` bytes at `input` into a new output, after freeing the previous
    // one. 0 bytes: returns 0 and opens nothing. Opens the handle if none is open.
    // The output is always terminated for the target's unit width and holds only what
    // the conversion wrote: an input sequence that is invalid in the source set becomes
    // U+FFFD (or "?" where the target has no such character) and the rest still converts;
    // when the output space runs out, the output stops there. Returns the number of
    // irreversible conversions, or kConversionFailed when anything was replaced, cut off,
    // or the pair could not be opened (the output is then an empty text).
    uint32_t Convert(uint32_t byteCount, const void* input);

    // Frees the output (unless it is the shared empty one) and points at the shared one.
    void FreeOutput();

    // FreeOutput, then closes the handle. Safe to call twice; the destructor calls it.
    void Destroy();

    // The last conversion's terminated output; the shared empty text when there is none.
    // Read it as 8-, 16- or 32-bit units, according to the target set.
    const char* output() const { return output_; }
    bool isOpen() const { return handle_ != nullptr; }
    const char* toName() const { return toName_; }
    const char* fromName() const { return fromName_; }

    // The shared, zero-filled, never freed output of a converter holding none: an empty
    // text in any unit width.
    static const char* emptyOutput();

private:
    ConversionHandle handle_;
    char toName_[kNameBytes];
    char fromName_[kNameBytes];
    char* output_;
};

// Byte counts of terminated texts, for Convert: a count past 32 bits is UINT32_MAX, which
// Convert refuses, rather than a count that wrapped and would convert part of the text.
// Bytes of a NUL-terminated 8-bit text, its NUL included (0 for null).
uint32_t NarrowTextBytes(const char* text);
// Bytes of a text of 16-bit little-endian units up to and including its first zero unit:
// 2 x units + 2 (0 for null). Reads byte pairs, so `le16` needs no alignment.
uint32_t Utf16TextBytes(const void* le16);
// Bytes of a terminated wide text, its terminator included (0 for null).
uint32_t WideTextBytes(const wchar_t* text);

}  // namespace tide
