// Mapcrate: the form record and the operations that cross units.
//
// How the program flows: main (src/main) opens the window when it is given
// no argument, and hands its arguments to the command line (src/cli)
// otherwise.  The window is built from the place_ routines (src/placer);
// everything then happens in handlers.  Execute is three steps that show
// and print nothing of their own (src/valid): verif_field checks the
// snapshot get_field took (its rules, and the questions about files that
// would not play, from level_checks), plan_form plans the package
// (src/level: every file the map uses, from the textures folder and the
// author's game folder, less what the game ships, and what is found
// nowhere), and stage_and_pack builds the staging tree from the plan in a
// private folder of its own (creat_dir; gener_scripts writes the arena
// script and the credits file), lists it (creat_argv) and packs it with
// pk3_dir (src/minizip) into <map>.pk3, deflating on every core
// (deflate_pool); the folder goes when the pack is done.  Two front ends run these steps
// and are the only places that show anything: valider (src/func, with the
// window's dialogs) and command_line (src/cli, on the terminal).  The
// dialogs and the Help, About, Clear, Quit and browse commands live in
// src/func.
#pragma once

#include <gtk/gtk.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gamepath/game_path.h"
#include "level/plan.h"
#include "report/shown.h"

// The whole state of the program.  Widget handles point into the window's
// widget tree; text views point at text owned by the toolkit; the strings
// and the packer argument list are owned here and released by free_all.
struct form_record {
    GtkWidget *window = nullptr;
    GtkWidget *table = nullptr;
    GtkWidget *execute_button = nullptr;
    GtkWidget *quit_button = nullptr;
    GtkWidget *info_button = nullptr;
    GtkWidget *clear_button = nullptr;
    GtkWidget *help_button = nullptr;
    // 0 textures folder, 1 BSP, 2 AAS, 3 levelshot.
    GtkWidget *browse_buttons[4] = {};
    // Scratch members of the layout routines.
    GtkWidget *box = nullptr;
    GtkWidget *frame = nullptr;
    GtkWidget *separator = nullptr;
    GtkWidget *label = nullptr;
    // 0 textures, 1 BSP, 2 AAS, 3 levelshot, 4 map name, 5 description.
    GtkWidget *entries[6] = {};
    // FFA, TDM, CTF, Single, Tourney, CA, 1v1, 2v2.
    GtkWidget *mode_buttons[8] = {};
    GtkWidget *image = nullptr;
    GtkWidget *file_dialog = nullptr;
    gchar *label_text = nullptr;
    // Snapshot taken by get_field at Execute (views of the entries' text).
    const char *textures_dir = nullptr;
    const char *bsp_path = nullptr;
    const char *aas_path = nullptr;
    const char *levelshot_path = nullptr;
    const char *map_name = nullptr;
    const char *description = nullptr;
    // The folder of the game's pk3s the command line names; the window names none.
    const char *game_dir = "";
    int32_t mode_states[8] = {};
    // Names last taken from the file-selection dialog, per browse index.
    const char *selected_paths[4] = {};
    int32_t browse_index = 0;
    // Owned by the record.
    std::string map_prefix;
    std::vector<std::string> pack_argv;
    // The private folder Execute stages in, with its closing '/'; empty
    // outside Execute (creat_dir then stages in the working folder, as the
    // staging benchmark wants).
    std::string stage_dir;
    // What Execute stages and packs, planned at validation.
    package_plan plan;
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
// Started from the menu (MAPCRATE_HOME_FOLDER names a folder of the home
// folder): makes that folder when it is missing and enters it.  Returns why
// it could not (ISO-8859-1 and the system's words), empty when it did or
// when not started from the menu.
std::string enter_home_folder();
// The window's start-up: builds the window, then shows problem, when there
// is one, in an error dialog over it.
void start_window(form_record *f, const std::string &problem);
void init_btn(form_record *f);
// Releases what the record owns.  Staging leaves nothing in the working
// folder, so nothing there is removed.
void free_all(form_record *f);

// --- src/placer -----------------------------------------------------------

void place_btn(form_record *f);
void place_opt(form_record *f);
void place_ifo(form_record *f);
void place_img(form_record *f);
void place_sbn(form_record *f);

// --- src/func -------------------------------------------------------------

// The program's own texts are stored in ISO-8859-1; this gives the UTF-8
// the toolkit shows, whatever the locale.
std::string to_utf8(const char *latin1);
// A path from the user (UTF-8 as a rule) as the ISO-8859-1 dialogs show it:
// what ISO-8859-1 cannot hold is written as '?'.
std::string latin1_path(const std::string &path);

// Modal message dialog with no parent; kind 0 is an error, anything else
// information.  Returns once the user has dismissed it and it is gone from
// the screen.
void popup(const char *latin1_text, int kind);
// The program's one Yes/No question: modal, over parent when there is one.
// Returns the answer (GTK_RESPONSE_YES, GTK_RESPONSE_NO, or
// GTK_RESPONSE_DELETE_EVENT when it was closed from its frame) once the
// dialog is gone from the screen.
gint yes_no(GtkWidget *parent, const char *latin1_question);
void info_popup(GtkWidget *button, gpointer window);
void aide_popup(GtkWidget *button, gpointer form);
void cleaner(GtkWidget *button, gpointer form);
void quit_func(GtkWidget *button, gpointer form);
void search(GtkWidget *button, gpointer form);
void file_select(form_record *f);
void open_proj(GtkWidget *button, gpointer form);
// "clicked" handler of Execute: the window's front end of the three steps.
void valider(GtkWidget *button, gpointer form);

// --- src/valid ------------------------------------------------------------

// A line of the program's ISO-8859-1 text around names as they are, in
// UTF-8: what reads as UTF-8 is kept, any other byte is read as ISO-8859-1.
std::string as_utf8(const std::string &line);

void get_field(form_record *f);
// The silent tests behind validation and the file selection: a path that
// opens as a directory listing; a path that opens read-only as a regular
// file (not a folder, which opens read-only too here, nor a pipe or device).
bool opens_as_folder(const char *path);
bool opens_as_file(const char *path);
// The window's test of a chosen file: 1 when the path opens for reading as
// a file; otherwise shows the unreadable-file message and returns 0.
int is_a_file(const char *path);

// The form's rules, in the order they are applied.
enum class form_rule {
    textures_not_folder,
    file_unreadable,
    mandatory_missing,
    map_name_unloadable,
};
struct failed_rule {
    form_rule rule;
    const char *message; // ISO-8859-1
    std::string path;    // the file the rule refused, as typed; empty when none
};
// What Execute asks before it writes anything, in the order it asks.
enum class question_kind {
    bsp_not_level,
    aas_not_navigation,
    aas_for_another_bsp,
    levelshot_not_128_jpeg,
    missing_files,
    conflicts,
    no_game_mode,
};
struct question {
    question_kind kind;
    std::string text; // ISO-8859-1, without the closing go_on_text
};
// The closing line of every question in the window.
extern const char *const go_on_text;
struct request_check {
    std::optional<failed_rule> failed; // the first rule that failed, if any
    std::vector<question> questions;   // when none failed
};
// The first step of Execute: the snapshot's rules, then the questions about
// the level's files and the game modes.  Shows nothing, changes nothing.
request_check verif_field(const form_record *f);
const char *rule_message(form_rule rule);

// The second step: plans the package from the captured form into f->plan,
// with its conflicts with the player's other pk3s.  Shows nothing and
// prints nothing.
void plan_form(form_record *f);
// Tells standard output where the game's files are, what the game already
// ships, what is found nowhere and what other pk3s hold otherwise, each
// line ending in line_end.
void print_plan(const package_plan &plan, const char *line_end = "\n\n");
// The question about the files the map uses that are found nowhere
// (ISO-8859-1): at most ten paths, then how many more.
std::string missing_files_question(const std::vector<std::string> &missing);
// The question about the player's other pk3s that hold the package's game
// paths or define its shaders otherwise (ISO-8859-1): at most ten of the
// plan's conflict lines, then how many more.
std::string conflicts_question(const std::vector<std::string> &conflicts);
// Every question Execute asks, in its order: the check's, with the plan's
// about files found nowhere (when the game's files were found), then about
// conflicts with other pk3s, before the game-mode question.
std::vector<question> questions_to_ask(const request_check &check, const package_plan &plan);

// The game-mode tokens of the arena script, in the order of mode_states.
extern const char *const mode_tokens[8];
// The texts of the two generated files.
std::string arena_text(const form_record *f);
extern const char *const credits_text;

// What a step of Execute ended with: the step that failed, the path it
// failed on (raw bytes) and why (the system's message in the locale's
// encoding, or ours in ASCII where no system call failed).  step none: all
// went well, path and reason empty.
enum class failed_step { none, staging, packing };
struct outcome {
    failed_step step = failed_step::none;
    std::string path;
    std::string reason;
};

// Build the staging tree and the scripts under f->stage_dir.  Each stops
// at the first folder, copy or file that fails and tells it as a staging
// outcome, named by its game path (or the source that cannot be read).  No
// link is written through: a link where a file goes is replaced by the
// file, and a link where a folder goes stops the staging.
outcome creat_dir(form_record *f);
outcome gener_scripts(form_record *f);
// One write of the whole text; returns what write returned.
long my_putstr_to_fd(const char *text, int fd);

// Lists the files the plan staged into f->pack_argv, by their game paths:
// the options, the archive, the planned files with the arena script before
// the shader scripts, then the credits file.  Returns the count.
int creat_argv(form_record *f);
// The null-terminated char* view of a packer argument list, as pk3_dir reads it.
std::vector<char *> argv_view(std::vector<std::string> &args);

// The last step of Execute: stages the form's files in a private folder
// beside the package, lists them and packs them; the folder is removed
// whatever happens, and nothing else in the working folder but <map>.pk3
// is touched.  Prints its progress lines (and the packer's) to standard
// output and nothing else of its own.  A SIGINT, SIGTERM or SIGHUP
// meanwhile removes the packer's temporary file and the staging folder and
// ends the process with 128 plus the signal's number.
outcome stage_and_pack(form_record *f);

// --- src/cli --------------------------------------------------------------

// mapcrate with arguments: the three steps of Execute run from the terminal,
// without the toolkit.  Returns the exit status.
int command_line(int argc, char **argv);
