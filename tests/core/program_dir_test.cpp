#include "core/program_dir.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace harlox {
namespace {

class ProgramDir : public ::testing::Test {
protected:
    void SetUp() override { setProgramDirectory("/opt/Harlox"); }
    void TearDown() override {
        setProgramDirectory("./");
        setPreferencesDirectory("");
    }
};

TEST_F(ProgramDir, RelativeOnlyBelowWholeFolderNamesInAnyLetterCaseAndBack) {
    using P = std::pair<const char*, const char*>;
    for (const auto& [path, expected] :
         {P{"/opt/Harlox/examples/a.unt", "examples/a.unt"}, P{"/OPT/harlox/a.unt", "a.unt"},
          P{"/opt/Harlox\\units\\a.unt", "units\\a.unt"}, P{"/opt/HarloxOld/x", "/opt/HarloxOld/x"},
          P{"/opt/Harlox", "/opt/Harlox"}, P{"/home/me/a.unt", "/home/me/a.unt"}, P{"", ""}})
        EXPECT_EQ(makeRelativeToProgramDir(path), expected) << path;
    // Stored names resolve against the program folder unless absolute.
    for (const auto& [name, expected] :
         {P{"examples\\a.unt", "/opt/Harlox/examples/a.unt"}, P{"/home/me/a.unt", "/home/me/a.unt"},
          P{"C:\\units\\a.unt", "C:/units/a.unt"}, P{"1:x", "/opt/Harlox/1:x"}})
        EXPECT_EQ(resolveStoredName(name), expected) << name;
    EXPECT_EQ(fileNamePart("C:\\a\\c.UNT"), "c.UNT");
    EXPECT_EQ(upperExtension("/a.b/curve"), "");
}

TEST_F(ProgramDir, PreferencesFallBackToTheConfigFolderWhenTheProgramFolderIsNotWritable) {
    test::TempDir home;
    setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
    setProgramDirectory("/proc/self"); // never writable, even for root
    EXPECT_EQ(preferencesDirectory(), home.path() + "/harlox/");
    EXPECT_TRUE(std::filesystem::is_directory(home.path() + "/harlox"));
    setProgramDirectory(home.path());
    EXPECT_EQ(preferencesPath("msetup.prf"), home.path() + "/msetup.prf");
    unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace harlox