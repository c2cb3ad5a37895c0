// The desktop program driven as the user drives it: the real main window, its menus and
// dialogs, with a scripted host standing in for message boxes and file selectors.
#include "gui/main_window.h"
#include "main_window_fixture.h"

#include "app/app_config.h"
#include "app/command_table.h"
#include "app/project_types.h"
#include "box/bass_reflex_box.h"
#include "box/box_embryo.h"
#include "box/box_object.h"
#include "box/closed_box.h"
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
#include "gui/long_edit.h"
#include "gui/print_diagrams_dialog.h"
#include "gui/speaker_config_dialog.h"
#include "gui/speaker_unit_dialog.h"
#include "gui/yankee.h"
#include "gui_test_support.h"
#include "scripted_ui_host.h"
#include "temp_dir.h"

#include <QAction>
#include <QFileInfo>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QRadioButton>
#include <QRegion>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

using test::drainEvents;

// Pages of a PDF written by QPrinter.
int pdfPageCount(const std::string& path) {
    const std::vector<std::uint8_t> bytes = test::readAll(path);
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<qsizetype>(bytes.size()));
    return static_cast<int>(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))));
}

class MainWindowTest : public test::MainWindowFixture {
protected:
    void configureHooks() override {
        setWarningBeepHook([this] { ++beeps; });
        hooks.execDialog = [this](QDialog& d) {
            dialogs.emplace_back(d.metaObject()->className());
            return answerDialog ? answerDialog(d) : 1;
        };
        hooks.choosePrinter = [this](QPrinter& p) {
            p.setOutputFormat(QPrinter::PdfFormat);
            p.setOutputFileName(QString::fromStdString(pdfPath));
            return !pdfPath.empty();
        };
    }
    void TearDown() override {
        MainWindowFixture::TearDown();
        setWarningBeepHook({});
    }

