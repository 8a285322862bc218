// tide_throughput: one row of the benchmark table per run, printed as "row value unit".
// Sending rows time a fixed number of datagrams leaving; receiving rows count what a
// receiver gets of a full-speed burst. Run inside a private network (./tide bench).
//
//   tide_throughput send-raw|send-raw-block|send-sender|send-plugin DATAGRAMS
//   tide_throughput receive-raw|receive-raw-fresh|receive-raw-slab|receive-listener|
//                   receive-listener-second|receive-listener-warm DATAGRAMS
//                                                     (receive-listener also prints the
//                                                      process's resident MiB before the
//                                                      burst, at its peak and after the
//                                                      quiet time)
//   tide_throughput receive-message raw|listener BYTES GROUP PORT BUFFER
//                                                     (one message to a receiver whose socket
//                                                      buffer is BUFFER bytes: prints "ready",
//                                                      then "complete T" or "incomplete N")
//   tide_throughput receive-copy BYTES GROUP PORT THREADS (the fair limit of binary delivery:
//                                                      prints "ready", then "complete T")
//   tide_throughput receive-busy DATAGRAMS GROUP PORT (a raw loop beside a busy thread, as a
//                                                      listener beside a busy host: prints
//                                                      "ready", then how many it got)
//   tide_throughput idle-listener SECONDS
//   tide_throughput send-texts DATAGRAMS GROUP PORT   (a burst of short text datagrams)
//   tide_throughput send-message BYTES GROUP PORT     (one binary message at full speed;
//                                                      prints when it began, monotonic seconds)
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/baseline_sockets.h"
#include "emulator/host.h"
#include "emulator/module.h"
#include "emulator/module_loading.h"
#include "emulator/script_calls.h"
#include "host/address_table.h"
#include "receiver/group_listener.h"
#include "receiver/message_memory.h"
#include "receiver/reassembly.h"
#include "receiver/receive_wait.h"
#include "sender/datagram_sender.h"

namespace tide::bench {
namespace {

constexpr const char* kGroup = "239.255.60.1";
constexpr const wchar_t* kWideGroup = L"239.255.60.1";
constexpr uint16_t kPort = 46001;
// The receive buffer both receivers ask for, so that they are compared on equal terms.
constexpr int kReceiveBufferBytes = 64 * 1024 * 1024;
constexpr int kSettleMilliseconds = 300;

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// A plain receiver joined to the group and drained on a thread of its own, as a peer
// on the network would be while the sender runs.
class DrainingPeer {
public:
    DrainingPeer()
        : fd_(JoinedSocket(kGroup, kPort, kReceiveBufferBytes)),
          thread_([this] { count_ = DrainCount(fd_, 500); }) {}
    ~DrainingPeer() {
        thread_.join();
        close(fd_);
    }

private:
    int fd_;
    long count_ = 0;
    std::thread thread_;
};

// `bytes` bytes of a repeating pattern, every page of them touched.
std::vector<uint8_t> Patterned(size_t bytes) {
    std::vector<uint8_t> block(bytes);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 13);
    return block;
}

// Full fragments' worth of bytes for `datagrams` datagrams.
std::vector<uint8_t> Block(long datagrams) {
    return Patterned(static_cast<size_t>(datagrams) * kFragmentBytes);
}

double SendRaw(long datagrams) {
    DrainingPeer peer;
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = GroupAddress(kGroup, kPort);
    std::vector<uint8_t> datagram(kDatagramBytes, 0x5A);
    auto start = Clock::now();
    for (long i = 0; i < datagrams; ++i)
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    double rate = datagrams / Seconds(start);
    close(fd);
    return rate;
}

// The same sendto loop, each datagram read from its place in a large block, as a sender
// of a large message must: what memory costs beyond resending one cached buffer.
double SendRawBlock(long datagrams) {
    std::vector<uint8_t> block = Block(datagrams + 1);
    DrainingPeer peer;
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = GroupAddress(kGroup, kPort);
    auto start = Clock::now();
    for (long i = 0; i < datagrams; ++i)
        sendto(fd, block.data() + i * kFragmentBytes, kDatagramBytes, 0, reinterpret_cast<sockaddr*>(&to),
               sizeof to);
    double rate = datagrams / Seconds(start);
    close(fd);
    return rate;
}

double SendSender(long datagrams) {
    std::vector<uint8_t> block = Block(datagrams);
    DrainingPeer peer;
    DatagramSender sender;
    sender.SetDestination(kPort, kWideGroup);
    auto start = Clock::now();
    sender.SendByteMessage(block.data(), static_cast<int32_t>(block.size()), 1);
    return datagrams / Seconds(start);
}

double SendPlugin(long datagrams, const std::string& plugins) {
    std::vector<uint8_t> block = Block(datagrams);
    emulator::Host host;
    std::string error;
    auto speak = emulator::Module::Load(host, emulator::ModuleFile(plugins, "Tidespeak"), &error);
    if (!speak) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(2);
    }
    emulator::ScriptCalls calls(host);
    host::HostValue speaker = speak->New();
    uint32_t handle = 0;
    host.addressTable()->Publish(block.data(), static_cast<uint32_t>(block.size()), &handle);
    std::vector<host::HostValue> values = {host.MakeInteger(kPort), host.MakeString(kGroup),
                                           host.MakeInteger(static_cast<int32_t>(handle)),
                                           host.MakeInteger(static_cast<int32_t>(block.size()))};
    host.Release(calls.Call(speaker, "Open", {values[0], values[1]}).result);
    double rate = 0;
    {
        DrainingPeer peer;
        auto start = Clock::now();
        emulator::CallOutcome sent = calls.Call(speaker, "SendBuffer", {values[2], values[3]});
        rate = datagrams / Seconds(start);
        host.Release(sent.result);
    }
    host.addressTable()->Withdraw(handle);
    for (const host::HostValue& value : values) host.Release(value);
    host.Release(speaker);
    return rate;
}

