#include "numeric/fmatrix.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
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
    for (std::size_t i = 0; i < v.size(); ++i)
        r[lower + static_cast<int>(i)] = v[i];
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

// ---- FVector ----

TEST(FVector, CopiesKeepTheLowerIndexAndRangesMayOverlap) {
    FVector longer(6);
    longer = vec({7, 8}, 5);
    EXPECT_EQ(longer.lowerIndex(), 5);
    EXPECT_EQ(values(longer), (V{7, 8}));
    EXPECT_EQ(values(FVector(vec({0, 1, 2, 3, 4, 5}), 2, 3, 1)), (V{2, 3, 4}));

    FVector s = vec({1, 2, 3, 4, 5});
    s.copyRange(s, 0, -1, 2); // -1: up to the end of the target; overlapping, towards the end
    EXPECT_EQ(values(s), (V{1, 2, 1, 2, 3}));
    s.copyRange(s, 2, 3, 0); // overlapping, towards the front
    EXPECT_EQ(values(s), (V{1, 2, 3, 2, 3}));
}

TEST(FVector, ElementWiseRunsOverTheTargetAndMayAlias) {
    const FVector a = vec({6, -3, 1.5, 8});
    const FVector b = vec({2, 4, -0.5, 1});
    FVector t(4);
    t.div(a, b);
    EXPECT_EQ(values(t), (V{3, -0.75, -3, 8}));
    t.scale(-2.0, a);
    EXPECT_EQ(values(t), (V{-12, 6, -3, -16}));
    t.apply([](double v) { return v * v; }, a);
    EXPECT_EQ(values(t), (V{36, 9, 2.25, 64}));
    t.fill(1.0);
    t.mulAdd(2.0, a);
    EXPECT_EQ(values(t), (V{13, -5, 4, 17}));
    FVector self = a; // the target may be an operand
    self.sub(self, 2.0);
    self.add(self, self);
    EXPECT_EQ(values(self), (V{8, -10, -1, 12}));
    FVector shortTarget(2); // the loop runs over the target's length
    shortTarget.mul(a, b);
    EXPECT_EQ(values(shortTarget), (V{12, -12}));
    EXPECT_EQ(values(a - 0.5 * b), (V{5, -5, 1.75, 7.5}));
    EXPECT_EQ(vec({1, 2, 3}).dot(vec({0, 0, 4, 5, 6}), 2), 32.0);
}

TEST(FVector, ExtremeIndicesAndFifos) {
    const FVector e = vec({-4, 2, 4, -1, 1, 4, -4}, 5); // ties: the first met
    EXPECT_EQ((std::array{e.minIndex(), e.maxIndex(), e.minAbsIndex(), e.maxAbsIndex()}),
              (std::array{5, 7, 8, 5}));
    EXPECT_EQ(FVector(0, 3).maxAbsIndex(), 2);

    FVector v = vec({1, 2, 3});
    v.pushFront(0);
    v.pushBack(9);
    EXPECT_EQ(values(v), (V{1, 2, 9}));
    // {b, after shiftInBack, after shiftInFront} on {1, 2, 3, 4}
    const std::vector<std::array<V, 3>> shifts = {{V{8, 9, 10}, V{4, 8, 9, 10}, V{8, 9, 10, 1}},
                                                  {V{5, 6, 7, 8, 9, 10}, V{7, 8, 9, 10}, V{5, 6, 7, 8}}};
    for (const auto& [b, back, front] : shifts) {
        FVector t = vec({1, 2, 3, 4}), u = vec({1, 2, 3, 4});
        t.shiftInBack(vec(b));
        u.shiftInFront(vec(b));
        EXPECT_EQ(values(t), back);
        EXPECT_EQ(values(u), front);
    }
}

TEST(FVector, StreamReadWriteAndPrint) {
    FVector v(3);
    std::istringstream good("1.5 -2\n3e2 99");
    EXPECT_TRUE(v.read(good));
    EXPECT_EQ(values(v), (V{1.5, -2, 300}));
    std::istringstream bad("4 x 6");
    EXPECT_FALSE(v.read(bad));

    std::ostringstream out;
    vec({1, 2.5, -3}).write(out, ", ");
    EXPECT_EQ(out.str(), "1, 2.5, -3");
    std::ostringstream printed;
    vec({1, -2.5, 1e-7, 123456789, 0, 6}).print(printed);
    EXPECT_EQ(printed.str(), "             1          -2.5         1e-07   1.23457e+08             0\n"
                             "             6\n");
}

// ---- FMatrix ----

