// libFuzzer target: TextConverter with arbitrary pairs of set names and arbitrary input.
// The output must be terminated, hold only what the conversion wrote, and never be read
// or written out of bounds (AddressSanitizer watches). Where the input is valid UTF-8
// and the target a Unicode set, the text must come back unchanged.
//
// An input starts with two bytes choosing the source and target sets from kSetNames;
// a choice past the list takes a name from the input instead (bytes up to a zero byte).
// A third byte's bit 0 asks for Reopen before converting; the rest is the text.
#include <clocale>
#include <cstdint>
#include <cstring>
#include <string>

#include "framework/text_converter.h"
#include "fuzz/fuzz_support.h"

namespace {

using tide::TextConverter;

const char* const kSetNames[] = {
    "UTF-8",
    "UTF-16LE",
    "UTF-16",
    "UTF-16BE",
    "UTF-32",
    "UTF-32LE",
    "wchar_t",
    "char",
    "Char",
    "ISO-8859-1",
    "ISO-8859-15",
    "WINDOWS-1252",
    "CP1251",
    "KOI8-R",
    "SHIFT_JIS",
    "EUC-JP",
    "ISO-2022-JP",
    "ISO-2022-JP-3",
    "ISO-2022-KR",
    "GB18030",
    "BIG5",
    "BIG5-HKSCS",
    "UTF-7",
    "IBM037",
    "ASCII",
    "UCS-2",
    "UCS-4",
    "TSCII",
    "UTF-8//TRANSLIT",
    "ASCII//IGNORE",
    "",
    "no such set",
    "UTF-8//",
    "//",
};
constexpr size_t kSetNameCount = sizeof kSetNames / sizeof kSetNames[0];

// Targets that can hold every character, where valid UTF-8 must survive a round trip.
const char* const kUnicodeTargets[] = {"UTF-8",    "UTF-16LE", "UTF-16",  "UTF-16BE", "UTF-32",
                                       "UTF-32LE", "UTF-7",    "GB18030", "UCS-4"};

// Reads a set name: from the list, or from the input up to a zero byte.
std::string TakeName(uint8_t choice, const uint8_t*& data, size_t& size) {
    if (choice < kSetNameCount) return kSetNames[choice];
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t length = end ? static_cast<size_t>(end - data) : size;
    std::string name(reinterpret_cast<const char*>(data), length);
    const size_t used = end ? length + 1 : length;
    data += used;
    size -= used;
    return name;
}

// The converter's output is terminated: four zero bytes follow what it wrote. Returns
// the bytes before them; reading past the output's end is AddressSanitizer's to catch.
size_t OutputBytes(const TextConverter& converter, size_t unitBytes) {
    const char* out = converter.output();
    size_t at = 0;
    for (;;) {
        bool zero = true;
        for (size_t i = 0; i < unitBytes; ++i) zero = zero && out[at + i] == 0;
        if (zero) return at;
        at += unitBytes;
    }
}

size_t UnitBytesOf(const std::string& name) {
    if (name.rfind("UTF-16", 0) == 0 || name == "UCS-2") return 2;
    if (name.rfind("UTF-32", 0) == 0 || name == "UCS-4" || name == "wchar_t") return 4;
    return 1;
}

bool IsUnicodeTarget(const std::string& name) {
    for (const char* target : kUnicodeTargets)
        if (name == target) return true;
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) return 0;
    const uint8_t fromChoice = data[0];
    const uint8_t toChoice = data[1];
    const bool reopen = (data[2] & 1) != 0;
    data += 3;
    size -= 3;
    const std::string from = TakeName(fromChoice, data, size);
    const std::string to = TakeName(toChoice, data, size);

    TextConverter converter;
    converter.SetFromName(from.c_str());
    converter.SetToName(to.c_str());
    TIDE_FUZZ_CHECK(std::strlen(converter.toName()) < TextConverter::kNameBytes, "a set name is cut to fit");
    const bool opened = reopen ? converter.Reopen() : true;
    const uint32_t result = converter.Convert(static_cast<uint32_t>(size), data);
    const size_t written = OutputBytes(converter, UnitBytesOf(to));
    if (size == 0) TIDE_FUZZ_CHECK(result == 0 && written == 0, "nothing converts to an empty text");
    if (reopen && !opened) TIDE_FUZZ_CHECK(written == 0, "a pair that cannot be opened gives an empty text");

    // UTF-8 output is well-formed: no byte the conversion did not write.
    if (to == "UTF-8") {
        TIDE_FUZZ_CHECK(
            tide::fuzzing::IsWellFormedUtf8(reinterpret_cast<const uint8_t*>(converter.output()), written),
            "UTF-8 output is well-formed");
    }
    // Valid UTF-8 to a Unicode set and back is the same text. Callers always convert a
    // text with its terminator, whose room in the output leaves space for a byte-order mark.
    if (from == "UTF-8" && IsUnicodeTarget(to) &&
        tide::fuzzing::IsValidUtf8(reinterpret_cast<const char*>(data), size)) {
        std::string text(reinterpret_cast<const char*>(data), size);
        text.push_back('\0');
        TextConverter there;
        there.SetFromName("UTF-8");
        there.SetToName(to.c_str());
        there.Convert(static_cast<uint32_t>(text.size()), text.data());
        TextConverter back;
        back.SetFromName(to.c_str());
        back.SetToName("UTF-8");
        back.Convert(static_cast<uint32_t>(OutputBytes(there, UnitBytesOf(to))), there.output());
        TIDE_FUZZ_CHECK(OutputBytes(back, 1) == size && std::memcmp(back.output(), data, size) == 0,
                        "valid text survives the round trip");
    }

    // A second conversion with the same converter frees the first output and is terminated
    // too. Its text may differ: the C library's sets that find their byte order from a
    // byte-order mark (UTF-16, UTF-32) keep what they found once the handle has been used.
    converter.Convert(static_cast<uint32_t>(size), data);
    OutputBytes(converter, UnitBytesOf(to));
    converter.Destroy();
    converter.Destroy();
    TIDE_FUZZ_CHECK(converter.output() == TextConverter::emptyOutput(),
                    "a destroyed converter holds no output");
    return 0;
}
