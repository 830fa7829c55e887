// The command line's arguments, --help and --version.
#include <getopt.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <set>

#include "cli/cli.h"
#include "gamepath/game_path.h"
#include "report/shown.h"
#include "stage/stage.h"

namespace {

enum option_id {
    bsp = 1,
    name,
    aas,
    levelshot,
    textures,
    description,
    modes,
    game,
    yes,
    dry_run,
    quiet,
    check,
    verify,
    json,
    make_levelshot,
    help,
    version,
    author,
    bots,
    fraglimit,
    timelimit,
    capturelimit,
    arena,
    add,
    option_end
};

const option long_options[] = {
    {"bsp", required_argument, nullptr, bsp},
    {"name", required_argument, nullptr, name},
    {"aas", required_argument, nullptr, aas},
    {"levelshot", required_argument, nullptr, levelshot},
    {"textures", required_argument, nullptr, textures},
    {"description", required_argument, nullptr, description},
    {"modes", required_argument, nullptr, modes},
    {"game", required_argument, nullptr, game},
    {"yes", no_argument, nullptr, yes},
    {"dry-run", no_argument, nullptr, dry_run},
    {"quiet", no_argument, nullptr, quiet},
    {"check", required_argument, nullptr, check},
    {"verify", no_argument, nullptr, verify},
    {"json", no_argument, nullptr, json},
    {"make-levelshot", no_argument, nullptr, make_levelshot},
    {"help", no_argument, nullptr, help},
    {"version", no_argument, nullptr, version},
    {"author", required_argument, nullptr, author},
    {"bots", required_argument, nullptr, bots},
    {"fraglimit", required_argument, nullptr, fraglimit},
    {"timelimit", required_argument, nullptr, timelimit},
    {"capturelimit", required_argument, nullptr, capturelimit},
    {"arena", required_argument, nullptr, arena},
    {"add", required_argument, nullptr, add},
    {nullptr, 0, nullptr, 0},
};

std::string option_name(int id) {
    auto known = std::find_if(std::begin(long_options), std::end(long_options),
                              [&](const option &o) { return o.val == id; });
    return std::string("--") + known->name;
}

// The command line's record of what, about the name path, with the words why.
report said(msg what, const std::string &path = std::string(),
            const std::string &why = std::string()) {
    report r;
    r.what = what;
    r.step = step_id::command_line;
    r.path = path;
    r.why = why;
    return r;
}

// Tells what was wrong, then where to read the options.
int usage_error(msg what, const std::string &raw = std::string()) {
    tell(said(what, raw));
    print_report(said(msg::cli_try_help), stderr);
    return exit_usage;
}

int print_and_end(const report &r) {
    return print_report(r) ? exit_packed : exit_refused;
}

// Sets the modes a comma-separated list names, beside those already set;
// false at the first unknown token.
bool read_modes(const char *list, int32_t states[], std::string &unknown) {
    std::string rest = list;
    for (size_t start = 0; start <= rest.size();) {
        size_t end = std::min(rest.find(',', start), rest.size());
        std::string token = rest.substr(start, end - start);
        start = end + 1;
        if (token.empty())
            continue;
        auto known = std::find_if(mode_tokens, mode_tokens + mode_count,
                                  [&](const char *t) { return token == t; });
        if (known == mode_tokens + mode_count) {
            unknown = token;
            return false;
        }
        states[known - mode_tokens] = 1;
    }
    return true;
}

// A count of the arena script: decimal digits alone, no sign, at most INT_MAX.
bool read_count(const char *text, int &value) {
    long long v = 0;
    for (const char *c = text; *c; ++c) {
        if (*c < '0' || *c > '9' || (v = v * 10 + (*c - '0')) > INT_MAX)
            return false;
    }
    value = static_cast<int>(v);
    return *text != '\0';
}

// A text the arena script quotes: the game ends a value at a double quote
// or a line end, and drops a value holding '\' or ';'.
bool quotable(const std::string &text) {
    return !text.empty() && text.find_first_of("\"\n\r\\;") == std::string::npos;
}

// FILE, packed at the root under its own name, or FILE=GAMEPATH: the last
// '=' splits them.
added_file added_of(const std::string &arg) {
    size_t eq = arg.rfind('=');
    if (eq == std::string::npos)
        return {arg, file_of(arg)};
    return {arg.substr(0, eq), arg.substr(eq + 1)};
}

// A game path the engine reads as it is written: '/' between names, none
// empty, "." or "..", and within MAX_QPATH with its NUL.
bool plain_game_path(const std::string &path) {
    if (path.empty() || path.size() >= game_path_limit || path.find('\\') != std::string::npos)
        return false;
    for (size_t start = 0; start <= path.size();) {
        size_t end = std::min(path.find('/', start), path.size());
        std::string part = path.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return false;
        start = end + 1;
    }
    return true;
}

} // namespace

