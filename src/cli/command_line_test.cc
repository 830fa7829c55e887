// mapcrate with arguments, run as a build script runs it, on names from the
// map's files (the rows of the usage, rules and questions are recorded
// whole in tests/outputs/command_line.txt).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <map>

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
        entities += "{\"classname\" \"k\tk\" \"noise\" \"" + name + "\"}";
        write_file("G/" + name, "xx");
    }
    write_file("G/maps/l.bsp", level_bytes({"textures/x/\x1b]0;t\x07"}, {}, entities));
    mkdir(game.c_str(), 0755);
    write_zip(game + "/pak0.pk3", {owned, "the game's"});
    const std::string shown_evil = "sound/a\\nmaps/evil.bsp\\t-\\t99.wav",
                      missing = "textures/x/\\x1b]0;t\\x07\n";
    // Each listing line whole: one entry, four fields.
    const names listed = {"\n" + shown_evil + "\tG/" + shown_evil + "\t2\tentity k\\tk noise\n",
                          "sound/\\x1b[2J.wav\tG/sound/\\x1b[2J.wav\t2\tentity k\\tk noise\n",
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

// The arena script's keys, the mode words, --arena and --add: the status
// and the message of each bad value, the arena script the good ones write.
TEST(ArenaOptions, StatusMessageOrTheScriptWritten) {
    temp_dir work;
    write_file("l.bsp", level_bytes({}));
    write_file("r.txt", "R");
    write_file("blank.arena", "");
    write_file("other.arena", "{ map \"n\" }");
    write_file("open.arena", "{ map \"m\"");
    write_file("loose.arena", "map \"m\"");
    write_file("split.arena", "{ map\n\"m\" }");
    write_file("semi.arena", "{ map \"m\" longname \"a;b\" }");
    write_file("nul.arena", std::string("{ map \"m\" }\0", 12));
    write_file("big.arena", "{ map \"m\" }" + std::string(8192, ' '));
    mkfifo("pipe.arena", 0644);
    mkdir("d", 0755);
    symlink("gone", "link.arena");
    const std::string head = "{\r\nmap \"m\"\r\nbots \"", tail = "\"\r\n}\r\n";
    const std::string usage = "Essayez", bad_count = "sans signe", bad_text = "que le jeu refuse",
                      bad_path = "chemin refus", clash = "d\xc3\xa9j\xc3\xa0 une entr";
    const struct {
        names args;
        int status;
        std::string said; // in standard error, or the whole arena script written
    } rows[] = {
        {{},
         0,
         head + "phobos\"\r\nlongname \"\"\r\nfraglimit 20\r\ntimelimit 60\r\ntype \"" + tail},
        {{"--modes", "dom,ffa,lms,2v2", "--author", "Jo", "--bots", "sarge grism", "--fraglimit",
          "0", "--timelimit", "007", "--capturelimit", "2147483647"},
         0,
         head +
             "sarge grism\"\r\nlongname \"\"\r\nauthor \"Jo\"\r\nfraglimit 0\r\ntimelimit 7\r\n"
             "capturelimit 2147483647\r\ntype \"ffa 2v2 lms dom " +
             tail},
        {{"--modes", "ffa,dm"}, 2, "inconnu"},
        {{"--fraglimit", "-1"}, 2, bad_count},
        {{"--timelimit", "+3"}, 2, bad_count},
        {{"--capturelimit", "2147483648"}, 2, bad_count},
        {{"--fraglimit", "12x"}, 2, bad_count},
        {{"--fraglimit", ""}, 2, bad_count},
        {{"--bots", "a\"b"}, 2, bad_text},
        {{"--author", "a\nb"}, 2, bad_text},
        {{"--author", "a\\b"}, 2, bad_text},
        {{"--author", ""}, 2, bad_text},
        {{"--arena", "other.arena", "--timelimit", "5"}, 2, "pas avec --timelimit"},
        {{"--description", "d", "--arena", "other.arena"}, 2, "pas avec --description"},
        {{"--add", "r.txt=../r.txt"}, 2, bad_path},
        {{"--add", "r.txt=/r.txt"}, 2, bad_path},
        {{"--add", "r.txt=a\\r.txt"}, 2, bad_path},
        {{"--add", "r.txt=a//r.txt"}, 2, bad_path},
        {{"--add", "r.txt=" + std::string(64, 'r')}, 2, bad_path},
        {{"--add", "r.txt", "--add", "l.bsp=R.TXT"}, 2, clash},
        {{"--add", "r.txt=MAPS/M.bsp"}, 2, clash},
        {{"--add", "r.txt=scripts/M.arena"}, 2, clash},
        {{"--add", "r.txt=Mapcrate"}, 2, clash},
        {{"--make-levelshot", "--add", "r.txt=levelshots/M.jpg"}, 2, clash},
        {{"--add", "gone.txt"}, 1, "introuvable"},
        {{"--add", "d"}, 1, "est un dossier"},
        {{"--arena", "pipe.arena"}, 1, "ordinaire"},
        {{"--arena", "link.arena"}, 1, "un lien"},
        {{"--arena", "blank.arena"}, 1, "est vide"},
        {{"--arena", "big.arena"}, 1, "8192 octets ou plus"},
        {{"--arena", "nul.arena"}, 1, "octet nul"},
        {{"--arena", "other.arena"}, 1, "ne nomme pas la map m"},
        {{"--arena", "open.arena"}, 1, "nulle accolade"},
        {{"--arena", "loose.arena"}, 1, "s'arr\xc3\xaate \xc3\xa0 map"},
        {{"--arena", "split.arena"}, 1, "map n'a pas de valeur"},
        {{"--arena", "semi.arena"}, 1, "longname ou sa valeur"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(::testing::PrintToString(r.args));
        unlink("m.pk3");
        names args = r.args;
        args.push_back("--yes");
        run_result run = mapcrate(level(args, "m", "l.bsp"));
        ASSERT_EQ(run.status, r.status) << run.err;
        if (r.status != 0) {
            EXPECT_NE(run.err.find(r.said), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(r.status == 2 ? usage : "mapcrate: "), std::string::npos);
            EXPECT_NE(access("m.pk3", F_OK), 0);
            continue;
        }
        std::map<std::string, std::string> packed;
        for (const zip_entry &e : read_zip_with_python("m.pk3").entries)
            packed[e.name] = e.data;
        EXPECT_EQ(packed["scripts/m.arena"], r.said);
    }
}

// The author's arena script and the added files are packed byte for byte,
// the arena script in its place, the added files after the level's.
TEST(ArenaOptions, OwnArenaAndAddedFilesKeepTheirBytes) {
    temp_dir work;
    const std::string arena = "// mine\n{\n  map \"M\" /* case aside */ longname \"Caf\xe9\"\n}\n";
    write_file("l.bsp", level_bytes({}));
    write_file("my.arena", arena);
    write_file("LICENSE", "free");
    write_file("doc/a=b.txt", "notes");
    run_result run = mapcrate(
        level({"--arena", "my.arena", "--add", "LICENSE", "--add", "doc/a=b.txt=docs/notes.txt"},
              "m", "l.bsp"));
    ASSERT_EQ(run.status, 0) << run.err;
    // The level's and the credits' bytes are other tests' business.
    std::vector<std::pair<std::string, std::string>> packed, wanted = {{"maps/m.bsp", ""},
                                                                       {"scripts/m.arena", arena},
                                                                       {"LICENSE", "free"},
                                                                       {"docs/notes.txt", "notes"},
                                                                       {"mapcrate", ""}};
    for (const zip_entry &e : read_zip_with_python("m.pk3").entries)
        packed.emplace_back(e.name, e.name == "maps/m.bsp" || e.name == "mapcrate" ? "" : e.data);
    EXPECT_EQ(packed, wanted);
}

} // namespace
