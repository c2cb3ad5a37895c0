#pragma once

#include <map>

namespace harlox {

enum class CommandState { Enabled, Greyed, Removed };

// The state of menu commands by command id. Commands never set are enabled. A removed
// command stays removed until it is explicitly enabled or greyed again.
class CommandStateModel {
public:
    void set(int id, CommandState state) { states_[id] = state; }
    void enable(int id) { set(id, CommandState::Enabled); }
    void grey(int id) { set(id, CommandState::Greyed); }
    void remove(int id) { set(id, CommandState::Removed); }
    [[nodiscard]] CommandState state(int id) const {
        const auto it = states_.find(id);
        return it == states_.end() ? CommandState::Enabled : it->second;
    }
    [[nodiscard]] bool isEnabled(int id) const { return state(id) == CommandState::Enabled; }
    void clear() { states_.clear(); }

private:
    std::map<int, CommandState> states_;
};

} // namespace harlox
