// The oxide-analysis pipeline and the mineral schemes, checked against
// independently computed and published values.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/layout.hpp"
#include "formula/formula.hpp"
#include "formula/outputs.hpp"

namespace fs = std::filesystem;
using namespace formula;

namespace {

const std::string kExamples = std::string(PELKAM_SOURCE_DIR) + "/examples/oxide-analyses/";
const std::string kFixtures = std::string(PELKAM_FIXTURES) + "/formula/";

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string cur;
    std::istringstream in(s);
    while (std::getline(in, cur, sep)) out.push_back(cur);
    if (!s.empty() && s.back() == sep) out.push_back("");
    return out;
}

std::vector<std::map<std::string, std::string>> readCsv(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    std::vector<std::string> head = split(line, ',');
    std::vector<std::map<std::string, std::string>> rows;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::vector<std::string> f = split(line, ',');
        std::map<std::string, std::string> row;
        for (std::size_t i = 0; i < head.size() && i < f.size(); ++i) row[head[i]] = f[i];
        rows.push_back(row);
    }
    return rows;
}

// A fresh working directory holding copies of the named files.
struct WorkDir {
    fs::path dir;
    explicit WorkDir(const std::string& name) {
        dir = fs::path(PELKAM_BINARY_DIR) / "formula-test" / name;
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void copy(const std::string& from) const { fs::copy(from, dir / fs::path(from).filename()); }
    std::string path(const std::string& n) const { return (dir / n).string(); }
    bool has(const std::string& n) const { return fs::exists(dir / n); }
    std::string read(const std::string& n) const {
        std::ifstream in(dir / n);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    OxideRunOptions options(const std::string& base) const {
        OxideRunOptions o;
        o.baseName = path(base);
        o.workDir = dir.string();
        return o;
    }
};

const Analysis& find(const OxideFileContents& c, const std::string& label) {
    for (const OxideFileItem& i : c.items)
        if (i.analysis.label == label) return i.analysis;
    static Analysis none;
    ADD_FAILURE() << "no analysis " << label;
    return none;
}

OxideFileContents readExample(const std::string& file, int headerLines = 0, bool mapping = false,
                               Version v = Version::V232) {
    OxideRunOptions o;
    o.baseName = kExamples + file;
    o.headerLines = headerLines;
    o.mapping = mapping;
    o.version = v;
    OxideFileContents c;
    core::Status s = readOxideFile(o, c);
    EXPECT_TRUE(s.ok()) << s.describe();
    return c;
}

double fraction(const SchemeResult& r, const std::string& name) {
    for (const Fraction& f : r.fractions)
        if (f.name == name) return f.value;
    ADD_FAILURE() << "no fraction " << name;
    return NAN;
}

}  // namespace

// Cations, charge, Al(IV)/Al(VI) and fractions of every reference pass.
TEST(FormulaReference, EveryPassAgreesWithTheIndependentValues) {
    auto rows = readCsv(kFixtures + "formula-reference-values.csv");
    ASSERT_EQ(rows.size(), 12u);
    const char* cationColumns[] = {"Si", "Ti", "Al", "Fe3", "Fe2", "Mn", "Mg", "Ca", "Na", "K", "Cr"};
    const Element elements[] = {Si, Ti, Al, Fe3, Fe2, Mn, Mg, Ca, Na, K, Cr};
    std::map<std::string, OxideFileContents> files;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.at("label") + " pass " + row.at("pass"));
        if (!files.count(row.at("file"))) files[row.at("file")] = readExample(row.at("file"));
        const Analysis& a = find(files[row.at("file")], row.at("label"));
        EXPECT_EQ(a.code, row.at("code"));
        SchemeResult r = runScheme(a, SchemeOptions{});
        std::size_t pass = std::stoul(row.at("pass"));
        ASSERT_GE(r.passes.size(), pass);
        const Recalculation& x = r.passes[pass - 1];
        EXPECT_EQ(x.params.cations, std::stod(row.at("C")));
        EXPECT_EQ(x.params.charge, std::stod(row.at("E")));
        EXPECT_EQ(x.params.tetrahedral, std::stod(row.at("T")));
        EXPECT_EQ(x.params.mode, std::stoi(row.at("mode")));
        for (int k = 0; k < 11; ++k)
            EXPECT_NEAR(x.cations[elements[k]], std::stod(row.at(cationColumns[k])), 1e-3) << cationColumns[k];
        EXPECT_NEAR(x.cationSum, std::stod(row.at("cation_sum")), 1e-3);
        EXPECT_NEAR(x.charge, std::stod(row.at("Q")), 1e-3);
        EXPECT_NEAR(x.alIV, std::stod(row.at("AlIV")), 1e-3);
        EXPECT_NEAR(x.alVI, std::stod(row.at("AlVI")), 1e-3);
        for (const char* f : {"Gr", "Py", "Alm", "Sp", "An", "Ab", "Or"})
            if (!row.at(f).empty()) {
                EXPECT_NEAR(fraction(r, f), std::stod(row.at(f)), 1e-3) << f;
            }
    }
}

