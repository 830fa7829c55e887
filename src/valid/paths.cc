// The path routines every builder of the staging tree's paths goes through.
#include <cstring>

#include "mapcrate.h"

namespace {

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

// Position of the last separator of path, or 0 when the scan reaches the
// first byte (which may or may not be a separator itself).
size_t last_separator_scan(const char *path, size_t n) {
    size_t pos = n;
    while (pos > 0 && !is_separator(path[pos]))
        --pos;
    return pos;
}

} // namespace

void str_end_cpy(std::string &dest, std::string_view src) {
    dest.reserve(dest.size() + src.size());
    for (char c : src)
        dest.push_back(c == '\\' ? '/' : c);
}

const char *get_file_name(const char *path) {
    size_t n = std::strlen(path);
    if (n == 0)
        return path;
    size_t pos = last_separator_scan(path, n);
    // A bare name typed by hand is all file name, not missing its first byte.
    if (pos == 0 && !is_separator(path[0]))
        return path;
    return path + pos + 1;
}

std::string get_dir_name(const char *path) {
    size_t n = std::strlen(path);
    if (n == 0)
        return std::string();
    return std::string(path, last_separator_scan(path, n));
}
