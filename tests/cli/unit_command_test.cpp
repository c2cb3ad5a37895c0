#include "cli/unit_command.h"

#include "driver/spk_data.h"
#include "temp_dir.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <numbers>
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
    EXPECT_NE(text.find("\nl:\t\t17.00 mm\n\nEfficiency:\t0.34 %\nSensitivity:\t87.3 dB/1W/1m\n"),
              std::string::npos);
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

// fs, Qts, Qes, Vas, Re and Sd, as a data sheet gives them.
TSpkData sheetMinimum() {
    TSpkData unit;
    unit.setManufacturer("PEERLESS");
    unit.fs = 34.0;
    unit.Qts = 0.3;
    unit.Qes = 0.37;
    unit.Vas = 0.0329;
    unit.Re = 6.1;
    unit.Sd = 0.013;
    unit.updateDerived();
    return unit;
}

TEST(UnitCommand, CompleteFillsTheEmptyFieldsAndSaysWhatIsStillMissing) {
    test::TempDir dir;
    TSpkData in = sheetMinimum();
    ASSERT_TRUE(in.Save(dir.file("in.unt")));
    std::ostringstream out, err;
    ASSERT_EQ(completeUnit(dir.file("in.unt"), dir.file("out.unt"), out, err), 0);
    EXPECT_TRUE(err.str().empty());
    EXPECT_EQ(out.str(), "wrote " + dir.file("out.unt") +
                             "\nfilled: Mmd Mms Cms Cas Bl\n"
                             "too few parameters for a simulation; still missing: Qms Rms\n");

    TSpkData back;
    ASSERT_TRUE(back.Load(dir.file("out.unt")));
    const double cms = 0.0329 / (140000.0 * 0.013 * 0.013);
    const double mms = 1.0 / (std::pow(2.0 * std::numbers::pi * 34.0, 2) * cms);
    EXPECT_NEAR(back.Cms / cms, 1.0, 1e-9);
    EXPECT_NEAR(back.Mms / mms, 1.0, 1e-9);
    EXPECT_NEAR(back.Bl / std::sqrt(2.0 * std::numbers::pi * 34.0 * mms * 6.1 / 0.37), 1.0, 1e-9);
    EXPECT_EQ(back.Qts, 0.3);
    EXPECT_EQ(back.manufacturerText(), "PEERLESS");
    EXPECT_EQ(back.fileNameText(), "out.unt");
    // The input is untouched.
    TSpkData again;
    ASSERT_TRUE(again.Load(dir.file("in.unt")));
    EXPECT_EQ(again.toBytes(), in.toBytes());
}

TEST(UnitCommand, CompleteCanRewriteItsInputAndReportsACompleteUnit) {
    test::TempDir dir;
    TSpkData in = sheetMinimum();
    in.Qms = 1.68;
    ASSERT_TRUE(in.Save(dir.file("u.unt")));
    std::ostringstream out, err;
    ASSERT_EQ(completeUnit(dir.file("u.unt"), dir.file("u.unt"), out, err), 0);
    EXPECT_EQ(out.str(), "wrote " + dir.file("u.unt") + "\nfilled: Rms Mmd Mms Cms Cas Bl\n");
    TSpkData back;
    ASSERT_TRUE(back.Load(dir.file("u.unt")));
    EXPECT_TRUE(back.isSufficient());

    out.str("");
    ASSERT_EQ(completeUnit(dir.file("u.unt"), dir.file("u.unt"), out, err), 0);
    EXPECT_NE(out.str().find("filled: nothing\n"), std::string::npos);
}

TEST(UnitCommand, CompleteRefusesUnreadableInputAndUnwritableOutput) {
    test::TempDir dir;
    TSpkData good = sheetMinimum();
    ASSERT_TRUE(good.Save(dir.file("good.unt")));
    auto bytes = test::readAll(dir.file("good.unt"));
    bytes.back() = 0; // end marker broken
    test::writeAll(dir.file("broken.unt"), bytes);

    for (const char* name : {"missing.unt", "broken.unt"}) {
        std::ostringstream out, err;
        EXPECT_NE(completeUnit(dir.file(name), dir.file("out.unt"), out, err), 0) << name;
        EXPECT_NE(err.str().find(dir.file(name)), std::string::npos) << err.str();
        EXPECT_TRUE(out.str().empty());
        EXPECT_FALSE(std::filesystem::exists(dir.file("out.unt")));
    }
    std::ostringstream out, err;
    EXPECT_NE(completeUnit(dir.file("good.unt"), dir.file("no/folder/out.unt"), out, err), 0);
    EXPECT_NE(err.str().find("no/folder/out.unt"), std::string::npos);
}

TEST(UnitCommand, CompleteIsReachedThroughTheCommandLine) {
    test::TempDir dir;
    TSpkData in = sheetMinimum();
    ASSERT_TRUE(in.Save(dir.file("in.unt")));
    CLI::App app;
    int exitCode = -1;
    addUnitCommands(app, exitCode);
    const std::string inPath = dir.file("in.unt"), outPath = dir.file("out.unt");
    std::vector<const char*> argv{"harlox-cli", "unit", "complete", inPath.c_str(), outPath.c_str()};
    ::testing::internal::CaptureStdout();
    app.parse(static_cast<int>(argv.size()), argv.data());
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(exitCode, 0);
    EXPECT_TRUE(std::filesystem::exists(outPath));
}

} // namespace
} // namespace harlox::cli
