#pragma once

#include "gui/base_dialog.h"
#include "gui/optimize_menu.h"

#include <functional>

namespace harlox {

class TBoxEmbryo;
class TBoxObject;
class TClosedBox;
class TDblEdit;
class TLongEdit;
class UiHost;

// The fields of one box volume element: volume, losses and filling. Shared by the input
// windows of the box types; the volume goes through the project so that ports and
// resonances follow it.
class BoxVolumeFields : public QObject {
    Q_OBJECT

public:
    enum Field { VolumeField = 101, QlField = 102, QbField = 103, FillField = 104 };

    // Which Q fields the group shows: "QL" and "QB", or one "Box Q-value" that sets Qb and
    // leaves Ql as it is (the two-chamber types).
    enum class Variant { LossesAndQ, BoxQ };
    // Field ids; ql is unused in the BoxQ variant.
    struct Ids {
        int volume, ql, qb, fill;
    };
    static constexpr Ids kClosedIds{VolumeField, QlField, QbField, FillField};

    static constexpr double kMinVolume = 0.1;     // l
    static constexpr double kMaxVolume = 10000.0; // l
    static constexpr double kMinQ = 3.0;
    static constexpr double kMaxQ = 15.0;

    // Builds the fields into a group box titled `title`, placed in `parent`.
    BoxVolumeFields(QWidget* parent, const QString& title, TBoxEmbryo& project, TBoxObject& box,
                    Variant variant = Variant::LossesAndQ, Ids ids = kClosedIds);

    [[nodiscard]] QWidget* group() const { return group_; }
    [[nodiscard]] TBoxObject& box() const { return box_; }
    [[nodiscard]] TDblEdit* volumeField() const { return volume_; }
    // Null in the BoxQ variant.
    [[nodiscard]] TDblEdit* qlField() const { return ql_; }
    // "QB", or "Box Q-value" in the BoxQ variant.
    [[nodiscard]] TDblEdit* qbField() const { return qb_; }
    [[nodiscard]] TLongEdit* fillField() const { return fill_; }

    void refresh();

signals:
    // An accepted edit changed the box.
    void boxChanged();

private:
    void fieldChanged(int fieldId);

    TBoxEmbryo& project_;
    TBoxObject& box_;
    Ids ids_;
    QWidget* group_ = nullptr;
    TDblEdit* volume_ = nullptr;
    TDblEdit* ql_ = nullptr;
    TDblEdit* qb_ = nullptr;
    TLongEdit* fill_ = nullptr;
};

// "Closed box": the input window of the closed-box project.
class TClosedDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Closed box";
    static constexpr const char* kHelpFile = "closed.txt";

    // notifyChanged queues the project-changed notification (the main window's does);
    // without one the dialog posts the project's ChangeNotification itself.
    TClosedDialog(QWidget* parent, TClosedBox& project, UiHost& ui,
                  std::function<void(int code)> notifyChanged = {});

    [[nodiscard]] BoxVolumeFields& boxFields() const { return *box_; }
    [[nodiscard]] const OptimizeMenu& optimizeMenu() const { return menu_; }
    void refresh();

private:
    void changed();
    void quickBox();

    TClosedBox& project_;
    UiHost& ui_;
    OptimizeMenu menu_;
    std::function<void(int code)> notify_;
    BoxVolumeFields* box_ = nullptr;
};

} // namespace harlox