// The mended schemes against published structural formulae (oxygen bases:
// the cation-based formula is scaled to the published oxygens through its
// total charge).
TEST(FormulaReference, MendedSchemesComeNearThePublishedFormulae) {
    auto rows = readCsv(kFixtures + "published_formulae.csv");
    ASSERT_EQ(rows.size(), 7u);
    std::map<std::string, Element> names = {{"Si", Si}, {"Al", Al}, {"Fe3", Fe3}, {"Fe2", Fe2}, {"Mn", Mn},
                                            {"Mg", Mg}, {"Ca", Ca}, {"Na", Na},   {"K", K},     {"Ba", Ba}};
    SchemeOptions ferric;
    ferric.ferric = true;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.at("label"));
        OxideFileContents c = readExample(row.at("file"));
        SchemeResult r = runScheme(find(c, row.at("label")), ferric);
        ASSERT_FALSE(r.passes.empty());
        const Recalculation& x = r.passes[0];
        double q = 0;
        for (int e = 0; e < kElementCount; ++e) q += x.cations[e] * kElements[e].charge;
        double scale = 2 * std::stod(row.at("basis_O")) / q;
        std::istringstream f(row.at("formula"));
        for (std::string item; f >> item;) {
            std::string el = item.substr(0, item.find('='));
            double published = std::stod(item.substr(item.find('=') + 1));
            double ours = el == "Fe" ? x.totalIron() : x.cations[names.at(el)];
            EXPECT_NEAR(ours * scale, published, 0.03) << el;
        }
    }
}

TEST(FormulaRecalculation, TotalIronIsConserved) {
    // The andradite reports all iron as Fe2O3 with a charge deficit beyond
    // it: its iron stays ferric instead of vanishing.
    OxideFileContents g = readExample("garnet.OXI");
    for (const OxideFileItem& i : g.items) {
        for (const Recalculation& x : runScheme(i.analysis, {}).passes) {
            SCOPED_TRACE(i.analysis.label);
            EXPECT_NEAR(x.totalIron(), x.fe3Read + x.fe2Read, 1e-12);
            EXPECT_GE(x.cations[Fe3], 0);
            EXPECT_GE(x.cations[Fe2], 0);
        }
    }
    Recalculation adr = runScheme(find(g, "GARN adr-Reskovic"), {}).passes[0];
    EXPECT_NEAR(adr.cations[Fe3], 1.926, 0.002);
    EXPECT_NEAR(adr.ironShortfall, 0.128, 0.002);
    // Charge balance raises Fe3+ by the deficit (0.153 at 8 cations) and
    // lowers Fe2+ by as much.
    OxideFileContents p = readExample("pelite.OXI");
    Recalculation lmu = runScheme(find(p, "GARN grt-LMU"), {}).passes[0];
    EXPECT_NEAR(lmu.cations[Fe3], lmu.deficit, 1e-12);
    EXPECT_NEAR(lmu.cations[Fe2], lmu.fe2Read - lmu.deficit, 1e-12);
}

