// The player's other pk3s, and which of two pk3s the game takes a file or a
// shader from.  The game searches the home folder before its own folder,
// and in one folder the pk3 whose name sorts last first.  It lists each
// shader script name once, from the first pk3 that holds it, joins the
// scripts' texts last listed first, and takes a shader's first definition
// in that text.
#include "level/other_packages.h"

#include <libdeflate.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <unordered_map>
#include <unordered_set>

#include "io/io.h"
#include "level/game_files.h"
#include "level/plan.h"
#include "level/tree.h"
#include "report/render.h"
#include "zip/zip_read.h"

namespace {

// As the game sorts a folder's pk3 names: small letters as capitals, '\'
// and ':' as '/', bytes as signed chars.
int name_compare(const std::string &a, const std::string &b) {
    auto fold = [](char c) {
        int v = static_cast<signed char>(c);
        if (v >= 'a' && v <= 'z')
            v -= 'a' - 'A';
        return v == '\\' || v == ':' ? int('/') : v;
    };
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (int d = fold(a[i]) - fold(b[i]))
            return d < 0 ? -1 : 1;
    return a.size() == b.size() ? 0 : a.size() < b.size() ? -1 : 1;
}

bool searched_before(const pk3_contents &a, const pk3_contents &b) {
    if (a.in_home != b.in_home)
        return a.in_home;
    return name_compare(a.name, b.name) > 0;
}

void read_folder(const std::string &dir, bool in_home, const std::string &own_name,
                 const std::unordered_set<std::string> *wanted, bool contents,
                 std::vector<pk3_contents> &found) {
    auto other = [&](const std::string &lower) {
        return ends_with_blind(lower, ".pk3") && lower.size() > 4 && lower != own_name &&
               !is_game_pak(lower);
    };
    for (const std::string &name : names_in(dir, other)) {
        pk3_contents pk3{join_path(dir, name), name, in_home, {}, {}};
        if (!contents || read_pk3(pk3.path, pk3, wanted))
            found.push_back(std::move(pk3));
    }
}

// A shader's definition in a set of pk3s, and where it is.
struct definition {
    const pk3_contents *pk3 = nullptr;
    const pk3_script *script = nullptr;
    const shader_def *def = nullptr;
};
// By shader name, viewing the name its definition holds.
using definitions = std::unordered_map<std::string_view, definition>;

// The definitions the game takes from these pk3s, given in the order it
// searches them, of the shaders only names (every shader without it).
// Each pass over the scripts is linear: the check stays O(n log n) however
// many shaders the pk3s define.
template <class Names>
definitions taken(const std::vector<const pk3_contents *> &order, const Names *only) {
    std::vector<std::pair<const pk3_contents *, const pk3_script *>> listed;
    std::set<std::string> names;
    for (const pk3_contents *pk3 : order)
        for (const pk3_script &script : pk3->scripts)
            if (names.insert(path_key(script.name)).second)
                listed.push_back({pk3, &script});
    definitions found;
    size_t most = 0;
    for (const auto &script : listed)
        most += script.second->shaders.size();
    found.reserve(only ? std::min(most, only->size()) : most);
    for (auto at = listed.rbegin(); at != listed.rend(); ++at)
        for (const shader_def &def : at->second->shaders)
            if (!only || only->count(std::string_view(def.name)))
                found.emplace(def.name, definition{at->first, at->second, &def});
    return found;
}

// The CRC-32 of the file at path, read in chunks between which sink is
// asked whether to stop.
bool file_crc(const std::string &path, std::uint32_t &crc, const progress_sink &sink) {
    struct stat st;
    fd_owner in{open_as_file(path.c_str(), st)};
    if (in.fd < 0)
        return false;
    std::vector<char> chunk(1 << 20);
    crc = 0;
    long long n = 0;
    for (std::uint64_t at = 0;
         !stop_asked(sink) && (n = read_range(in.fd, chunk.data(), chunk.size(), at)) > 0;
         at += static_cast<std::uint64_t>(n))
        crc = libdeflate_crc32(crc, chunk.data(), static_cast<size_t>(n));
    return n == 0;
}

} // namespace

bool read_pk3(const std::string &path, pk3_contents &out,
              const std::unordered_set<std::string> *wanted) {
    // A directory that breaks off still gives the entries before the break.
    package_listing zip = list_package(path, false);
    if (!zip.directory)
        return false;
    for (const package_entry &e : zip.entries) {
        std::string text;
        if (is_shader_script(path_key(e.name)) &&
            read_package_entry(path, e, shader_script_limit, text))
            out.scripts.push_back({e.name, parse_shader_script(text, wanted)});
        out.entries.push_back({e.name, e.size, e.crc});
    }
    return true;
}

std::string home_game_dir(const std::string &game_dir) {
    const char *home = std::getenv("HOME");
    std::string game = lower_case(last_component(game_dir));
    if (!home || !*home || game_dir.empty())
        return std::string();
    if (game == "baseoa")
        return join_path(home, ".openarena/baseoa");
    if (game == "baseq3")
        return join_path(home, ".q3a/baseq3");
    return std::string();
}