// What a receiver got of a burst, and at what rate over the burst's duration.
struct Received {
    double datagrams;
    double perSecond;
    // The process's resident memory in MiB: before the burst, at its peak, and after the
    // quiet time that follows its delivery (ReceiveListener with `memory` only).
    double residentBefore = 0;
    double residentPeak = 0;
    double residentAfter = 0;
};

double ResidentMiB() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The raw baselines' stores of kept datagrams: Next is where the next datagram goes,
// Keep takes it for good.
//
// Each datagram in a block of fresh heap memory, as the listener kept them before slabs.
class HeapStore {
public:
    explicit HeapStore(size_t expected) { kept_.reserve(expected); }
    uint8_t* Next() {
        if (!next_) next_.reset(new uint8_t[kDatagramBytes]);
        return next_.get();
    }
    void Keep() { kept_.push_back(std::move(next_)); }
    long kept() const { return static_cast<long>(kept_.size()); }

private:
    std::vector<std::unique_ptr<uint8_t[]>> kept_;
    std::unique_ptr<uint8_t[]> next_;
};

// Each datagram in a block of the listener's own kind: carved from its slabs, by the
// listener's BlockPool, large pages and all.
class SlabStore {
public:
    explicit SlabStore(size_t expected) { kept_.reserve(expected); }
    uint8_t* Next() {
        if (!next_) next_ = pool_.TakeFresh();
        if (!next_) std::abort();
        return next_->datagram;
    }
    void Keep() { kept_.push_back(std::move(next_)); }
    long kept() const { return static_cast<long>(kept_.size()); }

private:
    BlockPool pool_;
    std::vector<BlockPtr> kept_;
    BlockPtr next_;
};

Received ReceiveRaw(long datagrams) {
    int fd = JoinedSocket(kGroup, kPort, kReceiveBufferBytes);
    long received = 0;
    std::thread receiver([&] { received = DrainCount(fd, kSettleMilliseconds); });
    auto start = Clock::now();
    SendBurst(kGroup, kPort, datagrams);
    double burst = Seconds(start);
    receiver.join();
    close(fd);
    return {static_cast<double>(received), received / burst};
}

// The raw loop that does what the listener must: keeps every datagram of the burst, in
// `Store` (HeapStore or SlabStore). Its pages are the system's price the listener pays too.
template <typename Store>
Received ReceiveKeepingAll(long datagrams) {
    int fd = JoinedSocket(kGroup, kPort, kReceiveBufferBytes);
    Store store(static_cast<size_t>(datagrams));
    std::thread receiver([&] {
        for (;;) {
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, kSettleMilliseconds) != 1) return;
            if (recv(fd, store.Next(), kDatagramBytes, 0) > 0) store.Keep();
        }
    });
    auto start = Clock::now();
    SendBurst(kGroup, kPort, datagrams);
    double burst = Seconds(start);
    receiver.join();
    close(fd);
    return {static_cast<double>(store.kept()), store.kept() / burst};
}

