#include "gui/speaker_unit_dialog.h"

#include "driver/spk_data.h"
#include "gui/dbl_edit.h"
#include "gui/model_text.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QTextOption>
#include <QVBoxLayout>

#include <algorithm>
#include <string>
#include <vector>

namespace harlox {

namespace {

// No parameter is negative, so no value is ever shown as "undef.".
constexpr double kNoUndefinedValue = -1.0;
constexpr int kFieldChars = 10;
constexpr int kNoteLength = 599;

constexpr const char* kTypeButtons[] = {"Bass",        "Bass/Midrange", "Midrange",
                                        "Mid./Treble", "Treble",        "Full range"};

QString unitText(const char* unit) {
    const QString u = QString::fromUtf8(unit);
    if (u == QStringLiteral("-")) return {};
    if (u == QStringLiteral("cm^2")) return QStringLiteral("cm\u00b2");
    if (u == QStringLiteral("m^5/N")) return QStringLiteral("m\u2075/N");
    return u;
}

QString withCrLf(QString s) {
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

QString withoutCrLf(QString s) {
    return s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

TSpeakerUnitDialog::TSpeakerUnitDialog(QWidget* parent, UiHost& host, TSpkData& unit, FileSelector& selector)
    : TBaseDialog(parent, QString::fromUtf8(TSpeakerUnitEditor::kHelpFile), CancelButton | HelpButton),
      editor_(std::make_unique<TSpeakerUnitEditor>(host, unit, selector)),
      printer_([this](std::string_view document, std::string_view job, std::string_view text) {
          return printWithDialog(this, document, job, text);
      }),
      noteEditor_(&editNote) {
    setWindowTitle(QString::fromUtf8(TSpeakerUnitEditor::kCaption));
    setWindowFlag(Qt::Tool);
    // Entries take effect as they are made: the window has nothing to cancel, only to close
    // (Esc does the same).
    cancelButton()->setText(QStringLiteral("&Close"));
    buildMenu();

    // Identity and type.
    auto* identity = new QGroupBox(QStringLiteral("Unit"), content());
    auto* idGrid = new QGridLayout(identity);
    const auto addText = [&](int row, const QString& label, bool readOnly) {
        auto* edit = new QLineEdit(identity);
        edit->setMaxLength(static_cast<int>(TSpkData::kTextSize) - 1);
        edit->setReadOnly(readOnly);
        if (readOnly) edit->setFocusPolicy(Qt::NoFocus);
        auto* l = new QLabel(label, identity);
        l->setBuddy(edit);
        idGrid->addWidget(l, row, 0);
        idGrid->addWidget(edit, row, 1);
        return edit;
    };
    manufacturer_ = addText(0, QStringLiteral("&Manufacturer"), false);
    model_ = addText(1, QStringLiteral("M&odel"), false);
    fileName_ = addText(2, QStringLiteral("Filename"), true);
    idGrid->setColumnStretch(1, 1);
    connect(manufacturer_, &QLineEdit::textEdited, this,
            [this](const QString& t) { editor_->setManufacturer(toModelText(t, TSpkData::kTextSize - 1)); });
    connect(model_, &QLineEdit::textEdited, this,
            [this](const QString& t) { editor_->setModel(toModelText(t, TSpkData::kTextSize - 1)); });

    auto* typeBox = new QGroupBox(QStringLiteral("Type"), content());
    auto* typeGrid = new QGridLayout(typeBox);
    types_ = new QButtonGroup(this);
    for (int i = 0; i < 6; ++i) {
        auto* b = new QRadioButton(QString::fromUtf8(kTypeButtons[i]), typeBox);
        types_->addButton(b, i);
        typeGrid->addWidget(b, i % 3, i / 3);
    }
    connect(types_, &QButtonGroup::idClicked, this, [this](int id) {
        editor_->setSpeakerType(id);
        refresh();
    });

    // Efficiency and options.
    auto* effBox = new QGroupBox(QStringLiteral("Efficiency"), content());
    auto* effGrid = new QGridLayout(effBox);
    const auto addFigure = [&](int row, const QString& label, const QString& unitLabel) {
        auto* value = new QLabel(effBox);
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        value->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('0')) * 6);
        effGrid->addWidget(new QLabel(label, effBox), row, 0);
        effGrid->addWidget(value, row, 1);
        effGrid->addWidget(new QLabel(unitLabel, effBox), row, 2);
        return value;
    };
    efficiency_ = addFigure(0, QStringLiteral("Reference efficiency"), QStringLiteral("%"));
    sensitivity_ = addFigure(1, QStringLiteral("Sensitivity"), QStringLiteral("dB/1W/1m"));
    effGrid->setColumnStretch(0, 1);

    auto* optBox = new QGroupBox(QStringLiteral("Options"), content());
    auto* optLayout = new QVBoxLayout(optBox);
    crosscalc_ = new QCheckBox(QStringLiteral("&Crosscalc"), optBox);
    dualCoil_ = new QCheckBox(QStringLiteral("&Double voice coil"), optBox);
    optLayout->addWidget(crosscalc_);
    optLayout->addWidget(dualCoil_);
    connect(crosscalc_, &QCheckBox::toggled, this, [this](bool on) {
        editor_->setCrosscalc(on);
        refresh();
    });
    connect(dualCoil_, &QCheckBox::toggled, this, [this](bool on) { editor_->setDualCoil(on); });

    // The parameters in three columns, by the part of the driver they describe. The labels
    // of one column share a width, so the fields line up from group to group.
    using F = UnitField;
    struct Group {
        const char* title;
        std::vector<UnitField> fields;
    };
    const std::array<std::vector<Group>, 3> columns{{
        {{"Electrical", {F::Re, F::Le, F::Bl, F::Pmax}}, {"Q factors", {F::Qms, F::Qes, F::Qts}}},
        {{"Mechanical", {F::fs, F::Mmd, F::Mms, F::Cms, F::Rms}}, {"Acoustical", {F::Sd, F::Vas, F::Cas}}},
        {{"Excursion", {F::Xmax, F::h, F::l}}},
    }};
    auto* grid = new QGridLayout(content());
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(identity, 0, 0, 1, 2);
    grid->addWidget(typeBox, 0, 2);
    QWidget* previous = model_;
    setTabOrder(manufacturer_, model_);
    for (std::size_t c = 0; c < columns.size(); ++c) {
        auto* stack = new QVBoxLayout;
        int labelWidth = 0;
        for (const Group& g : columns[c]) {
            for (const UnitField f : g.fields) {
                labelWidth = std::max(
                    labelWidth, fontMetrics().horizontalAdvance(QString::fromUtf8(unitFieldInfo(f).label)));
            }
        }
        for (const Group& g : columns[c]) {
            stack->addWidget(buildFieldGroup(QString::fromUtf8(g.title), g.fields, labelWidth));
            for (const UnitField f : g.fields) {
                setTabOrder(previous, field(f));
                previous = field(f);
            }
        }
        if (c == 2) {
            stack->addWidget(effBox);
            stack->addWidget(optBox);
        }
        stack->addStretch(1);
        grid->addLayout(stack, 1, static_cast<int>(c));
    }
    for (int c = 0; c < 3; ++c)
        grid->setColumnStretch(c, 1);

    if (unit.editorLeft != 0 || unit.editorTop != 0) move(unit.editorLeft, unit.editorTop);
    editor_->opened();
    refresh();
}

TSpeakerUnitDialog::~TSpeakerUnitDialog() = default;

void TSpeakerUnitDialog::buildMenu() {
    menuBar_ = new QMenuBar(this);
    menuBar_->setNativeMenuBar(false);
    QMenu* file = menuBar_->addMenu(QStringLiteral("&File"));
    const auto add = [&](Command c, const QString& text) {
        QAction* a = file->addAction(text);
        connect(a, &QAction::triggered, this, [this, c] { run(c); });
        actions_[static_cast<std::size_t>(c)] = a;
    };
    add(Command::New, QStringLiteral("&New"));
    add(Command::Open, QStringLiteral("&Open..."));
    add(Command::Save, QStringLiteral("&Save"));
    add(Command::SaveAs, QStringLiteral("Save &as..."));
    file->addSeparator();
    add(Command::PrintData, QStringLiteral("&Print data..."));
    add(Command::CopyData, QStringLiteral("&Copy data"));
    file->addSeparator();
    add(Command::UserNote, QStringLiteral("&User note..."));

    QAction* calc = menuBar_->addAction(QStringLiteral("&Calc. missing fields"));
    connect(calc, &QAction::triggered, this, [this] { run(Command::CalcMissingFields); });
    actions_[static_cast<std::size_t>(Command::CalcMissingFields)] = calc;

    layout()->setMenuBar(menuBar_);
}

QWidget* TSpeakerUnitDialog::buildFieldGroup(const QString& title, const std::vector<UnitField>& list,
                                             int labelWidth) {
    auto* box = new QGroupBox(title, content());
    auto* grid = new QGridLayout(box);
    const int width = fontMetrics().horizontalAdvance(QLatin1Char('0')) * kFieldChars;
    int row = 0;
    for (const UnitField f : list) {
        const UnitFieldInfo& info = unitFieldInfo(f);
        const auto index = static_cast<std::size_t>(f);
        auto* edit = new TDblEdit(box, kFirstFieldId + static_cast<int>(index), info.format, 0.0,
                                  info.maximum, kNoUndefinedValue, 0.0);
        edit->setObjectName(QString::fromUtf8(info.label));
        edit->setFixedWidth(width);
        edit->setAlignment(Qt::AlignRight);
        edit->setDescription(QString::fromUtf8(info.label), unitText(info.unit));
        connect(edit, &TDblEdit::changed, this, &TSpeakerUnitDialog::fieldChanged);
        fields_[index] = edit;
        auto* label = new QLabel(QString::fromUtf8(info.label), box);
        label->setBuddy(edit);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        grid->addWidget(new QLabel(unitText(info.unit), box), row, 2);
        ++row;
    }
    grid->setColumnMinimumWidth(0, labelWidth + 4); // room for any rounding in the labels' own hints
    grid->setColumnStretch(2, 1);
    return box;
}

QRadioButton* TSpeakerUnitDialog::typeButton(int type) const {
    return qobject_cast<QRadioButton*>(types_->button(type));
}

void TSpeakerUnitDialog::refresh() {
    const TSpkData& unit = editor_->unit();
    for (const UnitField f : allUnitFields()) {
        TDblEdit* edit = field(f);
        const double shown = unitFieldShown(unit, f);
        // Rewriting an unchanged field would disturb its cursor and selection.
        if (edit->value() != shown || edit->text().isEmpty()) edit->setValue(shown);
    }
    const auto setText = [](QLineEdit* edit, const QString& text) {
        if (edit->text() != text) edit->setText(text);
    };
    setText(manufacturer_, fromModelText(unit.manufacturerText()));
    setText(model_, fromModelText(unit.modelText()));
    setText(fileName_, fromModelText(unit.fileNameText()));
    {
        const QSignalBlocker b1(crosscalc_), b2(dualCoil_), b3(types_);
        crosscalc_->setChecked(unit.crosscalc != 0);
        dualCoil_->setChecked(unit.dualCoil != 0);
        if (QAbstractButton* b = types_->button(unit.speakerType)) b->setChecked(true);
    }
    efficiency_->setText(QString::fromStdString(editor_->efficiencyText()));
    sensitivity_->setText(QString::fromStdString(editor_->sensitivityText()));
    action(Command::CalcMissingFields)->setEnabled(editor_->calcMissingFieldsEnabled());
}

void TSpeakerUnitDialog::fieldChanged(int id) {
    const int index = id - kFirstFieldId;
    if (index < 0 || index >= static_cast<int>(kUnitFieldCount)) return;
    const auto f = static_cast<UnitField>(index);
    editor_->enterField(f, field(f)->value());
    refresh(); // a refused entry shows the old value again
}

void TSpeakerUnitDialog::run(Command c) {
    switch (c) {
    case Command::New:
        editor_->New();
        break;
    case Command::Open:
        editor_->Open();
        break;
    case Command::Save:
        editor_->Save();
        break;
    case Command::SaveAs:
        editor_->SaveAs();
        break;
    case Command::PrintData:
        editor_->PrintData(printer_);
        break;
    case Command::CopyData:
        editor_->CopyData([](std::string_view text) {
            QClipboard* clipboard = QGuiApplication::clipboard();
            if (!clipboard) return false;
            clipboard->setText(withoutCrLf(fromModelText(text)));
            return true;
        });
        break;
    case Command::UserNote:
        userNote();
        break;
    case Command::CalcMissingFields:
        editor_->setManufacturer(toModelText(manufacturer_->text(), TSpkData::kTextSize - 1));
        editor_->setModel(toModelText(model_->text(), TSpkData::kTextSize - 1));
        editor_->CalcMissingFields();
        break;
    }
    refresh();
}

void TSpeakerUnitDialog::userNote() {
    if (!noteEditor_) return;
    const std::optional<QString> note =
        noteEditor_(this, withoutCrLf(fromModelText(editor_->unit().noteText())));
    if (!note) return;
    std::string text = toModelText(withCrLf(*note), kNoteLength);
    if (!text.empty() && text.back() == '\r') text.pop_back(); // never half a line break
    editor_->setNote(text);
}

std::optional<QString> TSpeakerUnitDialog::editNote(QWidget* parent, const QString& note) {
    TBaseDialog dlg(parent, QString(),
                    TBaseDialog::Buttons(TBaseDialog::OkButton | TBaseDialog::CancelButton));
    dlg.setWindowTitle(QStringLiteral("User note"));
    auto* layout = new QVBoxLayout(dlg.content());
    layout->addWidget(
        new QLabel(QStringLiteral("Note (at most %1 characters):").arg(kNoteLength), dlg.content()));
    auto* edit = new QPlainTextEdit(note, dlg.content());
    edit->setTabChangesFocus(true);
    edit->setMinimumSize(360, 200);
    layout->addWidget(edit);
    if (dlg.exec() != TBaseDialog::ResultOk) return std::nullopt;
    return edit->toPlainText();
}

PrintOutcome TSpeakerUnitDialog::printWithDialog(QWidget* parent, std::string_view document,
                                                 std::string_view job, std::string_view text) {
    QPrinter printer;
    QPrintDialog dialog(&printer, parent);
    if (dialog.exec() != QDialog::Accepted) return PrintOutcome::Cancelled;
    printer.setDocName(fromModelText(document));
    printer.setCreator(fromModelText(job));
    QTextDocument doc;
    doc.setDefaultFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
    QTextOption option = doc.defaultTextOption();
    option.setTabStopDistance(QFontMetricsF(doc.defaultFont()).horizontalAdvance(QLatin1Char('x')) * 8);
    doc.setDefaultTextOption(option);
    doc.setPlainText(withoutCrLf(fromModelText(text)));
    doc.print(&printer);
    return printer.printerState() == QPrinter::Error ? PrintOutcome::Failed : PrintOutcome::Printed;
}

void TSpeakerUnitDialog::showEvent(QShowEvent* event) {
    TBaseDialog::showEvent(event);
    if (sized_) return;
    sized_ = true;
    // The base sizes the dialog to its fields; the menu bar comes on top of that.
    const QSize full = fullSize() + QSize(0, menuBar_->sizeHint().height());
    setMaximumSize(full);
    resize(full);
}

void TSpeakerUnitDialog::closeEvent(QCloseEvent* event) {
    // A second close attempt after a refused one arrives here with the base already
    // closing: ask now, and let done() know.
    if (isClosing()) {
        if (!editor_->CanClose()) {
            refresh();
            event->ignore();
            return;
        }
        closeAsked_ = true;
    }
    TBaseDialog::closeEvent(event);
}

void TSpeakerUnitDialog::done(int result) {
    if (!closeAsked_ && !editor_->CanClose()) {
        refresh();
        return;
    }
    closeAsked_ = false;
    editor_->closed(pos().x(), pos().y());
    TBaseDialog::done(result);
}

} // namespace harlox
