// The window as start-up leaves it: regions, captions, order and buttons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../../tests/support.h"
#include "gui_test_form.h"
#include "mapcrate.h"

namespace {

struct shown_window {
    temp_dir work;
    form_record f;
    explicit shown_window(bool banner) {
        if (banner)
            write_file("mapc.png", read_file(MAPCRATE_SOURCE_DIR "/data/mapc.png"));
        make_form(f);
    }
    ~shown_window() {
        destroy_form(f);
    }
};

GtkWidget *up(GtkWidget *w, int levels = 1) {
    while (levels-- > 0)
        w = gtk_widget_get_parent(w);
    return w;
}

// Checks that the box packs its children evenly, unpadded, from the start,
// and that want's widgets (null: any) are at their places; returns the
// children, as many as want has.
std::vector<GtkWidget *> box_holding(GtkWidget *box, gboolean expand,
                                     const std::vector<GtkWidget *> &want) {
    EXPECT_TRUE(gtk_box_get_homogeneous(GTK_BOX(box)));
    EXPECT_EQ(gtk_box_get_spacing(GTK_BOX(box)), 0);
    std::vector<GtkWidget *> kids;
    GList *list = gtk_container_get_children(GTK_CONTAINER(box));
    for (GList *l = list; l; l = l->next)
        kids.push_back(GTK_WIDGET(l->data));
    g_list_free(list);
    EXPECT_EQ(kids.size(), want.size());
    kids.resize(want.size());
    for (size_t i = 0; i < want.size() && kids[i]; ++i) {
        SCOPED_TRACE(i);
        if (want[i]) {
            EXPECT_EQ(kids[i], want[i]);
        }
        gboolean grows = !expand, fill = TRUE;
        guint padding = 1;
        GtkPackType type = GTK_PACK_END;
        gtk_box_query_child_packing(GTK_BOX(box), kids[i], &grows, &fill, &padding, &type);
        EXPECT_EQ((std::vector<int>{grows, fill, int(padding), type}),
                  (std::vector<int>{expand, FALSE, 0, GTK_PACK_START}));
    }
    return kids;
}

double centre_y(GtkWidget *w) {
    GtkAllocation a;
    gtk_widget_get_allocation(w, &a);
    return a.y + a.height / 2.0;
}

} // namespace

TEST(Window, TitleTableAndSixRegions) {
    shown_window w(true);
    form_record &f = w.f;
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(f.window)), "Mapcrate v0.1");
    gint width = 0, height = 0;
    gtk_window_get_default_size(GTK_WINDOW(f.window), &width, &height);
    EXPECT_EQ(width, 480);
    EXPECT_EQ(height, 480);
    EXPECT_TRUE(gtk_widget_get_mapped(f.browse_buttons[3]));
    ASSERT_EQ(gtk_bin_get_child(GTK_BIN(f.window)), f.table);
    guint rows = 0, cols = 0;
    gboolean homogeneous = FALSE;
    g_object_get(f.table, "n-rows", &rows, "n-columns", &cols, "homogeneous", &homogeneous,
                 nullptr);
    EXPECT_EQ(rows, 8u);
    EXPECT_EQ(cols, 11u);
    EXPECT_TRUE(homogeneous);
    GList *all = gtk_container_get_children(GTK_CONTAINER(f.table));
    EXPECT_EQ(g_list_length(all), 6u);
    g_list_free(all);
    const guint fill = GTK_EXPAND | GTK_FILL;
    const struct {
        GtkWidget *child;
        std::vector<guint> attach; // left, right, top, bottom, x and y options, paddings
        const char *frame_title;
    } regions[] = {
        {f.image, {0, 6, 0, 5, fill, fill, 0, 0}, nullptr},
        {up(f.entries[0]), {6, 10, 0, 5, fill, fill, 0, 0}, nullptr},
        {up(f.browse_buttons[0]), {10, 11, 0, 5, fill, fill, 0, 0}, nullptr},
        {up(f.mode_buttons[0], 2), {0, 3, 5, 8, fill, fill, 0, 0}, "Mode de jeux"},
        {up(f.mode_buttons[4], 2), {3, 6, 5, 8, fill, fill, 0, 0}, ""},
        {up(f.execute_button, 2), {6, 11, 5, 8, fill, fill, 0, 0}, "Action :"},
    };
    for (const auto &r : regions) {
        SCOPED_TRACE(&r - regions);
        ASSERT_EQ(gtk_widget_get_parent(r.child), f.table);
        std::vector<guint> a(8);
        gtk_container_child_get(GTK_CONTAINER(f.table), r.child, "left-attach", &a[0],
                                "right-attach", &a[1], "top-attach", &a[2], "bottom-attach", &a[3],
                                "x-options", &a[4], "y-options", &a[5], "x-padding", &a[6],
                                "y-padding", &a[7], nullptr);
        EXPECT_EQ(a, r.attach);
        if (r.frame_title) {
            ASSERT_TRUE(GTK_IS_FRAME(r.child));
            EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(r.child)), r.frame_title);
        }
    }
}

