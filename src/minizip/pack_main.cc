// mapcrate-pack: the packer as a command, for build scripts.  Its lines go
// to standard output as the terminal prints them; the question about an
// archive that exists is answered on standard input.
#include <cctype>
#include <csignal>
#include <cstdio>

#include "minizip/pk3_dir.h"
#include "terminal/printer.h"

namespace {

// The first character typed that is not a space; 0 when none can be read
// (a NUL typed is asked again, as any letter not offered).
char read_answer(const report &question) {
    print_report(question, stdout, "");
    int c;
    do
        c = std::getchar();
    while (c != EOF && std::isspace(c));
    return c == EOF ? 0 : c == 0 ? '?' : static_cast<char>(c);
}

} // namespace

int main(int argc, char **argv) {
    std::signal(SIGXFSZ, SIG_IGN); // a write past the file-size limit fails like a full disk
    progress_sink sink;
    sink.tell = [](const report &r) { print_report(r); };
    sink.ask = read_answer;
    report failure;
    int result = pk3_dir(argc, argv, sink, &failure);
    // Without an answer, the question ends the command.
    return failure.what == msg::pack_unanswered ? 1 : result;
}
