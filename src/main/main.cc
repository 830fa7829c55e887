// Mapcrate: start-up.  The form record lives here for the whole run.
#include <cstdio>
#include <cstring>

#include "mapcrate.h"

int main(int argc, char **argv) {
    // Stands in for the command line's --version until that lands.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("mapcrate %s\n", MAPCRATE_VERSION);
        return 0;
    }
    form_record form;
    gtk_init(&argc, &argv);
    build_window(&form);
    gtk_main();
    return 0;
}
