// Map packs: several --bsp in one package, from the command line.
#include <glob.h>
#include <gtest/gtest.h>

#include <map>

#include "support.h"
#include "verify/verify.h"

namespace {

using names = std::vector<std::string>;

run_result mapcrate(const names &args) {
    names command = {"env", "-u", "DISPLAY", "LC_ALL=C.UTF-8", MAPCRATE_PROGRAM};
    command.insert(command.end(), args.begin(), args.end());
    return run_program(command);
}

// The lines a dry run lists (entry, source, bytes, what uses it) by entry,
// but the arena script's.
std::multimap<std::string, std::string> dry_run_lines(const names &args) {
    names dry = args;
    dry.insert(dry.end(), {"--modes", "ffa", "--dry-run"});
    run_result run = mapcrate(dry);
    EXPECT_EQ(run.status, 0) << run.err;
    std::multimap<std::string, std::string> lines;
    for (size_t at = 0, end; (end = run.out.find('\n', at)) != std::string::npos; at = end + 1)
        if (size_t tab = run.out.find('\t', at); tab < end)
            if (std::string entry = run.out.substr(at, tab - at);
                entry.find(".arena") == entry.npos)
                lines.emplace(entry, run.out.substr(at, end - at));
    return lines;
}

// Two maps of the community volume, as their author's folder holds them: the
// pack holds each map's files, what both use once, and a block per map in
// its arena script; --check finds nothing and the game's server plays both.
TEST(MapPack, TwoCommunityMapsPackedCheckedAndTried) {
    glob_t found{};
    glob("/usr/share/games/openarena/baseoa/*oacmp*.pk3", 0, nullptr, &found);
    std::string release = found.gl_pathc > 0 ? found.gl_pathv[0] : "";
    globfree(&found);
    if (release.empty())
        GTEST_SKIP() << "no community volume: Debian's openarena-oacmp1 installs it";
    temp_dir work;
    ASSERT_EQ(run_program({"unzip", "-q", release, "-d", "author"}).status, 0);
    const names pack = {
        "--bsp", "author/maps/oacmpdm3.bsp", "--bsp", "author/maps/oacmpdm1.bsp", "--name", "duo"};

    // Each map's lines as it lists them alone, what both use once; the second
    // map's entities say what names their files.
    std::multimap<std::string, std::string> together = dry_run_lines(pack), apart;
    for (std::string map : {"oacmpdm3", "oacmpdm1"})
        for (const auto &[entry, line] :
             dry_run_lines({"--bsp", "author/maps/" + map + ".bsp", "--name", map, "--aas",
                            "author/maps/" + map + ".aas", "--levelshot",
                            "author/levelshots/" + map + ".tga"}))
            if (apart.count(entry) == 0)
                apart.emplace(entry, line);
    EXPECT_EQ(together, apart); // textures/akom_teleporter/black_10.tga, used by both, once

    names args = pack;
    args.insert(args.end(), {"--modes", "ffa,tourney", "--quiet"});
    ASSERT_EQ(mapcrate(args).status, 0);
    std::string arena;
    for (const zip_entry &e : read_zip_with_python("duo.pk3").entries)
        arena += e.name == "scripts/duo.arena" ? e.data : "";
    const std::string block = "\"\r\nbots \"phobos\"\r\nlongname \"\"\r\nfraglimit 20\r\ntimelimit "
                              "60\r\ntype \"ffa tourney \"\r\n}\r\n";
    EXPECT_EQ(arena, "{\r\nmap \"oacmpdm3" + block + "{\r\nmap \"oacmpdm1" + block);
    run_result check = mapcrate({"--check", "duo.pk3"});
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("duo.pk3 : 2 map(s), 0 introuvable(s)"), std::string::npos)
        << check.out;

    engine_setup setup;
    if (!find_engine(setup))
        GTEST_SKIP() << "no dedicated server: Debian's openarena-server installs it";
    run_result tried = mapcrate({"--check", "duo.pk3", "--verify"});
    EXPECT_EQ(tried.status, 0) << tried.out << tried.err;
    for (const char *map : {"oacmpdm1", "oacmpdm3"})
        EXPECT_NE(tried.out.find(std::string("Jeu : maps/") + map + ".aas : ok\nJeu : bots : ok"),
                  std::string::npos)
            << tried.out;
}

// What a map pack refuses, and its questions, before anything is written.
TEST(MapPack, RefusalsAndQuestions) {
    temp_dir work;
    for (const char *bsp :
         {"a/maps/one.bsp", "a/maps/t wo.bsp", "b/maps/ONE.bsp", "a/maps/two.bsp"})
        write_file(bsp, test_bsp());
    write_file("a/maps/bad.bsp", "not a level");
    const names two = {"--bsp", "a/maps/one.bsp", "--bsp", "a/maps/two.bsp", "--modes", "ffa"};
    const struct {
        const char *what;
        names more;
        int status;
        std::string said;
    } rows[] = {
        {"an AAS", {"--aas", "a/maps/one.bsp"}, 2, "--aas ne va pas avec plusieurs --bsp"},
        {"a levelshot", {"--levelshot", "x"}, 2, "--levelshot ne va pas avec plusieurs --bsp"},
        {"a BSP's name",
         {"--bsp", "a/maps/t wo.bsp"},
         1,
         "le jeu ne pourrait pas la charger.\na/maps/t wo.bsp\n"},
        {"the same map",
         {"--bsp", "b/maps/ONE.bsp"},
         1,
         "d\xc3\xa9j\xc3\xa0 dans le paquet (sans compter les majuscules) :\nb/maps/ONE.bsp\n"},
        {"the package's name", {"--name", "d d"}, 1, "Le nom de la map doit faire au plus 52"},
        {"a level", {"--bsp", "a/maps/bad.bsp"}, 1, "(IBSP, version 46) :\nbad\nLe jeu refusera"},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.what);
        names args = two;
        args.insert(args.end(), r.more.begin(), r.more.end());
        if (std::find(args.begin(), args.end(), "--name") == args.end())
            args.insert(args.end(), {"--name", "duo"});
        run_result run = mapcrate(args);
        EXPECT_EQ(run.status, r.status) << run.err;
        EXPECT_NE(run.err.find(r.said), std::string::npos) << run.err;
        EXPECT_EQ(list_dir("."), (names{"a", "b"}));
    }
}

} // namespace
