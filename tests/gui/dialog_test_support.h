#pragma once

#include "box/port_object.h"
#include "core/format.h"
#include "core/measure_setup.h"
#include "gui/beep.h"
#include "gui/dbl_edit.h"
#include "gui_test_support.h"
#include "scripted_ui_host.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace harlox::test {

// A number as a field shows it.
inline QString shown(const char* format, double v) {
    return QString::fromStdString(strprintf(format, v));
}

// One typed edit of a table of edits.
struct Edit {
    QLineEdit* field;
    const char* text;
};

// The common ground of the dialog tests: a scripted host that records messages and holds
// the posted notifications, a beep counter, and the program-wide state back at its defaults.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setWarningBeepHook([this] { ++beeps; });
        sharedSetup().setValuesToDefaults();
        sharedSetup().setupChanged = 1;
        TPortObject::setNonLinear(false);
    }
    void TearDown() override {
        setWarningBeepHook({});
        TPortObject::setNonLinear(false);
        sharedSetup().setValuesToDefaults();
    }

    // Runs the fields' queued change notifications, then what the dialogs posted.
    void settle() {
        drainEvents();
        ui.runPosted();
        drainEvents();
    }
    // Replaces the field's text as the user would, presses Enter and lets the change run through.
    void enter(QLineEdit* field, const QString& text) {
        typeInto(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        settle();
    }
    void enter(const Edit& e) { enter(e.field, QString::fromLatin1(e.text)); }

    // A too high tuning, a too thin port and a too tight flare each need a negative length: each
    // is refused with its reason under the window's caption, and the field and the port stay.
    void expectPortRefusals(TDblEdit* tuning, TDblEdit* diameter, TDblEdit* flare, const TPortObject& port,
                            const char* caption) {
        const struct {
            TDblEdit* field;
            const char* text;
            const char* message;
        } cases[] = {
            {tuning, "1000", "Port length < 0"},
            {diameter, "1", "Portlength < 0"},
            {flare, "5", "Flare radius must be greater than half the port length"},
        };
        for (const auto& c : cases) {
            ui.messages.clear();
            const TPortObject before = port;
            const QString text = c.field->text();
            enter(c.field, QString::fromLatin1(c.text));
            ASSERT_EQ(ui.messages.size(), 1u) << c.text;
            EXPECT_EQ(ui.lastMessage().text, c.message);
            EXPECT_EQ(ui.lastMessage().caption, caption);
            EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
            EXPECT_EQ(c.field->text(), text);
            EXPECT_TRUE(port.L == before.L && port.D == before.D && port.fp == before.fp) << c.text;
        }
    }

    ScriptedUiHost ui;
    int beeps = 0;
};

// A project of the given type with the default driver, calculated and quiet again.
template <class Project> class ProjectTest : public DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        project = std::make_unique<Project>(ui);
        project->front().SetDefaultUnit();
        project->Calculate(0);
        ui.runPosted();
        ui.messages.clear();
    }
    std::unique_ptr<Project> project;
};

// That project with its input window shown.
template <class Project, class Dialog> class WindowTest : public ProjectTest<Project> {
protected:
    void SetUp() override {
        ProjectTest<Project>::SetUp();
        dialog = std::make_unique<Dialog>(nullptr, *this->project, this->ui);
        showActive(dialog.get());
    }
    std::unique_ptr<Dialog> dialog;
};

} // namespace harlox::test
