#pragma once

#include "gui/diagram_renderer.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

namespace harlox {

class DiagramModel;

// A diagram window's contents: paints its model with DiagramRenderer and sets the model's
// cursor from the mouse. The model belongs to the project and must outlive the view (or be
// replaced with setModel(nullptr) first).
class DiagramView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDefaultWidth = 560;
    static constexpr int kDefaultHeight = 380;

    explicit DiagramView(DiagramModel* model, QWidget* parent = nullptr);

    void setModel(DiagramModel* model);
    [[nodiscard]] DiagramModel* model() const { return model_; }

    // A window that draws more than its model holds (the snapshot: curves with their own x
    // values, fixed axes, a legend table) adds it to the options of every render.
    using OptionsHook = RenderOptionsHook;
    void setOptionsHook(OptionsHook hook);
    [[nodiscard]] const OptionsHook& optionsHook() const { return optionsHook_; }
    // The options of a render of this window at the given unit (0: the target decides), for
    // printing and exporting it as it is shown.
    [[nodiscard]] RenderOptions renderOptions(double unit = 0.0) const;

    // The client size that Default size restores (560 x 380 unless the window wants another).
    void setDefaultSize(QSize size) { defaultSize_ = size; }
    [[nodiscard]] QSize defaultSize() const { return defaultSize_; }

    QSize sizeHint() const override { return defaultSize_; }
    QSize minimumSizeHint() const override { return {200, 130}; }

    // The view as an image, for "Copy window"; device pixel ratio of the screen.
    [[nodiscard]] QImage grabDiagram() const;
    // Puts grabDiagram() on the clipboard; false when the image could not be made.
    [[nodiscard]] bool copyToClipboard() const;
    [[nodiscard]] QString userNote() const;
    // The unit used on screen: grows slowly with the window so text stays a screen size.
    [[nodiscard]] double screenUnit() const;

public slots:
    // Back to the default client size, resizing the MDI frame around the view when there is
    // one; a minimised or maximised window is left alone.
    void restoreDefaultSize();
    void setUserNote(const QString& note);
    void clearCursor();

signals:
    void noteChanged();
    void cursorMoved(double x);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void setCursorFromPosition(const QPointF& pos);
    [[nodiscard]] RenderOptions options() const;

    DiagramModel* model_;
    OptionsHook optionsHook_;
    QSize defaultSize_{kDefaultWidth, kDefaultHeight};
};

} // namespace harlox
