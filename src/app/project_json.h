#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

class TBoxEmbryo;
class TXover;
class UiHost;

// The text form of the project files: every field of the file by name, as JSON, so that a
// project can live in version control or be written by a script. The fields come in file
// order and read back to the identical file.
inline constexpr std::string_view kBoxProjectFormat = "harlox box project";
inline constexpr std::string_view kFilterProjectFormat = "harlox filter project";

// Runs the box project's calculation, as writing its file does.
[[nodiscard]] std::string boxProjectJson(TBoxEmbryo& box);
[[nodiscard]] std::string filterProjectJson(const TXover& xover);

struct ProjectFromJson {
    bool ok = false;
    bool filter = false; // a filter project; a box project otherwise
    int typeCode = 0;
    std::vector<std::uint8_t> bytes; // the project file the fields make
    std::string error;               // why not, naming the field
};

// The project file the text describes. Every field of the type must be present, once, with
// a value its field can hold; fields the type does not have are refused, so that a
// misspelt name is never silently dropped. ui only serves the models that give the layout.
[[nodiscard]] ProjectFromJson projectBytesFromJson(std::string_view text, UiHost& ui);

} // namespace harlox
