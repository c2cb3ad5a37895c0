#include "cli/unit_command.h"

#include "driver/spk_data.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace harlox::cli {
namespace {

TEST(UnitCommand, DefaultThenShowPrintsTheDataSheetAndFigures) {
    test::TempDir dir;
    std::ostringstream out, err;
    ASSERT_EQ(writeDefaultUnit(dir.file("x.unt"), out, err), 0);
    EXPECT_EQ(test::readAll(dir.file("x.unt")).size(), 381u);
    out.str("");
    ASSERT_EQ(showUnit(dir.file("x.unt"), out, err), 0);
    const std::string text = out.str();
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_EQ(text.rfind("Manufacturer:\tPEERLESS\nModel:\t\t180 WR/832732\nFilename:\tx.unt\n", 0), 0u);
    EXPECT_NE(text.find("\nl:\t\t17.00 mm\n\nEfficiency:\t0.34 %\nSensitivity:\t87.3 dB/1W/1m\n"), std::string::npos);
    EXPECT_TRUE(err.str().empty());
}

TEST(UnitCommand, ZeroQesShowsDashes) {
    TSpkData unit;
    unit.SetDefault();
    unit.Qes = 0;
    const std::string text = unitReport(unit);
    EXPECT_NE(text.find("Efficiency:\t-- %\nSensitivity:\t-- dB/1W/1m\n"), std::string::npos);
}

TEST(UnitCommand, RefusedFilesNameTheFileAndFail) {
    test::TempDir dir;
    test::writeAll(dir.file("bad.unt"), {0x64, 0x00, 1, 2});
    std::ostringstream out, err;
    EXPECT_NE(showUnit(dir.file("bad.unt"), out, err), 0);
    EXPECT_NE(err.str().find("bad.unt"), std::string::npos);
    EXPECT_NE(showUnit(dir.file("missing.unt"), out, err), 0);
    EXPECT_NE(err.str().find("missing.unt"), std::string::npos);
    EXPECT_NE(writeDefaultUnit(dir.file("no/such/folder.unt"), out, err), 0);
    EXPECT_TRUE(out.str().empty());
}

} // namespace
} // namespace harlox::cli
