#pragma once

#include <QDialog>

#include <functional>

class QPushButton;

namespace harlox {

// The dialog shown at start-up: names the program and points to the example projects.
class TStartDialog : public QDialog {
    Q_OBJECT

public:
    // viewReadme opens readme.txt from the program directory.
    TStartDialog(QWidget* parent, std::function<void()> viewReadme);

    [[nodiscard]] QPushButton* readmeButton() const { return readme_; }
    [[nodiscard]] QPushButton* okButton() const { return ok_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPushButton* readme_;
    QPushButton* ok_;
};

} // namespace harlox
