// The readers of what a level uses, against files made here, hostile ones included.
#include <gtest/gtest.h>
#include <unistd.h>

#include <tuple>

#include "check/check.h"
#include "level/readers.h"
#include "level/tree.h"
#include "support.h"

namespace {

using list = std::vector<std::string>;
using namespace std::literals;

// Each rule of the entity reader, a row each; music and models as the
// staging test's level names them are left to it.
TEST(LevelReaders, EntityKeys) {
    struct {
        std::string_view text;
        list sounds, music, models;
    } rows[] = {
        {R"({ "NOISE" "sound\a.wav" "noise" "*falling1.wav" })", {"sound/a.wav"}, {}, {}},
        // A key left without its value does not take the next block's first word.
        {R"({ "noise" } { "sound/b.wav" "x" })", {}, {}, {}},
        // A cut quote ends the reading; a block never closed names nothing.
        {R"({ "noise" "sound/a.wav" } { "noise" "sound/b)", {"sound/a.wav"}, {}, {}},
        {R"({ "noise" "sound/a.wav" )", {}, {}, {}},
        // Each name once; a NUL ends the text.
        {R"({ "noise" "s/a" } { "noise" "s/a" "model" "m" })" "\0" R"({ "model" "n" })"sv,
         {"s/a"}, {}, {"m"}},
    };
    for (const auto &row : rows) {
        // Whole, then a byte at a time as a stream may cut it.
        entity_reader bytewise;
        for (size_t at = 0; at < row.text.size(); ++at)
            read_entities_piece(bytewise, row.text.substr(at, 1));
        for (const entity_files &f : {read_entities(row.text), bytewise.files})
            EXPECT_EQ(std::tie(f.sounds, f.music, f.models),
                      std::tie(row.sounds, row.music, row.models))
                << row.text;
    }
}

// Each shader as "name: image image ...", videos last.
list shown_defs(const std::vector<shader_def> &defs) {
    list out;
    for (const shader_def &def : defs) {
        std::string line = def.name + ":";
        for (const list *names : {&def.images, &def.videos})
            for (const std::string &name : *names)
                line += " " + name;
        out.push_back(line);
    }
    return out;
}

// Each rule of the stage reader, sky boxes included, a row each.
TEST(LevelReaders, StageKeywordsAndSkyBoxes) {
    const std::pair<const char *, list> rows[] = {
        {"A/B.tga { { MAP x.tga } { clampMap c } { map $lightmap } { map *white } }",
         {"a/b: x.tga c"}},
        // A keyword's arguments are on its own line: the next line's words are not.
        {"s {\n{\nanimMap 8\nrgbGen identity\n}\n{ map\nblendFunc add }\n}", {"s:"}},
        {"s { { map } { \"map\" q } { map a}}", {"s: a"}},
        {"s { // map x\n/* map y\n */ { map \"w x\" } }", {"s: w x"}},
        {"s { skyParms env/far 512 env\\near }",
         {"s: env/far_rt env/far_bk env/far_lf env/far_ft env/far_up env/far_dn env/near_rt "
          "env/near_bk env/near_lf env/near_ft env/near_up env/near_dn"}},
        // A word alone names no shader; a body with no name is skipped whole.
        {"alone\nother { map o } { map n } t { map t }", {"other: o", "t: t"}},
        // A later copy in one script is never the one the game takes.
        {"x { map a } x { map b }", {"x: a"}},
    };
    for (const auto &[text, defs] : rows)
        EXPECT_EQ(shown_defs(parse_shader_script(text)), defs) << text;
    // Of the game's scripts only the wanted shaders are kept, each once.
    std::unordered_set<std::string> wanted = {"x"};
    EXPECT_EQ(shown_defs(parse_shader_script("y { map c } x { map a } x { map b }", &wanted)),
              list{"x: a"});
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

// A level whose lumps lie outside the file, overlap, or are no whole
// number of records: read whole, and in pieces as a zip entry streams it.
TEST(LevelReaders, LumpsOutsideTheLevelGiveNothingAndAreRefused) {
    temp_dir dir;
    setenv("MAPCRATE_GAME_DIR", "", 1);
    const std::string text = "{ \"noise\" \"sound/x.wav\" }";
    const std::string level = level_bytes({"textures/a/b"}, {}, text);
    const list x = {"sound/x.wav"}, ab = {"textures/a/b"};
    const size_t shaders_at = 8 + 17 * 8 + text.size();
    // The header's field at: lump * 8 + 0 for its offset, + 4 for its length.
    struct {
        const char *what;
        std::vector<std::pair<size_t, size_t>> fields; // at, value
        list shaders, sounds;
        std::string refused;
    } rows[] = {
        {"whole", {}, ab, x, ""},
        {"entities past the end", {{4, 1 << 20}}, ab, {}, "bloc 0 hors du fichier"},
        {"shaders longer than the file", {{12, 0x7fffffff}}, {}, x, "bloc 1 hors du fichier"},
        {"shaders not whole records", {{12, 71}}, {}, x,
         "bloc 1 de 71 octets, pas un multiple de 72"},
        {"surfaces not whole records", {{13 * 8, 8 + 17 * 8}, {13 * 8 + 4, 1}}, ab, x,
         "bloc 13 de 1 octets, pas un multiple de 104"},
        // Lumps overlap, and come in any order.
        {"fogs over the shaders", {{12 * 8, shaders_at}, {12 * 8 + 4, 72}}, {ab[0], ab[0]}, x, ""},
    };
    for (auto &row : rows) {
        SCOPED_TRACE(row.what);
        std::string bytes = level;
        for (auto [at, value] : row.fields)
            bytes.replace(8 + at, 4, le32(value));
        write_file("l.bsp", bytes);
        level_reader pieces;
        for (size_t at = 0; at < bytes.size(); at += 7)
            read_level_piece(pieces, std::string_view(bytes).substr(at, 7));
        for (const level_lumps &l : {read_level_lumps("l.bsp"), finish_level(pieces)})
            EXPECT_EQ(std::tie(l.compiled, l.shaders, l.entities.sounds, l.refused),
                      std::make_tuple(true, row.shaders, row.sounds, row.refused));
        // --check names the level the game refuses, from its zip entry.
        write_file("maps/l.bsp", bytes);
        ASSERT_EQ(run_program({"sh", "-c", "rm -f p.pk3 && zip -qX p.pk3 maps/l.bsp"}).status, 0);
        package_check check = check_package("p.pk3", "");
        list found;
        for (const finding &f : check.maps.at(0).findings)
            found.push_back(f.why);
        EXPECT_EQ(found, row.refused.empty() ? list{} : list{row.refused});
    }
    unsetenv("MAPCRATE_GAME_DIR");
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
