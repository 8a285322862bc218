// SendBinary's files on Windows, where the file-opening rule has teeth: a file another
// program has open for writing is refused while other readers are welcome, a name is
// opened by its wide form as it stands, and a pipe or a device answers -1 at once rather
// than blocking the host's thread in a read that may never end.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/sender/speaker_fixture.h"

namespace tide::testing {
namespace {

constexpr char kGroup[] = "239.255.43.1";
constexpr uint16_t kPort = 43201;

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size() + 1, L'\0');
    const int units =
        MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(units > 0 ? static_cast<size_t>(units) - 1 : 0);
    return wide;
}

using WindowsFilesTest = SpeakerTest<kGroup, kPort>;

TEST_F(WindowsFilesTest, AFileAnotherProgramWritesIsRefusedWhileReadersAreWelcome) {
    const std::string path = WriteFile("shared.bin", Pattern(1000));
    HANDLE writer = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SendBinary(path), -1) << "open for writing elsewhere";
    CloseHandle(writer);
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());

    HANDLE reader = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SendBinary(path), 0) << "another reader";
    CloseHandle(reader);
    std::vector<Bytes> datagrams = probe.Take(1);
    ASSERT_EQ(datagrams.size(), 1u);
    EXPECT_EQ(HeaderOf(datagrams[0]).index, 1) << "the refused file used no message number";
    EXPECT_EQ(HeaderOf(datagrams[0]).data_tsize, 1000);
}

TEST_F(WindowsFilesTest, ANameOutsideTheAnsiCodePageIsOpenedByItsWideForm) {
    const Bytes content = Pattern(25000, 3);
    const std::string path =
        WriteFile("\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB-\xE6\x97\xA5\xE6\x9C\xAC.bin", content);  // файл-日本
    EXPECT_EQ(SendBinary(path), 0);
    std::vector<Bytes> datagrams = probe.Take(2);
    ASSERT_EQ(datagrams.size(), 2u);
    Bytes sent(datagrams[0].begin() + kPayloadOffset, datagrams[0].begin() + kPayloadOffset + kFragmentBytes);
    sent.insert(sent.end(), datagrams[1].begin() + kPayloadOffset,
                datagrams[1].begin() + kPayloadOffset + (25000 - kFragmentBytes));
    EXPECT_EQ(sent, content);
}

TEST_F(WindowsFilesTest, APipeOrADeviceAnswersAtOnceAndSendsNothing) {
    // A pipe whose server never writes: a read of it would wait for good.
    const std::wstring pipeName = L"\\\\.\\pipe\\tide-files-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1,
                                     4096, 4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    char pipeUtf8[256];
    WideCharToMultiByte(CP_UTF8, 0, pipeName.c_str(), -1, pipeUtf8, sizeof pipeUtf8, nullptr, nullptr);
    EXPECT_EQ(SendBinary(pipeUtf8), -1) << "a pipe with a server";
    CloseHandle(server);
    EXPECT_EQ(SendBinary(pipeUtf8), -1) << "a pipe without one";
    EXPECT_EQ(SendBinary("NUL"), -1) << "a device";
    EXPECT_TRUE(probe.Next(kSilenceMilliseconds).empty());
}

}  // namespace
}  // namespace tide::testing
