#include "gui/diagram_printing.h"

#include <QRectF>

#include <gtest/gtest.h>

#include <vector>

namespace harlox {
namespace {

struct SlotCase {
    int count;
    int perPage;
    std::vector<int> pages;
    double width;  // fraction of the page
    double height; // fraction of the page
};

class DiagramSlotsTest : public ::testing::TestWithParam<SlotCase> {};

TEST_P(DiagramSlotsTest, FramesHaveThePageFractionsAndBreakPagesWhereThePrintListSays) {
    const SlotCase& c = GetParam();
    const std::vector<DiagramSlot> slotList = diagramSlots(c.count, c.perPage);
    ASSERT_EQ(static_cast<int>(slotList.size()), c.count);
    const QRectF page(0, 0, kPrintPageWidth, kPrintPageHeight);
    for (int i = 0; i < c.count; ++i) {
        const DiagramSlot& s = slotList[static_cast<std::size_t>(i)];
        EXPECT_EQ(s.page, c.pages[static_cast<std::size_t>(i)]) << i;
        EXPECT_DOUBLE_EQ(s.frame.width(), c.width * kPrintPageWidth);
        EXPECT_DOUBLE_EQ(s.frame.height(), c.height * kPrintPageHeight);
        EXPECT_TRUE(page.contains(s.frame)) << i;
        EXPECT_TRUE(page.contains(s.titleRect)) << i;
        // The title sits just above its frame, over the same width.
        EXPECT_LE(s.titleRect.bottom(), s.frame.top());
        EXPECT_DOUBLE_EQ(s.titleRect.center().x(), s.frame.center().x());
        // Below the header line of the first page.
        EXPECT_GE(s.titleRect.top(), 120.0);
        for (int j = 0; j < i; ++j) {
            const DiagramSlot& o = slotList[static_cast<std::size_t>(j)];
            if (o.page != s.page) continue;
            EXPECT_FALSE(o.frame.intersects(s.frame)) << j << " and " << i;
            EXPECT_FALSE(o.frame.intersects(s.titleRect)) << j << " and " << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    PerPage, DiagramSlotsTest,
    ::testing::Values(SlotCase{5, 4, {0, 0, 0, 0, 1}, 0.7, 0.18}, SlotCase{4, 4, {0, 0, 0, 0}, 0.7, 0.18},
                      SlotCase{7, 3, {0, 0, 0, 1, 1, 1, 2}, 0.8, 0.25}, SlotCase{3, 3, {0, 0, 0}, 0.8, 0.25},
                      SlotCase{8, 8, {0, 0, 0, 0, 0, 0, 0, 0}, 0.4, 0.18}, SlotCase{1, 8, {0}, 0.4, 0.18}));

TEST(DiagramSlots, SingleColumnFramesAreCentredOnThePage) {
    for (const int perPage : {3, 4}) {
        for (const DiagramSlot& s : diagramSlots(4, perPage))
            EXPECT_DOUBLE_EQ(s.frame.center().x(), kPrintPageWidth / 2.0);
    }
    const std::vector<DiagramSlot> eight = diagramSlots(2, 8);
    EXPECT_LT(eight[0].frame.center().x(), kPrintPageWidth / 2.0);
    EXPECT_GT(eight[1].frame.center().x(), kPrintPageWidth / 2.0);
    EXPECT_DOUBLE_EQ(eight[0].frame.top(), eight[1].frame.top());
    EXPECT_TRUE(diagramSlots(0, 4).empty());
}

TEST(ExpandTabs, StopsEveryEightColumns) {
    EXPECT_EQ(expandTabs(QStringLiteral(" Vol\t\t3.20 l")), QStringLiteral(" Vol            3.20 l"));
    EXPECT_EQ(expandTabs(QStringLiteral("Filename\tx.box")), QStringLiteral("Filename        x.box"));
    EXPECT_EQ(expandTabs(QStringLiteral("\t")), QString(8, QLatin1Char(' ')));
    EXPECT_EQ(expandTabs(QStringLiteral("abc")), QStringLiteral("abc"));
}

} // namespace
} // namespace harlox
