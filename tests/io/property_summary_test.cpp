// The property summary written from a hand-built phase table.  Expected
// field texts are worked out by hand from the field widths (e.g. F15.4 of
// -3970791.0 is two blanks and "-3970791.0000"; D12.5 of 12.5 is
// " 0.12500D+02").
#include <gtest/gtest.h>

#include <array>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "io/property_summary.hpp"
#include "io/streams.hpp"

namespace io {
namespace {

using model::ChemicalSystem;
using model::PhaseRecord;
using model::PhaseTable;

std::string pad(const std::string& s, std::size_t n) {
    std::string out = s.substr(0, std::min(s.size(), n));
    out.resize(n, ' ');
    return out;
}
std::string blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }
std::string stars(int n) { return std::string(static_cast<std::size_t>(n), '*'); }
// " " + the 20-character name, the start of most phase lines.
std::string lead(const std::string& name) { return " " + pad(name, 20); }

struct Fixture {
    std::unique_ptr<ChemicalSystem> sys = std::make_unique<ChemicalSystem>();
    std::unique_ptr<PhaseTable> table = std::make_unique<PhaseTable>();
    std::array<double, model::kMaxPhases> logActivity{};
    model::FluidModelChoice fluid;

    void setLogActivity(const PhaseRecord& p, double v) {
        logActivity[static_cast<std::size_t>(&p - &(*table)[0])] = v;
    }

    void element(const std::string& symbol, double weight) {
        auto i = static_cast<std::size_t>(sys->elementCount++);
        sys->elementSymbols[i] = pad(symbol, 8);
        sys->atomicWeights[i] = weight;
        sys->systemCoefficients[i] = 1;
    }
    PhaseRecord& phase(const std::string& name, const std::string& abbreviation, int kind,
                       std::initializer_list<double> composition = {}) {
        const int i = table->count++;
        PhaseRecord& p = (*table)[i];
        p.name = pad(name, 20);
        p.abbreviation = pad(abbreviation, 8);
        p.kind = kind;
        std::size_t e = 0;
        for (double c : composition) sys->stoichiometry[static_cast<std::size_t>(i)][e++] = c;
        return p;
    }
    model::DisorderRecord& disorder(PhaseRecord& p) {
        p.disorder = ++table->disorderCount;
        return table->disorders[static_cast<std::size_t>(p.disorder - 1)];
    }
    model::LambdaRecord& lambda(PhaseRecord& p, int slot) {
        p.lambda[static_cast<std::size_t>(slot)] = ++table->lambdaCount;
        return table->lambdas[static_cast<std::size_t>(table->lambdaCount - 1)];
    }

    // Writes the report to a scratch unit and returns its records.
    std::vector<std::string> render(core::Status* status = nullptr) const {
        io::Streams streams;
        EXPECT_EQ(streams.open(9, "summary.tmp", io::OpenMode::Scratch), 0);
        core::Status s = writePropertySummary(streams, 9, *sys, *table, logActivity, fluid, table->count);
        if (status != nullptr)
            *status = s;
        else
            EXPECT_TRUE(s.ok()) << s.describe();
        streams.rewind(9);
        std::vector<std::string> lines;
        std::string line;
        while (streams.readLine(9, line).done()) lines.push_back(line);
        return lines;
    }
};

// Index of the first record equal to `text` at or after `from`, or -1.
int find(const std::vector<std::string>& lines, const std::string& text, int from = 0) {
    for (int i = from; i < static_cast<int>(lines.size()); ++i)
        if (lines[static_cast<std::size_t>(i)] == text) return i;
    return -1;
}
// Index of the first record beginning with `prefix` at or after `from`, or -1.
int findPrefix(const std::vector<std::string>& lines, const std::string& prefix, int from = 0) {
    for (int i = from; i < static_cast<int>(lines.size()); ++i)
        if (lines[static_cast<std::size_t>(i)].starts_with(prefix)) return i;
    return -1;
}
bool contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}
std::string at(const std::vector<std::string>& lines, int i) {
    return i >= 0 && i < static_cast<int>(lines.size()) ? lines[static_cast<std::size_t>(i)] : "<none>";
}

