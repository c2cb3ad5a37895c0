#include "gui/schematic_painter.h"
#include "gui/schematic_view.h"

#include "filter/general.h"
#include "filter/net.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "gui_test_support.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <QAction>
#include <QFile>
#include <QFontMetricsF>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEngine>
#include <QPainter>
#include <QTextItem>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

// A device that keeps every text drawn on it with the box it covers.
struct DrawnText {
    QString text;
    QRectF box;
};

// Every text of one drawing.
struct Drawn {
    [[nodiscard]] bool has(const QString& s) const {
        for (const DrawnText& t : texts)
            if (t.text == s) return true;
        return false;
    }
    [[nodiscard]] bool has(const std::string& s) const { return has(QString::fromStdString(s)); }
    std::vector<DrawnText> texts;
};

class TextRecorder : public QPaintDevice {
public:
    TextRecorder() : engine_(std::make_unique<Engine>(*this)) {}
    QPaintEngine* paintEngine() const override { return engine_.get(); }

    Drawn drawn;

protected:
    int metric(PaintDeviceMetric m) const override {
        if (m == PdmWidth || m == PdmHeight) return 4000;
        if (m == PdmDpiX || m == PdmDpiY || m == PdmPhysicalDpiX || m == PdmPhysicalDpiY) return 96;
        if (m == PdmDepth) return 32;
        if (m == PdmWidthMM || m == PdmHeightMM) return 1000;
        if (m == PdmDevicePixelRatioScaled) return static_cast<int>(devicePixelRatioFScale());
        return 1;
    }

private:
    class Engine : public QPaintEngine {
    public:
        explicit Engine(TextRecorder& owner) : QPaintEngine(AllFeatures), owner_(owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState&) override {}
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawLines(const QLineF*, int) override {}
        void drawEllipse(const QRectF&) override {}
        void drawRects(const QRectF*, int) override {}
        void drawTextItem(const QPointF& p, const QTextItem& item) override {
            const QFontMetricsF fm(item.font());
            const QRectF box(p.x(), p.y() - fm.ascent(), fm.horizontalAdvance(item.text()), fm.height());
            owner_.drawn.texts.push_back({item.text(), painter()->combinedTransform().mapRect(box)});
        }
        Type type() const override { return User; }

    private:
        TextRecorder& owner_;
    };
    std::unique_ptr<Engine> engine_;
};

// Draws at the natural size (one unit a pixel) and checks that no text leaves the drawing or
// runs into another.
template <typename Model> Drawn drawChecked(Model& model) {
    const QSizeF size = SchematicPainter::size(model);
    TextRecorder rec;
    {
        QPainter p(&rec);
        SchematicPainter::paint(p, QRectF(QPointF(0, 0), size), model, false);
    }
    const QRectF page(QPointF(0, 0), size);
    const std::vector<DrawnText>& texts = rec.drawn.texts;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const QRectF a = texts[i].box.adjusted(1, 1, -1, -1);
        EXPECT_TRUE(page.contains(a)) << texts[i].text.toStdString() << " leaves the drawing";
        for (std::size_t j = i + 1; j < texts.size(); ++j)
            EXPECT_FALSE(a.intersects(texts[j].box.adjusted(1, 1, -1, -1)))
                << '"' << texts[i].text.toStdString() << "\" runs into \"" << texts[j].text.toStdString()
                << '"';
    }
    return rec.drawn;
}

struct Project {
    explicit Project(int variant) : xover(general, variant, ui) {}
    TGeneral general;
    test::ScriptedUiHost ui;
    TXover xover;
    TNetA& net(int i = 0) { return *xover.AdvancedNet(i); }
};

// Every passive type, in series and in shunt, shows each component it uses with name and
// value in the passive display formats, and only those.
TEST(SchematicPainter, PassiveBranchTypesShowTheirComponents) {
    for (int type = 0; type < TBranchA::kPassiveTypes; ++type) {
        SCOPED_TRACE(type);
        Project pr(6);
        TNetA& net = pr.net();
        for (int b = 0; b < TNetA::kBranches; ++b) {
            TBranchA& br = net.Branch(b);
            br.SetType(type);
            br.R1().SetValue(8.2);
            br.R2().SetValue(150.0);
            br.C().SetValue(4.7e-6);
            br.L().SetValue(0.022);
        }
        const Drawn rec = drawChecked(net);
        for (int b = 0; b < TNetA::kBranches; ++b) {
            TBranchA& br = net.Branch(b);
            for (TCompA* c : {&br.R1(), &br.R2(), &br.C(), &br.L()})
                EXPECT_EQ(rec.has(c->name()), c->used != 0) << c->name();
        }
        const bool any = type != 0;
        EXPECT_EQ(rec.has(QStringLiteral("8.20 ohm")), any && type != 2);
        EXPECT_EQ(rec.has(QStringLiteral("150 ohm")), type == 6 || type == 9 || type == 10);
        EXPECT_EQ(rec.has(QStringLiteral("4.700 uF")), type == 2 || type == 4 || type == 5 || type >= 7);
        EXPECT_EQ(rec.has(QStringLiteral("22.00 mH")),
                  type == 3 || type == 5 || type == 6 || type == 8 || type == 9);
    }
}

