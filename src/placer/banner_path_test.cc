// Which banner the window reads: the working folder's, else the one
// installed beside the program, else the working folder's name again.
#include <gtest/gtest.h>

#include "placer/banner_path.h"
#include "support.h"

TEST(BannerPath, WorkingFolderFirstThenBesideTheProgram) {
    struct row {
        bool here, installed;
        const char *program; // under the temporary folder
        std::string expected;
    } rows[] = {
        {true, true, "/prefix/bin/mapcrate", "./mapc.png"},
        {false, true, "/prefix/bin/mapcrate", "/prefix/share/mapcrate/mapc.png"},
        {false, false, "/prefix/bin/mapcrate", "./mapc.png"},
        {false, true, "/prefix/mapcrate", "./mapc.png"},
    };
    for (const row &r : rows) {
        temp_dir tmp;
        if (r.here)
            write_file("mapc.png", "png");
        if (r.installed)
            write_file("prefix/share/mapcrate/mapc.png", "png");
        std::string expected = r.expected[0] == '/' ? tmp.path + r.expected : r.expected;
        EXPECT_EQ(banner_path(tmp.path + r.program), expected) << r.program << " " << r.here;
    }
}
