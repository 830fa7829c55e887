// The layout: six regions of the 8x11 table, filled once at start-up.
#include "banner_path.h"
#include "func/shot_window.h"
#include "main/window.h"

namespace {

void attach(form_record *f, GtkWidget *child, guint left, guint right, guint top, guint bottom) {
    gtk_table_attach_defaults(GTK_TABLE(f->table), child, left, right, top, bottom);
}

// A homogeneous box makes every child of a region the same height, which
// keeps the browse buttons level with their entries.
void new_framed_box(form_record *f, const char *title) {
    f->frame = gtk_frame_new(title);
    f->box = gtk_vbox_new(TRUE, 0);
    gtk_container_add(GTK_CONTAINER(f->frame), f->box);
}

void pack(form_record *f, GtkWidget *child, gboolean expand) {
    gtk_box_pack_start(GTK_BOX(f->box), child, expand, FALSE, 0);
}

void pack_modes(form_record *f, int first, const char *const names[4]) {
    for (int i = 0; i < 4; ++i) {
        f->mode_buttons[first + i] = gtk_check_button_new_with_label(names[i]);
        pack(f, f->mode_buttons[first + i], FALSE);
    }
}

void pack_empty_label(form_record *f) {
    f->label = gtk_label_new("");
    pack(f, f->label, TRUE);
}

} // namespace

void place_btn(form_record *f) {
    new_framed_box(f, text_of(msg::frame_actions));
    pack(f, f->execute_button, TRUE);
    pack(f, f->help_button, TRUE);
    f->separator = gtk_hseparator_new();
    pack(f, f->separator, TRUE);
    pack(f, f->info_button, TRUE);
    pack(f, f->clear_button, TRUE);
    pack(f, f->quit_button, TRUE);
    attach(f, f->frame, 6, 11, 5, 8);
}

void place_opt(form_record *f) {
    static const char *const first[4] = {"FFA", "TDM", "CTF", "Single"};
    static const char *const second[4] = {"Tourney", "CA", "1v1", "2v2"};
    new_framed_box(f, text_of(msg::frame_modes));
    pack_modes(f, 0, first);
    attach(f, f->frame, 0, 3, 5, 8);
    new_framed_box(f, "");
    pack_modes(f, 4, second);
    attach(f, f->frame, 3, 6, 5, 8);
}

void place_ifo(form_record *f) {
    // Red for the two mandatory fields, blue for the optional ones.
    static const msg captions[6] = {msg::caption_textures, msg::caption_bsp,
                                    msg::caption_aas,      msg::caption_levelshot,
                                    msg::caption_map_name, msg::caption_description};
    f->box = gtk_vbox_new(TRUE, 0);
    for (int i = 0; i < 6; ++i) {
        f->label_text = g_strdup(to_utf8(text_of(captions[i])).c_str());
        f->label = gtk_label_new(f->label_text);
        gtk_label_set_use_markup(GTK_LABEL(f->label), TRUE);
        g_free(f->label_text);
        f->label_text = nullptr;
        pack(f, f->label, TRUE);
        f->entries[i] = gtk_entry_new();
        pack(f, f->entries[i], TRUE);
    }
    attach(f, f->box, 6, 10, 0, 5);
}

void place_img(form_record *f) {
    f->image = gtk_image_new_from_file(banner_path(own_program_path()).c_str());
    attach(f, f->image, 0, 6, 0, 5);
}

void place_sbn(form_record *f) {
    f->box = gtk_vbox_new(TRUE, 0);
    for (GtkWidget *b : f->browse_buttons) {
        // The levelshot's caption row holds its "Faire".
        if (b == f->browse_buttons[3])
            pack(f, new_shot_button(f), TRUE);
        else
            pack_empty_label(f);
        pack(f, b, TRUE);
    }
    // Rows beside the map name and description, which have no browse button.
    for (int i = 0; i < 4; ++i)
        pack_empty_label(f);
    attach(f, f->box, 10, 11, 0, 5);
}
