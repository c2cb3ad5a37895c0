// The calculation cycle must not touch the heap: every per-frequency array is allocated
// with the project. This executable counts every global allocation to prove it.
#include "app/box_factory.h"
#include "box/box_embryo.h"
#include "box/port_object.h"
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

class CalculateAllocation : public test::BoxTest, public ::testing::WithParamInterface<int> {};

TEST_P(CalculateAllocation, CalculateAllocatesNothingAfterTheFirstRun) {
    std::unique_ptr<TBoxEmbryo> box = makeBoxProject(GetParam(), ui);
    ASSERT_TRUE(box);
    // Every option that has a code path of its own is on.
    test::RefParams p;
    p.N = 500, p.Ug = 25, p.Rg = 0.5, p.Lg = 0.0003, p.dualCoil = true, p.n = 4, p.connection = 2;
    p.isobaric = p.cmsNonlinear = p.blNonlinear = p.coilHeating = p.portNonlinear = true;
    p.measured = {{20, 80, 10}, {200, 85, -20}, {2000, 83, 40}};
    test::applyParams(*box, p, dir);
    if (box->usesRearDriver()) {
        TSpeakerObject& rear = box->rear();
        rear.SetDefaultUnit();
        ASSERT_TRUE(rear.setDriverCount(2));
        rear.cmsNonlinear = rear.blNonlinear = rear.coilHeating = 1;
    }
    for (TPortObject* port : {box->portElement(), box->port2Element()}) {
        if (port) port->portChanged = 1;
    }
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

INSTANTIATE_TEST_SUITE_P(Types, CalculateAllocation, ::testing::Range(0, 10));

} // namespace
} // namespace harlox
