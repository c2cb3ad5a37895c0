#include "box/snapshot.h"

#include "core/binary_io.h"
#include "core/program_dir.h"
#include "core/ui_host.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <iterator>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <span>
#include <string>
#include <vector>

using namespace harlox;

namespace {

template <typename U> U loadLE(const std::vector<std::uint8_t>& b, std::size_t off) {
    U v = 0;
    for (std::size_t i = 0; i < sizeof(U); ++i)
        v = static_cast<U>(v | (static_cast<U>(b[off + i]) << (8 * i)));
    return v;
}
double f64At(const std::vector<std::uint8_t>& b, std::size_t off) {
    return std::bit_cast<double>(loadLE<std::uint64_t>(b, off));
}
std::int16_t i16At(const std::vector<std::uint8_t>& b, std::size_t off) {
    return static_cast<std::int16_t>(loadLE<std::uint16_t>(b, off));
}
std::int32_t i32At(const std::vector<std::uint8_t>& b, std::size_t off) {
    return static_cast<std::int32_t>(loadLE<std::uint32_t>(b, off));
}
std::string textAt(const std::vector<std::uint8_t>& b, std::size_t off) {
    return reinterpret_cast<const char*>(&b[off]);
}

const char* const kFilter = "Snapshot files (*.snp)|*.snp|All files (*.*)|*.*|";

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override {
        oldProgramDir_ = programDirectory();
        setProgramDirectory(dir.path());
        snapshot.setChangeNotifier([this](int code) { notifications.push_back(code); });
    }
    void TearDown() override { setProgramDirectory(oldProgramDir_); }

    // Slot k holds a curve of 10 + k points with values that tell slot and point apart.
    void fill(TSnapshot& s) {
        s.startFrequency = 15;
        s.stopFrequency = 18000;
        s.range = 45;
        s.hideNumbers = 1;
        s.setTitle("Woofer variants");
        s.window().setNote("closed vs vented");
        for (std::size_t k = 0; k < 5; ++k) {
            SnapshotSlot& slot = s.slots[k];
            slot.used = k != 4 ? 1 : 0;
            slot.visible = k % 2 == 0 ? 1 : 0;
            slot.offset = static_cast<std::int16_t>(3 * static_cast<int>(k) - 6);
            slot.text = "variant " + std::to_string(k + 1);
            slot.pointCount = static_cast<std::int32_t>(10 + k);
            for (std::size_t i = 0; i < kMaxPoints; ++i) {
                slot.frequencies[i] = 1000.0 * static_cast<double>(k) + static_cast<double>(i) + 0.5;
                slot.levels[i] = -1000.0 * static_cast<double>(k) - static_cast<double>(i) - 0.25;
            }
        }
    }

    static std::vector<std::uint8_t> bytesOf(const TSnapshot& s) {
        BinaryWriter w;
        EXPECT_TRUE(s.writeFile(w));
        return w.take();
    }

    test::TempDir dir;
    test::ScriptedUiHost ui;
    FileSelector selector{kFilter, "snp", true, {}};
    TSnapshot snapshot{ui, selector};
    std::vector<int> notifications;

private:
    std::string oldProgramDir_;
};

} // namespace

TEST_F(Snapshot, ResetState) {
    MeasureSetup& setup = TMeasureSetupObject::setup();
    const auto oldStart = setup.startFrequency;
    const auto oldStop = setup.stopFrequency;
    setup.startFrequency = 31;
    setup.stopFrequency = 4321;
    fill(snapshot);
    snapshot.setCurrentSlot(3);
    snapshot.Reset();
    setup.startFrequency = oldStart;
    setup.stopFrequency = oldStop;

    EXPECT_EQ(snapshot.startFrequency, 31);
    EXPECT_EQ(snapshot.stopFrequency, 4321);
    EXPECT_EQ(snapshot.range, 30);
    EXPECT_EQ(snapshot.currentSlot(), 0);
    EXPECT_EQ(snapshot.hideNumbers, 0);
    EXPECT_EQ(snapshot.title(), "Snapshot");
    for (const SnapshotSlot& s : snapshot.slots) {
        EXPECT_EQ(s.used, 0);
        EXPECT_EQ(s.visible, 0);
        EXPECT_EQ(s.offset, 0);
        EXPECT_EQ(s.text, "");
    }
    // The caption follows the title only when asked to.
    EXPECT_EQ(snapshot.window().title(), "Woofer variants");
    snapshot.setCaption();
    EXPECT_EQ(snapshot.window().title(), "Snapshot");
}