std::vector<pk3_contents> read_other_packages(const std::string &game_dir,
                                              const std::string &map_name,
                                              const std::unordered_set<std::string> *wanted,
                                              bool contents) {
    std::vector<pk3_contents> found;
    if (game_dir.empty())
        return found;
    std::string own_name = lower_case(map_name + ".pk3"), home = home_game_dir(game_dir);
    struct stat game_st, home_st;
    bool same = !home.empty() && stat(game_dir.c_str(), &game_st) == 0 &&
                stat(home.c_str(), &home_st) == 0 && game_st.st_dev == home_st.st_dev &&
                game_st.st_ino == home_st.st_ino;
    if (!same)
        read_folder(game_dir, false, own_name, wanted, contents, found);
    if (!home.empty())
        read_folder(home, true, own_name, wanted, contents, found);
    return found;
}

std::vector<conflict> conflicts_between(const pk3_contents &package,
                                        const std::vector<pk3_contents> &others) {
    std::vector<conflict> found;
    const std::string own = package.path.empty() ? text_of(msg::conflict_this_pk3) : package.path;
    auto add = [&](msg what, const std::string &path, const std::string &other,
                   const std::string &script, const std::string &taker) {
        found.push_back({what, path, other, script, taker});
    };
    // The package's entries by key; the others' many entries are only looked up.
    std::unordered_map<std::string, size_t> own_entries;
    for (size_t k = 0; k < package.entries.size(); ++k)
        own_entries.emplace(path_key(package.entries[k].name), k);
    std::vector<std::pair<size_t, size_t>> differing; // the package's entry, the other pk3
    for (size_t i = 0; i < others.size(); ++i)
        for (const pk3_entry &e : others[i].entries) {
            auto at = own_entries.find(path_key(e.name));
            if (at == own_entries.end() || is_root_note(at->first))
                continue;
            const pk3_entry &own_entry = package.entries[at->second];
            if (own_entry.size != e.size || own_entry.crc != e.crc)
                differing.push_back({at->second, i});
        }
    std::sort(differing.begin(), differing.end());
    differing.erase(std::unique(differing.begin(), differing.end()), differing.end());
    for (const auto &[k, i] : differing)
        add(msg::conflict_file, package.entries[k].name, others[i].path, "",
            searched_before(package, others[i]) ? own : others[i].path);

    const definitions ours = taken<definitions>({&package}, nullptr);
    // For each other pk3, the shaders it defines otherwise, and where the
    // game takes those from with both installed.
    std::vector<definitions> theirs(others.size()), games(others.size());
    for (size_t i = 0; i < others.size(); ++i) {
        const pk3_contents &other = others[i];
        theirs[i] = taken({&other}, &ours);
        for (auto at = theirs[i].begin(); at != theirs[i].end();)
            at = at->second.def->body == ours.at(at->first).def->body ? theirs[i].erase(at)
                                                                      : std::next(at);
        if (!theirs[i].empty())
            games[i] = searched_before(package, other) ? taken({&package, &other}, &theirs[i])
                                                       : taken({&other, &package}, &theirs[i]);
    }
    std::unordered_set<std::string_view> asked;
    asked.reserve(ours.size());
    for (const pk3_script &script : package.scripts)
        for (const shader_def &def : script.shaders) {
            // Not when a script of the same name hides this one.
            if (!asked.insert(def.name).second || !ours.count(def.name))
                continue;
            for (size_t i = 0; i < others.size(); ++i) {
                auto their = theirs[i].find(def.name);
                if (their == theirs[i].end())
                    continue;
                add(msg::conflict_shader, def.name, others[i].path, their->second.script->name,
                    games[i].at(def.name).pk3 == &package ? own : others[i].path);
            }
        }
    return found;
}

std::string conflict_line(const conflict &c) {
    return note_text(c.what, c.path, c.other, c.script) + note_text(msg::conflict_taken, c.taker, {});
}

std::vector<std::string> conflict_lines(const pk3_contents &package,
                                        const std::vector<pk3_contents> &others) {
    std::vector<std::string> lines;
    for (const conflict &c : conflicts_between(package, others))
        lines.push_back(conflict_line(c));
    return lines;
}

std::vector<std::string> plan_conflicts(const package_plan &plan, const std::string &map_name,
                                        const progress_sink &sink) {
    if (plan.game_dir.empty())
        return {};
    pk3_contents own{"", map_name + ".pk3", true, {}, {}};
    std::unordered_map<std::string, size_t> planned; // by key
    std::unordered_set<std::string> defined;
    for (const planned_file &file : plan.files) {
        std::string key = path_key(file.game_path), text;
        planned.emplace(key, own.entries.size());
        own.entries.push_back({file.game_path, file.bytes, 0});
        if (is_shader_script(key) &&
            read_whole_file(file.source.c_str(), text, shader_script_limit)) {
            own.scripts.push_back({file.game_path, parse_shader_script(text)});
            for (const shader_def &def : own.scripts.back().shaders)
                defined.insert(def.name);
        }
    }
    // Of the others' scripts, only the shaders the package defines count.
    std::vector<pk3_contents> others = read_other_packages(plan.game_dir, map_name, &defined);
    if (others.empty())
        return {};
    // A file's CRC is worked out only when another pk3 holds its game path
    // with its size: any other size is another content already.
    std::vector<bool> summed(own.entries.size());
    for (const pk3_contents &other : others)
        for (const pk3_entry &e : other.entries) {
            auto found = planned.find(path_key(e.name));
            if (found == planned.end() || summed[found->second] ||
                own.entries[found->second].size != e.size)
                continue;
            summed[found->second] = true;
            file_crc(plan.files[found->second].source, own.entries[found->second].crc, sink);
        }
    return stop_asked(sink) ? std::vector<std::string>() : conflict_lines(own, others);
}
