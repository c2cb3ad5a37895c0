// The desktop program driven as the user drives it: the real main window, its menus and
// dialogs, with a scripted host standing in for message boxes and file selectors.
#include "gui/main_window.h"

#include "app/app_config.h"
#include "app/command_table.h"
#include "box/bass_reflex_box.h"
#include "box/box_embryo.h"
#include "box/box_object.h"
#include "box/closed_box.h"
#include "core/binary_io.h"
#include "core/command_ids.h"
#include "core/measure_setup.h"
#include "core/program_dir.h"
#include "driver/spk_data.h"
#include "gui/beep.h"
#include "gui/box_project_windows.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/diagram_view.h"
#include "gui/info_win.h"
#include "gui/input_dialog.h"
#include "gui/print_diagrams_dialog.h"
#include "gui/speaker_unit_dialog.h"
#include "gui/yankee.h"
#include "gui_test_support.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QRadioButton>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

using test::drainEvents;

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
        const MenuBar sub = a->menu() ? shownMenus(a->menu()->actions()) : MenuBar{};
        bar.push_back(MenuNode{a->text().toStdString(), a->menu() ? 0 : a->data().toInt(),
                               a->menu() || a->isEnabled(), sub});
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
        setWarningBeepHook([this] { ++beeps; });
        hooks.showStartDialog = false;
        hooks.execDialog = [this](QDialog& d) {
            dialogs.emplace_back(d.metaObject()->className());
            return answerDialog ? answerDialog(d) : 1;
        };
        hooks.choosePrinter = [this](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(QString::fromStdString(pdfPath));
            return !pdfPath.empty();
        };
        window = std::make_unique<TMainWindow>(host, hooks);
        window->show();
    }
    void TearDown() override {
        window.reset();
        setWarningBeepHook({});
        setPreferencesDirectory("");
        setProgramDirectory(oldProgramDirectory);
    }

    std::string writeUnit() {
        TSpkData unit;
        unit.SetDefault();
        EXPECT_TRUE(unit.Save(dir.file("unit.unt")));
        return dir.file("unit.unt");
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
        test::writeAll(dir.file(name), bytes);
        return dir.file(name);
    }
    void activate(QWidget* content) {
        window->mdiArea()->setActiveSubWindow(window->projectWindows()->subWindowOf(content));
    }
    int count(const char* dialogClass) const {
        return static_cast<int>(std::count(dialogs.begin(), dialogs.end(), std::string(dialogClass)));
    }
    bool enabled(int id) const {
        const QAction* a = window->commandAction(id);
        return a && a->isVisible() && a->isEnabled();
    }
    // The modeless dialog a command opened.
    template <class T> T* openDialog() const { return window->findChildren<T*>().value(0); }
    static void finish(TBaseDialog* dialog) {
        dialog->cancelCommand();
        drainEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::string oldProgramDirectory;
    test::TempDir dir;
    test::ScriptedUiHost host;
    MainWindowHooks hooks;
    std::function<int(QDialog&)> answerDialog;
    std::vector<std::string> dialogs;
    std::string pdfPath;
    int beeps = 0;
    std::unique_ptr<TMainWindow> window;
};

// ---- menus and New ---------------------------------------------------------------------------

TEST_F(MainWindowTest, MenusFollowTheCommandTableAndTheCommandStates) {
    const auto check = [&](MenuSetKind kind) {
        ASSERT_EQ(window->menuSetKind(), kind);
        const MenuBar shown = shownMenus(window->menuBar()->actions());
        const MenuBar expected = applyCommandStates(menuSet(kind), window->commandStates());
        ASSERT_EQ(menuCommandIds(shown), menuCommandIds(expected));
        for (const int id : menuCommandIds(shown))
            EXPECT_EQ(findMenuItem(shown, id)->enabled,
                      findMenuItem(expected, id)->enabled && window->commandImplemented(id))
                << id;
    };
    check(MenuSetKind::Start);
    host.files.push_back(std::nullopt); // no unit yet
    window->runCommand(cmd::NewClosed);
    check(MenuSetKind::Box);
    // Greyed commands and New entries this program cannot make do nothing.
    for (const int id : {cmd::Calculate, cmd::ExportSpl, cmd::NewBandpass2})
        window->runCommand(id);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.fileRequests.size(), 1u);

    host.files.push_back(writeUnit());
    window->runCommand(cmd::DriverLoad);
    host.runPosted();
    check(MenuSetKind::Box);
    EXPECT_TRUE(enabled(cmd::Calculate));
}

