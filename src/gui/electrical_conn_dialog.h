#pragma once

#include "gui/base_dialog.h"

#include <vector>

class QListWidget;

namespace harlox {

class TSpeakerObject;

// "Electrical connection": how the drivers of a configuration are wired. Lists the
// connections offered for the configuration's number of drivers with the present one
// selected; OK stores the chosen one.
class TElectricalConnDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Electrical connection";
    static constexpr const char* kHelpFile = "elconn.txt";

    TElectricalConnDialog(QWidget* parent, TSpeakerObject& unit);

    [[nodiscard]] QListWidget* list() const { return list_; }
    // The connection index of the selected name, -1 when none is selected.
    [[nodiscard]] int selectedConnection() const;
    // Stores the selected connection; false when there is none or it is already in use.
    bool apply();

private:
    TSpeakerObject& unit_;
    QListWidget* list_ = nullptr;
    std::vector<int> offered_;
};

} // namespace harlox
