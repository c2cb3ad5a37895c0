#pragma once

#include "box/port_object.h"
#include "core/measure_setup.h"
#include "gui/beep.h"
#include "gui_test_support.h"
#include "scripted_ui_host.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace harlox::test {

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
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        settle();
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

} // namespace harlox::test
