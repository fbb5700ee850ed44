// Choosing reactions: matching abbreviations, suggestions and their group
// rule, the listing values and lines, the rxtns.lst file, the screen and the
// replayed choice.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/reaction_selection.hpp"
#include "common/enumerate_fixtures.hpp"
#include "core/text.hpp"
#include "ui/scripted.hpp"

namespace enumerate_test {
namespace {

namespace fs = std::filesystem;
using app::CalibrationList;
using app::matchingAbbreviation;
using app::offerSuggestion;
using app::Suggestions;
using ::testing::ElementsAre;

TEST(MatchingAbbreviation, QuartzAndAluminosilicatesInLargerReactions) {
    EXPECT_EQ(matchingAbbreviation("aQz     ", 3), "Qz  ");
    EXPECT_EQ(matchingAbbreviation("bQz     ", 4), "Qz  ");
    EXPECT_EQ(matchingAbbreviation("Sil     ", 3), "Als ");
    EXPECT_EQ(matchingAbbreviation("And     ", 5), "Als ");
    EXPECT_EQ(matchingAbbreviation("Ann     ", 5), "Ann ");
    EXPECT_EQ(matchingAbbreviation("Ky      ", 2), "Ky  ");  // transitions keep their own
}

CalibrationList calibration(const std::vector<std::pair<char, std::vector<std::string>>>& lines) {
    CalibrationList list;
    for (const auto& [group, abbr] : lines) {
        app::CalibrationLine& l = list.line[list.count++];
        l.mark = '*';
        l.group = group;
        for (std::size_t k = 0; k < l.abbreviation.size(); ++k)
            l.abbreviation[k] = core::pad(k < abbr.size() ? abbr[k] : "", 4);
    }
    return list;
}

int offer(CalibrationList& list, Suggestions& s, int number, std::vector<std::string> abbr) {
    for (std::string& a : abbr) a = core::pad(a, 4);
    return offerSuggestion(list, s, number, abbr);
}

TEST(Suggestions, GroupAdmitsTwoFromItsEarliestLines) {
    CalibrationList list = calibration({{'a', {"A", "B"}}, {'a', {"A", "C"}}, {'a', {"A", "D"}},
                                        {'a', {"A", "E"}}, {'b', {"A", "F"}}, {' ', {"A", "G"}}});
    Suggestions s;
    EXPECT_EQ(offer(list, s, 1, {"A", "B"}), 0);
    EXPECT_EQ(offer(list, s, 2, {"A", "D"}), 2);
    // A third of group a from an earlier line takes the place of the
    // suggestion from the latest line.
    EXPECT_EQ(offer(list, s, 3, {"A", "C"}), 1);
    ASSERT_EQ(s.count, 2);
    EXPECT_EQ(s.reaction[1], 3);
    EXPECT_EQ(s.line[1], 1);
    // A fourth whose line is the latest of the three is not suggested, and
    // its line stays used.
    EXPECT_EQ(offer(list, s, 4, {"A", "E"}), -1);
    EXPECT_TRUE(list.used[3]);
    EXPECT_EQ(offer(list, s, 5, {"A", "E"}), -1);
    // Other groups and lines without a group are not limited by group a.
    EXPECT_EQ(offer(list, s, 6, {"A", "F"}), 4);
    EXPECT_EQ(offer(list, s, 7, {"A", "G"}), 5);
    EXPECT_EQ(s.count, 4);
    EXPECT_THAT(std::vector<int>(s.reaction.begin(), s.reaction.begin() + 4), ElementsAre(1, 3, 6, 7));
}

TEST(ListingValues, NormalisedByOxygenWeightAndWaterHalf) {
    // Made-up phases: weights 5, 5, 2 and a phase abbreviated W.
    auto set = madeUpPhases({{5}, {5}, {2}, {1}}, {"Ky", "Sil", "Qz", "W"});
    set->table[0].H = -2594220.0, set->table[0].S = 82.43, set->table[0].V0 = 4.412;
    set->table[1].H = -2586091.0, set->table[1].S = 95.93, set->table[1].V0 = 4.983;
    calc::Reaction r;
    r.coef[0] = -1, r.coef[1] = 1;
    calc::FormatReaction(set->table, calc::PhaseSelection{}, r);
    const app::ListingValues v = app::listingValues(set->table, r);
    EXPECT_EQ(v.phases, 2);
    EXPECT_DOUBLE_EQ(v.w, 10.0);
    EXPECT_NEAR(v.dH, 2 * 8129.0 / 10 / 100, 1e-9);
    EXPECT_NEAR(v.dS, 2 * 13.5 / 10, 1e-9);
    EXPECT_NEAR(v.dV, 2 * 0.571 / 10, 1e-9);
    EXPECT_NEAR(v.dPdT, 13.5 / 0.571, 1e-9);
    EXPECT_EQ(app::listingLine(6, v, '*', r.text), "   6:  16.3  2.70  0.11  24. * Ky = Sil");

    // W counts half its coefficient in the volume, with three or more phases.
    calc::Reaction wet;
    wet.coef[0] = -1, wet.coef[2] = 1, wet.coef[3] = 2;
    calc::FormatReaction(set->table, calc::PhaseSelection{}, wet);
    const app::ListingValues vw = app::listingValues(set->table, wet);
    EXPECT_DOUBLE_EQ(vw.W, 1.0);
    EXPECT_DOUBLE_EQ(vw.w, 5 + 2 + 2);
    EXPECT_NEAR(vw.dV, 2 * (-4.412 + 1.0) / 9, 1e-12);
    EXPECT_NEAR(vw.dPdT, 82.43 / (4.412 - 1.0), 1e-9);
    calc::Reaction twoWet;
    twoWet.coef[2] = -1, twoWet.coef[3] = 1;
    EXPECT_EQ(app::listingValues(set->table, twoWet).W, 0.0);
}

TEST(ListingValues, ZeroWeightAndZeroVolumeListZeros) {
    auto set = madeUpPhases({{0}, {0}}, {"X", "Y"});
    set->table[0].S = 1.0;
    calc::Reaction r;
    r.coef[0] = -1, r.coef[1] = 1;
    calc::FormatReaction(set->table, calc::PhaseSelection{}, r);
    const app::ListingValues v = app::listingValues(set->table, r);
    EXPECT_EQ(app::listingLine(12, v, ' ', r.text), "  12:   0.0  0.00  0.00   0.   X = Y");
}

// A run of the muscovite phases enumerated in list mode, with its files in a
// directory of its own.
class SelectRun : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("pelkam_select_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        set = bundledPhases("K AL SI O H", {"And", "Ky", "Sil", "Qz", "Ms", "Kfs", "H2O"});
        ASSERT_NE(set, nullptr);
        sel = selectionFor(*set, {4, 5, 3, 6});
        calc::EnumerationOptions options;
        options.list = &list;
        calc::PrunedAssemblageList pruned;
        ASSERT_TRUE(calc::EnumerateReactions(set->table, sel, pruned, options, nullptr, nullptr, enumerated));
        ASSERT_EQ(enumerated.found, 6);
        setup.list = &list;
        setup.listingName = (dir / "rxtns.lst").string();
        setup.calibrationName = (dir / "rxtns_calib.dat").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    void writeCalibration(const std::string& text) { std::ofstream(setup.calibrationName) << text; }
    std::vector<std::string> listing() const {
        std::ifstream in(setup.listingName);
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    core::Status select(app::SelectionResult& result) {
        return app::SelectReactions(set->table, sel, streams, setup,
                                          [&](calc::Reaction& r) {
                                              calculated.push_back(r.number);
                                              texts.push_back(std::string(core::rtrim(r.text)));
                                              slopes.push_back(r.dPdT);
                                              return core::Status::success();
                                          },
                                          result);
    }

    fs::path dir;
    io::Streams streams;
    std::unique_ptr<PhaseSet> set;
    calc::PhaseSelection sel;
    calc::EnumerationResult enumerated;
    calc::ReactionList list;
    app::SelectionSetup setup;
    std::vector<int> calculated;
    std::vector<std::string> texts;
    std::vector<double> slopes;
};

// Ms, Qz, Kfs, Als and H2O on one line; the Ky-Sil transition on another.
constexpr const char* kCalibration =
    "*  Ms    Qz    Kfs   Als   H2O\n"
    "#  Ky    Sil\n";

TEST_F(SelectRun, ListingPutsSuggestedReactionsFirstWithTheirMark) {
    writeCalibration(kCalibration);
    app::SelectionResult result;
    ASSERT_TRUE(select(result));
    EXPECT_EQ(result.total, 6);
    EXPECT_EQ(result.suggested, 2);
    const std::vector<std::string> lines = listing();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], "    6/ 2=Total/Independent Equilibria: Select rxtns to compute (* = suggested)");
    EXPECT_EQ(lines[1], "  #     dH       dS      dV     dPdT    Equilibrium");
    // The first muscovite reaction takes the first line; the others find it used.
    EXPECT_EQ(lines[2].substr(0, 6), "   1: ");
    EXPECT_EQ(lines[2].substr(29), "* And + Kfs + H2O = Ms + Qz");
    EXPECT_EQ(lines[3].substr(29), "# Ky = Sil");
    // Ky = Sil from the data file: dH = 2 * 8129 / 10 / 100, dS = 2 * 13.5 / 10,
    // dV = 2 * 0.571 / 10, dP/dT = 13.5 / 0.571.
    EXPECT_EQ(lines[3].substr(4), ":  16.3  2.70  0.11  24. # Ky = Sil");
    for (std::size_t i = 4; i < lines.size(); ++i) EXPECT_EQ(lines[i].substr(28, 3), "   ") << lines[i];
    // Every reaction, in ascending order, in replay mode.
    EXPECT_THAT(calculated, ElementsAre(1, 2, 3, 4, 5, 6));
    const auto kySil = std::find(texts.begin(), texts.end(), "Ky = Sil");
    ASSERT_NE(kySil, texts.end());
    EXPECT_EQ(slopes[static_cast<std::size_t>(kySil - texts.begin())], 23.0);  // truncated
}

TEST_F(SelectRun, MissingCalibrationListSuggestsNothing) {
    app::SelectionResult result;
    ASSERT_TRUE(select(result));
    EXPECT_EQ(result.suggested, 0);
    const std::vector<std::string> lines = listing();
    ASSERT_EQ(lines.size(), 8u);
    for (std::size_t i = 2; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].substr(0, 4), core::formatInteger(static_cast<long long>(i - 1), 4));
}

