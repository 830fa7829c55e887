// --verify as a user runs it: the sample packed, then tried in the game's
// real dedicated server, whole and spoiled.
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

// The lines about the game, each with its end.
std::string game_lines(const std::string &out) {
    std::string lines;
    for (size_t at = 0, end; (end = out.find('\n', at)) != std::string::npos; at = end + 1)
        lines += out.compare(at, 6, "Jeu : ") == 0 ? out.substr(at, end + 1 - at) : "";
    return lines;
}

TEST(Verify, TheSampleAndSpoiledPackagesInTheGamesServer) {
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

    const std::string ok = "Jeu : maps/crateyard.bsp : ok\nJeu : scripts/crateyard.arena : ok\n";
    const struct {
        std::string bsp;
        bool aas;
        int status;
        std::string lines;
    } rows[] = {
        {sample, true, 0, ok + "Jeu : maps/crateyard.aas : ok\nJeu : bots : ok\n"},
        {sample, false, 0, ok + "Jeu : bots : pas de fichier AAS\n"},
        {"cut", true, 6,
         "Jeu : maps/crateyard.bsp : echec : ERROR: G_ParseSpawnVars: EOF without closing brace\n"},
        {"other", true, 6,
         ok + "Jeu : maps/crateyard.aas : echec : Fatal: aas file maps/crateyard.aas is out of "
              "date\n"},
    };
    for (const auto &r : rows) {
        std::vector<std::string> args = words(
            MAPCRATE_PROGRAM " --yes --verify --name crateyard --modes ffa,tourney --textures " +
            sample + "/textures --bsp " + r.bsp + "/maps/crateyard.bsp --levelshot " + sample +
            "/levelshots/crateyard.jpg" +
            (r.aas ? " --aas " + sample + "/maps/crateyard.aas" : ""));
        args.insert(args.end(), {"--description", "Crate Yard"});
        run_result run = run_program(args);
        EXPECT_EQ(run.status, r.status) << r.bsp << "\n" << run.err;
        EXPECT_EQ(game_lines(run.out), r.lines) << r.bsp;
        // The engine's last line, the one that failed, told on standard error too.
        std::string last = r.lines.substr(r.lines.rfind("Jeu : ") + 6);
        EXPECT_EQ(run.err.find("Le jeu refuse le paquet crateyard.pk3 : " + last) < run.err.size(),
                  r.status != 0)
            << run.err;
        EXPECT_EQ(list_dir("tmp"), std::vector<std::string>{".keep"}) << r.bsp;
    }
    // Each map of a package in a server of its own; the arena scripts once.
    for (const std::string name : {"one", "two"})
        write_file("two/maps/" + name + ".bsp", level);
    write_file("two/scripts/two.arena", "{ map \"two\" }");
    // Not named .pk3: the server sees it as one all the same.
    run_program({"python3", "-c",
                 "import sys, zipfile\nwith zipfile.ZipFile('two.zip', 'w') as z:\n"
                 "    for n in sys.argv[1:]: z.write('two/' + n, n)",
                 "maps/one.bsp", "scripts/two.arena", "maps/two.bsp"});
    auto texts = [](const verify_report &report) {
        std::vector<std::string> t;
        for (const verify_line &line : report.lines)
            t.push_back(verify_line_text(line));
        return t;
    };
    verify_report two = verify_package("two.zip");
    EXPECT_EQ(two.verdict, verify_verdict::pass);
    const std::string no_aas = "Jeu : bots : pas de fichier AAS";
    EXPECT_EQ(texts(two), (std::vector<std::string>{"Jeu : maps/one.bsp : ok",
                                                    "Jeu : scripts/two.arena : ok", no_aas,
                                                    "Jeu : maps/two.bsp : ok", no_aas}));
    // A server that takes too long is stopped, and its folder still removed.
    engine_setup hurried = setup;
    hurried.seconds = 0;
    EXPECT_EQ(texts(verify_package("crateyard.pk3", hurried)),
              std::vector<std::string>{
                  "Jeu : maps/crateyard.bsp : echec : le serveur n'a pas fini en 0 s"});
    EXPECT_EQ(list_dir("tmp"), std::vector<std::string>{".keep"});

    // Fake servers, found through the empty entry that ends PATH: by the map's name, one
    // dies of a signal, one prints an escape sequence, one hangs with a child, the others play.
    write_file("ioq3ded", "#!/bin/sh\nfor a; do m=$a; done\ncase $m in\n"
                          "segv) kill -SEGV $$;;\nesc) printf 'ERROR: \\033]0;t\\007\\n';;\n"
                          "hang) sleep 600 & echo $! >" + dir.path + "/sleeping; wait;;\nesac\n"
                          "echo InitGame:; while read l && [ \"$l\" != quit ]; do echo \"${l#echo }\"; done\n");
    chmod("ioq3ded", 0755);
    std::vector<std::string> many;
    for (int i = 100; i <= 164; ++i)
        many.insert(many.end(), {"maps/m" + std::to_string(i) + ".bsp", "x"});
    write_zip("many.pk3", many);
    write_zip("segv.pk3", {"maps/segv.bsp", "x"});
    write_zip("esc.pk3", {"maps/esc.bsp", "x", "maps/\x1b]0;t\n.bsp", "x"});
    write_zip("hang.pk3", {"maps/hang.bsp", "x"});
    std::string path = getenv("PATH");
    setenv("PATH", "/usr/bin:/bin:", 1);
    setenv("LC_ALL", "C.UTF-8", 1);
    const struct {
        std::string pk3, lines;
    } fakes[] = {
        {"segv.pk3",
         "Jeu : maps/segv.bsp : echec : le serveur s'est arrêté sur le signal 11 (SIGSEGV)\n"},
        {"esc.pk3", "Jeu : maps/esc.bsp : echec : ERROR: \\x1b]0;t\\x07\nJeu : maps/\\x1b]0;t\\n.bsp "
                    ": echec : nom que le serveur ne peut charger\n"},
        // --quiet keeps the failures and the count of maps left.
        {"many.pk3 --quiet", "Jeu : scripts/m100.arena : echec : absent du paquet\n"
                             "Jeu : 1 maps non essayées (limite 64)\n"},
    };
    for (const auto &f : fakes) {
        run_result run = run_program(words(MAPCRATE_PROGRAM " --verify --check " + f.pk3));
        EXPECT_EQ(run.status, 6) << f.pk3 << run.err;
        EXPECT_EQ(game_lines(run.out), f.lines);
        EXPECT_EQ((run.out + run.err).find_first_of("\x1b\a"), std::string::npos);
    }
    // Stopped once its server runs: the server's group killed, its folder removed. Each wait
    // has its own few seconds, so that a broken kill fails the test, not hangs it.
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
        if (status == -1 && kill(pid, SIGKILL) == 0)
            waitpid(pid, nullptr, 0);
        EXPECT_EQ(status, (128 + sig) << 8) << sig;
        std::string child = "/proc/" + std::to_string(std::atoi(read_file("sleeping").c_str()));
        std::string state = read_file(child + "/stat");
        EXPECT_TRUE(state.empty() || state.find(") Z ") != std::string::npos) << state;
        if (!state.empty() && state.find(") Z ") == std::string::npos)
            kill(std::atoi(read_file("sleeping").c_str()), SIGKILL);
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
