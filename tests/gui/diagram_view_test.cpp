#include "gui/diagram_view.h"

#include "core/diagram_model.h"
#include "gui_test_support.h"

#include <QApplication>
#include <QMouseEvent>

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace harlox {
namespace {

void move(QWidget* w, QPointF pos) {
    QMouseEvent ev(QEvent::MouseMove, pos, w->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}

TEST(DiagramView, MouseOverThePlotSetsTheCursorElsewhereItStays) {
    std::array<double, 50> x{};
    std::array<double, 50> y{};
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = 10.0 * std::pow(2000.0, double(i) / 49.0);
    DiagramModel model{"Impedance", "Hz", "ohm"};
    model.setX(x.data());
    model.setPointCount(50);
    model.addCurve(y.data(), Pen{PenColor::Blue, PenStyle::Thick}, "Driver unit");
    DiagramView view(&model);
    view.resize(560, 380);
    RenderOptions o;
    o.unit = view.screenUnit();
    const DiagramLayout l = DiagramRenderer::layout(QRectF(view.rect()), model, o);
    const QPointF inside(l.plot.left() + l.plot.width() * 0.25, l.plot.center().y());
    move(&view, inside);
    ASSERT_TRUE(model.cursorValid());
    EXPECT_NEAR(model.cursorX(), l.x.toValue(inside.x()), 1e-9);

    // On the axis labels the cursor stays where it was.
    move(&view, QPointF(l.plot.center().x(), l.plot.bottom() + 5));
    EXPECT_NEAR(model.cursorX(), l.x.toValue(inside.x()), 1e-9);

    // Without a model nothing happens.
    view.setModel(nullptr);
    move(&view, inside);
    EXPECT_FALSE(view.grabDiagram().isNull());
}

TEST(DiagramView, UserNoteIsCutToItsFiftyBytesBetweenCharacters) {
    DiagramModel model{"Impedance", "Hz", "ohm"};
    DiagramView view(&model);
    view.setUserNote(QStringLiteral("Sealed 22 l"));
    EXPECT_EQ(model.note(), "Sealed 22 l");
    // 30 two-byte characters do not fit: cut before a character, never inside one.
    view.setUserNote(QString(30, QChar(0x00E9)));
    EXPECT_EQ(model.note().size(), 48u);
    EXPECT_EQ(view.userNote(), QString(24, QChar(0x00E9)));
    // Notes from older files are Latin-1.
    model.setNote("Bo\xEEte");
    EXPECT_EQ(view.userNote(), QStringLiteral("Bo\u00EEte"));
}

} // namespace
} // namespace harlox
