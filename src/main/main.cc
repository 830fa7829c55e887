// Mapcrate: start-up.  With arguments, the command line; without, the
// window, whose form record lives here for the whole run.
#include <csignal>

#include "cli/cli.h"
#include "main/window.h"

int main(int argc, char **argv) {
    std::signal(SIGXFSZ, SIG_IGN); // a write past the file-size limit fails like a full disk
    if (argc > 1)
        return command_line(argc, argv);
    form_record form;
    gtk_init(&argc, &argv);
    // After the toolkit's start, which sets the locale the reason is told in.
    start_window(&form, enter_home_folder());
    gtk_main();
    return 0;
}
