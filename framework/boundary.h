// Nothing thrown inside a module may reach the host: every entry the host calls runs its
// body through Guard, which turns an escaping exception into a status.
#pragma once

#include "host/component.h"

namespace tide {

template <class Body>
host::Status Guard(Body body) noexcept {
    try {
        return body();
    } catch (...) {
        // Only allocation can throw in these bodies.
        return host::kNoMemory;
    }
}

}  // namespace tide
