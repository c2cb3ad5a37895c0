#include "gui/sim_dialog.h"

#include "core/ui_host.h"
#include "filter/imp_response.h"
#include "filter/music_filter.h"
#include "filter/xover.h"
#include "gui/dbl_edit.h"
#include "gui/form_rows.h"

#include <QCheckBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMoveEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <string>

namespace harlox {

namespace {

const QString kWidest = QStringLiteral("-000.0");
constexpr double kNoValue = -1.0e9;
constexpr double kLongestTime = 1.0e9; // s

QString fileText(const std::string& path) {
    return path.empty() ? QString::fromLatin1(TSimDialog::kNoFile) : QFile::decodeName(path.c_str());
}

} // namespace

TSimDialog::TSimDialog(QWidget* parent, TXover& project, UiHost& ui)
    : TBaseDialog(parent, QString::fromUtf8(TImpResponse::kHelpFile)), owner_(project.ImpResponse()), ui_(ui),
      filter_(std::make_unique<TMusicFilter>(project.ImpResponse(), project.General(), ui)) {
    setWindowTitle(QString::fromUtf8(kCaption));
    owner_.dialogOpen = true;

    auto* column = new QVBoxLayout(content());
    column->setContentsMargins(0, 0, 0, 0);

    auto* files = new QGroupBox(QStringLiteral("Files"), content());
    auto* fg = new QGridLayout(files);
    const auto fileRow = [&](int row, const QString& label, QLineEdit*& field, QPushButton*& button) {
        field = new QLineEdit(files);
        field->setReadOnly(true);
        // Shown, not edited: the focus starts on the buttons.
        field->setFocusPolicy(Qt::ClickFocus);
        field->setMinimumWidth(
            fieldWidth(field, QStringLiteral("/home/someone/music/a long song name.flac")));
        button = new QPushButton(QStringLiteral("Browse"), files);
        auto* l = new QLabel(label, files);
        l->setBuddy(button);
        fg->addWidget(l, row, 0);
        fg->addWidget(field, row, 1);
        fg->addWidget(button, row, 2);
    };
    fileRow(0, QStringLiteral("Infile"), inFile_, inBrowse_);
    fileRow(1, QStringLiteral("Outfile"), outFile_, outBrowse_);
    fg->setColumnStretch(1, 1);
    column->addWidget(files);

    auto* settings = new QGroupBox(QStringLiteral("Filter"), content());
    QGridLayout* sg = formGrid(settings, QStringLiteral("dB"));
    scale_ = new TDblEdit(settings, ScaleControl, "%2.1f", TImpResponse::kMinScaleDb,
                          TImpResponse::kMaxScaleDb, kNoValue, owner_.scaleDb);
    addFormRow(sg, QStringLiteral("Scale"), scale_, QStringLiteral("dB"), kWidest);
    time_ = new TDblEdit(settings, TimeControl, "%2.1f", 0.0, kLongestTime, kNoValue, 0.0);
    time_->setReadOnly(true);
    time_->setFocusPolicy(Qt::NoFocus);
    addFormRow(sg, QStringLiteral("Time "), time_, QStringLiteral("s"), kWidest);
    hrtf_ = new QCheckBox(QStringLiteral("Simulate HRTF"), settings);
    hrtf_->setChecked(owner_.simulateHrtf);
    sg->addWidget(hrtf_, sg->rowCount(), 0, 1, 3);
    column->addWidget(settings);

    auto* run = new QHBoxLayout();
    start_ = new QPushButton(QStringLiteral("Start"), content());
    status_ = new QLabel(content());
    status_->setFrameShape(QFrame::StyledPanel);
    status_->setFrameShadow(QFrame::Sunken);
    status_->setMinimumWidth(
        fieldWidth(status_, QStringLiteral("Overflow 00000 time(s), max = 00.000000 dBOV")));
    run->addWidget(start_);
    run->addWidget(status_, 1);
    column->addLayout(run);

    timer_ = new QTimer(this);
    timer_->setInterval(0);
    connect(timer_, &QTimer::timeout, this, &TSimDialog::runBlock);
    connect(start_, &QPushButton::clicked, this, &TSimDialog::startStop);
    connect(inBrowse_, &QPushButton::clicked, this, [this] { browse(true); });
    connect(outBrowse_, &QPushButton::clicked, this, [this] { browse(false); });
    connect(scale_, &TEntryEdit::changed, this, [this](int) { owner_.scaleDb = scale_->value(); });
    connect(hrtf_, &QCheckBox::toggled, this, [this](bool on) { owner_.simulateHrtf = on; });
    // Closing while the music runs ends the run as "Stop" would, files closed.
    connect(this, &QDialog::finished, this, [this] {
        if (!filter_->busy()) return;
        filter_->Stop();
        runBlock();
    });

    if (owner_.dialogPlaced) move(owner_.dialogX, owner_.dialogY);
    refreshFiles();
    refreshProgress();
    if (!owner_.Enabled()) QTimer::singleShot(0, this, &TSimDialog::refuseWhenDisabled);
}

TSimDialog::~TSimDialog() {
    owner_.dialogOpen = false;
}

void TSimDialog::refuseWhenDisabled() {
    ui_.messageBox(TImpResponse::kDisabledCaption, TImpResponse::kDisabledText, MessageIcon::Exclamation,
                   MessageButtons::Ok);
    close();
}

void TSimDialog::moveEvent(QMoveEvent* event) {
    TBaseDialog::moveEvent(event);
    if (!isVisible()) return;
    owner_.dialogPlaced = true;
    owner_.dialogX = pos().x();
    owner_.dialogY = pos().y();
}

void TSimDialog::browse(bool input) {
    FileSelector& selector = input ? owner_.inputSelector : owner_.outputSelector;
    (void)ui_.selectFile(selector, input ? FileMode::Open : FileMode::Save);
    refreshFiles();
}

void TSimDialog::refreshFiles() {
    inFile_->setText(fileText(owner_.inputSelector.rememberedPath));
    outFile_->setText(fileText(owner_.outputSelector.rememberedPath));
    inFile_->setToolTip(inFile_->text());
    outFile_->setToolTip(outFile_->text());
}

void TSimDialog::refreshProgress() {
    const bool busy = filter_->busy();
    start_->setText(busy ? QStringLiteral("Stop") : QStringLiteral("Start"));
    time_->setValue(filter_->Elapsed());
    status_->setText(QString::fromStdString(filter_->Status()));
    // The settings are taken at the start; while the music runs they stay as they are.
    for (QWidget* w : {static_cast<QWidget*>(inBrowse_), static_cast<QWidget*>(outBrowse_),
                       static_cast<QWidget*>(scale_), static_cast<QWidget*>(hrtf_)})
        w->setEnabled(!busy);
}

void TSimDialog::startStop() {
    if (filter_->busy()) {
        filter_->Stop();
        return;
    }
    // A value typed but not yet entered counts.
    if (scale_->hasFocus()) start_->setFocus();
    owner_.scaleDb = scale_->value();
    const std::string& in = owner_.inputSelector.rememberedPath;
    const std::string& out = owner_.outputSelector.rememberedPath;
    if (in.empty() || out.empty()) {
        ui_.error(kCaption, kChooseFiles);
        return;
    }
    if (!filter_->Start(in, out)) return;
    refreshProgress();
    timer_->start();
}

void TSimDialog::runBlock() {
    // The closing message box runs an event loop of its own; the timer must not re-enter.
    if (inBlock_) return;
    inBlock_ = true;
    const bool more = filter_->Step();
    inBlock_ = false;
    if (!more) timer_->stop();
    refreshProgress();
}

QWidget* openSimDialog(QWidget* parent, TXover& project, UiHost& ui) {
    auto* dialog = new TSimDialog(parent, project, ui);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

} // namespace harlox