    // New > Box with the built-in unit, calculated.
    TBoxEmbryo& newProjectWithUnit(int command) {
        host.files.push_back(unitPath());
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
    // The modeless dialog a command opened.
    template <class T> T* openDialog() const { return window->findChildren<T*>().value(0); }
    // Ends a modeless dialog with Cancel and lets it go.
    static void cancel(TBaseDialog* d) {
        d->cancelCommand();
        drainEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::vector<std::string> dialogs;
    std::string pdfPath;
    int beeps = 0;
};

TEST_F(MainWindowTest, MenusFollowTheCommandTableAndTheCommandStates) {
    const auto check = [&](MenuSetKind kind) {
        ASSERT_EQ(window->menuSetKind(), kind);
        const MenuBar shown = applyCommandStates(menuSet(kind), window->commandStates());
        for (const int id : menuCommandIds(menuSet(kind))) {
            const MenuNode* item = findMenuItem(shown, id);
            EXPECT_EQ(enabled(id), item && item->enabled && window->commandImplemented(id)) << id;
        }
    };
    check(MenuSetKind::Start);
    host.files.push_back(std::nullopt); // no unit yet
    window->runCommand(cmd::NewClosed);
    check(MenuSetKind::Box);
    // Greyed commands do nothing.
    for (const int id : {cmd::Calculate, cmd::ExportSpl})
        window->runCommand(id);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(host.fileRequests.size(), 1u);
}

TEST_F(MainWindowTest, BoxFieldsRefuseOutOfRangeMoveOnWithEnterAndRecalculate) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    const double spl = box.SPL[0];
    window->runCommand(cmd::Box);
    QPointer<TClosedDialog> dialog = openDialog<TClosedDialog>();
    ASSERT_TRUE(dialog);
    EXPECT_FALSE(enabled(cmd::Box)) << "greyed while the dialog is open";
    test::showActive(dialog);
    const auto typeAndEnter = [&](TDblEdit* field, const QString& text) {
        test::typeInto(field, text);
        QTest::keyClick(field, Qt::Key_Return);
        drainEvents();
        host.runPosted();
    };

    TDblEdit* volume = dialog->boxFields().volumeField();
    EXPECT_EQ(volume->toolTip(), QStringLiteral("Box volume: 0.1 to 10000 l (1 decimal)"));
    typeAndEnter(volume, QStringLiteral("10001"));
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(window->statusBar()->currentMessage(), QStringLiteral("Box volume must lie between 0.1 and 10000 l"));
    if (const char* shots = std::getenv("HARLOX_SCREENSHOTS"))
        window->grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/status_refusal.png"));
    EXPECT_EQ(volume->text(), QStringLiteral("10.0"));
    EXPECT_DOUBLE_EQ(box.boxElement()->Vb, 0.01);
    EXPECT_EQ(box.SPL[0], spl);

    typeAndEnter(volume, QStringLiteral("40"));
    EXPECT_TRUE(dialog->boxFields().qlField()->hasFocus());
    EXPECT_DOUBLE_EQ(box.boxElement()->Vb, 0.04);
    EXPECT_GT(box.SPL[0], spl + 0.5); // more volume, more bass
    typeAndEnter(dialog->boxFields().qlField(), QStringLiteral("7.5"));
    EXPECT_DOUBLE_EQ(box.boxElement()->Ql, 7.5);
    EXPECT_EQ(beeps, 1);

    cancel(dialog);
    ASSERT_FALSE(dialog);
    EXPECT_TRUE(enabled(cmd::Box));
    // Closing the project closes its dialogs.
    window->runCommand(cmd::MeasSetup);
    QPointer<TBaseDialog> setup = openDialog<TBaseDialog>();
    ASSERT_TRUE(setup);
    window->closeProject();
    EXPECT_FALSE(setup);
}

class BoxLayoutTest : public MainWindowTest, public ::testing::WithParamInterface<int> {};

TEST_P(BoxLayoutTest, ANewBoxProjectFillsTheWindowAndNamesEveryCurve) {
    window->resize(1560, 940); // wider and taller than the diagrams' own default sizes
    drainEvents();
    TBoxEmbryo& box = newProjectWithUnit(GetParam());
    drainEvents();
    const QRect area(QPoint(0, 0), window->mdiArea()->viewport()->size());
    QRegion uncovered(area);
    for (const QMdiSubWindow* s : window->mdiArea()->subWindowList()) {
        if (s->isMinimized()) continue;
        EXPECT_TRUE(area.contains(s->geometry())) << s->windowTitle().toStdString();
        uncovered -= s->geometry();
    }
    qint64 free = 0;
    for (const QRect& r : uncovered)
        free += qint64{r.width()} * r.height();
    // What is left is the strip for the windows put aside.
    EXPECT_LT(free, qint64{area.width()} * area.height() / 20);
    for (const DiagramModel* m : box.diagramWindows()) {
        for (int c = 0; c < m->curveCount(); ++c)
            EXPECT_TRUE(!m->curve(c).y || !m->curve(c).label.empty()) << m->title() << " curve " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(Types, BoxLayoutTest, ::testing::Values(cmd::NewClosed, cmd::NewBassReflex));

// The data sheet's longest line fits at the sheet's own width; a narrower sheet scrolls.
TEST(InfoWin, TheLongestLineIsNeverCutOff) {
    TInfoWin sheet;
    const QString line = QStringLiteral(" Electrical connection of drivers : Series");
    sheet.setContents(QStringLiteral("Driver\n # drivers\t2\n") + line, QString());
    EXPECT_GT(sheet.contentWidth(), sheet.fontMetrics().horizontalAdvance(line));
    sheet.resize(sheet.sizeHint());
    sheet.show();
    drainEvents();
    EXPECT_EQ(sheet.horizontalScrollBar()->maximum(), 0);
    sheet.resize(150, 300);
    drainEvents();
    EXPECT_GT(sheet.horizontalScrollBar()->maximum(), 0);
}

TEST_F(MainWindowTest, CancelInTheSaveQuestionKeepsTheProjectYesSavesIt) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    for (const int command : {cmd::NewBassReflex, cmd::Open}) {
        host.answers.push_back(MessageResult::Cancel);
        window->runCommand(command);
        EXPECT_EQ(host.lastMessage().caption, "Box project");
        EXPECT_EQ(host.lastMessage().text, "Project has been changed.\r\nSave project ?");
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

// A file that cannot be opened: what is said, and the project open afterwards.
struct OpenCase {
    std::vector<std::uint8_t> bytes; // the type code first, little-endian; empty: no such file
    const char* caption;
    const char* text;
    int typeAfter; // -1: none
};

class OpenFailureTest : public MainWindowTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenFailureTest, SaysWhyAndLeavesTheProjectAsTheFileAllows) {
    const OpenCase& c = GetParam();
    newProjectWithUnit(cmd::NewBassReflex);
    host.answers.push_back(MessageResult::No);
    host.files.push_back(c.bytes.empty() ? dir.file("missing.box") : writeFile("bad.box", c.bytes));
    window->runCommand(cmd::Open);
    EXPECT_EQ(host.fileRequests.back().filter, TBoxEmbryo::kProjectFilter);
    EXPECT_EQ(host.lastMessage().caption, c.caption);
    EXPECT_EQ(host.lastMessage().text, c.text);
    EXPECT_EQ(window->boxProject() ? window->boxProject()->typeCode() : -1, c.typeAfter);
    // Only the old project still has its unit; a cut file leaves an empty closed box.
    EXPECT_EQ(enabled(cmd::Calculate), c.typeAfter == TBassReflexBox::kTypeCode);
}

const char* const kBadData = "Bad data in file.\nThe project file is corrupt.";
constexpr int kKept = TBassReflexBox::kTypeCode;

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFailureTest,
    ::testing::Values(
        OpenCase{{},
                 "Harlox project",
                 "Could not open project.\nThe filname probably points at\na nonexisting file.",
                 kKept},
        OpenCase{{0, 0, 0}, "Box project", "Could not read project.\nThe project file is corrupt.", kKept},
        OpenCase{{10, 0, 0, 0}, "Error", kBadData, -1},
        // A simple 2-way filter project cut short: an empty one of that variant stays open.
        OpenCase{{15, 0, 0, 0}, "", "Error while reading box data.\nThe project file is corrupt.", -1},
        // A closed box (type 0) with its data cut short.
        OpenCase{std::vector<std::uint8_t>(100, 0), "",
                 "Error while reading box data.\nThe project file is corrupt.", TClosedBox::kTypeCode}));

TEST_F(MainWindowTest, TheNextStartReadsTheConfigurationAndOpensTheCommandLineProject) {
    const WindowRect rect{40, 50, 1040, 850};
    window->setOuterRect(rect);
    window->setShowLoadDriverNotice(false);
    ASSERT_TRUE(window->close());
    EXPECT_EQ(test::readAll(dir.file("harlox.cfg")), serializeAppConfig(rect, false));

    window = std::make_unique<TMainWindow>(host, hooks);
    window->startUp(writeFile("bad.box", {10, 0, 0, 0}));
    drainEvents(); // the frame is known once the window is shown
    EXPECT_EQ(window->outerRect(), rect);
    EXPECT_FALSE(window->showLoadDriverNotice());
    EXPECT_EQ(host.lastMessage().text, kBadData);
}

TEST_F(MainWindowTest, SaveAsThenOpenBringsTheProjectAndItsWindowsBack) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewBassReflex);
    box.setVb(0.045);
    BoxProjectWindows* w = window->projectWindows();
    w->subWindowOf(w->dataSheet())->setGeometry(300, 40, 350, 400);