TEST_F(Snapshot, FreshSnapshotWindow) {
    EXPECT_EQ(snapshot.window().title(), "Snapshots");
    EXPECT_EQ(snapshot.title(), "Snapshot");
    EXPECT_TRUE(snapshot.window().logX());
    EXPECT_EQ(snapshot.path(), "");
    EXPECT_EQ(TSnapshot::kPens[0], (Pen{PenColor::Black, PenStyle::Solid}));
    EXPECT_EQ(TSnapshot::kPens[1], (Pen{PenColor::Blue, PenStyle::Dash}));
    EXPECT_EQ(TSnapshot::kPens[2], (Pen{PenColor::Black, PenStyle::Dot}));
    EXPECT_EQ(TSnapshot::kPens[3], (Pen{PenColor::Blue, PenStyle::DashDot}));
    EXPECT_EQ(TSnapshot::kPens[4], (Pen{PenColor::Black, PenStyle::DashDotDot}));
}

TEST_F(Snapshot, FileLayout) {
    fill(snapshot);
    const auto b = bytesOf(snapshot);
    ASSERT_EQ(b.size(), 40585u);
    EXPECT_EQ(i16At(b, 0), 400);
    EXPECT_EQ(i32At(b, 2), 15);
    EXPECT_EQ(i32At(b, 6), 18000);
    EXPECT_EQ(i32At(b, 10), 45);
    for (std::size_t k = 0; k < 5; ++k) {
        SCOPED_TRACE(k);
        const SnapshotSlot& s = snapshot.slots[k];
        EXPECT_EQ(b[14 + k], s.used);
        EXPECT_EQ(b[19 + k], s.visible);
        EXPECT_EQ(i16At(b, 24 + 2 * k), s.offset);
        EXPECT_EQ(textAt(b, 35 + 80 * k), s.text);
        for (std::size_t i : {std::size_t{0}, std::size_t{1}, std::size_t{499}}) {
            EXPECT_EQ(f64At(b, 515 + 4000 * k + 8 * i), s.frequencies[i]);
            EXPECT_EQ(f64At(b, 20515 + 4000 * k + 8 * i), s.levels[i]);
        }
        EXPECT_EQ(i32At(b, 40515 + 4 * k), s.pointCount);
    }
    EXPECT_EQ(b[34], 1);
    EXPECT_EQ(textAt(b, 435), "Woofer variants");
    EXPECT_EQ(textAt(b, 40535), "closed vs vented");
}

TEST_F(Snapshot, SaveAndOpenRoundTripIsByteExact) {
    fill(snapshot);
    ui.files.push_back(dir.file("a.snp"));
    ASSERT_TRUE(snapshot.SaveAs());
    EXPECT_TRUE(ui.messages.empty());
    ASSERT_EQ(ui.fileRequests.size(), 1u);
    EXPECT_EQ(ui.fileRequests[0].filter, kFilter);
    EXPECT_EQ(ui.fileRequests[0].mode, FileMode::Save);
    const auto saved = test::readAll(dir.file("a.snp"));
    ASSERT_EQ(saved.size(), TSnapshot::kFileSize);
    EXPECT_EQ(saved, bytesOf(snapshot));
    EXPECT_EQ(notifications, std::vector<int>{1});
    EXPECT_EQ(snapshot.path(), "a.snp");

    test::ScriptedUiHost ui2;
    FileSelector selector2{kFilter, "snp", true, {}};
    TSnapshot other(ui2, selector2);
    ui2.files.push_back(dir.file("a.snp"));
    ASSERT_TRUE(other.Open());
    EXPECT_TRUE(ui2.messages.empty());
    EXPECT_EQ(ui2.fileRequests[0].mode, FileMode::Open);
    EXPECT_EQ(other.window().title(), "Woofer variants");
    EXPECT_EQ(other.window().note(), "closed vs vented");
    EXPECT_EQ(other.path(), "a.snp");
    EXPECT_EQ(bytesOf(other), saved);
    ASSERT_TRUE(other.Save()); // known path: no question
    EXPECT_EQ(ui2.fileRequests.size(), 1u);
    EXPECT_EQ(test::readAll(dir.file("a.snp")), saved);
}

