// End-member activities of the solution models: the bundled models against
// independently computed reference values, and the rules of the activity
// routine on small models written for the purpose.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <sstream>

#include "common/selection_harness.hpp"
#include "io/composition_file.hpp"
#include "io/sln_format.hpp"
#include "model/activity.hpp"

namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

int modelIndex(const model::SolutionModelSet& set, std::string_view abbreviation) {
    for (int m = 0; m < set.count; ++m)
        if (set.models[at(m)].abbreviation == abbreviation) return m;
    return -1;
}

int variantIndex(const model::SolutionModel& m, std::string_view keyword) {
    for (int v = 0; v < m.mixingModelCount; ++v)
        if (core::rtrim(m.mixingModels[at(v)].keyword) == keyword) return v + 1;
    return 0;
}

// The bundled models with one variant chosen for `abbreviation` and the
// compositions of the bundled example file applied to every model it has.
std::unique_ptr<model::SolutionModelSet> bundledModels(std::string_view abbreviation, std::string_view keyword) {
    const auto sln = selection_test::readLines(selection_test::bundled("solution-models.sln"));
    const auto zun = selection_test::readLines(selection_test::bundled("example-pelite.zun"));
    auto set = std::make_unique<model::SolutionModelSet>();
    std::vector<std::string> said;
    EXPECT_TRUE(io::parseSolutionModels(sln, "solution-models.sln", {}, *set, said).ok());
    std::array<int, model::kMaxModels> variants{};
    const int m = modelIndex(*set, abbreviation);
    EXPECT_GE(m, 0) << abbreviation;
    variants[at(m)] = variantIndex(set->models[at(m)], keyword);
    EXPECT_GT(variants[at(m)], 0) << keyword;
    EXPECT_TRUE(io::parseSolutionModels(sln, "solution-models.sln", variants, *set, said).ok());
    for (int k = 0; k < set->count; ++k) {
        model::SolutionModel& model = set->models[at(k)];
        io::CompositionValues v;
        if (!io::findComposition(zun, "example-pelite.zun", model.abbreviation, io::siteFractionCount(model), v).ok()) continue;
        io::setSiteFractions(model, v);
        model::precomputeExcessCoefficients(model);
    }
    return set;
}

int endMemberIndex(const model::SolutionModel& m, std::string_view name) {
    for (int e = 0; e < m.endMemberCount; ++e)
        if (core::rtrim(m.endMembers[at(e)].name) == name) return e + 1;
    return 0;
}

// A model file of one model, parsed with `variant` chosen.
std::unique_ptr<model::SolutionModelSet> parsed(const std::string& text, int variant = 1) {
    auto set = std::make_unique<model::SolutionModelSet>();
    std::vector<std::string> said;
    std::array<int, model::kMaxModels> variants{variant};
    const core::Status s = io::parseSolutionModels(linesOf(text), "test.sln", variants, *set, said);
    EXPECT_TRUE(s.ok()) << s.describe() << (said.empty() ? "" : said.back());
    return set;
}

void setX(model::SolutionModel& m, int site, std::initializer_list<double> x) {
    io::CompositionValues v;
    // Values of earlier sites are kept.
    int k = 0;
    for (int s = 1; s < site; ++s)
        for (int c = 1; c <= m.sites[at(s - 1)].cationCount; ++c) v.values[at(k++)] = m.siteFractions[at(s - 1)][at(c)];
    for (double xi : x) v.values[at(k++)] = xi;
    for (int s = site + 1; s <= m.siteCount; ++s)
        for (int c = 1; c <= m.sites[at(s - 1)].cationCount; ++c) v.values[at(k++)] = m.siteFractions[at(s - 1)][at(c)];
    v.count = k;
    io::setSiteFractions(m, v);
    model::precomputeExcessCoefficients(m);
}

constexpr double kR = 8.3143;

}  // namespace

