#include "core/undo_history.h"

#include <gtest/gtest.h>

namespace harlox {
namespace {

UndoHistory::State s(std::uint8_t v) {
    return UndoHistory::State{v, 0, v};
}

TEST(UndoHistory, UndoAndRedoWalkTheRecordedStates) {
    UndoHistory h;
    EXPECT_FALSE(h.canUndo());
    EXPECT_FALSE(h.undo().has_value());
    h.clear(s(0));
    EXPECT_TRUE(h.record(s(1)));
    EXPECT_TRUE(h.record(s(2)));
    EXPECT_TRUE(h.canUndo());
    EXPECT_FALSE(h.canRedo());
    EXPECT_EQ(h.undo(), s(1));
    EXPECT_EQ(h.undo(), s(0));
    EXPECT_FALSE(h.undo().has_value());
    EXPECT_EQ(*h.current(), s(0));
    EXPECT_EQ(h.redo(), s(1));
    EXPECT_EQ(h.redo(), s(2));
    EXPECT_FALSE(h.redo().has_value());
    EXPECT_EQ(h.size(), 3U);
}

TEST(UndoHistory, EqualStatesCollapseIntoOneStep) {
    UndoHistory h;
    h.clear(s(0));
    EXPECT_FALSE(h.record(s(0)));
    EXPECT_TRUE(h.record(s(1)));
    EXPECT_FALSE(h.record(s(1)));
    EXPECT_EQ(h.size(), 2U);
    EXPECT_EQ(h.undo(), s(0));
    EXPECT_FALSE(h.canUndo());
    // The state undone to, recorded again (a notification after the restore), is no step
    // and keeps the redo tail.
    EXPECT_FALSE(h.record(s(0)));
    EXPECT_TRUE(h.canRedo());
}

TEST(UndoHistory, AnEditAfterUndoDropsTheRedoTail) {
    UndoHistory h;
    h.clear(s(0));
    (void)h.record(s(1));
    (void)h.record(s(2));
    (void)h.undo();
    (void)h.undo();
    EXPECT_TRUE(h.record(s(5)));
    EXPECT_FALSE(h.canRedo());
    EXPECT_EQ(h.size(), 2U);
    EXPECT_EQ(h.undo(), s(0));
    EXPECT_EQ(h.redo(), s(5));
}

TEST(UndoHistory, ClearForgetsEveryStep) {
    UndoHistory h;
    EXPECT_EQ(h.current(), nullptr);
    // A record before any clear starts the history instead of making a step.
    EXPECT_TRUE(h.record(s(7)));
    EXPECT_FALSE(h.canUndo());
    (void)h.record(s(8));
    (void)h.undo();
    h.clear(s(9));
    EXPECT_FALSE(h.canUndo());
    EXPECT_FALSE(h.canRedo());
    EXPECT_EQ(*h.current(), s(9));
}

TEST(UndoHistory, KeepsManySteps) {
    UndoHistory h;
    h.clear(s(0));
    for (int i = 1; i <= 200; ++i)
        (void)h.record(UndoHistory::State(static_cast<std::size_t>(i), 1));
    int undone = 0;
    while (h.undo())
        ++undone;
    EXPECT_EQ(undone, 200);
    EXPECT_EQ(*h.current(), s(0));
}

} // namespace
} // namespace harlox
