// The form's captions in the language of the locale: the English catalog's
// where it has one, the table's French in the C locales.
#include <gtest/gtest.h>

#include <clocale>

#include "gui_support.h"

namespace {

void collect_labels(GtkWidget *w, gpointer texts) {
    if (GTK_IS_LABEL(w))
        static_cast<std::vector<std::string> *>(texts)->push_back(gtk_label_get_text(GTK_LABEL(w)));
    else if (GTK_IS_CONTAINER(w))
        gtk_container_forall(GTK_CONTAINER(w), collect_labels, texts);
}

} // namespace

TEST(Captions, FollowTheLocalesLanguage) {
    const struct {
        const char *locale, *bsp, *map_name;
    } cases[] = {
        {"en_US.UTF-8", "BSP file:", "Map name:"},
        {"C.UTF-8", "Fichier BSP :", "Nom de la map :"},
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(std::setlocale(LC_ALL, c.locale)) << c.locale << ": scripts/test.sh makes it";
        form_record f;
        make_form(f);
        std::vector<std::string> labels;
        collect_labels(f.window, &labels);
        destroy_form(f);
        EXPECT_NE(std::find(labels.begin(), labels.end(), c.bsp), labels.end()) << c.locale;
        EXPECT_NE(std::find(labels.begin(), labels.end(), c.map_name), labels.end()) << c.locale;
    }
    std::setlocale(LC_ALL, "C.UTF-8");
}
