// The main window's filter-project side: creating the project and its windows, its
// commands, dialogs and printing.
#include "gui/main_window.h"

#include "app/command_table.h"
#include "core/command_ids.h"
#include "core/format.h"
#include "core/program_dir.h"
#include "filter/general.h"
#include "filter/xover.h"
#include "gui/diagram_printing.h"
#include "gui/filter_project_windows.h"
#include "gui/general_dialog.h"
#include "gui/model_text.h"
#include "gui/net_a_dialog.h"
#include "gui/net_a_driver_dialog.h"
#include "gui/net_dialog.h"
#include "gui/net_driver_dialog.h"
#include "gui/off_axis_plots.h"
#include "gui/print_diagrams_dialog.h"
#include "gui/schematic_view.h"
#include "gui/sim_dialog.h"
#include "gui/spl_total_export_dialog.h"

#include <QMdiArea>
#include <QPainter>
#include <QPointer>
#include <QPrinter>

#include <algorithm>

namespace harlox {

namespace {

// The simple projects' network of a section in display order: a 2-way project has no midrange.
std::optional<int> sectionNet(const TXover& project, int section) {
    if (!project.IsSimple()) return std::nullopt;
    if (project.NetCount() == 3) return section;
    if (section == 0) return 0;
    if (section == 2) return 1;
    return std::nullopt;
}

// The section or net a command acts on, when the project has it.
std::optional<int> commandNet(const TXover& project, const CommandInfo& c) {
    const CommandAction a = c.action;
    if (a == CommandAction::SectionNetwork || a == CommandAction::SectionDriver) return sectionNet(project, c.arg);
    if (a == CommandAction::SectionExport) return sectionNet(project, c.arg2);
    const bool perNet = a == CommandAction::NetNetwork || a == CommandAction::NetDriver;
    if (!perNet && a != CommandAction::NetExport) return std::nullopt;
    const int net = perNet ? c.arg : c.arg2;
    if (project.IsSimple() || net >= project.NetCount()) return std::nullopt;
    return net;
}

bool isImpedanceExport(const CommandInfo& c) {
    const bool exportCommand = c.action == CommandAction::FilterExportTotal ? c.arg == 2
                               : c.action == CommandAction::SectionExport || c.action == CommandAction::NetExport
                                   ? c.arg == 2
                                   : false;
    return exportCommand;
}

QString filterHeading(const TXover& project) {
    if (project.IsSimple()) return QStringLiteral("%1 WAY FILTER").arg(project.NetCount());
    return project.IsActive() ? QStringLiteral("%1 WAY ACTIVE FILTER").arg(project.NetCount())
                              : QStringLiteral("%1 WAY ADVANCED FILTER").arg(project.NetCount());
}

} // namespace

bool printSchematicWindow(QPrinter& printer, TSchematicWindow& window) {
    printer.setDocName(QStringLiteral("Harlox print job"));
    QPainter p;
    if (!p.begin(&printer)) return false;
    mapLogicalPage(p, printer);
    p.setRenderHint(QPainter::Antialiasing);
    constexpr double kMargin = 60.0;
    window.render(p, QRectF(kMargin, kMargin, kPrintPageWidth - 2.0 * kMargin, kPrintPageHeight / 2.0), true);
    return p.end();
}

bool TMainWindow::createFilterProject(int code) {
    const ProjectType* t = findProjectType(code);
    if (!t || t->isBox || !TXover::FindVariant(t->filterVariant)) return false;
    showMenuSet(t->menuSet);
    xover_ = std::make_unique<TXover>(*general_, t->filterVariant, host_);
    QPointer<TMainWindow> self(this);
    xover_->splTotalRayChooser = [self](const std::vector<std::string>& angles, int selected) -> std::optional<int> {
        if (!self) return std::nullopt;
        return chooseSplTotalRay(self, angles, selected, [self](QDialog& d) { return self ? self->execDialog(d) : 0; });
    };
    xover_->ProjectSelector().rememberedPath = openFileData_.rememberedPath;
    removeUnusedFilterCommands();
    // The menus were shown before the project existed: what it offers shows now.
    for (const auto& [id, action] : menuSetWidgets(menuSet_).items)
        applyCommandState(id);
    updateSubmenuVisibility();
    filterWindows_ = std::make_unique<FilterProjectWindows>(*xover_, *mdi_, host_,
                                                            [self](QDialog& d) { return self ? self->execDialog(d) : 0; });
    xover_->changeObserver = [this](int) { scheduleUndoRecord(); };
    resetUndoHistory();
    return true;
}

void TMainWindow::removeUnusedFilterCommands() {
    for (const CommandInfo& c : commandTable()) {
        if (c.needs != CommandNeeds::FilterProject) continue;
        const bool perNet = c.action == CommandAction::SectionNetwork || c.action == CommandAction::SectionDriver ||
                            c.action == CommandAction::SectionExport || c.action == CommandAction::NetNetwork ||
                            c.action == CommandAction::NetDriver || c.action == CommandAction::NetExport;
        const bool sectionCommand = c.action == CommandAction::SectionNetwork ||
                                    c.action == CommandAction::SectionDriver ||
                                    c.action == CommandAction::SectionExport;
        // The other kind's per-net commands are not in this menu set at all.
        if (perNet && sectionCommand != xover_->IsSimple()) continue;
        // An active project has no input impedance.
        if ((perNet && !commandNet(*xover_, c)) || (xover_->IsActive() && isImpedanceExport(c))) host_.remove(c.id);
    }
}

bool TMainWindow::filterCommandImplemented(int id) const {
    const CommandInfo* c = findCommand(id);
    if (!c || !xover_) return false;
    if (c->action == CommandAction::General) return true;
    if (c->action == CommandAction::FilterExportTotal || c->action == CommandAction::FilterMusic) return true;
    return commandNet(*xover_, *c).has_value();
}

void TMainWindow::routeFilterCommand(int id) {
    const CommandInfo* c = findCommand(id);
    if (!c || !xover_) return;
    const CommandAction a = c->action;
    if (a == CommandAction::Save || a == CommandAction::SaveAs) {
        (void)(a == CommandAction::Save ? xover_->Save() : xover_->SaveAs());
        openFileData_.rememberedPath = xover_->ProjectSelector().rememberedPath;
    } else if (a == CommandAction::PrintDiagrams) {
        printFilterDiagrams();
    } else if (a == CommandAction::FilterExportTotal) {
        (void)xover_->ExportTotal(c->arg);
    } else if (a == CommandAction::SectionExport || a == CommandAction::NetExport) {
        if (const auto net = commandNet(*xover_, *c)) (void)xover_->ExportNet(c->arg, *net);
    } else {
        // The network, driver, general and music dialogs.
        openFilterDialog(id);
    }
}

void TMainWindow::openFilterDialog(int id) {
    const CommandInfo* c = findCommand(id);
    if (!c || !xover_ || !filterWindows_) return;
    TXover& project = *xover_;
    const std::optional<int> net = commandNet(project, *c);
    QPointer<TMainWindow> self(this);
    const CommandAction a = c->action;
    TBaseDialog* dialog = nullptr;
    if (a == CommandAction::SectionNetwork && net) {
        dialog = new TNetDialog(this, static_cast<TNet&>(project.Net(*net)), host_);
    } else if (a == CommandAction::SectionDriver && net) {
        dialog = new TDriverDialog(this, static_cast<TNet&>(project.Net(*net)), host_);
    } else if (a == CommandAction::NetNetwork && net) {
        dialog = new TNetADialog(this, *project.AdvancedNet(*net), host_,
                                 [self](QDialog& d) { return self ? self->execDialog(d) : 0; });
    } else if (a == CommandAction::NetDriver && net) {
        dialog = new TNetADriverDialog(this, *project.AdvancedNet(*net), host_);
    } else if (a == CommandAction::FilterMusic) {
        dialog = new TSimDialog(this, project, host_);
    } else if (a == CommandAction::General) {
        dialog = new TGeneralDialog(this, *general_, host_, [self] {
            if (!self || !self->xover_) return;
            self->xover_->GeneralChanged();
            self->postCalculationRequest();
        });
    }
    if (!dialog) return;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    filterWindows_->adopt(dialog);
    host_.grey(id);
    rememberDialog(id, dialog);
    const TXover* owner = xover_.get();
    connect(dialog, &QObject::destroyed, this, [self, owner, id] {
        // The project's windows and dialogs go first when it closes, so it is still there.
        if (!self || self->xover_.get() != owner) return;
        self->host_.enable(id);
    });
    dialog->show();
}

void TMainWindow::printFilterDiagrams() {
    if (!xover_ || !filterWindows_) return;
    TXover& project = *xover_;
    std::vector<const DiagramModel*> pick;
    for (const DiagramModel* m : project.DiagramWindows())
        pick.push_back(m);
    PrintDiagramsSettings settings;
    settings.maxSelected = TXover::kPrintListSize;
    settings.selected.assign(project.printList.begin(), project.printList.end());
    settings.perPage = project.diagramsPerPage;
    settings.printDate = project.printDate != 0;
    settings.printProjectName = project.printProjectName != 0;
    TPrintDiagramsDialog dialog(this, host_, pick, settings);
    if (execDialog(dialog) != TBaseDialog::ResultOk) return;
    const PrintDiagramsSettings s = dialog.settings();
    project.printList.clear();
    for (const DiagramModel* m : s.selected)
        project.printList.push_back(const_cast<DiagramModel*>(m));
    project.diagramsPerPage = static_cast<std::uint8_t>(s.perPage);
    project.printDate = s.printDate ? 1 : 0;
    project.printProjectName = s.printProjectName ? 1 : 0;

    QPrinter printer(QPrinter::HighResolution);
    if (!hooks_.choosePrinter(printer)) return;
    PrintHeader header;
    header.heading = filterHeading(project);
    if (s.printDate) header.date = printDateText();
    if (s.printProjectName && !project.FileName().empty())
        header.fileName = fromModelText(strprintf("Filename   %s", fileNamePart(project.FileName()).c_str()));
    // The off-axis windows print as they are shown.
    const auto hookOf = [&project](const DiagramModel& m) -> RenderOptionsHook {
        if (&m == &project.SurfaceWindow()) return surfacePlotHook(project);
        if (&m == &project.OverlayWindow()) return overlayPlotHook(project);
        return {};
    };
    host_.setWaitCursor(true);
    const bool ok = harlox::printDiagrams(printer, s.selected, s.perPage, header, hookOf);
    host_.setWaitCursor(false);
    if (!ok) host_.error("Print", "The printer could not be started.");
}

} // namespace harlox
