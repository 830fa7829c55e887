// Execute: from the form to <map>.pk3 in the working directory.
#include <cstdio>

#include "mapcrate.h"

namespace {

const char *const not_written_message =
    "Le pk3 n'a pas \xe9t\xe9 \xe9"
    "crit.\nConsultez les messages affich\xe9s dans le terminal pour en conna\xee"
    "tre la raison.";

std::string staging_failed_message(const std::string &path) {
    return "La pr\xe9paration du pk3 a \xe9"
           "chou\xe9 : " +
           latin1_path(path) + "\nLe pk3 n'a pas \xe9t\xe9 \xe9" + "crit.";
}

} // namespace

void valider(GtkWidget *, gpointer form) {
    auto *f = static_cast<form_record *>(form);
    get_field(f);
    if (!verif_field(f))
        return;
    name_of_dir(f);
    // A tree staged halfway would give a package that looks whole.
    if (std::string failed = creat_dir(f); !failed.empty()) {
        popup(staging_failed_message(failed).c_str(), 0);
        return;
    }
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
