#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace harlox {

class BinaryReader;
class BinaryWriter;

// Append new colours at the end: the numbers are what a stored pen byte means.
enum class PenColor : std::uint8_t { Black, Red, Green, Blue, Grey, Yellow, Magenta, Cyan };
enum class PenStyle : std::uint8_t { Thick, Solid, Dash, Dot, DashDot, DashDotDot };

struct Pen {
    PenColor color = PenColor::Black;
    PenStyle style = PenStyle::Solid;
    bool operator==(const Pen&) const = default;
};

// The placement of a window as stored in project files: ten 16-bit values (flags, show
// state, minimised x, y, maximised x, y, normal left, top, right, bottom).
struct WindowPlacement {
    std::array<std::int16_t, 10> v{};
    bool write(BinaryWriter& w) const;
    bool read(BinaryReader& r);
    bool operator==(const WindowPlacement&) const = default;
};

// Keeps the placements as they are now and puts them back when it goes: a project state is
// written or read in between without moving the live windows.
class PlacementsKept {
public:
    explicit PlacementsKept(std::vector<WindowPlacement*> placements) : placements_(std::move(placements)) {
        for (const WindowPlacement* p : placements_)
            kept_.push_back(*p);
    }
    ~PlacementsKept() {
        for (std::size_t i = 0; i < placements_.size(); ++i)
            *placements_[i] = kept_[i];
    }
    PlacementsKept(const PlacementsKept&) = delete;
    PlacementsKept& operator=(const PlacementsKept&) = delete;
    // Empties them until then, so that where the windows are is no part of what is written.
    void blank() {
        for (WindowPlacement* p : placements_)
            *p = WindowPlacement{};
    }

private:
    std::vector<WindowPlacement*> placements_;
    std::vector<WindowPlacement> kept_;
};

struct AxisRange {
    double min = 0.0;
    double max = 0.0;
    bool valid = false; // false when no finite value was found
};

// What a diagram window shows: a title, axis units, an x array shared with its owner, a
// point count, up to ten curves and an optional phase curve. The arrays are owned by the
// project; the model only points at them.
class DiagramModel {
public:
    static constexpr int kMaxCurves = 10;
    static constexpr std::size_t kLabelSize = 50;
    static constexpr std::size_t kNoteSize = 50;

    struct Curve {
        const double* y = nullptr;
        Pen pen;
        std::string label;
        int flag = 0;
    };

    DiagramModel() = default;
    DiagramModel(std::string_view title, std::string_view xUnit, std::string_view yUnit);

    void setTitle(std::string_view t) { title_ = t; }
    [[nodiscard]] const std::string& title() const { return title_; }
    [[nodiscard]] const std::string& xUnit() const { return xUnit_; }
    [[nodiscard]] const std::string& yUnit() const { return yUnit_; }
    void setUnits(std::string_view xUnit, std::string_view yUnit);

    void setX(const double* x) { x_ = x; }
    [[nodiscard]] const double* x() const { return x_; }
    void setPointCount(int n) { pointCount_ = n < 0 ? 0 : n; }
    [[nodiscard]] int pointCount() const { return pointCount_; }
    void setLogX(bool on) { logX_ = on; }
    [[nodiscard]] bool logX() const { return logX_; }

    // Adds a curve; returns its index, or -1 when ten curves are there already.
    int addCurve(const double* y, Pen pen, std::string_view label, int flag = 0);
    void clearCurves() { curveCount_ = 0; }
    [[nodiscard]] int curveCount() const { return curveCount_; }
    [[nodiscard]] const Curve& curve(int i) const { return curves_[static_cast<std::size_t>(i)]; }
    void setCurveLabel(int i, std::string_view label);
    void setCurveData(int i, const double* y);

    void setPhase(const double* y) { phase_ = y; }
    [[nodiscard]] const double* phase() const { return phase_; }
    void setPhaseShown(bool on) { phaseShown_ = on; }
    [[nodiscard]] bool phaseShown() const { return phaseShown_ && phase_ != nullptr; }

    // A range r > 1e-9 fixes the span of the axis (see xRange, yRange); 0 means automatic.
    void setFixedXRange(double r) { fixedX_ = r; }
    void setFixedYRange(double r) { fixedY_ = r; }
    [[nodiscard]] double fixedYRange() const { return fixedY_; }
    // Ranges the owner scaled itself (a filter project's diagrams): they replace the automatic
    // and fixed ones until cleared with nullopt.
    void setScaledXRange(std::optional<AxisRange> r) { scaledX_ = r; }
    void setScaledYRange(std::optional<AxisRange> r) { scaledY_ = r; }
    void setYDivisor(double d) { yDivisor_ = d; }
    [[nodiscard]] double yDivisor() const { return yDivisor_; }

    // Automatic x: smallest to largest of the first pointCount x values; fixed r: from
    // (largest - r) to largest.
    [[nodiscard]] AxisRange xRange() const;
    // Automatic y: smallest to largest of all curves over the points inside the x range;
    // fixed r: (top - r) .. top with top = largest + r/30. Both ends divided by the divisor.
    [[nodiscard]] AxisRange yRange() const;

    // Cursor read-out cleared by the owner after a recalculation.
    void clearCursor() { cursorValid_ = false; }
    void setCursor(double x) { cursorX_ = x; cursorValid_ = true; }
    [[nodiscard]] bool cursorValid() const { return cursorValid_; }
    [[nodiscard]] double cursorX() const { return cursorX_; }

    WindowPlacement placement;
    [[nodiscard]] const std::string& note() const { return note_; }
    void setNote(std::string_view note);

    // The 70-byte window record: placement, then the 50-byte user note.
    bool writeRecord(BinaryWriter& w) const;
    bool readRecord(BinaryReader& r);

    // Empties the window: no points, no cursor. Curves stay connected.
    void clear() {
        pointCount_ = 0;
        cursorValid_ = false;
    }

private:
    std::string title_;
    std::string xUnit_;
    std::string yUnit_;
    const double* x_ = nullptr;
    int pointCount_ = 0;
    bool logX_ = true;
    std::array<Curve, kMaxCurves> curves_{};
    int curveCount_ = 0;
    const double* phase_ = nullptr;
    bool phaseShown_ = true;
    double fixedX_ = 0.0;
    double fixedY_ = 0.0;
    std::optional<AxisRange> scaledX_;
    std::optional<AxisRange> scaledY_;
    double yDivisor_ = 1.0;
    bool cursorValid_ = false;
    double cursorX_ = 0.0;
    std::string note_;
};

} // namespace harlox