// Every connection with one to four drivers: each driver in use is annotated, and exactly
// the correction links the connection uses are drawn.
TEST(SchematicPainter, DriverGroupsAndCorrectionLinks) {
    for (int connection = 0; connection <= 2; ++connection) {
        for (int drivers = 1; drivers <= 4; ++drivers) {
            SCOPED_TRACE(testing::Message() << "connection " << connection << ", drivers " << drivers);
            Project pr(3);
            TNetA& net = pr.net();
            net.SetConnection(connection);
            net.SetDriverCount(drivers);
            net.Branch(0).SetType(5);
            net.Branch(1).SetType(9);
            for (int i = 0; i < TNetA::kLinks; ++i)
                net.Link(i).SetType(i % 2 == 0 ? 9 : 5);
            // A long path is shortened in the middle rather than run over the edge.
            net.ImpedanceData(0).SetFileName("/home/someone/measurements/2024/woofer/long folder name/"
                                             "woofer impedance in box.zma");
            const Drawn rec = drawChecked(net);
            bool shortened = false;
            for (const DrawnText& t : rec.texts)
                shortened = shortened ||
                            (t.text.endsWith(QStringLiteral("in box.zma")) && t.text.contains(QChar(0x2026)));
            EXPECT_TRUE(shortened);
            for (int d = 0; d < TNetA::kMaxDrivers; ++d)
                EXPECT_EQ(rec.has(QStringLiteral("Driver unit %1 (D1%1)").arg(d + 1)),
                          d < net.DriversInUse());
            EXPECT_TRUE(rec.has(QStringLiteral("SPL data file : Not in use")));
            for (int i = 0; i < TNetA::kLinks; ++i)
                EXPECT_EQ(rec.has(net.Link(i).R1().name()), net.LinkInUse(i)) << "link " << i + 1;
        }
    }
}

// Active sections are blocks headed by their type, with engineering values.
TEST(SchematicPainter, ActiveSectionsShowTypeAndEngineeringValues) {
    for (int type = 0; type < TBranchA::kActiveTypes; ++type) {
        SCOPED_TRACE(type);
        Project pr(8);
        TNetA& net = pr.net();
        for (int b = 0; b < TNetA::kBranches; ++b) {
            net.Branch(b).SetType(type);
            net.Branch(b).R1().SetValue(4700.0);
            net.Branch(b).C1().SetValue(2.2e-9);
        }
        net.activeGain = 2.0;
        net.disconnected = 1;
        const Drawn rec = drawChecked(net);
        EXPECT_EQ(rec.has(QString::fromLatin1(TBranchA::ActiveTypeText(type))), type != 0);
        EXPECT_EQ(rec.has(QStringLiteral("4.70 kohm")), type != 0);
        EXPECT_EQ(rec.has(QStringLiteral("2.20 nF")), type != 0);
        for (TCompA* c : net.Branch(7).RecordComponents())
            EXPECT_EQ(rec.has(c->name()), c->used != 0) << c->name();
        EXPECT_TRUE(rec.has(QStringLiteral("Impedance data file :")));
        EXPECT_TRUE(rec.has(QStringLiteral("Not in use, 8.00 ohm load simulated")));
        EXPECT_TRUE(rec.has(QStringLiteral("Rel amp. gain 6.0")));
        EXPECT_TRUE(rec.has(net.TitleLine()));
    }
}

// The simple projects draw each section under its title with the ladder's components and
// the driver texts; a second driver gets its own annotation.
TEST(SchematicPainter, SimpleProjects) {
    for (int variant : {0, 1}) {
        SCOPED_TRACE(variant);
        Project pr(variant);
        pr.xover.SimpleNet(2)->driverCount = 2;
        pr.xover.SimpleNet(2)->disconnect = 1;
        const Drawn rec = drawChecked(pr.xover);
        EXPECT_TRUE(rec.has(QStringLiteral("Disconnect")));
        EXPECT_TRUE(rec.has(QStringLiteral("Bass network")));
        EXPECT_EQ(rec.has(QStringLiteral("Midrange network")), variant == 1);
        EXPECT_TRUE(rec.has(QStringLiteral("Treble network")));
        const TNet& bass = *pr.xover.SimpleNet(0);
        EXPECT_TRUE(rec.has(QStringLiteral("L11")));
        EXPECT_TRUE(rec.has(bass.Branch(0).Inductor().DisplayValue() + " mH"));
        EXPECT_TRUE(rec.has(QStringLiteral("C14")));
        EXPECT_TRUE(rec.has(QStringLiteral("R18")));
        EXPECT_FALSE(rec.has(QStringLiteral("R16"))); // the attenuator is out of circuit
        EXPECT_TRUE(rec.has(QStringLiteral("Driver unit 1")));
        EXPECT_TRUE(rec.has(QStringLiteral("Driver unit 2")));
        EXPECT_TRUE(rec.has(QStringLiteral("Impedance data file : Not in use")));
        EXPECT_TRUE(rec.has(QStringLiteral("Rex: 0.00")));
        EXPECT_TRUE(rec.has(QStringLiteral("Position (x,y,z) mm 0.0,0.0,0.0")));
    }
}

