#include "gui/dbl_edit.h"
#include "gui/long_edit.h"

#include "gui/beep.h"
#include "gui_test_support.h"

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
class EntryEditTest : public ::testing::Test {
protected:
    void SetUp() override {
        setWarningBeepHook([this] { ++beeps; });
    }
    void TearDown() override { setWarningBeepHook({}); }

    template <class Field> Field* add(Field* f) {
        layout->addWidget(f);
        return f;
    }
    // Types into the field (replacing its text) and optionally leaves it.
    void type(QLineEdit* field, const QString& text, bool leave = true) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        if (leave) other->setFocus();
    }

    int beeps = 0;
    QWidget window;
    QVBoxLayout* layout = new QVBoxLayout(&window);
    QLineEdit* other = new QLineEdit(&window);
};

TEST_F(EntryEditTest, LeavingSnapsAndNotifiesQueuedARefusalBeepsAndShowsTheOldValue) {
    auto* f = add(new TLongEdit(&window, 117, "%d", 0, 1000, -1, 500, 10));
    test::showActive(&window);
    QSignalSpy spy(f, &TEntryEdit::changed);
    type(f, QStringLiteral("47"));
    EXPECT_EQ(f->text(), QStringLiteral("50"));
    EXPECT_EQ(spy.count(), 0) << "queued: not during the focus change";
    drainEvents();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toInt(), 117);

    type(f, QStringLiteral("1006"));
    drainEvents();
    EXPECT_EQ(f->text(), QStringLiteral("50"));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(EntryEditTest, TypingDropsForeignKeysButUnfilteredTextIsCheckedOnLeaving) {
    auto* l = add(new TLongEdit(&window, 101, "%d", 0, 1000, -1, 5, 1));
    auto* p = add(new TDblEdit(&window, 103, "%2.3f", 0, 20000, -1, 1, true));
    test::showActive(&window);
    QSignalSpy spy(l, &TEntryEdit::changed);
    type(l, QStringLiteral("4x.7 "), false);
    EXPECT_EQ(l->text(), QStringLiteral("47"));
    type(p, QStringLiteral("2000;0,7q"));
    EXPECT_EQ(p->text(), QStringLiteral("2000.000;0.7"));
    EXPECT_EQ(beeps, 0);

    // Pasted or input-method text passes no key filter.
    l->setFocus();
    l->selectAll();
    QInputMethodEvent event;
    event.setCommitString(QStringLiteral("12ab"));
    QCoreApplication::sendEvent(l, &event);
    other->setFocus();
    EXPECT_EQ(l->value(), 47);
    EXPECT_EQ(beeps, 1);
    drainEvents();
    EXPECT_EQ(spy.count(), 1) << "the typed number only";
}

TEST_F(EntryEditTest, ReadOnlyAndProgramSetFieldsDoNotNotify) {
    auto* r = add(new TDblEdit(&window, 111, "%2.1f", 0, 1000, -1, 100, false));
    auto* p = add(new TDblEdit(&window, 106, "%2.3f", 0, 100, -1, 1, true));
    r->setReadOnly(true);
    test::showActive(&window);
    QSignalSpy spyR(r, &TEntryEdit::changed);
    QSignalSpy spyP(p, &TEntryEdit::changed);
    r->setFocus();
    QTest::keyClick(r, Qt::Key_Up);
    QTest::keyClicks(r, QStringLiteral("5"));
    p->setValue(2.5);
    p->setSecondValue(0.7);
    p->setFocus();
    other->setFocus();
    drainEvents();
    EXPECT_DOUBLE_EQ(r->value(), 100.0);
    EXPECT_EQ(p->text(), QStringLiteral("2.500;0.7"));
    EXPECT_EQ(spyR.count() + spyP.count(), 0);
    EXPECT_EQ(beeps, 0);
}

TEST_F(EntryEditTest, ArrowKeysStepQueuedBeepAtTheLimitAndNotifyOnlyALivingField) {
    auto* f = add(new TLongEdit(&window, 110, "%d", 0, 300, -1, 250, 1));
    test::showActive(&window);
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
