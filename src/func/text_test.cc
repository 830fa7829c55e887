#include <gtest/gtest.h>

#include <clocale>

#include "mapcrate.h"

TEST(ToUtf8, AccentsComeOutTheSameInEveryLocale) {
    const char *stored = "S\xe9lectionnez un fichier, Rev\xe9rifiez, accentu\xe9s";
    const std::string expected = "Sélectionnez un fichier, Revérifiez, accentués";
    for (const char *locale : {"C", "C.UTF-8"}) {
        std::setlocale(LC_ALL, locale);
        EXPECT_EQ(to_utf8(stored), expected) << locale;
    }
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(to_utf8(""), "");
    EXPECT_EQ(to_utf8("Voulez-vous quitter Mapcrate ?"), "Voulez-vous quitter Mapcrate ?");
}
