#include "core/program_dir.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace harlox {

namespace {

std::string& programDirStorage() {
    static std::string dir = "./";
    return dir;
}

std::string& preferencesOverride() {
    static std::string dir;
    return dir;
}

std::string withSlash(std::string_view dir) {
    std::string d(dir);
    std::replace(d.begin(), d.end(), '\\', '/');
    if (d.empty()) d = "./";
    if (d.back() != '/') d.push_back('/');
    return d;
}

bool equalNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

void setProgramDirectory(std::string_view dir) { programDirStorage() = withSlash(dir); }

void setProgramDirectoryFromExecutable(std::string_view argv0) {
    std::error_code ec;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) exe = std::filesystem::absolute(std::filesystem::path(argv0), ec);
    setProgramDirectory(exe.parent_path().string());
}

const std::string& programDirectory() { return programDirStorage(); }

std::string programPath(std::string_view relative) {
    std::string rel(relative);
    std::replace(rel.begin(), rel.end(), '\\', '/');
    while (!rel.empty() && rel.front() == '/') rel.erase(rel.begin());
    return programDirectory() + rel;
}

std::string makeRelativeToProgramDir(std::string_view path) {
    const std::string& dir = programDirectory();
    const std::string_view base(dir.data(), dir.size() - 1); // without the final separator
    if (path.size() > base.size() + 1 && equalNoCase(path.substr(0, base.size()), base) &&
        (path[base.size()] == '/' || path[base.size()] == '\\')) {
        return std::string(path.substr(base.size() + 1));
    }
    return std::string(path);
}

bool isAbsoluteStoredName(std::string_view name) {
    if (name.empty()) return false;
    if (name[0] == '/' || name[0] == '\\') return true;
    return name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':';
}

std::string resolveStoredName(std::string_view name) {
    std::string n(name);
    std::replace(n.begin(), n.end(), '\\', '/');
    if (isAbsoluteStoredName(name)) return n;
    return programPath(n);
}

std::string fileNamePart(std::string_view path) {
    const auto pos = path.find_last_of("/\\");
    return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

std::string upperExtension(std::string_view path) {
    const std::string name = fileNamePart(path);
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

void setPreferencesDirectory(std::string_view dir) {
    preferencesOverride() = dir.empty() ? std::string() : withSlash(dir);
}

std::string preferencesDirectory() {
    if (!preferencesOverride().empty()) return preferencesOverride();
    const std::string& dir = programDirectory();
    if (::access(dir.c_str(), W_OK) == 0) return dir;
    std::string base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home && *home) {
        base = std::string(home) + "/.config";
    } else {
        base = "/tmp";
    }
    const std::string result = withSlash(base) + "harlox/";
    std::error_code ec;
    std::filesystem::create_directories(result, ec);
    return result;
}

std::string preferencesPath(std::string_view name) { return preferencesDirectory() + std::string(name); }

} // namespace harlox
