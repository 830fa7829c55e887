// --verify's lines and exit statuses from the records the game's runs give.
#include <gtest/gtest.h>

#include <clocale>

#include "cli/cli.h"
#include "verify/verify.h"

namespace {

verify_line line(msg what, const std::string &path, bool failed = false,
                 const std::string &said = "", std::uint64_t count = 0) {
    verify_line l{report_of(what, step_id::verify, path, count), failed};
    l.note.other = said;
    l.note.why = what == msg::verify_signal_named ? "SEGV" : "";
    return l;
}

TEST(VerifyCommand, LinesOnStandardOutputTheRefusalOnStandardError) {
    std::setlocale(LC_ALL, "C.UTF-8");
    const struct {
        verify_report run;
        bool quiet;
        int status;
        std::string out, err;
    } rows[] = {
        // --quiet: only the failures and the count of maps left; the server's words escaped.
        {{verify_verdict::refused,
          {line(msg::verify_ok, "maps/m.bsp"),
           line(msg::verify_said, "maps/\x1b.aas", true, "Fatal: aas\a"),
           line(msg::verify_signal_named, "bots", true, "", 11),
           line(msg::verify_maps_left, "", false, "", 2)},
          0},
         true,
         6,
         "Jeu : maps/\\x1b.aas : echec : Fatal: aas\\x07\n"
         "Jeu : bots : echec : le serveur s'est arrêté sur le signal 11 (SIGSEGV)\n"
         "Jeu : 2 maps non essayées (limite 64)\n",
         "mapcrate: Le jeu refuse le paquet p.pk3 : maps/\\x1b.aas : echec : Fatal: aas\\x07\n"},
        {{verify_verdict::no_engine, {}, 0},
         false,
         7,
         "",
         "mapcrate: Aucun serveur du jeu (ioq3ded) n'est installé : le paquet Debian "
         "openarena-server en apporte un.\n"},
    };
    for (const auto &r : rows) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_EQ(tell_verify(r.run, "p.pk3", r.quiet), r.status);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), r.out);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), r.err);
    }
    std::setlocale(LC_ALL, "C");
}

} // namespace
