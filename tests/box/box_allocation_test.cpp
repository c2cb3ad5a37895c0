// The calculation cycle must not touch the heap: every per-frequency array is allocated
// with the project. This executable counts every global allocation to prove it.
#include "box/bass_reflex_box.h"
#include "box/closed_box.h"
#include "box_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>

namespace {
long gAllocations = 0;
} // namespace

// The library's array and nothrow forms end up in these.
void* operator new(std::size_t n) {
    ++gAllocations;
    if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace harlox {
namespace {

long allocationsDuring(TBoxEmbryo& box, int flag) {
    const long before = gAllocations;
    box.Calculate(flag);
    return gAllocations - before;
}

class CalculateAllocation : public test::BoxTest, public ::testing::WithParamInterface<bool> {};

TEST_P(CalculateAllocation, CalculateAllocatesNothingAfterTheFirstRun) {
    std::unique_ptr<TBoxEmbryo> box = std::make_unique<TClosedBox>(ui);
    if (GetParam()) box = std::make_unique<TBassReflexBox>(ui);
    // Every option that has a code path of its own is on.
    test::RefParams p;
    p.N = 500, p.Ug = 25, p.Rg = 0.5, p.Lg = 0.0003, p.dualCoil = true, p.n = 4, p.connection = 2;
    p.isobaric = p.cmsNonlinear = p.blNonlinear = p.coilHeating = p.portNonlinear = true;
    p.measured = {{20, 80, 10}, {200, 85, -20}, {2000, 83, 40}};
    test::applyParams(*box, p, dir);
    box->Calculate(0); // warm-up: reads the measured file, registers the command states
    ASSERT_EQ(box->lastPassCount(), 2);
    ASSERT_TRUE(box->front().importInUse());

    EXPECT_EQ(allocationsDuring(*box, 0), 0);
    EXPECT_EQ(allocationsDuring(*box, 1), 0);
    box->setVb(0.05); // an element changed: recomputed, still in place
    EXPECT_EQ(allocationsDuring(*box, 0), 0);
    box->setFastMode(true);
    EXPECT_EQ(allocationsDuring(*box, 0), 0);
    EXPECT_TRUE(ui.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(Types, CalculateAllocation, ::testing::Bool());

} // namespace
} // namespace harlox
