#include "gui/dbl_edit.h"

namespace harlox {

TDblEdit::TDblEdit(QWidget* parent, int fieldId, std::string_view format, double minimum, double maximum,
                   double undefinedValue, double initial, bool paired)
    : TEntryEdit(parent, fieldId), entry_(format, minimum, maximum, undefinedValue, initial, paired) {
    showValue();
    updateToolTip();
}

void TDblEdit::setValue(double v) {
    entry_.setValue(v);
    showValue();
}

void TDblEdit::setSecondValue(double q) {
    entry_.setSecondValue(q);
    showValue();
}

void TDblEdit::setFormat(std::string_view format) {
    entry_.setFormat(format);
    showValue();
    updateToolTip();
}

void TDblEdit::setReadOnly(bool on) {
    entry_.setReadOnly(on);
    QLineEdit::setReadOnly(on);
}

} // namespace harlox
