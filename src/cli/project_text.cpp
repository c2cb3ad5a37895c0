#include "cli/project_text.h"

#include "cli/cli_values.h"
#include "core/atomic_file.h"
#include "core/binary_io.h"
#include "core/program_dir.h"

#include <ostream>

namespace harlox::cli {

namespace {
// A project's text is some tens of kilobytes; anything this large is not one.
constexpr std::size_t kMaxProjectText = std::size_t{16} << 20;
} // namespace

bool isProjectText(const std::string& path) { return upperExtension(path) == ".JSON"; }

bool readProjectText(const std::string& path, UiHost& ui, ProjectFromJson& out, std::ostream& err) {
    if (const std::string why = openProblem(path); !why.empty()) {
        err << "harlox-cli: " << why << '\n';
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (!readFileBytes(path, bytes, kMaxProjectText)) {
        err << "harlox-cli: cannot read " << quoted(path) << ": it is not a project's text (larger than 16 MB)\n";
        return false;
    }
    out = projectBytesFromJson(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), ui);
    if (!out.ok) {
        err << "harlox-cli: " << quoted(path) << ": " << out.error << '\n';
        return false;
    }
    return true;
}

bool writeProjectText(const std::string& path, const std::string& text, std::ostream& out, std::ostream& err) {
    const std::vector<std::uint8_t> bytes(text.begin(), text.end());
    if (!writeFileAtomic(path, bytes)) {
        err << "harlox-cli: could not write the project's text: " << writeProblem(path) << '\n';
        return false;
    }
    reportWritten(out, path);
    return true;
}

} // namespace harlox::cli
