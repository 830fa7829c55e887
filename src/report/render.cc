#include "report/render.h"

#include "report/shown.h"

namespace {

std::string text_as_it_is(const std::string &text) { return text; }

// At most ten of the names, a line each, then how many more.  They are
// written as the questions have always shown them: escaped, then as
// ISO-8859-1 text.
std::string listed(const report &r, const text_style &style) {
    constexpr size_t most = 10;
    std::string out;
    for (size_t i = 0; i < r.items.size() && i < most; ++i)
        out += style.text(latin1_path(shown(r.items[i])) + "\n");
    if (r.items.size() > most) {
        report more;
        more.count = r.items.size() - most;
        out += render(msg::more_items, more, style);
    }
    return out;
}

} // namespace

std::string as_it_is(std::string_view raw) { return std::string(raw); }

const text_style plain_style = {text_as_it_is, as_it_is, as_it_is};

std::string render_text(const std::string &text, const report &r, const text_style &style) {
    std::string out, run;
    auto flush = [&] {
        out += style.text(run);
        run.clear();
    };
    for (size_t i = 0; i < text.size();) {
        size_t close = text[i] == '{' ? text.find('}', i) : std::string::npos;
        std::string key = close == std::string::npos ? "" : text.substr(i + 1, close - i - 1);
        if (key == "path" || key == "other" || key == "why" || key == "count" || key == "items") {
            flush();
            if (key == "path")
                out += style.name(r.path);
            else if (key == "other")
                out += style.name(r.other);
            else if (key == "why")
                out += style.words(r.why);
            else if (key == "items")
                out += listed(r, style);
            else
                out += std::to_string(r.count);
            i = close + 1;
        } else {
            run += text[i++];
        }
    }
    flush();
    return out;
}

std::string render(msg what, const report &r, const text_style &style) {
    return render_text(text_of(what), r, style);
}
