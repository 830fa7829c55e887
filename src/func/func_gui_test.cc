// The popup, Quit, the frame's close, the "URL" buttons and Execute, reached as the user does.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <functional>
#include <memory>
#include <tuple>

#include "gui_support.h"
#include "support.h"
#include "valid/level_checks.h"

namespace {

using names = std::vector<std::string>;

// Runs act in a main loop, dialogs answered with answer: did act end the loop?
bool ends_the_loop(std::function<void()> act, int answer) {
    static bool ended;
    auto run = [](gpointer act) -> gboolean {
        (*static_cast<std::function<void()> *>(act))();
        if (!(ended = gtk_main_iteration_do(FALSE)))
            gtk_main_quit();
        return FALSE;
    };
    g_idle_add(run, &act);
    answered(gtk_main, answer);
    return ended;
}

// How many messages are shown when OK is pressed on name in a file selection.
size_t choose(GtkWidget *dialog, const std::string &name) {
    gtk_file_selection_set_filename(GTK_FILE_SELECTION(dialog), name.c_str());
    GtkWidget *ok = GTK_FILE_SELECTION(dialog)->ok_button;
    return answered([ok] { gtk_button_clicked(GTK_BUTTON(ok)); })->seen.size();
}

const char *const gt_a = "game/textures/one/a.tga";

// The game's own files, in place of whatever this machine has installed.
std::unique_ptr<temp_dir> the_game() {
    auto game = std::make_unique<temp_dir>();
    write_zip("pak0.pk3", {"textures/base/b.tga", "the game's"});
    setenv("MAPCRATE_GAME_DIR", game->path.c_str(), 1);
    return game;
}

} // namespace

TEST(Commands, PopupShowsItsTextAsIsInEveryLocaleWrapsAPathAndLeavesNothingOnScreen) {
    const std::string path = "textures/" + std::string(250, 'x') + ".tga";
    for (int kind : {1, 0}) {
        std::setlocale(LC_ALL, kind ? "C.UTF-8" : "C");
        bool drawn_when_back = true;
        auto log = answered([&] {
            popup(("100% %s %n \xe9t\xe9 " + path).c_str(), kind);
            // Whatever the caller does next may hold the main loop: the dialog's
            // end must have reached the screen already.
            gdk_display_sync(gdk_display_get_default());
            drawn_when_back = !gtk_events_pending();
        });
        // Its text and type, as shown in each locale, are in tests/outputs/dialogs.txt.
        ASSERT_EQ(log->seen.size(), 1u);
        EXPECT_LE(log->seen[0].width, gdk_screen_width());
        EXPECT_TRUE(drawn_when_back);
        EXPECT_TRUE(shown_dialogs().empty());
    }
}

// Execute leaves nothing of its own in the folder: Quit removes nothing there.
TEST(Commands, QuitRemovesNoFileAndTheFrameCloseEndsAtOnce) {
    // 0: no Quit, the window closed from its frame.
    for (int answer :
         {int(GTK_RESPONSE_NO), int(GTK_RESPONSE_DELETE_EVENT), int(GTK_RESPONSE_YES), 0}) {
        temp_dir work;
        write_file("maps/arena.bsp", "IBSP");
        ASSERT_EQ(system("mkdir textures scripts levelshots sound"), 0);
        write_file("mapcrate", "credits\r\n");
        const names before = folder_snapshot();
        form_record f;
        make_form(f);
        auto act = [&] {
            answer ? gtk_button_clicked(GTK_BUTTON(f.quit_button)) : close_from_frame(f.window);
        };
        EXPECT_EQ(ends_the_loop(act, answer), !answer || answer == GTK_RESPONSE_YES);
        EXPECT_EQ(folder_snapshot(), before) << answer;
        if (answer)
            destroy_form(f);
    }
}

TEST(FileSelect, ARefusalKeepsItsDialogAndEachOpenDialogFillsItsOwnEntry) {
    temp_dir work;
    const std::string tex = work.path + "/tex", bsp = work.path + "/level.bsp";
    mkdir(tex.c_str(), 0755);
    write_file(bsp, "x");
    form_record f;
    make_form(f);
    // Per dialog, for its entry k, a choice it refuses then a good one.  Answered in this order,
    // opened in the reverse one: every answer after the first goes to a dialog older than the
    // last opened.
    const std::tuple<int, std::string, std::string> rows[] = {{3, tex, bsp},
                                                              {0, bsp, tex},
                                                              {1, tex, bsp},
                                                              {2, tex + "/none", bsp},
                                                              {0, bsp + "/", work.path}};
    const size_t n = std::size(rows);
    GtkWidget *dialogs[n];
    for (size_t i = n; i-- > 0;) {
        gtk_button_clicked(GTK_BUTTON(f.browse_buttons[std::get<0>(rows[i])]));
        dialogs[i] = f.file_dialog;
    }
    for (size_t i = 0; i < n; ++i) {
        const auto &[k, refused, good] = rows[i];
        const std::string before = gtk_entry_get_text(GTK_ENTRY(f.entries[k]));
        EXPECT_EQ(choose(dialogs[i], refused), 1u) << refused;
        EXPECT_EQ(shown_dialogs().size(), n - i) << "a refused choice must keep its dialog";
        EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(f.entries[k])), before);
        EXPECT_EQ(choose(dialogs[i], good), 0u);
        EXPECT_EQ(shown_dialogs().size(), n - i - 1);
        EXPECT_EQ(gtk_entry_get_text(GTK_ENTRY(f.entries[k])), good);
    }
    destroy_form(f);
}

