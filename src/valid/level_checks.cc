// Header checks of the BSP, the AAS and the levelshot, and the checksum the
// game compares between a level and its navigation file.
#include "level_checks.h"

#include <nettle/md4.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "io/io.h"
#include "level/levelshot.h"
#include "level/readers.h"

namespace {

constexpr size_t aas_header_size = 4 + 4 + 4 + 14 * 8;

// Hands the file open on fd, from its start, to take in chunks until its
// end or until limit bytes.  False on a read error.
template <class F> bool read_through(int fd, size_t limit, F take) {
    std::vector<unsigned char> chunk(64 * 1024);
    for (std::uint64_t at = 0; at < limit;) {
        size_t want = static_cast<size_t>(std::min<std::uint64_t>(chunk.size(), limit - at));
        long long n = read_range(fd, chunk.data(), want, at);
        if (n < 0)
            return false;
        if (n == 0)
            return true;
        take(chunk.data(), static_cast<size_t>(n));
        at += static_cast<std::uint64_t>(n);
    }
    return true;
}

// The first n bytes of a regular file; fewer when it is shorter or unreadable.
std::string head_of(const char *path, size_t n) {
    struct stat st;
    fd_owner fd{open_as_file(path, st)};
    std::string head;
    if (fd.fd >= 0)
        read_through(fd.fd, n, [&](const unsigned char *p, size_t len) {
            head.append(reinterpret_cast<const char *>(p), len);
        });
    return head;
}

uint32_t le32(const std::string &s, size_t at) {
    return ::le32(reinterpret_cast<const unsigned char *>(s.data()) + at);
}

// The checksum folded from a level's MD4 digest.
int32_t fold_digest(md4_ctx &md4) {
    unsigned char digest[MD4_DIGEST_SIZE];
    md4_digest(&md4, sizeof digest, digest);
    uint32_t sum = 0;
    for (size_t i = 0; i < sizeof digest; i += 4)
        sum ^= ::le32(digest + i);
    return static_cast<int32_t>(sum);
}

} // namespace

std::optional<int32_t> aas_checksum_of_bytes(std::string_view head) {
    std::string h(head.substr(0, aas_header_size));
    if (h.size() != aas_header_size || h.compare(0, 4, "EAAS") != 0)
        return std::nullopt;
    uint32_t version = le32(h, 4);
    if (version != 4 && version != 5)
        return std::nullopt;
    // Version 5 stores its header after the version XORed with (i*119)&0xFF.
    if (version == 5)
        for (size_t i = 0; i < 4; ++i)
            h[8 + i] = static_cast<char>(h[8 + i] ^ ((i * 119) & 0xFF));
    return static_cast<int32_t>(le32(h, 8));
}

int32_t bsp_checksum_of_bytes(std::string_view bsp) {
    md4_ctx md4;
    md4_init(&md4);
    md4_update(&md4, bsp.size(), reinterpret_cast<const unsigned char *>(bsp.data()));
    return fold_digest(md4);
}

namespace {

// The checksum the AAS was computed for, when its header is a navigation file's.
std::optional<int32_t> aas_bsp_checksum(const char *aas_path) {
    return aas_checksum_of_bytes(head_of(aas_path, aas_header_size));
}

// The picture the arena menu shows as it is: 128x128, in a format the game
// reads (a JPEG in three colour components, as the menus' own are).
bool is_levelshot(const char *path) {
    image_header h = read_image_header(path);
    return h.format != image_format::none && h.width == 128 && h.height == 128 &&
           (h.format != image_format::jpg || h.components == 3);
}

} // namespace

std::optional<int32_t> bsp_checksum(const char *bsp_path) {
    struct stat st;
    fd_owner fd{open_as_file(bsp_path, st)};
    if (fd.fd < 0)
        return std::nullopt;
    md4_ctx md4;
    md4_init(&md4);
    if (!read_through(fd.fd, SIZE_MAX,
                      [&](const unsigned char *p, size_t n) { md4_update(&md4, n, p); }))
        return std::nullopt;
    return fold_digest(md4);
}

std::vector<level_problem> level_problems(const char *bsp_path, const char *aas_path,
                                          const char *levelshot_path) {
    std::vector<level_problem> found;
    if (!is_compiled_level(bsp_path))
        found.push_back(level_problem::bsp_not_level);
    if (aas_path[0] != '\0') {
        std::optional<int32_t> made_for = aas_bsp_checksum(aas_path);
        if (!made_for)
            found.push_back(level_problem::aas_not_navigation);
        else if (made_for != bsp_checksum(bsp_path))
            found.push_back(level_problem::aas_for_another_bsp);
    }
    if (levelshot_path[0] != '\0' && !is_levelshot(levelshot_path))
        found.push_back(level_problem::levelshot_not_128);
    return found;
}