// A run with every kind of entry: eight elements, a solid with disorder
// terms, albite with the ordering record, a solid with two transitions, a
// plain solid, the five gases and one aqueous species of each kind.
Fixture fullRun() {
    Fixture f;
    f.element("O", 15.999);
    f.element("SI", 28.0855);
    f.element("AL", 26.98154);
    f.element("K", 39.0983);
    f.element("NA", 22.98977);
    f.element("H", 1.008);
    f.element("C", 12.011);
    f.element("S", 32.06);

    PhaseRecord& kfs = f.phase("K-FELDSPAR", "Kfs", model::kMineral, {8, 3, 1, 1});
    kfs.H = -3970791.0;
    kfs.S = 214.145;
    kfs.V0 = 10.892;
    f.setLogActivity(kfs, -0.5);
    kfs.K = {262.68, -2001.1, -5070500.0, 623840000.0, 0.0, 0.0125, 1234.5};
    kfs.V = {0, 2.5e-5, 1.5e-9, -1.4e-5, 0, 0, 0, 0};
    auto& d = f.disorder(kfs);
    d.D = {12.5, -250.0, -3.0e5, 77.0, 4.0, 0.002, -1.0e-6};
    d.TMIN = 298.0;
    d.TMAX = 1436.0;
    d.VDIS = 4000.0;

    PhaseRecord& ab = f.phase("ALBITE", "Ab", model::kMineral, {8, 3, 1, 0, 1});
    ab.H = -3935100.0;
    f.disorder(ab);  // D0 = D1 = 0: the ordering model

    PhaseRecord& qz = f.phase("QUARTZ", "Qz", model::kMineral, {2, 1});
    qz.H = -910700.0;
    qz.S = 41.46;
    qz.V0 = 2.269;
    auto& l1 = f.lambda(qz, 0);
    l1 = {-9.187, 0.024607, 848.0, 0.0237, 1.2e-5, -3.0e-7, 298.0, 1000.5, 0.0};
    auto& l2 = f.lambda(qz, 1);
    l2 = {1.5, -0.5, 1000.0, 0.01, 0.0, 0.0, 900.5, 0.0, 0.25};

    f.phase("KYANITE", "Ky", model::kMineral, {5, 1, 2});

    PhaseRecord& w = f.phase("WATER", "H2O", model::kWater, {1, 0, 0, 0, 0, 2});
    w.H = -241826.0;
    w.S = 188.835;
    w.V0 = 99.0;  // a gas line has no volume column
    f.setLogActivity(w, -1.25);
    w.K = {30.09, 0, 0, 0, 0, 0.0068, 0};
    f.phase("CARBON DIOXIDE", "CO2", model::kCarbonDioxide, {2, 0, 0, 0, 0, 0, 1});
    f.phase("OXYGEN GAS", "O2", model::kOxygenGas, {2});
    f.phase("HYDROGEN GAS", "H2", model::kHydrogenGas, {0, 0, 0, 0, 0, 2});
    f.phase("SULFUR GAS", "S2", model::kSulfurGas, {0, 0, 0, 0, 0, 0, 0, 2});

    // a1..a7 = 1..7 through the slots the C8 and C9 lines fill (K0 K5 K1 K4 / K2 K6 K3);
    // v1..v7 = 10..70 through the V8 and V9 slots (V1 V2 V4 V5 / V3 V6 V7).
    PhaseRecord& plain = f.phase("SIO2,AQ", "SIO2,AQ", model::kAqueousPlain, {2, 1});
    plain.K = {1, 3, 5, 7, 4, 2, 6};
    plain.V = {0, 10, 20, 50, 30, 40, 60, 70};
    plain.H = -887000.0;
    plain.S = 75.0;
    plain.V0 = 1.61;

    // A1..A4 in V1..V4; THETA K0, C1 K5, C2 K2, W(con) K1, Psi K4.
    PhaseRecord& hkf = f.phase("NA+", "NA+", model::kAqueousHelgeson, {0, 0, 0, 0, 1});
    hkf.V = {0, 0.7694, -9.55e-5, 0.0, 0.000123, 0, 0, 0};
    hkf.K = {228.0, 137500.0, -124000.0, 0, 0, 76065.0, 0};
    PhaseRecord& tanger = f.phase("K+", "K+", model::kAqueousTanger, {0, 0, 0, 1});
    tanger.V = {0, 1.5, 2.5, 3.5, 4.5, 0, 0, 0};
    tanger.K = {228.0, 80000.0, -30000.0, 0, 2600.0, 30000.0, 0};
    return f;
}

