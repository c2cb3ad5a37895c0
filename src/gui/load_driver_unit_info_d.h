#pragma once

#include "gui/base_dialog.h"

class QCheckBox;

namespace harlox {

// Tells the user of a new box project that a driver unit comes next.
class TLoadDriverUnitInfoD : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr int kDontShowId = 101;

    explicit TLoadDriverUnitInfoD(QWidget* parent);

    [[nodiscard]] QCheckBox* dontShowBox() const { return dontShow_; }
    // The notice flag after OK: 1 unless "Don't show this message later" is checked.
    [[nodiscard]] bool showNextTime() const;

private:
    QCheckBox* dontShow_;
};

} // namespace harlox
