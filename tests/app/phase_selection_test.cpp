#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "app/model_screen.hpp"
#include "app/phase_selection.hpp"
#include "common/selection_harness.hpp"

using core::StatusCode;
using selection_test::SelectionRun;

namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

core::Status select(SelectionRun& r) {
    return app::runEndMemberSelection(r.screens, r.streams, r.settings, *r.phases, *r.sel, r.request);
}
// Runs the preparation in the run's own directory, where the composition
// files of the solution-model screen are looked for; `compositionFiles`
// puts the default ones there (the bundled example's compositions).
core::Status prepare(SelectionRun& r, bool compositionFiles = true) {
    if (compositionFiles) {
        const auto zun = selection_test::readLines(selection_test::bundled("example-pelite.zun"));
        std::string text;
        for (const auto& l : zun) text += l + "\n";
        for (const char* name : {"zuntest.zun", "zuntest.zu2"}) r.dir.write(name, text);
    }
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(r.dir.path);
    core::Status s = app::prepareSelectedPhases(r.screens, r.streams, r.settings, *r.phases, *r.system, *r.sel,
                                                *r.models, r.request);
    std::filesystem::current_path(cwd);
    r.prepared = true;
    r.solutionsChosen = s.ok();
    return s;
}
std::string phaseRecord(const char* code, const char* activity, const char* name) {
    return std::string(code) + activity + "     " + core::pad(name, 20);
}

// P-T, SI AL O: four phases chosen, one per kind of option.
const char* kFourPhases = R"(
screen End-member selection
select Phases = KYANITE; QUARTZ; SILLIMANITE; CORUNDUM
check Choose specific
press Next
# CORUNDUM, KYANITE, QUARTZ, SILLIMANITE: list order
screen Phase options
radio Include (all rxns)
set Activity of Phase: = 1
press Next
screen Phase options
radio Project
set Activity of Phase: = -2
press Next
screen Phase options
radio Do Not Project
set Activity of Phase: = 0.5
press Next
screen Phase options
radio Test (not in rxn)
press Next
)";

}  // namespace

TEST(EndMemberSelection, OptionCodesAndActivitiesFromTheScreens) {
    SelectionRun r;
    ASSERT_TRUE(r.load("SI AL O"));
    r.script(kFourPhases);
    ASSERT_TRUE(select(r).ok()) << r.tk->failure();
    const auto& s = *r.sel;
    EXPECT_TRUE(s.chooseReactions);
    EXPECT_EQ(s.optionCode[at(r.index("CORUNDUM"))], calc::kIncludeAll);
    EXPECT_EQ(s.optionCode[at(r.index("KYANITE"))], calc::kProject);
    EXPECT_EQ(s.optionCode[at(r.index("QUARTZ"))], calc::kTestOnly);
    EXPECT_EQ(s.optionCode[at(r.index("SILLIMANITE"))], calc::kPlain);
    EXPECT_EQ(s.optionCode[at(r.index("ANDALUSITE"))], calc::kExclude);
    // "1" reads as 1.0; "-2" is log10 a = -2 already; 0.5 is an activity.
    EXPECT_EQ(s.activity[at(r.index("CORUNDUM"))], 1.0);
    EXPECT_EQ(r.sel->logActivity[at(r.index("CORUNDUM"))], 0.0);
    EXPECT_EQ(r.sel->logActivity[at(r.index("KYANITE"))], -2.0);
    EXPECT_DOUBLE_EQ(r.sel->logActivity[at(r.index("QUARTZ"))], std::log10(0.5));
    // The phase name was the title line of the last options screen.
    EXPECT_EQ(r.tk->getText(r.screens[ui::kPhaseOptionsScreen], ui::kPoName), core::pad("SILLIMANITE", 20));
    // P-T: the diagram's x axis is temperature.
    const int em = r.screens[ui::kEndMemberScreen];
    EXPECT_EQ(r.tk->getText(em, ui::kEmXText), "TEMPERATURE");
    EXPECT_FALSE(r.tk->enabled(em, ui::kEmXText));

    const auto lines = r.restart();
    ASSERT_EQ(lines.size(), 12u);  // one record per loaded phase, no axis records
    EXPECT_EQ(lines[0], phaseRecord("1", " 0.10000D+01", "ANDALUSITE"));
    EXPECT_EQ(lines[2], phaseRecord("2", " 0.10000D+01", "CORUNDUM"));
    EXPECT_EQ(lines[5], phaseRecord("3", "-0.20000D+01", "KYANITE"));
    EXPECT_EQ(lines[6], phaseRecord("4", " 0.50000D+00", "QUARTZ"));
    EXPECT_EQ(lines[8], phaseRecord("5", " 0.10000D+01", "SILLIMANITE"));
}

