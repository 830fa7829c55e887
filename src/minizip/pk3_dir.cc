#include "pk3_dir.h"

#include <fcntl.h>
#include <malloc.h>
#include <minizip/zip.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "file_layer.h"
#include "io/io.h"
#include "signals.h"
#include "zip_crypt.h"

namespace {

constexpr unsigned long write_buffer_size = 16384;
constexpr size_t max_name_bytes = 255;

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

// The file's last-modification time, in local time, as an MS-DOS date (high
// 16 bits) and time (low 16 bits); 0 when the file cannot be found.
uLong file_time(const char *path) {
    struct stat st;
    struct tm local;
    if (stat(path, &st) != 0 || !localtime_r(&st.st_mtime, &local))
        return 0;
    return dos_date_time(local);
}

bool file_exists(const char *path) {
    // Without blocking on a named pipe, which exists but is no archive.
    fd_owner f(open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    return f.fd >= 0;
}

// The general-purpose flag bits an entry of this name gets: the UTF-8 bit
// when the name is valid UTF-8 and holds a byte above 127, else none.
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

report packing_report(msg what, std::string path = {}, std::string why = {}) {
    report r;
    r.what = what;
    r.step = step_id::packing;
    r.path = std::move(path);
    r.why = std::move(why);
    return r;
}

// The overwrite question, asked until the answer is one it offers: 'Y',
// 'N' or 'A', or 0 when none came.
char ask_overwrite(const progress_sink &sink, const std::string &name) {
    const report question = packing_report(msg::pack_overwrite, name);
    for (;;) {
        char answer = sink.ask ? sink.ask(question) : 0;
        if (answer >= 'a' && answer <= 'z')
            answer = static_cast<char>(answer - 'a' + 'A');
        if (answer == 0 || answer == 'Y' || answer == 'N' || answer == 'A')
            return answer;
    }
}

// One pack: the archive, its file layer and what the entries share.
struct packing {
    const progress_sink *sink = nullptr;
    zipFile zf = nullptr;
    file_layer layer;
    options o;
    const char *archive = "";
    unsigned char *buf = nullptr;
    bool failed = false;      // an entry failed though adding went on
    bool reason_told = false; // the layer's failure has been told
    report first;             // the first failure, for the caller
};

// The first failure is kept, on the file whose call failed: the one read
// when reading, else the archive.
void keep_first(packing *p, msg what, const char *name, std::string reason) {
    if (failed(p->first))
        return;
    bool reading = what == msg::pack_source_open_failed || what == msg::pack_read_failed;
    p->first = packing_report(what, reading ? name : p->archive, std::move(reason));
}

// A failure line about name, then its reason, when there is one, on a line
// of its own.
void tell_lines(const packing *p, msg what, const char *name, const std::string &reason) {
    send(*p->sink, packing_report(what, name));
    if (!reason.empty())
        send(*p->sink, packing_report(msg::pack_reason, {}, reason));
}

void tell_failure(packing *p, msg what, const char *name, const std::string &reason) {
    tell_lines(p, what, name, reason);
    keep_first(p, what, name, reason.empty() ? "the zip library refused it" : reason);
}

// Whether the user asked the pack to stop; the first failure then says so.
bool stopping(packing *p) {
    if (!stop_asked(*p->sink))
        return false;
    if (!failed(p->first))
        p->first = packing_report(msg::run_cancelled);
    return true;
}

// Why the layer failed, the first time it is asked; empty afterwards, as
// the failures that follow come from it.
std::string layer_reason(packing *p) {
    if (p->reason_told)
        return {};
    p->reason_told = !p->layer.failure.empty();
    return p->layer.failure;
}

// The library's result err on the entry path, told as a failure what when
// it is one.
int library_result(packing *p, int err, msg what, const char *path) {
    if (err != ZIP_OK)
        tell_failure(p, what, path, layer_reason(p));
    return err;
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

// CRC-32 of the whole file source, read through p->buf, told on a line of
// its own.  A file that does not open has CRC 0; a read that fails before
// the end is told first, and the CRC is that of what was read.  Either
// marks the pack failed, with the entry path as the first failure.
uLong file_crc(packing *p, const char *path, const char *source) {
    uLong crc = 0;
    file_owner f(fopen(source, "rb"));
    int read_error = f ? 0 : errno;
    for (size_t n = 1; n > 0 && read_error == 0;) {
        n = read_chunk(f.get(), p->buf, write_buffer_size, &read_error);
        crc = crc32(crc, p->buf, static_cast<uInt>(n));
    }
    if (f && read_error != 0)
        tell_lines(p, msg::pack_read_failed, source, strerror(read_error));
    char hex[2 * sizeof crc + 1];
    snprintf(hex, sizeof hex, "%lx", crc);
    send(*p->sink, packing_report(msg::pack_crc, source, hex));
    if (read_error != 0) {
        p->failed = true;
        keep_first(p, msg::pack_read_failed, path, strerror(read_error));
    }
    return crc;
}

// Opens the entry named path, dated as the file source: raw when its data
// comes deflated already, through encoder when a password is set.
int open_entry(packing *p, const char *path, const char *source, int raw, entry_encoder *encoder,
               uLong crc) {
    zip_fileinfo zi;
    memset(&zi, 0, sizeof zi);
    zi.dosDate = file_time(source);
    int level = p->o.level;
    // An encrypted entry is stored raw: the encoder compresses and encrypts.
    int err = zipOpenNewFileInZip4(p->zf, path, &zi, nullptr, 0, nullptr, 0, nullptr,
                                   level != 0 ? Z_DEFLATED : 0, level, encoder ? 1 : raw,
                                   -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0,
                                   name_flags(path) | (encoder ? 1 : 0));
    if (err == ZIP_OK && encoder)
        err = encoder_start(encoder, p->zf, level, p->o.password, crc);
    return library_result(p, err, msg::pack_entry_open_failed, path);
}

// Adds the file source as the entry path, streaming it.  Returns the error
// state (0 to go on); failures that do not stop the adding set p->failed.
int add_entry(packing *p, const char *path, const char *source) {
    // The entry is still written, encrypted with the CRC computed so far.
    uLong crc = p->o.password ? file_crc(p, path, source) : 0;
    entry_encoder encoder;
    entry_encoder *encoding = p->o.password ? &encoder : nullptr;
    int err = open_entry(p, path, source, 0, encoding, crc);
    file_owner in;
    if (err == ZIP_OK) {
        in.reset(fopen(source, "rb"));
        if (!in) {
            err = -1;
            tell_failure(p, msg::pack_source_open_failed, path, strerror(errno));
        }
    }
    while (err == ZIP_OK) {
        if (stopping(p))
            return -1;
        int read_error = 0;
        size_t size_read = read_chunk(in.get(), p->buf, write_buffer_size, &read_error);
        if (read_error != 0)
            tell_failure(p, msg::pack_read_failed, path, strerror(read_error));
        // The bytes that came are still written and the copy goes on.
        err = read_error != 0 ? -1 : ZIP_OK;
        p->failed = p->failed || read_error != 0;
        if (size_read > 0)
            err = library_result(
                p,
                encoding ? encoder_write(encoding, p->zf, p->buf, size_read)
                         : zipWriteInFileInZip(p->zf, p->buf, static_cast<unsigned>(size_read)),
                msg::pack_write_failed, path);
        if (size_read == 0)
            break;
    }
    in.reset();
    if (err < 0)
        return -1; // the library closes the entry with the archive
    return library_result(p, encoding ? encoder_close(encoding, p->zf) : zipCloseFileInZip(p->zf),
                          msg::pack_entry_close_failed, path);
}

// Adds the file whose parts come next from the pool: deflated parts go in
// raw; a file the workers did not read goes the streaming way, which meets
// and tells its failure as it always did.  Same results as add_entry.
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
    uLong crc = 0, size = 0;
    for (;; part = pool_front(pool)) {
        if (!part || stopping(p))
            return -1;
        // A later piece that read short or long: the file changed while
        // it was packed, and the entry cannot be whole.
        if (part->state != part_state::deflated) {
            tell_failure(p, msg::pack_read_failed, path,
                         part->error != 0 ? strerror(part->error)
                                          : "the file changed while it was read");
            return -1;
        }
        if (library_result(
                p,
                zipWriteInFileInZip(p->zf, part->out.get(), static_cast<unsigned>(part->out_size)),
                msg::pack_write_failed, path) != ZIP_OK)
            return -1;
        crc = crc32_combine(crc, part->crc, static_cast<z_off_t>(part->size));
        size += part->size;
        bool last = part->last;
        pool_drop_front(pool);
        if (last)
            break;
    }
    return library_result(p, zipCloseFileInZipRaw(p->zf, size, crc), msg::pack_entry_close_failed,
                          path);
}

// The bytes of each file, as its listing tells them (0 for anything but a
// regular file), and their sum.
std::vector<uint64_t> file_sizes(const std::vector<const char *> &sources, uint64_t *total) {
    std::vector<uint64_t> sizes;
    sizes.reserve(sources.size());
    *total = 0;
    for (const char *source : sources) {
        struct stat st;
        bool regular = stat(source, &st) == 0 && S_ISREG(st.st_mode);
        *total += sizes.emplace_back(regular ? static_cast<uint64_t>(st.st_size) : 0);
    }
    return sizes;
}

// Opens the archive, adds the files after the name (read from source_dir),
// closes it.  Only when every step succeeded does the new archive replace
// the old one; returns 0 then, -1 otherwise, with the first failure in
// *failure.
int write_archive(int argc, char **argv, packing *p, const std::string &name,
                  const pack_limits &limits, report *failure, const std::string &source_dir) {
    const options &o = p->o;
    p->archive = name.c_str();
    zlib_filefunc_def ffunc;
    fill_posix_filefunc(&ffunc, &p->layer);
    int append = o.overwrite == 2 ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE;
    p->zf = zipOpen2(name.c_str(), append, nullptr, &ffunc);

    int err = 0;
    if (!p->zf) {
        std::string why = layer_reason(p);
        // Without a failure of the layer, the library found no archive to add to.
        if (why.empty())
            why = o.overwrite == 2 ? "not a zip archive" : strerror(ENOMEM);
        tell_failure(p, msg::pack_open_failed, p->archive, why);
        err = -1;
    } else {
        send(*p->sink, packing_report(msg::pack_creating, name));
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
    uint64_t bytes_total = 0, bytes_done = 0;
    const std::vector<uint64_t> sizes =
        err == 0 && p->sink->advance ? file_sizes(sources, &bytes_total) : std::vector<uint64_t>();
    // Stored or encrypted entries are streamed; the others come deflated
    // from the pool, whose work on later files is thrown away when it goes.
    std::unique_ptr<deflate_pool> pool;
    if (err == 0 && !o.password && o.level != 0) {
        pool = std::make_unique<deflate_pool>();
        pool_start(pool.get(), sources, o.level, limits);
    }
    for (size_t i = 0; i < files.size() && err == 0; ++i) {
        if (stopping(p)) {
            err = -1;
            break;
        }
        err = pool ? add_deflated(p, pool.get(), files[i], sources[i])
                   : add_entry(p, files[i], sources[i]);
        if (err == 0 && !sizes.empty())
            p->sink->advance(i + 1, files.size(), bytes_done += sizes[i], bytes_total);
    }
    pool.reset();

    int close_err = zipClose(p->zf, nullptr);
    bool whole = err == 0 && !p->failed;
    bool in_place = file_layer_finish(&p->layer, close_err == ZIP_OK && whole) == 0;
    if (close_err != ZIP_OK || (whole && !in_place))
        tell_failure(p, msg::pack_close_failed, p->archive, layer_reason(p));
    if (!in_place)
        *failure = p->first;
    return in_place ? 0 : -1;
}

} // namespace

int pk3_dir(int argc, char **argv, const progress_sink &sink, report *failure,
            const std::string &source_dir) {
    return pack_with_limits(argc, argv, pack_limits(), sink, failure, source_dir);
}

int pack_with_limits(int argc, char **argv, const pack_limits &limits, const progress_sink &sink,
                     report *failure, const std::string &source_dir) {
    report ignored;
    if (!failure)
        failure = &ignored;
    signal_cleanup on_signals;
    // Compressors and buffers are allocated and freed per entry; with the
    // default trimming the heap's top is returned to the system and faulted
    // in again for each of hundreds of small files.  A fixed threshold also
    // keeps large buffers mapped apart, so that freeing them gives the
    // memory back at once.
    mallopt(M_TRIM_THRESHOLD, 4 << 20);
    send(sink, packing_report(msg::pack_banner));
    if (argc == 1) {
        send(sink, packing_report(msg::pack_usage));
        return 0;
    }

    packing p;
    p.sink = &sink;
    p.o = parse_options(argc, argv);
    options &o = p.o;
    std::unique_ptr<unsigned char[]> buf(new (std::nothrow) unsigned char[write_buffer_size]);
    p.buf = buf.get();
    if (!buf) {
        send(sink, packing_report(msg::pack_no_memory));
        *failure = packing_report(msg::pack_no_memory, o.name_index != 0 ? argv[o.name_index] : "",
                                  strerror(ENOMEM));
        return ZIP_INTERNALERROR;
    }

    bool proceed = o.name_index != 0;
    std::string name;
    if (proceed) {
        name = archive_name(argv[o.name_index]);
        if (o.overwrite == 2 && !file_exists(name.c_str()))
            o.overwrite = 1;
        if (o.overwrite == 0 && file_exists(name.c_str())) {
            char answer = ask_overwrite(sink, name);
            if (answer == 0) {
                *failure = packing_report(msg::pack_unanswered, name);
                return ZIP_ERRNO;
            }
            proceed = answer != 'N';
            o.overwrite = answer == 'A' ? 2 : 0;
        }
    }

    if (!proceed) {
        send(sink, packing_report(msg::pack_usage));
        return 0;
    }
    return write_archive(argc, argv, &p, name, limits, failure, source_dir);
}
