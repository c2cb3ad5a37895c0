#include "gui/optimize_menu.h"

#include "gui/base_dialog.h"
#include "gui/opt_fit_dialog.h"
#include "gui/table_lookup_dialogs.h"

#include <QAction>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>

#include <memory>
#include <utility>

namespace harlox {

OptimizeMenu OptimizeMenu::add(TBaseDialog& dialog, Target target, const char* tableText, const char* fitText,
                               std::function<void()> quickBox) {
    OptimizeMenu m;
    m.bar = new QMenuBar(&dialog);
    QMenu* menu = m.bar->addMenu(QString::fromUtf8(kMenuText));
    if (tableText) m.table = menu->addAction(QString::fromUtf8(tableText));
    m.fit = menu->addAction(QString::fromUtf8(fitText));
    m.quickBox = menu->addAction(QString::fromUtf8(kQuickBoxText));

    auto shared = std::make_shared<Target>(std::move(target));
    if (m.table)
        QObject::connect(m.table, &QAction::triggered, &dialog, [&dialog, shared] {
            if (runTableLookup(&dialog, shared->project, shared->ui) && shared->changed) shared->changed();
        });
    QObject::connect(m.fit, &QAction::triggered, &dialog, [&dialog, shared, m] {
        openFrequencyFit(dialog, shared->project, shared->ui, m, shared->refresh, shared->changed);
    });
    QObject::connect(m.quickBox, &QAction::triggered, &dialog, [run = std::move(quickBox)] {
        if (run) run();
    });
    dialog.layout()->setMenuBar(m.bar);
    return m;
}

void OptimizeMenu::setEnabled(bool on) const {
    for (QAction* a : {table, fit, quickBox})
        if (a) a->setEnabled(on);
}

} // namespace harlox