// The raw loop that puts a binary message together as the listener must: each payload
// copied into a message buffer of fresh memory, made at the message's first datagram (in
// the listener's message memory, huge pages where the system gives them).
// With two threads, as the listener has, one receives into reused blocks and queues them
// (waiting for a returned block as the listener's receive thread does), the other copies. Prints "ready" once
// joined, then "complete T" (monotonic seconds) or "incomplete 0" after 20 seconds.
void ReceiveCopy(long bytes, const char* group, uint16_t port, int threads) {
    int fd = JoinedSocket(group, port, kReceiveBufferBytes);
    std::printf("ready\n");
    std::fflush(stdout);
    struct Release {
        size_t bytes;
        void operator()(uint8_t* memory) const { FreeMessageMemory(memory, bytes); }
    };
    std::unique_ptr<uint8_t, Release> message(nullptr, Release{static_cast<size_t>(bytes)});
    int32_t fragments = 0;
    bool complete = false;
    double completed = 0;
    // Takes one datagram; true once the message is whole.
    auto take = [&](const uint8_t* datagram, ptrdiff_t length) {
        if (length < kHeaderBytes) return false;
        const DatagramHeader header = ReadHeader(datagram);
        if (header.data_tsize != bytes || header.data_offset < 0 || header.data_size < 0 ||
            header.data_offset + header.data_size > bytes || kHeaderBytes + header.data_size > length)
            return false;
        if (!message) message.reset(AllocateMessageMemory(static_cast<size_t>(bytes)));
        if (!message) return false;
        std::memcpy(message.get() + header.data_offset, datagram + kPayloadOffset,
                    static_cast<size_t>(header.data_size));
        return ++fragments == header.tcount;
    };
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    if (threads <= 1) {
        std::vector<uint8_t> block(kDatagramBytes);
        while (!complete && Clock::now() < deadline) {
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, 100) != 1) continue;
            complete = take(block.data(), recv(fd, block.data(), block.size(), 0));
        }
    } else {
        struct Block {
            uint8_t bytes[kDatagramBytes];
            ptrdiff_t length;
        };
        std::mutex lock;
        std::condition_variable returned;
        std::condition_variable queued;
        std::deque<std::unique_ptr<Block>> queue;
        std::vector<std::unique_ptr<Block>> spares;
        bool awaiting = false;
        bool waiting = false;
        std::atomic<bool> done{false};
        std::thread receiver([&] {
            std::unique_ptr<Block> block;
            // As the listener's receive thread: with no returned block at hand while blocks
            // come back and the socket has room (ReceiveWait::HasRoom, by the listener's
            // kSpareWaitRoom), the datagrams wait there for one (looked at every
            // kSpareWaitSlice, kSpareWait at most) rather than in fresh memory.
            bool returning = false;
            while (!done && Clock::now() < deadline) {
                if (!block) {
                    std::unique_lock<std::mutex> hold(lock);
                    const auto until = Clock::now() + kSpareWait;
                    for (;;) {
                        if (!spares.empty()) {
                            block = std::move(spares.back());
                            spares.pop_back();
                            returning = true;
                            break;
                        }
                        if (!returning || done || Clock::now() >= until ||
                            !ReceiveWait::HasRoom(fd, kSpareWaitRoom)) {
                            returning = false;
                            break;
                        }
                        awaiting = true;
                        returned.wait_for(hold, kSpareWaitSlice);
                        awaiting = false;
                    }
                }
                // Fresh memory as the listener's blocks are: not cleared first.
                if (!block) block.reset(new Block);
                // As the listener does: take a waiting datagram at once, else wait for one.
                block->length = recv(fd, block->bytes, kDatagramBytes, MSG_DONTWAIT);
                if (block->length < 0) {
                    pollfd ready{fd, POLLIN, 0};
                    poll(&ready, 1, 100);
                    continue;
                }
                std::lock_guard<std::mutex> hold(lock);
                queue.push_back(std::move(block));
                if (waiting) queued.notify_one();
            }
        });
        // The copying thread sleeps while the queue is empty, woken by the next block: it
        // takes no processor from the receiving thread or the sender meanwhile.
        while (!complete && Clock::now() < deadline) {
            std::unique_ptr<Block> block;
            {
                std::unique_lock<std::mutex> hold(lock);
                if (queue.empty()) {
                    waiting = true;
                    queued.wait_for(hold, std::chrono::milliseconds(100));
                    waiting = false;
                }
                if (!queue.empty()) {
                    block = std::move(queue.front());
                    queue.pop_front();
                }
            }
            if (!block) continue;
            complete = take(block->bytes, block->length);
            std::lock_guard<std::mutex> hold(lock);
            spares.push_back(std::move(block));
            if (awaiting) returned.notify_one();
        }
        done = true;
        receiver.join();
    }
    completed = std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
    close(fd);
    if (complete) {
        std::printf("complete %.6f\n", completed);
    } else {
        std::printf("incomplete 0\n");
    }
}