TEST_F(MainWindowTest, NewClosedBoxShowsTheNoticeLoadsTheUnitAndFillsTheDiagrams) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    EXPECT_EQ(box.typeCode(), TClosedBox::kTypeCode);
    EXPECT_EQ(count("harlox::TLoadDriverUnitInfoD"), 1);
    ASSERT_EQ(host.fileRequests.size(), 1u);
    EXPECT_EQ(host.fileRequests[0].filter, TBoxEmbryo::kUnitFilter);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Closed box"));

    BoxProjectWindows* w = window->projectWindows();
    std::vector<std::string> titles;
    for (const DiagramView* v : w->views()) {
        titles.push_back(v->model()->title());
        EXPECT_EQ(v->model()->pointCount(), 50);
        EXPECT_TRUE(v->model()->yRange().valid) << v->model()->title();
        EXPECT_TRUE(w->subWindowOf(v)->isVisible());
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"Free air SPL at 1m distance", "Impedance", "Cone excursion",
                                                "Group delay"}));
    EXPECT_EQ(w->dataSheet()->contents(), QString::fromStdString(box.dataSheetText("\n")));
}

// ---- editing in a project dialog ---------------------------------------------------------------

TEST_F(MainWindowTest, BoxVolumeFieldRefusesOutOfRangeMovesOnWithEnterAndRecalculates) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    const double spl = box.SPL[0];
    const QString sheet = window->projectWindows()->dataSheet()->contents();
    window->runCommand(cmd::Box);
    QPointer<TClosedDialog> dialog = openDialog<TClosedDialog>();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(enabled(cmd::Box));
    test::showActive(dialog);
    TDblEdit* volume = dialog->boxFields().volumeField();
    const auto typeAndEnter = [&](const QString& text) {
        volume->setFocus();
        volume->selectAll();
        QTest::keyClicks(volume, text);
        QTest::keyClick(volume, Qt::Key_Return);
        drainEvents();
        host.runPosted();
    };

    typeAndEnter(QStringLiteral("10001"));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(volume->text(), QStringLiteral("10.0"));
    EXPECT_DOUBLE_EQ(box.boxElement()->Vb, 0.01);
    EXPECT_EQ(box.SPL[0], spl);

    typeAndEnter(QStringLiteral("40"));
    EXPECT_TRUE(dialog->boxFields().qlField()->hasFocus());
    EXPECT_EQ(beeps, 1);
    EXPECT_DOUBLE_EQ(box.boxElement()->Vb, 0.04);
    EXPECT_GT(box.SPL[0], spl + 0.5); // more volume, more bass
    EXPECT_NE(window->projectWindows()->dataSheet()->contents(), sheet);
    EXPECT_FALSE(enabled(cmd::Box)) << "greyed while the dialog is open";

    finish(dialog);
    ASSERT_FALSE(dialog);
    EXPECT_TRUE(enabled(cmd::Box));
    // Closing the project closes its dialogs.
    window->runCommand(cmd::MeasSetup);
    QPointer<TBaseDialog> setup = openDialog<TBaseDialog>();
    ASSERT_TRUE(setup);
    window->closeProject();
    EXPECT_FALSE(setup);
}

// ---- the save question, harlox.cfg --------------------------------------------------------------

TEST_F(MainWindowTest, CancelInTheSaveQuestionKeepsTheProjectYesSavesIt) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    ASSERT_TRUE(box.isChanged());
    for (const int command : {cmd::NewBassReflex, cmd::Open}) {
        host.answers.push_back(MessageResult::Cancel);
        window->runCommand(command);
        EXPECT_EQ(host.lastMessage().caption, "Box project");
        EXPECT_EQ(host.lastMessage().text, kSaveQuestion);
        EXPECT_EQ(host.lastMessage().buttons, MessageButtons::YesNoCancel);
        EXPECT_EQ(window->boxProject(), &box);
    }
    EXPECT_EQ(host.fileRequests.size(), 1u); // the unit only: no project selector

    // Yes: Save asks for the missing file name, then Open goes on.
    host.answers.push_back(MessageResult::Yes);
    host.files.push_back(dir.file("asked.box"));
    host.files.push_back(std::nullopt);
    window->runCommand(cmd::Open);
    EXPECT_EQ(test::readAll(dir.file("asked.box")).size(), 3761u);
}

