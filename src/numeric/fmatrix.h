#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>

namespace harlox {

// Ends the program on an internal size error, which only a programming error can cause:
// "<classPrefix><message>" and a line end on the error stream, then abort. Never returns.
[[noreturn]] void numericFatal(std::string_view classPrefix, std::string_view message);

// A real vector holding one value per frequency point. Elements are addressed from a
// lower index (0 everywhere in the program). Element-wise operations write into *this,
// which may also be an operand, and run over this vector's length: operands must be at
// least as long (not checked in release builds; that is the caller's error).
class FVector {
public:
    explicit FVector(int length = 0, int lowerIndex = 0);
    FVector(const FVector& other);
    FVector(FVector&& other) noexcept;
    // count elements taken from source[first] .. source[first + count - 1]
    FVector(const FVector& source, int first, int count, int lowerIndex = 0);
    FVector(const double* values, int length);
    FVector(const float* values, int length);
    virtual ~FVector();

    FVector& operator=(const FVector& other);
    FVector& operator=(FVector&& other) noexcept;

    // New zeroed storage; the old values are lost.
    void resize(int length, int lowerIndex = 0);
    // Values only, over this vector's own length.
    void copyValues(const FVector& other);
    // count == -1 copies up to the end of this vector.
    void copyRange(const FVector& source, int sourceFirst, int count, int targetFirst);

    [[nodiscard]] bool operator!=(const FVector& other) const;
    [[nodiscard]] bool operator==(const FVector& other) const { return !(*this != other); }

    [[nodiscard]] int length() const { return length_; }
    [[nodiscard]] int lowerIndex() const { return lower_; }
    [[nodiscard]] int upperIndex() const { return lower_ + length_ - 1; }
    // The storage, null for an empty vector.
    [[nodiscard]] double* data() { return data_.get(); }
    [[nodiscard]] const double* data() const { return data_.get(); }
    double* begin() { return data_.get(); }
    double* end() { return data_.get() + length_; }
    [[nodiscard]] const double* begin() const { return data_.get(); }
    [[nodiscard]] const double* end() const { return data_.get() + length_; }

    double& operator[](int i) { return data_[static_cast<std::size_t>(i - lower_)]; }
    const double& operator[](int i) const { return data_[static_cast<std::size_t>(i - lower_)]; }

    void fill(double value);
    void add(const FVector& a, const FVector& b);
    void sub(const FVector& a, const FVector& b);
    void mul(const FVector& a, const FVector& b);
    void div(const FVector& a, const FVector& b);
    void add(const FVector& a, double s);
    void sub(const FVector& a, double s);
    void mul(const FVector& a, double s);
    void div(const FVector& a, double s);
    void scale(double s, const FVector& a);
    // this[i] += s * a[i]
    void mulAdd(double s, const FVector& a);

    [[nodiscard]] double sum() const;
    // sum of this[i] * b[i + offset]
    [[nodiscard]] double dot(const FVector& b, int offset = 0) const;

    // Indices count from the lower index; ties go to the first element met. An empty vector
    // answers lowerIndex() - 1.
    [[nodiscard]] int minIndex() const;
    [[nodiscard]] int maxIndex() const;
    [[nodiscard]] int minAbsIndex() const;
    [[nodiscard]] int maxAbsIndex() const;

    // this[i] = f(a[i])
    template <class F> void apply(F f, const FVector& a) {
        const double* src = a.data_.get();
        for (int i = 0; i < length_; ++i)
            data_[static_cast<std::size_t>(i)] = f(src[i]);
    }

    // FIFOs: one element in at one end, the element at the other end drops out.
    void pushFront(double value);
    void pushBack(double value);
    // b enters at the back (the front moves out), or at the front (the back moves out);
    // a b at least as long as this vector leaves its last / first length() elements.
    void shiftInBack(const FVector& b);
    void shiftInFront(const FVector& b);

    // Reads length() numbers into the existing elements; false at the first stream failure.
    virtual bool read(std::istream& in);
    void write(std::ostream& out, std::string_view separator = " ") const;
    // Fields 14 wide, five to a line.
    virtual void print(std::ostream& out) const;

