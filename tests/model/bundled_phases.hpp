// The phases of the bundled database (data/thermo1988.dat) for the tests of
// the property routines, loaded once through the database reader.
#pragma once
#include <string_view>

#include "common/evaluation_context.hpp"
#include "model/gibbs.hpp"
#include "model/phase.hpp"

namespace props_test {

// Every phase of the bundled database (all its elements chosen); water's
// values are kept (water routine 2), so every phase carries its data.
const model::PhaseTable& bundledPhases();

// 0-based index of the phase named `name` (trailing blanks ignored), or -1.
int phaseIndex(const model::PhaseTable& table, std::string_view name);

// A context on the bundled phases at (t degrees C, P bar) with pure water as
// the fluid and the Haar water routine.
testsupport::EvaluationContext contextAt(double t, double P);

// Degrees Celsius that PhaseGibbs turns into exactly `kelvin`.
inline double celsiusForPhase(double kelvin) { return kelvin - model::kKelvinSingle; }
// Degrees Celsius that ReactionGibbs turns into `kelvin`.
inline double celsiusForReaction(double kelvin) { return kelvin - 273.15; }

// Composite Simpson rule of f over [a, b] with n (even) intervals.
template <class F>
double simpson(F f, double a, double b, int n = 2000) {
    const double h = (b - a) / n;
    double s = f(a) + f(b);
    for (int i = 1; i < n; ++i) s += f(a + i * h) * (i % 2 == 1 ? 4.0 : 2.0);
    return s * h / 3.0;
}

}  // namespace props_test
