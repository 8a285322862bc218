// A test fixture with the emulated host and both modules loaded through their exports,
// as the real host loads them. Every scenario ends by releasing what it made and
// checking that nothing is left alive and that the host saw no misuse.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "emulator/host.h"
#include "emulator/module.h"
#include "emulator/module_loading.h"
#include "emulator/script_calls.h"
#include "tests/support/plugin_directory.h"

namespace tide::testing {

class PluginHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        listen = emulator::Module::Load(host, emulator::ModuleFile(PluginDirectory(), "Tidelisten"), &error);
        ASSERT_TRUE(listen) << error;
        speak = emulator::Module::Load(host, emulator::ModuleFile(PluginDirectory(), "Tidespeak"), &error);
        ASSERT_TRUE(speak) << error;
    }

    void TearDown() override {
        for (const host::HostValue& value : owned_) host.Release(value);
        owned_.clear();
        EXPECT_TRUE(host.alive().none()) << host.AliveReport();
        EXPECT_TRUE(host.errors().empty()) << ::testing::PrintToString(host.errors());
        if (listen) {
            EXPECT_TRUE(listen->Unload());
        }
        if (speak) {
            EXPECT_TRUE(speak->Unload());
        }
    }

    // A value released when the scenario ends.
    host::HostValue Own(host::HostValue value) {
        owned_.push_back(value);
        return value;
    }
    host::HostValue NewListener() { return Own(listen->New()); }
    host::HostValue NewSpeaker() { return Own(speak->New()); }
    host::HostValue Integer(int32_t n) { return Own(host.MakeInteger(n)); }
    host::HostValue String(std::string_view text) { return Own(host.MakeString(text)); }
    host::HostValue Symbol(std::string_view name) { return Own(host.MakeSymbolValue(name)); }
    host::HostValue Float(double number) { return Own(host.MakeFloat(number)); }

    // A call whose result is released when the scenario ends.
    emulator::CallOutcome Call(const host::HostValue& object, std::string_view member,
                               std::initializer_list<host::HostValue> arguments = {}) {
        emulator::CallOutcome outcome = calls.Call(object, member, arguments);
        Own(outcome.result);
        return outcome;
    }
    emulator::CallOutcome Get(const host::HostValue& object, std::string_view property) {
        emulator::CallOutcome outcome = calls.Get(object, property);
        Own(outcome.result);
        return outcome;
    }
    host::Status Set(const host::HostValue& object, std::string_view property, const host::HostValue& value) {
        return calls.Set(object, property, value);
    }
    int32_t IntegerResult(const emulator::CallOutcome& outcome) {
        return host.IntegerOf(outcome.result).value_or(INT32_MIN);
    }
    std::string StringResult(const emulator::CallOutcome& outcome) {
        return host.StringOf(outcome.result).value_or("<not a string>");
    }

    emulator::Host host;
    emulator::ScriptCalls calls{host};
    std::unique_ptr<emulator::Module> listen;
    std::unique_ptr<emulator::Module> speak;

private:
    std::vector<host::HostValue> owned_;
};

}  // namespace tide::testing
