#include "file_layer.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <utility>
#include <vector>

#include "gamepath/game_path.h"
#include "signals.h"

namespace {

file_layer *layer_of(voidpf opaque) {
    return static_cast<file_layer *>(opaque);
}

// Only the first failure is kept: later ones follow from it.
void fail(file_layer *l, const char *why) {
    if (l->failure.empty())
        l->failure = why;
}

void fail(file_layer *l, int err) {
    fail(l, std::strerror(err));
}

// Read where the system shows it: setting it to read it back would leave
// other threads' new files with no mask for a moment.
mode_t current_umask() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Umask:", 0) == 0)
            return static_cast<mode_t>(std::stoul(line.substr(6), nullptr, 8));
    }
    mode_t mask = umask(022);
    umask(mask);
    return mask;
}

// Writing through a symbolic link reaches the file it names; the new
// archive must replace that file, not the link.
std::string rename_target(const char *name) {
    struct stat st;
    if (lstat(name, &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char *real = realpath(name, nullptr)) {
            std::string r = real;
            free(real);
            return r;
        }
    }
    return name;
}

// Sets the layer's target from the archive's name and refuses what may not
// be replaced: anything but a regular file, or a file we may not write.
// st_mode is 0 in *st when there is no archive yet.
bool check_target(file_layer *l, const char *name, struct stat *st) {
    l->target = rename_target(name);
    if (stat(l->target.c_str(), st) != 0) {
        st->st_mode = 0;
        if (errno == ENOENT)
            return true;
        fail(l, errno);
        return false;
    }
    if (!S_ISREG(st->st_mode)) {
        fail(l, "not a regular file");
        return false;
    }
    if (access(l->target.c_str(), W_OK) != 0) {
        fail(l, errno);
        return false;
    }
    return true;
}

const char temp_prefix[] = ".mapcrate-pack-";

// Temporary files that no running pack holds any more (it was killed before
// it could remove its own): their lock is free.
void remove_abandoned_temps(const std::string &dir) {
    dir_owner listing{opendir(dir.empty() ? "." : dir.c_str())};
    while (dirent *e = listing.d ? readdir(listing.d) : nullptr) {
        if (std::strncmp(e->d_name, temp_prefix, sizeof temp_prefix - 1) != 0 ||
            std::strlen(e->d_name) != sizeof temp_prefix - 1 + 6)
            continue;
        std::string path = dir + e->d_name;
        fd_owner held{open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
        struct stat st;
        if (held.fd >= 0 && fstat(held.fd, &st) == 0 && S_ISREG(st.st_mode) &&
            flock(held.fd, LOCK_EX | LOCK_NB) == 0)
            unlink(path.c_str());
    }
}

// A short hidden name beside the target, so that an archive name near the
// file-name limit still leaves room for it.  An old archive's permissions
// carry over; a new one's follow the umask.  The file is locked before it
// is known as ours: another pack may have removed it, unlocked, meanwhile.
bool create_temp(file_layer *l, const struct stat &old) {
    std::string dir = dir_part(l->target);
    remove_abandoned_temps(dir);
    for (;;) {
        signals_held hold;
        std::string name = dir + temp_prefix + "XXXXXX";
        fd_owner fd{mkostemp(&name[0], O_CLOEXEC)};
        int err = lock_if_still_there(fd.fd, name.c_str());
        if (err == 0 && (l->lock = fd_owner(dup(fd.fd))).fd < 0)
            err = errno;
        if (err < 0)
            continue;
        if (err != 0) {
            fail(l, err);
            if (fd.fd >= 0)
                unlink(name.c_str());
            return false;
        }
        fchmod(fd.fd, old.st_mode != 0 ? old.st_mode & 0777 : 0666 & ~current_umask());
        l->temp = name;
        l->fd = std::move(fd);
        set_signal_temp(name.c_str());
        return true;
    }
}

// Below this size writes are gathered: the library writes each header
// field by itself, a dozen calls per entry.
constexpr size_t pending_limit = 16384;

size_t write_all(file_layer *l, const char *data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = pwrite(l->fd.fd, data + done, size - done, static_cast<off_t>(l->pos + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(l, n < 0 ? errno : EIO);
            break;
        }
        done += static_cast<size_t>(n);
    }
    l->pos += static_cast<long long>(done);
    return done;
}

bool flush_pending(file_layer *l) {
    bool ok = write_all(l, l->pending.data(), l->pending.size()) == l->pending.size();
    l->pending.clear();
    return ok;
}

// The old archive's bytes into the temporary file, where the library then
// adds the new entries.
bool copy_archive(file_layer *l, uint64_t size) {
    fd_owner from(open(l->target.c_str(), O_RDONLY | O_CLOEXEC));
    if (from.fd < 0) {
        fail(l, errno);
        return false;
    }
    std::vector<char> chunk(1 << 16);
    while (static_cast<uint64_t>(l->pos) < size) {
        uint64_t at = static_cast<uint64_t>(l->pos);
        long long n =
            read_range(from.fd, chunk.data(), std::min<uint64_t>(chunk.size(), size - at), at);
        if (n <= 0) {
            fail(l, n < 0 ? errno : EIO); // an archive that shrank is not copied whole
            return false;
        }
        if (write_all(l, chunk.data(), static_cast<size_t>(n)) != static_cast<size_t>(n))
            return false;
    }
    return true;
}

voidpf ZCALLBACK layer_open(voidpf opaque, const char *filename, int mode) {
    file_layer *l = layer_of(opaque);
    if (!filename || l->fd.fd >= 0)
        return nullptr;
    l->pos = 0;
    struct stat st {};
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ) {
        l->fd.fd = open(filename, O_RDONLY | O_CLOEXEC);
        if (l->fd.fd < 0)
            fail(l, errno);
    } else if (mode & (ZLIB_FILEFUNC_MODE_EXISTING | ZLIB_FILEFUNC_MODE_CREATE)) {
        bool append = mode & ZLIB_FILEFUNC_MODE_EXISTING;
        if (!check_target(l, filename, &st) || !create_temp(l, st) ||
            (append && !copy_archive(l, static_cast<uint64_t>(st.st_size))))
            return nullptr;
    }
    return l->fd.fd >= 0 ? l : nullptr;
}

