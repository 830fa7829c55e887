// Streams one file into another inside the process: no shell sees the
// names, and memory use does not grow with the file.
#include "copy_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace {

struct fd_owner {
    int fd;
    ~fd_owner() {
        if (fd >= 0)
            close(fd);
    }
};

constexpr size_t chunk = 1 << 20;

// Kernel-side copy where the file systems allow it.  Returns -1 with
// errno when nothing could be copied this way and the caller should fall
// back to plain reads and writes; any bytes it moved advance both offsets.
int copy_in_kernel(int in, int out, bool &done) {
    done = false;
    bool moved_any = false;
    for (;;) {
        ssize_t n = copy_file_range(in, nullptr, out, nullptr, chunk, 0);
        if (n > 0) {
            moved_any = true;
            continue;
        }
        if (n == 0) {
            // Some pseudo file systems report end of file at once: let the
            // plain loop have a look before calling the copy complete.
            done = moved_any;
            return 0;
        }
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
            errno == EPERM || errno == EBADF)
            return 0;
        return -1;
    }
}

int copy_with_buffer(int in, int out) {
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        ssize_t n = read(in, buffer.data(), buffer.size());
        if (n == 0)
            return 0;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        for (ssize_t off = 0; off < n;) {
            ssize_t w = write(out, buffer.data() + off, static_cast<size_t>(n - off));
            if (w < 0) {
                if (errno == EINTR)
                    continue;
                return -1;
            }
            off += w;
        }
    }
}

} // namespace

int open_as_file(const char *path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

int copy_file(int src_fd, const char *dest_path) {
    struct stat src;
    if (fstat(src_fd, &src) != 0)
        return errno;
    // Owner-writable, so that a later Execute can replace the copy.
    mode_t mode = (src.st_mode & 0777) | S_IRUSR | S_IWUSR;
    // Not truncated yet: the destination may be the source itself.
    fd_owner out{open(dest_path, O_WRONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, mode)};
    if (out.fd < 0)
        return errno;
    struct stat dst;
    if (fstat(out.fd, &dst) != 0)
        return errno;
    if (!S_ISREG(dst.st_mode))
        return EINVAL;
    if (dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)
        return 0;

    int failure = 0;
    bool done = false;
    if (ftruncate(out.fd, 0) != 0 || lseek(src_fd, 0, SEEK_SET) != 0 ||
        copy_in_kernel(src_fd, out.fd, done) != 0 ||
        (!done && copy_with_buffer(src_fd, out.fd) != 0))
        failure = errno != 0 ? errno : EIO;
    int closed = close(out.fd);
    out.fd = -1;
    if (failure == 0 && closed != 0)
        failure = errno;
    if (failure != 0)
        unlink(dest_path);
    return failure;
}