// The listener's queue once its count stops growing.
size_t SettledQueue(GroupListener& listener) {
    size_t queued = 0;
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMilliseconds));
        const size_t now = listener.QueuedBlocks();
        if (now == queued) return queued;
        queued = now;
    }
}

// Every queued block let go of, as deliveries do.
void DeliverAll(GroupListener& listener) {
    while (listener.TakeFront()) {
    }
}

// A burst into a listener, none delivered; with `second`, after a first one delivered.
// With `memory`, the process's resident memory before the burst, at its peak, and after
// the burst was delivered and the quiet time passed.
Received ReceiveListener(long datagrams, bool second, bool memory) {
    GroupListener listener;
    if (listener.Join(kPort, kWideGroup) != 0) {
        std::fprintf(stderr, "cannot join %s\n", kGroup);
        std::exit(2);
    }
    listener.Start();
    if (second) {
        // A first burst, delivered, then the one measured.
        SendBurst(kGroup, kPort, datagrams);
        SettledQueue(listener);
        DeliverAll(listener);
    }
    Received got{};
    if (memory) got.residentBefore = ResidentMiB();
    auto start = Clock::now();
    SendBurst(kGroup, kPort, datagrams);
    double burst = Seconds(start);
    const size_t queued = SettledQueue(listener);
    got.datagrams = static_cast<double>(queued);
    got.perSecond = queued / burst;
    if (memory) {
        got.residentPeak = ResidentMiB();
        DeliverAll(listener);
        std::this_thread::sleep_for(kQuietTime + 3 * kReceiveTimeout);
        got.residentAfter = ResidentMiB();
    }
    listener.Stop();
    return got;
}

// The same in a process that has just kept a burst as large in another listener, now
// gone: memory new to the listener, but that the system handed out and took back a
// moment ago. A burst that follows a rest finds the system's memory cold again (on a
// virtual machine that gives free memory back to its host, the first touch of it costs
// the host's fault as well), which is what receive-listener measures.
Received ReceiveListenerWarm(long datagrams) {
    {
        GroupListener earlier;
        if (earlier.Join(kPort, kWideGroup) != 0) std::exit(2);
        earlier.Start();
        SendBurst(kGroup, kPort, datagrams);
        SettledQueue(earlier);
        DeliverAll(earlier);
        earlier.Stop();
    }
    return ReceiveListener(datagrams, false, false);
}

