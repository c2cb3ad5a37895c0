#include "core/binary_io.h"

#include "core/atomic_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace harlox {
namespace {

TEST(BinaryIo, LittleEndianFieldsTerminatedTextBlocksAndStickyFailures) {
    BinaryWriter w;
    w.u8(0xAB);
    w.i16(-2);
    w.i32(-123456789);
    w.u32(0xDEADBEEF);
    w.f64(1.0);
    w.textBlock("abcdef", 4); // cut to 3 characters and terminated
    w.f64(-0.0);
    const std::vector<std::uint8_t> expected = {
        0xAB, 0xFE, 0xFF, 0xEB, 0x32, 0xA4, 0xF8, 0xEF, 0xBE, 0xAD, 0xDE, 0, 0, 0, 0,   0,
        0,    0xF0, 0x3F, 'a',  'b',  'c',  0,    0,    0,    0,    0,    0, 0, 0, 0x80};
    EXPECT_EQ(w.buffer(), expected);

    // Short reads and writes fail and stay failed.
    const std::vector<std::uint8_t> bytes = {'a', 'b', 'c', 'd', 'x', 0, 'y'};
    BinaryReader r(bytes);
    char buf[4];
    ASSERT_TRUE(r.textBlock(buf, 4));
    EXPECT_STREQ(buf, "abc"); // always terminated, even when the block is full
    std::int32_t v = 42;
    EXPECT_FALSE(r.i32(v));
    EXPECT_EQ(v, 42);
    std::uint8_t b = 9;
    EXPECT_FALSE(r.u8(b)); // a failed reader never resumes mid-record
    EXPECT_EQ(b, 9);

    BinaryWriter limited(5);
    EXPECT_TRUE(limited.u32(1));
    EXPECT_FALSE(limited.u16(2)); // only one of its bytes fits
    EXPECT_FALSE(limited.u8(3));
    EXPECT_FALSE(limited.ok());
}

TEST(BinaryIo, FilesAreSizeLimitedAndReplacedAtomically) {
    test::TempDir dir;
    std::vector<std::uint8_t> out;
    EXPECT_FALSE(readFileBytes(dir.file("missing"), out));
    test::writeAll(dir.file("f"), std::vector<std::uint8_t>(100, 1));
    EXPECT_FALSE(readFileBytes(dir.file("f"), out, 99));
    ASSERT_TRUE(readFileBytes(dir.file("f"), out, 100));
    EXPECT_EQ(out.size(), 100u);

    const std::string path = dir.file("a.bin");
    test::writeAll(path, {1, 2, 3});
    {
        test::FileSizeLimit full(2); // every write past 2 bytes fails as on a full disk
        EXPECT_FALSE(writeFileAtomic(path, std::vector<std::uint8_t>(10, 7)));
    }
    EXPECT_EQ(test::readAll(path), (std::vector<std::uint8_t>{1, 2, 3}));
    ASSERT_TRUE(writeFileAtomic(path, std::vector<std::uint8_t>{9, 8}));
    EXPECT_EQ(test::readAll(path), (std::vector<std::uint8_t>{9, 8}));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
    EXPECT_FALSE(writeFileAtomic(dir.file("missing-folder/a.bin"), std::vector<std::uint8_t>{4}));
}

} // namespace
} // namespace harlox