TEST(PropertySummary, TitleElementsAndCompositions) {
    Fixture f = fullRun();
    auto lines = f.render();
    ASSERT_GE(lines.size(), 20u);
    EXPECT_EQ(lines[0], "1" + blanks(15) + " " + stars(34));
    EXPECT_EQ(lines[1], blanks(16) + " *SUMMARY OF THE SYSTEM PROPERTIES*");
    EXPECT_EQ(lines[2], blanks(16) + " " + stars(34));
    EXPECT_EQ(lines[3], "");
    EXPECT_EQ(lines[4], "");
    EXPECT_EQ(lines[5], " There are   8 elements in the system. ");
    EXPECT_EQ(lines[6], " Their weights and symbols are: ");
    EXPECT_EQ(lines[7], "");
    // Five elements per line: 5X, F10.5, 2X, A8.
    EXPECT_EQ(lines[8], "       15.99900  O       " "       28.08550  SI      " "       26.98154  AL      "
                        "       39.09830  K       " "       22.98977  NA      ");
    EXPECT_EQ(lines[9], "        1.00800  H       " "       12.01100  C       " "       32.06000  S       ");

    const int heading = find(lines, " The compositions of the SOLID PHASES are: ");
    ASSERT_EQ(heading, 12);
    EXPECT_EQ(lines[10], "");
    EXPECT_EQ(lines[11], "");
    EXPECT_EQ(lines[13], "");
    // Every phase of the run gets a line, solids or not: 1X, A20, 1X, F6.2 each.
    EXPECT_EQ(lines[14], lead("K-FELDSPAR") + " " + "  8.00  3.00  1.00  1.00  0.00  0.00  0.00  0.00");
    EXPECT_EQ(lines[18], lead("WATER") + " " + "  1.00  0.00  0.00  0.00  0.00  2.00  0.00  0.00");
    EXPECT_EQ(lines[25], lead("K+") + " " + "  0.00  0.00  0.00  1.00  0.00  0.00  0.00  0.00");
}

TEST(PropertySummary, CompositionLinesWrapAfterFifteenValues) {
    Fixture f;
    const char* symbols[] = {"O", "SI", "AL", "MG", "FE", "CA", "NA", "K", "TI", "H", "C", "MN", "S", "CL", "F", "P"};
    for (const char* s : symbols) f.element(s, 1.0);
    f.phase("EVERYTHING", "Ev", model::kMineral,
            {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16.25});
    f.phase("PLAIN", "Pl", model::kMineral, {1});
    auto lines = f.render();
    const int i = find(lines, " The compositions of the SOLID PHASES are: ");
    ASSERT_GE(i, 0);
    EXPECT_EQ(at(lines, i + 2), lead("EVERYTHING") + " " +
                                    "  1.00  2.00  3.00  4.00  5.00  6.00  7.00  8.00  9.00 10.00 11.00 12.00"
                                    " 13.00 14.00 15.00");
    // The sixteenth value goes on a line of its own, under the first value.
    EXPECT_EQ(at(lines, i + 3), blanks(22) + " 16.25");
    EXPECT_EQ(at(lines, i + 4), lead("PLAIN") + " " + "  1.00" +
                                    "  0.00  0.00  0.00  0.00  0.00  0.00  0.00  0.00  0.00  0.00  0.00  0.00"
                                    "  0.00  0.00");
    EXPECT_EQ(at(lines, i + 5), blanks(22) + "  0.00");
}

