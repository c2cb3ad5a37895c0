#include "box/snapshot.h"

#include "core/atomic_file.h"
#include "core/binary_io.h"
#include "core/format.h"
#include "core/program_dir.h"
#include "core/ui_host.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>

namespace harlox {

namespace {

std::string cut(std::string_view s, std::size_t block) {
    return std::string(s.substr(0, std::min(s.size(), block - 1)));
}

// The snapshot layout is fixed, so only its first bytes are read; anything after them is
// not ours and is ignored.
bool readPrefix(const std::string& path, std::size_t n, std::vector<std::uint8_t>& out) {
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> f(std::fopen(path.c_str(), "rb"));
    if (!f) return false;
    std::vector<std::uint8_t> data(n);
    const std::size_t got = std::fread(data.data(), 1, n, f.get());
    data.resize(got);
    out = std::move(data);
    return true;
}

} // namespace

TSnapshot::TSnapshot(UiHost& ui, FileSelector& selector) : ui_(ui), selector_(selector) {
    window_.setLogX(true);
    Reset();
}

void TSnapshot::Reset() {
    startFrequency = setup().startFrequency;
    stopFrequency = setup().stopFrequency;
    range = kDefaultRange;
    currentSlot_ = 0;
    hideNumbers = 0;
    title_ = kDefaultTitle;
    for (SnapshotSlot& s : slots) {
        s.used = 0;
        s.visible = 0;
        s.offset = 0;
        s.text.clear();
    }
}

void TSnapshot::setCurrentSlot(int slot) {
    currentSlot_ = std::clamp(slot, 0, kSlotCount - 1);
}

void TSnapshot::setTitle(std::string_view title) {
    title_ = cut(title, kTitleSize);
    setCaption();
}

void TSnapshot::CopyToCurrentSlot(std::span<const double> frequencies, std::span<const double> levels) {
    SnapshotSlot& s = current();
    const std::size_t n = std::min({frequencies.size(), levels.size(), static_cast<std::size_t>(kMaxPoints)});
    std::copy_n(frequencies.begin(), n, s.frequencies.begin());
    std::copy_n(levels.begin(), n, s.levels.begin());
    s.pointCount = static_cast<std::int32_t>(n);
    s.used = 1;
    s.visible = 1;
    ui_.repaint();
}

void TSnapshot::clearPath() {
    path_.clear();
    selector_.rememberedPath.clear();
}

void TSnapshot::setPath(const std::string& resolved) {
    path_ = cut(makeRelativeToProgramDir(resolved), kPathBlock);
    selector_.rememberedPath = resolved;
}

void TSnapshot::notify() {
    if (notify_) notify_(kChangeCode);
}

bool TSnapshot::Save() {
    if (path_.empty()) return SaveAs();
    return writeTo(path_, kSaveCaption);
}

bool TSnapshot::SaveAs() {
    const auto chosen = ui_.selectFile(selector_, FileMode::Save);
    if (!chosen) return false;
    return writeTo(*chosen, kSaveAsCaption);
}

bool TSnapshot::writeTo(const std::string& name, const char* caption) {
    // A name without a folder of its own lies below the program directory.
    const std::string resolved = resolveStoredName(name);
    BinaryWriter w;
    writeFile(w);
    // The path changes only when the file is really there: a failed save keeps pointing the
    // project at the snapshot it had.
    if (!w.ok() || !writeFileAtomic(resolved, w.buffer())) {
        ui_.error(caption, kSaveFailedText);
        return false;
    }
    setPath(resolved);
    setCaption();
    notify();
    return true;
}

bool TSnapshot::Open() {
    const auto chosen = ui_.selectFile(selector_, FileMode::Open);
    if (!chosen) return false;
    if (!loadFrom(*chosen)) {
        ui_.error(kOpenCaption, kOpenFailedText);
        clearPath();
        Reset();
        setCaption();
        ui_.repaint();
        return false;
    }
    setCaption();
    ui_.repaint();
    notify();
    return true;
}

bool TSnapshot::LoadFromProject(std::string_view storedPath) {
    if (storedPath.empty() || !loadFrom(storedPath)) {
        clearPath();
        Reset();
        setCaption();
        return false;
    }
    setCaption();
    return true;
}

bool TSnapshot::loadFrom(std::string_view name) {
    const std::string resolved = resolveStoredName(name);
    std::vector<std::uint8_t> bytes;
    if (!readPrefix(resolved, kFileSize, bytes)) return false;
    BinaryReader r(bytes);
    if (!readFile(r)) return false;
    setPath(resolved);
    return true;
}

bool TSnapshot::writeFile(BinaryWriter& w) const {
    w.i16(static_cast<std::int16_t>(kProjectFileVersion));
    w.i32(startFrequency);
    w.i32(stopFrequency);
    w.i32(range);
    for (const SnapshotSlot& s : slots)
        w.u8(s.used);
    for (const SnapshotSlot& s : slots)
        w.u8(s.visible);
    for (const SnapshotSlot& s : slots)
        w.i16(s.offset);
    w.u8(hideNumbers);
    for (const SnapshotSlot& s : slots)
        w.textBlock(s.text, kTextSize);
    w.textBlock(title_, kTitleSize);
    for (const SnapshotSlot& s : slots)
        for (double f : s.frequencies)
            w.f64(f);
    for (const SnapshotSlot& s : slots)
        for (double l : s.levels)
            w.f64(l);
    for (const SnapshotSlot& s : slots)
        w.i32(s.pointCount);
    return w.textBlock(window_.note(), DiagramModel::kNoteSize);
}

bool TSnapshot::readFile(BinaryReader& r) {
    // The layout has a fixed size: a short input fails at once, as its last field would.
    if (r.remaining() < kFileSize) {
        (void)r.skip(kFileSize);
        return false;
    }
    // Read into a copy: the slots are large, but a load is rare and must be all or nothing.
    auto t = std::make_unique<std::array<SnapshotSlot, kSlotCount>>(slots);
    std::int32_t start = 0;
    std::int32_t stop = 0;
    std::int32_t height = 0;
    std::uint8_t hide = 0;
    std::string title;
    std::string note;
    r.skip(2); // the version only tells which program wrote the file
    r.i32(start);
    r.i32(stop);
    r.i32(height);
    for (SnapshotSlot& s : *t)
        r.u8(s.used);
    for (SnapshotSlot& s : *t)
        r.u8(s.visible);
    for (SnapshotSlot& s : *t)
        r.i16(s.offset);
    r.u8(hide);
    for (SnapshotSlot& s : *t)
        r.textBlock(s.text, kTextSize);
    r.textBlock(title, kTitleSize);
    for (SnapshotSlot& s : *t)
        for (double& f : s.frequencies)
            r.f64(f);
    for (SnapshotSlot& s : *t)
        for (double& l : s.levels)
            r.f64(l);
    for (SnapshotSlot& s : *t)
        r.i32(s.pointCount);
    if (!r.textBlock(note, DiagramModel::kNoteSize)) return false;

    for (SnapshotSlot& s : *t) {
        s.text = cut(s.text, kTextSize);
        s.pointCount = std::clamp<std::int32_t>(s.pointCount, 0, kMaxPoints);
    }
    startFrequency = start;
    stopFrequency = stop;
    range = height;
    hideNumbers = hide;
    title_ = cut(title, kTitleSize);
    slots = *t;
    window_.setNote(note);
    return true;
}

AxisRange TSnapshot::xRange() const {
    // Values from a file are not trusted to make a usable log axis.
    const double lo = std::max(1, startFrequency);
    const double hi = std::max(static_cast<double>(stopFrequency), lo + 10.0);
    return AxisRange{lo, hi, true};
}

AxisRange TSnapshot::yRange() const {
    double top = kLowestTop;
    for (const SnapshotSlot& s : slots) {
        if (!s.visible) continue;
        const int n = std::clamp<int>(s.pointCount, 0, kMaxPoints);
        for (int i = 0; i < n; ++i) {
            const double v = s.levels[static_cast<std::size_t>(i)] + s.offset;
            if (std::isfinite(v)) top = std::max(top, v);
        }
    }
    return AxisRange{top - std::max(1, range), top, true};
}

std::vector<SnapshotLegendLine> TSnapshot::legend() const {
    std::vector<SnapshotLegendLine> lines;
    for (int i = 0; i < kSlotCount; ++i) {
        const SnapshotSlot& s = slots[static_cast<std::size_t>(i)];
        if (!s.visible) continue;
        SnapshotLegendLine l;
        l.slot = i;
        l.y = kLegendTop + kLegendStep * static_cast<int>(lines.size());
        l.textY = l.y + kLegendTextDrop;
        if (!hideNumbers) l.number = strprintf("%d", i + 1);
        l.pen = kPens[static_cast<std::size_t>(i)];
        l.text = s.text;
        l.offset = strprintf("Offset : %ddB", static_cast<int>(s.offset));
        lines.push_back(std::move(l));
    }
    return lines;
}

} // namespace harlox
