// pelkam-props run as a whole program on the bundled database.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "run_helpers.hpp"

using apptest::run_program;
using apptest::WorkDir;

namespace {

// Rows of /work/shared/reference/mineral-reference-values.csv (apparent Gibbs
// energy of minerals of the bundled database, computed independently of this
// project), T in kelvin.
struct Reference {
    const char* abbreviation;
    double T_K;
    double P_bar;
    double G;
};
const Reference kReference[] = {
    {"Ky", 600.00, 1, -2660639.163675},     {"Ky", 600.00, 5000, -2638459.588576},
    {"Ky", 1000.00, 10000, -2711692.015495}, {"Ky", 1400.00, 20000, -2794332.836822},
    {"Sil", 600.00, 1, -2660514.526479},    {"Sil", 600.00, 5000, -2635550.404328},
    {"Sil", 1000.00, 10000, -2710900.274699}, {"Sil", 1400.00, 20000, -2792785.823700},
    {"Qz", 600.00, 1, -941699.101091},      {"Qz", 600.00, 5000, -930329.835134},
    {"Qz", 1000.00, 10000, -958049.827040},  {"Qz", 1400.00, 20000, -985881.636155},
    {"Mag", 600.00, 1, -1225144.911584},    {"Mag", 1000.00, 10000, -1313720.924678},
    {"Mag", 1400.00, 20000, -1436322.628677}, {"Kfs", 600.00, 5000, -4072789.155281},
    {"Kfs", 1000.00, 10000, -4207201.499955}, {"Kfs", 1400.00, 20000, -4339112.992239},
    {"Dol", 600.00, 1, -2439383.407762},    {"Dol", 1000.00, 10000, -2514206.223360},
    {"Ms", 600.00, 5000, -6125793.663544},  {"Ms", 1400.00, 20000, -6553119.878166},
};
// The tool takes degrees C: T_K - 273.15, written as given here.
const std::map<double, std::string> kCelsius = {{600.0, "326.85"}, {1000.0, "726.85"}, {1400.0, "1126.85"}};
const std::map<double, std::string> kBar = {{1, "1"}, {5000, "5000"}, {10000, "10000"}, {20000, "20000"}};

std::string database() { return (apptest::data_dir() / "thermo1988.dat").string(); }

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string l;
    while (std::getline(in, l)) out.push_back(l);
    return out;
}
std::vector<std::string> split(const std::string& line, char sep) {
    std::vector<std::string> out;
    std::string cell;
    std::istringstream in(line);
    while (std::getline(in, cell, sep)) out.push_back(cell);
    return out;
}

// G by (item, T text, P text) from CSV output.
std::map<std::string, double> csvValues(const std::string& out) {
    std::map<std::string, double> values;
    auto rows = lines(out);
    for (std::size_t i = 1; i < rows.size(); ++i) {
        auto cells = split(rows[i], ',');
        if (cells.size() == 4)
            values[cells[0] + "|" + cells[1] + "|" + cells[2]] = std::strtod(cells[3].c_str(), nullptr);
    }
    return values;
}
std::string key(const std::string& item, const std::string& t, const std::string& p) {
    return item + "|" + t + "|" + p;
}

std::vector<std::string> allPoints() { return {"--T", "326.85,726.85,1126.85", "--P", "1,5000,10000,20000"}; }

