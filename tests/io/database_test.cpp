// Loading the thermodynamic database: sections, data lines, the element
// filter, dropped phases, the aqueous file, limits and error messages.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "io/database_harness.hpp"

namespace io {
namespace {

using core::StatusCode;
using testing::fixture;
using testing::Harness;
using testing::quotedLine;

constexpr const char* kTestSystem = "SI AL O K H C";  // no FE

LoadOptions ptRun() {
    LoadOptions o;
    o.waterRoutine = 2;  // keep the water phase's values
    return o;
}

TEST(Loading, SectionsFilterAndDataLines) {
    Harness h;
    ASSERT_TRUE(h.start(fixture("loading.dat"), kTestSystem).ok());
    ASSERT_TRUE(h.load(ptRun()).ok());
    const model::PhaseTable& t = *h.phases;
    // Fayalite (iron), the unknown section, methane, the aqueous section and
    // everything after *END are not loaded.
    ASSERT_EQ(t.count, 6);
    const char* names[] = {"QUARTZ", "KYANITE", "SANIDINE", "VOLUMES", "WATER", "Carbon Dioxide"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(core::rtrim(t[i].name), names[i]);
    EXPECT_EQ(t[4].kind, model::kWater);
    EXPECT_EQ(t[5].kind, model::kCarbonDioxide);  // gas names compared in upper case
    EXPECT_EQ(h.out, (std::vector<std::string>{"", "", "METHANE              IS A GAS AND ITS CRITICAL PROPERTIES ",
                                               "COULD NOT BE FOUND - IT WILL BE IGNORED."}));

    // The phase after the skipped one: a second ST overwrites the first, a
    // zero in C1 keeps the slot, C6 is not a mineral code, the A line.
    const model::PhaseRecord& ky = *h.phase("KYANITE");
    EXPECT_EQ(ky.abbreviation, "Ky      ");
    EXPECT_DOUBLE_EQ(ky.G, -2711.0);
    EXPECT_DOUBLE_EQ(ky.H, -2594220.0);
    EXPECT_DOUBLE_EQ(ky.S, 83.5);
    EXPECT_DOUBLE_EQ(ky.V0, 4.414);
    EXPECT_DOUBLE_EQ(ky.K[0], 262.68);
    EXPECT_DOUBLE_EQ(ky.K[1], -2000.0);
    EXPECT_DOUBLE_EQ(ky.K[2], 0.0);
    EXPECT_DOUBLE_EQ(ky.K[3], -1.0);
    EXPECT_DOUBLE_EQ(ky.K[5], 0.0);
    EXPECT_TRUE(ky.hasModelCode);
    EXPECT_EQ(ky.modelCode, "KYAN");
    EXPECT_EQ(ky.disorder, 0);
    EXPECT_EQ(ky.lambda, (std::array<int, 3>{0, 0, 0}));

    // Stoichiometry rows in element-table order after compaction: O SI AL K H C.
    ASSERT_EQ(h.system->elementCount, 6);
    EXPECT_EQ(h.system->componentCount, 6);
    const char* symbols[] = {"O       ", "SI      ", "AL      ", "K       ", "H       ", "C       "};
    for (int k = 0; k < 6; ++k) EXPECT_EQ(h.system->elementSymbols[static_cast<std::size_t>(k)], symbols[k]);
    EXPECT_DOUBLE_EQ(h.system->atomicWeights[3], 39.0983);
    EXPECT_EQ(h.system->indexFe, 0);
    const auto& san = h.system->stoichiometry[static_cast<std::size_t>(h.index("SANIDINE"))];
    EXPECT_EQ((std::array<double, 7>{san[0], san[1], san[2], san[3], san[4], san[5], san[6]}),
              (std::array<double, 7>{8, 3, 1, 1, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(h.phase("SANIDINE")->normalisingWeight, 8.0);
    EXPECT_TRUE(h.phase("QUARTZ")->isQuartz);
    EXPECT_FALSE(ky.isQuartz);
}

TEST(Loading, BlankFieldsImpliedDecimalsAndVolumeScaling) {
    Harness h;
    ASSERT_TRUE(h.start(fixture("loading.dat"), kTestSystem).ok());
    ASSERT_TRUE(h.load(ptRun()).ok());
    const model::PhaseRecord& san = *h.phase("SANIDINE");
    const model::PhaseTable& t = *h.phases;
    // "123" in F15.5 is 0.00123; "123." is 123.
    EXPECT_DOUBLE_EQ(san.S, 0.00123);
    EXPECT_DOUBLE_EQ(san.V0, 123.0);
    // Second C1 line with blank fields keeps K1 and K2.
    EXPECT_DOUBLE_EQ(san.K[0], 11.0);
    EXPECT_DOUBLE_EQ(san.K[1], 20.0);
    EXPECT_DOUBLE_EQ(san.K[2], 30.0);
    EXPECT_DOUBLE_EQ(san.K[3], 41.0);
    // Second V1 line with a blank field zeroes V2; V5 is not scaled.
    EXPECT_DOUBLE_EQ(san.V[1], 1.0 * 123.0 / 1e5);
    EXPECT_DOUBLE_EQ(san.V[2], 0.0);
    EXPECT_DOUBLE_EQ(san.V[3], 3.0 * 123.0 / 1e5);
    EXPECT_DOUBLE_EQ(san.V[4], 4.0 * 123.0 / 1e8);
    EXPECT_DOUBLE_EQ(san.V[5], 9.0);
    // Second D1 line with a blank field zeroes D1; D1's fourth field is not stored.
    ASSERT_NE(san.disorder, 0);
    const model::DisorderRecord& d = t.disorderOf(san);
    EXPECT_EQ(d.D, (std::array<double, 7>{1.0, 0.0, 3.0, 0.0, 5.0, 6.0, 7.0}));
    EXPECT_DOUBLE_EQ(d.TMIN, 300.0);
    EXPECT_DOUBLE_EQ(d.TMAX, 1400.0);
    EXPECT_DOUBLE_EQ(d.VDIS, 4000.0);
    // Transition 2 from the t3/T4 pair.
    EXPECT_EQ(san.lambda[0], 0);
    ASSERT_NE(san.lambda[1], 0);
    const model::LambdaRecord& l = t.lambda(san.lambda[1]);
    EXPECT_DOUBLE_EQ(l.TTRAN, 500.0);
    EXPECT_DOUBLE_EQ(l.TREF, 298.0);
    EXPECT_DOUBLE_EQ(l.ASPIKE, 1.5);
    EXPECT_DOUBLE_EQ(l.BSPIKE, 2.5);
    EXPECT_DOUBLE_EQ(l.HTRANS, 10.0);
    EXPECT_DOUBLE_EQ(l.SLOPE, 0.01);
    EXPECT_DOUBLE_EQ(l.VOLTRANS, 0.2);
    EXPECT_DOUBLE_EQ(l.DVDT, 0.3);
    EXPECT_DOUBLE_EQ(l.DVDP, 0.4);

    const model::PhaseRecord& vol = *h.phase("VOLUMES");  // V1 line 1 2 3 4, V0 = 5
    EXPECT_NEAR(vol.V[1], 5e-5, 1e-18);
    EXPECT_NEAR(vol.V[2], 1e-4, 1e-18);
    EXPECT_NEAR(vol.V[3], 1.5e-4, 1e-18);
    EXPECT_NEAR(vol.V[4], 2e-7, 1e-21);
}

TEST(Loading, PhaseWithoutValidDataGivesBackItsRecords) {
    Harness h;
    ASSERT_TRUE(h.start(fixture("loading.dat"), kTestSystem).ok());
    ASSERT_TRUE(h.load(ptRun()).ok());
    const model::PhaseTable& t = *h.phases;
    EXPECT_EQ(h.phase("NODATA"), nullptr);
    // Quartz holds lambda record 1; the dropped phase took 2, 3 and disorder
    // 1, which sanidine then receives again.
    EXPECT_EQ(h.phase("QUARTZ")->lambda[0], 1);
    EXPECT_EQ(h.phase("SANIDINE")->lambda[1], 2);
    EXPECT_EQ(h.phase("SANIDINE")->disorder, 1);
    EXPECT_EQ(t.lambdaCount, 2);
    EXPECT_EQ(t.disorderCount, 1);
    EXPECT_DOUBLE_EQ(t.lambdas[2].TTRAN, 0.0);

    // Kept when asked to keep everything.
    Harness all;
    ASSERT_TRUE(all.start(fixture("loading.dat"), kTestSystem).ok());
    LoadOptions o = ptRun();
    o.keepAll = true;
    ASSERT_TRUE(all.load(o).ok());
    ASSERT_NE(all.phase("NODATA"), nullptr);
    EXPECT_DOUBLE_EQ(all.phase("NODATA")->H, 9999999.0);
    EXPECT_EQ(all.phase("NODATA")->lambda, (std::array<int, 3>{2, 3, 0}));
    EXPECT_EQ(all.phase("SANIDINE")->lambda[1], 4);
}

TEST(Loading, ActivityRunReadsAqueousSectionAndKeepsAxisGas) {
    Harness h;
    ASSERT_TRUE(h.start(fixture("loading.dat"), kTestSystem, 4).ok());
    LoadOptions o = ptRun();
    o.diagramType = 4;
    o.axisText = "methane";
    ASSERT_TRUE(h.load(o).ok());
    EXPECT_EQ(h.phases->count, 8);
    EXPECT_TRUE(h.out.empty());
    ASSERT_NE(h.phase("METHANE"), nullptr);
    EXPECT_EQ(h.phase("METHANE")->kind, model::kAxisGas);
    const model::PhaseRecord* aq = h.phase("SIO2,AQUEOUS");
    ASSERT_NE(aq, nullptr);
    EXPECT_EQ(aq->kind, model::kAqueousHelgeson);
    EXPECT_EQ(aq->abbreviation, "SIO2,AQU");
    // C6: K5, K2, K0, K1; V6: V1, V2 x 1e-5, V3 x 0.01, V4 x 1e-5, not scaled by V0.
    EXPECT_EQ(aq->K, (std::array<double, 7>{3.0, 4.0, 2.0, 0.0, 0.0, 1.0, 0.0}));
    EXPECT_DOUBLE_EQ(aq->V[1], 1.0);
    EXPECT_DOUBLE_EQ(aq->V[2], 2e-5);
    EXPECT_DOUBLE_EQ(aq->V[3], 0.03);
    EXPECT_DOUBLE_EQ(aq->V[4], 4e-5);
}

TEST(Loading, WaterValuesClearedUnderTheHaarRoutine) {
    Harness h;
    ASSERT_TRUE(h.start(fixture("loading.dat"), kTestSystem).ok());
    LoadOptions o;
    o.waterRoutine = 1;
    ASSERT_TRUE(h.load(o).ok());
    const model::PhaseRecord& w = *h.phase("WATER");
    EXPECT_EQ(w.G, 0.0);
    EXPECT_EQ(w.H, 0.0);
    EXPECT_EQ(w.S, 0.0);
    EXPECT_EQ(w.K, (std::array<double, 7>{}));
    EXPECT_DOUBLE_EQ(h.phase("Carbon Dioxide")->H, -393522.0);
}

// --- the aqueous data file ----------------------------------------------------

struct AqueousCase {
    const char* elements;
    int diagram;
    std::vector<const char*> names;
};

TEST(AqueousFile, ReadOnlyWhenTheSystemHoldsCharge) {
    const AqueousCase cases[] = {
        {"SI O H E", 4, {"QUARTZ", "COESITE", "ICE", "H+", "E-", "OH-"}},
        {"SI O H E", 0, {"QUARTZ", "COESITE", "ICE"}},  // read, its aqueous sections skipped
        {"SI O H", 4, {"QUARTZ", "COESITE"}},
        {"SI O E", 4, {"QUARTZ", "COESITE"}},            // E dropped without H
    };
    for (const AqueousCase& c : cases) {
        SCOPED_TRACE(std::string(c.elements) + " diagram " + std::to_string(c.diagram));
        Harness h;
        ASSERT_TRUE(h.start(fixture("aqueous_switch.dat"), c.elements, c.diagram).ok());
        ASSERT_TRUE(h.open(fixture("aqueous_ions.aqu"), 4));
        LoadOptions o = ptRun();
        o.diagramType = c.diagram;
        ASSERT_TRUE(h.load(o).ok());
        ASSERT_EQ(h.phases->count, static_cast<int>(c.names.size()));
        for (int i = 0; i < h.phases->count; ++i) EXPECT_EQ(core::rtrim((*h.phases)[i].name), c.names[i]);
    }
}

TEST(AqueousFile, SlotsOfThePlainAndSecondModels) {
    Harness h;
    ASSERT_TRUE(h.start(fixture("aqueous_switch.dat"), "SI O H E", 4).ok());
    ASSERT_TRUE(h.open(fixture("aqueous_ions.aqu"), 4));
    LoadOptions o = ptRun();
    o.diagramType = 4;
    ASSERT_TRUE(h.load(o).ok());
    // Plain: C8 K0 K5 K1 K4, C9 K2 K6 K3; a zero keeps; C3 is not for H+.
    const model::PhaseRecord& hp = *h.phase("H+");
    EXPECT_EQ(hp.kind, model::kAqueousPlain);
    EXPECT_EQ(hp.abbreviation, "H+      ");
    EXPECT_EQ(hp.K, (std::array<double, 7>{1.0, 3.0, 5.0, 7.0, 4.0, 2.0, 6.0}));
    // V8 V1 V2 V4 V5, V9 V3 V6 and the seventh slot.
    EXPECT_EQ(hp.V, (std::array<double, 8>{0.0, 1.0, 2.0, 5.0, 3.0, 4.0, 6.0, 7.0}));
    // The electron takes C3: K0 K5 K2.
    const model::PhaseRecord& e = *h.phase("E-");
    EXPECT_EQ(e.K, (std::array<double, 7>{1.0, 0.0, 3.0, 0.0, 0.0, 2.0, 0.0}));
    // Second model: C7 with its defaults for zero K0 and K4; V7 as V6.
    const model::PhaseRecord& oh = *h.phase("OH-");
    EXPECT_EQ(oh.kind, model::kAqueousTanger);
    EXPECT_EQ(oh.K, (std::array<double, 7>{228.0, 4.0, 2.0, 0.0, 2600.0, 1.0, 0.0}));
    EXPECT_DOUBLE_EQ(oh.V[2], 2e-5);
    EXPECT_DOUBLE_EQ(oh.V[3], 0.03);
    // Stoichiometry with the charge, in the compacted order O SI H E.
    ASSERT_EQ(h.system->elementCount, 4);
    EXPECT_EQ(h.system->elementSymbols[3], "E       ");
    const auto& row = h.system->stoichiometry[static_cast<std::size_t>(h.index("OH-"))];
    EXPECT_EQ((std::array<double, 4>{row[0], row[1], row[2], row[3]}), (std::array<double, 4>{1, 0, 1, -1}));
}

// --- limits ---------------------------------------------------------------------

class PhaseLimit : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() /
                ("thermodb_limit_" + std::to_string(::getpid()) + ".dat");
    }
    void TearDown() override { std::filesystem::remove(path_); }
    // A database of n silica phases.
    void write(int n) const {
        std::ofstream f(path_);
        f << "   2 LIMIT\nO       SI\n  15.99900  28.08500\n*MINERAL\n";
        for (int i = 1; i <= n; ++i) {
            f << "PHASE" << i << "   SI(1)O(2)   P" << i << "   \n";
            f << "ST              -1.0           -2.0            3.0            4.0\n";
        }
        f << "*STOP\n";
    }
    std::filesystem::path path_;
};

TEST_F(PhaseLimit, HundredLoadHundredAndOneStop) {
    write(100);
    Harness ok;
    ASSERT_TRUE(ok.start(path_.string(), "SI O").ok());
    ASSERT_TRUE(ok.load().ok());
    EXPECT_EQ(ok.phases->count, 100);
    EXPECT_TRUE(ok.out.empty());

    write(101);
    Harness h;
    ASSERT_TRUE(h.start(path_.string(), "SI O").ok());
    core::Status s = h.load();
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(s.file, path_.string());
    EXPECT_EQ(s.line, 4 + 2 * 100 + 1);
    EXPECT_EQ(h.out, (std::vector<std::string>{"", "", " ********************************************",
                                               " AS A RESULT OF YOUR INPUT, 101 PHASES HAVE",
                                               " BEEN EXTRACTED FROM THE DATA BASE BUT THE   ",
                                               " PROGRAM IS DIMENSIONED FOR A MAXIMUM OF 100",
                                               " CHOSE A SIMPLIER SYSTEM OR RECOMPILE THE   ",
                                               " PROGRAM AFTER CHANGING THE MAXPHS PARAMETER",
                                               " *******************************************", "", ""}));
}

// --- messages of malformed files --------------------------------------------

struct BadFile {
    const char* file;
    int line, field;
    std::string quotedLine;
    std::vector<std::string> message;  // the lines written before (header errors) or instead of the quote
    bool heading;                      // header-line errors open with the data-bank heading
};

std::string repeated(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

TEST(BadFiles, EachErrorWritesItsMessageAndStops) {
    const std::string p = " IN PARTICULAR, ";
    const BadFile cases[] = {
        {"err_name_terminator.dat", 9, 1, ("LONGNAME" + repeated(" SI(1)O(2)", 10)).substr(0, 100),
         {p + "THE NAME IS TOO LONG OR 3 BLANKS WERE NOT FOUND AS A TERMINATOR."}, true},
        {"err_no_formula.dat", 9, 2, "QUARTZ(1)", {p + "NO FORMULA WAS FOUND."}, true},
        {"err_formula_terminator.dat", 9, 2, ("QUARTZ   " + repeated("SI(1)O(2)", 11)).substr(0, 100),
         {p + "THE FORMULA IS TOO LONG OR 3 BLANKS WERE NOT FOUND AS A TERMINATOR."}, true},
        {"err_no_abbreviation.dat", 9, 3, "QUARTZ   SI(1)O(2)", {p + "NO ABREVIATION WAS FOUND."}, true},
        {"err_abbreviation_terminator.dat", 9, 3, "QUARTZ   SI(1)O(2)   " + std::string(79, 'Q'),
         {p + "THE ABREVIATION IS TOO LONG OR 3 BLANKS WERE NOT FOUND AS A TERMINATOR."}, true},
        {"err_group_not_closed.dat", 9, 2, "BAD   [SI(1)O(2)(3)   Bd",
         {" A REPEAT GROUP DOES NOT HAVE A CLOSING ] ", " LINE IN QUESTIONS IS:"}, false},
        {"err_group_coefficient.dat", 9, 2, "BAD   [SI(1)O(2)]3   Bd",
         {" COEFFICIENT DOES NOT IMMEDIATELY FOLLOW A REPEAT GROUP.", " LINE IN QUESTION IS: "}, false},
        {"err_closing_bracket.dat", 9, 2, "BAD   SI(1)O(2   Bd",
         {" ONE OF THE COEFFICIENTS IN A FORMULA DOES NOT HAVE A CLOSING", " BRACKET.  LINE IN QUESTION IS:"}, false},
        {"err_non_numeric.dat", 9, 2, "BAD   SI(1/2)O(2)   Bd",
         {" ONE OF THE COEFFICIENTS IN A FORMULA HAS NON-NUMERIC SYMBOLS ", " EMBEDED IN IT.  LINE IN QUESTION IS: "},
         false},
        {"err_unknown_symbol.dat", 9, 2, "BAD   SI(1)XX(2)   Bd",
         {" ONE OF THE ELEMENTAL SYMBOLS COULD NOT BE RECOGNIZED.", "  SYMBOL IN QUESTION IS: XX      ",
          " AND IS CONTAINED IN THE LINE: "},
         false},
        // A name ended by three blanks leaves the rest as the formula: "MICA" has no coefficient.
        {"err_no_coefficient.dat", 9, 2, "WHITE   MICA   K(1)AL(3)SI(3)O(10)H(2)   Ms",
         {" AN ELEMENTAL SYMBOL IN A FORMULA IS NOT FOLLOWED BY A COEFFICIENT.", " LINE IN QUESTION IS: "}, false},
    };
    for (const BadFile& c : cases) {
        SCOPED_TRACE(c.file);
        Harness h;
        ASSERT_TRUE(h.start(fixture(c.file), kTestSystem).ok());
        core::Status s = h.load();
        EXPECT_EQ(s.code, StatusCode::Stop);
        EXPECT_EQ(s.file, fixture(c.file));
        EXPECT_EQ(s.line, c.line);
        EXPECT_EQ(s.field, c.field);
        std::vector<std::string> want;
        if (c.heading) {
            want = {" ERROR IN THERMODYNAMIC DATA BANK.  LINE IN ERROR IS", quotedLine(c.quotedLine)};
            want.insert(want.end(), c.message.begin(), c.message.end());
        } else {
            want = c.message;
            want.push_back(quotedLine(c.quotedLine));
        }
        EXPECT_EQ(h.out, want);
    }
}

TEST(BadFiles, DataFieldThatIsNotANumber) {
    Harness h;
    ASSERT_TRUE(h.start(fixture("err_data_field.dat"), kTestSystem).ok());
    core::Status s = h.load();
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(s.line, 10);
    EXPECT_EQ(s.field, 3);
    EXPECT_EQ(h.out, (std::vector<std::string>{" ERROR IN THERMODYNAMIC DATA BANK.  LINE IN ERROR IS",
                                               quotedLine("ST       -2711.0       -2594220.0    83.5x          4.414"),
                                               " IN PARTICULAR, FIELD 3 OF THE DATA LINE IS NOT A NUMBER."}));

    Harness col;
    ASSERT_TRUE(col.start(fixture("err_code_column.dat"), kTestSystem).ok());
    s = col.load();
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(s.line, 10);
    ASSERT_EQ(col.out.size(), 3u);
    EXPECT_EQ(col.out[2], " IN PARTICULAR, THE CODE OF THE DATA LINE IS NOT IN COLUMNS 1 TO 5.");
}

// A small database written for one test: silica phases, and an iron phase
// outside the system "SI O", with the given extra lines after each.
class WrittenBank : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() / ("thermodb_bank_" + std::to_string(::getpid()) + ".dat");
    }
    void TearDown() override { std::filesystem::remove(path_); }
    void write(const std::string& afterQuartz, const std::string& afterFayalite,
               const std::string& cristobaliteAbbreviation = "Crs") const {
        std::ofstream f(path_);
        f << "   3 BANK\nO       SI      FE\n  15.99900  28.08500  55.84500\n*MINERAL\n"
          << "QUARTZ   SI(1)O(2)   Qz   \n"
          << "ST              -1.0           -2.0            3.0            4.0\n"
          << afterQuartz
          << "FAYALITE   FE(2)SI(1)O(4)   Fa   \n"
          << "ST              -1.0           -2.0            3.0            4.0\n"
          << afterFayalite
          << "CRISTOBALITE   SI(1)O(2)   " << cristobaliteAbbreviation << "   \n"
          << "ST              -1.0           -2.0            3.0            4.0\n"
          << "*STOP\n";
    }
    std::filesystem::path path_;
};

TEST_F(WrittenBank, UnknownDataLineCodeStopsNamingFileLineAndCode) {
    // Codes that no phase takes, in a loaded phase and in a skipped one; a
    // known code the phase kind does not take (C6 of an aqueous species) is
    // still ignored.
    struct Case {
        std::string code;
        bool inSkippedPhase;
    };
    for (const Case& c : {Case{"CNaN", false}, Case{"T9", false}, Case{"V.", false}, Case{"C4", false},
                          Case{"S1", false}, Case{"T9", true}}) {
        SCOPED_TRACE(c.code);
        const std::string line = c.code + std::string(16 - c.code.size(), ' ') + "1.0";
        write(c.inSkippedPhase ? "" : line + "\n", c.inSkippedPhase ? line + "\n" : "");
        Harness h;
        ASSERT_TRUE(h.start(path_.string(), "SI O").ok());
        core::Status s = h.load();
        EXPECT_EQ(s.code, StatusCode::Stop);
        EXPECT_EQ(s.file, path_.string());
        EXPECT_EQ(s.line, c.inSkippedPhase ? 9 : 7);
        const std::string& code = c.code;
        EXPECT_NE(s.describe().find("unknown data-line code \"" + code + "\""), std::string::npos) << s.describe();
        ASSERT_EQ(h.out.size(), 4u);
        EXPECT_EQ(h.out[1], quotedLine(line));
        EXPECT_EQ(h.out[2], " IN PARTICULAR, THE CODE " + code + " OF THE DATA LINE IS UNKNOWN (LINE " +
                                std::to_string(s.line) + " OF " + path_.string() + ").");
    }
    write("C6               7.0\nV8               1.0\nA    KYAN\n", "");
    Harness h;
    ASSERT_TRUE(h.start(path_.string(), "SI O").ok());
    EXPECT_TRUE(h.load().ok());
    EXPECT_TRUE(h.out.empty());
}

TEST_F(WrittenBank, AbbreviationGivenTwiceIsReportedAndLoadingGoesOn) {
    write("", "", "Qz");
    Harness h;
    ASSERT_TRUE(h.start(path_.string(), "SI O").ok());
    ASSERT_TRUE(h.load().ok());
    EXPECT_EQ(h.phases->count, 2);
    EXPECT_EQ(h.out, (std::vector<std::string>{" WARNING: THE ABBREVIATION Qz IS GIVEN TO TWO PHASES, QUARTZ (LINE 5 OF " +
                                               path_.string() + ") AND CRISTOBALITE (LINE 9 OF " + path_.string() +
                                               "); REACTIONS AND LABELS CANNOT TELL THEM APART."}));
}

TEST(BadFiles, FewerThanTwoPhasesIsReported) {
    Harness h;
    ASSERT_TRUE(h.start(fixture("err_one_phase.dat"), "SI O").ok());
    core::Status s = h.load();
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(h.out,
              (std::vector<std::string>{" FEWER THAN TWO PHASES OF THE DATA BASE CONTAIN ONLY THE CHOSEN ELEMENTS."}));
}

TEST(BadFiles, TruncationWarningsDoNotStop) {
    Harness h;
    ASSERT_TRUE(h.start(fixture("warn_truncation.dat"), "SI O").ok());
    ASSERT_TRUE(h.load().ok());
    ASSERT_EQ(h.phases->count, 2);
    EXPECT_EQ((*h.phases)[1].name, "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ((*h.phases)[1].abbreviation, "Abcdefgh");
    const std::string line = "ABCDEFGHIJKLMNOPQRSTU   SI(1)O(2)   Abcdefghi";
    EXPECT_EQ(h.out, (std::vector<std::string>{" TRUNCATION OF PHASE NAME TO 20 CHARACTERS  LINE IN QUESTION IS: ",
                                               quotedLine(line), " ABREVIATION TRUNCATED.  LINE IN QUESTION IS:",
                                               quotedLine(line)}));
}

TEST(BadFiles, MalformedElementHeaderNamesLineAndField) {
    struct Case {
        const char* file;
        int line, field;
    };
    const Case cases[] = {
        {"hdr_count.dat", 1, 1},            // count not a number
        {"hdr_symbols.dat", 2, 3},          // three elements, two symbols
        {"hdr_weights_missing.dat", 5, 1},  // the file ends before the weights
        {"hdr_weight_blank.dat", 3, 2},
        {"hdr_weight_text.dat", 3, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        Harness h;
        ASSERT_TRUE(h.open(fixture(c.file)));
        core::Status s = readElementHeader(h.streams, 3, *h.system);
        EXPECT_EQ(s.code, StatusCode::Stop);
        EXPECT_EQ(s.file, fixture(c.file));
        EXPECT_EQ(s.line, c.line);
        EXPECT_EQ(s.field, c.field);
        ASSERT_EQ(h.out.size(), 2u);
        EXPECT_NE(h.out[1].find(fixture(c.file) + ", LINE " + std::to_string(c.line) + ", FIELD " +
                                std::to_string(c.field)),
                  std::string::npos);
    }
}

// --- the bundled database -------------------------------------------------------

TEST(BundledDatabase, AllPhasesOfItsElementsWithValuesFromTheFile) {
    // Phase headers of the file: lines with "(" after the element header that
    // are not comments.
    int headers = 0;
    {
        std::ifstream f(testing::bundledDatabase());
        std::string line;
        for (int n = 1; std::getline(f, line); ++n)
            if (n > 11 && line.find('(') != std::string::npos && line.find('!') == std::string::npos) ++headers;
    }
    ASSERT_EQ(headers, 70);

    Harness h;
    ASSERT_TRUE(h.start(testing::bundledDatabase(), "O SI AL MG FE CA NA K TI H C").ok());
    ASSERT_TRUE(h.load(ptRun()).ok());
    const model::PhaseTable& t = *h.phases;
    EXPECT_EQ(t.count, headers);
    int minerals = 0, gases = 0;
    for (int i = 0; i < t.count; ++i) (t[i].kind == model::kMineral ? minerals : gases) += 1;
    EXPECT_EQ(minerals, 66);
    EXPECT_EQ(gases, 4);
    EXPECT_TRUE(h.out.empty());
    EXPECT_EQ(t.lambdaCount, 6);
    EXPECT_EQ(t.disorderCount, 3);
    EXPECT_EQ(h.system->componentCount, 11);
    EXPECT_EQ(h.system->indexFe, 5);

    // QUARTZ   SI(1)O(2)   Qz; T1 848.0 373.0 -0.09187 0.00024607 0.0; T2 0.0237 ...
    const model::PhaseRecord& qz = *h.phase("QUARTZ");
    EXPECT_TRUE(qz.isQuartz);
    const model::LambdaRecord& l = t.lambda(qz.lambda[0]);
    EXPECT_DOUBLE_EQ(l.TTRAN, 848.0);
    EXPECT_DOUBLE_EQ(l.TREF, 373.0);
    EXPECT_DOUBLE_EQ(l.ASPIKE, -0.09187);
    EXPECT_DOUBLE_EQ(l.BSPIKE, 0.00024607);
    EXPECT_DOUBLE_EQ(l.HTRANS, 0.0);
    EXPECT_DOUBLE_EQ(l.SLOPE, 0.0237);

    // K-FELDSPAR D1 282.98 -4830.0 3621000.0 0.0 0.0; D2 -0.15733 0.00003477 298.0 1436.0 410630.0
    const model::DisorderRecord& d = t.disorderOf(*h.phase("K-FELDSPAR"));
    EXPECT_EQ(d.D, (std::array<double, 7>{282.98, -4830.0, 3621000.0, 0.0, 0.0, -0.15733, 0.00003477}));
    EXPECT_DOUBLE_EQ(d.TMIN, 298.0);
    EXPECT_DOUBLE_EQ(d.TMAX, 1436.0);
    EXPECT_DOUBLE_EQ(d.VDIS, 410630.0);

    // ALBITE   NA(1)AL(1)SI(3)O(8)   Ab
    // ST -3996949.13045 -3935100.0 207.443 10.043; C1 393.64 -2415.5 -7892800.0 1070640000.0
    // V1 2.6307 0.00032407 -0.1945 0.0004861
    const model::PhaseRecord& ab = *h.phase("ALBITE");
    EXPECT_EQ(ab.abbreviation, "Ab      ");
    EXPECT_DOUBLE_EQ(ab.G, -3996949.13045);
    EXPECT_DOUBLE_EQ(ab.H, -3935100.0);
    EXPECT_DOUBLE_EQ(ab.S, 207.443);
    EXPECT_DOUBLE_EQ(ab.V0, 10.043);
    EXPECT_EQ(ab.K, (std::array<double, 7>{393.64, -2415.5, -7892800.0, 1070640000.0, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(ab.V[1], 2.6307 * 10.043 / 1e5);
    EXPECT_DOUBLE_EQ(ab.V[2], 0.00032407 * 10.043 / 1e5);
    EXPECT_DOUBLE_EQ(ab.V[3], -0.1945 * 10.043 / 1e5);
    EXPECT_DOUBLE_EQ(ab.V[4], 0.0004861 * 10.043 / 1e8);
    // Element order of the header, compacted: O SI AL MG FE CA NA K TI H C.
    EXPECT_EQ(h.system->elementSymbols[6], "NA      ");
    EXPECT_DOUBLE_EQ(h.system->atomicWeights[6], 22.98977);
    const auto& row = h.system->stoichiometry[static_cast<std::size_t>(h.index("ALBITE"))];
    EXPECT_EQ((std::array<double, 11>{row[0], row[1], row[2], row[3], row[4], row[5], row[6], row[7], row[8], row[9],
                                      row[10]}),
              (std::array<double, 11>{8, 3, 1, 0, 0, 0, 1, 0, 0, 0, 0}));
    EXPECT_DOUBLE_EQ(ab.normalisingWeight, 8.0);
    EXPECT_EQ(h.phase("CORDIERITE")->special, model::SpecialPhase::Cordierite);
    EXPECT_EQ(h.phase("WATER")->kind, model::kWater);
    EXPECT_DOUBLE_EQ(h.phase("WATER")->H, -241826.0);
}

}  // namespace
}  // namespace io
