#include "numeric/cmatrix.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <complex>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <utility>

namespace harlox {

namespace {

constexpr const char* kPrefix = "CMatrix::";

std::unique_ptr<Complex[]> allocateZeroed(int n) {
    return n > 0 ? std::make_unique<Complex[]>(static_cast<std::size_t>(n)) : nullptr;
}

std::unique_ptr<Complex[]> allocateCopy(const Complex* src, int n) {
    if (n <= 0) return nullptr;
    auto p = std::make_unique<Complex[]>(static_cast<std::size_t>(n));
    std::copy(src, src + n, p.get());
    return p;
}

// Complex division by Smith's method, in the operation order of the compiler's run-time
// division, inline: inside the range tested here (no scaling, over- or underflow possible) it
// gives the library's values bit for bit, at a fraction of the cost of the call. Everything
// else (zeros, infinities, NaN, extreme magnitudes) goes to the library.
constexpr double kSafeLow = 1e-140, kSafeHigh = 1e140;

inline bool safeMagnitude(double v) {
    const double m = std::abs(v);
    return m == 0.0 || (m > kSafeLow && m < kSafeHigh);
}

inline Complex quotient(Complex n, Complex q) {
    const double a = n.real(), b = n.imag(), c = q.real(), d = q.imag();
    if (safeMagnitude(a) && safeMagnitude(b) && safeMagnitude(c) && safeMagnitude(d)) {
        if (std::abs(c) < std::abs(d)) {
            const double ratio = c / d;
            if (std::abs(ratio) > kSafeLow) {
                const double denom = (c * ratio) + d;
                return {((a * ratio) + b) / denom, ((b * ratio) - a) / denom};
            }
        } else if (c != 0.0) {
            const double ratio = d / c;
            if (std::abs(ratio) > kSafeLow) {
                const double denom = (d * ratio) + c;
                return {((b * ratio) + a) / denom, (b - (a * ratio)) / denom};
            }
        }
    }
    return n / q;
}

inline Complex reciprocal(Complex q) {
    return quotient(Complex(1.0, 0.0), q);
}

template <class Better> int searchIndex(const Complex* v, int n, Better better) {
    int best = 0;
    double bestAbs = std::abs(v[0]);
    for (int i = 1; i < n; ++i) {
        const double a = std::abs(v[i]);
        if (better(a, bestAbs)) {
            best = i;
            bestAbs = a;
        }
    }
    return best;
}

} // namespace

// ---- CVector ----

CVector::CVector(int length, int lowerIndex)
    : length_(std::max(length, 0)), lower_(lowerIndex), data_(allocateZeroed(length_)) {}

CVector::CVector(const CVector& other)
    : length_(other.length_), lower_(other.lower_), data_(allocateCopy(other.data_.get(), other.length_)) {}

CVector::CVector(CVector&& other) noexcept
    : length_(std::exchange(other.length_, 0)), lower_(other.lower_), data_(std::move(other.data_)) {}

CVector::CVector(const CVector& source, int first, int count, int lowerIndex) : CVector(count, lowerIndex) {
    assert(length_ == 0 || (first >= source.lower_ && first + length_ <= source.lower_ + source.length_));
    for (int i = 0; i < length_; ++i)
        data_[static_cast<std::size_t>(i)] = source[first + i];
}

CVector::CVector(const FVector& re, const FVector& im) : CVector(re.length()) {
    if (re.length() != im.length())
        numericFatal("CVector::",
                     "CVector(const FVector& re, const FVector& im), Input vectors have different sizes!");
    const double* x = re.data();
    const double* y = im.data();
    for (int i = 0; i < length_; ++i)
        data_[static_cast<std::size_t>(i)] = Complex(x[i], y[i]);
}

CVector::~CVector() = default;

CVector& CVector::operator=(const CVector& other) {
    if (this == &other) return *this;
    if (length_ != other.length_) {
        data_ = allocateCopy(other.data_.get(), other.length_);
        length_ = other.length_;
    } else {
        std::copy(other.begin(), other.end(), data_.get());
    }
    lower_ = other.lower_;
    return *this;
}

CVector& CVector::operator=(CVector&& other) noexcept {
    if (this == &other) return *this;
    length_ = std::exchange(other.length_, 0);
    lower_ = other.lower_;
    data_ = std::move(other.data_);
    return *this;
}

void CVector::resize(int length, int lowerIndex) {
    length_ = std::max(length, 0);
    lower_ = lowerIndex;
    data_ = allocateZeroed(length_);
}

void CVector::copyValues(const CVector& other) {
    assert(other.length_ >= length_);
    std::copy(other.data_.get(), other.data_.get() + length_, data_.get());
}

void CVector::copyRange(const CVector& source, int sourceFirst, int count, int targetFirst) {
    if (count == -1) count = lower_ + length_ - targetFirst;
    if (count <= 0) return;
    assert(targetFirst >= lower_ && targetFirst + count <= lower_ + length_);
    assert(sourceFirst >= source.lower_ && sourceFirst + count <= source.lower_ + source.length_);
    const Complex* src = source.data_.get() + (sourceFirst - source.lower_);
    Complex* dst = data_.get() + (targetFirst - lower_);
    if (src < dst)
        std::copy_backward(src, src + count, dst + count);
    else
        std::copy(src, src + count, dst);
}

bool CVector::operator!=(const CVector& other) const {
    if (length_ != other.length_) return true;
    for (int i = 0; i < length_; ++i) {
        const Complex& a = data_[static_cast<std::size_t>(i)];
        const Complex& b = other.data_[static_cast<std::size_t>(i)];
        if (a.real() != b.real() || a.imag() != b.imag()) return true;
    }
    return false;
}

void CVector::fill(Complex value) {
    std::fill(begin(), end(), value);
}

#define HARLOX_CVECTOR_BINARY(name, op)                                                                      \
    void CVector::name(const CVector& a, const CVector& b) {                                                 \
        assert(a.length_ >= length_ && b.length_ >= length_);                                                \
        Complex* t = data_.get();                                                                            \
        const Complex* x = a.data_.get();                                                                    \
        const Complex* y = b.data_.get();                                                                    \
        for (int i = 0; i < length_; ++i)                                                                    \
            t[i] = x[i] op y[i];                                                                             \
    }                                                                                                        \
    void CVector::name(const CVector& a, Complex s) {                                                        \
        assert(a.length_ >= length_);                                                                        \
        Complex* t = data_.get();                                                                            \
        const Complex* x = a.data_.get();                                                                    \
        for (int i = 0; i < length_; ++i)                                                                    \
            t[i] = x[i] op s;                                                                                \
    }

HARLOX_CVECTOR_BINARY(add, +)
HARLOX_CVECTOR_BINARY(sub, -)
HARLOX_CVECTOR_BINARY(mul, *)
#undef HARLOX_CVECTOR_BINARY

void CVector::div(const CVector& a, const CVector& b) {
    assert(a.length_ >= length_ && b.length_ >= length_);
    Complex* t = data_.get();
    const Complex* x = a.data_.get();
    const Complex* y = b.data_.get();
    for (int i = 0; i < length_; ++i)
        t[i] = quotient(x[i], y[i]);
}

void CVector::div(const CVector& a, Complex s) {
    assert(a.length_ >= length_);
    Complex* t = data_.get();
    const Complex* x = a.data_.get();
    for (int i = 0; i < length_; ++i)
        t[i] = quotient(x[i], s);
}

void CVector::scale(Complex s, const CVector& a) {
    assert(a.length_ >= length_);
    for (int i = 0; i < length_; ++i)
        data_[static_cast<std::size_t>(i)] = s * a.data_[static_cast<std::size_t>(i)];
}

void CVector::mulAdd(Complex s, const CVector& a) {
    assert(a.length_ >= length_);
    for (int i = 0; i < length_; ++i)
        data_[static_cast<std::size_t>(i)] += s * a.data_[static_cast<std::size_t>(i)];
}

void CVector::invert() {
    for (Complex& z : *this)
        z = reciprocal(z);
}

void CVector::parallel(const CVector& a, const CVector& b) {
    assert(a.length_ >= length_ && b.length_ >= length_);
    for (int i = 0; i < length_; ++i) {
        const auto k = static_cast<std::size_t>(i);
        data_[k] = reciprocal(reciprocal(a.data_[k]) + reciprocal(b.data_[k]));
    }
}

void CVector::parallel(Complex s, const CVector& a) {
    assert(a.length_ >= length_);
    const Complex invS = reciprocal(s);
    for (int i = 0; i < length_; ++i) {
        const auto k = static_cast<std::size_t>(i);
        data_[k] = reciprocal(invS + reciprocal(a.data_[k]));
    }
}

Complex CVector::sum() const {
    Complex s = 0.0;
    for (const Complex& z : *this)
        s += z;
    return s;
}

Complex CVector::dot(const CVector& b) const {
    assert(b.length_ >= length_);
    Complex s = 0.0;
    for (int i = 0; i < length_; ++i)
        s += data_[static_cast<std::size_t>(i)] * b.data_[static_cast<std::size_t>(i)];
    return s;
}

int CVector::minAbsIndex() const {
    if (length_ == 0) return lower_ - 1;
    return lower_ + searchIndex(data_.get(), length_, [](double a, double b) { return a < b; });
}

int CVector::maxAbsIndex() const {
    if (length_ == 0) return lower_ - 1;
    return lower_ + searchIndex(data_.get(), length_, [](double a, double b) { return a > b; });
}

void CVector::pushFront(Complex value) {
    if (length_ == 0) return;
    std::copy_backward(begin(), end() - 1, end());
    data_[0] = value;
}

void CVector::pushBack(Complex value) {
    if (length_ == 0) return;
    std::copy(begin() + 1, end(), begin());
    data_[static_cast<std::size_t>(length_ - 1)] = value;
}

void CVector::shiftInBack(const CVector& b) {
    if (b.length_ < length_) {
        std::copy(begin() + b.length_, end(), begin());
        std::copy(b.begin(), b.end(), end() - b.length_);
    } else {
        std::copy(b.end() - length_, b.end(), begin());
    }
}

void CVector::shiftInFront(const CVector& b) {
    if (b.length_ < length_) {
        std::copy_backward(begin(), end() - b.length_, end());
        std::copy(b.begin(), b.end(), begin());
    } else {
        std::copy(b.begin(), b.begin() + length_, begin());
    }
}

bool CVector::read(std::istream& in) {
    for (Complex& z : *this)
        if (!(in >> z)) return false;
    return true;
}

void CVector::write(std::ostream& out, std::string_view separator) const {
    for (int i = 0; i < length_; ++i) {
        if (i > 0) out << separator;
        out << data_[static_cast<std::size_t>(i)];
    }
}

void CVector::print(std::ostream& out) const {
    for (int i = 0; i < length_; ++i) {
        out << std::setw(14) << data_[static_cast<std::size_t>(i)];
        if ((i + 1) % 5 == 0) out << '\n';
    }
    if (length_ % 5 != 0) out << '\n';
}

CVector CVector::operator+(const CVector& b) const {
    CVector r(*this);
    r.add(r, b);
    return r;
}

CVector CVector::operator-(const CVector& b) const {
    CVector r(*this);
    r.sub(r, b);
    return r;
}

CVector CVector::operator*(const CVector& b) const {
    CVector r(*this);
    r.mul(r, b);
    return r;
}

CVector operator*(Complex s, const CVector& a) {
    CVector r(a);
    r.scale(s, r);
    return r;
}

// ---- CMatrix ----

CMatrix::CMatrix(int rows, int columns) {
    resize(rows, columns);
}

CMatrix::CMatrix(const CMatrix& other) : rowCount_(other.rowCount_) {
    if (rowCount_ > 0) {
        rows_ = std::make_unique<CVector[]>(static_cast<std::size_t>(rowCount_));
        for (int r = 0; r < rowCount_; ++r)
            rows_[static_cast<std::size_t>(r)] = other[r];
    }
}

CMatrix::CMatrix(CMatrix&& other) noexcept
    : rows_(std::move(other.rows_)), rowCount_(std::exchange(other.rowCount_, 0)) {}

CMatrix::CMatrix(const CVector& source, int rows, int columns) : CMatrix(rows, columns) {
    const int cols = columnCount();
    assert(static_cast<long long>(rowCount_) * cols <= source.length());
    for (int r = 0; r < rowCount_; ++r)
        std::copy_n(source.data() + static_cast<std::ptrdiff_t>(r) * cols, cols, (*this)[r].data());
}

CMatrix::CMatrix(const CMatrix& source, int firstRow, int rowCount) : rowCount_(std::max(rowCount, 0)) {
    assert(rowCount_ == 0 || (firstRow >= 0 && firstRow + rowCount_ <= source.rowCount_));
    if (rowCount_ > 0) {
        rows_ = std::make_unique<CVector[]>(static_cast<std::size_t>(rowCount_));
        for (int r = 0; r < rowCount_; ++r)
            rows_[static_cast<std::size_t>(r)] = source[firstRow + r];
    }
}

CMatrix::~CMatrix() = default;

CMatrix& CMatrix::operator=(const CMatrix& other) {
    if (this != &other) *this = CMatrix(other);
    return *this;
}

CMatrix& CMatrix::operator=(CMatrix&& other) noexcept {
    if (this == &other) return *this;
    rows_ = std::move(other.rows_);
    rowCount_ = std::exchange(other.rowCount_, 0);
    return *this;
}

void CMatrix::resize(int rows, int columns) {
    rowCount_ = std::max(rows, 0);
    rows_.reset();
    if (rowCount_ == 0) return;
    rows_ = std::make_unique<CVector[]>(static_cast<std::size_t>(rowCount_));
    for (int r = 0; r < rowCount_; ++r)
        rows_[static_cast<std::size_t>(r)].resize(columns);
}

void CMatrix::copyValues(const CMatrix& other) {
    assert(other.rowCount_ >= rowCount_);
    for (int r = 0; r < rowCount_; ++r)
        (*this)[r].copyValues(other[r]);
}

void CMatrix::copyRange(const CMatrix& source, int sourceFirst, int count, int targetFirst) {
    if (count == -1) count = rowCount_ - targetFirst;
    if (count <= 0) return;
    assert(targetFirst >= 0 && targetFirst + count <= rowCount_);
    assert(sourceFirst >= 0 && sourceFirst + count <= source.rowCount_);
    if (&source == this && sourceFirst < targetFirst) {
        for (int r = count - 1; r >= 0; --r)
            (*this)[targetFirst + r].copyValues(source[sourceFirst + r]);
    } else {
        for (int r = 0; r < count; ++r)
            (*this)[targetFirst + r].copyValues(source[sourceFirst + r]);
    }
}

bool CMatrix::operator!=(const CMatrix& other) const {
    if (rowCount_ != other.rowCount_) return true;
    for (int r = 0; r < rowCount_; ++r)
        if ((*this)[r] != other[r]) return true;
    return false;
}

bool CMatrix::sameShape(const CMatrix& other) const {
    if (other.rowCount_ != rowCount_) return false;
    for (int r = 0; r < rowCount_; ++r)
        if (other[r].length() != (*this)[r].length()) return false;
    return true;
}

bool CMatrix::uniform() const {
    for (int r = 1; r < rowCount_; ++r)
        if ((*this)[r].length() != (*this)[0].length()) return false;
    return true;
}

void CMatrix::checkShape(const CMatrix& a, const char* message) const {
    if (!sameShape(a)) numericFatal(kPrefix, message);
}

void CMatrix::mulAdd(Complex s, const CMatrix& b) {
    checkShape(b, "mulAdd called with different sizes");
    for (int r = 0; r < rowCount_; ++r)
        (*this)[r].mulAdd(s, b[r]);
}

#define HARLOX_CMATRIX_BINARY(name)                                                                          \
    void CMatrix::name(const CMatrix& a, const CMatrix& b) {                                                 \
        checkShape(a, #name " called with different sizes");                                                 \
        checkShape(b, #name " called with different sizes");                                                 \
        for (int r = 0; r < rowCount_; ++r)                                                                  \
            (*this)[r].name(a[r], b[r]);                                                                     \
    }

HARLOX_CMATRIX_BINARY(add)
HARLOX_CMATRIX_BINARY(sub)
HARLOX_CMATRIX_BINARY(mul)
HARLOX_CMATRIX_BINARY(div)
#undef HARLOX_CMATRIX_BINARY

void CMatrix::scale(Complex s, const CMatrix& a) {
    const int cols = columnCount();
    const int aCols = a.columnCount();
    if (static_cast<long long>(rowCount_) * cols != static_cast<long long>(a.rowCount_) * aCols ||
        !uniform() || !a.uniform())
        numericFatal(kPrefix, "mul called with different sizes");
    if (sameShape(a)) {
        for (int r = 0; r < rowCount_; ++r)
            (*this)[r].scale(s, a[r]);
        return;
    }
    // Different shapes of the same size pair up in row-major order.
    long long k = 0;
    for (int r = 0; r < rowCount_; ++r)
        for (int c = 0; c < cols; ++c, ++k)
            (*this)[r][c] = s * a[static_cast<int>(k / aCols)][static_cast<int>(k % aCols)];
}

void CMatrix::product(const CMatrix& a, const CMatrix& b) {
    const int inner = a.columnCount();
    if (rowCount_ != a.rowCount_ || columnCount() != b.columnCount() || b.rowCount_ != inner || !uniform() ||
        !a.uniform() || !b.uniform())
        numericFatal(kPrefix, "product called with different sizes");
    if (this == &a || this == &b) {
        CMatrix t(rowCount_, columnCount());
        t.product(a, b);
        *this = std::move(t);
        return;
    }
    const int cols = columnCount();
    for (int r = 0; r < rowCount_; ++r) {
        for (int c = 0; c < cols; ++c) {
            Complex s = 0.0;
            for (int k = 0; k < inner; ++k)
                s += a[r][k] * b[k][c];
            (*this)[r][c] = s;
        }
    }
}

void CMatrix::fill(Complex value) {
    for (int r = 0; r < rowCount_; ++r)
        (*this)[r].fill(value);
}

void CMatrix::transpose(const CMatrix& a) {
    if (rowCount_ != a.columnCount() || columnCount() != a.rowCount_ || !uniform() || !a.uniform())
        numericFatal(kPrefix, "transpose called with different sizes");
    if (this == &a) {
        *this = a.transposed();
        return;
    }
    const int cols = columnCount();
    for (int r = 0; r < rowCount_; ++r)
        for (int c = 0; c < cols; ++c)
            (*this)[r][c] = a[c][r];
}

CMatrix CMatrix::transposed() const {
    CMatrix t(columnCount(), rowCount_);
    t.transpose(*this);
    return t;
}

CVector CMatrix::columnSums() const {
    CVector v(columnCount());
    for (int r = 0; r < rowCount_; ++r)
        v.add(v, (*this)[r]);
    return v;
}

namespace {

template <class Better> Complex searchElement(const CMatrix& m, Better better) {
    bool found = false;
    Complex best = 0.0;
    double bestAbs = 0.0;
    for (int r = 0; r < m.rowCount(); ++r) {
        for (const Complex& z : m[r]) {
            const double a = std::abs(z);
            if (!found || better(a, bestAbs)) {
                best = z;
                bestAbs = a;
            }
            found = true;
        }
    }
    return best;
}

template <class Take> CVector triangle(const CMatrix& m, Take take) {
    long long n = 0;
    for (int r = 0; r < m.rowCount(); ++r)
        for (int c = 0; c < m[r].length(); ++c)
            n += take(r, c) ? 1 : 0;
    CVector v(static_cast<int>(std::min<long long>(n, INT_MAX)));
    int k = 0;
    for (int r = 0; r < m.rowCount(); ++r)
        for (int c = 0; c < m[r].length() && k < v.length(); ++c)
            if (take(r, c)) v[k++] = m[r][c];
    return v;
}

} // namespace

Complex CMatrix::minElement() const {
    return searchElement(*this, [](double a, double b) { return a < b; });
}

Complex CMatrix::maxElement() const {
    return searchElement(*this, [](double a, double b) { return a > b; });
}

CVector CMatrix::upperTriangle() const {
    return triangle(*this, [](int r, int c) { return c >= r; });
}

CVector CMatrix::lowerTriangle() const {
    return triangle(*this, [](int r, int c) { return c <= r; });
}

void CMatrix::pushRowFront(const CVector& row) {
    if (rowCount_ == 0) return;
    std::rotate(rows_.get(), rows_.get() + rowCount_ - 1, rows_.get() + rowCount_);
    rows_[0].copyValues(row);
}

void CMatrix::pushRowBack(const CVector& row) {
    if (rowCount_ == 0) return;
    std::rotate(rows_.get(), rows_.get() + 1, rows_.get() + rowCount_);
    rows_[static_cast<std::size_t>(rowCount_ - 1)].copyValues(row);
}

bool CMatrix::read(const std::string& fileName) {
    int rows = 0;
    int columns = 0;
    if (!countMatrixFile(fileName, rows, columns)) return false;
    std::ifstream in(fileName);
    if (!in) return false;
    resize(rows, columns);
    for (int r = 0; r < rowCount_; ++r)
        if (!(*this)[r].read(in)) return false;
    return true;
}

bool CMatrix::write(std::ostream& out, std::string_view elementSeparator,
                    std::string_view rowSeparator) const {
    for (int r = 0; r < rowCount_; ++r) {
        if (r > 0) out << rowSeparator;
        (*this)[r].write(out, elementSeparator);
    }
    return !out.fail();
}

void CMatrix::print(std::ostream& out) const {
    for (int r = 0; r < rowCount_; ++r) {
        out << std::setw(4) << r;
        const CVector& row = (*this)[r];
        for (int c = 0; c < row.length(); ++c) {
            out << std::setw(16) << row[c];
            if ((c + 1) % 5 == 0) out << "\n      ";
        }
        out << '\n';
    }
}

} // namespace harlox
