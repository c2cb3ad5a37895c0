#include "gui/main_window.h"

#include "app/app_config.h"
#include "app/command_table.h"
#include "box/bass_reflex_box.h"
#include "box/box_embryo.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "core/binary_io.h"
#include "core/command_ids.h"
#include "core/diagram_model.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "output/curve_writer.h"
#include "gui/box_project_windows.h"
#include "gui/dbl_edit.h"
#include "gui/diagram_view.h"
#include "gui/info_win.h"
#include "gui/input_dialog.h"
#include "gui/load_driver_unit_info_d.h"
#include "gui/print_diagrams_dialog.h"
#include "gui/start_dialog.h"
#include "gui/yankee.h"
#include "gui_test_support.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

using test::drainEvents;
using test::ScriptedUiHost;
using test::TempDir;

constexpr const char* kSaveQuestion = "Project has been changed.\r\nSave project ?";

std::vector<std::uint8_t> int32Bytes(std::int32_t v) {
    BinaryWriter w;
    w.i32(v);
    return w.take();
}

// Pages of a PDF written by QPrinter.
int pdfPageCount(const std::string& path) {
    const std::vector<std::uint8_t> bytes = test::readAll(path);
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<qsizetype>(bytes.size()));
    return static_cast<int>(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))));
}

// The menu bar as it is shown: visible items only, with their enabled state.
MenuBar shownMenus(const QList<QAction*>& actions) {
    MenuBar bar;
    for (const QAction* a : actions) {
        if (!a->isVisible() || a->isSeparator()) continue;
        if (a->menu()) {
            bar.push_back(MenuNode{a->text().toStdString(), 0, true, shownMenus(a->menu()->actions())});
        } else {
            bar.push_back(MenuNode{a->text().toStdString(), a->data().toInt(), a->isEnabled(), {}});
        }
    }
    return bar;
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        oldProgramDirectory = programDirectory();
        setProgramDirectory(dir.path());
        setPreferencesDirectory(dir.path());
        sharedSetup().setValuesToDefaults();
        sharedSetup().setupChanged = 1;
        hooks.showStartDialog = false;
        hooks.execDialog = [this](QDialog& d) {
            dialogs.emplace_back(d.metaObject()->className());
            return answerDialog ? answerDialog(d) : 1;
        };
        hooks.choosePrinter = [this](QPrinter& p) {
            if (pdfPath.empty()) return false;
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(QString::fromStdString(pdfPath));
            return true;
        };
        hooks.startDetached = [this](const QString& program) {
            started.push_back(program);
            return true;
        };
        hooks.showTextFile = [this](const QString& path) { textFiles.push_back(path); };
        window = std::make_unique<TMainWindow>(host, hooks);
        window->show();
    }
    void TearDown() override {
        window.reset();
        setPreferencesDirectory("");
        setProgramDirectory(oldProgramDirectory);
    }

    std::string writeUnit() {
        TSpkData unit;
        unit.SetDefault();
        const std::string path = dir.file("unit.unt");
        EXPECT_TRUE(unit.Save(path));
        return path;
    }
    // New > Box with the built-in unit, calculated.
    TBoxEmbryo& newProjectWithUnit(int command) {
        host.files.push_back(writeUnit());
        window->runCommand(command);
        host.runPosted();
        EXPECT_NE(window->boxProject(), nullptr);
        return *window->boxProject();
    }
    std::string writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = dir.file(name);
        test::writeAll(path, bytes);
        return path;
    }
    void activate(QWidget* content) {
        QMdiSubWindow* sub = window->projectWindows()->subWindowOf(content);
        ASSERT_NE(sub, nullptr);
        window->mdiArea()->setActiveSubWindow(sub);
        ASSERT_EQ(window->mdiArea()->currentSubWindow(), sub);
    }
    int count(const char* dialogClass) const {
        return static_cast<int>(std::count(dialogs.begin(), dialogs.end(), std::string(dialogClass)));
    }
    bool enabled(int id) const {
        const QAction* a = window->commandAction(id);
        return a && a->isVisible() && a->isEnabled();
    }

    std::string oldProgramDirectory;
    TempDir dir;
    ScriptedUiHost host;
    MainWindowHooks hooks;
    std::function<int(QDialog&)> answerDialog;
    std::vector<std::string> dialogs;
    std::vector<QString> started;
    std::vector<QString> textFiles;
    std::string pdfPath;
    std::unique_ptr<TMainWindow> window;
};

// ---- menus -------------------------------------------------------------------------------

