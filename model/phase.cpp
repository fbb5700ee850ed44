#include "model/phase.hpp"

#include <string_view>

#include "core/text.hpp"

namespace model {

namespace {

struct SpecialName {
    std::string_view name;
    SpecialPhase which;
};

// Names (and the abbreviations used as names in some databases) of the
// phases with their own Gibbs-energy routines.
constexpr SpecialName kSpecialNames[] = {
    {"CALCITESS", SpecialPhase::Calcite},         {"Ccss", SpecialPhase::Calcite},
    {"ALENSTATITE", SpecialPhase::AlEnstatite},   {"aEn", SpecialPhase::AlEnstatite},
    {"CORDIERITE", SpecialPhase::Cordierite},     {"Cd", SpecialPhase::Cordierite},
    {"FE_CORDIERITE", SpecialPhase::Cordierite},  {"fCd", SpecialPhase::Cordierite},
    {"HYD-CORDIERITE", SpecialPhase::HydCordierite}, {"hCd", SpecialPhase::HydCordierite},
    {"PYRRHOTITE3", SpecialPhase::Pyrrhotite},    {"Po", SpecialPhase::Pyrrhotite},
};

// Does the 20-character blank-padded form of `name` equal `wanted`?
bool sameName20(std::string_view name, std::string_view wanted) {
    constexpr std::size_t kWidth = 20;
    for (std::size_t i = 0; i < kWidth; ++i) {
        char a = i < name.size() ? name[i] : ' ';
        char b = i < wanted.size() ? wanted[i] : ' ';
        if (a != b) return false;
    }
    return true;
}

}  // namespace

SpecialPhase specialPhaseOf(const std::string& name) {
    for (const SpecialName& s : kSpecialNames)
        if (sameName20(name, s.name)) return s.which;
    return SpecialPhase::None;
}

unsigned char name_flags_of(const std::string& name) {
    const std::string_view n = name;
    unsigned char flags = 0;
    if (sameName20(n, "PYROPE") || n.starts_with("Py ")) flags |= kNamePyrope;
    if (sameName20(n, "SPINEL") || n.starts_with("Sp ")) flags |= kNameSpinel;
    if (sameName20(n, "FORSTERITE") || n.starts_with("Fo ")) flags |= kNameForsterite;
    if (sameName20(n, "SULFUR GAS") || n.starts_with("S2")) flags |= kNameSulfurGas;
    return flags;
}

bool isQuartzName(const std::string& name) { return sameName20(name, "QUARTZ") || sameName20(name, "Qz"); }

}  // namespace model