TEST(FMatrix, ArithmeticProductAndTranspose) {
    const FMatrix a = mat(2, 3, {1, 2, 3, 4, 5, 6});
    const FMatrix b = mat(3, 2, {7, 8, 9, 10, 11, 12});
    FMatrix other(3, 2); // scale pairs any shape of the same size in row-major order
    other.scale(2.0, a);
    EXPECT_EQ(values(other), (V{2, 4, 6, 8, 10, 12}));

    FMatrix p(2, 2);
    p.product(a, b);
    EXPECT_EQ(values(p), (V{58, 64, 139, 154}));
    FMatrix sq = mat(2, 2, {1, 2, 3, 4});
    sq.product(sq, sq); // aliasing works on a copy
    EXPECT_EQ(values(sq), (V{7, 10, 15, 22}));
    EXPECT_EQ(values(a.transposed()), (V{1, 4, 2, 5, 3, 6}));
    sq.transpose(sq);
    EXPECT_EQ(values(sq), (V{7, 15, 10, 22}));
}

TEST(FMatrix, ConstructionReductionsTrianglesAndRowFifos) {
    FMatrix f(vec({1, 2, 3, 4, 5, 6}), 3, 2);
    EXPECT_EQ(values(FMatrix(f, 1, 2)), (V{3, 4, 5, 6}));

    FMatrix t(3, 2);
    t.copyRange(mat(2, 2, {1, 2, 3, 4}), 0, -1, 1);
    EXPECT_EQ(values(t), (V{0, 0, 1, 2, 3, 4}));
    t.copyRange(t, 0, 2, 1); // overlapping, towards the end
    EXPECT_EQ(values(t), (V{0, 0, 0, 0, 1, 2}));

    const FMatrix m = mat(3, 3, {1, -9, 3, 4, 5, 9, -2, 0.5, -9});
    EXPECT_EQ(values(m.columnSums()), (V{3, -3.5, 3}));
    EXPECT_EQ(m.minAbsElement(), 0.5);
    EXPECT_EQ(m.maxAbsElement(), -9.0); // first of |-9|, |9|, |-9|
    EXPECT_EQ(FMatrix().maxElement(), 0.0);
    const FMatrix wide = mat(2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(values(wide.upperTriangle()), (V{1, 2, 3, 5, 6}));
    EXPECT_EQ(values(wide.lowerTriangle()), (V{1, 4, 5}));
    f.pushRowFront(vec({0, 0}));
    EXPECT_EQ(values(f), (V{0, 0, 1, 2, 3, 4}));
    f.pushRowBack(vec({9, 9}));
    EXPECT_EQ(values(f), (V{1, 2, 3, 4, 9, 9}));
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
TEST(FMatrixFile, ShapeFromLinesAndWordsAndBadFilesFail) {
    struct F {
        std::string text;
        int rows, columns;
        V values;
    };
    test::TempDir dir;
    for (const F& c : {F{"1 2\r\n3 4\r\n", 2, 2, {1, 2, 3, 4}}, F{"1 2 3\n4 5 6", 2, 3, {1, 2, 3, 4, 5, 6}},
                       F{"\n1 2\n\n3 4\n\n\n", 2, 2, {1, 2, 3, 4}}, F{"1.5 2.5 3.5", 1, 3, {1.5, 2.5, 3.5}},
                       F{"1 2 3\n4 5\n", 2, 2, {1, 2, 3, 4}}, // the remainder is ignored
                       F{"", 1, 0, {}}}) {
        std::ofstream(dir.file("m.txt"), std::ios::binary) << c.text;
        FMatrix m(7, 7);
        ASSERT_TRUE(m.read(dir.file("m.txt"))) << c.text;
        EXPECT_EQ(m.rowCount(), c.rows) << c.text;
        EXPECT_EQ(m.columnCount(), c.columns) << c.text;
        EXPECT_EQ(values(m), c.values) << c.text;
    }
    EXPECT_FALSE(FMatrix().read(dir.file("missing.txt")));
    std::ofstream(dir.file("m.txt"), std::ios::binary) << "1 2\n3 four\n";
    EXPECT_FALSE(FMatrix().read(dir.file("m.txt")));
}

TEST(FMatrixFile, WriteUsesTheSeparatorsAndReportsAFailedStream) {
    const FMatrix m = mat(2, 2, {1, 2, 3, 0.125});
    std::ostringstream out;
    ASSERT_TRUE(m.write(out, "\t", ";"));
    EXPECT_EQ(out.str(), "1\t2;3\t0.125");
    out.setstate(std::ios::badbit);
    EXPECT_FALSE(m.write(out));
}

TEST(FMatrix, PrintsRowNumbersAndFieldsOf16FiveToALine) {
    const auto f = [](const std::string& s) { return std::string(16 - s.size(), ' ') + s; };
    std::ostringstream out;
    mat(2, 6, {1, 2, 3, 4, 5, 6, -1, -2, -3, -4, -5, 0.5}).print(out);
    EXPECT_EQ(out.str(), "   0" + f("1") + f("2") + f("3") + f("4") + f("5") + "\n      " + f("6") + "\n" +
                             "   1" + f("-1") + f("-2") + f("-3") + f("-4") + f("-5") + "\n      " +
                             f("0.5") + "\n");
}

} // namespace
} // namespace harlox