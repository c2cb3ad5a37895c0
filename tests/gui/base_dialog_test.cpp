#include "gui/base_dialog.h"

#include "gui/beep.h"
#include "gui/dbl_edit.h"
#include "gui/long_edit.h"
#include "gui_test_support.h"

#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace harlox {
namespace {

using test::drainEvents;

class BaseDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setWarningBeepHook([this] { ++beeps; });
    }
    void TearDown() override {
        dialog.reset();
        setWarningBeepHook({});
        TBaseDialog::setHelpHook({});
    }

    void make(const QString& helpFile = QStringLiteral("closed.txt"),
              TBaseDialog::Buttons buttons = TBaseDialog::Buttons(TBaseDialog::OkButton |
                                                                  TBaseDialog::HelpButton)) {
        dialog = std::make_unique<TBaseDialog>(nullptr, helpFile, buttons);
        auto* layout = new QVBoxLayout(dialog->content());
        first = new TLongEdit(dialog->content(), 101, "%d", 0, 1000, -1, 500, 10);
        second = new TDblEdit(dialog->content(), 102, "%2.2f", 0, 100, -1, 10, false);
        third = new TDblEdit(dialog->content(), 103, "%2.1f", -90, 90, -1, 0, false);
        layout->addWidget(first);
        layout->addWidget(second);
        layout->addWidget(third);
    }

    int beeps = 0;
    std::unique_ptr<TBaseDialog> dialog;
    TLongEdit* first = nullptr;
    TDblEdit* second = nullptr;
    TDblEdit* third = nullptr;
};

TEST_F(BaseDialogTest, FirstFieldHasFocusAndButtonsComeLast) {
    make();
    test::showActive(dialog.get());
    EXPECT_TRUE(first->hasFocus());
    // The tab stops in order, from the first field round to it again.
    std::vector<QWidget*> stops;
    QWidget* w = first;
    do {
        if (w->focusPolicy() & Qt::TabFocus) stops.push_back(w);
        w = w->nextInFocusChain();
    } while (w != first && stops.size() < 20);
    const std::vector<QWidget*> expected = {first, second, third, dialog->okButton(), dialog->helpButton()};
    EXPECT_EQ(stops, expected);
}

TEST_F(BaseDialogTest, EnterStepsThroughFieldsAndCommits) {
    make();
    test::showActive(dialog.get());
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    QSignalSpy changed(first, &TEntryEdit::changed);
    first->selectAll();
    QTest::keyClicks(first, QStringLiteral("47"));
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_TRUE(second->hasFocus());
    EXPECT_EQ(first->value(), 50);
    drainEvents();
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(finished.count(), 0);
    EXPECT_EQ(dialog->resultCode(), TBaseDialog::ResultOk);

    QTest::keyClick(second, Qt::Key_Enter);
    EXPECT_TRUE(third->hasFocus());
    QTest::keyClick(third, Qt::Key_Return);
    EXPECT_TRUE(dialog->okButton()->hasFocus());
    drainEvents();
    EXPECT_TRUE(dialog->isVisible());

    // Only with the OK button focused does Enter end the dialog.
    QTest::keyClick(dialog->okButton(), Qt::Key_Return);
    drainEvents();
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), TBaseDialog::ResultOk);
}

