// The window as start-up leaves it: regions, captions, order, buttons, connections.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "../../tests/gui_support.h"
#include "../../tests/support.h"
#include "mapcrate.h"

namespace {

struct window_under_test {
    temp_dir work;
    form_record f;
    explicit window_under_test(bool with_banner = true) {
        if (with_banner)
            write_file("mapc.png", read_file(MAPCRATE_SOURCE_DIR "/data/mapc.png"));
        build_window(&f);
        pump_events();
    }
    ~window_under_test() {
        g_signal_handlers_disconnect_by_func(f.window, reinterpret_cast<gpointer>(gtk_main_quit),
                                             nullptr);
        gtk_widget_destroy(f.window);
        pump_events();
    }
};

struct attachment {
    guint left, right, top, bottom, xopt, yopt, xpad, ypad;
};

attachment attached(form_record &f, GtkWidget *child) {
    attachment a{};
    EXPECT_EQ(gtk_widget_get_parent(child), f.table);
    gtk_container_child_get(GTK_CONTAINER(f.table), child, "left-attach", &a.left, "right-attach",
                            &a.right, "top-attach", &a.top, "bottom-attach", &a.bottom, "x-options",
                            &a.xopt, "y-options", &a.yopt, "x-padding", &a.xpad, "y-padding",
                            &a.ypad, nullptr);
    return a;
}

std::vector<GtkWidget *> children(GtkWidget *container) {
    std::vector<GtkWidget *> out;
    GList *list = gtk_container_get_children(GTK_CONTAINER(container));
    for (GList *l = list; l; l = l->next)
        out.push_back(GTK_WIDGET(l->data));
    g_list_free(list);
    return out;
}

void expect_box_packing(GtkWidget *box, gboolean want_expand) {
    EXPECT_TRUE(gtk_box_get_homogeneous(GTK_BOX(box)));
    EXPECT_EQ(gtk_box_get_spacing(GTK_BOX(box)), 0);
    for (GtkWidget *child : children(box)) {
        gboolean expand = !want_expand, fill = TRUE;
        guint padding = 1;
        GtkPackType type = GTK_PACK_END;
        gtk_box_query_child_packing(GTK_BOX(box), child, &expand, &fill, &padding, &type);
        EXPECT_EQ(expand, want_expand);
        EXPECT_FALSE(fill);
        EXPECT_EQ(padding, 0u);
        EXPECT_EQ(type, GTK_PACK_START);
    }
}

std::string foreground_of(GtkWidget *label) {
    PangoAttrList *attrs = pango_layout_get_attributes(gtk_label_get_layout(GTK_LABEL(label)));
    if (!attrs)
        return "";
    std::string colour;
    PangoAttrIterator *it = pango_attr_list_get_iterator(attrs);
    do {
        auto *a =
            reinterpret_cast<PangoAttrColor *>(pango_attr_iterator_get(it, PANGO_ATTR_FOREGROUND));
        if (a) {
            gchar *s = pango_color_to_string(&a->color);
            colour = s;
            g_free(s);
        }
    } while (colour.empty() && pango_attr_iterator_next(it));
    pango_attr_iterator_destroy(it);
    return colour;
}

double centre_y(GtkWidget *w) {
    GtkAllocation a;
    gtk_widget_get_allocation(w, &a);
    return a.y + a.height / 2.0;
}

} // namespace

TEST(Window, TitleSizeAndTable) {
    window_under_test w;
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(w.f.window)), "Mapcrate v0.1");
    gint width = 0, height = 0;
    gtk_window_get_default_size(GTK_WINDOW(w.f.window), &width, &height);
    EXPECT_EQ(width, 480);
    EXPECT_EQ(height, 480);
    EXPECT_EQ(gtk_bin_get_child(GTK_BIN(w.f.window)), w.f.table);
    guint rows = 0, cols = 0;
    gboolean homogeneous = FALSE;
    g_object_get(w.f.table, "n-rows", &rows, "n-columns", &cols, "homogeneous", &homogeneous,
                 nullptr);
    EXPECT_EQ(rows, 8u);
    EXPECT_EQ(cols, 11u);
    EXPECT_TRUE(homogeneous);
    EXPECT_TRUE(gtk_widget_get_visible(w.f.window));
    EXPECT_TRUE(gtk_widget_get_mapped(w.f.browse_buttons[3]));
}

