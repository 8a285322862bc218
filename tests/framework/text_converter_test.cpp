// TextConverter: the converter's rules (zero counts, terminators, byte counts of 16-bit
// text) and its sound answers to input the conversion refuses, an unopenable pair of
// sets and targets wider than four bytes per input byte. "char" is the locale's set of
// tests/support/locale_set.h.
#include "framework/text_converter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <cwchar>
#include <string>

#include "tests/support/converter_output.h"
#include "tests/support/locale_set.h"

namespace {

using tide::TextConverter;
using tide::testing::kLocaleSample;
using tide::testing::kLocaleSampleUtf16;
using tide::testing::kLocaleSetIsUtf8;
using tide::testing::kSectionMarkerUtf8;
using tide::testing::OutputUnits;

void Name(TextConverter& converter, const char* from, const char* to) {
    converter.SetFromName(from);
    converter.SetToName(to);
}

std::string Convert(const char* from, const char* to, const std::string& input, size_t outUnitBytes,
                    uint32_t* result = nullptr) {
    TextConverter converter;
    Name(converter, from, to);
    converter.Reopen();
    uint32_t r = converter.Convert(static_cast<uint32_t>(input.size()), input.data());
    if (result) *result = r;
    return OutputUnits(converter, outUnitBytes);
}

const std::string kUtf8Sample = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a é € U+1F600
const std::string kUtf16Sample("a\0\xE9\0\xAC\x20\x3D\xD8\x00\xDE", 10);

TEST(TextConverter, StartsWithTheSharedEmptyOutputAndNoHandle) {
    TextConverter converter;
    EXPECT_EQ(converter.output(), TextConverter::emptyOutput());
    EXPECT_FALSE(converter.isOpen());
    EXPECT_STREQ(converter.toName(), "");
    EXPECT_STREQ(converter.fromName(), "");
    const char* empty = TextConverter::emptyOutput();
    for (uint32_t i = 0; i < TextConverter::kTerminatorBytes; ++i) EXPECT_EQ(empty[i], 0);
}

TEST(TextConverter, ZeroCountFreesThePreviousOutputAndOpensNothing) {
    TextConverter converter;
    Name(converter, "UTF-8", "UTF-16LE");
    EXPECT_EQ(converter.Convert(0, "abc"), 0u);
    EXPECT_FALSE(converter.isOpen());
    EXPECT_EQ(converter.output(), TextConverter::emptyOutput());

    ASSERT_EQ(converter.Convert(4, "abc"), 0u);
    EXPECT_NE(converter.output(), TextConverter::emptyOutput());
    EXPECT_EQ(converter.Convert(0, "abc"), 0u);
    EXPECT_EQ(converter.output(), TextConverter::emptyOutput());  // the sanitizer run sees a leak otherwise
}

TEST(TextConverter, ConvertOpensTheHandleItselfAndTwoConversionsInARowGiveTheSecond) {
    TextConverter converter;
    Name(converter, "UTF-8", "UTF-16LE");
    converter.Convert(6, "first");
    EXPECT_TRUE(converter.isOpen());
    EXPECT_EQ(OutputUnits(converter, 2), std::string("f\0i\0r\0s\0t\0", 10));
    converter.Convert(3, "no");
    EXPECT_EQ(OutputUnits(converter, 2), std::string("n\0o\0", 4));
    converter.Destroy();
    converter.Destroy();  // twice is harmless
    EXPECT_EQ(converter.output(), TextConverter::emptyOutput());
    EXPECT_FALSE(converter.isOpen());
}

TEST(TextConverter, CharAndTheEmptyNameAreTheLocaleSet) {
    EXPECT_EQ(Convert("", "UTF-16LE", kLocaleSample + '\0', 2), kLocaleSampleUtf16);
    EXPECT_EQ(Convert("char", "UTF-16LE", kLocaleSample + '\0', 2), kLocaleSampleUtf16);
    EXPECT_EQ(Convert("UTF-16LE", "CHAR", kLocaleSampleUtf16 + std::string(2, '\0'), 1), kLocaleSample);
}

TEST(TextConverter, SetNamesAreCutTo255Bytes) {
    TextConverter converter;
    std::string longName(300, 'x');
    converter.SetToName(longName.c_str());
    EXPECT_EQ(std::strlen(converter.toName()), TextConverter::kNameBytes - 1);
    converter.SetToName("UTF-8");
    EXPECT_STREQ(converter.toName(), "UTF-8");
    converter.SetFromName(nullptr);
    EXPECT_STREQ(converter.fromName(), "");
}

TEST(TextConverter, TextByteCountsIncludeTheTerminator) {
    EXPECT_EQ(tide::NarrowTextBytes("abc"), 4u);
    EXPECT_EQ(tide::NarrowTextBytes(""), 1u);
    // N units before the zero unit count 2N + 2 bytes, read byte by byte from any address.
    char unaligned[1 + 10 + 2] = {};
    std::memcpy(unaligned + 1, kUtf16Sample.data(), kUtf16Sample.size());
    EXPECT_EQ(tide::Utf16TextBytes(unaligned + 1), 2u * 5 + 2);
    const char highByteOnly[] = {0x00, 0x01, 0x00, 0x00};  // U+0100 has a zero low byte
    EXPECT_EQ(tide::Utf16TextBytes(highByteOnly), 4u);
    const char noUnits[2] = {0, 0};
    EXPECT_EQ(tide::Utf16TextBytes(noUnits), 2u);
    EXPECT_EQ(tide::WideTextBytes(L"ab"), 3 * sizeof(wchar_t));
    EXPECT_EQ(tide::NarrowTextBytes(nullptr), 0u);
    EXPECT_EQ(tide::Utf16TextBytes(nullptr), 0u);
}

TEST(TextConverter, Utf8AndUtf16LeRoundTripIncludingCharactersOutsideTheBmp) {
    std::string utf16 = Convert("UTF-8", "UTF-16LE", kUtf8Sample + '\0', 2);
    EXPECT_EQ(utf16, kUtf16Sample);
    std::string wire = utf16 + std::string(2, '\0');
    EXPECT_EQ(Convert("UTF-16LE", "UTF-8", wire.substr(0, tide::Utf16TextBytes(wire.data())), 1),
              kUtf8Sample);
}

TEST(TextConverter, WideCharactersRoundTrip) {
    TextConverter toWide;
    Name(toWide, "UTF-8", "wchar_t");
    toWide.Convert(static_cast<uint32_t>(kUtf8Sample.size() + 1), kUtf8Sample.c_str());
    const auto* wide = reinterpret_cast<const wchar_t*>(toWide.output());
    EXPECT_EQ(std::wcscmp(wide, L"a\u00E9\u20AC\U0001F600"), 0);

    TextConverter back;
    Name(back, "wchar_t", "UTF-8");
    back.Convert(tide::WideTextBytes(wide), wide);
    EXPECT_EQ(std::string(back.output()), kUtf8Sample);

    TextConverter fromWire;
    Name(fromWire, "UTF-16LE", "wchar_t");
    std::string wire = kUtf16Sample + std::string(2, '\0');
    fromWire.Convert(tide::Utf16TextBytes(wire.data()), wire.data());
    EXPECT_EQ(std::wcscmp(reinterpret_cast<const wchar_t*>(fromWire.output()), L"a\u00E9\u20AC\U0001F600"),
              0);
}

TEST(TextConverter, AnUnopenablePairGivesAnEmptyTerminatedText) {
    TextConverter converter;
    Name(converter, "UTF-8", "no-such-set");
    EXPECT_FALSE(converter.Reopen());
    EXPECT_FALSE(converter.isOpen());
    EXPECT_EQ(converter.Convert(4, "abc"), TextConverter::kConversionFailed);
    for (uint32_t i = 0; i < TextConverter::kTerminatorBytes; ++i) EXPECT_EQ(converter.output()[i], 0);
}

TEST(TextConverter, TheSectionMarkerConvertsAsTheLocaleSetHasItAndInvalidBytesAreReplaced) {
    // The description text's section marker 0xA1 0xE1 is not UTF-8: where the locale's
    // set is, both bytes are replaced, the rest converted, and the failure reported.
    std::string marker =
        "\xA1\xE1"
        "common\r";
    uint32_t result = 0;
    std::string out = Convert("char", "UTF-8", marker + '\0', 1, &result);
    EXPECT_EQ(out, kSectionMarkerUtf8 + "common\r");
    EXPECT_EQ(result, kLocaleSetIsUtf8 ? TextConverter::kConversionFailed : 0u);
}

TEST(TextConverter, AnInvalidSequenceInTheMiddleIsReplacedByOneCharacterPerUnit) {
    // A lone high surrogate in 16-bit input: one unit skipped, the rest converted.
    std::string lone(
        "a\0\x00\xD8"
        "b\0\0\0",
        8);
    EXPECT_EQ(Convert("UTF-16LE", "UTF-8", lone, 1),
              "a\xEF\xBF\xBD"
              "b");
    // A target without U+FFFD gets "?".
    EXPECT_EQ(Convert("UTF-8", "ISO-8859-1",
                      std::string("a\xFF"
                                  "b\0",
                                  4),
                      1),
              "a?b");
    // A valid character the target lacks is skipped whole: one "?", not one per byte.
    EXPECT_EQ(Convert("UTF-8", "ASCII", kUtf8Sample + '\0', 1), "a???");
    // A 16-bit target gets its replacement as a 16-bit unit.
    EXPECT_EQ(Convert("UTF-8", "UTF-16LE", std::string("x\xC3(\0", 4), 2), std::string("x\0\xFD\xFF(\0", 6));
}

TEST(TextConverter, AnIncompleteSequenceAtTheEndIsReplacedAndTerminated) {
    uint32_t result = 0;
    std::string out = Convert("UTF-8", "UTF-16LE", "ab\xE2\x82", 2, &result);
    EXPECT_EQ(out, std::string("a\0b\0\xFD\xFF", 6));
    EXPECT_EQ(result, TextConverter::kConversionFailed);
}

// An invalid lead byte near the end, before bytes that cannot continue it, is an invalid
// sequence like any other: the rest of the text still converts, on every platform (the
// Windows library took such a lead byte for an incomplete sequence and dropped the rest).
TEST(TextConverter, AnInvalidLeadByteNearTheEndLosesNothingAfterIt) {
    const std::string fffd("\xFD\xFF", 2);
    EXPECT_EQ(Convert("UTF-8", "UTF-16LE", std::string("syltet\xF8y\0", 9), 2),
              std::string("s\0y\0l\0t\0e\0t\0", 12) + fffd + std::string("y\0", 2));
    EXPECT_EQ(Convert("UTF-8", "UTF-16LE",
                      std::string("\xFC"
                                  "abc\0",
                                  5),
                      2),
              fffd + std::string("a\0b\0c\0", 6));
    // A lead byte whose next byte cannot follow it, with fewer bytes left than it claims.
    EXPECT_EQ(Convert("UTF-8", "UTF-16LE",
                      std::string("\xF0"
                                  "A\0",
                                  3),
                      2),
              fffd + std::string("A\0", 2));
    EXPECT_EQ(Convert("UTF-8", "UTF-16LE",
                      std::string("\xE0\x80"
                                  "A\0",
                                  4),
                      2),
              fffd + fffd + std::string("A\0", 2));
    // A true beginning of a sequence at the very end is one incomplete sequence.
    EXPECT_EQ(Convert("UTF-8", "UTF-16LE", std::string("A\xF0\x9F\x98", 4), 2), std::string("A\0", 2) + fffd);
}

// The room Convert allocates is computed so that it cannot wrap where size_t has 32 bits:
// there, inputs whose room would pass what one allocation can hold are refused before
// they are read (4 x 2^30 bytes once wrapped to a tiny block that the conversion overran).
TEST(TextConverter, TheOutputRoomCannotWrapAndTooLargeInputsAreRefusedUnread) {
    size_t bytes = 0;
    ASSERT_TRUE(TextConverter::OutputBytesFor(0, &bytes));
    EXPECT_EQ(bytes, TextConverter::kTerminatorBytes);
    ASSERT_TRUE(TextConverter::OutputBytesFor(1000, &bytes));
    EXPECT_EQ(bytes, 4004u);
    EXPECT_FALSE(TextConverter::OutputBytesFor(TextConverter::kMaxInputBytes + 1, &bytes));
    EXPECT_FALSE(TextConverter::OutputBytesFor(UINT32_MAX, &bytes));
    const bool fits = TextConverter::OutputBytesFor(TextConverter::kMaxInputBytes, &bytes);
    if (sizeof(size_t) == 4) {
        EXPECT_FALSE(fits);
        // The largest input whose room fits one allocation, and the first that does not.
        const uint32_t largest = (static_cast<uint32_t>(PTRDIFF_MAX) - TextConverter::kTerminatorBytes) / 4;
        ASSERT_TRUE(TextConverter::OutputBytesFor(largest, &bytes));
        EXPECT_EQ(bytes, static_cast<size_t>(largest) * 4 + 4);
        EXPECT_FALSE(TextConverter::OutputBytesFor(largest + 1, &bytes));
        // Refused before a byte is read: the input here is a few bytes long.
        TextConverter converter;
        Name(converter, "UTF-8", "UTF-16LE");
        EXPECT_EQ(converter.Convert(TextConverter::kMaxInputBytes, "abc"), TextConverter::kConversionFailed);
        EXPECT_EQ(converter.output()[0], 0);
    } else {
        ASSERT_TRUE(fits);
        EXPECT_EQ(bytes, uint64_t{TextConverter::kMaxInputBytes} * 4 + 4);
    }
}

TEST(TextConverter, InputWithoutATerminatorStillGivesATerminatedText) {
    EXPECT_EQ(Convert("UTF-8", "UTF-16LE", "abc", 2), std::string("a\0b\0c\0", 6));
    EXPECT_EQ(Convert("UTF-8", "UTF-32LE", "ab", 4), std::string("a\0\0\0b\0\0\0", 8));
}

TEST(TextConverter, ATargetWiderThanFourBytesPerInputByteStopsAtTheEndOfItsSpace) {
    // "a" and its NUL, 2 bytes, have 8 bytes of space; UTF-32 with its byte-order mark
    // needs 12. The output stops after whole units and is still terminated. The library
    // picks the byte order (the C library's is the machine's, win_iconv's big-endian).
    TextConverter converter;
    Name(converter, "UTF-8", "UTF-32");
    EXPECT_EQ(converter.Convert(2, "a"), TextConverter::kConversionFailed);
    const char little[12] = {'\xFF', '\xFE', 0, 0, 'a', 0, 0, 0, 0, 0, 0, 0};
    const char big[12] = {0, 0, '\xFE', '\xFF', 0, 0, 0, 'a', 0, 0, 0, 0};
    const char* expected = converter.output()[0] == 0 ? big : little;
    EXPECT_EQ(std::memcmp(converter.output(), expected, sizeof little), 0);

    // A longer text: every unit the space holds, then the terminator.
    std::string text(100, 'z');
    converter.Convert(static_cast<uint32_t>(text.size() + 1), text.c_str());
    std::string units = OutputUnits(converter, 4);
    EXPECT_EQ(units.size(), 4u + 4u * text.size());  // the mark and 100 letters; no room for the NUL
}

}  // namespace
