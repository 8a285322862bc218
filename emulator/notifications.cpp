// The notification service of the emulated host.
#include "emulator/notifications.h"

#include <cstdio>

#include "host/ids.h"

namespace tide::emulator {

NotificationServiceObject::NotificationServiceObject(Ledger& ledger, host::Unknown* callback)
    : CountedInterface(ledger, "NotificationService", &host::kIidNotificationService, callback) {}

host::Status NotificationServiceObject::Register(host::NotificationClient* client,
                                                 const host::InterfaceId* notifyId, uint32_t /*flags*/,
                                                 void* refData) {
    if (!ledger_.OnHostThread("NotificationService::Register")) return kWrongThread;
    if (!client || !notifyId) {
        Misuse("Register with a null client or notification id");
        return kBadArgument;
    }
    for (const Registration& registration : registrations_) {
        if (registration.client == client && registration.notifyId == *notifyId) {
            Misuse("Register of a client that is registered already for " + IdText(*notifyId));
            return kBadArgument;
        }
    }
    client->AddRef();
    registrations_.push_back(Registration{nextId_++, client, *notifyId, refData});
    return host::kOk;
}

host::Status NotificationServiceObject::Unregister(host::NotificationClient* client,
                                                   const host::InterfaceId* notifyId, uint32_t /*flags*/) {
    if (!ledger_.OnHostThread("NotificationService::Unregister")) return kWrongThread;
    if (!client || !notifyId) {
        Misuse("Unregister with a null client or notification id");
        return kBadArgument;
    }
    for (auto it = registrations_.begin(); it != registrations_.end(); ++it) {
        if (it->client != client || !(it->notifyId == *notifyId)) continue;
        registrations_.erase(it);
        client->Release();  // may destroy the client's object: touch nothing of it after
        return host::kOk;
    }
    Misuse("Unregister of a client that is not registered for " + IdText(*notifyId));
    return kBadArgument;
}

size_t NotificationServiceObject::Notify() {
    if (!ledger_.OnHostThread("Notify")) return 0;
    // Registrations may come and go while clients run: work from the ids of this round.
    std::vector<uint64_t> round;
    for (const Registration& registration : registrations_) {
        if (registration.notifyId == host::kNotifyIdle) round.push_back(registration.id);
    }
    size_t calls = 0;
    for (uint64_t id : round) {
        host::NotificationClient* client = nullptr;
        void* refData = nullptr;
        for (const Registration& registration : registrations_) {
            if (registration.id == id) {
                client = registration.client;
                refData = registration.refData;
            }
        }
        if (!client) continue;  // unregistered by an earlier client of this round
        // Our own reference for the call: the client may unregister (and its object
        // die) inside the call, and must stay whole until it returns.
        client->AddRef();
        client->HandleNotification(&host::kNotifyIdle, nullptr, refData);
        client->Release();
        ++ledger_.counters().notifications;
        ++calls;
    }
    return calls;
}

std::vector<std::string> NotificationServiceObject::DescribeLive() const {
    std::vector<std::string> lines;
    for (const Registration& registration : registrations_) {
        char text[64];
        std::snprintf(text, sizeof text, "notification client %p for ",
                      static_cast<void*>(registration.client));
        lines.push_back(text + IdText(registration.notifyId));
    }
    return lines;
}

size_t NotificationServiceObject::UnregisterAll() {
    size_t ended = 0;
    while (!registrations_.empty()) {
        host::NotificationClient* client = registrations_.back().client;
        registrations_.pop_back();
        client->Release();
        ++ended;
    }
    return ended;
}

}  // namespace tide::emulator
