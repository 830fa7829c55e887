#include "pk3_dir.h"

#include <fcntl.h>
#include <malloc.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "deflate_pool.h"
#include "file_layer.h"
#include "io/io.h"
#include "report/shown.h"
#include "signals.h"
#include "zip_crypt.h"

namespace {

constexpr unsigned long write_buffer_size = 16384;
constexpr size_t max_name_bytes = 255;

struct free_deleter {
    void operator()(void *p) const {
        free(p);
    }
};

// Years outside what the MS-DOS format holds are clamped to its ends
// rather than wrapped into a wrong date.
uLong dos_date_time(const struct tm &t) {
    int year = t.tm_year + 1900;
    if (year < 1980)
        return (1UL << 16) | (1UL << 21);
    if (year > 2107)
        return (127UL << 25) | (12UL << 21) | (31UL << 16) | (23UL << 11) | (59UL << 5) | 29UL;
    return (static_cast<uLong>(year - 1980) << 25) | (static_cast<uLong>(t.tm_mon + 1) << 21) |
           (static_cast<uLong>(t.tm_mday) << 16) | (static_cast<uLong>(t.tm_hour) << 11) |
           (static_cast<uLong>(t.tm_min) << 5) |
           (static_cast<uLong>(t.tm_sec > 59 ? 59 : t.tm_sec) / 2);
}

bool is_skipped_option(const char *arg) {
    if (strlen(arg) != 2 || (arg[0] != '-' && arg[0] != '/'))
        return false;
    return strchr("oOaApP0123456789", arg[1]) != nullptr;
}

struct options {
    int overwrite = 0; // 0 ask, 1 create or replace, 2 append
    int level = Z_DEFAULT_COMPRESSION;
    int name_index = 0;
    const char *password = nullptr;
};

// Options come before the archive's name: what follows it is files, whose
// names may begin with a dash.
options parse_options(int argc, char **argv) {
    options o;
    for (int i = 1; i < argc && o.name_index == 0; ++i) {
        const char *arg = argv[i];
        if (arg[0] != '-') {
            o.name_index = i;
            continue;
        }
        // i moves past a password while the cluster is still examined.
        for (const char *c = arg + 1; *c; ++c) {
            if (*c == 'o' || *c == 'O')
                o.overwrite = 1;
            else if (*c == 'a' || *c == 'A')
                o.overwrite = 2;
            else if (*c >= '0' && *c <= '9')
                o.level = *c - '0';
            else if ((*c == 'p' || *c == 'P') && i + 1 < argc)
                o.password = argv[++i];
        }
    }
    return o;
}

std::string archive_name(const char *arg) {
    std::string name(arg, strnlen(arg, max_name_bytes));
    if (name.find('.') == std::string::npos)
        name += ".zip";
    return name;
}

// The overwrite question; false when the user declined.  Ends the process
// when no answer can be read.
bool ask_overwrite(const std::string &name, int &overwrite) {
    char answer[2] = {};
    do {
        printf("The file %s exists. Overwrite ? [y]es, [n]o, [a]ppend : ", name.c_str());
        fflush(stdout);
        if (scanf("%1s", answer) != 1)
            exit(1);
        if (answer[0] >= 'a' && answer[0] <= 'z')
            answer[0] = static_cast<char>(answer[0] - 'a' + 'A');
    } while (answer[0] != 'Y' && answer[0] != 'N' && answer[0] != 'A');
    if (answer[0] == 'N')
        return false;
    if (answer[0] == 'A')
        overwrite = 2;
    return true;
}

// One pack: the archive, its file layer and what the entries share.
struct packing {
    zipFile zf = nullptr;
    file_layer layer;
    options o;
    const char *archive = "";
    unsigned char *buf = nullptr;
    bool failed = false;       // an entry failed though adding went on
    bool reason_shown = false; // the layer's failure has been printed
    outcome first;             // the first failure, for the caller
};

// A failure line about name, then its reason on a line of its own.  The
// first failure is kept, on the file whose call failed: the one read when
// reading, else the archive.
void report(packing *p, const char *format, const char *name, std::string reason,
            bool reading = false) {
    printf(format, shown(name).c_str());
    if (!reason.empty())
        printf("%s\n", reason.c_str());
    if (p->first.step != failed_step::none)
        return;
    if (reason.empty())
        reason = "the zip library refused it";
    p->first = {failed_step::packing, reading ? name : p->archive, reason};
}

// Why the layer failed, the first time it is asked; empty afterwards, as
// the failures that follow come from it.
std::string layer_reason(packing *p) {
    if (p->reason_shown)
        return {};
    p->reason_shown = !p->layer.failure.empty();
    return p->layer.failure;
}

// Reads up to size bytes into buf and returns the count.  A read that
// stops before the end sets *read_error to its errno; what came back still
// counts.
size_t read_chunk(FILE *in, void *buf, size_t size, int *read_error) {
    errno = 0;
    size_t n = fread(buf, 1, size, in);
    if (n < size && feof(in) == 0)
        *read_error = errno != 0 ? errno : EIO;
    return n;
}

// Opens the entry named path, dated as the file source: raw when its data
// comes deflated already, through encoder when a password is set.
int open_entry(packing *p, const char *path, const char *source, int raw, entry_encoder *encoder,
               uLong crc) {
    zip_fileinfo zi;
    memset(&zi, 0, sizeof zi);
    filetime(source, &zi.tmz_date, &zi.dosDate);
    int level = p->o.level;
    // An encrypted entry is stored raw: the encoder compresses and encrypts.
    int err = zipOpenNewFileInZip4(p->zf, path, &zi, nullptr, 0, nullptr, 0, nullptr,
                                   level != 0 ? Z_DEFLATED : 0, level, encoder ? 1 : raw,
                                   -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                                   name_flags(path) | (encoder ? 1 : 0));
    if (err == ZIP_OK && encoder)
        err = encoder_start(encoder, p->zf, level, p->o.password, crc);
    if (err != ZIP_OK)
        report(p, "error in opening %s in zipfile\n", path, layer_reason(p));
    return err;
}

// Adds the file source as the entry path, streaming it.  Returns the error
// state (0 to go on); failures that do not stop the adding set p->failed.
int add_entry(packing *p, const char *path, const char *source) {
    uLong crc = 0;
    // The entry is still written, encrypted with the CRC computed so far.
    if (p->o.password && getFileCrc(source, p->buf, write_buffer_size, &crc) != 0) {
        p->failed = true;
        if (p->first.step == failed_step::none)
            p->first = {failed_step::packing, path, strerror(errno)};
    }
    entry_encoder encoder;
    int err = open_entry(p, path, source, 0, p->o.password ? &encoder : nullptr, crc);
    file_owner in;
    if (err == ZIP_OK) {
        in.reset(fopen(source, "rb"));
        if (!in) {
            err = -1;
            report(p, "error in opening %s for reading\n", path, strerror(errno), true);
        }
    }
    while (err == ZIP_OK) {
        int read_error = 0;
        size_t size_read = read_chunk(in.get(), p->buf, write_buffer_size, &read_error);
        if (read_error != 0)
            report(p, "error in reading %s\n", path, strerror(read_error), true);
        // The bytes that came are still written and the copy goes on.
        err = read_error != 0 ? -1 : ZIP_OK;
        p->failed = p->failed || read_error != 0;
        if (size_read > 0) {
            err = p->o.password
                      ? encoder_write(&encoder, p->zf, p->buf, size_read)
                      : zipWriteInFileInZip(p->zf, p->buf, static_cast<unsigned>(size_read));
            if (err < 0)
                report(p, "error in writing %s in the zipfile\n", path, layer_reason(p));
        }
        if (size_read == 0)
            break;
    }
    in.reset();
    if (err < 0)
        return -1; // the library closes the entry with the archive
    err = p->o.password ? encoder_close(&encoder, p->zf) : zipCloseFileInZip(p->zf);
    if (err != ZIP_OK)
        report(p, "error in closing %s in the zipfile\n", path, layer_reason(p));
    return err;
}

// Adds the file whose parts come next from the pool: deflated parts go in
// raw; a file the workers did not read goes the streaming way, which meets
// and reports its failure as it always did.  Same results as add_entry.
int add_deflated(packing *p, deflate_pool *pool, const char *path, const char *source) {
    deflated_part *part = pool_front(pool);
    if (!part)
        return -1;
    if (part->state == part_state::unread) {
        // Later pieces of the file come all the same; they are not used.
        bool last = part->last;
        pool_drop_front(pool);
        while (!last && (part = pool_front(pool))) {
            last = part->last;
            pool_drop_front(pool);
        }
        return add_entry(p, path, source);
    }
    int err = open_entry(p, path, source, 1, nullptr, 0);
    if (err != ZIP_OK)
        return err;
    uLong crc = 0;
    uint64_t size = 0;
    for (;; part = pool_front(pool)) {
        if (!part)
            return -1;
        // A later piece that read short or long: the file changed while
        // it was packed, and the entry cannot be whole.
        if (part->state != part_state::deflated) {
            report(p, "error in reading %s\n", path,
                   part->error != 0 ? strerror(part->error) : "the file changed while it was read",
                   true);
            return -1;
        }
        if (zipWriteInFileInZip(p->zf, part->out.get(), static_cast<unsigned>(part->out_size)) <
            0) {
            report(p, "error in writing %s in the zipfile\n", path, layer_reason(p));
            return -1;
        }
        crc = crc32_combine(crc, part->crc, static_cast<z_off_t>(part->size));
        size += part->size;
        bool last = part->last;
        pool_drop_front(pool);
        if (last)
            break;
    }
    err = zipCloseFileInZipRaw(p->zf, size, crc);
    if (err != ZIP_OK)
        report(p, "error in closing %s in the zipfile\n", path, layer_reason(p));
    return err;
}

// Opens the archive, adds the files after the name (read from source_dir),
// closes it.  Only when every step succeeded does the new archive replace
// the old one; returns 0 then, -1 otherwise, with the first failure in
// *failure.
int write_archive(int argc, char **argv, const options &o, const std::string &name,
                  unsigned char *buf, const pack_limits &limits, outcome *failure,
                  const std::string &source_dir) {
    packing p;
    p.o = o;
    p.archive = name.c_str();
    p.buf = buf;
    zlib_filefunc_def ffunc;
    fill_posix_filefunc(&ffunc, &p.layer);
    int append = o.overwrite == 2 ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE;
    p.zf = zipOpen2(name.c_str(), append, nullptr, &ffunc);

    int err = 0;
    if (!p.zf) {
        std::string why = layer_reason(&p);
        // Without a failure of the layer, the library found no archive to add to.
        if (why.empty())
            why = o.overwrite == 2 ? "not a zip archive" : strerror(ENOMEM);
        report(&p, "error opening %s\n", name.c_str(), why);
        err = -1;
    } else {
        printf("creating %s\n", name.c_str());
    }

    std::vector<const char *> files;
    for (int i = o.name_index + 1; i < argc; ++i) {
        if (!is_skipped_option(argv[i]))
            files.push_back(argv[i]);
    }
    std::vector<std::string> source_paths;
    std::vector<const char *> sources = files;
    if (!source_dir.empty()) {
        source_paths.reserve(files.size());
        for (size_t i = 0; i < files.size(); ++i)
            sources[i] = source_paths.emplace_back(source_dir + files[i]).c_str();
    }
    if (err == 0 && (o.password || o.level == 0)) {
        for (size_t i = 0; i < files.size() && err == 0; ++i)
            err = add_entry(&p, files[i], sources[i]);
    } else if (err == 0) {
        // Work on later files is thrown away when the pool goes.
        deflate_pool pool;
        pool_start(&pool, sources, o.level, limits);
        for (size_t i = 0; i < files.size() && err == 0; ++i)
            err = add_deflated(&p, &pool, files[i], sources[i]);
    }

    int close_err = zipClose(p.zf, nullptr);
    bool whole = err == 0 && !p.failed;
    bool in_place = file_layer_finish(&p.layer, close_err == ZIP_OK && whole) == 0;
    if (close_err != ZIP_OK || (whole && !in_place))
        report(&p, "error in closing %s\n", name.c_str(), layer_reason(&p));
    if (!in_place)
        *failure = p.first;
    return in_place ? 0 : -1;
}

} // namespace