    const std::string path = dir.file("round.box");
    host.files = {path, path};
    window->runCommand(cmd::SaveAs);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Harlox 4.00 - Bassreflex box - round.box"));
    const std::vector<std::uint8_t> saved = test::readAll(path);

    // Unchanged: Open asks nothing.
    window->runCommand(cmd::Open);
    host.runPosted();
    EXPECT_TRUE(host.messages.empty());
    TBoxEmbryo* opened = window->boxProject();
    ASSERT_NE(opened, nullptr);
    EXPECT_DOUBLE_EQ(opened->boxElement()->Vb, 0.045);
    EXPECT_FALSE(opened->isChanged());
    w = window->projectWindows();
    EXPECT_EQ(w->subWindowOf(w->dataSheet())->geometry(), QRect(300, 40, 350, 400));

    // Save goes back to the same file, without asking, byte for byte.
    window->runCommand(cmd::Save);
    EXPECT_EQ(host.fileRequests.size(), 3u);
    EXPECT_EQ(test::readAll(path), saved);
}

// The pick list offers the room and transient windows too: seven for a bass reflex box.
TEST_F(MainWindowTest, PrintDiagramsRefusesDoublesAndPrintsSevenDiagramsFourToAPageOnTwoPages) {
    newProjectWithUnit(cmd::NewBassReflex);
    ASSERT_EQ(window->projectWindows()->views().size(), 5u);
    pdfPath = dir.file("print.pdf");
    answerDialog = [](QDialog& d) {
        auto* p = qobject_cast<TPrintDiagramsDialog*>(&d);
        if (!p) return 1;
        p->removeSelected();
        for (int row = 0; row < p->pickList()->count(); ++row) {
            p->pickList()->setCurrentRow(row);
            p->addPicked();
        }
        p->addPicked();
        p->perPageButton(4)->setChecked(true);
        return TBaseDialog::ResultOk;
    };
    window->runCommand(cmd::PrintDiagrams);
    ASSERT_EQ(host.messages.size(), 2u);
    EXPECT_EQ(host.messages[0].text, "No items left");
    EXPECT_EQ(host.messages[1].text, "Item already selected");
    EXPECT_EQ(pdfPageCount(pdfPath), 2);
    EXPECT_EQ(window->projectWindows()->printSettings.selected.size(), 7u);

    // Cancel prints nothing.
    answerDialog = [](QDialog&) { return TBaseDialog::ResultCancel; };
    pdfPath = dir.file("cancelled.pdf");
    window->runCommand(cmd::PrintDiagrams);
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(pdfPath)));

    // Print > Window: the focused window alone, on one page.
    activate(window->projectWindows()->dataSheet());
    pdfPath = dir.file("window.pdf");
    window->runCommand(cmd::PrintWindow);
    EXPECT_EQ(pdfPageCount(pdfPath), 1);
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
    activate(w->views().front()); // 50 bytes with the terminator
    window->runCommand(cmd::UserNote);
    EXPECT_EQ(box.splWindow().note(), std::string(49, 'x'));
}

