// Aqueous species of data/aqueous-hkf.aqu and of the fitted file
// (tests/fixtures/model/aqueous-hkf81-fit.aqu) through the model routines:
// chemical potentials and log K against the independent reference sets, the
// hydrogen-electrode convention of the electron, the two routines against
// each other, and the low-density notice.
#include "model/aqueous.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>

#include "common/aqueous_reference.hpp"
#include "common/bundled_db.hpp"
#include "common/evaluation_context.hpp"
#include "core/text.hpp"
#include "model/range_events.hpp"

namespace {

using testsupport::BundledDatabase;

constexpr const char* kElements = "SI AL K NA CA MG FE CL C H O E";
constexpr int kActT = 4;
constexpr double kLn10R = 19.144383238729898;

std::string aqueousPath(const std::string& file) {
    return file == "aqueous-hkf.aqu" ? testsupport::bundledFile(file)
                                     : std::string(PELKAM_FIXTURES) + "/model/" + file;
}

// The bundled database with one of the two aqueous files, loaded once each.
const BundledDatabase& database(const std::string& file) {
    static std::map<std::string, BundledDatabase> loaded;
    auto it = loaded.find(file);
    if (it == loaded.end()) it = loaded.emplace(file, testsupport::loadBundled(kElements, 1, kActT, aqueousPath(file))).first;
    return it->second;
}

// A phase by abbreviation or name, upper case.
int indexOf(const model::PhaseTable& t, const std::string& key) {
    for (int i = 0; i < t.count; ++i)
        if (core::upper(core::rtrim(t[i].abbreviation)) == key || core::upper(core::rtrim(t[i].name)) == key) return i;
    return -1;
}

// A point with pure water as the fluid and the Haar routine.
testsupport::EvaluationContext contextAt(const BundledDatabase& db, double t, double P,
                                         model::RangeEvents* events = nullptr) {
    testsupport::EvaluationContext ctx;
    ctx.table = db.table.get();
    ctx.point.t = t;
    ctx.point.P = P;
    ctx.point.x[model::kWater] = 1.0;
    ctx.events = events;
    return ctx;
}

double reactionGibbs(const BundledDatabase& db, const std::vector<std::pair<std::string, double>>& terms, double t,
                     double P) {
    std::array<double, model::kMaxPhases> c{};
    for (const auto& [name, coef] : terms) {
        const int i = indexOf(*db.table, name);
        EXPECT_GE(i, 0) << name;
        if (i >= 0) c[static_cast<std::size_t>(i)] += coef;
    }
    model::ReactionTerms rx;
    model::makeReactionTerms(*db.table, c.data(), rx);
    testsupport::EvaluationContext ctx = contextAt(db, t, P);
    return model::ReactionGibbsBySpecies(ctx, ctx.point, rx);
}

TEST(AqueousReference, EverySpeciesWithItsWater) {
    const auto refs = testsupport::readAqueousReferences();
    ASSERT_EQ(refs.size(), 23u);
    for (const auto& r : refs) {
        SCOPED_TRACE(r.file + " " + r.species + " " + r.tText + " C " + r.pText + " bar");
        const BundledDatabase& db = database(r.file);
        ASSERT_TRUE(db.ok) << db.messages;
        const int i = indexOf(*db.table, r.species);
        ASSERT_GE(i, 0);
        testsupport::EvaluationContext ctx = contextAt(db, r.t, r.P);
        EXPECT_NEAR(model::AqueousGibbs(ctx, ctx.point, i, nullptr), r.mu, 0.1);
        EXPECT_EQ(model::ChemicalPotential(ctx, ctx.point, i), model::AqueousGibbs(ctx, ctx.point, i, nullptr));
        if (r.rho == 0.0) continue;  // the electron needs no water
        const model::AqueousWater w = model::aqueousWaterAt(ctx.fluidCache.water, r.t + model::kKelvinSingle, r.P);
        EXPECT_NEAR(w.rho, r.rho, 1e-6);
        EXPECT_NEAR(w.eps, r.eps, 1e-5);
    }
}

TEST(AqueousReference, LogKOfEveryReaction) {
    const BundledDatabase& db = database("aqueous-hkf.aqu");
    const auto refs = testsupport::readLogKReferences();
    ASSERT_EQ(refs.size(), 72u);
    for (const auto& r : refs) {
        SCOPED_TRACE(r.reaction + " at " + r.tText + " C " + r.pText + " bar");
        const double dG = reactionGibbs(db, testsupport::reactionTerms(r.reaction), r.t, r.P);
        EXPECT_NEAR(-dG / (kLn10R * (r.t + 273.15)), r.logK, 0.001);
    }
}

TEST(AqueousElectron, HydrogenElectrodeFrom25To1000C) {
    const BundledDatabase& db = database("aqueous-hkf.aqu");
    const auto terms = testsupport::reactionTerms("2 H+ + 2 E- = H2(g)");
    for (double t = 25.0; t <= 1000.0; t += 25.0)
        for (double P : {1.0, 1000.0, 10000.0}) EXPECT_NEAR(reactionGibbs(db, terms, t, P), 0.0, 5.0) << t << " C " << P;
}

TEST(AqueousRoutines, FittedOlderFormFollowsTheRevisedOneWithinItsResiduals) {
    const BundledDatabase& revised = database("aqueous-hkf.aqu");
    const BundledDatabase& fitted = database("aqueous-hkf81-fit.aqu");
    ASSERT_TRUE(fitted.ok) << fitted.messages;
    // Largest residual of the fit (J/mol) over 25-300 C, saturation to 2000 bar.
    const std::map<std::string, double> residual = {
        {"E-", 1e-6}, {"H+", 1e-6}, {"NA+", 6.8}, {"K+", 5.4}, {"CL-", 10.1}, {"SIO2(AQ)", 93.6}};
    for (const auto& [species, worst] : residual) {
        const int a = indexOf(*revised.table, species), b = indexOf(*fitted.table, species);
        ASSERT_GE(a, 0);
        ASSERT_GE(b, 0);
        EXPECT_EQ((*fitted.table)[b].kind, model::kAqueousHelgeson);
        for (double t = 25.0; t <= 300.0; t += 25.0) {
            const double psat = 1.005 * model::WaterSaturationPressure(t + model::kKelvinSingle);
            for (double P : {std::max(1.0, psat), 500.0, 1000.0, 2000.0}) {
                testsupport::EvaluationContext r = contextAt(revised, t, P), f = contextAt(fitted, t, P);
                EXPECT_NEAR(model::AqueousGibbs(f, f.point, b, nullptr), model::AqueousGibbs(r, r.point, a, nullptr),
                            worst + 0.05)
                    << species << " " << t << " C " << P << " bar";
            }
        }
    }
}

TEST(AqueousNotice, LowDensityWaterIsNoticedNotCounted) {
    const BundledDatabase& db = database("aqueous-hkf.aqu");
    const int k = indexOf(*db.table, "K+"), e = indexOf(*db.table, "E-");
    model::RangeEvents events;
    testsupport::EvaluationContext dense = contextAt(db, 300.0, 1000.0, &events);
    model::AqueousGibbs(dense, dense.point, k, nullptr);
    testsupport::EvaluationContext electron = contextAt(db, 500.0, 500.0, &events);
    model::AqueousGibbs(electron, electron.point, e, nullptr);  // needs no water
    EXPECT_EQ(events.firstCount(), 0);
    for (double t : {500.0, 550.0}) {
        testsupport::EvaluationContext thin = contextAt(db, t, 500.0, &events);
        model::AqueousGibbs(thin, thin.point, k, nullptr);
    }
    EXPECT_EQ(events.count(), 0);  // the values are used all the same
    ASSERT_EQ(events.firstCount(), 1);
    const model::RangeEvent& first = events.first(0);
    EXPECT_EQ(first.source, model::RangeSource::AqueousLowDensity);
    EXPECT_EQ(first.t, 500.0);
    EXPECT_GT(first.value, 0.05);
    EXPECT_LT(first.value, model::kAqueousDensityLimit);
    const std::string text = model::describeRangeEvent(first, db.table.get());
    EXPECT_NE(text.find("less dense than 0.7 g/cm3, first at 500 C and 500 bar"), std::string::npos) << text;
}

}  // namespace
