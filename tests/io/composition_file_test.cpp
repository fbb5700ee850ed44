// Composition files: the search for a model's value line, the fixed-activity
// block, the labels, and a run that reads one after the solution-model screen.
#include <gtest/gtest.h>

#include <array>

#include <cmath>
#include <filesystem>
#include <sstream>

#include "app/model_screen.hpp"
#include "app/phase_selection.hpp"
#include "common/selection_harness.hpp"
#include "io/composition_file.hpp"
#include "io/sln_format.hpp"
#include "model/activity.hpp"

using core::StatusCode;
using selection_test::SelectionRun;

namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

io::CompositionValues find(const std::string& text, const char* abbreviation, int count, core::Status* status = nullptr) {
    io::CompositionValues v;
    core::Status s = io::findComposition(linesOf(text), "test.zun", abbreviation, count, v);
    if (status != nullptr) *status = s;
    else EXPECT_TRUE(s.ok()) << s.describe();
    return v;
}

}  // namespace

TEST(CompositionFile, ValueLines) {
    // The first matching value line wins; missing values read 0; implied
    // decimals; F6.4 values without a blank between them; a FIXE header is
    // a block (even as an entry's site-label line), entries after it count.
    const std::string text =
        "GARN [-Gr-][-Py-][-Alm][-Sp-]\n"
        "GARN .0600 .1500 .7200 .0700\n"
        "GARN second entry\n"
        "GARN .5000 .5000\n"
        "PLAG [-An-][-Ab-]\n"
        "PLAG  2500  7400\n"
        "FIXED ACTIVITIES\nQUARTZ=1.0\nENDFIX\n"
        "MICA after the block\n"
        "MICA 0.82000.17000.93001.0000\n"
        "OPX  opx\n"
        "OPX \n";
    io::CompositionValues g = find(text, "GARN", 4);
    EXPECT_EQ(g.count, 4);
    EXPECT_EQ(g.line, 2);
    EXPECT_DOUBLE_EQ(g.values[2], 0.72);
    io::CompositionValues p = find(text, "PLAG", 3);
    EXPECT_DOUBLE_EQ(p.values[0], 0.25);
    EXPECT_DOUBLE_EQ(p.values[1], 0.74);
    EXPECT_DOUBLE_EQ(p.values[2], 0.0);
    io::CompositionValues m = find(text, "MICA", 4);
    EXPECT_EQ(m.line, 11);
    EXPECT_DOUBLE_EQ(m.values[1], 0.17);
    EXPECT_DOUBLE_EQ(m.values[3], 1.0);
    io::CompositionValues o = find(text, "OPX ", 3);
    EXPECT_EQ(o.values, (std::array<double, io::kMaxCompositionValues>{}));

    // Case matters in the abbreviation; a header "FIXE..." that was meant as
    // a site-label line hides its value line inside a block.
    core::Status s;
    find(text, "garn", 4, &s);
    EXPECT_EQ(s.what, "ZUN file missing compositions for garn");
    find("FIXE [site labels]\nCPX  .5 .5\nENDFIX\n", "CPX ", 2, &s);
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(s.what, "ZUN file missing compositions for CPX ");
}

TEST(CompositionFile, ValueLineFailures) {
    struct Case {
        const char* name;
        std::string text;
        int values;
        const char* what;
        int line, field;
    };
    const Case cases[] = {
        {"missing", "GARN labels\nGARN .1 .2 .3 .4\n", 4, "ZUN file missing compositions for BIOT", 2, 0},
        {"header only", "BIOT labels\n", 6, "ZUN file missing compositions for BIOT", 1, 0},
        {"no endfix", "FIXE\nQUARTZ=1.0\nBIOT labels\nBIOT .1\n", 6, "No ENDFIX statement in ZUN file - try again", 1,
         0},
        {"letters", "BIOT labels\nBIOT .4000 .43x3 .0333\n", 6, "Check format - error reading file: test.zun", 2, 2},
        {"negative", "BIOT labels\nBIOT .4000 -.433\n", 6, "Check format - error reading file: test.zun", 2, 2},
        {"too many", "BIOT labels\nBIOT .1\n", 25, "Check format - error reading file: test.zun", 0, 0},
    };
    for (const Case& c : cases) {
        core::Status s;
        find(c.text, "BIOT", c.values, &s);
        EXPECT_EQ(s.code, StatusCode::Stop) << c.name;
        EXPECT_EQ(s.what, c.what) << c.name;
        EXPECT_EQ(s.file, "test.zun") << c.name;
        EXPECT_EQ(s.line, c.line) << c.name;
        EXPECT_EQ(s.field, c.field) << c.name;
    }
}

