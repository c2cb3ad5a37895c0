#include "core/measured_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
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

    [[nodiscard]] std::uintmax_t bytes() const { return total_; }
    [[nodiscard]] std::uintmax_t nulBytes() const { return nul_; }
    [[nodiscard]] std::uintmax_t controlBytes() const { return control_; }
    [[nodiscard]] bool cutOff() const { return cutOff_; }

private:
    void countControlBytes() {
        for (std::size_t k = 0; k < len_; ++k) {
            const auto c = static_cast<unsigned char>(buffer_[k]);
            if (c >= 0x20) continue;
            // Text files hold TAB, LF, CR, the odd VT or FF, and DOS's end-of-file ^Z.
            if (c == 0)
                ++nul_;
            else if (c != '\t' && c != '\n' && c != '\r' && c != '\v' && c != '\f' && c != 0x1a)
                ++control_;
        }
    }

    int peek() {
        if (pos_ == len_ && !fill()) return -1;
        return static_cast<unsigned char>(buffer_[pos_]);
    }
    bool fill() {
        if (ended_) return false;
        if (total_ >= kMaxMeasuredFileBytes) {
            cutOff_ = true;
            return false;
        }
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
            countControlBytes();
            return true;
        }
    }

    int fd_;
    std::vector<char> buffer_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::uintmax_t total_ = 0;
    std::uintmax_t nul_ = 0;
    std::uintmax_t control_ = 0;
    bool ended_ = false;
    bool cutOff_ = false;
};

// The line reader: remembers the magnitude of the previous line for lines without one, and
// keeps the figures of the report as it goes.
class LineReader {
public:
    LineReader(int fd, MeasuredReadReport& report) : pieces_(fd), report_(report) {}

    bool next(MeasuredLine& line) {
        if (!pieces_.next(piece_)) return false;
        line = parseMeasuredLine(piece_, magnitude_);
        magnitude_ = line.magnitude;
        if (line.frequency != 0.0) {
            ++report_.dataLines;
            report_.maxFields = std::max(report_.maxFields, line.fields);
            report_.highestFrequency = std::max(report_.highestFrequency, line.frequency);
            if (report_.lowestFrequency == 0.0 || line.frequency < report_.lowestFrequency)
                report_.lowestFrequency = line.frequency;
        }
        return true;
    }

    // The text of the line read last, for the header of the report.
    void keepAsHeader() {
        constexpr std::size_t kHeaderLimit = 2048;
        std::string& h = report_.header;
        for (char c : piece_) {
            if (h.size() >= kHeaderLimit) return;
            h += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        }
        if (h.size() < kHeaderLimit) h += '\n';
    }

    void finish() {
        report_.bytes = pieces_.bytes();
        report_.nulBytes = pieces_.nulBytes();
        report_.controlBytes = pieces_.controlBytes();
        report_.cutOff = pieces_.cutOff();
    }

private:
    PieceReader pieces_;
    MeasuredReadReport& report_;
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
    line.fields = static_cast<int>(count);
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

namespace {

// Steps 2 to 5 of a read: the file is open, the grid valid.
MeasuredReadResult resample(LineReader& reader, const MeasuredReadRequest& request, const double* lnf,
                            Complex* out) {
    const MeasuredKind kind = request.kind;
    const double* f = request.grid.f;
    const int n = std::min(request.grid.n, kMaxPoints);

    MeasuredLine line;
    // Header, comment and blank lines carry no frequency.
    for (;;) {
        if (!reader.next(line)) return MeasuredReadResult::NoData;
        if (line.frequency != 0.0) break;
        reader.keepAsHeader();
    }

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
            // The current line becomes the lower neighbour; the lines up to the first one
            // above f[i] are passed over.
            lower = pointOf(current);
            bool ended = false;
            for (;;) {
                if (!reader.next(line)) {
                    ended = true;
                    break;
                }
                if (line.frequency == 0.0) continue;
                if (line.frequency > f[i]) break;
            }
            if (ended) break;
            current = line;
            upper = pointOf(current);
        }
        const double span = upper.lnF - lower.lnF;
        // Two frequencies so close that their logarithms coincide: the grid point sits on both.
        double t = span > 0.0 ? (lnf[i] - lower.lnF) / span : 0.0;
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

bool contains(std::string_view text, std::string_view word) {
    return text.find(word) != std::string_view::npos;
}

std::string frequencyText(double hz) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", hz);
    return buffer;
}

} // namespace

