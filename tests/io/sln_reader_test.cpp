#include <gtest/gtest.h>

#include <array>

#include "common/selection_harness.hpp"
#include "io/sln_reader.hpp"

using core::StatusCode;
using selection_test::bundled;
using selection_test::SelectionRun;
using io::readSolutionModels;
using model::SolutionModel;
using model::SolutionModelSet;

namespace {

const SolutionModel* modelNamed(const SolutionModelSet& set, std::string_view abbreviation) {
    for (int m = 0; m < set.count; ++m)
        if (set.models[static_cast<std::size_t>(m)].abbreviation == abbreviation) return &set.models[static_cast<std::size_t>(m)];
    return nullptr;
}

// A small model file: a header, a site line, end-member lines, variants.
std::string header(const std::string& abbr, int each, int members, const std::string& name) {
    return core::pad(abbr, 4) + std::to_string(each) + std::to_string(members) + std::string(9, ' ') + name + "\n";
}

// A reciprocal term line (6X,2I1,1X,4I1,1X,4I1,2X,3F10.3) after `lead` in columns 1-6.
std::string recip(const std::string& lead, const std::string& sites, const std::string& plus, const std::string& minus,
                  double g0, double g1, double g2) {
    return core::pad(lead, 6) + sites + " " + plus + " " + minus + "  " + core::formatFixed(g0, 10, 3) +
           core::formatFixed(g1, 10, 3) + core::formatFixed(g2, 10, 3) + "\n";
}

}  // namespace

TEST(SolutionFile, BundledModelsAsWritten) {
    SelectionRun r;
    std::array<int, model::kMaxModels> variants{2, 2, 2};  // GT1990, FL88, BT1991
    ASSERT_TRUE(readSolutionModels(bundled("solution-models.sln"), variants, *r.models, r.streams).ok());
    const SolutionModelSet& set = *r.models;
    EXPECT_EQ(set.count, 7);
    EXPECT_EQ(set.reciprocalCount, 0);

    const SolutionModel* garn = modelNamed(set, "GARN");
    ASSERT_NE(garn, nullptr);
    EXPECT_EQ(garn->evaluateExcessEachCall, 0);
    EXPECT_EQ(garn->endMemberCount, 4);
    EXPECT_EQ(core::rtrim(garn->name), "Garnet X3Al2Si3O12");
    ASSERT_EQ(garn->siteCount, 1);
    EXPECT_EQ(garn->sites[0].multiplicity, 3);
    ASSERT_EQ(garn->sites[0].cationCount, 4);
    EXPECT_EQ(garn->sites[0].cations[3], "MN");
    EXPECT_EQ(core::rtrim(garn->endMembers[2].name), "ALMANDINE");
    EXPECT_EQ(garn->endMembers[2].entries[0], 1);
    EXPECT_EQ(garn->endMembers[2].cation[0][0], 3);  // FE
    EXPECT_EQ(garn->endMembers[2].count[0][0], 3);
    EXPECT_EQ(garn->endMembers[2].divisor[0][3], 1.0);
    ASSERT_EQ(garn->mixingModelCount, 2);
    EXPECT_EQ(garn->mixingModels[0].keyword, "IDEAL   ");
    EXPECT_EQ(core::rtrim(garn->mixingModels[1].description), "Grt CaMgFeMn 1990 AmMin 75:328");
    EXPECT_EQ(garn->selectedMixingModel, 2);
    // The ten GT1990 terms; W_CaMg and W_MgFeMn of the published table.
    ASSERT_EQ(garn->interactionCount, 10);
    EXPECT_EQ(garn->interactionTerms[0].code, "1 1120");
    EXPECT_EQ(garn->interactionTerms[0].site, 1);
    EXPECT_EQ(garn->interactionTerms[0].cations, (std::array<int, 4>{1, 1, 2, 0}));
    EXPECT_FLOAT_EQ(garn->interactionTerms[0].wH, 21560.0f);
    EXPECT_FLOAT_EQ(garn->interactionTerms[0].wS, 18.79f);
    EXPECT_FLOAT_EQ(garn->interactionTerms[0].wV, 0.10f);
    EXPECT_EQ(garn->interactionTerms[9].cations, (std::array<int, 4>{2, 3, 4, 0}));
    EXPECT_FLOAT_EQ(garn->interactionTerms[9].wH, 1975.0f);
    EXPECT_FLOAT_EQ(garn->interactionTerms[9].wV, 0.035f);

    const SolutionModel* plag = modelNamed(set, "PLAG");
    ASSERT_NE(plag, nullptr);
    EXPECT_EQ(plag->evaluateExcessEachCall, 1);
    EXPECT_EQ(plag->mixingModelCount, 3);
    ASSERT_EQ(plag->interactionCount, 7);  // FL88
    EXPECT_FLOAT_EQ(plag->interactionTerms[6].wH, 100045.5f);
    EXPECT_FLOAT_EQ(plag->interactionTerms[6].wV, -0.760f);

    // Biotite: sites (3), (1), (2); PHLOGOPITE MG(3)-K-OH(2).
    const SolutionModel* biot = modelNamed(set, "BIOT");
    ASSERT_NE(biot, nullptr);
    ASSERT_EQ(biot->siteCount, 3);
    EXPECT_EQ(biot->sites[1].multiplicity, 1);
    EXPECT_EQ(biot->sites[2].cations[0], "OH");
    const auto& phl = biot->endMembers[0];
    EXPECT_EQ(phl.cation[0][0], 1);
    EXPECT_EQ(phl.count[0][0], 3);
    EXPECT_EQ(phl.cation[1][0], 1);
    EXPECT_EQ(phl.count[1][0], 1);
    EXPECT_EQ(phl.count[2][0], 2);
    EXPECT_EQ(biot->interactionCount, 4);

    const SolutionModel* cpx = modelNamed(set, "CPX ");
    ASSERT_NE(cpx, nullptr);
    EXPECT_EQ(cpx->siteCount, 2);
    EXPECT_EQ(cpx->endMembers[2].cation[0][0], 2);  // JADEITE AL-NA
    EXPECT_EQ(cpx->endMembers[2].cation[1][0], 2);
    EXPECT_EQ(cpx->interactionCount, 0);  // no variant chosen for it
}

