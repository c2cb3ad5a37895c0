#include "cli/unit_import_command.h"

#include "cli/unit_command.h"
#include "driver/spk_data.h"
#include "temp_dir.h"
#include "unit_command_run.h"

#include <CLI/CLI.hpp>
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <utility>

namespace harlox::cli {
namespace {

// "harlox-cli unit import ARGS...": the exit code, then what it printed.
std::string importCommand(std::vector<std::string> args) {
    args.insert(args.begin(), "import");
    return test::unitCommand(std::move(args));
}

TEST(UnitImportCommand, WritesOneUnitPerRowThatLoadsBackAndReportsTheRest) {
    test::TempDir dir;
    const std::string csv = dir.file("t.csv"), out = dir.file("units");
    std::ofstream(csv)
        << "Manufacturer;Model;fs [Hz];Qts;Qes;Qms;Vas [l];Sd [cm2];Re [ohm];Mms [g];Xmax [mm];Size\n"
           "Acme;X/1;34;0,3;0,37;1,6;32,9;130;6,1;15,8;11;6.5\"\n"
           "Acme;X/1;34;0,3;0,37;1,6;32,9;130;6,1;15,8;11;\n"
           "Acme;Y;;0,3;0,37;1,6;32,9;130;6,1;15,8;;\n";
    EXPECT_EQ(importCommand({csv, out}), "0wrote " + out + "/Acme X_1.unt\nwrote " + out +
                                             "/Acme X_1 (2).unt\nrefused " + csv +
                                             " row 4 (Acme Y): fs missing\nignored columns: Size\n"
                                             "imported 2 of 3 drivers\n");
    TSpkData back;
    ASSERT_TRUE(back.Load(out + "/Acme X_1.unt"));
    EXPECT_EQ(back.modelText(), "X/1");
    EXPECT_NEAR(back.Vas, 0.0329, 1e-12);
    EXPECT_NEAR(back.Xmax, 0.011, 1e-12);
    EXPECT_TRUE(back.isSufficient());
}

TEST(UnitImportCommand, ReadsTheShippedLibraryAndAJsonFolder) {
    test::TempDir dir;
    const std::string shipped =
        importCommand({std::string(HARLOX_HELP_DIR) + "/../examples/drivers", dir.file("a")});
    EXPECT_EQ(shipped.substr(0, 1), "0");
    EXPECT_NE(shipped.find("imported 24 of 24 drivers\n"), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(dir.file("a/Wavecor SW146WA02.unt")));
    // A folder of JSON files, and one JSON file in pure SI units.
    const std::string purifi =
        importCommand({std::string(HARLOX_SHARED_DATA_DIR) + "/drivers/boxdex/purifi", dir.file("b")});
    EXPECT_NE(purifi.find("imported 2 of 2 drivers\n"), std::string::npos) << purifi;
    const std::string boxed = importCommand(
        {std::string(HARLOX_SHARED_DATA_DIR) + "/drivers/boxed/DaytonAudio DCS255-4.json", dir.file("c")});
    EXPECT_EQ(boxed, "0wrote " + dir.file("c") + "/DaytonAudio DCS255-4.unt\nimported 1 of 1 drivers\n");
    TSpkData back;
    ASSERT_TRUE(back.Load(dir.file("c/DaytonAudio DCS255-4.unt")));
    EXPECT_NEAR(back.Le, 0.0018, 1e-12);
    EXPECT_NEAR(back.Sd, 0.03464, 1e-12);
}

TEST(UnitImportCommand, FailsWhenTheTableOrTheFolderCannotBeUsed) {
    test::TempDir dir;
    test::writeAll(dir.file("bin.csv"), {0x89, 'P', 'N', 'G', 0, 0});
    test::writeAll(dir.file("file"), {'x'});
    std::ostringstream out, err;
    EXPECT_EQ(importUnits(dir.file("bin.csv"), dir.file("u"), out, err), 1);
    EXPECT_EQ(err.str(), "harlox-cli: '" + dir.file("bin.csv") + "' is not a text file\n");
    err.str("");
    const std::string csv = std::string(HARLOX_HELP_DIR) + "/../examples/drivers/drivers.csv";
    EXPECT_EQ(importUnits(csv, dir.file("file/u"), out, err), 1);
    EXPECT_EQ(err.str().rfind("harlox-cli: cannot write '" + dir.file("file/u") + "': ", 0), 0u) << err.str();
    EXPECT_EQ(out.str(), "");
}

} // namespace
} // namespace harlox::cli
