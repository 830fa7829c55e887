// The package plan: every file the map uses, from the textures folder and
// the author's game folder, less what the game ships.
#include "level/plan.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "io/io.h"
#include "level/game_files.h"
#include "level/levelshot.h"
#include "level/readers.h"
#include "level/texture_folders.h"
#include "level/tree.h"
#include "report/render.h"

namespace {

// Models are read whole; larger ones are not such files.
constexpr std::uint64_t model_limit = 64u << 20;
std::string top_folder(const std::string &path) {
    return lower_case(path.substr(0, path.find('/')));
}

// How a name is looked up: an image whatever its extension, a sound by its
// name or with .wav or .ogg, anything else by its exact name.
enum class kind { image, sound, exact };

bool extension_fits(kind k, const std::string &ext) {
    static const std::set<std::string> images = {".tga", ".jpg", ".jpeg", ".png"};
    static const std::set<std::string> sounds = {".wav", ".ogg"};
    return k == kind::image ? images.count(ext) > 0 : sounds.count(ext) > 0;
}

// The author's game folder, its top folders walked as names need them.
struct author_files {
    std::string root;
    std::map<std::string, std::vector<std::string>> tops;             // lower case: spellings
    std::set<std::string> walked;                                     // lower case
    std::unordered_map<std::string, std::string> by_path;             // lower case: game path
    std::unordered_map<std::string, std::vector<std::string>> by_key; // shader_key: game paths
};

author_files list_author_folder(const std::string &root) {
    author_files a;
    a.root = root;
    std::vector<std::string> names;
    if (!root.empty())
        folder_names(root, names);
    for (const std::string &name : names) {
        struct stat st;
        if (stat(join_path(root, name).c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            a.tops[lower_case(name)].push_back(name);
    }
    return a;
}

void walk_top(author_files &a, const std::string &top) {
    if (!a.walked.insert(top).second || !a.tops.count(top))
        return;
    for (const std::string &spelling : a.tops.at(top)) {
        std::string base = join_path(a.root, spelling);
        for (const folder_files &folder : walk_tree(base))
            for (const std::string &file : folder.files) {
                std::string path = spelling + folder.path.substr(base.size()) + "/" + file;
                // Read as a separator elsewhere, a backslash could make ".." of a name.
                if (path.find('\\') != std::string::npos)
                    continue;
                if (a.by_path.emplace(lower_case(path), path).second)
                    a.by_key[shader_key(path)].push_back(path);
            }
    }
}

// What the plan has found so far.
struct planner {
    const game_files &game;
    author_files &author;
    std::multimap<std::string, texture_file> textures; // by key
    package_plan plan;
    std::set<std::string> left_out, missed;    // lower-case game paths
    std::map<std::string, std::string> placed; // lower case: as packed
    bool textures_matched = false;
    // Resolved: the author's game folder and the textures folder, which the
    // files packed from them must not lead out of.
    std::vector<std::string> roots;
    std::vector<std::string> big_scripts; // game paths of the author's scripts left unread
};

// Why a file is packed: planned_file's used_by_kind and used_by_name.
struct reason {
    std::string kind, name;
};

void add(planner &p, const std::string &game_path, const std::string &source, const reason &why) {
    // The engine finds files without case: a second spelling would hide one.
    auto [at, fresh] = p.placed.emplace(lower_case(game_path), game_path);
    if (!fresh) {
        if (at->second != game_path)
            p.plan.notes.push_back(note_text(msg::plan_same_but_case, game_path, at->second));
        return;
    }
    struct stat st {};
    stat(source.c_str(), &st);
    p.plan.files.push_back(
        {game_path, source, static_cast<std::uint64_t>(st.st_size), why.kind, why.name});
}

// Adds name to names once, case aside.
void add_once(std::set<std::string> &seen, std::vector<std::string> &names,
              const std::string &name) {
    if (seen.insert(lower_case(name)).second)
        names.push_back(name);
}

void miss(planner &p, const std::string &name) {
    add_once(p.missed, p.plan.missing, name);
}

// The shader keys of names, added to keys.
void add_keys(std::unordered_set<std::string> &keys, const std::vector<std::string> &names) {
    for (const std::string &name : names)
        keys.insert(shader_key(name));
}

// Where the names are, each once as shader_key compares them (its first
// spelling), in order.
std::vector<size_t> distinct_keys(const std::vector<std::string> &names) {
    std::unordered_set<std::string> seen;
    std::vector<size_t> distinct;
    for (size_t i = 0; i < names.size(); ++i)
        if (seen.insert(shader_key(names[i])).second)
            distinct.push_back(i);
    return distinct;
}

// False, with a note, when the engine would refuse the name.
bool fits_engine(planner &p, const std::string &name) {
    if (name.size() < game_path_limit)
        return true;
    if (!p.missed.count(lower_case(name)))
        p.plan.notes.push_back(note_text(msg::plan_path_too_long, name, {}));
    miss(p, name);
    return false;
}

// Plans the file unless it is not a regular file or, through a link at
// any level of its path, lies outside the author's folders: then it is
// named and counts as missing.
void take(planner &p, const std::string &game_path, const std::string &source,
          const reason &why) {
    std::string real = real_path(source);
    struct stat st;
    bool inside = real.empty() || std::any_of(p.roots.begin(), p.roots.end(), [&](auto &root) {
                      return real.compare(0, root.size(), root) == 0 &&
                             (root.back() == '/' || real[root.size()] == '/');
                  });
    if (inside && (stat(source.c_str(), &st) != 0 || S_ISREG(st.st_mode))) {
        add(p, game_path, source, why);
        return;
    }
    p.plan.notes.push_back(
        note_text(msg::plan_link_outside, game_path, real.empty() ? source : real));
    miss(p, game_path);
}

// True when a part of the name, split at '/' and '\\', is "..".
bool leads_up(const std::string &name) {
    std::vector<std::string> parts = path_parts(name);
    return std::find(parts.begin(), parts.end(), "..") != parts.end();
}

bool game_ships(const planner &p, kind k, const std::string &name) {
    return p.game.paths.count(lower_case(name)) ||
           (k != kind::exact && p.game.keys.count(shader_key(name)));
}

// The author's files that answer the name, as game path and source, the
// likeliest first.
std::vector<std::pair<std::string, std::string>> candidates(planner &p, kind k,
                                                            const std::string &name) {
    std::vector<std::pair<std::string, std::string>> found;
    std::string key = shader_key(name);
    if (k == kind::image) {
        auto [from, to] = p.textures.equal_range(key);
        for (auto t = from; t != to; ++t)
            found.push_back({t->second.game_path, t->second.source});
    }
    author_files &a = p.author;
    walk_top(a, top_folder(name));
    auto exact = a.by_path.find(lower_case(name));
    if (exact != a.by_path.end())
        found.push_back({exact->second, join_path(a.root, exact->second)});
    auto same_key = a.by_key.find(key);
    if (k != kind::exact && same_key != a.by_key.end())
        for (const std::string &path : same_key->second)
            if (extension_fits(k, extension(path)))
                found.push_back({path, join_path(a.root, path)});
    // The extension the name gives first, then the order the game tries.
    const std::vector<std::string> order = {extension(name), ".tga", ".jpg", ".jpeg",
                                            ".png",          ".wav", ".ogg"};
    auto rank = [&](const std::pair<std::string, std::string> &c) {
        return std::find(order.begin(), order.end(), extension(c.first)) - order.begin();
    };
    std::stable_sort(found.begin(), found.end(),
                     [&](const auto &x, const auto &y) { return rank(x) < rank(y); });
    return found;
}

// Plans the file that answers a name the map uses; true when the author
// has one, whether or not the game ships it.  The length that counts is the
// name's as spelled: the engine adds an image's or a sound's extension in a
// larger buffer, and drops a leading slash only when it opens the file.
bool use(planner &p, kind k, const std::string &spelled, const reason &why) {
    if (!fits_engine(p, spelled))
        return false;
    const std::string name = engine_path(spelled);
    std::vector<std::pair<std::string, std::string>> found = candidates(p, k, name);
    if (game_ships(p, k, name)) {
        for (const auto &c : found)
            add_once(p.left_out, p.plan.game_owned, c.first);
    } else if (!found.empty()) {
        take(p, found[0].first, found[0].second, why);
    } else if (p.game.found) {
        miss(p, name);
    }
    return !found.empty();
}

// The author's shader scripts: game path and source.
std::vector<std::pair<std::string, std::string>> author_scripts(author_files &a) {
    walk_top(a, "scripts");
    std::vector<std::pair<std::string, std::string>> scripts;
    for (const auto &[key, path] : a.by_path)
        if (key.compare(0, 8, "scripts/") == 0 && key.find('/', 8) == std::string::npos &&
            extension(key) == ".shader")
            scripts.push_back({"scripts/" + path.substr(8), join_path(a.root, path)});
    std::sort(scripts.begin(), scripts.end());
    return scripts;
}

bool archive_order(const planned_file &x, const planned_file &y) {
    bool x_tex = top_folder(x.game_path) == "textures",
         y_tex = top_folder(y.game_path) == "textures";
    if (x_tex != y_tex)
        return x_tex;
    return lower_case(x.game_path) < lower_case(y.game_path);
}

// The images and videos of the used shaders, each from the definition the
// engine takes.  It joins the scripts' texts with the least searched place
// first and takes a shader's first definition (ScanAndLoadShaderFiles,
// FindShaderInShaderText): a package in the player's home folder comes after
// the game, so the game's definition wins; within the package the text of
// its last script comes first, so the author's script that sorts last wins.
// An author's script with the path of one of the game's would replace that
// whole script for every map, and stays out.  A shader no script defines is
// drawn from the image of its own name.  Each image and video with the use
// that names it; each author's script with the first used shader it gives
// (empty when none: it stays out).
struct shader_images {
    std::vector<std::string> images, videos;
    std::vector<reason> image_uses, video_uses;
    std::vector<bool> script_used;
    std::vector<std::string> script_shader;
};

// An author's shader script, unless it is over the scripts' limit: then
// it is named, and text stays empty.
void read_author_script(planner &p, const std::pair<std::string, std::string> &script,
                        std::string &text) {
    struct stat st;
    if (stat(script.second.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::uint64_t>(st.st_size) > shader_script_limit) {
        p.plan.notes.push_back(big_script_note(script.second));
        p.big_scripts.push_back(script.first);
        return;
    }
    read_whole_file(script.second.c_str(), text, shader_script_limit);
}

// shader_from, beside shaders: the game path of the model that names each,
// empty for the level's.
shader_images images_of(planner &p, const std::vector<std::string> &shaders,
                        const std::vector<std::string> &shader_from,
                        const std::vector<std::pair<std::string, std::string>> &scripts) {
    std::unordered_map<std::string, const shader_def *> game_defined;
    for (const shader_def &def : p.game.shaders)
        game_defined.emplace(def.name, &def);
    std::unordered_set<std::string> used_keys;
    add_keys(used_keys, shaders);

    // Each name's definitions in the author's scripts, the engine's pick first.
    std::unordered_map<std::string, std::vector<std::pair<const shader_def *, size_t>>> defined;
    std::multimap<std::string, std::string> shipped_scripts; // shader: game path
    std::vector<std::vector<shader_def>> script_defs(scripts.size());
    for (size_t i = scripts.size(); i-- > 0;) {
        std::string text;
        read_author_script(p, scripts[i], text);
        script_defs[i] = parse_shader_script(text);
        bool shipped = game_ships(p, kind::exact, scripts[i].first);
        bool needed = false;
        for (const shader_def &def : script_defs[i])
            needed |= !shipped && used_keys.count(def.name) && !game_defined.count(def.name);
        if (needed && !fits_engine(p, scripts[i].first))
            continue;
        for (const shader_def &def : script_defs[i])
            if (shipped)
                shipped_scripts.emplace(def.name, scripts[i].first);
            else
                defined[def.name].push_back({&def, i});
    }

    shader_images used;
    used.script_used.resize(scripts.size());
    used.script_shader.resize(scripts.size());
    for (size_t first : distinct_keys(shaders)) {
        const std::string &shader = shaders[first];
        std::string key = shader_key(shader);
        for (auto [at, end] = shipped_scripts.equal_range(key); at != end; ++at)
            add_once(p.left_out, p.plan.game_owned, at->second);
        auto game_def = game_defined.find(key);
        const shader_def *game = game_def == game_defined.end() ? nullptr : game_def->second;
        const shader_def *found = game;
        size_t taken = 0;
        std::set<size_t> told; // one line per script
        auto author_defs = defined.find(key);
        if (author_defs != defined.end())
            for (const auto &[def, script] : author_defs->second) {
                if (!told.insert(script).second)
                    continue;
                if (game) {
                    p.plan.notes.push_back(note_text(msg::plan_shader_in_game, shader,
                                                     game->script, scripts[script].first));
                } else if (!found) {
                    found = def;
                    taken = script;
                    if (!used.script_used[script])
                        used.script_shader[script] = shader;
                    used.script_used[script] = true;
                } else {
                    p.plan.notes.push_back(note_text(msg::plan_shader_twice, shader,
                                                     scripts[taken].first, scripts[script].first));
                }
            }
        if (!found) {
            // The engine's default shader draws what a compiler left unnamed.
            if (key != "noshader" && shader[0] != '*') {
                used.images.push_back(shader);
                used.image_uses.push_back(shader_from[first].empty()
                                              ? reason{"shader", shader}
                                              : reason{"model", shader_from[first]});
            }
            continue;
        }
        used.images.insert(used.images.end(), found->images.begin(), found->images.end());
        for (size_t i = 0; i < found->images.size(); ++i)
            used.image_uses.push_back(
                {i < found->sky.size() && found->sky[i] ? "sky" : "stage", shader});
        used.videos.insert(used.videos.end(), found->videos.begin(), found->videos.end());
        used.video_uses.resize(used.videos.size(), {"stage", shader});
    }
    return used;
}

// A script left unread for its size is named among the missing files when
// one of the used shaders, undefined for it, is missing.
void name_big_scripts(planner &p, const std::vector<std::string> &shaders) {
    std::set<std::string> used;
    for (const std::string &shader : shaders)
        used.insert(shader_key(engine_path(shader)));
    if (std::none_of(p.plan.missing.begin(), p.plan.missing.end(),
                     [&](const std::string &name) { return used.count(shader_key(name)) > 0; }))
        return;
    for (const auto *scripts : {&std::as_const(p.big_scripts), &p.game.big_scripts})
        for (const std::string &script : *scripts)
            miss(p, script);
}

// The BSPs and the AASs under maps/, then the levelshots, each named after its map.
void add_named_files(planner &p, const std::vector<plan_map> &maps) {
    for (const char *folder : {"maps/", "levelshots/"})
        for (const plan_map &map : maps) {
            bool shots = folder[0] == 'l';
            const std::pair<const std::string *, const char *> named[] = {
                {&map.bsp_path, "level"},
                {&map.aas_path, "bots"},
                {&map.levelshot_path, "levelshot"}};
            for (const auto &[path, why] : named) {
                if (path->empty() || shots != (path == &map.levelshot_path))
                    continue;
                std::string name = named_after_map(map.map_name, get_file_name(path->c_str()));
                // The game finds a levelshot by its map's name with any of its image
                // extensions: the one its content calls for, whatever the file's own.
                if (shots)
                    if (std::string ext = format_extension(read_image_header(path->c_str()).format);
                        !ext.empty())
                        name = map.map_name + "." + ext;
                add(p, forward_slashes(folder + name), *path, {why, {}});
            }
        }
}

} // namespace

std::string note_text(msg what, const std::string &path, const std::string &other,
                      const std::string &why) {
    report r = report_of(what, step_id::plan, path);
    r.other = other;
    r.why = why;
    return render(r, plain_style);
}

std::string named_after_map(const std::string &map_name, const char *file_name) {
    size_t n = std::strlen(file_name);
    const char *ext = file_name;
    for (size_t pos = n; pos > 0; --pos)
        if (file_name[pos] == '.') {
            ext = file_name + pos;
            break;
        }
    return map_name + ext;
}

std::string game_dir_above_maps(const std::string &bsp_path) {
    size_t slash = bsp_path.find_last_of("/\\");
    std::string folder = slash == std::string::npos ? "." : bsp_path.substr(0, slash + 1);
    // The folder as typed when it shows its name, else as the system resolves it.
    std::string name = folder;
    while (name.size() > 1 && is_separator(name.back()))
        name.pop_back();
    size_t cut = name.find_last_of("/\\");
    std::string last = cut == std::string::npos ? name : name.substr(cut + 1);
    if (last == "." || last == ".." || last.empty()) {
        name = real_path(folder);
        cut = name.find_last_of('/');
        last = cut == std::string::npos ? std::string() : name.substr(cut + 1);
    }
    if (!same_blind(last, "maps"))
        return std::string();
    if (cut == std::string::npos)
        return ".";
    return cut == 0 ? "/" : name.substr(0, cut);
}

std::string engine_path(std::string_view name) {
    if (!name.empty() && (name[0] == '/' || name[0] == '\\'))
        name.remove_prefix(1);
    return std::string(name);
}

package_plan plan_package(const plan_request &request, const progress_sink &sink) {
    package_plan stopped;
    stopped.cancelled = true;
    std::vector<plan_map> maps = request.pack;
    if (maps.empty())
        maps.push_back(
            {request.bsp_path, request.aas_path, request.levelshot_path, request.map_name});
    // A map pack's levels are planned as one: what two maps use is packed once.
    level_lumps level;
    entity_files &entities = level.entities;
    for (const plan_map &map : maps) {
        level_lumps one = read_level_lumps(map.bsp_path.c_str(), sink);
        if (stop_asked(sink))
            return stopped;
        level.shaders.insert(level.shaders.end(), one.shaders.begin(), one.shaders.end());
        entity_files &e = one.entities;
        for (auto [to, from] :
             {std::pair(&entities.models, &e.models), std::pair(&entities.models_by, &e.models_by),
              std::pair(&entities.sounds, &e.sounds), std::pair(&entities.sounds_by, &e.sounds_by),
              std::pair(&entities.music, &e.music), std::pair(&entities.music_by, &e.music_by)})
            to->insert(to->end(), from->begin(), from->end());
    }
    std::vector<folder_info> folders;
    if (!request.textures_dir.empty())
        folders = read_textures_folder(request.textures_dir.c_str());
    author_files author =
        list_author_folder(request.textures_dir.empty() ? game_dir_above_maps(request.bsp_path)
                                                        : author_game_dir(folders, level.shaders));
    game_files game;
    planner p{game, author, {}, {}, {}, {}, {}, false, {}, {}};
    for (const std::string &root : {author.root, request.textures_dir})
        if (std::string real = root.empty() ? root : real_path(root); !real.empty())
            p.roots.push_back(real);

    // The shaders the level and the author's models name: of the game's
    // scripts, only these are kept.
    std::vector<std::string> shaders = level.shaders;
    std::vector<std::string> shader_from(shaders.size()); // the model that names each
    std::map<std::string, std::vector<std::string>> model_shaders; // by source
    for (const std::string &model : entities.models) {
        if (stop_asked(sink))
            return stopped;
        std::vector<std::pair<std::string, std::string>> found =
            candidates(p, kind::exact, engine_path(model));
        // Each file read once, however many names lead to it.
        if (found.empty() || model_shaders.count(found[0].second))
            continue;
        std::vector<std::string> &names = model_shaders[found[0].second];
        std::string bytes;
        if (read_whole_file(found[0].second.c_str(), bytes, model_limit))
            names = md3_shader_names(bytes);
    }
    std::unordered_set<std::string> wanted;
    add_keys(wanted, shaders);
    for (const auto &model : model_shaders)
        add_keys(wanted, model.second);
    if (std::string dir = find_game_dir(request.game_dir, author.root, p.plan.notes); !dir.empty())
        game = read_game_files(dir, &wanted, sink);
    if (stop_asked(sink))
        return stopped;
    p.plan.notes.insert(p.plan.notes.end(), game.notes.begin(), game.notes.end());
    p.plan.game_found = game.found;
    p.plan.game_dir = game.dir;
    p.plan.game_file_count = game.count;

    // Models first: their surfaces name shaders too.
    for (size_t i = 0; i < entities.models.size(); ++i) {
        size_t before = p.plan.files.size();
        if (use(p, kind::exact, entities.models[i], {"entity", entities.models_by[i]}) &&
            p.plan.files.size() > before) {
            auto names = model_shaders.find(p.plan.files.back().source);
            if (names != model_shaders.end()) {
                shaders.insert(shaders.end(), names->second.begin(), names->second.end());
                shader_from.resize(shaders.size(), p.plan.files.back().game_path);
            }
        }
    }
    std::vector<std::pair<std::string, std::string>> scripts = author_scripts(author);
    shader_images used = images_of(p, shaders, shader_from, scripts);
    if (stop_asked(sink))
        return stopped;

    std::vector<std::string> images;
    for (const std::string &image : used.images)
        images.push_back(engine_path(image));
    for (texture_file &t : claimed_textures(folders, images))
        p.textures.emplace(t.key, std::move(t));
    for (size_t at : distinct_keys(used.images))
        if (use(p, kind::image, used.images[at], used.image_uses[at]) &&
            top_folder(engine_path(used.images[at])) == "textures")
            p.textures_matched = true;
    for (size_t i = 0; i < used.videos.size(); ++i)
        use(p, kind::exact, used.videos[i], used.video_uses[i]);
    for (const auto &[names, by] : {std::tie(entities.sounds, entities.sounds_by),
                                    std::tie(entities.music, entities.music_by)})
        for (size_t i = 0; i < names.size(); ++i)
            use(p, kind::sound, names[i], {"entity", by[i]});
    // A textures folder that holds nothing the map names is packed flat,
    // less the names that another system would read as leading up.
    if (!folders.empty() && !p.textures_matched)
        for (const std::string &file : folders[0].files)
            if (!game_ships(p, kind::exact, "textures/" + file) && !leads_up(file) &&
                fits_engine(p, "textures/" + file))
                take(p, "textures/" + file, join_path(folders[0].path, file),
                     {"folder", folders[0].path});
    std::stable_sort(p.plan.files.begin(), p.plan.files.end(), archive_order);

    add_named_files(p, maps);
    for (size_t i = 0; i < scripts.size(); ++i)
        if (used.script_used[i])
            take(p, scripts[i].first, scripts[i].second, {"script", used.script_shader[i]});
    name_big_scripts(p, shaders);
    return std::move(p.plan);
}