TEST(FormulaRecalculation, CationRulesAndModes) {
    OxideFileContents m = readExample("mafic.OXI");
    // Olivine (mode 5): Si..Mg sum to 3; Ni, Cr and Ca stay outside and
    // nothing is renormalised after the Fe3+ step.
    Recalculation ol = runScheme(find(m, "OLIV ol-GDS70"), {}).passes[0];
    double inSum = 0;
    for (int e = Si; e <= Mg; ++e) inSum += ol.cations[e];
    EXPECT_NEAR(inSum, 3.0, 1e-9);
    EXPECT_GT(ol.cationSum, 3.0);
    // Spinel: Fe3+ = 2 - Al - Cr - V - Ti on three cations.
    Recalculation mt = runScheme(find(m, "SPIN mt-OK2019"), {}).passes[0];
    const CationArray& c = mt.cations;
    EXPECT_NEAR(c[Fe3], 2 - c[Al] - c[Cr] - c[V] - c[Ti], 1e-12);
    EXPECT_NEAR(c[Fe3], 1.986, 0.002);
    EXPECT_NEAR(c[Fe2], mt.fe2Read - c[Fe3], 1e-12);
    // A rule that asks for negative Fe3+ leaves all iron ferrous.
    Recalculation cr = runScheme(find(m, "SPIN sp-cc-test007"), {}).passes[0];
    EXPECT_LT(cr.fe3Rule, -0.5);
    EXPECT_EQ(cr.cations[Fe3], 0);
    EXPECT_NEAR(cr.cations[Fe2], cr.fe2Read, 1e-12);
    // Anions stay out of the cation sum: F and Cl change no cation.
    OxideFileContents p = readExample("pelite.OXI");
    Analysis mica = find(p, "MICA phe-K9108");
    Recalculation plain = runScheme(mica, {}).passes[0];
    mica.oxides[F] = 2.5f;
    mica.oxides[Cl] = 0.5f;
    Recalculation withAnions = runScheme(mica, {}).passes[0];
    for (int e = Si; e <= K; ++e) EXPECT_NEAR(withAnions.cations[e], plain.cations[e], 1e-12);
}

TEST(FormulaSchemes, SiteModels) {
    OxideFileContents m = readExample("mafic.OXI");
    // Omphacite with Na > Al: M1 takes no more Al than the analysis holds.
    SchemeResult omp = runScheme(find(m, "CPX omp-SY462"), {});
    EXPECT_EQ(omp.scheme, "CPX2");
    EXPECT_LE(fraction(omp, "AlM1"), omp.passes[0].cations[Al] + 1e-12);
    ASSERT_TRUE(omp.entry);
    EXPECT_EQ(omp.entry->code, "CPX ");
    EXPECT_EQ(omp.entry->values.size(), 8u);
    for (const Fraction& f : omp.fractions) EXPECT_GE(f.value, 0) << f.name;
    // Amphibole: 20 sites, A site and T1 fractions within [0, 1].
    SchemeResult hbl = runScheme(find(m, "AMPH hbl-SVS-11-01"), {});
    ASSERT_TRUE(hbl.entry);
    EXPECT_EQ(hbl.entry->values.size(), 20u);
    EXPECT_NEAR(fraction(hbl, "NaA") + fraction(hbl, "KA") + fraction(hbl, "vA"), 1.0, 1e-9);
    EXPECT_NEAR(fraction(hbl, "SiT1") + fraction(hbl, "AlT1"), 1.0, 1e-9);
    // An order constant other than 1 moves iron to M4 and keeps the totals.
    SchemeOptions ordered;
    ordered.amphiboleOrderConstant = 5;
    SchemeResult hbl5 = runScheme(find(m, "AMPH hbl-SVS-11-01"), ordered);
    auto iron = [&](const SchemeResult& r) {
        return 2 * fraction(r, "FeM2") + 2 * fraction(r, "FeM4") + 3 * fraction(r, "FeM1");
    };
    EXPECT_NEAR(iron(hbl5), iron(hbl), 1e-9);
    EXPECT_GE(fraction(hbl5, "FeM4"), fraction(hbl, "FeM4"));
    // Feldspar fractions given directly on the line.
    Analysis fsp;
    fsp.code = "PLAG";
    fsp.feldsparFlag = true;
    fsp.oxides[Ca] = 0.3f;
    fsp.oxides[Na] = 0.65f;
    fsp.oxides[K] = 0.05f;
    SchemeResult pl = runScheme(fsp, {});
    EXPECT_NEAR(fraction(pl, "An"), 0.3, 1e-6);
    EXPECT_TRUE(pl.passes.empty());
    // BIO6 takes Fe3+/Fe from the value after the last column.
    OxideFileContents e = readExample("edge_format.OXI", 1);
    const Analysis& b = find(e, "b bt-extra-value");
    EXPECT_EQ(b.code, "BIO6");
    EXPECT_FLOAT_EQ(b.extraValue, 0.12f);
    SchemeResult bt = runScheme(b, {});
    EXPECT_NEAR(bt.fe3Used, 0.12 * bt.passes[0].totalIron(), 1e-6);
    // Garnet: the 3 % option wins over the calculated Fe3+.
    SchemeOptions both;
    both.ferric = both.garnet3Percent = true;
    SchemeResult gt = runScheme(find(readExample("pelite.OXI"), "GARN grt-LMU"), both);
    EXPECT_NEAR(gt.fe3Used, 0.03 * gt.passes[0].totalIron(), 1e-12);
}