TEST(CompositionFile, FixedActivities) {
    const std::string text =
        "GARN labels\nGARN .1 .2 .3 .4\n"
        "fixed activities, lower case\n"
        "QUARTZ=1.0\nKYANITE=-0.5\nSILLIMANITE=0.5\nALM=0.3\nPYROPE=1\nANDALUSITE=\n"
        "ENDFIX\nQUARTZ=0.1\n";
    io::FixedActivityBlock b;
    ASSERT_TRUE(io::parseFixedActivities(linesOf(text), "test.zun", b).ok());
    EXPECT_TRUE(b.found);
    EXPECT_TRUE(b.ended);
    ASSERT_EQ(b.entries.size(), 6u);
    const double expected[] = {0.0, -0.5, std::log10(0.5), std::log10(0.3), -6.0, 0.0};
    for (std::size_t k = 0; k < 6; ++k) EXPECT_DOUBLE_EQ(b.entries[k].logActivity, expected[k]) << k;
    EXPECT_EQ(b.entries[3].name, "ALM");
    EXPECT_EQ(b.entries[3].text, core::pad("ALM=0.3", 40));
    EXPECT_EQ(b.entries[3].line, 7);

    // The prefix applies to every phase whose name begins with it.
    model::PhaseTable phases;
    const char* names[] = {"ALMANDINE", "QUARTZ", "ALBITE", "KYANITE", "ALM"};
    phases.count = 5;
    for (int i = 0; i < 5; ++i) phases[i].name = core::pad(names[i], 20);
    std::array<double, model::kMaxPhases> logActivity{};
    EXPECT_EQ(io::applyFixedActivities(phases, b, logActivity), 4);
    EXPECT_DOUBLE_EQ(logActivity[0], std::log10(0.3));
    EXPECT_DOUBLE_EQ(logActivity[4], std::log10(0.3));
    EXPECT_EQ(logActivity[2], 0.0);
    EXPECT_EQ(logActivity[3], -0.5);

    // No block, no ENDFIX: not a failure, said by the flags.
    ASSERT_TRUE(io::parseFixedActivities(linesOf("GARN x\nGARN .1\n"), "test.zun", b).ok());
    EXPECT_FALSE(b.found);
    ASSERT_TRUE(io::parseFixedActivities(linesOf("FIXE\nQUARTZ=1.0\n"), "test.zun", b).ok());
    EXPECT_TRUE(b.found);
    EXPECT_FALSE(b.ended);
    // A line without "=", without a name, or with letters in the value.
    for (const char* bad : {"FIXE\nQUARTZ 1.0\nENDFIX\n", "FIXE\n=1.0\nENDFIX\n", "FIXE\nQUARTZ=one\nENDFIX\n"}) {
        core::Status s = io::parseFixedActivities(linesOf(bad), "test.zun", b);
        EXPECT_EQ(s.code, StatusCode::Stop) << bad;
        EXPECT_EQ(s.what, "Check format - error reading file: test.zun");
        EXPECT_EQ(s.line, 2);
    }
}

TEST(CompositionFile, LabelRecords) {
    const auto r = io::compositionLabelRecords(400, 700, 1, 10001, 2, "pelite.zun");
    EXPECT_EQ(r[0], "    1");
    EXPECT_EQ(r[1], "   600.000  9334.333     0.200     0.000     " + core::pad("pelite.zun", 40));
}

// ---- A run: the solution-model screen, then the composition file

