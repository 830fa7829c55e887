// mapcrate with arguments, run as a build script runs it: no display, and
// what it prints, its exit status and what it leaves in the folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support.h"

namespace {

using names = std::vector<std::string>;

run_result mapcrate(const names &args, const char *locale = "C.UTF-8") {
    names command = {"env", "-u", "DISPLAY", std::string("LC_ALL=") + locale, MAPCRATE_PROGRAM};
    command.insert(command.end(), args.begin(), args.end());
    return run_program(command, "y\n");
}

// Staging is private: the package is all a run adds.
const names created = {"m.pk3"};

// --bsp BSP --name NAME, then more.
names level(const names &more, const std::string &name = "m", const char *bsp = "l.bsp") {
    names args = {"--bsp", bsp, "--name", name};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

TEST(CommandLine, RulesQuestionsAndExitStatuses) {
    const std::string bsp_q = "Le fichier BSP n'est pas une map compilée pour le jeu (IBSP, "
                              "version 46).",
                      mode_q = "Aucun mode de jeu n'a été choisis",
                      go_on = "avec --yes, mapcrate passe outre",
                      name_rule = "Le nom de la map doit faire au plus 52 caractères",
                      usage = "Essayez « mapcrate --help »",
                      mandatory = "Revérifiez les champs en Rouge",
                      folder =
                          "mapcrate: Veuillez selectionner un dossier valide pour les textures\n";
    const std::string longest(52, 'n'), too_long(53, 'n'),
        dir_pk3 = "écrit : dir.pk3 : not a regular file\n", accents = "caracteres accentués.\n";
    // --help names every option and what exit statuses 4, 5 and 7 mean.
    names help = words("--bsp --name --aas --levelshot --textures --description --modes --game "
                       "--yes --dry-run --quiet --help --version --verify --check");
    help.insert(help.end(), {"  4  l'écriture du pk3", "  5  le paquet n'est pas un zip lisible",
                             "  7  aucun serveur du jeu"});
    const struct {
        const char *what;
        names args;
        int status;
        std::string err; // what standard error holds, with nothing after it when it ends in \n
        names left = {}; // the folder afterwards, next to the inputs
        std::string arena_type = "";
        names out = {}; // lines standard output holds
        const char *locale = "C.UTF-8";
    } rows[] = {
        {"unknown option", level({"--fast"}), 2, "--fast\n" + usage},
        {"value missing", {"--name", "m", "--bsp"}, 2, "--bsp\n" + usage},
        {"no --name", {"--bsp", "l.bsp", "--modes", "ffa"}, 2, "--bsp et --name"},
        {"no --bsp", {"--name", "m", "--yes"}, 2, "--bsp et --name"},
        {"argument left over", level({"m.pk3"}), 2, "en trop : m.pk3"},
        {"unknown mode", level({"--modes", "ffa,dm"}), 2, ": dm\n" + usage},
        {"--verify needs a package", level({"--verify", "--dry-run"}), 2, "--dry-run.\n" + usage},
        {"textures not a folder", level({"--textures", "l.bsp"}), 1, folder},
        {"unreadable levelshot", level({"--levelshot", "l.bsp/x"}), 1, accents + "l.bsp/x\n"},
        {"repeated option", level({"--name", "n"}), 2,
         "mapcrate: option répétée : --name\n" + usage},
        {"a good run, modes added up", level({"--modes", "ffa", "--modes", "ctf,1v1"}), 0, "",
         created, "ffa ctf 1v1 "},
        {"BSP empty", level({}, "m", ""), 1, mandatory},
        {"name of 52", level({"--modes", "ctf", "--dry-run"}, longest), 0, ""},
        {"name of 53", level({"--yes"}, too_long), 1, name_rule},
        {"console command", level({"--yes"}, "m;quit"), 1, name_rule},
        {"level question", level({"--modes", "ffa"}, "m", "bad.bsp"), 1,
         "mapcrate: " + bsp_q + "\nmapcrate: Rien n'a été écrit ; " + go_on},
        {"level question, --yes", level({"--modes", "1v1", "--yes"}, "m", "bad.bsp"), 0,
         "mapcrate: attention : " + bsp_q + "\n", created},
        {"both questions", level({}, "m", "bad.bsp"), 1, bsp_q + "\nmapcrate: " + mode_q},
        {"mode question, --yes", level({"--yes"}), 0, mode_q, created},
        {"dry run, question", level({"--dry-run"}), 1, go_on},
        {"packing fails", level({"--yes"}, "dir"), 4, dir_pk3},
        {"and --quiet", level({"--yes", "--quiet"}, "dir"), 4, dir_pk3},
        {"--help", level({"--help"}), 0, "", {}, "", help},
        // The version's first line and status are the install test's.
        {"--version, C locale", {"--version"}, 0, "", {}, "", {"Tous droits r?serv?s."}, "C"},
        {"C locale", level({}), 1, "Aucun mode de jeu n'a ?t? choisi", {}, "", {}, "C"},
        {"--check, not a zip", {"--check", "bad.bsp"}, 5, "zip lisible) : bad.bsp\n"},
        {"--check, a folder", {"--check", "dir.pk3"}, 5, "fichier ordinaire) : dir.pk3\n"},
        {"--check, --bsp", {"--check", "bad.bsp", "--bsp", "l.bsp"}, 2, "avec --bsp\n" + usage},
        {"--check, --dry-run", {"--dry-run", "--check", "l.bsp"}, 2, "avec --dry-run\n" + usage},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        temp_dir work;
        write_file("l.bsp", test_bsp());
        write_file("bad.bsp", "BSP\n");
        mkdir("dir.pk3", 0755);
        names before = list_dir("."), after = before;
        after.insert(after.end(), r.left.begin(), r.left.end());
        std::sort(after.begin(), after.end());
        run_result run = mapcrate(r.args, r.locale);
        EXPECT_EQ(run.status, r.status) << run.err;
        for (const std::string &line : r.out)
            EXPECT_NE(run.out.find(line), std::string::npos) << line;
        // err, at the end when it ends a line (all of it when empty).
        const size_t at = run.err.find(r.err);
        const bool at_end = r.err.empty() || r.err.back() == '\n';
        EXPECT_TRUE(at != std::string::npos && (!at_end || at + r.err.size() == run.err.size()))
            << run.err;
        EXPECT_EQ(list_dir("."), after);
        // Progress lines, as in the window, from the runs that got to staging (not with --quiet).
        bool quiet = std::find(r.args.begin(), r.args.end(), "--quiet") != r.args.end();
        EXPECT_EQ(run.out.find("Creation du dossier : maps/\n\n") < run.out.size(),
                  !quiet && (r.status == 4 || !r.left.empty()));
        if (!r.arena_type.empty()) {
            std::string arena;
            for (const zip_entry &e : read_zip_with_python("m.pk3").entries)
                arena = e.name == "scripts/m.arena" ? e.data : arena;
            EXPECT_NE(arena.find("type \"" + r.arena_type + "\""), std::string::npos);
        }
    }
}

// Names from the map's files on the terminal: one line each and nothing the
// terminal obeys, while the package keeps their bytes.
TEST(ShownNames, OneLineEachOnTheTerminalTheBytesInThePackage) {
    temp_dir work;
    const std::string evil = "sound/a\nmaps/evil.bsp\t-\t99.wav", clear = "sound/\x1b[2J.wav",
                      owned = "sound/\x1b[1mown.wav", game = "pak\x1b[7m";
    std::string entities;
    for (const std::string &name : {evil, clear, owned}) {
        entities += "{\"noise\" \"" + name + "\"}";
        write_file("G/" + name, "xx");
    }
    write_file("G/maps/l.bsp", level_bytes({"textures/x/\x1b]0;t\x07"}, {}, entities));
    mkdir(game.c_str(), 0755);
    write_zip(game + "/pak0.pk3", {owned, "the game's"});
    const std::string shown_evil = "sound/a\\nmaps/evil.bsp\\t-\\t99.wav",
                      missing = "textures/x/\\x1b]0;t\\x07\n";
    // Each listing line whole: one entry, three fields.
    const names listed = {"\n" + shown_evil + "\tG/" + shown_evil + "\t2\n",
                          "sound/\\x1b[2J.wav\tG/sound/\\x1b[2J.wav\t2\n",
                          "Fichiers du jeu : pak\\x1b[7m (1 fichiers)\n",
                          "Deja dans le jeu : sound/\\x1b[1mown.wav\n", "Introuvable : " + missing},
                copied = {
                    "Creation du dossier : sound/a\\nmaps/\n",
                    "Copie du fichier evil.bsp\\t-\\t99.wav vers le dossier : m/sound/a\\nmaps/\n",
                    " :cp \"G/" + shown_evil + "\" \"" + shown_evil + "\"\n"};
    const struct {
        const char *what;
        std::string option;
        int status;
        names out, err;
    } rows[] = {
        {"dry run", "--dry-run", 1, listed, {"ni dans le jeu :\n" + missing}},
        {"run", "--yes", 0, copied, {"attention : La map utilise"}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        run_result run =
            mapcrate(level({"--modes", "ffa", "--game", game, r.option}, "m", "G/maps/l.bsp"));
        EXPECT_EQ(run.status, r.status) << run.err;
        for (const auto &[said, wanted] : {std::pair(run.out, r.out), std::pair(run.err, r.err)})
            for (const std::string &line : wanted)
                EXPECT_NE(said.find(line), std::string::npos) << line << " in:\n" << said;
        const std::string said = run.out + run.err;
        EXPECT_TRUE(std::none_of(said.begin(), said.end(), [](char c) {
            return (c >= 0 && c < ' ' && c != '\n' && c != '\t') || c == 0x7f;
        })) << said;
    }
    names entries;
    for (const zip_entry &e : read_zip_with_python("m.pk3").entries)
        entries.push_back(e.name);
    EXPECT_EQ(entries, (names{clear, evil, "maps/m.bsp", "scripts/m.arena", "mapcrate"}));
}

} // namespace
