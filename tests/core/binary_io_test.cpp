#include "core/binary_io.h"

#include "core/atomic_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <unistd.h>

namespace harlox {
namespace {

TEST(BinaryWriter, WritesLittleEndianFieldsByteByByte) {
    BinaryWriter w;
    w.u8(0xAB);
    w.i16(-2);
    w.u16(12345);
    w.i32(-123456789);
    w.u32(0xDEADBEEF);
    w.f64(1.0);
    const std::vector<std::uint8_t> expected = {0xAB, 0xFE, 0xFF, 0x39, 0x30, 0xEB, 0x32, 0xA4, 0xF8, 0xEF, 0xBE,
                                                0xAD, 0xDE, 0,    0,    0,    0,    0,    0,    0xF0, 0x3F};
    EXPECT_EQ(w.buffer(), expected);
    EXPECT_TRUE(w.ok());
}

TEST(BinaryWriter, TextBlockIsCutTerminatedAndZeroFilled) {
    BinaryWriter w;
    w.textBlock("abcdef", 4);
    w.textBlock("", 2);
    const std::vector<std::uint8_t> expected = {'a', 'b', 'c', 0, 0, 0};
    EXPECT_EQ(w.buffer(), expected);
}

TEST(BinaryWriter, CapacityTurnsIntoAShortWrite) {
    BinaryWriter w(5);
    EXPECT_TRUE(w.u32(1));
    EXPECT_FALSE(w.u16(2)); // only one of its bytes fits
    EXPECT_FALSE(w.ok());
    EXPECT_EQ(w.size(), 5u);
    EXPECT_FALSE(w.u8(3)); // stays failed
}

TEST(BinaryReader, RoundTripsEveryWidthIncludingSpecialDoubles) {
    BinaryWriter w;
    w.u8(7);
    w.i16(-32768);
    w.u16(65535);
    w.i32(std::numeric_limits<std::int32_t>::min());
    w.f64(-0.0);
    w.f64(std::numeric_limits<double>::infinity());
    w.f64(1e-310);
    BinaryReader r(w.buffer());
    std::uint8_t a;
    std::int16_t b;
    std::uint16_t c;
    std::int32_t d;
    double e, f, g;
    ASSERT_TRUE(r.u8(a) && r.i16(b) && r.u16(c) && r.i32(d) && r.f64(e) && r.f64(f) && r.f64(g));
    EXPECT_EQ(a, 7);
    EXPECT_EQ(b, -32768);
    EXPECT_EQ(c, 65535);
    EXPECT_EQ(d, std::numeric_limits<std::int32_t>::min());
    EXPECT_TRUE(std::signbit(e));
    EXPECT_TRUE(std::isinf(f));
    EXPECT_EQ(g, 1e-310);
    EXPECT_TRUE(r.atEnd());
}

TEST(BinaryReader, ShortReadFailsLeavesTargetAndStaysFailed) {
    const std::vector<std::uint8_t> bytes = {1, 2, 3};
    BinaryReader r(bytes);
    std::int32_t v = 42;
    EXPECT_FALSE(r.i32(v));
    EXPECT_EQ(v, 42);
    std::uint8_t b = 9;
    EXPECT_FALSE(r.u8(b)); // a failed reader never resumes mid-record
    EXPECT_EQ(b, 9);
    EXPECT_FALSE(r.ok());
}

TEST(BinaryReader, TextBlockIsAlwaysTerminated) {
    const std::vector<std::uint8_t> bytes = {'a', 'b', 'c', 'd', 'x', 0, 'y'};
    BinaryReader r(bytes);
    char buf[4];
    ASSERT_TRUE(r.textBlock(buf, 4));
    EXPECT_STREQ(buf, "abc");
    std::string s;
    ASSERT_TRUE(r.textBlock(s, 3));
    EXPECT_EQ(s, "x");
    EXPECT_FALSE(r.textBlock(s, 1));
}

TEST(ReadFileBytes, RefusesMissingAndOversizedFiles) {
    test::TempDir dir;
    std::vector<std::uint8_t> out;
    EXPECT_FALSE(readFileBytes(dir.file("missing"), out));
    test::writeAll(dir.file("f"), std::vector<std::uint8_t>(100, 1));
    EXPECT_FALSE(readFileBytes(dir.file("f"), out, 99));
    ASSERT_TRUE(readFileBytes(dir.file("f"), out, 100));
    EXPECT_EQ(out.size(), 100u);
}

TEST(AtomicFile, ReplacesTheTargetAndLeavesNoTemporary) {
    test::TempDir dir;
    const std::string path = dir.file("a.bin");
    test::writeAll(path, {1, 2, 3});
    const std::vector<std::uint8_t> next = {9, 8};
    ASSERT_TRUE(writeFileAtomic(path, next));
    EXPECT_EQ(test::readAll(path), next);
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(AtomicFile, FailureInAReadOnlyFolderKeepsTheOldFile) {
    if (::geteuid() == 0) GTEST_SKIP() << "root ignores folder permissions";
    test::TempDir dir;
    const std::string path = dir.file("a.bin");
    test::writeAll(path, {1, 2, 3});
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_FALSE(writeFileAtomic(path, std::vector<std::uint8_t>{4}));
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    EXPECT_EQ(test::readAll(path), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST(AtomicFile, FailureOnAFullDiskKeepsTheOldFile) {
    test::TempDir dir;
    const std::string path = dir.file("a.bin");
    test::writeAll(path, {1, 2, 3});
    {
        test::FileSizeLimit full(2); // every write past 2 bytes fails as on a full disk
        EXPECT_FALSE(writeFileAtomic(path, std::vector<std::uint8_t>(10, 7)));
    }
    EXPECT_EQ(test::readAll(path), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

TEST(AtomicFile, MissingFolderOrEmptyNameFails) {
    test::TempDir dir;
    EXPECT_FALSE(writeFileAtomic(dir.file("missing-folder/a.bin"), std::vector<std::uint8_t>{4}));
    EXPECT_FALSE(writeFileAtomic("", std::vector<std::uint8_t>{4}));
}

} // namespace
} // namespace harlox
