// The command line's arguments, --help and --version.
#include <getopt.h>

#include <algorithm>
#include <cstdio>

#include "cli/cli.h"
#include "report/shown.h"
#include "stage/stage.h"

namespace {

const char help_text[] =
    "Usage : mapcrate --bsp FICHIER --name NOM [OPTION]...\n"
    "   ou : mapcrate --check PAQUET.pk3 [--game DOSSIER] [--quiet]\n"
    "   ou : mapcrate\n"
    "Fait le paquet NOM.pk3 d'une map dans le dossier courant, sans fen\xeatre ;\n"
    "sans argument, ouvre la fen\xeatre de Mapcrate.\n"
    "\n"
    "  --bsp FICHIER          la map compil\xe9"
    "e (obligatoire)\n"
    "  --name NOM             le nom de la map (obligatoire)\n"
    "  --aas FICHIER          le fichier de navigation des bots\n"
    "  --levelshot FICHIER    l'image JPEG de 128x128 pixels en 24 bits\n"
    "  --textures DOSSIER     le dossier des textures\n"
    "  --description TEXTE    la description sommaire\n"
    "  --modes A,B,...        modes de jeu : ffa,team,ctf,single,tourney,ca,1v1,2v2\n"
    "                         (r\xe9p\xe9table : les listes s'ajoutent)\n"
    "  --game DOSSIER         le dossier des pk3 du jeu, cherch\xe9 avant les autres\n"
    "  --yes                  r\xe9pond oui aux questions et continue\n"
    "  --dry-run              liste ce que le paquet contiendrait, sans rien \xe9"
    "crire\n"
    "  --quiet                n'affiche ni la progression ni les ok de --verify\n"
    "  --check PAQUET         v\xe9rifie un paquet sans le changer : fichiers introuvables,\n"
    "                         d\xe9j\xe0 dans le jeu, inutilis\xe9s, illisibles par le jeu\n"
    "  --verify               essaie le paquet \xe9"
    "crit dans le serveur du jeu (ioq3ded)\n"
    "  --help                 affiche cette aide et quitte\n"
    "  --version              affiche la version et quitte\n"
    "Chaque autre option ne peut \xeatre donn\xe9"
    "e qu'une fois.\n"
    "\n"
    "Code de sortie :\n"
    "  0  le pk3 est \xe9"
    "crit\n"
    "  1  une r\xe8gle ou une question l'a arr\xeat\xe9\n"
    "  2  les arguments sont incorrects\n"
    "  3  la pr\xe9paration du pk3 a \xe9"
    "chou\xe9\n"
    "  4  l'\xe9"
    "criture du pk3 a \xe9"
    "chou\xe9\n"
    "  5  le paquet n'est pas un zip lisible (--check)\n"
    "  6  le jeu refuse le paquet (--verify)\n"
    "  7  aucun serveur du jeu n'est install\xe9 (--verify)\n"
    "  128+N  le signal N (SIGINT, SIGTERM, SIGHUP) l'a interrompu ; le fichier\n"
    "         temporaire est supprim\xe9 et l'ancien pk3 reste tel quel ; avec --verify,\n"
    "         le serveur est arr\xeat\xe9 et son dossier supprim\xe9\n"
    "Avec --check : 0 rien \xe0 signaler, 1 quelque chose est signal\xe9.\n";

const char version_text[] = "mapcrate " MAPCRATE_VERSION "\n"
                            "Mapcrate (c) 2026 son auteur. Tous droits r\xe9serv\xe9s.\n"
                            "\n"
                            "Ecrit par l'\xe9quipe Mapcrate.\n";

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
    help,
    version
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
    {"help", no_argument, nullptr, help},
    {"version", no_argument, nullptr, version},
    {nullptr, 0, nullptr, 0},
};

std::string option_name(int id) {
    auto known = std::find_if(std::begin(long_options), std::end(long_options),
                              [&](const option &o) { return o.val == id; });
    return std::string("--") + known->name;
}

int usage_error(const std::string &latin1, const std::string &raw = std::string()) {
    tell(latin1, raw);
    std::string hint = in_locale("Essayez \xab mapcrate --help \xbb pour plus d'informations.\n");
    std::fputs(hint.c_str(), stderr);
    return exit_usage;
}

int print_and_end(const char *latin1) {
    std::string text = in_locale(latin1);
    std::fwrite(text.data(), 1, text.size(), stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? exit_packed : exit_refused;
}

// Sets the modes a comma-separated list names, beside those already set;
// false at the first unknown token.
bool read_modes(const char *list, int32_t states[8], std::string &unknown) {
    std::string rest = list;
    for (size_t start = 0; start <= rest.size();) {
        size_t end = std::min(rest.find(',', start), rest.size());
        std::string token = rest.substr(start, end - start);
        start = end + 1;
        if (token.empty())
            continue;
        auto known =
            std::find_if(mode_tokens, mode_tokens + 8, [&](const char *t) { return token == t; });
        if (known == mode_tokens + 8) {
            unknown = token;
            return false;
        }
        states[known - mode_tokens] = 1;
    }
    return true;
}

} // namespace

int parse_options(int argc, char **argv, cli_options &o) {
    opterr = 0;
    optind = 1;
    std::string *texts[] = {nullptr,      &o.bsp,      &o.name,       &o.aas,
                            &o.levelshot, &o.textures, &o.description};
    bool seen[version + 1] = {};
    for (int id; (id = getopt_long(argc, argv, ":", long_options, nullptr)) != -1;) {
        if (id == '?')
            return usage_error("option inconnue : ", argv[optind - 1]);
        if (id == ':')
            return usage_error("valeur manquante apr\xe8s ", argv[optind - 1]);
        // A second value would silently win over the first; the modes add up.
        if (seen[id] && id != modes)
            return usage_error("option r\xe9p\xe9t\xe9"
                               "e : --",
                               long_options[id - 1].name);
        seen[id] = true;
        if (id == help)
            return print_and_end(help_text);
        if (id == version)
            return print_and_end(version_text);
        if (id >= bsp && id <= description)
            *texts[id] = optarg;
        o.bsp_given = o.bsp_given || id == bsp;
        o.name_given = o.name_given || id == name;
        std::string unknown;
        if (id == modes && !read_modes(optarg, o.modes, unknown))
            return usage_error("mode de jeu inconnu (ffa,team,ctf,single,tourney,ca,1v1,2v2) : ",
                               unknown);
        if (id == game)
            o.game = optarg;
        o.yes = o.yes || id == yes;
        o.dry_run = o.dry_run || id == dry_run;
        o.quiet = o.quiet || id == quiet;
        if (id == check)
            o.check = optarg, o.check_given = true;
        if ((id <= modes || id == yes || id == dry_run) && o.not_with_check.empty())
            o.not_with_check = option_name(id);
        o.verify = o.verify || id == verify;
    }
    if (optind < argc)
        return usage_error("argument en trop : ", argv[optind]);
    if (o.check_given && !o.not_with_check.empty())
        return usage_error("--check ne va pas avec ", o.not_with_check);
    if (o.check_given)
        return -1;
    if (!o.bsp_given || !o.name_given)
        return usage_error("--bsp et --name sont obligatoires.");
    if (o.verify && o.dry_run)
        return usage_error("--verify essaie un paquet \xe9"
                           "crit : il ne va pas avec --dry-run.");
    return -1;
}
