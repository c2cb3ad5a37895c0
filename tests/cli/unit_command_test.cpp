#include "cli/unit_command.h"

#include "driver/spk_data.h"
#include "temp_dir.h"
#include "unit_command_run.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

namespace harlox::cli {
namespace {

using test::unitCommand;

TEST(UnitCommand, DefaultThenShowPrintsTheDataSheetAndFigures) {
    test::TempDir dir;
    const std::string path = dir.file("x.unt");
    EXPECT_EQ(unitCommand({"default", path}), "0wrote " + path + "\n");
    const auto bytes = test::readAll(path);
    ASSERT_EQ(bytes.size(), 381u);
    EXPECT_EQ((std::vector{bytes[0], bytes[1], bytes[379], bytes[380]}),
              (std::vector<std::uint8_t>{0x64, 0, 0x39, 0x30}));
    EXPECT_EQ(unitCommand({"show", path}),
              "0Manufacturer:\tPEERLESS\nModel:\t\t180 WR/832732\nFilename:\tx.unt\n"
              "Speaker type:\tBass/Midrange\n\n"
              "Sd:\t\t130.00 cm^2\nVas:\t\t32.90 l\nCms:\t\t1.39e-03 m/N\nCas:\t\t2.35e-07 m^5/N\n"
              "Mmd:\t\t14.96 g\nMms:\t\t15.80 g\nRms:\t\t2.01 Ns/m\nFs:\t\t34.0 Hz\nBl:\t\t7.50 N/A\n"
              "Re:\t\t6.10 ohm\nLe:\t\t0.90 mH\nQms:\t\t1.68\nQes:\t\t0.37\nQts:\t\t0.30\n"
              "Pmax:\t\t150.0 W\nXmax:\t\t11.00 mm\nh:\t\t6.00 mm\nl:\t\t17.00 mm\n\n"
              "Efficiency:\t0.34 %\nSensitivity:\t87.3 dB/1W/1m\n");
    TSpkData unit;
    unit.SetDefault();
    unit.Qes = 0;
    EXPECT_NE(unitReport(unit).find("Efficiency:\t-- %\nSensitivity:\t-- dB/1W/1m\n"), std::string::npos);
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
    EXPECT_EQ(unitCommand({"complete", dir.file("in.unt"), dir.file("out.unt")}),
              "0wrote " + dir.file("out.unt") +
                  "\nfilled: Mmd Mms Cms Cas Bl\n"
                  "too few parameters for a simulation; still missing: Qms Rms\n");
}

TEST(UnitCommand, RefusedFilesNameTheFileAndFail) {
    test::TempDir dir;
    const std::string bad = dir.file("bad.unt"), noFolder = dir.file("no/folder/x.unt");
    test::writeAll(bad, {0x64, 0x00, 1, 2});
    std::ostringstream out, err;
    const auto failsSaying = [&](int rc, const std::string& what) {
        const bool said = rc == 1 && err.str() == "harlox-cli: " + what + "\n";
        err.str("");
        return said;
    };
    const std::string shortFile = "'" + bad + "' is not a driver unit file: the file is too short";
    EXPECT_TRUE(failsSaying(showUnit(bad, out, err), shortFile));
    EXPECT_TRUE(failsSaying(completeUnit(bad, dir.file("out.unt"), out, err), shortFile));
    EXPECT_TRUE(failsSaying(writeDefaultUnit(noFolder, out, err),
                            "cannot write '" + noFolder + "': the folder '" + dir.file("no/folder") +
                                "' does not exist"));
    EXPECT_TRUE(out.str().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("out.unt")));
}

} // namespace
} // namespace harlox::cli
