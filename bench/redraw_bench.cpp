// The desktop program's two interactive timings, on the offscreen platform:
// - start-up: this program started again as a new process that shows the main window and ends
//   at its first paint, so loading the libraries counts (target 0.5 s);
// - edit to redraw: one capacitor of net 2 of a 4-way advanced project (four drivers a net, 17
//   rays) changes as its network dialog changes it, and the clock runs until every window
//   showing it has painted again (target one frame, 16 ms).
// Prints the median and the worst of each.
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
#include <sys/wait.h>
#include <unistd.h>
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

// The child of the start-up timing: the main window up to its first paint.
int firstPaint(int argc, char** argv) {
    QApplication app(argc, argv);
    QtUiHost ui;
    MainWindowHooks hooks;
    hooks.showStartDialog = false;
    TMainWindow window(ui, hooks);
    PaintCounter counter;
    window.installEventFilter(&counter);
    window.show();
    while (counter.painted.empty())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return 0;
}

std::vector<double> startUpTimes(const char* self, int runs) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        const pid_t child = ::fork();
        if (child == 0) {
            ::execl(self, self, "--first-paint", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        int status = 0;
        if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
            return {};
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::string(argv[1]) == "--first-paint") return firstPaint(argc, argv);
    const std::vector<double> startUp = startUpTimes(argv[0], 10);
    if (startUp.empty()) {
        std::fprintf(stderr, "harlox_redraw_bench: the start-up run failed\n");
        return 1;
    }
    std::printf("start-up to the first painted main window, 10 runs:\n"
                "  median %.0f ms, worst %.0f ms (target < 500 ms)\n",
                startUp[startUp.size() / 2], startUp.back());
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
