#include "gui/start_dialog.h"

#include "gui/about_dialog.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace harlox {

TStartDialog::TStartDialog(QWidget* parent, std::function<void()> viewReadme) : QDialog(parent) {
    setWindowTitle(QString::fromLatin1(TAboutDialog::kProductCaption));
    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    auto* picture = new QLabel(this);
    picture->setPixmap(TAboutDialog::productPixmap(64));
    top->addWidget(picture, 0, Qt::AlignTop);
    auto* text = new QLabel(this);
    text->setTextFormat(Qt::PlainText);
    text->setText(QStringLiteral("Welcome to %1, the loudspeaker design program.\n\n"
                                 "To see what it can do, load an example project from the \"examples\"\n"
                                 "folder beside the program with File | Open...\n\n"
                                 "Or start a new one with File | New.")
                      .arg(QString::fromLatin1(TAboutDialog::kProductCaption)));
    top->addWidget(text, 1);
    layout->addLayout(top);

    auto* row = new QHBoxLayout;
    row->addStretch(1);
    readme_ = new QPushButton(QStringLiteral("View readme.txt"), this);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setDefault(true);
    row->addWidget(readme_);
    row->addWidget(ok_);
    layout->addLayout(row);

    connect(readme_, &QPushButton::clicked, this, [cb = std::move(viewReadme)] {
        if (cb) cb();
    });
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
}

void TStartDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Centred on the screen, not on the (not yet placed) main window.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        const QSize d = frameGeometry().size();
        move(s.left() + (s.width() - d.width()) / 2, s.top() + (s.height() - d.height()) / 2);
    }
}

} // namespace harlox