TEST(Window, CaptionsEntriesAndButtonsInOrder) {
    shown_window w(true);
    form_record &f = w.f;
    const struct {
        const char *text, *colour;
    } captions[6] = {
        {"Dossier des textures :", "#0000FF"}, {"Fichier BSP :", "#FF0000"},
        {"Fichier AAS :", "#0000FF"},          {"Levelshot 128*128*24 .jpg :", "#0000FF"},
        {"Nom de la map :", "#FF0000"},        {"Description sommaire :", "#0000FF"}};
    std::vector<GtkWidget *> rows;
    for (GtkWidget *e : f.entries)
        rows.insert(rows.end(), {nullptr, e});
    std::vector<GtkWidget *> kids = box_holding(up(f.entries[0]), TRUE, rows);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(captions[i].text);
        ASSERT_TRUE(GTK_IS_LABEL(kids[2 * i]));
        GtkLabel *label = GTK_LABEL(kids[2 * i]);
        EXPECT_TRUE(gtk_label_get_use_markup(label));
        EXPECT_EQ(gtk_label_get_label(label), std::string("<span foreground=\"") +
                                                  captions[i].colour + "\">" + captions[i].text +
                                                  "</span>");
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(f.entries[i])), "");
    }
    EXPECT_EQ(f.label_text, nullptr);

    box_holding(up(f.mode_buttons[0]), FALSE, {f.mode_buttons, f.mode_buttons + 4});
    box_holding(up(f.mode_buttons[4]), FALSE, {f.mode_buttons + 4, f.mode_buttons + 8});
    box_holding(up(f.execute_button), TRUE,
                {f.execute_button, f.help_button, f.separator, f.info_button, f.clear_button,
                 f.quit_button});
    EXPECT_TRUE(GTK_IS_HSEPARATOR(f.separator));
    std::vector<std::pair<GtkWidget *, const char *>> labelled = {{f.execute_button, "gtk-execute"},
                                                                  {f.help_button, "gtk-help"},
                                                                  {f.info_button, "gtk-info"},
                                                                  {f.clear_button, "gtk-clear"},
                                                                  {f.quit_button, "gtk-quit"}};
    const char *modes[8] = {"FFA", "TDM", "CTF", "Single", "Tourney", "CA", "1v1", "2v2"};
    for (int i = 0; i < 8; ++i) {
        labelled.push_back({f.mode_buttons[i], modes[i]});
        EXPECT_TRUE(GTK_IS_CHECK_BUTTON(f.mode_buttons[i])) << modes[i];
        EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(f.mode_buttons[i])));
    }
    for (GtkWidget *b : f.browse_buttons)
        labelled.push_back({b, "URL"});
    for (size_t i = 0; i < labelled.size(); ++i) {
        GtkButton *b = GTK_BUTTON(labelled[i].first);
        EXPECT_STREQ(gtk_button_get_label(b), labelled[i].second);
        EXPECT_EQ(gtk_button_get_use_stock(b), i < 5) << labelled[i].second;
    }

    // The browse column: each button level with its entry, empty labels
    // everywhere else, beside the map name and the description too.
    rows.assign(12, nullptr);
    for (int k = 0; k < 4; ++k)
        rows[2 * k + 1] = f.browse_buttons[k];
    kids = box_holding(up(f.browse_buttons[0]), TRUE, rows);
    for (int i : {0, 2, 4, 6, 8, 9, 10, 11}) {
        ASSERT_TRUE(GTK_IS_LABEL(kids[i])) << i;
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(kids[i])), "") << i;
    }
    for (int k = 0; k < 4; ++k)
        EXPECT_NEAR(centre_y(f.browse_buttons[k]), centre_y(f.entries[k]), 1.0) << k;
}

TEST(Window, BannerFitsItsRegionAndAMissingOneGivesAPlaceholder) {
    for (bool banner : {true, false}) {
        SCOPED_TRACE(banner);
        shown_window w(banner);
        EXPECT_TRUE(gtk_widget_get_visible(w.f.window));
        GtkImage *image = GTK_IMAGE(w.f.image);
        if (!banner) {
            EXPECT_EQ(gtk_image_get_storage_type(image), GTK_IMAGE_STOCK);
            continue;
        }
        ASSERT_EQ(gtk_image_get_storage_type(image), GTK_IMAGE_PIXBUF);
        int width = gdk_pixbuf_get_width(gtk_image_get_pixbuf(image));
        EXPECT_LE(width, 480 * 6 / 11);
        EXPECT_GE(width, 480 * 6 / 11 - 16);
        EXPECT_LE(gdk_pixbuf_get_height(gtk_image_get_pixbuf(image)), 480 * 5 / 8);
    }
}