TEST_F(MainWindowTest, MenusFollowTheCommandTableAndTheCommandStates) {
    const auto check = [&](MenuSetKind kind, CommandNeeds open) {
        ASSERT_EQ(window->menuSetKind(), kind);
        const MenuBar shown = shownMenus(window->menuBar()->actions());
        const MenuBar expected = applyCommandStates(menuSet(kind), window->commandStates());
        // Same items in the same places; an item is enabled when its state and the program allow.
        const std::vector<int> ids = menuCommandIds(shown);
        ASSERT_EQ(ids, menuCommandIds(expected));
        for (const int id : ids) {
            const CommandInfo* c = findCommand(id);
            ASSERT_NE(c, nullptr) << id;
            EXPECT_TRUE(commandAvailable(*c, open)) << "command " << id << " offered without its project";
            EXPECT_EQ(findMenuItem(shown, id)->enabled,
                      findMenuItem(expected, id)->enabled && window->commandImplemented(id))
                << id;
            EXPECT_EQ(findMenuItem(shown, id)->text, findMenuItem(expected, id)->text) << id;
        }
    };
    check(MenuSetKind::Start, CommandNeeds::Nothing);
    EXPECT_EQ(window->commandAction(cmd::Calculate), nullptr);

    host.files.push_back(std::nullopt); // no unit yet
    window->runCommand(cmd::NewClosed);
    check(MenuSetKind::Box, CommandNeeds::BoxProject);
    EXPECT_FALSE(enabled(cmd::Calculate));
    EXPECT_FALSE(enabled(cmd::ExportSpl));
    EXPECT_FALSE(window->commandAction(cmd::ExportSplWaveModes)->isVisible());

    host.files.push_back(writeUnit());
    window->runCommand(cmd::DriverLoad);
    host.runPosted();
    check(MenuSetKind::Box, CommandNeeds::BoxProject);
    for (const int id : {cmd::Calculate, cmd::ExportSpl, cmd::ExportImpedance, cmd::ExportGroupDelay,
                         cmd::PrintDiagrams, cmd::PrintWindow, cmd::CopyWindow, cmd::UserNote, cmd::Box})
        EXPECT_TRUE(enabled(id)) << id;
    // Only the closed and bass reflex boxes can be made.
    EXPECT_TRUE(enabled(cmd::NewClosed));
    EXPECT_TRUE(enabled(cmd::NewBassReflex));
    for (const int id : {cmd::NewBandpass1, cmd::NewPassiveRadiator, cmd::NewSimple2Way, cmd::NewActive4Way})
        EXPECT_FALSE(enabled(id)) << id;

    window->closeProject();
    check(MenuSetKind::Start, CommandNeeds::Nothing);
}

TEST_F(MainWindowTest, GreyedAndForeignCommandsDoNothing) {
    // Project commands without a project, and a New entry that cannot be made.
    host.files.push_back(writeUnit());
    for (const int id : {cmd::Calculate, cmd::ExportSpl, cmd::PrintDiagrams, cmd::NewBandpass2, cmd::General})
        window->runCommand(id);
    EXPECT_EQ(window->boxProject(), nullptr);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_TRUE(host.fileRequests.empty());
}

// ---- New -------------------------------------------------------------------------------------

TEST_F(MainWindowTest, NewClosedBoxShowsTheNoticeLoadsTheUnitAndFillsTheDiagrams) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    EXPECT_EQ(box.typeCode(), TClosedBox::kTypeCode);
    EXPECT_EQ(count("harlox::TLoadDriverUnitInfoD"), 1);
    ASSERT_EQ(host.fileRequests.size(), 1u);
    EXPECT_EQ(host.fileRequests[0].filter, TBoxEmbryo::kUnitFilter);
    EXPECT_TRUE(host.messages.empty()) << host.lastMessage().text;
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Closed box"));

    BoxProjectWindows* w = window->projectWindows();
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(w->views().size(), 4u);
    std::vector<std::string> titles;
    for (const DiagramView* v : w->views()) {
        titles.push_back(v->model()->title());
        EXPECT_EQ(v->model()->pointCount(), 50) << v->model()->title();
        EXPECT_TRUE(v->model()->xRange().valid);
        EXPECT_TRUE(v->model()->yRange().valid) << v->model()->title();
        EXPECT_TRUE(w->subWindowOf(v)->isVisible());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Free air SPL at 1m distance", "Impedance", "Cone excursion",
                                                "Group delay"}));
    EXPECT_TRUE(w->dataSheet()->contents().startsWith(QStringLiteral("CLOSED BOX\n")));
    EXPECT_EQ(w->dataSheet()->contents(), QString::fromStdString(box.dataSheetText("\n")));
}

TEST_F(MainWindowTest, BassReflexAddsTheAirSpeedWindow) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewBassReflex);
    EXPECT_EQ(box.typeCode(), TBassReflexBox::kTypeCode);
    ASSERT_EQ(window->projectWindows()->views().size(), 5u);
    const DiagramModel* air = window->projectWindows()->views().back()->model();
    EXPECT_EQ(air->title(), "Airspeed in port");
    EXPECT_EQ(air->pointCount(), 50);
}

TEST_F(MainWindowTest, NoticeFlagFollowsTheCheckBoxOnOkOnly) {
    // Esc leaves the flag alone.
    answerDialog = [](QDialog& d) {
        if (auto* n = qobject_cast<TLoadDriverUnitInfoD*>(&d)) n->dontShowBox()->setChecked(true);
        return TBaseDialog::ResultCancel;
    };
    window->runCommand(cmd::NewClosed);
    EXPECT_TRUE(window->showLoadDriverNotice());
    // OK with the box checked turns it off; the next project comes without the notice.
    answerDialog = [](QDialog& d) {
        if (auto* n = qobject_cast<TLoadDriverUnitInfoD*>(&d)) n->dontShowBox()->setChecked(true);
        return TBaseDialog::ResultOk;
    };
    host.answers.push_back(MessageResult::No); // the new empty project counts as changed
    window->runCommand(cmd::NewClosed);
    EXPECT_FALSE(window->showLoadDriverNotice());
    host.answers.push_back(MessageResult::No);
    window->runCommand(cmd::NewBassReflex);
    EXPECT_EQ(count("harlox::TLoadDriverUnitInfoD"), 2);
    // The unit selector comes every time.
    EXPECT_EQ(host.fileRequests.size(), 3u);
    EXPECT_EQ(window->boxProject()->typeCode(), TBassReflexBox::kTypeCode);
}

