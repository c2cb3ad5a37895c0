#include "core/measured_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <fcntl.h>
#include <limits>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace harlox {

namespace {

constexpr double kLargest = std::numeric_limits<double>::max();

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isSeparator(char c) {
    return c == ' ' || c == '\t';
}
// What a C number conversion skips before the number (blanks and tabs never reach it).
bool isLeadingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\n';
}

// Overflow or underflow of a number that from_chars refused as out of range: decided by
// the position of its first significant digit and its exponent.
double outOfRangeValue(std::string_view mantissa, std::string_view exponent) {
    long long position = 0; // decimal exponent of the first significant digit
    bool found = false;
    long long integerDigits = 0;
    bool inFraction = false;
    long long fractionIndex = 0;
    for (char c : mantissa) {
        if (c == '.') {
            inFraction = true;
            continue;
        }
        if (!inFraction) {
            if (found) {
                ++integerDigits;
            } else if (c != '0') {
                found = true;
                integerDigits = 1;
            }
        } else {
            ++fractionIndex;
            if (!found && c != '0') {
                found = true;
                position = -fractionIndex;
                break;
            }
        }
    }
    if (!found) return 0.0;
    if (integerDigits > 0) position = integerDigits - 1;
    long long e = 0;
    bool negativeExponent = false;
    for (char c : exponent) {
        if (c == '-') negativeExponent = true;
        if (isDigit(c) && e < 1000000) e = e * 10 + (c - '0');
    }
    if (negativeExponent) e = -e;
    return position + e > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

// Stores a magnitude as amplitude·(cos p + j sin p), never letting an overflow through.
Complex pointValue(MeasuredKind kind, double magnitude, double phase) {
    double amplitude = kind == MeasuredKind::Spl ? std::pow(10.0, magnitude / 20.0) : magnitude;
    amplitude = std::clamp(amplitude, -kLargest, kLargest);
    return {amplitude * std::cos(phase), amplitude * std::sin(phase)};
}

// Reads the file in pieces of at most kMeasuredLinePiece characters, as a C text stream
// read with a 200-byte buffer would: the line end counts as one character (CR LF, LF or
// a lone CR), a longer line continues in the next piece.
class PieceReader {
public:
    explicit PieceReader(int fd) : fd_(fd), buffer_(64 * 1024) {}

    bool next(std::string& piece) {
        piece.clear();
        const auto limit = static_cast<std::size_t>(kMeasuredLinePiece);
        while (piece.size() < limit) {
            if (pos_ == len_ && !fill()) return !piece.empty();
            // Copy up to the line end, the piece end or the buffer end in one go.
            const char* begin = buffer_.data() + pos_;
            const std::size_t room = std::min(len_ - pos_, limit - piece.size());
            const char* end = begin;
            while (end != begin + room && *end != '\n' && *end != '\r')
                ++end;
            piece.append(begin, end);
            pos_ += static_cast<std::size_t>(end - begin);
            if (end != begin + room) {
                ++pos_;
                if (*end == '\r' && peek() == '\n') ++pos_;
                return true;
            }
        }
        return true;
    }

private:
    int peek() {
        if (pos_ == len_ && !fill()) return -1;
        return static_cast<unsigned char>(buffer_[pos_]);
    }
    bool fill() {
        if (ended_ || total_ >= kMaxMeasuredFileBytes) return false;
        const std::size_t want = static_cast<std::size_t>(
            std::min<std::uintmax_t>(buffer_.size(), kMaxMeasuredFileBytes - total_));
        for (;;) {
            const ssize_t n = ::read(fd_, buffer_.data(), want);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                ended_ = true; // a read error ends the file like its end does
                return false;
            }
            total_ += static_cast<std::uintmax_t>(n);
            len_ = static_cast<std::size_t>(n);
            pos_ = 0;
            return true;
        }
    }

    int fd_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::uintmax_t total_ = 0;
    bool ended_ = false;
};

// The line reader: remembers the magnitude of the previous line for lines without one.
class LineReader {
public:
    explicit LineReader(int fd) : pieces_(fd) {}

    bool next(MeasuredLine& line) {
        if (!pieces_.next(piece_)) return false;
        line = parseMeasuredLine(piece_, magnitude_);
        magnitude_ = line.magnitude;
        return true;
    }

private:
    PieceReader pieces_;
    std::string piece_;
    double magnitude_ = 0.0;
};

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    [[nodiscard]] int get() const { return fd_; }

private:
    int fd_;
};

// Opens a regular file for reading; devices, pipes and folders are refused without
// blocking on them.
int openRegularFile(const std::string& path) {
    if (path.empty()) return -1;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

struct Point {
    double lnF = 0.0;
    double magnitude = 0.0;
    double phase = 0.0;
};

Point pointOf(const MeasuredLine& line) {
    return {std::log(line.frequency), line.magnitude, line.phase};
}

} // namespace

