// Presses Execute on a filled form, as the user does, and reports on
// standard error how long the whole pipeline took and how the resident
// memory moved meanwhile: seconds, VmRSS before, VmHWM and VmRSS after (KiB).
// Usage: execute_bench CORPUS_DIR WORK_DIR   (needs a display)
#include <gtk/gtk.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "main/window.h"
#include "status_kib.h"

int main(int argc, char **argv) {
    gtk_init(&argc, &argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: execute_bench CORPUS_DIR WORK_DIR\n");
        return 2;
    }
    std::string textures = std::string(argv[1]) + "/textures";
    std::string bsp = std::string(argv[1]) + "/level.bsp";
    if (chdir(argv[2]) != 0) {
        std::perror(argv[2]);
        return 2;
    }
    form_record f;
    build_window(&f);
    while (gtk_events_pending())
        gtk_main_iteration();
    gtk_entry_set_text(GTK_ENTRY(f.textures_entry), textures.c_str());
    gtk_entry_set_text(GTK_ENTRY(f.bsp_entry), bsp.c_str());
    gtk_entry_set_text(GTK_ENTRY(f.map_name_entry), "bench");
    gtk_entry_set_text(GTK_ENTRY(f.description_entry), "Bench map");
    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(f.mode_buttons[0]), TRUE);

    // From here on VmHWM is the peak of the Execute alone.
    std::ofstream("/proc/self/clear_refs") << "5";
    long before = status_kib("VmRSS:");
    auto start = std::chrono::steady_clock::now();
    gtk_button_clicked(GTK_BUTTON(f.execute_button));
    std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::fflush(stdout);
    std::fprintf(stderr, "%.3f %ld %ld %ld\n", took.count(), before, status_kib("VmHWM:"),
                 status_kib("VmRSS:"));
    return 0;
}
