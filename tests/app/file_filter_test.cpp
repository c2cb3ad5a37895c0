#include "app/file_filter.h"

#include <gtest/gtest.h>

#include <string>

namespace harlox {
namespace {

TEST(FileFilterList, ConvertsToQtForm) {
    for (const auto& [in, out] : {
             std::pair{"Unit files (*.unt)|*.unt|All files (*.*)|*.*|", "Unit files (*.unt);;All files (*)"},
             // no final bar, and a label glued to its pattern
             {"LEAP (*.gdt)|*.gdt|MLLSA standard(*.fm)|*.fm", "LEAP (*.gdt);;MLLSA standard (*.fm)"},
             // the pattern field wins over what the label claims; blanks and empty patterns go
             {"Text (*.txt)|*.txt; *.TXT;|Dangling label", "Text (*.txt *.TXT)"},
             // a bracket that is part of the name stays
             {"Curves (LAUD)|*.frd|", "Curves (LAUD) (*.frd)"},
             {"|*.snp|", "*.snp (*.snp)"},
             {"Label||", ""},
             {"", ""},
         })
        EXPECT_EQ(convertFilterList(in), out) << in;
}

TEST(FileFilterList, DefaultExtensionIsAppendedOnlyWithoutOne) {
    for (const auto& [path, ext, out] : {
             std::tuple{"/home/a/closed", "box", "/home/a/closed.box"},
             {"/home/a/closed.flt", "box", "/home/a/closed.flt"},
             {"/home/a/closed.", "box", "/home/a/closed.box"},
             {"/home/a.b/closed", "box", "/home/a.b/closed.box"},
             {"/home/a/.hidden", "snp", "/home/a/.hidden.snp"},
             {"relative", ".unt", "relative.unt"},
             {"/home/a/closed", "", "/home/a/closed"},
             {"/home/a/", "box", "/home/a/"},
         })
        EXPECT_EQ(withDefaultExtension(path, ext), out) << path;
}

} // namespace
} // namespace harlox
