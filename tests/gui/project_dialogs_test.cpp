#include "gui/project_dialogs.h"

#include "app/box_factory.h"
#include "box/bass_reflex_box.h"
#include "box/closed_box.h"
#include "core/command_ids.h"
#include "gui/electrical_conn_dialog.h"
#include "gui/entry_edit.h"
#include "gui/speaker_config_dialog.h"
#include "dialog_test_support.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

using ProjectDialogsTest = test::DialogTest;

// Every label, button and field shows its whole text: nothing is cut off by the layout.
void expectNothingClipped(QWidget* dialog) {
    const std::string title = dialog->windowTitle().toStdString();
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(dialog)) continue;
        const char* kind = w->metaObject()->className();
        EXPECT_TRUE(dialog->rect().contains(QRect(w->mapTo(dialog, QPoint(0, 0)), w->size())))
            << title << ": " << kind;
        const bool hasText = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w);
        EXPECT_TRUE(!hasText || w->width() >= w->minimumSizeHint().width()) << title << ": " << kind;
        if (auto* e = qobject_cast<TEntryEdit*>(w)) {
            EXPECT_LT(e->fontMetrics().horizontalAdvance(e->text()), e->width() - 6)
                << title << ": field '" << e->text().toStdString() << "'";
        }
    }
}

TEST_F(ProjectDialogsTest, DialogsFitTheirWidestContent) {
    QWidget parent; // goes first, with the dialogs
    // Wide values in every field, so the check covers the longest texts.
    sharedSetup().setPg(125000.0);
    sharedSetup().Rg = -0.05;
    for (int code = 0; code <= 9; ++code) {
        std::unique_ptr<TBoxEmbryo> project = makeBoxProject(code, ui);
        project->front().SetDefaultUnit();
        std::vector<int> commands{cmd::Box};
        if (code == TBassReflexBox::kTypeCode) {
            auto& reflex = static_cast<TBassReflexBox&>(*project);
            reflex.setVb(10.0);
            ASSERT_TRUE(reflex.port().setFlareRadius(199.0));
            ASSERT_TRUE(reflex.front().setDriverCount(6));
            commands = {cmd::Box, cmd::MeasSetup, cmd::DriverConfig};
        } else if (code != TClosedBox::kTypeCode) {
            project->setBoxVolume(*project->boxElement(), 9.9); // large volumes give the widest fields
        }
        for (const int command : commands) {
            QPointer<QWidget> w = openProjectDialog(command, {*project, ui, &parent, [](int) {}});
            ASSERT_TRUE(QTest::qWaitForWindowExposed(w)) << code;
            expectNothingClipped(w);
            if (auto* cfg = qobject_cast<TSpeakerConfigDialog*>(w)) {
                QWidget* conn = cfg->openConnectionDialog();
                ASSERT_TRUE(QTest::qWaitForWindowExposed(conn));
                expectNothingClipped(conn);
            }
            w->close();
            delete w; // before its project
        }
    }
}

} // namespace
} // namespace harlox
