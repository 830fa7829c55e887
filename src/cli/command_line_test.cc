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
const names created = {"m.pk3"}, staged = {};

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
    const struct {
        const char *what;
        names args;
        int status;
        std::string err; // what standard error holds, with nothing after it when it ends in \n
        names left = {}; // the folder afterwards, next to the inputs
        std::string setup = "", arena_type = "";
    } rows[] = {
        {"a good run", level({"--modes", "ctf"}), 0, "", created},
        {"unknown option", level({"--fast"}), 2, "--fast\n" + usage},
        {"value missing", {"--name", "m", "--bsp"}, 2, "--bsp\n" + usage},
        {"no --name", {"--bsp", "l.bsp", "--modes", "ffa"}, 2, "--bsp et --name"},
        {"no --bsp", {"--name", "m", "--yes"}, 2, "--bsp et --name"},
        {"argument left over", level({"m.pk3"}), 2, "en trop : m.pk3"},
        {"unknown mode", level({"--modes", "ffa,dm"}), 2, ": dm\n" + usage},
        {"--verify needs a package", level({"--verify", "--dry-run"}), 2, "--dry-run.\n" + usage},
        {"textures not a folder", level({"--textures", "l.bsp"}), 1, folder},
        {"unreadable AAS", level({"--aas", "tex"}, "m", ""), 1, accents + "tex\n"},
        {"unreadable levelshot", level({"--levelshot", "l.bsp/x"}), 1, accents + "l.bsp/x\n"},
        {"repeated option", level({"--name", "n"}), 2,
         "mapcrate: option répétée : --name\n" + usage},
        {"modes add up", level({"--modes", "ffa", "--modes", "ctf,1v1"}), 0, "", created, "",
         "ffa ctf 1v1 "},
        {"BSP empty", level({}, "m", ""), 1, mandatory},
        {"name empty", level({}, ""), 1, mandatory},
        {"name of 52", level({"--modes", "ctf", "--dry-run"}, longest), 0, ""},
        {"name of 53", level({"--yes"}, too_long), 1, name_rule},
        {"console command", level({"--yes"}, "m;quit"), 1, name_rule},
        {"separator", level({"--yes"}, "a/m"), 1, name_rule},
        {"level question", level({"--modes", "ffa"}, "m", "bad.bsp"), 1,
         "mapcrate: " + bsp_q + "\nmapcrate: Rien n'a été écrit ; " + go_on},
        {"level question, --yes", level({"--modes", "1v1", "--yes"}, "m", "bad.bsp"), 0,
         "mapcrate: attention : " + bsp_q + "\n", created},
        {"both questions", level({}, "m", "bad.bsp"), 1, bsp_q + "\nmapcrate: " + mode_q},
        {"mode question, --yes", level({"--yes"}), 0, mode_q, created},
        {"dry run", level({"--modes", "ctf", "--dry-run"}), 0, ""},
        {"dry run, question", level({"--dry-run"}), 1, go_on},
        {"packing fails", level({"--yes"}, "dir"), 4, dir_pk3, staged},
        {"and --quiet", level({"--yes", "--quiet"}, "dir"), 4, dir_pk3, staged},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        temp_dir work;
        write_file("l.bsp", test_bsp());
        write_file("bad.bsp", "BSP");
        mkdir("tex", 0755);
        mkdir("dir.pk3", 0755);
        ASSERT_EQ(system(r.setup.c_str()), 0);
        names before = list_dir("."), after = before;
        after.insert(after.end(), r.left.begin(), r.left.end());
        std::sort(after.begin(), after.end());
        run_result run = mapcrate(r.args);
        EXPECT_EQ(run.status, r.status) << run.err;
        if (r.err.empty()) {
            EXPECT_EQ(run.err, "");
        } else {
            size_t at = run.err.find(r.err);
            EXPECT_NE(at, std::string::npos) << run.err;
            if (r.err.back() == '\n') {
                EXPECT_EQ(at + r.err.size(), run.err.size()) << run.err;
            }
        }
        EXPECT_EQ(list_dir("."), after);
        EXPECT_EQ(list_dir("tex"), names{}) << "written through a link";
        // Progress lines, as in the window, from the runs that got to staging (not with --quiet).
        bool quiet = std::find(r.args.begin(), r.args.end(), "--quiet") != r.args.end();
        EXPECT_EQ(run.out.find("Creation du dossier : maps/\n\n") < run.out.size(),
                  !quiet && (r.status >= 3 || !r.left.empty()));
        if (!r.arena_type.empty()) {
            std::string arena;
            for (const zip_entry &e : read_zip_with_python("m.pk3").entries)
                arena = e.name == "scripts/m.arena" ? e.data : arena;
            EXPECT_NE(arena.find("type \"" + r.arena_type + "\""), std::string::npos);
        }
        if (r.status == 0 && !r.left.empty()) {
            EXPECT_TRUE(read_zip_with_python("m.pk3").ok && unzip_test_passes("m.pk3"));
        }
    }
}

TEST(CommandLine, HelpVersionAndTheLocalesEncoding) {
    temp_dir work;
    run_result help = mapcrate({"--bsp", "x", "--help"});
    EXPECT_EQ(help.status, 0);
    for (const char *option :
         {"--bsp FICHIER", "--name NOM", "--aas", "--levelshot", "--textures", "--description",
          "--modes", "--game", "--yes", "--dry-run", "--quiet", "--help", "--version",
          "  4  l'écriture du pk3", "--verify", "  7  aucun serveur du jeu", "--check PAQUET",
          "  5  le paquet n'est pas un zip lisible"})
        EXPECT_NE(help.out.find(option), std::string::npos) << option;
    run_result version = mapcrate({"--version"}, "C");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.substr(0, version.out.find('\n')), "mapcrate 0.1");
    EXPECT_EQ(version.out.find("\xe9"), std::string::npos) << "ISO-8859-1 in the C locale";

    write_file("l.bsp", test_bsp());
    run_result c = mapcrate({"--bsp", "l.bsp", "--name", "m"}, "C");
    EXPECT_EQ(c.err.substr(0, 42), "mapcrate: Aucun mode de jeu n'a ?t? choisi");
}

} // namespace
