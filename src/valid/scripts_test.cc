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

form_record script_form(const char *map, const char *description, std::string modes) {
    form_record f;
    f.textures_dir = f.bsp_path = f.aas_path = f.levelshot_path = "";
    f.map_name = map;
    f.description = description;
    for (int i = 0; i < 8; ++i)
        f.mode_states[i] = modes.size() > static_cast<size_t>(i) && modes[i] == '1';
    return f;
}

std::string arena(const std::string &map, const std::string &longname, const std::string &types) {
    return "{\r\nmap \"" + map + "\"\r\nbots \"phobos\"\r\nlongname \"" + longname +
           "\"\r\nfraglimit 20\r\ntimelimit 60\r\ntype \"" + types + "\"\r\n}\r\n";
}

std::string generate(form_record &f) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    gener_scripts(&f);
    return testing::internal::GetCapturedStdout();
}

TEST(GenerScripts, ArenaScriptForEachModeSelection) {
    struct {
        const char *modes, *types;
    } cases[] = {
        {"10100000", "ffa ctf "},
        {"00000000", ""},
        {"11111111", "ffa team ctf single tourney ca 1v1 2v2 "},
        {"01000000", "team "},
        {"00000001", "2v2 "},
        {"00011010", "single tourney 1v1 "},
    };
    for (const auto &c : cases) {
        temp_dir dir;
        form_record f = script_form("mymap", "My map", c.modes);
        generate(f);
        EXPECT_EQ(read_file("scripts/mymap.arena"), arena("mymap", "My map", c.types)) << c.modes;
    }
}

TEST(GenerScripts, ModeStatesOtherThanOneCountAsSet) {
    temp_dir dir;
    form_record f = script_form("m", "", "");
    f.mode_states[2] = -1;
    f.mode_states[5] = 7;
    generate(f);
    EXPECT_EQ(read_file("scripts/m.arena"), arena("m", "", "ctf ca "));
}

TEST(GenerScripts, TextsAreWrittenAsTypedButForDoubleQuotesAndLineEnds) {
    struct {
        const char *map, *description, *map_out, *longname_out;
    } cases[] = {
        {"mymap", "", "mymap", ""},
        {"mymap",
         "Le \"grand\" d\xc3\xa9"
         "fi",
         "mymap",
         "Le 'grand' d\xc3\xa9"
         "fi"},
        {"q\"x", "a $b `c` \\d", "q'x", "a $b `c` \\d"},
        {"mymap", "two\nlines", "mymap", "two\r\nlines"},
    };
    for (const auto &c : cases) {
        temp_dir dir;
        form_record f = script_form(c.map, c.description, "1");
        generate(f);
        std::string path = std::string("scripts/") + c.map + ".arena";
        EXPECT_EQ(read_file(path), arena(c.map_out, c.longname_out, "ffa ")) << c.description;
        // The credits file knows nothing of the form.
        EXPECT_EQ(read_file("mapcrate").substr(0, 30), "pk3 creer avec Mapcrate v0.1\r\n");
    }
}

TEST(GenerScripts, CreditsFileHasEightLinesAndNoFinalLineEnd) {
    temp_dir dir;
    form_record f = script_form("mymap", "d", "1");
    generate(f);
    std::string first = read_file("mapcrate");
    std::vector<std::string> lines;
    size_t start = 0, crlf = 0;
    for (size_t pos; (pos = first.find("\r\n", start)) != std::string::npos;
         start = pos + 2, ++crlf)
        lines.push_back(first.substr(start, pos - start));
    lines.push_back(first.substr(start));
    EXPECT_EQ(crlf, 7u);
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "pk3 creer avec Mapcrate v0.1");
    for (int empty : {2, 4, 5})
        EXPECT_EQ(lines[empty], "") << empty;
    for (int filled : {1, 3, 6, 7})
        EXPECT_NE(lines[filled], "") << filled;
    // No bare line feed anywhere, no line end after the last address.
    for (size_t i = 0; i < first.size(); ++i) {
        if (first[i] == '\n') {
            EXPECT_EQ(first[i - 1], '\r') << i;
        }
    }
    EXPECT_EQ(first, "pk3 creer avec Mapcrate v0.1\r\nhttp://mapcrate.example.org/\r\n\r\n"
                     "Mapcrate (c) 2026 son auteur\r\n\r\n\r\nMerci a l'auteur de minizip\r\n"
                     "https://www.zlib.net/");

    // The same bytes at every run, over an older, longer file.
    write_file("mapcrate", std::string(4096, 'x'));
    form_record other = script_form("other", "another one", "11");
    generate(other);
    EXPECT_EQ(read_file("mapcrate"), first);
}

TEST(GenerScripts, ProgressLinesNameTheFolderAndTheArenaScript) {
    temp_dir dir;
    form_record f = script_form("a\\b", "", "1");
    mkdir("scripts", 0755);
    mkdir("scripts/a", 0755);
    std::string out = generate(f);
    EXPECT_EQ(out, "Creation du dossier : scripts/\n\nCreation du fichier : scripts/a/b.arena\n\n");
    // The backslash of the map name became a separator of the path.
    EXPECT_EQ(read_file("scripts/a/b.arena"), arena("a\\b", "", "ffa "));
}

TEST(GenerScripts, RewritesTheSameMapAndAddsAnotherBesideIt) {
    temp_dir dir;
    form_record f =
        script_form("mymap", "a long description that makes the file longer", "11111111");
    generate(f);
    form_record again = script_form("mymap", "short", "1");
    generate(again);
    EXPECT_EQ(read_file("scripts/mymap.arena"), arena("mymap", "short", "ffa "));
    form_record other = script_form("other", "", "001");
    generate(other);
    EXPECT_EQ(list_dir("scripts"), (std::vector<std::string>{"mymap.arena", "other.arena"}));
    EXPECT_EQ(read_file("scripts/mymap.arena"), arena("mymap", "short", "ffa "));
    EXPECT_EQ(read_file("scripts/other.arena"), arena("other", "", "ctf "));
}

TEST(GenerScripts, FilesAreCreatedWithMode0755) {
    temp_dir dir;
    mode_t old = umask(0);
    form_record f = script_form("mymap", "", "1");
    generate(f);
    umask(old);
    for (const char *path : {"scripts", "scripts/mymap.arena", "mapcrate"}) {
        struct stat st;
        ASSERT_EQ(stat(path, &st), 0) << path;
        EXPECT_EQ(st.st_mode & 07777, 0755u) << path;
    }
}

TEST(GenerScripts, UnwritableArenaLeavesTheRestGoing) {
    temp_dir dir;
    // A folder where the arena script should be: it cannot be opened.
    mkdir("scripts", 0755);
    mkdir("scripts/mymap.arena", 0755);
    form_record f = script_form("mymap", "", "1");
    generate(f);
    EXPECT_TRUE(is_directory("scripts/mymap.arena"));
    EXPECT_EQ(read_file("mapcrate").substr(0, 28), "pk3 creer avec Mapcrate v0.1");
}

TEST(MyPutstrToFd, WritesTheTextWithoutItsNulAndReturnsTheCount) {
    temp_dir dir;
    int fd = open("out", O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(my_putstr_to_fd("ab\r\ncd", fd), 6);
    EXPECT_EQ(my_putstr_to_fd("", fd), 0);
    EXPECT_EQ(my_putstr_to_fd("e", fd), 1);
    close(fd);
    EXPECT_EQ(read_file("out"), "ab\r\ncde");
    EXPECT_EQ(my_putstr_to_fd("x", fd), -1);
}

} // namespace
