#pragma once

#include "core/constants.h"
#include "core/diagram_model.h"
#include "core/measure_setup.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace harlox {

class BinaryReader;
class BinaryWriter;
class UiHost;
struct FileSelector;

// One stored curve of a snapshot. Only the first pointCount entries mean anything; the rest
// are kept and written as they are.
struct SnapshotSlot {
    std::uint8_t used = 0;    // holds a curve
    std::uint8_t visible = 0; // drawn
    std::int16_t offset = 0;  // dB added to every level when drawing
    std::string text;         // legend text, at most 79 characters
    std::int32_t pointCount = 0;
    std::array<double, kMaxPoints> frequencies{}; // Hz
    std::array<double, kMaxPoints> levels{};      // dB
};

// One line of the snapshot legend, in the window's logical coordinates (1200 x 580).
struct SnapshotLegendLine {
    int slot = 0;       // 0-based
    int y = 0;          // of the sample line
    int textY = 0;      // of the texts
    std::string number; // "" when numbers are hidden
    Pen pen;
    std::string text;
    std::string offset;
};

// Copies of SPL curves kept for comparing design variants in one diagram: five slots, saved
// and loaded as a ".snp" file. The box project owns it and the file selector that remembers
// the snapshot file; the project file stores only path() and the window record.
class TSnapshot : public TMeasureSetupObject {
public:
    static constexpr int kSlotCount = 5;
    static constexpr std::size_t kFileSize = 40585;
    static constexpr std::size_t kTextSize = 80;
    static constexpr std::size_t kTitleSize = 80;
    static constexpr std::int32_t kDefaultRange = 30;
    static constexpr double kLowestTop = -10.0; // dB, the y axis never tops out below this

    static constexpr const char* kWindowTitle = "Snapshots";
    static constexpr const char* kDefaultTitle = "Snapshot";
    static constexpr const char* kSaveCaption = "File save";
    static constexpr const char* kSaveAsCaption = "File save as";
    static constexpr const char* kSaveFailedText =
        "Could not open file.\nCheck if device is ready\nor if the disk is full.";
    static constexpr const char* kOpenCaption = "File open";
    static constexpr const char* kOpenFailedText = "Could not open file.\nCheck if device is ready.";
    static constexpr int kChangeCode = 1;

    // Legend layout in logical units.
    static constexpr int kLegendTop = 550;
    static constexpr int kLegendStep = 30;
    static constexpr int kLegendTextDrop = 5;
    static constexpr int kLegendNumberX = 70;
    static constexpr int kLegendLineX0 = 90;
    static constexpr int kLegendLineX1 = 190;
    static constexpr int kLegendTextX = 210;
    static constexpr int kLegendOffsetX = 1020;

    static constexpr std::array<Pen, kSlotCount> kPens{
        Pen{PenColor::Black, PenStyle::Solid}, Pen{PenColor::Blue, PenStyle::Dash},
        Pen{PenColor::Black, PenStyle::Dot}, Pen{PenColor::Blue, PenStyle::DashDot},
        Pen{PenColor::Black, PenStyle::DashDotDot}};

    // `selector` is the project's snapshot file selector; both must outlive the snapshot.
    TSnapshot(UiHost& ui, FileSelector& selector);
    TSnapshot(const TSnapshot&) = delete;
    TSnapshot& operator=(const TSnapshot&) = delete;

    // Called with kChangeCode after a successful save or open (the project marks itself
    // changed and recalculates as any input change would have it).
    void setChangeNotifier(std::function<void(int)> notify) { notify_ = std::move(notify); }

    // Frequencies from the measurement setup, range 30, slot 1, numbers shown, title
    // "Snapshot", every slot unused, hidden, offset 0, no text. Curves and point counts stay,
    // and so does the window caption until setCaption().
    void Reset();

    std::int32_t startFrequency = 20; // Hz
    std::int32_t stopFrequency = 2000;
    std::int32_t range = kDefaultRange; // dB, height of the y axis
    std::uint8_t hideNumbers = 0;
    std::array<SnapshotSlot, kSlotCount> slots{};
    // Where the dialog was last closed (screen pixels; x 0 until it was closed once).
    std::int16_t dialogX = 0;
    std::int16_t dialogY = 0;

    [[nodiscard]] int currentSlot() const { return currentSlot_; }
    void setCurrentSlot(int slot);
    SnapshotSlot& current() { return slots[static_cast<std::size_t>(currentSlot_)]; }

    [[nodiscard]] const std::string& title() const { return title_; }
    // An edited title becomes the window caption at once.
    void setTitle(std::string_view title);
    // The window caption follows the title (after saving and loading).
    void setCaption() { window_.setTitle(title_); }

    // Copies a curve (the project's free-air SPL or its SPL in room and cabinet on the grid)
    // into the current slot and shows it: as many points as both spans hold, at most 500.
    // A project marked changed recalculates afterwards; that is the caller's part.
    void CopyToCurrentSlot(std::span<const double> frequencies, std::span<const double> levels);

    // The snapshot file path as the project file stores it: relative to the program
    // directory when the file lies below it, "" when there is none.
    [[nodiscard]] const std::string& path() const { return path_; }
    void clearPath();

    // File > Save: Save as when no file is set yet.
    bool Save();
    // File > Save as...: asks for a file, then saves.
    bool SaveAs();
    // File > Open...: asks for a file and loads it; a file that cannot be read is reported,
    // the snapshot is Reset and the path cleared. Cancel changes nothing.
    bool Open();
    // Loads the snapshot file a project names, without messages; on failure the snapshot is
    // Reset and the path cleared.
    [[nodiscard]] bool LoadFromProject(std::string_view storedPath);

    // The 40585 bytes of the snapshot file.
    bool writeFile(BinaryWriter& w) const;
    // Reads the whole layout or nothing: a short input changes nothing.
    [[nodiscard]] bool readFile(BinaryReader& r);

    // What the window draws: start to stop frequency on a log axis, the y axis from the
    // highest shown level (never below -10 dB) down by the range, and one legend line per
    // visible slot.
    [[nodiscard]] AxisRange xRange() const;
    [[nodiscard]] AxisRange yRange() const;
    [[nodiscard]] std::vector<SnapshotLegendLine> legend() const;

    // Title, units, placement and the user note (also stored in the snapshot file).
    DiagramModel& window() { return window_; }
    [[nodiscard]] const DiagramModel& window() const { return window_; }

private:
    bool writeTo(const std::string& storedOrChosen, const char* caption);
    [[nodiscard]] bool loadFrom(std::string_view storedOrChosen);
    void setPath(const std::string& resolved);
    void notify();

    UiHost& ui_;
    FileSelector& selector_;
    std::function<void(int)> notify_;
    int currentSlot_ = 0;
    std::string title_ = kDefaultTitle;
    std::string path_;
    DiagramModel window_{kWindowTitle, "Hz", "dB"};
};

} // namespace harlox
