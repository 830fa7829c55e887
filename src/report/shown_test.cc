// Names as the terminal shows them: control bytes escaped, the rest kept.
#include <gtest/gtest.h>

#include "report/shown.h"

TEST(ShownNames, ControlBytesEscapedTheRestKept) {
    const std::pair<std::string, std::string> rows[] = {
        {"a\tb\nc\rd\\", "a\\tb\\nc\\rd\\\\"},
        {std::string("\x1b]0;t\x07\x7f\0", 8), "\\x1b]0;t\\x07\\x7f\\x00"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae", "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x8e\xae"},
        {"\xc2\x9b\xc2\xa0", "\\xc2\\x9b\xc2\xa0"},                  // U+009B, the terminal's CSI
        {"\x9b\xe9\xc3", "\\x9b\xe9\xc3"},                           // ISO-8859-1's CSI
        {"\xed\xa0\x80\xe0\x80\x80", "\xed\xa0\\x80\xe0\\x80\\x80"}, // no UTF-8: bytes alone
    };
    for (const auto &[name, text] : rows)
        EXPECT_EQ(shown(name), text);
}
