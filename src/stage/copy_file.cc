// Streams one file into another inside the process: no shell sees the
// names, and memory use does not grow with the file.
#include "copy_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr size_t chunk = 1 << 20;

bool kernel_copy_unsupported(int err) {
    return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EPERM ||
           err == EBADF;
}

// Kernel-side copy where the file systems allow it, up to the size the
// source had when it was opened (the copy is of that moment's file).  Returns -1 with errno on a
// real failure or a stop (ECANCELED); otherwise 0, with offset at what was copied.
int copy_in_kernel(int in, int out, off_t size, off_t &offset, const progress_sink &sink) {
    while (offset < size) {
        if (stop_asked(sink))
            return errno = ECANCELED, -1;
        off_t out_offset = offset;
        ssize_t n = copy_file_range(in, &offset, out, &out_offset, chunk, 0);
        if (n > 0)
            continue;
        if (n == 0)
            return 0;
        if (errno == EINTR)
            continue;
        return kernel_copy_unsupported(errno) ? 0 : -1;
    }
    return 0;
}

// The rest, from offset to the end of the source, through a modest buffer;
// offset ends at what was copied.
int copy_with_buffer(int in, int out, off_t &offset, const progress_sink &sink) {
    std::vector<char> buffer(64 * 1024);
    // A call a signal interrupted is made again.
    auto uninterrupted = [](auto call) {
        ssize_t n;
        do
            n = call();
        while (n < 0 && errno == EINTR);
        return n;
    };
    for (;;) {
        if (stop_asked(sink))
            return errno = ECANCELED, -1;
        ssize_t n = uninterrupted([&] { return pread(in, buffer.data(), buffer.size(), offset); });
        if (n <= 0)
            return n == 0 ? 0 : -1;
        for (ssize_t done = 0; done < n;) {
            ssize_t w = uninterrupted([&] {
                return pwrite(out, buffer.data() + done, static_cast<size_t>(n - done),
                              offset + done);
            });
            if (w < 0)
                return -1;
            done += w;
        }
        offset += n;
    }
}

} // namespace

int copy_file(int src_fd, const struct stat &src, const char *dest_path,
              const progress_sink &sink) {
    // Owner-readable and writable whatever the source allows: the packer reads the copy back.
    mode_t mode = (src.st_mode & 0777) | S_IRUSR | S_IWUSR;
    // Not truncated yet: the destination may be the source itself.
    fd_owner out{open(dest_path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, mode)};
    struct stat dst;
    if (out.fd >= 0 && fstat(out.fd, &dst) != 0)
        return errno;
    if (out.fd >= 0 && dst.st_dev == src.st_dev && dst.st_ino == src.st_ino)
        return 0;
    // Anything else that is not a file of its own is replaced, not written through.
    if (out.fd < 0 || dst.st_nlink > 1) {
        out = fd_owner(open_own_file(dest_path, O_WRONLY | O_CREAT | O_NONBLOCK, mode));
        if (out.fd < 0 || fstat(out.fd, &dst) != 0)
            return errno;
    }
    if (!S_ISREG(dst.st_mode))
        return EINVAL;

    int failure = 0;
    off_t offset = 0;
    if ((dst.st_size != 0 && ftruncate(out.fd, 0) != 0) ||
        copy_in_kernel(src_fd, out.fd, src.st_size, offset, sink) != 0 ||
        // Pseudo files report size 0 however much they hold.
        ((offset < src.st_size || src.st_size == 0) &&
         copy_with_buffer(src_fd, out.fd, offset, sink) != 0))
        failure = errno != 0 ? errno : EIO;
    // A source that shrank while it was copied gives a short copy.
    else if (offset < src.st_size)
        failure = EIO;
    int closed = close(out.fd);
    out.fd = -1;
    if (failure == 0 && closed != 0)
        failure = errno;
    if (failure != 0)
        unlink(dest_path);
    return failure;
}

int open_own_file(const char *path, int flags, mode_t mode) {
    // Truncated only once known to be ours.
    int fd = open(path, (flags & ~O_TRUNC) | O_NOFOLLOW | O_CLOEXEC, mode);
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink <= 1)) {
        if ((flags & O_TRUNC) && ftruncate(fd, 0) != 0) {
            int err = errno;
            close(fd);
            errno = err;
            return -1;
        }
        return fd;
    }
    if (fd >= 0)
        close(fd);
    else if (errno != ELOOP)
        return -1;
    // O_NOFOLLOW fails with ELOOP on a link; the new file must be new.
    if (unlink(path) != 0)
        return -1;
    return open(path, flags | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
}

int make_folder(const char *path) {
    if (mkdir(path, 0755) == 0)
        return 0;
    int err = errno;
    // A trailing slash would follow a link to a folder.
    std::string name = path;
    while (name.size() > 1 && name.back() == '/')
        name.pop_back();
    struct stat st;
    if (err == EEXIST && lstat(name.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
        return ELOOP;
    if (err == EEXIST && (stat(path, &st) != 0 || !S_ISDIR(st.st_mode)))
        return EEXIST;
    return err == EEXIST ? 0 : err;
}

report staging_failure(const std::string &path, int err) {
    report r = report_of(err == ELOOP ? msg::staging_link_in_way : msg::staging_failed,
                         step_id::staging, path);
    if (err != ELOOP)
        r.why = std::strerror(err);
    return r;
}
