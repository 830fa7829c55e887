// Names from the map's files on the terminal: one line each and nothing the
// terminal obeys, while the package keeps their bytes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "mapcrate.h"
#include "support.h"

namespace {

using names = std::vector<std::string>;

TEST(ShownNames, ControlBytesEscapedTheRestKept) {
    const std::pair<std::string, std::string> rows[] = {
        {"a\tb\nc\rd\\", "a\\tb\\nc\\rd\\\\"},
        {std::string("\x1b]0;t\x07\x7f\0", 8), "\\x1b]0;t\\x07\\x7f\\x00"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae"},
        {"\xc2\x9b\xc2\xa0", "\\xc2\\x9b\xc2\xa0"},                  // U+009B, the terminal's CSI
        {"\x9b\xe9\xc3", "\\x9b\xe9\xc3"},                           // ISO-8859-1's CSI
        {"\xed\xa0\x80\xe0\x80\x80", "\xed\xa0\\x80\xe0\\x80\\x80"}, // no UTF-8: bytes alone
    };
    for (const auto &[name, text] : rows)
        EXPECT_EQ(shown(name), text);
    // The plan keeps the names of its notes as they are; each note is a line of
    // its own that shows them, in the terminal's encoding.
    package_plan plan;
    plan.notes = {"Pk3 du jeu illisible : a\nb.pk3 : x", "ignor\xe9 : y"};
    testing::internal::CaptureStdout();
    print_plan(plan, "\n");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Fichiers du jeu introuvables : rien n'est exclu\n"
              "Pk3 du jeu illisible : a\\nb.pk3 : x\nignor\xc3\xa9 : y\n");
}

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
                staged = {
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
        {"run", "--yes", 0, staged, {"attention : La map utilise"}},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        names args = words("env -u DISPLAY LC_ALL=C.UTF-8 " MAPCRATE_PROGRAM
                           " --bsp G/maps/l.bsp --name m --modes ffa --game");
        args.insert(args.end(), {game, r.option});
        run_result run = run_program(args);
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
