// The solution-model terms in the phase and reaction Gibbs energies: an
// end-member linked to a model gains RT ln a, checked against activities
// computed independently (tests/fixtures/solutions), at the bundled
// example's compositions.
#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "bundled_phases.hpp"
#include "solutions/activity.hpp"
#include "solutions/composition_file.hpp"
#include "solutions/sln_format.hpp"

namespace {

using namespace props_test;

std::vector<std::string> fileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

// GARN with GT1990 (variant 2) and PLAG with FL88 (variant 2), at the
// compositions of data/example-pelite.zun.
std::unique_ptr<solutions::SolutionModelSet> exampleModels() {
    auto set = std::make_unique<solutions::SolutionModelSet>();
    const std::string data = std::string(PELKAM_SOURCE_DIR) + "/data/";
    const auto sln = fileLines(data + "solution-models.sln");
    const auto zun = fileLines(data + "example-pelite.zun");
    std::vector<std::string> said;
    std::array<int, solutions::kMaxModels> variants{2, 2};  // GARN, PLAG: the first two models
    EXPECT_TRUE(solutions::parseSolutionModels(sln, "solution-models.sln", variants, *set, said).ok());
    for (int m = 0; m < 2; ++m) {
        auto& model = set->models[static_cast<std::size_t>(m)];
        solutions::CompositionValues v;
        EXPECT_TRUE(solutions::findComposition(zun, "example-pelite.zun", model.abbreviation,
                                               solutions::siteFractionCount(model), v)
                        .ok());
        solutions::setSiteFractions(model, v);
        solutions::precomputeExcessCoefficients(model);
    }
    return set;
}

}  // namespace

TEST(SolutionTerms, EnterPhaseAndReactionGibbsEnergies) {
    auto table = std::make_unique<thermodb::PhaseTable>(bundledPhases());
    auto models = exampleModels();
    const int grs = phaseIndex(*table, "GROSSULAR"), an = phaseIndex(*table, "ANORTHITE"),
              ky = phaseIndex(*table, "KYANITE"), qz = phaseIndex(*table, "QUARTZ");
    ASSERT_GE(grs, 0);
    ASSERT_GE(an, 0);
    // RT ln a at 600 C and 6000 bar (T = 873.15 K), computed independently.
    const double muGrs = -55623.6246, muAn = -6445.3057;

    props::GibbsContext ctx;
    ctx.table = table.get();
    ctx.models = models.get();
    ctx.point.P = 6000;
    ctx.point.t = celsiusForPhase(873.15);
    const double pureGrs = props::PhaseGibbs(ctx, grs);
    (*table)[grs].activityModel = 1;
    (*table)[grs].activityEndMember = 1;
    EXPECT_NEAR(props::PhaseGibbs(ctx, grs) - pureGrs, muGrs, 2e-3);

    // GROSSULAR + 2 KYANITE + QUARTZ = 3 ANORTHITE.
    std::array<double, thermodb::kMaxPhases> c{};
    c[static_cast<std::size_t>(grs)] = -1;
    c[static_cast<std::size_t>(ky)] = -2;
    c[static_cast<std::size_t>(qz)] = -1;
    c[static_cast<std::size_t>(an)] = 3;
    props::ReactionTerms rx;
    props::makeReactionTerms(*table, c.data(), rx);
    ctx.reaction = &rx;
    ctx.point.t = celsiusForReaction(873.15);
    (*table)[grs].activityModel = 0;
    const double pure = props::ReactionGibbs(ctx);
    (*table)[grs].activityModel = 1;
    (*table)[an].activityModel = 2;
    (*table)[an].activityEndMember = 1;
    EXPECT_NEAR(props::ReactionGibbs(ctx) - pure, 3 * muAn - muGrs, 6e-3);
}
