// The public library (include/pelkam) against independent references: the
// energies of the bundled database's minerals, the aluminosilicate triple
// point where two traced curves stop being stable, the reaction texts it
// refuses, the worked example's plot file from a run request (byte for byte
// as the calculator writes it), and the example program of examples/api.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pelkam/pelkam.hpp"

namespace {

namespace fs = std::filesystem;

const std::string kDatabase = std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat";

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

pelkam::Database aluminosilicateSystem() {
    pelkam::Result<pelkam::Database> db = pelkam::loadDatabase(kDatabase, "K AL SI O H");
    EXPECT_TRUE(db.ok()) << db.error().describe();
    return *db;
}

pelkam::Reaction reactionOf(const pelkam::Database& db, const std::string& text) {
    pelkam::Result<pelkam::ReactionText> t = pelkam::parseReaction(text);
    EXPECT_TRUE(t.ok()) << t.error().describe();
    pelkam::Result<pelkam::Reaction> r = pelkam::balanceReaction(db.index(), *t);
    EXPECT_TRUE(r.ok()) << r.error().describe();
    return *r;
}

// The references of tests/fixtures/model/mineral-reference-values.csv (a
// copy of the project's shared set: T in kelvin, agreement to 0.1 J/mol) for
// the minerals of the system K-Al-Si-O-H.
TEST(Library, PhaseEnergiesAgreeWithTheReferenceValues) {
    const pelkam::Database db = aluminosilicateSystem();
    pelkam::Evaluator evaluator(db);
    std::ifstream in(std::string(PELKAM_FIXTURES) + "/model/mineral-reference-values.csv");
    std::string line;
    std::getline(in, line);
    int compared = 0;
    while (std::getline(in, line)) {
        std::stringstream s(line);
        std::string name, abbreviation, T, P, G;
        for (std::string* f : {&name, &abbreviation, &T, &P, &G}) std::getline(s, *f, ',');
        const int phase = db.find(abbreviation);
        if (phase < 0) continue;  // outside the system
        const pelkam::Point at{std::stod(T) - 273.15, std::stod(P), std::nullopt};
        EXPECT_NEAR(evaluator.phaseGibbs(phase, at), std::stod(G), 0.1) << name << " at " << T << " K, " << P << " bar";
        ++compared;
    }
    EXPECT_EQ(compared, 25);  // kyanite, sillimanite, muscovite, K-feldspar, quartz
    EXPECT_TRUE(evaluator.notices().empty());
}

// The triple point of the bundled database, computed independently
// (reference/aluminosilicate-triple-point.md): 505.58 C, 3736.7 bar; a traced
// curve should stop being stable within 2 C and 20 bar of it.
TEST(Library, TracedCurvesChangeStabilityAtTheTriplePoint) {
    const pelkam::Database db = aluminosilicateSystem();
    pelkam::Evaluator evaluator(db);
    pelkam::CurveWindow window;
    window.xMin = 200, window.xMax = 900, window.yMin = 1, window.yMax = 10000;
    struct Case {
        const char* reaction;
        const char* competing;
    };
    for (const Case& c : {Case{"Ky = Sil", "And"}, Case{"And = Sil", "Ky"}, Case{"Ky = And", "Sil"}}) {
        SCOPED_TRACE(c.reaction);
        const pelkam::Reaction reaction = reactionOf(db, c.reaction);
        const std::string competing[] = {c.competing};
        pelkam::Result<pelkam::Curve> curve = pelkam::traceReaction(db, reaction, window, competing);
        ASSERT_TRUE(curve.ok()) << curve.error().describe();
        ASSERT_GE(curve->stretches.size(), 2u);
        // Between the last stable and the first metastable point (or the
        // other way round) lies the triple point.
        bool found = false;
        for (std::size_t k = 0; k + 1 < curve->stretches.size(); ++k) {
            const pelkam::CurveStretch& a = curve->stretches[k];
            const pelkam::CurveStretch& b = curve->stretches[k + 1];
            if (a.stable == b.stable) continue;
            const pelkam::CurvePoint& p = a.points.back();
            const pelkam::CurvePoint& q = b.points.front();
            EXPECT_LE(std::min(p.x, q.x), 505.58 + 2) << p.x << " " << q.x;
            EXPECT_GE(std::max(p.x, q.x), 505.58 - 2) << p.x << " " << q.x;
            EXPECT_NEAR((p.y + q.y) / 2, 3736.7, 20 + std::fabs(p.y - q.y));
            found = true;
        }
        EXPECT_TRUE(found);
        for (const pelkam::CurveStretch& s : curve->stretches)
            for (const pelkam::CurvePoint& p : s.points)
                EXPECT_NEAR(evaluator.reactionGibbs(reaction, pelkam::Point{p.x, p.y, std::nullopt}), 0.0, 0.2)
                    << p.x << " C, " << p.y << " bar";
    }
}

TEST(Library, ReactionTextsThatAreRefused) {
    const pelkam::Database db = aluminosilicateSystem();
    struct Case {
        const char* text;
        const char* message;  // the start of the error
    };
    const Case cases[] = {
        {"Ky = Sil + Qz", "reaction \"Ky = Sil + Qz\" is not balanced (products minus reactants): O excess +2; SI excess +1"},
        {"3/2 Ky = 1.5 Sil", "reaction \"3/2 Ky = 1.5 Sil\": the coefficient in \"3/2 Ky\" is a fraction"},
        {"Ky == Sil", "reaction \"Ky == Sil\" has more than one '='"},
        {"Ky = Ky", "reaction \"Ky = Ky\" has no net change"},
        {"Ky = Xyz", "unknown phase 'Xyz': no abbreviation or name in "},
        {" = Sil", "reaction \"= Sil\" has no reactants"},
        {"Ky + = Sil", "reaction \"Ky + = Sil\" has an empty term"},
        {"0.0001 Ky = 0.0001 Sil", "reaction \"0.0001 Ky = 0.0001 Sil\": the coefficient '0.0001' in \"0.0001 Ky\" is too small"},
    };
    for (const Case& c : cases) {
        pelkam::Result<pelkam::ReactionText> t = pelkam::parseReaction(c.text);
        std::string message;
        if (!t) {
            message = t.error().describe();
        } else {
            pelkam::Result<pelkam::Reaction> r = pelkam::balanceReaction(db.index(), *t);
            ASSERT_FALSE(r.ok()) << c.text;
            EXPECT_EQ(r.error().kind, pelkam::ErrorKind::Request);
            message = r.error().describe();
        }
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << message;
    }
    // Names and abbreviations in any letter case, coefficients merged.
    const pelkam::Reaction r = reactionOf(db, "2 kyanite + Qz = sillimanite + Qz + SIL");
    ASSERT_EQ(r.terms.size(), 2u);
    EXPECT_EQ(r.terms[0].phase.name, "KYANITE");
    EXPECT_DOUBLE_EQ(r.terms[0].coefficient, -2);
    EXPECT_EQ(r.terms[1].phase.name, "SILLIMANITE");
    EXPECT_DOUBLE_EQ(r.terms[1].coefficient, 2);
}

TEST(Library, ErrorsSayWhatFailedWhyAndWhere) {
    pelkam::Result<pelkam::Database> missing = pelkam::loadDatabase("no-such-database.dat", "SI O");
    ASSERT_FALSE(missing.ok());
    EXPECT_EQ(missing.error().kind, pelkam::ErrorKind::File);
    EXPECT_EQ(missing.error().why, "no such file");
    EXPECT_EQ(missing.error().file, "no-such-database.dat");

    const std::string bad = std::string(PELKAM_FIXTURES) + "/database/err_data_field.dat";
    pelkam::Result<pelkam::Database> malformed = pelkam::loadDatabase(bad, "SI O AL K H");
    ASSERT_FALSE(malformed.ok());
    EXPECT_EQ(malformed.error().kind, pelkam::ErrorKind::Data);
    EXPECT_GT(malformed.error().line, 0);
    EXPECT_FALSE(malformed.error().messages.empty());

    pelkam::Result<pelkam::Database> element = pelkam::loadDatabase(kDatabase, "SI O XX");
    ASSERT_FALSE(element.ok());
    EXPECT_EQ(element.error().kind, pelkam::ErrorKind::Data);
}

// The answers of the worked example "aluminosilicates" (examples/, its
// replay.res) as a request: the plot file written from the library's
// diagram is the calculator's, byte for byte (tests/golden/expected).
TEST(Library, TheWorkedExampleFromARunRequest) {
    const pelkam::Database db = aluminosilicateSystem();
    pelkam::RunRequest request;
    request.options.diagramType = 0;
    request.options.tMin = 200, request.options.tMax = 900;
    request.options.pMin = 1, request.options.pMax = 10000;
    request.options.xH2O = 1, request.options.xCO2 = 0;
    request.elementLine = "K AL SI O H";
    const std::vector<std::string> included = {"And", "Ky", "Ms", "Kfs", "Qz", "Sil", "H2O"};
    pelkam::Result<std::vector<pelkam::PhaseAnswer>> answers = pelkam::phaseAnswers(db, included);
    ASSERT_TRUE(answers.ok()) << answers.error().describe();
    request.phases.phases = *answers;
    request.solutions.models.push_back(calc::ModelAnswer{'N', "IDEAL   ", "White mica          "});

    pelkam::Result<pelkam::Diagram> diagram = pelkam::computeDiagram(request, {kDatabase, "", ""});
    ASSERT_TRUE(diagram.ok()) << diagram.error().describe();
    EXPECT_EQ(diagram->plotted(), static_cast<long>(diagram->curves().size()));
    EXPECT_EQ(diagram->rows().size(), diagram->curves().size());
    EXPECT_TRUE(diagram->notices().empty());

    const fs::path out = fs::path(PELKAM_BINARY_DIR) / "tests" / "api-aluminosilicates.plt";
    ASSERT_TRUE(pelkam::writePlotFile(*diagram, out.string()).ok());
    EXPECT_EQ(slurp(out), slurp(fs::path(PELKAM_SOURCE_DIR) / "tests/golden/expected/aluminosilicates/plot.plt"));

    pelkam::Result<pelkam::PlotFile> read = pelkam::readPlotFile(out.string());
    ASSERT_TRUE(read.ok()) << read.error().describe();
    EXPECT_EQ(read->diagramName, "P-T");
    ASSERT_EQ(read->curves.size(), diagram->curves().size());
    for (std::size_t k = 0; k < read->curves.size(); ++k) {
        EXPECT_EQ(read->curves[k].points.size(), diagram->curves()[k].points.size());
        EXPECT_EQ(read->curves[k].labels.size(), diagram->curves()[k].labels.size());
    }

    // An answer for another phase is refused, naming it.
    std::swap(request.phases.phases[0], request.phases.phases[1]);
    pelkam::Result<pelkam::Diagram> wrong = pelkam::computeDiagram(request, {kDatabase, "", ""});
    ASSERT_FALSE(wrong.ok());
    EXPECT_EQ(wrong.error().what.rfind("phase 1 of the run is ", 0), 0u) << wrong.error().what;
}

// The aluminosilicate curves of the worked example meet at the triple point
// computed independently (reference/aluminosilicate-triple-point.md: 505.58
// C, 3736.7 bar), and of the three Al2SiO5 reactions one is the sum of the
// other two.
TEST(Library, IntersectionsOfAComputedDiagram) {
    pelkam::RunRequest request;
    request.options.tMin = 200, request.options.tMax = 900;
    request.options.pMin = 1, request.options.pMax = 10000;
    request.options.xH2O = 1, request.options.xCO2 = 0;
    request.elementLine = "AL SI O";
    const std::vector<std::string> included = {"And", "Ky", "Sil"};
    pelkam::Result<pelkam::Database> al = pelkam::loadDatabase(kDatabase, "AL SI O");
    ASSERT_TRUE(al.ok()) << al.error().describe();
    pelkam::Result<std::vector<pelkam::PhaseAnswer>> answers = pelkam::phaseAnswers(*al, included);
    ASSERT_TRUE(answers.ok()) << answers.error().describe();
    request.phases.phases = *answers;
    pelkam::Result<pelkam::Diagram> diagram = pelkam::computeDiagram(request, {kDatabase, "", ""});
    ASSERT_TRUE(diagram.ok()) << diagram.error().describe();
    ASSERT_EQ(diagram->curves().size(), 3u);

    const pelkam::IntersectionAnalysis a = pelkam::analyseIntersections(*diagram);
    EXPECT_EQ(a.independentReactions, 2);  // Ky = Sil is Ky = And plus And = Sil
    EXPECT_EQ(a.dependentCurves.size(), 1u);
    ASSERT_FALSE(a.intersections.empty());
    for (const pelkam::CurveIntersection& x : a.intersections) {
        EXPECT_NEAR(x.x, 505.58, 2.0) << x.reactionA << " / " << x.reactionB;
        EXPECT_NEAR(x.y, 3736.7, 20.0) << x.reactionA << " / " << x.reactionB;
    }
}

// Ideal mixing on garnet's three X sites, by hand: a = X^3 with the example
// composition file's X(Mg) 0.15 and X(Fe) 0.72; the phase energy gains
// R T ln a.
TEST(Library, EndMemberActivitiesOfACompositionFile) {
    pelkam::Result<pelkam::Database> db = pelkam::loadDatabase(kDatabase, "FE MG AL SI O");
    ASSERT_TRUE(db.ok()) << db.error().describe();
    pelkam::SolutionChoice choice;
    choice.models.push_back({"GARN", "IDEAL"});
    const std::string data = std::string(PELKAM_SOURCE_DIR) + "/data/";
    pelkam::Result<pelkam::SolutionModels> models =
        pelkam::loadSolutionModels(*db, data + "solution-models.sln", data + "example-pelite.zun", choice);
    ASSERT_TRUE(models.ok()) << models.error().describe();
    pelkam::Evaluator plain(*db), mixed(*db, *models);
    const pelkam::Point at{600, 5000, std::nullopt};
    for (const auto& [name, x] : {std::pair{"PYROPE", 0.15}, std::pair{"ALMANDINE", 0.72}}) {
        const int i = db->find(name);
        ASSERT_GE(i, 0) << name;
        EXPECT_NEAR(mixed.activity(i, at), x * x * x, 1e-6 * x * x * x) << name;
        EXPECT_NEAR(mixed.phaseGibbs(i, at) - plain.phaseGibbs(i, at), mixed.activityTerm(i, at), 1e-6) << name;
    }
}

// An olivine analysis (Deer, Howie and Zussman's forsterite-fayalite example
// of the formula utility's tests: Mg 1.140 on 4 oxygens) and the errors.
TEST(Library, MineralFormulaOfAnAnalysis) {
    pelkam::Result<pelkam::MineralFormula> f = pelkam::recalculateOxides(
        {{"SiO2", 34.96}, {"FeO", 36.77}, {"MnO", 0.52}, {"MgO", 27.04}, {"Total", 99.29}}, "oliv");
    ASSERT_TRUE(f.ok()) << f.error().describe();
    ASSERT_FALSE(f->passes.empty());
    double mg = 0, sum = 0;
    for (const pelkam::FormulaValue& c : f->passes[0].cations) {
        if (c.name == "Mg") mg = c.value;
        if (c.name != "F" && c.name != "Cl") sum += c.value;
    }
    EXPECT_NEAR(mg * 4 / 3.99, 1.140, 0.03);
    EXPECT_NEAR(sum, f->passes[0].cationSum, 1e-9);
    EXPECT_FALSE(f->entryCode.empty());

    pelkam::Result<pelkam::MineralFormula> bad = pelkam::recalculateOxides({{"SiO2", 1}, {"Y2O3", 1}}, "GARN");
    ASSERT_FALSE(bad.ok());
    EXPECT_EQ(bad.error().value, "Y2O3");
    EXPECT_EQ(bad.error().field, 2);
    EXPECT_FALSE(pelkam::recalculateOxides({{"SiO2", 1}}, "XXXX").ok());
}

// The array forms give what one call per point gives: minerals (quartz with
// its lambda), water in a mixed fluid, a phase, and the NaN of a fluid
// without xCO2 or of points past the end of a shorter span.
TEST(Library, ArrayFormsAgreeWithOneCallPerPoint) {
    const pelkam::Database db = aluminosilicateSystem();
    const std::vector<double> T = {300, 574.9, 575.1, 800, 899}, P = {1, 1, 2000, 6000, 9999};
    const std::vector<double> x = {0, 0.1, 0.5, 0.9, 1};
    pelkam::Evaluator arrays(db), single(db);
    std::vector<double> out(T.size());
    for (const char* text : {"Ms + Qz = Kfs + Sil + H2O", "3 Ky = 3 Sil", "Qz"}) {
        const pelkam::Reaction r = reactionOf(db, text);
        for (const std::vector<double>* xs : {static_cast<const std::vector<double>*>(nullptr), &x}) {
            const std::span<const double> fluid = xs ? std::span<const double>(*xs) : std::span<const double>();
            arrays.reactionGibbs(r, T, P, fluid, out);
            for (std::size_t i = 0; i < T.size(); ++i) {
                const pelkam::Point at{T[i], P[i], xs ? std::optional<double>((*xs)[i]) : std::nullopt};
                EXPECT_EQ(out[i], single.reactionGibbs(r, at)) << text << " point " << i;
            }
            const int phase = db.find("H2O");
            arrays.phaseGibbs(phase, T, P, fluid, out);
            for (std::size_t i = 0; i < T.size(); ++i)
                EXPECT_EQ(out[i], single.phaseGibbs(phase, {T[i], P[i], xs ? std::optional<double>((*xs)[i]) : std::nullopt}));
        }
    }
    const std::vector<double> shortP = {1000, 2000};
    arrays.reactionGibbs(reactionOf(db, "Ky = Sil"), T, shortP, {}, out);
    EXPECT_FALSE(std::isnan(out[1]));
    EXPECT_TRUE(std::isnan(out[2]) && std::isnan(out[4]));
}

// examples/api: traces Ms + Qz = Kfs + Sil + H2O and prints points of it with
// the reaction's Gibbs energy there.
TEST(Library, TheExampleProgramTracesTheMuscoviteCurve) {
    const std::string command = std::string(EXAMPLE_TRACE_EXE) + " " + kDatabase;
    FILE* p = popen(command.c_str(), "r");
    ASSERT_NE(p, nullptr);
    std::vector<std::string> lines;
    char buf[256];
    while (std::fgets(buf, sizeof buf, p)) lines.emplace_back(buf);
    ASSERT_EQ(pclose(p), 0);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "Ms + Qz = Sil + Kfs + H2O\n");
    EXPECT_EQ(lines[1].rfind("stable stretch of ", 0), 0u);
    int points = 0;
    for (const std::string& l : lines) {
        double T = 0, P = 0, dG = 0;
        if (std::sscanf(l.c_str(), "  T %lf C  P %lf bar  dG %lf J", &T, &P, &dG) != 3) continue;
        EXPECT_NEAR(dG, 0.0, 0.2) << l;
        EXPECT_TRUE(T >= 400 && T <= 900 && P >= 1 && P <= 10000) << l;
        ++points;
    }
    EXPECT_GE(points, 3);
}

}  // namespace
