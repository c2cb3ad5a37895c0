#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

// Assembles little-endian bytes explicitly; never dumps structs. A writer may be given a
// capacity: writes past it fail as a short write would (used to model a full disk).
class BinaryWriter {
public:
    BinaryWriter() = default;
    explicit BinaryWriter(std::size_t capacity) : capacity_(capacity) {}

    bool u8(std::uint8_t v);
    bool i16(std::int16_t v);
    bool u16(std::uint16_t v);
    bool i32(std::int32_t v);
    bool u32(std::uint32_t v);
    bool f64(double v);
    bool bytes(std::span<const std::uint8_t> data);
    bool bytes(const char* data, std::size_t n);
    bool zeros(std::size_t n);
    // A fixed block of n bytes holding text zero-terminated (cut to n - 1), zero-filled.
    bool textBlock(std::string_view text, std::size_t n);

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] std::size_t size() const { return buffer_.size(); }
    [[nodiscard]] const std::vector<std::uint8_t>& buffer() const { return buffer_; }
    std::vector<std::uint8_t> take() { return std::move(buffer_); }

private:
    bool put(const std::uint8_t* p, std::size_t n);

    std::vector<std::uint8_t> buffer_;
    std::size_t capacity_ = static_cast<std::size_t>(-1);
    bool ok_ = true;
};

// Reads little-endian fields from a byte span. A read past the end fails, leaves the
// target untouched and makes every later read fail as well.
class BinaryReader {
public:
    explicit BinaryReader(std::span<const std::uint8_t> data) : data_(data) {}

    bool u8(std::uint8_t& v);
    bool i16(std::int16_t& v);
    bool u16(std::uint16_t& v);
    bool i32(std::int32_t& v);
    bool u32(std::uint32_t& v);
    bool f64(double& v);
    bool bytes(std::uint8_t* out, std::size_t n);
    bool bytes(char* out, std::size_t n);
    bool skip(std::size_t n);
    // Reads a block of n bytes into out[0..n) and forces out[n - 1] = 0.
    bool textBlock(char* out, std::size_t n);
    // Reads a block of n bytes and returns the text up to the first NUL.
    bool textBlock(std::string& out, std::size_t n);

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] std::size_t position() const { return pos_; }
    [[nodiscard]] std::size_t remaining() const { return data_.size() - pos_; }
    [[nodiscard]] bool atEnd() const { return pos_ == data_.size(); }

private:
    const std::uint8_t* take(std::size_t n);

    std::span<const std::uint8_t> data_;
    std::size_t pos_ = 0;
    bool ok_ = true;
};

// Reads a whole file. Fails when it cannot be opened, cannot be read or is larger than maxSize.
[[nodiscard]] bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& out,
                                 std::size_t maxSize = std::size_t{64} << 20);

// Copies text into a fixed char buffer, cut to fit and always terminated.
void copyText(char* dst, std::size_t n, std::string_view text);

} // namespace harlox
