#include "gui/diagram_view.h"

#include "core/diagram_model.h"
#include "gui_test_support.h"

#include <QApplication>
#include <QClipboard>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>

namespace harlox {
namespace {

class DiagramViewTest : public ::testing::Test {
protected:
    std::array<double, 50> x{};
    std::array<double, 50> y{};
    DiagramModel model{"Impedance", "Hz", "ohm"};

    void SetUp() override {
        for (std::size_t i = 0; i < x.size(); ++i) {
            x[i] = 10.0 * std::pow(2000.0, double(i) / 49.0);
            y[i] = 6.0 + 40.0 * std::exp(-std::pow(std::log(x[i] / 50.0), 2));
        }
        model.setX(x.data());
        model.setPointCount(50);
        model.addCurve(y.data(), Pen{PenColor::Blue, PenStyle::Thick}, "Driver unit");
    }

    static void move(QWidget* w, QPointF pos) {
        QMouseEvent ev(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                       Qt::NoModifier);
        QApplication::sendEvent(w, &ev);
    }
};

TEST_F(DiagramViewTest, MouseOverThePlotSetsTheCursor) {
    DiagramView view(&model);
    view.resize(560, 380);
    QSignalSpy moved(&view, &DiagramView::cursorMoved);
    RenderOptions o;
    o.unit = view.screenUnit();
    const DiagramLayout l = DiagramRenderer::layout(QRectF(view.rect()), model, o);
    const QPointF inside(l.plot.left() + l.plot.width() * 0.25, l.plot.center().y());
    move(&view, inside);
    ASSERT_TRUE(model.cursorValid());
    EXPECT_NEAR(model.cursorX(), l.x.toValue(inside.x()), 1e-9);
    EXPECT_EQ(moved.count(), 1);
    const double before = model.cursorX();

    // Outside the plot (on the axis labels) the cursor stays where it was.
    move(&view, QPointF(2, 2));
    move(&view, QPointF(l.plot.center().x(), l.plot.bottom() + 5));
    EXPECT_DOUBLE_EQ(model.cursorX(), before);
    EXPECT_EQ(moved.count(), 1);

    view.clearCursor();
    EXPECT_FALSE(model.cursorValid());
}

TEST_F(DiagramViewTest, NoCursorWithoutPointsOrModel) {
    model.setPointCount(0);
    DiagramView view(&model);
    view.resize(560, 380);
    move(&view, QPointF(280, 190));
    EXPECT_FALSE(model.cursorValid());
    view.setModel(nullptr);
    move(&view, QPointF(280, 190));
    EXPECT_FALSE(view.grabDiagram().isNull());
    EXPECT_TRUE(view.userNote().isEmpty());
}

TEST_F(DiagramViewTest, DefaultSizeResizesTheMdiFrameAroundTheView) {
    QMdiArea area;
    area.resize(1200, 900);
    auto* view = new DiagramView(&model);
    QMdiSubWindow* sub = area.addSubWindow(view);
    area.show();
    sub->resize(300, 200);
    test::drainEvents();
    ASSERT_NE(view->size(), QSize(560, 380));
    view->restoreDefaultSize();
    test::drainEvents();
    EXPECT_EQ(view->size(), QSize(560, 380));

    sub->showMaximized();
    test::drainEvents();
    const QSize maxed = sub->size();
    view->restoreDefaultSize();
    test::drainEvents();
    EXPECT_EQ(sub->size(), maxed);
}

TEST_F(DiagramViewTest, DefaultSizeOfATopLevelView) {
    DiagramView view(&model);
    EXPECT_EQ(view.sizeHint(), QSize(560, 380));
    view.resize(333, 222);
    view.restoreDefaultSize();
    EXPECT_EQ(view.size(), QSize(560, 380));
}

TEST_F(DiagramViewTest, UserNoteIsStoredInTheModelWithinItsFiftyBytes) {
    DiagramView view(&model);
    QSignalSpy changed(&view, &DiagramView::noteChanged);
    view.setUserNote(QStringLiteral("Sealed 22 l"));
    EXPECT_EQ(model.note(), "Sealed 22 l");
    EXPECT_EQ(view.userNote(), QStringLiteral("Sealed 22 l"));
    EXPECT_EQ(changed.count(), 1);

    // 30 two-byte characters do not fit: cut before a character, never inside one.
    view.setUserNote(QString(30, QChar(0x00E9)));
    EXPECT_EQ(model.note().size(), 48u);
    EXPECT_EQ(view.userNote(), QString(24, QChar(0x00E9)));
}

TEST_F(DiagramViewTest, NotesFromOlderFilesAreLatin1) {
    model.setNote("Bo\xEEte");
    DiagramView view(&model);
    EXPECT_EQ(view.userNote(), QStringLiteral("Bo\u00EEte"));
}

TEST_F(DiagramViewTest, GrabMatchesTheViewAndGoesToTheClipboard) {
    DiagramView view(&model);
    view.resize(400, 250);
    const QImage img = view.grabDiagram();
    ASSERT_FALSE(img.isNull());
    EXPECT_EQ(img.size(), (QSizeF(400, 250) * view.devicePixelRatioF()).toSize());
    EXPECT_TRUE(view.copyToClipboard());
    EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull());
}

TEST_F(DiagramViewTest, PaintEventDrawsTheCurve) {
    DiagramView view(&model);
    view.resize(560, 380);
    const QImage img = view.grab().toImage();
    const QColor blue = DiagramRenderer::color(PenColor::Blue);
    int n = 0;
    for (int yy = 0; yy < img.height(); ++yy) {
        for (int xx = 0; xx < img.width(); ++xx)
            n += img.pixelColor(xx, yy) == blue;
    }
    EXPECT_GT(n, 300); // a 3-pixel line across the plot
}

TEST_F(DiagramViewTest, ScreenUnitStaysNearOne) {
    DiagramView view(&model);
    view.resize(560, 380);
    EXPECT_DOUBLE_EQ(view.screenUnit(), 1.0);
    view.resize(2400, 1600);
    EXPECT_LE(view.screenUnit(), 1.35);
    view.resize(300, 200);
    EXPECT_GE(view.screenUnit(), 0.85);
}

} // namespace
} // namespace harlox
