#include "gui/main_window.h"

#include "gui/driver_library_window.h"

namespace harlox {

void TMainWindow::openDriverLibrary() {
    if (!box_) return;
    TDriverLibraryWindow window(this, host_, box_.get());
    execDialog(window);
    refresh();
}

} // namespace harlox
