// Reactions among the phases of a run and the list of pruned assemblages.
#pragma once
#include <array>
#include <bit>
#include <cstdint>
#include <string>

#include "model/chemical_system.hpp"
#include "model/gibbs.hpp"
#include "model/phase.hpp"

namespace calc {

// One balanced reaction among the loaded phases: a coefficient per phase,
// negative for reactants, positive for products; a phase takes part when its
// coefficient exceeds 0.001 in magnitude.
struct Reaction {
    int number = 0;  // position in the enumeration order, 1-based
    int phaseCount = 0;  // number of loaded phases the coefficients cover
    std::array<double, model::kMaxPhases> coef{};
    std::string text = std::string(120, ' ');
    model::ReactionTerms terms;  // participants and sums (FormatReaction fills them)
    double dPdT = 0;  // slope of the selection listing, truncated toward zero (bar/K)
};

// A set of phases (0-based indices below model::kMaxPhases) as a bit mask.
struct PhaseMask {
    std::array<std::uint64_t, 2> bits{};

    void set(int i) { bits[static_cast<std::size_t>(i >> 6)] |= std::uint64_t{1} << (i & 63); }
    void reset(int i) { bits[static_cast<std::size_t>(i >> 6)] &= ~(std::uint64_t{1} << (i & 63)); }
    bool test(int i) const { return (bits[static_cast<std::size_t>(i >> 6)] >> (i & 63)) & 1u; }
    int count() const { return std::popcount(bits[0]) + std::popcount(bits[1]); }
    bool empty() const { return (bits[0] | bits[1]) == 0; }
    PhaseMask operator|(const PhaseMask& o) const { return {{bits[0] | o.bits[0], bits[1] | o.bits[1]}}; }
    // The phases of this set that are not in `o`.
    PhaseMask without(const PhaseMask& o) const { return {{bits[0] & ~o.bits[0], bits[1] & ~o.bits[1]}}; }
    bool operator==(const PhaseMask& o) const { return bits == o.bits; }
    bool operator<(const PhaseMask& o) const { return bits < o.bits; }
    // Writes the phases in ascending order to `out` (up to `capacity`);
    // returns how many there are.
    int list(int* out, int capacity) const {
        int n = 0;
        for (std::size_t w = 0; w < 2; ++w)
            for (std::uint64_t b = bits[w]; b != 0; b &= b - 1) {
                if (n < capacity) out[n] = 64 * static_cast<int>(w) + std::countr_zero(b);
                ++n;
            }
        return n;
    }
};

// The phases of a coefficient row (n values) that take part: magnitude above 0.001.
inline PhaseMask phasesOf(const double* coef, int n) {
    PhaseMask m;
    for (int i = 0; i < n && i < model::kMaxPhases; ++i)
        if (coef[i] > 0.001 || coef[i] < -0.001) m.set(i);
    return m;
}

// Assemblages that are never stable on the diagram, and reactions already
// calculated: a later reaction containing every phase of an entry is skipped.
constexpr int kMaxPruned = 100;
constexpr int kMaxAssemblage = model::kMaxComponents + 1;
struct PrunedAssemblageList {
    int count = 0;
    std::array<int, kMaxPruned> length{};
    std::array<std::array<int, model::kMaxPhases>, kMaxPruned> phases{};  // phase indices
    void clear() { count = 0; }
};

}  // namespace calc