TEST_F(MainWindowTest, AnUnsavedUnitInTheEditorIsAskedAboutBeforeTheProjectCloses) {
    TBoxEmbryo& box = newProjectWithUnit(cmd::NewClosed);
    window->runCommand(cmd::DriverEdit);
    QPointer<TSpeakerUnitDialog> editor = openDialog<TSpeakerUnitDialog>();
    ASSERT_TRUE(editor);
    editor->editor().enterField(UnitField::Re, 7.1);

    host.answers.push_back(MessageResult::Cancel);
    window->runCommand(cmd::NewBassReflex);
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.lastMessage().caption, "Speaker unit editor");
    EXPECT_EQ(host.lastMessage().text, "File has been changed.\r\nSave before exit ?");
    EXPECT_EQ(window->boxProject(), &box);
    EXPECT_TRUE(editor);

    // No drops the unit; the project then asks its own question.
    host.answers = {MessageResult::No, MessageResult::No};
    host.files.push_back(std::nullopt);
    window->runCommand(cmd::NewBassReflex);
    EXPECT_EQ(host.messages[2].caption, "Box project");
    EXPECT_FALSE(editor);
    EXPECT_EQ(window->boxProject()->typeCode(), TBassReflexBox::kTypeCode);
}

TEST_F(MainWindowTest, YankeeToolConvertsEachPairBothWays) {
    window->runCommand(cmd::Yankee);
    TYankee* tool = window->yankee();
    ASSERT_NE(tool, nullptr);
    EXPECT_FALSE(enabled(cmd::Yankee)) << "greyed while the tool is open";
    // Metric units per imperial unit, from the inch of 25.4 mm and the foot of 12 inches.
    const double ft = 0.3048;
    const double perImperial[] = {25.4, 2.54 * 2.54, 1000.0 * ft * ft * ft, ft * ft};
    for (std::size_t i = 0; i < TYankee::kPairs.size(); ++i) {
        TDblEdit* metric = tool->field(TYankee::kPairs[i].metric.id);
        TDblEdit* imperial = tool->field(TYankee::kPairs[i].imperial.id);
        // Each step changes one field, so a partner left behind would spoil the ratio.
        for (TDblEdit* stepped : {metric, imperial}) {
            QTest::keyClick(stepped, Qt::Key_Up);
            drainEvents();
            EXPECT_NEAR(imperial->value() * perImperial[i] / metric->value(), 1.0, 1e-7) << i;
        }
    }
}

