// Stable and metastable stretches: the plane test on made-up phases (a
// touching phase, the unique plane against the linear programme and against
// an enumeration of competitor mixtures), the aluminosilicates of the bundled
// database against a brute-force Gibbs minimisation and the reference triple
// point, the potentials the test uses, and the pruned-assemblage list.
#include "calc/stability.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "calc/basis.hpp"
#include "calc/pruned.hpp"
#include "common/enumerate_fixtures.hpp"
#include "common/evaluation_context.hpp"
#include "core/text.hpp"
#include "io/streams.hpp"

namespace {

using enumerate_test::PhaseSet;
using enumerate_test::Row;
using calc::kMetastable;
using calc::kStabilityFailed;
using calc::kStable;
using calc::PlaneTest;
using calc::PointEvaluator;
using calc::StabilityTester;

constexpr double kNone = -std::numeric_limits<double>::infinity();

// --- independent arithmetic --------------------------------------------------------

// Solves A z = b (A: rows x cols) exactly: false when the columns are
// dependent or the system has no solution.
bool solveExact(const std::vector<Row>& A, const Row& b, Row& z) {
    const int rows = static_cast<int>(A.size());
    const int cols = rows ? static_cast<int>(A[0].size()) : 0;
    std::vector<Row> m(A);
    for (int i = 0; i < rows; ++i) m[i].push_back(b[i]);
    std::vector<int> pivotRow(cols, -1);
    int r = 0;
    for (int c = 0; c < cols; ++c) {
        int best = r;
        for (int i = r; i < rows; ++i)
            if (std::fabs(m[i][c]) > std::fabs(m[best][c])) best = i;
        if (r >= rows || std::fabs(m[best][c]) < 1e-9) return false;
        std::swap(m[r], m[best]);
        for (int i = 0; i < rows; ++i) {
            if (i == r) continue;
            const double f = m[i][c] / m[r][c];
            for (int j = c; j <= cols; ++j) m[i][j] -= f * m[r][j];
        }
        pivotRow[c] = r++;
    }
    for (int i = r; i < rows; ++i)
        if (std::fabs(m[i][cols]) > 1e-7) return false;
    z.assign(cols, 0.0);
    for (int c = 0; c < cols; ++c) z[c] = m[pivotRow[c]][cols] / m[pivotRow[c]][c];
    return true;
}

double dot(const Row& a, const Row& b) {
    double s = 0;
    for (std::size_t k = 0; k < a.size(); ++k) s += a[k] * b[k];
    return s;
}

// The lowest Gibbs energy of any non-negative combination of the phases with
// bulk composition b (enumeration of the phase subsets).
double lowestGibbs(const std::vector<Row>& comp, const Row& G, const Row& b) {
    const int n = static_cast<int>(comp.size());
    const int dims = static_cast<int>(b.size());
    double best = std::numeric_limits<double>::infinity();
    for (unsigned mask = 1; mask < (1u << n); ++mask) {
        std::vector<int> s;
        for (int i = 0; i < n; ++i)
            if (mask & (1u << i)) s.push_back(i);
        if (static_cast<int>(s.size()) > dims) continue;
        std::vector<Row> A(dims, Row(s.size()));
        for (int k = 0; k < dims; ++k)
            for (std::size_t c = 0; c < s.size(); ++c) A[k][c] = comp[s[c]][k];
        Row z;
        if (!solveExact(A, b, z)) continue;
        if (*std::min_element(z.begin(), z.end()) < -1e-9) continue;
        double g = 0;
        for (std::size_t c = 0; c < s.size(); ++c) g += z[c] * G[s[c]];
        best = std::min(best, g);
    }
    return best;
}

// t*: the largest sum y_j d_j over mixtures of competitors (y >= 0, sum 1)
// whose bulk composition the independent reaction phases can make, with d_j
// taken against the least-norm plane through the reaction phases; kNone when
// there is no such mixture.  Enumerates the mixtures' supports.
double bruteMargin(const std::vector<Row>& comp, const Row& mu, const std::vector<int>& indep,
                   const std::vector<int>& competitors) {
    const int dims = static_cast<int>(comp[0].size());
    const int r = static_cast<int>(indep.size());
    // lambda = X_R^T alpha with (X_R X_R^T) alpha = mu_R.
    std::vector<Row> M(r, Row(r));
    Row muR(r);
    for (int a = 0; a < r; ++a) {
        muR[a] = mu[indep[a]];
        for (int b = 0; b < r; ++b) M[a][b] = dot(comp[indep[a]], comp[indep[b]]);
    }
    Row alpha;
    EXPECT_TRUE(solveExact(M, muR, alpha));
    Row lambda(dims, 0.0);
    for (int a = 0; a < r; ++a)
        for (int k = 0; k < dims; ++k) lambda[k] += alpha[a] * comp[indep[a]][k];

    const int n = static_cast<int>(competitors.size());
    double best = kNone;
    for (unsigned mask = 1; mask < (1u << n); ++mask) {
        std::vector<int> s;
        for (int i = 0; i < n; ++i)
            if (mask & (1u << i)) s.push_back(competitors[i]);
        const int q = static_cast<int>(s.size()) + r;
        if (q > dims + 1) continue;
        std::vector<Row> A(dims + 1, Row(q, 0.0));
        Row b(dims + 1, 0.0);
        for (int k = 0; k < dims; ++k) {
            for (std::size_t c = 0; c < s.size(); ++c) A[k][c] = comp[s[c]][k];
            for (int a = 0; a < r; ++a) A[k][s.size() + a] = -comp[indep[a]][k];
        }
        for (std::size_t c = 0; c < s.size(); ++c) A[dims][c] = 1.0;
        b[dims] = 1.0;
        Row z;
        if (!solveExact(A, b, z)) continue;
        bool ok = true;
        double v = 0;
        for (std::size_t c = 0; c < s.size(); ++c) {
            ok = ok && z[c] >= -1e-9;
            v += z[c] * (dot(lambda, comp[s[c]]) - mu[s[c]]);
        }
        if (ok) best = std::max(best, v);
    }
    return best;
}

// --- runs --------------------------------------------------------------------------

// A P-T run of the stability test on a phase set, with pure water as the fluid.
struct Run {
    std::unique_ptr<PhaseSet> set;
    std::unique_ptr<calc::PhaseSelection> sel;
    calc::DiagramOptions rs;
    testsupport::EvaluationContext ctx;
    calc::Reaction reaction;
    std::unique_ptr<PointEvaluator> ev;
    std::unique_ptr<StabilityTester> tester;