TEST(PropertySummary, SolidStandardStateHeatCapacityAndVolumeLines) {
    Fixture f = fullRun();
    auto lines = f.render();
    const int h = find(lines, " The properties of the SOLID PHASES are");
    ASSERT_GE(h, 0);
    EXPECT_EQ(at(lines, h - 1), "");
    EXPECT_EQ(at(lines, h - 2), "");
    EXPECT_EQ(at(lines, h + 1), " " + stars(38));
    EXPECT_EQ(at(lines, h + 2), "");
    EXPECT_EQ(at(lines, h + 3), blanks(20) + "STANDARD STATE PROPERTIES");
    EXPECT_EQ(at(lines, h + 4), blanks(37) + "ENTHALPY (J)" + blanks(7) + "ENTROPY (J)" + blanks(5) +
                                    "VOLUME (J/BAR)" + blanks(5) + " LOG ACTIVITY");
    EXPECT_EQ(at(lines, h + 5), "");
    EXPECT_EQ(at(lines, h + 6), lead("K-FELDSPAR") + "   (Kfs     )" + "  -3970791.0000" + "   " +
                                    "      214.14500" + "   " + "        10.8920" + "   " + "    -0.50000000");
    EXPECT_EQ(at(lines, h + 8), lead("QUARTZ") + "   (Qz      )" + "   -910700.0000" + "   " + "       41.46000" +
                                    "   " + "         2.2690" + "   " + "     0.00000000");
    // Only the four solids.
    EXPECT_EQ(at(lines, h + 10), "");

    const int c = find(lines, blanks(20) + "HEAT CAPACITY TERMS");
    ASSERT_EQ(c, h + 13);
    EXPECT_EQ(at(lines, c + 1), blanks(30) + "K0" + blanks(10) + "K1 (T**-.5)" + blanks(4) + "K2 (T**-2)" +
                                    blanks(3) + "K3 (T**-3)" + blanks(3) + "K4 (T**-1)" + blanks(7) + "K5 (T)" +
                                    blanks(11) + "K6 (T**2)");
    // K0 F15.5, K1 F15.4, K2 F15.1, K3 F15.1, then K4..K6 as 1X, G16.10:
    // 0 in fixed form, 0.0125 below 0.1 in exponent form, 1234.5 fixed with
    // ten significant digits and four trailing blanks.
    EXPECT_EQ(at(lines, c + 3), lead("K-FELDSPAR") + " " + "      262.68000" + "     -2001.1000" +
                                    "     -5070500.0" + "    623840000.0" + "  0.000000000    " +
                                    " 0.1250000000E-01" + "  1234.500000    ");

    const int v = find(lines, blanks(21) + "VOLUME EXPANSION/CONTRACTION TERMS");
    ASSERT_EQ(v, c + 3 + 4 + 3);
    EXPECT_EQ(at(lines, v + 1), "");
    EXPECT_EQ(at(lines, v + 2), blanks(31) + "V1(T)" + blanks(8) + "V2(T)" + blanks(8) + "V3(P)" + blanks(8) +
                                    "V4(P)" + blanks(8) + "V5   " + blanks(8) + "V6   ");
    EXPECT_EQ(at(lines, v + 3), "");
    EXPECT_EQ(at(lines, v + 4), lead("K-FELDSPAR") + blanks(8) + "  0.25000D-04" + "  0.15000D-08" +
                                    " -0.14000D-04" + "  0.00000D+00" + "  0.00000D+00" + "  0.00000D+00");
}

TEST(PropertySummary, DisorderLinesAndTheAlbiteNote) {
    Fixture f = fullRun();
    auto lines = f.render();
    const int d = find(lines, blanks(23) + "DISORDER PROPERTIES");
    ASSERT_GE(d, 3);
    EXPECT_EQ(at(lines, d - 1), "");
    EXPECT_EQ(at(lines, d - 3), "");
    EXPECT_EQ(at(lines, d + 1), blanks(21) + "T MIN  T MAX  D0" + blanks(11) + "D1" + blanks(11) + "D2" + blanks(11) +
                                    "D4" + blanks(11) + "D5" + blanks(11) + "D6" + blanks(11) + "V DIS");
    EXPECT_EQ(at(lines, d + 2), "");
    // D3 (77) is not printed.
    EXPECT_EQ(at(lines, d + 3), lead("K-FELDSPAR") + " " + " 298.0" + " " + "1436.0" + "  0.12500D+02" +
                                    " -0.25000D+03" + " -0.30000D+06" + "  0.40000D+01" + "  0.20000D-02" +
                                    " -0.10000D-05" + "  0.40000D+04");
    EXPECT_EQ(at(lines, d + 4), " ORDERING OF ALBITE RELATIVE TO HIGH ALBITE COMPUTED");
    EXPECT_EQ(at(lines, d + 5), " WITH EQUATIONS OF SALJE ET AL. (1985)");
    EXPECT_LT(findPrefix(lines, lead("ALBITE") + "    0.0 "), 0);  // no numeric line for albite
}

