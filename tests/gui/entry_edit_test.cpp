#include "gui/dbl_edit.h"
#include "gui/long_edit.h"

#include "gui/beep.h"
#include "gui_test_support.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace harlox {
namespace {

using test::drainEvents;

// A window with the fields under test and a plain edit to move the focus to.
class EntryEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        setWarningBeepHook([this] { ++beeps; });
        window = std::make_unique<QWidget>();
        layout = new QVBoxLayout(window.get());
    }
    void TearDown() override {
        window.reset();
        setWarningBeepHook({});
    }

    template <class Field> Field* add(Field* f) {
        layout->addWidget(f);
        return f;
    }
    void start() {
        other = new QLineEdit(window.get());
        layout->addWidget(other);
        test::showActive(window.get());
    }
    // Types into the field and leaves it.
    void type(QLineEdit* field, const QString& text, bool leave = true) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        if (leave) other->setFocus();
    }

    int beeps = 0;
    std::unique_ptr<QWidget> window;
    QVBoxLayout* layout = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(EntryEditTest, LongSnapsAndNotifiesQueuedARefusalBeepsAndShowsTheOldValue) {
    auto* f = add(new TLongEdit(window.get(), 117, "%d", 0, 1000, -1, 500, 10));
    start();
    QSignalSpy spy(f, &TEntryEdit::changed);
    type(f, QStringLiteral("47"));
    EXPECT_EQ(f->value(), 50);
    EXPECT_EQ(f->text(), QStringLiteral("50"));
    EXPECT_EQ(spy.count(), 0); // queued: not during the focus change
    drainEvents();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 117);
    EXPECT_EQ(beeps, 0);

    type(f, QStringLiteral("1006"));
    drainEvents();
    EXPECT_EQ(f->value(), 50);
    EXPECT_EQ(f->text(), QStringLiteral("50"));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(EntryEditTest, FilterDropsForeignKeys) {
    auto* l = add(new TLongEdit(window.get(), 101, "%d", 0, 1000, -1, 0, 1));
    auto* d = add(new TDblEdit(window.get(), 102, "%2.2f", 0, 100, -1, 1, false));
    auto* p = add(new TDblEdit(window.get(), 103, "%2.3f", 0, 20000, -1, 1, true));
    start();
    type(l, QStringLiteral("4x.7 "), false);
    EXPECT_EQ(l->text(), QStringLiteral("47"));
    type(d, QStringLiteral("3,3;a"), false);
    EXPECT_EQ(d->text(), QStringLiteral("3,3"));
    type(p, QStringLiteral("2000;0,7q"), false);
    EXPECT_EQ(p->text(), QStringLiteral("2000;0,7"));
    other->setFocus();
    EXPECT_EQ(l->value(), 47);
    EXPECT_DOUBLE_EQ(d->value(), 3.3);
    EXPECT_DOUBLE_EQ(p->value(), 2000.0);
    EXPECT_DOUBLE_EQ(p->secondValue(), 0.7);
    EXPECT_EQ(p->text(), QStringLiteral("2000.000;0.7"));
    EXPECT_EQ(beeps, 0);
}

// Text that arrives without key presses (paste, drop, input method) passes no filter; it is
// checked when the field is left.
void commitText(QLineEdit* field, const QString& text) {
    field->setFocus();
    field->selectAll();
    QInputMethodEvent event;
    event.setCommitString(text);
    QCoreApplication::sendEvent(field, &event);
}

TEST_F(EntryEditTest, UnfilteredTextIsReadOnLeaving) {
    auto* d = add(new TDblEdit(window.get(), 102, "%2.2f", 0, 100, -1, 50, false));
    auto* l = add(new TLongEdit(window.get(), 101, "%d", 0, 1000, -1, 5, 1));
    start();
    QSignalSpy spyD(d, &TEntryEdit::changed);
    QSignalSpy spyL(l, &TEntryEdit::changed);
    commitText(d, QStringLiteral("3.3.3"));
    ASSERT_EQ(d->text(), QStringLiteral("3.3.3"));
    other->setFocus();
    EXPECT_DOUBLE_EQ(d->value(), 50.0); // left as it was, without a beep
    EXPECT_EQ(d->text(), QStringLiteral("50.00"));
    EXPECT_EQ(beeps, 0);

    commitText(d, QStringLiteral("7.5"));
    other->setFocus();
    EXPECT_DOUBLE_EQ(d->value(), 7.5);

    commitText(l, QStringLiteral("12ab"));
    other->setFocus();
    EXPECT_EQ(l->value(), 5);
    EXPECT_EQ(beeps, 1);
    drainEvents();
    EXPECT_EQ(spyD.count(), 2); // edits without key presses still count as changes
    EXPECT_EQ(spyL.count(), 0);
}