TEST(PelkamProps, SingleMineralsAgreeWithReferenceValues) {
    WorkDir w("props_minerals");
    std::vector<std::string> args = {"--db", database(), "--csv"};
    for (const auto& a : allPoints()) args.push_back(a);
    for (const char* item : {"Ky", "Sil", "Qz", "Mag", "Kfs", "Dol", "Ms"}) args.push_back(item);
    auto r = run_program(PROPS_EXE, args, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto values = csvValues(r.out);
    for (const Reference& ref : kReference) {
        const std::string k = key(ref.abbreviation, kCelsius.at(ref.T_K), kBar.at(ref.P_bar));
        ASSERT_TRUE(values.count(k)) << k << "\n" << r.out;
        EXPECT_NEAR(values[k], ref.G, 0.5) << k;
    }
}

TEST(PelkamProps, ReactionIsTheDifferenceOfItsPhases) {
    WorkDir w("props_reaction");
    std::vector<std::string> args = {"--db", database(), "--csv"};
    for (const auto& a : allPoints()) args.push_back(a);
    // Names and abbreviations in any case, coefficients with or without blanks.
    for (const char* item : {"Ky = Sil", "3 Ky = 3 Sil", "2Ky=2Sil", "0.5 kyanite+ 0.5Ky =SILLIMANITE"})
        args.push_back(item);
    auto r = run_program(PROPS_EXE, args, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto values = csvValues(r.out);
    int checked = 0;
    for (const Reference& ky : kReference) {
        if (std::string(ky.abbreviation) != "Ky") continue;
        for (const Reference& sil : kReference) {
            if (std::string(sil.abbreviation) != "Sil" || sil.T_K != ky.T_K || sil.P_bar != ky.P_bar) continue;
            const std::string t = kCelsius.at(ky.T_K), p = kBar.at(ky.P_bar);
            const double dG = sil.G - ky.G;
            EXPECT_NEAR(values[key("Ky = Sil", t, p)], dG, 0.5) << t << " " << p;
            EXPECT_NEAR(values[key("3 Ky = 3 Sil", t, p)], 3 * dG, 1.5) << t << " " << p;
            EXPECT_NEAR(values[key("2Ky=2Sil", t, p)], 2 * dG, 1.0) << t << " " << p;
            EXPECT_NEAR(values[key("0.5 kyanite+ 0.5Ky =SILLIMANITE", t, p)], dG, 0.5) << t << " " << p;
            ++checked;
        }
    }
    EXPECT_EQ(checked, 4);
}

TEST(PelkamProps, CsvRowsCoverEveryTemperatureAndPressureInOrder) {
    WorkDir w("props_csv");
    auto r = run_program(PROPS_EXE, {"--db", database(), "--csv", "--T", "400, 600.5", "--P", "1,5000,1e4", "Ky", "Qz"},
                         w.path);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 1u + 2 * 2 * 3) << r.out;
    EXPECT_EQ(rows[0], "item,T_C,P_bar,G_J_per_mol");
    const char* expected[][3] = {{"Ky", "400", "1"},     {"Ky", "400", "5000"},   {"Ky", "400", "1e4"},
                                 {"Ky", "600.5", "1"},   {"Ky", "600.5", "5000"}, {"Ky", "600.5", "1e4"},
                                 {"Qz", "400", "1"},     {"Qz", "400", "5000"},   {"Qz", "400", "1e4"},
                                 {"Qz", "600.5", "1"},   {"Qz", "600.5", "5000"}, {"Qz", "600.5", "1e4"}};
    for (std::size_t i = 0; i < 12; ++i) {
        auto cells = split(rows[i + 1], ',');
        ASSERT_EQ(cells.size(), 4u) << rows[i + 1];
        EXPECT_EQ(cells[0], expected[i][0]);
        EXPECT_EQ(cells[1], expected[i][1]);  // temperatures and pressures as given
        EXPECT_EQ(cells[2], expected[i][2]);
        // Four decimals.
        const auto dot = cells[3].find('.');
        ASSERT_NE(dot, std::string::npos);
        EXPECT_EQ(cells[3].size() - dot - 1, 4u) << cells[3];
    }
    // Pressure rises at fixed T: G of kyanite rises with it (V > 0).
    auto g = [&](std::size_t row) { return std::strtod(split(rows[row], ',')[3].c_str(), nullptr); };
    EXPECT_LT(g(1), g(2));
    EXPECT_LT(g(2), g(3));
}

TEST(PelkamProps, PlainOutputIsAlignedColumns) {
    WorkDir w("props_plain");
    auto r = run_program(PROPS_EXE, {"--db", database(), "--T", "326.85,1126.85", "--P", "1,20000", "Ky",
                                     "Ms + Qz = Kfs + Sil + H2O"},
                         w.path);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 1u + 2 * 4);
    const std::string item = "Ms + Qz = Kfs + Sil + H2O";
    // Items left-aligned to the widest, numbers right-aligned: every line has
    // the same length and the columns start at the same places.
    EXPECT_EQ(rows[0].substr(0, item.size() + 2), "item" + std::string(item.size() - 4, ' ') + "  ");
    for (const auto& row : rows) EXPECT_EQ(row.size(), rows[0].size()) << row;
    EXPECT_EQ(rows[1].substr(0, 2), "Ky");
    EXPECT_EQ(rows[5].substr(0, item.size()), item);
    const auto tEnd = rows[0].find("T_C") + 3;
    EXPECT_EQ(rows[1].substr(tEnd - 6, 6), "326.85");
    EXPECT_EQ(rows[3].substr(tEnd - 7, 7), "1126.85");
    EXPECT_TRUE(rows[0].ends_with("G_J_per_mol"));
    const double g = std::strtod(rows[1].substr(rows[1].find_last_of(' ')).c_str(), nullptr);
    EXPECT_NEAR(g, -2660639.163675, 0.5);
}

