// Whether a range of this process's memory can be read without a fault: how host.peek
// checks an address a plug-in handed to a script when the host offers no address table
// (readable_memory_windows.cpp asks VirtualQuery, readable_memory_posix.cpp the kernel;
// where addresses do not fit a script's integers no range is vouched for). Host's thread
// only.
#pragma once

#include <cstddef>

namespace tide::tidehost {

bool IsReadable(const void* base, size_t length);

}  // namespace tide::tidehost
