// Edit to redraw in the desktop program: one capacitor of net 2 of a 4-way advanced project
// (four drivers a net, 17 rays) changes as its network dialog changes it, and the clock runs
// until every open window of the project has painted again. Prints the median and the worst
// of the edits beside the target of one frame (16 ms).
//   harlox_redraw_bench [EDITS]
#include "core/program_dir.h"
#include "filter/general.h"
#include "filter/net_a.h"
#include "filter/xover.h"
#include "four_way_project.h"
#include "gui/main_window.h"
#include "gui/qt_ui_host.h"
#include "gui/schematic_view.h"
#include "silent_host.h"

#include <QApplication>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

using namespace harlox;

namespace {

// Counts the paint events of the windows it watches.
class PaintCounter : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) painted.insert(watched);
        return false;
    }
    std::set<QObject*> painted;
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int edits = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    setProgramDirectory(dir.path().toStdString());
    setPreferencesDirectory(dir.path().toStdString());

    // The project, written as the program writes it, then opened as the user opens it.
    const std::string path = dir.filePath(QStringLiteral("four-way.flt")).toStdString();
    {
        TGeneral general;
        bench::SilentHost host;
        std::string error;
        auto project = bench::makeFourWayProject(general, host, error);
        if (!project || !project->WriteProject(path)) {
            std::fprintf(stderr, "harlox_redraw_bench: %s\n", error.empty() ? "could not write the project" : error.c_str());
            return 1;
        }
    }
    QtUiHost ui;
    MainWindowHooks hooks;
    hooks.showStartDialog = false;
    TMainWindow window(ui, hooks);
    ui.setDialogParent(&window);
    window.resize(1560, 940);
    window.show();
    window.openProjectFile(path);
    QCoreApplication::processEvents();
    TXover* x = window.filterProject();
    if (!x || x->NetCount() != 4) {
        std::fprintf(stderr, "harlox_redraw_bench: the project did not open\n");
        return 1;
    }
    TNetA& net = *x->AdvancedNet(1);
    TCompA& c = net.Branch(3).C();
    std::vector<QWidget*> shownWindows;
    PaintCounter counter;
    for (QMdiSubWindow* s : window.mdiArea()->subWindowList()) {
        if (!s->isVisible() || s->isMinimized()) continue;
        // Another net's circuit does not change with this edit.
        if (auto* schematic = qobject_cast<TSchematicWindow*>(s->widget()); schematic && schematic->net() != &net)
            continue;
        shownWindows.push_back(s->widget());
        s->widget()->installEventFilter(&counter);
    }

    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(edits));
    for (int i = 0; i < edits; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        // What the dialog does with a typed value: the component, then the net's edit.
        c.SetValueClamped((i & 1) != 0 ? 22e-6 : 20e-6, &ui);
        net.Edited();
        // The posted recalculation, then the event loop until every shown window has painted.
        counter.painted.clear();
        for (int turn = 0; turn < 100 && counter.painted.size() < shownWindows.size(); ++turn)
            QCoreApplication::processEvents();
        if (counter.painted.size() < shownWindows.size()) {
            for (QWidget* w : shownWindows)
                if (!counter.painted.count(w))
                    std::fprintf(stderr, "harlox_redraw_bench: %s did not repaint after the edit\n",
                                 qPrintable(w->parentWidget() ? w->parentWidget()->windowTitle() : QString()));
            return 1;
        }
        const auto t1 = std::chrono::steady_clock::now();
        ms.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    const auto shown = static_cast<int>(shownWindows.size());
    std::sort(ms.begin(), ms.end());
    std::printf("edit to redraw, 4-way advanced project, 4 drivers a net, 17 rays, %d windows showing the edit, %d edits:\n"
                "  median %.2f ms, worst %.2f ms (target < 16 ms)\n",
                shown, edits, ms[ms.size() / 2], ms.back());
    window.closeProject();
    return 0;
}
