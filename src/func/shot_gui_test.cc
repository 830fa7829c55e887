// "Faire" beside the levelshot: Execute has the game make the picture, shows
// it, and packs it on OK; Cancel leaves everything as it was.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "func/shot_window.h"
#include "gui_support.h"
#include "shot/shot.h"
#include "support.h"

namespace {

// The width and height of the picture a message over the window shows.
std::pair<int, int> shown_picture() {
    for (GtkWidget *d : shown_dialogs())
        if (GTK_IS_MESSAGE_DIALOG(d))
            if (GtkWidget *image = gtk_message_dialog_get_image(GTK_MESSAGE_DIALOG(d));
                image && gtk_image_get_storage_type(GTK_IMAGE(image)) == GTK_IMAGE_PIXBUF) {
                GdkPixbuf *p = gtk_image_get_pixbuf(GTK_IMAGE(image));
                return {gdk_pixbuf_get_width(p), gdk_pixbuf_get_height(p)};
            }
    return {0, 0};
}

TEST(ShotWindow, TheGamesPictureShownThenPackedOnOkAndNothingChangedOnCancel) {
    shot_setup setup;
    if (!find_client(setup))
        GTEST_SKIP() << "no client or X server for the game: Debian's openarena and xvfb";
    temp_dir work;
    setenv("MAPCRATE_GAME_DIR", "", 1);
    ASSERT_EQ(system(("cp -r " MAPCRATE_SOURCE_DIR "/samples/crateyard/. .")), 0);
    // The picture's bytes, and so the package's size the dialog gives, are the renderer's: they
    // stay out of the recorded outputs.
    const std::string log = g_getenv("MAPCRATE_DIALOG_LOG") ? g_getenv("MAPCRATE_DIALOG_LOG") : "";
    g_unsetenv("MAPCRATE_DIALOG_LOG");
    form_record f;
    make_form(f);
    // The typed levelshot is not read while the game makes it.
    const char *texts[6] = {"textures", "maps/crateyard.bsp", "", "missing.jpg", "c", ""};
    fill_form(f, texts, {0});
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(shot_button(&f)), TRUE);
    EXPECT_FALSE(gtk_widget_is_sensitive(f.levelshot_entry));
    std::pair<int, int> picture;
    auto d = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); }, GTK_RESPONSE_OK,
                      [&] { picture.first || (picture = shown_picture(), true); });
    ASSERT_EQ(d->seen.size(), 2u);
    EXPECT_EQ(d->seen[0].text,
              "Le jeu a fait ce levelshot ; il sera mis dans le pk3 et gard\xc3\xa9 "
              "dans c-levelshot.jpg.");
    EXPECT_EQ(picture, std::make_pair(128, 128));
    const std::string kept = read_file("c-levelshot.jpg");
    zip_reading z = read_zip_with_python("c.pk3");
    ASSERT_TRUE(z.ok) << z.problem;
    EXPECT_TRUE(std::any_of(z.entries.begin(), z.entries.end(), [&](const zip_entry &e) {
        return e.name == "levelshots/c.jpg" && e.data == kept;
    }));
    // Again: the question about the kept picture goes on, Cancel on the picture stops.
    write_file("c-levelshot.jpg", "mine");
    write_file("c.pk3", "older");
    d = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); }, GTK_RESPONSE_CANCEL);
    ASSERT_EQ(d->seen.size(), 2u);
    EXPECT_EQ(d->seen[0].text.find("c-levelshot.jpg existe d\xc3\xa9j\xc3\xa0"), 0u)
        << d->seen[0].text;
    EXPECT_EQ(read_file("c-levelshot.jpg"), "mine");
    EXPECT_EQ(read_file("c.pk3"), "older");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(shot_button(&f)), FALSE);
    EXPECT_TRUE(gtk_widget_is_sensitive(f.levelshot_entry));
    destroy_form(f);
    unsetenv("MAPCRATE_GAME_DIR");
    if (!log.empty())
        g_setenv("MAPCRATE_DIALOG_LOG", log.c_str(), TRUE);
}

} // namespace