int filetime(const char *path, tm_zip *, uLong *dt) {
    struct stat st;
    if (stat(path, &st) != 0)
        return 0;
    struct tm local;
    if (!localtime_r(&st.st_mtime, &local))
        return 0;
    *dt = dos_date_time(local);
    return 1;
}

int check_exist_file(const char *path) {
    // Without blocking on a named pipe, which exists but is no archive.
    fd_owner f(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return f.fd >= 0 ? 1 : 0;
}

int getFileCrc(const char *path, void *buf, unsigned long size_buf, uLong *result_crc) {
    uLong crc = 0;
    file_owner f(fopen(path, "rb"));
    int read_error = f ? 0 : errno;
    for (size_t n = 1; n > 0 && read_error == 0;) {
        n = read_chunk(f.get(), buf, size_buf, &read_error);
        crc = crc32(crc, static_cast<const Bytef *>(buf), static_cast<uInt>(n));
    }
    if (f && read_error != 0)
        printf("error in reading %s\n%s\n", path, strerror(read_error));
    f.reset();
    *result_crc = crc;
    printf("file %s crc %lx\n", path, crc);
    errno = read_error;
    return read_error != 0 ? -1 : 0;
}

void do_banner() {
    printf("MiniZip 1.01b, zip library by Gilles Vollant, on top of zlib\n");
    printf("more info at http://www.winimage.com/zLibDll/minizip.html\n\n");
}

void do_help() {
    printf("Usage : minizip [-o] [-a] [-0 to -9] [-p password] file.zip [files_to_add]\n\n"
           "  -o  Overwrite existing file.zip\n"
           "  -a  Append to existing file.zip\n"
           "  -0  Store only\n"
           "  -1  Compress faster\n"
           "  -9  Compress better\n\n");
}

uLong name_flags(const char *name) {
    bool beyond_ascii = false;
    const unsigned char *s = reinterpret_cast<const unsigned char *>(name);
    while (*s) {
        unsigned char c = *s;
        if (c < 0x80) {
            ++s;
            continue;
        }
        beyond_ascii = true;
        int more = c >= 0xc2 && c <= 0xdf   ? 1
                   : c >= 0xe0 && c <= 0xef ? 2
                   : c >= 0xf0 && c <= 0xf4 ? 3
                                            : -1;
        if (more < 0)
            return 0;
        // The second byte's range rules out overlong forms, surrogates and
        // code points above U+10FFFF.
        unsigned char lo = c == 0xe0 ? 0xa0 : c == 0xf0 ? 0x90 : 0x80;
        unsigned char hi = c == 0xed ? 0x9f : c == 0xf4 ? 0x8f : 0xbf;
        if (s[1] < lo || s[1] > hi)
            return 0;
        for (int i = 2; i <= more; ++i) {
            if (s[i] < 0x80 || s[i] > 0xbf)
                return 0;
        }
        s += more + 1;
    }
    return beyond_ascii ? 0x800 : 0;
}

int pk3_dir(int argc, char **argv) {
    return pack_with_limits(argc, argv, pack_limits());
}

int pk3_dir(int argc, char **argv, outcome *failure, const std::string &source_dir) {
    return pack_with_limits(argc, argv, pack_limits(), failure, source_dir);
}

int pack_with_limits(int argc, char **argv, const pack_limits &limits, outcome *failure,
                     const std::string &source_dir) {
    outcome ignored;
    if (!failure)
        failure = &ignored;
    signal_cleanup on_signals;
    // Compressors and buffers are allocated and freed per entry; with the
    // default trimming the heap's top is returned to the system and faulted
    // in again for each of hundreds of small files.  A fixed threshold also
    // keeps large buffers mapped apart, so that freeing them gives the
    // memory back at once.
    mallopt(M_TRIM_THRESHOLD, 4 << 20);
    do_banner();
    if (argc == 1) {
        do_help();
        fflush(stdout);
        return 0;
    }

    options o = parse_options(argc, argv);

    std::unique_ptr<unsigned char, free_deleter> buf(
        static_cast<unsigned char *>(malloc(write_buffer_size)));
    if (!buf) {
        printf("Error allocating memory\n");
        fflush(stdout);
        *failure = {failed_step::packing, o.name_index != 0 ? argv[o.name_index] : "",
                    strerror(ENOMEM)};
        return ZIP_INTERNALERROR;
    }

    bool proceed = o.name_index != 0;
    std::string name;
    if (proceed) {
        name = archive_name(argv[o.name_index]);
        if (o.overwrite == 2 && check_exist_file(name.c_str()) == 0)
            o.overwrite = 1;
        if (o.overwrite == 0 && check_exist_file(name.c_str()) == 1)
            proceed = ask_overwrite(name, o.overwrite);
    }

    int result = 0;
    if (!proceed)
        do_help();
    else
        result = write_archive(argc, argv, o, name, buf.get(), limits, failure, source_dir);
    fflush(stdout);
    return result;
}
