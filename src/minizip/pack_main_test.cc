// mapcrate-pack run as a build script runs it: arguments, standard input,
// exit status, and the archive read back by independent readers.
#include <gtest/gtest.h>
#include <sys/time.h>
#include <zlib.h>

#include <ctime>
#include <string>
#include <vector>

#include "../../tests/support.h"

namespace {

const char banner_end[] = "minizip.html\n\n";
const char usage[] =
    "Usage : minizip [-o] [-a] [-0 to -9] [-p password] file.zip [files_to_add]\n\n"
    "  -o  Overwrite existing file.zip\n"
    "  -a  Append to existing file.zip\n"
    "  -0  Store only\n"
    "  -1  Compress faster\n"
    "  -9  Compress better\n\n";
const char prompt[] = "The file old.zip exists. Overwrite ? [y]es, [n]o, [a]ppend : ";

run_result pack(std::vector<std::string> args, std::string_view input = {}) {
    args.insert(args.begin(), MAPCRATE_PACK);
    return run_program(args, input);
}

// What the packer printed after its banner.
std::string after_banner(const run_result &r) {
    size_t end = r.out.find(banner_end);
    return end == std::string::npos ? "no banner: " + r.out
                                    : r.out.substr(end + sizeof banner_end - 1);
}

std::vector<std::string> names(const zip_reading &z) {
    std::vector<std::string> n;
    for (const zip_entry &e : z.entries)
        n.push_back(e.name);
    return n;
}

std::string mixed_data(size_t size) {
    std::string s;
    uint32_t x = 12345;
    while (s.size() < size) {
        x = x * 1103515245 + 12345;
        if ((s.size() / 4096) % 2)
            s += "brush lump ";
        else
            s += static_cast<char>(x >> 24);
    }
    s.resize(size);
    return s;
}

void set_mtime(const std::string &path, time_t t) {
    timeval tv[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimes(path.c_str(), tv), 0);
}

TEST(Pack, NoArchiveNameOnlyPrintsUsage) {
    temp_dir tmp;
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{}, {"-o", "-9"}, {"-p"}, {"-o", "-p", "pw"}}) {
        run_result r = pack(args);
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(after_banner(r), usage);
        EXPECT_TRUE(list_dir(".").empty());
    }
}

