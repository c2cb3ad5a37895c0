#pragma once

#include "driver/unit_completion.h"
#include "gui/base_dialog.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QRadioButton;

namespace harlox {

class TDblEdit;
class TSpkData;
class UiHost;
struct FileSelector;

// The speaker unit editor: a modeless tool window with its own File menu and the command
// "Calc. missing fields", the unit's texts, type and options, one entry field per parameter
// and the efficiency figures. All decisions are the editor model's (TSpeakerUnitEditor);
// this window forwards the user's actions and shows the record again afterwards.
class TSpeakerUnitDialog : public TBaseDialog {
    Q_OBJECT

public:
    // The field ids of the parameters are kFirstFieldId + the UnitField's number.
    static constexpr int kFirstFieldId = 101;

    enum class Command { New, Open, Save, SaveAs, PrintData, CopyData, UserNote, CalcMissingFields };

    // The record and the selector outlive the window (its position is kept in the record).
    TSpeakerUnitDialog(QWidget* parent, UiHost& host, TSpkData& unit, FileSelector& selector);
    ~TSpeakerUnitDialog() override;

    [[nodiscard]] TSpeakerUnitEditor& editor() { return *editor_; }
    [[nodiscard]] TDblEdit* field(UnitField f) const { return fields_[static_cast<std::size_t>(f)]; }
    [[nodiscard]] QLineEdit* manufacturerEdit() const { return manufacturer_; }
    [[nodiscard]] QLineEdit* modelEdit() const { return model_; }
    [[nodiscard]] QLineEdit* fileNameEdit() const { return fileName_; }
    [[nodiscard]] QCheckBox* crosscalcBox() const { return crosscalc_; }
    [[nodiscard]] QCheckBox* dualCoilBox() const { return dualCoil_; }
    [[nodiscard]] QRadioButton* typeButton(int type) const;
    [[nodiscard]] QLabel* efficiencyLabel() const { return efficiency_; }
    [[nodiscard]] QLabel* sensitivityLabel() const { return sensitivity_; }
    [[nodiscard]] QMenuBar* menuBar() const { return menuBar_; }
    [[nodiscard]] QAction* action(Command c) const { return actions_[static_cast<std::size_t>(c)]; }

    // Replace the printer and the note editor (tests; a platform without printing).
    void setPrinter(TSpeakerUnitEditor::Printer printer) { printer_ = std::move(printer); }
    using NoteEditor = std::function<std::optional<QString>(QWidget* parent, const QString& note)>;
    void setNoteEditor(NoteEditor editor) { noteEditor_ = std::move(editor); }

    // Shows the record in every field, label and menu command.
    void refresh();

    // Prints the data sheet on a printer chosen in the print dialog.
    static PrintOutcome printWithDialog(QWidget* parent, std::string_view document, std::string_view job,
                                        std::string_view text);
    // The default note editor: a small modal text window.
    static std::optional<QString> editNote(QWidget* parent, const QString& note);

    void done(int result) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenu();
    QWidget* buildFieldGroup(const QString& title, const std::vector<UnitField>& fields, int labelWidth);
    void fieldChanged(int id);
    void run(Command c);
    void userNote();

    std::unique_ptr<TSpeakerUnitEditor> editor_;
    std::array<TDblEdit*, kUnitFieldCount> fields_{};
    std::array<QAction*, 8> actions_{};
    QMenuBar* menuBar_ = nullptr;
    QLineEdit* manufacturer_ = nullptr;
    QLineEdit* model_ = nullptr;
    QLineEdit* fileName_ = nullptr;
    QCheckBox* crosscalc_ = nullptr;
    QCheckBox* dualCoil_ = nullptr;
    QButtonGroup* types_ = nullptr;
    QLabel* efficiency_ = nullptr;
    QLabel* sensitivity_ = nullptr;
    TSpeakerUnitEditor::Printer printer_;
    NoteEditor noteEditor_;
    bool sized_ = false;
    bool closeAsked_ = false;
};

} // namespace harlox
