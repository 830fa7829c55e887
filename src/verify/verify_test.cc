// --verify as a user runs it: the sample packed, then tried in the game's
// real dedicated server, whole and spoiled, and in fake servers that fail as
// a real one seldom does.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "support.h"
#include "verify/verify.h"

namespace {

const std::string sample = MAPCRATE_SOURCE_DIR "/samples/crateyard";

TEST(Verify, TheSampleAndSpoiledPackagesInRealAndFakeServers) {
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
    std::string other = level;
    other.replace(other.find("Crate Yard"), 10, "Crate Yarx");
    write_file("other/maps/crateyard.bsp", other);
    // Each map of a package in a server of its own; the arena scripts once.  Not named .pk3:
    // the server sees it as one all the same.
    write_file("two/maps/one.bsp", level);
    write_file("two/maps/two.bsp", level);
    write_file("two/scripts/two.arena", "{ map \"two\" }");
    run_program({"python3", "-c",
                 "import sys, zipfile\nwith zipfile.ZipFile('two.zip', 'w') as z:\n"
                 "    for n in sys.argv[1:]: z.write('two/' + n, n)",
                 "maps/one.bsp", "scripts/two.arena", "maps/two.bsp"});
    // The server, found through the empty entry that ends PATH, is the real one but for
    // these maps: one dies of a signal, one hangs with a child, one prints an escape
    // sequence, the m1* play.
    write_file("ioq3ded", "#!/bin/sh\nfor a; do m=$a; done\ncase $m in segv) kill -SEGV $$;;\n"
                          "hang) sleep 600 & echo $! >" + dir.path + "/sleeping; wait;;\n"
                          "esc) printf 'ERROR: \\033]0;t\\007\\n';; m1*) ;;\n*) exec " +
                          setup.engine + " \"$@\";; esac\necho InitGame:\n"
                          "while read l && [ \"$l\" != quit ]; do echo \"${l#echo }\"; done\n");
    chmod("ioq3ded", 0755);
    std::vector<std::string> many;
    for (int i = 100; i <= 164; ++i)
        many.insert(many.end(), {"maps/m" + std::to_string(i) + ".bsp", "x"});
    write_zip("many.pk3", many);
    for (const char *map : {"segv", "hang"})
        write_zip(map + std::string(".pk3"), {"maps/" + std::string(map) + ".bsp", "x"});
    write_zip("esc.pk3", {"maps/esc.bsp", "x", "maps/\x1b]0;t\n.bsp", "x"});
    std::string path = getenv("PATH");
    setenv("PATH", "/usr/bin:/bin:", 1);
    setenv("LC_ALL", "C.UTF-8", 1);

    const std::string pack = " --yes --name crateyard --modes ffa,tourney --textures " + sample +
                             "/textures --levelshot " + sample + "/levelshots/crateyard.jpg --bsp ";
    const std::string aas = "/maps/crateyard.bsp --aas " + sample + "/maps/crateyard.aas";
    const std::string ok = "Jeu : maps/crateyard.bsp : ok\nJeu : scripts/crateyard.arena : ok\n";
    const std::string no_aas = "Jeu : bots : pas de fichier AAS\n";
    const struct {
        std::string args;
        int status;
        std::string lines;
    } rows[] = {
        {pack + sample + aas, 0, ok + "Jeu : maps/crateyard.aas : ok\nJeu : bots : ok\n"},
        {pack + sample + "/maps/crateyard.bsp", 0, ok + no_aas},
        {pack + "cut" + aas, 6,
         "Jeu : maps/crateyard.bsp : echec : ERROR: G_ParseSpawnVars: EOF without closing brace\n"},
        {pack + "other" + aas, 6,
         ok + "Jeu : maps/crateyard.aas : echec : Fatal: aas file maps/crateyard.aas is out of "
              "date\n"},
        {" --check two.zip", 1,
         "Jeu : maps/one.bsp : ok\nJeu : scripts/two.arena : ok\n" + no_aas +
             "Jeu : maps/two.bsp : ok\n" + no_aas},
        {" --check segv.pk3", 6,
         "Jeu : maps/segv.bsp : echec : le serveur s'est arrêté sur le signal 11 (SIGSEGV)\n"},
        {" --check esc.pk3", 6,
         "Jeu : maps/esc.bsp : echec : ERROR: \\x1b]0;t\\x07\n"
         "Jeu : maps/\\x1b]0;t\\n.bsp : echec : nom que le serveur ne peut charger\n"},
        // --quiet keeps the failures and the count of maps left.
        {" --check many.pk3 --quiet", 6,
         "Jeu : scripts/m100.arena : echec : absent du paquet\n"
         "Jeu : 1 maps non essayées (limite 64)\n"},
    };
    for (const auto &r : rows) {
        run_result run = run_program(words(MAPCRATE_PROGRAM " --verify" + r.args));
        EXPECT_EQ(run.status, r.status) << r.args << "\n" << run.err;
        std::string lines; // those about the game, each with its end
        for (size_t at = 0, end; (end = run.out.find('\n', at)) != std::string::npos; at = end + 1)
            lines += run.out.compare(at, 6, "Jeu : ") == 0 ? run.out.substr(at, end + 1 - at) : "";
        EXPECT_EQ(lines, r.lines) << r.args;
        // The first line that failed, told on standard error too.
        size_t failed = r.lines.find(" : echec : "), from = r.lines.rfind("Jeu : ", failed) + 6;
        std::string told = r.lines.substr(from, r.lines.find('\n', from) - from);
        EXPECT_EQ(run.err.find(failed == std::string::npos ? "Le jeu refuse" : " : " + told) < run.err.size(),
                  failed != std::string::npos)
            << run.err;
        EXPECT_EQ((run.out + run.err).find_first_of("\x1b\a"), std::string::npos);
        EXPECT_EQ(list_dir("tmp"), std::vector<std::string>{".keep"}) << r.args;
    }
    // A server that takes too long is stopped, and its folder still removed.
    engine_setup hurried = setup;
    hurried.seconds = 0;
    EXPECT_EQ(verify_line_text(verify_package("crateyard.pk3", hurried).lines.at(0)),
              "Jeu : maps/crateyard.bsp : echec : le serveur n'a pas fini en 0 s");
    // Stopped once its server runs: the server's group killed, its folder removed.  Each
    // wait has its own few seconds, so that a broken kill fails the test, not hangs it.
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        pid_t pid = fork();
        if (pid == 0) {
            dup2(open("/dev/null", O_WRONLY), 1);
            execl(MAPCRATE_PROGRAM, "mapcrate", "--check", "hang.pk3", "--verify", (char *)nullptr);
            _exit(127);
        }
        int status = -1;
        for (int i = 0; i < 2000 && read_file("sleeping").empty(); ++i)
            usleep(10000);
        kill(pid, sig);
        for (int i = 0; i < 1000 && waitpid(pid, &status, WNOHANG) == 0; ++i)
            usleep(10000);
        EXPECT_EQ(status, (128 + sig) << 8) << sig;
        if (status == -1 && kill(pid, SIGKILL) == 0)
            waitpid(pid, nullptr, 0);
        std::string stat = "/proc/" + std::to_string(std::atoi(read_file("sleeping").c_str()));
        auto alive = [&] { return read_file(stat + "/stat").find(") S ") != std::string::npos; };
        for (int i = 0; i < 200 && alive(); ++i)
            usleep(10000);
        EXPECT_FALSE(alive()) << sig;
        if (alive())
            kill(std::atoi(stat.c_str() + 6), SIGKILL);
        std::remove("sleeping");
        EXPECT_EQ(list_dir("tmp"), std::vector<std::string>{".keep"}) << sig;
    }
    setenv("PATH", path.c_str(), 1);
    unsetenv("LC_ALL");
    unsetenv("TMPDIR");
}

TEST(Verify, WithoutAServerTheDebianPackageIsNamed) {
    engine_setup missing{"/nonexistent/ioq3ded", "", 60};
    verify_report report = verify_package(sample + "/maps/crateyard.bsp", missing);
    EXPECT_EQ(report.verdict, verify_verdict::no_engine);
    testing::internal::CaptureStderr();
    EXPECT_EQ(tell_verify(report, "crateyard.pk3", false), 7);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("openarena-server"), std::string::npos);
}

} // namespace
