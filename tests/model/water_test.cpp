// Pure water: the Haar, Gallagher and Kell equation as the program restricts it, the
// high-pressure polynomial above 10 kbar, the saturation pressure and the water cache.
//
// tests/fixtures/model/water-reference-values.csv is a copy of the project's shared
// reference set (reference/water-reference-values.csv), computed by an independent
// implementation; the saturation and reference-state values below come from the
// reference note on the equation (reference/water-hgk1984.md).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "model/water.hpp"

namespace {

using model::WaterCache;
using model::WaterGibbsHaar;
using model::WaterHaar;
using model::WaterSaturationPressure;

constexpr double kKelvin = 273.15;
constexpr double kUnevaluated = 1000000.0;

struct WaterReference {
    double t = 0, P = 0;
    std::string phase;
    bool hasV = false;
    double V = 0, G = 0, dG = 0;
};

std::vector<WaterReference> readWaterReferences() {
    std::vector<WaterReference> out;
    std::ifstream in(std::string(PELKAM_FIXTURES) + "/model/water-reference-values.csv");
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (header) {
            header = false;
            continue;
        }
        std::stringstream s(line);
        std::string t, P, phase, V, G, dG;
        std::getline(s, t, ',');
        std::getline(s, P, ',');
        std::getline(s, phase, ',');
        std::getline(s, V, ',');
        std::getline(s, G, ',');
        std::getline(s, dG, ',');
        WaterReference r;
        r.t = std::stod(t);
        r.P = std::stod(P);
        r.phase = phase;
        r.hasV = !V.empty();
        r.V = r.hasV ? std::stod(V) : 0.0;
        r.G = std::stod(G);
        r.dG = std::stod(dG);
        out.push_back(r);
    }
    return out;
}

bool nearCriticalPoint(double T, double P) { return std::fabs(T - 647.1) <= 10.0 && std::fabs(P - 221.0) <= 50.0; }

TEST(WaterReference, EveryRowWithinItsTolerance) {
    const auto rows = readWaterReferences();
    ASSERT_EQ(rows.size(), 14u);
    const double G0 = WaterGibbsHaar(1.0, 25.0 + kKelvin);
    for (const WaterReference& r : rows) {
        const double T = r.t + kKelvin;
        const double G = WaterGibbsHaar(r.P, T);
        EXPECT_NEAR(G, r.G, 0.05) << r.t << " C, " << r.P << " bar (" << r.phase << ")";
        EXPECT_NEAR(G - G0, r.dG, 0.05) << r.t << " C, " << r.P << " bar";
        if (r.hasV) {
            const double V = WaterHaar(r.P, T).V;
            const double tolerance = nearCriticalPoint(T, r.P) ? 1e-2 : 1e-3;
            EXPECT_NEAR(V / r.V, 1.0, tolerance) << r.t << " C, " << r.P << " bar: V " << V;
        }
    }
}

TEST(WaterReference, ReferenceStateAndOffsets) {
    // The constant 54955.23561461212 zeroes G at 1 bar and 298.15 K.
    EXPECT_NEAR(WaterHaar(1.0, 298.15).G, 0.0, 1e-6);
    // With the single-precision 273.15 the same point is 4.3e-4 J/mol higher.
    EXPECT_NEAR(WaterHaar(1.0, 25.0 + 273.1499938964844).G, 4.3e-4, 0.1e-4);
    EXPECT_NEAR(WaterGibbsHaar(1.0, 298.15), -306675.005859, 1e-5);
    EXPECT_NEAR(WaterHaar(1.0, 298.15).V, 18.0152 / 0.997061395, 1e-5);
}

TEST(WaterSaturation, ReferenceTable) {
    const struct {
        double t, Psat;
    } table[] = {{25, 0.031687}, {100, 1.013253}, {200, 15.536411},
                 {300, 85.831511}, {350, 165.211654}, {370, 210.326601}};
    for (const auto& row : table)
        EXPECT_NEAR(WaterSaturationPressure(row.t + kKelvin), row.Psat, 6e-7) << row.t << " C";
}

TEST(WaterSaturation, BranchesMeetAt314K) {
    const double low = WaterSaturationPressure(314.0);
    const double high = WaterSaturationPressure(std::nextafter(314.0, 400.0));
    EXPECT_NEAR(high / low, 1.0, 2e-6);  // the two fits agree to 1.4e-6 there
    EXPECT_NEAR(low, 0.0772234, 1e-6);
}

TEST(WaterSaturation, RisesUpToTheFitEndThenPlateau) {
    double previous = 0;
    for (double T = 273.16; T <= 647.25; T += 0.5) {
        const double Psat = WaterSaturationPressure(T);
        EXPECT_GT(Psat, previous) << T;
        previous = Psat;
    }
    EXPECT_DOUBLE_EQ(WaterSaturationPressure(647.25), 220.93);
    EXPECT_EQ(WaterSaturationPressure(std::nextafter(647.25, 700.0)), 220.55);
    EXPECT_EQ(WaterSaturationPressure(700.0), 220.55);
    EXPECT_EQ(WaterSaturationPressure(1773.15), 220.55);
    EXPECT_EQ(WaterSaturationPressure(0.0), 0.0);
    EXPECT_EQ(WaterSaturationPressure(std::numeric_limits<double>::quiet_NaN()), 0.0);
}