MeasuredReadReport readMeasuredCurve(const std::string& path, const MeasuredReadRequest& request, Complex* out) {
    MeasuredReadReport report;
    const FileDescriptor file(openRegularFile(path));
    if (file.get() < 0) {
        report.result = MeasuredReadResult::CannotOpen;
        return report;
    }
    const int n = std::min(request.grid.n, kMaxPoints);
    if (request.grid.f == nullptr || out == nullptr || n <= 0) return report;

    const double* lnf = request.grid.lnf;
    std::array<double, kMaxPoints> own{};
    if (lnf == nullptr) {
        for (int i = 0; i < n; ++i)
            own[static_cast<std::size_t>(i)] = std::log(request.grid.f[i]);
        lnf = own.data();
    }

    LineReader reader(file.get(), report);
    report.result = resample(reader, request, lnf, out);
    reader.finish();
    return report;
}

MeasuredReadResult readMeasuredCurve(const std::string& path, MeasuredKind kind, const double* f, int n,
                                     Complex* out) {
    MeasuredReadRequest request;
    request.kind = kind;
    request.grid = {f, nullptr, n};
    return readMeasuredCurve(path, request, out).result;
}

bool measuredLooksBinary(const MeasuredReadReport& report) {
    return report.nulBytes > 0 || report.controlBytes * 64 > report.bytes;
}

MeasuredColumns measuredColumns(const MeasuredReadReport& report) {
    const std::string_view h = report.header;
    if (report.maxFields <= 1) return MeasuredColumns::FrequencyOnly;
    if (contains(h, "group delay") || contains(h, "groupdelay") || contains(h, "group-delay") ||
        contains(h, "grpdelay"))
        return report.maxFields >= 3 ? MeasuredColumns::GroupDelay : MeasuredColumns::NoPhase;
    if (report.maxFields >= 3) return MeasuredColumns::Full;
    // Two columns: a title that names a phase and no magnitude is the phase half of a pair.
    const bool namesPhase = contains(h, "phase") || contains(h, "deg");
    bool namesMagnitude = false;
    for (const char* word : {"mag", "db", "spl", "ampl", "level", "ohm", "imp", "|z|", "resp"})
        namesMagnitude = namesMagnitude || contains(h, word);
    return namesPhase && !namesMagnitude ? MeasuredColumns::PhaseOnly : MeasuredColumns::NoPhase;
}

std::string measuredNoDataText(const std::string& name, const MeasuredReadReport& report,
                               double lowestGridFrequency) {
    const std::string layout =
        "\nEach data line must begin with the frequency in Hz, then the magnitude and the phase in degrees, "
        "separated by blanks or tabs.";
    if (report.bytes == 0) return "The file " + name + " is empty.";
    if (measuredLooksBinary(report)) return measuredBinaryText(name);
    std::string text;
    if (report.dataLines == 0) {
        text = "No line of " + name + " begins with a frequency above 0 Hz." + layout;
    } else {
        text = "All frequencies in " + name + " (the highest is " + frequencyText(report.highestFrequency) +
               " Hz) lie at or below " + frequencyText(lowestGridFrequency) +
               " Hz, the lowest frequency calculated.";
    }
    if (report.cutOff)
        text +=
            "\nOnly the first " + std::to_string(kMaxMeasuredFileBytes / (1024 * 1024)) + " MB were read.";
    return text;
}

std::string measuredBinaryText(const std::string& name) {
    return "The file " + name +
           " is not a plain text file (it holds NUL or other control bytes).\nSave the measurement as plain "
           "text (not Unicode) with lines of frequency, magnitude and phase.";
}

std::string measuredColumnsText(const std::string& name, MeasuredColumns columns) {
    const std::string join = "Join the magnitude and phase files into one file with lines of frequency, "
                             "magnitude and phase.";
    switch (columns) {
    case MeasuredColumns::Full:
        return {};
    case MeasuredColumns::NoPhase:
        return "The file " + name +
               " has no phase column: the phase is 0 at every frequency.\nIf the phase was "
               "exported to a separate file, join the two into one file with lines of frequency, magnitude "
               "and "
               "phase.";
    case MeasuredColumns::PhaseOnly:
        return "The file " + name +
               " holds a phase column only (the phase half of a split magnitude/phase "
               "export), so it has no magnitude to read.\n" +
               join;
    case MeasuredColumns::FrequencyOnly:
        return "The file " + name + " holds frequencies only: its lines have no magnitude column.";
    case MeasuredColumns::GroupDelay:
        return "The third column of " + name +
               " holds a group delay, not a phase in degrees.\nIt was read as "
               "phase, so the phase is close to 0 at every frequency.";
    }
    return {};
}

} // namespace harlox