TEST_F(MainWindowTest, ExitWritesTheConfigurationBeforeAskingAndTheNextStartReadsIt) {
    newProjectWithUnit(cmd::NewClosed);
    const WindowRect rect{40, 50, 1040, 850};
    window->setOuterRect(rect);
    window->setShowLoadDriverNotice(false);
    host.answers.push_back(MessageResult::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_NE(window->boxProject(), nullptr);
    EXPECT_EQ(test::readAll(dir.file("harlox.cfg")), serializeAppConfig(rect, false));
    host.answers.push_back(MessageResult::No);
    ASSERT_TRUE(window->close());

    window = std::make_unique<TMainWindow>(host, hooks);
    window->startUp();
    drainEvents(); // the frame is known once the window is shown
    EXPECT_EQ(window->outerRect(), rect);
    EXPECT_FALSE(window->showLoadDriverNotice());
}

// ---- Open and Save ----------------------------------------------------------------------------

enum class Outcome { Kept, NoProject, EmptyClosedBox };

struct OpenCase {
    const char* name;
    std::vector<std::uint8_t> bytes; // empty: no such file
    const char* caption;
    const char* text;
    Outcome outcome;
};

std::vector<std::uint8_t> closedCodeThenZeros() {
    std::vector<std::uint8_t> b = int32Bytes(TClosedBox::kTypeCode);
    b.resize(100, 0);
    return b;
}

class OpenFailureTest : public MainWindowTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenFailureTest, SaysWhyAndLeavesTheProjectAsTheFileAllows) {
    const OpenCase& c = GetParam();
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewBassReflex);
    host.answers.push_back(MessageResult::No);
    host.files.push_back(c.bytes.empty() ? dir.file("missing.box") : writeFile("bad.box", c.bytes));
    window->runCommand(cmd::Open);
    EXPECT_EQ(host.fileRequests.back().filter, TBoxEmbryo::kProjectFilter);
    EXPECT_EQ(host.lastMessage().caption, c.caption);
    EXPECT_EQ(host.lastMessage().text, c.text);
    switch (c.outcome) {
    case Outcome::Kept:
        EXPECT_EQ(window->boxProject(), &box);
        break;
    case Outcome::NoProject:
        EXPECT_EQ(window->boxProject(), nullptr);
        EXPECT_TRUE(window->mdiArea()->subWindowList().isEmpty());
        EXPECT_EQ(window->menuSetKind(), MenuSetKind::Start);
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00"));
        break;
    case Outcome::EmptyClosedBox:
        ASSERT_NE(window->boxProject(), nullptr);
        EXPECT_EQ(window->boxProject()->typeCode(), TClosedBox::kTypeCode);
        EXPECT_EQ(window->boxProject()->front().unitOk, 0);
        EXPECT_FALSE(enabled(cmd::Calculate));
        EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Closed box"));
        break;
    }
}

const char* const kCorrupt = "Could not read project.\nThe project file is corrupt.";
const char* const kBadData = "Bad data in file.\nThe project file is corrupt.";

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFailureTest,
    ::testing::Values(
        OpenCase{"Missing",
                 {},
                 "Harlox project",
                 "Could not open project.\nThe filname probably points at\na nonexisting file.",
                 Outcome::Kept},
        OpenCase{"ThreeBytes", {0, 0, 0}, "Box project", kCorrupt, Outcome::Kept},
        OpenCase{"FilterCode", int32Bytes(10), "Error", kBadData, Outcome::NoProject},
        OpenCase{"NotInThisVersion", int32Bytes(5), "Harlox project",
                 "Bandpass 1 projects are not available in this version of the program.\nThe project "
                 "file was not opened.",
                 Outcome::Kept},
        OpenCase{"CutBoxData", closedCodeThenZeros(), "",
                 "Error while reading box data.\nThe project file is corrupt.", Outcome::EmptyClosedBox}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(MainWindowTest, TheCommandLineProjectIsOpenedAtStart) {
    window->startUp(writeFile("bad.box", int32Bytes(10)));
    EXPECT_TRUE(host.fileRequests.empty());
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.lastMessage().text, kBadData);
}