TEST_F(SelectRun, ReplayWithLastReactionsOnlyMatchesPhaseSets) {
    std::vector<double> kySil(static_cast<std::size_t>(set->table.count)), other(kySil.size());
    kySil[1] = -3.0, kySil[2] = 3.0;   // Ky and Sil, whatever the coefficients
    other[0] = 1.0, other[1] = -1.0, other[2] = 1.0;  // no such reaction
    const std::vector<std::vector<double>> rows = {kySil, other};
    setup.lastReactionsOnly = true;
    setup.lastRows = rows;
    app::SelectionResult result;
    ASSERT_TRUE(select(result));
    EXPECT_THAT(texts, ElementsAre("Ky = Sil"));
}

TEST_F(SelectRun, ScreenChoiceOfSpecificLines) {
    writeCalibration(kCalibration);
    auto tk = ui::makeScriptedToolkitFromText(
        "screen REACTION SELECTION\n"
        "radio Calculate specific reactions\n"
        "select Reactions = 4; 2\n"
        "press Next\n",
        "select.ans");
    ui::PelkamScreens screens = ui::createPelkamScreens(*tk);
    setup.screens = &screens;
    app::SelectionResult result;
    ASSERT_TRUE(select(result));
    const int h = screens[ui::kReactionScreen];
    EXPECT_EQ(tk->getText(h, ui::kRxHeader1), "2 = # of independent equilibria");
    EXPECT_EQ(tk->getText(h, ui::kRxHeader2), "Eqm #    dH   dS    dV  dPdT ! Equilibrium");
    ASSERT_EQ(tk->listCount(h, ui::kRxList), 6);
    const std::vector<std::string> lines = listing();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(tk->listItem(h, ui::kRxList, i), lines[static_cast<std::size_t>(i + 2)]);
    EXPECT_EQ(tk->control(h, ui::kRxList)->extent, 1205);
    // List lines 2 and 4 hold the suggested Ky = Sil and the reaction listed
    // second among the others; the calculation goes in ascending order.
    long long second = 0, fourth = 0;
    core::parseIntegerField(lines[3].substr(0, 4), second);
    core::parseIntegerField(lines[5].substr(0, 4), fourth);
    std::vector<int> expected = {static_cast<int>(second), static_cast<int>(fourth)};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(calculated, expected);
    EXPECT_EQ(result.chosen, expected);
}

