#pragma once

#include "core/constants.h"
#include "numeric/fmatrix.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

namespace harlox {

// A complex vector, one value per frequency point: impedances, pressures, transfer
// functions. Same rules as FVector: element-wise operations write into *this, may alias
// their operands and run over this vector's length.
class CVector {
public:
    explicit CVector(int length = 0, int lowerIndex = 0);
    CVector(const CVector& other);
    CVector(CVector&& other) noexcept;
    CVector(const CVector& source, int first, int count, int lowerIndex = 0);
    // Element i = (re[i], im[i]); the lengths must agree.
    CVector(const FVector& re, const FVector& im);
    virtual ~CVector();

    CVector& operator=(const CVector& other);
    CVector& operator=(CVector&& other) noexcept;

    void resize(int length, int lowerIndex = 0);
    void copyValues(const CVector& other);
    void copyRange(const CVector& source, int sourceFirst, int count, int targetFirst);

    [[nodiscard]] bool operator!=(const CVector& other) const;
    [[nodiscard]] bool operator==(const CVector& other) const { return !(*this != other); }

    [[nodiscard]] int length() const { return length_; }
    [[nodiscard]] int lowerIndex() const { return lower_; }
    [[nodiscard]] int upperIndex() const { return lower_ + length_ - 1; }
    [[nodiscard]] Complex* data() { return data_.get(); }
    [[nodiscard]] const Complex* data() const { return data_.get(); }
    Complex* begin() { return data_.get(); }
    Complex* end() { return data_.get() + length_; }
    [[nodiscard]] const Complex* begin() const { return data_.get(); }
    [[nodiscard]] const Complex* end() const { return data_.get() + length_; }

    Complex& operator[](int i) { return data_[static_cast<std::size_t>(i - lower_)]; }
    const Complex& operator[](int i) const { return data_[static_cast<std::size_t>(i - lower_)]; }

    void fill(Complex value);
    void add(const CVector& a, const CVector& b);
    void sub(const CVector& a, const CVector& b);
    void mul(const CVector& a, const CVector& b);
    void div(const CVector& a, const CVector& b);
    void add(const CVector& a, Complex s);
    void sub(const CVector& a, Complex s);
    void mul(const CVector& a, Complex s);
    void div(const CVector& a, Complex s);
    void scale(Complex s, const CVector& a);
    void mulAdd(Complex s, const CVector& a);
    // this[i] = 1 / this[i]
    void invert();
    // Impedances in parallel: 1 / (1/a + 1/b). A zero element is not trapped.
    void parallel(const CVector& a, const CVector& b);
    void parallel(Complex s, const CVector& a);

    [[nodiscard]] Complex sum() const;
    // sum of this[i] * b[i], without conjugation
    [[nodiscard]] Complex dot(const CVector& b) const;

    // By magnitude; ties go to the first element met; lowerIndex() - 1 when empty.
    [[nodiscard]] int minAbsIndex() const;
    [[nodiscard]] int maxAbsIndex() const;

    // A new FVector for a real-valued f, a new CVector for a complex-valued one.
    template <class F> [[nodiscard]] auto apply(F f) const {
        using R = std::remove_cvref_t<std::invoke_result_t<F&, const Complex&>>;
        if constexpr (std::is_same_v<R, Complex>) {
            CVector result(length_, lower_);
            for (int i = 0; i < length_; ++i)
                result.data_[static_cast<std::size_t>(i)] = f(data_[static_cast<std::size_t>(i)]);
            return result;
        } else {
            FVector result(length_, lower_);
            double* out = result.data();
            for (int i = 0; i < length_; ++i)
                out[i] = f(data_[static_cast<std::size_t>(i)]);
            return result;
        }
    }

    void pushFront(Complex value);
    void pushBack(Complex value);
    void shiftInBack(const CVector& b);
    void shiftInFront(const CVector& b);

