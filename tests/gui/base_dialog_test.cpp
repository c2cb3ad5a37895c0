#include "gui/base_dialog.h"

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

namespace harlox {
namespace {

using test::drainEvents;

class BaseDialogTest : public ::testing::Test {
protected:
    void TearDown() override { TBaseDialog::setHelpHook({}); }

    // A dialog with three fields, shown unless it is to run modal.
    void make(const QString& helpFile = QStringLiteral("closed.txt"),
              TBaseDialog::Buttons buttons = TBaseDialog::OkButton | TBaseDialog::HelpButton,
              bool show = true) {
        dialog = std::make_unique<TBaseDialog>(nullptr, helpFile, buttons);
        auto* layout = new QVBoxLayout(dialog->content());
        layout->addWidget(first = new TLongEdit(dialog->content(), 101, "%d", 0, 1000, -1, 500, 10));
        layout->addWidget(second = new TDblEdit(dialog->content(), 102, "%2.2f", 0, 100, -1, 10, false));
        layout->addWidget(third = new TDblEdit(dialog->content(), 103, "%2.1f", -90, 90, -1, 0, false));
        finished = std::make_unique<QSignalSpy>(dialog.get(), &QDialog::finished);
        if (show) test::showActive(dialog.get());
    }
    // Types into a field without leaving it.
    static void type(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
    }
    // The one result the dialog ended with, -1 while it has not ended.
    int result() const { return finished->size() == 1 ? finished->at(0).at(0).toInt() : -1; }

    std::unique_ptr<TBaseDialog> dialog;
    std::unique_ptr<QSignalSpy> finished;
    TLongEdit* first = nullptr;
    TDblEdit* second = nullptr;
    TDblEdit* third = nullptr;
};

TEST_F(BaseDialogTest, EnterStepsThroughFieldsAndEndsOnlyOnTheOkButton) {
    make();
    EXPECT_TRUE(first->hasFocus());
    type(first, QStringLiteral("47"));
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_TRUE(second->hasFocus());
    EXPECT_EQ(first->value(), 50);
    QTest::keyClick(second, Qt::Key_Enter);
    QTest::keyClick(third, Qt::Key_Return);
    EXPECT_TRUE(dialog->okButton()->hasFocus());
    drainEvents();
    EXPECT_EQ(result(), -1);

    QTest::keyClick(dialog->okButton(), Qt::Key_Return);
    drainEvents();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(result(), TBaseDialog::ResultOk);
}

TEST_F(BaseDialogTest, EscapeAndWindowCloseCommitTheFieldThenEndWithCancel) {
    make();
    type(second, QStringLiteral("2,5"));
    QTest::keyClick(second, Qt::Key_Escape);
    EXPECT_DOUBLE_EQ(second->value(), 2.5);
    drainEvents();
    EXPECT_EQ(result(), TBaseDialog::ResultCancel);

    // The first close request only moves the focus, committing the field.
    make();
    type(third, QStringLiteral("-45"));
    dialog->close();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_DOUBLE_EQ(third->value(), -45.0);
    drainEvents();
    EXPECT_EQ(result(), TBaseDialog::ResultCancel);
}

TEST_F(BaseDialogTest, ModalExecReturnsResult) {
    make(QString(), TBaseDialog::OkButton | TBaseDialog::CancelButton, false);
    for (const int expected : {TBaseDialog::ResultCancel, TBaseDialog::ResultOk}) {
        QPushButton* button = expected == TBaseDialog::ResultOk ? dialog->okButton() : dialog->cancelButton();
        QTimer::singleShot(0, dialog.get(), [this, button] {
            EXPECT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
            QTest::mouseClick(button, Qt::LeftButton);
        });
        EXPECT_EQ(dialog->exec(), expected);
    }
}

TEST_F(BaseDialogTest, WithoutOkButtonEscapeMovesToTheNextFieldAndEnds) {
    make(QString(), TBaseDialog::HelpButton);
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_TRUE(second->hasFocus());
    drainEvents();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(BaseDialogTest, HelpButtonOpensTheHelpFileOnlyWhenThereIsOne) {
    QStringList opened;
    TBaseDialog::setHelpHook([&opened](const QString& path) { opened << path; });
    make();
    EXPECT_TRUE(dialog->helpPath().endsWith(QStringLiteral("/help/closed.txt")));
    QTest::mouseClick(dialog->helpButton(), Qt::LeftButton);
    EXPECT_EQ(opened, QStringList{dialog->helpPath()});
    EXPECT_TRUE(dialog->isVisible());

    make(QString());
    QTest::mouseClick(dialog->helpButton(), Qt::LeftButton);
    EXPECT_EQ(opened.size(), 1);
}

TEST_F(BaseDialogTest, ShrinkingScrollsAndGrowingStopsAtTheFullSize) {
    make();
    const QSize full = dialog->fullSize();
    EXPECT_EQ(dialog->size(), full);
    const QScrollBar* bar = dialog->scrollArea()->verticalScrollBar();
    EXPECT_EQ(bar->singleStep(), TBaseDialog::kScrollStep);
    dialog->resize(full / 2);
    drainEvents();
    EXPECT_TRUE(bar->isVisible());
    dialog->resize(full * 2);
    drainEvents();
    EXPECT_LE(dialog->width(), full.width());
    EXPECT_LE(dialog->height(), full.height());
    EXPECT_FALSE(bar->isVisible());
}

} // namespace
} // namespace harlox
