#pragma once

#include "gui/base_dialog.h"

#include <cstddef>

class QPlainTextEdit;

namespace harlox {

// A multi-line text of bounded length (the user notes of the data sheet and the diagrams).
class TInputDialog : public TBaseDialog {
    Q_OBJECT

public:
    // maxBytes: the stored text's size without its terminator, counted in UTF-8 bytes.
    TInputDialog(QWidget* parent, const QString& caption, const QString& text, std::size_t maxBytes);

    [[nodiscard]] QString text() const;
    [[nodiscard]] QPlainTextEdit* editor() const { return edit_; }
    [[nodiscard]] std::size_t maxBytes() const { return maxBytes_; }

private:
    void enforceLimit();

    QPlainTextEdit* edit_;
    std::size_t maxBytes_;
    bool limiting_ = false;
};

} // namespace harlox