// Every end-member of every bundled model and variant at the compositions of
// the bundled example file, at 600 C / 6000 bar and 750 C / 9000 bar, against
// an evaluator written independently of this code.  Both routes of the
// excess term (coefficients reduced once, or summed on each call) are checked.
TEST(Activity, BundledModelsAgainstReferenceValues) {
    std::ifstream in(std::string(PELKAM_FIXTURES) + "/model/activity-reference-values.csv");
    ASSERT_TRUE(in) << "reference file";
    std::string line;
    std::getline(in, line);  // header
    int rows = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream ss(line);
        for (std::string c; std::getline(ss, c, ',');) f.push_back(c);
        ASSERT_EQ(f.size(), 8u) << line;
        const std::string abbr = core::pad(f[0], 4);
        const double T = std::stod(f[3]) + 273.15, P = std::stod(f[4]);
        const double mu = std::stod(f[5]), gamma = std::stod(f[6]), activity = std::stod(f[7]);
        auto set = bundledModels(abbr, f[1]);
        model::SolutionModel& m = set->models[at(modelIndex(*set, abbr))];
        const int e = endMemberIndex(m, f[2]);
        ASSERT_GT(e, 0) << line;
        for (int route = 0; route < 2; ++route) {
            m.evaluateExcessEachCall = route;
            model::precomputeExcessCoefficients(m);
            const model::EndMemberActivity a = model::endMemberActivity(m, e, P, T);
            EXPECT_NEAR(a.mu, mu, 2e-4) << line << " route " << route;
            EXPECT_NEAR(a.gamma, gamma, 1e-7 * gamma) << line;
            EXPECT_NEAR(a.activity, activity, 1e-7 * activity) << line;
            EXPECT_FALSE(a.vanishing);
            EXPECT_NEAR(model::endMemberActivityTerm(*set, P, T, modelIndex(*set, abbr) + 1, e), a.mu, 1e-9);
        }
        ++rows;
    }
    EXPECT_EQ(rows, 40);
}

// Ideal site activities: every site and cation of the end-member counts,
// (multiplicity / count * X) to the power of the count.
TEST(Activity, IdealSiteActivities) {
    const std::string garnet =
        "GARN02         Garnet\n(3):MG,FE-(2):AL,FE-(3):SI\nPY MG(3)-AL(2)-SI(3)\nALM FE(3)-AL(2)-SI(3)\nIDEAL    i\nEND\n";
    auto g = parsed(garnet);
    model::SolutionModel& m = g->models[0];
    setX(m, 1, {0.3, 0.7});
    setX(m, 2, {0.9, 0.1});
    setX(m, 3, {0.95});
    const model::EndMemberActivity py = model::endMemberActivity(m, 1, 5000, 900);
    EXPECT_NEAR(py.activity, std::pow(0.3, 3) * std::pow(0.9, 2) * std::pow(0.95, 3), 1e-15);
    EXPECT_NEAR(py.mu, kR * 900 * std::log(py.activity), 1e-9);
    EXPECT_EQ(py.gamma, 1.0);

    // MG(1)FE(1) on a site of two: 4 X(Mg) X(Fe), 1 at X = 0.5 each.
    auto o = parsed("OLIV02         Olivine\n(2):MG,FE\nFO MG(2)\nMIX MG(1)FE(1)\nIDEAL    i\nEND\n");
    model::SolutionModel& ol = o->models[0];
    setX(ol, 1, {0.5, 0.5});
    EXPECT_DOUBLE_EQ(model::endMemberActivity(ol, 2, 1, 1000).activity, 1.0);
    EXPECT_DOUBLE_EQ(model::endMemberActivity(ol, 2, 1, 1000).mu, 0.0);
    setX(ol, 1, {0.2, 0.8});
    EXPECT_NEAR(model::endMemberActivity(ol, 2, 1, 1000).activity, 4 * 0.2 * 0.8, 1e-15);
    EXPECT_NEAR(model::endMemberActivity(ol, 1, 1, 1000).activity, 0.04, 1e-15);
}

