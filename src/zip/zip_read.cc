// A map package read through the zip library, on a descriptor opened as
// a regular file.
#include "zip/zip_read.h"

#include <libdeflate.h>
#include <unzip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "io/io.h"

namespace {

// Reads the file open on fd for the zip library, through a small cache: the
// library reads its directories a few bytes at a time.
struct read_layer {
    int fd = -1;
    std::uint64_t size = 0, pos = 0;
    std::string cache;
    std::uint64_t cache_at = 0;
    bool failed = false;
};

// An archive open for the library, for the length of one call.
struct open_zip {
    fd_owner fd;
    std::unique_ptr<read_layer> layer; // where the library's handle points
    std::unique_ptr<void, int (*)(unzFile)> zip{nullptr, unzClose};
};

constexpr std::uint64_t cache_size = 16 * 1024;
constexpr std::uint16_t zip64_field = 0x0001;

read_layer *layer_of(voidpf opaque) {
    return static_cast<read_layer *>(opaque);
}

voidpf layer_open(voidpf opaque, const void *, int mode) {
    return (mode & ZLIB_FILEFUNC_MODE_READ) ? opaque : nullptr;
}

uLong layer_read(voidpf opaque, voidpf, void *buffer, uLong n) {
    read_layer *l = layer_of(opaque);
    auto *out = static_cast<char *>(buffer);
    if (n >= cache_size) {
        long long got = read_range(l->fd, out, n, l->pos);
        l->failed |= got < 0;
        l->pos += got > 0 ? static_cast<std::uint64_t>(got) : 0;
        return got > 0 ? static_cast<uLong>(got) : 0;
    }
    if (l->pos < l->cache_at || l->pos + n > l->cache_at + l->cache.size()) {
        l->cache.resize(cache_size);
        long long got = read_range(l->fd, l->cache.data(), cache_size, l->pos);
        l->failed |= got < 0;
        l->cache.resize(got > 0 ? static_cast<size_t>(got) : 0);
        l->cache_at = l->pos;
    }
    std::uint64_t have = std::min<std::uint64_t>(n, l->cache_at + l->cache.size() - l->pos);
    std::memcpy(out, l->cache.data() + (l->pos - l->cache_at), static_cast<size_t>(have));
    l->pos += have;
    return static_cast<uLong>(have);
}

uLong layer_write(voidpf, voidpf, const void *, uLong) {
    return 0; // the package is never changed
}

ZPOS64_T layer_tell(voidpf opaque, voidpf) {
    return layer_of(opaque)->pos;
}

long layer_seek(voidpf opaque, voidpf, ZPOS64_T offset, int origin) {
    read_layer *l = layer_of(opaque);
    if (origin == ZLIB_FILEFUNC_SEEK_CUR) {
        // The library steps back over an extra field it has read with a
        // negative step wrapped to unsigned: the sum wraps back likewise.
        std::uint64_t to = l->pos + offset;
        bool back = static_cast<std::int64_t>(offset) < 0;
        if (back ? to > l->pos : to < l->pos)
            return -1;
        l->pos = to;
        return 0;
    }
    std::uint64_t base = origin == ZLIB_FILEFUNC_SEEK_END ? l->size : 0;
    if (offset > UINT64_MAX - base)
        return -1;
    l->pos = base + offset;
    return 0;
}

int layer_close(voidpf, voidpf) {
    return 0; // the descriptor's owner closes it
}

int layer_error(voidpf opaque, voidpf) {
    return layer_of(opaque)->failed ? -1 : 0;
}

// True when an extra field (a list of tag, length, data) holds a Zip64 record.
bool has_zip64_field(const std::string &extra, size_t length) {
    auto word = [&](size_t at) {
        return static_cast<std::uint16_t>(static_cast<unsigned char>(extra[at]) |
                                          static_cast<unsigned char>(extra[at + 1]) << 8);
    };
    length = std::min(length, extra.size());
    for (size_t at = 0; at + 4 <= length; at += 4 + word(at + 2))
        if (word(at) == zip64_field)
            return true;
    return false;
}

// The current entry's directory record; false when the library cannot read it.
bool read_record(void *zip, package_entry &entry, std::string &extra) {
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    entry.name.assign(info.size_filename, '\0');
    extra.assign(info.size_file_extra, '\0');
    if (unzGetCurrentFileInfo64(zip, &info, entry.name.data(), entry.name.size(), extra.data(),
                                extra.size(), nullptr, 0) != UNZ_OK)
        return false;
    entry.crc = static_cast<std::uint32_t>(info.crc);
    entry.size = info.uncompressed_size;
    entry.packed_size = info.compressed_size;
    entry.method = static_cast<int>(info.compression_method);
    entry.flags = static_cast<unsigned>(info.flag);
    entry.zip64 = has_zip64_field(extra, info.size_file_extra);
    unz64_file_pos at;
    if (unzGetFilePos64(zip, &at) != UNZ_OK)
        return false;
    entry.record_at = at.pos_in_zip_directory;
    entry.number = at.num_of_file;
    return true;
}

// The local header's extra field, read with the entry opened raw.
bool local_zip64(void *zip, std::string &extra) {
    int method = 0, level = 0;
    if (unzOpenCurrentFile2(zip, &method, &level, 1) != UNZ_OK)
        return false;
    int n = unzGetLocalExtrafield(zip, nullptr, 0);
    bool found = false;
    if (n > 0) {
        extra.assign(static_cast<size_t>(n), '\0');
        int got = unzGetLocalExtrafield(zip, extra.data(), static_cast<unsigned>(n));
        found = got > 0 && has_zip64_field(extra, static_cast<size_t>(got));
    }
    unzCloseCurrentFile(zip);
    return found;
}

// Opens the regular file at path for the library; false, with the reason
// in listing, when it is not a file or not a zip the library reads.
bool open_archive(const std::string &path, open_zip &archive, package_listing &listing) {
    struct stat st;
    errno = 0;
    archive.fd = fd_owner{open_as_file(path.c_str(), st)};
    if (archive.fd.fd < 0) {
        // A folder, a pipe or a device opens, but is no file.
        listing.failure = errno != 0 ? msg::zip_system_error : msg::zip_not_regular;
        listing.why = errno != 0 ? std::strerror(errno) : "";
        return false;
    }
    listing.opened = true;
    archive.layer = std::make_unique<read_layer>();
    archive.layer->fd = archive.fd.fd;
    archive.layer->size = static_cast<std::uint64_t>(st.st_size);
    zlib_filefunc64_def functions{layer_open, layer_read,  layer_write, layer_tell,
                                  layer_seek, layer_close, layer_error, archive.layer.get()};
    archive.zip.reset(unzOpen2_64(path.c_str(), &functions));
    if (!archive.zip) {
        listing.failure = msg::zip_not_zip;
        return false;
    }
    return true;
}

// False when the directory's sizes for entry cannot be true: more packed
// bytes than the file holds, or more bytes than its method makes of them.
bool sizes_possible(const open_zip &archive, const package_entry &entry) {
    if (entry.packed_size > archive.layer->size)
        return false;
    if (entry.method == 0 && !(entry.flags & 1))
        return entry.size == entry.packed_size;
    // Deflate makes at most 258 bytes of two bits: 1032 of a byte.
    return entry.method != Z_DEFLATED || entry.size / 1032 <= entry.packed_size;
}

// The archive at path open on entry, when its sizes can be true.
bool open_at(const std::string &path, const package_entry &entry, open_zip &archive) {
    package_listing ignored;
    unz64_file_pos at{entry.record_at, entry.number};
    return open_archive(path, archive, ignored) && sizes_possible(archive, entry) &&
           unzGoToFilePos64(archive.zip.get(), &at) == UNZ_OK;
}

// Lists the archive's directory into listing.
void list_directory(open_zip &archive, package_listing &listing, bool local_headers) {
    void *zip = archive.zip.get();
    unz_global_info64 global;
    if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) {
        listing.failure = msg::zip_not_zip;
        return;
    }
    listing.directory = true;
    listing.entry_count = global.number_entry;
    std::string extra;
    int at = unzGoToFirstFile(zip);
    for (; at == UNZ_OK; at = unzGoToNextFile(zip)) {
        package_entry entry;
        if (!read_record(zip, entry, extra))
            break;
        if (entry.name.empty() || entry.name.back() == '/')
            continue;
        // The game compares a local header's sizes with the directory's, but
        // not for an entry whose data descriptor holds them.
        entry.zip64 =
            entry.zip64 || (local_headers && !(entry.flags & 8) && local_zip64(zip, extra));
        listing.entries.push_back(std::move(entry));
    }
    if (at != UNZ_END_OF_LIST_OF_FILE)
        listing.failure = msg::zip_directory_broken;
}

} // namespace