TEST(SchematicPainter, SavesPngAndSvgAtomically) {
    test::TempDir dir;
    Project pr(4);
    pr.net().Branch(0).SetType(3);
    QString error;
    const QString png = QString::fromStdString(dir.file("net.png"));
    ASSERT_TRUE(SchematicPainter::saveToFile(pr.xover, 0, png, &error)) << error.toStdString();
    const QImage img(png);
    ASSERT_FALSE(img.isNull());
    EXPECT_GT(img.width(), SchematicPainter::size(pr.net()).width());

    const QString svg = QString::fromStdString(dir.file("net.svg"));
    ASSERT_TRUE(SchematicPainter::saveToFile(pr.xover, 0, svg, &error)) << error.toStdString();
    QFile f(svg);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray text = f.readAll();
    EXPECT_TRUE(text.startsWith("<?xml"));
    EXPECT_TRUE(text.contains("L1011"));
    EXPECT_TRUE(text.contains("</svg>"));

    // Refusals leave what is there.
    EXPECT_FALSE(
        SchematicPainter::saveToFile(pr.xover, 0, QString::fromStdString(dir.file("net.bmp")), &error));
    EXPECT_FALSE(SchematicPainter::saveToFile(pr.xover, 2, svg, &error)); // a 2-way project has no net 3
    EXPECT_FALSE(SchematicPainter::saveToFile(pr.xover, -1, svg, &error));
    EXPECT_FALSE(SchematicPainter::saveToFile(pr.xover, 0,
                                              QString::fromStdString(dir.file("no/such/dir.svg")), &error));
    QFile again(svg);
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), text);

    Project simple(1);
    EXPECT_TRUE(SchematicPainter::saveToFile(simple.xover, -1, svg, &error)) << error.toStdString();
}

QAction* menuAction(QMenuBar* bar, const QString& menu, const QString& item) {
    for (QAction* m : bar->actions()) {
        if (m->text() != menu || !m->menu()) continue;
        for (QAction* a : m->menu()->actions())
            if (a->text() == item) return a;
    }
    return nullptr;
}

TEST(SchematicWindow, NetMenusSetPhaseAndModifyBranches) {
    Project pr(5);
    TNetA& net = pr.net(1);
    std::vector<int> asked;
    TSchematicWindow w(net, pr.ui, [&asked](TBranchA& b) {
        asked.push_back(b.number());
        return b.SetType(4);
    });
    ASSERT_NE(w.menuBar(), nullptr);
    for (int i = 1; i <= TNetA::kBranches; ++i)
        EXPECT_NE(
            menuAction(w.menuBar(), QStringLiteral("&Modify branch"), QStringLiteral("Branch &%1").arg(i)),
            nullptr);
    menuAction(w.menuBar(), QStringLiteral("&Modify branch"), QStringLiteral("Branch &3"))->trigger();
    EXPECT_EQ(asked, std::vector<int>{2});
    EXPECT_EQ(net.Branch(2).type(), 4);

    pr.ui.posted.clear();
    QAction* inverted = menuAction(w.menuBar(), QStringLiteral("&Driver phase"), QStringLiteral("&Inverted"));
    QAction* normal = menuAction(w.menuBar(), QStringLiteral("&Driver phase"), QStringLiteral("&Normal"));
    ASSERT_TRUE(inverted && normal);
    EXPECT_TRUE(normal->isChecked());
    inverted->trigger();
    EXPECT_EQ(net.polarityInverted, 1);
    EXPECT_TRUE(inverted->isChecked());
    EXPECT_FALSE(pr.ui.posted.empty()); // the recalculation
    normal->trigger();
    EXPECT_EQ(net.polarityInverted, 0);
}

TEST(SchematicWindow, ScalesToFitDownToALegibleMinimumAndCopies) {
    Project pr(1);
    TSchematicWindow w(pr.xover, pr.ui);
    EXPECT_EQ(w.menuBar(), nullptr);
    const QSizeF natural = w.naturalSize();
    w.resize((natural * 1.5).toSize());
    w.show();
    test::drainEvents();
    EXPECT_NEAR(w.displayScale(), 1.5, 0.05);
    w.resize(200, 150);
    test::drainEvents();
    EXPECT_DOUBLE_EQ(w.displayScale(), TSchematicWindow::kMinScale);

    EXPECT_TRUE(w.copyToClipboard());
    EXPECT_TRUE(pr.ui.messages.empty());
    EXPECT_FALSE(w.copyImageToClipboard(QImage()));
    ASSERT_EQ(pr.ui.messages.size(), 1u);
    EXPECT_EQ(pr.ui.lastMessage().caption, "Copy window");
    EXPECT_EQ(pr.ui.lastMessage().text, "Out of memory");
    EXPECT_EQ(pr.ui.lastMessage().icon, MessageIcon::Exclamation);
}

} // namespace
} // namespace harlox