TEST(SolutionFile, NoVariantChosenStoresNoTerms) {
    SelectionRun r;
    ASSERT_TRUE(readSolutionModels(bundled("solution-models.sln"), {}, *r.models, r.streams).ok());
    for (int m = 0; m < r.models->count; ++m) {
        EXPECT_EQ(r.models->models[static_cast<std::size_t>(m)].interactionCount, 0);
        EXPECT_EQ(r.models->models[static_cast<std::size_t>(m)].selectedMixingModel, 0);
    }
}

TEST(SolutionFile, SitesCountsAndReciprocalSets) {
    SelectionRun r;
    const std::string text =
        header("SPL ", 0, 2, "Spinel") +
        "(12):MG,FE-(2)/AL,CR\n"
        "HERC MG(1)FE(1)-AL(2)\n"
        + core::pad("CHR FE(12),MG-CR(2)", 80) + "       1.5\n"
        "IDEAL    ideal\n"
        "END\n" +
        recip("RECIP:", "12", "1212", "2121", 100, 1, 0.01) + recip("", "12", "1111", "2222", 0, 0, 0) +
        recip("", "12", "2121", "1212", -5, 0, 0) + "      0\n" +
        header("NEXT", 0, 1, "Next model") + "(1):A\nEMA A\nIDEAL    x\nEND\n\n" + "    \nignored\n";
    ASSERT_TRUE(readSolutionModels(r.dir.write("spl.sln", text), {}, *r.models, r.streams).ok()) << r.out.back();
    const SolutionModelSet& set = *r.models;
    ASSERT_EQ(set.count, 2);
    const SolutionModel& spl = set.models[0];
    ASSERT_EQ(spl.siteCount, 2);
    EXPECT_EQ(spl.sites[0].multiplicity, 12);
    EXPECT_EQ(spl.sites[1].multiplicity, 2);
    EXPECT_EQ(spl.sites[1].cations[1], "CR");
    // MG(1)FE(1) on a site of 12: two entries, divisors 12 div 1.
    const auto& herc = spl.endMembers[0];
    EXPECT_EQ(herc.entries[0], 2);
    EXPECT_EQ(herc.divisor[0][1], 12.0);
    EXPECT_EQ(herc.divisor[0][2], 12.0);
    EXPECT_EQ(herc.divisor[0][3], 1.0);  // not listed
    const auto& chr = spl.endMembers[1];
    EXPECT_EQ(chr.count[0][0], 12);
    EXPECT_EQ(chr.divisor[0][2], 1.0);  // 12 div 12
    EXPECT_EQ(chr.cation[0][1], 1);     // MG, count 1 after the comma
    EXPECT_DOUBLE_EQ(chr.unused, 1.5);
    // The zero term is not kept; the block ends at the line with column 7 blank.
    ASSERT_EQ(set.reciprocalCount, 1);
    EXPECT_EQ(set.reciprocal[0].model, "SPL ");
    ASSERT_EQ(set.reciprocal[0].termCount, 2);
    EXPECT_EQ(set.reciprocal[0].terms[0].siteA, 1);
    EXPECT_EQ(set.reciprocal[0].terms[0].siteB, 2);
    EXPECT_EQ(set.reciprocal[0].terms[0].plusPair, (std::array<int, 4>{1, 2, 1, 2}));
    EXPECT_EQ(set.reciprocal[0].terms[0].minusPair, (std::array<int, 4>{2, 1, 2, 1}));
    EXPECT_DOUBLE_EQ(set.reciprocal[0].terms[0].g2, 0.01);
    EXPECT_DOUBLE_EQ(set.reciprocal[0].terms[1].g0, -5.0);
    EXPECT_EQ(set.models[1].abbreviation, "NEXT");
}

