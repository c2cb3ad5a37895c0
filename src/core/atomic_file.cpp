#include "core/atomic_file.h"

#include <cerrno>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <fcntl.h>
#include <unistd.h>

namespace harlox {

bool writeFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
    if (path.empty()) return false;
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (ok && ::fsync(fd) != 0) ok = false;
    if (::close(fd) != 0) ok = false;
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) ok = false;
    if (!ok) std::remove(tmp.c_str());
    return ok;
}

bool readFilePrefix(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return false;
    const std::streamoff size = in.tellg();
    in.seekg(0);
    if (size < 0 || !in) return false;
    std::vector<std::uint8_t> data(std::min(static_cast<std::size_t>(size), maxBytes));
    in.read(reinterpret_cast<char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (in.bad()) return false;
    data.resize(static_cast<std::size_t>(in.gcount()));
    out = std::move(data);
    return true;
}

} // namespace harlox
