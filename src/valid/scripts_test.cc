// The arena script and the credits file, byte for byte.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

TEST(GenerScripts, ArenaAndCreditsFilesByteForByteOverAnEarlierTree) {
    struct {
        const char *map, *description;
        int32_t modes[8];
        const char *map_out, *longname, *types;
    } cases[] = {
        {"mymap", "a long text", {1, 0, 1}, "mymap", "a long text", "ffa ctf "},
        // Rewritten shorter: nothing of the old file may stay.
        {"mymap", "", {}, "mymap", "", ""},
        {"m", "d", {1, 1, 1, 1, 1, 1, 1, 1}, "m", "d", "ffa team ctf single tourney ca 1v1 2v2 "},
        {"m", "d", {0, 1}, "m", "d", "team "},
        {"m", "d", {0, 0, 0, 1, -1, 0, 7}, "m", "d", "single tourney 1v1 "},
        // The game would cut a value at a double quote; CR LF as in text mode.
        {"q\"x", "Le \"grand\" d\xc3\xa9", {1}, "q'x", "Le 'grand' d\xc3\xa9", "ffa "},
        {"m", "a $b `c` \\d\ntwo", {1}, "m", "a $b `c` \\d\r\ntwo", "ffa "},
        // The backslash names a folder in the path only.
        {"a\\b", "", {1}, "a\\b", "", "ffa "},
    };
    temp_dir dir;
    mode_t old_mask = umask(0);
    for (const auto &c : cases) {
        if (&c != cases)
            write_file("mapcrate", std::string(4096, 'x'));
        SCOPED_TRACE(std::string(c.map) + " " + c.description);
        std::string path = std::string("scripts/") + c.map + ".arena";
        std::replace(path.begin(), path.end(), '\\', '/');
        if (std::strchr(c.map, '\\'))
            mkdir("scripts/a", 0755);
        form_record f;
        f.map_name = c.map;
        f.description = c.description;
        std::copy(c.modes, c.modes + 8, f.mode_states);
        std::fflush(stdout);
        testing::internal::CaptureStdout();
        gener_scripts(&f);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Creation du dossier : scripts/\n\nCreation du fichier : " + path + "\n\n");
        EXPECT_EQ(read_file(path), std::string("{\r\nmap \"") + c.map_out +
                                       "\"\r\nbots \"phobos\"\r\nlongname \"" + c.longname +
                                       "\"\r\nfraglimit 20\r\ntimelimit 60\r\ntype \"" + c.types +
                                       "\"\r\n}\r\n");
        // The credits file keeps nothing of the form, and no line end after its last line.
        EXPECT_EQ(read_file("mapcrate"),
                  "pk3 creer avec Mapcrate v0.1\r\nhttp://mapcrate.example.org/\r\n\r\n"
                  "Mapcrate (c) 2026 son auteur\r\n\r\n\r\nMerci a l'auteur de minizip\r\n"
                  "https://www.zlib.net/");
    }
    umask(old_mask);
    EXPECT_EQ(list_dir("scripts"),
              (std::vector<std::string>{"a", "m.arena", "mymap.arena", "q\"x.arena"}));
    for (const char *path : {"scripts", "scripts/m.arena", "mapcrate"}) {
        struct stat st;
        ASSERT_EQ(stat(path, &st), 0) << path;
        EXPECT_EQ(st.st_mode & 07777, 0755u) << path;
    }
}

} // namespace
