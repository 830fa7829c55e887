// Checking a map package: each map read from the package's own bytes, the
// files it uses looked up as the engine looks them up, then what is left.
#include "check/check.h"

#include <nettle/md4.h>
#include <strings.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <set>
#include <thread>
#include <unordered_map>
#include <unordered_set>

#include "io/io.h"
#include "level/arena_script.h"
#include "level/game_files.h"
#include "level/other_packages.h"
#include "level/plan.h"
#include "level/readers.h"
#include "level/tree.h"
#include "valid/level_checks.h"
#include "zip/zip_read.h"

namespace {

// Larger entries are not such files.  Levels are read as a stream, of any size.
constexpr std::uint64_t model_limit = 64u << 20;
constexpr std::uint64_t aas_header_size = 4 + 4 + 4 + 14 * 8;

// How a name is looked up: an image or a sound as named, then with each
// extension the engine tries; anything else by its exact name.
enum class kind { image, sound, exact };
enum class found_in { package, game, nowhere };

const std::vector<std::string> image_extensions = {".tga", ".jpg", ".jpeg", ".png"};
const std::vector<std::string> sound_extensions = {".wav", ".ogg"};

struct package_side {
    std::string path;
    package_listing zip;
    std::vector<bool> used, reported;
    std::unordered_map<std::string, size_t> by_path;  // lower-case name: the first readable entry
    std::vector<std::vector<shader_def>> script_defs; // in name order
    // Shader key (viewing its definition's name): definition and the script entry it
    // comes from, the first script's.
    std::unordered_map<std::string_view, std::pair<const shader_def *, size_t>> shaders;
    std::set<std::string> maps; // lower case
    // The shaders of each model entry read, by its index: each read once.
    std::unordered_map<size_t, std::vector<std::string>> model_shaders;
};

// Code the game runs for every map, whatever map is played.
bool is_game_code(const std::string &lower_path) {
    std::string ext = extension(lower_path);
    return in_folder(lower_path, "vm/", ".qvm") || ext == ".so" || ext == ".dll";
}

finding found(msg what, const std::string &path, const std::string &other = "") {
    finding f = report_of(what, step_id::check, path);
    f.other = other;
    return f;
}

// Why the engine cannot read the entry; msg::ok when it can.
finding unreadable(const package_entry &e) {
    bool other_method = e.method != 0 && e.method != Z_DEFLATED;
    finding f = found(e.flags & 1                              ? msg::check_encrypted
                      : other_method                           ? msg::check_method
                      : e.zip64                                ? msg::check_zip64
                      : e.name.size() >= game_path_limit       ? msg::check_long_name
                      : e.name.find('\\') != std::string::npos ? msg::check_backslash
                                                               : msg::ok,
                      e.name);
    f.count = static_cast<std::uint64_t>(e.method);
    return f;
}

// Indexes the readable entries; the others get their finding.
void index_package(package_side &p, std::vector<finding> &findings) {
    const std::vector<package_entry> &entries = p.zip.entries;
    p.used.assign(entries.size(), false);
    p.reported.assign(entries.size(), false);
    for (size_t i = 0; i < entries.size(); ++i) {
        finding f = unreadable(entries[i]);
        if (!failed(f)) {
            auto [first, fresh] = p.by_path.emplace(lower_case(entries[i].name), i);
            f = fresh ? f : found(msg::check_same_name, f.path, entries[first->second].name);
        }
        p.reported[i] = failed(f);
        if (failed(f))
            findings.push_back(std::move(f));
    }
}

// The package's shader scripts, in name order: the first to define a shader
// wins.  Only the wanted shaders are kept; one over the scripts' limit is
// left unread, and named.
void read_package_scripts(package_side &p, const std::unordered_set<std::string> &wanted,
                          std::vector<finding> &findings) {
    std::vector<std::pair<std::string, size_t>> scripts;
    for (const auto &[lower, at] : p.by_path)
        if (in_folder(lower, "scripts/", ".shader"))
            scripts.push_back({lower, at});
    std::sort(scripts.begin(), scripts.end());
    p.script_defs.resize(scripts.size());
    std::string text;
    for (size_t i = 0; i < scripts.size(); ++i) {
        const package_entry &entry = p.zip.entries[scripts[i].second];
        if (entry.size > shader_script_limit) {
            findings.push_back(found(msg::game_big_script, entry.name));
            p.reported[scripts[i].second] = true;
            continue;
        }
        if (read_package_entry(p.path, entry, shader_script_limit, text))
            p.script_defs[i] = parse_shader_script(text, &wanted);
    }
    for (size_t i = 0; i < scripts.size(); ++i)
        for (const shader_def &def : p.script_defs[i])
            p.shaders.emplace(def.name, std::make_pair(&def, scripts[i].second));
}

struct checker {
    package_side &package;
    const checked_game &game;
};

// Where the engine finds the name: each try in the package, then in the
// game.  Marks the package's entry used and gives its index in at.
found_in look_up(checker &c, kind k, const std::string &name, size_t *at = nullptr) {
    std::vector<std::string> tries = {lower_case(name)};
    if (k != kind::exact)
        for (const std::string &ext : k == kind::image ? image_extensions : sound_extensions)
            tries.push_back(shader_key(name) + ext);
    for (const std::string &path : tries) {
        auto hit = c.package.by_path.find(path);
        if (hit != c.package.by_path.end()) {
            c.package.used[hit->second] = true;
            if (at)
                *at = hit->second;
            return found_in::package;
        }
        if (c.game.files.paths.count(path))
            return found_in::game;
    }
    return found_in::nowhere;
}

// A map's level as the package holds it, read before the game's files are
// needed: its names, and what keeps the engine or its bots from reading it.
struct level_read {
    map_check map;
    bool readable = false;
    level_lumps level;
};

// The game's checksum of a level from its MD4 digest: the digest's four
// words XORed.
std::int32_t checksum_of(md4_ctx &md4) {
    std::uint8_t digest[MD4_DIGEST_SIZE];
    md4_digest(&md4, sizeof digest, digest);
    std::uint32_t sum = 0;
    for (size_t i = 0; i < sizeof digest; i += 4)
        sum ^= le32(digest + i);
    return static_cast<std::int32_t>(sum);
}

// The AAS named after the map, when the package has one: read by the bots
// only when it was computed for this very level.
void check_aas(package_side &p, map_check &m, const std::string &bsp_name, md4_ctx &bsp_md4) {
    auto at = p.by_path.find(lower_case("maps/" + m.name + ".aas"));
    if (at == p.by_path.end())
        return;
    p.used[at->second] = true;
    const package_entry &aas = p.zip.entries[at->second];
    std::string head;
    std::optional<int32_t> made_for;
    if (read_package_entry(p.path, aas, aas_header_size, head, aas_header_size))
        made_for = aas_checksum_of_bytes(head);
    if (!made_for)
        m.findings.push_back(found(msg::check_not_aas, aas.name));
    else if (*made_for != checksum_of(bsp_md4))
        m.findings.push_back(found(msg::check_aas_elsewhere, aas.name, bsp_name));
}

// The level's MD4 checksum is worked out as it is read, only when an AAS
// is there to compare it with.
level_read read_level(package_side &p, const package_entry &bsp_entry, const progress_sink &sink) {
    level_read r{{bsp_entry.name.substr(5, bsp_entry.name.size() - 9), {}}, false, {}};
    // Its levelshots, whatever their format, go with it.
    std::string shots = "levelshots/" + lower_case(r.map.name) + ".";
    for (const auto &[lower, at] : p.by_path)
        if (lower.compare(0, shots.size(), shots) == 0 &&
            lower.find('/', shots.size()) == std::string::npos)
            p.used[at] = true;
    bool summed = p.by_path.count(lower_case("maps/" + r.map.name + ".aas")) > 0;
    md4_ctx md4;
    md4_init(&md4);
    level_reader reader;
    bool whole = stream_package_entry(p.path, bsp_entry, [&](std::string_view piece) {
        read_level_piece(reader, piece);
        if (summed)
            md4_update(&md4, piece.size(), reinterpret_cast<const std::uint8_t *>(piece.data()));
        return !stop_asked(sink);
    });
    r.level = finish_level(reader);
    if (!whole || !r.level.compiled) {
        r.map.findings.push_back(found(msg::check_not_level, bsp_entry.name));
        return r;
    }
    if (!r.level.refused.empty()) {
        r.map.findings.push_back(found(msg::check_level_refused, bsp_entry.name));
        r.map.findings.back().why = r.level.refused;
    }
    r.readable = true;
    if (summed)
        check_aas(p, r.map, bsp_entry.name, md4);
    // Its models in the package, each read once: their surfaces name shaders too.
    for (const std::string &model : r.level.entities.models) {
        auto hit = p.by_path.find(lower_case(model));
        if (hit == p.by_path.end())
            continue;
        auto [names, fresh] = p.model_shaders.try_emplace(hit->second);
        std::string bytes;
        if (fresh && read_package_entry(p.path, p.zip.entries[hit->second], model_limit, bytes))
            names->second = md3_shader_names(bytes);
    }
    return r;
}

// Looks up every file the level uses.
void check_uses(checker &c, level_read &r) {
    map_check &m = r.map;
    std::set<std::string> missed;
    auto use = [&](kind k, const std::string &spelled, size_t *at = nullptr) {
        std::string name = engine_path(spelled);
        found_in where = look_up(c, k, name, at);
        if (where == found_in::nowhere && c.game.files.found &&
            missed.insert(lower_case(name)).second)
            m.findings.push_back(found(msg::check_missing, name));
        return where;
    };
    const entity_files &entities = r.level.entities;
    // Models first: their surfaces name shaders too.
    std::vector<std::string> shaders = std::move(r.level.shaders);
    for (const std::string &model : entities.models) {
        size_t at = 0;
        if (use(kind::exact, model, &at) != found_in::package)
            continue;
        const std::vector<std::string> &names = c.package.model_shaders[at];
        shaders.insert(shaders.end(), names.begin(), names.end());
    }
    // What a shader draws, from the definition the game takes: the game's
    // wins over the package's.
    auto use_shader = [&](const std::string &shader, const std::string &key) {
        const shader_def *def = nullptr;
        if (auto g = c.game.shaders.find(key); g != c.game.shaders.end()) {
            def = &c.game.files.shaders[g->second];
        } else if (auto p = c.package.shaders.find(key); p != c.package.shaders.end()) {
            def = p->second.first;
            c.package.used[p->second.second] = true;
        }
        if (!def) {
            // The engine's default shader draws what a compiler left unnamed.
            if (key != "noshader" && !shader.empty() && shader[0] != '*')
                use(kind::image, shader);
            return;
        }
        for (const std::string &image : def->images)
            use(kind::image, image);
        for (const std::string &video : def->videos)
            use(kind::exact, video);
    };
    std::set<std::string> seen;
    for (const std::string &shader : shaders)
        if (std::string key = shader_key(shader); seen.insert(key).second)
            use_shader(shader, key);
    for (const auto *names : {&entities.sounds, &entities.music})
        for (const std::string &sound : *names)
            use(kind::sound, sound);
}

// Arena scripts are the package's own; each map one names must be there.
void check_arenas(checker &c, std::vector<finding> &findings) {
    std::vector<size_t> arenas;
    for (const auto &[lower, at] : c.package.by_path)
        if (in_folder(lower, "scripts/", ".arena") || lower == "scripts/arenas.txt")
            arenas.push_back(at);
    std::sort(arenas.begin(), arenas.end());
    for (size_t at : arenas) {
        c.package.used[at] = true;
        std::string text;
        read_package_entry(c.package.path, c.package.zip.entries[at], shader_script_limit, text);
        for (const std::string &map : arena_maps(text)) {
            std::string bsp = "maps/" + lower_case(map) + ".bsp";
            if (!c.package.maps.count(lower_case(map)) && !c.game.files.paths.count(bsp))
                findings.push_back(
                    found(msg::check_arena_map, c.package.zip.entries[at].name, map));
        }
    }
}

// The entries no other finding names: shipped by the game, changing the
// game for every map (its code, or one of its files with other bytes), or
// used by no map.
void check_leftovers(const checker &c, std::vector<finding> &findings) {
    const package_side &p = c.package;
    for (size_t i = 0; i < p.zip.entries.size(); ++i) {
        const package_entry &e = p.zip.entries[i];
        if (p.reported[i])
            continue;
        std::string lower = lower_case(e.name);
        auto copy = c.game.copies.find(lower);
        bool in_game = copy != c.game.copies.end();
        if (in_game && copy->second.crc == e.crc && copy->second.size == e.size)
            findings.push_back(found(msg::check_game_owned, e.name));
        else if (is_game_code(lower))
            findings.push_back(found(msg::check_game_code, e.name));
        else if (in_game && !is_root_note(lower))
            findings.push_back(found(msg::check_replaces_game, e.name, copy->second.pak));
        else if (!p.used[i] && !is_root_note(lower))
            findings.push_back(found(msg::check_unused, e.name));
    }
}

// The folder of path as realpath takes it: "." for a bare name.
std::string folder_of(const std::string &path) {
    std::string dir = dir_part(path);
    return dir.empty() ? "." : dir;
}

// True when both name the same folder, links resolved.
bool same_folder(const std::string &a, const std::string &b) {
    char *x = realpath(a.c_str(), nullptr), *y = realpath(b.c_str(), nullptr);
    bool same = x && y && std::strcmp(x, y) == 0;
    std::free(x);
    std::free(y);
    return same;
}

// The conflict lines of the package against the player's other packages
// in the game's folder and its home folder.  A package that lies in one of
// them is there under its own name; any other is taken as it will be
// installed, in the home folder, as the plan takes the one it makes.
std::vector<conflict> conflicts_with_others(const std::string &package_path, package_side &p,
                                            const checked_game &game) {
    if (!game.files.found)
        return {};
    std::string file = file_of(package_path);
    std::string stem = file;
    if (extension(stem) == ".pk3")
        stem.resize(stem.size() - 4);
    // Itself, in the game's folder, is no other package.
    std::vector<pk3_contents> listed = read_other_packages(game.files.dir, stem, nullptr, false);
    if (listed.empty())
        return {};
    // Only the shaders both sides define count: the package's names first,
    // then the others' definitions of those, then the package's of the
    // names the others define.  No side's scripts multiply in memory.
    std::unordered_set<std::string> defined, shared;
    std::string text;
    for (const package_entry &e : p.zip.entries) {
        // Every script the game would list, as read_pk3 takes them.
        if (is_shader_script(path_key(e.name)) &&
            read_package_entry(p.path, e, shader_script_limit, text))
            shader_names(text, defined);
    }
    std::vector<pk3_contents> others;
    for (pk3_contents &other : listed)
        if (read_pk3(other.path, other, &defined)) {
            for (const pk3_script &script : other.scripts)
                for (const shader_def &def : script.shaders)
                    shared.insert(def.name);
            others.push_back(std::move(other));
        }
    pk3_contents own;
    if (others.empty() || !read_pk3(package_path, own, &shared))
        return {};
    own.path = "";
    own.name = file;
    own.in_home = !same_folder(folder_of(package_path), game.files.dir);
    return conflicts_between(own, others);
}

} // namespace

