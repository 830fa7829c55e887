#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "../../tests/support.h"
#include "gui_test_form.h"
#include "mapcrate.h"

namespace {

const std::string not_written = "Le pk3 n'a pas été écrit.\nConsultez les messages affichés dans "
                                "le terminal pour en connaître la raison.";

class Valider : public testing::Test {
  protected:
    temp_dir work;
    form_record f;

    void SetUp() override {
        make_form(f);
        mkdir("src dir", 0755);
        mkdir("src dir/tex", 0755);
        write_file("src dir/level.bsp", std::string(100000, 'b') + "end");
        write_file("src dir/bot.aas", "AAS data");
        write_file("src dir/shot.jpg", "\xff\xd8 jpeg");
        write_file("src dir/tex/wall.tga", "wall");
    }
    void TearDown() override {
        destroy_form(f);
    }

    struct run {
        std::vector<seen_dialog> dialogs;
        std::string out;
    };

    // Presses Execute as the user does, answering every dialog with answer.
    run execute(int answer = GTK_RESPONSE_OK) {
        auto log = std::make_shared<dialog_log>();
        log->answer = answer;
        answer_dialogs(log);
        fflush(stdout);
        testing::internal::CaptureStdout();
        gtk_button_clicked(GTK_BUTTON(f.execute_button));
        run r;
        r.out = testing::internal::GetCapturedStdout();
        pump_events();
        disarm(*log);
        r.dialogs = log->seen;
        return r;
    }

    void fill(const char *bsp, const char *name, std::vector<int> modes) {
        const char *texts[6] = {"src dir/tex",      bsp,  "src dir/bot.aas",
                                "src dir/shot.jpg", name, "Ma carte"};
        fill_form(f, texts, modes);
    }
};

TEST_F(Valider, RefusedValidationCreatesNothing) {
    struct row {
        const char *what, *bsp, *name;
        std::vector<int> modes;
        int answer;
    };
    const row rows[] = {
        {"BSP empty", "", "mymap", {0}, GTK_RESPONSE_OK},
        {"map name empty", "src dir/level.bsp", "", {0}, GTK_RESPONSE_OK},
        {"BSP missing", "src dir/none.bsp", "mymap", {0}, GTK_RESPONSE_OK},
        {"no mode, answered No", "src dir/level.bsp", "mymap", {}, GTK_RESPONSE_NO},
    };
    for (const row &r : rows) {
        fill(r.bsp, r.name, r.modes);
        run e = execute(r.answer);
        EXPECT_EQ(e.dialogs.size(), 1u) << r.what;
        EXPECT_EQ(list_dir("."), std::vector<std::string>{"src dir"}) << r.what;
        EXPECT_TRUE(f.maps_staging_dir.empty()) << r.what;
        EXPECT_TRUE(f.pack_argv.empty()) << r.what;
        EXPECT_EQ(e.out, "") << r.what;
    }
}

TEST_F(Valider, ExecutePacksTheFormSilently) {
    fill("src dir/level.bsp", "mymap", {0, 2});
    run e = execute();
    EXPECT_TRUE(e.dialogs.empty()) << e.dialogs.size() << " dialog(s) after a good Execute";
    EXPECT_EQ(list_dir("."),
              (std::vector<std::string>{"levelshots", "mapcrate", "maps", "mymap.pk3", "scripts",
                                        "src dir", "textures"}));
    EXPECT_NE(e.out.find("Creation du dossier : maps/\n\n"), std::string::npos) << e.out;
    EXPECT_NE(e.out.find("creating mymap.pk3\n"), std::string::npos) << e.out;
    // The staging lines come before the packer's.
    EXPECT_LT(e.out.find("Creation du dossier"), e.out.find("creating mymap.pk3"));

    zip_reading z = read_zip_with_python("mymap.pk3");
    ASSERT_TRUE(z.ok) << z.problem;
    std::vector<std::string> names;
    for (const zip_entry &entry : z.entries) {
        names.push_back(entry.name);
        EXPECT_EQ(entry.method, 8) << entry.name;
        EXPECT_EQ(entry.data, read_file(entry.name)) << entry.name;
    }
    // Directory order inside maps/ is the listing's; the rest is fixed.
    ASSERT_EQ(names.size(), 6u);
    std::sort(names.begin() + 1, names.begin() + 3);
    EXPECT_EQ(names, (std::vector<std::string>{"textures/wall.tga", "maps/mymap.aas",
                                               "maps/mymap.bsp", "levelshots/mymap.jpg",
                                               "scripts/mymap.arena", "mapcrate"}));
    EXPECT_EQ(read_file("maps/mymap.bsp"), read_file("src dir/level.bsp"));
    EXPECT_TRUE(unzip_test_passes("mymap.pk3"));
}

TEST_F(Valider, APackageThatCannotBeWrittenIsReported) {
    // A folder of the archive's name: the staging works, the write cannot.
    mkdir("mymap.pk3", 0755);
    fill("src dir/level.bsp", "mymap", {1});
    run e = execute();
    ASSERT_EQ(e.dialogs.size(), 1u);
    EXPECT_EQ(e.dialogs[0].type, GTK_MESSAGE_ERROR);
    EXPECT_EQ(e.dialogs[0].text, not_written);
    EXPECT_TRUE(is_directory("mymap.pk3"));
    EXPECT_TRUE(path_exists("maps/mymap.bsp"));

    // Once the way is clear the same form packs without a word.
    rmdir("mymap.pk3");
    e = execute();
    EXPECT_TRUE(e.dialogs.empty());
    EXPECT_TRUE(read_zip_with_python("mymap.pk3").ok);
}

} // namespace