package_listing list_package(const std::string &path, bool local_headers) {
    package_listing listing;
    open_zip archive;
    if (open_archive(path, archive, listing))
        list_directory(archive, listing, local_headers);
    char head[4];
    listing.zip_start = listing.opened && read_range(archive.fd.fd, head, 4, 0) == 4 &&
                        std::memcmp(head, "PK\3\4", 4) == 0;
    return listing;
}

bool read_package_entry(const std::string &path, const package_entry &entry, std::uint64_t limit,
                        std::string &bytes, std::uint64_t head) {
    std::uint64_t want = head > 0 ? std::min(head, entry.size) : entry.size;
    open_zip archive;
    if (want > limit || want > INT32_MAX || entry.packed_size > INT32_MAX || entry.flags & 1 ||
        !open_at(path, entry, archive))
        return false;
    void *zip = archive.zip.get();
    if (head > 0) {
        bytes.resize(static_cast<size_t>(want));
        if (unzOpenCurrentFile(zip) != UNZ_OK)
            return false;
        int n = want == 0 ? 0 : unzReadCurrentFile(zip, bytes.data(), static_cast<unsigned>(want));
        unzCloseCurrentFile(zip);
        return n == static_cast<int>(want);
    }
    // Whole entries are read raw and inflated at once: several times faster
    // than the library's own inflating, which matters for large levels.
    // Deflate never needs twice the bytes it stands for, past a block
    // header: a larger claim is refused before anything is sized from it.
    bool stored = entry.method == 0;
    if (!stored && entry.packed_size > 2 * want + 1024)
        return false;
    int method = 0, level = 0;
    std::string packed;
    std::string &raw = stored ? bytes : packed;
    raw.resize(static_cast<size_t>(entry.packed_size));
    if (unzOpenCurrentFile2(zip, &method, &level, 1) != UNZ_OK)
        return false;
    int n =
        raw.empty() ? 0 : unzReadCurrentFile(zip, raw.data(), static_cast<unsigned>(raw.size()));
    unzCloseCurrentFile(zip);
    if (n != static_cast<int>(raw.size()))
        return false;
    if (!stored) {
        bytes.resize(static_cast<size_t>(want));
        std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor *)> inflater{
            libdeflate_alloc_decompressor(), libdeflate_free_decompressor};
        if (!inflater ||
            libdeflate_deflate_decompress(inflater.get(), raw.data(), raw.size(), bytes.data(),
                                          bytes.size(), nullptr) != LIBDEFLATE_SUCCESS)
            return false;
    }
    return libdeflate_crc32(0, bytes.data(), bytes.size()) == entry.crc;
}

