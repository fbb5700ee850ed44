// Reactions written as text ("Ms + Qz = Kfs + Sil + H2O"), their phases
// found in a database and their balance checked.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "pelkam/database.hpp"
#include "pelkam/error.hpp"

namespace pelkam {

// A phase or a reaction as written: terms with decimal coefficients
// (negative for reactants, positive for products) and phase names or
// abbreviations.
struct ReactionText {
    std::string text;       // as written, without surrounding blanks
    bool reaction = false;  // false: a phase on its own (one term, coefficient 1)
    struct Term {
        double coefficient = 1;
        std::string phase;  // as written
    };
    std::vector<Term> terms;  // in the order written
};

// Reads "3 Ky = 3 Sil", "Ms + Qz = Kfs + Sil + H2O", "2Ky=2Sil" or a phase
// name alone.  Blanks around + and = are optional, a missing coefficient is
// 1, fractions such as 3/2 are refused (write 1.5), a coefficient must exceed
// 0.001.  A '+' written right after a name and followed by nothing but digits
// before the next '+', '=' or the end is the charge of an aqueous species:
// "Qz = SIO2(AQ)", "1.5 Kfs + H+ = 0.5 Ms + 3 Qz + K+", "CA+2 + CL- = CACL+".
// Errors (Request) name the reaction and the term.
Result<ReactionText> parseReaction(std::string_view text);

// A reaction whose phases were found: one term per phase (terms of the same
// phase summed, terms that cancel dropped), balanced in every element.
struct Reaction {
    std::string text;
    bool reaction = false;  // false: a phase on its own
    struct Term {
        double coefficient = 1;  // products positive, reactants negative
        PhaseInfo phase;
        std::string written;  // as written in the text (its first appearance)
    };
    std::vector<Term> terms;
    // Whether water, or carbon dioxide, or an aqueous species takes part.
    bool hasWater() const;
    bool hasCarbonDioxide() const;
    bool hasAqueousSpecies() const;
};

// A reaction's element balance must hold to within this (atoms per formula
// unit of reaction).
constexpr double kBalanceTolerance = 1e-6;

// Finds the phases of `text` in `index` (DatabaseIndex::find) and checks the
// balance of every element, the charge (element E) included.  Errors (Request): "unknown phase 'X': no
// abbreviation or name in FILE matches it", "reaction "..." has no net
// change", "reaction "..." is not balanced (products minus reactants): SI
// excess +1; ...".
Result<Reaction> balanceReaction(const DatabaseIndex& index, const ReactionText& text);

}  // namespace pelkam
