// A Tidespeak object of the loaded module, opened on a group that a plain socket has
// joined, and a folder of the test's own for files to send: what the sender's tests share.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/plugin_host.h"
#include "tests/support/wire.h"

namespace tide::testing {

// Paths as the scripts have them, in UTF-8, and as the file system library takes them.
inline std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}
inline std::string Utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

// Each test file sends on a group and port of its own (under Wine the whole suite shares
// one network, where a socket bound to a port hears every group joined on it).
template <const char* kGroup, uint16_t kPort>
class SpeakerTest : public PluginHostTest {
protected:
    void SetUp() override {
        PluginHostTest::SetUp();
        ASSERT_TRUE(probe.joined);
        speaker = NewSpeaker();
        ASSERT_EQ(IntegerResult(Call(speaker, "Open", {Integer(kPort), String(kGroup)})), 0);
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::filesystem::path made =
            std::filesystem::temp_directory_path() / ("tide-sender-" + std::to_string(stamp));
        ASSERT_TRUE(std::filesystem::create_directory(made));
        directory = Utf8Of(made);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(PathOf(directory), ignored);
        PluginHostTest::TearDown();
    }

    // Writes `bytes` to the file `name` (UTF-8) in the test's folder; its path in UTF-8.
    std::string WriteFile(const std::string& name, const Bytes& bytes) {
        const std::string path = directory + "/" + name;
        std::ofstream(PathOf(path), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

    int32_t SendBinary(const std::string& path) {
        return IntegerResult(Call(speaker, "SendBinary", {String(path)}));
    }

    WireProbe probe{kGroup, kPort};
    host::HostValue speaker{};
    std::string directory;
};

}  // namespace tide::testing
