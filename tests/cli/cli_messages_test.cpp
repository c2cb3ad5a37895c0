#include "cli/cli_app.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace harlox::cli {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// The whole tool as a script sees it: status, stdout and stderr. "{D}" in an argument is the
// test's folder.
Outcome run(const std::vector<std::string>& args, const std::string& dir) {
    std::vector<std::string> words{"harlox-cli"};
    for (std::string a : args) {
        if (const auto at = a.find("{D}"); at != std::string::npos) a.replace(at, 3, dir);
        words.push_back(a);
    }
    std::vector<const char*> argv;
    for (const std::string& w : words)
        argv.push_back(w.c_str());
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int status = runCommandLine(static_cast<int>(argv.size()), argv.data());
    std::string out = ::testing::internal::GetCapturedStdout();
    return {status, out, ::testing::internal::GetCapturedStderr()};
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(CliMessages, EveryRefusalNamesTheFileOrValueAndGivesItsStatus) {
    test::TempDir dir;
    // A text file where a unit or a project belongs; its first bytes read as a version or a type code.
    writeFile(dir.file("notes.unt"), "hello, this is text\n");
    writeFile(dir.file("notes.box"), "hello, this is text\n");
    writeFile(dir.file("short.box"), "ab");
    std::string garbage;
    for (int i = 0; i < 400; ++i)
        garbage += static_cast<char>((i * 37 + 11) % 256);
    writeFile(dir.file("garbage.unt"), garbage);
    const std::string D = dir.path();
    ASSERT_EQ(run({"unit", "default", "{D}/u.unt"}, D).status, 0);

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string message; // a part of stderr
    };
    const Case cases[] = {
        {{"unit", "show", "{D}/none.unt"}, 1, "cannot open '" + D + "/none.unt': No such file or directory"},
        {{"unit", "show", "{D}/notes.unt"}, 1, "'" + D + "/notes.unt' is not a driver unit file: wrong version 25960"},
        {{"unit", "complete", "{D}/garbage.unt", "{D}/out.unt"}, 1, "is not a driver unit file: wrong version"},
        {{"box", "closed", "--unit", "{D}/none.unt"}, 1, "--unit: cannot open '" + D + "/none.unt'"},
        {{"open", "{D}/none.box"}, 1, "cannot open '" + D + "/none.box': No such file or directory"},
        {{"open", "{D}/notes.box"}, 1, "'" + D + "/notes.box' is not a project file\n"},
        {{"open", "{D}/short.box"}, 1, "is not a project file: it is too short"},
        {{"filter", "open", "{D}/none.flt"}, 1, "cannot open '" + D + "/none.flt': No such file or directory"},
        {{"box", "closed", "--export", "spl={D}/a.txt"}, 1,
         "--export spl: '" + D + "/a.txt' has the unknown extension '.txt'; use one of .frd .zma .gdt .fmp .fm"},
        {{"box", "closed", "--export", "spl={D}/a"}, 1, "has no extension; use one of .frd"},
        {{"box", "closed", "--set", "box.Vb=100"}, 1, "--set box.Vb: the value must lie between 0.0001 and 10 m^3"},
        {{"box", "bassreflex", "--set", "port.fb=0"}, 1, "between 1 and 1000 Hz"},
        {{"box", "closed", "--set", "room.driver.1.dX=500"}, 1, " m\n"},
        {{"filter", "new", "simple2", "--set", "net1.Re=5000"}, 1,
         "--set net1.Re: the value must lie between 0.01 and 1000 Ohm\n"},
        {{"filter", "new", "passive2", "--set", "net1.driver1.radius=5"}, 1, "between 0.001 and 1 m\n"},
        {{"filter", "new", "active2", "--set", "net1.gain=300"}, 1, "between -100 and 100 dB\n"},
        {{"box", "closed", "--save", "{D}/nodir/x.box", "--unit", "{D}/u.unt"}, 1,
         "cannot write '" + D + "/nodir/x.box': the folder '" + D + "/nodir' does not exist"},
        {{"frob"}, 2, "unknown command 'frob' (unit, box, open, filter)"},
        {{"unit", "frob"}, 2, "unknown command 'frob' (default, show, complete, import, fit)"},
        {{"box", "cube"}, 2, "cube not in"},
        {{"box", "closed", "--no-such-flag"}, 2, "--no-such-flag"},
        {{"filter", "new", "zz"}, 2, "unknown filter variant 'zz'"},
    };
    for (const Case& c : cases) {
        std::string line;
        for (const std::string& a : c.args)
            line += a + ' ';
        SCOPED_TRACE(line);
        const Outcome r = run(c.args, D);
        EXPECT_EQ(r.status, c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST(CliMessages, EachFileWrittenGetsOneLineUnlessQuiet) {
    test::TempDir dir;
    const std::string D = dir.path();
    EXPECT_EQ(run({"--help"}, D).status, 0);
    ASSERT_EQ(run({"unit", "default", "{D}/u.unt"}, D).out, "wrote " + D + "/u.unt\n");

    const std::vector<std::string> box{"box",      "closed",           "--unit",   "{D}/u.unt",
                                       "--export", "spl={D}/s.frd",    "--export", "impedance={D}/z.zma",
                                       "--save",   "{D}/p.box"};
    const Outcome loud = run(box, D);
    EXPECT_EQ(loud.status, 0) << loud.err;
    EXPECT_EQ(loud.out, "wrote " + D + "/p.box\nwrote " + D + "/s.frd\nwrote " + D + "/z.zma\n");

    std::vector<std::string> quiet{"--quiet"};
    quiet.insert(quiet.end(), box.begin(), box.end());
    const Outcome silent = run(quiet, D);
    EXPECT_EQ(silent.status, 0) << silent.err;
    EXPECT_EQ(silent.out, "");
    // --quiet lasts for its own run only.
    EXPECT_EQ(run({"unit", "default", "{D}/v.unt"}, D).out, "wrote " + D + "/v.unt\n");
}

} // namespace
} // namespace harlox::cli
