// What one host of a multi-host test does: its network set-up and a list of steps,
// handed to the host process in its environment by Lan. Steps are separated by ';',
// words by spaces (texts therefore hold neither):
//   open GROUP          a Tidelisten object opens GROUP (must answer 0)    receivers
//   start | close       Start; Close (must answer 0)
//   texts A,B,...       the next texts delivered are exactly A, B, ...
//   file N              the next binary message is N pattern bytes
//   senders             tells the test every remote_host seen, as "sender X"
//   speaker NAME TO     a Tidespeak object NAME opened on TO (group or address)  senders
//   say NAME TEXT       NAME sends TEXT
//   send-file NAME N    NAME sends a file of N pattern bytes
//   tell WORD | await WORD    a line to the test | wait for one from it
// A host sets its link up once the test has said "linked" (the link's end is in the host's
// namespace then), says "ready" to the test once the link is on, and begins its steps
// when the test answers "steps".
// Runs on the host process's main thread, inside a test of that process.
#pragma once

#include <cstdint>
#include <string>

#include "emulator/host.h"
#include "emulator/module.h"

namespace tide::testing {

constexpr const char* kHostStepsVariable = "TIDE_HOST_STEPS";
constexpr const char* kHostAddressVariable = "TIDE_HOST_ADDRESS";
constexpr const char* kHostLinkVariable = "TIDE_HOST_LINK";
// The test that runs a host's steps, and the descriptors it talks to the test through.
constexpr const char* kHostStepsTest = "HostProcess.RunsItsSteps";
constexpr int kHostToTestFd = 100;
constexpr int kTestToHostFd = 101;
constexpr uint16_t kLanPort = 46000;

// Runs a shell command, its output dropped: true when it exited 0.
bool RunCommand(const std::string& command);
// What a shell command writes to its standard output ("" when it cannot be run).
std::string CommandOutput(const std::string& command);

// Whether the system has switched `device` of this network namespace on ("state UP"):
// until it has, whatever is sent on the link is lost.
bool LinkIsOn(const std::string& device);

// Waits for the test to say "linked", then brings the host's link and loopback up, with
// its address and the multicast route on the link, and waits until the system has
// switched the link on. False when the test never said it, `ip` failed or the link never
// came on.
bool ConfigureHostNetwork(const char* address, const char* link);

// Tells the test "ready", waits for "steps", then runs the steps; failures are reported
// as test failures of the calling test.
void RunHostSteps(emulator::Host& host, emulator::Module& listen, emulator::Module& speak, const char* steps);

}  // namespace tide::testing
