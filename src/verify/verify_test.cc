// --verify as a user runs it: the sample packed, then tried in the game's
// real dedicated server, whole and spoiled.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "support.h"
#include "verify/verify.h"

namespace {

const std::string sample = MAPCRATE_SOURCE_DIR "/samples/crateyard";

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
        std::string lines; // those about the game, each with its end
        for (size_t at = 0, end; (end = run.out.find('\n', at)) != std::string::npos; at = end + 1)
            lines += run.out.compare(at, 6, "Jeu : ") == 0 ? run.out.substr(at, end + 1 - at) : "";
        EXPECT_EQ(lines, r.lines) << r.bsp;
        // The engine's last line, the one that failed, told on standard error too.
        std::string last = r.lines.substr(r.lines.rfind("Jeu : ") + 6);
        EXPECT_EQ(run.err.find("Le jeu refuse le paquet crateyard.pk3 : " + last) < run.err.size(),
                  r.status != 0)
            << run.err;
        EXPECT_EQ(list_dir("tmp"), std::vector<std::string>{".keep"}) << r.bsp;
    }
    // Each map of a package in a server of its own; the arena scripts once.
    for (const std::string name : {"one", "two", "a;quit"})
        write_file("two/maps/" + name + ".bsp", level);
    write_file("two/scripts/two.arena", "{ map \"two\" }");
    // Not named .pk3: the server sees it as one all the same.
    const char *zip_two = "import sys, zipfile\n"
                          "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                          "    for n in sys.argv[2:]: z.write('two/' + n, n)";
    run_program(
        {"python3", "-c", zip_two, "two.zip", "maps/one.bsp", "scripts/two.arena", "maps/two.bsp"});
    run_program({"python3", "-c", zip_two, "odd.pk3", "maps/two.bsp", "maps/a;quit.bsp"});
    verify_report two = verify_package("two.zip");
    EXPECT_EQ(two.verdict, verify_verdict::pass);
    const std::string no_aas = "Jeu : bots : pas de fichier AAS";
    EXPECT_EQ(two.lines,
              (std::vector<std::string>{"Jeu : maps/one.bsp : ok", "Jeu : scripts/two.arena : ok",
                                        no_aas, "Jeu : maps/two.bsp : ok", no_aas}));
    // A name the server would read as two commands is not given to it.
    EXPECT_EQ(verify_package("odd.pk3").lines,
              (std::vector<std::string>{
                  "Jeu : maps/two.bsp : ok", "Jeu : scripts/two.arena : echec : absent du paquet",
                  no_aas, "Jeu : maps/a;quit.bsp : echec : nom que le serveur ne peut charger"}));
    EXPECT_EQ(list_dir("tmp"), std::vector<std::string>{".keep"});
    // A server that takes too long is stopped, and its folder still removed.
    engine_setup hurried = setup;
    hurried.seconds = 0;
    EXPECT_EQ(verify_package("crateyard.pk3", hurried).lines,
              std::vector<std::string>{
                  "Jeu : maps/crateyard.bsp : echec : le serveur n'a pas fini en 0 s"});
    EXPECT_EQ(list_dir("tmp"), std::vector<std::string>{".keep"});
    unsetenv("TMPDIR");
}

TEST(Verify, WithoutAServerTheDebianPackageIsNamed) {
    engine_setup missing{"/nonexistent/ioq3ded", "", 60};
    verify_report report = verify_package(sample + "/maps/crateyard.bsp", missing);
    EXPECT_EQ(report.verdict, verify_verdict::no_engine);
    testing::internal::CaptureStderr();
    EXPECT_EQ(tell_verify(report, "crateyard.pk3"), 7);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("openarena-server"), std::string::npos);
}

} // namespace
