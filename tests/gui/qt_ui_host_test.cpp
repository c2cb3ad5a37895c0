#include "gui/qt_ui_host.h"

#include "gui/beep.h"
#include "gui_test_support.h"
#include "temp_dir.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <tuple>

namespace harlox {
namespace {

// Runs f on the next modal dialog once it is shown.
void whenModal(std::function<void(QWidget*)> f) {
    QTimer::singleShot(0, [f = std::move(f)] {
        QWidget* w = QApplication::activeModalWidget();
        if (w) {
            f(w);
        } else {
            whenModal(f);
        }
    });
}

TEST(QtUiHostText, LineEndsBecomeLineBreaks) {
    EXPECT_EQ(QtUiHost::messageText("Project has been changed.\r\nSave project ?"),
              QStringLiteral("Project has been changed.\nSave project ?"));
    EXPECT_EQ(QtUiHost::messageText("Could not open file.\nCheck if device is ready."),
              QStringLiteral("Could not open file.\nCheck if device is ready."));
    EXPECT_EQ(QtUiHost::messageText("a\rb"), QStringLiteral("a\nb"));
    EXPECT_EQ(QtUiHost::messageText("caf\xE9"), QStringLiteral("caf\u00E9"));
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
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        if (c.press == QMessageBox::NoButton) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(c.press)->click();
        }
    });
    const MessageResult r =
        host.messageBox("Box project", "Project has been changed.\r\nSave project ?", c.icon, c.buttons);
    EXPECT_EQ(r, c.result);
    EXPECT_EQ(title, QStringLiteral("Box project"));
    EXPECT_EQ(text, QStringLiteral("Project has been changed.\nSave project ?"));
    EXPECT_EQ(icon, c.qtIcon);
    EXPECT_EQ(buttons, c.qtButtons);
}

using I = MessageIcon;
using B = MessageButtons;
using M = QMessageBox;
using R = MessageResult;
using C = BoxCase;
const M::StandardButtons kYesNoCancel = M::Yes | M::No | M::Cancel;

INSTANTIATE_TEST_SUITE_P(
    Table, QtUiHostMessageBox,
    ::testing::Values(C{I::Exclamation, B::Ok, M::Warning, M::Ok, M::NoButton, R::Ok},
                      C{I::Question, B::YesNoCancel, M::Question, kYesNoCancel, M::Yes, R::Yes},
                      C{I::Question, B::YesNoCancel, M::Question, kYesNoCancel, M::No, R::No},
                      C{I::Question, B::YesNoCancel, M::Question, kYesNoCancel, M::NoButton, R::Cancel},
                      C{I::Information, B::YesNo, M::Information, M::Yes | M::No, M::NoButton, R::No},
                      C{I::Error, B::OkCancel, M::Critical, M::Ok | M::Cancel, M::Cancel, R::Cancel},
                      C{I::None, B::OkCancel, M::NoIcon, M::Ok | M::Cancel, M::Ok, R::Ok}));

TEST(QtUiHost, PostedCallsRunAfterTheCurrentEvent) {
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
    host.reset(); // pending calls die with the host
    test::drainEvents();
    EXPECT_EQ(runs, 11);
}

