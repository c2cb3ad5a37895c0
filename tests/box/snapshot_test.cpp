#include "box/snapshot.h"

#include "core/binary_io.h"
#include "core/program_dir.h"
#include "core/ui_host.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <string>
#include <tuple>
#include <vector>

using namespace harlox;

namespace {

using Bytes = std::vector<std::uint8_t>;

template <class T> T at(const Bytes& b, std::size_t off) {
    T v;
    std::memcpy(&v, &b[off], sizeof v);
    return v;
}

const char* const kFilter = "Snapshot files (*.snp)|*.snp|All files (*.*)|*.*|";

// A snapshot with a host and file selector of its own.
struct Snap {
    test::ScriptedUiHost ui;
    FileSelector selector{kFilter, "snp", true, {}};
    TSnapshot s{ui, selector};
};

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

Bytes bytesOf(const TSnapshot& s) {
    BinaryWriter w;
    EXPECT_TRUE(s.writeFile(w));
    return w.take();
}

class Snapshot : public ::testing::Test {
protected:
    void SetUp() override {
        oldProgramDir_ = programDirectory();
        setProgramDirectory(dir.path());
        snapshot.setChangeNotifier([this](int code) { notifications.push_back(code); });
    }
    void TearDown() override { setProgramDirectory(oldProgramDir_); }

    test::TempDir dir;
    test::ScriptedUiHost ui;
    FileSelector selector{kFilter, "snp", true, {}};
    TSnapshot snapshot{ui, selector};
    std::vector<int> notifications;

private:
    std::string oldProgramDir_;
};

} // namespace

TEST_F(Snapshot, FileLayout) {
    fill(snapshot);
    const Bytes b = bytesOf(snapshot);
    ASSERT_EQ(b.size(), 40585u);
    EXPECT_EQ(at<std::int16_t>(b, 0), 400);
    // Every block holds the five slots in turn; slot 2 shows each block's start and stride.
    EXPECT_EQ(b[15], 1);
    EXPECT_EQ(at<std::int16_t>(b, 26), -3);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[115]), "variant 2");
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[435]), "Woofer variants");
    EXPECT_EQ(at<double>(b, 4515 + 8 * 499), 1499.5);
    EXPECT_EQ(at<double>(b, 24515), -1000.25);
    EXPECT_EQ(at<std::int32_t>(b, 40519), 11);
    EXPECT_STREQ(reinterpret_cast<const char*>(&b[40535]), "closed vs vented");
}

TEST_F(Snapshot, SaveAndOpenRoundTripIsByteExact) {
    fill(snapshot);
    ui.files.push_back(dir.file("a.snp"));
    ASSERT_TRUE(snapshot.SaveAs());
    EXPECT_EQ(ui.fileRequests.at(0).filter, kFilter);
    const Bytes saved = test::readAll(dir.file("a.snp"));
    EXPECT_EQ(saved, bytesOf(snapshot));
    EXPECT_EQ(notifications, std::vector<int>{1});
    EXPECT_EQ(snapshot.path(), "a.snp");

    Snap other;
    other.ui.files.push_back(dir.file("a.snp"));
    ASSERT_TRUE(other.s.Open());
    EXPECT_TRUE(other.ui.messages.empty());
    EXPECT_EQ(other.s.window().title(), "Woofer variants");
    EXPECT_EQ(bytesOf(other.s), saved);
    ASSERT_TRUE(other.s.Save()); // known path: no question
    EXPECT_EQ(other.ui.fileRequests.size(), 1u);
    EXPECT_EQ(test::readAll(dir.file("a.snp")), saved);

    // A longer file loads its first bytes; the rest is not ours.
    Bytes longer = saved;
    longer.resize(saved.size() + 1000, 0xAB);
    test::writeAll(dir.file("long.snp"), longer);
    Snap third;
    ASSERT_TRUE(third.s.LoadFromProject("long.snp"));
    EXPECT_EQ(bytesOf(third.s), saved);
}

TEST_F(Snapshot, ReadingRefusesEveryShortInputWithoutChange) {
    Snap src;
    fill(src.s);
    const Bytes bytes = bytesOf(src.s);
    const Bytes before = bytesOf(snapshot);
    for (std::size_t n = 0; n < bytes.size(); ++n) {
        BinaryReader r(std::span(bytes.data(), n));
        ASSERT_FALSE(snapshot.readFile(r)) << n;
    }
    // Every field of the source differs from the fresh one: any partial commit would show.
    EXPECT_EQ(bytesOf(snapshot), before);
    BinaryReader r(bytes);
    ASSERT_TRUE(snapshot.readFile(r));
    EXPECT_EQ(bytesOf(snapshot), bytes);
}

