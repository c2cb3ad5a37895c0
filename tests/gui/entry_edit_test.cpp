#include "gui/dbl_edit.h"
#include "gui/form_rows.h"
#include "gui/long_edit.h"

#include "dialog_test_support.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
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

// A refusal still beeps and keeps the old value; the reason goes to the hook the main
// window shows in its status bar, named by the row's label or the buddy label.
TEST_F(EntryEditTest, FieldsTellTheirRangeAndWhyAValueWasRefused) {
    QStringList reasons;
    TEntryEdit::setRefusalHook([&reasons](const QString& r) { reasons << r; });
    auto* group = new QGroupBox(&window);
    layout->addWidget(group);
    QGridLayout* grid = formGrid(group, QStringLiteral("cm"));
    auto* volume = new TDblEdit(group, 1, "%2.1f", 0.1, 10000.0, -1.0, 10.0);
    addFormRow(grid, QStringLiteral("Box &volume:"), volume, QStringLiteral("l"), QStringLiteral("00000.0"));
    auto* ports = add(new TLongEdit(&window, 2, "%d", 1, 10, -1, 10, 1));
    auto* buddy = new QLabel(QStringLiteral("&Number of ports"), &window);
    buddy->setBuddy(ports);
    auto* paired = add(new TDblEdit(&window, 3, "%3.0f", 20.0, 20000.0, -1.0, 100.0, true));
    paired->setDescription(QStringLiteral("Cut-off"), QStringLiteral("Hz"));

    EXPECT_EQ(volume->toolTip(), QStringLiteral("Box volume: 0.1 to 10000 l (1 decimal)"));
    EXPECT_EQ(ports->toolTip(), QStringLiteral("1 to 10"));
    volume->setMaximum(500.0);
    EXPECT_EQ(volume->toolTip(), QStringLiteral("Box volume: 0.1 to 500 l (1 decimal)"));
    volume->setToolTip(QStringLiteral("own"));
    volume->setMaximum(10000.0);
    EXPECT_EQ(volume->toolTip(), QStringLiteral("own")) << "a tooltip of the owner's stays";

    const struct {
        TEntryEdit* field;
        const char* typed;
        const char* reason;
    } cases[] = {
        {volume, "20000", "Box volume must lie between 0.1 and 10000 l"},
        {volume, "0,05", "Box volume must lie between 0.1 and 10000 l"},
        {volume, "abc", "Box volume must be a number between 0.1 and 10000 l"},
        {ports, "x", "Number of ports must be a whole number between 1 and 10"},
        {paired, "10;0.5", "Cut-off must lie between 20 and 20000 Hz"},
        {paired, "100;20", "The Q after the ';' must be a number between 0.1 and 9.9"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.field->refusalText(QString::fromLatin1(c.typed)), QString::fromLatin1(c.reason)) << c.typed;

    type(volume, QStringLiteral("20000"));
    EXPECT_EQ(volume->text(), QStringLiteral("10.0"));
    EXPECT_EQ(beeps, 1);
    // Stepping past the end of the range is stopped with the same explanation.
    ports->setFocus();
    QTest::keyClick(ports, Qt::Key_Up);
    EXPECT_EQ(beeps, 2);
    type(volume, QStringLiteral("25"));
    EXPECT_EQ(reasons, (QStringList{QStringLiteral("Box volume must lie between 0.1 and 10000 l"),
                                    QStringLiteral("Number of ports must lie between 1 and 10")}));
    TEntryEdit::setRefusalHook({});
}

} // namespace
} // namespace harlox
