#include "level/game_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

#include "io/io.h"
#include "level/tree.h"
#include "report/render.h"
#include "zip/zip_read.h"

namespace {

// A message with its path and the reason in place, names as they are.
std::string plain_text(msg what, const std::string &path, const std::string &why = "") {
    report r = report_of(what, step_id::none, path);
    r.why = why;
    return render(r, plain_style);
}

// The archive's directory; when it was not read whole, why in why (ISO-8859-1
// or the system's words).
package_listing read_directory(const std::string &path, std::string &why) {
    package_listing listing = list_package(path, false);
    msg reason = !listing.opened     ? listing.failure
                 : listing.zip_start ? msg::zip_cut_short
                                     : msg::zip_not_a_zip;
    if (!read_whole(listing))
        why = plain_text(reason, "", listing.why);
    return listing;
}

bool holds_pak0(const std::string &dir, std::vector<std::string> &notes) {
    struct stat st;
    std::string pak0 = join_path(dir, "pak0.pk3");
    if (dir.empty() || stat(pak0.c_str(), &st) != 0)
        return false;
    std::string why;
    if (read_whole(read_directory(pak0, why)))
        return true;
    notes.push_back(unreadable_pak_note(pak0, why));
    return false;
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
    bool q3_first = same_blind(last_component(author_dir), "baseq3");
    std::vector<std::string> places = q3_first ? q3 : oa;
    for (const std::string &p : q3_first ? oa : q3)
        places.push_back(p);
    return places;
}

// One script of the game: the shaders wanted from it, or none when it was
// left unread for its size, and where the engine's list of scripts meets
// its name (which archive, which entry in it).
struct script_read {
    std::vector<shader_def> defs;
    bool too_big = false;
    std::size_t archive = 0, entry = 0;
};
using script_reads = std::map<std::string, script_read>; // by lower-case name

// Adds one archive's entries, and its shader scripts in place of those of
// the archives before it; nothing but a note when it cannot be read whole.
bool read_archive(const std::string &path, std::size_t archive, game_files &game,
                  script_reads &scripts, const std::unordered_set<std::string> *wanted) {
    std::string why;
    std::vector<std::string> names;
    script_reads mine;
    package_listing zip = read_directory(path, why);
    for (std::size_t entry = 0; why.empty() && entry < zip.entries.size(); ++entry) {
        const package_entry &e = zip.entries[entry];
        std::string name = lower_case(e.name);
        if (is_shader_script(name)) {
            mine[name].archive = archive;
            mine[name].entry = entry;
            std::string text;
            if (e.size > shader_script_limit)
                mine[name].too_big = true;
            else if (read_package_entry(path, e, shader_script_limit, text))
                mine[name].defs = parse_shader_script(text, wanted);
            else
                why = plain_text(msg::zip_entry_unreadable, name);
        }
        names.push_back(std::move(name));
    }
    if (!why.empty()) {
        game.notes.push_back(unreadable_pak_note(path, why));
        return false;
    }
    for (auto &[name, script] : mine) {
        if (script.too_big)
            game.notes.push_back(big_script_note(join_path(path, name)));
        scripts[name] = std::move(script);
    }
    game.count += names.size();
    for (std::string &name : names) {
        game.keys.insert(shader_key(name));
        game.paths.insert(std::move(name));
    }
    return true;
}

} // namespace

std::string unreadable_pak_note(const std::string &path, const std::string &reason) {
    return plain_text(msg::game_pak_unreadable, path, reason);
}

std::string big_script_note(const std::string &path) {
    return plain_text(msg::game_big_script, path);
}

std::vector<std::string> names_in(const std::string &dir,
                                  const std::function<bool(const std::string &)> &keep) {
    std::vector<std::string> names;
    dir_owner listing{opendir(dir.c_str())};
    while (dirent *e = listing.d ? readdir(listing.d) : nullptr)
        if (keep(lower_case(e->d_name)))
            names.push_back(e->d_name);
    std::sort(names.begin(), names.end());
    return names;
}

std::string find_game_dir(const std::string &explicit_dir, const std::string &author_dir,
                          std::vector<std::string> &notes) {
    std::vector<std::string> places = {explicit_dir, author_dir};
    const char *env = std::getenv("MAPCRATE_GAME_DIR");
    if (env)
        places.push_back(env);
    if (!env || env[0] != '\0')
        for (const std::string &p : usual_places(author_dir))
            places.push_back(p);
    std::set<std::string> tried;
    for (const std::string &p : places)
        if (tried.insert(p).second && holds_pak0(p, notes))
            return p;
    return std::string();
}

game_files read_game_files(const std::string &dir, const std::unordered_set<std::string> *wanted,
                           const progress_sink &sink) {
    game_files game;
    std::vector<std::string> paks = names_in(dir, is_game_pak);
    script_reads scripts;
    for (std::size_t i = 0; i < paks.size() && !stop_asked(sink); ++i)
        game.found |= read_archive(join_path(dir, paks[i]), i, game, scripts, wanted);
    if (game.found)
        game.dir = dir;
    // The engine lists each script name once, from the last archive that has
    // it, last archive first and entries in their order; it joins the texts
    // from the end of that list (ScanAndLoadShaderFiles).
    std::vector<std::pair<const std::string *, script_read *>> order;
    for (auto &[name, script] : scripts)
        order.push_back({&name, &script});
    std::sort(order.begin(), order.end(), [](const auto &x, const auto &y) {
        return x.second->archive != y.second->archive ? x.second->archive < y.second->archive
                                                      : x.second->entry > y.second->entry;
    });
    for (const auto &[name, script] : order) {
        if (script->too_big)
            game.big_scripts.push_back(*name);
        for (shader_def &def : script->defs) {
            def.script = *name;
            game.shaders.push_back(std::move(def));
        }
    }
    return game;
}