// The excess term: a binary term W X1 X2 gives the end-member of cation 1
// RT ln gamma = W X2 (1 - X1), 0 at X1 = 1; "IDEAL" ignores the lines that
// follow it; the same result whether reduced to coefficients or summed.
TEST(Activity, ExcessTermRules) {
    const std::string text =
        "BIN 02         Binary\n(1):A,B\nEA A\nEB B\n"
        "IDEAL    with lines that do not count\n1 12    9999.000     0.000     0.000\nEND\n"
        "REG      regular\n1 12    8000.000     5.000     0.500\nEND\n";
    for (int each = 0; each < 2; ++each) {
        auto set = parsed(text, 2);
        model::SolutionModel& m = set->models[0];
        m.evaluateExcessEachCall = each;
        for (double x1 : {0.0, 0.25, 0.6, 1.0}) {
            setX(m, 1, {x1, 1 - x1});
            const double T = 800, P = 3001;
            const double W = 8000 - T * 5 + (P - 1) * 0.5;
            EXPECT_NEAR(model::endMemberActivity(m, 1, P, T).excess, x1 > 0 ? W * (1 - x1) * (1 - x1) : 0.0, 1e-8) << x1;
            EXPECT_NEAR(model::excessEnergy(m, 1, P, T), W * (1 - x1) * (1 - x1) * (x1 > 0), 1e-8);
        }
        setX(m, 1, {1.0, 0.0});
        EXPECT_EQ(model::endMemberActivity(m, 1, 5000, 900).excess, 0.0);

        auto ideal = parsed(text, 1);
        model::SolutionModel& mi = ideal->models[0];
        mi.evaluateExcessEachCall = each;
        setX(mi, 1, {0.4, 0.6});
        EXPECT_EQ(mi.interactionCount, 1);
        EXPECT_EQ(model::endMemberActivity(mi, 1, 5000, 900).excess, 0.0);
        EXPECT_EQ(model::excessParameters(mi, 1), (std::array<double, 3>{0, 0, 0}));
    }
}

// Plagioclase: aluminium avoidance; no excess under IDEAL.  At x = 1 the
// anorthite activity is 1, at x = 0 it is 0 (minus infinity, marked as
// vanishing so that a run refuses it; the listing line holds no NaN).
TEST(Activity, PlagioclaseRule) {
    auto set = bundledModels("PLAG", "IDEAL");
    model::SolutionModel& m = set->models[at(modelIndex(*set, "PLAG"))];
    setX(m, 1, {1.0, 0.0, 0.0});
    EXPECT_DOUBLE_EQ(model::endMemberActivity(m, 1, 1000, 900).activity, 1.0);
    EXPECT_DOUBLE_EQ(model::endMemberActivity(m, 1, 1000, 900).mu, 0.0);
    EXPECT_TRUE(model::endMemberActivity(m, 2, 1000, 900).vanishing);
    setX(m, 1, {0.0, 1.0, 0.0});
    const model::EndMemberActivity an = model::endMemberActivity(m, 1, 1000, 900);
    EXPECT_EQ(an.activity, 0.0);
    EXPECT_TRUE(std::isinf(an.mu) && an.mu < 0);
    EXPECT_TRUE(an.vanishing);
    EXPECT_EQ(model::vanishingActivityMessage(m, 1, an), "**ERROR** X=0 for cation#1 on site#1 of ANORTHITE");
    const std::string listed = model::activityListingLine(m, 1, 1000, 900, an);
    EXPECT_EQ(listed.find("nan"), std::string::npos) << listed;
    EXPECT_EQ(listed.find("NaN"), std::string::npos) << listed;
    EXPECT_NE(listed.find("-infinity"), std::string::npos) << listed;
    EXPECT_DOUBLE_EQ(model::endMemberActivity(m, 2, 1000, 900).activity, 1.0);
    // x = 0.25: a(An) = 0.25 x (1 + x)^2, a(Ab) = (1 - x^2) X(Na).
    setX(m, 1, {0.25, 0.7, 0.05});
    EXPECT_NEAR(model::endMemberActivity(m, 1, 1, 900).activity, 0.25 * 0.25 * 1.5625, 1e-15);
    EXPECT_NEAR(model::endMemberActivity(m, 2, 1, 900).activity, (1 - 0.0625) * 0.7, 1e-15);
}