TEST(Window, SixRegionsAttachedWithDefaults) {
    window_under_test w;
    form_record &f = w.f;
    struct region {
        const char *name;
        GtkWidget *child;
        guint left, right, top, bottom;
    } regions[] = {
        {"banner", f.image, 0, 6, 0, 5},
        {"entries", gtk_widget_get_parent(f.entries[0]), 6, 10, 0, 5},
        {"browse", gtk_widget_get_parent(f.browse_buttons[0]), 10, 11, 0, 5},
        {"modes 1", gtk_widget_get_parent(gtk_widget_get_parent(f.mode_buttons[0])), 0, 3, 5, 8},
        {"modes 2", gtk_widget_get_parent(gtk_widget_get_parent(f.mode_buttons[4])), 3, 6, 5, 8},
        {"action", gtk_widget_get_parent(gtk_widget_get_parent(f.execute_button)), 6, 11, 5, 8},
    };
    EXPECT_EQ(children(f.table).size(), 6u);
    for (const region &r : regions) {
        SCOPED_TRACE(r.name);
        attachment a = attached(f, r.child);
        EXPECT_EQ(a.left, r.left);
        EXPECT_EQ(a.right, r.right);
        EXPECT_EQ(a.top, r.top);
        EXPECT_EQ(a.bottom, r.bottom);
        EXPECT_EQ(a.xopt, guint(GTK_EXPAND | GTK_FILL));
        EXPECT_EQ(a.yopt, guint(GTK_EXPAND | GTK_FILL));
        EXPECT_EQ(a.xpad + a.ypad, 0u);
    }
    struct frame_title {
        GtkWidget *frame;
        const char *title;
    } frames[] = {
        {regions[3].child, "Mode de jeux"}, {regions[4].child, ""}, {regions[5].child, "Action :"}};
    for (const frame_title &t : frames) {
        ASSERT_TRUE(GTK_IS_FRAME(t.frame));
        EXPECT_STREQ(gtk_frame_get_label(GTK_FRAME(t.frame)), t.title);
    }
}

TEST(Window, CaptionsAndEntriesInOrder) {
    window_under_test w;
    struct caption {
        const char *markup, *text, *colour;
    } captions[6] = {
        {"<span foreground=\"#0000FF\">Dossier des textures :</span>",
         "Dossier des textures :", "#00000000ffff"},
        {"<span foreground=\"#FF0000\">Fichier BSP :</span>", "Fichier BSP :", "#ffff00000000"},
        {"<span foreground=\"#0000FF\">Fichier AAS :</span>", "Fichier AAS :", "#00000000ffff"},
        {"<span foreground=\"#0000FF\">Levelshot 128*128*24 .jpg :</span>",
         "Levelshot 128*128*24 .jpg :", "#00000000ffff"},
        {"<span foreground=\"#FF0000\">Nom de la map :</span>", "Nom de la map :", "#ffff00000000"},
        {"<span foreground=\"#0000FF\">Description sommaire :</span>",
         "Description sommaire :", "#00000000ffff"},
    };
    GtkWidget *box = gtk_widget_get_parent(w.f.entries[0]);
    std::vector<GtkWidget *> kids = children(box);
    ASSERT_EQ(kids.size(), 12u);
    expect_box_packing(box, TRUE);
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(i);
        GtkWidget *label = kids[2 * i];
        ASSERT_TRUE(GTK_IS_LABEL(label));
        EXPECT_TRUE(gtk_label_get_use_markup(GTK_LABEL(label)));
        EXPECT_STREQ(gtk_label_get_label(GTK_LABEL(label)), captions[i].markup);
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(label)), captions[i].text);
        EXPECT_EQ(foreground_of(label), captions[i].colour);
        EXPECT_EQ(kids[2 * i + 1], w.f.entries[i]);
        EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(w.f.entries[i])), "");
    }
    EXPECT_EQ(w.f.label_text, nullptr);
}

TEST(Window, GameModesInOrderAllOff) {
    window_under_test w;
    const char *names[8] = {"FFA", "TDM", "CTF", "Single", "Tourney", "CA", "1v1", "2v2"};
    for (int half = 0; half < 2; ++half) {
        GtkWidget *box = gtk_widget_get_parent(w.f.mode_buttons[4 * half]);
        std::vector<GtkWidget *> kids = children(box);
        ASSERT_EQ(kids.size(), 4u);
        expect_box_packing(box, FALSE);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(kids[i], w.f.mode_buttons[4 * half + i]);
    }
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(names[i]);
        ASSERT_TRUE(GTK_IS_CHECK_BUTTON(w.f.mode_buttons[i]));
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(w.f.mode_buttons[i])), names[i]);
        EXPECT_FALSE(gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(w.f.mode_buttons[i])));
    }
}

