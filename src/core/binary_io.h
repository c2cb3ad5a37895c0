#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

// How a traced field is stored.
enum class FieldKind : std::uint8_t { U8, I16, U16, I32, U32, F64, Text, Bytes, Reserved };

// One field as a traced writer wrote it. path is a JSON pointer ("/unit/fs", "/nets/2/Re");
// a name written several times in a row in one group gets an index ("/splScaling/3").
struct TracedField {
    std::string path;
    FieldKind kind = FieldKind::Reserved;
    std::size_t offset = 0;
    std::size_t size = 0;
};

// Assembles little-endian bytes explicitly; never dumps structs. A writer may be given a
// capacity: writes past it fail as a short write would (used to model a full disk).
// The names given with the fields cost nothing unless a trace is attached: then every field
// is recorded under its name and the groups open around it, which is how a project is shown
// field by field.
class BinaryWriter {
public:
    BinaryWriter() = default;
    explicit BinaryWriter(std::size_t capacity) : capacity_(capacity) {}

    bool u8(std::uint8_t v, const char* name = nullptr);
    bool i16(std::int16_t v, const char* name = nullptr);
    bool u16(std::uint16_t v, const char* name = nullptr);
    bool i32(std::int32_t v, const char* name = nullptr);
    bool u32(std::uint32_t v, const char* name = nullptr);
    bool f64(double v, const char* name = nullptr);
    bool bytes(std::span<const std::uint8_t> data, const char* name = nullptr);
    bool bytes(const char* data, std::size_t n, const char* name = nullptr);
    bool zeros(std::size_t n);
    // A fixed block of n bytes holding text zero-terminated (cut to n - 1), zero-filled.
    bool textBlock(std::string_view text, std::size_t n, const char* name = nullptr);

    [[nodiscard]] bool ok() const { return ok_; }
    [[nodiscard]] std::size_t size() const { return buffer_.size(); }
    [[nodiscard]] const std::vector<std::uint8_t>& buffer() const { return buffer_; }
    std::vector<std::uint8_t> take() { return std::move(buffer_); }

    // Records every later field into trace (null stops). Fields written without a name are
    // recorded as "/?" so that a missing name is found rather than silently merged.
    void setTrace(std::vector<TracedField>* trace) { trace_ = trace; }
    [[nodiscard]] bool tracing() const { return trace_ != nullptr; }
    void beginGroup(const char* name, int index = -1);
    void endGroup();

private:
    bool put(const std::uint8_t* p, std::size_t n, FieldKind kind, const char* name);

    std::vector<std::uint8_t> buffer_;
    std::size_t capacity_ = static_cast<std::size_t>(-1);
    bool ok_ = true;
    std::vector<TracedField>* trace_ = nullptr;
    std::string group_;                 // the open groups as a JSON pointer prefix
    std::vector<std::size_t> groupEnds_; // length of group_ before each open group
    std::string lastLeaf_;              // path of the previous field, for runs of one name
    int runLength_ = 0;
    std::size_t runStart_ = 0;          // index in trace_ of the run's first field
};

// Names the fields written while it lives: FieldGroup g(w, "nets", i).
class FieldGroup {
public:
    FieldGroup(BinaryWriter& w, const char* name, int index = -1) : w_(w) { w_.beginGroup(name, index); }
    ~FieldGroup() { w_.endGroup(); }
    FieldGroup(const FieldGroup&) = delete;
    FieldGroup& operator=(const FieldGroup&) = delete;

private:
    BinaryWriter& w_;
};

// Writes one record under a group name: writeGroup(w, "port", [&] { return port.writeRecord(w); }).
template <typename Write> void writeGroup(BinaryWriter& w, const char* name, Write&& write) {
    FieldGroup g(w, name);
    (void)write();
}

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
