#include "numeric/fmatrix.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace harlox {
namespace {

using V = std::vector<double>;

FVector vec(V v, int lower = 0) {
    FVector r(static_cast<int>(v.size()), lower);
    std::copy(v.begin(), v.end(), r.begin());
    return r;
}

V values(const FVector& v) {
    return {v.begin(), v.end()};
}

FMatrix mat(int rows, int cols, V v) {
    return FMatrix(v.data(), rows, cols);
}

V values(const FMatrix& m) {
    V r;
    for (int i = 0; i < m.rowCount(); ++i)
        r.insert(r.end(), m[i].begin(), m[i].end());
    return r;
}

TEST(FVector, OverlappingCopiesAliasedOperandsAndStreamRead) {
    FVector s = vec({1, 2, 3, 4, 5});
    s.copyRange(s, 0, -1, 2); // -1: up to the end of the target; overlapping, towards the end
    EXPECT_EQ(values(s), (V{1, 2, 1, 2, 3}));
    s.copyRange(s, 2, 3, 0); // overlapping, towards the front
    EXPECT_EQ(values(s), (V{1, 2, 3, 2, 3}));
    s.sub(s, 2.0); // the target may be an operand
    s.add(s, s);
    EXPECT_EQ(values(s), (V{-2, 0, 2, 0, 2}));

    std::istringstream good("1.5 -2\n3e2 99 7"), bad("4 x 6 7 8");
    EXPECT_TRUE(s.read(good));
    EXPECT_EQ(values(s), (V{1.5, -2, 300, 99, 7}));
    EXPECT_FALSE(s.read(bad));
}

TEST(FMatrix, ProductAndTransposeAlsoInPlace) {
    FMatrix p(2, 2);
    p.product(mat(2, 3, {1, 2, 3, 4, 5, 6}), mat(3, 2, {7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(values(p), (V{58, 64, 139, 154}));
    FMatrix sq = mat(2, 2, {1, 2, 3, 4});
    sq.product(sq, sq); // aliasing works on a copy
    EXPECT_EQ(values(sq), (V{7, 10, 15, 22}));
    sq.transpose(sq);
    EXPECT_EQ(values(sq), (V{7, 15, 10, 22}));
    EXPECT_EQ(values(mat(2, 3, {1, 2, 3, 4, 5, 6}).transposed()), (V{1, 4, 2, 5, 3, 6}));
}

TEST(FMatrixDeathTest, SizeMismatchEndsTheProgram) {
    const FMatrix a(2, 3), b(3, 2);
    FMatrix t(2, 3);
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"mulAdd", [&] { t.mulAdd(1.0, b); }},
        {"add", [&] { t.add(FMatrix(2, 2), a); }},
        {"sub", [&] { t.sub(a, b); }},
        {"mul", [&] { t.mul(a, FMatrix(1, 3)); }},
        {"div", [&] { t.div(FMatrix(2, 4), a); }},
        {"mul", [&] { t.scale(2.0, FMatrix(2, 2)); }},
        {"product", [&] { FMatrix(2, 2).product(a, a); }},
        {"transpose", [&] { t.transpose(a); }},
    };
    for (const auto& [name, call] : cases)
        EXPECT_DEATH(call(), std::string("^FMatrix::") + name + " called with different sizes\n");
}

// Rows are the lines holding numbers, so a missing final newline or blank lines do not
// change the shape.
TEST(FMatrixFile, ShapeFromLinesAndWordsBadFilesAndFailedStreams) {
    struct F {
        std::string text;
        int rows, columns;
        V values;
    };
    test::TempDir dir;
    for (const F& c : {F{"1 2\r\n3 4\r\n", 2, 2, {1, 2, 3, 4}}, F{"1 2 3\n4 5 6", 2, 3, {1, 2, 3, 4, 5, 6}},
                       F{"\n1 2\n\n3 4\n\n\n", 2, 2, {1, 2, 3, 4}},
                       F{"1 2 3\n4 5\n", 2, 2, {1, 2, 3, 4}}, // the remainder is ignored
                       F{"", 1, 0, {}}}) {
        std::ofstream(dir.file("m.txt"), std::ios::binary) << c.text;
        FMatrix m(7, 7);
        ASSERT_TRUE(m.read(dir.file("m.txt")));
        EXPECT_EQ((std::pair{m.rowCount(), m.columnCount()}), (std::pair{c.rows, c.columns}));
        EXPECT_EQ(values(m), c.values) << c.text;
    }
    EXPECT_FALSE(FMatrix().read(dir.file("missing.txt")));
    std::ofstream(dir.file("m.txt"), std::ios::binary) << "1 2\n3 four\n";
    EXPECT_FALSE(FMatrix().read(dir.file("m.txt")));

    const FMatrix m = mat(2, 2, {1, 2, 3, 0.125});
    std::ostringstream out;
    ASSERT_TRUE(m.write(out, "\t", ";"));
    EXPECT_EQ(out.str(), "1\t2;3\t0.125");
    out.setstate(std::ios::badbit);
    EXPECT_FALSE(m.write(out));
}

} // namespace
} // namespace harlox
