#include "core/undo_history.h"

#include <utility>

namespace harlox {

void UndoHistory::clear(State initialState) {
    states_.clear();
    states_.push_back(std::move(initialState));
    current_ = 0;
}

bool UndoHistory::record(State state) {
    if (states_.empty()) {
        clear(std::move(state));
        return true;
    }
    if (states_[current_] == state) return false;
    states_.resize(current_ + 1);
    states_.push_back(std::move(state));
    current_ = states_.size() - 1;
    return true;
}

std::optional<UndoHistory::State> UndoHistory::undo() {
    if (!canUndo()) return std::nullopt;
    --current_;
    return states_[current_];
}

std::optional<UndoHistory::State> UndoHistory::redo() {
    if (!canRedo()) return std::nullopt;
    ++current_;
    return states_[current_];
}

} // namespace harlox
