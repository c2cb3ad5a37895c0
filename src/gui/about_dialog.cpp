#include "gui/about_dialog.h"

#include <QFont>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace harlox {

TAboutDialog::TAboutDialog(QWidget* parent) : TBaseDialog(parent, QString(), Buttons(OkButton | HelpButton)) {
    setWindowTitle(QStringLiteral("About %1").arg(QString::fromLatin1(kProductName)));
    auto* grid = new QGridLayout(content());
    auto* name = new QLabel(QString::fromLatin1(kProductName), content());
    QFont big = name->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.6);
    name->setFont(big);
    grid->addWidget(name, 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Loudspeaker box and crossover design"), content()), 1, 0);
    grid->addWidget(new QLabel(QString::fromLatin1(kVersionText), content()), 2, 0);
    grid->addWidget(new QLabel(QString::fromLatin1(kBuildText), content()), 3, 0);
    auto* picture = new QLabel(content());
    picture->setPixmap(productPixmap(64));
    // Top right, a little in from the edge.
    picture->setContentsMargins(0, 10, 20, 0);
    grid->addWidget(picture, 0, 1, 4, 1, Qt::AlignTop | Qt::AlignRight);
    grid->setColumnStretch(0, 1);
    grid->setColumnMinimumWidth(0, 220);
}

QPixmap TAboutDialog::productPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // Cabinet.
    p.setPen(QPen(QColor(60, 40, 20), 2));
    p.setBrush(QColor(150, 105, 60));
    p.drawRoundedRect(QRectF(10, 3, 44, 58), 4, 4);
    // Woofer cone and dust cap.
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(QPointF(32, 40), 16, 16);
    p.setBrush(QColor(90, 90, 90));
    p.drawEllipse(QPointF(32, 40), 11, 11);
    p.setBrush(QColor(20, 20, 20));
    p.drawEllipse(QPointF(32, 40), 4, 4);
    // Tweeter.
    p.setBrush(QColor(40, 40, 40));
    p.drawEllipse(QPointF(32, 14), 7, 7);
    p.setBrush(QColor(200, 200, 200));
    p.drawEllipse(QPointF(32, 14), 2.5, 2.5);
    return pm;
}

} // namespace harlox
