// The emulated host's books.
#include "emulator/ledger.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tide::emulator {

Ledger::Ledger() : hostThread_(ThreadMarker()) {}

bool Ledger::OffHostThread(const char* entry) {
    Error(std::string(entry) + " was called from a thread other than the host's");
    return false;
}

void Ledger::Error(std::string message) {
    std::lock_guard<std::mutex> hold(errorsLock_);
    errors_.push_back(std::move(message));
}

std::vector<std::string> Ledger::errors() const {
    std::lock_guard<std::mutex> hold(errorsLock_);
    return errors_;
}

void Ledger::ClearErrors() {
    std::lock_guard<std::mutex> hold(errorsLock_);
    errors_.clear();
}

uint64_t* Ledger::QueryCounter(const host::InterfaceId& iid) {
    for (auto& entry : queriesById_)
        if (entry.first == iid) return &entry.second;
    return &queriesById_.emplace_back(iid, 0).second;
}

uint64_t Ledger::QueriesFor(const host::InterfaceId& iid) const {
    for (const auto& entry : queriesById_)
        if (entry.first == iid) return entry.second;
    return 0;
}

void Ledger::Track(const InterfaceRefs* refs) { tracked_.push_back(refs); }

void Ledger::Untrack(const InterfaceRefs* refs) {
    tracked_.erase(std::remove(tracked_.begin(), tracked_.end(), refs), tracked_.end());
}

size_t Ledger::OutstandingRefs() const {
    size_t total = 0;
    for (const InterfaceRefs* refs : tracked_) total += refs->refs;
    return total;
}

std::vector<std::string> Ledger::DescribeOutstandingRefs() const {
    std::vector<std::string> lines;
    for (const InterfaceRefs* refs : tracked_) {
        if (refs->refs > 0) lines.push_back(refs->name + ": " + std::to_string(refs->refs));
    }
    return lines;
}

void Ledger::AddHostObject(const void* object, std::string kind, std::function<void()> destroy) {
    hostObjects_[object] = HostObject{std::move(kind), std::move(destroy)};
}

void Ledger::RemoveHostObject(const void* object) { hostObjects_.erase(object); }

const std::string* Ledger::HostObjectKind(const void* object) const {
    auto found = hostObjects_.find(object);
    return found == hostObjects_.end() ? nullptr : &found->second.kind;
}

std::vector<std::string> Ledger::DescribeHostObjects() const {
    std::vector<std::string> lines;
    for (const auto& object : hostObjects_) {
        char address[32];
        std::snprintf(address, sizeof address, " at %p", object.first);
        lines.push_back(object.second.kind + address);
    }
    return lines;
}

void Ledger::DestroyHostObjects() {
    std::map<const void*, HostObject> leftovers;
    leftovers.swap(hostObjects_);
    for (auto& object : leftovers) {
        if (object.second.destroy) object.second.destroy();
    }
    hostObjects_.clear();
}

std::string IdText(const host::Id& id) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(id.data1), id.data2, id.data3, id.data4[0], id.data4[1], id.data4[2],
                  id.data4[3], id.data4[4], id.data4[5], id.data4[6], id.data4[7]);
    return text;
}

}  // namespace tide::emulator
