#include "mapcrate.h"

void cleaner(GtkWidget *, gpointer) {}
void quit_func(GtkWidget *, gpointer) {}
