#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace harlox {

// The main window shows exactly one of these menu bars.
enum class MenuSetKind { Start, Box, ReflexBandpass, SimpleFilter, AdvancedFilter };

// A project kind by its type code, the first field of every project file.
struct ProjectType {
    std::int32_t code;
    std::string_view name;
    std::string_view objectClass;
    MenuSetKind menuSet;
    bool isBox;
    int filterVariant; // what the filter project is constructed with; -1 for boxes
};

inline constexpr std::array<ProjectType, 20> kProjectTypes{{
    {0, "Closed box", "TClosedBox", MenuSetKind::Box, true, -1},
    {1, "Bass reflex box", "TBassReflexBox", MenuSetKind::Box, true, -1},
    {2, "Double tuned bass reflex 1", "TBassReflexDTBox", MenuSetKind::Box, true, -1},
    {3, "Double tuned bass reflex 2", "TBassReflexDT2Box", MenuSetKind::Box, true, -1},
    {4, "Passive radiator box", "TAbrBox", MenuSetKind::Box, true, -1},
    {5, "Bandpass 1", "TBP5Box", MenuSetKind::Box, true, -1},
    {6, "Bandpass 2", "TBP6Box", MenuSetKind::Box, true, -1},
    {7, "Bandpass 3", "TBP7Box", MenuSetKind::Box, true, -1},
    {8, "Bandpass 4", "TBP8Box", MenuSetKind::Box, true, -1},
    {9, "Reflex bandpass", "TBassReflexVelBox", MenuSetKind::ReflexBandpass, true, -1},
    {15, "Simple passive 2-way filter", "TXover", MenuSetKind::SimpleFilter, false, 0},
    {16, "Simple passive 3-way filter", "TXover", MenuSetKind::SimpleFilter, false, 1},
    {20, "Advanced passive 1-way filter", "TXover", MenuSetKind::AdvancedFilter, false, 3},
    {21, "Advanced passive 2-way filter", "TXover", MenuSetKind::AdvancedFilter, false, 4},
    {22, "Advanced passive 3-way filter", "TXover", MenuSetKind::AdvancedFilter, false, 5},
    {23, "Advanced passive 4-way filter", "TXover", MenuSetKind::AdvancedFilter, false, 6},
    {25, "Active 1-way filter", "TXover", MenuSetKind::AdvancedFilter, false, 8},
    {26, "Active 2-way filter", "TXover", MenuSetKind::AdvancedFilter, false, 9},
    {27, "Active 3-way filter", "TXover", MenuSetKind::AdvancedFilter, false, 10},
    {28, "Active 4-way filter", "TXover", MenuSetKind::AdvancedFilter, false, 11},
}};

inline constexpr std::span<const ProjectType> projectTypes() {
    return kProjectTypes;
}

// Null for codes that are not project types (10 to 14, 17 to 19, 24, negative, above 28).
inline constexpr const ProjectType* findProjectType(std::int32_t code) {
    for (const ProjectType& t : kProjectTypes) {
        if (t.code == code) return &t;
    }
    return nullptr;
}

inline constexpr bool isBoxProjectCode(std::int32_t code) {
    const ProjectType* t = findProjectType(code);
    return t && t->isBox;
}

inline constexpr bool isFilterProjectCode(std::int32_t code) {
    const ProjectType* t = findProjectType(code);
    return t && !t->isBox;
}

} // namespace harlox
