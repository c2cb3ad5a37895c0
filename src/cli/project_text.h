#pragma once

#include "app/project_json.h"

#include <iosfwd>
#include <string>

namespace harlox {
class UiHost;
}

namespace harlox::cli {

// Whether path names a project in its text form (.json).
[[nodiscard]] bool isProjectText(const std::string& path);

// Reads a project's text form into the bytes of its file; false, with the message written to
// err, when the file cannot be read or the text is refused.
[[nodiscard]] bool readProjectText(const std::string& path, UiHost& ui, ProjectFromJson& out, std::ostream& err);

// --dump FILE.json: writes the text atomically; false, with the message, when it fails.
[[nodiscard]] bool writeProjectText(const std::string& path, const std::string& text, std::ostream& out,
                                    std::ostream& err);

} // namespace harlox::cli