TEST_F(MainWindowTest, SaveAsThenOpenBringsTheProjectAndItsWindowsBack) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewBassReflex);
    box.setVb(0.045);
    window->postCalculationRequest();
    host.runPosted();
    BoxProjectWindows* w = window->projectWindows();
    w->subWindowOf(w->dataSheet())->setGeometry(300, 40, 350, 400);
    w->subWindowOf(w->views().front())->setGeometry(10, 20, 280, 200);

    const std::string path = dir.file("round.box");
    host.files.push_back(path);
    window->runCommand(cmd::SaveAs);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Bassreflex box - round.box"));
    EXPECT_FALSE(box.isChanged());
    const std::vector<std::uint8_t> saved = test::readAll(path);
    ASSERT_EQ(saved.size(), 3884u);

    // Unchanged: Open asks nothing.
    host.files.push_back(path);
    window->runCommand(cmd::Open);
    host.runPosted();
    EXPECT_TRUE(host.messages.empty());
    TBoxEmbryo* opened = window->boxProject();
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->typeCode(), TBassReflexBox::kTypeCode);
    EXPECT_DOUBLE_EQ(opened->boxElement()->Vb, 0.045);
    EXPECT_FALSE(opened->isChanged());
    EXPECT_TRUE(enabled(cmd::Calculate));
    w = window->projectWindows();
    EXPECT_EQ(w->subWindowOf(w->dataSheet())->geometry(), QRect(300, 40, 350, 400));
    EXPECT_EQ(w->subWindowOf(w->views().front())->geometry(), QRect(10, 20, 280, 200));

    // Save goes back to the same file, without asking, byte for byte.
    const std::size_t requests = host.fileRequests.size();
    window->runCommand(cmd::Save);
    EXPECT_EQ(host.fileRequests.size(), requests);
    EXPECT_EQ(test::readAll(path), saved);
}

// ---- export, print, copy, note ------------------------------------------------------------------

TEST_F(MainWindowTest, ExportWritesTheCurveFile) {
    newProjectWithUnit(cmd::NewClosed);
    host.files.push_back(dir.file("spl.frd"));
    window->runCommand(cmd::ExportSpl);
    EXPECT_EQ(host.fileRequests.back().mode, FileMode::Save);
    const std::vector<std::uint8_t> bytes = test::readAll(dir.file("spl.frd"));
    const std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("   Hz\t\tdB\t\tdeg\r\n", 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 51);
}

struct PrintCase {
    int perPage;
    int pages;
};

class PrintDiagramsTest : public MainWindowTest, public ::testing::WithParamInterface<PrintCase> {};

TEST_P(PrintDiagramsTest, AllFiveDiagramsOnTheirPages) {
    newProjectWithUnit(cmd::NewBassReflex);
    ASSERT_EQ(window->projectWindows()->views().size(), 5u);
    pdfPath = dir.file("print.pdf");
    answerDialog = [](QDialog& d) {
        auto* p = qobject_cast<TPrintDiagramsDialog*>(&d);
        for (int row = 0; p && row < p->pickList()->count(); ++row) {
            p->pickList()->setCurrentRow(row);
            p->addPicked();
        }
        if (p) p->perPageButton(GetParam().perPage)->setChecked(true);
        return TBaseDialog::ResultOk;
    };
    window->runCommand(cmd::PrintDiagrams);
    EXPECT_EQ(count("harlox::TPrintDiagramsDialog"), 1);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(pdfPageCount(pdfPath), GetParam().pages);
    EXPECT_EQ(window->projectWindows()->printSettings.selected.size(), 5u);
}

INSTANTIATE_TEST_SUITE_P(PerPage, PrintDiagramsTest,
                         ::testing::Values(PrintCase{3, 2}, PrintCase{4, 2}, PrintCase{8, 1}));

TEST_F(MainWindowTest, PrintDiagramsDialogRefusesDoublesAndEmptyRemovesCancelKeepsSettings) {
    newProjectWithUnit(cmd::NewClosed);
    pdfPath = dir.file("print.pdf");
    answerDialog = [this](QDialog& d) {
        auto* p = qobject_cast<TPrintDiagramsDialog*>(&d);
        if (!p) return 1;
        p->removeSelected();
        EXPECT_EQ(host.lastMessage().text, "No items left");
        p->pickList()->setCurrentRow(1);
        p->addPicked();
        p->addPicked();
        EXPECT_EQ(host.lastMessage().text, "Item already selected");
        EXPECT_EQ(p->printList()->count(), 1);
        return TBaseDialog::ResultCancel;
    };
    window->runCommand(cmd::PrintDiagrams);
    EXPECT_EQ(host.messages.size(), 2u);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(pdfPath)));
    EXPECT_TRUE(window->projectWindows()->printSettings.selected.empty());
}

