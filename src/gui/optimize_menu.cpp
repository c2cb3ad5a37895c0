#include "gui/optimize_menu.h"

#include "gui/base_dialog.h"

#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>

#include <utility>

namespace harlox {

OptimizeMenu OptimizeMenu::add(TBaseDialog& dialog, const char* tableText, const char* fitText,
                               std::function<void()> quickBox) {
    OptimizeMenu m;
    m.bar = new QMenuBar(&dialog);
    QMenu* menu = m.bar->addMenu(QString::fromUtf8(kMenuText));
    if (tableText) {
        m.table = menu->addAction(QString::fromUtf8(tableText));
        m.table->setEnabled(false);
    }
    m.fit = menu->addAction(QString::fromUtf8(fitText));
    m.fit->setEnabled(false);
    m.quickBox = menu->addAction(QString::fromUtf8(kQuickBoxText));
    QObject::connect(m.quickBox, &QAction::triggered, &dialog, [run = std::move(quickBox)] {
        if (run) run();
    });
    dialog.layout()->setMenuBar(m.bar);
    return m;
}

} // namespace harlox
