// Any zip the game reads (a map package, one of the game's paks, another
// pk3 of the player's), read through the zip library without changing it:
// its directory, and any entry's bytes on demand.
#pragma once

#include <unzip.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "io/io.h"

// One entry of the archive's central directory.
struct package_entry {
    std::string name; // the stored name's raw bytes
    std::uint32_t crc = 0;
    std::uint64_t size = 0, packed_size = 0;
    int method = 0;
    unsigned flags = 0;
    // Its directory record has a Zip64 field, or its local header has one
    // and no data descriptor follows: the game cannot read it.
    bool zip64 = false;
    unz64_file_pos at{};
};

// Reads the file open on fd for the zip library, through a small cache: the
// library reads its directories a few bytes at a time.
struct read_layer {
    int fd = -1;
    std::uint64_t size = 0, pos = 0;
    std::string cache;
    std::uint64_t cache_at = 0;
    bool failed = false;
};

struct unz_closer {
    void operator()(void *zip) const {
        unzClose(zip);
    }
};

struct package_zip {
    fd_owner fd;
    std::unique_ptr<read_layer> layer; // where the library's handle points
    std::unique_ptr<void, unz_closer> zip;
    std::vector<package_entry> entries; // in the directory's order, folders left out
    std::uint64_t entry_count = 0;      // as the end record gives it
    std::string packed;                 // scratch: an entry's deflated bytes
};

// Opens the regular file at path (without blocking on a pipe) and reads its
// directory; with local_headers, each entry's local header too, for Zip64
// fields.  False, with the reason in failure (ISO-8859-1 or the system's
// words), when it is not a file or not a zip the library reads.  When the
// directory breaks off part-way, zip stays set and entries holds those
// before the break.  Memory: the directory's real records, never a count
// or size it claims.
bool open_package(const std::string &path, package_zip &package, std::string &failure,
                  bool local_headers);

// False when the directory's sizes for entry cannot be true: more packed
// bytes than the file holds, or more bytes than its method makes of them.
bool sizes_possible(const package_zip &package, const package_entry &entry);

// The whole of an entry whose data holds at most limit bytes, inflated and
// its CRC checked; false otherwise (bytes then holds anything).  With head
// set, only its first head bytes (no CRC check).  Nothing is sized from
// the directory's claims but within limit: at most limit bytes in bytes
// and twice that in package.packed.
bool read_package_entry(package_zip &package, const package_entry &entry, std::uint64_t limit,
                        std::string &bytes, std::uint64_t head = 0);

// Hands an entry's inflated bytes to sink in order, a piece of at most
// zip_stream_piece bytes at a time, whatever size the directory claims;
// sink returns false to stop early.  False when the entry cannot be read
// to the end sink asked for (encrypted, an unknown method, cut short), or
// when it was read whole and its CRC differs.
constexpr std::size_t zip_stream_piece = 256u << 10;
bool stream_package_entry(package_zip &package, const package_entry &entry,
                          const std::function<bool(std::string_view)> &sink);
