#include "app/app_config.h"

#include "core/program_dir.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace harlox {
namespace {

const WindowRect kRect{10, -20, 800, 600};
const std::vector<std::uint8_t> kFull = {
    0x0A, 0x00, 0x00, 0x00, // left 10
    0xEC, 0xFF, 0xFF, 0xFF, // top -20
    0x20, 0x03, 0x00, 0x00, // right 800
    0x58, 0x02, 0x00, 0x00, // bottom 600
    0x00,                   // notice off
};

// The placement needs all 16 bytes; the notice flag is 1 unless read, and any non-zero byte sets it.
TEST(AppConfigTest, SeventeenLittleEndianBytesAndEveryTruncation) {
    EXPECT_EQ(serializeAppConfig(kRect, false), kFull);
    std::vector<std::uint8_t> on = kFull;
    on[16] = 7;
    EXPECT_TRUE(parseAppConfig(on).showLoadDriverNotice);
    on[16] = 1;
    EXPECT_EQ(serializeAppConfig(kRect, true), on);
    for (std::size_t n = 0; n <= kFull.size(); ++n) {
        const AppConfig c = parseAppConfig(std::span(kFull.data(), n));
        EXPECT_EQ(c.placement, n >= 16 ? std::optional(kRect) : std::nullopt) << n;
        EXPECT_EQ(c.showLoadDriverNotice, n < 17) << n;
    }
    for (const WindowRect r : {WindowRect{100, 100, 100, 500}, WindowRect{0, 600, 800, 0},
                               WindowRect{INT32_MAX, 0, INT32_MIN, 10}})
        EXPECT_FALSE(parseAppConfig(serializeAppConfig(r, false)).placement) << r.left << "," << r.top;
}

// Bytes past the record are ignored; a missing file gives the defaults; a failed write says so.
TEST(AppConfigTest, FileInThePreferencesFolder) {
    test::TempDir dir;
    setPreferencesDirectory(dir.path());
    EXPECT_TRUE(writeAppConfig(WindowRect{5, 6, 105, 206}, false));
    AppConfig c = readAppConfig();
    setPreferencesDirectory("");
    EXPECT_EQ(test::readAll(dir.file("harlox.cfg")).size(), kAppConfigSize);
    EXPECT_EQ(c.placement, (WindowRect{5, 6, 105, 206}));
    EXPECT_FALSE(c.showLoadDriverNotice);

    std::vector<std::uint8_t> longer = kFull;
    longer.insert(longer.end(), 100, 0xFF);
    test::writeAll(dir.file("harlox.cfg"), longer);
    c = readAppConfig(dir.file("harlox.cfg"));
    EXPECT_EQ(c.placement, kRect);
    EXPECT_FALSE(c.showLoadDriverNotice);
    c = readAppConfig(dir.file("nothing.cfg"));
    EXPECT_FALSE(c.placement);
    EXPECT_TRUE(c.showLoadDriverNotice);
    EXPECT_FALSE(writeAppConfig(dir.file("missing/harlox.cfg"), WindowRect{0, 0, 10, 10}, true));
}

} // namespace
} // namespace harlox
