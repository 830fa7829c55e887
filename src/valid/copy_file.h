// In-process file copies of the staging tree (shared by the staging and
// the argument-list walk; not part of the program's interface).
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

// Closes the descriptor it holds when it goes out of scope.  Move-only: a
// copy would close the descriptor twice.
struct fd_owner {
    int fd = -1;
    explicit fd_owner(int d) : fd(d) {}
    fd_owner(fd_owner &&o) noexcept : fd(std::exchange(o.fd, -1)) {}
    fd_owner &operator=(fd_owner &&) = delete;
    fd_owner(const fd_owner &) = delete;
    ~fd_owner() {
        if (fd >= 0)
            close(fd);
    }
};

// Closes the directory listing it holds; move-only for the same reason.
struct dir_owner {
    DIR *d = nullptr;
    explicit dir_owner(DIR *dir) : d(dir) {}
    dir_owner(dir_owner &&o) noexcept : d(std::exchange(o.d, nullptr)) {}
    dir_owner &operator=(dir_owner &&) = delete;
    dir_owner(const dir_owner &) = delete;
    ~dir_owner() {
        if (d)
            closedir(d);
    }
};

// Opens path for reading when it is a regular file, without blocking on a
// named pipe; returns the descriptor and fills st, or returns -1 (folders
// included).
int open_as_file(const char *path, struct stat &st);

// Copies the file open on src_fd (whose status is src), from its start, to
// dest_path, creating or replacing it.  A destination that is the source
// itself is left alone.  Returns 0, or the errno of the step that failed
// (the partial copy is then removed).
int copy_file(int src_fd, const struct stat &src, const char *dest_path);

// Creates the folder, or finds it already there; returns 0 or the errno of
// the failure (EEXIST when something that is not a folder has the name).
int make_folder(const char *path);
