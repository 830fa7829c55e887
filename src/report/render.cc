#include "report/render.h"

namespace {

std::string text_as_it_is(const std::string &text) { return text; }

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
        if (key == "path" || key == "other" || key == "why" || key == "count") {
            flush();
            if (key == "path")
                out += style.name(r.path);
            else if (key == "other")
                out += style.name(r.other);
            else if (key == "why")
                out += style.words(r.why);
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
