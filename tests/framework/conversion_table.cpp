// Prints how this platform's TextConverter converts a fixed table of inputs, one line per
// case: "FROM>TO INPUT-HEX RESULT OUTPUT-HEX". Built for Linux and for Windows; a test of
// the Windows suite runs both and compares the lines, so that the two libraries (the C
// library's iconv, win_iconv) cannot drift apart unnoticed in what a peer or a script sees.
//
// The cases are the conversions the modules make: a script's text in its set to the
// wire's units (sending), the wire's units to the script's set (delivery). Inputs: texts
// from the converter's fuzz seeds, everyday texts, every invalid and incomplete sequence
// placed at each position near the end, surrogates alone and in pairs, lone zero units.
// Every input carries its terminator, as the modules convert texts.
//   conversion_table [SEED_DIR]
//   conversion_table --utf8-spelling NAME [SEED_DIR]: only the rows from UTF-8, converted
//     from the set NAME but labelled "UTF-8", so that another name the library takes for
//     UTF-8 can be compared with it.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "framework/text_converter.h"
#include "tests/support/converter_output.h"

namespace {

using tide::TextConverter;

// Sets whose conversions the two libraries must agree on, and the width of their units.
struct Set {
    const char* name;
    size_t unitBytes;
    bool bigEndian;
};
const Set kSets[] = {
    {"UTF-8", 1, false},    {"ISO-8859-1", 1, false}, {"ISO-8859-15", 1, false}, {"WINDOWS-1252", 1, false},
    {"CP1251", 1, false},   {"ASCII", 1, false},      {"UTF-16LE", 2, false},    {"UTF-16BE", 2, true},
    {"UTF-32LE", 4, false}, {"UTF-32BE", 4, true},
};

std::string Hex(const std::string& bytes) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : bytes) {
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 15]);
    }
    return text.empty() ? "-" : text;
}

// The wire's set has another name on each platform: the rows call it "wire".
constexpr const char* kWire = "wire";
// The name the library is given for "UTF-8" as a source: --utf8-spelling.
const char* utf8Spelling = nullptr;
const char* Name(const char* set) { return set == kWire ? tide::kDatagramTextSet : set; }
const char* SourceName(const char* set) {
    return utf8Spelling && std::string(set) == "UTF-8" ? utf8Spelling : Name(set);
}

void Row(const char* from, const char* to, size_t toUnitBytes, const std::string& input) {
    TextConverter converter;
    converter.Open(SourceName(from), Name(to));
    const uint32_t result = converter.Convert(static_cast<uint32_t>(input.size()), input.data());
    // Libraries count irreversible conversions differently; whether all converted counts.
    std::printf("%s>%s %s %s %s\n", from, to, Hex(input).c_str(),
                result == TextConverter::kConversionFailed ? "failed" : "ok",
                Hex(tide::testing::OutputUnits(converter, toUnitBytes)).c_str());
}

std::string Terminated(std::string text, size_t unitBytes) { return text.append(unitBytes, '\0'); }

// 16-bit units as bytes in the set's order.
std::string Units(const std::vector<uint32_t>& units, const Set& set) {
    std::string bytes;
    for (uint32_t unit : units) {
        for (size_t i = 0; i < set.unitBytes; ++i) {
            const size_t byte = set.bigEndian ? set.unitBytes - 1 - i : i;
            bytes.push_back(static_cast<char>((unit >> (8 * byte)) & 0xFF));
        }
    }
    return bytes;
}

// Sequences of 8-bit sets that are invalid or cut short in one of them or another.
std::vector<std::string> ByteSequences() {
    std::vector<std::string> sequences;
    for (int lead = 0x80; lead <= 0xFF; ++lead) sequences.push_back(std::string(1, static_cast<char>(lead)));
    for (const char* s : {"\xC3\xA9",
                          "\xE2\x82",
                          "\xE2\x82\xAC",
                          "\xF0\x9F",
                          "\xF0\x9F\x98",
                          "\xF0\x9F\x98\x80",
                          "\xC0\x80",
                          "\xC1\xBF",
                          "\xE0\x80\x80",
                          "\xE0\x9F",
                          "\xED\xA0\x80",
                          "\xED\xBF\xBF",
                          "\xF4\x90\x80\x80",
                          "\xF4\x8F",
                          "\xF5\x80",
                          "\xF8\x88\x80\x80\x80",
                          "\xFC\x84\x80",
                          "\xE2(",
                          "\xF0(",
                          "\xC3("})
        sequences.push_back(s);
    return sequences;
}