TEST_F(Snapshot, ReadingRefusesEveryShortInputWithoutChange) {
    TSnapshot src(ui, selector);
    fill(src);
    const auto bytes = bytesOf(src);
    const auto before = bytesOf(snapshot);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        BinaryReader r(std::span(bytes.data(), n));
        if (snapshot.readFile(r)) {
            ADD_FAILURE() << "read " << n << " bytes";
            break;
        }
        // The whole object is compared around the field boundaries; in between the cheap
        // fields are enough, as the read commits nothing before its last field.
        static constexpr std::size_t kBoundaries[] = {0,  2,  6,   10,  14,    19,    24,
                                                      34, 35, 435, 515, 20515, 40515, 40535};
        const bool nearBoundary = std::any_of(std::begin(kBoundaries), std::end(kBoundaries),
                                              [n](std::size_t b) { return n + 1 >= b && n <= b + 1; });
        if (nearBoundary || n % 4999 == 0 || n + 2 >= bytes.size()) {
            ASSERT_EQ(bytesOf(snapshot), before) << n;
        } else {
            ASSERT_EQ(snapshot.slots[0].used, 0) << n;
            ASSERT_EQ(snapshot.title(), "Snapshot") << n;
        }
    }
    BinaryReader r(bytes);
    ASSERT_TRUE(snapshot.readFile(r));
    EXPECT_EQ(bytesOf(snapshot), bytes);
}

class SnapshotShortFile : public Snapshot, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(SnapshotShortFile, OpenRefusesWithMessageAndResets) {
    TSnapshot src(ui, selector);
    fill(src);
    auto bytes = bytesOf(src);
    bytes.resize(GetParam());
    test::writeAll(dir.file("short.snp"), bytes);

    fill(snapshot);
    ui.files.push_back(dir.file("good.snp"));
    ASSERT_TRUE(snapshot.SaveAs());
    notifications.clear();
    ui.files.push_back(dir.file("short.snp"));
    EXPECT_FALSE(snapshot.Open());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "File open");
    EXPECT_EQ(ui.lastMessage().text, "Could not open file.\nCheck if device is ready.");
    EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
    EXPECT_EQ(snapshot.path(), "");
    EXPECT_EQ(selector.rememberedPath, "");
    EXPECT_EQ(snapshot.title(), "Snapshot");
    EXPECT_EQ(snapshot.window().title(), "Snapshot");
    for (const SnapshotSlot& s : snapshot.slots)
        EXPECT_EQ(s.used, 0);
    EXPECT_TRUE(notifications.empty());
}

INSTANTIATE_TEST_SUITE_P(Lengths, SnapshotShortFile,
                         ::testing::Values(std::size_t{0}, std::size_t{1}, std::size_t{515},
                                           std::size_t{40534}, std::size_t{40584}));

TEST_F(Snapshot, OpenOfMissingFileIsReported) {
    ui.files.push_back(dir.file("none.snp"));
    EXPECT_FALSE(snapshot.Open());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.lastMessage().caption, "File open");
}

TEST_F(Snapshot, LongerFileLoadsItsFirstBytes) {
    fill(snapshot);
    auto bytes = bytesOf(snapshot);
    const auto exact = bytes;
    bytes.insert(bytes.end(), 1000, 0xAB);
    test::writeAll(dir.file("long.snp"), bytes);
    test::ScriptedUiHost ui2;
    FileSelector selector2{kFilter, "snp", true, {}};
    TSnapshot other(ui2, selector2);
    ASSERT_TRUE(other.LoadFromProject("long.snp"));
    EXPECT_EQ(bytesOf(other), exact);
}

TEST_F(Snapshot, CancelChangesNothing) {
    fill(snapshot);
    const auto before = bytesOf(snapshot);
    EXPECT_FALSE(snapshot.Open());
    EXPECT_FALSE(snapshot.SaveAs());
    EXPECT_FALSE(snapshot.Save()); // no path yet: Save asks, and is cancelled too
    EXPECT_EQ(ui.fileRequests.size(), 3u);
    EXPECT_EQ(ui.fileRequests[2].mode, FileMode::Save);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(bytesOf(snapshot), before);
    EXPECT_TRUE(notifications.empty());
}

