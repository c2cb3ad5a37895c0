#include "numeric/cmatrix.h"

#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <sstream>
#include <string>
#include <vector>

namespace harlox {
namespace {

using C = Complex;

CVector cvec(std::vector<C> v, int lower = 0) {
    CVector r(static_cast<int>(v.size()), lower);
    for (std::size_t i = 0; i < v.size(); ++i)
        r[lower + static_cast<int>(i)] = v[i];
    return r;
}

FVector fvec(std::vector<double> v) {
    return FVector(v.data(), static_cast<int>(v.size()));
}

std::vector<C> values(const CVector& v) {
    return {v.begin(), v.end()};
}

std::vector<C> values(const CMatrix& m) {
    std::vector<C> r;
    for (int i = 0; i < m.rowCount(); ++i)
        r.insert(r.end(), m[i].begin(), m[i].end());
    return r;
}

CMatrix cmat(int rows, int cols, std::vector<C> v) {
    return CMatrix(cvec(std::move(v)), rows, cols);
}

std::string field(const std::string& text, int width) {
    return std::string(static_cast<std::size_t>(std::max(0, width - static_cast<int>(text.size()))), ' ') +
           text;
}

TEST(CVector, EmptyVectorHasNoStorage) {
    CVector e;
    EXPECT_EQ(e.data(), nullptr);
    EXPECT_EQ(e.sum(), C(0, 0));
    e.invert();
    e.parallel(e, e);
    e.fill(C(1, 1));
    e.pushBack(C(1, 0));
    EXPECT_EQ(e.maxAbsIndex(), -1);
    std::ostringstream out;
    e.print(out);
    EXPECT_EQ(out.str(), "");
}

TEST(CVector, CopyAssignAndRanges) {
    const CVector src = cvec({{1, 1}, {2, 2}, {3, 3}}, 5);
    CVector copy(src);
    EXPECT_EQ(copy.lowerIndex(), 5);
    CVector assigned(1);
    assigned = src;
    EXPECT_EQ(assigned.lowerIndex(), 5);
    EXPECT_EQ(assigned[7], C(3, 3));
    EXPECT_FALSE(assigned != src);
    assigned[6] = C(2, 2.5);
    EXPECT_TRUE(assigned != src); // imaginary part alone differs
    assigned[6] = C(2.5, 2);
    EXPECT_TRUE(assigned != src);
    EXPECT_TRUE(src != cvec({{1, 1}, {2, 2}}));

    const CVector part(src, 6, 2);
    EXPECT_EQ(values(part), (std::vector<C>{{2, 2}, {3, 3}}));
    CVector t(4);
    t.copyRange(src, 5, -1, 1);
    EXPECT_EQ(values(t), (std::vector<C>{{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    t.copyValues(cvec({{9, 0}, {8, 0}, {7, 0}, {6, 0}, {5, 0}}));
    EXPECT_EQ(values(t), (std::vector<C>{{9, 0}, {8, 0}, {7, 0}, {6, 0}}));
    t.resize(2, 1);
    EXPECT_EQ(values(t), (std::vector<C>{{0, 0}, {0, 0}}));
    EXPECT_EQ(t.lowerIndex(), 1);

    const CVector z(fvec({1, 2, 3}), fvec({-1, 0, 0.5})); // from real and imaginary parts
    EXPECT_EQ(z.lowerIndex(), 0);
    EXPECT_EQ(values(z), (std::vector<C>{{1, -1}, {2, 0}, {3, 0.5}}));
    EXPECT_EQ(CVector(FVector(), FVector()).length(), 0);
}

TEST(CVector, ElementWiseArithmetic) {
    const CVector a = cvec({{1, 2}, {3, -1}});
    const CVector b = cvec({{0, 1}, {2, 2}});
    CVector t(2);
    t.add(a, b);
    EXPECT_EQ(values(t), (std::vector<C>{{1, 3}, {5, 1}}));
    t.sub(a, b);
    EXPECT_EQ(values(t), (std::vector<C>{{1, 1}, {1, -3}}));
    t.mul(a, b);
    EXPECT_EQ(values(t), (std::vector<C>{{-2, 1}, {8, 4}}));
    t.div(t, b);
    EXPECT_EQ(values(t), values(a));
    t.add(a, C(1, 1));
    EXPECT_EQ(values(t), (std::vector<C>{{2, 3}, {4, 0}}));
    t.sub(a, C(1, 1));
    EXPECT_EQ(values(t), (std::vector<C>{{0, 1}, {2, -2}}));
    t.mul(a, C(0, 1));
    EXPECT_EQ(values(t), (std::vector<C>{{-2, 1}, {1, 3}}));
    t.div(a, C(2, 0));
    EXPECT_EQ(values(t), (std::vector<C>{{0.5, 1}, {1.5, -0.5}}));
    t.scale(C(0, -1), a);
    EXPECT_EQ(values(t), (std::vector<C>{{2, -1}, {-1, -3}}));
    t.fill(C(1, 0));
    t.mulAdd(C(0, 1), a);
    EXPECT_EQ(values(t), (std::vector<C>{{-1, 1}, {2, 3}}));
    t.invert();
    EXPECT_NEAR(std::abs(t[0] - C(-0.5, -0.5)), 0.0, 1e-15);
    EXPECT_EQ(values(a + b), (std::vector<C>{{1, 3}, {5, 1}}));
    EXPECT_EQ(values(a - b), (std::vector<C>{{1, 1}, {1, -3}}));
    EXPECT_EQ(values(a * b), (std::vector<C>{{-2, 1}, {8, 4}}));
    EXPECT_EQ(values(C(2, 0) * a), (std::vector<C>{{2, 4}, {6, -2}}));
    EXPECT_EQ(a.sum(), C(4, 1));
    EXPECT_EQ(cvec({{1, 1}}).dot(cvec({{1, 1}})), C(0, 2)); // no conjugation
}

TEST(CVector, ParallelImpedances) {
    const CVector z = cvec({{8, 0}, {6, 3}, {0, -4}});
    CVector p(3);
    p.parallel(z, z);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(std::abs(p[i] - 0.5 * z[i]), 0.0, 1e-14) << i;
    p.parallel(C(8, 0), cvec({{8, 0}, {24, 0}, {8, 0}}));
    EXPECT_NEAR(std::abs(p[0] - C(4, 0)), 0.0, 1e-14);
    EXPECT_NEAR(std::abs(p[1] - C(6, 0)), 0.0, 1e-14);

    // A short circuit in one branch is not trapped; the other points are unaffected.
    CVector q(2);
    q.parallel(cvec({{0, 0}, {4, 0}}), cvec({{4, 0}, {4, 0}}));
    EXPECT_TRUE(std::abs(q[0]) == 0.0 || !std::isfinite(std::abs(q[0])));
    EXPECT_NEAR(std::abs(q[1] - C(2, 0)), 0.0, 1e-15);
}

TEST(CVector, MagnitudeIndicesAndApply) {
    const CVector m = cvec({{3, 4}, {0, 5}, {1, 0}, {-1, 0}, {5, 0}}, 2);
    EXPECT_EQ(m.maxAbsIndex(), 2); // first of ties
    EXPECT_EQ(m.minAbsIndex(), 4);
    const CVector v = cvec({{3, 4}, {0, -2}}, 1);
    const FVector mag = v.apply([](const C& z) { return std::abs(z); });
    EXPECT_EQ(mag.lowerIndex(), 1);
    EXPECT_EQ(mag[1], 5.0);
    EXPECT_EQ(mag[2], 2.0);
    const CVector conj = v.apply([](const C& z) { return std::conj(z); });
    EXPECT_EQ(values(conj), (std::vector<C>{{3, -4}, {0, 2}}));
}

TEST(CVector, FifosAndShifts) {
    CVector v = cvec({{1, 0}, {2, 0}, {3, 0}});
    v.pushFront(C(0, 1));
    EXPECT_EQ(values(v), (std::vector<C>{{0, 1}, {1, 0}, {2, 0}}));
    v.pushBack(C(9, 9));
    EXPECT_EQ(values(v), (std::vector<C>{{1, 0}, {2, 0}, {9, 9}}));
    v.shiftInBack(cvec({{7, 0}}));
    EXPECT_EQ(values(v), (std::vector<C>{{2, 0}, {9, 9}, {7, 0}}));
    v.shiftInFront(cvec({{5, 0}, {6, 0}}));
    EXPECT_EQ(values(v), (std::vector<C>{{5, 0}, {6, 0}, {2, 0}}));
    v.shiftInBack(cvec({{1, 0}, {2, 0}, {3, 0}, {4, 0}}));
    EXPECT_EQ(values(v), (std::vector<C>{{2, 0}, {3, 0}, {4, 0}}));
    v.shiftInFront(cvec({{1, 0}, {2, 0}, {3, 0}, {4, 0}}));
    EXPECT_EQ(values(v), (std::vector<C>{{1, 0}, {2, 0}, {3, 0}}));
}

TEST(CVector, StreamReadWriteAndPrint) {
    CVector v(3);
    std::istringstream in("(1,2) (3.5,-4)\n7");
    EXPECT_TRUE(v.read(in));
    EXPECT_EQ(values(v), (std::vector<C>{{1, 2}, {3.5, -4}, {7, 0}}));
    std::istringstream bad("(1,2) (3;4) (5,6)");
    EXPECT_FALSE(v.read(bad)); // a malformed value is reported, never fatal

    std::ostringstream out;
    v.write(out, " | ");
    EXPECT_EQ(out.str(), "(1,2) | (3.5,-4) | (7,0)");

    CVector six(6);
    for (int i = 0; i < 6; ++i)
        six[i] = C(i, -i);
    std::ostringstream printed;
    six.print(printed);
    EXPECT_EQ(printed.str(), "         (0,0)        (1,-1)        (2,-2)        (3,-3)        (4,-4)\n"
                             "        (5,-5)\n");
}

// ---- CMatrix ----

TEST(CMatrix, ConstructionAndOperations) {
    const CMatrix a = cmat(2, 2, {{1, 0}, {0, 1}, {2, 2}, {3, 0}});
    EXPECT_EQ(a.rowCount(), 2);
    EXPECT_EQ(a.columnCount(), 2);
    EXPECT_EQ(a[1][0], C(2, 2));
    const CMatrix run(a, 1, 1);
    EXPECT_EQ(values(run), (std::vector<C>{{2, 2}, {3, 0}}));

    CMatrix t(2, 2);
    t.add(a, a);
    EXPECT_EQ(values(t), (std::vector<C>{{2, 0}, {0, 2}, {4, 4}, {6, 0}}));
    t.sub(t, a);
    EXPECT_FALSE(t != a);
    t.mul(a, a);
    EXPECT_EQ(values(t), (std::vector<C>{{1, 0}, {-1, 0}, {0, 8}, {9, 0}}));
    t.div(t, a);
    EXPECT_FALSE(t != a);
    t.mulAdd(C(0, 1), a);
    EXPECT_EQ(values(t), (std::vector<C>{{1, 1}, {-1, 1}, {0, 4}, {3, 3}}));
    t.scale(C(2, 0), cmat(1, 4, {{1, 0}, {2, 0}, {3, 0}, {4, 0}}));
    EXPECT_EQ(values(t), (std::vector<C>{{2, 0}, {4, 0}, {6, 0}, {8, 0}}));

    CMatrix p(2, 2);
    p.product(a, a);
    EXPECT_EQ(values(p), (std::vector<C>{{-1, 2}, {0, 4}, {8, 8}, {7, 2}}));
    EXPECT_EQ(values(a.transposed()), (std::vector<C>{{1, 0}, {2, 2}, {0, 1}, {3, 0}}));
    EXPECT_EQ(values(a.columnSums()), (std::vector<C>{{3, 2}, {3, 1}}));
    EXPECT_EQ(a.minElement(), C(1, 0)); // |1| ties with |j|: first met
    EXPECT_EQ(a.maxElement(), C(3, 0)); // |3| beats |2+2j|
    EXPECT_EQ(values(a.upperTriangle()), (std::vector<C>{{1, 0}, {0, 1}, {3, 0}}));
    EXPECT_EQ(values(a.lowerTriangle()), (std::vector<C>{{1, 0}, {2, 2}, {3, 0}}));

    CMatrix fifo(a);
    fifo.pushRowFront(cvec({{7, 7}, {8, 8}}));
    EXPECT_EQ(values(fifo), (std::vector<C>{{7, 7}, {8, 8}, {1, 0}, {0, 1}}));
    fifo.pushRowBack(cvec({{5, 0}, {6, 0}}));
    EXPECT_EQ(values(fifo), (std::vector<C>{{1, 0}, {0, 1}, {5, 0}, {6, 0}}));

    const FMatrix mags = a.apply([](const C& z) { return std::norm(z); });
    EXPECT_EQ(mags[1][0], 8.0);
    const CMatrix doubled = a.apply([](const C& z) { return 2.0 * z; });
    EXPECT_EQ(doubled[1][1], C(6, 0));
}

TEST(ComplexDeathTest, SizeMismatchEndsTheProgram) {
    const CMatrix a(2, 3), b(3, 2);
    CMatrix t(2, 3);
    EXPECT_DEATH(t.mulAdd(1.0, b), "^CMatrix::mulAdd called with different sizes\n");
    EXPECT_DEATH(t.add(a, b), "^CMatrix::add called with different sizes\n");
    EXPECT_DEATH(t.sub(b, a), "^CMatrix::sub called with different sizes\n");
    EXPECT_DEATH(t.mul(a, CMatrix(2, 1)), "^CMatrix::mul called with different sizes\n");
    EXPECT_DEATH(CMatrix(1, 1).div(a, a), "^CMatrix::div called with different sizes\n");
    EXPECT_DEATH(t.scale(2.0, CMatrix(5, 1)), "^CMatrix::mul called with different sizes\n");
    EXPECT_DEATH(t.product(a, a), "^CMatrix::product called with different sizes\n");
    EXPECT_DEATH(t.transpose(a), "^CMatrix::transpose called with different sizes\n");
    EXPECT_DEATH(CVector(fvec({1, 2}), fvec({1, 2, 3})),
                 "^CVector::CVector\\(const FVector& re, const FVector& im\\), Input vectors have different "
                 "sizes!\n");
}

TEST(CMatrix, ReadWriteAndPrint) {
    test::TempDir dir;
    const std::string text = "(1,2) (3,4) (5,6)\n(7,8) (9,10) (11,12)\n";
    test::writeAll(dir.file("c.txt"), std::vector<std::uint8_t>(text.begin(), text.end()));
    CMatrix m;
    ASSERT_TRUE(m.read(dir.file("c.txt")));
    EXPECT_EQ(m.rowCount(), 2);
    EXPECT_EQ(m.columnCount(), 3);
    EXPECT_EQ(m[1][2], C(11, 12));

    const std::string bad = "(1,2) (3,4\n";
    test::writeAll(dir.file("bad.txt"), std::vector<std::uint8_t>(bad.begin(), bad.end()));
    EXPECT_FALSE(m.read(dir.file("bad.txt")));
    EXPECT_FALSE(m.read(dir.file("missing.txt")));

    std::ostringstream out;
    EXPECT_TRUE(cmat(2, 1, {{1, 0}, {0, -1}}).write(out, ",", "|"));
    EXPECT_EQ(out.str(), "(1,0)|(0,-1)");

    std::ostringstream printed;
    cmat(1, 2, {{1, 2}, {3, 4}}).print(printed);
    EXPECT_EQ(printed.str(), "   0" + field("(1,2)", 16) + field("(3,4)", 16) + "\n");
}

} // namespace
} // namespace harlox