// Choices that would calculate nothing, and a "Reactions:" field that cannot
// be read, are refused on the input-error screen; the screen then comes back
// with its answers kept.  Each script ends with a choice that works.
TEST_F(SelectRun, RefusedChoicesComeBackToTheScreen) {
    struct Case {
        const char* name;
        const char* calibration;  // nullptr: no file
        const char* script;
        const char* message;      // on the input-error screen; empty: none shown
        std::vector<int> chosen;
    };
    const std::vector<Case> cases = {
        {"field and list together", kCalibration,
         "radio Calculate specific reactions\nset Reactions: = 1, 3-4\nselect Reactions = 6:\npress Next\n", "",
         {1, 3, 4, 6}},
        {"ranges in either order, blanks around the dash", nullptr,
         "radio Calculate specific reactions\nset Reactions: = 5 - 4;2\npress Next\n", "", {2, 4, 5}},
        {"nothing chosen", nullptr,
         "radio Calculate specific reactions\npress Next\nscreen Input error\npress Continue\n"
         "screen REACTION SELECTION\nset Reactions: = 2\npress Next\n",
         "no reactions chosen - try again", {2}},
        {"a number beyond the list", nullptr, "radio Calculate specific reactions\nset Reactions: = 2, 7\npress Next\n"
         "screen Input error\npress Continue\nscreen REACTION SELECTION\nset Reactions: = 2\npress Next\n",
         "reaction 7 is not in the list (1 to 6) - try again", {2}},
        {"not a number", nullptr, "radio Calculate specific reactions\nset Reactions: = 1 3x\npress Next\n"
         "screen Input error\npress Continue\nscreen REACTION SELECTION\nset Reactions: = 1 3\npress Next\n",
         "\"3x\" is not a reaction number or range (as in 1, 3-5) - try again", {1, 3}},
        {"suggested without a calibration list", nullptr,
         "radio Calculate only suggested reactions\npress Next\nscreen Input error\npress Continue\n"
         "screen REACTION SELECTION\nradio Calculate all reactions\npress Next\n",
         "no suggested reactions are known: rxtns_calib.dat is missing - try again", {1, 2, 3, 4, 5, 6}},
        {"suggested with an empty calibration list", "\n  \n",
         "radio Calculate only suggested reactions\npress Next\nscreen Input error\npress Continue\n"
         "screen REACTION SELECTION\nradio Calculate all reactions\npress Next\n",
         "no suggested reactions are known: rxtns_calib.dat is empty - try again", {1, 2, 3, 4, 5, 6}},
        {"suggested, but no reaction on the list", "*  Fo    Fa\n",
         "radio Calculate only suggested reactions\npress Next\nscreen Input error\npress Continue\n"
         "screen REACTION SELECTION\nradio Calculate all reactions\npress Next\n",
         "no suggested reactions: no listed reaction is in rxtns_calib.dat - try again", {1, 2, 3, 4, 5, 6}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(setup.calibrationName);
        if (c.calibration) writeCalibration(c.calibration);
        calculated.clear();
        auto tk = ui::makeScriptedToolkitFromText(std::string("screen REACTION SELECTION\n") + c.script,
                                                           "select.ans");
        ui::PelkamScreens screens = ui::createPelkamScreens(*tk);
        setup.screens = &screens;
        app::SelectionResult result;
        ASSERT_TRUE(select(result)) << tk->failure();
        // The message names the calibration list as the run was given it.
        std::string message = c.message;
        if (const auto at = message.find("rxtns_calib.dat"); at != std::string::npos)
            message.replace(at, 15, setup.calibrationName);
        EXPECT_EQ(core::rtrim(tk->getText(screens[ui::kInputErrorScreen], ui::kErrMessage)),
                  std::string_view(message).substr(0, 90));
        EXPECT_EQ(calculated, c.chosen);
    }
    EXPECT_EQ(app::noSuggestionsMessage(app::CalibrationState::Unreadable, "rxtns_calib.dat"),
              "no suggested reactions are known: rxtns_calib.dat cannot be read - try again");
}

TEST(ReactionNumbers, NumbersAndRangesAsTyped) {
    struct Case {
        const char* text;
        std::vector<int> numbers;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"", {}, ""},
        {"  ,, ", {}, ""},
        {"1, 3-5", {1, 3, 4, 5}, ""},
        {"12;1\t2", {12, 1, 2}, ""},
        {"4 -2", {2, 3, 4}, ""},
        {"30", {30}, ""},
        {"0", {}, "reaction 0 is not in the list (1 to 30) - try again"},
        {"2-31", {}, "reaction 31 is not in the list (1 to 30) - try again"},
        {"99999999999999", {}, "\"99999999999999\" is not a reaction number or range (as in 1, 3-5) - try again"},
        {"-3", {}, "\"-3\" is not a reaction number or range (as in 1, 3-5) - try again"},
        {"3-", {}, "\"3-\" is not a reaction number or range (as in 1, 3-5) - try again"},
        {"1.5", {}, "\"1.5\" is not a reaction number or range (as in 1, 3-5) - try again"},
        {"all", {}, "\"all\" is not a reaction number or range (as in 1, 3-5) - try again"},
        {"5 abcdefghijklmnopqrstuvwxyz", {},
         "\"abcdefghijklmnopq...\" is not a reaction number or range (as in 1, 3-5) - try again"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<int> numbers;
        const std::string message = app::parseReactionNumbers(c.text, 30, numbers);
        EXPECT_EQ(message, c.message);
        if (message.empty()) {
            EXPECT_EQ(numbers, c.numbers);
        }
        EXPECT_LE(message.size(), 90u);  // the width of the input-error screen's message
    }
    std::vector<int> none;
    EXPECT_EQ(app::parseReactionNumbers("1", 0, none), "reaction 1 is not in the list - try again");
}

TEST_F(SelectRun, ExitOnTheScreenQuits) {
    auto tk = ui::makeScriptedToolkitFromText("press Exit\n", "select.ans");
    ui::PelkamScreens screens = ui::createPelkamScreens(*tk);
    setup.screens = &screens;
    app::SelectionResult result;
    EXPECT_EQ(select(result).code, core::StatusCode::Quit);
    EXPECT_TRUE(calculated.empty());
}

}  // namespace
}  // namespace enumerate_test

