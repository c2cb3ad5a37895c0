#pragma once

#include <QDialog>
#include <QFlags>
#include <QSize>
#include <QString>

#include <functional>

class QPushButton;
class QScrollArea;

namespace harlox {

// The base of the program's dialogs: a "?" button that opens the dialog's help file,
// Enter stepping through the fields, Esc and the window's close button committing the
// field being edited before the dialog ends, and scroll bars when the user makes the
// dialog smaller than its full size. Works modal (exec() returns the result) and
// modeless (finished(int) carries it).
class TBaseDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int ResultOk = 1;
    static constexpr int ResultCancel = 2;
    static constexpr int kScrollStep = 5;

    enum Button { OkButton = 0x1, CancelButton = 0x2, HelpButton = 0x4 };
    Q_DECLARE_FLAGS(Buttons, Button)

    // helpFile is a name in the program's help folder ("closed.txt"), empty for none.
    // With an OK button the dialog closes with OK.
    TBaseDialog(QWidget* parent, const QString& helpFile, Buttons buttons = Buttons(OkButton | HelpButton));

    // The dialog's fields go here (give it a layout); the buttons sit below it.
    [[nodiscard]] QWidget* content() const { return content_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }
    [[nodiscard]] QPushButton* cancelButton() const { return cancel_; }
    [[nodiscard]] QPushButton* helpButton() const { return help_; }
    [[nodiscard]] QScrollArea* scrollArea() const { return scroll_; }

    [[nodiscard]] const QString& helpFile() const { return helpFile_; }
    // The help file below the program directory, empty without a help file.
    [[nodiscard]] QString helpPath() const;
    [[nodiscard]] bool closesWithOk() const { return ok_ != nullptr; }
    // 1 (OK) or 2 (Cancel); 2 until OK is pressed.
    [[nodiscard]] int resultCode() const { return result_; }
    [[nodiscard]] bool isClosing() const { return closing_; }
    // The size recorded when the dialog was first shown; it never grows beyond it.
    [[nodiscard]] QSize fullSize() const { return fullSize_; }

    // Opens a help file (the main window installs a viewer). Receives the full path.
    static void setHelpHook(std::function<void(const QString& path)> hook);
    // Opens a help file of the program's help folder as a dialog's "?" does, for the windows
    // that have no dialog of their own.
    static void showHelpFile(const QString& helpFile);

    // OK: Enter or the OK button. Ends the dialog only when the OK button has the focus,
    // otherwise moves to the next field.
    void okCommand();
    // Cancel: Esc or the Cancel button.
    void cancelCommand();
    // "?": opens the help file; nothing without one.
    void helpCommand();

    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void closeRequest();
    void postCloseRequest();
    void moveFocusNext();
    void moveFocusForClose();
    void finish();
    void setUp();

    QString helpFile_;
    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* help_ = nullptr;
    int result_ = ResultCancel;
    bool closing_ = false;
    bool setUpDone_ = false;
    QSize fullSize_;
};

} // namespace harlox

Q_DECLARE_OPERATORS_FOR_FLAGS(harlox::TBaseDialog::Buttons)
