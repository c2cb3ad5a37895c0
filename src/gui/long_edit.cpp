#include "gui/long_edit.h"

namespace harlox {

TLongEdit::TLongEdit(QWidget* parent, int fieldId, std::string_view format, std::int32_t minimum,
                     std::int32_t maximum, std::int32_t undefinedValue, std::int32_t initial,
                     std::int32_t step)
    : TEntryEdit(parent, fieldId), entry_(format, minimum, maximum, undefinedValue, initial, step) {
    showValue();
    updateToolTip();
}

void TLongEdit::setValue(std::int32_t v) {
    entry_.setValue(v);
    showValue();
}

} // namespace harlox