checked_game read_checked_game(const std::string &game_dir, const progress_sink &sink) {
    checked_game game;
    std::string dir = find_game_dir(game_dir, std::string(), game.notes);
    if (dir.empty())
        return game;
    game.files = read_game_files(dir, nullptr, sink);
    for (size_t i = 0; i < game.files.shaders.size(); ++i)
        game.shaders.emplace(game.files.shaders[i].name, i);
    for (const std::string &pak : names_in(dir, is_game_pak)) {
        if (stop_asked(sink))
            break;
        package_listing zip = list_package(join_path(dir, pak), false);
        if (read_whole(zip))
            for (const package_entry &e : zip.entries)
                game.copies[lower_case(e.name)] = {e.crc, e.size, pak};
    }
    return game;
}

package_check check_package(const std::string &package_path, const std::string &game_dir,
                            const progress_sink &sink) {
    // The game's archives are read while the package's levels are.
    checked_game game;
    std::thread reader([&] { game = read_checked_game(game_dir, sink); });
    auto read = [&]() -> const checked_game & {
        if (reader.joinable())
            reader.join();
        return game;
    };
    package_check result = check_package(package_path, read, sink);
    read();
    return result;
}

package_check check_package(const std::string &package_path,
                            const std::function<const checked_game &()> &game_of,
                            const progress_sink &sink) {
    package_check result;
    auto stopped = [&] {
        if (stop_asked(sink)) {
            result = package_check();
            result.failure = found(msg::check_cancelled, package_path);
        }
        return failed(result.failure);
    };
    package_side package;
    package.path = package_path;
    package.zip = list_package(package_path, true);
    if (!read_whole(package.zip)) {
        result.failure = found(package.zip.failure, package_path);
        result.failure.why = package.zip.why;
        return result;
    }
    std::vector<finding> unreadable;
    index_package(package, unreadable);
    if (package.zip.entry_count >= 0xffff)
        unreadable.push_back(found(msg::check_too_many_entries, package_path));
    std::vector<size_t> levels;
    for (const auto &[lower, at] : package.by_path)
        if (in_folder(lower, "maps/", ".bsp")) {
            levels.push_back(at);
            package.maps.insert(lower.substr(5, lower.size() - 9));
            package.used[at] = true;
        }
    // In name order, whatever order the tool that made the package stored them in.
    std::sort(levels.begin(), levels.end(), [&](size_t x, size_t y) {
        return package.zip.entries[x].name < package.zip.entries[y].name;
    });
    std::vector<level_read> reads;
    for (size_t i = 0; i < levels.size() && !stop_asked(sink); ++i)
        reads.push_back(read_level(package, package.zip.entries[levels[i]], sink));
    // Of the package's scripts, only the shaders its levels and models name
    // are kept: a script's size never multiplies in memory.
    std::unordered_set<std::string> wanted;
    for (const level_read &r : reads)
        for (const std::string &name : r.level.shaders)
            wanted.insert(shader_key(name));
    for (const auto &[at, names] : package.model_shaders)
        for (const std::string &name : names)
            wanted.insert(shader_key(name));
    if (!stop_asked(sink))
        read_package_scripts(package, wanted, unreadable);

    const checked_game &game = game_of();
    if (stopped())
        return result;
    result.notes = game.notes;
    result.game_found = game.files.found;
    result.game_dir = game.files.dir;
    result.game_file_count = game.files.count;
    result.notes.insert(result.notes.end(), game.files.notes.begin(), game.files.notes.end());
    // One of the game's own paks, in the game's folder, is the game: it
    // replaces its earlier paks' files on purpose, holds what the game itself
    // uses, and may repeat another's copy.  Only its maps and what the game
    // cannot read in it are findings.
    bool game_pak = game.files.found && is_game_pak(lower_case(file_of(package_path))) &&
                    same_folder(folder_of(package_path), game.files.dir);
    checker c{package, game};
    for (level_read &r : reads) {
        if (r.readable)
            check_uses(c, r);
        result.maps.push_back(std::move(r.map));
    }
    check_arenas(c, unreadable);
    if (!game_pak)
        check_leftovers(c, result.findings);
    result.findings.insert(result.findings.end(), unreadable.begin(), unreadable.end());
    if (!stopped())
        result.conflicts = conflicts_with_others(package_path, package, game);
    return result;
}

check_counts count_findings(const package_check &check) {
    check_counts c;
    c.maps = check.maps.size();
    c.conflicts = check.conflicts.size();
    std::set<std::string> missing;
    auto add = [&](const finding &f) {
        switch (f.what) {
        case msg::check_missing: c.missing += missing.insert(f.path).second; break;
        case msg::check_replaces_game:
        case msg::check_game_code: ++c.replaced; break;
        case msg::check_unused: ++c.unused; break;
        case msg::check_game_owned: ++c.game_owned; break;
        default: ++c.unreadable;
        }
    };
    for (const map_check &map : check.maps)
        for (const finding &f : map.findings)
            add(f);
    for (const finding &f : check.findings)
        add(f);
    return c;
}