TEST(FormulaOxideFile, LabelsCodesAndLayouts) {
    EXPECT_EQ(kOxideLabels[*matchOxideLabel("SI02")].element, Si);
    EXPECT_EQ(kOxideLabels[*matchOxideLabel("fe2o3")].element, Fe3);
    EXPECT_EQ(kOxideLabels[*matchOxideLabel("F")].element, F);
    EXPECT_FALSE(matchOxideLabel("FE"));
    EXPECT_FALSE(matchOxideLabel("Total(wt%)"));
    struct Case {
        const char* line;
        Version v;
        const char* code;
        const char* label;
    } cases[] = {
        {"b1, 35.2", Version::V232, "BIO6", "b1"},     {"b1, 35.2", Version::V102, "BIO1", "b1"},
        {"123,36.3", Version::V232, "xx  ", "123"},     {"cd crd-1,1", Version::V232, "CORD", "cd crd-1"},
        {"OLIV ol-1,2", Version::V232, "OLIV", "OLIV ol-1"}, {"C cpx,1", Version::V102, "CPX ", "C cpx"},
        {"O opx,1", Version::V232, "OPX1", "O opx"},   {"G \"grt quoted\",1", Version::V232, "GARN", "grt quoted"},
        {"BIO2 bt,1", Version::V232, "BIO2", "BIO2 bt"}, {"CUM cum-1,1", Version::V232, "CUM ", "CUM cum-1"},
        {"x,G,1", Version::V232, "xx  ", "x"},
    };
    for (const Case& c : cases) {
        CodeScan s = scanMineralCode(c.line, 1, c.v);
        EXPECT_EQ(s.code, c.code) << c.line;
        EXPECT_EQ(s.label, c.label) << c.line;
    }
    EXPECT_EQ(scanMineralCode("12 G grt,1", 3, Version::V232).code, "GARN");
    EXPECT_EQ(oxideFileName("sub/run.1.oxi"), "sub/run.OXI");
    EXPECT_EQ(compositionFileName("x", Version::V102, true), "x.ZU1");
    EXPECT_EQ(compositionFileName("x", Version::V232, true), "x.ZU3");
    EXPECT_EQ(compositionFileName("x", Version::V232, false), "x.ZU2");

    // The edge-case files give the numbers of the analyses they repeat.
    OxideFileContents e = readExample("edge_format.OXI", 1);
    ASSERT_EQ(e.items.size(), 4u);
    EXPECT_EQ(e.items[2].analysis.code, "xx  ");
    OxideFileContents p = readExample("pelite.OXI");
    OxideFileContents map = readExample("edge_mapping.OXI", 0, true);
    const Analysis& lmu = find(p, "GARN grt-LMU");
    for (const Analysis* a : {&e.items[0].analysis, &e.items[1].analysis, &map.items[0].analysis}) {
        for (int k = 0; k < kElementCount; ++k) EXPECT_EQ(a->oxides[k], lmu.oxides[k]) << a->label << " " << k;
    }
    EXPECT_TRUE(map.items[0].analysis.hasMap);
    EXPECT_FALSE(map.items[1].analysis.hasMap);
    EXPECT_DOUBLE_EQ(map.items[0].analysis.mapX, 1250.5);
    // Two blocks: the second label line is found by stepping back.
    OxideFileContents m = readExample("mafic.OXI");
    EXPECT_EQ(m.items.size(), 13u);
    EXPECT_FLOAT_EQ(find(m, "SPIN mt-OK2019").oxides[Fe2], 92.0809f);
}

