#include "cli/cli_app.h"
#include "cli/cli_values.h"

#include "core/format.h"
#include "driver/spk_data.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace harlox::cli {
namespace {

const std::string kMeasured = std::string(HARLOX_SHARED_DATA_DIR) + "/measured/";
const std::string kFree = kMeasured + "L16RNX_0g_242_27mV.zma";
const std::string kMass = kMeasured + "L16RNX_8_017g_242_27mV.zma";

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome run(std::vector<std::string> args) {
    args.insert(args.begin(), {"harlox-cli"});
    std::vector<const char*> argv;
    for (const std::string& a : args)
        argv.push_back(a.c_str());
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int status = runCommandLine(static_cast<int>(argv.size()), argv.data());
    std::string out = ::testing::internal::GetCapturedStdout();
    return {status, out, ::testing::internal::GetCapturedStderr()};
}

TEST(UnitFitCommand, FitsTheMeasuredSetAndWritesTheUnit) {
    test::TempDir dir;
    const std::string out = dir.file("fit.unt");
    const Outcome r =
        run({"unit", "fit", kFree, "--added-mass", "0.008017", "--second", kMass, "--sd", "0.0133", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const char* line : {"fs:\t", "\nQms:\t", "\nQes:\t", "\nQts:\t", "\nRe:\t", " ohm\n", "\nLe:\t",
                             " mH\n", "\nVas:\t", " l\n", "\nMms:\t", " g\n", "\nCms:\t", "\nBl:\t", " N/A\n",
                             "\nsemi-inductance:\t", "\nrms error:\t", " dB\n"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
    EXPECT_NE(r.out.find("wrote " + out + "\n"), std::string::npos);
    TSpkData unit;
    ASSERT_TRUE(unit.Load(out)) << unit.lastError();
    EXPECT_NEAR(unit.fs, 44.6, 1.5);
    EXPECT_NEAR(unit.Sd, 0.0133, 1e-9);
    EXPECT_TRUE(unit.isSufficient());
    EXPECT_EQ(r.out.rfind(strprintf("fs:\t%.2f Hz\n", unit.fs), 0), 0u) << r.out;
}

TEST(UnitFitCommand, RefusalsNameTheValueOrFileAndGiveTheirStatus) {
    test::TempDir dir;
    const std::string out = dir.file("fit.unt");
    struct Case {
        std::string free, second;
        std::vector<std::string> method;
        int status;
        std::string message;
    };
    const Case cases[] = {
        {kFree, kMass, {}, 2, "--added-mass"},
        {kFree, kMass, {"--added-mass", "0.008", "--box-volume", "0.02"}, 2, "excludes"},
        {kFree, kMass, {"--added-mass", "-1"}, 2, "harlox-cli: --added-mass \"-1\": the value must lie between 0 and 10 kg"},
        {kFree, kMass, {"--added-mass", "0"}, 2, "harlox-cli: --added-mass \"0\": the value must be above 0"},
        {kFree, kMass, {"--box-volume", "lots"}, 2, "harlox-cli: --box-volume \"lots\""},
        {dir.file("none.zma"), kMass, {"--added-mass", "0.008"}, 1,
         "harlox-cli: cannot open '" + dir.file("none.zma") + "': No such file or directory"},
        {kMass, kFree, {"--added-mass", "0.008"}, 1, "harlox-cli: The resonance of L16RNX_0g"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        std::vector<std::string> args{"unit", "fit", c.free};
        args.insert(args.end(), c.method.begin(), c.method.end());
        args.insert(args.end(), {"--second", c.second, "--sd", "0.0133", out});
        const Outcome r = run(args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

} // namespace
} // namespace harlox::cli