int parse_options(int argc, char **argv, cli_options &o) {
    opterr = 0;
    optind = 1;
    std::string *texts[] = {nullptr,      &o.bsp,      &o.name,       &o.aas,
                            &o.levelshot, &o.textures, &o.description};
    bool seen[option_end] = {};
    std::set<std::string> added_keys;
    std::string arena_key_option; // the first option that writes a key of the arena script
    for (int id; (id = getopt_long(argc, argv, ":", long_options, nullptr)) != -1;) {
        if (id == '?')
            return usage_error(msg::cli_unknown_option, argv[optind - 1]);
        if (id == ':')
            return usage_error(msg::cli_missing_value, argv[optind - 1]);
        // A second value would silently win over the first; the modes and
        // the added files add up, and the BSPs make a map pack.
        if (seen[id] && id != modes && id != add && id != bsp)
            return usage_error(msg::cli_repeated_option, long_options[id - 1].name);
        seen[id] = true;
        if (id == help)
            return print_and_end(said(msg::cli_help));
        if (id == version)
            return print_and_end(said(msg::cli_version, "", MAPCRATE_VERSION));
        if (id >= bsp && id <= description)
            *texts[id] = optarg;
        o.bsp_given = o.bsp_given || id == bsp;
        if (id == bsp)
            o.bsps.push_back(o.bsp);
        o.name_given = o.name_given || id == name;
        std::string unknown;
        if (id == modes && !read_modes(optarg, o.modes, unknown))
            return usage_error(msg::cli_unknown_mode, unknown);
        if (id == game)
            o.game = optarg;
        o.yes = o.yes || id == yes;
        o.dry_run = o.dry_run || id == dry_run;
        o.quiet = o.quiet || id == quiet;
        if (id == check)
            o.checks = {optarg}, o.check_given = true;
        if ((id <= modes || id == yes || id == dry_run || id == make_levelshot) &&
            o.not_with_check.empty())
            o.not_with_check = option_name(id);
        o.verify = o.verify || id == verify;
        o.json = o.json || id == json;
        o.make_levelshot = o.make_levelshot || id == make_levelshot;
        if (id >= author && id <= add && o.not_with_check.empty())
            o.not_with_check = option_name(id);
        if ((id == modes || id == description || (id >= author && id <= capturelimit)) &&
            arena_key_option.empty())
            arena_key_option = option_name(id);
        if (id == author || id == bots) {
            if (!quotable(optarg))
                return usage_error(msg::cli_bad_arena_text, option_name(id) + " " + optarg);
            (id == author ? o.author : o.bots) = optarg;
        }
        int *counts[] = {&o.fraglimit, &o.timelimit, &o.capturelimit};
        if (id >= fraglimit && id <= capturelimit && !read_count(optarg, *counts[id - fraglimit]))
            return usage_error(msg::cli_bad_count, option_name(id) + " " + optarg);
        if (id == arena && *optarg == '\0')
            return usage_error(msg::cli_missing_value, option_name(id));
        if (id == arena)
            o.arena = optarg;
        if (id == add) {
            added_file file = added_of(optarg);
            if (!plain_game_path(file.game_path))
                return usage_error(msg::cli_add_bad_path, file.game_path);
            if (!added_keys.insert(path_key(file.game_path)).second)
                return usage_error(msg::cli_add_clash, file.game_path);
            o.added.push_back(file);
        }
    }
    // --check takes every package or folder named after it.
    if (o.check_given)
        o.checks.insert(o.checks.end(), argv + optind, argv + argc);
    else if (optind < argc)
        return usage_error(msg::cli_argument_left_over, argv[optind]);
    if (o.check_given && !o.not_with_check.empty())
        return usage_error(msg::cli_not_with_check, o.not_with_check);
    if (o.json && !o.check_given)
        return usage_error(msg::cli_json_check_only);
    if (o.check_given)
        return -1;
    if (!o.bsp_given || !o.name_given)
        return usage_error(msg::cli_bsp_and_name);
    if (o.verify && o.dry_run)
        return usage_error(msg::cli_verify_not_dry_run);
    // The game makes the one levelshot, into a package that is written.
    if (o.make_levelshot && (seen[levelshot] || o.dry_run))
        return usage_error(msg::cli_shot_alone, seen[levelshot] ? "--levelshot" : "--dry-run");
    // One map, one picture: not a map pack.
    if (o.make_levelshot && o.bsps.size() > 1)
        return usage_error(msg::cli_shot_alone, option_name(bsp) + " " + o.bsps[1]);
    if (!o.arena.empty() && !arena_key_option.empty())
        return usage_error(msg::cli_not_with_arena, arena_key_option);
    // A map pack finds each map's AAS and levelshot by its name.
    if (o.bsps.size() > 1 && (seen[aas] || seen[levelshot]))
        return usage_error(msg::cli_pack_aas_levelshot, option_name(seen[aas] ? aas : levelshot));
    if (!o.bsps.empty())
        o.bsp = o.bsps.front();
    return -1;
}
