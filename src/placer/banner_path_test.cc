// Which banner the window reads: the working folder's, else the one
// installed beside the program, else the working folder's name again.
#include <gtest/gtest.h>

#include <tuple>

#include "placer/banner_path.h"
#include "support.h"

TEST(BannerPath, WorkingFolderFirstThenBesideTheProgram) {
    // A banner in the working folder, one installed, the program's path under the temporary
    // folder, and the banner read ("/": under the temporary folder).
    const std::tuple<bool, bool, const char *, std::string> rows[] = {
        {true, true, "/prefix/bin/mapcrate", "./mapc.png"},
        {false, true, "/prefix/bin/mapcrate", "/prefix/share/mapcrate/mapc.png"},
        {false, false, "/prefix/bin/mapcrate", "./mapc.png"},
        {false, true, "/prefix/mapcrate", "./mapc.png"},
    };
    for (const auto &[here, installed, program, read] : rows) {
        temp_dir tmp;
        if (here)
            write_file("mapc.png", "png");
        if (installed)
            write_file("prefix/share/mapcrate/mapc.png", "png");
        EXPECT_EQ(banner_path(tmp.path + program), read[0] == '/' ? tmp.path + read : read)
            << program << " " << here;
    }
}