TEST_F(MainWindowTest, EditingTheBoxVolumeRecalculates) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    const double before = box.SPL[0];
    const QString sheetBefore = window->projectWindows()->dataSheet()->contents();
    box.setVb(box.boxElement()->Vb * 4.0);
    window->postProjectChanged(0);
    EXPECT_EQ(box.SPL[0], before); // queued
    host.runPosted();
    EXPECT_GT(box.SPL[0], before + 0.5); // more volume, more bass
    EXPECT_NE(window->projectWindows()->dataSheet()->contents(), sheetBefore);
    EXPECT_TRUE(box.isChanged());

    // The calculation request runs the calculation as the command does.
    box.setVb(box.boxElement()->Vb / 4.0);
    window->postCalculationRequest();
    host.runPosted();
    EXPECT_DOUBLE_EQ(box.SPL[0], before);
    EXPECT_EQ(window->projectWindows()->dataSheet()->contents(), sheetBefore);
}

TEST_F(MainWindowTest, CancelInTheSaveQuestionKeepsTheProject) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    ASSERT_TRUE(box.isChanged());
    host.answers.push_back(MessageResult::Cancel);
    window->runCommand(cmd::NewBassReflex);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.lastMessage().caption, "Box project");
    EXPECT_EQ(host.lastMessage().text, kSaveQuestion);
    EXPECT_EQ(host.lastMessage().icon, MessageIcon::Question);
    EXPECT_EQ(host.lastMessage().buttons, MessageButtons::YesNoCancel);
    EXPECT_EQ(window->boxProject(), &box);
    EXPECT_EQ(window->projectWindows()->views().size(), 4u);

    // Open asks the same way.
    host.answers.push_back(MessageResult::Cancel);
    window->runCommand(cmd::Open);
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.fileRequests.size(), 1u); // the unit only: no project selector
    EXPECT_EQ(window->boxProject(), &box);

    // No drops it.
    host.answers.push_back(MessageResult::No);
    window->runCommand(cmd::NewBassReflex);
    ASSERT_NE(window->boxProject(), nullptr);
    EXPECT_EQ(window->boxProject()->typeCode(), TBassReflexBox::kTypeCode);
}

TEST_F(MainWindowTest, ExitWritesTheConfigurationThenAsks) {
    newProjectWithUnit(cmd::NewClosed);
    window->setShowLoadDriverNotice(false);
    host.answers.push_back(MessageResult::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_EQ(host.lastMessage().text, kSaveQuestion);
    EXPECT_NE(window->boxProject(), nullptr);
    // Written before the question, so it is there although the program goes on.
    const std::vector<std::uint8_t> cfg = test::readAll(dir.file("harlox.cfg"));
    EXPECT_EQ(cfg, serializeAppConfig(window->outerRect(), false));

    host.answers.push_back(MessageResult::No);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->boxProject(), nullptr);
}

// ---- Open ------------------------------------------------------------------------------------

class OpenShortFileTest : public MainWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(OpenShortFileTest, KeepsTheOpenProject) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    const std::vector<std::uint8_t> bytes(static_cast<std::size_t>(GetParam()), 0);
    const std::string path = writeFile("short.box", bytes);
    host.answers.push_back(MessageResult::No);
    host.files.push_back(path);
    window->runCommand(cmd::Open);
    EXPECT_EQ(host.fileRequests.back().filter, TBoxEmbryo::kProjectFilter);
    ASSERT_FALSE(host.messages.empty());
    EXPECT_EQ(host.lastMessage().caption, "Box project");
    EXPECT_EQ(host.lastMessage().text, "Could not read project.\nThe project file is corrupt.");
    EXPECT_EQ(host.lastMessage().icon, MessageIcon::Exclamation);
    EXPECT_EQ(window->boxProject(), &box);
    EXPECT_EQ(window->menuSetKind(), MenuSetKind::Box);
    EXPECT_EQ(window->openFileData().rememberedPath, path);
}

INSTANTIATE_TEST_SUITE_P(ZeroToThreeBytes, OpenShortFileTest, ::testing::Values(0, 1, 2, 3));

class OpenBadCodeTest : public MainWindowTest, public ::testing::WithParamInterface<std::int32_t> {};

TEST_P(OpenBadCodeTest, LeavesNoProject) {
    newProjectWithUnit(cmd::NewClosed);
    host.answers.push_back(MessageResult::No);
    host.files.push_back(writeFile("bad.box", int32Bytes(GetParam())));
    window->runCommand(cmd::Open);
    EXPECT_EQ(host.lastMessage().caption, "Error");
    EXPECT_EQ(host.lastMessage().text, "Bad data in file.\nThe project file is corrupt.");
    EXPECT_EQ(host.lastMessage().icon, MessageIcon::Exclamation);
    EXPECT_EQ(window->boxProject(), nullptr);
    EXPECT_EQ(window->projectWindows(), nullptr);
    EXPECT_TRUE(window->mdiArea()->subWindowList().isEmpty());
    EXPECT_EQ(window->menuSetKind(), MenuSetKind::Start);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00"));
}

