// Any zip the game reads (a map package, one of the game's paks, another
// pk3 of the player's), read through the zip library without changing it:
// its directory, and any entry's bytes on demand.  The one place that opens
// an archive: the others name it by its path and get records back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "messages/messages.h"

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
    // Where its directory record is, for the library to go back to it.
    std::uint64_t record_at = 0, number = 0;
};

// An archive's directory as it was read.
struct package_listing {
    // Why it was not read whole: msg::ok when it was; the system's words in
    // why for zip_system_error.
    msg failure = msg::ok;
    std::string why;
    bool opened = false;    // a regular file, opened
    bool zip_start = false; // and its first bytes are a zip's local header
    bool directory = false; // its directory was found: entries holds those before any break
    std::vector<package_entry> entries; // in the directory's order, folders left out
    std::uint64_t entry_count = 0;      // as the end record gives it
};

inline bool read_whole(const package_listing &listing) {
    return listing.failure == msg::ok;
}

// Reads the directory of the regular file at path (never waiting on a
// pipe); with local_headers, each entry's local header too, for Zip64
// fields.  Memory: the directory's real records, never a count or size it
// claims.
package_listing list_package(const std::string &path, bool local_headers);

// The whole of an entry of the archive at path whose data holds at most
// limit bytes, inflated and its CRC checked; false otherwise (bytes then
// holds anything).  With head set, only its first head bytes (no CRC
// check).  Nothing is sized from the directory's claims but within limit:
// at most limit bytes in bytes and twice that while inflating.
bool read_package_entry(const std::string &path, const package_entry &entry, std::uint64_t limit,
                        std::string &bytes, std::uint64_t head = 0);

// Hands an entry's inflated bytes to sink in order, a piece of at most
// zip_stream_piece bytes at a time, whatever size the directory claims;
// sink returns false to stop early.  False when the entry cannot be read
// to the end sink asked for (encrypted, an unknown method, cut short), or
// when it was read whole and its CRC differs.
constexpr std::size_t zip_stream_piece = 256u << 10;
// A deflated entry up to this size is inflated whole first, in memory.
constexpr std::uint64_t zip_whole_limit = 32u << 20;
bool stream_package_entry(const std::string &path, const package_entry &entry,
                          const std::function<bool(std::string_view)> &sink);
