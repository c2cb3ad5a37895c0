#include "app/app_config.h"

#include "core/atomic_file.h"
#include "core/binary_io.h"
#include "core/program_dir.h"

#include <fstream>

namespace harlox {

AppConfig parseAppConfig(std::span<const std::uint8_t> bytes) {
    AppConfig config;
    BinaryReader in(bytes);
    WindowRect r;
    if (!in.i32(r.left) || !in.i32(r.top) || !in.i32(r.right) || !in.i32(r.bottom)) return config;
    if (r.width() > 0 && r.height() > 0) config.placement = r;
    std::uint8_t flag = 1;
    if (in.u8(flag)) config.showLoadDriverNotice = flag != 0;
    return config;
}

std::vector<std::uint8_t> serializeAppConfig(const WindowRect& rect, bool showLoadDriverNotice) {
    BinaryWriter out;
    out.i32(rect.left);
    out.i32(rect.top);
    out.i32(rect.right);
    out.i32(rect.bottom);
    out.u8(showLoadDriverNotice ? 1 : 0);
    return out.take();
}

std::string appConfigPath() {
    return preferencesPath(kAppConfigFileName);
}

AppConfig readAppConfig(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return {};
    // Only the first 17 bytes matter; anything after them is ignored.
    std::uint8_t buffer[kAppConfigSize] = {};
    file.read(reinterpret_cast<char*>(buffer), sizeof buffer);
    const auto got = static_cast<std::size_t>(file.gcount());
    return parseAppConfig(std::span<const std::uint8_t>(buffer, got));
}

AppConfig readAppConfig() {
    return readAppConfig(appConfigPath());
}

bool writeAppConfig(const std::string& path, const WindowRect& rect, bool showLoadDriverNotice) {
    const std::vector<std::uint8_t> bytes = serializeAppConfig(rect, showLoadDriverNotice);
    return writeFileAtomic(path, bytes);
}

bool writeAppConfig(const WindowRect& rect, bool showLoadDriverNotice) {
    return writeAppConfig(appConfigPath(), rect, showLoadDriverNotice);
}

} // namespace harlox
