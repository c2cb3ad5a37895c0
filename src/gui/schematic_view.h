#pragma once

#include <QImage>
#include <QRectF>
#include <QSize>
#include <QWidget>

#include <functional>

class QAction;
class QMenuBar;
class QPainter;
class QScrollArea;

namespace harlox {

class TBranchA;
class TNetA;
class TXover;
class UiHost;

// One schematic window of a filter project: the simple project's sections, or one advanced
// net with its "&Modify branch" and "&Driver phase" menus. The drawing fits the window,
// keeping its aspect, down to a legible minimum scale; below that it scrolls. The project or
// net belongs to the caller and must outlive the window.
class TSchematicWindow : public QWidget {
    Q_OBJECT
public:
    // Screen pixels per logical unit below which the window scrolls instead of shrinking.
    static constexpr double kMinScale = 0.9;

    TSchematicWindow(TXover& simpleProject, UiHost& ui, QWidget* parent = nullptr);
    // modifyBranch opens the branch type dialog for the branch and answers whether the type
    // changed.
    TSchematicWindow(TNetA& net, UiHost& ui, std::function<bool(TBranchA&)> modifyBranch,
                     QWidget* parent = nullptr);

    // The drawing in logical units, and as it is drawn in the window now.
    [[nodiscard]] QSizeF naturalSize() const;
    [[nodiscard]] double displayScale() const { return scale_; }
    void render(QPainter& painter, const QRectF& target, bool printing) const;
    // The drawing at its displayed scale, on white; null when the image cannot be made.
    [[nodiscard]] QImage grabSchematic() const;
    // Puts grabSchematic() on the clipboard; "Out of memory" when there is no image.
    bool copyToClipboard();
    bool copyImageToClipboard(const QImage& image);

    [[nodiscard]] TNetA* net() const { return net_; }
    [[nodiscard]] QMenuBar* menuBar() const { return menuBar_; }
    // Re-reads the model (after an edit elsewhere): size, menu checks, repaint.
    void refresh();

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    class Canvas;
    void build();
    void buildMenus();
    void setPhase(bool inverted);
    void updateCanvas();

    TXover* project_ = nullptr;
    TNetA* net_ = nullptr;
    UiHost& ui_;
    std::function<bool(TBranchA&)> modifyBranch_;
    QMenuBar* menuBar_ = nullptr;
    QAction* normal_ = nullptr;
    QAction* inverted_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    Canvas* canvas_ = nullptr;
    double scale_ = 1.0;
};

} // namespace harlox