uLong ZCALLBACK layer_read(voidpf opaque, voidpf, void *buf, uLong size) {
    file_layer *l = layer_of(opaque);
    if (!flush_pending(l))
        return 0;
    long long n = read_range(l->fd.fd, buf, size, static_cast<uint64_t>(l->pos));
    if (n < 0) {
        fail(l, errno);
        return 0;
    }
    l->pos += n;
    return static_cast<uLong>(n);
}

uLong ZCALLBACK layer_write(voidpf opaque, voidpf, const void *buf, uLong size) {
    file_layer *l = layer_of(opaque);
    const char *data = static_cast<const char *>(buf);
    if (size < pending_limit) {
        if (l->pending.size() + size > pending_limit && !flush_pending(l))
            return 0;
        l->pending.append(data, size);
        return size;
    }
    if (!flush_pending(l))
        return 0;
    return write_all(l, data, size);
}

long ZCALLBACK layer_tell(voidpf opaque, voidpf) {
    file_layer *l = layer_of(opaque);
    return static_cast<long>(l->pos + static_cast<long long>(l->pending.size()));
}

long ZCALLBACK layer_seek(voidpf opaque, voidpf, uLong offset, int origin) {
    file_layer *l = layer_of(opaque);
    if (!flush_pending(l))
        return -1;
    // The library passes negative relative offsets as unsigned values.
    long long pos = static_cast<long>(offset);
    struct stat st;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        pos += l->pos;
    } else if (origin == ZLIB_FILEFUNC_SEEK_END) {
        if (fstat(l->fd.fd, &st) != 0) {
            fail(l, errno);
            return -1;
        }
        pos += st.st_size;
    }
    if (pos < 0) {
        fail(l, EINVAL);
        return -1;
    }
    l->pos = pos;
    return 0;
}

int ZCALLBACK layer_close(voidpf opaque, voidpf) {
    file_layer *l = layer_of(opaque);
    flush_pending(l);
    // Delayed allocation can report a full disk only here; the new
    // archive must be on disk before it replaces the old one.
    if (!l->temp.empty() && fsync(l->fd.fd) != 0)
        fail(l, errno);
    if (close(std::exchange(l->fd.fd, -1)) != 0)
        fail(l, errno);
    return l->failure.empty() ? 0 : -1;
}

int ZCALLBACK layer_error(voidpf opaque, voidpf) {
    return layer_of(opaque)->failure.empty() ? 0 : 1;
}

} // namespace

file_layer::~file_layer() {
    if (!temp.empty()) {
        unlink(temp.c_str());
        set_signal_temp(nullptr);
    }
}

void fill_posix_filefunc(zlib_filefunc_def *def, file_layer *layer) {
    *def = {layer_open, layer_read,  layer_write, layer_tell,
            layer_seek, layer_close, layer_error, layer};
}

int file_layer_finish(file_layer *layer, bool keep) {
    bool ok = keep && layer->failure.empty() && layer->fd.fd < 0;
    if (layer->temp.empty())
        return ok ? 0 : -1;
    bool renamed = ok && rename(layer->temp.c_str(), layer->target.c_str()) == 0;
    if (ok && !renamed)
        fail(layer, errno);
    if (!renamed)
        unlink(layer->temp.c_str());
    set_signal_temp(nullptr);
    layer->temp.clear();
    layer->lock = fd_owner();
    return renamed ? 0 : -1;
}
