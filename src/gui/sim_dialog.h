#pragma once

#include "gui/base_dialog.h"

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace harlox {

class TDblEdit;
class TImpResponse;
class TMusicFilter;
class TXover;
class UiHost;

// "Filter music": streams a music file through the filter project's response. Modeless; the
// blocks run from a zero-time timer, one per pass of the event loop, so the window stays
// responsive and "Stop" takes effect between blocks. The file choices, the scale and the
// crossfeed flag live in the project's impulse response and outlast the dialog.
class TSimDialog : public TBaseDialog {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Filter music";
    static constexpr const char* kNoFile = "N.A";
    static constexpr const char* kChooseFiles = "Choose the input and the output file first";
    enum Control { ScaleControl = 101, TimeControl = 102 };

    // The project outlives the dialog. With the impulse response disabled the dialog says
    // so and closes itself.
    TSimDialog(QWidget* parent, TXover& project, UiHost& ui);
    ~TSimDialog() override;

    // "Start" / "Stop".
    void startStop();
    // One block (what the timer runs).
    void runBlock();

    [[nodiscard]] TMusicFilter& filter() const { return *filter_; }
    [[nodiscard]] QLineEdit* inputField() const { return inFile_; }
    [[nodiscard]] QLineEdit* outputField() const { return outFile_; }
    [[nodiscard]] QPushButton* inputBrowse() const { return inBrowse_; }
    [[nodiscard]] QPushButton* outputBrowse() const { return outBrowse_; }
    [[nodiscard]] TDblEdit* scaleField() const { return scale_; }
    [[nodiscard]] TDblEdit* timeField() const { return time_; }
    [[nodiscard]] QPushButton* startButton() const { return start_; }
    [[nodiscard]] QLabel* statusLine() const { return status_; }
    [[nodiscard]] QCheckBox* hrtfBox() const { return hrtf_; }
    [[nodiscard]] QTimer* blockTimer() const { return timer_; }

protected:
    void moveEvent(QMoveEvent* event) override;

private:
    void browse(bool input);
    void refreshFiles();
    void refreshProgress();
    void ended();
    void refuseWhenDisabled();

    TImpResponse& owner_;
    UiHost& ui_;
    std::unique_ptr<TMusicFilter> filter_;
    bool inBlock_ = false;

    QLineEdit* inFile_ = nullptr;
    QLineEdit* outFile_ = nullptr;
    QPushButton* inBrowse_ = nullptr;
    QPushButton* outBrowse_ = nullptr;
    TDblEdit* scale_ = nullptr;
    TDblEdit* time_ = nullptr;
    QPushButton* start_ = nullptr;
    QLabel* status_ = nullptr;
    QCheckBox* hrtf_ = nullptr;
    QTimer* timer_ = nullptr;
};

// Opens the dialog on the project: a child of parent that deletes itself when closed.
QWidget* openSimDialog(QWidget* parent, TXover& project, UiHost& ui);

} // namespace harlox
