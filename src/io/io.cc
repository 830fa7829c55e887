#include "io/io.h"

#include <fcntl.h>
#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

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

int open_as_file(const char *path, struct stat &st) {
    // O_NONBLOCK only matters while a named pipe could be opened; it has
    // no effect on the reads of a regular file.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    return fd;
}

bool read_whole_file(const char *path, std::string &out, std::uint64_t limit) {
    struct stat st;
    fd_owner in{open_as_file(path, st)};
    if (in.fd < 0 || static_cast<std::uint64_t>(st.st_size) > limit)
        return false;
    out.resize(static_cast<size_t>(st.st_size));
    return read_range(in.fd, out.data(), out.size(), 0) == static_cast<long long>(out.size());
}

bool read_pieces(const char *path, std::size_t piece, std::uint64_t limit,
                 const std::function<bool(std::string_view)> &each) {
    struct stat st;
    fd_owner in{open_as_file(path, st)};
    std::string buffer(static_cast<size_t>(std::min<std::uint64_t>(piece, limit)), '\0');
    for (std::uint64_t at = 0; in.fd >= 0 && at < limit;) {
        long long n =
            read_range(in.fd, buffer.data(), std::min<std::uint64_t>(piece, limit - at), at);
        if (n <= 0)
            return n == 0;
        if (!each(std::string_view(buffer.data(), static_cast<size_t>(n))))
            return false;
        at += static_cast<std::uint64_t>(n);
    }
    return in.fd >= 0;
}

bool folder_names(const std::string &path, std::vector<std::string> &names) {
    dir_owner listing{opendir(path.c_str())};
    if (!listing.d)
        return false;
    while (dirent *e = readdir(listing.d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    return true;
}

std::string real_path(const std::string &path) {
    char *resolved = realpath(path.c_str(), nullptr);
    std::string real = resolved ? resolved : std::string();
    std::free(resolved);
    return real;
}

int lock_if_still_there(int fd, const char *name) {
    if (fd < 0 || flock(fd, LOCK_EX) != 0)
        return errno;
    struct stat mine, there;
    if (fstat(fd, &mine) != 0 || lstat(name, &there) != 0 || mine.st_ino != there.st_ino ||
        mine.st_dev != there.st_dev)
        return -1;
    return 0;
}