TEST(PropertySummary, AlbiteNoteFollowsTheOrderingRecordNotTheName) {
    Fixture f;
    f.element("O", 15.999);
    PhaseRecord& kfs = f.phase("K-FELDSPAR", "Kfs", model::kMineral, {8});
    f.disorder(kfs).D[0] = 5.0;
    f.phase("ALBITE", "Ab", model::kMineral, {8});         // no disorder record: no ordering computed
    PhaseRecord& low = f.phase("LOW-ALBITE", "lAb", model::kMineral, {8});
    f.disorder(low);                                           // ordering record under another name
    PhaseRecord& odd = f.phase("ALBITE-CP", "cAb", model::kMineral, {8});
    auto& cp = f.disorder(odd);                                // heat-capacity disorder on an albite name
    cp.D[0] = 1.0;
    cp.TMIN = 300.0;
    cp.TMAX = 400.0;
    auto lines = f.render();
    const int d = find(lines, blanks(23) + "DISORDER PROPERTIES");
    ASSERT_GE(d, 0);
    EXPECT_TRUE(at(lines, d + 3).starts_with(lead("K-FELDSPAR")));
    EXPECT_EQ(at(lines, d + 4), " ORDERING OF ALBITE RELATIVE TO HIGH ALBITE COMPUTED");
    EXPECT_EQ(at(lines, d + 5), " WITH EQUATIONS OF SALJE ET AL. (1985)");
    EXPECT_EQ(at(lines, d + 6), lead("ALBITE-CP") + " " + " 300.0" + " " + " 400.0" + "  0.10000D+01" +
                                    "  0.00000D+00" + "  0.00000D+00" + "  0.00000D+00" + "  0.00000D+00" +
                                    "  0.00000D+00" + "  0.00000D+00");
    EXPECT_EQ(at(lines, d + 7), "  ");
    EXPECT_EQ(at(lines, d + 8), "  ");
}

TEST(PropertySummary, TransitionLinesInOrder) {
    Fixture f = fullRun();
    auto lines = f.render();
    const int t = find(lines, blanks(20) + "TRANSITION PROPERTIES");
    ASSERT_GE(t, 0);
    EXPECT_EQ(at(lines, t - 1), "");
    EXPECT_EQ(at(lines, t + 1), blanks(21) + "T TRAN  T REF    A SPIKE" + blanks(8) + "B SPIKE" + blanks(5) +
                                    "H TRANS" + blanks(5) + "SLOPE" + blanks(8) + "VOL TRANS    DV/DT" + blanks(8) +
                                    "DV/DP");
    EXPECT_EQ(at(lines, t + 2), "");
    // A SPIKE, B SPIKE, H TRANS, SLOPE, VOL TRANS, DV/DT, DV/DP.
    EXPECT_EQ(at(lines, t + 3), lead("QUARTZ") + "  " + " 848.0" + " " + " 298.0" + " -0.91870D+01" +
                                    "  0.24607D-01" + "  0.10005D+04" + "  0.23700D-01" + "  0.00000D+00" +
                                    "  0.12000D-04" + " -0.30000D-06");
    EXPECT_EQ(at(lines, t + 4), lead("QUARTZ") + "  " + "1000.0" + " " + " 900.5" + "  0.15000D+01" +
                                    " -0.50000D+00" + "  0.00000D+00" + "  0.10000D-01" + "  0.25000D+00" +
                                    "  0.00000D+00" + "  0.00000D+00");
    // The solid section ends with two lines of two blanks.
    EXPECT_EQ(at(lines, t + 5), "  ");
    EXPECT_EQ(at(lines, t + 6), "  ");
}