// Liquid and vapour are told apart by the molar volume at the critical density (0.322 g/cm3).
constexpr double kCriticalVolume = 18.0152 / 0.322;

TEST(WaterPhases, LiquidAboveAndVapourBelowTheSaturationCurve) {
    for (double t : {25.0, 100.0, 200.0, 300.0, 350.0, 370.0, 373.0}) {
        const double T = t + kKelvin;
        const double Psat = WaterSaturationPressure(T);
        for (double f : {1.002, 1.01, 1.1}) {
            EXPECT_LT(WaterHaar(Psat * f, T).V, kCriticalVolume) << t << " C, " << f << " Psat";
            EXPECT_GT(WaterHaar(Psat / f, T).V, kCriticalVolume) << t << " C, Psat / " << f;
        }
    }
}

// Across the saturation curve G must stay continuous: no more change between two close
// pressures than the larger volume times the pressure step. Taking the phase by the fit
// alone would make G jump where the fit and the equation's own boundary differ.
void expectContinuousG(double T, double Pcentre, double relStep, int steps) {
    double Pprev = Pcentre * (1.0 - relStep * steps);
    model::WaterState prev = WaterHaar(Pprev, T);
    for (int k = -steps + 1; k <= steps; ++k) {
        const double P = Pcentre * (1.0 + relStep * k);
        const model::WaterState w = WaterHaar(P, T);
        const double bound = std::max(w.V, prev.V) * (P - Pprev) / 10.0;  // cm3 bar -> J
        EXPECT_GT(w.G, prev.G) << T << " K, " << P << " bar";
        EXPECT_LE(w.G - prev.G, bound * 1.01 + 1e-3) << T << " K, " << P << " bar";
        prev = w;
        Pprev = P;
    }
}

TEST(WaterPhases, GibbsEnergyContinuousAcrossSaturation) {
    for (double t : {25.0, 150.0, 300.0, 370.0, 374.0})
        expectContinuousG(t + kKelvin, WaterSaturationPressure(t + kKelvin), 2e-5, 30);
}

TEST(WaterPhases, StablePhaseBetweenTheFitEndAndTheCriticalPoint) {
    // Between 647.25 K and the equation's critical temperature the 220.55 bar plateau is
    // not the equation's boundary: at 647.5 K vapour is stable until about 221.3 bar.
    const double T = 647.5;
    const model::WaterState below = WaterHaar(220.54, T);
    const model::WaterState above = WaterHaar(220.56, T);
    EXPECT_GT(below.V, kCriticalVolume);
    EXPECT_NEAR(above.V / below.V, 1.0, 0.01);
    expectContinuousG(T, 220.55, 2e-5, 30);
    expectContinuousG(T, 221.5, 1e-4, 30);
    expectContinuousG(647.9, 222.0, 1e-4, 30);
}

// The volume is the pressure derivative of G (1 J = 10 bar cm3). G hardly depends on the
// density found (it is stationary there), so this checks the density search and the
// pressure of the equation against its Helmholtz energy.
TEST(WaterVolume, IsThePressureDerivativeOfG) {
    const double temperatures[] = {25, 150, 300, 360, 370, 372, 373.5, 374.5, 375, 376, 380, 400, 600, 1000, 1500};
    const double pressures[] = {1, 50, 150, 200, 210, 215, 218, 221, 222, 224, 226, 230, 250, 300, 500, 2000, 9000};
    for (double t : temperatures) {
        for (double P : pressures) {
            const double T = t + kKelvin;
            const double h = 1e-4 * P;
            const model::WaterState lo = WaterHaar(P - h, T), hi = WaterHaar(P + h, T);
            if (std::fabs(lo.V / hi.V - 1.0) > 0.05) continue;  // a phase change between the two
            const double derivative = 10.0 * (hi.G - lo.G) / (2.0 * h);
            const double V = WaterHaar(P, T).V;
            EXPECT_NEAR(V / derivative, 1.0, 2e-3) << t << " C, " << P << " bar: V " << V << ", dG/dP " << derivative;
        }
    }
}

TEST(WaterHighPressure, StartsFromZeroAt10Kbar) {
    for (double t : {25.0, 300.0, 700.0, 1200.0}) {
        const double T = t + kKelvin;
        const double haar = WaterHaar(10000.0, T).G;
        // At exactly 10 kbar no polynomial term.
        EXPECT_EQ(WaterGibbsHaar(10000.0, T), haar - 285829.96875 - 20845.037109375) << t;
        // Above it, the Haar part stays at 10 kbar and the term grows from zero.
        EXPECT_NEAR(WaterGibbsHaar(10000.001, T), WaterGibbsHaar(10000.0, T), 0.01) << t;
        EXPECT_GT(WaterGibbsHaar(10000.001, T), WaterGibbsHaar(10000.0, T)) << t;
        EXPECT_NEAR(WaterGibbsHaar(9999.999, T), WaterGibbsHaar(10000.0, T), 0.01) << t;
    }
}

