#include "gui/arrow_keys.h"

#include <QEvent>
#include <QKeyEvent>
#include <QObject>
#include <QWidget>

#include <utility>

namespace harlox {

namespace {

class ArrowStepper : public QObject {
public:
    ArrowStepper(QWidget* list, std::function<void(bool)> step) : QObject(list), step_(std::move(step)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Left || key == Qt::Key_Right) {
                step_(key == Qt::Key_Right);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(bool)> step_;
};

} // namespace

void stepWithArrowKeys(QWidget* list, std::function<void(bool up)> step) {
    list->installEventFilter(new ArrowStepper(list, std::move(step)));
}

} // namespace harlox
