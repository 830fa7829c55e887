// The readers of what a level uses, against files made here, hostile ones included.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "level/plan.h"
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

// What the plan packs and says when scripts define a shader more than once
// and names reach the engine's limits.  Game paths of the archive in order.
TEST(PackagePlan, ShadersAsTheEngineTakesThemAndNamesItCanRead) {
    const std::string n53(53, 'n'), n52(52, 'n'), long_script = "scripts/" + n52 + ".shader";
    struct {
        const char *what;
        std::vector<list> paks; // each: name, data, ...
        list author;            // under g/: path, data, ...
        list shaders, files, notes, missing;
    } rows[] = {
        // Of the game's, the first archive's last script.
        {"the game's definition wins over the author's",
         {{"scripts/e1.shader", "textures/s/x { }", "scripts/e2.shader", "textures/s/x { }"},
          {"scripts/z.shader", "textures/s/x { }"}},
         {"scripts/b.shader", "textures/s/x { { map textures/s/mine.tga } }", "textures/s/mine.tga",
          ""},
         {"textures/s/x"},
         {"maps/m.bsp"},
         {"Shader deja defini par le jeu, le votre est ignore : textures/s/x (scripts/e2.shader, "
          "scripts/b.shader)"},
         {}},
        // The engine reads the package's last script first.
        {"of two author's scripts, the one that sorts last",
         {{"x", ""}},
         {"scripts/c.shader", "textures/s/y { { map textures/s/c.tga } } textures/s/z { }",
          "scripts/d.shader", "textures/s/y { { map textures/s/d.tga } }", "textures/s/c.tga", "",
          "textures/s/d.tga", ""},
         {"textures/s/y", "textures/s/z"},
         {"textures/s/d.tga", "maps/m.bsp", "scripts/c.shader", "scripts/d.shader"},
         {"Shader defini deux fois : textures/s/y (scripts/d.shader, scripts/c.shader)"},
         {}},
        // An image's extension is the engine's to add; a script's whole path counts.
        {"names of 64 bytes",
         {{"x", ""}},
         {"textures/s/" + n52 + ".tga", "", "textures/s/" + n53 + ".tga", "", long_script,
          "textures/s/q { { map textures/s/q2.tga } }", "textures/s/q2.tga", ""},
         {"textures/s/" + n52, "textures/s/" + n53, "textures/s/q"},
         {"textures/s/" + n52 + ".tga", "maps/m.bsp"},
         {"Chemin trop long pour le jeu (64 octets ou plus) : " + long_script,
          "Chemin trop long pour le jeu (64 octets ou plus) : textures/s/" + n53},
         {long_script, "textures/s/" + n53, "textures/s/q"}},
    };
    setenv("MAPCRATE_GAME_DIR", "", 1);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.what);
        temp_dir dir;
        mkdir("pak", 0755);
        for (size_t i = 0; i < row.paks.size(); ++i)
            write_zip("pak/pak" + std::to_string(i) + ".pk3", row.paks[i]);
        for (size_t i = 0; i + 1 < row.author.size(); i += 2)
            write_file("g/" + row.author[i], row.author[i + 1]);
        mkdir("g/textures", 0755);
        write_file("l.bsp", level_bytes(row.shaders));
        package_plan plan = plan_package({"g/textures", "l.bsp", "", "", "m", "pak"});
        list files;
        for (const planned_file &f : plan.files)
            files.push_back(f.game_path);
        EXPECT_EQ(files, row.files);
        EXPECT_EQ(plan.notes, row.notes);
        EXPECT_EQ(plan.missing, row.missing);
    }
    // Of two names that differ only in case, the package takes one.
    temp_dir dir;
    write_file("flat/Wall.tga", "W");
    write_file("flat/wall.tga", "w");
    write_file("l.bsp", test_bsp());
    package_plan plan = plan_package({"flat", "l.bsp", "", "", "m", ""});
    ASSERT_EQ(plan.files.size(), 2u);
    const std::string kept = plan.files[0].game_path,
                      left = kept == "textures/Wall.tga" ? "wall" : "Wall";
    EXPECT_EQ(plan.notes, list{"Meme nom a la casse pres, laisse de cote : textures/" + left +
                               ".tga (garde : " + kept + ")"});
    unsetenv("MAPCRATE_GAME_DIR");
}

} // namespace
