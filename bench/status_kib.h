// A figure of /proc/self/status in KiB (VmRSS:, VmHWM:), or -1.
#pragma once

#include <cstring>
#include <fstream>
#include <string>

inline long status_kib(const char *key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::stol(line.substr(std::strlen(key)));
    return -1;
}