TEST(PropertySummary, GasLinesAndNotes) {
    Fixture f = fullRun();
    auto lines = f.render();
    const int g = find(lines, " The properties of the GASES are");
    ASSERT_GE(g, 2);
    EXPECT_EQ(at(lines, g - 2), "");
    EXPECT_EQ(at(lines, g + 1), " " + stars(31));
    EXPECT_EQ(at(lines, g + 3), blanks(20) + "STANDARD STATE PROPERTIES");
    EXPECT_EQ(at(lines, g + 4), blanks(37) + "ENTHALPY (J)" + blanks(7) + "ENTROPY (J)" + blanks(6) + " LOG ACTIVITY");
    // No volume column.
    EXPECT_EQ(at(lines, g + 6), lead("WATER") + "   (H2O     )" + "   -241826.0000" + "   " + "      188.83500" +
                                    "   " + "    -1.25000000");
    EXPECT_TRUE(at(lines, g + 10).starts_with(lead("SULFUR GAS") + "   (S2      )"));

    const int c = find(lines, blanks(20) + "HEAT CAPACITY TERMS", g);
    ASSERT_EQ(c, g + 14);
    EXPECT_EQ(at(lines, c + 3), lead("WATER") + " " + "       30.09000" + "         0.0000" + "            0.0" +
                                    "            0.0" + "  0.000000000    " + " 0.6800000000E-02" +
                                    "  0.000000000    ");

    // Water routine 1, CO2 routine 1 (no note), then the three further gases.
    const std::string rk = " VOLUMETRIC PROPERTIES CALCULATED USING REDLICH-KWONG EQUATION OF STATE ";
    const int n = c + 8;
    EXPECT_EQ(at(lines, n), "");
    EXPECT_EQ(at(lines, n + 1), " WATER - VOLUMETRIC PROPERTIES CALCULATED USING HAAR EQUATION OF STATE ");
    EXPECT_EQ(at(lines, n + 2), "");
    EXPECT_EQ(at(lines, n + 3), lead("OXYGEN GAS") + rk);
    EXPECT_EQ(at(lines, n + 5), lead("HYDROGEN GAS") + rk);
    EXPECT_EQ(at(lines, n + 7), lead("SULFUR GAS") + rk);
    EXPECT_FALSE(contains(lines, " CARBON DIOXIDE VOLUMETRIC"));

    f.fluid = {1, 2, 3};
    lines = f.render();
    EXPECT_GE(find(lines, " WATER - VOLUMETRIC PROPERTIES CALCULATED USING L.D. KELSO REDLICH-KWONG "), 0);
    EXPECT_GE(
        find(lines, " CARBON DIOXIDE VOLUMETRIC PROPERTIES CALCULATED USING KERRICK AND JACOBS REDLICH-KWONG "), 0);
    f.fluid = {1, 3, 2};
    lines = f.render();
    EXPECT_GE(find(lines, " WATER - VOLUMETRIC PROPERTIES CALCULATED USING KERRICK AND JACOBS REDLICH-KWONG "), 0);
    EXPECT_GE(find(lines, " CARBON DIOXIDE VOLUMETRIC PROPERTIES CALCULATED USING L.D. KELSO REDLICH-KWONG "), 0);
    f.fluid = {1, 4, 1};
    lines = f.render();
    EXPECT_FALSE(contains(lines, " WATER - VOLUMETRIC"));
}

