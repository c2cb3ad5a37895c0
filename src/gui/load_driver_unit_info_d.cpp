#include "gui/load_driver_unit_info_d.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace harlox {

TLoadDriverUnitInfoD::TLoadDriverUnitInfoD(QWidget* parent)
    : TBaseDialog(parent, QString(), Buttons(OkButton | HelpButton)) {
    setWindowTitle(QStringLiteral("Load a driver unit"));
    auto* layout = new QVBoxLayout(content());
    auto* text = new QLabel(content());
    text->setTextFormat(Qt::PlainText);
    text->setText(QStringLiteral("A new box project needs a driver unit before it can calculate.\n\n"
                                 "The Driver Unit | Load dialog opens automatically\n"
                                 "after this message is closed."));
    layout->addWidget(text);
    dontShow_ = new QCheckBox(QStringLiteral("Don't show this message later"), content());
    dontShow_->setObjectName(QString::number(kDontShowId));
    layout->addWidget(dontShow_);
}

bool TLoadDriverUnitInfoD::showNextTime() const {
    return !dontShow_->isChecked();
}

} // namespace harlox
