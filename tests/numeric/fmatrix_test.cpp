#include "numeric/fmatrix.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace harlox {
namespace {

FVector vec(std::vector<double> v, int lower = 0) {
    FVector r(static_cast<int>(v.size()), lower);
    for (std::size_t i = 0; i < v.size(); ++i)
        r[lower + static_cast<int>(i)] = v[i];
    return r;
}

std::vector<double> values(const FVector& v) {
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

// ---- construction and assignment ----

TEST(FVector, EmptyVectorHasNoStorageAndOperationsDoNothing) {
    FVector e;
    FVector z(0, 3);
    EXPECT_EQ(e.length(), 0);
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
    FVector negative(-4);
    EXPECT_EQ(negative.length(), 0);
}

TEST(FVector, ConstructedZeroedAndIndexedFromLowerIndex) {
    FVector v(4, 5);
    EXPECT_EQ(v.lowerIndex(), 5);
    EXPECT_EQ(v.upperIndex(), 8);
    EXPECT_EQ(values(v), (std::vector<double>{0, 0, 0, 0}));
    v[5] = 1.5;
    v[8] = 2.5;
    EXPECT_EQ(v.data()[0], 1.5);
    EXPECT_EQ(v.data()[3], 2.5);
}

TEST(FVector, CopyIsDeepAndKeepsLowerIndex) {
    FVector a = vec({1, 2, 3}, 2);
    FVector b(a);
    a[2] = 9;
    EXPECT_EQ(b.lowerIndex(), 2);
    EXPECT_EQ(values(b), (std::vector<double>{1, 2, 3}));
    EXPECT_NE(a.data(), b.data());
}

TEST(FVector, AssignmentTakesSizeAndLowerIndex) {
    FVector source = vec({7, 8}, 5);
    FVector target(6);
    target = source;
    EXPECT_EQ(target.lowerIndex(), 5);
    EXPECT_EQ(target.length(), 2);
    EXPECT_EQ(target[5], 7.0);
    EXPECT_EQ(target[6], 8.0);
    FVector same(2);
    same = source; // equal length reuses the storage
    EXPECT_EQ(same.lowerIndex(), 5);
    EXPECT_EQ(same[6], 8.0);
    target = target;
    EXPECT_EQ(target[6], 8.0);
    FVector moved = std::move(source);
    EXPECT_EQ(moved.lowerIndex(), 5);
    EXPECT_EQ(moved[6], 8.0);
}

TEST(FVector, ConstructFromRangeAndArrays) {
    FVector src = vec({0, 1, 2, 3, 4, 5});
    FVector part(src, 2, 3, 1);
    EXPECT_EQ(part.lowerIndex(), 1);
    EXPECT_EQ(values(part), (std::vector<double>{2, 3, 4}));

    const double d[] = {1.25, -2.5};
    const float f[] = {0.5f, 3.0f, -1.0f};
    EXPECT_EQ(values(FVector(d, 2)), (std::vector<double>{1.25, -2.5}));
    EXPECT_EQ(values(FVector(f, 3)), (std::vector<double>{0.5, 3.0, -1.0}));
}

TEST(FVector, ResizeDropsValues) {
    FVector v = vec({1, 2, 3});
    v.resize(2, 4);
    EXPECT_EQ(v.lowerIndex(), 4);
    EXPECT_EQ(values(v), (std::vector<double>{0, 0}));
}

TEST(FVector, CopyValuesKeepsOwnShape) {
    FVector v(3, 1);
    v.copyValues(vec({4, 5, 6, 7}));
    EXPECT_EQ(v.lowerIndex(), 1);
    EXPECT_EQ(values(v), (std::vector<double>{4, 5, 6}));
}

TEST(FVector, CopyRange) {
    FVector t(5);
    t.copyRange(vec({1, 2, 3, 4}), 1, 2, 0);
    EXPECT_EQ(values(t), (std::vector<double>{2, 3, 0, 0, 0}));
    t.copyRange(vec({1, 2, 3, 4}), 0, -1, 2); // to the end of the target
    EXPECT_EQ(values(t), (std::vector<double>{2, 3, 1, 2, 3}));
    FVector s = vec({1, 2, 3, 4, 5});
    s.copyRange(s, 0, 3, 2); // overlapping, towards the end
    EXPECT_EQ(values(s), (std::vector<double>{1, 2, 1, 2, 3}));
    s.copyRange(s, 2, 3, 0); // overlapping, towards the front
    EXPECT_EQ(values(s), (std::vector<double>{1, 2, 3, 2, 3}));
}

TEST(FVector, Inequality) {
    EXPECT_FALSE(vec({1, 2}) != vec({1, 2}));
    EXPECT_TRUE(vec({1, 2}) != vec({1, 2, 3}));
    EXPECT_TRUE(vec({1, 2}) != vec({1, 2.0000001}));
    EXPECT_TRUE(vec({NAN}) != vec({NAN}));
    EXPECT_FALSE(FVector() != FVector(0, 3));
    EXPECT_TRUE(vec({1, 2}) == vec({1, 2}));
}

// ---- element-wise arithmetic ----

struct FBinaryCase {
    const char* name;
    std::function<void(FVector&, const FVector&, const FVector&)> op;
    std::vector<double> expected;
    bool writesIntoTarget = true; // false for the forms that return a new vector
};

void PrintTo(const FBinaryCase& c, std::ostream* os) {
    *os << c.name;
}

class FVectorBinary : public ::testing::TestWithParam<FBinaryCase> {};

TEST_P(FVectorBinary, IntoFreshTargetAndInPlace) {
    const FBinaryCase& c = GetParam();
    const FVector a = vec({6, -3, 1.5, 8});
    const FVector b = vec({2, 4, -0.5, 1});
    FVector t(4);
    c.op(t, a, b);
    EXPECT_EQ(values(t), c.expected);
    if (!c.writesIntoTarget) return;
    FVector self = a; // the target may be an operand
    c.op(self, self, b);
    EXPECT_EQ(values(self), c.expected);
    FVector shortTarget(2); // the loop runs over the target's length
    c.op(shortTarget, a, b);
    EXPECT_EQ(values(shortTarget), std::vector<double>(c.expected.begin(), c.expected.begin() + 2));
}

INSTANTIATE_TEST_SUITE_P(
    Ops, FVectorBinary,
    ::testing::Values(
        FBinaryCase{"add", [](FVector& t, const FVector& a, const FVector& b) { t.add(a, b); }, {8, 1, 1, 9}},
        FBinaryCase{
            "sub", [](FVector& t, const FVector& a, const FVector& b) { t.sub(a, b); }, {4, -7, 2, 7}},
        FBinaryCase{
            "mul", [](FVector& t, const FVector& a, const FVector& b) { t.mul(a, b); }, {12, -12, -0.75, 8}},
        FBinaryCase{
            "div", [](FVector& t, const FVector& a, const FVector& b) { t.div(a, b); }, {3, -0.75, -3, 8}},
        FBinaryCase{"addScalar",
                    [](FVector& t, const FVector& a, const FVector&) { t.add(a, 2.0); },
                    {8, -1, 3.5, 10}},
        FBinaryCase{"subScalar",
                    [](FVector& t, const FVector& a, const FVector&) { t.sub(a, 2.0); },
                    {4, -5, -0.5, 6}},
        FBinaryCase{"mulScalar",
                    [](FVector& t, const FVector& a, const FVector&) { t.mul(a, 2.0); },
                    {12, -6, 3, 16}},
        FBinaryCase{"divScalar",
                    [](FVector& t, const FVector& a, const FVector&) { t.div(a, 2.0); },
                    {3, -1.5, 0.75, 4}},
        FBinaryCase{"scale",
                    [](FVector& t, const FVector& a, const FVector&) { t.scale(-2.0, a); },
                    {-12, 6, -3, -16}},
        FBinaryCase{"mulAdd",
                    [](FVector& t, const FVector& a, const FVector& b) {
                        t.fill(1.0);
                        t.mulAdd(0.5, b);
                        t.mulAdd(2.0, a);
                    },
                    {14, -3, 3.75, 17.5},
                    false},
        FBinaryCase{
            "plus", [](FVector& t, const FVector& a, const FVector& b) { t = a + b; }, {8, 1, 1, 9}, false},
        FBinaryCase{
            "minus", [](FVector& t, const FVector& a, const FVector& b) { t = a - b; }, {4, -7, 2, 7}, false},
        FBinaryCase{"times",
                    [](FVector& t, const FVector& a, const FVector& b) { t = a * b; },
                    {12, -12, -0.75, 8},
                    false},
        FBinaryCase{"scalarTimes",
                    [](FVector& t, const FVector& a, const FVector&) { t = 0.5 * a; },
                    {3, -1.5, 0.75, 4},
                    false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FVector, OperatorsLeaveOperandsAndKeepLeftLowerIndex) {
    const FVector a = vec({1, 2}, 3);
    const FVector b = vec({10, 20});
    const FVector s = a + b;
    EXPECT_EQ(s.lowerIndex(), 3);
    EXPECT_EQ(values(a), (std::vector<double>{1, 2}));
    EXPECT_EQ(values(s), (std::vector<double>{11, 22}));
}

TEST(FVector, SumAndDotWithOffset) {
    const FVector a = vec({1, 2, 3});
    EXPECT_EQ(a.sum(), 6.0);
    EXPECT_EQ(a.dot(vec({4, 5, 6})), 32.0);
    EXPECT_EQ(a.dot(vec({0, 0, 4, 5, 6}), 2), 32.0);
}

struct IndexCase {
    std::vector<double> v;
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

TEST(FVector, Apply) {
    FVector t(3);
    t.apply([](double x) { return x * x; }, vec({1, -2, 3}));
    EXPECT_EQ(values(t), (std::vector<double>{1, 4, 9}));
    t.apply(static_cast<double (*)(double)>(std::sqrt), t);
    EXPECT_EQ(values(t), (std::vector<double>{1, 2, 3}));
}

TEST(FVector, PushFrontAndBack) {
    FVector v = vec({1, 2, 3});
    v.pushFront(0);
    EXPECT_EQ(values(v), (std::vector<double>{0, 1, 2}));
    v.pushBack(9);
    EXPECT_EQ(values(v), (std::vector<double>{1, 2, 9}));
    FVector one = vec({5});
    one.pushFront(6);
    EXPECT_EQ(one[0], 6.0);
    one.pushBack(7);
    EXPECT_EQ(one[0], 7.0);
}

struct ShiftCase {
    std::vector<double> b;
    std::vector<double> back;
    std::vector<double> front;
};

class FVectorShift : public ::testing::TestWithParam<ShiftCase> {};

TEST_P(FVectorShift, InAtBackAndFront) {
    const ShiftCase& c = GetParam();
    FVector t = vec({1, 2, 3, 4});
    t.shiftInBack(vec(c.b));
    EXPECT_EQ(values(t), c.back);
    FVector u = vec({1, 2, 3, 4});
    u.shiftInFront(vec(c.b));
    EXPECT_EQ(values(u), c.front);
}

INSTANTIATE_TEST_SUITE_P(Table, FVectorShift,
                         ::testing::Values(ShiftCase{{}, {1, 2, 3, 4}, {1, 2, 3, 4}},
                                           ShiftCase{{8}, {2, 3, 4, 8}, {8, 1, 2, 3}},
                                           ShiftCase{{8, 9, 10}, {4, 8, 9, 10}, {8, 9, 10, 1}},
                                           ShiftCase{{5, 6, 7, 8}, {5, 6, 7, 8}, {5, 6, 7, 8}},
                                           ShiftCase{{5, 6, 7, 8, 9, 10}, {7, 8, 9, 10}, {5, 6, 7, 8}}));

// ---- streams ----

TEST(FVector, ReadFillsExistingElementsAndReportsFailure) {
    FVector v(3);
    std::istringstream good("1.5 -2\n3e2 99");
    EXPECT_TRUE(v.read(good));
    EXPECT_EQ(values(v), (std::vector<double>{1.5, -2, 300}));
    std::istringstream bad("4 x 6");
    EXPECT_FALSE(v.read(bad));
    EXPECT_EQ(v[0], 4.0);
    std::istringstream shortStream("7 8");
    EXPECT_FALSE(v.read(shortStream));
}

TEST(FVector, WriteSeparatesElements) {
    std::ostringstream out;
    vec({1, 2.5, -3}).write(out, ", ");
    EXPECT_EQ(out.str(), "1, 2.5, -3");
    std::ostringstream single;
    vec({4}).write(single, ";");
    EXPECT_EQ(single.str(), "4");
}

class FVectorPrint : public ::testing::TestWithParam<int> {};

TEST_P(FVectorPrint, FieldsOf14FiveToALine) {
    const int n = GetParam();
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
    EXPECT_EQ(out.str(), expected);
}

INSTANTIATE_TEST_SUITE_P(Lengths, FVectorPrint, ::testing::Values(0, 1, 4, 5, 6, 10, 12));

TEST(FVector, PrintLiteral) {
    std::ostringstream out;
    vec({1, -2.5, 1e-7, 123456789, 0, 6}).print(out);
    EXPECT_EQ(out.str(), "             1          -2.5         1e-07   1.23457e+08             0\n"
                         "             6\n");
}

// ---- FMatrix ----

FMatrix mat(int rows, int cols, std::vector<double> v) {
    return FMatrix(v.data(), rows, cols);
}

std::vector<double> values(const FMatrix& m) {
    std::vector<double> r;
    for (int i = 0; i < m.rowCount(); ++i)
        r.insert(r.end(), m[i].begin(), m[i].end());
    return r;
}

TEST(FMatrix, ConstructionForms) {
    FMatrix z(2, 3);
    EXPECT_EQ(z.rowCount(), 2);
    EXPECT_EQ(z.columnCount(), 3);
    EXPECT_EQ(values(z), std::vector<double>(6, 0.0));
    EXPECT_EQ(FMatrix().columnCount(), 0);

    const FMatrix m = mat(2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(m[1][0], 4.0);
    const float f[] = {1, 2, 3, 4};
    EXPECT_EQ(values(FMatrix(f, 2, 2)), (std::vector<double>{1, 2, 3, 4}));
    const FMatrix fromVector(vec({1, 2, 3, 4, 5, 6}), 3, 2);
    EXPECT_EQ(fromVector[2][0], 5.0);
    EXPECT_EQ(fromVector.columnCount(), 2);
    const FMatrix run(fromVector, 1, 2);
    EXPECT_EQ(values(run), (std::vector<double>{3, 4, 5, 6}));

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
    EXPECT_EQ(values(assigned), std::vector<double>(4, 0.0));
    assigned.copyValues(mat(1, 4, {1, 2, 3, 4}));
    EXPECT_EQ(values(assigned), (std::vector<double>{1, 2, 3, 4}));
}

TEST(FMatrix, CopyRangeOfRows) {
    FMatrix t(3, 2);
    t.copyRange(mat(2, 2, {1, 2, 3, 4}), 0, -1, 1);
    EXPECT_EQ(values(t), (std::vector<double>{0, 0, 1, 2, 3, 4}));
    t.copyRange(t, 1, 2, 0);
    EXPECT_EQ(values(t), (std::vector<double>{1, 2, 3, 4, 3, 4}));
}

TEST(FMatrix, ElementWiseAndMulAdd) {
    const FMatrix a = mat(2, 2, {1, 2, 3, 4});
    const FMatrix b = mat(2, 2, {2, 2, 2, 8});
    FMatrix t(2, 2);
    t.add(a, b);
    EXPECT_EQ(values(t), (std::vector<double>{3, 4, 5, 12}));
    t.sub(a, b);
    EXPECT_EQ(values(t), (std::vector<double>{-1, 0, 1, -4}));
    t.mul(a, b);
    EXPECT_EQ(values(t), (std::vector<double>{2, 4, 6, 32}));
    t.div(a, b);
    EXPECT_EQ(values(t), (std::vector<double>{0.5, 1, 1.5, 0.5}));
    t.mulAdd(2.0, a);
    EXPECT_EQ(values(t), (std::vector<double>{2.5, 5, 7.5, 8.5}));
    t.scale(-1.0, a);
    EXPECT_EQ(values(t), (std::vector<double>{-1, -2, -3, -4}));
    t.fill(7);
    EXPECT_EQ(values(t), std::vector<double>(4, 7.0));
}

TEST(FMatrix, ScaleAcceptsAnyShapeOfTheSameSize) {
    FMatrix t(3, 2);
    t.scale(2.0, mat(2, 3, {1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(values(t), (std::vector<double>{2, 4, 6, 8, 10, 12}));
}

TEST(FMatrix, ProductAndTranspose) {
    const FMatrix a = mat(2, 3, {1, 2, 3, 4, 5, 6});
    const FMatrix b = mat(3, 2, {7, 8, 9, 10, 11, 12});
    FMatrix p(2, 2);
    p.product(a, b);
    EXPECT_EQ(values(p), (std::vector<double>{58, 64, 139, 154}));
    FMatrix sq = mat(2, 2, {1, 2, 3, 4});
    sq.product(sq, sq); // aliasing works on a copy
    EXPECT_EQ(values(sq), (std::vector<double>{7, 10, 15, 22}));

    FMatrix t(3, 2);
    t.transpose(a);
    EXPECT_EQ(values(t), (std::vector<double>{1, 4, 2, 5, 3, 6}));
    EXPECT_FALSE(a.transposed() != t);
    sq.transpose(sq);
    EXPECT_EQ(values(sq), (std::vector<double>{7, 15, 10, 22}));
}

TEST(FMatrix, ReductionsAndTriangles) {
    const FMatrix m = mat(3, 3, {1, -9, 3, 4, 5, 9, -2, 0.5, -9});
    EXPECT_EQ(values(m.columnSums()), (std::vector<double>{3, -3.5, 3}));
    EXPECT_EQ(m.minElement(), -9.0);
    EXPECT_EQ(m.maxElement(), 9.0);
    EXPECT_EQ(m.minAbsElement(), 0.5);
    EXPECT_EQ(m.maxAbsElement(), -9.0); // first of |-9|, |9|, |-9|
    EXPECT_EQ(values(m.upperTriangle()), (std::vector<double>{1, -9, 3, 5, 9, -9}));
    EXPECT_EQ(values(m.lowerTriangle()), (std::vector<double>{1, 4, 5, -2, 0.5, -9}));
    const FMatrix wide = mat(2, 3, {1, 2, 3, 4, 5, 6});
    EXPECT_EQ(values(wide.upperTriangle()), (std::vector<double>{1, 2, 3, 5, 6}));
    EXPECT_EQ(values(wide.lowerTriangle()), (std::vector<double>{1, 4, 5}));
    EXPECT_EQ(FMatrix().maxElement(), 0.0);
}

TEST(FMatrix, RowFifosAndApply) {
    FMatrix m = mat(3, 2, {1, 2, 3, 4, 5, 6});
    m.pushRowFront(vec({0, 0}));
    EXPECT_EQ(values(m), (std::vector<double>{0, 0, 1, 2, 3, 4}));
    m.pushRowBack(vec({9, 9}));
    EXPECT_EQ(values(m), (std::vector<double>{1, 2, 3, 4, 9, 9}));
    const FMatrix sq = m.apply([](double x) { return x * x; });
    EXPECT_EQ(values(sq), (std::vector<double>{1, 4, 9, 16, 81, 81}));
}

struct FatalCase {
    const char* name;
    std::function<void()> call;
    const char* message;
};

void PrintTo(const FatalCase& c, std::ostream* os) {
    *os << c.name;
}

class FMatrixDeathTest : public ::testing::TestWithParam<FatalCase> {};

TEST_P(FMatrixDeathTest, SizeMismatchEndsTheProgram) {
    EXPECT_DEATH(GetParam().call(), GetParam().message);
}

FMatrix m23() {
    return FMatrix(2, 3);
}
FMatrix m32() {
    return FMatrix(3, 2);
}

INSTANTIATE_TEST_SUITE_P(Messages, FMatrixDeathTest,
                         ::testing::Values(FatalCase{"mulAdd", [] { m23().mulAdd(1.0, m32()); },
                                                     "^FMatrix::mulAdd called with different sizes\n"},
                                           FatalCase{"add", [] { m23().add(m23(), m32()); },
                                                     "^FMatrix::add called with different sizes\n"},
                                           FatalCase{"addFirst", [] { m23().add(FMatrix(2, 2), m23()); },
                                                     "^FMatrix::add called with different sizes\n"},
                                           FatalCase{"sub", [] { m23().sub(m32(), m23()); },
                                                     "^FMatrix::sub called with different sizes\n"},
                                           FatalCase{"mul", [] { m23().mul(m23(), FMatrix(1, 3)); },
                                                     "^FMatrix::mul called with different sizes\n"},
                                           FatalCase{"div", [] { m23().div(FMatrix(2, 4), m23()); },
                                                     "^FMatrix::div called with different sizes\n"},
                                           FatalCase{"scale", [] { m23().scale(2.0, FMatrix(2, 2)); },
                                                     "^FMatrix::mul called with different sizes\n"},
                                           FatalCase{"product", [] { FMatrix(2, 2).product(m23(), m23()); },
                                                     "^FMatrix::product called with different sizes\n"},
                                           FatalCase{"transpose", [] { m23().transpose(m23()); },
                                                     "^FMatrix::transpose called with different sizes\n"}),
                         [](const auto& info) { return std::string(info.param.name); });

// ---- FMatrix files and streams ----

struct FileCase {
    const char* name;
    std::string text;
    int rows, columns;
    std::vector<double> values;
};

void PrintTo(const FileCase& c, std::ostream* os) {
    *os << c.name;
}

class FMatrixFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(FMatrixFile, ShapeFromLinesAndWords) {
    const FileCase& c = GetParam();
    test::TempDir dir;
    writeText(dir.file("m.txt"), c.text);
    FMatrix m(7, 7);
    ASSERT_TRUE(m.read(dir.file("m.txt")));
    EXPECT_EQ(m.rowCount(), c.rows);
    EXPECT_EQ(m.columnCount(), c.columns);
    EXPECT_EQ(values(m), c.values);
}

INSTANTIATE_TEST_SUITE_P(
    Files, FMatrixFile,
    ::testing::Values(
        FileCase{
            "threeLines", "1 2 3 4\n5 6 7 8\n9 10 11 12\n", 3, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        FileCase{"crlf", "1 2\r\n3 4\r\n", 2, 2, {1, 2, 3, 4}},
        FileCase{"lastLineUnterminated", "1 2 3\n4 5 6", 2, 3, {1, 2, 3, 4, 5, 6}},
        FileCase{"blankLinesIgnored", "\n1 2\n\n3 4\n\n\n", 2, 2, {1, 2, 3, 4}},
        FileCase{"oneLine", "1.5 2.5 3.5", 1, 3, {1.5, 2.5, 3.5}},
        FileCase{"wordsReadInStreamOrder", "1 2 3\n4\n5 6\n", 3, 2, {1, 2, 3, 4, 5, 6}},
        FileCase{"remainderIgnored", "1 2 3\n4 5\n", 2, 2, {1, 2, 3, 4}}, FileCase{"empty", "", 1, 0, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FMatrixFileErrors, MissingFileAndBadWords) {
    test::TempDir dir;
    FMatrix m;
    EXPECT_FALSE(m.read(dir.file("missing.txt")));
    writeText(dir.file("bad.txt"), "1 2\n3 four\n");
    EXPECT_FALSE(m.read(dir.file("bad.txt")));
}

TEST(FMatrixFileErrors, EveryTruncationReadsSafely) {
    const std::string text = "1.5 -2e3 3\n4 5 6.25\n7 8 9\n";
    test::TempDir dir;
    for (std::size_t n = 0; n <= text.size(); ++n) {
        writeText(dir.file("t.txt"), text.substr(0, n));
        FMatrix m;
        const bool ok = m.read(dir.file("t.txt"));
        EXPECT_GE(m.rowCount(), 1) << n;
        if (ok) {
            for (int r = 0; r < m.rowCount(); ++r)
                EXPECT_EQ(m[r].length(), m.columnCount()) << n;
        }
    }
}

TEST(FMatrix, WriteUsesBothSeparatorsAndReportsFailure) {
    const FMatrix m = mat(2, 3, {1, 2, 3, 4, 5.5, 6});
    std::ostringstream out;
    EXPECT_TRUE(m.write(out, "\t", ";\n"));
    EXPECT_EQ(out.str(), "1\t2\t3;\n4\t5.5\t6");
    std::ostringstream failed;
    failed.setstate(std::ios::badbit);
    EXPECT_FALSE(m.write(failed));
}

TEST(FMatrix, WrittenFileReadsBack) {
    const FMatrix m = mat(3, 4, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0.125});
    test::TempDir dir;
    std::ostringstream out;
    ASSERT_TRUE(m.write(out));
    writeText(dir.file("m.txt"), out.str() + "\n");
    FMatrix back;
    ASSERT_TRUE(back.read(dir.file("m.txt")));
    EXPECT_FALSE(back != m);
}

TEST(FMatrix, PrintRowNumbersAndFieldsOf16) {
    FMatrix m(2, 7);
    for (int c = 0; c < 7; ++c) {
        m[0][c] = c + 1;
        m[1][c] = -(c + 1);
    }
    std::string expected;
    for (int r = 0; r < 2; ++r) {
        expected += field(std::to_string(r), 4);
        for (int c = 0; c < 7; ++c) {
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
