#include "cli/plot.h"

#include "core/diagram_model.h"
#include "filter/xover.h"

#ifdef HARLOX_CLI_PLOT
#include "gui/diagram_renderer.h"
#include "gui/off_axis_plots.h"
#include "gui/schematic_painter.h"

#include <QFile>
#include <QGuiApplication>
#include <QSize>
#include <QString>

#include <cerrno>
#include <clocale>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace harlox::cli {

#ifdef HARLOX_CLI_PLOT

namespace {

// Fonts and images need a QGuiApplication. The tool never shows a window, so unless the user
// chose a platform it draws offscreen and works without a display.
bool ensureGuiApplication(std::string& error) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        if (qobject_cast<QGuiApplication*>(app)) return true;
        error = "plotting needs a Qt GUI application, but a non-GUI one is running";
        return false;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session (cron, ssh, CI) Qt warns about the missing runtime folder on every run;
    // give it a private one as it would make itself.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const std::string dir = "/tmp/runtime-" + std::to_string(::getuid());
        if (::mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST) qputenv("XDG_RUNTIME_DIR", dir.c_str());
    }
    static int argc = 1;
    static char name[] = "harlox-cli";
    static char* argv[] = {name, nullptr};
    // Kept until the process ends: destroying it after main() would outlive the Qt plugins.
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    // Qt takes the number locale from the environment; the curve and data-sheet texts are
    // defined with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    return app != nullptr;
}

} // namespace

bool plottingAvailable() {
    return true;
}

bool renderDiagramToFile(const DiagramModel& model, const std::string& path, int width, int height,
                         std::string& error) {
    if (!ensureGuiApplication(error)) return false;
    QString why;
    if (!DiagramRenderer::saveToFile(model, QFile::decodeName(path.c_str()), QSize(width, height), &why)) {
        error = why.toStdString();
        return false;
    }
    return true;
}

bool renderFilterPictureToFile(TXover& project, FilterPicture what, int net, const std::string& path, int width,
                               int height, std::string& error) {
    if (!ensureGuiApplication(error)) return false;
    QString why;
    const QString file = QFile::decodeName(path.c_str());
    bool ok = false;
    switch (what) {
    case FilterPicture::Surface:
    case FilterPicture::Overlay: {
        const bool surface = what == FilterPicture::Surface;
        RenderOptions options;
        (surface ? surfacePlotHook(project) : overlayPlotHook(project))(options);
        ok = DiagramRenderer::saveToFile(surface ? project.SurfaceWindow() : project.OverlayWindow(), file,
                                         QSize(width, height), &why, options);
        break;
    }
    case FilterPicture::Schematic:
        ok = SchematicPainter::saveToFile(project, net, file, &why);
        break;
    }
    if (!ok) error = why.toStdString();
    return ok;
}

#else

bool plottingAvailable() {
    return false;
}

bool renderFilterPictureToFile(TXover&, FilterPicture, int, const std::string&, int, int, std::string& error) {
    return renderDiagramToFile(DiagramModel{}, "", 0, 0, error);
}

bool renderDiagramToFile(const DiagramModel&, const std::string&, int, int, std::string& error) {
    error = "this harlox-cli was built without Qt (HARLOX_GUI=OFF), so it cannot draw diagrams";
    return false;
}

#endif

} // namespace harlox::cli