void EightBitRows(const Set& set, const std::vector<std::string>& seeds) {
    const char* wire = kWire;
    std::vector<std::string> texts = {"",
                                      "A",
                                      "Hello, world",
                                      "syltet\xF8y",
                                      "\xFC"
                                      "abc",
                                      "Gr\xC3\xBC\xC3\x9F"
                                      "e \xE2\x82\xAC 5 \xF0\x9F\x98\x80",
                                      "tab\there"};
    texts.insert(texts.end(), seeds.begin(), seeds.end());
    // Each sequence at the end, and followed by one, two and three more characters.
    for (const std::string& sequence : ByteSequences()) {
        for (const char* tail : {"", "y", "yz", "xyz"}) texts.push_back("ab" + sequence + tail);
        texts.push_back(sequence);
    }
    for (const std::string& text : texts) Row(set.name, wire, 2, Terminated(text, 1));
}

std::vector<std::vector<uint32_t>> UnitSequences() {
    std::vector<std::vector<uint32_t>> sequences = {
        {'A'},
        {0xE9, 0xFC, 0xDF},
        {0x20AC},
        {0x0416, 0x0436},
        {0x3042, 0x6F22},
        {0xFFFD},
        {0xFEFF, 'a'},
        {0xD83D, 0xDE00},
        {0xDBFF, 0xDFFF},
        {0xD800},
        {0xDC00},
        {0xDC00, 0xD800},
        {0xD800, 'A'},
        {0xD800, 0xD800},
        {0xFFFE},
        {0xFFFF},
        {0x7F, 0x80, 0x9F, 0xA0, 0xFF},
        {0x152, 0x160, 0x178, 0x2122},
    };
    return sequences;
}

void UnitRows(const Set& set) {
    const char* wire = kWire;
    const Set wireSet = {"UTF-16LE", 2, false};
    for (const std::vector<uint32_t>& sequence : UnitSequences()) {
        // At the end, followed by text, and behind a zero unit (a script sees up to it).
        std::vector<uint32_t> atEnd = {'a', 'b'};
        atEnd.insert(atEnd.end(), sequence.begin(), sequence.end());
        std::vector<uint32_t> followed = atEnd;
        followed.insert(followed.end(), {'y', 'z'});
        std::vector<uint32_t> afterZero = {'a', 0};
        afterZero.insert(afterZero.end(), sequence.begin(), sequence.end());
        for (const auto& units : {sequence, atEnd, followed, afterZero}) {
            // Delivery: the wire's units to the script's set.
            Row(wire, set.name, set.unitBytes, Terminated(Units(units, wireSet), 2));
            // Sending, from a set of wide units.
            if (set.unitBytes > 1) Row(set.name, wire, 2, Terminated(Units(units, set), set.unitBytes));
        }
    }
    // An odd byte at the end of 16-bit input.
    Row(wire, set.name, set.unitBytes, std::string("a\0b", 3));
}

std::vector<std::string> SeedTexts(const char* folder) {
    std::vector<std::string> texts;
    if (!folder) return texts;
    for (const char* name : {"invalid_utf8", "utf8_to_utf16le", "utf8_to_iso2022jp", "named_target",
                             "lone_surrogate_to_utf8", "char_to_wchar", "ebcdic_to_utf8"}) {
        std::ifstream file(std::string(folder) + "/" + name, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        // The seed's text is what follows its three choice bytes, up to a zero byte.
        if (bytes.size() <= 3) continue;
        std::string text = bytes.substr(3);
        texts.push_back(text.substr(0, text.find('\0')));
    }
    return texts;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--utf8-spelling") {
        utf8Spelling = argv[2];
        EightBitRows(kSets[0], SeedTexts(argc > 3 ? argv[3] : nullptr));
        return 0;
    }
    const std::vector<std::string> seeds = SeedTexts(argc > 1 ? argv[1] : nullptr);
    for (const Set& set : kSets) {
        if (set.unitBytes == 1) EightBitRows(set, seeds);
        UnitRows(set);
    }
    return 0;
}
