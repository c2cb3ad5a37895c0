#include "gui/qt_ui_host.h"

#include "gui_test_support.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace harlox {
namespace {

// Runs f on the next modal dialog once it is shown.
void whenModal(std::function<void(QWidget*)> f) {
    QTimer::singleShot(0, [f = std::move(f)] {
        QWidget* w = QApplication::activeModalWidget();
        w ? f(w) : whenModal(f);
    });
}

struct BoxCase {
    MessageIcon icon;
    MessageButtons buttons;
    QMessageBox::Icon qtIcon;
    QMessageBox::StandardButtons qtButtons;
    QMessageBox::StandardButton press; // NoButton: close with Escape
    MessageResult result;
};

class QtUiHostMessageBox : public ::testing::TestWithParam<BoxCase> {};

TEST_P(QtUiHostMessageBox, MapsIconButtonsAndAnswer) {
    const BoxCase& c = GetParam();
    QtUiHost host;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Box project"));
        EXPECT_EQ(box->text(), QStringLiteral("Caf\u00E9 has been changed.\nSave project ?"));
        EXPECT_EQ(box->icon(), c.qtIcon);
        EXPECT_EQ(box->standardButtons(), c.qtButtons);
        c.press == QMessageBox::NoButton ? QTest::keyClick(box, Qt::Key_Escape)
                                         : box->button(c.press)->click();
    });
    EXPECT_EQ(
        host.messageBox("Box project", "Caf\xE9 has been changed.\r\nSave project ?", c.icon, c.buttons),
        c.result);
}

using I = MessageIcon;
using B = MessageButtons;
using M = QMessageBox;
using R = MessageResult;
const M::StandardButtons kYesNoCancel = M::Yes | M::No | M::Cancel;

INSTANTIATE_TEST_SUITE_P(
    Table, QtUiHostMessageBox,
    ::testing::Values(BoxCase{I::Exclamation, B::Ok, M::Warning, M::Ok, M::NoButton, R::Ok},
                      BoxCase{I::Question, B::YesNoCancel, M::Question, kYesNoCancel, M::No, R::No},
                      BoxCase{I::Question, B::YesNoCancel, M::Question, kYesNoCancel, M::NoButton, R::Cancel},
                      BoxCase{I::Information, B::YesNo, M::Information, M::Yes | M::No, M::NoButton, R::No},
                      BoxCase{I::Error, B::OkCancel, M::Critical, M::Ok | M::Cancel, M::Ok, R::Ok}));

TEST(QtUiHost, PostedCallsRunAfterTheCurrentEventAndDieWithTheHost) {
    auto host = std::make_unique<QtUiHost>();
    int runs = 0;
    host->post([&] {
        ++runs;
        host->post([&] { runs += 10; });
    });
    EXPECT_EQ(runs, 0);
    test::drainEvents();
    EXPECT_EQ(runs, 11);
    host->post([&] { ++runs; });
    host.reset();
    test::drainEvents();
    EXPECT_EQ(runs, 11);
}

} // namespace
} // namespace harlox
