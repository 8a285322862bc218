// Where addresses do not fit a script's integers, no number is an address to read.
#include "emulator/tidehost/readable_memory.h"

namespace tide::tidehost {

bool IsReadable(const void*, size_t) { return false; }

}  // namespace tide::tidehost
