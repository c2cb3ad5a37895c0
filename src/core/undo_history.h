#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace harlox {

// The project states of one editing session, oldest first, and which of them the project is
// in. A state is a project's bytes: a few kilobytes, so the history keeps every one.
class UndoHistory {
public:
    using State = std::vector<std::uint8_t>;

    // Starts over with one state and nothing to undo or redo.
    void clear(State initialState);
    // The state after an edit. One equal to the current state is no step (several
    // notifications of one action); otherwise the redo tail is dropped. False when ignored.
    bool record(State state);
    // The state to restore, or nothing when there is no step in that direction.
    [[nodiscard]] std::optional<State> undo();
    [[nodiscard]] std::optional<State> redo();

    [[nodiscard]] bool canUndo() const { return current_ > 0; }
    [[nodiscard]] bool canRedo() const { return current_ + 1 < states_.size(); }
    [[nodiscard]] bool empty() const { return states_.empty(); }
    [[nodiscard]] std::size_t size() const { return states_.size(); }
    [[nodiscard]] std::size_t currentIndex() const { return current_; }
    // The state the project is in; null before the first clear.
    [[nodiscard]] const State* current() const { return states_.empty() ? nullptr : &states_[current_]; }

private:
    std::vector<State> states_;
    std::size_t current_ = 0;
};

} // namespace harlox