TEST_F(BaseDialogTest, EscapeCommitsTheFieldThenEndsWithCancel) {
    make();
    test::showActive(dialog.get());
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    second->setFocus();
    second->selectAll();
    QTest::keyClicks(second, QStringLiteral("2,5"));
    QTest::keyClick(second, Qt::Key_Escape);
    EXPECT_DOUBLE_EQ(second->value(), 2.5);
    EXPECT_TRUE(dialog->okButton()->hasFocus());
    EXPECT_TRUE(dialog->isClosing());
    drainEvents();
    EXPECT_FALSE(dialog->isVisible());
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), TBaseDialog::ResultCancel);
    EXPECT_EQ(beeps, 0);

    // A refused value beeps, keeps the old one and the dialog still ends.
    make();
    test::showActive(dialog.get());
    first->selectAll();
    QTest::keyClicks(first, QStringLiteral("5000"));
    QTest::keyClick(first, Qt::Key_Escape);
    drainEvents();
    EXPECT_EQ(first->value(), 500);
    EXPECT_EQ(beeps, 1);
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(BaseDialogTest, WindowCloseCommitsFirst) {
    make();
    test::showActive(dialog.get());
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    QSignalSpy changed(third, &TEntryEdit::changed);
    third->setFocus();
    third->selectAll();
    QTest::keyClicks(third, QStringLiteral("-45"));
    dialog->close();
    // The first close request only moves the focus (committing the field).
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_DOUBLE_EQ(third->value(), -45.0);
    drainEvents();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(changed.count(), 1);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), TBaseDialog::ResultCancel);
}

TEST_F(BaseDialogTest, ModalExecReturnsResult) {
    make(QString(), TBaseDialog::Buttons(TBaseDialog::OkButton | TBaseDialog::CancelButton));
    QTimer::singleShot(0, dialog.get(), [this] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
    });
    EXPECT_EQ(dialog->exec(), TBaseDialog::ResultCancel);
    QTimer::singleShot(0, dialog.get(), [this] {
        EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        QTest::keyClick(first, Qt::Key_Return); // OK, but moves on: the OK button has no focus
        EXPECT_TRUE(dialog->isVisible());
        QTest::mouseClick(dialog->okButton(), Qt::LeftButton);
    });
    EXPECT_EQ(dialog->exec(), TBaseDialog::ResultOk);
}

TEST_F(BaseDialogTest, WithoutOkButtonEscapeMovesToNextField) {
    make(QString(), TBaseDialog::Buttons(TBaseDialog::HelpButton));
    test::showActive(dialog.get());
    EXPECT_FALSE(dialog->closesWithOk());
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_TRUE(second->hasFocus());
    QTest::keyClick(second, Qt::Key_Escape);
    EXPECT_TRUE(third->hasFocus());
    drainEvents();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(BaseDialogTest, HelpButtonCallsHookWithPathOnlyWithAFile) {
    QStringList opened;
    TBaseDialog::setHelpHook([&opened](const QString& path) { opened << path; });
    make(QStringLiteral("closed.txt"));
    test::showActive(dialog.get());
    EXPECT_TRUE(dialog->helpPath().endsWith(QStringLiteral("/help/closed.txt")));
    QTest::mouseClick(dialog->helpButton(), Qt::LeftButton);
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.front(), dialog->helpPath());
    EXPECT_TRUE(dialog->isVisible());

    // Without a help file the button does nothing.
    make(QString());
    test::showActive(dialog.get());
    EXPECT_TRUE(dialog->helpPath().isEmpty());
    QTest::mouseClick(dialog->helpButton(), Qt::LeftButton);
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(BaseDialogTest, ShrinkScrollsGrowIsLimited) {
    make();
    test::showActive(dialog.get());
    const QSize full = dialog->fullSize();
    ASSERT_TRUE(full.isValid());
    EXPECT_EQ(dialog->size(), full);
    EXPECT_FALSE(dialog->scrollArea()->verticalScrollBar()->isVisible());
    EXPECT_EQ(dialog->scrollArea()->verticalScrollBar()->singleStep(), TBaseDialog::kScrollStep);

    dialog->resize(full.width() / 2, full.height() / 2);
    drainEvents();
    EXPECT_TRUE(dialog->scrollArea()->verticalScrollBar()->isVisible());
    EXPECT_TRUE(dialog->scrollArea()->horizontalScrollBar()->isVisible());

    dialog->resize(full.width() * 2, full.height() * 2);
    drainEvents();
    EXPECT_LE(dialog->width(), full.width());
    EXPECT_LE(dialog->height(), full.height());
    EXPECT_FALSE(dialog->scrollArea()->verticalScrollBar()->isVisible());
}

} // namespace
} // namespace harlox
