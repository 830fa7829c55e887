// mapcrate-pack run as a build script runs it: arguments, standard input,
// exit status, and the archive read back by independent readers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "../../tests/support.h"

namespace {

using strings = std::vector<std::string>;

const std::string usage =
    "Usage : minizip [-o] [-a] [-0 to -9] [-p password] file.zip [files_to_add]\n\n"
    "  -o  Overwrite existing file.zip\n"
    "  -a  Append to existing file.zip\n"
    "  -0  Store only\n"
    "  -1  Compress faster\n"
    "  -9  Compress better\n\n";
const std::string ask = "The file x.zip exists. Overwrite ? [y]es, [n]o, [a]ppend : ";

run_result pack(strings args, std::string_view input = {}) {
    args.insert(args.begin(), MAPCRATE_PACK);
    return run_program(args, input);
}

// What the packer printed after its banner: two lines, the first naming
// the library's version, then an empty line.
std::string after_banner(const run_result &r) {
    size_t end = r.out.find("\n\n");
    if (end == std::string::npos || r.out.find("1.01b") > end ||
        std::count(r.out.begin(), r.out.begin() + long(end), '\n') != 1)
        return "no banner: " + r.out;
    return r.out.substr(end + 2);
}

uLong crc_of(const std::string &s) {
    return crc32(0, reinterpret_cast<const Bytef *>(s.data()), uInt(s.size()));
}

// Noise and text in alternate 4 KiB runs, like a level file.
std::string mixed_data(size_t size) {
    std::string s;
    for (uint32_t x = 1; s.size() < size; x = x * 1103515245 + 12345)
        s += (s.size() / 4096) % 2 ? std::string("brush lump ") : std::string(1, char(x >> 24));
    return s.substr(0, size);
}

// The MS-DOS time the entry of this name should carry: the file's local
// mtime to 2 s (1980 at the earliest), or the library's date word 0x0020
// when there is no file.
std::vector<int> dos_time_of(const std::string &path) {
    struct stat st;
    struct tm t;
    if (stat(path.c_str(), &st) != 0 || !localtime_r(&st.st_mtime, &t))
        return {1980, 1, 0, 0, 0, 0};
    if (t.tm_year < 80) // clamped, not wrapped
        return {1980, 1, 1, 0, 0, 0};
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec / 2 * 2};
}

// Each encrypted entry as Python's zipfile decrypts it: "name encrypted
// method same-bytes-as-the-file" lines, or the error it raised.
std::string decrypt_with_python(const std::string &archive, const std::string &password) {
    const char *script = "import os, sys, zipfile\n"
                         "for i in zipfile.ZipFile(sys.argv[1]).infolist():\n"
                         "    d = zipfile.ZipFile(sys.argv[1]).read(i, pwd=sys.argv[2].encode())\n"
                         "    n = i.filename\n"
                         "    f = open(n, 'rb').read() if os.path.isfile(n) else b''\n"
                         "    print(n, i.flag_bits & 1, i.compress_type, d == f)\n";
    run_result r = run_program({"python3", "-c", script, archive, password});
    return r.out + r.err;
}

// Reads the archive back with unzip -t and Python's zipfile.  Each entry
// must hold the bytes of the file of its name (none for a file that is
// missing or unreadable) under their CRC, and its time; method -1 is not
// checked.
void read_back(const std::string &archive, const strings &names, int method,
               const std::string &password) {
    if (!password.empty()) {
        EXPECT_EQ(run_program({"unzip", "-P", password, "-t", "-q", archive}).status, 0);
        EXPECT_NE(run_program({"unzip", "-P", "wrong", "-t", "-q", archive}).status, 0);
        std::string want;
        for (const std::string &n : names)
            want += n + " 1 " + std::to_string(method) + " True\n";
        EXPECT_EQ(decrypt_with_python(archive, password), want);
        return;
    }
    EXPECT_TRUE(unzip_test_passes(archive)) << archive;
    zip_reading z = read_zip_with_python(archive);
    EXPECT_TRUE(z.ok) << archive << ": " << z.problem;
    strings got;
    for (const zip_entry &e : z.entries) {
        got.push_back(e.name);
        std::string want = is_directory(e.name) ? "" : read_file(e.name);
        EXPECT_EQ(e.data, want) << e.name;
        EXPECT_EQ(e.crc, crc_of(want)) << e.name;
        EXPECT_EQ(std::vector<int>(e.date_time, e.date_time + 6), dos_time_of(e.name)) << e.name;
        if (method >= 0) {
            EXPECT_EQ(e.method, method) << e.name;
        }
    }
    EXPECT_EQ(got, names) << archive;
}

