// The arena script and the credits file, byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

std::string arena(const std::string &map, const std::string &longname, const std::string &types) {
    return "{\r\nmap \"" + map + "\"\r\nbots \"phobos\"\r\nlongname \"" + longname +
           "\"\r\nfraglimit 20\r\ntimelimit 60\r\ntype \"" + types + "\"\r\n}\r\n";
}

// Writes the scripts for map; returns what was printed.
std::string generate(const char *map, const char *description, const int32_t (&modes)[8]) {
    form_record f;
    f.map_name = map;
    f.description = description;
    std::copy(modes, modes + 8, f.mode_states);
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    gener_scripts(&f);
    return testing::internal::GetCapturedStdout();
}

const char *const credits =
    "pk3 creer avec Mapcrate v0.1\r\nhttp://mapcrate.example.org/\r\n\r\n"
    "Mapcrate (c) 2026 son auteur\r\n\r\n\r\nMerci a l'auteur de minizip\r\n"
    "https://www.zlib.net/";

TEST(GenerScripts, ArenaScriptIsWrittenByteForByte) {
    struct {
        const char *map, *description;
        int32_t modes[8];
        const char *map_out, *longname_out, *types;
    } cases[] = {
        {"mymap", "My map", {1, 0, 1}, "mymap", "My map", "ffa ctf "},
        {"mymap", "", {}, "mymap", "", ""},
        {"m", "d", {1, 1, 1, 1, 1, 1, 1, 1}, "m", "d", "ffa team ctf single tourney ca 1v1 2v2 "},
        {"m", "d", {0, 1}, "m", "d", "team "},
        {"m", "d", {0, 0, 0, 1, -1, 0, 7}, "m", "d", "single tourney 1v1 "},
        // The game would cut a value at a double quote; CR LF as in text mode.
        {"q\"x",
         "Le \"grand\" d\xc3\xa9"
         "fi",
         {1},
         "q'x",
         "Le 'grand' d\xc3\xa9"
         "fi",
         "ffa "},
        {"m", "a $b `c` \\d\ntwo", {1}, "m", "a $b `c` \\d\r\ntwo", "ffa "},
    };
    for (const auto &c : cases) {
        temp_dir dir;
        generate(c.map, c.description, c.modes);
        EXPECT_EQ(read_file(std::string("scripts/") + c.map + ".arena"),
                  arena(c.map_out, c.longname_out, c.types))
            << c.description;
        // The credits file keeps nothing of the form.
        EXPECT_EQ(read_file("mapcrate"), credits);
    }
}

TEST(GenerScripts, ProgressLinesAndABackslashInTheMapName) {
    temp_dir dir;
    mkdir("scripts", 0755);
    mkdir("scripts/a", 0755);
    EXPECT_EQ(generate("a\\b", "", {1}),
              "Creation du dossier : scripts/\n\nCreation du fichier : scripts/a/b.arena\n\n");
    EXPECT_EQ(read_file("scripts/a/b.arena"), arena("a\\b", "", "ffa "));
}

TEST(GenerScripts, RewritesTheSameMapAndAddsAnotherBesideIt) {
    temp_dir dir;
    mode_t old = umask(0);
    generate("mymap", "a long description that makes the file longer", {1, 1, 1, 1});
    write_file("mapcrate", std::string(4096, 'x'));
    generate("mymap", "short", {1});
    generate("other", "", {0, 0, 1});
    umask(old);
    EXPECT_EQ(list_dir("scripts"), (std::vector<std::string>{"mymap.arena", "other.arena"}));
    EXPECT_EQ(read_file("scripts/mymap.arena"), arena("mymap", "short", "ffa "));
    EXPECT_EQ(read_file("scripts/other.arena"), arena("other", "", "ctf "));
    EXPECT_EQ(read_file("mapcrate"), credits);
    for (const char *path : {"scripts", "scripts/mymap.arena", "mapcrate"}) {
        struct stat st;
        ASSERT_EQ(stat(path, &st), 0) << path;
        EXPECT_EQ(st.st_mode & 07777, 0755u) << path;
    }
}

TEST(MyPutstrToFd, WritesTheTextWithoutItsNulAndReturnsTheCount) {
    temp_dir dir;
    int fd = open("out", O_RDWR | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(my_putstr_to_fd("ab\r\ncd", fd), 6);
    EXPECT_EQ(my_putstr_to_fd("", fd), 0);
    close(fd);
    EXPECT_EQ(read_file("out"), "ab\r\ncd");
    EXPECT_EQ(my_putstr_to_fd("x", fd), -1);
}

} // namespace
