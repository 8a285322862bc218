// Whether a range of this process's memory can be read without a fault: how host.peek
// checks an address a plug-in handed to a script when the host offers no address table
// (readable_memory_windows.cpp asks VirtualQuery; elsewhere no such range is vouched for,
// since addresses there do not fit a script's integers). Host's thread only.
#pragma once

#include <cstddef>

namespace tide::tidehost {

bool IsReadable(const void* base, size_t length);

}  // namespace tide::tidehost