TEST(Validation, HeaderChecksThenExecuteRulesQuestionsAndOutcomes) {
    temp_dir work;
    // Paths, names and description carry printf directives: never a format.
    const char *tex = "t%s%n", *lvl = "l%s%n.bsp", *bot = "b%n.aas", *jpg = "s%n.jpg",
               *old = "o%n.aas", *bad = "x%n.jpg", *pipe = "p%n", *gone = "none";
    for (const char *dir : {tex, "dir.pk3"})
        mkdir(dir, 0755);
    write_file(lvl, test_bsp());
    write_file(bot, test_aas());
    write_file(jpg, jpeg(128));
    write_file(bad, jpeg(64));
    write_file(old, test_aas(test_bsp_sum + 1));
    mkfifo(pipe, 0644);
    // A game folder beside the author's (see write_game_and_author), and an author's game folder
    // that lacks twelve files the map uses.
    write_game_and_author();
    const std::string old_home = getenv("HOME");
    setenv("HOME", "h", 1); // none of this user's own game files
    setenv("MAPCRATE_GAME_DIR", "baseoa", 1);
    write_file(gt_a, "a");
    write_zip("game/pak0.pk3", {"textures/base/g.tga", ""});
    std::vector<std::string> used = {"textures/one/a"};
    for (int i = 0; i < 12; ++i)
        used.push_back("textures/one/m" + std::to_string(i));
    write_file("one.bsp", level_bytes(used));
    const char *gt = "game/textures", *gl = "g/textures", *one = "one.bsp";
    enum end { refused, packed, unwritten };
    const int yes = GTK_RESPONSE_YES, no = GTK_RESPONSE_NO, shut = GTK_RESPONSE_DELETE_EVENT,
              none = -1;
    // The dialogs' texts and types, in order, are in tests/outputs/dialogs.txt.
    struct row {
        const char *what, *textures, *bsp, *aas, *shot, *name;
        int mode, answer;
        end outcome;
        bool gone = false; // a file the map uses, gone while the question waits
    };
    const row rows[] = {
        {"BSP empty", "", "", "", "", "m", 0, yes, refused},
        {"textures a file, BSP untested", lvl, gone, "", "", "m", 0, yes, refused},
        {"BSP is a named pipe", "", pipe, "", "", "m", 0, yes, refused},
        {"AAS missing, first", "", "", gone, "", "m", 0, yes, refused},
        {"levelshot a folder", "", lvl, "", tex, "m", 0, yes, refused},
        {"map name empty", tex, lvl, bot, jpg, "", 0, yes, refused},
        {"map name climbs out", "", lvl, "", "", "../up", 0, yes, refused},
        {"another compile, closed", "", lvl, old, "", "shut", 0, shut, packed},
        {"in order", tex, bad, jpg, bad, "all", none, yes, packed},
        {"no game mode, No", tex, lvl, bot, jpg, "m", none, no, refused},
        {"a good form needs no word", tex, lvl, bot, jpg, "Good-1.x_", 7, yes, packed},
        {"the package cannot be written", "", lvl, "", "", "dir", 1, yes, unwritten},
        {"files found nowhere, No", gt, one, "", "", "one", 0, no, refused},
        {"files found nowhere, Yes", gt, one, "", "", "one", 0, yes, packed},
        // The package an earlier row wrote stays as it was.
        {"a file gone", gt, one, "", "", "one", 0, yes, unwritten, true},
        {"another pk3's texture, No", gl, "l.bsp", "", "", "m", 0, no, refused},
        {"another pk3's texture, Yes", gl, "l.bsp", "", "", "m", 0, yes, packed},
    };
    form_record f;
    make_form(f);
    for (const row &r : rows) {
        SCOPED_TRACE(r.what);
        const char *texts[6] = {r.textures, r.bsp, r.aas, r.shot, r.name, "%n%s"};
        fill_form(f, texts, r.mode == none ? std::vector<int>{} : std::vector<int>{r.mode});
        std::vector<std::string> before = folder_snapshot();
        // Gone while the question waits, after the planning.
        auto d = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); }, r.answer,
                          [&] { r.gone ? void(rename(gt_a, "x")) : void(); });
        if (r.gone)
            rename("x", gt_a);
        EXPECT_EQ(std::count(d->alive.begin(), d->alive.end(), nullptr),
                  std::ptrdiff_t(d->alive.size()));
        for (const seen_dialog &s : d->seen) // a question is modal over the window
            EXPECT_TRUE(s.type != GTK_MESSAGE_QUESTION ||
                        (s.modal && s.parent == GTK_WINDOW(f.window)));
        // Staged in a folder of its own: the working folder never gets the arena script.
        EXPECT_NE(access(("scripts/" + std::string(r.name) + ".arena").c_str(), F_OK), 0);
        EXPECT_TRUE(r.outcome == packed ? read_zip_with_python(std::string(r.name) + ".pk3").ok
                                        : folder_snapshot() == before)
            << "a refusal or a failure changes nothing";
    }
    destroy_form(f);
    setenv("HOME", old_home.c_str(), 1);
    unsetenv("MAPCRATE_GAME_DIR");
}

