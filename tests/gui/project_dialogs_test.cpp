#include "gui/project_dialogs.h"

#include "box/bass_reflex_box.h"
#include "box/closed_box.h"
#include "core/command_ids.h"
#include "gui/brefl_dialog.h"
#include "gui/closed_dialog.h"
#include "gui/dbl_edit.h"
#include "gui/electrical_conn_dialog.h"
#include "gui/measure_setup_dialog.h"
#include "gui/speaker_config_dialog.h"
#include "dialog_test_support.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

class ProjectDialogsTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        parent = std::make_unique<QWidget>();
        closed = std::make_unique<TClosedBox>(ui);
        reflex = std::make_unique<TBassReflexBox>(ui);
        closed->front().SetDefaultUnit();
        reflex->front().SetDefaultUnit();
    }
    void TearDown() override {
        parent.reset();
        closed.reset();
        reflex.reset();
        DialogTest::TearDown();
    }
    ProjectDialogContext context(TBoxEmbryo& project) {
        return {project, ui, parent.get(), [this](int code) { codes.push_back(code); }};
    }

    std::unique_ptr<QWidget> parent;
    std::unique_ptr<TClosedBox> closed;
    std::unique_ptr<TBassReflexBox> reflex;
    std::vector<int> codes;
};

TEST_F(ProjectDialogsTest, EachCommandOpensItsDialog) {
    struct Case {
        TBoxEmbryo* project;
        int command;
        const char* title;
    };
    const std::vector<Case> cases = {
        {closed.get(), cmd::Box, "Closed box"},
        {reflex.get(), cmd::Box, "Bassreflex box"},
        {closed.get(), cmd::MeasSetup, "Measurement setup"},
        {reflex.get(), cmd::DriverConfig, "Driver unit configuration"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(hasProjectDialog(c.command, *c.project)) << c.title;
        QPointer<QWidget> w = openProjectDialog(c.command, context(*c.project));
        ASSERT_TRUE(w) << c.title;
        EXPECT_EQ(w->windowTitle(), QString::fromLatin1(c.title));
        EXPECT_EQ(w->parentWidget(), parent.get());
        EXPECT_TRUE(w->isVisible());
        EXPECT_TRUE(w->testAttribute(Qt::WA_DeleteOnClose));
        // Esc ends it; closing deletes it.
        qobject_cast<TBaseDialog*>(w.data())->cancelCommand();
        test::drainEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(w) << c.title;
    }
    EXPECT_TRUE(codes.empty());
}

TEST_F(ProjectDialogsTest, CommandsWithoutADialogHere) {
    EXPECT_FALSE(hasProjectDialog(cmd::RearDriverConfig, *closed));
    EXPECT_FALSE(hasProjectDialog(cmd::Calculate, *closed));
    EXPECT_EQ(openProjectDialog(cmd::RearDriverConfig, context(*closed)), nullptr);
    EXPECT_EQ(openProjectDialog(cmd::Calculate, context(*closed)), nullptr);
}

TEST_F(ProjectDialogsTest, ChangesGoThroughTheMainWindowsNotification) {
    auto* box = qobject_cast<TBreflDialog*>(openProjectDialog(cmd::Box, context(*reflex)));
    ASSERT_NE(box, nullptr);
    test::showActive(box);
    typeAndEnter(box->boxFields().volumeField(), QStringLiteral("30"));
    test::drainEvents();
    EXPECT_DOUBLE_EQ(reflex->port().Vbox, 0.03);

    auto* setup = qobject_cast<TMeasureSetupDialog*>(openProjectDialog(cmd::MeasSetup, context(*reflex)));
    ASSERT_NE(setup, nullptr);
    setup->calculateImmediatelyBox()->click();
    EXPECT_EQ(codes, (std::vector<int>{0, 1}));
    EXPECT_TRUE(ui.posted.empty()) << "the hook does the posting";
}

// Every label, button and field shows its whole text: nothing is cut off by the layout.
void expectNothingClipped(QWidget* dialog) {
    const std::string title = dialog->windowTitle().toStdString();
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(dialog)) continue;
        const QRect inDialog(w->mapTo(dialog, QPoint(0, 0)), w->size());
        EXPECT_TRUE(dialog->rect().contains(inDialog)) << title << ": " << w->metaObject()->className();
        if (qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w)) {
            EXPECT_GE(w->width(), w->minimumSizeHint().width())
                << title << ": " << w->metaObject()->className() << " '"
                << (qobject_cast<QLabel*>(w) ? qobject_cast<QLabel*>(w)->text()
                                             : qobject_cast<QAbstractButton*>(w)->text())
                       .toStdString()
                << "'";
        }
        if (auto* e = qobject_cast<TEntryEdit*>(w)) {
            const int textWidth = e->fontMetrics().horizontalAdvance(e->text());
            EXPECT_LT(textWidth, e->width() - 6) << title << ": field '" << e->text().toStdString() << "'";
        }
    }
}

TEST_F(ProjectDialogsTest, DialogsFitTheirContent) {
    // Wide values in every field, so the check covers the longest texts.
    sharedSetup().setPg(125000.0);
    sharedSetup().Rg = -0.05;
    reflex->setVb(10.0);
    ASSERT_TRUE(reflex->port().setFlareRadius(199.0));
    ASSERT_TRUE(reflex->front().setDriverCount(6));
    const std::vector<std::pair<TBoxEmbryo*, int>> cases = {
        {closed.get(), cmd::Box},
        {reflex.get(), cmd::Box},
        {reflex.get(), cmd::MeasSetup},
        {reflex.get(), cmd::DriverConfig},
    };
    const QByteArray shots = qgetenv("HARLOX_DIALOG_SHOTS"); // a folder: keep pictures to look at
    for (const auto& [project, command] : cases) {
        QWidget* w = openProjectDialog(command, context(*project));
        ASSERT_NE(w, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
        expectNothingClipped(w);
        if (!shots.isEmpty()) {
            QString name = w->windowTitle().toLower();
            name.replace(QLatin1Char(' '), QLatin1Char('_'));
            w->grab().save(QString::fromLocal8Bit(shots) + QLatin1Char('/') + name + QStringLiteral(".png"));
        }
        if (command == cmd::DriverConfig) {
            auto* cfg = qobject_cast<TSpeakerConfigDialog*>(w);
            QWidget* conn = cfg->openConnectionDialog();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(conn));
            expectNothingClipped(conn);
            if (!shots.isEmpty())
                conn->grab().save(QString::fromLocal8Bit(shots) +
                                  QStringLiteral("/electrical_connection.png"));
        }
        w->close();
    }
}

} // namespace
} // namespace harlox
