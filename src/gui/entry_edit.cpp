#include "gui/entry_edit.h"

#include "gui/beep.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMetaObject>
#include <QRegularExpression>

#include <utility>

namespace harlox {

namespace {

std::function<void(const QString&)>& refusalHook() {
    static std::function<void(const QString&)> hook;
    return hook;
}

QString plainLabel(QString s) {
    s.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    s = s.trimmed();
    while (s.endsWith(QLatin1Char(':')))
        s.chop(1);
    return s.trimmed();
}

QString numberText(double v) {
    return QString::number(v, 'g', 12);
}

// "2 decimals" for "%6.2f", "exponent form" for "%e"; empty when the format says nothing.
QString formatNote(const std::string& format) {
    static const QRegularExpression conversion(QStringLiteral("%[-+ #0]*\\d*(?:\\.(\\d+))?([fFeEgG])"));
    const QRegularExpressionMatch m = conversion.match(QString::fromStdString(format));
    if (!m.hasMatch()) return {};
    const QChar kind = m.captured(2).at(0).toLower();
    if (kind == QLatin1Char('e')) return QStringLiteral("exponent form");
    if (kind != QLatin1Char('f') || m.captured(1).isEmpty()) return {};
    const int n = m.captured(1).toInt();
    if (n == 0) return QStringLiteral("whole numbers");
    return n == 1 ? QStringLiteral("1 decimal") : QStringLiteral("%1 decimals").arg(n);
}

} // namespace

void TEntryEdit::setRefusalHook(std::function<void(const QString&)> hook) {
    refusalHook() = std::move(hook);
}

void TEntryEdit::setDescription(const QString& label, const QString& unit) {
    label_ = plainLabel(label);
    unit_ = unit.trimmed();
    updateToolTip();
}

QString TEntryEdit::shownName() const {
    if (!label_.isEmpty()) return label_;
    // Dialogs that lay out their own rows still give the field a buddy label.
    if (const QWidget* top = window()) {
        for (const QLabel* l : top->findChildren<QLabel*>()) {
            if (l->buddy() == this && !plainLabel(l->text()).isEmpty()) return plainLabel(l->text());
        }
    }
    return {};
}

QString TEntryEdit::rangeText() const {
    QString s = QStringLiteral("%1 and %2").arg(numberText(lowest()), numberText(highest()));
    if (!unit_.isEmpty()) s += QLatin1Char(' ') + unit_;
    return s;
}

void TEntryEdit::updateToolTip() {
    QString tip = QStringLiteral("%1 to %2").arg(numberText(lowest()), numberText(highest()));
    if (!unit_.isEmpty()) tip += QLatin1Char(' ') + unit_;
    if (!label_.isEmpty()) tip = label_ + QStringLiteral(": ") + tip;
    const QString note = wholeNumbers() ? QString() : formatNote(formatText());
    if (!note.isEmpty()) tip += QStringLiteral(" (") + note + QLatin1Char(')');
    if (paired()) tip += QStringLiteral("; after a ';' a Q of 0.1 to 9.9");
    if (toolTip().isEmpty() || toolTip() == autoToolTip_) setToolTip(tip);
    autoToolTip_ = tip;
}

QString TEntryEdit::refusalText(const QString& typed) const {
    QString name = shownName();
    if (name.isEmpty()) name = QStringLiteral("The value");
    QString t = typed.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    QString second;
    if (paired()) {
        const qsizetype semi = t.indexOf(QLatin1Char(';'));
        if (semi >= 0) {
            second = t.mid(semi + 1).trimmed();
            t = t.left(semi).trimmed();
        }
    }
    bool ok = false;
    const double v = wholeNumbers() ? static_cast<double>(t.toLongLong(&ok)) : t.toDouble(&ok);
    if (!ok) {
        return QStringLiteral("%1 must be %2 between %3")
            .arg(name, wholeNumbers() ? QStringLiteral("a whole number") : QStringLiteral("a number"), rangeText());
    }
    if (v >= lowest() && v <= highest() && !second.isEmpty()) {
        return QStringLiteral("The Q after the ';' must be a number between %1 and %2")
            .arg(numberText(DblEntry::kSecondMinimum), numberText(DblEntry::kSecondMaximum));
    }
    return QStringLiteral("%1 must lie between %2").arg(name, rangeText());
}

void TEntryEdit::report(const QString& reason) {
    if (refusalHook()) refusalHook()(reason);
}

TEntryEdit::TEntryEdit(QWidget* parent, int fieldId) : QLineEdit(parent), fieldId_(fieldId) {
    // Pasting, dragging or input methods change the text without a key press.
    connect(this, &QLineEdit::textEdited, this, [this] { markModified(); });
}

void TEntryEdit::showValue() {
    setText(QString::fromStdString(displayText()));
}

void TEntryEdit::postChanged() {
    QMetaObject::invokeMethod(
        this, [this] { emit changed(fieldId_); }, Qt::QueuedConnection);
}

bool TEntryEdit::refusesKey(const QString& typed) const {
    for (const QChar ch : typed) {
        const char16_t u = ch.unicode();
        if (u < 0x20 || u == 0x7f) continue; // control keys keep their editing function
        if (u > 0x7e || !allowedChar(static_cast<char>(u))) return true;
    }
    return false;
}

void TEntryEdit::focusInEvent(QFocusEvent* event) {
    // A context menu takes the focus only for a moment; the edit goes on afterwards.
    if (event->reason() != Qt::PopupFocusReason) gainFocus();
    QLineEdit::focusInEvent(event);
}

void TEntryEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() == Qt::PopupFocusReason) return;
    const QString typed = text();
    const EntryCommit r = commitText(typed.toStdString(), isModified());
    showValue();
    if (r.beep) warningBeep();
    if (!r.accepted) report(refusalText(typed));
    if (r.notify) postChanged();
}

void TEntryEdit::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
        const EntryStep r = event->key() == Qt::Key_Up ? stepUp() : stepDown();
        if (!r.handled) {
            QLineEdit::keyPressEvent(event);
            return;
        }
        showValue();
        if (r.beep) {
            warningBeep();
            // Stopped at the end of the range.
            const QString name = shownName();
            report(QStringLiteral("%1 must lie between %2")
                       .arg(name.isEmpty() ? QStringLiteral("The value") : name, rangeText()));
        }
        if (r.notify) postChanged();
        event->accept();
        return;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // Dialog keys: the dialog acts on them, the field's text is not touched.
        QLineEdit::keyPressEvent(event);
        return;
    default:
        break;
    }
    if (refusesKey(event->text())) {
        event->accept();
        return;
    }
    if (!isReadOnly()) markModified();
    QLineEdit::keyPressEvent(event);
}

} // namespace harlox
