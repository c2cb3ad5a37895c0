#include "gui/base_dialog.h"

#include "gui/dbl_edit.h"
#include "gui/long_edit.h"
#include "gui_test_support.h"

#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

namespace harlox {
namespace {

using test::drainEvents;

class BaseDialogTest : public ::testing::Test {
protected:
    // A dialog with three fields, shown.
    void make(const QString& helpFile,
              TBaseDialog::Buttons buttons = TBaseDialog::OkButton | TBaseDialog::HelpButton) {
        dialog = std::make_unique<TBaseDialog>(nullptr, helpFile, buttons);
        auto* layout = new QVBoxLayout(dialog->content());
        layout->addWidget(first = new TLongEdit(dialog->content(), 101, "%d", 0, 1000, -1, 500, 10));
        layout->addWidget(second = new TDblEdit(dialog->content(), 102, "%2.2f", 0, 100, -1, 10, false));
        layout->addWidget(third = new TDblEdit(dialog->content(), 103, "%2.1f", -90, 90, -1, 0, false));
        test::showActive(dialog.get());
    }
    std::unique_ptr<TBaseDialog> dialog;
    TLongEdit* first = nullptr;
    TDblEdit* second = nullptr;
    TDblEdit* third = nullptr;
};

TEST_F(BaseDialogTest, EnterStepsThroughFieldsAndEndsOnlyOnTheOkButton) {
    make(QString());
    EXPECT_TRUE(first->hasFocus());
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_TRUE(second->hasFocus());
    QTest::keyClick(second, Qt::Key_Enter);
    QTest::keyClick(third, Qt::Key_Return);
    EXPECT_TRUE(dialog->okButton()->hasFocus());
    drainEvents();
    EXPECT_EQ(dialog->result(), 0) << "not ended";

    QTest::keyClick(dialog->okButton(), Qt::Key_Return);
    drainEvents();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), TBaseDialog::ResultOk);
}

TEST_F(BaseDialogTest, EscapeAndWindowCloseCommitTheFieldThenEndWithCancel) {
    make(QString());
    QTest::keyClick(first, Qt::Key_Return); // only moves on: Escape still cancels
    test::typeInto(second, QStringLiteral("2,5"));
    QTest::keyClick(second, Qt::Key_Escape);
    EXPECT_DOUBLE_EQ(second->value(), 2.5);
    drainEvents();
    EXPECT_EQ(dialog->result(), TBaseDialog::ResultCancel);

    // The first close request only moves the focus, committing the field.
    make(QString());
    test::typeInto(third, QStringLiteral("-45"));
    dialog->close();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_DOUBLE_EQ(third->value(), -45.0);
    drainEvents();
    EXPECT_EQ(dialog->result(), TBaseDialog::ResultCancel);

    // Without an OK button Escape moves on to the next field to commit.
    make(QString(), TBaseDialog::HelpButton);
    QTest::keyClick(first, Qt::Key_Escape);
    EXPECT_TRUE(second->hasFocus());
    drainEvents();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(BaseDialogTest, HelpButtonOpensTheDialogsHelpFile) {
    QStringList opened;
    TBaseDialog::setHelpHook([&opened](const QString& path) { opened << path; });
    make(QStringLiteral("closed.txt"));
    QTest::mouseClick(dialog->helpButton(), Qt::LeftButton);
    TBaseDialog::setHelpHook({});
    ASSERT_EQ(opened.size(), 1);
    EXPECT_TRUE(opened[0].endsWith(QStringLiteral("/help/closed.txt")));
}

} // namespace
} // namespace harlox