TEST(Window, ActionButtonsFromStockInOrder) {
    window_under_test w;
    form_record &f = w.f;
    GtkWidget *box = gtk_widget_get_parent(f.execute_button);
    std::vector<GtkWidget *> kids = children(box);
    ASSERT_EQ(kids.size(), 6u);
    expect_box_packing(box, TRUE);
    struct stock {
        GtkWidget *button;
        const char *id;
    } expected[] = {{f.execute_button, "gtk-execute"},
                    {f.help_button, "gtk-help"},
                    {nullptr, nullptr},
                    {f.info_button, "gtk-info"},
                    {f.clear_button, "gtk-clear"},
                    {f.quit_button, "gtk-quit"}};
    for (int i = 0; i < 6; ++i) {
        if (!expected[i].button) {
            EXPECT_EQ(kids[i], f.separator);
            EXPECT_TRUE(GTK_IS_HSEPARATOR(kids[i]));
            continue;
        }
        SCOPED_TRACE(expected[i].id);
        EXPECT_EQ(kids[i], expected[i].button);
        EXPECT_TRUE(gtk_button_get_use_stock(GTK_BUTTON(kids[i])));
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(kids[i])), expected[i].id);
    }
}

TEST(Window, BrowseButtonsLevelWithTheirEntries) {
    window_under_test w;
    GtkWidget *box = gtk_widget_get_parent(w.f.browse_buttons[0]);
    std::vector<GtkWidget *> kids = children(box);
    ASSERT_EQ(kids.size(), 12u);
    expect_box_packing(box, TRUE);
    for (int k = 0; k < 4; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(kids[2 * k + 1], w.f.browse_buttons[k]);
        EXPECT_FALSE(gtk_button_get_use_stock(GTK_BUTTON(w.f.browse_buttons[k])));
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(w.f.browse_buttons[k])), "URL");
        EXPECT_NEAR(centre_y(w.f.browse_buttons[k]), centre_y(w.f.entries[k]), 1.0);
    }
    // Beside the map name and the description: only empty labels.
    for (int i : {0, 2, 4, 6, 8, 9, 10, 11}) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(GTK_IS_LABEL(kids[i]));
        EXPECT_STREQ(gtk_label_get_text(GTK_LABEL(kids[i])), "");
    }
}

TEST(Window, RegionsKeepTheirShareOfTheTable) {
    window_under_test w;
    GtkAllocation table, image, action;
    gtk_widget_get_allocation(w.f.table, &table);
    gtk_widget_get_allocation(w.f.image, &image);
    gtk_widget_get_allocation(gtk_widget_get_parent(gtk_widget_get_parent(w.f.execute_button)),
                              &action);
    // Homogeneous cells: integer rounding leaves at most a pixel per cell.
    EXPECT_NEAR(image.width, table.width * 6.0 / 11, 6);
    EXPECT_NEAR(image.height, table.height * 5.0 / 8, 5);
    EXPECT_NEAR(action.width, table.width * 5.0 / 11, 6);
    EXPECT_NEAR(action.height, table.height * 3.0 / 8, 3);
}

TEST(Window, BannerFitsItsRegionAndMissingOneGivesPlaceholder) {
    {
        window_under_test w(true);
        ASSERT_EQ(gtk_image_get_storage_type(GTK_IMAGE(w.f.image)), GTK_IMAGE_PIXBUF);
        GdkPixbuf *banner = gtk_image_get_pixbuf(GTK_IMAGE(w.f.image));
        EXPECT_LE(gdk_pixbuf_get_width(banner), 480 * 6 / 11);
        EXPECT_LE(gdk_pixbuf_get_height(banner), 480 * 5 / 8);
        EXPECT_GE(gdk_pixbuf_get_width(banner), 480 * 6 / 11 - 16);
    }
    window_under_test w(false);
    EXPECT_TRUE(gtk_widget_get_visible(w.f.window));
    EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(w.f.image)), GTK_IMAGE_STOCK);
}

TEST(Window, HandlersConnectedWithTheirUserData) {
    window_under_test w;
    form_record &f = w.f;
    auto connected = [](GtkWidget *widget, const char *signal, auto handler, gpointer data) {
        guint id = g_signal_lookup(signal, G_OBJECT_TYPE(widget));
        return g_signal_handler_find(
                   widget,
                   GSignalMatchType(G_SIGNAL_MATCH_ID | G_SIGNAL_MATCH_FUNC | G_SIGNAL_MATCH_DATA),
                   id, 0, nullptr, reinterpret_cast<gpointer>(handler), data) != 0;
    };
    EXPECT_TRUE(connected(f.window, "destroy", gtk_main_quit, nullptr));
    EXPECT_TRUE(connected(f.quit_button, "clicked", quit_func, &f));
    EXPECT_TRUE(connected(f.clear_button, "clicked", cleaner, &f));
    EXPECT_TRUE(connected(f.execute_button, "clicked", valider, &f));
    EXPECT_TRUE(connected(f.info_button, "clicked", info_popup, f.window));
    EXPECT_FALSE(connected(f.info_button, "clicked", info_popup, &f));
    EXPECT_TRUE(connected(f.help_button, "clicked", aide_popup, &f));
    for (GtkWidget *b : f.browse_buttons)
        EXPECT_TRUE(connected(b, "clicked", search, &f));
}