INSTANTIATE_TEST_SUITE_P(NotProjectTypes, OpenBadCodeTest,
                         ::testing::Values(10, 14, 17, 19, 24, 29, -1, 12345));

TEST_F(MainWindowTest, OpenOfAMissingFileKeepsTheProject) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    host.answers.push_back(MessageResult::No);
    host.files.push_back(dir.file("nothing-here.box"));
    window->runCommand(cmd::Open);
    EXPECT_EQ(host.lastMessage().caption, "Harlox project");
    EXPECT_EQ(host.lastMessage().text,
              "Could not open project.\nThe filname probably points at\na nonexisting file.");
    EXPECT_EQ(window->boxProject(), &box);
}

TEST_F(MainWindowTest, AFailedReaderLeavesAnEmptyProjectOfTheFilesType) {
    newProjectWithUnit(cmd::NewBassReflex);
    std::vector<std::uint8_t> bytes = int32Bytes(TClosedBox::kTypeCode);
    bytes.resize(100, 0);
    host.answers.push_back(MessageResult::No);
    host.files.push_back(writeFile("closed.box", bytes));
    window->runCommand(cmd::Open);
    EXPECT_EQ(host.lastMessage().caption, "");
    EXPECT_EQ(host.lastMessage().text, "Error while reading box data.\nThe project file is corrupt.");
    ASSERT_NE(window->boxProject(), nullptr);
    EXPECT_EQ(window->boxProject()->typeCode(), TClosedBox::kTypeCode);
    EXPECT_EQ(window->boxProject()->front().unitOk, 0);
    EXPECT_EQ(window->menuSetKind(), MenuSetKind::Box);
    EXPECT_FALSE(enabled(cmd::Calculate));
    EXPECT_TRUE(enabled(cmd::DriverLoad));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Closed box"));
    EXPECT_EQ(window->projectWindows()->views().size(), 4u);
}

TEST_F(MainWindowTest, AProjectTypeThisProgramCannotMakeKeepsTheOpenProject) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    for (const std::int32_t code : {5, 9, 15, 28}) {
        host.answers.push_back(MessageResult::No);
        host.files.push_back(writeFile("other.box", int32Bytes(code)));
        window->runCommand(cmd::Open);
        EXPECT_EQ(host.lastMessage().caption, "Harlox project") << code;
        EXPECT_NE(host.lastMessage().text.find("not available"), std::string::npos) << code;
        EXPECT_EQ(window->boxProject(), &box) << code;
    }
}

TEST_F(MainWindowTest, TheCommandLineProjectIsOpenedAtStart) {
    window->startUp(writeFile("bad.box", int32Bytes(10)));
    EXPECT_TRUE(host.fileRequests.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.lastMessage().text, "Bad data in file.\nThe project file is corrupt.");
}

// ---- Save, Save as and Open of box projects -------------------------------------------------

TEST_F(MainWindowTest, SaveAsThenOpenBringsTheProjectBack) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewBassReflex);
    EXPECT_TRUE(enabled(cmd::Save));
    EXPECT_TRUE(enabled(cmd::SaveAs));
    box.setVb(0.045);
    box.setUserNote("kitchen");
    window->postCalculationRequest();
    host.runPosted();
    BoxProjectWindows* w = window->projectWindows();
    w->subWindowOf(w->dataSheet())->setGeometry(300, 40, 350, 400);
    w->subWindowOf(w->views().front())->setGeometry(10, 20, 280, 200);

    const std::string path = dir.file("round.box");
    host.files.push_back(path);
    window->runCommand(cmd::SaveAs);
    EXPECT_EQ(host.fileRequests.back().mode, FileMode::Save);
    EXPECT_EQ(host.fileRequests.back().filter, TBoxEmbryo::kProjectFilter);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Bassreflex box - round.box"));
    EXPECT_FALSE(box.isChanged());
    const std::vector<std::uint8_t> saved = test::readAll(path);
    ASSERT_EQ(saved.size(), 3884u);

    // Unchanged: Open asks nothing and starts where the project was saved.
    const std::size_t messages = host.messages.size();
    host.files.push_back(path);
    window->runCommand(cmd::Open);
    host.runPosted();
    EXPECT_EQ(host.messages.size(), messages);
    EXPECT_EQ(window->openFileData().rememberedPath, path);
    TBoxEmbryo* opened = window->boxProject();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->typeCode(), TBassReflexBox::kTypeCode);
    EXPECT_DOUBLE_EQ(opened->boxElement()->Vb, 0.045);
    EXPECT_EQ(opened->front().unitOk, 1);
    EXPECT_FALSE(opened->isChanged());
    EXPECT_EQ(window->menuSetKind(), MenuSetKind::Box);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Bassreflex box - round.box"));
    EXPECT_TRUE(enabled(cmd::Calculate));
    EXPECT_TRUE(enabled(cmd::Save));
    w = window->projectWindows();
    EXPECT_EQ(w->subWindowOf(w->dataSheet())->geometry(), QRect(300, 40, 350, 400));
    EXPECT_EQ(w->subWindowOf(w->views().front())->geometry(), QRect(10, 20, 280, 200));
    EXPECT_TRUE(w->dataSheet()->contents().contains(QStringLiteral("Filename\tround.box")));
    EXPECT_TRUE(w->dataSheet()->contents().contains(QStringLiteral("kitchen")));

    // Save goes back to the same file, without asking.
    const std::size_t requests = host.fileRequests.size();
    window->runCommand(cmd::Save);
    EXPECT_EQ(host.fileRequests.size(), requests);
    const std::vector<std::uint8_t> again = test::readAll(path);
    ASSERT_EQ(again.size(), saved.size());
    for (std::size_t i = 0; i < saved.size(); ++i)
        EXPECT_EQ(again[i], saved[i]) << "offset " << i;
}