TEST(SolutionFile, EmptyAndTruncatedFiles) {
    SelectionRun r;
    ASSERT_TRUE(readSolutionModels(r.dir.write("blank.sln", "    \nGARN04\n"), {}, *r.models, r.streams).ok());
    EXPECT_EQ(r.models->count, 0);

    // The end of the file inside a model block is a read error naming the
    // file's last line: after the header, inside the end-member lines, inside
    // an interaction list.
    const std::string first = header("AAAA", 0, 1, "First") + "(1):X\nXX X\nIDEAL    i\nEND\n\n";
    const std::pair<std::string, int> cuts[] = {
        {first + header("BBBB", 0, 2, "Second"), 7},
        {first + header("BBBB", 0, 2, "Second") + "(1):Y\nYY Y\n", 9},
        {first + header("BBBB", 0, 1, "Second") + "(1):Y\nYY Y\nIDEAL    i\n", 10},
    };
    for (const auto& [text, line] : cuts) {
        r.out.clear();
        core::Status s = readSolutionModels(r.dir.write("cut.sln", text), {}, *r.models, r.streams);
        EXPECT_EQ(s.code, StatusCode::Stop) << line;
        EXPECT_EQ(s.line, line);
        ASSERT_EQ(r.out.size(), 2u);
        EXPECT_EQ(r.out[0], "Error reading file Solution Properties from " + core::pad(r.dir.file("cut.sln"), 30));
        EXPECT_NE(r.out[1].find("the file ends inside model \"BBBB\""), std::string::npos) << r.out[1];
    }

    // A file ending after the last END line (no blank line) keeps its model.
    ASSERT_TRUE(readSolutionModels(r.dir.write("end.sln", header("AAAA", 0, 1, "First") + "(1):X\nXX X\nIDEAL    i\nEND"),
                                   {}, *r.models, r.streams)
                    .ok());
    EXPECT_EQ(r.models->count, 1);
}

TEST(SolutionFile, OpenFailure) {
    SelectionRun r;
    core::Status s = readSolutionModels(r.dir.file("none.sln"), {}, *r.models, r.streams);
    EXPECT_EQ(s.code, StatusCode::Error);
    EXPECT_EQ(s.what, "Error opening solution properties file: " + r.dir.file("none.sln"));

}

