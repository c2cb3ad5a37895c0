#include "numeric/fmatrix.h"

#include <algorithm>
#include <cassert>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <utility>

namespace harlox {

namespace {

constexpr const char* kPrefix = "FMatrix::";

std::unique_ptr<double[]> allocateZeroed(int n) {
    return n > 0 ? std::make_unique<double[]>(static_cast<std::size_t>(n)) : nullptr;
}

std::unique_ptr<double[]> allocateCopy(const double* src, int n) {
    if (n <= 0) return nullptr;
    auto p = std::make_unique_for_overwrite<double[]>(static_cast<std::size_t>(n));
    std::copy(src, src + n, p.get());
    return p;
}

template <class Better> int searchIndex(const double* v, int n, Better better) {
    int best = 0;
    for (int i = 1; i < n; ++i)
        if (better(v[i], v[best])) best = i;
    return best;
}

} // namespace

void numericFatal(std::string_view classPrefix, std::string_view message) {
    std::cerr << classPrefix << message << std::endl;
    std::abort();
}

// ---- FVector ----

FVector::FVector(int length, int lowerIndex)
    : length_(std::max(length, 0)), lower_(lowerIndex), data_(allocateZeroed(length_)) {}

FVector::FVector(const FVector& other)
    : length_(other.length_), lower_(other.lower_), data_(allocateCopy(other.data_.get(), other.length_)) {}

FVector::FVector(FVector&& other) noexcept
    : length_(std::exchange(other.length_, 0)), lower_(other.lower_), data_(std::move(other.data_)) {}

FVector::FVector(const FVector& source, int first, int count, int lowerIndex) : FVector(count, lowerIndex) {
    assert(length_ == 0 || (first >= source.lower_ && first + length_ <= source.lower_ + source.length_));
    for (int i = 0; i < length_; ++i)
        data_[static_cast<std::size_t>(i)] = source[first + i];
}

FVector::FVector(const double* values, int length) : FVector(length) {
    std::copy(values, values + length_, data_.get());
}

FVector::FVector(const float* values, int length) : FVector(length) {
    std::copy(values, values + length_, data_.get());
}

FVector::~FVector() = default;

FVector& FVector::operator=(const FVector& other) {
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

FVector& FVector::operator=(FVector&& other) noexcept {
    if (this == &other) return *this;
    length_ = std::exchange(other.length_, 0);
    lower_ = other.lower_;
    data_ = std::move(other.data_);
    return *this;
}

void FVector::resize(int length, int lowerIndex) {
    length_ = std::max(length, 0);
    lower_ = lowerIndex;
    data_ = allocateZeroed(length_);
}

void FVector::copyValues(const FVector& other) {
    assert(other.length_ >= length_);
    std::copy(other.data_.get(), other.data_.get() + length_, data_.get());
}

void FVector::copyRange(const FVector& source, int sourceFirst, int count, int targetFirst) {
    if (count == -1) count = lower_ + length_ - targetFirst;
    if (count <= 0) return;
    assert(targetFirst >= lower_ && targetFirst + count <= lower_ + length_);
    assert(sourceFirst >= source.lower_ && sourceFirst + count <= source.lower_ + source.length_);
    const double* src = source.data_.get() + (sourceFirst - source.lower_);
    double* dst = data_.get() + (targetFirst - lower_);
    if (src < dst) // the source may be this vector
        std::copy_backward(src, src + count, dst + count);
    else
        std::copy(src, src + count, dst);
}

bool FVector::operator!=(const FVector& other) const {
    if (length_ != other.length_) return true;
    for (int i = 0; i < length_; ++i)
        if (data_[static_cast<std::size_t>(i)] != other.data_[static_cast<std::size_t>(i)]) return true;
    return false;
}

void FVector::fill(double value) {
    std::fill(begin(), end(), value);
}

#define HARLOX_FVECTOR_BINARY(name, op)                                                                      \
    void FVector::name(const FVector& a, const FVector& b) {                                                 \
        assert(a.length_ >= length_ && b.length_ >= length_);                                                \
        double* t = data_.get();                                                                             \
        const double* x = a.data_.get();                                                                     \
        const double* y = b.data_.get();                                                                     \
        for (int i = 0; i < length_; ++i)                                                                    \
            t[i] = x[i] op y[i];                                                                             \
    }                                                                                                        \
    void FVector::name(const FVector& a, double s) {                                                         \
        assert(a.length_ >= length_);                                                                        \
        double* t = data_.get();                                                                             \
        const double* x = a.data_.get();                                                                     \
        for (int i = 0; i < length_; ++i)                                                                    \
            t[i] = x[i] op s;                                                                                \
    }

HARLOX_FVECTOR_BINARY(add, +)
HARLOX_FVECTOR_BINARY(sub, -)
HARLOX_FVECTOR_BINARY(mul, *)
HARLOX_FVECTOR_BINARY(div, /)
#undef HARLOX_FVECTOR_BINARY

void FVector::scale(double s, const FVector& a) {
    assert(a.length_ >= length_);
    for (int i = 0; i < length_; ++i)
        data_[static_cast<std::size_t>(i)] = s * a.data_[static_cast<std::size_t>(i)];
}

void FVector::mulAdd(double s, const FVector& a) {
    assert(a.length_ >= length_);
    for (int i = 0; i < length_; ++i)
        data_[static_cast<std::size_t>(i)] += s * a.data_[static_cast<std::size_t>(i)];
}

double FVector::sum() const {
    double s = 0.0;
    for (double v : *this)
        s += v;
    return s;
}

double FVector::dot(const FVector& b, int offset) const {
    assert(length_ == 0 || (offset >= 0 && b.length_ >= length_ + offset));
    double s = 0.0;
    const double* y = b.data_.get() + (length_ > 0 ? offset : 0);
    for (int i = 0; i < length_; ++i)
        s += data_[static_cast<std::size_t>(i)] * y[i];
    return s;
}

int FVector::minIndex() const {
    if (length_ == 0) return lower_ - 1;
    return lower_ + searchIndex(data_.get(), length_, [](double a, double b) { return a < b; });
}

int FVector::maxIndex() const {
    if (length_ == 0) return lower_ - 1;
    return lower_ + searchIndex(data_.get(), length_, [](double a, double b) { return a > b; });
}

int FVector::minAbsIndex() const {
    if (length_ == 0) return lower_ - 1;
    return lower_ +
           searchIndex(data_.get(), length_, [](double a, double b) { return std::fabs(a) < std::fabs(b); });
}

int FVector::maxAbsIndex() const {
    if (length_ == 0) return lower_ - 1;
    return lower_ +
           searchIndex(data_.get(), length_, [](double a, double b) { return std::fabs(a) > std::fabs(b); });
}

void FVector::pushFront(double value) {
    if (length_ == 0) return;
    std::copy_backward(begin(), end() - 1, end());
    data_[0] = value;
}

void FVector::pushBack(double value) {
    if (length_ == 0) return;
    std::copy(begin() + 1, end(), begin());
    data_[static_cast<std::size_t>(length_ - 1)] = value;
}

void FVector::shiftInBack(const FVector& b) {
    if (b.length_ < length_) {
        std::copy(begin() + b.length_, end(), begin());
        std::copy(b.begin(), b.end(), end() - b.length_);
    } else {
        std::copy(b.end() - length_, b.end(), begin());
    }
}

void FVector::shiftInFront(const FVector& b) {
    if (b.length_ < length_) {
        std::copy_backward(begin(), end() - b.length_, end());
        std::copy(b.begin(), b.end(), begin());
    } else {
        std::copy(b.begin(), b.begin() + length_, begin());
    }
}

bool FVector::read(std::istream& in) {
    for (double& v : *this)
        if (!(in >> v)) return false;
    return true;
}

void FVector::write(std::ostream& out, std::string_view separator) const {
    for (int i = 0; i < length_; ++i) {
        if (i > 0) out << separator;
        out << data_[static_cast<std::size_t>(i)];
    }
}

void FVector::print(std::ostream& out) const {
    for (int i = 0; i < length_; ++i) {
        out << std::setw(14) << data_[static_cast<std::size_t>(i)];
        if ((i + 1) % 5 == 0) out << '\n';
    }
    if (length_ % 5 != 0) out << '\n';
}

FVector FVector::operator+(const FVector& b) const {
    FVector r(*this);
    r.add(r, b);
    return r;
}

FVector FVector::operator-(const FVector& b) const {
    FVector r(*this);
    r.sub(r, b);
    return r;
}

FVector FVector::operator*(const FVector& b) const {
    FVector r(*this);
    r.mul(r, b);
    return r;
}

FVector operator*(double s, const FVector& a) {
    FVector r(a);
    r.scale(s, r);
    return r;
}

// ---- FMatrix ----

FMatrix::FMatrix(int rows, int columns) {
    resize(rows, columns);
}

FMatrix::FMatrix(const FMatrix& other) : rowCount_(other.rowCount_) {
    if (rowCount_ > 0) {
        rows_ = std::make_unique<FVector[]>(static_cast<std::size_t>(rowCount_));
        for (int r = 0; r < rowCount_; ++r)
            rows_[static_cast<std::size_t>(r)] = other[r];
    }
}

FMatrix::FMatrix(FMatrix&& other) noexcept
    : rows_(std::move(other.rows_)), rowCount_(std::exchange(other.rowCount_, 0)) {}

FMatrix::FMatrix(const double* values, int rows, int columns) : FMatrix(rows, columns) {
    const int cols = columnCount();
    for (int r = 0; r < rowCount_; ++r)
        std::copy_n(values + static_cast<std::ptrdiff_t>(r) * cols, cols, (*this)[r].data());
}

FMatrix::FMatrix(const float* values, int rows, int columns) : FMatrix(rows, columns) {
    const int cols = columnCount();
    for (int r = 0; r < rowCount_; ++r)
        std::copy_n(values + static_cast<std::ptrdiff_t>(r) * cols, cols, (*this)[r].data());
}

FMatrix::FMatrix(const FVector& source, int rows, int columns) : FMatrix(rows, columns) {
    const int cols = columnCount();
    assert(static_cast<long long>(rowCount_) * cols <= source.length());
    for (int r = 0; r < rowCount_; ++r)
        std::copy_n(source.data() + static_cast<std::ptrdiff_t>(r) * cols, cols, (*this)[r].data());
}

FMatrix::FMatrix(const FMatrix& source, int firstRow, int rowCount) : rowCount_(std::max(rowCount, 0)) {
    assert(rowCount_ == 0 || (firstRow >= 0 && firstRow + rowCount_ <= source.rowCount_));
    if (rowCount_ > 0) {
        rows_ = std::make_unique<FVector[]>(static_cast<std::size_t>(rowCount_));
        for (int r = 0; r < rowCount_; ++r)
            rows_[static_cast<std::size_t>(r)] = source[firstRow + r];
    }
}

FMatrix::~FMatrix() = default;

FMatrix& FMatrix::operator=(const FMatrix& other) {
    if (this != &other) *this = FMatrix(other);
    return *this;
}

FMatrix& FMatrix::operator=(FMatrix&& other) noexcept {
    if (this == &other) return *this;
    rows_ = std::move(other.rows_);
    rowCount_ = std::exchange(other.rowCount_, 0);
    return *this;
}

void FMatrix::resize(int rows, int columns) {
    rowCount_ = std::max(rows, 0);
    rows_.reset();
    if (rowCount_ == 0) return;
    rows_ = std::make_unique<FVector[]>(static_cast<std::size_t>(rowCount_));
    for (int r = 0; r < rowCount_; ++r)
        rows_[static_cast<std::size_t>(r)].resize(columns);
}

void FMatrix::copyValues(const FMatrix& other) {
    assert(other.rowCount_ >= rowCount_);
    for (int r = 0; r < rowCount_; ++r)
        (*this)[r].copyValues(other[r]);
}

void FMatrix::copyRange(const FMatrix& source, int sourceFirst, int count, int targetFirst) {
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

bool FMatrix::operator!=(const FMatrix& other) const {
    if (rowCount_ != other.rowCount_) return true;
    for (int r = 0; r < rowCount_; ++r)
        if ((*this)[r] != other[r]) return true;
    return false;
}

bool FMatrix::sameShape(const FMatrix& other) const {
    if (other.rowCount_ != rowCount_) return false;
    for (int r = 0; r < rowCount_; ++r)
        if (other[r].length() != (*this)[r].length()) return false;
    return true;
}

bool FMatrix::uniform() const {
    for (int r = 1; r < rowCount_; ++r)
        if ((*this)[r].length() != (*this)[0].length()) return false;
    return true;
}

void FMatrix::checkShape(const FMatrix& a, const char* message) const {
    if (!sameShape(a)) numericFatal(kPrefix, message);
}

void FMatrix::mulAdd(double s, const FMatrix& b) {
    checkShape(b, "mulAdd called with different sizes");
    for (int r = 0; r < rowCount_; ++r)
        (*this)[r].mulAdd(s, b[r]);
}

#define HARLOX_FMATRIX_BINARY(name)                                                                          \
    void FMatrix::name(const FMatrix& a, const FMatrix& b) {                                                 \
        checkShape(a, #name " called with different sizes");                                                 \
        checkShape(b, #name " called with different sizes");                                                 \
        for (int r = 0; r < rowCount_; ++r)                                                                  \
            (*this)[r].name(a[r], b[r]);                                                                     \
    }

HARLOX_FMATRIX_BINARY(add)
HARLOX_FMATRIX_BINARY(sub)
HARLOX_FMATRIX_BINARY(mul)
HARLOX_FMATRIX_BINARY(div)
#undef HARLOX_FMATRIX_BINARY

void FMatrix::scale(double s, const FMatrix& a) {
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

void FMatrix::product(const FMatrix& a, const FMatrix& b) {
    const int inner = a.columnCount();
    if (rowCount_ != a.rowCount_ || columnCount() != b.columnCount() || b.rowCount_ != inner || !uniform() ||
        !a.uniform() || !b.uniform())
        numericFatal(kPrefix, "product called with different sizes");
    if (this == &a || this == &b) {
        FMatrix t(rowCount_, columnCount());
        t.product(a, b);
        *this = std::move(t);
        return;
    }
    const int cols = columnCount();
    for (int r = 0; r < rowCount_; ++r) {
        for (int c = 0; c < cols; ++c) {
            double s = 0.0;
            for (int k = 0; k < inner; ++k)
                s += a[r][k] * b[k][c];
            (*this)[r][c] = s;
        }
    }
}

void FMatrix::fill(double value) {
    for (int r = 0; r < rowCount_; ++r)
        (*this)[r].fill(value);
}

void FMatrix::transpose(const FMatrix& a) {
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

FMatrix FMatrix::transposed() const {
    FMatrix t(columnCount(), rowCount_);
    t.transpose(*this);
    return t;
}

FVector FMatrix::columnSums() const {
    FVector v(columnCount());
    for (int r = 0; r < rowCount_; ++r)
        v.add(v, (*this)[r]);
    return v;
}

namespace {

template <class Better> double searchElement(const FMatrix& m, Better better) {
    bool found = false;
    double best = 0.0;
    for (int r = 0; r < m.rowCount(); ++r) {
        for (double v : m[r]) {
            if (!found || better(v, best)) best = v;
            found = true;
        }
    }
    return best;
}

template <class Take> FVector triangle(const FMatrix& m, Take take) {
    long long n = 0;
    for (int r = 0; r < m.rowCount(); ++r)
        for (int c = 0; c < m[r].length(); ++c)
            n += take(r, c) ? 1 : 0;
    FVector v(static_cast<int>(std::min<long long>(n, INT_MAX)));
    int k = 0;
    for (int r = 0; r < m.rowCount(); ++r)
        for (int c = 0; c < m[r].length() && k < v.length(); ++c)
            if (take(r, c)) v[k++] = m[r][c];
    return v;
}

} // namespace

double FMatrix::minElement() const {
    return searchElement(*this, [](double a, double b) { return a < b; });
}

double FMatrix::maxElement() const {
    return searchElement(*this, [](double a, double b) { return a > b; });
}

double FMatrix::minAbsElement() const {
    return searchElement(*this, [](double a, double b) { return std::fabs(a) < std::fabs(b); });
}

double FMatrix::maxAbsElement() const {
    return searchElement(*this, [](double a, double b) { return std::fabs(a) > std::fabs(b); });
}

FVector FMatrix::upperTriangle() const {
    return triangle(*this, [](int r, int c) { return c >= r; });
}

FVector FMatrix::lowerTriangle() const {
    return triangle(*this, [](int r, int c) { return c <= r; });
}

void FMatrix::pushRowFront(const FVector& row) {
    if (rowCount_ == 0) return;
    // Rotate the row objects rather than their values; the dropped row is reused.
    std::rotate(rows_.get(), rows_.get() + rowCount_ - 1, rows_.get() + rowCount_);
    rows_[0].copyValues(row);
}

void FMatrix::pushRowBack(const FVector& row) {
    if (rowCount_ == 0) return;
    std::rotate(rows_.get(), rows_.get() + 1, rows_.get() + rowCount_);
    rows_[static_cast<std::size_t>(rowCount_ - 1)].copyValues(row);
}

bool countMatrixFile(const std::string& fileName, int& rows, int& columns) {
    std::ifstream in(fileName, std::ios::binary);
    if (!in) return false;
    long long lines = 0;
    long long words = 0;
    bool inWord = false;
    bool lineHasWord = false;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        const std::streamsize n = in.gcount();
        for (std::streamsize i = 0; i < n; ++i) {
            const auto ch = static_cast<unsigned char>(buf[i]);
            if (std::isspace(ch)) {
                inWord = false;
                if (ch == '\n') {
                    lines += lineHasWord ? 1 : 0;
                    lineHasWord = false;
                }
            } else {
                if (!inWord) ++words;
                inWord = true;
                lineHasWord = true;
            }
        }
    }
    if (in.bad()) return false;
    lines += lineHasWord ? 1 : 0; // a last line without a line break
    lines = std::max(lines, 1LL);
    if (words > INT_MAX) return false;
    rows = static_cast<int>(lines);
    columns = static_cast<int>(words / lines);
    return true;
}

bool FMatrix::read(const std::string& fileName) {
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

bool FMatrix::write(std::ostream& out, std::string_view elementSeparator,
                    std::string_view rowSeparator) const {
    for (int r = 0; r < rowCount_; ++r) {
        if (r > 0) out << rowSeparator;
        (*this)[r].write(out, elementSeparator);
    }
    return !out.fail();
}

void FMatrix::print(std::ostream& out) const {
    for (int r = 0; r < rowCount_; ++r) {
        out << std::setw(4) << r;
        const FVector& row = (*this)[r];
        for (int c = 0; c < row.length(); ++c) {
            out << std::setw(16) << row[c];
            if ((c + 1) % 5 == 0) out << "\n      ";
        }
        out << '\n';
    }
}

} // namespace harlox
