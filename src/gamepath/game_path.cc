// The game-path rules.
#include "gamepath/game_path.h"

#include <strings.h>

#include <algorithm>
#include <cstring>

namespace {

// Position of the last separator of path, or 0 when the scan reaches the
// first byte (which may or may not be a separator itself).
size_t last_separator_scan(const char *path, size_t n) {
    size_t pos = n;
    while (pos > 0 && !is_separator(path[pos]))
        --pos;
    return pos;
}

} // namespace

bool is_separator(char c) {
    return c == '\\' || c == '/';
}

void str_end_cpy(std::string &dest, std::string_view src) {
    dest.reserve(dest.size() + src.size());
    for (char c : src)
        dest.push_back(c == '\\' ? '/' : c);
}

std::string forward_slashes(std::string_view name) {
    std::string path(name);
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

std::string lower_case(std::string_view name) {
    std::string lower(name);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::string path_key(std::string_view name) {
    return forward_slashes(lower_case(name));
}

std::string shader_key(std::string_view name) {
    std::string key = path_key(name);
    size_t dot = key.rfind('.');
    if (dot != std::string::npos && key.find('/', dot) == std::string::npos)
        key.resize(dot);
    return key;
}

bool same_blind(const std::string &a, const std::string &b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

bool ends_with_blind(const std::string &name, const char *tail) {
    size_t n = std::strlen(tail);
    return name.size() >= n && strcasecmp(name.c_str() + name.size() - n, tail) == 0;
}

std::string extension(const std::string &path) {
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return std::string();
    return lower_case(path.substr(dot));
}

bool in_folder(const std::string &name, const char *folder, const char *ext) {
    size_t n = std::strlen(folder);
    return name.size() > n + std::strlen(ext) && strncasecmp(name.c_str(), folder, n) == 0 &&
           ends_with_blind(name, ext) && name.find('/', n) == std::string::npos;
}

bool is_shader_script(const std::string &key) {
    return key.size() > 15 && key.compare(0, 8, "scripts/") == 0 &&
           key.compare(key.size() - 7, 7, ".shader") == 0 && key.find('/', 8) == std::string::npos;
}

bool is_game_pak(const std::string &lower_name) {
    return lower_name.size() >= 7 && lower_name.compare(0, 3, "pak") == 0 &&
           lower_name.compare(lower_name.size() - 4, 4, ".pk3") == 0;
}

bool is_root_note(const std::string &lower) {
    std::string ext = extension(lower);
    return lower.find('/') == std::string::npos &&
           (ext.empty() || ext == ".txt" || ext == ".cfg" || ext == ".md" || ext == ".pdf" ||
            ext == ".html" || ext == ".htm" || ext == ".rtf");
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

std::string dir_part(const std::string &path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string file_of(const std::string &path) {
    size_t slash = path.rfind('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
}

std::vector<std::string> path_parts(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t i = 0; i <= path.size(); ++i)
        if (i == path.size() || is_separator(path[i])) {
            if (i > start)
                parts.emplace_back(path.substr(start, i - start));
            start = i + 1;
        }
    return parts;
}

std::string last_component(const std::string &path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return std::string();
    size_t start = path.find_last_of('/', end);
    start = start == std::string::npos ? 0 : start + 1;
    return path.substr(start, end - start + 1);
}
