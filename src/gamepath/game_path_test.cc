#include "gamepath/game_path.h"

#include <gtest/gtest.h>

// The names the game lists from a folder: directly in it, with the ending,
// case aside for in_folder; a deeper file is not listed.
TEST(GamePath, WhatTheGameListsFromAFolder) {
    struct {
        std::string name;
        bool in_scripts, shader_script, pak;
    } const rows[] = {
        {"scripts/a.shader", true, true, false},
        {"Scripts/A.SHADER", true, false, false},
        {"scripts/x/a.shader", false, false, false},
        {"scripts/.shader", false, false, false},
        {"pak0.pk3", false, false, true},
        {"pak.pk3", false, false, true},
        {"zpak0.pk3", false, false, false},
        {"pak0.pk3.bak", false, false, false},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(in_folder(r.name, "scripts/", ".shader"), r.in_scripts);
        EXPECT_EQ(is_shader_script(r.name), r.shader_script);
        EXPECT_EQ(is_game_pak(r.name), r.pak);
    }
    EXPECT_EQ(shader_key("Textures\\Set\\A.TGA"), "textures/set/a");
    EXPECT_EQ(extension("maps/a.b/c"), "");
}
