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

TEST_F(ProgramDir, DirectoryEndsInASeparatorAndJoins) {
    EXPECT_EQ(programDirectory(), "/opt/Harlox/");
    EXPECT_EQ(programPath("help/closed.txt"), "/opt/Harlox/help/closed.txt");
    EXPECT_EQ(programPath("help\\closed.txt"), "/opt/Harlox/help/closed.txt");
}

struct RelativeCase {
    const char* path;
    const char* expected;
};

class MakeRelative : public ProgramDir, public ::testing::WithParamInterface<RelativeCase> {};

TEST_P(MakeRelative, StripsTheProgramDirectoryOnlyForWholeFolderNames) {
    EXPECT_EQ(makeRelativeToProgramDir(GetParam().path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, MakeRelative,
                         ::testing::Values(RelativeCase{"/opt/Harlox/examples/a.unt", "examples/a.unt"},
                                           RelativeCase{"/OPT/harlox/a.unt", "a.unt"}, // letter case ignored
                                           RelativeCase{"/opt/Harlox\\units\\a.unt", "units\\a.unt"},
                                           RelativeCase{"/opt/HarloxOld/a.unt", "/opt/HarloxOld/a.unt"},
                                           RelativeCase{"/opt/Harlox", "/opt/Harlox"},
                                           RelativeCase{"/home/me/a.unt", "/home/me/a.unt"},
                                           RelativeCase{"", ""}));

TEST_F(ProgramDir, StoredNamesResolveAgainstTheProgramDirectoryUnlessAbsolute) {
    EXPECT_EQ(resolveStoredName("examples/a.unt"), "/opt/Harlox/examples/a.unt");
    EXPECT_EQ(resolveStoredName("examples\\a.unt"), "/opt/Harlox/examples/a.unt");
    EXPECT_EQ(resolveStoredName("/home/me/a.unt"), "/home/me/a.unt");
    EXPECT_EQ(resolveStoredName("C:\\units\\a.unt"), "C:/units/a.unt");
    EXPECT_TRUE(isAbsoluteStoredName("d:x"));
    EXPECT_FALSE(isAbsoluteStoredName("1:x"));
    EXPECT_FALSE(isAbsoluteStoredName(""));
}

TEST(FileNames, NamePartAndUpperExtension) {
    EXPECT_EQ(fileNamePart("/a/b/c.unt"), "c.unt");
    EXPECT_EQ(fileNamePart("C:\\a\\c.UNT"), "c.UNT");
    EXPECT_EQ(fileNamePart("c"), "c");
    EXPECT_EQ(upperExtension("/a.b/curve.Gdt"), ".GDT");
    EXPECT_EQ(upperExtension("/a.b/curve"), "");
    EXPECT_EQ(upperExtension("x.fm"), ".FM");
}

TEST(PreferencesFolder, FallBackToTheConfigFolderWhenTheProgramFolderIsNotWritable) {
    test::TempDir home;
    setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
    setProgramDirectory("/proc/self"); // never writable, even for root
    EXPECT_EQ(preferencesDirectory(), home.path() + "/harlox/");
    EXPECT_TRUE(std::filesystem::is_directory(home.path() + "/harlox"));
    setProgramDirectory(home.path());
    EXPECT_EQ(preferencesPath("msetup.prf"), home.path() + "/msetup.prf");
    setProgramDirectory("./");
    unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace harlox
