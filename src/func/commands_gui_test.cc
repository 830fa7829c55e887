// The message dialog, Quit and the frame's close, reached as the user does.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <filesystem>

#include "../../tests/support.h"
#include "gui_test_form.h"

namespace {

using names = std::vector<std::string>;

// Runs act in a main loop, its dialogs answered as log says; returns
// whether the loop went on after act.
bool loop_goes_on_after(std::function<void()> act, const std::shared_ptr<dialog_log> &log) {
    static bool went_on;
    static guint next;
    went_on = false;
    auto run = [](gpointer act) -> gboolean {
        (*static_cast<std::function<void()> *>(act))();
        auto goes_on = [](gpointer) -> gboolean {
            went_on = true;
            gtk_main_quit();
            return FALSE;
        };
        next = g_idle_add(goes_on, nullptr);
        return FALSE;
    };
    answer_dialogs(log);
    g_idle_add(run, &act);
    gtk_main();
    if (!went_on)
        g_source_remove(next);
    disarm(*log);
    return went_on;
}

} // namespace

TEST(Commands, PopupShowsItsTextAsIsInEveryLocale) {
    for (const char *locale : {"C", "C.UTF-8"}) {
        std::setlocale(LC_ALL, locale);
        for (int kind : {0, 1}) {
            auto log = std::make_shared<dialog_log>();
            answer_dialogs(log);
            popup("100% %s %n \xe9t\xe9", kind);
            disarm(*log);
            ASSERT_EQ(log->seen.size(), 1u);
            EXPECT_EQ(log->seen[0].text, "100% %s %n \xc3\xa9t\xc3\xa9") << locale;
            EXPECT_EQ(log->seen[0].type, kind == 0 ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO);
        }
    }
}

TEST(Commands, OnlyYesToQuitCleansUpNeverTheProgramAndTheFrameCloseEndsAtOnce) {
    const names all = {"levelshots", "mapcrate", "maps", "scripts", "textures"};
    const struct {
        bool quit;
        int answer;
        bool credits_is_this_program;
        names left;
    } rows[] = {
        {true, GTK_RESPONSE_NO, false, all},
        {true, GTK_RESPONSE_DELETE_EVENT, false, all}, // the question closed from its frame
        {true, GTK_RESPONSE_YES, false, {"maps"}},
        {true, GTK_RESPONSE_YES, true, {"mapcrate", "maps"}},
        {false, GTK_RESPONSE_NONE, false, all},
    };
    for (const auto &r : rows) {
        SCOPED_TRACE(r.answer);
        temp_dir work;
        for (const char *d : {"maps", "textures", "scripts", "levelshots"})
            mkdir(d, 0755);
        write_file("maps/arena.bsp", "IBSP");
        if (r.credits_is_this_program)
            std::filesystem::create_symlink(std::filesystem::read_symlink("/proc/self/exe"),
                                            "mapcrate");
        else
            write_file("mapcrate", "credits\r\n");
        form_record f;
        make_form(f);
        auto log = std::make_shared<dialog_log>();
        log->answer = r.answer;
        log->close_from_frame = r.answer == GTK_RESPONSE_DELETE_EVENT;
        GtkWidget *quit = f.quit_button, *window = f.window;
        bool went_on = loop_goes_on_after(
            [&] { r.quit ? gtk_button_clicked(GTK_BUTTON(quit)) : close_from_frame(window); }, log);
        EXPECT_EQ(went_on, r.quit && r.answer != GTK_RESPONSE_YES);
        EXPECT_EQ(log->seen.size(), r.quit ? 1u : 0u);
        EXPECT_EQ(list_dir("."), r.left);
        EXPECT_EQ(list_dir("maps"), names{"arena.bsp"});
        if (r.quit)
            destroy_form(f);
    }
}
