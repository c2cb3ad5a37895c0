#include "gui/general_dialog.h"
#include "gui/spl_total_export_dialog.h"

#include "filter/general.h"
#include "filter/xover.h"
#include "dialog_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace harlox {
namespace {

using Texts = std::vector<std::string>;

Texts texts(const QListWidget* l) {
    Texts out;
    for (int i = 0; i < l->count(); ++i)
        out.push_back(l->item(i)->text().toStdString());
    return out;
}

void pick(QListWidget* l, const char* text) {
    const QList<QListWidgetItem*> found = l->findItems(QString::fromLatin1(text), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << text;
    l->setCurrentItem(found.front());
}

// The user picks an entry of a drop-down list.
void choose(QComboBox* list, const char* text) {
    const int at = list->findText(QString::fromLatin1(text));
    ASSERT_GE(at, 0) << text;
    list->setCurrentIndex(at);
    emit list->activated(at);
}

// The dialog on the settings of a 2-way simple project; every change recalculates it.
class GeneralDialogTest : public test::DialogTest {
protected:
    void SetUp() override {
        DialogTest::SetUp();
        xover = std::make_unique<TXover>(general, 0, ui);
        ui.runPosted();
        open();
    }
    void open() {
        dialog = std::make_unique<TGeneralDialog>(nullptr, general, ui, [this] {
            ++changes;
            xover->GeneralChanged();
            xover->Calculate();
        });
        test::showActive(dialog.get());
    }
    void addSurface(const char* angle) {
        pick(dialog->pickList(), angle);
        dialog->surfaceAddButton()->click();
    }
    void expectMessage(const char* text) {
        ASSERT_FALSE(ui.messages.empty());
        EXPECT_EQ(ui.lastMessage().text, text);
        EXPECT_EQ(ui.lastMessage().caption, "");
        EXPECT_EQ(ui.lastMessage().icon, MessageIcon::Exclamation);
        EXPECT_EQ(ui.lastMessage().buttons, MessageButtons::Ok);
        ui.messages.clear();
    }

    TGeneral general;
    std::unique_ptr<TXover> xover;
    std::unique_ptr<TGeneralDialog> dialog;
    int changes = 0;
};

TEST_F(GeneralDialogTest, RayButtonsEditBothListsRefuseWithMessagesAndRecalculate) {
    EXPECT_EQ(dialog->pickList()->count(), 29);
    EXPECT_TRUE(dialog->pickList()->findItems(QStringLiteral("+40"), Qt::MatchExactly).isEmpty());
    addSurface("+30");
    addSurface("-30");
    EXPECT_EQ(texts(dialog->surfaceList()), (Texts{"+30", "+0", "-30"}));
    EXPECT_EQ(general.mainRay(), 1);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(xover->SurfaceWindow().curveCount(), 3);

    addSurface("-30");
    expectMessage("Ray already selected");
    pick(dialog->surfaceList(), "+0");
    dialog->surfaceRemoveButton()->click();
    expectMessage("Can not remove on axis ray");

    pick(dialog->surfaceList(), "+30");
    dialog->overlayAddButton()->click();
    EXPECT_EQ(texts(dialog->overlayList()), (Texts{"+0", "+30"}));
    EXPECT_EQ(xover->OverlayWindow().curveCount(), 2);
    EXPECT_EQ(changes, 3);

    // A surface ray that goes takes its overlay entry along.
    pick(dialog->surfaceList(), "+30");
    dialog->surfaceRemoveButton()->click();
    EXPECT_EQ(texts(dialog->surfaceList()), (Texts{"+0", "-30"}));
    EXPECT_EQ(texts(dialog->overlayList()), (Texts{"+0"}));
    EXPECT_EQ(xover->SurfaceWindow().curveCount(), 2);

    // "Inhibit" leaves only the main ray, and Add does nothing.
    const int before = changes;
    dialog->inhibitBox()->click();
    EXPECT_EQ(general.inhibit, 1);
    EXPECT_EQ(xover->SurfaceWindow().curveCount(), 0);
    addSurface("-60");
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(general.surfaceCount(), 2);
    EXPECT_EQ(changes, before + 1);
}

TEST_F(GeneralDialogTest, AutomaticFieldsShowDashesAndTheRangesHold) {
    for (QLineEdit* f : std::initializer_list<QLineEdit*>{dialog->gdMaxField(), dialog->gdMinField(),
                                                          dialog->impedanceMaxField(), dialog->distanceField()}) {
        EXPECT_EQ(f->text(), QStringLiteral("---"));
        EXPECT_TRUE(f->isReadOnly());
    }
    // The arrow keys leave an automatic field alone.
    dialog->gdMaxField()->setFocus();
    QTest::keyClick(dialog->gdMaxField(), Qt::Key_Up);
    settle();
    EXPECT_EQ(general.gdMax, 10.0);
    EXPECT_EQ(dialog->gdMaxField()->text(), QStringLiteral("---"));

    dialog->gdAutoBox()->click();
    dialog->infiniteBox()->click();
    EXPECT_TRUE(general.gdAuto == 0 && general.infinite == 0);
    EXPECT_EQ(dialog->gdMaxField()->text(), QStringLiteral("10.0"));
    EXPECT_EQ(dialog->gdMinField()->text(), QStringLiteral("-2.0"));
    EXPECT_EQ(dialog->distanceField()->text(), QStringLiteral("1.00"));
    EXPECT_EQ(changes, 2);

    enter(dialog->gdMaxField(), QStringLiteral("20"));
    enter(dialog->distanceField(), QStringLiteral("3"));
    EXPECT_EQ(general.gdMax, 20.0);
    EXPECT_EQ(general.distance, 3.0);
    EXPECT_EQ(changes, 4);
    // Refused: Min above Max, a listener inside the cabinet, a range of nothing.
    const test::Edit refused[] = {{dialog->gdMinField(), "25"},
                                  {dialog->distanceField(), "0.1"},
                                  {dialog->splRangeField(), "0"}};
    for (const test::Edit& e : refused) {
        const int beepsBefore = beeps;
        const QString text = e.field->text();
        enter(e);
        EXPECT_EQ(beeps, beepsBefore + 1) << e.text;
        EXPECT_EQ(e.field->text(), text) << e.text;
    }
    EXPECT_EQ(general.gdMin, -2.0);
    EXPECT_EQ(general.distance, 3.0);
    EXPECT_EQ(general.splRange, 30);
    EXPECT_EQ(changes, 4);
}

TEST_F(GeneralDialogTest, ListsTitleAndPositionAreTakenOver) {
    EXPECT_EQ(dialog->pointsList()->currentText(), QStringLiteral("256"));
    EXPECT_EQ(dialog->lowerList()->currentText(), QStringLiteral("  20"));
    choose(dialog->pointsList(), "1024");
    choose(dialog->sampleRateList(), "48000");
    choose(dialog->lowerList(), " 100");
    choose(dialog->upperList(), "10000");
    EXPECT_EQ(general.ifftSize(), 2048);
    EXPECT_EQ(general.sampleRate(), 48000);
    EXPECT_EQ(general.lowerFrequency, 100);
    EXPECT_EQ(general.upperFrequency, 10000);
    EXPECT_EQ(changes, 4);
    choose(dialog->upperList(), "10000");
    EXPECT_EQ(changes, 4);

    enter(dialog->titleField(), QStringLiteral("Bookshelf 2-way"));
    EXPECT_EQ(general.title(), "Bookshelf 2-way");
    EXPECT_EQ(changes, 5);

    // A value no list offers (from a file) is shown as it is.
    general.lowerFrequency = 30;
    dialog->refresh();
    EXPECT_EQ(dialog->lowerList()->currentText(), QStringLiteral("30"));

    dialog->move(140, 90);
    dialog->done(TBaseDialog::ResultOk);
    EXPECT_TRUE(general.dialogPlaced);
    open();
    EXPECT_EQ(dialog->pos(), QPoint(140, 90));
}

TEST(SplTotalExportDialog, ReturnsTheChosenRayAndNothingOnCancel) {
    const std::vector<std::string> angles{"+30", "+0", "-30"};
    const auto run = [&](int selectRow, int result) {
        return chooseSplTotalRay(nullptr, angles, 1, [&](QDialog& d) {
            auto* dlg = qobject_cast<TSPLTotalExportDialog*>(&d);
            EXPECT_NE(dlg, nullptr);
            if (!dlg) return 0;
            EXPECT_EQ(texts(dlg->angleList()), (Texts{"+30", "+0", "-30"}));
            EXPECT_EQ(dlg->selectedRay(), 1);
            if (selectRow >= 0) dlg->angleList()->setCurrentRow(selectRow);
            return result;
        });
    };
    EXPECT_EQ(run(-1, TBaseDialog::ResultOk), 1);
    EXPECT_EQ(run(2, TBaseDialog::ResultOk), 2);
    EXPECT_EQ(run(2, TBaseDialog::ResultCancel), std::nullopt);
}

} // namespace
} // namespace harlox
