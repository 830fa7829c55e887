#include "file_layer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>

namespace {

file_layer *layer_of(voidpf opaque) {
    return static_cast<file_layer *>(opaque);
}

std::string dir_part(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
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

// A short hidden name, so that an archive name near the file-name limit
// still leaves room for it.
int create_temp(file_layer *l, const std::string &dir) {
    std::string name = dir + ".mapcrate-pack-XXXXXX";
    int fd = mkostemp(&name[0], O_CLOEXEC);
    if (fd < 0)
        return -1;
    // The archive's mode follows the umask, as for any new file.
    fchmod(fd, 0666 & ~current_umask());
    l->temp = name;
    return fd;
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

voidpf ZCALLBACK layer_open(voidpf opaque, const char *filename, int mode) {
    file_layer *l = layer_of(opaque);
    if (!filename || l->fd >= 0)
        return nullptr;
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) == ZLIB_FILEFUNC_MODE_READ) {
        l->fd = open(filename, O_RDONLY | O_CLOEXEC);
    } else if (mode & ZLIB_FILEFUNC_MODE_EXISTING) {
        l->fd = open(filename, O_RDWR | O_CLOEXEC);
    } else if (mode & ZLIB_FILEFUNC_MODE_CREATE) {
        // Refuse what truncating the file in place would refuse: a
        // folder, or a file we may not write.
        std::string target = rename_target(filename);
        struct stat st;
        if (stat(target.c_str(), &st) == 0 &&
            (S_ISDIR(st.st_mode) || access(target.c_str(), W_OK) != 0))
            return nullptr;
        l->fd = create_temp(l, dir_part(target));
        l->target = target;
    }
    l->pos = 0;
    return l->fd >= 0 ? l : nullptr;
}

// Below this size writes are gathered: the library writes each header
// field by itself, a dozen calls per entry.
constexpr size_t pending_limit = 16384;

size_t write_all(file_layer *l, const char *data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(l->fd, data + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            l->failed = true;
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

uLong ZCALLBACK layer_read(voidpf opaque, voidpf, void *buf, uLong size) {
    file_layer *l = layer_of(opaque);
    if (!flush_pending(l))
        return 0;
    uLong done = 0;
    while (done < size) {
        ssize_t n = read(l->fd, static_cast<char *>(buf) + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            l->failed = true;
        if (n <= 0)
            break;
        done += static_cast<uLong>(n);
    }
    l->pos += static_cast<long long>(done);
    return done;
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
    int whence = origin == ZLIB_FILEFUNC_SEEK_CUR   ? SEEK_CUR
                 : origin == ZLIB_FILEFUNC_SEEK_END ? SEEK_END
                                                    : SEEK_SET;
    // The library passes negative relative offsets as unsigned values.
    off_t pos = lseek(l->fd, static_cast<off_t>(static_cast<long>(offset)), whence);
    if (pos < 0) {
        l->failed = true;
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
    if (!l->temp.empty() && fsync(l->fd) != 0)
        l->failed = true;
    if (close(l->fd) != 0)
        l->failed = true;
    l->fd = -1;
    return l->failed ? -1 : 0;
}

int ZCALLBACK layer_error(voidpf opaque, voidpf) {
    return layer_of(opaque)->failed ? 1 : 0;
}

} // namespace

file_layer::~file_layer() {
    if (fd >= 0)
        close(fd);
    if (!temp.empty())
        unlink(temp.c_str());
}

void fill_posix_filefunc(zlib_filefunc_def *def, file_layer *layer) {
    def->zopen_file = layer_open;
    def->zread_file = layer_read;
    def->zwrite_file = layer_write;
    def->ztell_file = layer_tell;
    def->zseek_file = layer_seek;
    def->zclose_file = layer_close;
    def->zerror_file = layer_error;
    def->opaque = layer;
}

int file_layer_finish(file_layer *layer, bool closed_ok) {
    bool ok = closed_ok && !layer->failed && layer->fd < 0;
    if (layer->temp.empty())
        return ok ? 0 : -1;
    if (ok && rename(layer->temp.c_str(), layer->target.c_str()) == 0) {
        layer->temp.clear();
        return 0;
    }
    unlink(layer->temp.c_str());
    layer->temp.clear();
    return -1;
}
