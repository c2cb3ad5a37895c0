#include "app/app_config.h"

#include "core/program_dir.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace harlox {
namespace {

const std::vector<std::uint8_t> kFull = {
    0x0A, 0x00, 0x00, 0x00, // left 10
    0xEC, 0xFF, 0xFF, 0xFF, // top -20
    0x20, 0x03, 0x00, 0x00, // right 800
    0x58, 0x02, 0x00, 0x00, // bottom 600
    0x00,                   // notice off
};

TEST(AppConfigTest, LayoutIsSeventeenLittleEndianBytes) {
    EXPECT_EQ(serializeAppConfig(WindowRect{10, -20, 800, 600}, false), kFull);
    std::vector<std::uint8_t> on = kFull;
    on[16] = 1;
    EXPECT_EQ(serializeAppConfig(WindowRect{10, -20, 800, 600}, true), on);
}

// Every truncation length: the placement needs all 16 bytes, the flag is 1 unless read.
class AppConfigTruncated : public ::testing::TestWithParam<std::size_t> {};

TEST_P(AppConfigTruncated, ShortFilesFallBack) {
    const std::size_t n = GetParam();
    const std::vector<std::uint8_t> bytes(kFull.begin(), kFull.begin() + static_cast<std::ptrdiff_t>(n));
    const AppConfig c = parseAppConfig(bytes);
    EXPECT_EQ(c.placement.has_value(), n >= 16);
    if (c.placement) {
        EXPECT_EQ(*c.placement, (WindowRect{10, -20, 800, 600}));
    }
    EXPECT_EQ(c.showLoadDriverNotice, n < 17);
}

INSTANTIATE_TEST_SUITE_P(AllLengths, AppConfigTruncated, ::testing::Range<std::size_t>(0, 18));

TEST(AppConfigTest, NonZeroFlagByteShowsNotice) {
    std::vector<std::uint8_t> bytes = kFull;
    bytes[16] = 7;
    EXPECT_TRUE(parseAppConfig(bytes).showLoadDriverNotice);
}

TEST(AppConfigTest, EmptyOrInvertedRectangleIsNotRestored) {
    for (const WindowRect r : {WindowRect{100, 100, 100, 500}, WindowRect{100, 100, 50, 500},
                               WindowRect{0, 600, 800, 0}, WindowRect{INT32_MAX, 0, INT32_MIN, 10}}) {
        const AppConfig c = parseAppConfig(serializeAppConfig(r, false));
        EXPECT_FALSE(c.placement.has_value()) << r.left << "," << r.top << "," << r.right << "," << r.bottom;
        EXPECT_FALSE(c.showLoadDriverNotice);
    }
}

TEST(AppConfigTest, FileRoundTripAndExtraBytes) {
    test::TempDir dir;
    const std::string path = dir.file("harlox.cfg");
    EXPECT_TRUE(writeAppConfig(path, WindowRect{1, 2, 301, 402}, false));
    EXPECT_EQ(test::readAll(path).size(), kAppConfigSize);
    AppConfig c = readAppConfig(path);
    ASSERT_TRUE(c.placement);
    EXPECT_EQ(*c.placement, (WindowRect{1, 2, 301, 402}));
    EXPECT_FALSE(c.showLoadDriverNotice);

    std::vector<std::uint8_t> longer = kFull;
    longer.insert(longer.end(), 100, 0xFF);
    test::writeAll(path, longer);
    c = readAppConfig(path);
    ASSERT_TRUE(c.placement);
    EXPECT_EQ(c.placement->right, 800);
    EXPECT_FALSE(c.showLoadDriverNotice);
}

TEST(AppConfigTest, MissingFileGivesDefaults) {
    test::TempDir dir;
    const AppConfig c = readAppConfig(dir.file("nothing.cfg"));
    EXPECT_FALSE(c.placement);
    EXPECT_TRUE(c.showLoadDriverNotice);
}

TEST(AppConfigTest, ExactlySixteenBytesOnDisk) {
    test::TempDir dir;
    const std::string path = dir.file("harlox.cfg");
    test::writeAll(path, std::vector<std::uint8_t>(kFull.begin(), kFull.begin() + 16));
    const AppConfig c = readAppConfig(path);
    EXPECT_TRUE(c.placement);
    EXPECT_TRUE(c.showLoadDriverNotice);
}

TEST(AppConfigTest, WriteFailureIsReported) {
    test::TempDir dir;
    EXPECT_FALSE(writeAppConfig(dir.file("missing/harlox.cfg"), WindowRect{0, 0, 10, 10}, true));
}

TEST(AppConfigTest, LivesInThePreferencesFolder) {
    test::TempDir dir;
    setPreferencesDirectory(dir.path());
    EXPECT_EQ(appConfigPath(), dir.path() + "/harlox.cfg");
    EXPECT_TRUE(writeAppConfig(WindowRect{5, 6, 105, 206}, true));
    const AppConfig c = readAppConfig();
    setPreferencesDirectory("");
    ASSERT_TRUE(c.placement);
    EXPECT_EQ(c.placement->bottom, 206);
    EXPECT_TRUE(c.showLoadDriverNotice);
}

} // namespace
} // namespace harlox