// Water and carbon dioxide are evaluated as pure fluids; absent from the
// fluid they would only get the 1,000,000 J/mol that marks an absent species.
// (The fluid equations of state are placeholders for now, so only the sign
// and the absence of that value are checked.)
TEST(PelkamProps, FluidItemsAreThePureFluid) {
    WorkDir w("props_fluid");
    auto r = run_program(PROPS_EXE,
                         {"--db", database(), "--csv", "--T", "500", "--P", "1000", "CO2", "Cc + Qz = Wo + CO2"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto values = csvValues(r.out);
    const double co2 = values[key("CO2", "500", "1000")];
    EXPECT_LT(co2, -300000.0);
    EXPECT_LT(std::fabs(values[key("Cc + Qz = Wo + CO2", "500", "1000")]), 200000.0);
}

// A small database: two minerals (one with a comma in its abbreviation), an
// aqueous section, and optionally a header line with a broken formula.
std::string smallDatabase(bool broken) {
    auto st = [](double g, double h, double s, double v) {
        char buf[128];
        std::snprintf(buf, sizeof buf, "ST   %15.2f%15.2f%15.4f%15.4f", g, h, s, v);
        return std::string(buf);
    };
    std::string db = "   3 SMALL TEST\n"
                     "O       SI      AL\n"
                     "  15.99900  28.08550  26.98154\n"
                     "*MINERAL\n"
                     "KYANITE   AL(2)SI(1)O(5)   Ky   \n" +
                     st(-2621840.0, -2596960.0, 83.45, 4.414) + "\n\n" +
                     "ODD PHASE   AL(2)SI(1)O(5)   Odd,1   \n" + st(-2621840.0, -2596960.0, 83.45, 4.414) + "\n\n";
    if (broken) db += "BROKEN   AL(2)SI(x)O(5)   Brk   \n" + st(-1.0, -1.0, 1.0, 1.0) + "\n\n";
    db += "*AQU HELGESON\n"
          "SIO2 AQUEOUS   SI(1)O(2)   \n" +
          st(-833411.0, -877699.0, 75.0, 0.0) + "\n"
          "*STOP\n";
    return db;
}

TEST(PelkamProps, ItemWithACommaIsQuotedInCsv) {
    WorkDir w("props_quote");
    w.write("small.dat", smallDatabase(false));
    auto r = run_program(PROPS_EXE, {"--db", "small.dat", "--csv", "--T", "25", "--P", "1", "Odd,1", "Ky"}, w.path);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    auto rows = lines(r.out);
    ASSERT_EQ(rows.size(), 3u);
    // At 298.15 K and 1 bar the phase returns H - T S (T = 25 C with 273.15 in single precision).
    const std::string prefix = "\"Odd,1\",25,1,";
    ASSERT_EQ(rows[1].substr(0, prefix.size()), prefix) << rows[1];
    EXPECT_NEAR(std::strtod(rows[1].substr(prefix.size()).c_str(), nullptr), -2596960.0 - 298.15 * 83.45, 0.01);
    EXPECT_EQ(rows[2].substr(0, 8), "Ky,25,1,");
}

TEST(PelkamProps, WrongItemsAndNumbersExitWithStatusTwo) {
    WorkDir w("props_errors");
    w.write("small.dat", smallDatabase(false));
    const std::string db = database();
    struct Case {
        std::vector<std::string> args;
        std::string message;  // part of the message on standard error
    };
    const std::vector<Case> cases = {
        {{"--db", db, "--T", "300", "--P", "1", "Kyx"}, "unknown phase 'Kyx'"},
        {{"--db", db, "--T", "3oo", "--P", "1", "Ky"}, "'3oo', is not a number"},
        {{"--db", db, "--T", "300", "--P", "1,,2", "Ky"}, "value 2 of the --P list is empty"},
        {{"--db", db, "--T", "", "--P", "1", "Ky"}, "the --T list is empty"},
        {{"--db", db, "--T", "300", "--P", "1", "Ky = 2 Sil"}, "SI excess +1"},
        {{"--db", db, "--T", "300", "--P", "1", "Ms + Qz = Kfs + Sil"}, "H excess -2"},
        {{"--db", db, "--T", "300", "--P", "1", "3/2 Ky = 3/2 Sil"}, "fraction"},
        {{"--db", db, "--T", "300", "--P", "1", "Ky + = Sil"}, "empty term"},
        {{"--db", db, "--T", "300", "--P", "1", "Ky = Sil = And"}, "more than one '='"},
        {{"--db", db, "--T", "300", "--P", "-5", "Ky"}, "not positive"},
        {{"--T", "300", "--P", "1", "Ky"}, "no database"},
        {{"--db", "missing.dat", "--T", "300", "--P", "1", "Ky"}, "no such file"},
        {{"--db", "small.dat", "--T", "300", "--P", "1", "SIO2 AQUEOUS"}, "aqueous species are not supported"},
        {{"--db", db, "--T", "300", "--P", "1", "--pressure", "1", "Ky"}, "unknown option"},
    };
    for (const Case& c : cases) {
        auto r = run_program(PROPS_EXE, c.args, w.path);
        EXPECT_EQ(r.exitCode, 2) << c.message << "\n" << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_TRUE(r.out.empty()) << r.out;
    }
}

TEST(PelkamProps, DatabaseErrorStopsWithStatusOne) {
    WorkDir w("props_stop");
    w.write("broken.dat", smallDatabase(true));
    auto r = run_program(PROPS_EXE, {"--db", "broken.dat", "--T", "300", "--P", "1", "Ky"}, w.path);
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.err.find("broken.dat"), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
}

TEST(PelkamProps, HelpDescribesTheForm) {
    WorkDir w("props_help");
    auto r = run_program(PROPS_EXE, {"--help"}, w.path);
    EXPECT_EQ(r.exitCode, 0);
    for (const char* word : {"--db FILE", "--T LIST", "--P LIST", "--csv", "3 Ky = 3 Sil", "Exit status"})
        EXPECT_NE(r.out.find(word), std::string::npos) << word;
}

}  // namespace
