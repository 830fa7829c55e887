// Where the catalogs are read from, and a text the catalog has no
// translation of.
#include <gtest/gtest.h>

#include <clocale>
#include <cstring>
#include <tuple>

#include "messages/messages.h"
#include "support.h"

TEST(LocaleFolder, BesideTheProgramWhenInstalledElseTheBuildTree) {
    const std::string build_tree = locale_folder("");
    EXPECT_NE(build_tree.find("/locale"), std::string::npos) << build_tree;
    // The program's path under the temporary folder, whether share/locale is there, and the
    // folder read under the temporary folder (empty: the build tree's).
    const std::tuple<const char *, bool, const char *> rows[] = {
        {"/prefix/bin/mapcrate", true, "/prefix/share/locale"},
        {"/prefix/bin/mapcrate", false, ""},
    };
    for (const auto &[program, installed, read] : rows) {
        temp_dir tmp;
        if (installed)
            write_file("prefix/share/locale/en/LC_MESSAGES/mapcrate.mo", "");
        EXPECT_EQ(locale_folder(tmp.path + program), *read ? tmp.path + read : build_tree)
            << program << " " << installed;
    }
}

TEST(TextOf, TheTablesTextWhereTheCatalogHasNone) {
    ASSERT_TRUE(std::setlocale(LC_ALL, "en_US.UTF-8")) << "scripts/test.sh makes the locale";
    EXPECT_STREQ(text_of(msg::check_map), "Map: {path}");
    // Placeholders alone are not in the catalog; the empty text is its header.
    EXPECT_STREQ(text_of(msg::plan_line), "{path}");
    EXPECT_STREQ(text_of(msg::ok), "");
    // The translation comes in ISO-8859-1, as the table's texts.
    EXPECT_NE(std::strstr(text_of(msg::question_levelshot_not_128_jpeg), "128\xd7" "128"), nullptr);
    std::setlocale(LC_ALL, "C");
}