    [[nodiscard]] FVector operator+(const FVector& b) const;
    [[nodiscard]] FVector operator-(const FVector& b) const;
    [[nodiscard]] FVector operator*(const FVector& b) const;
    friend FVector operator*(double s, const FVector& a);

private:
    int length_ = 0;
    int lower_ = 0;
    std::unique_ptr<double[]> data_;
};

// A real matrix: a stack of rows of equal length, each row an FVector with lower index 0.
// Two-operand operations check the shapes and end the program when they differ.
class FMatrix {
public:
    explicit FMatrix(int rows = 0, int columns = 0);
    FMatrix(const FMatrix& other);
    FMatrix(FMatrix&& other) noexcept;
    // Row-major values.
    FMatrix(const double* values, int rows, int columns);
    FMatrix(const float* values, int rows, int columns);
    // Row r takes source elements r * columns .. r * columns + columns - 1.
    FMatrix(const FVector& source, int rows, int columns);
    // A run of rows of source.
    FMatrix(const FMatrix& source, int firstRow, int rowCount);
    virtual ~FMatrix();

    FMatrix& operator=(const FMatrix& other);
    FMatrix& operator=(FMatrix&& other) noexcept;

    void resize(int rows, int columns);
    void copyValues(const FMatrix& other);
    // Copies rows; count == -1 copies up to the last row of this matrix.
    void copyRange(const FMatrix& source, int sourceFirst, int count, int targetFirst);

    [[nodiscard]] bool operator!=(const FMatrix& other) const;
    [[nodiscard]] bool operator==(const FMatrix& other) const { return !(*this != other); }

    [[nodiscard]] int rowCount() const { return rowCount_; }
    [[nodiscard]] int columnCount() const { return rowCount_ > 0 ? rows_[0].length() : 0; }
    FVector& operator[](int r) { return rows_[static_cast<std::size_t>(r)]; }
    const FVector& operator[](int r) const { return rows_[static_cast<std::size_t>(r)]; }

    void mulAdd(double s, const FMatrix& b);
    void add(const FMatrix& a, const FMatrix& b);
    void sub(const FMatrix& a, const FMatrix& b);
    void mul(const FMatrix& a, const FMatrix& b);
    void div(const FMatrix& a, const FMatrix& b);
    // Only the element counts must agree; elements pair up in row-major order.
    void scale(double s, const FMatrix& a);
    // this = a x b; this must already have a's rows and b's columns.
    void product(const FMatrix& a, const FMatrix& b);
    void fill(double value);
    // this[r][c] = a[c][r]; this must already have the transposed shape.
    void transpose(const FMatrix& a);
    [[nodiscard]] FMatrix transposed() const;
    [[nodiscard]] FVector columnSums() const;

    // Element values (the first met on ties); 0 for an empty matrix.
    [[nodiscard]] double minElement() const;
    [[nodiscard]] double maxElement() const;
    [[nodiscard]] double minAbsElement() const;
    [[nodiscard]] double maxAbsElement() const;

    // Row by row the elements with column >= row (upper) or column <= row (lower).
    [[nodiscard]] FVector upperTriangle() const;
    [[nodiscard]] FVector lowerTriangle() const;

    // Row FIFOs: the row at the other end drops out.
    void pushRowFront(const FVector& row);
    void pushRowBack(const FVector& row);

    template <class F> [[nodiscard]] FMatrix apply(F f) const {
        FMatrix result(rowCount_, columnCount());
        for (int r = 0; r < rowCount_; ++r)
            result[r].apply(f, (*this)[r]);
        return result;
    }

    // Reads a text file of numbers: one row per non-blank line, words / rows columns.
    [[nodiscard]] bool read(const std::string& fileName);
    // False when the stream failed.
    [[nodiscard]] bool write(std::ostream& out, std::string_view elementSeparator = " ",
                             std::string_view rowSeparator = "\n") const;
    void print(std::ostream& out) const;

private:
    [[nodiscard]] bool sameShape(const FMatrix& other) const;
    // All rows as long as row 0 (rows are reachable through operator[], so not guaranteed).
    [[nodiscard]] bool uniform() const;
    void checkShape(const FMatrix& a, const char* message) const;

    std::unique_ptr<FVector[]> rows_;
    int rowCount_ = 0;
};

// Counts the rows and columns of a text file of numbers as FMatrix::read and CMatrix::read
// do: rows are the lines holding a word (at least 1), columns the words per row (integer
// division). False when the file cannot be opened or holds too many words.
[[nodiscard]] bool countMatrixFile(const std::string& fileName, int& rows, int& columns);

} // namespace harlox
