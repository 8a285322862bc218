// A converter's output as a script reads it: the bytes before its terminator, in the
// target set's units. For the converter's tests and the table both platforms print.
#pragma once

#include <cstddef>
#include <string>

#include "framework/text_converter.h"

namespace tide::testing {

// The output bytes up to (not including) its terminator of `unitBytes` zero bytes.
inline std::string OutputUnits(const TextConverter& converter, size_t unitBytes) {
    const char* out = converter.output();
    size_t bytes = 0;
    for (;;) {
        bool zero = true;
        for (size_t i = 0; i < unitBytes; ++i) zero = zero && out[bytes + i] == 0;
        if (zero) return std::string(out, bytes);
        bytes += unitBytes;
    }
}

}  // namespace tide::testing
