#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

inline constexpr std::string_view kAppConfigFileName = "harlox.cfg";
inline constexpr std::size_t kAppConfigSize = 17;

// The main window's outer rectangle in screen pixels.
struct WindowRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    [[nodiscard]] std::int64_t width() const { return std::int64_t{right} - left; }
    [[nodiscard]] std::int64_t height() const { return std::int64_t{bottom} - top; }
    friend bool operator==(const WindowRect&, const WindowRect&) = default;
};

// What harlox.cfg restores. A missing or short file is not an error: the placement is
// only restored when the whole rectangle was read (and describes a window of positive
// size), and the notice flag is 1 unless its byte was read.
struct AppConfig {
    std::optional<WindowRect> placement;
    bool showLoadDriverNotice = true;
};

AppConfig parseAppConfig(std::span<const std::uint8_t> bytes);
std::vector<std::uint8_t> serializeAppConfig(const WindowRect& rect, bool showLoadDriverNotice);

// The file in the preferences folder (beside the program when writable).
std::string appConfigPath();
AppConfig readAppConfig(const std::string& path);
AppConfig readAppConfig();
// Written atomically; the caller ignores a failure.
[[nodiscard]] bool writeAppConfig(const std::string& path, const WindowRect& rect, bool showLoadDriverNotice);
[[nodiscard]] bool writeAppConfig(const WindowRect& rect, bool showLoadDriverNotice);

} // namespace harlox
