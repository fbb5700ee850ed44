// Apparent Gibbs energies of ten minerals of the bundled database against
// independently computed reference values.
//
// tests/fixtures/model/mineral-reference-values.csv is a copy of the project's
// shared reference set (reference/mineral-reference-values.csv): G = H - T S
// convention, T in kelvin, P in bar, agreement to 0.1 J/mol expected.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bundled_phases.hpp"
#include "common/evaluation_context.hpp"

namespace {

using namespace props_test;

struct ReferencePoint {
    std::string name;
    double T = 0, P = 0, G = 0;
};

std::vector<ReferencePoint> readReferences() {
    std::vector<ReferencePoint> out;
    std::ifstream in(std::string(PELKAM_FIXTURES) + "/model/mineral-reference-values.csv");
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::stringstream s(line);
        std::string name, abbreviation, T, P, G;
        std::getline(s, name, ',');
        std::getline(s, abbreviation, ',');
        std::getline(s, T, ',');
        std::getline(s, P, ',');
        std::getline(s, G, ',');
        out.push_back({name, std::stod(T), std::stod(P), std::stod(G)});
    }
    return out;
}

TEST(PhaseGibbsReference, TenMineralsAtFiftyPoints) {
    const auto& table = bundledPhases();
    ASSERT_GT(table.count, 60) << "the bundled database did not load";
    const auto refs = readReferences();
    ASSERT_EQ(refs.size(), 50u);
    double worst = 0;
    for (const ReferencePoint& r : refs) {
        const int i = phaseIndex(table, r.name);
        ASSERT_GE(i, 0) << r.name;
        testsupport::EvaluationContext ctx = contextAt(celsiusForPhase(r.T), r.P);
        const double G = model::PhaseGibbs(ctx, ctx.point, i, ctx.reaction);
        EXPECT_NEAR(G, r.G, 0.1) << r.name << " at " << r.T << " K, " << r.P << " bar";
        worst = std::max(worst, std::fabs(G - r.G));
    }
    RecordProperty("worst_deviation_J", std::to_string(worst));
}

}  // namespace
