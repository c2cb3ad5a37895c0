#pragma once

#include "box/port_object.h"
#include "core/measure_setup.h"
#include "gui/beep.h"
#include "gui_test_support.h"
#include "scripted_ui_host.h"

#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

namespace harlox::test {

// The common ground of the dialog tests: a scripted host that records messages and holds
// the posted notifications, a beep counter, and the program-wide state back at its defaults.
class DialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        setWarningBeepHook([this] { ++beeps; });
        MeasureSetup& s = sharedSetup();
        s.setValuesToDefaults();
        s.setupChanged = 1;
        TPortObject::setNonLinear(false);
    }
    void TearDown() override {
        setWarningBeepHook({});
        TPortObject::setNonLinear(false);
        sharedSetup().setValuesToDefaults();
    }

    // Replaces the field's text as the user would and presses Enter in it.
    static void typeAndEnter(QLineEdit* field, const QString& text) {
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, text);
        QTest::keyClick(field, Qt::Key_Return);
    }
    // Runs the fields' queued change notifications, then what the dialogs posted.
    void settle() {
        drainEvents();
        ui.runPosted();
        drainEvents();
    }

    ScriptedUiHost ui;
    int beeps = 0;
};

} // namespace harlox::test