TEST(EndMemberSelection, DefaultsAndIncludeAll) {
    SelectionRun r;
    ASSERT_TRUE(r.load("SI AL O"));
    // No phase-options screen is shown.
    r.script("check Include all\ncheck Use defaults\npress Next\n");
    ASSERT_TRUE(select(r).ok()) << r.tk->failure();
    for (int i = 0; i < r.phases->count; ++i) {
        EXPECT_EQ(r.sel->optionCode[at(i)], calc::kInclude);
        EXPECT_EQ(r.sel->activity[at(i)], 1.0);
        EXPECT_EQ(r.sel->logActivity[at(i)], 0.0);
    }
}

TEST(EndMemberSelection, UnreadableActivityIsAskedAgain) {
    SelectionRun r;
    ASSERT_TRUE(r.load("SI AL O"));
    r.script(
        "select Phases = QUARTZ; KYANITE\npress Next\n"
        "screen Phase options\npress Next\n"
        "screen Phase options\nset Activity of Phase: = abc\npress Next\n"
        "screen Input error\npress Continue\n"
        "screen Phase options\nset Activity of Phase: = 2\npress Next\n");
    ASSERT_TRUE(select(r).ok()) << r.tk->failure();
    EXPECT_EQ(r.sel->activity[at(r.index("QUARTZ"))], 2.0);
    EXPECT_DOUBLE_EQ(r.sel->logActivity[at(r.index("QUARTZ"))], std::log10(2.0));
}

// Fewer than two phases chosen on the screen: the message, then the screen
// again with the phases chosen so far still selected.
TEST(EndMemberSelection, FewerThanTwoPhasesAreChosenAgain) {
    SelectionRun r;
    ASSERT_TRUE(r.load("SI AL O"));
    r.script(
        "select Phases = QUARTZ\ncheck Use defaults\npress Next\n"
        "screen Input error\npress Continue\n"
        "screen End-member selection\nselect Phases = KYANITE\npress Next\n");
    ASSERT_TRUE(select(r).ok()) << r.tk->failure();
    EXPECT_EQ(r.tk->getText(r.screens[ui::kInputErrorScreen], ui::kErrMessage),
              core::pad("FEWER THAN TWO PHASES SELECTED - try again", 90));
    EXPECT_EQ(r.sel->optionCode[at(r.index("QUARTZ"))], calc::kInclude);
    EXPECT_EQ(r.sel->optionCode[at(r.index("KYANITE"))], calc::kInclude);
    EXPECT_EQ(r.sel->optionCode[at(r.index("CORUNDUM"))], calc::kExclude);
    EXPECT_EQ(r.restart().size(), static_cast<std::size_t>(r.phases->count));  // recorded once
}

TEST(EndMemberSelection, ExitEndsTheRun) {
    SelectionRun r;
    ASSERT_TRUE(r.load("SI AL O"));
    r.script("select Phases = QUARTZ\npress Next\nscreen Phase options\npress Exit\n");
    EXPECT_EQ(select(r).code, StatusCode::Quit);
}

TEST(EndMemberSelection, ReplayedRecordsGiveTheSameSelection) {
    SelectionRun first;
    ASSERT_TRUE(first.load("SI AL O"));
    first.script(kFourPhases);
    ASSERT_TRUE(select(first).ok());
    const auto written = first.restart();

    SelectionRun again;
    ASSERT_TRUE(again.load("SI AL O"));
    std::string text;
    for (const auto& l : written) text += l + "\n";
    again.replay(text);
    ASSERT_TRUE(select(again).ok());
    for (int i = 0; i < first.phases->count; ++i) {
        EXPECT_EQ(again.sel->optionCode[at(i)], first.sel->optionCode[at(i)]) << i;
        EXPECT_EQ(again.sel->logActivity[at(i)], first.sel->logActivity[at(i)]) << i;
    }
    EXPECT_EQ(again.restart(), written);
}

