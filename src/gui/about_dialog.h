#pragma once

#include "gui/base_dialog.h"

#include <QPixmap>

namespace harlox {

// Program name, version and build.
class TAboutDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kProductName = "Harlox";
    static constexpr const char* kProductCaption = "Harlox 4.00";
    static constexpr const char* kVersionText = "Version 4.00";
    static constexpr const char* kBuildText = "Build 990921";

    explicit TAboutDialog(QWidget* parent);

    // The program's picture (a loudspeaker), also its window icon.
    static QPixmap productPixmap(int size);
};

} // namespace harlox
