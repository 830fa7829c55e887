// The readers of what a level uses, against files made here, hostile ones included.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "level/readers.h"
#include "level/tree.h"
#include "support.h"

namespace {

using list = std::vector<std::string>;

// A cut quote ends the reading; a block never closed names nothing.
TEST(LevelReaders, EntitiesCutShortNameOnlyWhatCloses) {
    const std::pair<const char *, list> rows[] = {
        {R"({ "noise" "sound/a.wav" } { "noise" "sound/b)", {"sound/a.wav"}},
        {R"({ "noise" "sound/a.wav" )", {}},
    };
    for (const auto &[text, sounds] : rows)
        EXPECT_EQ(read_entities(text).sounds, sounds) << text;
}

// A model of two surfaces naming a/b and c; at is a field to overwrite.
std::string md3(size_t at = 0, size_t value = 0) {
    std::string m = md3_bytes({{"a", "b"}, {"c"}});
    if (at)
        m.replace(at, 4, le32(value));
    return m;
}

TEST(LevelReaders, ModelsGiveTheirShadersAndNothingPastTheirEnd) {
    const size_t surface2 = 108 + 108 + 2 * 68;
    struct {
        const char *what;
        std::string model;
        list names;
    } rows[] = {
        {"two surfaces", md3(), {"a", "b", "c"}},
        {"not version 15", md3(4, 16), {}},
        {"surfaces counted by the billion", md3(84, 0x7fffffff), {"a", "b", "c"}},
        {"first surface past the end", md3(100, 0xfffffff0), {}},
        {"shaders counted by the billion", md3(108 + 76, 0xffffffff), {"a", "b", "c"}},
        {"shaders past the end", md3(108 + 92, 0x7ffffff0), {"c"}},
        {"a surface that ends where it starts", md3(108 + 104, 0), {"a", "b"}},
        {"a surface ending before it", md3(surface2 + 104, 0xffffffff), {"a", "b", "c"}},
        {"cut inside a name", md3().substr(0, surface2 + 108 + 10), {"a", "b"}},
        {"cut in the header", md3().substr(0, 90), {}},
    };
    for (const auto &row : rows)
        EXPECT_EQ(md3_shader_names(row.model), row.names) << row.what;
}

TEST(LevelReaders, LumpsPastTheEndOfTheLevelGiveNothing) {
    temp_dir dir;
    std::string level = level_bytes({"textures/a/b"}, {}, "{ \"noise\" \"sound/x.wav\" }");
    struct {
        const char *what;
        size_t entry, field, value;
        list shaders;
        std::string entities;
    } rows[] = {
        {"whole", 0, 0, 0, {"textures/a/b"}, "{ \"noise\" \"sound/x.wav\" }"},
        {"entities past the end", 0, 4, 1 << 20, {"textures/a/b"}, ""},
        {"entities at a negative offset", 0, 0, 0x80000000u, {"textures/a/b"}, ""},
        {"shaders longer than the file", 1, 4, 0x7fffffff, {}, "{ \"noise\" \"sound/x.wav\" }"},
    };
    for (const auto &row : rows) {
        std::string bytes = level;
        if (row.value)
            bytes.replace(8 + row.entry * 8 + row.field, 4, le32(row.value));
        write_file("l.bsp", bytes);
        level_lumps lumps = read_level_lumps("l.bsp");
        EXPECT_EQ(lumps.shaders, row.shaders) << row.what;
        EXPECT_EQ(lumps.entities, row.entities) << row.what;
    }
}

TEST(LevelReaders, ShaderStagesNameImagesSkyBoxesAndVideos) {
    std::vector<shader_def> defs = parse_shader_script(
        "textures/s/Sky { skyParms env/far 512 env\\near\n{ map $lightmap }\n"
        "{ clampMap textures/s/c.tga }\n{ map *white }\n{ videoMap intro.roq } }");
    ASSERT_EQ(defs.size(), 1u);
    EXPECT_EQ(defs[0].name, "textures/s/sky");
    EXPECT_EQ(defs[0].images,
              (list{"env/far_rt", "env/far_bk", "env/far_lf", "env/far_ft", "env/far_up",
                    "env/far_dn", "env/near_rt", "env/near_bk", "env/near_lf", "env/near_ft",
                    "env/near_up", "env/near_dn", "textures/s/c.tga"}));
    EXPECT_EQ(defs[0].videos, list{"video/intro.roq"});
}

TEST(LevelReaders, TheWalkTakesEveryFileOnceThroughALinkBackToAParent) {
    temp_dir dir;
    write_file("t/top.tga", "");
    write_file("t/a/b/deep.tga", "");
    ASSERT_EQ(symlink("../..", "t/a/b/up"), 0);
    list files;
    for (const folder_files &folder : walk_tree("t"))
        for (const std::string &file : folder.files)
            files.push_back(folder.path + "/" + file);
    EXPECT_EQ(files, (list{"t/top.tga", "t/a/b/deep.tga"}));
}

} // namespace
