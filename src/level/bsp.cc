// The names a compiled level gives its surfaces and fogs, its entity text,
// and whether the game would load it.
#include <algorithm>
#include <cstdint>
#include <cstring>

#include "io/io.h"
#include "level/readers.h"
#include "report/render.h"

namespace {

constexpr int lump_count = 17;
constexpr size_t header_size = 8 + lump_count * 8;
constexpr int entities_lump = 0;
constexpr int name_lumps[2] = {1, 12}; // shaders, fogs
constexpr size_t name_record = 72;
constexpr size_t name_size = 64;
// The size of one record of each lump the game loads as records; 0 for the
// entity text, the lightmaps, the light grid and the visibility data.
constexpr size_t record_sizes[lump_count] = {0, 72, 16, 36, 48,  4, 4, 40, 12,
                                             8, 44, 4,  72, 104, 0, 0, 0};
// A file is read in pieces of this size.
constexpr size_t piece_size = 256u << 10;

bool header_whole(std::string_view h) {
    return h.size() == header_size && h.compare(0, 4, "IBSP") == 0 &&
           le32(reinterpret_cast<const unsigned char *>(h.data()) + 4) == 46;
}

// Lump index's offset and length, as the header gives them.
std::pair<std::uint64_t, std::uint64_t> lump_of(const level_reader &r, int index) {
    const auto *entry = reinterpret_cast<const unsigned char *>(r.header.data()) + 8 + index * 8;
    return {le32(entry), le32(entry + 4)};
}

// The part of lump index that the piece at offset holds.
std::string_view part_of(const level_reader &r, int index, std::string_view piece,
                         std::uint64_t offset) {
    auto [start, length] = lump_of(r, index);
    std::uint64_t from = std::max(start, offset),
                  to = std::min(start + length, offset + piece.size());
    return from < to ? piece.substr(from - offset, to - from) : std::string_view();
}

// Hands the lumps' parts that a piece at offset holds to their readers.
void take_piece(level_reader &r, std::string_view piece, std::uint64_t offset) {
    for (int n = 0; n < 2; ++n) {
        std::string_view part = part_of(r, name_lumps[n], piece, offset);
        size_t room = level_names_limit * name_record -
                      std::min(level_names_limit * name_record, r.names[n].size());
        r.names[n].append(part.substr(0, room));
    }
    read_entities_piece(r.entities, part_of(r, entities_lump, piece, offset));
}

// True when lump index lies in a file of size bytes.  Offsets and
// lengths are signed in the file: a negative one reads as 2 GiB or more.
bool inside(const level_reader &r, int index, std::uint64_t size) {
    auto [offset, length] = lump_of(r, index);
    return length == 0 || (offset <= INT32_MAX && length <= INT32_MAX && offset + length <= size);
}

// Why the game would not load a level whose file holds size bytes; empty
// when it would.
std::string refusal(const level_reader &r, std::uint64_t size) {
    for (int n = 0; n < lump_count; ++n) {
        std::uint64_t length = lump_of(r, n).second;
        report why = report_of(msg::level_lump_outside, step_id::form);
        why.count = static_cast<std::uint64_t>(n);
        if (!inside(r, n, size))
            return render(why, plain_style);
        if (record_sizes[n] && length % record_sizes[n] != 0) {
            why.why = std::to_string(length);
            why.other = std::to_string(record_sizes[n]);
            return render(msg::level_lump_size, why, plain_style);
        }
    }
    return std::string();
}

} // namespace

void read_level_piece(level_reader &r, std::string_view piece) {
    std::uint64_t offset = r.seen;
    r.seen += piece.size();
    if (r.header.size() < header_size) {
        size_t take = std::min(piece.size(), header_size - r.header.size());
        r.header.append(piece.substr(0, take));
        if (!header_whole(r.header))
            return;
        // Lumps may start inside the header itself.
        take_piece(r, r.header, 0);
        piece.remove_prefix(take);
        offset += take;
    }
    if (header_whole(r.header))
        take_piece(r, piece, offset);
}

level_lumps finish_level(level_reader &r) {
    level_lumps level;
    level.compiled = header_whole(r.header);
    if (!level.compiled)
        return level;
    level.refused = refusal(r, r.seen);
    // A lump that reaches past the end gives nothing.
    for (int n = 0; n < 2; ++n) {
        const std::string &lump = r.names[n];
        for (size_t at = 0; inside(r, name_lumps[n], r.seen) && at + name_record <= lump.size();
             at += name_record)
            level.shaders.emplace_back(lump.data() + at, strnlen(lump.data() + at, name_size));
    }
    if (inside(r, entities_lump, r.seen))
        level.entities = std::move(r.entities.files);
    return level;
}

bool is_compiled_level(const char *bsp_path) {
    std::string header;
    read_pieces(bsp_path, header_size, header_size, [&](std::string_view piece) {
        header = piece;
        return true;
    });
    return header_whole(header);
}

level_lumps read_level_lumps(const char *bsp_path, const progress_sink &sink) {
    level_reader reader;
    // A level that cannot be read to its end, or whose reading was
    // stopped, names nothing.
    if (!read_pieces(bsp_path, piece_size, UINT64_MAX, [&](std::string_view piece) {
            read_level_piece(reader, piece);
            return !stop_asked(sink);
        }))
        return level_lumps();
    return finish_level(reader);
}