namespace enumerate_test {
namespace {

TEST(SelectCap, OnlyTheFirst3000AreOfferedButReplayCalculatesAll) {
    // One component and 81 phases: every pair is a reaction (3240 of them).
    std::vector<Row> comp;
    for (int i = 0; i < 81; ++i) comp.push_back({static_cast<double>(i + 1)});
    auto set = madeUpPhases(comp);
    const calc::PhaseSelection sel = selectionFor(*set);
    io::Streams streams;
    calc::ReactionList list;
    calc::EnumerationOptions options;
    options.list = &list;
    calc::PrunedAssemblageList pruned;
    calc::EnumerationResult enumerated;
    ASSERT_TRUE(calc::EnumerateReactions(set->table, sel, pruned, options, nullptr, nullptr, enumerated));
    ASSERT_EQ(enumerated.found, 81 * 80 / 2);

    const fs::path dir = fs::temp_directory_path() / ("pelkam_cap_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    app::SelectionSetup setup;
    setup.list = &list;
    setup.listingName = (dir / "rxtns.lst").string();
    setup.calibrationName = (dir / "none.dat").string();
    app::SelectionResult result;
    std::vector<int> numbers;
    ASSERT_TRUE(app::SelectReactions(set->table, sel, streams, setup,
                                           [&](calc::Reaction& r) {
                                               numbers.push_back(r.number);
                                               return core::Status::success();
                                           },
                                           result));
    EXPECT_EQ(result.listed, 3000);
    ASSERT_EQ(numbers.size(), 3240u);
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
    std::ifstream in(setup.listingName);
    std::string first;
    std::getline(in, first);
    EXPECT_EQ(first.substr(0, 8), " 3000/80");
    long lines = 1;
    for (std::string l; std::getline(in, l);) ++lines;
    EXPECT_EQ(lines, 2 + 3000);

    // On the screen, "Calculate all reactions" calculates them all too, and a
    // header line says that only the first 3000 are listed.
    auto tk = ui::makeScriptedToolkitFromText(
        "screen REACTION SELECTION\nradio Calculate all reactions\npress Next\n", "cap.ans");
    ui::PelkamScreens screens = ui::createPelkamScreens(*tk);
    setup.screens = &screens;
    numbers.clear();
    ASSERT_TRUE(app::SelectReactions(set->table, sel, streams, setup,
                                           [&](calc::Reaction& r) {
                                               numbers.push_back(r.number);
                                               return core::Status::success();
                                           },
                                           result));
    EXPECT_EQ(numbers.size(), 3240u);
    const std::string note = tk->getText(screens[ui::kReactionScreen], ui::kRxHeader3);
    EXPECT_EQ(note, "Only the first 3000 of 3240 reactions are listed; \"Calculate all\" takes all");
    EXPECT_LE(note.size(), 76u);  // the width of the header line
    EXPECT_EQ(app::cappedListNote(6, 6), "");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace enumerate_test