// ---- the ten box types ------------------------------------------------------------------------

struct TypeCase {
    int command;
    int code;
    const char* dialogClass;
    bool bandpass;
};

void PrintTo(const TypeCase& c, std::ostream* os) {
    *os << "type " << c.code;
}

class MainWindowTypeTest : public MainWindowTest, public ::testing::WithParamInterface<TypeCase> {};

TEST_P(MainWindowTypeTest, NewLoadsTheUnitAndMakesTheTypeWithItsMenusWindowsAndBoxWindow) {
    const TypeCase& c = GetParam();
    if (c.code == 9) {
        // New > Box > Reflex BandPass lives in the reflex bandpass menu set.
        host.files.push_back(std::nullopt);
        host.files.push_back(std::nullopt);
        window->newProject(9);
        host.runPosted();
        host.fileRequests.clear();
        // The rear unit, asked for after the front one.
        TSpkData rear;
        rear.SetDefault();
        ASSERT_TRUE(rear.Save(dir.file("rear.unt")));
        host.files.push_back(dir.file("rear.unt"));
        host.answers.push_back(MessageResult::No); // the empty project is not saved
    }
    TBoxEmbryo& box = newProjectWithUnit(c.command);
    EXPECT_EQ(box.typeCode(), c.code);
    EXPECT_EQ(dialogs.back(), "harlox::TLoadDriverUnitInfoD");
    for (const auto& request : host.fileRequests)
        EXPECT_EQ(request.filter, TBoxEmbryo::kUnitFilter);
    EXPECT_EQ(host.messages.size(), c.code == 9 ? 1u : 0u) << "only the empty project's save question";
    EXPECT_TRUE(enabled(cmd::Calculate));
    EXPECT_EQ(window->menuSetKind(), c.code == 9 ? MenuSetKind::ReflexBandpass : MenuSetKind::Box);
    EXPECT_EQ(window->windowTitle().toStdString(), std::string("Harlox 4.00 - ") + box.typeName());
    EXPECT_EQ(enabled(cmd::ExportSplWaveModes), c.bandpass);
    EXPECT_EQ(window->commandAction(cmd::ExportSplWaveModes)->isVisible(), c.bandpass);

    // Every diagram of the type has its window, filled and shown, and Print > Diagrams offers each.
    BoxProjectWindows* w = window->projectWindows();
    EXPECT_EQ(w->dataSheet()->contents(), QString::fromStdString(box.dataSheetText("\n")));
    std::vector<std::string> models, views, offered;
    for (const DiagramModel* m : box.diagramWindows())
        models.push_back(m->title());
    for (const DiagramView* v : w->views()) {
        views.push_back(v->model()->title());
        EXPECT_EQ(v->model()->pointCount(), 50);
        EXPECT_TRUE(v->model()->yRange().valid && w->subWindowOf(v)->isVisible()) << views.back();
    }
    if (c.code == 0) {
        EXPECT_EQ(views, (std::vector<std::string>{"Free air SPL at 1m distance", "Impedance",
                                                   "Cone excursion", "Group delay"}));
    }
    answerDialog = [&offered](QDialog& d) {
        if (auto* p = qobject_cast<TPrintDiagramsDialog*>(&d))
            for (int row = 0; row < p->pickList()->count(); ++row)
                offered.push_back(p->pickList()->item(row)->text().toStdString());
        return TBaseDialog::ResultCancel;
    };
    window->runCommand(cmd::PrintDiagrams);
    std::sort(models.begin(), models.end());
    std::sort(views.begin(), views.end());
    EXPECT_EQ(offered.at(1), "SPL in Room & Cabinet");
    EXPECT_EQ(offered.at(4), "Impulse response");
    offered.erase(offered.begin() + 4);
    offered.erase(offered.begin() + 1);
    std::sort(offered.begin(), offered.end());
    EXPECT_EQ(views, models);
    EXPECT_EQ(offered, models);

    window->runCommand(cmd::Box);
    QPointer<TBaseDialog> dialog = openDialog<TBaseDialog>();
    ASSERT_TRUE(dialog);
    EXPECT_STREQ(dialog->metaObject()->className(), c.dialogClass);
    cancel(dialog);

    // Saved and opened again, it comes back as its type with its menu set.
    const std::string path = dir.file("type.box");
    host.files.push_back(path);
    window->runCommand(cmd::SaveAs);
    host.messages.clear();
    window->openProjectFile(path);
    host.runPosted();
    EXPECT_TRUE(host.messages.empty());
    ASSERT_NE(window->boxProject(), nullptr);
    EXPECT_EQ(window->boxProject()->typeCode(), c.code);
    EXPECT_EQ(window->menuSetKind(), c.code == 9 ? MenuSetKind::ReflexBandpass : MenuSetKind::Box);
    EXPECT_EQ(enabled(cmd::ExportSplWaveModes), c.bandpass);
}

