#include "gui/project_dialogs.h"

#include "box/abr_box.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/box_embryo.h"
#include "box/closed_box.h"
#include "box/double_tuned_box.h"
#include "core/command_ids.h"
#include "core/measure_setup.h"
#include "driver/spk_data.h"
#include "gui/abr_dialog.h"
#include "gui/bandpass_dialog.h"
#include "gui/brefl_dialog.h"
#include "gui/brefl_dt_dialog.h"
#include "gui/closed_dialog.h"
#include "gui/measure_setup_dialog.h"
#include "gui/room_cabinet_dialog.h"
#include "gui/snapshot_dialog.h"
#include "gui/snapshot_model.h"
#include "gui/speaker_config_dialog.h"
#include "gui/speaker_unit_dialog.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>

namespace harlox {

namespace {

constexpr const char* kRearConfigCaption = "Rear driver unit configuration";
constexpr const char* kFrontConfigCaption = "Front driver unit configuration";

// The reflex bandpass box names its two configurations.
constexpr int kReflexBandpassType = TBassReflexVelBox::kTypeCode;

template <class Dialog, class Project> QWidget* boxDialogFor(const ProjectDialogContext& ctx) {
    auto* project = dynamic_cast<Project*>(&ctx.project);
    return project ? new Dialog(ctx.parent, *project, ctx.ui, ctx.notifyChanged) : nullptr;
}

QWidget* createBoxDialog(const ProjectDialogContext& ctx) {
    switch (ctx.project.typeCode()) {
    case TClosedBox::kTypeCode:
        return boxDialogFor<TClosedDialog, TClosedBox>(ctx);
    case TBassReflexBox::kTypeCode:
        return boxDialogFor<TBreflDialog, TBassReflexBox>(ctx);
    case TBassReflexDTBox::kTypeCode:
        return boxDialogFor<TBreflDTDialog, TBassReflexDTBox>(ctx);
    case TBassReflexDT2Box::kTypeCode:
        return boxDialogFor<TBreflDT2Dialog, TBassReflexDT2Box>(ctx);
    case TAbrBox::kTypeCode:
        return boxDialogFor<TAbrDialog, TAbrBox>(ctx);
    case TBP5Box::kTypeCode:
        return boxDialogFor<TBP5Dialog, TBP5Box>(ctx);
    case TBP6Box::kTypeCode:
        return boxDialogFor<TBP6Dialog, TBP6Box>(ctx);
    case TBP7Box::kTypeCode:
        return boxDialogFor<TBP7Dialog, TBP7Box>(ctx);
    case TBP8Box::kTypeCode:
        return boxDialogFor<TBP8Dialog, TBP8Box>(ctx);
    case TBassReflexVelBox::kTypeCode:
        return boxDialogFor<TBreflVelDialog, TBassReflexVelBox>(ctx);
    default:
        return nullptr;
    }
}

// The free-air SPL as the design stands: a project changed since it was last calculated
// is calculated first, so the copy never shows an older design than the one being edited.
TSnapshotDialog::CurveSource freeAirSpl(TBoxEmbryo& project) {
    return [&project]() -> std::optional<TSnapshotDialog::Curve> {
        if (project.isChanged()) project.Calculate(0);
        const auto n = static_cast<std::size_t>(std::clamp(project.pointCount(), 0, kMaxPoints));
        if (n == 0) return std::nullopt;
        return TSnapshotDialog::Curve{std::span<const double>(TMeasureSetupObject::grid().f.data(), n),
                                      std::span<const double>(project.SPL.data(), n)};
    };
}

// The room and cabinet SPL as the design stands, calculated first as the free-air SPL is.
TSnapshotDialog::CurveSource roomSpl(TBoxEmbryo& project) {
    return [&project]() -> std::optional<TSnapshotDialog::Curve> {
        if (project.isChanged()) project.Calculate(0);
        const auto n = static_cast<std::size_t>(std::clamp(project.pointCount(), 0, kMaxPoints));
        if (n == 0 || !project.canCalculate()) return std::nullopt;
        return TSnapshotDialog::Curve{std::span<const double>(TMeasureSetupObject::grid().f.data(), n),
                                      std::span<const double>(project.roomCabinet().roomSpl.data(), n)};
    };
}

// The editor shows the project's unit; the window position stays with the record.
QWidget* createUnitEditor(const ProjectDialogContext& ctx) {
    TSpkData& record = *ctx.unitEditorRecord;
    const std::int16_t left = record.editorLeft;
    const std::int16_t top = record.editorTop;
    record = static_cast<const TSpkData&>(ctx.project.front());
    record.editorLeft = left;
    record.editorTop = top;
    return new TSpeakerUnitDialog(ctx.parent, ctx.ui, record, ctx.project.unitSelector());
}

QWidget* createDialog(int commandId, const ProjectDialogContext& ctx) {
    switch (commandId) {
    case cmd::Box:
        return createBoxDialog(ctx);
    case cmd::MeasSetup:
        return new TMeasureSetupDialog(ctx.parent, sharedSetup(), ctx.ui, ctx.notifyChanged);
    case cmd::DriverConfig: {
        const char* caption = ctx.project.typeCode() == kReflexBandpassType ? kFrontConfigCaption
                                                                            : TSpeakerConfigDialog::kCaption;
        return new TSpeakerConfigDialog(ctx.parent, ctx.project, ctx.project.front(), ctx.ui,
                                        QString::fromUtf8(caption), ctx.notifyChanged);
    }
    case cmd::RearDriverConfig:
        return new TSpeakerConfigDialog(ctx.parent, ctx.project, ctx.project.rear(), ctx.ui,
                                        QString::fromUtf8(kRearConfigCaption), ctx.notifyChanged);
    case cmd::Snapshot:
        return new TSnapshotDialog(ctx.parent, ctx.project.snapshot(), ctx.ui, freeAirSpl(ctx.project),
                                   roomSpl(ctx.project));
    case cmd::RoomCabinet:
        return new TRoomCabinetDialog(ctx.parent, ctx.project, ctx.ui, ctx.notifyChanged);
    case cmd::DriverEdit:
        return ctx.unitEditorRecord ? createUnitEditor(ctx) : nullptr;
    default:
        return nullptr;
    }
}

} // namespace

bool hasProjectDialog(int commandId, const TBoxEmbryo& project) {
    switch (commandId) {
    case cmd::Box:
    case cmd::MeasSetup:
    case cmd::DriverConfig:
    case cmd::DriverEdit:
    case cmd::Snapshot:
    case cmd::RoomCabinet:
        return true;
    case cmd::RearDriverConfig:
        return project.usesRearDriver();
    default:
        return false;
    }
}

QWidget* openProjectDialog(int commandId, const ProjectDialogContext& ctx) {
    if (!hasProjectDialog(commandId, ctx.project)) return nullptr;
    QWidget* dialog = createDialog(commandId, ctx);
    if (!dialog) return nullptr;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
    return dialog;
}

void notifyProjectChanged(QObject* dialog, TBoxEmbryo& project, UiHost& ui,
                          const std::function<void(int code)>& hook) {
    if (hook) {
        hook(0);
        return;
    }
    ui.post([alive = QPointer<QObject>(dialog), &project] {
        if (alive) project.ChangeNotification(0);
    });
}

} // namespace harlox
