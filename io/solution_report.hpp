// What the solution models of a run make of its phases, for a reader who
// checks the run by hand: the composition file, every model used with its
// variant and site fractions, and for every phase linked to a model its
// ideal activity, the excess parameters and RT ln a at one stated point.
// Written to the master output and to the activity listing for every
// composition set.
#pragma once
#include <string>
#include <vector>

#include "model/phase.hpp"
#include "model/solution_models.hpp"

namespace io {

// The report's lines for the first `phaseCount` phases of `phases` at
// t degrees C and P bar.  Layout:
//   " SOLUTION MODELS AND ACTIVITIES" and a line of asterisks;
//   without a model used, " No solution model is used: every phase is taken
//   at the activity chosen for it";
//   else " Composition file: " and its name, then per used model a line with
//   its abbreviation, name, "variant", the variant's keyword and description
//   and the line of its value line in the file, and one line per site:
//   "site s (m):" with each cation symbol and its site fraction (F7.4);
//   then " At T = ... C, P = ... bar;  RT ln a = RT ln a(ideal) + RT ln gamma,
//   RT ln gamma = a - b T + c (P - 1):" and a column line, and per linked
//   phase: name (A20), model, variant keyword, a(ideal) (the
//   aluminium-avoidance ideal part for "PLAG"), a (J), b (J/K), c (J/bar),
//   RT ln gamma and RT ln a (J/mol; "-infinity" for an activity of 0).
std::vector<std::string> solutionModelReport(const model::PhaseTable& phases, int phaseCount,
                                             const model::SolutionModelSet& models, double tC, double P);

}  // namespace io