namespace {

// Garnet and plagioclase end-members with kyanite and quartz (GASP).
void gaspRun(SelectionRun& r, const std::string& zun, const std::string& answers) {
    ASSERT_TRUE(r.load("CA AL SI O"));
    r.choose({{"GROSSULAR", calc::kInclude}, {"ANORTHITE", calc::kInclude}, {"KYANITE", calc::kInclude}, {"QUARTZ", calc::kInclude}});
    r.dir.write("gasp.zun", zun);
    r.script("screen Selection of Solution Models\nset Filename: = gasp.zun\n" + answers);
}

core::Status prepareIn(SelectionRun& r) {
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(r.dir.path);
    core::Status s = app::prepareSelectedPhases(r.screens, r.streams, r.settings, *r.phases, *r.system, *r.sel,
                                                *r.models, r.request);
    r.prepared = true;
    r.solutionsChosen = s.ok();
    std::filesystem::current_path(cwd);
    return s;
}

const char* kGasp = "GARN g\nGARN .0600 .1500 .7200 .0700\nPLAG p\nPLAG .2500 .7400 .0100\n"
                    "FIXE\nQUARTZ=0.5\nKYANITE=-0.1\nENDFIX\n";

}  // namespace

TEST(CompositionFile, ReadAfterTheScreen) {
    SelectionRun r;
    // Slot 1 is plagioclase (ANORTHITE comes first in the phase list), slot 2 garnet.
    gaspRun(r, kGasp, "set Variant 1 = FL88\nset Variant 2 = GT1990\npress Next\n");
    ASSERT_TRUE(prepareIn(r).ok()) << r.tk->failure() << (r.out.empty() ? "" : r.out.back());
    const model::CompositionSet& cs = r.models->composition;
    EXPECT_EQ(core::rtrim(cs.fileName), "gasp.zun");
    // The chosen variants' terms were stored by the second reading, the
    // garnet's excess reduced to coefficients.
    const model::SolutionModel& garn = r.models->models[at(cs.slots[1].model - 1)];
    EXPECT_EQ(garn.abbreviation, "GARN");
    EXPECT_EQ(garn.interactionCount, 10);
    EXPECT_DOUBLE_EQ(garn.siteFractions[0][3], 0.72);
    EXPECT_EQ(garn.excessCoefficients[0], model::excessParameters(garn, 1));
    EXPECT_NE(garn.excessCoefficients[0][0], 0.0);
    // Fixed activities replace the chosen ones.
    EXPECT_DOUBLE_EQ(r.sel->logActivity[at(r.index("QUARTZ"))], std::log10(0.5));
    EXPECT_DOUBLE_EQ(r.sel->logActivity[at(r.index("KYANITE"))], -0.1);
    const std::string labels[] = {"gasp.zun", "PLAG=FL88", "GARN=GT1990", "QUARTZ=0.5", "KYANITE=-0.1"};
    ASSERT_EQ(cs.labelCount, 5);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(cs.labels[at(k)], core::pad(labels[k], 40));
    const auto restart = r.restart();
    EXPECT_EQ(restart[2], core::pad("gasp.zun", 45) + core::pad("FILE OF MINERAL COMPS", 25));
}

TEST(CompositionFile, RunStopsOnAMissingCompositionOrAVanishingActivity) {
    struct Case {
        std::string zun;
        const char* message;
    };
    const Case cases[] = {
        {"GARN g\nGARN .0600 .1500 .7200 .0700\n", "ZUN file missing compositions for PLAG"},
        {"GARN g\nGARN .0600 .1500 .7200 .0700\nFIXE\nQUARTZ=1.0\n", "No ENDFIX statement in ZUN file - try again"},
        {"GARN g\nGARN .0600 .1500 .7200 .0700\nPLAG p\nPLAG .25x0 .7400\n", "Check format - error reading file: gasp.zun"},
        // Grossular with X(Ca) = 0.008: X^3 below 1e-6.
        {"GARN g\nGARN .0080 .1500 .7200 .1220\nPLAG p\nPLAG .2500 .7400\n",
         "**ERROR** X=0 for cation#? on site#? of GROSSULAR"},
        {"GARN g\nGARN .0000 .1500 .7200 .1220\nPLAG p\nPLAG .2500 .7400\n",
         "**ERROR** X=0 for cation#1 on site#1 of GROSSULAR"},
        // Plagioclase without anorthite: a(An) = 0.
        {"GARN g\nGARN .0600 .1500 .7200 .0700\nPLAG p\nPLAG  0     .9900 .0100\n",
         "**ERROR** X=0 for cation#1 on site#1 of ANORTHITE"},
        {"GARN g\nGARN .0600 .1500 .7200 .0700\nPLAG p\nPLAG .2500 .7400\nFIXE\nQUARTZ\nENDFIX\n",
         "Check format - error reading file: gasp.zun"},
    };
    for (const Case& c : cases) {
        SelectionRun r;
        gaspRun(r, c.zun, "press Next\nscreen Input error\npress Continue\n");
        core::Status s = prepareIn(r);
        EXPECT_EQ(s.code, StatusCode::Stop) << c.message << " " << r.tk->failure();
        EXPECT_EQ(core::rtrim(r.tk->getText(r.screens[ui::kInputErrorScreen], ui::kErrMessage)), c.message);
        ASSERT_FALSE(r.out.empty());
        EXPECT_NE(r.out.back().find("gasp.zun"), std::string::npos) << r.out.back();
    }
}

