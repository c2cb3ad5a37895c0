#pragma once

#include "driver/spk_data.h"

#include <array>
#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

// One driver of the library: its parameters as a unit record, and where it came from.
struct TDriverEntry {
    TSpkData unit;
    std::string source; // the file, as it was named to load()
    std::string where;  // "row 3", "entry 2", "" for a file holding one driver
};

// A row (or JSON object, or whole file) that gave no usable driver.
struct TRefusedRow {
    std::string source;
    std::string where;
    std::string name; // manufacturer and model when the row had them
    std::string reason;

    // "drivers.csv row 3 (Acme X1): fs missing"
    [[nodiscard]] std::string text() const;
};

// The parameters the library window filters on.
enum class LibraryField { fs, Qts, Vas, Sd, Xmax };
inline constexpr std::size_t kLibraryFieldCount = 5;

struct TDriverFilter {
    struct Range {
        double min = 0.0; // SI, as the unit record stores it
        double max = std::numeric_limits<double>::infinity();
        // An open range passes every driver, even one without the value.
        [[nodiscard]] bool open() const {
            return min <= 0.0 && max == std::numeric_limits<double>::infinity();
        }
    };
    // Every word must appear in the manufacturer or the model, ignoring case.
    std::string text;
    std::array<Range, kLibraryFieldCount> ranges{};

    [[nodiscard]] Range& range(LibraryField f) { return ranges[static_cast<std::size_t>(f)]; }
    [[nodiscard]] const Range& range(LibraryField f) const { return ranges[static_cast<std::size_t>(f)]; }
};

[[nodiscard]] double libraryFieldValue(const TSpkData& unit, LibraryField field);

// Driver parameter tables read from CSV and JSON files. The reader treats every file as
// hostile: sizes and row lengths are bounded, and a row it cannot use is refused with a
// reason instead of being guessed at.
//
// CSV: a header row of parameter names with the unit in brackets ("Vas [l]"), comma,
// semicolon or tab separated (detected), quoted fields, CRLF or LF, an optional UTF-8 BOM.
// JSON: an object per driver, or an array of them; keys carry their unit ("vasL", "sdCm2")
// or none. A value without a stated unit is read in SI unless that would be absurd for a
// loudspeaker (an Sd of 530 m^2), in which case the unit editor's unit is taken.
class TDriverLibrary {
public:
    static constexpr std::size_t kMaxFileSize = 16u << 20;
    static constexpr std::size_t kMaxRowLength = 64u << 10;
    static constexpr std::size_t kMaxColumns = 256;
    static constexpr std::size_t kMaxFiles = 5000;
    static constexpr std::size_t kMaxDepth = 32;
    static constexpr std::size_t kMaxEntries = 100000;

    // Appends the drivers of a CSV or JSON file, or of every such file below a folder.
    // false when the file or folder cannot be used at all; lastError() says why. Problems of
    // single files inside a folder land in refused().
    [[nodiscard]] bool load(const std::string& path);
    // The same for text already in memory; source names it in the refusals.
    [[nodiscard]] bool loadCsv(std::string_view text, const std::string& source);
    [[nodiscard]] bool loadJson(std::string_view text, const std::string& source);
    void clear();

    [[nodiscard]] const std::vector<TDriverEntry>& entries() const { return entries_; }
    [[nodiscard]] const std::vector<TRefusedRow>& refused() const { return refused_; }
    // Column names and keys that name no parameter, each once.
    [[nodiscard]] const std::vector<std::string>& ignoredColumns() const { return ignored_; }
    [[nodiscard]] const std::string& lastError() const { return lastError_; }

    // Indexes of the entries that pass the filter, in library order.
    [[nodiscard]] std::vector<std::size_t> search(const TDriverFilter& filter) const;

    // "Manufacturer Model.unt" without path separators or control characters.
    [[nodiscard]] static std::string unitFileName(const TSpkData& unit);
    // A path in folder for that name that no file uses yet ("... (2).unt").
    [[nodiscard]] static std::string uniqueUnitPath(const std::string& folder, const TSpkData& unit);
    // Writes the unit file copy (atomic); false with error set when it fails.
    [[nodiscard]] static bool writeUnitCopy(const TSpkData& unit, const std::string& path,
                                            std::string& error);

private:
    bool loadFile(const std::string& path);
    void refuse(const std::string& source, std::string where, std::string name, std::string reason);
    void ignore(std::string_view name);

    std::vector<TDriverEntry> entries_;
    std::vector<TRefusedRow> refused_;
    std::vector<std::string> ignored_;
    std::string lastError_;
};

} // namespace harlox
