#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QDialog;
class QMdiArea;
class QMdiSubWindow;
class QPrinter;
class QWidget;

namespace harlox {

class DiagramModel;
class DiagramView;
class TSchematicWindow;
class TXover;
class UiHost;
struct WindowPlacement;

// Print > Window of a schematic: the circuit across the top of a page.
[[nodiscard]] bool printSchematicWindow(QPrinter& printer, TSchematicWindow& window);

// The windows of the open filter project inside the main window's client area: one diagram
// window per diagram model of the project (the off-axis ones drawn as a colour map and as
// labelled curves), and the schematic window(s): one for a simple project, one per net for
// the advanced and active ones. They belong to the project; closing one only minimises it.
class FilterProjectWindows : public QObject {
    Q_OBJECT

public:
    using ExecDialog = std::function<int(QDialog&)>;

    FilterProjectWindows(TXover& project, QMdiArea& area, UiHost& ui, ExecDialog exec);
    ~FilterProjectWindows() override;
    FilterProjectWindows(const FilterProjectWindows&) = delete;
    FilterProjectWindows& operator=(const FilterProjectWindows&) = delete;

    [[nodiscard]] TXover& project() const { return project_; }
    [[nodiscard]] const std::vector<DiagramView*>& views() const { return views_; }
    [[nodiscard]] DiagramView* view(const DiagramModel& model) const;
    [[nodiscard]] const std::vector<TSchematicWindow*>& schematics() const { return schematics_; }
    [[nodiscard]] QMdiSubWindow* subWindowOf(const QWidget* content) const;

    // The window that has the focus, null when it is of the other kind (or none is).
    [[nodiscard]] DiagramView* activeDiagram() const;
    [[nodiscard]] TSchematicWindow* activeSchematic() const;

    // Repaints every window and lets the open dialogs show what the calculation changed.
    void refresh();
    // The windows in a grid filling the client area, the most used first; the rest minimised.
    void defaultLayout();
    // The placements a project file brought; windows without one keep theirs.
    void applyStoredPlacements();

    // Dialogs of the project: destroyed with the windows.
    void adopt(QWidget* dialog);

    // What the network dialogs and the schematic menus call to change a branch's type.
    bool modifyBranch(class TBranchA& branch);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMdiSubWindow* addWindow(QWidget* content, const QString& title);
    [[nodiscard]] WindowPlacement* placementOf(const QMdiSubWindow* sub) const;

    TXover& project_;
    QMdiArea& area_;
    UiHost& ui_;
    ExecDialog exec_;
    std::vector<DiagramModel*> models_;
    std::vector<DiagramView*> views_;
    std::vector<TSchematicWindow*> schematics_;
    std::vector<QMdiSubWindow*> subs_; // views_ first, then the schematics
    std::vector<QPointer<QWidget>> dialogs_;
    bool closing_ = false;
};

} // namespace harlox
