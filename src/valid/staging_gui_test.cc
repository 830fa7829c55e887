// A staging failure stops Execute before packing, with a dialog naming it.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "gui_support.h"
#include "support.h"

namespace {

TEST(ValiderStaging, AFileNamedMapsStopsExecuteAndLeavesTheOldArchive) {
    temp_dir dir;
    write_file("maps", "in the way");
    write_file("crateyard.pk3", "an earlier archive");
    std::string sample = MAPCRATE_SOURCE_DIR "/samples/crateyard/", textures = sample + "textures",
                bsp = sample + "maps/crateyard.bsp";
    form_record f;
    make_form(f);
    const char *texts[6] = {textures.c_str(), bsp.c_str(), "", "", "crateyard", ""};
    fill_form(f, texts, {0});
    auto log = std::make_shared<dialog_log>();
    answer_dialogs(log);
    gtk_button_clicked(GTK_BUTTON(f.execute_button));
    pump_events();
    disarm(*log);
    destroy_form(f);
    ASSERT_EQ(log->seen.size(), 1u);
    EXPECT_EQ(log->seen[0].type, GTK_MESSAGE_ERROR);
    EXPECT_EQ(log->seen[0].text,
              "La préparation du pk3 a échoué : maps/\nLe pk3 n'a pas été écrit.");
    EXPECT_EQ(read_file("crateyard.pk3"), "an earlier archive");
}

} // namespace
