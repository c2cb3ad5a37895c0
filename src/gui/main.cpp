#include "gui/main_window.h"

#include <QApplication>

#include <clocale>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // QApplication sets the number locale from the environment; the program's texts (data
    // sheets, exported curves) are defined with a decimal point.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName(QStringLiteral("Harlox"));
    harlox::TMainApp mainApp(QApplication::arguments());
    return mainApp.run(app);
}