TEST(PropertySummary, AqueousSpeciesOfTheThreeKinds) {
    Fixture f = fullRun();
    auto lines = f.render();
    const int a = find(lines, " The properties of the AQUEOUS SPECIES are");
    ASSERT_GE(a, 0);
    EXPECT_EQ(at(lines, a + 1), " " + stars(41));
    EXPECT_EQ(at(lines, a + 4), blanks(37) + "ENTHALPY (J)" + blanks(7) + "ENTROPY (J)" + blanks(5) +
                                    "VOLUME (J/BAR)" + blanks(5) + " LOG ACTIVITY");
    EXPECT_EQ(at(lines, a + 6), lead("SIO2,AQ") + "   (SIO2,AQ )" + "   -887000.0000" + "   " + "       75.00000" +
                                    "   " + "         1.6100" + "   " + "     0.00000000");
    EXPECT_TRUE(at(lines, a + 8).starts_with(lead("K+") + "   (K+      )"));

    const int cp = a + 12;
    EXPECT_EQ(at(lines, cp - 1), "");
    EXPECT_EQ(at(lines, cp), blanks(20) + " Heat Capacity Terms " + blanks(5) +
                                 "Cp = a1 + a2 * T + a3 * T**2 + a4 * T / (T - a5) + a6 / sqrt(T) + a7 / T**2");
    EXPECT_EQ(at(lines, cp + 1), blanks(19) + "a1" + blanks(13) + "a2" + blanks(13) + "a3" + blanks(13) + "a4" +
                                     blanks(13) + "a5" + blanks(13) + "a6" + blanks(13) + "a7");
    // Seven times D12.5 and 3X (the 3X after the last value is not written).
    EXPECT_EQ(at(lines, cp + 2), lead("SIO2,AQ") + blanks(5) +
                                    " 0.10000D+01    0.20000D+01    0.30000D+01    0.40000D+01    "
                                    "0.50000D+01    0.60000D+01    0.70000D+01");
    const int vol = cp + 6;
    EXPECT_EQ(at(lines, vol), blanks(20) + " Volume Terms " + blanks(5) +
                                  "V = v1 + v2 * T + v3 * T**2 + v4 * T / (T - v5) + v6 * P + v7 * P**2");
    EXPECT_EQ(at(lines, vol + 1), blanks(19) + "v1" + blanks(13) + "v2" + blanks(13) + "v3" + blanks(13) + "v4" +
                                      blanks(13) + "v5" + blanks(13) + "v6" + blanks(13) + "v7");
    EXPECT_EQ(at(lines, vol + 2), lead("SIO2,AQ") + blanks(5) +
                                    " 0.10000D+02    0.20000D+02    0.30000D+02    0.40000D+02    "
                                    "0.50000D+02    0.60000D+02    0.70000D+02");

    const int hk = vol + 6;
    EXPECT_EQ(at(lines, hk), blanks(21) + "Volume and Heat Capacity Terms (from Helgeson et al, 1981)");
    EXPECT_EQ(at(lines, hk + 1), blanks(18) + "A1" + blanks(13) + "A2" + blanks(12) + "A3" + blanks(13) + "A4" +
                                     blanks(9) + "THETA" + blanks(9) + "C1" + blanks(12) + "C2" + blanks(11) +
                                     "W(con)");
    // omega is an energy (J/mol); a3, a4 multiply T/(T - theta).
    EXPECT_EQ(at(lines, hk + 2), blanks(14) + "(j/m/bar)" + blanks(5) + "(j/m/bar**2)" + blanks(4) + "(j/m/bar)" +
                                     blanks(5) + "(j/m/bar**2)" + blanks(4) + "(K)" + blanks(6) + "(j/m/deg)" +
                                     blanks(6) + "(j/m/deg)" + blanks(8) + "(j/m)");
    // A1..A4, THETA F6.2, C1, C2, W(con).
    EXPECT_EQ(at(lines, hk + 3), lead("NA+") + blanks(4) + " 0.76940D+00   -0.95500D-04    0.00000D+00    "
                                                           "0.12300D-03   " "228.00" "    0.76065D+05"
                                                           "   -0.12400D+06    0.13750D+06");

    const int tg = hk + 7;
    EXPECT_EQ(at(lines, tg), blanks(21) + "Volume and Heat Capacity Terms (from Tanger et al)");
    EXPECT_TRUE(at(lines, tg + 1).ends_with("W(con)" + blanks(5) + "Psi"));
    // The revised form: a2 J/mol and a4 J K/mol (times ln((psi + P)/(psi + 1))),
    // a3 J K/(mol bar), c2 J K/mol, omega J/mol; each unit under its column.
    const std::string units = at(lines, tg + 2), columns = at(lines, tg + 1);
    EXPECT_EQ(units, blanks(14) + "(j/m/bar)" + blanks(8) + "(j/m)" + blanks(6) + "(j*K/m/bar)" + blanks(6) +
                         "(j*K/m)" + blanks(8) + "(K)" + blanks(6) + "(j/m/deg)" + blanks(6) + "(j*K/m)" +
                         blanks(10) + "(j/m)" + blanks(6) + "bars");
    for (const char* column : {"A1", "A2", "A3", "A4", "THETA", "C1", "C2", "W(con)", "Psi"}) {
        const std::size_t c = columns.find(column), centre = c + std::strlen(column) / 2;
        ASSERT_NE(c, std::string::npos) << column;
        EXPECT_NE(units[centre], ' ') << column << " has no unit under it";
    }
    EXPECT_EQ(at(lines, tg + 3), lead("K+") + blanks(4) + " 0.15000D+01    0.25000D+01    0.35000D+01    "
                                                          "0.45000D+01   " "228.00" "    0.30000D+05"
                                                          "   -0.30000D+05    0.80000D+05" + blanks(5) + "  2600.0");
    EXPECT_EQ(static_cast<int>(lines.size()), tg + 4);
}

