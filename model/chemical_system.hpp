// The chemical system of a run: the element table of the database, the
// elements the user chose, and every loaded phase's stoichiometry row.
#pragma once
#include <array>
#include <string>

#include "model/phase.hpp"

namespace model {

constexpr int kMaxElements = 120;
constexpr int kMaxComponents = 15;

struct ChemicalSystem {
    std::array<std::string, kMaxElements> elementSymbols;  // upper case, 8 characters blank-padded
    std::array<double, kMaxElements> atomicWeights{};
    std::array<double, kMaxElements> systemCoefficients{};
    int elementCount = 0;    // entries of the element table; after the load, the number of components
    int componentCount = 0;  // elements with a non-zero system coefficient (at most 15)
    int indexFe = 0;         // 1-based position of "FE" in the element table, 0 when absent
    std::string systemLine = std::string(120, ' ');
    std::string databaseLabel = std::string(13, ' ');  // label of the element header, not interpreted
    // One row per loaded phase: the coefficients of the formula, one per element.
    std::array<std::array<double, kMaxElements>, kMaxPhases> stoichiometry{};

    // 0-based index of a symbol (compared over 8 characters, upper case), or -1.
    int find(const std::string& symbol) const;
};

}  // namespace model