// Each optional field (textures folder, AAS, levelshot, description) empty or not, with the
// level in its game's MAPS folder or not.  The command line's options, the same request once
// read, are in the recorded outputs.
TEST(OptionalFields, EveryCombinationPacksWhatTheFormNamesInBothFrontEnds) {
    auto game = the_game();
    form_record f;
    make_form(f);
    for (int row = 0; row < 16; ++row) {
        SCOPED_TRACE("row " + std::to_string(row));
        const bool textures = row & 1, aas = row & 2, levelshot = row & 4;
        // The level lies in G/MAPS in half the rows, with a textures folder and without.
        const bool in_maps = aas != levelshot;
        const char *bsp = in_maps ? "G/MAPS/l.bsp" : "l.bsp", *longname = row & 8 ? "Cour" : "";
        const char *texts[6] = {textures ? "G/textures" : "", bsp, aas ? "l.aas" : "",
                                levelshot ? "l.jpg" : "",     "m", longname};
        temp_dir work;
        write_file(bsp, level_bytes({"textures/set/a"}, {}, "{\"noise\" \"sound/s.wav\"}"));
        write_file("G/textures/set/a.tga", "AAAA");
        write_file("G/sound/s.wav", "SS");
        write_file("l.aas", test_aas(*bsp_checksum(bsp)));
        write_file("l.jpg", jpeg(128));
        fill_form(f, texts, {0});
        // Without a textures folder, only MAPS names the author's game folder G; else the files
        // are found nowhere, and asked about once.  The question, and each package's entries
        // counted and its size, are in the recorded outputs.
        answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); }, GTK_RESPONSE_YES);
    }
    destroy_form(f);
    unsetenv("MAPCRATE_GAME_DIR");
}

// Execute on a level of a few hundred MB: the toolkit's loop keeps turning throughout, and each
// way of stopping the run leaves the older package and nothing else.
TEST(Execute, TheWindowAnswersDuringABigPackAndAStopLeavesTheOlderPackage) {
    auto game = the_game();
    // The big file lies outside the working folder, whose snapshots read every byte.
    const std::string textures = game->path + "/G/textures", big = textures + "/set/a.tga";
    temp_dir work;
    write_file("l.bsp", level_bytes({"textures/set/a"}));
    // Bytes deflate cannot shrink, so that the pack takes a while.
    std::string bytes(256 << 20, '\0');
    uint32_t seed = 1;
    for (char &c : bytes)
        c = char((seed = seed * 1103515245u + 12345u) >> 24);
    write_file(big, bytes);
    const char *texts[6] = {textures.c_str(), "l.bsp", "", "", "m", ""};
    form_record f;
    make_form(f);
    fill_form(f, texts, {0});
    enum stop { none, cancel, escape, frame, quit };
    static stop how;
    static form_record *form;
    static gint64 last, widest, shown_at;
    form = &f;
    for (stop row : {none, cancel, escape, frame, quit}) {
        SCOPED_TRACE(row);
        write_file("m.pk3", "the older package");
        const names before = folder_snapshot();
        how = row;
        last = g_get_monotonic_time(), widest = 0, shown_at = 0;
        // Every 10 ms on the toolkit's thread: the widest gap, and the stop
        // 300 ms into the staging and packing.
        guint timer = g_timeout_add(
            10,
            [](gpointer) -> gboolean {
                gint64 now = g_get_monotonic_time();
                widest = std::max(widest, now - last);
                last = now;
                GtkWidget *d = nullptr;
                for (GtkWidget *w : shown_dialogs())
                    if (!GTK_IS_MESSAGE_DIALOG(w) && form->running)
                        d = w;
                if (!d || how == none ||
                    !g_str_has_prefix(gtk_window_get_title(GTK_WINDOW(d)), "Cr"))
                    return TRUE;
                if (!shown_at)
                    shown_at = now;
                if (now - shown_at < 300000)
                    return TRUE;
                if (how == cancel)
                    gtk_button_clicked(GTK_BUTTON(
                        gtk_dialog_get_widget_for_response(GTK_DIALOG(d), GTK_RESPONSE_CANCEL)));
                else if (how == escape)
                    gtk_bindings_activate(GTK_OBJECT(d), GDK_KEY_Escape, GdkModifierType(0));
                else
                    how == frame ? close_from_frame(form->window)
                                 : gtk_button_clicked(GTK_BUTTON(form->quit_button));
                how = none, shown_at = now;
                return TRUE;
            },
            nullptr);
        bool ended = ends_the_loop([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); },
                                   GTK_RESPONSE_YES);
        g_source_remove(timer);
        EXPECT_LT(widest, 1000000) << "the loop stood still";
        // A stop is heard between blocks of the big file, not once it is done.
        EXPECT_LT(g_get_monotonic_time() - shown_at, row == none ? G_MAXINT64 : 1000000);
        EXPECT_EQ(ended, row == frame || row == quit);
        // A stop leaves the older package alone; the package written is in the recorded outputs.
        EXPECT_EQ(folder_snapshot() == before, row != none);
        EXPECT_TRUE(gtk_widget_is_sensitive(f.execute_button));
    }
    destroy_form(f);
    unsetenv("MAPCRATE_GAME_DIR");
}

