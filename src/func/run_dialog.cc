// A step run off the toolkit's thread: its progress dialog, its Cancel and
// the window's answers while it goes on.  The worker never touches a
// widget: it leaves its progress in the shared record and has the toolkit's
// thread show it from an idle call.
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "main/window.h"
#include "minizip/signals.h"
#include "report/render.h"
#include "terminal/step_lines.h"

struct worker_run {
    std::atomic<bool> cancel{false};
    std::atomic<bool> done{false};
    std::mutex m;
    // Under m: what the dialog shows next, and whether an idle call is on its way.
    std::uint64_t files_done = 0, files_total = 0, bytes_done = 0, bytes_total = 0;
    std::string current; // ISO-8859-1, as dialog_text gives it
    bool update_queued = false;
    // A worker that waits on a child (the game's server) hears of the stop
    // through a signal it holds back but inside its waits.
    pthread_t thread{};
    bool by_signal = false;
    // The dialog's widgets, null once it is gone; the toolkit's thread only.
    GtkWidget *bar = nullptr, *label = nullptr;
};

namespace {

using run_ptr = std::shared_ptr<worker_run>;

void stop_run(worker_run &w) {
    if (!w.cancel.exchange(true) && w.by_signal)
        pthread_kill(w.thread, SIGTERM);
}

gboolean show_progress(gpointer slot) {
    run_ptr w = *static_cast<run_ptr *>(slot);
    std::lock_guard lock(w->m);
    w->update_queued = false;
    if (!w->bar)
        return FALSE;
    gtk_label_set_text(GTK_LABEL(w->label), to_utf8(w->current.c_str()).c_str());
    if (w->files_total == 0)
        return FALSE;
    report r;
    r.count = w->files_done;
    r.other = std::to_string(w->files_total);
    r.why = std::to_string(w->bytes_done >> 20) + " / " + std::to_string(w->bytes_total >> 20);
    gtk_progress_bar_set_text(GTK_PROGRESS_BAR(w->bar),
                              to_utf8(render(msg::run_progress, r, plain_style).c_str()).c_str());
    gtk_progress_bar_set_fraction(GTK_PROGRESS_BAR(w->bar),
                                  w->bytes_total ? double(w->bytes_done) / double(w->bytes_total)
                                                 : double(w->files_done) / double(w->files_total));
    return FALSE;
}

// Has the toolkit's thread show the progress, once per change it can keep up with.
void queue_update(const run_ptr &w) {
    if (w->update_queued)
        return;
    w->update_queued = true;
    g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, show_progress, new run_ptr(w),
                    [](gpointer slot) { delete static_cast<run_ptr *>(slot); });
}

// The window's sink: the terminal's lines as before, and the dialog's progress.
progress_sink worker_sink(const run_ptr &w, const pack_run *run) {
    progress_sink sink = progress_on_stdout();
    auto print = sink.tell;
    sink.tell = [w, print](const report &r) {
        print(r);
        if (r.what != msg::stage_copy)
            return;
        std::lock_guard lock(w->m);
        w->current = dialog_text(r);
        queue_update(w);
    };
    sink.advance = [w, run](std::uint64_t files, std::uint64_t total, std::uint64_t bytes,
                            std::uint64_t bytes_total) {
        std::lock_guard lock(w->m);
        w->files_done = files;
        w->files_total = total;
        w->bytes_done = bytes;
        w->bytes_total = bytes_total;
        // The files are the last of the packer's arguments, in their order.
        const std::vector<std::string> &args = run->pack_argv;
        w->current.clear();
        if (files < total && total <= args.size())
            w->current = dialog_text(report_of(msg::run_packing_file, step_id::packing,
                                               args[args.size() - total + files]));
        queue_update(w);
    };
    sink.cancelled = [w] { return w->cancel.load(); };
    return sink;
}

void on_response(GtkDialog *, gint, gpointer w) {
    stop_run(*static_cast<worker_run *>(w));
}

gboolean on_delete(GtkWidget *, GdkEvent *, gpointer w) {
    stop_run(*static_cast<worker_run *>(w));
    return TRUE;
}

// The form's widgets but Quit, on or off while a run goes on.
void form_sensitive(form_record *f, bool on) {
    GList *children = gtk_container_get_children(GTK_CONTAINER(f->table));
    for (GList *l = children; l; l = l->next)
        if (l->data != f->quit_button)
            gtk_widget_set_sensitive(GTK_WIDGET(l->data), on);
    g_list_free(children);
}

GtkWidget *progress_dialog(form_record *f, msg title, worker_run *w) {
    GtkWidget *dialog = gtk_dialog_new_with_buttons(
        to_utf8(text_of(title)).c_str(), GTK_WINDOW(f->window),
        GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT), GTK_STOCK_CANCEL,
        GTK_RESPONSE_CANCEL, nullptr);
    gtk_window_set_default_size(GTK_WINDOW(dialog), 420, -1);
    GtkWidget *box = GTK_DIALOG(dialog)->vbox;
    w->label = gtk_label_new("");
    gtk_label_set_ellipsize(GTK_LABEL(w->label), PANGO_ELLIPSIZE_MIDDLE);
    w->bar = gtk_progress_bar_new();
    gtk_box_pack_start(GTK_BOX(box), w->label, FALSE, FALSE, 6);
    gtk_box_pack_start(GTK_BOX(box), w->bar, FALSE, FALSE, 6);
    g_signal_connect(dialog, "response", G_CALLBACK(on_response), w);
    g_signal_connect(dialog, "delete-event", G_CALLBACK(on_delete), w);
    gtk_widget_show_all(dialog);
    // Modal for the window manager, but the frame's close and Quit must
    // still reach the window: they stop the run.  The form stays off.
    gtk_grab_remove(dialog);
    return dialog;
}

} // namespace

bool run_off_thread(form_record *f, msg title, const pack_run *run,
                    const std::function<void(const progress_sink &)> &work, bool by_signal) {
    run_ptr w = std::make_shared<worker_run>();
    GtkWidget *dialog = progress_dialog(f, title, w.get());
    form_sensitive(f, false);
    f->running = w.get();
    progress_sink sink = worker_sink(w, run);
    // The worker starts with the stop signals held, as the toolkit's thread has them now.
    sigset_t stoppers = stop_signal_set(), mask;
    if (by_signal)
        pthread_sigmask(SIG_BLOCK, &stoppers, &mask);
    std::thread worker([w, sink, &work] {
        work(sink);
        w->done = true;
        g_idle_add([](gpointer) { return FALSE; }, nullptr); // wakes the loop below
    });
    if (by_signal) {
        pthread_sigmask(SIG_SETMASK, &mask, nullptr);
        w->thread = worker.native_handle();
        w->by_signal = true;
    }
    // The planning and the staging have no count to show: the bar moves all the same.
    guint pulse = g_timeout_add(
        100,
        [](gpointer run) -> gboolean {
            auto *w = static_cast<worker_run *>(run);
            std::lock_guard lock(w->m);
            if (w->files_total == 0)
                gtk_progress_bar_pulse(GTK_PROGRESS_BAR(w->bar));
            return TRUE;
        },
        w.get());
    while (!w->done)
        gtk_main_iteration();
    g_source_remove(pulse);
    worker.join();
    f->running = nullptr;
    {
        std::lock_guard lock(w->m);
        w->bar = w->label = nullptr;
    }
    w->by_signal = false;
    gtk_widget_destroy(dialog);
    form_sensitive(f, true);
    settle_screen();
    return !w->cancel;
}

void stop_running(form_record *f) {
    if (f->running)
        stop_run(*f->running);
}