TEST(PropertySummary, SectionsAndBlocksAbsentWhenNotNeeded) {
    Fixture f;
    f.element("O", 15.999);
    f.element("SI", 28.0855);
    f.phase("QUARTZ", "Qz", model::kMineral, {2, 1});
    f.phase("ALBITE", "Ab", model::kMineral, {8, 3});  // no disorder anywhere: no note
    auto lines = f.render();
    EXPECT_GE(find(lines, " The properties of the SOLID PHASES are"), 0);
    EXPECT_FALSE(contains(lines, "DISORDER PROPERTIES"));
    EXPECT_FALSE(contains(lines, "ORDERING OF ALBITE"));
    EXPECT_FALSE(contains(lines, "TRANSITION PROPERTIES"));
    EXPECT_FALSE(contains(lines, "GASES"));
    EXPECT_FALSE(contains(lines, "AQUEOUS"));
    // The report ends with the two lines that close the solid section.
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 1], "  ");
    EXPECT_EQ(lines[lines.size() - 2], "  ");

    Fixture gas;
    gas.element("O", 15.999);
    gas.phase("OXYGEN GAS", "O2", model::kOxygenGas, {2});
    PhaseRecord& axis = gas.phase("ARGON", "Ar", model::kAxisGas, {0});
    axis.H = 1.0;
    lines = gas.render();
    EXPECT_FALSE(contains(lines, "compositions"));
    EXPECT_FALSE(contains(lines, "SOLID PHASES"));
    EXPECT_FALSE(contains(lines, "AQUEOUS"));
    EXPECT_GE(find(lines, " The properties of the GASES are"), 0);
    EXPECT_GE(findPrefix(lines, lead("ARGON") + "   (Ar      )"), 0);
    // The axis gas has no equation of state, so no note.
    EXPECT_TRUE(contains(lines, lead("OXYGEN GAS") + " VOLUMETRIC"));
    EXPECT_FALSE(contains(lines, lead("ARGON") + " VOLUMETRIC"));

    // Only the phases of the run are printed.
    Fixture part = fullRun();
    io::Streams streams;
    ASSERT_EQ(streams.open(9, "summary.tmp", io::OpenMode::Scratch), 0);
    ASSERT_TRUE(writePropertySummary(streams, 9, *part.sys, *part.table, part.logActivity, part.fluid, 4).ok());
    streams.rewind(9);
    std::vector<std::string> some;
    std::string line;
    while (streams.readLine(9, line).done()) some.push_back(line);
    EXPECT_FALSE(contains(some, "GASES"));
    EXPECT_FALSE(contains(some, "AQUEOUS"));
    EXPECT_FALSE(contains(some, lead("WATER")));
}

TEST(PropertySummary, BadReferencesWriteNothing) {
    Fixture f = fullRun();
    (*f.table)[0].disorder = 7;  // only two disorder records exist
    core::Status s;
    auto lines = f.render(&s);
    EXPECT_EQ(s.code, core::StatusCode::Error);
    EXPECT_NE(s.why.find("K-FELDSPAR"), std::string::npos) << s.why;
    EXPECT_TRUE(lines.empty());

    Fixture g = fullRun();
    (*g.table)[2].lambda[2] = -1;
    lines = g.render(&s);
    EXPECT_EQ(s.code, core::StatusCode::Error);
    EXPECT_TRUE(lines.empty());

    Fixture h = fullRun();
    io::Streams streams;
    EXPECT_EQ(writePropertySummary(streams, 9, *h.sys, *h.table, h.logActivity, h.fluid, h.table->count).code,
              core::StatusCode::Error);  // unit not open
    ASSERT_EQ(streams.open(9, "summary.tmp", io::OpenMode::Scratch), 0);
    EXPECT_EQ(writePropertySummary(streams, 9, *h.sys, *h.table, h.logActivity, h.fluid, h.table->count + 1).code,
              core::StatusCode::Error);
    std::string line;
    streams.rewind(9);
    EXPECT_FALSE(streams.readLine(9, line).done());
}

}  // namespace
}  // namespace io