TEST(EndMemberSelection, ReplayErrors) {
    SelectionRun first;
    ASSERT_TRUE(first.load("SI AL O"));
    first.script(kFourPhases);
    ASSERT_TRUE(select(first).ok());
    auto lines = first.restart();

    // A phase name that is not the phase at that position.
    {
        SelectionRun r;
        ASSERT_TRUE(r.load("SI AL O"));
        auto bad = lines;
        bad[5] = phaseRecord("3", "-0.20000D+01", "KYANITEX");
        std::string text;
        for (const auto& l : bad) text += l + "\n";
        r.replay(text);
        core::Status s = select(r);
        EXPECT_EQ(s.code, StatusCode::Stop);
        EXPECT_EQ(s.line, 6);
        EXPECT_EQ(s.field, 3);
        ASSERT_GE(r.out.size(), 2u);
        EXPECT_EQ(r.out[r.out.size() - 2], " ***ERROR IN INPUT DATA, EXECUTION TERMINATED");
        EXPECT_NE(r.out.back().find("line 6, field 3"), std::string::npos) << r.out.back();
        EXPECT_NE(r.out.back().find("KYANITEX"), std::string::npos);
    }
    // The input ends among the records.
    {
        SelectionRun r;
        ASSERT_TRUE(r.load("SI AL O"));
        r.replay(lines[0] + "\n" + lines[1] + "\n");
        EXPECT_EQ(select(r).code, StatusCode::Stop);
        EXPECT_TRUE(r.said(" ***END OF FILE IN INPUT DATA,EXECUTION TERMINATED"));
    }
}