TEST_F(Snapshot, FailedSaveKeepsDataAndPathAndAShortFileIsRefused) {
    fill(snapshot);
    ui.files.push_back(dir.file("kept.snp"));
    ASSERT_TRUE(snapshot.SaveAs());
    notifications.clear();
    Bytes bytes = bytesOf(snapshot);

    ui.files.push_back(dir.file("missing/x.snp"));
    EXPECT_FALSE(snapshot.SaveAs());
    EXPECT_EQ(ui.lastMessage().caption, "File save as");
    EXPECT_EQ(ui.lastMessage().text,
              "Could not open file.\nCheck if device is ready\nor if the disk is full.");
    EXPECT_EQ(snapshot.path(), "kept.snp");
    EXPECT_EQ(bytesOf(snapshot), bytes);

    bytes.pop_back();
    test::writeAll(dir.file("short.snp"), bytes);
    ui.files.push_back(dir.file("short.snp"));
    EXPECT_FALSE(snapshot.Open());
    EXPECT_EQ(ui.lastMessage().caption, "File open");
    EXPECT_EQ(ui.lastMessage().text, "Could not open file.\nCheck if device is ready.");
    EXPECT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(snapshot.path(), "");
    EXPECT_EQ(selector.rememberedPath, "");
    EXPECT_EQ(snapshot.window().title(), "Snapshot");
    EXPECT_EQ(snapshot.slots[0].used, 0);
    EXPECT_TRUE(notifications.empty());
}

TEST_F(Snapshot, CopyFillsAsManyPointsAsBothCurvesHold) {
    const std::vector<double> f(600, 100.0);
    const std::vector<double> spl(600, 80.0);
    snapshot.setCurrentSlot(9); // the last slot
    snapshot.CopyToCurrentSlot(std::span(f.data(), 30), std::span(spl.data(), 20));
    const SnapshotSlot& s = snapshot.slots[4];
    EXPECT_EQ(std::tuple(s.used, s.visible, s.pointCount, s.levels[19], s.levels[20]),
              std::tuple(1, 1, 20, 80.0, 0.0));
    snapshot.CopyToCurrentSlot(f, spl);
    EXPECT_EQ(s.pointCount, 500);
}

TEST_F(Snapshot, AxisRanges) {
    snapshot.range = 40;
    EXPECT_EQ(snapshot.yRange().max, -10.0); // never below -10 dB
    EXPECT_EQ(snapshot.yRange().min, -50.0);

    SnapshotSlot& s = snapshot.slots[1];
    s.visible = 1;
    s.pointCount = 3;
    s.levels[0] = 70.0;
    s.levels[1] = std::numeric_limits<double>::quiet_NaN();
    s.levels[2] = 90.0;
    s.levels[3] = 200.0; // beyond the point count
    s.offset = 10;
    snapshot.slots[0].pointCount = 1;
    snapshot.slots[0].levels[0] = 150.0; // hidden
    EXPECT_EQ(snapshot.yRange().max, 100.0);
    EXPECT_EQ(snapshot.yRange().min, 60.0);

    snapshot.startFrequency = -3;
    snapshot.stopFrequency = 0;
    EXPECT_GT(snapshot.xRange().min, 0.0);
    EXPECT_GT(snapshot.xRange().max, snapshot.xRange().min);
}

TEST_F(Snapshot, LegendHasOneLinePerVisibleSlot) {
    fill(snapshot); // slots 1, 3 and 5 visible, numbers hidden
    auto lines = snapshot.legend();
    ASSERT_EQ(lines.size(), 3u);
    const SnapshotLegendLine& l = lines[1];
    EXPECT_EQ(std::tuple(l.slot, l.y, l.textY, l.number, l.text, l.offset),
              std::tuple(2, 580, 585, "", "variant 3", "Offset : 0dB"));
    EXPECT_EQ(l.pen, TSnapshot::kPens[2]);
    EXPECT_EQ(lines[0].offset, "Offset : -6dB");
    snapshot.hideNumbers = 0;
    EXPECT_EQ(snapshot.legend()[2].number, "5");
}

TEST_F(Snapshot, StoredTextsAndCountsAreBounded) {
    fill(snapshot);
    Bytes bytes = bytesOf(snapshot);
    std::memset(&bytes[35], 'y', 480); // texts and title without terminator
    const std::int32_t counts[2] = {std::numeric_limits<std::int32_t>::max(), -1};
    std::memcpy(&bytes[40515], counts, sizeof counts);
    BinaryReader r(bytes);
    ASSERT_TRUE(snapshot.readFile(r));
    EXPECT_EQ(snapshot.slots[0].text, std::string(79, 'y'));
    EXPECT_EQ(snapshot.title(), std::string(79, 'y'));
    EXPECT_EQ(snapshot.slots[0].pointCount, 500);
    EXPECT_EQ(snapshot.slots[1].pointCount, 0);
    snapshot.setTitle(std::string(100, 'T'));
    EXPECT_EQ(snapshot.window().title(), std::string(79, 'T'));
}