TEST_F(Snapshot, FailedSaveIsReportedAndKeepsDataAndPath) {
    fill(snapshot);
    ui.files.push_back(dir.file("kept.snp"));
    ASSERT_TRUE(snapshot.SaveAs());
    notifications.clear();
    const auto before = bytesOf(snapshot);

    ui.files.push_back(dir.file("missing/x.snp"));
    EXPECT_FALSE(snapshot.SaveAs());
    EXPECT_EQ(ui.lastMessage().caption, "File save as");
    EXPECT_EQ(ui.lastMessage().text,
              "Could not open file.\nCheck if device is ready\nor if the disk is full.");
    EXPECT_EQ(snapshot.path(), "kept.snp");
    EXPECT_EQ(bytesOf(snapshot), before);
    EXPECT_TRUE(notifications.empty());

    std::filesystem::remove(dir.file("kept.snp"));
    std::filesystem::create_directory(dir.file("kept.snp")); // a folder cannot be replaced by a file
    EXPECT_FALSE(snapshot.Save());
    EXPECT_EQ(ui.lastMessage().caption, "File save");
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST_F(Snapshot, PathIsStoredRelativeToTheProgramDirectory) {
    std::filesystem::create_directory(dir.file("snaps"));
    ui.files.push_back(dir.file("snaps/b.snp"));
    ASSERT_TRUE(snapshot.SaveAs());
    EXPECT_EQ(snapshot.path(), "snaps/b.snp");
    EXPECT_EQ(selector.rememberedPath, dir.file("snaps/b.snp"));

    // A relative name is resolved against the program directory, wherever that is now.
    test::TempDir moved;
    std::filesystem::create_directory(moved.file("snaps"));
    std::filesystem::copy_file(dir.file("snaps/b.snp"), moved.file("snaps/b.snp"));
    setProgramDirectory(moved.path());
    test::ScriptedUiHost ui2;
    FileSelector selector2{kFilter, "snp", true, {}};
    TSnapshot other(ui2, selector2);
    ASSERT_TRUE(other.LoadFromProject("snaps/b.snp"));
    EXPECT_EQ(other.path(), "snaps/b.snp");
    EXPECT_EQ(selector2.rememberedPath, moved.file("snaps/b.snp"));
    EXPECT_TRUE(ui2.messages.empty());

    // A file outside the program directory keeps its absolute name.
    test::TempDir elsewhere;
    ui2.files.push_back(elsewhere.file("c.snp"));
    ASSERT_TRUE(other.SaveAs());
    EXPECT_EQ(other.path(), elsewhere.file("c.snp"));
}

TEST_F(Snapshot, ProjectLoadFailureResetsQuietly) {
    fill(snapshot);
    ui.files.push_back(dir.file("d.snp"));
    ASSERT_TRUE(snapshot.SaveAs());
    fill(snapshot);
    EXPECT_FALSE(snapshot.LoadFromProject("gone.snp"));
    EXPECT_EQ(snapshot.path(), "");
    EXPECT_EQ(selector.rememberedPath, "");
    EXPECT_EQ(snapshot.title(), "Snapshot");
    EXPECT_EQ(snapshot.window().title(), "Snapshot");
    EXPECT_EQ(snapshot.slots[0].used, 0);
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_FALSE(snapshot.LoadFromProject(""));
}

TEST_F(Snapshot, CopyFillsOnlyTheGridPoints) {
    FrequencyGrid grid;
    grid.build(50, 20, 2000);
    std::array<double, kMaxPoints> spl{};
    for (std::size_t i = 0; i < 50; ++i)
        spl[i] = 80.0 + static_cast<double>(i) * 0.1;
    snapshot.setCurrentSlot(2);
    const int repaints = ui.repaints;
    snapshot.CopyToCurrentSlot(std::span(grid.f.data(), 50), std::span(spl.data(), 50));
    const SnapshotSlot& s = snapshot.slots[2];
    EXPECT_EQ(s.used, 1);
    EXPECT_EQ(s.visible, 1);
    EXPECT_EQ(s.pointCount, 50);
    EXPECT_EQ(s.frequencies[0], grid.f[0]);
    EXPECT_EQ(s.frequencies[49], grid.f[49]);
    EXPECT_EQ(s.levels[49], spl[49]);
    EXPECT_EQ(s.frequencies[50], 0.0);
    EXPECT_EQ(s.levels[50], 0.0);
    EXPECT_GT(ui.repaints, repaints);
    EXPECT_EQ(bytesOf(snapshot).size(), TSnapshot::kFileSize);

    // Never more than the slot holds, never more than the shorter span.
    std::vector<double> many(600, 1.0);
    snapshot.CopyToCurrentSlot(many, many);
    EXPECT_EQ(s.pointCount, 500);
    snapshot.CopyToCurrentSlot(std::span(many.data(), 30), std::span(many.data(), 20));
    EXPECT_EQ(s.pointCount, 20);
}

TEST_F(Snapshot, YRange) {
    snapshot.range = 40;
    AxisRange y = snapshot.yRange();
    EXPECT_EQ(y.max, -10.0);
    EXPECT_EQ(y.min, -50.0);

    SnapshotSlot& s = snapshot.slots[1];
    s.used = s.visible = 1;
    s.pointCount = 3;
    s.levels = {};
    s.levels[0] = 70.0;
    s.levels[1] = 90.0;
    s.levels[2] = 85.0;
    s.levels[3] = 200.0; // beyond the point count
    s.offset = 10;
    y = snapshot.yRange();
    EXPECT_EQ(y.max, 100.0);
    EXPECT_EQ(y.min, 60.0);

    SnapshotSlot& hidden = snapshot.slots[0];
    hidden.used = 1;
    hidden.visible = 0;
    hidden.pointCount = 1;
    hidden.levels[0] = 150.0;
    EXPECT_EQ(snapshot.yRange().max, 100.0);

    s.offset = -120;
    EXPECT_EQ(snapshot.yRange().max, -10.0); // never below -10 dB

    s.offset = 0;
    s.levels[1] = std::numeric_limits<double>::quiet_NaN();
    EXPECT_EQ(snapshot.yRange().max, 85.0);
}

TEST_F(Snapshot, XRangeFollowsTheFrequencies) {
    snapshot.startFrequency = 25;
    snapshot.stopFrequency = 5000;
    const AxisRange x = snapshot.xRange();
    EXPECT_EQ(x.min, 25.0);
    EXPECT_EQ(x.max, 5000.0);
    snapshot.startFrequency = -3;
    snapshot.stopFrequency = 0;
    const AxisRange bad = snapshot.xRange();
    EXPECT_GT(bad.min, 0.0);
    EXPECT_GT(bad.max, bad.min);
}

TEST_F(Snapshot, Legend) {
    for (int k : {0, 2, 4}) {
        SnapshotSlot& s = snapshot.slots[static_cast<std::size_t>(k)];
        s.used = s.visible = 1;
        s.text = "slot " + std::to_string(k + 1);
        s.offset = static_cast<std::int16_t>(k == 2 ? -6 : k);
    }
    snapshot.slots[1].used = 1; // hidden: no line
    auto lines = snapshot.legend();
    ASSERT_EQ(lines.size(), 3u);
    const int slots[3] = {0, 2, 4};
    const char* offsets[3] = {"Offset : 0dB", "Offset : -6dB", "Offset : 4dB"};
    for (std::size_t j = 0; j < 3; ++j) {
        SCOPED_TRACE(j);
        EXPECT_EQ(lines[j].slot, slots[j]);
        EXPECT_EQ(lines[j].y, 550 + 30 * static_cast<int>(j));
        EXPECT_EQ(lines[j].textY, lines[j].y + 5);
        EXPECT_EQ(lines[j].number, std::to_string(slots[j] + 1));
        EXPECT_EQ(lines[j].pen, TSnapshot::kPens[static_cast<std::size_t>(slots[j])]);
        EXPECT_EQ(lines[j].text, "slot " + std::to_string(slots[j] + 1));
        EXPECT_EQ(lines[j].offset, offsets[j]);
    }
    snapshot.hideNumbers = 1;
    lines = snapshot.legend();
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& l : lines) {
        EXPECT_EQ(l.number, "");
        EXPECT_FALSE(l.text.empty());
        EXPECT_FALSE(l.offset.empty());
    }
}