TEST_F(MainWindowTest, PrintWindowPrintsTheFocusedWindowOnOnePage) {
    newProjectWithUnit(cmd::NewClosed);
    for (QWidget* focused : {static_cast<QWidget*>(window->projectWindows()->views().front()),
                             static_cast<QWidget*>(window->projectWindows()->dataSheet())}) {
        activate(focused);
        pdfPath = dir.file(focused->metaObject()->className() + std::string(".pdf"));
        window->runCommand(cmd::PrintWindow);
        EXPECT_EQ(pdfPageCount(pdfPath), 1) << pdfPath;
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(MainWindowTest, UserNoteGoesToTheDataSheetOrToTheFocusedDiagramWithinItsSize) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    BoxProjectWindows* w = window->projectWindows();
    answerDialog = [](QDialog& d) {
        if (auto* input = qobject_cast<TInputDialog*>(&d))
            input->editor()->setPlainText(QString(700, QLatin1Char('x')));
        return TBaseDialog::ResultOk;
    };
    activate(w->dataSheet()); // 600 bytes with the terminator
    window->runCommand(cmd::UserNote);
    EXPECT_EQ(box.userNote(), std::string(599, 'x'));
    EXPECT_TRUE(w->dataSheet()->contents().endsWith(QString(599, QLatin1Char('x'))));
    activate(w->views().front()); // 50 bytes with the terminator
    window->runCommand(cmd::UserNote);
    EXPECT_EQ(box.splWindow().note(), std::string(49, 'x'));
}

// ---- the unit editor, the conversion tool -------------------------------------------

TEST_F(MainWindowTest, AnUnsavedUnitInTheEditorIsAskedAboutBeforeTheProjectCloses) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    window->runCommand(cmd::DriverEdit);
    QPointer<TSpeakerUnitDialog> editor = openDialog<TSpeakerUnitDialog>();
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->modelEdit()->text(), QString::fromStdString(box.front().modelText()));
    editor->editor().enterField(UnitField::Re, 7.1);

    host.answers.push_back(MessageResult::Cancel);
    window->runCommand(cmd::NewBassReflex);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.lastMessage().caption, "Speaker unit editor");
    EXPECT_EQ(host.lastMessage().text, "File has been changed.\r\nSave before exit ?");
    EXPECT_EQ(window->boxProject(), &box);
    EXPECT_TRUE(editor);

    // No drops the unit; the project then asks its own question.
    host.answers.insert(host.answers.end(), {MessageResult::No, MessageResult::No});
    host.files.push_back(std::nullopt);
    window->runCommand(cmd::NewBassReflex);
    EXPECT_EQ(host.messages[2].caption, "Box project");
    EXPECT_FALSE(editor);
    EXPECT_EQ(window->boxProject()->typeCode(), TBassReflexBox::kTypeCode);
}

struct YankeeCase {
    int field;
    int partner;
    double factor;
};

class YankeeTest : public MainWindowTest, public ::testing::WithParamInterface<YankeeCase> {};

TEST_P(YankeeTest, ChangingAFieldSetsItsPartner) {
    newProjectWithUnit(cmd::NewClosed);
    window->runCommand(cmd::Yankee);
    ASSERT_NE(window->yankee(), nullptr);
    EXPECT_FALSE(enabled(cmd::Yankee)) << "greyed while the tool is open";
    TDblEdit* field = window->yankee()->field(GetParam().field);
    TDblEdit* partner = window->yankee()->field(GetParam().partner);
    const double partnerBefore = partner->value();
    QTest::keyClick(field, Qt::Key_Up);
    drainEvents();
    EXPECT_NE(partner->value(), partnerBefore);
    EXPECT_DOUBLE_EQ(partner->value(), field->value() * GetParam().factor);
}

// mm/in, cm2/in2, l/ft3, m2/ft2, each way.
INSTANTIATE_TEST_SUITE_P(
    AllEightFields, YankeeTest,
    ::testing::Values(YankeeCase{105, 103, 0.03937007874015748}, YankeeCase{103, 105, 25.4},
                      YankeeCase{106, 102, 0.15500031000062}, YankeeCase{102, 106, 6.4516},
                      YankeeCase{108, 107, 0.03531466621266132}, YankeeCase{107, 108, 28.316847},
                      YankeeCase{104, 101, 10.763910416709722}, YankeeCase{101, 104, 0.09290304}));

} // namespace
} // namespace harlox
