#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "base/Convert.h"
#include "base/Strings.h"

// The process's resident memory, for benchmarks that report what a transfer costs beyond its data.
namespace w20::bench {

// Resident memory in KiB; the peak since the last ResetPeak when peak is set.
inline std::int64_t ResidentKiB(bool peak) {
    std::ifstream status("/proc/self/status");
    const std::string key = peak ? "VmHWM:" : "VmRSS:";
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0)
            return StrToInt64(Trim(line.substr(key.size(), line.size() - key.size() - 3)));
    }
    return -1;
}

inline void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

}  // namespace w20::bench