TEST_F(MainWindowTest, AMinimisedDataSheetStaysMinimised) {
    newProjectWithUnit(cmd::NewClosed);
    BoxProjectWindows* w = window->projectWindows();
    w->subWindowOf(w->dataSheet())->showMinimized();
    const std::string path = dir.file("small.box");
    host.files.push_back(path);
    window->runCommand(cmd::SaveAs);
    ASSERT_EQ(test::readAll(path).size(), 3761u);
    EXPECT_EQ(test::readAll(path)[3688], 1);

    host.files.push_back(path);
    window->runCommand(cmd::Open);
    w = window->projectWindows();
    ASSERT_NE(w, nullptr);
    EXPECT_TRUE(w->subWindowOf(w->dataSheet())->isMinimized());
}

TEST_F(MainWindowTest, SaveQuestionYesSavesBeforeTheProjectGoes) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    ASSERT_TRUE(box.isChanged());
    const std::string path = dir.file("asked.box");
    host.answers.push_back(MessageResult::Yes);
    host.files.push_back(path); // no file name yet: Save asks for one
    host.files.push_back(std::nullopt);
    window->runCommand(cmd::Open);
    EXPECT_EQ(host.lastMessage().text, kSaveQuestion);
    EXPECT_EQ(test::readAll(path).size(), 3761u);
}

TEST_F(MainWindowTest, AFailedSaveIsReportedAndKeepsTheChangedMark) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    host.files.push_back(dir.file("missing-folder/x.box"));
    window->runCommand(cmd::SaveAs);
    EXPECT_EQ(host.lastMessage().caption, "File save as");
    EXPECT_EQ(host.lastMessage().text,
              "Could not open file.\nCheck if device is ready\nor if the disk is full.");
    EXPECT_TRUE(box.isChanged());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Closed box"));
}

TEST_F(MainWindowTest, TheCommandLineOpensASavedProject) {
    newProjectWithUnit(cmd::NewClosed);
    const std::string path = dir.file("start.box");
    host.files.push_back(path);
    window->runCommand(cmd::SaveAs);
    window->closeProject();

    window->startUp(path);
    host.runPosted();
    ASSERT_NE(window->boxProject(), nullptr);
    EXPECT_EQ(window->boxProject()->typeCode(), TClosedBox::kTypeCode);
    EXPECT_EQ(window->boxProject()->front().unitOk, 1);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Closed box - start.box"));
}

TEST_F(MainWindowTest, ACorruptProjectLeavesAnEmptyProjectOfItsType) {
    newProjectWithUnit(cmd::NewBassReflex);
    const std::string path = dir.file("p.box");
    host.files.push_back(path);
    window->runCommand(cmd::SaveAs);
    std::vector<std::uint8_t> bytes = test::readAll(path);
    for (const std::size_t length : {std::size_t{4}, std::size_t{100}, bytes.size() - 1}) {
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        host.files.push_back(writeFile("cut.box", cut));
        window->runCommand(cmd::Open);
        EXPECT_EQ(host.lastMessage().caption, "") << length;
        EXPECT_EQ(host.lastMessage().text, "Error while reading box data.\nThe project file is corrupt.");
        ASSERT_NE(window->boxProject(), nullptr);
        EXPECT_EQ(window->boxProject()->typeCode(), TBassReflexBox::kTypeCode);
        EXPECT_EQ(window->boxProject()->front().unitOk, 0);
        EXPECT_FALSE(enabled(cmd::Calculate));
        EXPECT_FALSE(enabled(cmd::Save));
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Bassreflex box"));
        host.answers.push_back(MessageResult::No); // the empty project counts as changed
    }
}

// ---- harlox.cfg -----------------------------------------------------------------------------

struct ConfigCase {
    std::size_t length;
    bool placed;
    bool notice;
};

class StartConfigTest : public MainWindowTest, public ::testing::WithParamInterface<ConfigCase> {};

TEST_P(StartConfigTest, ShortFilesRestoreWhatTheyHold) {
    const WindowRect rect{70, 90, 870, 690};
    std::vector<std::uint8_t> bytes = serializeAppConfig(rect, false);
    bytes.resize(GetParam().length);
    if (GetParam().length > 0) writeFile("harlox.cfg", bytes);
    const WindowRect before = window->outerRect();
    window->setShowLoadDriverNotice(false);
    window->startUp();
    drainEvents(); // the frame is known once the window is shown
    EXPECT_EQ(window->outerRect(), GetParam().placed ? rect : before);
    EXPECT_EQ(window->showLoadDriverNotice(), GetParam().notice);
}

INSTANTIATE_TEST_SUITE_P(Lengths, StartConfigTest,
                         ::testing::Values(ConfigCase{0, false, true}, ConfigCase{1, false, true},
                                           ConfigCase{15, false, true}, ConfigCase{16, true, true},
                                           ConfigCase{17, true, false}));

