#include "level/game_files.h"

#include <strings.h>
#include <sys/stat.h>
#include <unzip.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

#include "io/io.h"
#include "level/tree.h"

namespace {

// A shader script larger than this is not a shader script.
constexpr std::uint64_t script_limit = 16u << 20;

struct unz_closer {
    void operator()(void *z) const {
        unzClose(z);
    }
};
using unz_owner = std::unique_ptr<void, unz_closer>;

bool holds_pak0(const std::string &dir) {
    struct stat st;
    return !dir.empty() && stat(join_path(dir, "pak0.pk3").c_str(), &st) == 0 &&
           S_ISREG(st.st_mode);
}

std::string last_component(const std::string &path) {
    size_t end = path.find_last_not_of('/');
    if (end == std::string::npos)
        return std::string();
    size_t start = path.find_last_of('/', end);
    return path.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1) + 1);
}

// The usual places, the game the author's folder is named for first.
std::vector<std::string> usual_places(const std::string &author_dir) {
    const char *home = std::getenv("HOME");
    std::string h = home ? home : "";
    std::vector<std::string> oa = {"/usr/share/games/openarena/baseoa"};
    std::vector<std::string> q3 = {"/usr/share/games/quake3/baseq3"};
    if (!h.empty()) {
        oa.push_back(h + "/.openarena/baseoa");
        q3.push_back(h + "/.q3a/baseq3");
    }
    bool q3_first = strcasecmp(last_component(author_dir).c_str(), "baseq3") == 0;
    std::vector<std::string> places = q3_first ? q3 : oa;
    for (const std::string &p : q3_first ? oa : q3)
        places.push_back(p);
    return places;
}

// The name of the entry the archive is at; empty when it cannot be read.
std::string entry_name(void *zip, unz_file_info64 &info) {
    std::string name(256, '\0');
    if (unzGetCurrentFileInfo64(zip, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) !=
        UNZ_OK)
        return std::string();
    if (info.size_filename > name.size()) {
        name.assign(info.size_filename, '\0');
        if (unzGetCurrentFileInfo64(zip, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) !=
            UNZ_OK)
            return std::string();
    }
    name.resize(std::min<size_t>(info.size_filename, name.size()));
    return name;
}

bool read_entry(void *zip, const unz_file_info64 &info, std::string &text) {
    if (info.uncompressed_size > script_limit || unzOpenCurrentFile(zip) != UNZ_OK)
        return false;
    text.resize(static_cast<size_t>(info.uncompressed_size));
    int n = text.empty() ? 0 : unzReadCurrentFile(zip, text.data(), unsigned(text.size()));
    // Closing checks the entry's CRC once it was read to its end.
    bool whole = unzCloseCurrentFile(zip) == UNZ_OK && n == static_cast<int>(text.size());
    return whole;
}

bool is_shader_script(const std::string &lower_name) {
    return lower_name.compare(0, 8, "scripts/") == 0 && lower_name.size() > 15 &&
           lower_name.compare(lower_name.size() - 7, 7, ".shader") == 0 &&
           lower_name.find('/', 8) == std::string::npos;
}

// A shader script of the game: its text, and where the engine's list of
// scripts meets its name (which archive, which entry in it).
struct game_script {
    std::size_t archive = 0, entry = 0;
    std::string text;
};

// Adds one archive's entries; its shader scripts replace those of the
// archives before it.
bool read_archive(const std::string &path, std::size_t archive, game_files &game,
                  std::map<std::string, game_script> &scripts) {
    unz_owner zip{unzOpen64(path.c_str())};
    if (!zip)
        return false;
    std::size_t entry = 0;
    for (int at = unzGoToFirstFile(zip.get()); at == UNZ_OK; at = unzGoToNextFile(zip.get())) {
        unz_file_info64 info;
        std::string name = lower_case(entry_name(zip.get(), info));
        ++entry;
        if (name.empty() || name.back() == '/')
            continue;
        ++game.count;
        game.keys.insert(shader_key(name));
        std::string text;
        if (is_shader_script(name) && read_entry(zip.get(), info, text))
            scripts[name] = {archive, entry, std::move(text)};
        game.paths.insert(std::move(name));
    }
    return true;
}

} // namespace

std::string find_game_dir(const std::string &explicit_dir, const std::string &author_dir) {
    std::vector<std::string> places = {explicit_dir, author_dir};
    const char *env = std::getenv("MAPCRATE_GAME_DIR");
    if (env)
        places.push_back(env);
    if (!env || env[0] != '\0')
        for (const std::string &p : usual_places(author_dir))
            places.push_back(p);
    for (const std::string &p : places)
        if (holds_pak0(p))
            return p;
    return std::string();
}

game_files read_game_files(const std::string &dir) {
    game_files game;
    std::vector<std::string> paks;
    {
        dir_owner listing{opendir(dir.c_str())};
        while (dirent *e = listing.d ? readdir(listing.d) : nullptr) {
            std::string name = lower_case(e->d_name);
            if (name.compare(0, 3, "pak") == 0 && name.size() >= 7 &&
                name.compare(name.size() - 4, 4, ".pk3") == 0)
                paks.push_back(e->d_name);
        }
    }
    std::sort(paks.begin(), paks.end());
    std::map<std::string, game_script> scripts;
    for (std::size_t i = 0; i < paks.size(); ++i)
        game.found |= read_archive(join_path(dir, paks[i]), i, game, scripts);
    if (game.found)
        game.dir = dir;
    // The engine lists each script name once, from the last archive that has
    // it, last archive first and entries in their order; it joins the texts
    // from the end of that list (ScanAndLoadShaderFiles).
    std::vector<std::pair<const std::string *, const game_script *>> order;
    for (const auto &[name, script] : scripts)
        order.push_back({&name, &script});
    std::sort(order.begin(), order.end(), [](const auto &x, const auto &y) {
        return x.second->archive != y.second->archive ? x.second->archive < y.second->archive
                                                      : x.second->entry > y.second->entry;
    });
    for (const auto &[name, script] : order)
        for (shader_def &def : parse_shader_script(script->text)) {
            def.script = *name;
            game.shaders.push_back(std::move(def));
        }
    return game;
}