TEST(QtUiHost, CommandStateRepaintAndBeepReachCallbacksAndSignals) {
    QtUiHost host;
    int lastId = 0;
    CommandState lastState = CommandState::Enabled;
    host.setCommandStateCallback([&](int id, CommandState s) {
        lastId = id;
        lastState = s;
    });
    QSignalSpy spy(&host, &QtUiHost::commandStateChanged);
    EXPECT_EQ(host.commandState(10451), CommandState::Enabled);
    host.grey(10451);
    EXPECT_EQ(host.commandState(10451), CommandState::Greyed);
    EXPECT_EQ(lastId, 10451);
    EXPECT_EQ(lastState, CommandState::Greyed);
    host.remove(11874);
    EXPECT_EQ(host.commands().state(11874), CommandState::Removed);
    ASSERT_EQ(spy.count(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 11874);
    EXPECT_EQ(spy.at(1).at(1).toInt(), static_cast<int>(CommandState::Removed));

    int repaints = 0;
    int beeps = 0;
    host.setRepaintCallback([&] { ++repaints; });
    setWarningBeepHook([&] { ++beeps; });
    QSignalSpy repaintSpy(&host, &QtUiHost::repaintRequested);
    host.repaint();
    host.beep();
    setWarningBeepHook({});
    EXPECT_EQ(repaints, 1);
    EXPECT_EQ(repaintSpy.count(), 1);
    EXPECT_EQ(beeps, 1);
}

TEST(QtUiHost, WaitCursorIsOnOrOffNotCounted) {
    ASSERT_EQ(QApplication::overrideCursor(), nullptr);
    {
        QtUiHost host;
        host.setWaitCursor(true);
        host.setWaitCursor(true);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        host.setWaitCursor(false);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        host.setWaitCursor(false);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        host.setWaitCursor(true);
    }
    // a host that goes away takes its wait cursor with it
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(QtUiHost, MessageBoxShowsTheNormalCursorWhileWaiting) {
    QtUiHost host;
    host.setWaitCursor(true);
    Qt::CursorShape during = Qt::WaitCursor;
    whenModal([&](QWidget* w) {
        during = QApplication::overrideCursor()->shape();
        qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    host.error("File save", "Could not open file.");
    EXPECT_EQ(during, Qt::ArrowCursor);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    host.setWaitCursor(false);
}

class QtUiHostFiles : public ::testing::Test {
protected:
    test::TempDir dir;
    QtUiHost host;
    FileSelector selector{
        "Box project files (*.box)|*.box|Filter project files (*.flt)|*.flt|All files (*.*)|*.*|", "box",
        false, ""};
};

TEST_F(QtUiHostFiles, SaveAppendsTheDefaultExtensionAndRemembersThePathCancelKeepsIt) {
    selector.rememberedPath = dir.path() + "/";
    auto filters = std::make_shared<QStringList>();
    whenModal([filters](QWidget* w) {
        auto* dlg = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(dlg, nullptr);
        *filters = dlg->nameFilters();
        dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("closed"));
        static_cast<QDialog*>(dlg)->accept();
    });
    const auto chosen = host.selectFile(selector, FileMode::Save);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir.file("closed.box"));
    EXPECT_EQ(selector.rememberedPath, dir.file("closed.box"));
    EXPECT_EQ(*filters,
              (QStringList{QStringLiteral("Box project files (*.box)"),
                           QStringLiteral("Filter project files (*.flt)"), QStringLiteral("All files (*)")}));

    // Cancel keeps the remembered path.
    whenModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); });
    EXPECT_FALSE(host.selectFile(selector, FileMode::Open).has_value());
    EXPECT_EQ(selector.rememberedPath, dir.file("closed.box"));
}

TEST_F(QtUiHostFiles, OpenReturnsAnExistingFile) {
    test::writeAll(dir.file("unit.unt"), {1, 2, 3});
    selector = FileSelector{"Unit files (*.unt)|*.unt|All files (*.*)|*.*|", "unt", false, dir.path() + "/"};
    whenModal([](QWidget* w) {
        auto* dlg = qobject_cast<QFileDialog*>(w);
        ASSERT_EQ(dlg->fileMode(), QFileDialog::ExistingFile);
        dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("unit.unt"));
        static_cast<QDialog*>(dlg)->accept();
    });
    const auto chosen = host.selectFile(selector, FileMode::Open);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir.file("unit.unt"));
}

TEST_F(QtUiHostFiles, CreatingANewFileIsConfirmedWhenTheSelectorAsks) {
    selector.confirmCreate = true;
    selector.rememberedPath = dir.path() + "/";
    QString question;
    whenModal([&question](QWidget* w) {
        auto* dlg = qobject_cast<QFileDialog*>(w);
        dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("new"));
        whenModal([&question](QWidget* box) {
            auto* mb = qobject_cast<QMessageBox*>(box);
            ASSERT_NE(mb, nullptr);
            question = mb->text();
            mb->button(QMessageBox::Yes)->click();
        });
        static_cast<QDialog*>(dlg)->accept();
    });
    const auto chosen = host.selectFile(selector, FileMode::Save);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(*chosen, dir.file("new.box"));
    EXPECT_TRUE(question.contains(QStringLiteral("new.box")));
}

} // namespace
} // namespace harlox