// One binary message of `bytes` bytes to a receiver whose socket buffer is `bufferBytes`
// (forced to that, as an ordinary user is granted with net.core.rmem_max at that size).
// The raw receiver keeps every datagram in slabs and counts the fragments; the listener's
// blocks are put together by the reassembly deliveries use, on this thread, which looks
// at the queue every 100 us when it is empty (as a host's notifications would come).
// Prints "ready" once joined, then "complete T" (monotonic seconds) or "incomplete N"
// (the fragments that came) once nothing has come for a second.
void ReceiveMessage(const std::string& who, long bytes, const char* group, uint16_t port, int bufferBytes) {
    const bool raw = who == "raw";
    int fd = raw ? JoinedSocket(group, port, bufferBytes) : -1;
    GroupListener listener(bufferBytes);
    std::wstring wideGroup(group, group + std::strlen(group));
    if (!raw) {
        if (listener.Join(port, wideGroup.c_str()) != 0) std::exit(2);
        listener.Start();
    }
    std::printf("ready\n");
    std::fflush(stdout);
    SlabStore store(static_cast<size_t>(FragmentCount(static_cast<int32_t>(bytes))) + 64);
    std::vector<bool> fragments;
    long missing = -1;
    Reassembly reassembly;
    bool complete = false;
    // The first datagram may take a while (the sender starts after "ready"); after it, a
    // second without one ends the wait.
    auto last = Clock::now() + std::chrono::seconds(20);
    while (!complete && Clock::now() - last < std::chrono::seconds(1)) {
        if (raw) {
            pollfd ready{fd, POLLIN, 0};
            if (poll(&ready, 1, 100) != 1) continue;
            uint8_t* place = store.Next();
            const ptrdiff_t length = recv(fd, place, kDatagramBytes, 0);
            if (length < kHeaderBytes) continue;
            store.Keep();
            last = Clock::now();
            const DatagramHeader header = ReadHeader(place);
            if (header.data_tsize != bytes || header.tcount < 1 || header.tindex < 1 ||
                header.tindex > header.tcount)
                continue;
            if (missing < 0) {
                fragments.assign(static_cast<size_t>(header.tcount), false);
                missing = header.tcount;
            }
            if (static_cast<size_t>(header.tindex) <= fragments.size() && !fragments[header.tindex - 1]) {
                fragments[header.tindex - 1] = true;
                complete = --missing == 0;
            }
        } else {
            BlockPtr block = listener.TakeFront();
            if (!block) {
                std::this_thread::sleep_for(std::chrono::microseconds(100));
                continue;
            }
            last = Clock::now();
            if (block->length < kHeaderBytes) continue;
            const DatagramHeader header = ReadHeader(block->datagram);
            complete = header.data_type == kTypeBinary && header.data_tsize == bytes &&
                       reassembly.Take(header, block->datagram + kPayloadOffset, block->length - kHeaderBytes,
                                       false) == Reassembly::Outcome::kComplete;
        }
    }
    const double completed = std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
    if (fd >= 0) close(fd);
    listener.Stop();
    const long came = raw ? static_cast<long>(fragments.size()) - missing : reassembly.fragmentsIn();
    reassembly.Free();
    if (complete) {
        std::printf("complete %.6f\n", completed);
    } else {
        std::printf("incomplete %ld\n", came);
    }
}

// Short text datagrams, as fast as sendto goes: what a text handler is fed in the
// delivery benchmark.
double SendTexts(long datagrams, const char* group, uint16_t port) {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to = GroupAddress(group, port);
    std::vector<uint8_t> datagram(kDatagramBytes, 0);
    const char* text = "hello, group";
    const int32_t bytes = static_cast<int32_t>(2 * std::strlen(text) + 2);
    for (int i = 0; text[i]; ++i) datagram[kPayloadOffset + 2 * i] = static_cast<uint8_t>(text[i]);
    auto start = Clock::now();
    for (long i = 0; i < datagrams; ++i) {
        WriteHeader(datagram.data(), {kTypeText, static_cast<int32_t>(i + 1), bytes, 0, bytes, 1, 1});
        sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    }
    double rate = datagrams / Seconds(start);
    close(fd);
    return rate;
}

// One binary message of `bytes` bytes through a DatagramSender, repeat 1. Answers the
// moment its first datagram left, on the machine's monotonic clock, which a receiving
// process (tidehost's host.now()) reads as well.
double SendMessage(long bytes, const char* group, uint16_t port) {
    std::vector<uint8_t> block = Patterned(static_cast<size_t>(bytes));
    DatagramSender sender;
    std::wstring wideGroup(group, group + std::strlen(group));
    sender.SetDestination(port, wideGroup.c_str());
    const double began = std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
    sender.SendByteMessage(block.data(), static_cast<int32_t>(block.size()), 1);
    return began;
}

