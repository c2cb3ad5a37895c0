#include "app/file_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace harlox {
namespace {

TEST(FileFilterList, ParsesLabelPatternPairs) {
    const auto f = parseFilterList("Unit files (*.unt)|*.unt|All files (*.*)|*.*|");
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0], (FileFilter{"Unit files (*.unt)", {"*.unt"}}));
    EXPECT_EQ(f[1], (FileFilter{"All files (*.*)", {"*.*"}}));
}

TEST(FileFilterList, SplitsPatternListsAndDropsIncompleteEntries) {
    const auto f = parseFilterList("Curves|*.frd; *.zma;|Dangling label");
    ASSERT_EQ(f.size(), 1u);
    EXPECT_EQ(f[0].patterns, (std::vector<std::string>{"*.frd", "*.zma"}));
    EXPECT_TRUE(parseFilterList("").empty());
    EXPECT_TRUE(parseFilterList("|").empty());
    EXPECT_TRUE(parseFilterList("Label||").empty());
}

struct ConvertCase {
    const char* in;
    const char* out;
};

class ConvertFilterList : public ::testing::TestWithParam<ConvertCase> {};

TEST_P(ConvertFilterList, GivesQtForm) {
    EXPECT_EQ(convertFilterList(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Selectors, ConvertFilterList,
    ::testing::Values(
        ConvertCase{"Box project files (*.box)|*.box|Filter project files (*.flt)|*.flt|All files (*.*)|*.*|",
                    "Box project files (*.box);;Filter project files (*.flt);;All files (*)"},
        ConvertCase{"Unit files (*.unt)|*.unt|All files (*.*)|*.*|", "Unit files (*.unt);;All files (*)"},
        // no final bar, and a label glued to its pattern
        ConvertCase{"LAUD frequency resp (*.frd)|*.frd|LEAP (*.gdt)|*.gdt|MLLSA (*.fmp)|*.fmp|MLLSA "
                    "standard(*.fm)|*.fm",
                    "LAUD frequency resp (*.frd);;LEAP (*.gdt);;MLLSA (*.fmp);;MLLSA standard (*.fm)"},
        ConvertCase{"All (*.*)|*.*", "All (*)"},
        // the pattern field wins over what the label claims
        ConvertCase{"Text (*.txt)|*.txt;*.TXT|", "Text (*.txt *.TXT)"},
        // a bracket that is part of the name stays
        ConvertCase{"Curves (LAUD)|*.frd|", "Curves (LAUD) (*.frd)"}, ConvertCase{"|*.snp|", "*.snp (*.snp)"},
        ConvertCase{"", ""}, ConvertCase{"no patterns at all", ""}));

struct ExtCase {
    const char* path;
    const char* ext;
    const char* out;
};

class DefaultExtension : public ::testing::TestWithParam<ExtCase> {};

TEST_P(DefaultExtension, IsAppendedOnlyWithoutOne) {
    EXPECT_EQ(withDefaultExtension(GetParam().path, GetParam().ext), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(Table, DefaultExtension,
                         ::testing::Values(ExtCase{"/home/a/closed", "box", "/home/a/closed.box"},
                                           ExtCase{"/home/a/closed.box", "box", "/home/a/closed.box"},
                                           ExtCase{"/home/a/closed.flt", "box", "/home/a/closed.flt"},
                                           ExtCase{"/home/a/closed.", "box", "/home/a/closed.box"},
                                           ExtCase{"/home/a.b/closed", "box", "/home/a.b/closed.box"},
                                           ExtCase{"/home/a/.hidden", "snp", "/home/a/.hidden.snp"},
                                           ExtCase{"relative", ".unt", "relative.unt"},
                                           ExtCase{"/home/a/closed", "", "/home/a/closed"},
                                           ExtCase{"/home/a/", "box", "/home/a/"}, ExtCase{"", "box", ""}));

} // namespace
} // namespace harlox
