// The desktop program with filter projects: menus, dialogs, windows, save and open.
#include "core/command_ids.h"
#include "filter/general.h"
#include "filter/xover.h"
#include "gui/branch_type_dialogs.h"
#include "gui/diagram_view.h"
#include "gui/filter_project_windows.h"
#include "gui/general_dialog.h"
#include "gui_test_support.h"
#include "main_window_fixture.h"
#include "gui/net_a_dialog.h"
#include "gui/net_a_driver_dialog.h"
#include "gui/net_dialog.h"
#include "gui/net_driver_dialog.h"
#include "gui/off_axis_plots.h"
#include "gui/print_diagrams_dialog.h"
#include "gui/schematic_painter.h"
#include "gui/schematic_view.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QComboBox>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <filesystem>
#include <vector>

namespace harlox {
namespace {

using test::drainEvents;

const std::string kMeasured = HARLOX_SHARED_DATA_DIR "/measured/";

class FilterProjectTest : public test::MainWindowFixture {
protected:
    void configureHooks() override {
        hooks.choosePrinter = [this](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(QString::fromStdString(dir.file("print.pdf")));
            return true;
        };
    }
    template <class Dialog> Dialog* openDialog(int id) {
        window->runCommand(id);
        drainEvents();
        for (Dialog* d : window->findChildren<Dialog*>())
            if (d->isVisible()) return d;
        return nullptr;
    }
    // Loads a curve through the driver dialog's Browse, as the user picks it.
    template <class Dialog> void browse(Dialog& d, bool spl, const std::string& file) {
        host.files.push_back(kMeasured + file);
        d.browseButton(spl)->click();
        drainEvents();
        host.runPosted();
    }
    void settle() {
        drainEvents();
        host.runPosted();
        drainEvents();
    }
    static std::vector<std::string> labels(const DiagramModel& m) {
        std::vector<std::string> l;
        for (int i = 0; i < m.curveCount(); ++i)
            l.push_back(m.curve(i).label);
        return l;
    }
    static std::vector<double> summed(TXover& x) {
        const double* y = x.SummedWindow().curve(0).y;
        return {y, y + TXover::kPoints};
    }
};

TEST_F(FilterProjectTest, ASimpleTwoWayFromMeasuredCurvesWithRaysThenSavedAndOpenedAgain) {
    window->runCommand(cmd::NewSimple2Way);
    TXover* x = window->filterProject();
    ASSERT_TRUE(x);
    EXPECT_EQ(window->menuSetKind(), MenuSetKind::SimpleFilter);
    EXPECT_TRUE(enabled(cmd::General));
    // A 2-way project has no midrange.
    EXPECT_EQ(window->commandAction(cmd::NetworkMid)->isVisible(), false);
    EXPECT_FALSE(enabled(cmd::ExportSplMid));

    const struct {
        int driver, network;
        const char* spl;
        bool lowPass;
    } ways[] = {{cmd::DriverBass, cmd::NetworkBass, "TCP115-8@0.frd", true},
                {cmd::DriverTreble, cmd::NetworkTreble, "AN25F-4@0.frd", false}};
    for (const auto& way : ways) {
        TDriverDialog* driver = openDialog<TDriverDialog>(way.driver);
        ASSERT_TRUE(driver);
        EXPECT_FALSE(enabled(way.driver)) << "greyed while its dialog is open";
        browse(*driver, true, way.spl);
        EXPECT_TRUE(x->SimpleNet(way.lowPass ? 0 : 2)->Spl(0).Loaded());
        driver->close();
        settle();
        EXPECT_TRUE(enabled(way.driver));

        TNetDialog* net = openDialog<TNetDialog>(way.network);
        ASSERT_TRUE(net);
        net->orderList(way.lowPass)->setCurrentIndex(3); // "N=4"
        test::typeInto(net->cutoffField(way.lowPass), QStringLiteral("2500"));
        QTest::keyClick(net->cutoffField(way.lowPass), Qt::Key_Return);
        net->calcButton(way.lowPass)->click();
        settle();
        EXPECT_EQ(way.lowPass ? net->net().lowPassOrder : net->net().highPassOrder, 4);
        net->close();
        settle();
    }
    EXPECT_EQ(labels(x->SummedWindow()), (std::vector<std::string>{"Total", "Bass", "Treble"}));
    // 4th order at 2.5 kHz: an octave away each way the other section is 24 dB down or more.
    const TNet& bass = *x->SimpleNet(0);
    const TNet& treble = *x->SimpleNet(2);
    const FVector& f = x->General().frequency();
    int i1250 = 0;
    int i5000 = 0;
    for (int i = 0; i < TXover::kPoints; ++i) {
        if (f[i] < 1250.0) i1250 = i;
        if (f[i] < 5000.0) i5000 = i;
    }
    EXPECT_LT(bass.GainDb()[i5000] - bass.GainDb()[i1250], -20.0);
    EXPECT_LT(treble.GainDb()[i1250] - treble.GainDb()[i5000], -20.0);

    // General settings: +30 and -30 beside the on-axis ray give three bands in the map.
    TGeneralDialog* general = openDialog<TGeneralDialog>(cmd::General);
    ASSERT_TRUE(general);
    for (const char* angle : {"+30", "-30"}) {
        const QList<QListWidgetItem*> found = general->pickList()->findItems(QString::fromLatin1(angle), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        general->pickList()->setCurrentItem(found.front());
        general->surfaceAddButton()->click();
        settle();
    }
    general->close();
    settle();
    EXPECT_EQ(x->SurfaceRays().size(), 3u);
    EXPECT_EQ(surfaceMap(*x).rays.size(), 3u);
    FilterProjectWindows* w = window->filterWindows();
    ASSERT_TRUE(w);
    const DiagramView* surface = w->view(x->SurfaceWindow());
    ASSERT_TRUE(surface);
    EXPECT_FALSE(w->subWindowOf(surface)->isMinimized());

    // Save as, close, Open: the same curves.
    const std::vector<double> before = summed(*x);
    const std::string path = dir.file("two way.flt");
    host.files.push_back(path);
    window->runCommand(cmd::SaveAs);
    settle();
    EXPECT_FALSE(x->IsChanged());
    window->closeProject();
    EXPECT_FALSE(window->filterProject());
    window->openProjectFile(path);
    settle();
    x = window->filterProject();
    ASSERT_TRUE(x);
    EXPECT_EQ(x->SurfaceRays().size(), 3u);
    const std::vector<double> after = summed(*x);
    for (int i = 0; i < TXover::kPoints; ++i)
        EXPECT_NEAR(after[static_cast<std::size_t>(i)], before[static_cast<std::size_t>(i)], 1e-9) << i;
}

TEST_F(FilterProjectTest, AnAdvancedBranchChangedInTheNetworkDialogRedrawsTheSchematicAndTheCurves) {
    window->runCommand(cmd::NewAdvanced2Way);
    TXover* x = window->filterProject();
    ASSERT_TRUE(x);
    EXPECT_EQ(window->menuSetKind(), MenuSetKind::AdvancedFilter);
    EXPECT_FALSE(window->commandAction(cmd::NetworkNet3)->isVisible());
    // A passive net needs driver 1's SPL and impedance curves for results.
    const char* files[2][2] = {{"DCS255-4@0.frd", "DCS255-4.zma"}, {"ND25FA-4@0.frd", "ND25FA-4.zma"}};
    for (int n = 0; n < 2; ++n) {
        TNetADriverDialog* d = openDialog<TNetADriverDialog>(cmd::DriverNet1 + n);
        ASSERT_TRUE(d);
        browse(*d, true, files[n][0]);
        browse(*d, false, files[n][1]);
        d->close();
        settle();
    }
    ASSERT_TRUE(x->AdvancedNet(0)->HasResults());
    const std::vector<double> before = summed(*x);

    // Branch 1 of net 1 becomes " R1 + L": the branch type dialog answers with that button.
    answerDialog = [](QDialog& d) {
        for (QRadioButton* b : d.findChildren<QRadioButton*>())
            if (b->text() == QStringLiteral("R1 + L (L is inductor)")) b->setChecked(true);
        return TBaseDialog::ResultOk;
    };
    TNetADialog* net = openDialog<TNetADialog>(cmd::NetworkNet1);
    ASSERT_TRUE(net);
    net->branchList()->setCurrentRow(0);
    EXPECT_TRUE(net->modifySelectedBranch());
    settle();
    EXPECT_EQ(x->AdvancedNet(0)->Branch(0).type(), 3);
    EXPECT_NE(summed(*x), before);
    const std::string svg = dir.file("net1.svg");
    ASSERT_TRUE(SchematicPainter::saveToFile(*x, 0, QString::fromStdString(svg), nullptr));
    const std::vector<std::uint8_t> bytes = test::readAll(svg);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("L1011"), std::string::npos);

    // The schematic window's menu reaches the same dialog.
    FilterProjectWindows* w = window->filterWindows();
    ASSERT_EQ(w->schematics().size(), 2u);
    answerDialog = [](QDialog& d) {
        for (QRadioButton* b : d.findChildren<QRadioButton*>())
            if (b->text() == QStringLiteral("Capacitor C")) b->setChecked(true);
        return TBaseDialog::ResultOk;
    };
    EXPECT_TRUE(w->modifyBranch(x->AdvancedNet(1)->Branch(0)));
    settle();
    EXPECT_EQ(x->AdvancedNet(1)->Branch(0).type(), 2);
}

TEST_F(FilterProjectTest, AnActiveProjectHasNoImpedanceAndPrintsItsWindows) {
    window->runCommand(cmd::NewActive3Way);
    TXover* x = window->filterProject();
    ASSERT_TRUE(x);
    EXPECT_FALSE(window->commandAction(cmd::ExportImpedanceTotal)->isVisible());
    EXPECT_FALSE(window->commandAction(cmd::ExportImpedanceNet1)->isVisible());
    EXPECT_TRUE(enabled(cmd::ExportSplNet3));
    EXPECT_FALSE(window->commandAction(cmd::NetworkNet4)->isVisible());
    for (const DiagramModel* m : x->DiagramWindows())
        EXPECT_NE(m, &x->ImpedanceWindow());
    // Print > Window and Copy window of a schematic.
    FilterProjectWindows* w = window->filterWindows();
    QMdiSubWindow* sub = w->subWindowOf(w->schematics().front());
    window->mdiArea()->setActiveSubWindow(sub);
    window->runCommand(cmd::PrintWindow);
    EXPECT_GT(std::filesystem::file_size(dir.file("print.pdf")), 1000u);
    QGuiApplication::clipboard()->clear();
    window->runCommand(cmd::CopyWindow);
    EXPECT_FALSE(QGuiApplication::clipboard()->image().isNull());
    // Print > Diagrams: the surface map and the summed response on one page.
    std::filesystem::remove(dir.file("print.pdf"));
    answerDialog = [&](QDialog& d) {
        auto& p = dynamic_cast<TPrintDiagramsDialog&>(d);
        for (const DiagramModel* m : {&x->SurfaceWindow(), &x->SummedWindow()}) {
            const QList<QListWidgetItem*> found =
                p.pickList()->findItems(QString::fromStdString(m->title()), Qt::MatchExactly);
            if (found.isEmpty()) return TBaseDialog::ResultCancel;
            p.pickList()->setCurrentItem(found.front());
            p.addPicked();
        }
        return TBaseDialog::ResultOk;
    };
    window->runCommand(cmd::PrintDiagrams);
    EXPECT_GT(std::filesystem::file_size(dir.file("print.pdf")), 1000u);
    EXPECT_EQ(x->printList.size(), 2u) << "the print list stays with the project";

    // Closing a window only puts it aside.
    sub->close();
    EXPECT_TRUE(sub->isMinimized());
    EXPECT_EQ(w->schematics().size(), 3u);
}

} // namespace
} // namespace harlox
