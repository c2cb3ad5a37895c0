#include "gui/yankee.h"

#include "gui/dbl_edit.h"

#include <QGridLayout>
#include <QLabel>

namespace harlox {

namespace {

// The fields never show "undef.": no value in their ranges is negative.
constexpr double kNoUndefinedValue = -1.0;

} // namespace

TYankee::TYankee(QWidget* parent) : TBaseDialog(parent, QStringLiteral("yankee.txt")) {
    setWindowTitle(QStringLiteral("Yankee tool !"));
    setWindowFlag(Qt::Tool);
    auto* grid = new QGridLayout(content());
    grid->addWidget(new QLabel(QStringLiteral("Metric"), content()), 0, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Imperial"), content()), 0, 3, 1, 2);
    int row = 1;
    std::size_t slot = 0;
    for (const Pair& p : kPairs) {
        int column = 0;
        for (const Field* f : {&p.metric, &p.imperial}) {
            auto* edit = new TDblEdit(content(), f->id, f->format, f->minimum, f->maximum, kNoUndefinedValue,
                                      f->initial);
            edit->setObjectName(QString::number(f->id));
            edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * 12);
            connect(edit, &TDblEdit::changed, this, &TYankee::fieldChanged);
            fields_[slot++] = edit;
            grid->addWidget(edit, row, column);
            grid->addWidget(new QLabel(QString::fromUtf8(f->unit), content()), row, column + 1);
            column = 3;
        }
        auto* arrow = new QLabel(QStringLiteral("\u21c4"), content());
        arrow->setAlignment(Qt::AlignCenter);
        grid->addWidget(arrow, row, 2);
        ++row;
    }
    grid->setColumnMinimumWidth(2, 30);
}

TDblEdit* TYankee::field(int id) const {
    for (TDblEdit* f : fields_) {
        if (f && f->fieldId() == id) return f;
    }
    return nullptr;
}

void TYankee::fieldChanged(int id) {
    for (const Pair& p : kPairs) {
        if (id == p.metric.id) {
            field(p.imperial.id)->setValue(field(id)->value() * p.toImperial);
            return;
        }
        if (id == p.imperial.id) {
            field(p.metric.id)->setValue(field(id)->value() * p.toMetric);
            return;
        }
    }
}

} // namespace harlox
