// What the steps tell their front ends: one record for every failure,
// question, note and progress line, and the sink that carries them while
// a step runs.  Records hold no text of their own but names and the
// system's words; the front ends turn them into text, each in one place.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "messages/messages.h"

// The step a record comes from.
enum class step_id { none, form, questions, plan, staging, packing, check, verify, command_line };

struct report {
    msg what = msg::ok;  // what happened: the message that tells it
    step_id step = step_id::none;
    std::string path;    // the path it is about, raw bytes; may be empty
    std::string why;     // the system's words (strerror), or raw detail
    std::string other;   // a second name (another package, a map), raw bytes
    std::uint64_t count = 0;
    std::vector<std::string> items; // the names a question or a note lists, raw bytes
};

inline bool failed(const report &r) { return r.what != msg::ok; }

// A record of what, from step, about path.
inline report report_of(msg what, step_id step = step_id::none, std::string path = {}) {
    report r;
    r.what = what;
    r.step = step;
    r.path = std::move(path);
    return r;
}

// How a step reports while it runs.  Each front end fills the members it
// wants; an empty member is not called.  This record of callbacks is the
// one table of functions the program keeps.
struct progress_sink {
    // A progress line or a note, as it happens.
    std::function<void(const report &)> tell;
    // Packing: files and bytes done so far, of the totals.
    std::function<void(std::uint64_t files_done, std::uint64_t files_total,
                       std::uint64_t bytes_done, std::uint64_t bytes_total)> advance;
    // A question the user answers with one letter; the answer, or 0 when
    // none can be read (the step then stops).  The step asks again when the
    // letter is not one it offers.
    std::function<char(const report &question)> ask;
    // Asked between files and between blocks of a big one: true stops the
    // staging or the packing, which then leave nothing of their own behind.
    std::function<bool()> cancelled;
};

// Whether the run was asked to stop.
inline bool stop_asked(const progress_sink &sink) { return sink.cancelled && sink.cancelled(); }

inline void send(const progress_sink &sink, const report &r) {
    if (sink.tell)
        sink.tell(r);
}
