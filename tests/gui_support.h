// Helpers for in-process window tests: answering modal dialogs from a
// timer while the code under test runs its nested loop.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

// Runs act on the next dialog window that appears (one that is not shown
// yet when this is called).  act usually reads the dialog and responds.
void when_dialog_appears(std::function<void(GtkWidget *dialog)> act);
// True while an answer scheduled by when_dialog_appears is still waiting.
bool dialog_answer_pending();
// The dialogs on screen now.
std::vector<GtkWidget *> shown_dialogs();
// The primary text of a message dialog, as UTF-8.
std::string message_text(GtkWidget *dialog);
// Lets the toolkit handle everything that is pending.
void pump_events();