TEST(WaterHighPressure, PolynomialSlopeAt10Kbar) {
    // The polynomial's slope at 10 kbar, as a volume: 14.53, 15.89 and 18.07 cm3/mol.
    const struct {
        double t, V;
    } slopes[] = {{25, 14.53}, {300, 15.89}, {700, 18.07}};
    for (const auto& s : slopes) {
        const double T = s.t + kKelvin;
        const double V = 10.0 * (WaterGibbsHaar(10000.5, T) - WaterGibbsHaar(10000.0, T)) / 0.5;
        EXPECT_NEAR(V, s.V, 0.01) << s.t << " C";
    }
}

// For P from 1 to 50,000 bar and T from 25 to 1500 C the routines return finite values,
// positive volumes, and a G that rises with pressure along every isotherm.
TEST(WaterSweep, FiniteAndRisingWithPressure) {
    for (double t = 25.0; t <= 1500.0; t += 12.5) {
        const double T = t + kKelvin;
        double previous = -std::numeric_limits<double>::infinity();
        for (double logP = 0.0; logP <= std::log10(50000.0) + 1e-12; logP += 0.025) {
            const double P = std::pow(10.0, logP);
            const model::WaterState w = WaterHaar(std::min(P, 10000.0), T);
            const double G = WaterGibbsHaar(P, T);
            ASSERT_TRUE(std::isfinite(w.V) && std::isfinite(w.G) && std::isfinite(G)) << t << " C, " << P << " bar";
            ASSERT_GT(w.V, 9.0) << t << " C, " << P << " bar";
            ASSERT_LT(w.V, 1.0e6) << t << " C, " << P << " bar";
            EXPECT_GT(G, previous) << t << " C, " << P << " bar";
            previous = G;
        }
    }
}

TEST(WaterSweep, UnusableInputGivesTheLargeEnergy) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double bad[][2] = {{0, 500}, {-1, 500}, {nan, 500}, {inf, 500}, {1000, 0}, {1000, -5}, {1000, nan}};
    for (const auto& b : bad) {
        const model::WaterState w = WaterHaar(b[0], b[1]);
        EXPECT_EQ(w.G, kUnevaluated) << b[0] << " bar, " << b[1] << " K";
        EXPECT_TRUE(std::isfinite(w.V) && w.V > 0);
        EXPECT_EQ(WaterGibbsHaar(b[0], b[1]), kUnevaluated);
    }
    // Far outside the grid the results stay finite.
    for (double T : {50.0, 200.0, 5000.0})
        for (double P : {1e-6, 1.0, 1e4}) {
            EXPECT_TRUE(std::isfinite(WaterHaar(P, T).G)) << P << " bar, " << T << " K";
            EXPECT_TRUE(std::isfinite(WaterHaar(P, T).V)) << P << " bar, " << T << " K";
        }
}

TEST(WaterCacheTest, ReusesAnUnchangedPointAndRecomputesOtherwise) {
    WaterCache cache;
    const double T = 873.15;
    const WaterCache& first = cache.at(5000.0, T);
    EXPECT_EQ(&first, &cache);
    EXPECT_EQ(cache.gibbsHaar, WaterGibbsHaar(5000.0, T));
    EXPECT_EQ(cache.state.V, WaterHaar(5000.0, T).V);

    // An unchanged point is not recomputed: a marker left in the cache survives.
    cache.gibbsHaar = 12345.0;
    EXPECT_EQ(cache.at(5000.0, T).gibbsHaar, 12345.0);

    // A new pressure, then a new temperature, are recomputed.
    EXPECT_EQ(cache.at(5001.0, T).gibbsHaar, WaterGibbsHaar(5001.0, T));
    cache.gibbsHaar = 12345.0;
    EXPECT_EQ(cache.at(5001.0, T + 1.0).gibbsHaar, WaterGibbsHaar(5001.0, T + 1.0));
    EXPECT_EQ(cache.state.V, WaterHaar(5001.0, T + 1.0).V);
}

TEST(WaterCacheTest, AboveTenKbarKeepsTheVolumeAtTenKbar) {
    WaterCache cache;
    const double T = 973.15;
    cache.at(15000.0, T);
    EXPECT_EQ(cache.gibbsHaar, WaterGibbsHaar(15000.0, T));
    EXPECT_EQ(cache.state.V, WaterHaar(10000.0, T).V);
    // An unusable point, then a usable one again.
    EXPECT_EQ(cache.at(-1.0, T).gibbsHaar, kUnevaluated);
    EXPECT_EQ(cache.at(15000.0, T).gibbsHaar, WaterGibbsHaar(15000.0, T));
}

}  // namespace