// The raw loop's loss under the load a text delivery puts on the machine: a receive
// thread that keeps nothing, beside a thread that never rests (the host thread delivering).
void ReceiveBusy(long datagrams, const char* group, uint16_t port) {
    int fd = JoinedSocket(group, port, kReceiveBufferBytes);
    std::atomic<bool> done{false};
    std::thread busy([&] {
        volatile uint64_t spins = 0;
        while (!done) spins = spins + 1;
    });
    std::printf("ready\n");
    std::fflush(stdout);
    std::vector<uint8_t> buffer(65536);
    long count = 0;
    // Until all have come, or nothing more for half a second once the first has.
    while (count < datagrams) {
        pollfd ready{fd, POLLIN, 0};
        if (poll(&ready, 1, count == 0 ? 30000 : 500) != 1) break;
        if (recv(fd, buffer.data(), buffer.size(), 0) > 0) ++count;
    }
    done = true;
    busy.join();
    close(fd);
    std::printf("%ld\n", count);
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double IdleListener(long seconds) {
    GroupListener listener;
    listener.Join(kPort, kWideGroup);
    listener.Start();
    double cpuBefore = CpuSeconds();
    auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    double percent = 100.0 * (CpuSeconds() - cpuBefore) / Seconds(start);
    listener.Stop();
    return percent;
}

}  // namespace
}  // namespace tide::bench

int main(int argc, char** argv) {
    using namespace tide::bench;
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ROW COUNT [PLUGIN_DIR]\n", argv[0]);
        return 2;
    }
    const std::string row = argv[1];
    const long count = std::atol(argv[2]);  // receive-message: its second word is raw or listener
    const std::string plugins = argc > 3 ? argv[3] : TIDE_PLUGIN_DIR;
    if (row == "send-raw") {
        std::printf("%s %.1f datagrams/s\n", row.c_str(), SendRaw(count));
    } else if (row == "send-raw-block") {
        std::printf("%s %.1f datagrams/s\n", row.c_str(), SendRawBlock(count));
    } else if (row == "send-sender") {
        std::printf("%s %.1f datagrams/s\n", row.c_str(), SendSender(count));
    } else if (row == "send-plugin") {
        std::printf("%s %.1f datagrams/s\n", row.c_str(), SendPlugin(count, plugins));
    } else if (row == "receive-raw" || row == "receive-raw-fresh" || row == "receive-raw-slab" ||
               row == "receive-listener" || row == "receive-listener-second" ||
               row == "receive-listener-warm") {
        Received got = row == "receive-raw"               ? ReceiveRaw(count)
                       : row == "receive-raw-fresh"       ? ReceiveKeepingAll<HeapStore>(count)
                       : row == "receive-raw-slab"        ? ReceiveKeepingAll<SlabStore>(count)
                       : row == "receive-listener"        ? ReceiveListener(count, false, true)
                       : row == "receive-listener-second" ? ReceiveListener(count, true, false)
                                                          : ReceiveListenerWarm(count);
        std::printf("%s %.0f datagrams %.1f datagrams/s", row.c_str(), got.datagrams, got.perSecond);
        if (row == "receive-listener")
            std::printf(" %.1f %.1f %.1f MiB", got.residentBefore, got.residentPeak, got.residentAfter);
        std::printf("\n");
    } else if (row == "receive-message" && argc > 6) {
        ReceiveMessage(argv[2], std::atol(argv[3]), argv[4], static_cast<uint16_t>(std::atoi(argv[5])),
                       std::atoi(argv[6]));
    } else if (row == "send-texts" && argc > 4) {
        std::printf("%s %.1f datagrams/s\n", row.c_str(),
                    SendTexts(count, argv[3], static_cast<uint16_t>(std::atoi(argv[4]))));
    } else if (row == "send-message" && argc > 4) {
        std::printf("%s %.6f began\n", row.c_str(),
                    SendMessage(count, argv[3], static_cast<uint16_t>(std::atoi(argv[4]))));
    } else if (row == "receive-copy" && argc > 5) {
        ReceiveCopy(count, argv[3], static_cast<uint16_t>(std::atoi(argv[4])), std::atoi(argv[5]));
    } else if (row == "receive-busy" && argc > 4) {
        ReceiveBusy(count, argv[3], static_cast<uint16_t>(std::atoi(argv[4])));
    } else if (row == "idle-listener") {
        std::printf("%s %.2f %%cpu\n", row.c_str(), IdleListener(count));
    } else {
        std::fprintf(stderr, "unknown row %s\n", row.c_str());
        return 2;
    }
    return 0;
}
