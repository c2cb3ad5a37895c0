#pragma once

#include "gui/base_dialog.h"

#include <QDialog>

#include <functional>

class QButtonGroup;
class QRadioButton;
class QShowEvent;
class QWidget;

namespace harlox {

class TBranchA;
class UiHost;

// The "Passive branch type" and "Active branch type" dialogs: one radio button per branch
// type, the branch's present type selected.
class TBranchTypeDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kPassiveCaption = "Passive branch type";
    static constexpr const char* kActiveCaption = "Active branch type";
    static constexpr const char* kHelpFile = "net_n.txt";

    // branchNumber is the shown number (1 .. 8, 11 .. 14); it titles the group.
    TBranchTypeDialog(QWidget* parent, bool active, int type, int branchNumber);
    TBranchTypeDialog(QWidget* parent, const TBranchA& branch);

    [[nodiscard]] bool isActive() const { return active_; }
    [[nodiscard]] int typeCount() const;
    [[nodiscard]] int selectedType() const;
    // Checks the button of the type; a type outside the table changes nothing.
    void selectType(int type);
    [[nodiscard]] QRadioButton* typeButton(int type) const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool active_;
    QButtonGroup* group_ = nullptr;
};

// Shows the branch type dialog of the branch through exec (returns the TBaseDialog result)
// and applies the choice as "Modify branch" does; true when the type changed.
bool modifyBranch(QWidget* parent, TBranchA& branch, UiHost& ui, const std::function<int(QDialog&)>& exec);

} // namespace harlox
