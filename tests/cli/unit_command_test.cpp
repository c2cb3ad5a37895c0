#include "cli/unit_command.h"

#include "driver/spk_data.h"
#include "temp_dir.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace harlox::cli {
namespace {

TEST(UnitCommand, DefaultThenShowPrintsTheDataSheetAndFigures) {
    test::TempDir dir;
    std::ostringstream out, err;
    ASSERT_EQ(writeDefaultUnit(dir.file("x.unt"), out, err), 0);
    const auto bytes = test::readAll(dir.file("x.unt"));
    ASSERT_EQ(bytes.size(), 381u);
    EXPECT_EQ(bytes[0], 0x64);
    EXPECT_EQ(bytes[1], 0x00);
    EXPECT_EQ(bytes[379], 0x39);
    EXPECT_EQ(bytes[380], 0x30);
    out.str("");
    ASSERT_EQ(showUnit(dir.file("x.unt"), out, err), 0);
    EXPECT_EQ(out.str(),
              "Manufacturer:\tPEERLESS\nModel:\t\t180 WR/832732\nFilename:\tx.unt\n"
              "Speaker type:\tBass/Midrange\n\n"
              "Sd:\t\t130.00 cm^2\nVas:\t\t32.90 l\nCms:\t\t1.39e-03 m/N\nCas:\t\t2.35e-07 m^5/N\n"
              "Mmd:\t\t14.96 g\nMms:\t\t15.80 g\nRms:\t\t2.01 Ns/m\nFs:\t\t34.0 Hz\nBl:\t\t7.50 N/A\n"
              "Re:\t\t6.10 ohm\nLe:\t\t0.90 mH\nQms:\t\t1.68\nQes:\t\t0.37\nQts:\t\t0.30\n"
              "Pmax:\t\t150.0 W\nXmax:\t\t11.00 mm\nh:\t\t6.00 mm\nl:\t\t17.00 mm\n\n"
              "Efficiency:\t0.34 %\nSensitivity:\t87.3 dB/1W/1m\n");
    EXPECT_TRUE(err.str().empty());
}

TEST(UnitCommand, ZeroQesShowsDashes) {
    TSpkData unit;
    unit.SetDefault();
    unit.Qes = 0;
    EXPECT_NE(unitReport(unit).find("Efficiency:\t-- %\nSensitivity:\t-- dB/1W/1m\n"), std::string::npos);
}

TEST(UnitCommand, RefusedFilesNameTheFileAndFail) {
    test::TempDir dir;
    const std::string good = dir.file("good.unt"), bad = dir.file("bad.unt"),
                      missing = dir.file("missing.unt"), noFolder = dir.file("no/folder/x.unt");
    test::writeAll(bad, {0x64, 0x00, 1, 2});
    std::ostringstream out, err;
    ASSERT_EQ(writeDefaultUnit(good, out, err), 0);
    out.str("");
    const auto failsNaming = [&](int rc, const std::string& what) {
        const bool named = rc != 0 && err.str().starts_with("harlox-cli: " + what + "'");
        err.str("");
        return named;
    };
    EXPECT_TRUE(failsNaming(showUnit(bad, out, err), "cannot read unit file '" + bad));
    EXPECT_TRUE(failsNaming(showUnit(missing, out, err), "cannot read unit file '" + missing));
    EXPECT_TRUE(
        failsNaming(completeUnit(bad, dir.file("out.unt"), out, err), "cannot read unit file '" + bad));
    EXPECT_TRUE(failsNaming(writeDefaultUnit(noFolder, out, err), "could not write unit file '" + noFolder));
    EXPECT_TRUE(
        failsNaming(completeUnit(good, noFolder, out, err), "could not write unit file '" + noFolder));
    EXPECT_TRUE(out.str().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.unt")));
}

TEST(UnitCommand, CompleteFillsTheEmptyFieldsAndSaysWhatIsStillMissing) {
    test::TempDir dir;
    TSpkData in; // fs, Qts, Qes, Vas, Re and Sd, as a data sheet gives them
    in.fs = 34.0;
    in.Qts = 0.3;
    in.Qes = 0.37;
    in.Vas = 0.0329;
    in.Re = 6.1;
    in.Sd = 0.013;
    ASSERT_TRUE(in.Save(dir.file("in.unt")));
    const auto before = test::readAll(dir.file("in.unt"));
    std::ostringstream out, err;
    ASSERT_EQ(completeUnit(dir.file("in.unt"), dir.file("out.unt"), out, err), 0);
    EXPECT_EQ(out.str(), "wrote " + dir.file("out.unt") +
                             "\nfilled: Mmd Mms Cms Cas Bl\n"
                             "too few parameters for a simulation; still missing: Qms Rms\n");
    EXPECT_TRUE(err.str().empty());
    EXPECT_EQ(test::readAll(dir.file("in.unt")), before);
}

TEST(UnitCommand, CommandsAreReachedThroughTheCommandLine) {
    test::TempDir dir;
    const std::string path = dir.file("x.unt");
    for (std::vector<const char*> argv :
         {std::vector<const char*>{"harlox-cli", "unit", "default", path.c_str()},
          {"harlox-cli", "unit", "complete", path.c_str(), path.c_str()}}) {
        CLI::App app;
        int exitCode = -1;
        addUnitCommands(app, exitCode);
        ::testing::internal::CaptureStdout();
        app.parse(static_cast<int>(argv.size()), argv.data());
        EXPECT_EQ(::testing::internal::GetCapturedStdout().rfind("wrote " + path + "\n", 0), 0u) << argv[2];
        EXPECT_EQ(exitCode, 0);
    }
}

} // namespace
} // namespace harlox::cli