// Rows run in order in one folder, so later rows meet the archives of
// earlier ones.  The archive read back is the one "creating" names; without
// it every file stays as it was.  A row fails when it prints an error, and
// ends with status 1 when its last question found no answer.
TEST(Pack, ArgumentRows) {
    temp_dir tmp;
    ASSERT_EQ(system("mkdir maps textures folder dir.zip dir.old"), 0);
    for (const char *f : {"a", "b", "-x", "-o9", "mapcrate", "textures/wall.jpg"})
        write_file(f, std::string("data of ") + f + "\r\n");
    write_file("f", "123456789");
    write_file("big", mixed_data(30000));
    char crc_text[9];
    snprintf(crc_text, sizeof crc_text, "%lx", crc_of(read_file("big")));
    std::string big_crc = crc_text;
    write_file("maps/m1.bsp", mixed_data(200000)); // many write buffers
    write_file("empty", "");
    write_file("notzip.zip", "this is no archive");
    // An odd second: the entry holds the one before.
    ASSERT_EQ(system("touch -d @1700000001 a b big maps/m1.bsp textures/wall.jpg mapcrate && "
                     "touch -d @86400 empty"),
              0);
    std::string deep, y50(50, 'y'); // names over 255 bytes that can still exist
    for (int i = 0; i < 25; ++i)
        deep += "abcdefghi/";
    ASSERT_EQ(system(("mkdir -p " + deep).c_str()), 0);
    struct row {
        strings args;
        std::string printed;
        strings entries = {};
        std::string input = "";
        int method = -1;
    } rows[] = {
        {{}, usage},
        {{"-o", "-9"}, usage},
        {{"-p"}, usage},
        {{"-o", "-p", "pw"}, usage},
        {{"-o", "-9", "m1.pk3", "textures/wall.jpg", "maps/m1.bsp", "empty", "mapcrate"},
         "creating m1.pk3\n",
         {"textures/wall.jpg", "maps/m1.bsp", "empty", "mapcrate"},
         "",
         8},
        {{"-o", "a.zip", "big"}, "creating a.zip\n", {"big"}, "", 8},
        {{"-o", "-0", "a.zip", "big"}, "creating a.zip\n", {"big"}, "", 0},
        {{"-0", "-o", "-5", "a.zip", "big"}, "creating a.zip\n", {"big"}, "", 8},
        {{"-9o0", "a.zip", "big"}, "creating a.zip\n", {"big"}, "", 0},
        {{"-o", "pack", "a"}, "creating pack.zip\n", {"a"}},
        {{"-o", "pack.pk3", "a"}, "creating pack.pk3\n", {"a"}},
        {{"-o", "dir.old/pack", "a"}, "creating dir.old/pack\n", {"a"}},
        {{"-o", deep + "packname.x" + y50, "a"}, "creating " + deep + "packn.zip\n", {"a"}},
        {{"-o", deep + "p.ckname" + y50, "a"}, "creating " + deep + "p.ckn\n", {"a"}},
        {{"-a", "x.zip", "a"}, "creating x.zip\n", {"a"}}, // nothing to append to
        {{"-o", "x.zip", "b"}, "creating x.zip\n", {"b"}},
        {{"-a", "x.zip", "a"}, "creating x.zip\n", {"b", "a"}},
        {{"x.zip", "b"}, ask + ask + "creating x.zip\n", {"b"}, "x\ny\n"},
        {{"x.zip", "a"}, ask + "creating x.zip\n", {"a"}, "yes\n"},
        {{"x.zip", "b"}, ask + "creating x.zip\n", {"b"}, "  Y"},
        {{"x.zip", "a"}, ask + "creating x.zip\n", {"b", "a"}, "A\n"},
        {{"x.zip", "big"}, ask + "creating x.zip\n", {"b", "a", "big"}, "a"},
        {{"x.zip", "a"}, ask + usage, {}, "n\n"},
        {{"x.zip", "a"}, ask + usage, {}, "N"},
        {{"x.zip", "a"}, ask, {}, ""},
        {{"x.zip", "a"}, ask + ask + ask, {}, "q\nz\n"},
        {{"fresh.zip", "a"}, "creating fresh.zip\n", {"a"}},     // no question
        {{"-o", "p.zip", "a", "-p"}, "creating p.zip\n", {"a"}}, // no password
        {{"-o", "s.zip", "a", "-o", "/9", "-5", "-x", "-o9", "/x", "a"},
         "creating s.zip\nerror in opening /x for reading\n",
         {"a", "-x", "-o9", "/x"}},
        {{"-o", "nodir/x.zip", "a"}, "error opening nodir/x.zip\nerror in closing nodir/x.zip\n"},
        {{"-a", "notzip.zip", "a"}, "error opening notzip.zip\nerror in closing notzip.zip\n"},
        // A folder is no archive to replace.
        {{"-o", "dir.zip", "a"}, "error opening dir.zip\nerror in closing dir.zip\n"},
        {{"-o", "m.zip", "a", "missing", "b"},
         "creating m.zip\nerror in opening missing for reading\n",
         {"a", "missing"}},
        // The CRC pass reads in many buffers; a file that does not open or
        // read has CRC 0, and its entry ends the adding.
        {{"-o", "-9", "-p", "secret", "e.zip", "f", "big", "empty", "missing", "a"},
         "creating e.zip\nfile f crc cbf43926\nfile big crc " + big_crc +
             "\nfile empty crc 0\nfile missing crc 0\nerror in opening missing for reading\n",
         {"f", "big", "empty", "missing"},
         "",
         8},
        {{"-o", "-0", "-p", "secret", "e.zip", "f", "big", "folder", "a"},
         "creating e.zip\nfile f crc cbf43926\nfile big crc " + big_crc +
             "\nerror in reading folder\nfile folder crc 0\nerror in reading folder\n",
         {"f", "big", "folder"},
         "",
         0},
        {{"-o", "r.zip", "a", "folder", "b"},
         "creating r.zip\nerror in reading folder\n",
         {"a", "folder"}},
    };
    // Entry times are local: a zone that is not UTC tells the two apart.
    const char *tz = getenv("TZ");
    std::string old_tz = tz ? tz : "";
    setenv("TZ", "EST5", 1);
    tzset();
    for (const row &r : rows) {
        SCOPED_TRACE(testing::PrintToString(r.args) + " answering " + r.input);
        strings names = list_dir("."), contents;
        for (const std::string &n : names)
            contents.push_back(read_file(n));
        run_result res = pack(r.args, r.input);
        if (r.printed.find("error") != std::string::npos)
            EXPECT_LT(static_cast<signed char>(res.status), 0);
        else
            EXPECT_EQ(res.status, int(r.printed.size() >= ask.size() &&
                                      r.printed.substr(r.printed.size() - ask.size()) == ask));
        EXPECT_EQ(after_banner(res), r.printed);
        size_t at = r.printed.find("creating ");
        std::string archive;
        if (at != std::string::npos) {
            archive = r.printed.substr(at + 9, r.printed.find('\n', at) - at - 9);
            auto p = std::find(r.args.begin(), r.args.end(), "-p");
            read_back(archive, r.entries, r.method, p < r.args.end() - 1 ? p[1] : "");
        }
        // Nothing else appears or changes: no temporary file stays.
        std::set<std::string> want(names.begin(), names.end());
        if (!archive.empty() && archive.find('/') == std::string::npos)
            want.insert(archive);
        EXPECT_EQ(list_dir("."), strings(want.begin(), want.end()));
        for (size_t i = 0; i < names.size(); ++i)
            EXPECT_TRUE(names[i] == archive || read_file(names[i]) == contents[i]) << names[i];
    }
    tz ? setenv("TZ", old_tz.c_str(), 1) : unsetenv("TZ");
    tzset();
}

} // namespace