bool stream_package_entry(const std::string &path, const package_entry &entry,
                          const std::function<bool(std::string_view)> &sink) {
    // One that inflates to zip_whole_limit at most is inflated at once, as
    // read_package_entry does (levels are most of what --check reads), and
    // handed out in pieces all the same.
    if (entry.method == Z_DEFLATED && entry.size <= zip_whole_limit) {
        std::string bytes;
        if (!read_package_entry(path, entry, zip_whole_limit, bytes))
            return false;
        std::string_view whole = bytes;
        for (size_t at = 0; at < whole.size(); at += zip_stream_piece)
            if (!sink(whole.substr(at, zip_stream_piece)))
                break;
        return true;
    }
    open_zip archive;
    if (entry.flags & 1 || (entry.method != 0 && entry.method != Z_DEFLATED) ||
        !open_at(path, entry, archive) || unzOpenCurrentFile(archive.zip.get()) != UNZ_OK)
        return false;
    void *zip = archive.zip.get();
    std::string piece(zip_stream_piece, '\0');
    int n = 0;
    bool wanted = true;
    std::uint64_t total = 0;
    while (wanted && (n = unzReadCurrentFile(zip, piece.data(), zip_stream_piece)) > 0) {
        total += static_cast<std::uint64_t>(n);
        wanted = sink(std::string_view(piece.data(), static_cast<size_t>(n)));
    }
    // Closing checks the CRC only once the size the directory gives was
    // read: a stream that ends sooner is caught by the count.
    int closed = unzCloseCurrentFile(zip);
    return !wanted || (n == 0 && closed == UNZ_OK && total == entry.size);
}