TEST_F(MainWindowTest, TheConfigurationWrittenAtExitIsReadAtTheNextStart) {
    const WindowRect rect{40, 50, 1040, 850};
    window->setOuterRect(rect);
    window->setShowLoadDriverNotice(false);
    ASSERT_TRUE(window->close());
    window.reset();
    window = std::make_unique<TMainWindow>(host, hooks);
    window->startUp();
    drainEvents();
    EXPECT_EQ(window->outerRect(), rect);
    EXPECT_FALSE(window->showLoadDriverNotice());
}

// ---- the project's commands -------------------------------------------------------------------

TEST_F(MainWindowTest, ExportWritesTheCurveFile) {
    newProjectWithUnit(cmd::NewClosed);
    const std::string spl = dir.file("spl.frd");
    host.files.push_back(spl);
    window->runCommand(cmd::ExportSpl);
    const std::vector<std::uint8_t> bytes = test::readAll(spl);
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("   Hz\t\tdB\t\tdeg\r\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 51);

    const std::string impedance = dir.file("z.zma");
    host.files.push_back(impedance);
    window->runCommand(cmd::ExportImpedance);
    EXPECT_EQ(host.fileRequests.back().filter, kImpedanceExportFilter);
    EXPECT_EQ(host.fileRequests.back().mode, FileMode::Save);
    EXPECT_GT(test::readAll(impedance).size(), 50u * 10u);
}

struct PrintCase {
    int perPage;
    int pages;
};

class PrintDiagramsTest : public MainWindowTest, public ::testing::WithParamInterface<PrintCase> {};

TEST_P(PrintDiagramsTest, PagesFollowTheDiagramsPerPage) {
    newProjectWithUnit(cmd::NewBassReflex);
    pdfPath = dir.file("print.pdf");
    answerDialog = [](QDialog& d) {
        auto* p = qobject_cast<TPrintDiagramsDialog*>(&d);
        if (!p) return 1;
        for (int row = 0; row < p->pickList()->count(); ++row) {
            p->pickList()->setCurrentRow(row);
            p->addPicked();
        }
        p->perPageButton(GetParam().perPage)->setChecked(true);
        return TBaseDialog::ResultOk;
    };
    window->runCommand(cmd::PrintDiagrams);
    EXPECT_EQ(count("harlox::TPrintDiagramsDialog"), 1);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(pdfPageCount(pdfPath), GetParam().pages);
    // The settings stay with the project.
    const PrintDiagramsSettings& s = window->projectWindows()->printSettings;
    EXPECT_EQ(s.selected.size(), 5u);
    EXPECT_EQ(s.perPage, GetParam().perPage);
}

INSTANTIATE_TEST_SUITE_P(PerPage, PrintDiagramsTest,
                         ::testing::Values(PrintCase{3, 2}, PrintCase{4, 2}, PrintCase{8, 1}));

TEST_F(MainWindowTest, PrintDiagramsDialogRefusesDoublesAndEmptyRemoves) {
    newProjectWithUnit(cmd::NewClosed);
    pdfPath = dir.file("print.pdf");
    answerDialog = [this](QDialog& d) {
        auto* p = qobject_cast<TPrintDiagramsDialog*>(&d);
        if (!p) return 1;
        // SPL, room and cabinet (not yet), impedance, excursion, transient (not yet), group delay.
        EXPECT_EQ(p->pickList()->count(), 4);
        EXPECT_EQ(p->pickList()->item(0)->text(), QStringLiteral("Free air SPL at 1m distance"));
        p->removeSelected();
        EXPECT_EQ(host.lastMessage().text, "No items left");
        EXPECT_EQ(host.lastMessage().caption, "");
        p->pickList()->setCurrentRow(1);
        p->addPicked();
        p->addPicked();
        EXPECT_EQ(host.lastMessage().text, "Item already selected");
        EXPECT_EQ(p->printList()->count(), 1);
        p->dateBox()->setChecked(false);
        return TBaseDialog::ResultCancel;
    };
    window->runCommand(cmd::PrintDiagrams);
    EXPECT_EQ(host.messages.size(), 2u);
    // Cancel prints nothing and keeps the old settings.
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(pdfPath)));
    EXPECT_TRUE(window->projectWindows()->printSettings.selected.empty());
    EXPECT_TRUE(window->projectWindows()->printSettings.printDate);
}

