// The end-of-string of TavkSetEos(mode, flag) as the real drivers read it, after the simulated
// board: mode 0 with flag 0 CR+LF, 1 CR, 2 LF, 3 (or mode 0 with flag 1) EOI alone. Pure.
#pragma once
#include <stdint.h>
#include <string>

inline std::string DriverEosBytes(uint32_t mode, uint32_t flag)
{
    if (mode == 0 && flag == 0) return "\r\n";
    if (mode == 1) return "\r";
    if (mode == 2) return "\n";
    return std::string();
}
