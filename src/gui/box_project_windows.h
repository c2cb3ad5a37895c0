#pragma once

#include "driver/spk_data.h"
#include "gui/diagram_printing.h"

#include <QObject>
#include <QPointer>
#include <QRect>

#include <array>
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
// window per diagram model, the data sheet and the snapshot window. They belong to the
// project: created with it, destroyed with it, and closing one only minimises it.
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
    // The snapshot window: the project's snapshot drawn with its own axes and legend. It
    // starts minimised, as it is empty until a curve is copied into it.
    [[nodiscard]] DiagramView* snapshotView() const { return snapshotView_; }
    [[nodiscard]] QMdiSubWindow* subWindowOf(const QWidget* content) const;
    // Un-minimises the snapshot window and brings it to the front.
    void showSnapshot();
    // The room and cabinet window: its caption follows the display mode. Minimised until
    // its dialog is first opened.
    [[nodiscard]] DiagramView* roomView() const { return roomView_; }
    void showRoomCabinet();
    // The transient response window: impulse, step or tone-burst response against time.
    [[nodiscard]] DiagramView* transientView() const { return transientView_; }
    // Un-minimises the transient response window and brings it to the front.
    void showTransientResponse();
    // The maximum SPL window and the window of the voltage that reaches it: minimised until
    // first shown, then over the SPL and group delay windows they are read against.
    [[nodiscard]] DiagramView* maxSplView() const { return maxSpl_[0].view; }
    [[nodiscard]] DiagramView* maxSplVoltageView() const { return maxSpl_[1].view; }
    void showMaxSpl();
    // Closes the "Transient resp." dialog, if open, saving its changed settings: the project
    // is about to close.
    void closeTransientResponseDialog();

    // The record the speaker unit editor works on. It outlives the editor, so the editor
    // opens where it was last closed.
    [[nodiscard]] TSpkData& unitEditorRecord() { return unitEditorRecord_; }

    // The diagram (snapshot included) of the active window, null when another window (or none) is.
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
    // Asks the open dialogs that hold unsaved work (the unit editor) whether they may go:
    // false when the user cancelled.
    [[nodiscard]] bool canCloseDialogs();

    PrintDiagramsSettings printSettings;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QMdiSubWindow* addWindow(QWidget* content, const QString& title);
    [[nodiscard]] DiagramModel* modelOf(const QMdiSubWindow* sub) const;

    TBoxEmbryo& project_;
    QMdiArea& area_;
    std::vector<DiagramModel*> models_;
    std::vector<DiagramView*> views_;
    std::vector<QMdiSubWindow*> subs_; // views_ first, then the data sheet
    TInfoWin* sheet_ = nullptr;
    DiagramView* snapshotView_ = nullptr;
    QMdiSubWindow* snapshotSub_ = nullptr;
    QRect snapshotCell_;          // where the snapshot window first opens
    bool snapshotPlaced_ = false; // it has been put there, or where a project file said
    DiagramView* transientView_ = nullptr;
    QMdiSubWindow* transientSub_ = nullptr;
    DiagramView* roomView_ = nullptr;
    QMdiSubWindow* roomSub_ = nullptr;
    QRect roomCell_;
    bool roomPlaced_ = false;
    struct SideWindow {
        DiagramView* view = nullptr;
        QMdiSubWindow* sub = nullptr;
        QRect cell;
    };
    std::array<SideWindow, 2> maxSpl_{};
    bool maxSplPlaced_ = false;
    TSpkData unitEditorRecord_;
    std::vector<QPointer<QWidget>> dialogs_;
    bool closing_ = false;
};

} // namespace harlox
