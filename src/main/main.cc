// Mapcrate: start-up.  With arguments, the command line; without, the
// window, whose form record lives here for the whole run.
#include "mapcrate.h"

int main(int argc, char **argv) {
    if (argc > 1)
        return command_line(argc, argv);
    form_record form;
    gtk_init(&argc, &argv);
    build_window(&form);
    gtk_main();
    return 0;
}
