// Mapcrate: start-up.  The form record lives here for the whole run.
#include "mapcrate.h"

int main(int argc, char **argv) {
    form_record form;
    gtk_init(&argc, &argv);
    build_window(&form);
    gtk_main();
    return 0;
}
