#include <gtest/gtest.h>

#include <clocale>

#include "mapcrate.h"

TEST(ToUtf8, AccentsComeOutTheSameInEveryLocale) {
    for (const char *locale : {"C", "C.UTF-8"}) {
        std::setlocale(LC_ALL, locale);
        EXPECT_EQ(to_utf8("S\xe9lectionnez, g\xe8re, accentu\xe9s"),
                  "S\xc3\xa9lectionnez, g\xc3\xa8re, accentu\xc3\xa9s")
            << locale;
        EXPECT_EQ(to_utf8(""), "");
    }
    std::setlocale(LC_ALL, "C");
}