// The orthopyroxene ordering term of end-member 3 (six header parameters),
// the vanishing-activity message and the listing line.
TEST(Activity, OrthopyroxeneTermMessageAndListing) {
    std::string header = core::pad("OPX 03         Opx with ordering", 35);
    for (double p : {1000.0, 1.0, 0.1, -500.0, 0.5, 0.02}) header += core::formatFixed(p, 10, 2);
    header += "\n";
    auto set = parsed(header + "(1):MG,FE,AL\nEN MG\nFS FE\nMATS AL\nIDEAL    i\nEND\n");
    model::SolutionModel& m = set->models[0];
    setX(m, 1, {0.6, 0.2, 0.2});
    const double T = 1000, P = 2001;
    const model::EndMemberActivity a = model::endMemberActivity(m, 3, P, T);
    const double f = 0.6 / 0.8;
    const double E = (-500 - T * 0.5 + 2000 * 0.02) * (1 - f) + (1000 - T * 1 + 2000 * 0.1) * f;
    EXPECT_NEAR(a.excess, E, 1e-9);
    EXPECT_DOUBLE_EQ(a.orderingRatio, f);
    EXPECT_NEAR(a.mu, kR * T * std::log(0.2) + E, 1e-9);
    EXPECT_EQ(model::endMemberActivity(m, 1, P, T).excess, 0.0);  // other end-members: no term
    setX(m, 1, {0.6, 0.4, 0.0});
    EXPECT_EQ(model::endMemberActivity(m, 3, P, T).excess, 0.0);

    // X below the threshold: the cation's position and site in the message.
    const model::EndMemberActivity z = model::endMemberActivity(m, 3, P, T);
    EXPECT_TRUE(z.vanishing);
    EXPECT_EQ(model::vanishingActivityMessage(m, 3, z), "**ERROR** X=0 for cation#1 on site#1 of MATS");
    EXPECT_EQ(model::activityListingLine(m, 1, 2001.04, T, model::endMemberActivity(m, 1, 2001.04, T)),
              "OPX  EN                   2001.0  726.9    1.000  0.60000      -4247.2");
}

// Reciprocal terms: the partner pair of the end-member's cations on the two
// sites, with the sign of its pair; the (1 - X) form when the end-member's
// cation on the second site is 3 or 4; a term line of zeros is not kept.
TEST(Activity, ReciprocalTerm) {
    const std::string text =
        "SPL 03         Spinel\n(1):MG,FE-(2):AL,CR,FE,TI\nSP MG-AL(2)\nCHR FE-CR(2)\nMF MG-FE(2)\nIDEAL    i\nEND\n"
        "RECIP:12 1122 1221    1000.000     1.000     0.010\n"
        "      12 1111 2222       0.000     0.000     0.000\n"
        "      12 1223 2113     300.000     0.000     0.000\n"
        "      0\n";
    auto set = parsed(text);
    ASSERT_EQ(set->reciprocalCount, 1);
    ASSERT_EQ(set->reciprocal[0].termCount, 2);
    model::SolutionModel& m = set->models[0];
    setX(m, 1, {0.7, 0.3});
    setX(m, 2, {0.6, 0.25, 0.1, 0.05});
    const double T = 900, P = 1001;
    const double G1 = 1000 - T * 1 + 1000 * 0.01, G2 = 300;
    // SP (Mg, Al): term 1 (1,1) = (a1,b1) -> partner (a2,b2) = (2,2), +;
    // term 2: (1,2)? no -- (Mg, Al) = (1,1) matches nothing in 1223 / 2113.
    EXPECT_NEAR(model::reciprocalContribution(m, set->reciprocal[0], 1, P, T), G1 * 0.3 * 0.25, 1e-12);
    // CHR (Fe, Cr) = (2,2) = (a2,b2) of term 1 -> (1,1), +; term 2: (2,2)? no.
    EXPECT_NEAR(model::reciprocalContribution(m, set->reciprocal[0], 2, P, T), G1 * 0.7 * 0.6, 1e-12);
    // MF (Mg, Fe) = (1,3): term 2 (a3,b3) = (2,1)? no, (a4,b4) = (1,3) -> (2,1), -,
    // with t = 3: -G X(2,A) (1 - X(3,B)).
    EXPECT_NEAR(model::reciprocalContribution(m, set->reciprocal[0], 3, P, T), -G2 * 0.3 * (1 - 0.1), 1e-12);
    EXPECT_NEAR(model::reciprocalTerm(*set, P, T, 1, 3, 1), -G2 * 0.3 * 0.9, 1e-12);
    EXPECT_EQ(model::reciprocalTerm(*set, P, T, 1, 3, 2), 0.0);  // no such set
}
