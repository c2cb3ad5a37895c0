#include "gui/table_lookup_dialogs.h"

namespace harlox {

bool runTableLookup(QWidget*, TBoxEmbryo&, UiHost&) {
    return false;
}

} // namespace harlox
