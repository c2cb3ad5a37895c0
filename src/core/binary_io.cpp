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

bool BinaryWriter::put(const std::uint8_t* p, std::size_t n, FieldKind kind, const char* name) {
    if (!ok_) return false;
    if (trace_) {
        if (kind == FieldKind::Reserved) {
            trace_->push_back({std::string(), kind, buffer_.size(), n});
            lastLeaf_.clear();
        } else {
            std::string path = group_ + "/" + (name ? name : "?");
            if (path == lastLeaf_) {
                // A run of one name becomes an array: the first field gets its index now.
                if (runLength_ == 1) (*trace_)[runStart_].path += "/0";
                path += "/" + std::to_string(runLength_++);
            } else {
                lastLeaf_ = path;
                runLength_ = 1;
                runStart_ = trace_->size();
            }
            trace_->push_back({std::move(path), kind, buffer_.size(), n});
        }
    }
    if (n > capacity_ - buffer_.size()) {
        // Short write: what fits is written, as a full disk would do.
        buffer_.insert(buffer_.end(), p, p + (capacity_ - buffer_.size()));
        ok_ = false;
        return false;
    }
    buffer_.insert(buffer_.end(), p, p + n);
    return true;
}

void BinaryWriter::beginGroup(const char* name, int index) {
    if (!trace_) return;
    groupEnds_.push_back(group_.size());
    group_ += "/";
    group_ += name;
    if (index >= 0) group_ += "/" + std::to_string(index);
    lastLeaf_.clear();
}

void BinaryWriter::endGroup() {
    if (!trace_ || groupEnds_.empty()) return;
    group_.resize(groupEnds_.back());
    groupEnds_.pop_back();
    lastLeaf_.clear();
}

bool BinaryWriter::u8(std::uint8_t v, const char* name) { return put(&v, 1, FieldKind::U8, name); }

bool BinaryWriter::i16(std::int16_t v, const char* name) {
    std::uint8_t b[2];
    storeLE(b, static_cast<std::uint16_t>(v));
    return put(b, 2, FieldKind::I16, name);
}

bool BinaryWriter::u16(std::uint16_t v, const char* name) {
    std::uint8_t b[2];
    storeLE(b, v);
    return put(b, 2, FieldKind::U16, name);
}

bool BinaryWriter::i32(std::int32_t v, const char* name) {
    std::uint8_t b[4];
    storeLE(b, static_cast<std::uint32_t>(v));
    return put(b, 4, FieldKind::I32, name);
}

bool BinaryWriter::u32(std::uint32_t v, const char* name) {
    std::uint8_t b[4];
    storeLE(b, v);
    return put(b, 4, FieldKind::U32, name);
}

bool BinaryWriter::f64(double v, const char* name) {
    std::uint8_t b[8];
    storeLE(b, std::bit_cast<std::uint64_t>(v));
    return put(b, 8, FieldKind::F64, name);
}

bool BinaryWriter::bytes(std::span<const std::uint8_t> data, const char* name) {
    return put(data.data(), data.size(), FieldKind::Bytes, name);
}

bool BinaryWriter::bytes(const char* data, std::size_t n, const char* name) {
    return put(reinterpret_cast<const std::uint8_t*>(data), n, FieldKind::Bytes, name);
}

bool BinaryWriter::zeros(std::size_t n) {
    const std::vector<std::uint8_t> z(n, 0);
    return put(z.data(), n, FieldKind::Reserved, nullptr);
}

bool BinaryWriter::textBlock(std::string_view text, std::size_t n, const char* name) {
    if (n == 0) return ok_;
    std::vector<std::uint8_t> block(n, 0);
    const std::size_t len = std::min(text.size(), n - 1);
    std::memcpy(block.data(), text.data(), len);
    return put(block.data(), n, FieldKind::Text, name);
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
