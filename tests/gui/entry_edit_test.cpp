#include "gui/dbl_edit.h"
#include "gui/long_edit.h"

#include "dialog_test_support.h"

#include <QInputMethodEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

namespace harlox {
namespace {

using test::drainEvents;

// A window with the fields under test and a plain edit to move the focus to.
class EntryEditTest : public test::DialogTest {
protected:
    template <class Field> Field* add(Field* f) {
        layout->addWidget(f);
        test::showActive(&window);
        return f;
    }
    // Types into the field (replacing its text) and leaves it.
    void type(QLineEdit* field, const QString& text) {
        test::typeInto(field, text);
        other->setFocus();
    }

    QWidget window;
    QVBoxLayout* layout = new QVBoxLayout(&window);
    QLineEdit* other = new QLineEdit(&window);
};

TEST_F(EntryEditTest, LeavingNotifiesQueuedARefusalBeepsAndShowsTheOldValue) {
    auto* f = add(new TLongEdit(&window, 117, "%d", 0, 1000, -1, 500, 10));
    QSignalSpy spy(f, &TEntryEdit::changed);
    type(f, QStringLiteral("4x.7 ")); // the foreign keys are dropped
    EXPECT_EQ(f->text(), QStringLiteral("50"));
    EXPECT_EQ(spy.count(), 0) << "queued: not during the focus change";
    drainEvents();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 117);

    type(f, QStringLiteral("1006"));
    EXPECT_EQ(f->text(), QStringLiteral("50"));
    EXPECT_EQ(beeps, 1);
    // Pasted or input-method text passes no key filter, so it is checked on leaving.
    f->setFocus();
    f->selectAll();
    QInputMethodEvent event;
    event.setCommitString(QStringLiteral("12ab"));
    QCoreApplication::sendEvent(f, &event);
    other->setFocus();
    EXPECT_EQ(f->value(), 50);
    EXPECT_EQ(beeps, 2);
    drainEvents();
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(EntryEditTest, ReadOnlyAndProgramSetFieldsDoNotNotify) {
    auto* f = add(new TDblEdit(&window, 111, "%2.1f", 0, 1000, -1, 100, false));
    f->setReadOnly(true);
    QSignalSpy spy(f, &TEntryEdit::changed);
    QTest::keyClick(f, Qt::Key_Up);
    type(f, QStringLiteral("5"));
    EXPECT_DOUBLE_EQ(f->value(), 100.0);
    f->setReadOnly(false);
    f->setValue(2.5);
    type(f, QString());
    drainEvents();
    EXPECT_EQ(spy.count() + beeps, 0);
}

TEST_F(EntryEditTest, ArrowKeysStepQueuedBeepAtTheLimitAndNotifyOnlyALivingField) {
    auto* f = add(new TLongEdit(&window, 110, "%d", 0, 300, -1, 250, 1));
    int received = 0;
    QObject::connect(f, &TEntryEdit::changed, &window, [&received](int) { ++received; });
    f->setFocus();
    QTest::keyClick(f, Qt::Key_Up);
    EXPECT_EQ(f->text(), QStringLiteral("275"));
    QTest::keyClick(f, Qt::Key_Up); // 302 would exceed 300
    EXPECT_EQ(f->value(), 275);
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(received, 0);
    drainEvents();
    EXPECT_EQ(received, 1);
    QTest::keyClick(f, Qt::Key_Down);
    delete f;
    drainEvents();
    EXPECT_EQ(received, 1);
}

} // namespace
} // namespace harlox
