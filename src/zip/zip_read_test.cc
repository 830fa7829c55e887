// A package whose directory claims sizes its bytes cannot hold: refused
// before any buffer is sized from the claim (a 338-byte package claiming
// 2 GB entries once cost 5 GB).
#include "zip/zip_read.h"

#include <gtest/gtest.h>

#include "support.h"

TEST(ZipRead, SizesTheFileCannotHoldAreRefusedBeforeAnyBuffer) {
    for (size_t field : {20, 24}) { // the packed, then the unpacked size in its directory record
        SCOPED_TRACE(field);
        temp_dir work;
        write_zip("p.pk3", {"maps/m.bsp", std::string(100, 'x')});
        std::string bytes = read_file("p.pk3"), out;
        write_file("p.pk3", bytes.replace(bytes.find("PK\1\2") + field, 4, le32(0x7fffffff)));
        package_listing zip = list_package("p.pk3", true);
        ASSERT_TRUE(read_whole(zip));
        EXPECT_FALSE(read_package_entry("p.pk3", zip.entries.at(0), 1u << 31, out));
        EXPECT_FALSE(
            stream_package_entry("p.pk3", zip.entries[0], [](std::string_view) { return 1; }));
        EXPECT_LT(out.capacity(), 1u << 20);
    }
}
