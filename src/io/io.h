// Small owners and readers shared by every unit that touches files: one
// way to close a descriptor, a stream or a listing, and one way to read a
// range of a file.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Closes the descriptor it holds when it goes out of scope.  Move-only: a
// copy would close the descriptor twice.
struct fd_owner {
    int fd = -1;
    explicit fd_owner(int d = -1) : fd(d) {}
    fd_owner(fd_owner &&o) noexcept : fd(std::exchange(o.fd, -1)) {}
    fd_owner &operator=(fd_owner &&o) noexcept {
        // old closes what was held; a move to itself keeps the descriptor.
        fd_owner old{std::exchange(fd, std::exchange(o.fd, -1))};
        return *this;
    }
    ~fd_owner() {
        if (fd >= 0)
            close(fd);
    }
};

// Closes the directory listing it holds; move-only for the same reason.
struct dir_owner {
    DIR *d = nullptr;
    explicit dir_owner(DIR *dir = nullptr) : d(dir) {}
    dir_owner(dir_owner &&o) noexcept : d(std::exchange(o.d, nullptr)) {}
    dir_owner &operator=(dir_owner &&) = delete;
    ~dir_owner() {
        if (d)
            closedir(d);
    }
};

struct file_closer {
    void operator()(std::FILE *f) const {
        std::fclose(f);
    }
};
// Closes the stream it holds.
using file_owner = std::unique_ptr<std::FILE, file_closer>;

// Reads up to n bytes at offset into buffer, going on after short reads and
// interrupted calls.  Returns the count read (less than n only at the end of
// the file), or -1 on a read error.
long long read_range(int fd, void *buffer, std::uint64_t n, std::uint64_t offset);

// Opens path for reading when it is a regular file, without blocking on a
// named pipe; returns the descriptor and fills st, or returns -1 (folders
// included).
int open_as_file(const char *path, struct stat &st);

// The whole of a regular file, when it holds at most limit bytes and reads
// to its end; false otherwise.
bool read_whole_file(const char *path, std::string &out, std::uint64_t limit);

// Hands the regular file at path, from its start, to each in pieces of at
// most piece bytes, until its end or limit bytes, or until each returns
// false.  False when it is no regular file, a read fails or each stopped it.
bool read_pieces(const char *path, std::size_t piece, std::uint64_t limit,
                 const std::function<bool(std::string_view)> &each);

// The names in the folder at path, "." and ".." left out, in listing order,
// added to names; false when it cannot be listed.
bool folder_names(const std::string &path, std::vector<std::string> &names);

// path as the system resolves it (links, "." and ".."); empty when it
// cannot.
std::string real_path(const std::string &path);

// The little-endian 32-bit word at p.
inline std::uint32_t le32(const unsigned char *p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Locks fd, just made at name by this process, and checks that name still
// leads to it: another process may have taken it for one left behind and
// removed it, unlocked, meanwhile.  Returns 0 when it is locked and still
// there, -1 when name leads elsewhere (make another), or errno when fd is
// negative (the making failed) or the lock failed.
int lock_if_still_there(int fd, const char *name);

// A member that keeps its owner from being copied (or moved): for owners
// whose destructor undoes, once, what they hold.
struct no_copy {
    no_copy() = default;
    no_copy(const no_copy &) = delete;
    no_copy &operator=(const no_copy &) = delete;
};
