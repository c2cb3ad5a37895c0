#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace harlox {

// Writes `name.tmp` beside the target, flushes and syncs it, then renames it over the
// target. On any failure the temporary file is removed and the target is left as it was.
[[nodiscard]] bool writeFileAtomic(const std::string& path, std::span<const std::uint8_t> bytes);

// The same for a file written piece by piece (music output): `name.tmp` takes the writes,
// Commit puts it in place. Destroyed without a successful Commit, the temporary file is
// removed and the target was never touched.
class AtomicFile {
public:
    explicit AtomicFile(std::string path);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
    // The temporary file's descriptor (for seeking and reading back), -1 when not open.
    [[nodiscard]] int fd() const { return fd_; }
    [[nodiscard]] const std::string& tempPath() const { return tmp_; }

    // All the bytes at the current position or false; a failed write spoils the file and
    // Commit then refuses.
    [[nodiscard]] bool Write(const void* data, std::size_t size);
    // Syncs, closes and renames over the target.
    [[nodiscard]] bool Commit();
    // Closes and removes the temporary file; the target stays as it was.
    void Discard();

private:
    std::string path_;
    std::string tmp_;
    int fd_ = -1;
    bool failed_ = false;
    std::uint64_t written_ = 0;
};

// Reads at most the first maxBytes of a file; false when it cannot be opened or read.
[[nodiscard]] bool readFilePrefix(const std::string& path, std::size_t maxBytes, std::vector<std::uint8_t>& out);

// Failures a test makes every save meet, each one as the system would report it. Zero (or
// a negative byte count) leaves that step alone.
struct SaveFault {
    int openErrno = 0;                 // creating the temporary file fails
    std::int64_t shortWriteAfter = -1; // a file takes this many bytes, then ENOSPC
    int fsyncErrno = 0;
    int closeErrno = 0;                // the file is closed but reports failure
    int renameErrno = 0;               // the temporary file cannot replace the target
};

// Puts a SaveFault in force while it lives (tests only; one at a time). `hits` counts the
// saves that met the fault, so a test can tell that a saver really went through here.
class ScopedSaveFault {
public:
    explicit ScopedSaveFault(const SaveFault& fault);
    ~ScopedSaveFault();
    ScopedSaveFault(const ScopedSaveFault&) = delete;
    ScopedSaveFault& operator=(const ScopedSaveFault&) = delete;

    [[nodiscard]] int hits() const;
};

} // namespace harlox