TEST_F(Snapshot, StoredTextsAndCountsAreBounded) {
    fill(snapshot);
    auto bytes = bytesOf(snapshot);
    for (std::size_t i = 35; i < 515; ++i)
        bytes[i] = 'y';  // texts and title without terminator
    bytes[40515] = 0xFF; // point count of slot 1: huge
    bytes[40516] = 0xFF;
    bytes[40517] = 0xFF;
    bytes[40518] = 0x7F;
    bytes[40519] = 0xFF; // slot 2: negative
    bytes[40520] = 0xFF;
    bytes[40521] = 0xFF;
    bytes[40522] = 0xFF;
    BinaryReader r(bytes);
    ASSERT_TRUE(snapshot.readFile(r));
    EXPECT_EQ(snapshot.slots[0].text, std::string(79, 'y'));
    EXPECT_EQ(snapshot.title(), std::string(79, 'y'));
    EXPECT_EQ(snapshot.slots[0].pointCount, 500);
    EXPECT_EQ(snapshot.slots[1].pointCount, 0);
    EXPECT_EQ(bytesOf(snapshot).size(), TSnapshot::kFileSize);
}

TEST_F(Snapshot, TitleEditBecomesTheCaption) {
    snapshot.setTitle(std::string(100, 'T'));
    EXPECT_EQ(snapshot.title(), std::string(79, 'T'));
    EXPECT_EQ(snapshot.window().title(), snapshot.title());
    snapshot.setCurrentSlot(9);
    EXPECT_EQ(snapshot.currentSlot(), 4);
    snapshot.setCurrentSlot(-1);
    EXPECT_EQ(snapshot.currentSlot(), 0);
}