    Run(std::unique_ptr<PhaseSet> s, bool realBasis) : set(std::move(s)) {
        EXPECT_NE(set, nullptr);
        sel = std::make_unique<calc::PhaseSelection>(enumerate_test::selectionFor(*set));
        if (realBasis) {
            io::Streams streams;
            EXPECT_TRUE(calc::chooseBasis(*set->system, set->table, *sel, streams).ok());
        }
        rs.diagramType = calc::kPT;
        rs.xH2O = 1.0;
        rs.xCO2 = 0.0;
    }
    model::PhaseTable& table() { return set->table; }
    int idx(const std::string& abbreviation) const {
        for (int i = 0; i < set->table.count; ++i)
            if (core::trim(set->table[i].abbreviation) == abbreviation) return i;
        ADD_FAILURE() << abbreviation;
        return 0;
    }
    void start() {
        ev = std::make_unique<PointEvaluator>(rs, set->table, *sel, ctx);
        tester = std::make_unique<StabilityTester>(*ev, set->table, *sel);
    }
    void react(const std::vector<std::pair<int, double>>& coefficients) {
        if (!ev) start();
        reaction = calc::Reaction{};
        reaction.phaseCount = set->table.count;
        for (const auto& [i, c] : coefficients) reaction.coef[static_cast<std::size_t>(i)] = c;
        model::makeReactionTerms(set->table, reaction.coef.data(), reaction.terms);
        ctx.reaction = &reaction.terms;
        tester->beginReaction(reaction);
    }
    int test(double& margin, double tC = 600.0, double P = 5000.0) {
        ev->setStateFromDiagram(tC, P);
        return tester->testAssemblageStability(margin);
    }
    // Independent: the phase routine alone, no reaction in view, with the
    // run's activities of the point.
    double G(int i, double tC, double P) const {
        testsupport::EvaluationContext c;
        c.table = &set->table;
        c.point.t = tC;
        c.point.P = P;
        c.point.x[model::kWater] = 1.0;
        c.point.logActivity = ev ? ev->point().logActivity : sel->logActivity;
        return model::PhaseGibbs(c, c.point, i, c.reaction);
    }
    // Pressure on the curve sum c_i G_i = 0 at tC, by bisection.
    double curvePressure(const std::vector<std::pair<int, double>>& coefficients, double tC, double lo, double hi) const {
        auto f = [&](double P) {
            double s = 0;
            for (const auto& [i, c] : coefficients) s += c * G(i, tC, P);
            return s;
        };
        double flo = f(lo);
        EXPECT_LT(flo * f(hi), 0.0) << "no curve between " << lo << " and " << hi << " bar at " << tC << " C";
        for (int it = 0; it < 200; ++it) {
            const double mid = 0.5 * (lo + hi);
            const double fm = f(mid);
            if ((fm < 0) == (flo < 0)) {
                lo = mid;
                flo = fm;
            } else {
                hi = mid;
            }
        }
        return 0.5 * (lo + hi);
    }
};

// Made-up phases whose potential is their H (S, heat capacity and volume zero).
std::unique_ptr<Run> madeUpRun(const std::vector<Row>& comp, const std::vector<double>& mu) {
    auto run = std::make_unique<Run>(enumerate_test::madeUpPhases(comp), false);
    for (std::size_t i = 0; i < mu.size(); ++i) run->table()[static_cast<int>(i)].H = mu[i];
    run->start();
    return run;
}

std::unique_ptr<Run> bundledRun(const std::string& elements, const std::vector<std::string>& phases) {
    return std::make_unique<Run>(enumerate_test::bundledPhases(elements, phases), true);
}

// =============================================================================
// The plane test on made-up phases.

// A (1,0), B (0,1), AB (1,1); reaction A + B = AB, potentials on one plane
// mu = -1000 a - 3000 b; the competitors A2B and AB2 lie on or off it.
TEST(StabilityPlane, TouchingPhaseGivesZeroMarginAndCountsAsStable) {
    const std::vector<Row> comp = {{1, 0}, {0, 1}, {1, 1}, {2, 1}, {1, 2}};
    auto run = madeUpRun(comp, {-1000, -3000, -4000, -5000, -7000 + 250});
    run->react({{0, -1}, {1, -1}, {2, 1}});
    double margin = 1;
    EXPECT_EQ(run->test(margin), kStable);
    EXPECT_EQ(margin, 0.0);
    EXPECT_TRUE(run->tester->plane().unique());

    // 40 J below the plane: metastable by 40; 100 above: stable, nearest competitor -100.
    run->table()[3].H = -5040;
    EXPECT_EQ(run->test(margin), kMetastable);
    EXPECT_NEAR(margin, 40.0, 1e-9);
    run->table()[3].H = -4900;
    EXPECT_EQ(run->test(margin), kStable);
    EXPECT_NEAR(margin, -100.0, 1e-9);

    // The same through the linear programme.
    PlaneTest plane = run->tester->plane();
    const double mu[] = {-1000, -3000, -4000, -5000, -6750};
    const bool competes[] = {false, false, false, true, true};
    EXPECT_EQ(plane.evaluate(mu, competes, margin, PlaneTest::Method::Simplex), kStable);
    EXPECT_NEAR(margin, 0.0, 1e-9);
    EXPECT_GT(plane.lastPivots(), 0);
}

TEST(StabilityPlane, TestOnlyPhasesCompeteAndUnselectedOnesDoNot) {
    // Phase 3 (code 4) lies 10 J below the plane; phase 4 lies far below but
    // is outside the main and code-4 phases.
    auto run = madeUpRun({{1, 0}, {0, 1}, {1, 1}, {1, 2}, {2, 1}}, {-1000, -3000, -4000, -7010, -9000});
    run->sel->mainCount = 3;
    run->sel->testCount = 1;
    run->react({{0, -1}, {1, -1}, {2, 1}});
    double margin = 0;
    EXPECT_EQ(run->test(margin), kMetastable);
    EXPECT_NEAR(margin, 10.0, 1e-9);
    run->sel->testCount = 0;
    run->react({{0, -1}, {1, -1}, {2, 1}});
    EXPECT_EQ(run->test(margin), kStable);
    EXPECT_EQ(margin, -1e12);  // nothing left to compete
}

TEST(StabilityPlane, TooManyPhasesFailAndTheCallersReactionIsKept) {
    auto run = madeUpRun({{1, 0}, {0, 1}, {1, 1}, {2, 1}}, {-1000, -3000, -4000, -5000});
    run->react({{0, -3}, {1, -2}, {2, 1}, {3, 1}});  // four phases in two coordinates
    double margin = 5;
    EXPECT_EQ(run->test(margin), kStabilityFailed);
    EXPECT_EQ(run->test(margin), kStabilityFailed);

    // A reaction that can be tested: the point is where the caller left it.
    run->react({{0, -1}, {1, -1}, {2, 1}});
    run->ev->setStateFromDiagram(600, 5000);
    const model::PointState before = run->ev->point();
    EXPECT_EQ(run->tester->testAssemblageStability(margin), kStable);
    EXPECT_EQ(run->ev->point().t, before.t);
    EXPECT_EQ(run->ev->point().P, before.P);
    EXPECT_EQ(run->ev->point().x, before.x);
    EXPECT_EQ(run->ev->point().logActivity, before.logActivity);
    EXPECT_EQ(run->ev->reactionDeltaG(run->reaction.terms), 0.0);
}

TEST(StabilityPlane, MissingFluidNeverLiesBelowThePlane) {
    // A water phase of composition (1,1) with no water in the fluid: its
    // trace-activity energy would lie far below the plane of A + B = AB.
    auto run = madeUpRun({{1, 0}, {0, 1}, {1, 1}, {1, 1}}, {-1000, -3000, -4000, -4000});
    run->table()[3].kind = model::kWater;
    run->table()[3].name = core::pad("WATER", 20);
    run->rs.xH2O = 0.0;
    run->rs.xCO2 = 1.0;
    run->react({{0, -1}, {1, -1}, {2, 1}});
    double margin = 0;
    EXPECT_EQ(run->test(margin), kStable);
    EXPECT_EQ(margin, -1e12);
}

// Random systems: C + 1 reaction phases of rank C (unique plane) or fewer
// (the programme), competitors scattered about a known plane.
struct Synthetic {
    PlaneTest::Coordinates x{};
    std::array<bool, model::kMaxPhases> inReaction{};
    std::vector<Row> comp;
    Row mu;
    std::vector<int> indep, competitors;
    int count = 0, dims = 0;
};

Synthetic makeSynthetic(std::mt19937& rng, int dims, int rank, int nCompeting) {
    std::uniform_int_distribution<int> entry(0, 3);
    std::uniform_real_distribution<double> plane(-5000, -500), noise(-40, 400);
    Synthetic s;
    s.dims = dims;
    do {
        s.comp.assign(rank, Row(dims));
        for (Row& r : s.comp)
            for (double& v : r) v = entry(rng);
    } while (enumerate_test::rank(s.comp) < rank);
    // The dependent reaction phase: a positive combination of the first two (or twice the first).
    Row dep(dims, 0.0);
    for (int k = 0; k < dims; ++k) dep[k] = rank > 1 ? s.comp[0][k] + 2 * s.comp[1][k] : 2 * s.comp[0][k];
    s.comp.push_back(dep);
    for (int i = 0; i < rank; ++i) s.indep.push_back(i);
    for (int j = 0; j < nCompeting; ++j) {
        Row r(dims);
        do {
            for (double& v : r) v = entry(rng);
        } while (*std::max_element(r.begin(), r.end()) == 0);
        s.competitors.push_back(static_cast<int>(s.comp.size()));
        s.comp.push_back(r);
    }
    Row lambda(dims);
    for (double& v : lambda) v = plane(rng);
    s.count = static_cast<int>(s.comp.size());
    for (int i = 0; i < s.count; ++i) {
        s.mu.push_back(dot(lambda, s.comp[i]) + (i > rank ? noise(rng) : 0.0));
        for (int k = 0; k < dims; ++k) s.x[i][k] = s.comp[i][k];
        s.inReaction[i] = i <= rank;
    }
    return s;
}

TEST(StabilityPlane, UniquePlaneEqualsTheProgrammeAndTheEnumeration) {
    std::mt19937 rng(20240611);
    int metastable = 0;
    for (int trial = 0; trial < 200; ++trial) {
        SCOPED_TRACE(trial);
        const int dims = 2 + trial % 4;
        Synthetic s = makeSynthetic(rng, dims, dims, 3 + trial % 6);
        PlaneTest p;
        ASSERT_EQ(p.setUp(s.x, s.count, s.dims, s.inReaction), kStable);
        ASSERT_TRUE(p.unique());
        std::array<bool, model::kMaxPhases> competes;
        competes.fill(true);
        const bool* c = competes.data();
        double mUnique = 0, mLp = 0;
        const int rUnique = p.evaluate(s.mu.data(), c, mUnique);
        EXPECT_EQ(p.lastPivots(), 0);
        const int rLp = p.evaluate(s.mu.data(), c, mLp, PlaneTest::Method::Simplex);
        EXPECT_EQ(rUnique, rLp);
        EXPECT_NEAR(mUnique, mLp, 1e-6);
        EXPECT_NEAR(mUnique, bruteMargin(s.comp, s.mu, s.indep, s.competitors), 1e-6);
        metastable += rUnique == kMetastable;
    }
    EXPECT_GT(metastable, 20);
    EXPECT_LT(metastable, 180);
}

TEST(StabilityPlane, RankDeficientReactionsMatchTheEnumeration) {
    std::mt19937 rng(77);
    int stable = 0, metastable = 0, noMixture = 0;
    for (int trial = 0; trial < 300; ++trial) {
        SCOPED_TRACE(trial);
        const int dims = 3 + trial % 3;
        const int rank = 1 + trial % (dims - 1);
        Synthetic s = makeSynthetic(rng, dims, rank, 4 + trial % 5);
        PlaneTest p;
        ASSERT_EQ(p.setUp(s.x, s.count, s.dims, s.inReaction), kStable);
        ASSERT_EQ(p.rank(), rank);
        ASSERT_FALSE(p.unique());
        std::array<bool, model::kMaxPhases> competes;
        competes.fill(true);
        double margin = 0;
        const int r = p.evaluate(s.mu.data(), competes.data(), margin);
        const double expected = bruteMargin(s.comp, s.mu, s.indep, s.competitors);
        if (expected == kNone) {
            EXPECT_EQ(r, kStable);
            EXPECT_EQ(margin, -1e12);
            ++noMixture;
        } else {
            EXPECT_NEAR(margin, expected, 1e-6);
            EXPECT_EQ(r, expected > 0 ? kMetastable : kStable);
            (r == kStable ? stable : metastable)++;
        }
    }
    EXPECT_GT(stable, 10);
    EXPECT_GT(metastable, 10);
    EXPECT_GT(noMixture, 0);
}

// =============================================================================
// The aluminosilicates of the bundled database.

// Stable by brute force: at the bulk composition of the reaction's product
// side, no combination of the phases has a lower Gibbs energy.
bool stableByMinimisation(const Run& run, const std::vector<std::pair<int, double>>& coefficients, double tC, double P) {
    const auto& comp = run.set->composition;
    Row G(comp.size());
    for (std::size_t i = 0; i < comp.size(); ++i) G[i] = run.G(static_cast<int>(i), tC, P);
    Row bulk(comp[0].size(), 0.0);
    double gSide = 0;
    for (const auto& [i, c] : coefficients)
        if (c > 0) {
            for (std::size_t k = 0; k < bulk.size(); ++k) bulk[k] += c * comp[i][k];
            gSide += c * G[i];
        }
    return gSide <= lowestGibbs(comp, G, bulk) + 0.01;
}

// The margin by enumeration, on element compositions and the phase routine.
double marginByEnumeration(const Run& run, const std::vector<int>& indep, const std::vector<int>& reactionPhases,
                           double tC, double P) {
    const auto& comp = run.set->composition;
    Row mu(comp.size());
    std::vector<int> others;
    for (std::size_t i = 0; i < comp.size(); ++i) {
        mu[i] = run.G(static_cast<int>(i), tC, P);
        if (std::find(reactionPhases.begin(), reactionPhases.end(), static_cast<int>(i)) == reactionPhases.end())
            others.push_back(static_cast<int>(i));
    }
    return bruteMargin(comp, mu, indep, others);
}

TEST(StabilityAluminosilicates, KyaniteSillimaniteAgainstBruteForce) {
    auto run = bundledRun("SI AL O", {"Ky", "And", "Sil", "Qz", "Crn"});
    const int ky = run->idx("Ky"), sil = run->idx("Sil"), an = run->idx("And");
    const std::vector<std::pair<int, double>> kySil = {{ky, -1}, {sil, 1}};
    run->react(kySil);
    for (double tC : {450.0, 500.0, 560.0, 700.0}) {
        SCOPED_TRACE(tC);
        const double P = run->curvePressure(kySil, tC, 1000, 15000);
        double margin = 0;
        const int r = run->test(margin, tC, P);
        EXPECT_FALSE(run->tester->plane().unique());
        const bool stable = stableByMinimisation(*run, kySil, tC, P);
        EXPECT_EQ(r, stable ? kStable : kMetastable);
        EXPECT_EQ(r, tC > 505.58 ? kStable : kMetastable);
        // Near the triple point the nearest competitor is andalusite: margin
        // G(Ky) - G(And); at 700 C quartz with corundum is nearer.
        if (tC < 600) {
            EXPECT_NEAR(margin, run->G(ky, tC, P) - run->G(an, tC, P), 1e-3);
        }
        EXPECT_NEAR(margin, marginByEnumeration(*run, {ky}, {ky, sil}, tC, P), 1e-3);
    }
}

TEST(StabilityAluminosilicates, MarginChangesSignAtTheTriplePoint) {
    auto run = bundledRun("SI AL O", {"Ky", "And", "Sil", "Qz", "Crn"});
    const std::vector<std::pair<int, double>> kySil = {{run->idx("Ky"), -1}, {run->idx("Sil"), 1}};
    run->react(kySil);
    auto marginAt = [&](double tC, double& P) {
        P = run->curvePressure(kySil, tC, 1000, 15000);
        double m = 0;
        EXPECT_NE(run->test(m, tC, P), kStabilityFailed);
        return m;
    };
    double lo = 450, hi = 600, P = 0;
    ASSERT_GT(marginAt(lo, P), 0.0);  // andalusite below the plane
    ASSERT_LT(marginAt(hi, P), 0.0);
    for (int it = 0; it < 40; ++it) {
        const double mid = 0.5 * (lo + hi);
        (marginAt(mid, P) > 0 ? lo : hi) = mid;
    }
    marginAt(0.5 * (lo + hi), P);
    // Reference: 505.58 C, 3736.7 bar.
    EXPECT_NEAR(0.5 * (lo + hi), 505.58, 0.1);
    EXPECT_NEAR(P, 3736.7, 2.0);
}

TEST(StabilityAluminosilicates, QuartzCorundumSillimaniteAgainstBruteForce) {
    // Three phases of rank two in two coordinates: a unique plane.  With
    // kyanite in the selection the curve is metastable (kyanite is denser).
    for (bool withKyanite : {true, false}) {
        SCOPED_TRACE(withKyanite);
        std::vector<std::string> phases = {"And", "Sil", "Qz", "Crn"};
        if (withKyanite) phases.push_back("Ky");
        auto run = bundledRun("SI AL O", phases);
        const int qz = run->idx("Qz"), crn = run->idx("Crn"), sil = run->idx("Sil");
        const std::vector<std::pair<int, double>> rx = {{qz, -1}, {crn, -1}, {sil, 1}};
        run->react(rx);
        for (double tC : {400.0, 600.0}) {
            SCOPED_TRACE(tC);
            const double P = run->curvePressure(rx, tC, 1000, 60000);
            // Alpha quartz there, so the phase routine is the reference.
            ASSERT_LT(tC + 273.15, 848.0 + 0.023743 * (P - 1));
            double margin = 0;
            const int r = run->test(margin, tC, P);
            EXPECT_TRUE(run->tester->plane().unique());
            EXPECT_EQ(r, stableByMinimisation(*run, rx, tC, P) ? kStable : kMetastable);
            EXPECT_EQ(r, withKyanite ? kMetastable : kStable);
            EXPECT_NEAR(margin, marginByEnumeration(*run, {qz, crn}, {qz, crn, sil}, tC, P), 1e-3);
        }
    }
}

TEST(StabilityAluminosilicates, RankDeficientThreePhaseReactionInMgOAl2O3SiO2) {
    // 3 En + Crn = Py has rank two among three coordinates: the programme.
    // With quartz, spinel, forsterite and the aluminosilicates, mixtures such
    // as Sp + Qz and Fo + Ky share the bulk composition of En + Crn; with
    // forsterite and periclase alone no mixture does.
    for (bool rich : {true, false}) {
        SCOPED_TRACE(rich);
        std::vector<std::string> phases = {"En", "Crn", "Py", "Fo", "Per"};
        if (rich) phases.insert(phases.end(), {"Sp", "Qz", "Ky", "Sil", "And"});
        auto run = bundledRun("MG AL SI O", phases);
        const int en = run->idx("En"), crn = run->idx("Crn"), py = run->idx("Py");
        const std::vector<std::pair<int, double>> rx = {{en, -3}, {crn, -1}, {py, 1}};
        run->react(rx);
        for (double tC : {600.0, 700.0, 800.0}) {
            SCOPED_TRACE(tC);
            const double P = run->curvePressure(rx, tC, 1, 60000);
            ASSERT_LT(tC + 273.15, 848.0 + 0.023743 * (P - 1));  // alpha quartz
            double margin = 0;
            const int r = run->test(margin, tC, P);
            EXPECT_FALSE(run->tester->plane().unique());
            EXPECT_EQ(r, stableByMinimisation(*run, rx, tC, P) ? kStable : kMetastable);
            const double expected = marginByEnumeration(*run, {en, crn}, {en, crn, py}, tC, P);
            if (rich) {
                EXPECT_NE(expected, kNone);
                EXPECT_NEAR(margin, expected, 1e-3);
            } else {
                EXPECT_EQ(expected, kNone);
                EXPECT_EQ(r, kStable);
                EXPECT_EQ(margin, -1e12);
            }
        }
    }
}

// =============================================================================
// The potentials the test uses.

TEST(StabilityPotentials, AsTheReactionRouteSeesThem) {
    // Beta quartz: the reaction route's rule, not the phase routine's.
    auto run = bundledRun("SI AL O", {"Ky", "And", "Sil", "Qz", "Crn"});
    const int qz = run->idx("Qz"), crn = run->idx("Crn"), sil = run->idx("Sil");
    run->react({{qz, -1}, {crn, -1}, {sil, 1}});
    double margin = 0;
    run->test(margin, 900.0, 2000.0);  // beta-quartz field
    model::ReactionTerms one;
    std::array<double, model::kMaxPhases> c{};
    c[static_cast<std::size_t>(qz)] = 1.0;
    model::makeReactionTerms(run->table(), c.data(), one);
    testsupport::EvaluationContext g;
    g.table = &run->table();
    g.point.t = 900.0;
    g.point.P = 2000.0;
    g.reaction = &one;
    EXPECT_NEAR(run->tester->potentials()[static_cast<std::size_t>(qz)], model::ReactionGibbs(g, g.point, *g.reaction), 1e-6);
    EXPECT_GT(std::fabs(run->tester->potentials()[static_cast<std::size_t>(qz)] - run->G(qz, 900.0, 2000.0)), 1.0);
    // The phase routine's kelvin differs by 6e-6 K.
    EXPECT_NEAR(run->tester->potentials()[static_cast<std::size_t>(crn)], run->G(crn, 900.0, 2000.0), 1e-2);
}

TEST(StabilityPotentials, AluminaBufferSeesTheCurrentReaction) {
    // A second enstatite named as the aluminous one: its alumina term depends
    // on the pyrope of the reaction Py + Qz = 3 En + Ky.
    auto run = bundledRun("MG AL SI O", {"Py", "Qz", "En", "Ky", "En", "Fo"});
    const int aEn = 4;
    run->table()[aEn].name = core::pad("ALENSTATITE", 20);
    run->table()[aEn].special = model::SpecialPhase::AlEnstatite;
    const int py = run->idx("Py"), qz = run->idx("Qz"), ky = run->idx("Ky");
    run->react({{py, -1}, {qz, -1}, {2, 3}, {ky, 1}});
    double margin = 0;
    run->test(margin, 800.0, 20000.0);
    testsupport::EvaluationContext g;
    g.table = &run->table();
    g.point.t = 800.0;
    g.point.P = 20000.0;
    g.reaction = &run->reaction.terms;
    const double withPyrope = model::PhaseGibbs(g, g.point, aEn, g.reaction);
    g.reaction = nullptr;
    const double alone = model::PhaseGibbs(g, g.point, aEn, g.reaction);
    ASSERT_GT(std::fabs(withPyrope - alone), 1.0);
    EXPECT_NEAR(run->tester->potentials()[aEn], withPyrope, 1e-2);  // 6e-6 K apart
}

TEST(StabilityPotentials, ActivityAxisPrincipalPhaseThroughItsQuotient) {
    auto run = bundledRun("SI AL O", {"Ky", "And", "Sil", "Qz", "Crn"});
    const int qz = run->idx("Qz"), crn = run->idx("Crn"), sil = run->idx("Sil");
    run->rs.diagramType = calc::kActT;
    run->rs.saturationChoice = 0;
    run->rs.pMin = 5000.0;
    run->sel->hasXAxis = true;
    run->sel->xAxis.memberCount = 2;
    run->sel->xAxis.phase = {qz, crn};
    run->sel->xAxis.exponent = {1, -2};
    run->sel->logActivity[static_cast<std::size_t>(crn)] = -0.3;
    run->react({{qz, -1}, {crn, -1}, {sil, 1}});
    double margin = 0;
    run->ev->setStateFromDiagram(-0.5, 600.0);
    run->tester->testAssemblageStability(margin);
    const double TK = 600.0 + 273.15;
    const double expected = run->G(qz, 600.0, 5000.0) - 2.0 * (run->G(crn, 600.0, 5000.0) - 19.144383238729898 * TK * -0.3);
    EXPECT_NEAR(run->ev->point().logActivity[static_cast<std::size_t>(qz)], -0.5, 0.0);
    EXPECT_NEAR(run->tester->potentials()[static_cast<std::size_t>(qz)], expected, 1e-3);
}

// =============================================================================
// The pruned-assemblage list.

calc::Reaction reactionOf(const std::vector<std::pair<int, double>>& coefficients, int count = 8) {
    calc::Reaction r;
    r.phaseCount = count;
    for (const auto& [i, c] : coefficients) r.coef[static_cast<std::size_t>(i)] = c;
    return r;
}

std::vector<int> entry(const calc::PrunedAssemblageList& l, int e) {
    std::vector<int> v(l.phases[e].begin(), l.phases[e].begin() + l.length[e]);
    std::sort(v.begin(), v.end());
    return v;
}

TEST(PrunedAssemblages, SidesAndWholeReactions) {
    calc::PhaseSelection sel;
    calc::PrunedAssemblageList list;
    const auto r = reactionOf({{0, -1}, {1, -2}, {2, 1}, {3, 0.0005}, {4, 3}});
    EXPECT_EQ(calc::recordPrunedAssemblage(list, r, -1, sel), 2);
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(entry(list, 0), (std::vector<int>{0, 1}));
    EXPECT_EQ(calc::recordPrunedAssemblage(list, r, +1, sel), 2);
    EXPECT_EQ(entry(list, 1), (std::vector<int>{2, 4}));
    // The whole reaction by magnitude: kept beside its sides, since only the
    // entries that contain the new one are removed.
    EXPECT_EQ(calc::recordPrunedAssemblage(list, r, -1, sel, true), 4);
    ASSERT_EQ(list.count, 3);
    EXPECT_EQ(entry(list, 2), (std::vector<int>{0, 1, 2, 4}));

    // Phases in all reactions are left out; a side of nothing else is not recorded.
    sel.allReactionsCount = 2;
    sel.allReactions[0] = 0;
    sel.allReactions[1] = 1;
    calc::PrunedAssemblageList other;
    EXPECT_EQ(calc::recordPrunedAssemblage(other, r, -1, sel), 0);
    EXPECT_EQ(other.count, 0);
    EXPECT_EQ(calc::recordPrunedAssemblage(other, r, 1, sel, true), 2);
    EXPECT_EQ(entry(other, 0), (std::vector<int>{2, 4}));
}

TEST(PrunedAssemblages, ShorterAssemblagesReplaceTheLongerOnesTheyLieIn) {
    calc::PhaseSelection sel;
    calc::PrunedAssemblageList list;
    // {A, B, C} then {A, B}: {A, B, C} goes.
    calc::recordPrunedAssemblage(list, reactionOf({{0, -1}, {1, -1}, {2, -1}, {5, 3}}), -1, sel);
    calc::recordPrunedAssemblage(list, reactionOf({{0, 1}, {1, 1}, {6, -2}}), +1, sel);
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(entry(list, 0), (std::vector<int>{0, 1}));
    // {A, B, C} after {A, B}: both stay.
    calc::recordPrunedAssemblage(list, reactionOf({{0, -1}, {1, -1}, {2, -1}, {5, 3}}), -1, sel);
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(entry(list, 1), (std::vector<int>{0, 1, 2}));
}

TEST(PrunedAssemblages, ReactionHoldingAPrunedPairIsSkippedOnEitherSide) {
    calc::PhaseSelection sel;
    calc::PrunedAssemblageList list;
    calc::recordPrunedAssemblage(list, reactionOf({{0, -1}, {1, -2}, {4, 1}}), -1, sel);  // {A, B}
    const auto abcd = reactionOf({{0, -1}, {1, -1}, {2, 1}, {3, 1}});
    const auto cdab = reactionOf({{2, -1}, {3, -1}, {0, 1}, {1, 1}});
    const auto acbd = reactionOf({{0, -1}, {2, -1}, {1, 1}, {3, 1}});
    const auto acd = reactionOf({{0, -1}, {2, -1}, {3, 2}});
    EXPECT_TRUE(calc::IsPruned(list, abcd.coef.data(), 8));
    EXPECT_TRUE(calc::IsPruned(list, cdab.coef.data(), 8));
    EXPECT_TRUE(calc::IsPruned(list, acbd.coef.data(), 8));
    EXPECT_FALSE(calc::IsPruned(list, acd.coef.data(), 8));
}

}  // namespace