TEST_F(MainWindowTest, PrintWindowPrintsTheFocusedWindow) {
    newProjectWithUnit(cmd::NewClosed);
    BoxProjectWindows* w = window->projectWindows();
    activate(w->views().front());
    pdfPath = dir.file("diagram.pdf");
    window->runCommand(cmd::PrintWindow);
    EXPECT_EQ(pdfPageCount(pdfPath), 1);
    activate(w->dataSheet());
    pdfPath = dir.file("sheet.pdf");
    window->runCommand(cmd::PrintWindow);
    EXPECT_EQ(pdfPageCount(pdfPath), 1);
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(MainWindowTest, CopyWindowPutsTheFocusedWindowOnTheClipboard) {
    newProjectWithUnit(cmd::NewClosed);
    BoxProjectWindows* w = window->projectWindows();
    QGuiApplication::clipboard()->clear();
    activate(w->views().front());
    window->runCommand(cmd::CopyWindow);
    const QImage image = QGuiApplication::clipboard()->image();
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(image.size() / image.devicePixelRatio(), w->views().front()->size());
    activate(w->dataSheet());
    window->runCommand(cmd::CopyWindow);
    EXPECT_TRUE(QGuiApplication::clipboard()->text().startsWith(QStringLiteral("CLOSED BOX\n")));
}

TEST_F(MainWindowTest, UserNoteGoesToTheDataSheetOrToTheFocusedDiagram) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    BoxProjectWindows* w = window->projectWindows();
    QString typed;
    answerDialog = [&typed](QDialog& d) {
        auto* input = qobject_cast<TInputDialog*>(&d);
        if (!input) return 1;
        EXPECT_EQ(input->windowTitle(), QStringLiteral("User note"));
        input->editor()->setPlainText(typed);
        return TBaseDialog::ResultOk;
    };
    activate(w->dataSheet());
    typed = QStringLiteral("Front baffle 40 cm\nwoofer low");
    window->runCommand(cmd::UserNote);
    EXPECT_EQ(box.userNote(), "Front baffle 40 cm\nwoofer low");
    EXPECT_TRUE(w->dataSheet()->contents().endsWith(typed));
    EXPECT_TRUE(w->dataSheet()->contents().startsWith(QStringLiteral("CLOSED BOX")));

    // 600 bytes with the terminator.
    typed = QString(700, QLatin1Char('x'));
    window->runCommand(cmd::UserNote);
    EXPECT_EQ(box.userNote(), std::string(599, 'x'));

    activate(w->views().front());
    typed = QStringLiteral("A diagram's own note that is longer than fifty characters");
    window->runCommand(cmd::UserNote);
    EXPECT_EQ(box.splWindow().note(), typed.left(49).toStdString());
    EXPECT_EQ(box.userNote(), std::string(599, 'x'));
}

TEST_F(MainWindowTest, WindowMenuArrangesTheProjectWindows) {
    newProjectWithUnit(cmd::NewClosed);
    BoxProjectWindows* w = window->projectWindows();
    DiagramView* spl = w->views().front();
    activate(spl);
    w->subWindowOf(spl)->resize(300, 200);
    window->runCommand(cmd::DefaultSize);
    EXPECT_EQ(spl->size(), QSize(DiagramView::kDefaultWidth, DiagramView::kDefaultHeight));

    window->runCommand(cmd::Tile);
    const QList<QMdiSubWindow*> subs = window->mdiArea()->subWindowList();
    // Four diagrams, the data sheet and the snapshot window, which stays minimised: Tile
    // arranges the open windows.
    ASSERT_EQ(subs.size(), 6);
    EXPECT_TRUE(w->subWindowOf(w->snapshotView())->isMinimized());
    for (int i = 0; i < subs.size(); ++i) {
        for (int j = i + 1; j < subs.size(); ++j) {
            if (subs[i]->isMinimized() || subs[j]->isMinimized()) continue;
            EXPECT_FALSE(subs[i]->geometry().intersects(subs[j]->geometry())) << i << " " << j;
        }
    }

    // Closing a project window only puts it aside; Arrange icons lines them up at the bottom.
    w->subWindowOf(spl)->close();
    w->subWindowOf(w->views()[1])->close();
    EXPECT_TRUE(w->subWindowOf(spl)->isMinimized());
    window->runCommand(cmd::ArrangeIcons);
    const QRect a = w->subWindowOf(spl)->geometry();
    const QRect b = w->subWindowOf(w->views()[1])->geometry();
    EXPECT_EQ(a.bottom(), window->mdiArea()->viewport()->height() - 1);
    EXPECT_EQ(a.top(), b.top());
    EXPECT_EQ(a.right() + 1, b.left());
}

TEST_F(MainWindowTest, DiagramWindowsKeepTheirPlacementInTheModel) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    QMdiSubWindow* sub = window->projectWindows()->subWindowOf(window->projectWindows()->views().front());
    sub->setGeometry(30, 40, 500, 300);
    const auto& v = box.splWindow().placement.v;
    EXPECT_EQ(v[1], 1);
    EXPECT_EQ(v[6], 30);
    EXPECT_EQ(v[7], 40);
    EXPECT_EQ(v[8], 530);
    EXPECT_EQ(v[9], 340);
    sub->showMinimized();
    EXPECT_EQ(box.splWindow().placement.v[1], 2);
    EXPECT_EQ(box.splWindow().placement.v[8], 530); // the normal rectangle is kept
}

TEST_F(MainWindowTest, YankeeToolGreysItsCommandWhileOpen) {
    newProjectWithUnit(cmd::NewClosed);
    window->runCommand(cmd::Yankee);
    TYankee* tool = window->yankee();
    ASSERT_NE(tool, nullptr);
    EXPECT_EQ(tool->windowTitle(), QStringLiteral("Yankee tool !"));
    EXPECT_FALSE(enabled(cmd::Yankee));
    EXPECT_EQ(window->commandStates().state(cmd::Yankee), CommandState::Greyed);
    window->runCommand(cmd::Yankee); // greyed: nothing
    EXPECT_EQ(window->yankee(), tool);

    tool->cancelCommand();
    drainEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(window->yankee(), nullptr);
    EXPECT_TRUE(enabled(cmd::Yankee));

    // Closing the project closes the tool.
    window->runCommand(cmd::Yankee);
    ASSERT_NE(window->yankee(), nullptr);
    window->closeProject();
    EXPECT_EQ(window->yankee(), nullptr);
}

