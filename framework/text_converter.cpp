// TextConverter over the C library's iconv. The common case is one library call per
// conversion; the repair of invalid input (learning the replacement and the source's
// unit width) costs extra conversions only when invalid input actually turns up.
#include "framework/text_converter.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

namespace tide {

namespace {

// Zero-filled and never written: reads as an empty text of 8-, 16- or 32-bit units.
alignas(4) char gEmptyOutput[TextConverter::kTerminatorBytes] = {};

constexpr size_t kProbeBytes = 32;
constexpr size_t kNotConverted = static_cast<size_t>(-1);

void CopyName(char (&target)[TextConverter::kNameBytes], const char* name) {
    std::memset(target, 0, sizeof target);
    if (name) std::strncpy(target, name, sizeof target - 1);
}

// Converts a few UTF-8 bytes with a handle of its own (so a byte-order mark comes out as
// it would at the start of a conversion). Bytes written, or kNotConverted.
size_t Probe(const char* toName, const char* utf8, size_t bytes, char (&out)[kProbeBytes]) {
    ConversionHandle handle = OpenConversion(toName, "UTF-8");
    if (!handle) return kNotConverted;
    const char* in = utf8;
    size_t inLeft = bytes;
    char* cursor = out;
    size_t outLeft = sizeof out;
    int error = 0;
    size_t result = RunConversion(handle, &in, &inLeft, &cursor, &outLeft, &error);
    if (result != kNotConverted) result = RunConversion(handle, nullptr, nullptr, &cursor, &outLeft, &error);
    CloseConversion(handle);
    if (result == kNotConverted || inLeft != 0) return kNotConverted;
    return sizeof out - outLeft;
}

// What input the conversion refuses is turned into, and how much of it is skipped.
struct Repair {
    Repair() = default;
    Repair(const Repair&) = delete;
    Repair& operator=(const Repair&) = delete;
    ~Repair() { CloseConversion(decoder); }

    size_t sourceUnitBytes = 1;
    char replacement[kProbeBytes] = {};
    size_t replacementBytes = 0;
    // Source set to 32-bit units: tells a valid character the target lacks (skipped
    // whole) from an invalid sequence (skipped one unit at a time).
    ConversionHandle decoder = nullptr;
};

// The width of one unit of a set: one NUL and two NULs differ by exactly one unit,
// whatever byte-order mark or prefix the set writes first.
size_t UnitBytes(const char* setName, size_t* firstNulEnd) {
    char one[kProbeBytes];
    char two[kProbeBytes];
    size_t oneBytes = Probe(setName, "\0", 1, one);
    size_t twoBytes = Probe(setName, "\0\0", 2, two);
    if (oneBytes == kNotConverted || twoBytes == kNotConverted || twoBytes <= oneBytes) return 0;
    if (firstNulEnd) *firstNulEnd = oneBytes;
    return twoBytes - oneBytes;
}

void LearnRepair(const char* toName, const char* fromName, Repair& repair) {
    repair.decoder = OpenConversion("UTF-32LE", fromName);
    size_t sourceUnit = UnitBytes(fromName, nullptr);
    if (sourceUnit > 0) repair.sourceUnitBytes = sourceUnit;

    size_t nulEnd = 0;
    size_t targetUnit = UnitBytes(toName, &nulEnd);
    if (targetUnit == 0) return;
    // The probe's text is prefix + replacement + NUL; the prefix is what precedes the NUL
    // when a NUL alone is converted.
    size_t prefixBytes = nulEnd - targetUnit;
    char converted[kProbeBytes];
    size_t bytes = Probe(toName, "\xEF\xBF\xBD", 4, converted);  // U+FFFD and its NUL
    if (bytes == kNotConverted) bytes = Probe(toName, "?", 2, converted);
    if (bytes == kNotConverted || bytes < prefixBytes + targetUnit) return;
    repair.replacementBytes = bytes - prefixBytes - targetUnit;
    std::memcpy(repair.replacement, converted + prefixBytes, repair.replacementBytes);
}

// Bytes of the one character at `in` when it is valid in the source set; 0 when it is not.
size_t CharacterBytes(const Repair& repair, const char* in, size_t inLeft) {
    if (!repair.decoder) return 0;
    char unit[4];
    char* out = unit;
    size_t outLeft = sizeof unit;
    const char* cursor = in;
    size_t left = inLeft;
    int error = 0;
    RunConversion(repair.decoder, &cursor, &left, &out, &outLeft, &error);
    RunConversion(repair.decoder, nullptr, nullptr, nullptr, nullptr, &error);
    return outLeft == 0 ? inLeft - left : 0;
}

bool OnlyZeroBytes(const char* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] != 0) return false;
    }
    return true;
}

struct Outcome {
    size_t written = 0;
    size_t irreversible = 0;
    bool complete = true;
};

