#pragma once

#include "box/box_embryo.h"

namespace harlox {

// A driver configuration in a sealed box: one box volume behind the cones.
class TClosedBox : public TBoxEmbryo {
public:
    static constexpr int kTypeCode = 0;

    explicit TClosedBox(UiHost& ui);

    [[nodiscard]] int typeCode() const override { return kTypeCode; }
    [[nodiscard]] const char* typeName() const override { return "Closed box"; }
    [[nodiscard]] const char* heading() const override { return "CLOSED BOX"; }

    TBoxObject& box() { return *box_; }
    [[nodiscard]] const TBoxObject& box() const { return *box_; }

    [[nodiscard]] bool hasQuickBox() const override { return true; }
    // Vb = n · QtsEff · Vas.
    bool QuickBox() override;

protected:
    void ComputeBackLoad() override;
    void ComputePressure() override;
};

} // namespace harlox
