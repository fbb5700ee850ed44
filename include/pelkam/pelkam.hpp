// The library of the equilibrium calculator: databases, phase and reaction
// energies, fluids, solution models, curves, diagrams and plot files, the
// intersections of a diagram's curves and mineral formulae of analyses.
#pragma once
#include "pelkam/curve.hpp"
#include "pelkam/database.hpp"
#include "pelkam/diagram.hpp"
#include "pelkam/error.hpp"
#include "pelkam/formula.hpp"
#include "pelkam/intersections.hpp"
#include "pelkam/properties.hpp"
#include "pelkam/reaction.hpp"
#include "pelkam/solution_models.hpp"
