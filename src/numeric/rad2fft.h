#pragma once

#include "numeric/cmatrix.h"
#include "numeric/fmatrix.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace harlox {

// Iterative radix-2 decimation-in-time FFT of one fixed size. Twiddles and the
// bit-reversal table are computed once; a transform allocates nothing and applies no
// scaling in either direction (forward then inverse gives N times the input).
class Rad2FFT {
public:
    // The bit-reversal table holds at most this many entries, so 16384 is the largest size.
    static constexpr int kMaxTableSize = 20000;

    // size must be a power of two from 1 to 16384; anything else ends the program.
    explicit Rad2FFT(int size);

    [[nodiscard]] int size() const { return size_; }
    [[nodiscard]] int stages() const { return stages_; }
    // Entry i: i with its stages() low bits reversed.
    [[nodiscard]] std::span<const std::int32_t> bitReversal() const { return bitReversal_; }
    // W_k = e^(-j 2 pi k / N) for k = 0 .. N, as integer powers of W_1.
    [[nodiscard]] const CVector& twiddles() const { return twiddles_; }

    // output = DFT of input, with e^(+j...) when inverse is set. output must hold size()
    // elements; a shorter input is padded with zeros. input and output may be the same vector.
    void transform(const CVector& input, CVector& output, bool inverse);
    // The first size()/2 bins of the forward transform of (x_n, 0) go to output, which must
    // hold at least that many elements.
    void realSpectrum(const FVector& input, CVector& output);

private:
    // The stages from half size firstHalfSize on, on the split work arrays.
    void runStages(bool inverse, int firstHalfSize);

    int size_ = 0;
    int stages_ = 0;
    std::vector<std::int32_t> bitReversal_;
    CVector twiddles_;
    // The butterflies work on split real/imaginary arrays, which vectorise; the arithmetic
    // per element is exactly that of the complex form.
    std::unique_ptr<double[]> workRe_;
    std::unique_ptr<double[]> workIm_;
    // Per stage the H twiddles it uses, contiguous: stage with half-size H starts at H - 1.
    std::unique_ptr<double[]> forwardRe_;
    std::unique_ptr<double[]> forwardIm_;
    std::unique_ptr<double[]> inverseRe_;
    std::unique_ptr<double[]> inverseIm_;
};

} // namespace harlox
