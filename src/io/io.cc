#include "io/io.h"

#include <cerrno>

long long read_range(int fd, void *buffer, std::uint64_t n, std::uint64_t offset) {
    auto *p = static_cast<unsigned char *>(buffer);
    std::uint64_t done = 0;
    while (done < n) {
        ssize_t r = pread(fd, p + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return -1;
        if (r == 0)
            break;
        done += static_cast<std::uint64_t>(r);
    }
    return static_cast<long long>(done);
}