TEST_F(MainWindowTest, NewInstanceStartsTheProgramItself) {
    window->runCommand(cmd::NewInstance);
    ASSERT_EQ(started.size(), 1u);
    const QString exe = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    EXPECT_EQ(started[0], QString::fromStdString(programPath(exe.toStdString())));
}

TEST_F(MainWindowTest, AboutAndHelpGoThroughTheirHooks) {
    window->runCommand(cmd::About);
    EXPECT_EQ(count("harlox::TAboutDialog"), 1);
    newProjectWithUnit(cmd::NewClosed);
    window->runCommand(cmd::Yankee);
    window->yankee()->helpCommand();
    ASSERT_EQ(textFiles.size(), 1u);
    EXPECT_EQ(textFiles[0], QString::fromStdString(programPath("help/yankee.txt")));
}

TEST_F(MainWindowTest, AProjectDialogGreysItsCommandWhileOpen) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    ASSERT_TRUE(enabled(cmd::Box));
    window->runCommand(cmd::Box);
    EXPECT_FALSE(enabled(cmd::Box));
    EXPECT_TRUE(box.dialogOpen(ProjectDialog::Box));
    // A recalculation leaves it greyed while the dialog is open.
    window->postProjectChanged(0);
    host.runPosted();
    EXPECT_FALSE(enabled(cmd::Box));
    EXPECT_TRUE(enabled(cmd::MeasSetup));

    QList<TBaseDialog*> open = window->findChildren<TBaseDialog*>();
    ASSERT_EQ(open.size(), 1);
    QPointer<TBaseDialog> dialog = open.front();
    dialog->cancelCommand();
    drainEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_FALSE(dialog);
    EXPECT_TRUE(enabled(cmd::Box));
    EXPECT_FALSE(box.dialogOpen(ProjectDialog::Box));

    // Closing the project closes its dialogs.
    window->runCommand(cmd::MeasSetup);
    dialog = window->findChildren<TBaseDialog*>().value(0);
    ASSERT_TRUE(dialog);
    window->closeProject();
    EXPECT_FALSE(dialog);
    EXPECT_EQ(window->menuSetKind(), MenuSetKind::Start);
}

TEST_F(MainWindowTest, TheStartDialogOffersTheReadme) {
    hooks.showStartDialog = true;
    window = std::make_unique<TMainWindow>(host, hooks);
    answerDialog = [](QDialog& d) {
        if (auto* start = qobject_cast<TStartDialog*>(&d)) start->readmeButton()->click();
        return 1;
    };
    window->startUp();
    EXPECT_EQ(count("harlox::TStartDialog"), 1);
    ASSERT_EQ(textFiles.size(), 1u);
    EXPECT_EQ(textFiles[0], QString::fromStdString(programPath("readme.txt")));
}

// ---- the conversion tool ------------------------------------------------------------------------

struct YankeeCase {
    int field;
    int partner;
    double factor;
};

class YankeeTest : public MainWindowTest, public ::testing::WithParamInterface<YankeeCase> {};

TEST_P(YankeeTest, ChangingAFieldSetsItsPartner) {
    newProjectWithUnit(cmd::NewClosed);
    window->runCommand(cmd::Yankee);
    TYankee* tool = window->yankee();
    ASSERT_NE(tool, nullptr);
    TDblEdit* field = tool->field(GetParam().field);
    TDblEdit* partner = tool->field(GetParam().partner);
    ASSERT_NE(field, nullptr);
    ASSERT_NE(partner, nullptr);
    const double partnerBefore = partner->value();
    QTest::keyClick(field, Qt::Key_Up);
    drainEvents();
    EXPECT_GT(field->value(), 0.0);
    EXPECT_NE(partner->value(), partnerBefore);
    EXPECT_DOUBLE_EQ(partner->value(), field->value() * GetParam().factor);
}

INSTANTIATE_TEST_SUITE_P(
    AllEightFields, YankeeTest,
    ::testing::Values(YankeeCase{105, 103, 0.03937007874015748}, YankeeCase{103, 105, 25.4},
                      YankeeCase{106, 102, 0.15500031000062}, YankeeCase{102, 106, 6.4516},
                      YankeeCase{108, 107, 0.03531466621266132}, YankeeCase{107, 108, 28.316847},
                      YankeeCase{104, 101, 10.763910416709722}, YankeeCase{101, 104, 0.09290304}));

TEST(YankeeTable, RangesAndInitialValuesAgreeAcrossEachPair) {
    for (const TYankee::Pair& p : TYankee::kPairs) {
        EXPECT_NEAR(p.metric.initial * p.toImperial, p.imperial.initial, 1e-12 * p.imperial.initial);
        EXPECT_NEAR(p.metric.minimum * p.toImperial, p.imperial.minimum, 1e-12 * p.imperial.minimum);
        EXPECT_NEAR(p.metric.maximum * p.toImperial, p.imperial.maximum, 1e-12 * p.imperial.maximum);
        // The two factors undo each other (to the precision of the published constants).
        EXPECT_NEAR(p.toImperial * p.toMetric, 1.0, 1e-7);
    }
}

} // namespace
} // namespace harlox
