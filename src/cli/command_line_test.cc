// mapcrate with arguments, run as a build script runs it, on names from the
// map's files (the rows of the usage, rules and questions are recorded
// whole in tests/outputs/command_line.txt).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support.h"

namespace {

using names = std::vector<std::string>;

run_result mapcrate(const names &args) {
    names command = {"env", "-u", "DISPLAY", "LC_ALL=C.UTF-8", MAPCRATE_PROGRAM};
    command.insert(command.end(), args.begin(), args.end());
    return run_program(command, "y\n");
}

// --bsp BSP --name NAME, then more.
names level(const names &more, const std::string &name, const char *bsp) {
    names args = {"--bsp", bsp, "--name", name};
    args.insert(args.end(), more.begin(), more.end());
    return args;
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
