#include "gui/main_window.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Harlox"));
    harlox::TMainApp mainApp(QApplication::arguments());
    return mainApp.run(app);
}
