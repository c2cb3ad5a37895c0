#pragma once

#include "gui/diagram_printing.h"

#include <QObject>
#include <QPointer>

#include <vector>

class QMdiArea;
class QMdiSubWindow;

namespace harlox {

class DiagramModel;
class DiagramView;
class TBoxEmbryo;
class TInfoWin;

// The diagram models of a box project in the order the print dialog offers them: SPL,
// impedance, excursion, group delay, then the type's own (air speed).
std::vector<DiagramModel*> projectDiagrams(TBoxEmbryo& project);

// The windows of the open box project inside the main window's client area: one diagram
// window per diagram model and the data sheet. They belong to the project: created with it,
// destroyed with it, and closing one only minimises it.
class BoxProjectWindows : public QObject {
    Q_OBJECT

public:
    BoxProjectWindows(TBoxEmbryo& project, QMdiArea& area);
    ~BoxProjectWindows() override;
    BoxProjectWindows(const BoxProjectWindows&) = delete;
    BoxProjectWindows& operator=(const BoxProjectWindows&) = delete;

    [[nodiscard]] TBoxEmbryo& project() const { return project_; }
    [[nodiscard]] const std::vector<DiagramView*>& views() const { return views_; }
    [[nodiscard]] DiagramView* view(const DiagramModel& model) const;
    [[nodiscard]] TInfoWin* dataSheet() const { return sheet_; }
    [[nodiscard]] QMdiSubWindow* subWindowOf(const QWidget* content) const;

    // The diagram or data sheet of the active window, null when another window (or none) is.
    [[nodiscard]] DiagramView* activeDiagram() const;
    [[nodiscard]] bool dataSheetActive() const;

    // Repaints the diagrams and rewrites the data sheet from the project.
    void refresh();
    // The four main diagrams in a grid, the further ones beside them, the data sheet on the right.
    void defaultLayout();
    // Puts each diagram window where its stored placement says (after a project was read);
    // windows without a placement keep theirs.
    void applyStoredPlacements();
    // Un-minimises a diagram window.
    void restore(const DiagramModel& model);

    // Dialogs of the project: destroyed with the windows.
    void adopt(QWidget* dialog);

    PrintDiagramsSettings printSettings;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMdiSubWindow* addWindow(QWidget* content, const QString& title);
    void storePlacement(QMdiSubWindow* sub);

    TBoxEmbryo& project_;
    QMdiArea& area_;
    std::vector<DiagramModel*> models_;
    std::vector<DiagramView*> views_;
    std::vector<QMdiSubWindow*> subs_; // views_ first, then the data sheet
    TInfoWin* sheet_ = nullptr;
    std::vector<QPointer<QWidget>> dialogs_;
    bool closing_ = false;
};

} // namespace harlox
