// The names a compiled level gives its surfaces and fogs, its entity text,
// and the way the game compares such names.
#include <sys/stat.h>

#include <cstdint>
#include <cstring>

#include "io/io.h"
#include "level/readers.h"

namespace {

constexpr int lump_count = 17;
constexpr size_t header_size = 8 + lump_count * 8;
constexpr int entities_lump = 0;
constexpr int shaders_lump = 1;
constexpr int fogs_lump = 12;
constexpr size_t record_size = 72;
constexpr size_t name_size = 64;

// The lump whose directory entry is at entry, or nothing when it does not
// lie within the file.
bool read_lump(int fd, std::uint64_t file_size, const unsigned char *entry, std::string &lump) {
    std::uint64_t offset = le32(entry), length = le32(entry + 4);
    // Both are signed in the file: a negative one reads as more than 2 GiB.
    if (offset > INT32_MAX || length > INT32_MAX || offset + length > file_size)
        return false;
    lump.resize(static_cast<size_t>(length));
    return read_range(fd, lump.data(), length, offset) == static_cast<long long>(length);
}

void names_in(std::string_view lump, std::vector<std::string> &names) {
    for (size_t at = 0; at + record_size <= lump.size(); at += record_size) {
        const char *name = lump.data() + at;
        names.emplace_back(name, strnlen(name, name_size));
    }
}

void read_names(int fd, std::uint64_t file_size, const unsigned char *entry,
                std::vector<std::string> &names) {
    std::string lump;
    if (read_lump(fd, file_size, entry, lump))
        names_in(lump, names);
}

// The whole header of a compiled level ("IBSP" version 46) into header.
bool read_level_header(int fd, unsigned char (&header)[header_size]) {
    return read_range(fd, header, sizeof header, 0) == static_cast<long long>(sizeof header) &&
           std::memcmp(header, "IBSP", 4) == 0 && le32(header + 4) == 46;
}

} // namespace

std::string shader_key(std::string_view name) {
    std::string key;
    key.reserve(name.size());
    for (char c : name)
        key += c == '\\' ? '/' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    size_t dot = key.rfind('.');
    if (dot != std::string::npos && key.find('/', dot) == std::string::npos)
        key.resize(dot);
    return key;
}

std::string lower_case(std::string_view name) {
    std::string lower(name);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

bool is_compiled_level(const char *bsp_path) {
    struct stat st;
    fd_owner bsp{open_as_file(bsp_path, st)};
    unsigned char header[header_size];
    return bsp.fd >= 0 && read_level_header(bsp.fd, header);
}

level_lumps read_level_lumps(const char *bsp_path) {
    level_lumps level;
    struct stat st;
    fd_owner bsp{open_as_file(bsp_path, st)};
    unsigned char header[header_size];
    if (bsp.fd < 0 || !read_level_header(bsp.fd, header))
        return level;
    auto size = static_cast<std::uint64_t>(st.st_size);
    read_names(bsp.fd, size, header + 8 + shaders_lump * 8, level.shaders);
    read_names(bsp.fd, size, header + 8 + fogs_lump * 8, level.shaders);
    if (read_lump(bsp.fd, size, header + 8 + entities_lump * 8, level.entities))
        level.entities.resize(strnlen(level.entities.data(), level.entities.size()));
    return level;
}

bool is_compiled_level_bytes(std::string_view bsp) {
    return bsp.size() >= header_size && bsp.compare(0, 4, "IBSP") == 0 &&
           le32(reinterpret_cast<const unsigned char *>(bsp.data()) + 4) == 46;
}

level_lumps level_lumps_of_bytes(std::string_view bsp) {
    level_lumps level;
    if (!is_compiled_level_bytes(bsp))
        return level;
    // The same bounds as read_lump: a lump past the end gives nothing.
    auto lump = [&](int index) {
        const auto *entry = reinterpret_cast<const unsigned char *>(bsp.data()) + 8 + index * 8;
        std::uint64_t offset = le32(entry), length = le32(entry + 4);
        if (offset > INT32_MAX || length > INT32_MAX || offset + length > bsp.size())
            return std::string_view();
        return bsp.substr(offset, length);
    };
    names_in(lump(shaders_lump), level.shaders);
    names_in(lump(fogs_lump), level.shaders);
    std::string_view entities = lump(entities_lump);
    level.entities = std::string(entities.substr(0, entities.find('\0')));
    return level;
}
