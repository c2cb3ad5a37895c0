#pragma once

#include "gui/base_dialog.h"

class QButtonGroup;
class QCloseEvent;
class QComboBox;
class QKeyEvent;
class QShowEvent;
class QLabel;
class QRadioButton;
class QVBoxLayout;
class QWidget;

namespace harlox {

class TBassReflexBox;
class TBoxEmbryo;
class TBP5Box;
class TClosedBox;
class UiHost;

// Runs the table lookup of the project's box type (its window, or the direct command of the
// passive radiator box). True when the project was changed.
bool runTableLookup(QWidget* parent, TBoxEmbryo& project, UiHost& ui);

// The common frame of the lookup windows: the driver's effective parameters on top, the
// choices, and a line that tells what the current choice gives. OK applies the choice; when
// the table refuses the driver the message shows and the window stays open for another
// choice. Cancel, Esc and the close button leave the project as it was. There is no field to
// commit here, so Enter is OK.
class TTableLookupDialog : public TBaseDialog {
    Q_OBJECT

public:
    // True once OK applied a choice (exec() then returns ResultOk).
    [[nodiscard]] bool applied() const { return applied_; }
    [[nodiscard]] QLabel* driverLabel() const { return driver_; }
    [[nodiscard]] QLabel* resultLabel() const { return result_; }

protected:
    TTableLookupDialog(QWidget* parent, const char* caption, const char* helpFile, TBoxEmbryo& project,
                       UiHost& ui);

    // Adds the result line below the choices; call at the end of the constructor. The line is
    // made as wide as widestResult, so that no later result is clipped.
    void finishLayout(const QString& widestResult);
    [[nodiscard]] QVBoxLayout* column() const { return column_; }
    [[nodiscard]] UiHost& ui() const { return ui_; }
    // Shows what the current choice gives.
    void updateResult();

    // Applies the current choice; false when the table refused it (the message was shown).
    virtual bool apply() = 0;
    // What the current choice gives, or why it is refused.
    [[nodiscard]] virtual QString resultText() const = 0;

    void done(int result) override;
    void reject() override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The keyboard goes to the current choice (on opening and after a refusal).
    void focusChoice();

    UiHost& ui_;
    QVBoxLayout* column_ = nullptr;
    QLabel* driver_ = nullptr;
    QLabel* result_ = nullptr;
    bool okPressed_ = false;
    bool applied_ = false;
};

// "Table optimize closed box": the box for one of nine total Q values.
class TOptClosedTableDialog : public TTableLookupDialog {
    Q_OBJECT

public:
    static constexpr const char* kHelpFile = "closedtb.txt";
    static constexpr int kDefaultRow = 2; // Butterworth

    TOptClosedTableDialog(QWidget* parent, TClosedBox& project, UiHost& ui);

    [[nodiscard]] QRadioButton* rowButton(int row) const;
    [[nodiscard]] int selectedRow() const;

protected:
    bool apply() override;
    [[nodiscard]] QString resultText() const override;

private:
    TClosedBox& project_;
    QButtonGroup* rows_ = nullptr;
};

// "Table opt. bassreflex box": an alignment family and the box losses it is sized for.
class TOptBreflTableDialog : public TTableLookupDialog {
    Q_OBJECT

public:
    static constexpr const char* kHelpFile = "brefltab.txt";

    TOptBreflTableDialog(QWidget* parent, TBassReflexBox& project, UiHost& ui);

    [[nodiscard]] QRadioButton* familyButton(int family) const;
    [[nodiscard]] QRadioButton* boxQButton(int choice) const;
    // -1 when no family serves the driver.
    [[nodiscard]] int selectedFamily() const;
    [[nodiscard]] int selectedBoxQ() const;

protected:
    bool apply() override;
    [[nodiscard]] QString resultText() const override;

private:
    TBassReflexBox& project_;
    QButtonGroup* families_ = nullptr;
    QButtonGroup* boxQ_ = nullptr;
};

// "Table optimize BP type 1": the passband ripple and the sensitivity relative to the driver
// in a closed box.
class TOptBP5TableDialog : public TTableLookupDialog {
    Q_OBJECT

public:
    static constexpr const char* kHelpFile = "bp1tab.txt";
    static constexpr int kDefaultRipple = 0;

    TOptBP5TableDialog(QWidget* parent, TBP5Box& project, UiHost& ui);

    [[nodiscard]] QRadioButton* rippleButton(int ripple) const;
    [[nodiscard]] QComboBox* sensitivityBox() const { return sensitivity_; }
    [[nodiscard]] int selectedRipple() const;
    [[nodiscard]] int selectedSensitivity() const;

protected:
    bool apply() override;
    [[nodiscard]] QString resultText() const override;

private:
    TBP5Box& project_;
    QButtonGroup* ripples_ = nullptr;
    QComboBox* sensitivity_ = nullptr;
};

} // namespace harlox
