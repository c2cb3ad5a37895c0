#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace harlox {

// One entry of a file selector's filter list: "Unit files (*.unt)" with pattern "*.unt".
struct FileFilter {
    std::string label;
    std::vector<std::string> patterns;
    bool operator==(const FileFilter&) const = default;
};

// Reads the program's "Label|pattern|Label|pattern|" lists (the last '|' may be missing).
// Patterns within one entry are separated by ';'. Entries without a pattern are dropped.
[[nodiscard]] std::vector<FileFilter> parseFilterList(std::string_view list);

// The same list in the "Label (*.a *.b);;Label (*)" form of Qt's file dialogs. A label's own
// "(*.x)" part is replaced by the patterns, and "*.*" becomes "*" so that "All files" also
// matches names without a dot.
[[nodiscard]] std::string convertFilterList(std::string_view list);

// The path with "." + extension appended when its file name has no extension of its own
// (what a save dialog does with the selector's default extension). A leading '.' of the
// extension is ignored; a path naming a folder (ending in '/') is left alone.
[[nodiscard]] std::string withDefaultExtension(std::string_view path, std::string_view extension);

} // namespace harlox
