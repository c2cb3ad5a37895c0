// The calculation cycle must not touch the heap: every per-frequency array is allocated
// with the project. This executable counts every global allocation to prove it.
#include "box/bass_reflex_box.h"
#include "box/closed_box.h"
#include "box/port_object.h"
#include "box_test_support.h"
#include "scripted_ui_host.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <new>

namespace {
long gAllocations = 0;
} // namespace

void* operator new(std::size_t n) {
    ++gAllocations;
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
    return ::operator new(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
    ++gAllocations;
    return std::malloc(n == 0 ? 1 : n);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept {
    return ::operator new(n, t);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

namespace harlox {
namespace {

long allocationsDuring(TBoxEmbryo& box, int flag) {
    const long before = gAllocations;
    box.Calculate(flag);
    return gAllocations - before;
}

class CalculateAllocation : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { test::resetSharedState(); }
    void TearDown() override { test::resetSharedState(); }

    // Every option that has a code path of its own is on.
    void configure(TBoxEmbryo& box) {
        sharedSetup().setUg(25);
        sharedSetup().Rg = 0.5;
        sharedSetup().Lg = 0.0003;
        sharedSetup().pointCount = 500;
        TSpeakerObject& d = box.front();
        d.SetDefaultUnit();
        d.dualCoil = 1;
        d.UnitEdited();
        ASSERT_TRUE(d.setDriverCount(4));
        ASSERT_TRUE(d.setDriverConnection(2));
        d.setIsobaric(true);
        d.cmsNonlinear = d.blNonlinear = d.coilHeating = 1;
        const std::string meas = dir.file("m.frd");
        std::ofstream(meas) << "20 80 10\n200 85 -20\n2000 83 40\n";
        d.setImportFile(meas);
        d.importUsable = 1;
        TPortObject::setNonLinear(true);
    }

    test::ScriptedUiHost ui;
    test::TempDir dir;
};

TEST_P(CalculateAllocation, CalculateAllocatesNothingAfterTheFirstRun) {
    std::unique_ptr<TBoxEmbryo> box;
    if (GetParam()) {
        box = std::make_unique<TBassReflexBox>(ui);
    } else {
        box = std::make_unique<TClosedBox>(ui);
    }
    configure(*box);
    box->Calculate(0); // warm-up: reads the measured file, registers the command states
    ASSERT_EQ(box->lastPassCount(), 2);
    ASSERT_TRUE(box->front().importInUse());

    EXPECT_EQ(allocationsDuring(*box, 0), 0);
    EXPECT_EQ(allocationsDuring(*box, 1), 0);
    box->setVb(0.05); // an element changed: recomputed, still in place
    EXPECT_EQ(allocationsDuring(*box, 0), 0);
    box->setFastMode(true);
    EXPECT_EQ(allocationsDuring(*box, 0), 0);
    box->setFastMode(false);
    EXPECT_EQ(allocationsDuring(*box, 0), 0);
    EXPECT_TRUE(ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Types, CalculateAllocation, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("BassReflex") : std::string("Closed");
                         });

} // namespace
} // namespace harlox
