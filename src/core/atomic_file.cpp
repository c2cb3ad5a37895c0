#include "core/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <fcntl.h>
#include <unistd.h>
#include <utility>

namespace harlox {

namespace {

// Null outside tests: every check below is one pointer comparison.
const SaveFault* g_fault = nullptr;
int g_hits = 0;

// The injected errno for a step, 0 when the step is to run as usual.
int injected(int SaveFault::*step) {
    if (g_fault == nullptr || g_fault->*step == 0) return 0;
    ++g_hits;
    return g_fault->*step;
}

} // namespace

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)), tmp_(path_ + ".tmp") {
    if (path_.empty()) return;
    if (const int e = injected(&SaveFault::openErrno)) {
        errno = e;
        return;
    }
    // Read access too: a sound file library reads back the header it wrote.
    fd_ = ::open(tmp_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
}

AtomicFile::~AtomicFile() { Discard(); }

bool AtomicFile::Write(const void* data, std::size_t size) {
    if (fd_ < 0 || failed_) return false;
    const auto* p = static_cast<const std::uint8_t*>(data);
    std::size_t room = size;
    bool full = false;
    if (g_fault != nullptr && g_fault->shortWriteAfter >= 0) {
        const auto limit = static_cast<std::uint64_t>(g_fault->shortWriteAfter);
        const std::uint64_t left = limit > written_ ? limit - written_ : 0;
        if (left < size) {
            room = static_cast<std::size_t>(left);
            full = true;
        }
    }
    std::size_t done = 0;
    while (done < room) {
        const ssize_t n = ::write(fd_, p + done, room - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    written_ += done;
    if (full) {
        ++g_hits;
        errno = ENOSPC;
        failed_ = true;
        return false;
    }
    return true;
}

bool AtomicFile::Commit() {
    if (fd_ < 0 || failed_) {
        Discard();
        return false;
    }
    bool ok = ::fsync(fd_) == 0;
    if (const int e = injected(&SaveFault::fsyncErrno); ok && e != 0) {
        errno = e;
        ok = false;
    }
    if (::close(fd_) != 0) ok = false;
    fd_ = -1;
    if (const int e = injected(&SaveFault::closeErrno); ok && e != 0) {
        errno = e;
        ok = false;
    }
    if (ok) {
        if (const int e = injected(&SaveFault::renameErrno)) {
            errno = e;
            ok = false;
        } else {
            ok = std::rename(tmp_.c_str(), path_.c_str()) == 0;
        }
    }
    if (!ok) {
        failed_ = true;
        std::remove(tmp_.c_str());
        return false;
    }
    // Put in place: nothing is left to discard.
    tmp_.clear();
    return true;
}

void AtomicFile::Discard() {
    if (fd_ < 0) return;
    ::close(fd_);
    fd_ = -1;
    failed_ = true;
    std::remove(tmp_.c_str());
}

bool writeFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes) {
    AtomicFile file(path);
    return file.isOpen() && file.Write(bytes.data(), bytes.size()) && file.Commit();
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

ScopedSaveFault::ScopedSaveFault(const SaveFault& fault) {
    static SaveFault held;
    held = fault;
    g_fault = &held;
    g_hits = 0;
}

ScopedSaveFault::~ScopedSaveFault() { g_fault = nullptr; }

int ScopedSaveFault::hits() const { return g_hits; }

} // namespace harlox
