#pragma once

#include <cstdint>

namespace harlox {

class TGeneral;
class TNetBase;

// What a network needs of the filter project that owns it.
class TNetProject {
public:
    virtual ~TNetProject() = default;
    // An edit changed the network: mark the project changed and recalculate it.
    virtual void NetChanged(TNetBase& net) = 0;
};

// What the simple and the advanced networks share: the changed flag that makes the next
// calculation recompute, the owning project and the general settings with the filter grid.
class TNetBase {
public:
    TNetBase(TGeneral& general, TNetProject* project) : general_(general), project_(project) {}
    virtual ~TNetBase() = default;
    TNetBase(const TNetBase&) = delete;
    TNetBase& operator=(const TNetBase&) = delete;

    // Recomputes whatever the changed flags mark; false when measured curves it needs are
    // missing (the previous results then stay).
    virtual bool Calculate() = 0;

    [[nodiscard]] bool Changed() const { return changed_ != 0; }
    // The next calculation recomputes the whole network.
    void SetChanged() { changed_ = 1; }
    // An edit: marks the network changed and tells the project.
    void Edited() {
        changed_ = 1;
        if (project_ != nullptr) project_->NetChanged(*this);
    }

    [[nodiscard]] TGeneral& General() const { return general_; }
    [[nodiscard]] TNetProject* Project() const { return project_; }
    void SetProject(TNetProject* project) { project_ = project; }

protected:
    void clearChanged() { changed_ = 0; }

private:
    std::uint8_t changed_ = 1;
    TGeneral& general_;
    TNetProject* project_;
};

} // namespace harlox