TEST(Pack, EntriesReadBackIdentical) {
    temp_dir tmp;
    ASSERT_EQ(system("mkdir maps textures"), 0);
    std::vector<std::pair<std::string, std::string>> files = {
        {"textures/wall.jpg", mixed_data(5000)},
        {"maps/m1.bsp", mixed_data(200000)}, // many write buffers
        {"empty", ""},
        {"mapcrate", "credits\r\n"},
    };
    time_t mtime = 1700000001; // odd second: stored one second earlier
    std::vector<std::string> args = {"-o", "-9", "m1.pk3"};
    for (auto &f : files) {
        write_file(f.first, f.second);
        set_mtime(f.first, mtime);
        args.push_back(f.first);
    }
    run_result r = pack(args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(after_banner(r), "creating m1.pk3\n");
    EXPECT_TRUE(unzip_test_passes("m1.pk3"));
    zip_reading z = read_zip_with_python("m1.pk3");
    ASSERT_TRUE(z.ok) << z.problem;
    ASSERT_EQ(z.entries.size(), files.size());
    struct tm local;
    localtime_r(&mtime, &local);
    for (size_t i = 0; i < files.size(); ++i) {
        const zip_entry &e = z.entries[i];
        const std::string &data = files[i].second;
        EXPECT_EQ(e.name, files[i].first);
        EXPECT_EQ(e.method, 8);
        EXPECT_EQ(e.data, data);
        EXPECT_EQ(e.crc, crc32(0, reinterpret_cast<const Bytef *>(data.data()), uInt(data.size())));
        int expected[6] = {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                           local.tm_hour,        local.tm_min,     local.tm_sec / 2 * 2};
        for (int k = 0; k < 6; ++k)
            EXPECT_EQ(e.date_time[k], expected[k]) << e.name << " field " << k;
    }
}

TEST(Pack, LevelOptionChoosesMethod) {
    temp_dir tmp;
    write_file("f", mixed_data(30000));
    struct row {
        std::vector<std::string> options;
        int method;
    } rows[] = {
        {{"-o", "-0"}, 0}, {{"-o"}, 8}, {{"-o9"}, 8}, {{"-0", "-o", "-5"}, 8}, {{"-9o0"}, 0}};
    for (const row &r : rows) {
        std::vector<std::string> args = r.options;
        args.push_back("a.zip");
        args.push_back("f");
        ASSERT_EQ(pack(args).status, 0);
        zip_reading z = read_zip_with_python("a.zip");
        ASSERT_TRUE(z.ok) << z.problem;
        ASSERT_EQ(z.entries.size(), 1u);
        EXPECT_EQ(z.entries[0].method, r.method) << r.options[0];
        EXPECT_EQ(z.entries[0].data, read_file("f"));
    }
}

TEST(Pack, ArchiveNameRules) {
    temp_dir tmp;
    write_file("f", "data");
    ASSERT_EQ(system("mkdir dir.old"), 0);
    // Nested folders give names longer than 255 bytes that can still exist.
    std::string deep;
    for (int i = 0; i < 25; ++i)
        deep += "abcdefghi/";
    ASSERT_EQ(system(("mkdir -p " + deep).c_str()), 0);
    struct row {
        std::string arg, file;
    } rows[] = {
        {"pack", "pack.zip"},
        {"pack.pk3", "pack.pk3"},
        {"dir.old/pack", "dir.old/pack"},
        {deep + "packname.x" + std::string(50, 'y'), deep + "packn.zip"},
        {deep + "p.ckname" + std::string(50, 'y'), deep + "p.ckn"},
    };
    for (const row &r : rows) {
        run_result res = pack({"-o", r.arg, "f"});
        EXPECT_EQ(res.status, 0) << r.arg;
        EXPECT_EQ(after_banner(res), "creating " + r.file + "\n");
        zip_reading z = read_zip_with_python(r.file);
        ASSERT_TRUE(z.ok) << r.file << z.problem;
        EXPECT_EQ(names(z), std::vector<std::string>{"f"});
    }
}

TEST(Pack, OptionsAfterNameAreSkippedOnlyWhenShort) {
    temp_dir tmp;
    write_file("a", "1");
    write_file("-x", "2");
    write_file("-o9", "3");
    run_result r = pack({"-o", "s.zip", "a", "-o", "/9", "-5", "-x", "-o9", "/x", "a"});
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(after_banner(r), "creating s.zip\nerror in opening /x for reading\n");
    zip_reading z = read_zip_with_python("s.zip");
    ASSERT_TRUE(z.ok) << z.problem;
    EXPECT_EQ(names(z), (std::vector<std::string>{"a", "-x", "-o9", "/x"}));
    EXPECT_EQ(z.entries[3].size, 0u);
}

TEST(Pack, OverwriteAndAppendOptions) {
    temp_dir tmp;
    write_file("a", "first");
    write_file("b", "second");
    ASSERT_EQ(pack({"-o", "x.zip", "a"}).status, 0);
    ASSERT_EQ(pack({"-o", "x.zip", "b"}).status, 0);
    EXPECT_EQ(names(read_zip_with_python("x.zip")), std::vector<std::string>{"b"});
    ASSERT_EQ(pack({"-a", "x.zip", "a"}).status, 0);
    zip_reading z = read_zip_with_python("x.zip");
    ASSERT_TRUE(z.ok) << z.problem;
    EXPECT_EQ(names(z), (std::vector<std::string>{"b", "a"}));
    EXPECT_TRUE(unzip_test_passes("x.zip"));
    // Append with nothing to append to creates the archive.
    run_result r = pack({"-a", "new.zip", "a"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(after_banner(r), "creating new.zip\n");
    EXPECT_EQ(names(read_zip_with_python("new.zip")), std::vector<std::string>{"a"});
}

TEST(Pack, AskPromptAnsweredOnStandardInput) {
    struct row {
        const char *input;
        int status;
        int prompts;
        std::vector<std::string> entries; // empty: archive unchanged
        bool usage;
    } rows[] = {
        {"x\ny\n", 0, 2, {"new"}, false},
        {"yes\n", 0, 1, {"new"}, false},
        {"  Y", 0, 1, {"new"}, false},
        {"n\n", 0, 1, {}, true},
        {"A\n", 0, 1, {"old", "new"}, false},
        {"a", 0, 1, {"old", "new"}, false},
        {"", 1, 1, {}, false},
        {"q\nz\n", 1, 3, {}, false},
    };
    for (const row &r : rows) {
        temp_dir tmp;
        write_file("old", "o");
        write_file("new", "n");
        ASSERT_EQ(pack({"-o", "old.zip", "old"}).status, 0);
        std::string before = read_file("old.zip");
        run_result res = pack({"old.zip", "new"}, r.input);
        EXPECT_EQ(res.status, r.status) << r.input;
        std::string expected;
        for (int i = 0; i < r.prompts; ++i)
            expected += prompt;
        if (r.usage)
            expected += usage;
        else if (r.status == 0)
            expected += "creating old.zip\n";
        EXPECT_EQ(after_banner(res), expected) << r.input;
        if (r.entries.empty()) {
            EXPECT_EQ(read_file("old.zip"), before) << r.input;
        } else {
            zip_reading z = read_zip_with_python("old.zip");
            ASSERT_TRUE(z.ok) << z.problem;
            EXPECT_EQ(names(z), r.entries) << r.input;
        }
        EXPECT_EQ(list_dir("."), (std::vector<std::string>{"new", "old", "old.zip"}));
    }
}

TEST(Pack, NoPromptWithoutExistingArchive) {
    temp_dir tmp;
    write_file("f", "x");
    run_result r = pack({"fresh.zip", "f"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(after_banner(r), "creating fresh.zip\n");
}

TEST(Pack, FailureRows) {
    temp_dir tmp;
    write_file("a", "1");
    write_file("c", "3");
    write_file("notzip.zip", "this is no archive");
    ASSERT_EQ(system("mkdir folder dir.zip"), 0);
    struct row {
        std::vector<std::string> args;
        std::string printed;
        std::string archive;
        std::vector<std::string> entries;
    } rows[] = {
        {{"-o", "nodir/x.zip", "a"},
         "error opening nodir/x.zip\nerror in closing nodir/x.zip\n",
         "",
         {}},
        {{"-a", "notzip.zip", "a"},
         "error opening notzip.zip\nerror in closing notzip.zip\n",
         "",
         {}},
        {{"-o", "dir.zip", "a"}, // a folder is no archive to replace
         "error opening dir.zip\nerror in closing dir.zip\n",
         "",
         {}},
        {{"-o", "m.zip", "a", "missing", "c"},
         "creating m.zip\nerror in opening missing for reading\n",
         "m.zip",
         {"a", "missing"}},
        {{"-o", "r.zip", "a", "folder", "c"},
         "creating r.zip\nerror in reading folder\n",
         "r.zip",
         {"a", "folder"}},
    };
    for (const row &r : rows) {
        run_result res = pack(r.args);
        EXPECT_LT(static_cast<signed char>(res.status), 0) << r.printed;
        EXPECT_EQ(after_banner(res), r.printed);
        if (!r.archive.empty()) {
            EXPECT_TRUE(unzip_test_passes(r.archive));
            zip_reading z = read_zip_with_python(r.archive);
            ASSERT_TRUE(z.ok) << z.problem;
            EXPECT_EQ(names(z), r.entries);
        }
    }
    EXPECT_EQ(read_file("notzip.zip"), "this is no archive");
    EXPECT_EQ(list_dir("."), (std::vector<std::string>{"a", "c", "dir.zip", "folder", "m.zip",
                                                       "notzip.zip", "r.zip"}));
}

// Each encrypted entry as Python's zipfile decrypts it: "name method size
// data-hex" lines, or the error it raised.
std::string decrypt_with_python(const std::string &archive, const std::string &password) {
    const char *script = "import sys, zipfile\n"
                         "z = zipfile.ZipFile(sys.argv[1])\n"
                         "for i in z.infolist():\n"
                         "    d = z.read(i, pwd=sys.argv[2].encode())\n"
                         "    print(i.filename, i.flag_bits & 1, i.compress_type, d.hex())\n";
    run_result r = run_program({"python3", "-c", script, archive, password});
    return r.out + r.err;
}

std::string hex(const std::string &s) {
    static const char digits[] = "0123456789abcdef";
    std::string h;
    for (unsigned char c : s) {
        h += digits[c >> 4];
        h += digits[c & 15];
    }
    return h;
}

TEST(Pack, PasswordEncryptsAfterCrcPass) {
    temp_dir tmp;
    std::string big = mixed_data(50000);
    write_file("f", "123456789");
    write_file("big", big);
    struct row {
        const char *level;
        int method;
    } rows[] = {{"-9", 8}, {"-0", 0}, {"-5", 8}};
    char big_crc[9];
    snprintf(big_crc, sizeof big_crc, "%lx",
             crc32(0, reinterpret_cast<const Bytef *>(big.data()), uInt(big.size())));
    for (const row &r : rows) {
        run_result res = pack({"-o", r.level, "-p", "secret", "e.zip", "f", "big", "missing"});
        EXPECT_NE(res.status, 0); // the missing file
        EXPECT_EQ(after_banner(res),
                  std::string("creating e.zip\nfile f crc cbf43926\nfile big crc ") + big_crc +
                      "\nfile missing crc 0\n"
                      "error in opening missing for reading\n");
        EXPECT_EQ(run_program({"unzip", "-P", "secret", "-t", "-q", "e.zip"}).status, 0) << r.level;
        EXPECT_EQ(run_program({"unzip", "-P", "secret", "-p", "e.zip", "big"}).out, big);
        EXPECT_NE(run_program({"unzip", "-P", "wrong", "-t", "-q", "e.zip"}).status, 0);
        std::string m = std::to_string(r.method);
        EXPECT_EQ(decrypt_with_python("e.zip", "secret"), "f 1 " + m + " " + hex("123456789") +
                                                              "\nbig 1 " + m + " " + hex(big) +
                                                              "\nmissing 1 " + m + " \n")
            << r.level;
    }
}

TEST(Pack, PasswordOptionLastSetsNoPassword) {
    temp_dir tmp;
    write_file("f", "123456789");
    run_result r = pack({"-o", "p.zip", "f", "-p"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(after_banner(r), "creating p.zip\n");
    zip_reading z = read_zip_with_python("p.zip");
    ASSERT_TRUE(z.ok) << z.problem;
    EXPECT_EQ(z.entries.at(0).data, "123456789");
}

} // namespace
