// Execute: from the form to <map>.pk3 in the working directory.
#include <cstdio>

#include "mapcrate.h"

namespace {

const char *const not_written_message =
    "Le pk3 n'a pas \xe9t\xe9 \xe9"
    "crit.\nConsultez les messages affich\xe9s dans le terminal pour en conna\xee"
    "tre la raison.";

} // namespace

void valider(GtkWidget *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    get_field(f);
    if (!verif_field(f))
        return;
    name_of_dir(f);
    if (!creat_dir(f))
        return;
    int count = creat_argv(f);
    std::vector<char *> argv = argv_view(f->pack_argv);
    // The window is frozen while packing: the terminal is the only sign of life.
    std::fflush(stdout);
    int result = pk3_dir(count, argv.data());
    std::fflush(stdout);
    // Without this a failed write would look the same as a success.
    if (result != 0)
        popup(not_written_message, 0);
}