// A package checked, or tried in the game's server, from the window: what
// --check and --verify say, the verdict first.
TEST(PackageChecks, TheWindowSaysWhatCheckAndVerifySayVerdictFirst) {
    auto game = the_game();
    temp_dir work;
    write_zip("lacking.pk3", {"maps/x.bsp", level_bytes({"textures/set/none"})});
    write_file("bad.pk3", "not a zip");
    form_record f;
    make_form(f);
    const std::string lacking = work.path + "/lacking.pk3";
    run_result cli = run_program({MAPCRATE_PROGRAM, "--check", lacking});
    EXPECT_EQ(cli.status, 1);
    auto d = answered([&] { check_in_window(&f, lacking); });
    // The window leaves out the counts that close --check's lines.
    EXPECT_EQ(d->seen.at(0).text,
              "Un problème trouvé : " + lacking + "\n" + cli.out.substr(0, cli.out.find("Bilan")));
    // The unreadable package's words, and --check's status for it, are in the recorded outputs.
    answered([&] { check_in_window(&f, work.path + "/bad.pk3"); });
    // The sample packed, then tried from the dialog that says it is written.
    setenv("MAPCRATE_GAME_DIR", "", 1);
    ASSERT_EQ(system(("cp -r " MAPCRATE_SOURCE_DIR "/samples/crateyard/. .")), 0);
    const char *texts[6] = {"textures", "maps/crateyard.bsp", "maps/crateyard.aas", "", "c", ""};
    fill_form(f, texts, {0});
    d = answered([&] { gtk_button_clicked(GTK_BUTTON(f.execute_button)); }, 1);
    cli = run_program({MAPCRATE_PROGRAM, "--check", "c.pk3", "--verify"});
    ASSERT_EQ(cli.status, 0) << cli.err;
    ASSERT_EQ(d->seen.size(), 2u);
    EXPECT_EQ(d->seen[1].text, "Le jeu a chargé le paquet " + work.path + "/c.pk3.\n" +
                                   cli.out.substr(cli.out.find("Jeu : "),
                                                  cli.out.find("Bilan") - cli.out.find("Jeu : ")));
    // A server that never ends, stopped by Cancel: no word, no server left.  Its
    // sleep is this run's own: another run of these tests may be sleeping too.
    const std::string sleep = "sleep 600." + std::to_string(getpid());
    write_file("bin/ioq3ded", "#!/bin/sh\nexec " + sleep + "\n");
    chmod("bin/ioq3ded", 0755);
    const std::string old_path = getenv("PATH");
    setenv("PATH", (work.path + "/bin:" + old_path).c_str(), 1);
    g_timeout_add(
        300, [](gpointer f) { return stop_running(static_cast<form_record *>(f)), FALSE; }, &f);
    gint64 start = g_get_monotonic_time();
    d = answered([&] { try_in_window(&f, "c.pk3"); });
    EXPECT_LT(g_get_monotonic_time() - start, 5000000);
    EXPECT_TRUE(d->seen.empty());
    EXPECT_NE(system(("pgrep -x -f '" + sleep + "' >/dev/null").c_str()), 0);
    setenv("PATH", old_path.c_str(), 1);
    destroy_form(f);
    unsetenv("MAPCRATE_GAME_DIR");
}