TEST(FormulaOxideFile, MalformedFilesGetTheirMessageAndLeaveNoOutputs) {
    struct Case {
        const char* file;
        const char* message;
        int line;
        bool firstAnalysisLogged;
    } cases[] = {
        {"bad_label_number", "Rerun with header line: oxide list= SiO2,TiO2,17.5,FeO,M", 2, false},
        {"bad_unknown_oxide", "cannot match oxide Y2O3", 2, false},
        {"bad_letters_in_values", "cannot match oxide GARN", 4, true},
        {"bad_nd_in_values", "Rerun with header line: oxide list= GARN grt-nd,36.30,n.", 4, true},
        {"bad_too_many_labels", "Rerun - more than 25 oxide labels on the label line", 2, false},
        {"bad_long_label", "cannot match oxide Total(wt%)", 2, false},
        {"no_such_file", "Rerun - cannot open file with oxides: ", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WorkDir w(c.file);
        if (fs::exists(kFixtures + "bad/" + c.file + ".OXI")) w.copy(kFixtures + "bad/" + c.file + ".OXI");
        // An earlier run's composition file stays as it was.
        { std::ofstream(w.path(std::string(c.file) + ".ZU2")) << "GARN old\nGARN .1000\n"; }
        core::Status s = run_oxide_file(w.options(c.file));
        ASSERT_FALSE(s.ok());
        EXPECT_EQ(s.what.substr(0, std::string(c.message).size()), c.message);
        EXPECT_EQ(s.line, c.line);
        EXPECT_EQ(w.read(std::string(c.file) + ".ZU2"), "GARN old\nGARN .1000\n");
        EXPECT_FALSE(w.has("mintab.csv"));
        EXPECT_FALSE(w.has(std::string(c.file) + ".CAT"));
        EXPECT_FALSE(w.has("garn.p"));
        std::string log = w.read("zun.log");
        EXPECT_NE(log.find(c.message), std::string::npos) << log;
        EXPECT_EQ(log.find("grt-first") != std::string::npos, c.firstAnalysisLogged);
        EXPECT_EQ(log.find("grt-never-read"), std::string::npos);
        for (const auto& entry : fs::directory_iterator(w.dir)) {
            std::string ext = entry.path().extension().string();
            EXPECT_TRUE(ext == ".log" || ext == ".ZU2" || ext == ".OXI") << entry.path();
        }
    }
}

TEST(FormulaOutputs, RunWritesEveryOutput) {
    WorkDir w("pelite");
    w.copy(kExamples + "pelite.OXI");
    OxideRunOptions o = w.options("pelite");
    o.scheme.ferric = true;
    OxideRunReport rep;
    core::Status s = run_oxide_file(o, &rep);
    ASSERT_TRUE(s.ok()) << s.describe();
    EXPECT_EQ(rep.analyses, 8);
    EXPECT_EQ(rep.compositionFile, w.path("pelite.ZU3"));
    for (const char* f : {"pelite.ZU3", "pelite.CAT", "mintab.csv", "zun.log", "garn.p", "biot.p", "plag.p", "KSPR.p",
                          "cord.p"})
        EXPECT_TRUE(w.has(f)) << f;
    std::string mintab = w.read("mintab.csv");
    EXPECT_EQ(mintab.substr(mintab.find('\n') + 1, 83),
              "GARN, 36.30,  0.00, 22.03, 29.70,  2.13,  1.25,  8.54,  0.00,  0.00,  0.00, 99.95,\n");
    // One entry per mineral (the last analysis of each), readable in the
    // composition-file layout (A4,1X,24F6.4).
    std::istringstream zu(w.read("pelite.ZU3"));
    std::map<std::string, std::vector<double>> entries;
    core::Layout layout("(A4,1X,24F6.4)");
    for (std::string header, values; std::getline(zu, header) && std::getline(zu, values);) {
        std::string code;
        std::vector<double> v(24);
        std::vector<core::Target> t{core::TextTarget{&code, 4}};
        for (double& x : v) t.push_back(&x);
        ASSERT_TRUE(core::read_text(values, layout, t).done()) << values;
        EXPECT_EQ(header.substr(0, 4), code);
        EXPECT_FALSE(entries.count(code)) << code;
        entries[code] = v;
    }
    EXPECT_EQ(entries.size(), 6u);  // GARN BIOT PLAG KSPR CORD MICA
    EXPECT_NEAR(entries["KSPR"][1], 0.8699, 1e-4);
    EXPECT_NEAR(entries["GARN"][0] + entries["GARN"][1] + entries["GARN"][2] + entries["GARN"][3], 1.0, 2e-4);

    // A second run keeps what the file held besides its own minerals.
    { std::ofstream(w.path("pelite.ZU3"), std::ios::app) << "FIXED ACTIVITIES\nQUARTZ=1.0\nENDFIX\nOLIV x\nOLIV .4500 .0500\n"; }
    ASSERT_TRUE(run_oxide_file(o).ok());
    std::string again = w.read("pelite.ZU3");
    EXPECT_NE(again.find("QUARTZ=1.0\nENDFIX\nOLIV x\nOLIV .4500 .0500\n"), std::string::npos) << again;
    EXPECT_EQ(again.find("GARN"), again.rfind("GARN [-Gr-]"));
}

TEST(FormulaOutputs, GarnetWithoutCompositionFileAndPlotRollOver) {
    WorkDir w("rollover");
    {
        std::ofstream f(w.path("many.OXI"));
        f << "title\nSiO2,Al2O3,FeO,MgO,CaO\n";
        for (int i = 0; i < 51; ++i) f << "G grt-" << i << ",37.0,21.0,30.0,3.0,8.0\n";
    }
    OxideRunOptions o = w.options("many");
    o.writeComposition = false;
    ASSERT_TRUE(run_oxide_file(o).ok());
    EXPECT_FALSE(w.has("many.ZU2"));
    EXPECT_TRUE(w.has("zun.log"));
    EXPECT_TRUE(w.has("garn.p"));
    EXPECT_TRUE(w.has("garn1.p"));  // the 51st analysis
    EXPECT_FALSE(w.has("garn2.p"));
}

TEST(FormulaOutputs, CompositionFileUpdate) {
    WorkDir w("update");
    std::string path = w.path("c.ZU2");
    CompositionEntry g{"GARN", "GARN [-Gr-]", {0.25, 0.1, 0.6, 0.05}};
    ASSERT_TRUE(write_composition_entry(path, g).ok());
    g.values[0] = 0.3;
    ASSERT_TRUE(write_composition_entry(path, g).ok());
    EXPECT_EQ(w.read("c.ZU2"), "GARN [-Gr-]\nGARN .3000 .1000 .6000 .0500\n");
    // Beyond ten minerals every entry is kept.
    for (int i = 0; i < 11; ++i)
        ASSERT_TRUE(write_composition_entry(path, {"M" + std::to_string(10 + i), "h", {1.0, -0.5}}).ok());
    CompositionFile f;
    ASSERT_TRUE(CompositionFile::load(path, f).ok());
    EXPECT_EQ(f.entryCount(), 12);
    EXPECT_NE(w.read("c.ZU2").find("M20  1.0000-.5000\n"), std::string::npos);
    // Value layouts by code.
    EXPECT_EQ(compositionValueLine({"MICA", "", {0.9, 0.1, 0.95, 1.0, 0.9}}), "MICA .9000 .1000 .9500 1.0000.9000");
    EXPECT_EQ(compositionValueLine({"QTZ ", "", {99.5, 0.25}}), "QTZ  99.50 0.250");
}

TEST(FormulaApi, OneAnalysis) {
    AnalysisResult r = recalculateAnalysis(
        {{"SiO2", 34.96}, {"FeO", 36.77}, {"MnO", 0.52}, {"MgO", 27.04}, {"Total", 99.29}}, "oliv");
    ASSERT_TRUE(r.status.ok()) << r.status.describe();
    EXPECT_NEAR(r.scheme.passes[0].cations[Mg] * 4 / 3.99, 1.140, 0.03);  // published on 4 O
    EXPECT_NEAR(fraction(r.scheme, "xMg") * 2, r.scheme.passes[0].cations[Mg], 1e-12);
    EXPECT_EQ(recalculateAnalysis({{"Y2O3", 1}}, "GARN").status.value, "Y2O3");
    EXPECT_FALSE(recalculateAnalysis({{"SiO2", 1}}, "XXXX").status.ok());
}
