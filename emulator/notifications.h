// The notification service of the emulated host and its pump. A registration holds a
// reference to its client until Unregister; the pump calls every client registered for
// the idle notification once, on the host's thread. A client may unregister, and even be
// destroyed, from inside its own notification.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "emulator/counted_interface.h"
#include "host/notification.h"

namespace tide::emulator {

class NotificationServiceObject final : public CountedInterface<host::NotificationService> {
public:
    NotificationServiceObject(Ledger& ledger, host::Unknown* callback);

    host::Status TIDE_CALL Register(host::NotificationClient* client, const host::InterfaceId* notifyId,
                                    uint32_t flags, void* refData) override;
    host::Status TIDE_CALL Unregister(host::NotificationClient* client, const host::InterfaceId* notifyId,
                                      uint32_t flags) override;

    // Calls HandleNotification(&kNotifyIdle, nullptr, refData) once on every client
    // registered for it when the pump starts (and still registered when its turn
    // comes). Returns the number of calls made.
    size_t Notify();

    size_t clients() const { return registrations_.size(); }
    std::vector<std::string> DescribeLive() const;
    // Ends every registration, releasing the clients; the number ended.
    size_t UnregisterAll();

private:
    struct Registration {
        uint64_t id;
        host::NotificationClient* client;
        host::InterfaceId notifyId;
        void* refData;
    };

    std::vector<Registration> registrations_;
    uint64_t nextId_ = 1;
};

}  // namespace tide::emulator
