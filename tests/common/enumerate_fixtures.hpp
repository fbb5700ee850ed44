// Phase sets for the enumeration tests, and independent routines to check
// the enumeration against: a basis chosen by plain Gaussian elimination and
// a brute-force search for every minimal linearly dependent set of phase
// compositions.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "calc/enumerate.hpp"
#include "calc/selection.hpp"
#include "model/chemical_system.hpp"
#include "model/phase.hpp"

namespace enumerate_test {

using Row = std::vector<double>;

// A run's phases: the table (compacted to the chosen phases) and each phase's
// composition over the components of the run.
struct PhaseSet {
    model::PhaseTable table;
    std::vector<Row> composition;
    int components = 0;
    // The chemical system with its stoichiometry rows in the order of the
    // table (bundled phases only).
    std::unique_ptr<model::ChemicalSystem> system;
};

// Phases of the bundled database for the elements given, in the order of
// `abbreviations` (each must exist); the component columns are the elements
// that occur in at least one chosen phase.
std::unique_ptr<PhaseSet> bundledPhases(const std::string& elements, const std::vector<std::string>& abbreviations);

// A made-up phase set: names and abbreviations "P1".. unless given, kind 0.
std::unique_ptr<PhaseSet> madeUpPhases(const std::vector<Row>& composition,
                                       const std::vector<std::string>& abbreviations = {});

// A selection of every phase with code 0 and a basis chosen independently:
// phases are taken in `preference` order (default: load order) whenever they
// raise the rank; positions left over keep unit rows (-1).  Coordinates are
// solved by Gaussian elimination and those of magnitude at most 0.001 set to 0.
calc::PhaseSelection selectionFor(const PhaseSet& set, const std::vector<int>& preference = {});

// Rank of the rows (Gaussian elimination with partial pivoting, tolerance 1e-9).
int rank(const std::vector<Row>& rows);

// Every minimal linearly dependent subset of the composition rows with its
// balancing coefficients (one per phase of the set), normalised.
std::vector<Row> minimalReactions(const std::vector<Row>& composition);

// Scaled so that the largest magnitude is 1 and the first non-zero
// coefficient is negative.
Row normalised(const Row& c);

// Whether two lists hold the same vectors (as sets, within `tol`); `why`
// receives the first difference.
bool sameSets(std::vector<Row> a, std::vector<Row> b, std::string& why, double tol = 1e-6);

// Runs the enumeration (no list) and returns the coefficient rows of every
// reaction, in order.
std::vector<Row> enumerate(const model::PhaseTable& table, const calc::PhaseSelection& sel,
                           calc::PrunedAssemblageList* pruned = nullptr,
                           calc::EnumerationResult* result = nullptr,
                           std::vector<std::string>* texts = nullptr);

// Text of a row, for messages.
std::string describe(const Row& c);

}  // namespace enumerate_test
