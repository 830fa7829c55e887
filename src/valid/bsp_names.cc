// The names a compiled level gives its surfaces and fogs, and the way the
// game compares such names.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "copy_file.h"
#include "map_textures.h"

namespace {

constexpr int lump_count = 17;
constexpr size_t header_size = 8 + lump_count * 8;
constexpr int shaders_lump = 1;
constexpr int fogs_lump = 12;
constexpr size_t record_size = 72;
constexpr size_t name_size = 64;

int32_t little_endian(const unsigned char *p) {
    return static_cast<int32_t>(le32(p));
}

bool read_at(int fd, void *buffer, size_t size, off_t offset) {
    return read_range(fd, buffer, size, static_cast<uint64_t>(offset)) == static_cast<long long>(size);
}

void read_names(int fd, off_t file_size, const unsigned char *entry,
                std::vector<std::string> &names) {
    int64_t offset = little_endian(entry), length = little_endian(entry + 4);
    if (offset < 0 || length < 0 || offset + length > file_size)
        return;
    std::vector<char> lump(static_cast<size_t>(length));
    if (!read_at(fd, lump.data(), lump.size(), offset))
        return;
    for (size_t at = 0; at + record_size <= lump.size(); at += record_size) {
        const char *name = lump.data() + at;
        names.emplace_back(name, strnlen(name, name_size));
    }
}

// The whole header of a compiled level ("IBSP" version 46) into header.
bool read_level_header(int fd, unsigned char (&header)[header_size]) {
    return read_at(fd, header, sizeof header, 0) && std::memcmp(header, "IBSP", 4) == 0 &&
           little_endian(header + 4) == 46;
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

bool is_compiled_level(const char *bsp_path) {
    struct stat st;
    fd_owner bsp{open_as_file(bsp_path, st)};
    unsigned char header[header_size];
    return bsp.fd >= 0 && read_level_header(bsp.fd, header);
}

std::vector<std::string> bsp_shader_names(const char *bsp_path) {
    std::vector<std::string> names;
    struct stat st;
    fd_owner bsp{open_as_file(bsp_path, st)};
    unsigned char header[header_size];
    if (bsp.fd < 0 || !read_level_header(bsp.fd, header))
        return names;
    read_names(bsp.fd, st.st_size, header + 8 + shaders_lump * 8, names);
    read_names(bsp.fd, st.st_size, header + 8 + fogs_lump * 8, names);
    return names;
}