double measuredFieldValue(std::string_view field) {
    std::size_t p = 0;
    while (p < field.size() && isLeadingSpace(field[p]))
        ++p;
    bool negative = false;
    if (p < field.size() && (field[p] == '+' || field[p] == '-')) {
        negative = field[p] == '-';
        ++p;
    }
    const std::size_t start = p;
    std::size_t digits = 0;
    const auto skipDigits = [&] {
        while (p < field.size() && isDigit(field[p])) {
            ++p;
            ++digits;
        }
    };
    skipDigits();
    if (p < field.size() && field[p] == '.') {
        ++p;
        skipDigits();
    }
    if (digits == 0) return 0.0;
    const std::size_t mantissaEnd = p;
    if (p < field.size() && (field[p] == 'e' || field[p] == 'E')) {
        std::size_t q = p + 1;
        if (q < field.size() && (field[q] == '+' || field[q] == '-')) ++q;
        if (q < field.size() && isDigit(field[q])) {
            while (q < field.size() && isDigit(field[q]))
                ++q;
            p = q;
        }
    }
    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(field.data() + start, field.data() + p, value);
    if (ec == std::errc::result_out_of_range) {
        value = outOfRangeValue(field.substr(start, mantissaEnd - start),
                                field.substr(mantissaEnd, p - mantissaEnd));
    } else if (ec != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

MeasuredLine parseMeasuredLine(std::string_view piece, double previousMagnitude) {
    // A C string ends at its first NUL; so does the line.
    piece = piece.substr(0, piece.find('\0'));
    std::array<std::string_view, 3> fields;
    std::size_t count = 0;
    std::size_t p = 0;
    while (count < fields.size()) {
        while (p < piece.size() && isSeparator(piece[p]))
            ++p;
        if (p >= piece.size()) break;
        const std::size_t begin = p;
        while (p < piece.size() && !isSeparator(piece[p]))
            ++p;
        fields[count++] = piece.substr(begin, p - begin);
    }

    MeasuredLine line;
    line.magnitude = previousMagnitude;
    if (count >= 1) {
        const double f = measuredFieldValue(fields[0]);
        // Only a positive finite frequency has a logarithm; anything else is no frequency.
        line.frequency = std::isfinite(f) && f > 0.0 ? f : 0.0;
    }
    if (count >= 2) {
        const double m = measuredFieldValue(fields[1]);
        if (std::isfinite(m)) line.magnitude = m;
    }
    if (count >= 3) {
        const double radians = measuredFieldValue(fields[2]) * kPi / 180.0;
        if (std::isfinite(radians)) line.phase = radians;
    }
    return line;
}

std::string measuredOpenFailureText(const std::string& triedPath) {
    return "Could not open file : " + triedPath + "\nCheck if path and filename is correct.";
}

MeasuredReadResult readMeasuredCurve(const std::string& path, MeasuredKind kind, const double* f, int n,
                                     Complex* out) {
    const FileDescriptor file(openRegularFile(path));
    if (file.get() < 0) return MeasuredReadResult::CannotOpen;
    n = std::min(n, kMaxPoints);
    if (f == nullptr || out == nullptr || n <= 0) return MeasuredReadResult::NoData;

    std::array<double, kMaxPoints> lnf{};
    for (int i = 0; i < n; ++i)
        lnf[static_cast<std::size_t>(i)] = std::log(f[i]);

    LineReader reader(file.get());
    MeasuredLine line;
    // Header, comment and blank lines carry no frequency.
    do {
        if (!reader.next(line)) return MeasuredReadResult::NoData;
    } while (line.frequency == 0.0);

    // Below the file's first frequency the curve holds the first measured value.
    MeasuredLine current = line;
    int i = 0;
    for (; i < n && f[i] < current.frequency; ++i)
        out[i] = pointValue(kind, current.magnitude, current.phase);
    if (i == n) return MeasuredReadResult::Loaded;

    Point upper = pointOf(current);
    Point lower;
    for (; i < n; ++i) {
        if (current.frequency <= f[i]) {
            // Bracket f[i] by the last line at or below it and the first line above it.
            lower = pointOf(current);
            bool ended = false;
            for (;;) {
                if (!reader.next(line)) {
                    ended = true;
                    break;
                }
                if (line.frequency == 0.0) continue;
                if (line.frequency > f[i]) break;
                lower = pointOf(line);
            }
            if (ended) break;
            current = line;
            upper = pointOf(current);
        }
        const double span = upper.lnF - lower.lnF;
        // Two frequencies so close that their logarithms coincide: the grid point sits on both.
        double t = span > 0.0 ? (lnf[static_cast<std::size_t>(i)] - lower.lnF) / span : 0.0;
        t = t >= 0.0 ? std::min(t, 1.0) : 0.0; // also catches a NaN from a grid frequency <= 0
        const double magnitude =
            std::clamp((1.0 - t) * lower.magnitude + t * upper.magnitude, -kLargest, kLargest);
        double phase = 0.0;
        if (lower.phase * upper.phase > 0.0) {
            phase = (1.0 - t) * lower.phase + t * upper.phase;
        } else {
            // Across a sign change (a wrap at +-180 degrees) interpolating would pass through 0.
            phase = t >= 0.5 ? upper.phase : lower.phase;
        }
        out[i] = pointValue(kind, magnitude, phase);
    }

    if (i < n) {
        if (i == 0) return MeasuredReadResult::NoData;
        // Above the file's last frequency the curve holds its last resampled value.
        const Complex last = out[i - 1];
        for (; i < n; ++i)
            out[i] = last;
    }
    return MeasuredReadResult::Loaded;
}

} // namespace harlox