INSTANTIATE_TEST_SUITE_P(
    Types, MainWindowTypeTest,
    ::testing::Values(TypeCase{cmd::NewClosed, 0, "harlox::TClosedDialog", false},
                      TypeCase{cmd::NewBassReflex, 1, "harlox::TBreflDialog", false},
                      TypeCase{cmd::NewBassReflexDT, 2, "harlox::TBreflDTDialog", false},
                      TypeCase{cmd::NewBassReflexDT2, 3, "harlox::TBreflDT2Dialog", false},
                      TypeCase{cmd::NewPassiveRadiator, 4, "harlox::TAbrDialog", false},
                      TypeCase{cmd::NewBandpass1, 5, "harlox::TBP5Dialog", true},
                      TypeCase{cmd::NewBandpass2, 6, "harlox::TBP6Dialog", true},
                      TypeCase{cmd::NewBandpass3, 7, "harlox::TBP7Dialog", true},
                      TypeCase{cmd::NewBandpass4, 8, "harlox::TBP8Dialog", true},
                      TypeCase{cmd::NewReflexBandpass, 9, "harlox::TBreflVelDialog", false}));

TEST_F(MainWindowTest, ReflexBandpassAsksForTheFrontThenTheRearUnitAndHasRearCommands) {
    TSpkData unit;
    unit.SetDefault();
    ASSERT_TRUE(unit.Save(dir.file("front.unt")));
    ASSERT_TRUE(unit.Save(dir.file("rear.unt")));
    host.files = {dir.file("front.unt"), dir.file("rear.unt")};
    window->newProject(9);
    host.runPosted();
    TBoxEmbryo* box = window->boxProject();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(dialogs, std::vector<std::string>{"harlox::TLoadDriverUnitInfoD"}) << "one notice for both";
    ASSERT_EQ(host.fileRequests.size(), 2u);
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(box->front().unitOk, 1);
    EXPECT_EQ(box->rear().unitOk, 1);

    // Rear driver unit > Load... asks again; Cancel keeps the unit.
    EXPECT_TRUE(enabled(cmd::RearDriverLoad));
    host.files.push_back(std::nullopt);
    window->runCommand(cmd::RearDriverLoad);
    EXPECT_EQ(host.fileRequests.size(), 3u);
    EXPECT_EQ(box->rear().unitOk, 1);

    // The two configurations, each under its own caption and on its own unit.
    const std::pair<int, const char*> configs[] = {{cmd::RearDriverConfig, "Rear driver unit configuration"},
                                                   {cmd::DriverConfig, "Front driver unit configuration"}};
    for (const auto& [command, caption] : configs) {
        ASSERT_TRUE(enabled(command)) << caption;
        window->runCommand(command);
        QPointer<TSpeakerConfigDialog> cfg = openDialog<TSpeakerConfigDialog>();
        ASSERT_TRUE(cfg) << caption;
        EXPECT_EQ(cfg->windowTitle().toStdString(), caption);
        EXPECT_FALSE(enabled(command)) << caption;
        test::showActive(cfg);
        TLongEdit* count = cfg->driverCountField();
        count->setFocus();
        QTest::keyClick(count, Qt::Key_Up);
        drainEvents();
        host.runPosted();
        cancel(cfg);
        ASSERT_FALSE(cfg) << caption;
        EXPECT_TRUE(enabled(command)) << caption;
    }
    EXPECT_EQ(box->rear().driverCount, 2);
    EXPECT_EQ(box->front().driverCount, 2);
}

} // namespace
} // namespace harlox