// Converts the whole input, repairing invalid sequences, into at most `space` bytes.
Outcome ConvertAll(ConversionHandle handle, const char* toName, const char* fromName, const char* input,
                   size_t inputBytes, char* output, size_t space) {
    Outcome outcome;
    const char* in = input;
    size_t inLeft = inputBytes;
    char* out = output;
    size_t outLeft = space;
    Repair repair;
    bool repairLearned = false;

    while (inLeft > 0) {
        int error = 0;
        size_t result = RunConversion(handle, &in, &inLeft, &out, &outLeft, &error);
        if (result != kNotConverted) {
            outcome.irreversible += result;
            continue;
        }
        // Callers convert a text with its terminator of zero bytes, which a set that has no
        // raw zero byte (UTF-7) refuses: it ends the text, and the output is terminated
        // below, so nothing stands in for it.
        if (error == EILSEQ && OnlyZeroBytes(in, inLeft)) break;
        outcome.complete = false;
        if (error != EILSEQ && error != EINVAL) break;  // E2BIG: the output stops here
        if (!repairLearned) {
            LearnRepair(toName, fromName, repair);
            repairLearned = true;
        }
        if (repair.replacementBytes > outLeft) break;
        std::memcpy(out, repair.replacement, repair.replacementBytes);
        out += repair.replacementBytes;
        outLeft -= repair.replacementBytes;
        // An incomplete sequence is all that is left of the input.
        size_t skip = inLeft;
        if (error == EILSEQ) {
            size_t character = CharacterBytes(repair, in, inLeft);
            skip = std::min(character > 0 ? character : repair.sourceUnitBytes, inLeft);
        }
        in += skip;
        inLeft -= skip;
    }

    // Leave the handle in its initial state for a next conversion; a stateful target
    // writes its return to the initial shift state here.
    int error = 0;
    if (RunConversion(handle, nullptr, nullptr, &out, &outLeft, &error) == kNotConverted) {
        RunConversion(handle, nullptr, nullptr, nullptr, nullptr, &error);
    }
    outcome.written = static_cast<size_t>(out - output);
    return outcome;
}

}  // namespace

TextConverter::TextConverter() : handle_(nullptr), toName_(), fromName_(), output_(gEmptyOutput) {}

TextConverter::~TextConverter() { Destroy(); }

const char* TextConverter::emptyOutput() { return gEmptyOutput; }

void TextConverter::SetFromName(const char* name) { CopyName(fromName_, name); }

void TextConverter::SetToName(const char* name) { CopyName(toName_, name); }

bool TextConverter::Reopen() {
    if (handle_) {
        CloseConversion(handle_);
        handle_ = nullptr;
    }
    handle_ = OpenConversion(toName_, fromName_);
    return handle_ != nullptr;
}

bool TextConverter::Open(const char* from, const char* to) {
    SetFromName(from);
    SetToName(to);
    return Reopen();
}

bool TextConverter::OutputBytesFor(uint32_t inputBytes, size_t* outputBytes) {
    if (inputBytes > kMaxInputBytes) return false;
    // In 64 bits, where it cannot wrap; then it must fit a size_t and one allocation.
    const uint64_t bytes = uint64_t{inputBytes} * kOutputBytesPerInputByte + kTerminatorBytes;
    if (bytes > static_cast<uint64_t>(PTRDIFF_MAX)) return false;
    *outputBytes = static_cast<size_t>(bytes);
    return true;
}

uint32_t TextConverter::Convert(uint32_t byteCount, const void* input) {
    FreeOutput();
    if (byteCount == 0) return 0;
    if (!handle_) handle_ = OpenConversion(toName_, fromName_);
    size_t bytes = 0;
    if (!handle_ || !input || !OutputBytesFor(byteCount, &bytes)) return kConversionFailed;

    const size_t space = bytes - kTerminatorBytes;
    auto* buffer = new (std::nothrow) char[bytes];
    if (!buffer) return kConversionFailed;
    output_ = buffer;

    Outcome outcome =
        ConvertAll(handle_, toName_, fromName_, static_cast<const char*>(input), byteCount, buffer, space);
    // Whole units only were written, so these zero bytes end the text at any unit width.
    std::memset(buffer + outcome.written, 0, kTerminatorBytes);
    return outcome.complete ? static_cast<uint32_t>(outcome.irreversible) : kConversionFailed;
}

void TextConverter::FreeOutput() {
    if (output_ && output_ != gEmptyOutput) delete[] output_;
    output_ = gEmptyOutput;
}

void TextConverter::Destroy() {
    FreeOutput();
    if (handle_) {
        CloseConversion(handle_);
        handle_ = nullptr;
    }
}

namespace {

// A count that does not fit 32 bits is one Convert refuses, never one that wrapped.
uint32_t Saturated(uint64_t bytes) { return bytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(bytes); }

}  // namespace

uint32_t NarrowTextBytes(const char* text) { return text ? Saturated(uint64_t{std::strlen(text)} + 1) : 0; }

uint32_t Utf16TextBytes(const void* le16) {
    if (!le16) return 0;
    const auto* bytes = static_cast<const unsigned char*>(le16);
    size_t units = 0;
    while (bytes[2 * units] != 0 || bytes[2 * units + 1] != 0) ++units;
    return Saturated(2 * uint64_t{units} + 2);
}

uint32_t WideTextBytes(const wchar_t* text) {
    return text ? Saturated((uint64_t{std::wcslen(text)} + 1) * sizeof(wchar_t)) : 0;
}

}  // namespace tide
