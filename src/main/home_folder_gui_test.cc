// Started from the menu: the window opens in ~/Mapcrate, made when missing,
// and still opens, with a dialog saying why, when that cannot be.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "gui_support.h"
#include "support.h"

TEST(HomeFolder, TheWindowOpensAndADialogSaysWhyWhenTheFolderCannotBeUsed) {
    // The folder's setup, and the reason it cannot be used (0: it is entered).
    const std::pair<const char *, int> rows[] = {
        {"true", 0}, {"echo file >home/Mapcrate", ENOTDIR}, {"ln -s gone home/Mapcrate", ENOENT}};
    const std::string home = getenv("HOME");
    setenv("MAPCRATE_HOME_FOLDER", "Mapcrate", 1);
    for (const auto &[setup, reason] : rows) {
        SCOPED_TRACE(setup);
        temp_dir tmp;
        ASSERT_EQ(system((std::string("mkdir home && ") + setup).c_str()), 0);
        setenv("HOME", (tmp.path + "/home").c_str(), 1);
        form_record f;
        std::string seen, folder = tmp.path + "/home/Mapcrate";
        auto log = answered([&] { start_window(&f, enter_home_folder()); });
        for (const seen_dialog &d : log->seen)
            seen += d.text;
        EXPECT_EQ(std::filesystem::current_path(), reason == 0 ? folder : tmp.path);
        EXPECT_EQ(seen, reason == 0
                            ? ""
                            : "Le dossier de travail " + folder +
                                  " n'a pu être ni créé ni ouvert : " + std::strerror(reason) +
                                  ".\nMapcrate travaille dans " + tmp.path + ".");
        EXPECT_TRUE(gtk_widget_get_visible(f.window));
        destroy_form(f);
    }
    setenv("HOME", home.c_str(), 1);
    unsetenv("MAPCRATE_HOME_FOLDER");
}
