#pragma once

#include "gui/base_dialog.h"

#include <QPointer>
#include <QString>

#include <functional>
#include <string>

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace harlox {

class TBranchA;
class TCompA;
class TDblEdit;
class TNetA;
class UiHost;

// The network window of an advanced (passive or active) net: the branch list, the selected
// branch's cut-off and Q, the selected component's value, "Modify branch", "Disconnect"
// and, for an active net, the amplifier gain. Modeless; it deletes itself when closed.
// Every edit goes into the net at once and asks the project to recalculate.
class TNetADialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kHelpFile = "neta.txt";
    static constexpr const char* kCaptionFormat = "Net %1";
    enum Control { ValueControl = 101, GainControl = 102 };
    static constexpr double kMinGainDb = -100.0;
    static constexpr double kMaxGainDb = 100.0;
    // Visible rows and characters of the branch list.
    static constexpr int kListRows = 24;
    static constexpr int kListColumns = 28;

    // exec shows a branch type dialog modally and returns its result.
    TNetADialog(QWidget* parent, TNetA& net, UiHost& ui, std::function<int(QDialog&)> exec);

    // Shows the net as it is now (after a change made elsewhere), keeping the selected row.
    void refresh();
    // The branch type dialog for the branch of the selected line; true when the type changed.
    bool modifySelectedBranch();
    // The arrow keys on the selected line: steps its component, if it names one.
    void stepSelected(bool up);

    [[nodiscard]] TNetA& net() const { return net_; }
    [[nodiscard]] QListWidget* branchList() const { return list_; }
    [[nodiscard]] QLabel* infoField() const { return info_; }
    [[nodiscard]] TDblEdit* valueField() const { return value_; }
    [[nodiscard]] QLabel* valueName() const { return valueName_; }
    [[nodiscard]] QLabel* valueUnit() const { return valueUnit_; }
    [[nodiscard]] QPushButton* modifyButton() const { return modify_; }
    [[nodiscard]] QCheckBox* disconnectBox() const { return disconnect_; }
    [[nodiscard]] QListWidget* optimisationList() const { return optList_; }
    [[nodiscard]] QPushButton* optimisationAddButton() const { return optAdd_; }
    [[nodiscard]] QPushButton* optimisationRemoveButton() const { return optRemove_; }
    [[nodiscard]] QPushButton* wizardButton() const { return wizard_; }
    [[nodiscard]] QPushButton* optimizeButton() const { return optimize_; }
    // The "Advanced network wizard" or the "Active crossover wizard" (through exec), then the
    // list shows what it wrote.
    void runWizard();
    // The optimiser of the net, modeless; raised when it is open already.
    void openOptimiser();
    // Null for a passive net.
    [[nodiscard]] TDblEdit* gainField() const { return gain_; }

    // The list line of a row as the net wrote it (component lines with tabs).
    [[nodiscard]] std::string lineAt(int row) const;
    // The branch whose block holds the row, found from the header line above it.
    [[nodiscard]] TBranchA* branchAt(int row) const;
    // The component a row names, or null.
    [[nodiscard]] TCompA* componentAt(int row) const;

    // A component line with its columns padded for the fixed-pitch list; other lines as
    // they are.
    [[nodiscard]] static QString displayLine(const std::string& line);

protected:
    // The schematic, the wizards and the optimiser change the net too: coming back to the
    // window shows their changes.
    void changeEvent(QEvent* event) override;

private:
    void fillList();
    void fillOptimisationList();
    void setLine(int row, const std::string& line);
    void showSelection();
    void applyValue();
    void fieldChanged(int id);
    void itemDoubleClicked(QListWidgetItem* item);
    void edited();

    TNetA& net_;
    UiHost& ui_;
    std::function<int(QDialog&)> exec_;

    QListWidget* list_ = nullptr;
    QLabel* info_ = nullptr;
    QLabel* valueName_ = nullptr;
    TDblEdit* value_ = nullptr;
    QLabel* valueUnit_ = nullptr;
    QPushButton* modify_ = nullptr;
    QCheckBox* disconnect_ = nullptr;
    TDblEdit* gain_ = nullptr;
    QListWidget* optList_ = nullptr;
    QPushButton* optAdd_ = nullptr;
    QPushButton* optRemove_ = nullptr;
    QPushButton* wizard_ = nullptr;
    QPushButton* optimize_ = nullptr;
    QPointer<QWidget> optimiser_;

    // The component the value field shows, in the units it showed: an edit that is
    // committed while the selection moves on still reaches it.
    TCompA* editComp_ = nullptr;
    double editScale_ = 1.0;
    double shownValue_ = 0.0;
};

} // namespace harlox
