// Helpers of the in-process window tests.  The code under test runs its
// dialogs in nested loops; a timer of those loops answers them.
#pragma once

#include <deque>
#include <functional>
#include <memory>

#include "main/window.h"

std::vector<GtkWidget *> shown_dialogs();

void make_form(form_record &f);    // the window as start-up builds it, shown
void destroy_form(form_record &f); // without ending a main loop
// Sets the six entries and turns on exactly the given game modes.
void fill_form(form_record &f, const char *const texts[6], const std::vector<int> &modes);
// Sends what a window manager sends when the user closes a window.
void close_from_frame(GtkWidget *w);

struct seen_dialog {
    std::string text;
    GtkMessageType type = GTK_MESSAGE_OTHER;
    GtkWindow *parent = nullptr;
    bool modal = false;
    int width = 0; // as shown
};
struct dialog_log {
    std::vector<seen_dialog> seen;
    std::deque<GtkWidget *> alive; // a weak slot per dialog seen, null once it is gone
    int answer = GTK_RESPONSE_OK;
    std::function<void()> on_each; // run as each dialog is met, before its answer
};
// Runs act, recording each message dialog that appears and answering it with
// answer; GTK_RESPONSE_DELETE_EVENT closes it from its frame.  on_each, when
// given, runs as each is met, before its answer.
std::shared_ptr<dialog_log> answered(const std::function<void()> &act, int answer = GTK_RESPONSE_OK,
                                     std::function<void()> on_each = {});
