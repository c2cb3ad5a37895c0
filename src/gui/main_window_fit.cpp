#include "gui/main_window.h"

#include "gui/ts_fit_dialog.h"

namespace harlox {

void TMainWindow::openDriverFit() {
    TTsFitDialog dialog(this, host_, box_.get());
    execDialog(dialog);
}

} // namespace harlox
