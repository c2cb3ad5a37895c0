// Runs the desktop program's main window with a scripted host, loads the built-in driver
// unit into a new box project and writes pictures of the windows into the folder given as
// the first argument, to look at them:
//   shell_screenshots /tmp/shots [closed|reflex] [--stay SECONDS]
// With --stay the window stays up (for a screenshot of the whole screen) before it quits.
#include "box/box_embryo.h"
#include "core/command_ids.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "gui/about_dialog.h"
#include "gui/box_project_windows.h"
#include "gui/diagram_view.h"
#include "gui/info_win.h"
#include "gui/load_driver_unit_info_d.h"
#include "gui/main_window.h"
#include "gui/print_diagrams_dialog.h"
#include "gui/start_dialog.h"
#include "gui/yankee.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPixmap>
#include <QPrinter>
#include <QTimer>

#include <cstdio>

using namespace harlox;

namespace {

void save(QWidget* w, const QString& path) {
    if (!w->grab().save(path)) std::fprintf(stderr, "could not write %s\n", qPrintable(path));
}

void settle() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: shell_screenshots FOLDER [closed|reflex] [--stay SECONDS]\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    const bool reflex = argc > 2 && QString::fromLocal8Bit(argv[2]) == QStringLiteral("reflex");
    int stay = 0;
    for (int i = 2; i + 1 < argc; ++i)
        if (QString::fromLocal8Bit(argv[i]) == QStringLiteral("--stay"))
            stay = QString::fromLocal8Bit(argv[i + 1]).toInt();

    test::TempDir dir;
    setProgramDirectory(QCoreApplication::applicationDirPath().toStdString());
    setPreferencesDirectory(dir.path());
    TSpkData unit;
    unit.SetDefault();
    const std::string unitPath = dir.file("default.unt");
    if (!unit.Save(unitPath)) return 1;

    test::ScriptedUiHost host;
    MainWindowHooks hooks;
    hooks.showStartDialog = false;
    hooks.execDialog = [&](QDialog& d) {
        d.show();
        settle();
        save(&d, out + QStringLiteral("/dialog_") +
                     QString::fromLatin1(d.metaObject()->className()).section(QStringLiteral("::"), -1) +
                     QStringLiteral(".png"));
        if (auto* p = qobject_cast<TPrintDiagramsDialog*>(&d)) {
            for (int row = 0; row < 3; ++row) {
                p->pickList()->setCurrentRow(row);
                p->addPicked();
            }
            save(&d, out + QStringLiteral("/dialog_TPrintDiagramsDialog_filled.png"));
        }
        d.hide();
        return 1;
    };
    int printJob = 0;
    hooks.choosePrinter = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(out + QStringLiteral("/print%1.pdf").arg(++printJob));
        return true;
    };
    TMainWindow window(host, hooks);
    window.resize(1560, 940);
    window.move(10, 10);
    window.startUp();
    settle();
    save(&window, out + QStringLiteral("/main_empty.png"));

    host.files.push_back(unitPath);
    window.runCommand(reflex ? cmd::NewBassReflex : cmd::NewClosed);
    host.runPosted();
    settle();
    save(&window, out + QStringLiteral("/main.png"));

    BoxProjectWindows* w = window.projectWindows();
    window.boxProject()->setProjectFileName(dir.file("two way bookshelf.box"));
    for (DiagramView* v : w->views()) {
        const QString name =
            QString::fromStdString(v->model()->title()).replace(QLatin1Char(' '), QLatin1Char('_'));
        v->grabDiagram().save(out + QStringLiteral("/diagram_") + name + QStringLiteral(".png"));
        QImage big = DiagramRenderer::toImage(*v->model(),
                                              QSize(DiagramView::kDefaultWidth, DiagramView::kDefaultHeight));
        big.save(out + QStringLiteral("/default_") + name + QStringLiteral(".png"));
    }
    save(w->subWindowOf(w->dataSheet()), out + QStringLiteral("/datasheet.png"));

    // Print > Window of the SPL diagram and of the data sheet.
    window.mdiArea()->setActiveSubWindow(w->subWindowOf(w->views().front()));
    window.runCommand(cmd::PrintWindow);
    window.mdiArea()->setActiveSubWindow(w->subWindowOf(w->dataSheet()));
    window.runCommand(cmd::PrintWindow);

    window.runCommand(cmd::Tile);
    settle();
    save(&window, out + QStringLiteral("/main_tiled.png"));

    window.runCommand(cmd::Yankee);
    settle();
    if (window.yankee()) save(window.yankee(), out + QStringLiteral("/yankee.png"));
    window.runCommand(cmd::About);
    window.runCommand(cmd::PrintDiagrams);
    TStartDialog start(&window, {});
    start.show();
    settle();
    save(&start, out + QStringLiteral("/dialog_TStartDialog.png"));
    start.hide();

    if (stay > 0) {
        QTimer::singleShot(stay * 1000, &app, &QApplication::quit);
        app.exec();
    }
    window.closeProject();
    return 0;
}
