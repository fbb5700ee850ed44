#include "solutions/solution_models.hpp"

namespace solutions {

// The activity models are evaluated once the solution-properties reader and
// the composition files are in place; until then an end-member link adds no term.
double endMemberActivityTerm(const SolutionModelSet&, double, double, int, int) { return 0.0; }
double reciprocalTerm(const SolutionModelSet&, double, double, int, int, int) { return 0.0; }

}  // namespace solutions
