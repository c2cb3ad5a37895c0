#include "core/binary_io.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>

namespace harlox {

namespace {

template <typename U> void storeLE(std::uint8_t* p, U v) {
    for (std::size_t i = 0; i < sizeof(U); ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

template <typename U> U loadLE(const std::uint8_t* p) {
    U v = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i) {
        v = static_cast<U>(v | (static_cast<U>(p[i]) << (8 * i)));
    }
    return v;
}

} // namespace

bool BinaryWriter::put(const std::uint8_t* p, std::size_t n) {
    if (!ok_) return false;
    if (n > capacity_ - buffer_.size()) {
        // Short write: what fits is written, as a full disk would do.
        buffer_.insert(buffer_.end(), p, p + (capacity_ - buffer_.size()));
        ok_ = false;
        return false;
    }
    buffer_.insert(buffer_.end(), p, p + n);
    return true;
}

bool BinaryWriter::u8(std::uint8_t v) { return put(&v, 1); }

bool BinaryWriter::i16(std::int16_t v) { return u16(static_cast<std::uint16_t>(v)); }

bool BinaryWriter::u16(std::uint16_t v) {
    std::uint8_t b[2];
    storeLE(b, v);
    return put(b, 2);
}

bool BinaryWriter::i32(std::int32_t v) { return u32(static_cast<std::uint32_t>(v)); }

bool BinaryWriter::u32(std::uint32_t v) {
    std::uint8_t b[4];
    storeLE(b, v);
    return put(b, 4);
}

bool BinaryWriter::f64(double v) {
    std::uint8_t b[8];
    storeLE(b, std::bit_cast<std::uint64_t>(v));
    return put(b, 8);
}

bool BinaryWriter::bytes(std::span<const std::uint8_t> data) { return put(data.data(), data.size()); }

bool BinaryWriter::bytes(const char* data, std::size_t n) {
    return put(reinterpret_cast<const std::uint8_t*>(data), n);
}

bool BinaryWriter::zeros(std::size_t n) {
    const std::vector<std::uint8_t> z(n, 0);
    return put(z.data(), n);
}

bool BinaryWriter::textBlock(std::string_view text, std::size_t n) {
    if (n == 0) return ok_;
    std::vector<std::uint8_t> block(n, 0);
    const std::size_t len = std::min(text.size(), n - 1);
    std::memcpy(block.data(), text.data(), len);
    return put(block.data(), n);
}

const std::uint8_t* BinaryReader::take(std::size_t n) {
    if (!ok_ || n > data_.size() - pos_) {
        ok_ = false;
        return nullptr;
    }
    const std::uint8_t* p = data_.data() + pos_;
    pos_ += n;
    return p;
}

bool BinaryReader::u8(std::uint8_t& v) {
    const auto* p = take(1);
    if (!p) return false;
    v = *p;
    return true;
}

bool BinaryReader::i16(std::int16_t& v) {
    std::uint16_t u;
    if (!u16(u)) return false;
    v = static_cast<std::int16_t>(u);
    return true;
}

bool BinaryReader::u16(std::uint16_t& v) {
    const auto* p = take(2);
    if (!p) return false;
    v = loadLE<std::uint16_t>(p);
    return true;
}

bool BinaryReader::i32(std::int32_t& v) {
    std::uint32_t u;
    if (!u32(u)) return false;
    v = static_cast<std::int32_t>(u);
    return true;
}

bool BinaryReader::u32(std::uint32_t& v) {
    const auto* p = take(4);
    if (!p) return false;
    v = loadLE<std::uint32_t>(p);
    return true;
}

bool BinaryReader::f64(double& v) {
    const auto* p = take(8);
    if (!p) return false;
    v = std::bit_cast<double>(loadLE<std::uint64_t>(p));
    return true;
}

bool BinaryReader::bytes(std::uint8_t* out, std::size_t n) {
    const auto* p = take(n);
    if (!p) return false;
    if (n) std::memcpy(out, p, n);
    return true;
}

bool BinaryReader::bytes(char* out, std::size_t n) { return bytes(reinterpret_cast<std::uint8_t*>(out), n); }

bool BinaryReader::skip(std::size_t n) { return take(n) != nullptr; }

bool BinaryReader::textBlock(char* out, std::size_t n) {
    if (!bytes(out, n)) return false;
    if (n) out[n - 1] = '\0';
    return true;
}

bool BinaryReader::textBlock(std::string& out, std::size_t n) {
    const auto* p = take(n);
    if (!p) return false;
    std::size_t len = 0;
    while (len < n && p[len] != 0) ++len;
    out.assign(reinterpret_cast<const char*>(p), len);
    return true;
}

bool readFileBytes(const std::string& path, std::vector<std::uint8_t>& out, std::size_t maxSize) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    std::vector<std::uint8_t> data;
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
        if (n > maxSize - data.size()) return false;
        data.insert(data.end(), chunk, chunk + n);
        if (n < sizeof chunk) break;
    }
    if (std::ferror(f.get())) return false;
    out = std::move(data);
    return true;
}

void copyText(char* dst, std::size_t n, std::string_view text) {
    if (n == 0) return;
    const std::size_t len = std::min(text.size(), n - 1);
    std::memcpy(dst, text.data(), len);
    dst[len] = '\0';
}

} // namespace harlox
