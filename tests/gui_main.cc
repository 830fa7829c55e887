// Entry point of the window tests: they need an X server (xvfb-run).
#include <gtest/gtest.h>
#include <gtk/gtk.h>

int main(int argc, char **argv) {
    testing::InitGoogleTest(&argc, argv);
    return gtk_init_check(&argc, &argv) ? RUN_ALL_TESTS() : 1;
}