    // Reads length() values in the standard complex stream notation; false at the first
    // stream failure.
    virtual bool read(std::istream& in);
    void write(std::ostream& out, std::string_view separator = " ") const;
    virtual void print(std::ostream& out) const;

    [[nodiscard]] CVector operator+(const CVector& b) const;
    [[nodiscard]] CVector operator-(const CVector& b) const;
    [[nodiscard]] CVector operator*(const CVector& b) const;
    friend CVector operator*(Complex s, const CVector& a);

private:
    int length_ = 0;
    int lower_ = 0;
    std::unique_ptr<Complex[]> data_;
};

// A complex matrix: a stack of CVector rows of equal length.
class CMatrix {
public:
    explicit CMatrix(int rows = 0, int columns = 0);
    CMatrix(const CMatrix& other);
    CMatrix(CMatrix&& other) noexcept;
    CMatrix(const CVector& source, int rows, int columns);
    CMatrix(const CMatrix& source, int firstRow, int rowCount);
    virtual ~CMatrix();

    CMatrix& operator=(const CMatrix& other);
    CMatrix& operator=(CMatrix&& other) noexcept;

    void resize(int rows, int columns);
    void copyValues(const CMatrix& other);
    void copyRange(const CMatrix& source, int sourceFirst, int count, int targetFirst);

    [[nodiscard]] bool operator!=(const CMatrix& other) const;
    [[nodiscard]] bool operator==(const CMatrix& other) const { return !(*this != other); }

    [[nodiscard]] int rowCount() const { return rowCount_; }
    [[nodiscard]] int columnCount() const { return rowCount_ > 0 ? rows_[0].length() : 0; }
    CVector& operator[](int r) { return rows_[static_cast<std::size_t>(r)]; }
    const CVector& operator[](int r) const { return rows_[static_cast<std::size_t>(r)]; }

    void mulAdd(Complex s, const CMatrix& b);
    void add(const CMatrix& a, const CMatrix& b);
    void sub(const CMatrix& a, const CMatrix& b);
    void mul(const CMatrix& a, const CMatrix& b);
    void div(const CMatrix& a, const CMatrix& b);
    void scale(Complex s, const CMatrix& a);
    void product(const CMatrix& a, const CMatrix& b);
    void fill(Complex value);
    void transpose(const CMatrix& a);
    [[nodiscard]] CMatrix transposed() const;
    [[nodiscard]] CVector columnSums() const;

    // The element of smallest / largest magnitude (first met on ties); 0 when empty.
    [[nodiscard]] Complex minElement() const;
    [[nodiscard]] Complex maxElement() const;

    [[nodiscard]] CVector upperTriangle() const;
    [[nodiscard]] CVector lowerTriangle() const;

    void pushRowFront(const CVector& row);
    void pushRowBack(const CVector& row);

    // A new FMatrix for a real-valued f, a new CMatrix for a complex-valued one.
    template <class F> [[nodiscard]] auto apply(F f) const {
        using R = std::remove_cvref_t<std::invoke_result_t<F&, const Complex&>>;
        std::conditional_t<std::is_same_v<R, Complex>, CMatrix, FMatrix> result(rowCount_, columnCount());
        for (int r = 0; r < rowCount_; ++r) {
            const CVector& row = (*this)[r];
            auto& out = result[r];
            for (int c = 0; c < row.length() && c < out.length(); ++c)
                out[c] = f(row[c]);
        }
        return result;
    }

    [[nodiscard]] bool read(const std::string& fileName);
    [[nodiscard]] bool write(std::ostream& out, std::string_view elementSeparator = " ",
                             std::string_view rowSeparator = "\n") const;
    void print(std::ostream& out) const;

private:
    [[nodiscard]] bool sameShape(const CMatrix& other) const;
    [[nodiscard]] bool uniform() const;
    void checkShape(const CMatrix& a, const char* message) const;

    std::unique_ptr<CVector[]> rows_;
    int rowCount_ = 0;
};

} // namespace harlox
