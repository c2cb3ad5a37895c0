#include "numeric/fmatrix.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
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

// text right-aligned in a field of width characters
std::string field(const std::string& text, int width) {
    return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(text.size()))), ' ') +
           text;
}

void writeText(const std::string& path, const std::string& text) {
    test::writeAll(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

// ---- FVector ----

TEST(FVector, EmptyVectorHasNoStorageAndOperationsDoNothing) {
    FVector e;
    FVector z(0, 3);
    EXPECT_EQ(e.data(), nullptr);
    EXPECT_EQ(z.data(), nullptr);
    EXPECT_EQ(e.sum(), 0.0);
    e.fill(1.0);
    e.add(e, e);
    e.mulAdd(2.0, e);
    e.pushFront(1.0);
    e.pushBack(1.0);
    e.shiftInBack(vec({1, 2}));
    e.shiftInFront(vec({1, 2}));
    EXPECT_EQ(e.dot(e), 0.0);
    EXPECT_EQ(e.minIndex(), -1);
    EXPECT_EQ(z.maxAbsIndex(), 2);
    std::ostringstream out;
    e.print(out);
    e.write(out, ",");
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(FVector(-4).length(), 0);
}

TEST(FVector, ShapeCopyAndAssignment) {
    FVector v(4, 5);
    EXPECT_EQ(v.upperIndex(), 8);
    EXPECT_EQ(values(v), V(4, 0.0));
    v[8] = 2.5;
    EXPECT_EQ(v.data()[3], 2.5);

    FVector a = vec({1, 2, 3}, 2);
    const FVector b(a);
    a[2] = 9;
    EXPECT_EQ(b.lowerIndex(), 2);
    EXPECT_EQ(values(b), (V{1, 2, 3}));

    const FVector source = vec({7, 8}, 5);
    FVector target(6), same(2); // equal length reuses the storage
    target = source;
    same = source;
    for (const FVector* t : {&target, &same}) {
        EXPECT_EQ(t->lowerIndex(), 5);
        EXPECT_EQ(values(*t), (V{7, 8}));
    }
    target = target;
    EXPECT_EQ(target[6], 8.0);
    FVector moved = std::move(target);
    EXPECT_EQ(moved.lowerIndex(), 5);
    EXPECT_EQ(moved[6], 8.0);

    EXPECT_EQ(values(FVector(vec({0, 1, 2, 3, 4, 5}), 2, 3, 1)), (V{2, 3, 4}));
    EXPECT_EQ(FVector(vec({0, 1, 2}), 1, 1, 1).lowerIndex(), 1);
    const double d[] = {1.25, -2.5};
    const float f[] = {0.5f, 3.0f, -1.0f};
    EXPECT_EQ(values(FVector(d, 2)), (V{1.25, -2.5}));
    EXPECT_EQ(values(FVector(f, 3)), (V{0.5, 3.0, -1.0}));

    FVector r = vec({1, 2, 3});
    r.resize(2, 4); // drops the values
    EXPECT_EQ(r.lowerIndex(), 4);
    EXPECT_EQ(values(r), (V{0, 0}));
    FVector c(3, 1);
    c.copyValues(vec({4, 5, 6, 7})); // keeps its own shape
    EXPECT_EQ(c.lowerIndex(), 1);
    EXPECT_EQ(values(c), (V{4, 5, 6}));
}

TEST(FVector, CopyRange) {
    FVector t(5);
    t.copyRange(vec({1, 2, 3, 4}), 1, 2, 0);
    EXPECT_EQ(values(t), (V{2, 3, 0, 0, 0}));
    t.copyRange(vec({1, 2, 3, 4}), 0, -1, 2); // to the end of the target
    EXPECT_EQ(values(t), (V{2, 3, 1, 2, 3}));
    FVector s = vec({1, 2, 3, 4, 5});
    s.copyRange(s, 0, 3, 2); // overlapping, towards the end
    EXPECT_EQ(values(s), (V{1, 2, 1, 2, 3}));
    s.copyRange(s, 2, 3, 0); // overlapping, towards the front
    EXPECT_EQ(values(s), (V{1, 2, 3, 2, 3}));
}

TEST(FVector, Inequality) {
    EXPECT_FALSE(vec({1, 2}) != vec({1, 2}));
    EXPECT_TRUE(vec({1, 2}) != vec({1, 2, 3}));
    EXPECT_TRUE(vec({1, 2}) != vec({1, 2.0000001}));
    EXPECT_TRUE(vec({NAN}) != vec({NAN}));
    EXPECT_FALSE(FVector() != FVector(0, 3));
    EXPECT_TRUE(vec({1, 2}) == vec({1, 2}));
}

TEST(FVector, ElementWiseIntoFreshTargetInPlaceAndShortTarget) {
    const FVector a = vec({6, -3, 1.5, 8});
    const FVector b = vec({2, 4, -0.5, 1});
    const auto check = [&](const char* name, auto op, const V& expected) {
        SCOPED_TRACE(name);
        FVector t(4);
        op(t, a);
        EXPECT_EQ(values(t), expected);
        FVector self = a; // the target may be an operand
        op(self, self);
        EXPECT_EQ(values(self), expected);
        FVector shortTarget(2); // the loop runs over the target's length
        op(shortTarget, a);
        EXPECT_EQ(values(shortTarget), V(expected.begin(), expected.begin() + 2));
    };
    check("add", [&](FVector& t, const FVector& x) { t.add(x, b); }, {8, 1, 1, 9});
    check("sub", [&](FVector& t, const FVector& x) { t.sub(x, b); }, {4, -7, 2, 7});
    check("mul", [&](FVector& t, const FVector& x) { t.mul(x, b); }, {12, -12, -0.75, 8});
    check("div", [&](FVector& t, const FVector& x) { t.div(x, b); }, {3, -0.75, -3, 8});
    check("add s", [](FVector& t, const FVector& x) { t.add(x, 2.0); }, {8, -1, 3.5, 10});
    check("sub s", [](FVector& t, const FVector& x) { t.sub(x, 2.0); }, {4, -5, -0.5, 6});
    check("mul s", [](FVector& t, const FVector& x) { t.mul(x, 2.0); }, {12, -6, 3, 16});
    check("div s", [](FVector& t, const FVector& x) { t.div(x, 2.0); }, {3, -1.5, 0.75, 4});
    check("scale", [](FVector& t, const FVector& x) { t.scale(-2.0, x); }, {-12, 6, -3, -16});

    FVector t(4);
    t.fill(1.0);
    t.mulAdd(0.5, b);
    t.mulAdd(2.0, a);
    EXPECT_EQ(values(t), (V{14, -3, 3.75, 17.5}));
    // The operators leave their operands and keep the left lower index.
    const FVector left = vec({1, 2}, 3);
    EXPECT_EQ((left + vec({10, 20})).lowerIndex(), 3);
    EXPECT_EQ(values(left), (V{1, 2}));
    EXPECT_EQ(values(a + b), (V{8, 1, 1, 9}));
    EXPECT_EQ(values(a - b), (V{4, -7, 2, 7}));
    EXPECT_EQ(values(a * b), (V{12, -12, -0.75, 8}));
    EXPECT_EQ(values(0.5 * a), (V{3, -1.5, 0.75, 4}));
    EXPECT_EQ(vec({1, 2, 3}).sum(), 6.0);
    EXPECT_EQ(vec({1, 2, 3}).dot(vec({4, 5, 6})), 32.0);
    EXPECT_EQ(vec({1, 2, 3}).dot(vec({0, 0, 4, 5, 6}), 2), 32.0);
    t.apply([](double x) { return x * x; }, vec({1, -2, 3, 4}));
    EXPECT_EQ(values(t), (V{1, 4, 9, 16}));
}

struct IndexCase {
    V v;
    int lower;
    int minIndex, maxIndex, minAbsIndex, maxAbsIndex;
};

class FVectorIndex : public ::testing::TestWithParam<IndexCase> {};

TEST_P(FVectorIndex, FirstOfTiesCountedFromLowerIndex) {
    const IndexCase& c = GetParam();
    const FVector v = vec(c.v, c.lower);
    EXPECT_EQ(v.minIndex(), c.minIndex);
    EXPECT_EQ(v.maxIndex(), c.maxIndex);
    EXPECT_EQ(v.minAbsIndex(), c.minAbsIndex);
    EXPECT_EQ(v.maxAbsIndex(), c.maxAbsIndex);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FVectorIndex,
    ::testing::Values(IndexCase{{1, 3, 3}, 0, 0, 1, 0, 1}, IndexCase{{2, 1, 1}, 0, 1, 0, 1, 0},
                      IndexCase{{2, 1, 1}, 5, 6, 5, 6, 5}, IndexCase{{-4, 2, 4, -1, 1}, 0, 0, 2, 3, 0},
                      IndexCase{{7}, -2, -2, -2, -2, -2}, IndexCase{{0, 0, 0}, 0, 0, 0, 0, 0}));

TEST(FVector, PushAndShiftFifos) {
    FVector v = vec({1, 2, 3});
    v.pushFront(0);
    EXPECT_EQ(values(v), (V{0, 1, 2}));
    v.pushBack(9);
    EXPECT_EQ(values(v), (V{1, 2, 9}));
    FVector one = vec({5});
    one.pushFront(6);
    EXPECT_EQ(one[0], 6.0);
    one.pushBack(7);
    EXPECT_EQ(one[0], 7.0);

    // {b, after shiftInBack, after shiftInFront} on {1, 2, 3, 4}
    const std::vector<std::array<V, 3>> shifts = {{V{}, V{1, 2, 3, 4}, V{1, 2, 3, 4}},
                                                  {V{8}, V{2, 3, 4, 8}, V{8, 1, 2, 3}},
                                                  {V{8, 9, 10}, V{4, 8, 9, 10}, V{8, 9, 10, 1}},
                                                  {V{5, 6, 7, 8}, V{5, 6, 7, 8}, V{5, 6, 7, 8}},
                                                  {V{5, 6, 7, 8, 9, 10}, V{7, 8, 9, 10}, V{5, 6, 7, 8}}};
    for (const auto& [b, back, front] : shifts) {
        FVector t = vec({1, 2, 3, 4}), u = vec({1, 2, 3, 4});
        t.shiftInBack(vec(b));
        u.shiftInFront(vec(b));
        EXPECT_EQ(values(t), back) << b.size();
        EXPECT_EQ(values(u), front) << b.size();
    }
}

TEST(FVector, StreamReadAndWrite) {
    FVector v(3);
    std::istringstream good("1.5 -2\n3e2 99");
    EXPECT_TRUE(v.read(good));
    EXPECT_EQ(values(v), (V{1.5, -2, 300}));
    std::istringstream bad("4 x 6");
    EXPECT_FALSE(v.read(bad));
    EXPECT_EQ(v[0], 4.0);
    std::istringstream shortStream("7 8");
    EXPECT_FALSE(v.read(shortStream));

    std::ostringstream out;
    vec({1, 2.5, -3}).write(out, ", ");
    EXPECT_EQ(out.str(), "1, 2.5, -3");
}

TEST(FVector, PrintsFieldsOf14FiveToALine) {
    for (const int n : {1, 4, 5, 6, 10, 12}) {
        FVector v(n);
        std::string expected;
        for (int i = 0; i < n; ++i) {
            v[i] = i + 0.5;
            std::ostringstream number;
            number << (i + 0.5);
            expected += field(number.str(), 14);
            if (i % 5 == 4 || i == n - 1) expected += '\n';
        }
        std::ostringstream out;
        v.print(out);
        EXPECT_EQ(out.str(), expected) << n;
    }
    std::ostringstream out;
    vec({1, -2.5, 1e-7, 123456789, 0, 6}).print(out);
    EXPECT_EQ(out.str(), "             1          -2.5         1e-07   1.23457e+08             0\n"
                         "             6\n");
}

// ---- FMatrix ----

FMatrix mat(int rows, int cols, V v) {
    return FMatrix(v.data(), rows, cols);
}

V values(const FMatrix& m) {
    V r;
    for (int i = 0; i < m.rowCount(); ++i)
        r.insert(r.end(), m[i].begin(), m[i].end());
    return r;
}

TEST(FMatrix, ConstructionForms) {
    const FMatrix z(2, 3);
    EXPECT_EQ(z.rowCount(), 2);
    EXPECT_EQ(z.columnCount(), 3);
    EXPECT_EQ(values(z), V(6, 0.0));
    EXPECT_EQ(FMatrix().columnCount(), 0);

    const FMatrix m = mat(2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(m[1][0], 4.0);
    const float f[] = {1, 2, 3, 4};
    EXPECT_EQ(values(FMatrix(f, 2, 2)), (V{1, 2, 3, 4}));
    const FMatrix fromVector(vec({1, 2, 3, 4, 5, 6}), 3, 2);
    EXPECT_EQ(fromVector[2][0], 5.0);
    EXPECT_EQ(fromVector.columnCount(), 2);
    EXPECT_EQ(values(FMatrix(fromVector, 1, 2)), (V{3, 4, 5, 6}));

    FMatrix copy(m);
    copy[0][0] = 9;
    EXPECT_EQ(m[0][0], 1.0);
    FMatrix assigned;
    assigned = m;
    EXPECT_FALSE(assigned != m);
    assigned[1][2] = 0;
    EXPECT_TRUE(assigned != m);
    EXPECT_TRUE(m != z);
    assigned.resize(1, 4);
    EXPECT_EQ(values(assigned), V(4, 0.0));
    assigned.copyValues(mat(1, 4, {1, 2, 3, 4}));
    EXPECT_EQ(values(assigned), (V{1, 2, 3, 4}));

    FMatrix t(3, 2);
    t.copyRange(mat(2, 2, {1, 2, 3, 4}), 0, -1, 1);
    EXPECT_EQ(values(t), (V{0, 0, 1, 2, 3, 4}));
    t.copyRange(t, 1, 2, 0);
    EXPECT_EQ(values(t), (V{1, 2, 3, 4, 3, 4}));
}

TEST(FMatrix, ElementWiseAndMulAdd) {
    const FMatrix a = mat(2, 2, {1, 2, 3, 4});
    const FMatrix b = mat(2, 2, {2, 2, 2, 8});
    FMatrix t(2, 2);
    t.add(a, b);
    EXPECT_EQ(values(t), (V{3, 4, 5, 12}));
    t.sub(a, b);
    EXPECT_EQ(values(t), (V{-1, 0, 1, -4}));
    t.mul(a, b);
    EXPECT_EQ(values(t), (V{2, 4, 6, 32}));
    t.div(a, b);
    EXPECT_EQ(values(t), (V{0.5, 1, 1.5, 0.5}));
    t.mulAdd(2.0, a);
    EXPECT_EQ(values(t), (V{2.5, 5, 7.5, 8.5}));
    t.scale(-1.0, a);
    EXPECT_EQ(values(t), (V{-1, -2, -3, -4}));
    t.fill(7);
    EXPECT_EQ(values(t), V(4, 7.0));
    FMatrix other(3, 2); // scale takes any shape of the same size
    other.scale(2.0, mat(2, 3, {1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(values(other), (V{2, 4, 6, 8, 10, 12}));
}

TEST(FMatrix, ProductAndTranspose) {
    const FMatrix a = mat(2, 3, {1, 2, 3, 4, 5, 6});
    const FMatrix b = mat(3, 2, {7, 8, 9, 10, 11, 12});
    FMatrix p(2, 2);
    p.product(a, b);
    EXPECT_EQ(values(p), (V{58, 64, 139, 154}));
    FMatrix sq = mat(2, 2, {1, 2, 3, 4});
    sq.product(sq, sq); // aliasing works on a copy
    EXPECT_EQ(values(sq), (V{7, 10, 15, 22}));

    FMatrix t(3, 2);
    t.transpose(a);
    EXPECT_EQ(values(t), (V{1, 4, 2, 5, 3, 6}));
    EXPECT_FALSE(a.transposed() != t);
    sq.transpose(sq);
    EXPECT_EQ(values(sq), (V{7, 15, 10, 22}));
}

TEST(FMatrix, ReductionsTrianglesFifosAndApply) {
    const FMatrix m = mat(3, 3, {1, -9, 3, 4, 5, 9, -2, 0.5, -9});
    EXPECT_EQ(values(m.columnSums()), (V{3, -3.5, 3}));
    EXPECT_EQ(m.minElement(), -9.0);
    EXPECT_EQ(m.maxElement(), 9.0);
    EXPECT_EQ(m.minAbsElement(), 0.5);
    EXPECT_EQ(m.maxAbsElement(), -9.0); // first of |-9|, |9|, |-9|
    EXPECT_EQ(values(m.upperTriangle()), (V{1, -9, 3, 5, 9, -9}));
    EXPECT_EQ(values(m.lowerTriangle()), (V{1, 4, 5, -2, 0.5, -9}));
    const FMatrix wide = mat(2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(values(wide.upperTriangle()), (V{1, 2, 3, 5, 6}));
    EXPECT_EQ(values(wide.lowerTriangle()), (V{1, 4, 5}));
    EXPECT_EQ(FMatrix().maxElement(), 0.0);

    FMatrix f = mat(3, 2, {1, 2, 3, 4, 5, 6});
    f.pushRowFront(vec({0, 0}));
    EXPECT_EQ(values(f), (V{0, 0, 1, 2, 3, 4}));
    f.pushRowBack(vec({9, 9}));
    EXPECT_EQ(values(f), (V{1, 2, 3, 4, 9, 9}));
    EXPECT_EQ(values(f.apply([](double x) { return x * x; })), (V{1, 4, 9, 16, 81, 81}));
}

TEST(FMatrixDeathTest, SizeMismatchEndsTheProgram) {
    const FMatrix a(2, 3), b(3, 2);
    FMatrix t(2, 3);
    EXPECT_DEATH(t.mulAdd(1.0, b), "^FMatrix::mulAdd called with different sizes\n");
    EXPECT_DEATH(t.add(a, b), "^FMatrix::add called with different sizes\n");
    EXPECT_DEATH(t.add(FMatrix(2, 2), a), "^FMatrix::add called with different sizes\n");
    EXPECT_DEATH(t.sub(b, a), "^FMatrix::sub called with different sizes\n");
    EXPECT_DEATH(t.mul(a, FMatrix(1, 3)), "^FMatrix::mul called with different sizes\n");
    EXPECT_DEATH(t.div(FMatrix(2, 4), a), "^FMatrix::div called with different sizes\n");
    EXPECT_DEATH(t.scale(2.0, FMatrix(2, 2)), "^FMatrix::mul called with different sizes\n");
    EXPECT_DEATH(FMatrix(2, 2).product(a, a), "^FMatrix::product called with different sizes\n");
    EXPECT_DEATH(t.transpose(a), "^FMatrix::transpose called with different sizes\n");
}

// ---- FMatrix files and streams ----

TEST(FMatrixFile, ShapeFromLinesAndWords) {
    struct F {
        std::string text;
        int rows, columns;
        V values;
    };
    test::TempDir dir;
    for (const F& c : {F{"1 2 3 4\n5 6 7 8\n9 10 11 12\n", 3, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
                       F{"1 2\r\n3 4\r\n", 2, 2, {1, 2, 3, 4}}, F{"1 2 3\n4 5 6", 2, 3, {1, 2, 3, 4, 5, 6}},
                       F{"\n1 2\n\n3 4\n\n\n", 2, 2, {1, 2, 3, 4}}, F{"1.5 2.5 3.5", 1, 3, {1.5, 2.5, 3.5}},
                       F{"1 2 3\n4\n5 6\n", 3, 2, {1, 2, 3, 4, 5, 6}}, // words in stream order
                       F{"1 2 3\n4 5\n", 2, 2, {1, 2, 3, 4}},          // the remainder is ignored
                       F{"", 1, 0, {}}}) {
        writeText(dir.file("m.txt"), c.text);
        FMatrix m(7, 7);
        ASSERT_TRUE(m.read(dir.file("m.txt"))) << c.text;
        EXPECT_EQ(m.rowCount(), c.rows) << c.text;
        EXPECT_EQ(m.columnCount(), c.columns) << c.text;
        EXPECT_EQ(values(m), c.values) << c.text;
    }
}

TEST(FMatrixFileErrors, MissingBadAndTruncatedFiles) {
    test::TempDir dir;
    FMatrix m;
    EXPECT_FALSE(m.read(dir.file("missing.txt")));
    writeText(dir.file("bad.txt"), "1 2\n3 four\n");
    EXPECT_FALSE(m.read(dir.file("bad.txt")));

    const std::string text = "1.5 -2e3 3\n4 5 6.25\n7 8 9\n";
    for (std::size_t n = 0; n <= text.size(); ++n) {
        writeText(dir.file("t.txt"), text.substr(0, n));
        FMatrix t;
        const bool ok = t.read(dir.file("t.txt"));
        EXPECT_GE(t.rowCount(), 1) << n;
        for (int r = 0; ok && r < t.rowCount(); ++r)
            EXPECT_EQ(t[r].length(), t.columnCount()) << n;
    }
}

TEST(FMatrix, WriteReadsBackAndReportsFailure) {
    const FMatrix m = mat(2, 3, {1, 2, 3, 4, 5.5, 6});
    std::ostringstream out;
    EXPECT_TRUE(m.write(out, "\t", ";\n"));
    EXPECT_EQ(out.str(), "1\t2\t3;\n4\t5.5\t6");
    std::ostringstream failed;
    failed.setstate(std::ios::badbit);
    EXPECT_FALSE(m.write(failed));

    const FMatrix big = mat(3, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0.125});
    test::TempDir dir;
    std::ostringstream text;
    ASSERT_TRUE(big.write(text));
    writeText(dir.file("m.txt"), text.str() + "\n");
    FMatrix back;
    ASSERT_TRUE(back.read(dir.file("m.txt")));
    EXPECT_FALSE(back != big);
}

TEST(FMatrix, PrintRowNumbersAndFieldsOf16) {
    FMatrix m(2, 7);
    std::string expected;
    for (int r = 0; r < 2; ++r) {
        expected += field(std::to_string(r), 4);
        for (int c = 0; c < 7; ++c) {
            m[r][c] = r == 1 ? -(c + 1) : c + 1;
            expected += field((r == 1 ? "-" : "") + std::to_string(c + 1), 16);
            if (c == 4) expected += "\n      ";
        }
        expected += "\n";
    }
    std::ostringstream out;
    m.print(out);
    EXPECT_EQ(out.str(), expected);

    std::ostringstream five;
    mat(1, 5, {1, 2, 3, 4, 5}).print(five);
    EXPECT_EQ(five.str(), "   0" + field("1", 16) + field("2", 16) + field("3", 16) + field("4", 16) +
                              field("5", 16) + "\n      \n");
}

} // namespace
} // namespace harlox
