#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace harlox {

// Writes `name.tmp` beside the target, flushes and syncs it, then renames it over the
// target. On any failure the temporary file is removed and the target is left as it was.
[[nodiscard]] bool writeFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes);

} // namespace harlox
