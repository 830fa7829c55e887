// Entry point of the window tests: a private X server, then the toolkit.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdio>
#include <cstring>

#include "xvfb.h"

int main(int argc, char **argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i)
        listing = listing || std::strcmp(argv[i], "--gtest_list_tests") == 0;
    testing::InitGoogleTest(&argc, argv);
    if (!listing) {
        if (start_xvfb().empty()) {
            std::fprintf(stderr, "cannot start Xvfb\n");
            return 1;
        }
        gtk_init(&argc, &argv);
    }
    return RUN_ALL_TESTS();
}
