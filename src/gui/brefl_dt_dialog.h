#pragma once

#include "gui/base_dialog.h"
#include "gui/optimize_menu.h"

#include <functional>

class QCheckBox;

namespace harlox {

class BoxVolumeFields;
class TBassReflexDT2Box;
class TBassReflexDTBox;
class TDblEdit;
class TDoubleTunedBox;
class TLongEdit;
class TPortObject;
class UiHost;

// One port column of the double tuned window: its dimensions and the resonance the whole
// system gives it (display only).
class DtPortFields : public QObject {
    Q_OBJECT

public:
    struct Ids {
        int area, diameter, resonance, length, vents;
    };

    DtPortFields(QWidget* parent, const QString& title, TPortObject& port, Ids ids);

    [[nodiscard]] QWidget* group() const { return group_; }
    [[nodiscard]] TDblEdit* lengthField() const { return length_; }
    [[nodiscard]] TDblEdit* diameterField() const { return diameter_; }
    [[nodiscard]] TDblEdit* areaField() const { return area_; }
    [[nodiscard]] TDblEdit* resonanceField() const { return resonance_; }
    [[nodiscard]] TLongEdit* ventsField() const { return vents_; }

    void refresh();

signals:
    void portChanged();

private:
    void fieldChanged(int fieldId);

    TPortObject& port_;
    Ids ids_;
    QWidget* group_ = nullptr;
    TDblEdit* length_ = nullptr;
    TDblEdit* diameter_ = nullptr;
    TDblEdit* area_ = nullptr;
    TDblEdit* resonance_ = nullptr;
    TLongEdit* vents_ = nullptr;
};

// "Double tuned bassreflex box": two columns, "Rear box"/"Rear port" and "Front box"/"Front
// port". The ports' "Res. freq." are the system's two resonances, refreshed after every edit.
class TBreflDTDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Double tuned bassreflex box";
    static constexpr const char* kHelpFile = "brefldt1.txt";

    enum Field {
        RearFillField = 101,
        RearQField = 102,
        RearVolumeField = 105,
        FrontFillField = 106,
        FrontQField = 107,
        FrontVolumeField = 108,
        RearAreaField = 109,
        RearDiameterField = 110,
        RearResonanceField = 111,
        RearLengthField = 112,
        RearVentsField = 113,
        FrontAreaField = 114,
        FrontDiameterField = 115,
        FrontResonanceField = 116,
        FrontLengthField = 117,
        FrontVentsField = 118,
        NonLinearField = 119,
    };

    // notifyChanged as for TClosedDialog.
    TBreflDTDialog(QWidget* parent, TBassReflexDTBox& project, UiHost& ui,
                   std::function<void(int code)> notifyChanged = {});

    [[nodiscard]] BoxVolumeFields& rearBoxFields() const { return *rearBox_; }
    [[nodiscard]] BoxVolumeFields& frontBoxFields() const { return *frontBox_; }
    [[nodiscard]] DtPortFields& rearPortFields() const { return *rearPort_; }
    [[nodiscard]] DtPortFields& frontPortFields() const { return *frontPort_; }
    [[nodiscard]] QCheckBox* nonLinearBox() const { return nonLinear_; }
    [[nodiscard]] const OptimizeMenu& optimizeMenu() const { return menu_; }

    void refresh();

protected:
    TBreflDTDialog(QWidget* parent, TDoubleTunedBox& project, UiHost& ui,
                   std::function<void(int code)> notifyChanged, const char* caption, const char* helpFile);

private:
    void changed();
    void quickBox();

    TDoubleTunedBox& project_;
    UiHost& ui_;
    std::function<void(int code)> notify_;
    BoxVolumeFields* rearBox_ = nullptr;
    BoxVolumeFields* frontBox_ = nullptr;
    DtPortFields* rearPort_ = nullptr;
    DtPortFields* frontPort_ = nullptr;
    QCheckBox* nonLinear_ = nullptr;
    OptimizeMenu menu_;
};

// The same window for the second double tuned type; its columns edit that type's rear and
// front elements.
class TBreflDT2Dialog : public TBreflDTDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Double tuned bassreflex box type 2";
    static constexpr const char* kHelpFile = "brefldt2.txt";

    TBreflDT2Dialog(QWidget* parent, TBassReflexDT2Box& project, UiHost& ui,
                    std::function<void(int code)> notifyChanged = {});
};

} // namespace harlox
