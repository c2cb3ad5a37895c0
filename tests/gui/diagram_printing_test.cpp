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

TEST(DiagramSlots, FramesHaveThePageFractionsAndBreakPagesWhereThePrintListSays) {
    const SlotCase cases[] = {{5, 4, {0, 0, 0, 0, 1}, 0.7, 0.18},
                              {7, 3, {0, 0, 0, 1, 1, 1, 2}, 0.8, 0.25},
                              {8, 8, {0, 0, 0, 0, 0, 0, 0, 0}, 0.4, 0.18},
                              {0, 4, {}, 0.7, 0.18}};
    const QRectF page(0, 0, kPrintPageWidth, kPrintPageHeight);
    for (const SlotCase& c : cases) {
        const std::vector<DiagramSlot> slotList = diagramSlots(c.count, c.perPage);
        ASSERT_EQ(static_cast<int>(slotList.size()), c.count);
        for (std::size_t i = 0; i < slotList.size(); ++i) {
            const DiagramSlot& s = slotList[i];
            EXPECT_EQ(s.page, c.pages[i]) << c.perPage << " per page, " << i;
            EXPECT_EQ(s.frame.size(), QSizeF(c.width * kPrintPageWidth, c.height * kPrintPageHeight));
            EXPECT_TRUE(page.contains(s.frame));
            // Titled just above the frame, below the header line of the first page.
            EXPECT_LE(s.titleRect.bottom(), s.frame.top());
            EXPECT_DOUBLE_EQ(s.titleRect.center().x(), s.frame.center().x());
            EXPECT_GE(s.titleRect.top(), 120.0);
            // One column centred on the page, or two side by side.
            const double offCentre = s.frame.center().x() - kPrintPageWidth / 2.0;
            EXPECT_TRUE(c.perPage < 8 ? offCentre == 0.0 : (offCentre < 0.0) == (i % 2 == 0));
            for (std::size_t j = 0; j < i; ++j)
                EXPECT_FALSE(
                    slotList[j].page == s.page &&
                    slotList[j].frame.united(slotList[j].titleRect).intersects(s.frame.united(s.titleRect)))
                    << j << " and " << i;
        }
    }
}

TEST(ExpandTabs, StopsEveryEightColumns) {
    EXPECT_EQ(expandTabs(QStringLiteral(" Vol\t\t3.20 l")), QStringLiteral(" Vol            3.20 l"));
}

} // namespace
} // namespace harlox
