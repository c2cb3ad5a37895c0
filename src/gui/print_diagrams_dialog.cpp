#include "gui/print_diagrams_dialog.h"

#include "core/diagram_model.h"
#include "core/ui_host.h"
#include "gui/model_text.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace harlox {

TPrintDiagramsDialog::TPrintDiagramsDialog(QWidget* parent, UiHost& ui,
                                           std::vector<const DiagramModel*> pickList,
                                           const PrintDiagramsSettings& settings)
    : TBaseDialog(parent, QStringLiteral("prndiag.txt"), Buttons(OkButton | CancelButton | HelpButton)),
      ui_(ui), candidates_(std::move(pickList)), maxSelected_(settings.maxSelected) {
    setWindowTitle(QStringLiteral("Print diagrams"));
    okButton()->setText(QStringLiteral("Print"));

    auto* grid = new QGridLayout(content());
    grid->addWidget(new QLabel(QStringLiteral("Diagrams"), content()), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Print list"), content()), 0, 2);
    pick_ = new QListWidget(content());
    for (const DiagramModel* m : candidates_)
        pick_->addItem(fromModelText(m->title()));
    if (pick_->count() > 0) pick_->setCurrentRow(0);
    print_ = new QListWidget(content());
    for (QListWidget* l : {pick_, print_}) {
        l->setMinimumWidth(l->fontMetrics().averageCharWidth() * 30);
        l->setMinimumHeight(l->fontMetrics().lineSpacing() * 9);
    }
    grid->addWidget(pick_, 1, 0);
    grid->addWidget(print_, 1, 2);

    auto* buttons = new QVBoxLayout;
    auto* add = new QPushButton(QStringLiteral("Add -->"), content());
    auto* remove = new QPushButton(QStringLiteral("Remove"), content());
    add->setAutoDefault(false);
    remove->setAutoDefault(false);
    buttons->addStretch(1);
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    grid->addLayout(buttons, 1, 1);
    connect(add, &QPushButton::clicked, this, &TPrintDiagramsDialog::addPicked);
    connect(remove, &QPushButton::clicked, this, &TPrintDiagramsDialog::removeSelected);
    connect(pick_, &QListWidget::itemDoubleClicked, this, &TPrintDiagramsDialog::addPicked);

    auto* perPage = new QGroupBox(QStringLiteral("Diagrams per page"), content());
    auto* perPageRow = new QHBoxLayout(perPage);
    three_ = new QRadioButton(QStringLiteral("3"), perPage);
    four_ = new QRadioButton(QStringLiteral("4"), perPage);
    eight_ = new QRadioButton(QStringLiteral("8"), perPage);
    for (QRadioButton* b : {three_, four_, eight_})
        perPageRow->addWidget(b);
    (settings.perPage == 3 ? three_ : settings.perPage == 4 ? four_ : eight_)->setChecked(true);
    grid->addWidget(perPage, 2, 0);

    auto* options = new QVBoxLayout;
    date_ = new QCheckBox(QStringLiteral("Print date"), content());
    name_ = new QCheckBox(QStringLiteral("Print projekt name"), content());
    date_->setChecked(settings.printDate);
    name_->setChecked(settings.printProjectName);
    options->addWidget(date_);
    options->addWidget(name_);
    grid->addLayout(options, 2, 2);

    // Only windows that can still be offered stay in the print list.
    for (const DiagramModel* m : settings.selected) {
        if (selected_.size() >= maxSelected_) break;
        if (std::find(candidates_.begin(), candidates_.end(), m) == candidates_.end()) continue;
        if (std::find(selected_.begin(), selected_.end(), m) != selected_.end()) continue;
        selected_.push_back(m);
        print_->addItem(fromModelText(m->title()));
    }
}

void TPrintDiagramsDialog::addPicked() {
    const int row = pick_->currentRow();
    if (row < 0 || row >= static_cast<int>(candidates_.size())) return;
    const DiagramModel* m = candidates_[static_cast<std::size_t>(row)];
    if (std::find(selected_.begin(), selected_.end(), m) != selected_.end()) {
        ui_.error("", "Item already selected");
        return;
    }
    if (selected_.size() >= maxSelected_) return;
    selected_.push_back(m);
    print_->addItem(fromModelText(m->title()));
    print_->setCurrentRow(print_->count() - 1);
}

void TPrintDiagramsDialog::removeSelected() {
    if (selected_.empty()) {
        ui_.error("", "No items left");
        return;
    }
    int row = print_->currentRow();
    if (row < 0 || row >= static_cast<int>(selected_.size())) row = static_cast<int>(selected_.size()) - 1;
    selected_.erase(selected_.begin() + row);
    delete print_->takeItem(row);
}

PrintDiagramsSettings TPrintDiagramsDialog::settings() const {
    PrintDiagramsSettings s;
    s.selected = selected_;
    s.maxSelected = maxSelected_;
    s.perPage = three_->isChecked() ? 3 : four_->isChecked() ? 4 : 8;
    s.printDate = date_->isChecked();
    s.printProjectName = name_->isChecked();
    return s;
}

QRadioButton* TPrintDiagramsDialog::perPageButton(int perPage) const {
    return perPage == 3 ? three_ : perPage == 4 ? four_ : perPage == 8 ? eight_ : nullptr;
}

} // namespace harlox
