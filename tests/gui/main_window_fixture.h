#pragma once

#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "gui/main_window.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <QAction>
#include <QDialog>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace harlox::test {

// The desktop program's main window on a scripted host, its program and preferences folders
// a temporary folder holding the built-in unit as "unit.unt". Dialogs run modally end as
// answerDialog says (OK without it).
class MainWindowFixture : public ::testing::Test {
protected:
    void SetUp() override {
        oldProgramDirectory_ = programDirectory();
        setProgramDirectory(dir.path());
        setPreferencesDirectory(dir.path());
        sharedSetup().setValuesToDefaults();
        sharedSetup().setupChanged = 1;
        TSpkData unit;
        unit.SetDefault();
        ASSERT_TRUE(unit.Save(unitPath()));
        hooks.showStartDialog = false;
        hooks.execDialog = [this](QDialog& d) { return answerDialog ? answerDialog(d) : 1; };
        configureHooks();
        window = std::make_unique<TMainWindow>(host, hooks);
        window->show();
    }
    void TearDown() override {
        window.reset();
        setPreferencesDirectory("");
        setProgramDirectory(oldProgramDirectory_);
        sharedSetup().setValuesToDefaults();
    }
    // Further hooks, set before the window is made.
    virtual void configureHooks() {}

    [[nodiscard]] std::string unitPath() const { return dir.file("unit.unt"); }
    // The command's action is shown and enabled.
    [[nodiscard]] bool enabled(int id) const {
        const QAction* a = window->commandAction(id);
        return a && a->isVisible() && a->isEnabled();
    }

    TempDir dir;
    ScriptedUiHost host;
    MainWindowHooks hooks;
    std::function<int(QDialog&)> answerDialog;
    std::unique_ptr<TMainWindow> window;

private:
    std::string oldProgramDirectory_;
};

} // namespace harlox::test