TEST(SolutionFile, ReadErrorsNameFileLineAndField) {
    struct Case {
        const char* name;
        std::string text;
        int line;
        const char* why;  // part of the detail line
    };
    const std::string ok = header("AAAA", 0, 1, "First") + "(2):MG,FE\nEM MG(2)\n";
    std::string many;
    for (int k = 0; k < 21; ++k) many += "1 1200      1.000     0.000     0.000\n";
    const Case cases[] = {
        {"letters", ok + "MIX      m\n1 1200  12x.0\nEND\n", 5, "unreadable field of the interaction line"},
        {"members", header("AAAA", 0, 9, "Nine"), 1, "more than 8 end-members"},
        {"cations", header("AAAA", 0, 0, "C") + "(1):A,B,C,D,E,F,G\n", 2, "more than 6 cations"},
        {"divisor", header("AAAA", 0, 1, "D") + "(2):MG\nEM MG(3)\n", 3, "exceeds the site multiplicity"},
        {"terms", ok + "MIX      m\n" + many + "END\n", 25, "more than 20 interaction lines"},
        {"code", ok + "MIX      m\n3 1200  1.0\nEND\n", 5, "interaction site is not a site"},
        {"noend", ok + "IDEAL    i\nEND\nMIX      m\n" + many + many + many + many + many + "END\n", 106, "no END line"},
        {"recip",
         ok + recip("RECIP:", "11", "1212", "2121", 1, 0, 0) + recip("", "11", "1212", "2121", 1, 0, 0) +
             recip("", "11", "1212", "2121", 1, 0, 0) + recip("", "11", "1212", "2121", 1, 0, 0) +
             recip("", "11", "1212", "2121", 1, 0, 0) + "      0\n",
         8, "more than 4 terms"},
    };
    for (const Case& c : cases) {
        SelectionRun r;
        std::array<int, model::kMaxModels> variants{1};
        const std::string path = r.dir.write(std::string(c.name) + ".sln", c.text);
        core::Status s = readSolutionModels(path, variants, *r.models, r.streams);
        EXPECT_EQ(s.code, StatusCode::Stop) << c.name;
        EXPECT_EQ(s.line, c.line) << c.name;
        EXPECT_EQ(s.file, path) << c.name;
        ASSERT_GE(r.out.size(), 2u) << c.name;
        EXPECT_EQ(r.out[r.out.size() - 2], "Error reading file Solution Properties from " + core::pad(path, 30)) << c.name;
        EXPECT_NE(r.out.back().find(c.why), std::string::npos) << c.name << ": " << r.out.back();
        EXPECT_NE(r.out.back().find("line " + std::to_string(c.line)), std::string::npos) << c.name;
    }
}

TEST(SolutionFile, TwentyOneLinesOfAnUnchosenVariantAreRead) {
    SelectionRun r;
    std::string many;
    for (int k = 0; k < 21; ++k) many += "1 1200      1.000     0.000     0.000\n";
    const std::string text = header("AAAA", 0, 1, "First") + "(2):MG,FE\nEM MG(2)\nIDEAL    i\nEND\nBIG      b\n" + many + "END\n";
    std::array<int, model::kMaxModels> variants{1};
    EXPECT_TRUE(readSolutionModels(r.dir.write("a.sln", text), variants, *r.models, r.streams).ok());
    EXPECT_EQ(r.models->models[0].mixingModelCount, 2);
}

TEST(SolutionFile, UnmatchedCation) {
    SelectionRun r;
    const std::string text = header("GARN", 0, 1, "Garnet") + "(3):CA,MG,FE,MN\nGROSSULAR CA(2)NI(1)\n";
    core::Status s = readSolutionModels(r.dir.write("g.sln", text), {}, *r.models, r.streams);
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(s.line, 3);
    ASSERT_EQ(r.out.size(), 3u);
    EXPECT_EQ(r.out[0], "Cannot match cation in GARN component of GROS");
    EXPECT_EQ(r.out[1], " Site: 1 Possible cations: CA MG FE MN  Component cations: CA NI ");
}

TEST(SolutionFile, TwelveModelsAtMost) {
    SelectionRun r;
    std::string text;
    for (int m = 0; m < 13; ++m)
        text += header("M" + std::to_string(m + 10), 0, 1, "Model") + "(1):X\nXX X\nIDEAL    i\nEND\n\n";
    ASSERT_TRUE(readSolutionModels(r.dir.write("many.sln", text), {}, *r.models, r.streams).ok());
    EXPECT_EQ(r.models->count, 12);
    EXPECT_EQ(r.models->models[11].abbreviation, "M21 ");
    ASSERT_EQ(r.out.size(), 1u);
    EXPECT_NE(r.out[0].find("only the first 12 models are read (line 73"), std::string::npos) << r.out[0];
}
