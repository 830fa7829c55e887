#include "pk3_dir.h"

#include <malloc.h>
#include <sys/stat.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "deflate_pool.h"
#include "file_layer.h"
#include "mapcrate.h"
#include "zip_crypt.h"

namespace {

constexpr unsigned long write_buffer_size = 16384;
constexpr size_t max_name_bytes = 255;

struct file_closer {
    void operator()(FILE *f) const {
        fclose(f);
    }
};
using file_ptr = std::unique_ptr<FILE, file_closer>;

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

options parse_options(int argc, char **argv) {
    options o;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        if (arg[0] != '-') {
            if (o.name_index == 0)
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

// Adds one file as an entry.  Returns the error state (0 to go on);
// *failed is set for failures the error state does not keep.
int add_entry(zipFile zf, const char *path, const options &o, unsigned char *buf, bool *failed) {
    zip_fileinfo zi;
    memset(&zi, 0, sizeof zi);
    filetime(path, &zi.tmz_date, &zi.dosDate);

    uLong crc = 0;
    int err = 0;
    if (o.password) {
        err = getFileCrc(path, buf, write_buffer_size, &crc);
        // The entry is still written, encrypted with the CRC computed so
        // far, but the call must not report success.
        if (err != 0)
            *failed = true;
    }

    entry_encoder encoder;
    if (o.password)
        err = encoder_open(&encoder, zf, path, &zi, o.level, o.password, crc);
    else
        err = zipOpenNewFileInZip4(
            zf, path, &zi, nullptr, 0, nullptr, 0, nullptr, o.level != 0 ? Z_DEFLATED : 0, o.level,
            0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY, nullptr, 0, 0, name_flags(path));
    file_ptr in;
    if (err != ZIP_OK) {
        printf("error in opening %s in zipfile\n", path);
    } else {
        in.reset(fopen(path, "rb"));
        if (!in) {
            err = -1;
            printf("error in opening %s for reading\n", path);
        }
    }

    if (err == ZIP_OK) {
        size_t size_read;
        do {
            err = ZIP_OK;
            size_read = fread(buf, 1, write_buffer_size, in.get());
            if (size_read < write_buffer_size && feof(in.get()) == 0) {
                printf("error in reading %s\n", path);
                err = -1;
                // The bytes that came are still written and the copy
                // goes on, but the entry may be short.
                *failed = true;
            }
            if (size_read > 0) {
                err = o.password ? encoder_write(&encoder, zf, buf, size_read)
                                 : zipWriteInFileInZip(zf, buf, static_cast<unsigned>(size_read));
                if (err < 0)
                    printf("error in writing %s in the zipfile\n", path);
            }
        } while (err == ZIP_OK && size_read > 0);
    }
    in.reset();

    if (err < 0) {
        // The library would close an encrypted entry as empty; what was
        // written must stay readable, as for a plain entry.
        if (encoder.entry_open)
            encoder_close(&encoder, zf);
        return -1; // the library closes a plain entry with the archive
    }
    err = o.password ? encoder_close(&encoder, zf) : zipCloseFileInZip(zf);
    if (err != ZIP_OK)
        printf("error in closing %s in the zipfile\n", path);
    return err;
}

// Adds the file whose parts come next from the pool: deflated parts go in
// raw; a file the workers did not read goes the streaming way, which meets
// and reports its failure as it always did.  Same results as add_entry.
int add_deflated(zipFile zf, deflate_pool *pool, const char *path, const options &o,
                 unsigned char *buf, bool *failed) {
    deflated_part *p = pool_front(pool);
    if (!p)
        return -1;
    if (p->state == part_state::unread) {
        // Later pieces of the file come all the same; they are not used.
        bool last = p->last;
        pool_drop_front(pool);
        while (!last && (p = pool_front(pool))) {
            last = p->last;
            pool_drop_front(pool);
        }
        return add_entry(zf, path, o, buf, failed);
    }
    zip_fileinfo zi;
    memset(&zi, 0, sizeof zi);
    filetime(path, &zi.tmz_date, &zi.dosDate);
    int err = zipOpenNewFileInZip4(zf, path, &zi, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                                   o.level, 1, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                   nullptr, 0, 0, name_flags(path));
    if (err != ZIP_OK) {
        printf("error in opening %s in zipfile\n", path);
        return err;
    }
    uLong crc = 0;
    uint64_t size = 0;
    for (;; p = pool_front(pool)) {
        if (!p)
            return -1;
        if (p->state != part_state::deflated) {
            // The pieces so far end in a sync flush: a final empty block
            // makes them a whole stream, and the entry what could be read.
            static const unsigned char end_block[] = {3, 0};
            zipWriteInFileInZip(zf, end_block, sizeof end_block);
            zipCloseFileInZipRaw(zf, size, crc);
            printf("error in reading %s\n", path);
            return -1;
        }
        if (zipWriteInFileInZip(zf, p->out.get(), static_cast<unsigned>(p->out_size)) < 0) {
            printf("error in writing %s in the zipfile\n", path);
            return -1;
        }
        crc = crc32_combine(crc, p->crc, static_cast<z_off_t>(p->size));
        size += p->size;
        bool last = p->last;
        pool_drop_front(pool);
        if (last)
            break;
    }
    err = zipCloseFileInZipRaw(zf, size, crc);
    if (err != ZIP_OK)
        printf("error in closing %s in the zipfile\n", path);
    return err;
}

// Opens the archive, adds the files after the name, closes it.  Returns 0
// when every step succeeded, -1 otherwise.
int write_archive(int argc, char **argv, const options &o, const std::string &name,
                  unsigned char *buf, const pack_limits &limits) {
    file_layer layer;
    zlib_filefunc_def ffunc;
    fill_posix_filefunc(&ffunc, &layer);
    int append = o.overwrite == 2 ? APPEND_STATUS_ADDINZIP : APPEND_STATUS_CREATE;
    zipFile zf = zipOpen2(name.c_str(), append, nullptr, &ffunc);

    int err = 0;
    bool failed = false;
    if (!zf) {
        printf("error opening %s\n", name.c_str());
        err = -1;
    } else {
        printf("creating %s\n", name.c_str());
    }

    std::vector<const char *> files;
    for (int i = o.name_index + 1; i < argc; ++i) {
        if (!is_skipped_option(argv[i]))
            files.push_back(argv[i]);
    }
    if (err == 0 && (o.password || o.level == 0)) {
        for (size_t i = 0; i < files.size() && err == 0; ++i)
            err = add_entry(zf, files[i], o, buf, &failed);
    } else if (err == 0) {
        // Work on later files is thrown away when the pool goes.
        deflate_pool pool;
        pool_start(&pool, files, o.level, limits);
        for (size_t i = 0; i < files.size() && err == 0; ++i)
            err = add_deflated(zf, &pool, files[i], o, buf, &failed);
    }

    int close_err = zipClose(zf, nullptr);
    // A created archive is only in place once the layer has renamed it.
    bool in_place = file_layer_finish(&layer, close_err == ZIP_OK) == 0;
    if (close_err != ZIP_OK || !in_place) {
        printf("error in closing %s\n", name.c_str());
        failed = true;
    }
    return err != 0 || failed ? -1 : 0;
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
    file_ptr f(fopen(path, "rb"));
    return f ? 1 : 0;
}

int getFileCrc(const char *path, void *buf, unsigned long size_buf, uLong *result_crc) {
    uLong crc = 0;
    int err = 0;
    file_ptr f(fopen(path, "rb"));
    if (!f) {
        err = -1;
    } else {
        size_t size_read;
        do {
            err = 0;
            size_read = fread(buf, 1, size_buf, f.get());
            if (size_read < size_buf && feof(f.get()) == 0) {
                printf("error in reading %s\n", path);
                err = -1;
            }
            if (size_read > 0)
                crc = crc32(crc, static_cast<const Bytef *>(buf), static_cast<uInt>(size_read));
        } while (err == 0 && size_read > 0);
    }
    f.reset();
    *result_crc = crc;
    printf("file %s crc %lx\n", path, crc);
    return err;
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

int pack_with_limits(int argc, char **argv, const pack_limits &limits) {
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
        result = write_archive(argc, argv, o, name, buf.get(), limits);
    fflush(stdout);
    return result;
}
