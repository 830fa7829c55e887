// --verify as a user runs it: the sample packed, then tried in the game's
// real dedicated server, whole and spoiled, and in fake servers that fail as
// a real one seldom does.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support.h"
#include "verify/verify.h"

namespace {

const std::string sample = MAPCRATE_SOURCE_DIR "/samples/crateyard";

TEST(Verify, TheSampleAndSpoiledPackagesInRealAndFakeServers) {
    EXPECT_EQ(verify_package("p.pk3", {"/nonexistent/ioq3ded", "", 60}).verdict,
              verify_verdict::no_engine);
    engine_setup setup;
    if (!find_engine(setup))
        GTEST_SKIP() << "no dedicated server at " << setup.engine << " with its game in "
                     << setup.base << ": Debian's openarena-server installs them";
    temp_dir dir;
    // The server's home folders go here, to be seen removed.
    setenv("TMPDIR", (dir.path + "/tmp").c_str(), 1);
    write_file("tmp/.keep", "");
    std::string level = read_file(sample + "/maps/crateyard.bsp");
    write_file("cut/maps/crateyard.bsp", level.substr(0, 1000));
    write_file("other/maps/crateyard.bsp",
               level.replace(level.find("Crate Yard"), 10, "Crate Yarx"));
    // Found through PATH's empty last entry: the real server but for segv (dies of a signal once
    // started), INT, TERM and HUP (hang with a child, send mapcrate their signal), m1* (play).
    write_file("ioq3ded", R"(#!/bin/sh
for a; do m=$a; done
case $m in segv) echo InitGame:; kill -SEGV $$;; esc) printf 'ERROR: \033]0;t\007\n';; m1*) ;;
INT|TERM|HUP) sleep 600 & printf $! >"$TMPDIR/../sleeping"; kill -$m $PPID; wait;;
*) exec )" + setup.engine + R"( "$@";; esac
echo InitGame:; while read l && [ "$l" != quit ]; do echo "${l#echo }"; done
)");
    chmod("ioq3ded", 0755);
    // A server per map, up to 64; the arena scripts once; a package not named .pk3.
    std::vector<std::string> many;
    for (int i = 100; i <= 164; ++i)
        many.insert(many.end(), {"maps/m" + std::to_string(i) + ".bsp", "x"});
    write_zip("many.zip", many);
    for (std::string map : {"segv", "INT", "TERM", "HUP"})
        write_zip(map + ".pk3", {"maps/" + map + ".bsp", "x"});
    write_zip("esc.pk3", {"maps/esc.bsp", "x", "maps/\x1b]0;t\n.bsp", "x"});

    const std::string pack = " --yes --name crateyard --modes ffa,tourney --textures " + sample +
                             "/textures --levelshot " + sample + "/levelshots/crateyard.jpg --bsp ";
    const std::string aas = "/maps/crateyard.bsp --aas " + sample + "/maps/crateyard.aas";
    const std::string ok = "Jeu : maps/crateyard.bsp : ok\nJeu : scripts/crateyard.arena : ok\n";
    const struct {
        std::string args;
        int status;
        std::string lines, out = ""; // out: found in standard output
    } rows[] = {
        {pack + sample + aas, 0, ok + "Jeu : maps/crateyard.aas : ok\nJeu : bots : ok\n"},
        {pack + sample + "/maps/crateyard.bsp", 0, ok + "Jeu : bots : pas de fichier AAS\n"},
        {pack + "cut" + aas, 6,
         "Jeu : maps/crateyard.bsp : echec : ERROR: G_ParseSpawnVars: EOF without closing brace\n"},
        {pack + "other" + aas, 6,
         ok + "Jeu : maps/crateyard.aas : echec : Fatal: aas file maps/crateyard.aas is out of "
              "date\n"},
        {" --check segv.pk3", 6,
         "Jeu : maps/segv.bsp : echec : le serveur s'est arrêté sur le signal 11 (SIGSEGV)\n"},
        {" --check esc.pk3", 6,
         "Jeu : maps/esc.bsp : echec : ERROR: \\x1b]0;t\\x07\n"
         "Jeu : maps/\\x1b]0;t\\n.bsp : echec : nom que le serveur ne peut charger\n"},
        {" --check many.zip --quiet", 6, // --quiet: the failures and the count of maps left

         "Jeu : scripts/m100.arena : echec : absent du paquet\n"
         "Jeu : 1 maps non essayées (limite 64)\n"},
        // Stopped while a server runs: exit 128+n, the server's group killed, its folder removed.
        {" --check INT.pk3", 130, ""},
        {" --check TERM.pk3", 143, ""},
        {" --check HUP.pk3", 129, ""},
        // Packages tried side by side: the first one stopped ends the run, the other's server goes too.
        {" --check INT.pk3 segv.pk3", 130, ""},
        {" --check segv.pk3 --json", 6, "",
         R"("verify":{"result":"refused","steps":[{"ok":false,"path":"maps/segv.bsp","text":)"},
    };
    for (const auto &r : rows) {
        // Each run its own few seconds, so that a broken kill fails the test, not hangs it.
        run_result run = run_program(words(
            "env PATH=/usr/bin:/bin: LC_ALL=C.UTF-8 timeout -k 1 20 " MAPCRATE_PROGRAM " --verify" +
            r.args));
        EXPECT_EQ(run.status, r.status) << r.args << "\n" << run.err;
        std::string lines; // those about the game, each with its end
        for (size_t at = 0, end; (end = run.out.find('\n', at)) != std::string::npos; at = end + 1)
            lines += run.out.compare(at, 6, "Jeu : ") == 0 ? run.out.substr(at, end + 1 - at) : "";
        EXPECT_EQ(lines, r.lines) << r.args;
        EXPECT_NE(run.out.find(r.out), std::string::npos) << run.out;
        // The first failure, told on standard error too.
        size_t failed = std::min(r.lines.find(" : echec : "), r.lines.size());
        std::string told = r.lines.substr(failed, r.lines.find('\n', failed) - failed);
        EXPECT_TRUE(told.empty() || run.err.find(told) != std::string::npos) << run.err;
        EXPECT_EQ((run.out + run.err).find_first_of("\x1b\a"), std::string::npos);
        EXPECT_EQ(list_dir("tmp"), std::vector<std::string>{".keep"}) << r.args;
        std::string stat = "/proc/" + read_file("sleeping") + "/stat";
        for (int i = 0; i < 200 && read_file(stat).find(") S ") != std::string::npos; ++i)
            usleep(10000); // a killed child may take a moment to go
        EXPECT_EQ(read_file(stat).find(") S "), std::string::npos) << r.args;
        std::remove("sleeping");
    }
    engine_setup hurried{setup.engine, setup.base, 0}; // stopped when it takes too long
    verify_line first = verify_package("crateyard.pk3", hurried).lines.at(0);
    EXPECT_EQ(std::tie(first.failed, first.note.what, first.note.path, first.note.count),
              std::make_tuple(true, msg::verify_too_slow, std::string("maps/crateyard.bsp"), 0u));
    unsetenv("TMPDIR");
}

} // namespace