TEST_F(EntryEditTest, ArrowKeysStepClampAndBeep) {
    auto* f = add(new TLongEdit(window.get(), 110, "%d", 0, 300, -1, 250, 1));
    auto* d = add(new TDblEdit(window.get(), 111, "%2.1f", 96, 104, -1, 100, false));
    start();
    QSignalSpy spy(f, &TEntryEdit::changed);
    f->setFocus();
    QTest::keyClick(f, Qt::Key_Up);
    EXPECT_EQ(f->value(), 275);
    EXPECT_EQ(f->text(), QStringLiteral("275"));
    EXPECT_EQ(spy.count(), 0);
    drainEvents();
    EXPECT_EQ(spy.count(), 1);
    QTest::keyClick(f, Qt::Key_Up); // 302 would exceed 300
    EXPECT_EQ(f->value(), 275);
    EXPECT_EQ(beeps, 1);
    QTest::keyClick(f, Qt::Key_Down);
    EXPECT_EQ(f->value(), 248);
    drainEvents();
    EXPECT_EQ(spy.count(), 2);

    QSignalSpy spyD(d, &TEntryEdit::changed);
    d->setFocus();
    QTest::keyClick(d, Qt::Key_Up);
    EXPECT_DOUBLE_EQ(d->value(), 104.0);
    EXPECT_EQ(d->text(), QStringLiteral("104.0"));
    EXPECT_EQ(beeps, 2);
    drainEvents();
    EXPECT_EQ(spyD.count(), 1); // a clamped step still sets the value
}

TEST_F(EntryEditTest, ReadOnlyAndUntouchedUndefinedFieldsStayAsTheyAre) {
    auto* f = add(new TDblEdit(window.get(), 111, "%2.1f", 0, 1000, -1, 100, false));
    auto* u = add(new TDblEdit(window.get(), 105, "%2.2f", 0, 100, -1, -1, false));
    f->setReadOnly(true);
    start();
    QSignalSpy spy(f, &TEntryEdit::changed);
    QSignalSpy spyU(u, &TEntryEdit::changed);
    f->setFocus();
    QTest::keyClick(f, Qt::Key_Up);
    QTest::keyClicks(f, QStringLiteral("5"));
    EXPECT_EQ(u->text(), QStringLiteral("undef."));
    u->setFocus();
    other->setFocus();
    drainEvents();
    EXPECT_TRUE(f->isReadOnly());
    EXPECT_DOUBLE_EQ(f->value(), 100.0);
    EXPECT_EQ(u->text(), QStringLiteral("undef."));
    EXPECT_DOUBLE_EQ(u->value(), -1.0);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(spyU.count(), 0);
    EXPECT_EQ(beeps, 0);
}

TEST_F(EntryEditTest, ProgramValuesDoNotNotify) {
    auto* d = add(new TDblEdit(window.get(), 105, "%2.3f", 0, 100, -1, 1, true));
    auto* l = add(new TLongEdit(window.get(), 106, "%d", 0, 100, -1, 1, 1));
    start();
    QSignalSpy spyD(d, &TEntryEdit::changed);
    QSignalSpy spyL(l, &TEntryEdit::changed);
    d->setValue(2.5);
    d->setSecondValue(0.7);
    l->setValue(42);
    d->setFocus();
    l->setFocus();
    other->setFocus();
    drainEvents();
    EXPECT_EQ(d->text(), QStringLiteral("2.500;0.7"));
    EXPECT_EQ(l->text(), QStringLiteral("42"));
    EXPECT_EQ(spyD.count(), 0);
    EXPECT_EQ(spyL.count(), 0);
    d->setFormat("%2.1f");
    EXPECT_EQ(d->text(), QStringLiteral("2.5;0.7"));
}

TEST_F(EntryEditTest, NotificationDroppedWithTheField) {
    auto* f = add(new TLongEdit(window.get(), 117, "%d", 0, 1000, -1, 500, 1));
    start();
    int received = 0;
    QObject::connect(f, &TEntryEdit::changed, window.get(), [&received](int) { ++received; });
    f->setFocus();
    QTest::keyClick(f, Qt::Key_Up);
    delete f;
    drainEvents();
    EXPECT_EQ(received, 0);
}

} // namespace
} // namespace harlox
