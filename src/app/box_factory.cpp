#include "app/box_factory.h"

#include "box/abr_box.h"
#include "box/bandpass_box.h"
#include "box/bass_reflex_box.h"
#include "box/bass_reflex_vel_box.h"
#include "box/closed_box.h"
#include "box/double_tuned_box.h"

namespace harlox {

std::unique_ptr<TBoxEmbryo> makeBoxProject(int code, UiHost& ui) {
    switch (code) {
    case TClosedBox::kTypeCode:
        return std::make_unique<TClosedBox>(ui);
    case TBassReflexBox::kTypeCode:
        return std::make_unique<TBassReflexBox>(ui);
    case TBassReflexDTBox::kTypeCode:
        return std::make_unique<TBassReflexDTBox>(ui);
    case TBassReflexDT2Box::kTypeCode:
        return std::make_unique<TBassReflexDT2Box>(ui);
    case TAbrBox::kTypeCode:
        return std::make_unique<TAbrBox>(ui);
    case TBP5Box::kTypeCode:
        return std::make_unique<TBP5Box>(ui);
    case TBP6Box::kTypeCode:
        return std::make_unique<TBP6Box>(ui);
    case TBP7Box::kTypeCode:
        return std::make_unique<TBP7Box>(ui);
    case TBP8Box::kTypeCode:
        return std::make_unique<TBP8Box>(ui);
    case TBassReflexVelBox::kTypeCode:
        return std::make_unique<TBassReflexVelBox>(ui);
    default:
        return nullptr;
    }
}

} // namespace harlox