// Damaged files never crash the readers: the bundled solution and
// composition files with characters replaced, lines dropped or cut short
// are either read or refused with a message naming file and line, and what
// is read gives activities that are numbers (or minus infinity), never NaN.
TEST(CompositionFile, DamagedFilesAreReadOrRefused) {
    const auto sln = selection_test::readLines(selection_test::bundled("solution-models.sln"));
    const auto zun = selection_test::readLines(selection_test::bundled("example-pelite.zun"));
    unsigned seed = 12345;
    auto next = [&seed](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % n;
    };
    const char garbage[] = "0123456789 .,-()=:ABCFIXENDxyz\t";
    auto damage = [&](std::vector<std::string> lines) {
        for (int k = 0, n = 1 + static_cast<int>(next(3)); k < n && !lines.empty(); ++k) {
            std::string& l = lines[next(static_cast<unsigned>(lines.size()))];
            switch (next(3)) {
                case 0:
                    if (!l.empty()) l[next(static_cast<unsigned>(l.size()))] = garbage[next(sizeof garbage - 1)];
                    break;
                case 1: l.resize(next(static_cast<unsigned>(l.size() + 1))); break;
                default: lines.erase(lines.begin() + (&l - lines.data())); break;
            }
        }
        return lines;
    };
    int read = 0, refused = 0;
    for (int round = 0; round < 400; ++round) {
        const auto lines = damage(sln);
        auto set = std::make_unique<model::SolutionModelSet>();
        std::vector<std::string> said;
        std::array<int, model::kMaxModels> variants{2, 2, 2, 1, 1, 1, 1};
        const core::Status s = io::parseSolutionModels(lines, "damaged.sln", variants, *set, said);
        if (!s.ok()) {
            ++refused;
            EXPECT_EQ(s.file, "damaged.sln");
            EXPECT_GT(s.line, 0) << s.describe();
            EXPECT_FALSE(said.empty());
            continue;
        }
        ++read;
        const auto zl = damage(zun);
        for (int m = 0; m < set->count; ++m) {
            model::SolutionModel& model = set->models[at(m)];
            io::CompositionValues v;
            const core::Status z = io::findComposition(zl, "damaged.zun", model.abbreviation, io::siteFractionCount(model), v);
            if (!z.ok()) {
                EXPECT_EQ(z.code, StatusCode::Stop);
                continue;
            }
            io::setSiteFractions(model, v);
            model::precomputeExcessCoefficients(model);
            for (int e = 1; e <= model.endMemberCount; ++e) {
                const model::EndMemberActivity a = model::endMemberActivity(model, e, 5000, 900);
                EXPECT_FALSE(std::isnan(a.mu)) << model.abbreviation << " " << e;
                EXPECT_FALSE(std::isnan(model::endMemberActivityTerm(*set, 5000, 900, m + 1, e)));
            }
        }
        io::FixedActivityBlock b;
        (void)io::parseFixedActivities(zl, "damaged.zun", b);
    }
    EXPECT_GT(read, 50);
    EXPECT_GT(refused, 50);
}
