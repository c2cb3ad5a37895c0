#include "numeric/cmatrix.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <complex>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

// CMatrix shares its generic row logic with FMatrix (tested there); these tests cover what
// is complex: the arithmetic, magnitudes, parallel impedances and the complex text format.
namespace harlox {
namespace {

using C = Complex;
using V = std::vector<C>;

CVector cvec(V v, int lower = 0) {
    CVector r(static_cast<int>(v.size()), lower);
    std::copy(v.begin(), v.end(), r.begin());
    return r;
}

FVector fvec(std::vector<double> v) {
    return FVector(v.data(), static_cast<int>(v.size()));
}

V values(const CVector& v) {
    return {v.begin(), v.end()};
}

TEST(CVector, ComplexArithmeticAndParallelImpedances) {
    const CVector a = cvec({{1, 2}, {3, -1}});
    const CVector b = cvec({{0, 1}, {2, 2}});
    CVector t(2);
    t.mul(a, b);
    EXPECT_EQ(values(t), (V{{-2, 1}, {8, 4}}));
    t.div(t, b);
    EXPECT_EQ(values(t), values(a));
    EXPECT_EQ(cvec({{1, 1}}).dot(cvec({{1, 1}})), C(0, 2)); // no conjugation
    EXPECT_EQ(values(CVector(fvec({1, 2}), fvec({-1, 0.5}))), (V{{1, -1}, {2, 0.5}}));

    CVector p(3);
    p.parallel(C(8, 0), cvec({{24, 0}, {0, 8}, {8, 0}}));
    EXPECT_NEAR(std::abs(p[0] - C(6, 0)), 0.0, 1e-14);
    EXPECT_NEAR(std::abs(p[1] - C(4, 4)), 0.0, 1e-14);
    // A short circuit in one branch is not trapped; the other points are unaffected.
    p.parallel(cvec({{0, 0}, {4, 0}, {6, 3}}), cvec({{4, 0}, {4, 0}, {6, 3}}));
    EXPECT_NEAR(std::abs(p[1] - C(2, 0)), 0.0, 1e-15);
    EXPECT_NEAR(std::abs(p[2] - C(3, 1.5)), 0.0, 1e-14);
}

TEST(CMatrix, ComplexProductWithoutConjugation) {
    const CMatrix a(cvec({{1, 0}, {0, 1}, {2, 2}, {3, 0}}), 2, 2);
    CMatrix p(2, 2);
    p.product(a, a);
    EXPECT_TRUE(p == CMatrix(cvec({{-1, 2}, {0, 4}, {8, 8}, {7, 2}}), 2, 2));
    EXPECT_TRUE(a.transposed() == CMatrix(cvec({{1, 0}, {2, 2}, {0, 1}, {3, 0}}), 2, 2));
}

TEST(CMatrixDeathTest, SizeMismatchEndsTheProgram) {
    const CMatrix a(2, 3), b(3, 2);
    CMatrix t(2, 3);
    // The checks are FMatrix's (every operation tested there); these show the class name.
    const std::vector<std::pair<const char*, std::function<void()>>> cases = {
        {"add", [&] { t.add(a, b); }},
        {"product", [&] { t.product(a, a); }},
    };
    for (const auto& [name, call] : cases)
        EXPECT_DEATH(call(), std::string("^CMatrix::") + name + " called with different sizes\n");
    EXPECT_DEATH(CVector(fvec({1, 2}), fvec({1, 2, 3})),
                 "^CVector::CVector\\(const FVector& re, const FVector& im\\), Input vectors have different "
                 "sizes!\n");
}

// A malformed value is reported, never fatal.
TEST(CMatrix, StreamsAndFilesInComplexNotation) {
    CVector v(3);
    std::istringstream in("(1,2) (3.5,-4)\n7"), bad("(1,2) (3;4) (5,6)");
    EXPECT_TRUE(v.read(in));
    EXPECT_EQ(values(v), (V{{1, 2}, {3.5, -4}, {7, 0}}));
    EXPECT_FALSE(v.read(bad));

    test::TempDir dir;
    std::ofstream(dir.file("c.txt"), std::ios::binary) << "(1,2) (3,4) (5,6)\n(7,8) (9,10) (11,12)";
    CMatrix m;
    ASSERT_TRUE(m.read(dir.file("c.txt")));
    EXPECT_EQ((std::pair{m.rowCount(), m.columnCount()}), (std::pair{2, 3}));
    EXPECT_EQ(m[1][2], C(11, 12));
    std::ofstream(dir.file("bad.txt"), std::ios::binary) << "(1,2) (3,4\n";
    EXPECT_FALSE(m.read(dir.file("bad.txt")));
    std::ostringstream out;
    out.setstate(std::ios::badbit);
    EXPECT_FALSE(m.write(out));
}

} // namespace
} // namespace harlox
