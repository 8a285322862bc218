// The instance variables both script objects share. Host's thread only; the receive
// thread never touches any of it.
#pragma once

#include <cstdint>

#include "framework/moa_utils.h"
#include "host/values.h"

namespace tide {

// Room for a character-set name and its NUL.
constexpr uint32_t kSetNameBytes = 256;
constexpr const char* kDefaultDirectorCode = "UTF-8";

// Handles of the addresses this object has handed to scripts (0: none yet). Withdrawn
// when the object goes.
struct PublishedAddresses {
    uint32_t scriptClassId;
    uint32_t worker;
    uint32_t workerField;
    uint32_t valueInterface;
};

struct ObjectState {
    MoaUtils* utils;                   // every host value operation of the object
    char directorCode[kSetNameBytes];  // the host's character set, "char"-encoded
    void* worker;                      // GroupListener or DatagramSender; null if short of memory
    PublishedAddresses addresses;
    host::Unknown* valueInterface;  // the object's own value interface (not a counted reference)
};

}  // namespace tide
