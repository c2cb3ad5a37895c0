#include "filter/meas_data.h"

#include "core/program_dir.h"

#include <algorithm>
#include <optional>
#include <utility>

namespace harlox {

TMeasData::TMeasData(TMeasDataOwner& owner, MeasuredKind kind)
    : values_(kPoints), owner_(owner), kind_(kind) {
    const bool spl = kind == MeasuredKind::Spl;
    selector_.filter = spl ? kSplFilter : kImpedanceFilter;
    selector_.defaultExtension = spl ? "frd" : "zma";
    ClearCurve();
}

void TMeasData::ClearCurve() {
    fileName_.clear();
    loaded_ = 0;
}

void TMeasData::SetFileName(std::string_view name) {
    fileName_.assign(name.substr(0, std::min(name.size(), kMaxNameLength)));
}

bool TMeasData::SelectFile(UiHost& ui) {
    const std::optional<std::string> path = ui.selectFile(selector_, FileMode::Open);
    if (!path) return false;
    SetFileName(makeRelativeToProgramDir(*path));
    // A curve that loaded with a caveat says so once, when the user chose it.
    if (ReadCurve(&ui) && !message_.empty())
        ui.messageBox(kCaption, message_, MessageIcon::Information, MessageButtons::Ok);
    owner_.MeasDataChanged(*this);
    return true;
}

void TMeasData::refuse(UiHost* ui, std::string text) {
    loaded_ = 0;
    message_ = std::move(text);
    if (ui) ui->error(kCaption, message_);
}

bool TMeasData::ReadCurve(UiHost* ui) {
    loaded_ = 0;
    message_.clear();
    report_ = MeasuredReadReport{};
    if (fileName_.empty()) return false;

    const std::string path = resolveStoredName(fileName_);
    MeasuredGrid grid = owner_.MeasGrid();
    grid.n = std::min(grid.n, values_.length());
    if (grid.f == nullptr || grid.n <= 0) {
        refuse(ui, "There is no frequency grid to read " + fileName_ + " onto.");
        return false;
    }
    MeasuredReadRequest request;
    request.kind = kind_;
    request.grid = grid;
    report_ = readMeasuredCurve(path, request, values_.data());

    switch (report_.result) {
    case MeasuredReadResult::CannotOpen:
        refuse(ui, measuredOpenFailureText(path));
        return false;
    case MeasuredReadResult::NoData:
        refuse(ui, measuredNoDataText(fileName_, report_, grid.f[0]));
        return false;
    case MeasuredReadResult::Loaded:
        break;
    }
    // What the reader takes from such files is no measured curve at all.
    if (measuredLooksBinary(report_)) {
        refuse(ui, measuredBinaryText(fileName_));
        return false;
    }
    const MeasuredColumns columns = measuredColumns(report_);
    if (columns == MeasuredColumns::PhaseOnly || columns == MeasuredColumns::FrequencyOnly) {
        refuse(ui, measuredColumnsText(fileName_, columns));
        return false;
    }
    message_ = measuredColumnsText(fileName_, columns);
    // A grid shorter than the curve leaves the rest as the last value, as above the file's range.
    for (int i = std::max(grid.n, 1); i < values_.length(); ++i)
        values_[i] = values_[i - 1];
    loaded_ = 1;
    return true;
}

} // namespace harlox
