// Runs the desktop program's main window with a scripted host, loads the built-in driver
// unit into a new box project and writes pictures of the windows (the box input window too)
// into the folder given as the first argument, to look at them:
//   shell_screenshots /tmp/shots [closed|reflex|dt1|dt2|abr|bp1|bp2|bp3|bp4|reflexbp] [--quickbox] [--stay
//   SECONDS]
//   shell_screenshots /tmp/shots --open PROJECT   (any project file: its windows and the dialogs of
//   its project menus)
// With --quickbox the box window's "&Quick box" sizes the enclosure first. With --stay the window stays up
// (for a screenshot of the whole screen) before it quits.
#include "box/box_embryo.h"
#include "core/command_ids.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "gui/base_dialog.h"
#include "gui/box_project_windows.h"
#include "gui/diagram_view.h"
#include "gui/info_win.h"
#include "gui/main_window.h"
#include "gui/print_diagrams_dialog.h"
#include "gui/yankee.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QTimer>

#include <cstdio>

using namespace harlox;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr,
                     "usage: shell_screenshots FOLDER [closed|reflex|dt1|dt2|abr|bp1|bp2|bp3|bp4|reflexbp] "
                     "[--quickbox] [--stay SECONDS]\n");
        return 2;
    }
    const QString out = args[1] + QLatin1Char('/');
    // The box type by its batch-tool name; the project type code is its place here.
    const QStringList types =
        QStringLiteral("closed reflex dt1 dt2 abr bp1 bp2 bp3 bp4 reflexbp").split(QLatin1Char(' '));
    int code = 0;
    for (int i = 0; i < static_cast<int>(types.size()); ++i)
        if (args.contains(types[i])) code = i;
    const bool quickBox = args.contains(QStringLiteral("--quickbox"));
    const qsizetype stayAt = args.indexOf(QStringLiteral("--stay"));
    const int stay = stayAt > 0 ? args.value(stayAt + 1).toInt() : 0;
    const auto settle = [] {
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    };
    const auto shot = [&out](QWidget* w, const QString& name) {
        if (!w->grab().save(out + name + QStringLiteral(".png")))
            std::fprintf(stderr, "could not write %s\n", qPrintable(out + name));
    };

    test::TempDir dir;
    setProgramDirectory(QCoreApplication::applicationDirPath().toStdString());
    setPreferencesDirectory(dir.path());
    TSpkData unit;
    unit.SetDefault();
    if (!unit.Save(dir.file("default.unt"))) return 1;

    test::ScriptedUiHost host;
    MainWindowHooks hooks;
    hooks.showStartDialog = false;
    hooks.execDialog = [&](QDialog& d) {
        d.show();
        settle();
        const QString name =
            QString::fromLatin1(d.metaObject()->className()).section(QStringLiteral("::"), -1);
        shot(&d, QStringLiteral("dialog_") + name);
        if (auto* p = qobject_cast<TPrintDiagramsDialog*>(&d)) {
            for (int row = 0; row < 3; ++row) {
                p->pickList()->setCurrentRow(row);
                p->addPicked();
            }
            shot(&d, QStringLiteral("dialog_") + name + QStringLiteral("_filled"));
        }
        d.hide();
        return 1;
    };
    int printJob = 0;
    hooks.choosePrinter = [&](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(out + QStringLiteral("print%1.pdf").arg(++printJob));
        return true;
    };
    TMainWindow window(host, hooks);
    window.resize(1560, 940);
    window.move(10, 10);
    window.startUp();
    settle();
    shot(&window, QStringLiteral("main_empty"));

    if (const qsizetype openAt = args.indexOf(QStringLiteral("--open")); openAt > 0) {
        window.openProjectFile(args.value(openAt + 1).toStdString());
        host.runPosted();
        settle();
        shot(&window, QStringLiteral("main_open"));
        int n = 0;
        for (QMdiSubWindow* s : window.mdiArea()->subWindowList(QMdiArea::CreationOrder)) {
            if (s->isMinimized()) continue;
            const QString title = s->windowTitle().replace(QLatin1Char(' '), QLatin1Char('_'));
            shot(s, QStringLiteral("window_%1_%2").arg(++n, 2, 10, QLatin1Char('0')).arg(title));
        }
        // Every dialog of the project's menus, one at a time.
        for (int id : {cmd::NetworkBass, cmd::NetworkMid, cmd::NetworkTreble, cmd::DriverBass, cmd::DriverMid,
                       cmd::DriverTreble, cmd::NetworkNet1, cmd::NetworkNet2, cmd::DriverNet1, cmd::DriverNet2,
                       cmd::General}) {
            const QAction* a = window.commandAction(id);
            if (!a || !a->isVisible() || !a->isEnabled()) continue;
            window.runCommand(id);
            settle();
            for (TBaseDialog* d : window.findChildren<TBaseDialog*>()) {
                if (!d->isVisible()) continue;
                shot(d, QStringLiteral("dialog_%1_%2")
                            .arg(id)
                            .arg(QString::fromLatin1(d->metaObject()->className()).section(QStringLiteral("::"), -1)));
                d->close();
            }
            settle();
        }
        window.closeProject();
        return 0;
    }

    host.files.push_back(dir.file("default.unt"));
    host.files.push_back(dir.file("default.unt")); // the reflex bandpass's rear unit
    window.newProject(code);
    host.runPosted();
    settle();
    shot(&window, QStringLiteral("main"));

    // The box input window, beside the project's windows.
    window.runCommand(cmd::Box);
    settle();
    for (TBaseDialog* d : window.findChildren<TBaseDialog*>()) {
        if (!d->isVisible()) continue;
        if (const QMenuBar* bar = d->findChild<QMenuBar*>(); quickBox && bar && !bar->actions().isEmpty()) {
            bar->actions().front()->menu()->actions().back()->trigger();
            host.runPosted();
            settle();
        }
        shot(d, QStringLiteral("box_") +
                    QString::fromLatin1(d->metaObject()->className()).section(QStringLiteral("::"), -1));
        d->close();
    }
    settle();

    BoxProjectWindows* w = window.projectWindows();
    window.boxProject()->setProjectFileName(dir.file("two way bookshelf.box"));
    for (DiagramView* v : w->views())
        v->grabDiagram().save(
            out + QStringLiteral("diagram_") +
            QString::fromStdString(v->model()->title()).replace(QLatin1Char(' '), QLatin1Char('_')) +
            QStringLiteral(".png"));
    shot(w->subWindowOf(w->dataSheet()), QStringLiteral("datasheet"));

    // Print > Window of the SPL diagram and of the data sheet.
    for (QWidget* focused :
         {static_cast<QWidget*>(w->views().front()), static_cast<QWidget*>(w->dataSheet())}) {
        window.mdiArea()->setActiveSubWindow(w->subWindowOf(focused));
        window.runCommand(cmd::PrintWindow);
    }
    window.runCommand(cmd::Tile);
    settle();
    shot(&window, QStringLiteral("main_tiled"));
    window.runCommand(cmd::Yankee);
    settle();
    if (window.yankee()) shot(window.yankee(), QStringLiteral("yankee"));
    window.runCommand(cmd::About);
    window.runCommand(cmd::PrintDiagrams);

    if (stay > 0) {
        QTimer::singleShot(stay * 1000, &app, &QApplication::quit);
        app.exec();
    }
    window.closeProject();
    return 0;
}
