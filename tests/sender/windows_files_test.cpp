// SendBinary's files on Windows, where the file-opening rule has teeth: a file another
// program has open for writing is refused while other readers are welcome, a name is
// opened by its wide form as it stands, and a pipe or a device answers -1 at once rather
// than blocking the host's thread in a read that may never end.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/support/plugin_host.h"
#include "tests/support/wire.h"

namespace tide::testing {
namespace {

constexpr const char* kGroup = "239.255.41.1";
constexpr uint16_t kPort = 43101;

std::wstring Wide(const std::string& utf8) {
    std::wstring wide(utf8.size() + 1, L'\0');
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], static_cast<int>(wide.size()));
    wide.resize(units > 0 ? static_cast<size_t>(units) - 1 : 0);
    return wide;
}

class WindowsFilesTest : public PluginHostTest {
protected:
    void SetUp() override {
        PluginHostTest::SetUp();
        ASSERT_TRUE(probe.joined);
        speaker = NewSpeaker();
        ASSERT_EQ(IntegerResult(Call(speaker, "Open", {Integer(kPort), String(kGroup)})), 0);
        wchar_t temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
        folder = std::wstring(temp) + L"tide-files-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    }
    void TearDown() override {
        for (const std::wstring& file : made) DeleteFileW(file.c_str());
        RemoveDirectoryW(folder.c_str());
        PluginHostTest::TearDown();
    }

    // Writes `bytes` to the file `name` (UTF-8) in the test's folder; its path in UTF-8.
    std::string Make(const std::string& name, const Bytes& bytes) {
        const std::wstring path = folder + L"\\" + Wide(name);
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_NE(file, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        made.push_back(path);
        char utf8[4 * MAX_PATH];
        WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr);
        return utf8;
    }

    int32_t SendBinary(const std::string& path) { return IntegerResult(Call(speaker, "SendBinary", {String(path)})); }

    WireProbe probe{kGroup, kPort};
    host::HostValue speaker{};
    std::wstring folder;
    std::vector<std::wstring> made;
};

TEST_F(WindowsFilesTest, AFileAnotherProgramWritesIsRefusedWhileReadersAreWelcome) {
    const std::string path = Make("shared.bin", Pattern(1000));
    HANDLE writer = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
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
    const std::string path = Make("\xD1\x84\xD0\xB0\xD0\xB9\xD0\xBB-\xE6\x97\xA5\xE6\x9C\xAC.bin", content);  // файл-日本
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
    HANDLE server = CreateNamedPipeW(pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096, 4096,
                                     0, nullptr);
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
