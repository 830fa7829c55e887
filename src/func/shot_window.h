// The window's levelshot made by the game: the "Faire" toggle beside the
// levelshot field, and Execute's step between the questions and the
// packing, with the picture shown before the pack goes on.
#pragma once

#include "main/window.h"

// Makes the toggle and keeps it with the form's levelshot entry: on, the
// entry and its browse button are off, and Execute has the game make the
// levelshot.  The layout places it; it is not on the Tab walk of the form.
GtkWidget *new_shot_button(form_record *f);
// The toggle; null before the layout.
GtkWidget *shot_button(const form_record *f);
// Whether the toggle is on.
bool shot_asked(const form_record *f);
// The levelshot made off the toolkit's thread (Cancel stops the client), then
// shown in a message over the window: OK keeps it beside the package and plans it into run.
// False when the run stops here (cancelled, failed, or the picture refused);
// a failure has been shown.
bool shot_in_window(form_record *f, const pack_request &request, pack_run &run);
