// Micro-benchmarks that guide work on the hot paths: one conversion, one member dispatch,
// one text delivery in the emulator (with the host value operations it costs), one large
// message put together. Run by
// ./tide bench inside a private network, since the delivery benchmark receives.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "bench/baseline_sockets.h"
#include "emulator/host.h"
#include "emulator/module.h"
#include "emulator/module_loading.h"
#include "emulator/script_calls.h"
#include "emulator/script_object.h"
#include "framework/text_converter.h"
#include "receiver/byte_coverage.h"
#include "receiver/datagram.h"
#include "receiver/reassembly.h"

namespace tide::bench {
namespace {

void Convert(benchmark::State& state, const char* from, const char* to, const std::vector<uint8_t>& input) {
    for (auto _ : state) {
        TextConverter converter;
        converter.SetFromName(from);
        converter.SetToName(to);
        converter.Reopen();
        converter.Convert(static_cast<uint32_t>(input.size()), input.data());
        benchmark::DoNotOptimize(converter.output());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_ConvertShortTextToWire(benchmark::State& state) {
    const std::string text = "hello, group";
    Convert(state, "UTF-8", "UTF-16LE", std::vector<uint8_t>(text.begin(), text.end() + 1));
}
BENCHMARK(BM_ConvertShortTextToWire);

void BM_ConvertFullFragmentFromWire(benchmark::State& state) {
    std::vector<uint8_t> units;
    for (int i = 0; i < 10239; ++i) units.insert(units.end(), {static_cast<uint8_t>('a' + i % 26), 0});
    units.insert(units.end(), {0, 0});
    Convert(state, "UTF-16LE", "UTF-8", units);
}
BENCHMARK(BM_ConvertFullFragmentFromWire);

struct Loaded {
    emulator::Host host;
    std::unique_ptr<emulator::Module> listen;
    emulator::ScriptCalls calls{host};
    Loaded() {
        std::string error;
        listen = emulator::Module::Load(
            host, emulator::ModuleFile(std::string(TIDE_PLUGIN_DIR), "Tidelisten"), &error);
    }
};

void BM_CallMemberDispatch(benchmark::State& state) {
    Loaded loaded;
    host::HostValue listener = loaded.listen->New();
    const uint64_t queriesBefore = loaded.host.counters().interfaceQueries;
    for (auto _ : state) {
        emulator::CallOutcome outcome = loaded.calls.Call(listener, "GetBufferSize");
        loaded.host.Release(outcome.result);
    }
    state.counters["host queries per call"] =
        benchmark::Counter(static_cast<double>(loaded.host.counters().interfaceQueries - queriesBefore),
                           benchmark::Counter::kAvgIterations);
    loaded.host.Release(listener);
}
BENCHMARK(BM_CallMemberDispatch);

// Datagrams wait in the queue (sent while the clock is stopped); each iteration is one
// notification that hands one text datagram, with its nine-entry list, to a handler.
void BM_TextDelivery(benchmark::State& state) {
    constexpr const char* kGroup = "239.255.61.1";
    constexpr uint16_t kPort = 46101;
    constexpr long kBatch = 2000;
    Loaded loaded;
    emulator::Host& host = loaded.host;
    auto script = std::make_shared<emulator::HandlerScriptObject>();
    long delivered = 0;
    script->On("onText", [&](emulator::Host&, int32_t, const host::HostValue*, host::HostValue*) {
        ++delivered;
        return host::kOk;
    });
    host::HostValue listener = loaded.listen->New();
    std::vector<host::HostValue> values = {host.MakeScriptObject(script), host.MakeSymbolValue("onText"),
                                           host.MakeInteger(kPort), host.MakeString(kGroup)};
    for (auto& call :
         {loaded.calls.Call(listener, "SetScriptObject", {values[0]}),
          loaded.calls.Call(listener, "OnTextData", {values[1]}),
          loaded.calls.Call(listener, "Open", {values[2], values[3]}), loaded.calls.Call(listener, "Start")})
        host.Release(call.result);

    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = GroupAddress(kGroup, kPort);
    std::vector<uint8_t> datagram(kDatagramBytes, 0);
    WriteHeader(datagram.data(), {kTypeText, 1, 24, 0, 24, 1, 1});
    const char* text = "hello, group";
    for (int i = 0; text[i]; ++i) datagram[kPayloadOffset + 2 * i] = static_cast<uint8_t>(text[i]);

    long pending = 0;
    uint64_t queries = 0;
    for (auto _ : state) {
        if (pending == 0) {
            state.PauseTiming();
            for (long i = 0; i < kBatch; ++i)
                sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            pending = kBatch;
            state.ResumeTiming();
        }
        const uint64_t before = host.counters().interfaceQueries;
        host.Notify();
        queries += host.counters().interfaceQueries - before;
        --pending;
    }
    state.counters["delivered"] = static_cast<double>(delivered);
    state.counters["host queries per delivery"] =
        benchmark::Counter(delivered ? static_cast<double>(queries) / delivered : 0);
    close(fd);
    host.Release(loaded.calls.Call(listener, "Stop").result);
    for (const host::HostValue& value : values) host.Release(value);
    host.Release(listener);
}
BENCHMARK(BM_TextDelivery)->Iterations(20000);

// A 64 MiB message put together from its 3277 fragments in order, as the sender cuts it,
// and what of it is noting which bytes came: the whole of Take against the byte runs alone.
constexpr int32_t kMessageBytes = 64 * 1024 * 1024;

std::vector<DatagramHeader> MessageHeaders() {
    std::vector<DatagramHeader> headers;
    const int32_t count = FragmentCount(kMessageBytes);
    for (int32_t tindex = 1; tindex <= count; ++tindex) {
        const int32_t offset = (tindex - 1) * kFragmentBytes;
        headers.push_back({kTypeBinary, 1, kMessageBytes, offset,
                           std::min(kFragmentBytes, kMessageBytes - offset), count, tindex});
    }
    return headers;
}

void BM_ReassembleMessage(benchmark::State& state) {
    const std::vector<DatagramHeader> headers = MessageHeaders();
    const std::vector<uint8_t> payload(kFragmentBytes, 0x5A);
    Reassembly reassembly;
    reassembly.Init(kMessageBytes + kBufferSlackBytes);
    int32_t index = 0;
    for (auto _ : state) {
        for (DatagramHeader header : headers) {
            header.index = index;
            benchmark::DoNotOptimize(reassembly.Take(header, payload.data(), kFragmentBytes, false));
        }
        ++index;
    }
    reassembly.Free();
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMessageBytes);
}
BENCHMARK(BM_ReassembleMessage)->Unit(benchmark::kMillisecond);

void BM_CoverMessage(benchmark::State& state) {
    const std::vector<DatagramHeader> headers = MessageHeaders();
    ByteCoverage coverage;
    for (auto _ : state) {
        coverage.Clear();
        for (const DatagramHeader& header : headers)
            benchmark::DoNotOptimize(coverage.Add(header.data_offset, header.data_offset + header.data_size));
        benchmark::DoNotOptimize(coverage.Covers(kMessageBytes));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kMessageBytes);
}
BENCHMARK(BM_CoverMessage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tide::bench

BENCHMARK_MAIN();
