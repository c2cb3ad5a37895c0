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
#include <vector>

using namespace harlox;

namespace {

using Bytes = std::vector<std::uint8_t>;

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
    std::string oldProgramDir_;
};

} // namespace

TEST_F(Snapshot, SaveAndOpenRoundTripIsByteExact) {
    fill(snapshot);
    const Bytes bytes = bytesOf(snapshot);
    ASSERT_EQ(bytes.size(), 40585u);
    // The title and the note follow the five slots' blocks.
    EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[435]), "Woofer variants");
    EXPECT_STREQ(reinterpret_cast<const char*>(&bytes[40535]), "closed vs vented");

    ui.files.push_back(dir.file("a.snp"));
    ASSERT_TRUE(snapshot.SaveAs());
    EXPECT_EQ(ui.fileRequests.at(0).filter, kFilter);
    EXPECT_EQ(test::readAll(dir.file("a.snp")), bytes);
    EXPECT_EQ(notifications, std::vector<int>{1});
    EXPECT_EQ(snapshot.path(), "a.snp");

    // A longer file loads its first bytes; the rest is not ours.
    Bytes longer = bytes;
    longer.resize(bytes.size() + 1000, 0xAB);
    test::writeAll(dir.file("long.snp"), longer);
    Snap other;
    other.ui.files.push_back(dir.file("long.snp"));
    ASSERT_TRUE(other.s.Open());
    EXPECT_EQ(other.s.window().title(), "Woofer variants");
    EXPECT_EQ(bytesOf(other.s), bytes);
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
}

TEST_F(Snapshot, FailedSaveKeepsDataAndPathAndAShortFileIsRefused) {
    fill(snapshot);
    ui.files.push_back(dir.file("kept.snp"));
    ASSERT_TRUE(snapshot.SaveAs());
    notifications.clear();
    ui.files.push_back(dir.file("missing/x.snp"));
    EXPECT_FALSE(snapshot.SaveAs());
    EXPECT_EQ(ui.lastMessage().caption, "File save as");
    EXPECT_EQ(ui.lastMessage().text,
              "Could not open file.\nCheck if device is ready\nor if the disk is full.");
    EXPECT_EQ(snapshot.path(), "kept.snp");

    // One byte short: refused, and the snapshot starts afresh.
    Bytes bytes = bytesOf(snapshot);
    bytes.pop_back();
    test::writeAll(dir.file("short.snp"), bytes);
    EXPECT_FALSE(snapshot.LoadFromProject("short.snp"));
    EXPECT_EQ(snapshot.path(), "");
    EXPECT_EQ(snapshot.title(), "Snapshot");
    EXPECT_TRUE(notifications.empty());
}

TEST_F(Snapshot, TheYAxisFollowsTheVisibleSlotsOnly) {
    snapshot.range = 40;
    EXPECT_EQ(snapshot.yRange().max, -10.0); // never below -10 dB
    EXPECT_EQ(snapshot.yRange().min, -50.0);
    SnapshotSlot& s = snapshot.slots[2];
    s.visible = 1, s.pointCount = 3, s.offset = -6;
    s.levels = {70.0, std::numeric_limits<double>::quiet_NaN(), 90.0, 200.0}; // 200 beyond the count
    snapshot.slots[1].pointCount = 1, snapshot.slots[1].levels[0] = 150.0;    // hidden
    EXPECT_EQ(snapshot.yRange().max, 84.0);
    EXPECT_EQ(snapshot.legend().at(0).offset, "Offset : -6dB");
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
}
