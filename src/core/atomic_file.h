#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace harlox {

// Writes `name.tmp` beside the target, flushes and syncs it, then renames it over the
// target. On any failure the temporary file is removed and the target is left as it was.
[[nodiscard]] bool writeFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes);

// Reads at most the first maxBytes of a file; false when it cannot be opened or read.
[[nodiscard]] bool readFilePrefix(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out);

} // namespace harlox