// Answers that would silently leave a phase out of every reaction, or give it
// unit activity, are refused: a fluid species with none of it in the fluid,
// and an activity typed as 0.  The screen comes back with the answers kept.
TEST(EndMemberSelection, FluidSpeciesWithoutFluidAndZeroActivitiesAreRefused) {
    struct Case {
        const char* name;
        double xH2O, xCO2;
        const char* script;
        const char* message;  // on the input-error screen; empty: none shown
    };
    const std::vector<Case> cases = {
        {"water without water in the fluid", 0, 0,
         "select Phases = QUARTZ; WATER\ncheck Use defaults\npress Next\n",
         "xH2O is 0: leave out WATER or give xH2O on the options screen"},
        {"CO2 with no CO2 in the fluid", 1, 0,
         "select Phases = QUARTZ; WATER; CARBON DIOXIDE\ncheck Use defaults\npress Next\n",
         "xCO2 is 0: leave out CARBON DIOXIDE or give xCO2 on the options screen"},
        {"water with water present", 1, 0, "select Phases = QUARTZ; WATER\ncheck Use defaults\npress Next\n", ""},
        {"activity 0 typed for a phase", 0, 0,
         "select Phases = QUARTZ; COESITE\npress Next\nscreen Phase options\npress Next\n"
         "screen Phase options\nset Activity of Phase: = 0\npress Next\nscreen Input error\npress Continue\n"
         "screen Phase options\nset Activity of Phase: = 1\npress Next\n",
         "activity 0 for QUARTZ: 1 is a pure phase, below 0 is log10 a - try again"},
        {"activity 0 as the default", 0, 0,
         "select Phases = QUARTZ; COESITE\ncheck Use defaults\npress Next\nscreen Input error\npress Continue\n"
         "screen End-member selection\ncheck Use defaults off\npress Next\nscreen Phase options\npress Next\n"
         "screen Phase options\npress Next\n",
         "activity 0 for the phase options screen: 1 is a pure phase, below 0 is log10 a - try again"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SelectionRun r;
        ASSERT_TRUE(r.load("SI O H C"));
        r.settings.xH2O = c.xH2O;
        r.settings.xCO2 = c.xCO2;
        r.script(c.script);
        if (std::string_view(c.name) == "activity 0 as the default")
            r.tk->setText(r.screens[ui::kPhaseOptionsScreen], ui::kPoActivity, "0");
        const core::Status s = select(r);
        if (std::string_view(c.name).find("fluid") != std::string_view::npos) {
            // The fluid is put right on the options screen: the run goes back there.
            EXPECT_EQ(s.code, StatusCode::Error);
            EXPECT_EQ(s.what, app::kFluidCompositionProblem);
            EXPECT_EQ(s.why, c.message);
            continue;
        }
        ASSERT_TRUE(s.ok()) << r.tk->failure();
        EXPECT_EQ(core::rtrim(r.tk->getText(r.screens[ui::kInputErrorScreen], ui::kErrMessage)),
                  c.message);
        EXPECT_EQ(r.sel->activity[at(r.index("QUARTZ"))], 1.0);
        EXPECT_EQ(r.sel->optionCode[at(r.index("QUARTZ"))], calc::kInclude);
    }

    // A replay stops with the message: the fluid of the replayed options
    // holds no water, or an activity of 0 was recorded.
    for (const char* activity : {" 0.10000D+01", " 0.00000D+00"}) {
        SCOPED_TRACE(activity);
        SelectionRun p;
        ASSERT_TRUE(p.load("SI O H C"));
        p.settings.xH2O = activity[3] == '0' ? 1.0 : 0.0;
        std::string text;
        for (int i = 0; i < p.phases->count; ++i) {
            const bool in = i == p.index("QUARTZ") || i == p.index("WATER");
            text += phaseRecord(in ? "0" : "1", in ? activity : " 0.10000D+01", (*p.phases)[i].name.c_str()) + "\n";
        }
        p.replay(text);
        core::Status s = select(p);
        EXPECT_EQ(s.code, StatusCode::Stop);
        ASSERT_FALSE(p.out.empty());
        if (activity[3] == '0') {
            EXPECT_NE(p.out.back().find("activity 0 for QUARTZ"), std::string::npos) << p.out.back();
            EXPECT_NE(p.out.back().find("field 2"), std::string::npos) << p.out.back();
        } else {
            EXPECT_EQ(p.out.back(), " xH2O is 0: leave out WATER or give xH2O on the options screen");
        }
    }
}

TEST(EndMemberSelection, FluidSpeciesAreProjectionPhasesOnXCO2Diagrams) {
    SelectionRun r;
    ASSERT_TRUE(r.load("SI", calc::kTX));
    r.script("select Phases = QUARTZ\ncheck Use defaults\npress Next\n");
    ASSERT_TRUE(select(r).ok()) << r.tk->failure();
    EXPECT_EQ(r.sel->optionCode[at(r.index("WATER"))], calc::kProject);
    EXPECT_EQ(r.sel->optionCode[at(r.index("CARBON DIOXIDE"))], calc::kProject);
    EXPECT_EQ(r.sel->optionCode[at(r.index("OXYGEN GAS"))], calc::kExclude);
    EXPECT_EQ(r.sel->waterIndex, r.index("WATER"));
    EXPECT_EQ(r.sel->co2Index, r.index("CARBON DIOXIDE"));

    // The same when replaying records that left them out.
    SelectionRun p;
    ASSERT_TRUE(p.load("SI", calc::kTX));
    std::string text;
    for (int i = 0; i < p.phases->count; ++i)
        text += phaseRecord(i == p.index("QUARTZ") ? "0" : "1", " 0.10000D+01", (*p.phases)[i].name.c_str()) + "\n";
    p.replay(text);
    ASSERT_TRUE(select(p).ok());
    EXPECT_EQ(p.sel->optionCode[at(p.index("WATER"))], calc::kProject);
    EXPECT_EQ(p.sel->optionCode[at(p.index("CARBON DIOXIDE"))], calc::kProject);
}

TEST(EndMemberSelection, ActivityAxisAskedAgainUntilRecognised) {
    SelectionRun r;
    ASSERT_TRUE(r.load("K NA AL SI O H", calc::kActT));
    r.script(
        "set X-axis = nosuch/quartz\nselect Phases = KYANITE; K-FELDSPAR\ncheck Use defaults\npress Next\n"
        "screen Input error\npress Continue\n"
        "screen End-member selection\nset X-axis = muscovite/quartz^3\npress Next\n");
    ASSERT_TRUE(select(r).ok()) << r.tk->failure();
    EXPECT_TRUE(r.said("Try again: cannot recognize"));
    EXPECT_EQ(r.tk->getText(r.screens[ui::kInputErrorScreen], ui::kErrMessage),
              core::pad("Cannot recognize X-axis variable-try again", 90));
    const auto& s = *r.sel;
    ASSERT_TRUE(s.hasXAxis);
    EXPECT_FALSE(s.hasYAxis);
    EXPECT_EQ(s.xAxis.phase[0], r.index("MUSCOVITE"));
    EXPECT_EQ(s.xAxis.exponent[1], -3);
    // Axis phases take part even when not chosen in the list.
    EXPECT_EQ(s.optionCode[at(r.index("MUSCOVITE"))], calc::kInclude);
    EXPECT_EQ(s.optionCode[at(r.index("QUARTZ"))], calc::kInclude);
    EXPECT_EQ(s.optionCode[at(r.index("ALBITE"))], calc::kExclude);
    const auto lines = r.restart();
    ASSERT_EQ(static_cast<int>(lines.size()), r.phases->count + 1);
    EXPECT_EQ(lines.back(), core::pad("muscovite/quartz^3", 45) + core::pad("X-AXIS VARIABLE", 25));

    // Replayed, an unknown axis stops the run.
    SelectionRun p;
    ASSERT_TRUE(p.load("K NA AL SI O H", calc::kActT));
    std::string text;
    for (std::size_t k = 0; k + 1 < lines.size(); ++k) text += lines[k] + "\n";
    p.replay(text + core::pad("muscovite/quartz^0", 45) + "X-AXIS VARIABLE\n");
    core::Status st = select(p);
    EXPECT_EQ(st.code, StatusCode::Stop);
    EXPECT_EQ(st.line, p.phases->count + 1);
}

// ---- Preparing the selected phases

namespace {

void chooseMicaRun(SelectionRun& r) {
    ASSERT_TRUE(r.load("K NA AL SI O H"));
    r.choose({{"ALBITE", calc::kInclude},
              {"MUSCOVITE", calc::kIncludeAll},
              {"PARAGONITE", calc::kIncludeAll},
              {"KYANITE", calc::kTestOnly},
              {"K-FELDSPAR", calc::kPlain},
              {"QUARTZ", calc::kProject},
              {"WATER", calc::kProject}});
    r.sel->waterIndex = r.index("WATER");
}

}  // namespace

TEST(PrepareSelectedPhases, CompactionNotesBasisAndModelChoice) {
    SelectionRun r;
    chooseMicaRun(r);
    const int quartzLambda = (*r.phases)[r.index("QUARTZ")].lambda[0];
    r.script(
        "screen Selection of Solution Models\nradio Select Individual Models\nradio YES 2\n"
        "set Variant 2 = IDEAL\npress Next\n");
    ASSERT_TRUE(prepare(r).ok()) << r.tk->failure();

    // Compaction: the code-4 phase behind the others, order kept.
    const char* order[] = {"ALBITE", "MUSCOVITE", "PARAGONITE", "K-FELDSPAR", "QUARTZ", "WATER", "KYANITE"};
    ASSERT_EQ(r.phases->count, 7);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(core::rtrim((*r.phases)[i].name), order[i]);
    const auto& s = *r.sel;
    EXPECT_EQ(s.mainCount, 6);
    EXPECT_EQ(s.testCount, 1);
    ASSERT_EQ(s.allReactionsCount, 2);
    EXPECT_EQ(s.allReactions[0], 1);
    EXPECT_EQ(s.allReactions[1], 2);
    ASSERT_EQ(s.projectionCount, 2);
    EXPECT_EQ(s.projection[0], 4);
    EXPECT_EQ(s.projection[1], 5);
    EXPECT_EQ(s.waterIndex, 5);
    EXPECT_EQ(s.optionCode[6], calc::kTestOnly);
    // Rows and transition records moved with their phases.
    const auto& kyanite = r.system->stoichiometry[6];
    EXPECT_EQ(kyanite[static_cast<std::size_t>(r.system->find("AL"))], 2.0);
    EXPECT_EQ(kyanite[static_cast<std::size_t>(r.system->find("O"))], 5.0);
    EXPECT_EQ((*r.phases)[4].lambda[0], quartzLambda);
    EXPECT_EQ(r.phases->lambda(quartzLambda).TTRAN, 848.0);
    // Projection phases first in the basis.
    EXPECT_EQ(s.basis.phase[0], 4);
    EXPECT_EQ(s.basis.phase[1], 5);

    // Solution models: PLAG (albite) in slot 1, MICA in slot 2; only MICA used.
    const model::CompositionSet& cs = r.models->composition;
    ASSERT_EQ(cs.slotCount, 2);
    EXPECT_EQ(core::rtrim(cs.slots[0].name), "Plagioclase");
    EXPECT_EQ(cs.slots[0].useFlag, 'N');
    EXPECT_EQ(cs.slots[1].useFlag, 'Y');
    EXPECT_EQ(cs.slots[1].variant, 1);
    EXPECT_TRUE(cs.anyModelUsed);
    EXPECT_EQ((*r.phases)[0].activityModel, 0);
    const int mica = cs.slots[1].model;
    EXPECT_EQ(r.models->models[at(mica - 1)].abbreviation, "MICA");
    EXPECT_EQ((*r.phases)[1].activityModel, mica);
    EXPECT_EQ((*r.phases)[1].activityEndMember, 1);
    EXPECT_EQ((*r.phases)[2].activityEndMember, 2);
    EXPECT_EQ((*r.phases)[3].activityModel, 0);
    EXPECT_TRUE(r.said(" 1: " + core::pad("Plagioclase", 25) + core::pad("No", 8)));
    EXPECT_TRUE(r.said(" 2: " + core::pad("White mica", 25) + "IDEAL   "));
    // Rows beyond the models are disabled.
    const int sm = r.screens[ui::kSolutionScreen];
    EXPECT_TRUE(r.tk->enabled(sm, ui::smRowControl(ui::kSmRowYes, 1)));
    EXPECT_FALSE(r.tk->enabled(sm, ui::smRowControl(ui::kSmRowYes, 2)));

    // The notes, then the composition file copied.
    const std::vector<std::string> master = r.master();
    const std::vector<std::string> notes = {
        "",
        " THE FOLLOWING PHASES ARE INCLUDED IN ALL REACTIONS:  MUSCOVITE           ",
        std::string(54, ' ') + "PARAGONITE          ",
        "",
        " THE DIAGRAM WILL BE CALCULATED AS A PROJECTION FROM THE FOLLOWING PHASES:  QUARTZ              ",
        "     WATER               "};
    ASSERT_GT(master.size(), notes.size() + 2);
    EXPECT_EQ(std::vector<std::string>(master.begin(), master.begin() + 6), notes);
    EXPECT_EQ(master[7], "**ZUN FILE BEGINS**");
    EXPECT_EQ(master[8], core::pad("GARN [-Gr-][-Py-][-Alm][-Sp-]  illustrative amphibolite-facies metapelite (not a measured analysis)", 80));
    // Only the used model's site fractions are read; the labels name the file and the model.
    const model::SolutionModel& micaModel = r.models->models[at(cs.slots[1].model - 1)];
    EXPECT_DOUBLE_EQ(micaModel.siteFractions[0][2], 0.17);
    EXPECT_DOUBLE_EQ(micaModel.siteFractions[2][0], 1.0);
    EXPECT_EQ(r.models->models[at(cs.slots[0].model - 1)].siteFractions[0][1], 0.0);
    ASSERT_EQ(cs.labelCount, 5);
    EXPECT_EQ(cs.labels[0], core::pad("zuntest.zun", 40));
    EXPECT_EQ(cs.labels[1], core::pad("MICA=IDEAL", 40));
    EXPECT_EQ(cs.labels[2], core::pad("QUARTZ=1.0", 40));

    const std::vector<std::string> restart = r.restart();
    const std::vector<std::string> expected = {
        core::pad("Temperature (C)", 80), core::pad("Pressure (bars)", 80),
        core::pad("zuntest.zun", 45) + core::pad("FILE OF MINERAL COMPS", 25),
        "N IDEAL    Plagioclase         ", "Y IDEAL    White mica          "};
    EXPECT_EQ(restart, expected);
}

TEST(PrepareSelectedPhases, AllModelsWithAChosenVariantAndNone) {
    {
        SelectionRun r;
        chooseMicaRun(r);
        r.settings.databaseVersion = 2;
        r.script("screen Selection of Solution Models\nset Variant 1 = FL88\npress Next\n");
        ASSERT_TRUE(prepare(r).ok()) << r.tk->failure();
        const model::CompositionSet& cs = r.models->composition;
        EXPECT_EQ(cs.slots[0].variant, 2);
        EXPECT_EQ(cs.slots[1].variant, 1);
        EXPECT_EQ(r.models->models[at(cs.slots[0].model - 1)].selectedMixingModel, 2);
        EXPECT_EQ((*r.phases)[0].activityModel, cs.slots[0].model);
        const auto restart = r.restart();
        ASSERT_EQ(restart.size(), 5u);
        EXPECT_EQ(restart[2], core::pad("zuntest.zu2", 45) + core::pad("FILE OF MINERAL COMPS", 25));
        EXPECT_EQ(restart[3], "Y FL88     Plagioclase         ");
    }
    {
        SelectionRun r;
        chooseMicaRun(r);
        r.script("screen Selection of Solution Models\nradio None\npress Next\n");
        ASSERT_TRUE(prepare(r).ok()) << r.tk->failure();
        EXPECT_FALSE(r.models->composition.anyModelUsed);
        for (int i = 0; i < r.phases->count; ++i) EXPECT_EQ((*r.phases)[i].activityModel, 0);
        const auto restart = r.restart();
        ASSERT_EQ(restart.size(), 5u);
        EXPECT_EQ(restart[2], std::string(45, ' ') + core::pad("FILE OF MINERAL COMPS", 25));
        EXPECT_EQ(restart[3], "N IDEAL    Plagioclase         ");
        EXPECT_EQ(restart[4], "N IDEAL    White mica          ");
    }
}

TEST(PrepareSelectedPhases, ReplayedModelChoice) {
    SelectionRun first;
    chooseMicaRun(first);
    first.script("screen Selection of Solution Models\nset Variant 1 = NCK80\npress Next\n");
    ASSERT_TRUE(prepare(first).ok()) << first.tk->failure();
    const auto written = first.restart();

    auto replayed = [&](std::vector<std::string> lines, SelectionRun& r) {
        chooseMicaRun(r);
        std::string text;
        for (const auto& l : lines) text += l + "\n";
        r.replay(text);
        r.script("");
        return prepare(r);
    };
    {
        SelectionRun r;
        ASSERT_TRUE(replayed(written, r).ok());
        EXPECT_EQ(r.models->composition.slots[0].variant, 3);
        EXPECT_EQ(r.models->composition.slots[1].variant, 1);
        EXPECT_EQ(r.restart(), written);
    }
    {
        SelectionRun r;
        auto bad = written;
        bad[3] = "Y FL99     Plagioclase         ";
        core::Status s = replayed(bad, r);
        EXPECT_EQ(s.code, StatusCode::Stop);
        EXPECT_EQ(s.line, 4);
        EXPECT_EQ(s.field, 2);
    }
    {
        SelectionRun r;
        auto bad = written;
        bad[4] = "Y IDEAL    Garnet              ";
        EXPECT_EQ(replayed(bad, r).code, StatusCode::Stop);
        EXPECT_EQ(r.out[r.out.size() - 2], " ***ERROR IN INPUT DATA, EXECUTION TERMINATED");
    }
}

// A composition file that is not there is said, never taken for a run of
// pure phases: on the screen (input-error screen, then the solution-model
// screen again), in a replay with a stop naming the file.
TEST(PrepareSelectedPhases, MissingCompositionFileIsSaid) {
    {
        SelectionRun r;
        chooseMicaRun(r);
        r.script(
            "screen Selection of Solution Models\npress Next\nscreen Input error\npress Continue\n"
            "screen Selection of Solution Models\nradio None\npress Next\n");
        ASSERT_TRUE(prepare(r, false).ok()) << r.tk->failure();
        EXPECT_EQ(core::rtrim(r.tk->getText(r.screens[ui::kInputErrorScreen], ui::kErrMessage)),
                  "Cannot open mineral compositions file - TRY AGAIN");
        EXPECT_TRUE(r.said(" Cannot open mineral compositions file zuntest.zun: no such file"));
        EXPECT_FALSE(r.models->composition.anyModelUsed);
    }
    {
        SelectionRun first;
        chooseMicaRun(first);
        first.script("screen Selection of Solution Models\npress Next\n");
        ASSERT_TRUE(prepare(first).ok()) << first.tk->failure();
        std::string text;
        for (const auto& l : first.restart()) text += l + "\n";
        SelectionRun r;
        chooseMicaRun(r);
        r.replay(text);
        r.script("");
        core::Status s = prepare(r, false);
        EXPECT_EQ(s.code, StatusCode::Stop);
        EXPECT_EQ(s.file, "zuntest.zun");
        EXPECT_TRUE(r.said(" Cannot open mineral compositions file zuntest.zun: no such file"));
    }
}

TEST(PrepareSelectedPhases, FewerThanTwoPhasesStop) {
    SelectionRun r;
    ASSERT_TRUE(r.load("SI AL O"));
    const int count = r.phases->count;
    r.choose({{"QUARTZ", calc::kInclude}});
    core::Status s = r.compact();
    EXPECT_EQ(s.code, StatusCode::Stop);
    EXPECT_EQ(r.out.size(), 1u);
    EXPECT_EQ(r.phases->count, count);
    // Two phases of which one is code 4 are enough.
    r.choose({{"QUARTZ", calc::kInclude}, {"COESITE", calc::kTestOnly}});
    EXPECT_TRUE(r.compact().ok());
}

TEST(PrepareSelectedPhases, ActivityListingHeading) {
    SelectionRun r;
    chooseMicaRun(r);
    r.settings.printActivitiesOn = true;
    r.script("screen Selection of Solution Models\nradio None\npress Next\n");
    const auto cwd = std::filesystem::current_path();
    std::filesystem::current_path(r.dir.path);
    core::Status s = prepare(r);
    r.streams.close(model::kUnitActivities);
    std::filesystem::current_path(cwd);
    ASSERT_TRUE(s.ok());
    const auto lines = selection_test::readLines(r.dir.file("activities"));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Activities at points on calculated equilibria:");
    EXPECT_EQ(lines[1], "Phase Component           P(bars)  T(C)    Gamma    Ideal Act     ");
}

TEST(PrepareSelectedPhases, CompositionFileDefaults) {
    app::RunSettings rs;
    EXPECT_EQ(app::defaultCompositionFileName(rs), "zuntest.zun");
    rs.databaseVersion = 1;
    EXPECT_EQ(app::defaultCompositionFileName(rs), "zuntest.zu1");
    rs.usePath = 'Y';
    rs.path = core::pad("runs/ pelite", 25);
    EXPECT_EQ(app::defaultCompositionFileName(rs), "runs/");
    rs.path = std::string(25, ' ');
    EXPECT_EQ(app::defaultCompositionFileName(rs), "zuntest.zu1");
}

TEST(PrepareSelectedPhases, AxisLabels) {
    calc::PhaseSelection s;
    calc::setAxisLabels(calc::kTX, s);
    EXPECT_EQ(core::rtrim(s.xLabel), "X (CO2)");
    EXPECT_EQ(core::rtrim(s.yLabel), "Temperature (C)");
    s.yAxis.label = core::pad(" Log a(an)", 100);
    s.xAxis.label = core::pad(" Log a(ab)", 100);
    calc::setAxisLabels(calc::kActAct, s);
    EXPECT_EQ(core::rtrim(s.xLabel), " Log a(ab)");
    EXPECT_EQ(core::rtrim(s.yLabel), " Log a(an)");
}
