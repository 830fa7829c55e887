// Mapcrate's window: the form record and the routines that build it and
// handle its buttons (src/main, src/placer, src/func).  Only the window
// includes this header: the steps it runs are the toolkit-free core's
// (see README.md, "How it fits together").
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <functional>
#include <string>

#include "func/text.h"
#include "main/home_folder.h"
#include "report/report.h"
#include "request/pack_run.h"
#include "request/request.h"

struct worker_run;

// The window's state.  Widget handles point into the window's widget tree;
// the selected names are interned by the toolkit.
struct form_record {
    GtkWidget *window = nullptr, *table = nullptr;
    GtkWidget *execute_button = nullptr, *quit_button = nullptr, *info_button = nullptr,
              *clear_button = nullptr, *help_button = nullptr;
    // 0 textures folder, 1 BSP, 2 AAS, 3 levelshot.
    GtkWidget *browse_buttons[4] = {};
    // Scratch members of the layout routines.
    GtkWidget *box = nullptr, *frame = nullptr, *separator = nullptr, *label = nullptr;
    // 0 textures, 1 BSP, 2 AAS, 3 levelshot, 4 map name, 5 description.
    GtkWidget *entries[6] = {};
    // FFA, TDM, CTF, Single, Tourney, CA, 1v1, 2v2.
    GtkWidget *mode_buttons[8] = {};
    GtkWidget *image = nullptr, *file_dialog = nullptr;
    gchar *label_text = nullptr;
    // Names last taken from the file-selection dialog, per browse index.
    const char *selected_paths[4] = {};
    int32_t browse_index = 0;
    // The step running off the toolkit's thread, if any.
    worker_run *running = nullptr;
};

// Names for the entries, so code reads as the form does.
#define textures_entry entries[0]
#define bsp_entry entries[1]
#define aas_entry entries[2]
#define levelshot_entry entries[3]
#define map_name_entry entries[4]
#define description_entry entries[5]

// --- src/main -------------------------------------------------------------

// Creates the window, the buttons and the layout, connects every handler
// and shows the window: all of start-up but the toolkit's initialisation
// and its main loop.  The toolkit must be initialised.
void build_window(form_record *f);
// The window's start-up: builds the window, then shows problem, when there
// is one, in an error dialog over it.
void start_window(form_record *f, const report &problem);
void init_btn(form_record *f);

// --- src/placer -----------------------------------------------------------

void place_btn(form_record *f);
void place_opt(form_record *f);
void place_ifo(form_record *f);
void place_img(form_record *f);
void place_sbn(form_record *f);

// --- src/func -------------------------------------------------------------

// Once a dialog is destroyed: its end reaches the screen and the window is
// redrawn before what follows, which may hold the main loop a while.
void settle_screen();
// Modal message dialog with no parent; kind 0 is an error, anything else
// information.  Returns once the user has dismissed it and it is gone from
// the screen.
void popup(const char *latin1_text, int kind);
// The program's one Yes/No question: modal, over parent when there is one.
// Returns the answer (GTK_RESPONSE_YES, GTK_RESPONSE_NO, or
// GTK_RESPONSE_DELETE_EVENT when it was closed from its frame) once the
// dialog is gone from the screen.
// more, when given, adds its list, scrolled, under the question and its
// after text below.
gint yes_no(GtkWidget *parent, const char *latin1_question, const listed_text &more = {});
// A modal message over parent (kind as popup's) of text.before, with
// text's list, scrolled, and its after text below; latin1_extra, when
// given, labels a second button, which answers 1.  Returns the answer once
// the dialog is gone from the screen.
gint message_over(GtkWidget *parent, int kind, const listed_text &text,
                  const char *latin1_extra = nullptr);
void info_popup(GtkWidget *button, gpointer window);
void aide_popup(GtkWidget *button, gpointer form);
void cleaner(GtkWidget *button, gpointer form);
void quit_func(GtkWidget *button, gpointer form);
void search(GtkWidget *button, gpointer form);
void file_select(form_record *f);
void open_proj(GtkWidget *button, gpointer form);
// "clicked" handler of Execute: the window's front end of the three steps.
void valider(GtkWidget *button, gpointer form);

// Runs work on a thread of its own while a modal progress dialog titled
// title shows over the window (files and bytes from the sink's advance, the
// current file from the packing list in run, when given) and the form but
// Quit is off.  Cancel, Escape, Quit and the frame's close set the sink's
// cancelled; by_signal, they also send SIGTERM to the worker, which starts
// with SIGINT, SIGTERM and SIGHUP held (for a step that lets them in only
// while it waits, as the game's server run does).  Returns once work has
// returned and the dialog is gone: false when the user stopped it.
bool run_off_thread(form_record *f, msg title, const pack_run *run,
                    const std::function<void(const progress_sink &)> &work, bool by_signal = false);
// The package at path checked as --check does, off the toolkit's thread;
// the verdict, then every line, in a scrolled dialog over the window.
void check_in_window(form_record *f, const std::string &path);
// The package at path tried in the game's server as --verify does, off the
// toolkit's thread (Cancel stops the server); each step's result in a
// scrolled dialog over the window.
void try_in_window(form_record *f, const std::string &path);
// A .pk3 chosen in a file chooser over the window, then checked.
void pick_and_check(form_record *f);
// Asks the running step, if any, to stop.
void stop_running(form_record *f);
// The window's close from its frame: during a run, stops it and ends the
// main loop; otherwise lets the window go, which ends it too.
gboolean close_window(GtkWidget *window, GdkEvent *event, gpointer form);

// What the form's entries and game-mode buttons hold now, as a request.
pack_request get_field(const form_record *f);
// The window's test of a chosen file: 1 when the path opens for reading as
// a file; otherwise shows the unreadable-file message and returns 0.
int is_a_file(const char *path);
