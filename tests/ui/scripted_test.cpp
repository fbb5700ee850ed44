// The scripted backend: every directive, and the messages for lines that do
// not fit the screen being shown.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/pelkam_screens.hpp"
#include "ui/scripted.hpp"

namespace ui {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::StartsWith;

ControlDef def(int id, ControlKind kind, std::string caption, int group = 0, std::string initial = {},
               int width = 20) {
    ControlDef c;
    c.id = id;
    c.kind = kind;
    c.caption = std::move(caption);
    c.group = group;
    c.initial = std::move(initial);
    c.width = width;
    return c;
}

ScreenResource orderScreen() {
    ScreenResource r{42, "Order Form", "Shop: order", {}};
    r.controls.push_back(def(10, ControlKind::Static, "Your order"));
    r.controls.push_back(def(11, ControlKind::Edit, "Customer Name", 0, "", 12));
    r.controls.push_back(def(12, ControlKind::Edit, "Note", 0, "", 0));
    r.controls.push_back(def(21, ControlKind::Radio, "Red", 1, "1"));
    r.controls.push_back(def(22, ControlKind::Radio, "Blue", 1));
    r.controls.push_back(def(23, ControlKind::Radio, "K&J(81)", 2));
    r.controls.push_back(def(24, ControlKind::Radio, "K&J(81)", 3));
    r.controls.push_back(def(31, ControlKind::Check, "Gift wrap?"));
    r.controls.push_back(def(32, ControlKind::Check, "Express"));
    r.controls.push_back(def(41, ControlKind::ListMulti, "Phases", 0, "", 40));
    r.controls.push_back(def(42, ControlKind::ListSingle, "Size"));
    r.controls.push_back(def(43, ControlKind::DropDown, "Variant 1"));
    r.controls.push_back(def(60, ControlKind::Button, "Refresh"));
    ControlDef next = def(1, ControlKind::Button, "Next");
    next.isDefault = true;
    r.controls.push_back(next);
    r.controls.push_back(def(kExitControl, ControlKind::Button, "Exit"));
    return r;
}

struct Harness {
    std::ostringstream console;
    std::ostringstream trace;
    ScriptedToolkit tk;
    int s;

    explicit Harness(std::string script, std::string name = "")
        : tk(std::move(script), std::move(name), &console, &trace), s(tk.create(orderScreen())) {
        const char* phases[] = {"ALMANDINE", "ALMANDINE-H", "PYROPE", "GROSSULAR", "QUARTZ"};
        tk.setListCount(s, 41, 5);
        for (int i = 0; i < 5; ++i) tk.setListItem(s, 41, i, phases[i]);
        tk.setListCount(s, 42, 3);
        tk.setListItem(s, 42, 0, "small");
        tk.setListItem(s, 42, 1, "medium");
        tk.setListItem(s, 42, 2, "large");
        tk.setListCount(s, 43, 3);
        tk.setListItem(s, 43, 0, "GARN-A  garnet, ideal sites");
        tk.setListItem(s, 43, 1, "GARN-B  garnet, Margules");
        tk.setListItem(s, 43, 2, "OPX     orthopyroxene");
    }
    bool run() { return tk.runScreen(s); }
};

TEST(ScriptedDirectives, EveryDirectiveSetsItsControl) {
    Harness h(R"(# an order
screen Order Form

set Customer Name = Ann Smith
set "Note" =   "  two blanks kept  "
radio Blue
check "Gift wrap?"
check Express on
check Express off
select Phases = 3; almandine-h;  #5
select Size = med
set Variant 1 = 2
press Next
)");
    EXPECT_TRUE(h.run());
    EXPECT_EQ(h.tk.failure(), "");
    EXPECT_EQ(h.tk.getText(h.s, 11), "Ann Smith");
    EXPECT_EQ(h.tk.getText(h.s, 12), "  two blanks kept  ");
    EXPECT_TRUE(h.tk.getCheck(h.s, 22));
    EXPECT_FALSE(h.tk.getCheck(h.s, 21));
    EXPECT_TRUE(h.tk.getCheck(h.s, 31));
    EXPECT_FALSE(h.tk.getCheck(h.s, 32));
    EXPECT_THAT(h.tk.selectedIndices(h.s, 41), ElementsAre(1, 2, 4));
    EXPECT_EQ(h.tk.selectedIndex(h.s, 42), 1);
    EXPECT_EQ(h.tk.selectedIndex(h.s, 43), 1);
    EXPECT_TRUE(h.tk.finished());
}

TEST(ScriptedDirectives, ListItemsByTextPrefixNumberAndAll) {
    Harness h(R"(select Phases = ALMANDINE
select Size = #3
set Variant 1 = OPX
press Refresh
select Phases = all
press Refresh
clear Phases
select Phases = gross
clear Size
press Next
)");
    int refreshes = 0;
    std::vector<int> seen;
    h.tk.onCommand(h.s, 60, [&] {
        ++refreshes;
        seen = h.tk.selectedIndices(h.s, 41);
        if (refreshes == 1) {
            // An exact name wins over the longer name it begins.
            EXPECT_THAT(seen, ElementsAre(0));
            EXPECT_EQ(h.tk.selectedIndex(h.s, 42), 2);
            EXPECT_EQ(h.tk.selectedIndex(h.s, 43), 2);
        }
    });
    EXPECT_TRUE(h.run());
    EXPECT_EQ(h.tk.failure(), "");
    EXPECT_EQ(refreshes, 2);
    EXPECT_THAT(seen, ElementsAre(0, 1, 2, 3, 4));
    EXPECT_THAT(h.tk.selectedIndices(h.s, 41), ElementsAre(3));
    EXPECT_EQ(h.tk.selectedIndex(h.s, 42), -1);
}

TEST(ScriptedDirectives, ControlsByIdAndScreenByNumberOrTitle) {
    Harness h(R"(screen 42
screen shop: ORDER
screen order
set 11 = Bo
radio 24
press 1
)");
    EXPECT_TRUE(h.run());
    EXPECT_EQ(h.tk.failure(), "");
    EXPECT_EQ(h.tk.getText(h.s, 11), "Bo");
    EXPECT_TRUE(h.tk.getCheck(h.s, 24));
    EXPECT_FALSE(h.tk.getCheck(h.s, 23));
}

TEST(ScriptedDirectives, CommentsBlankLinesAndCarriageReturns) {
    Harness h("   # indented comment\r\n\r\n\tset Note = x # not a comment\r\n  press Next\r\n");
    EXPECT_TRUE(h.run());
    EXPECT_EQ(h.tk.getText(h.s, 12), "x # not a comment");
}

TEST(ScriptedDirectives, PressExitEndsTheProgramWithoutFailure) {
    Harness h("set Note = a\npress Exit\nset Note = b\n");
    EXPECT_FALSE(h.run());
    EXPECT_TRUE(h.tk.programEnded());
    EXPECT_EQ(h.tk.failure(), "");
    EXPECT_EQ(h.tk.getText(h.s, 12), "a");
    EXPECT_FALSE(h.tk.finished());
}

TEST(ScriptedDirectives, ScreensAnswerInTurn) {
    std::ostringstream console;
    ScriptedToolkit tk(R"(screen First
set Note = one
press Next
screen Second
set Note = two
press Next
)",
                       "", &console);
    ScreenResource a = orderScreen();
    a.name = "First";
    ScreenResource b = orderScreen();
    b.name = "Second";
    int sa = tk.create(a);
    int sb = tk.create(b);
    EXPECT_TRUE(tk.runScreen(sa));
    EXPECT_TRUE(tk.runScreen(sb));
    EXPECT_EQ(tk.getText(sa, 12), "one");
    EXPECT_EQ(tk.getText(sb, 12), "two");
}

TEST(ScriptedConsole, AnswersAndConsoleLines) {
    Harness h("answer   0.500000  0.010000\nanswer \" quoted \"\nanswer\npress Next\n");
    std::string a;
    ASSERT_TRUE(h.tk.promptLine(" Geotherm: input d1 and d2 ", a));
    EXPECT_EQ(a, "  0.500000  0.010000") << "leading blanks after the separating blank count";
    ASSERT_TRUE(h.tk.promptLine("again", a));
    EXPECT_EQ(a, " quoted ");
    ASSERT_TRUE(h.tk.promptLine("again", a));
    EXPECT_EQ(a, "");
    h.tk.consoleLine("1: GARNET");
    h.tk.consoleLine("2: OPX");
    EXPECT_EQ(h.console.str(), "1: GARNET\n2: OPX\n");
    EXPECT_TRUE(h.run());
}

TEST(ScriptedConsole, QuestionWithoutAnswerLineFails) {
    Harness h("press Next\n");
    std::string a = "unchanged";
    EXPECT_FALSE(h.tk.promptLine(" Geotherm: input d1 and d2 ", a));
    EXPECT_EQ(a, "unchanged");
    EXPECT_EQ(h.tk.failure(),
              "answer script line 1 (\"press Next\") does not fit the console question \"Geotherm: input d1 and d2\": "
              "an answer line is needed");
    EXPECT_TRUE(h.tk.programEnded());

    Harness end("");
    EXPECT_FALSE(end.tk.promptLine("Q?", a));
    EXPECT_THAT(end.tk.failure(), HasSubstr("answer script ended while the console asks \"Q?\""));
}

TEST(ScriptedTrace, ShownScreensAndLinesAreTraced) {
    Harness h("set Note = x\npress Next\n");
    EXPECT_TRUE(h.run());
    EXPECT_THAT(h.trace.str(), HasSubstr("screen 42 \"Order Form\" (Shop: order) shown"));
    EXPECT_THAT(h.trace.str(), HasSubstr("script line 2: press Next"));
}

// The message a misfit line gives, from running the order screen once.
std::string misfit(const std::string& script) {
    Harness h(script);
    EXPECT_FALSE(h.run()) << script;
    EXPECT_TRUE(h.tk.programEnded());
    return h.tk.failure();
}

TEST(ScriptedMisfits, MessageNamesLineScreenAndReason) {
    Harness h("# files\n\nset Foo = 1\npress Next\n", "run.ans");
    EXPECT_FALSE(h.run());
    EXPECT_EQ(h.tk.failure(),
              "answer script line 3 (\"set Foo = 1\") does not fit screen \"Order Form\": no control \"Foo\" "
              "(in run.ans)");
}

TEST(ScriptedMisfits, EachKindOfMisfit) {
    struct Case {
        const char* script;
        const char* message;
    };
    const Case cases[] = {
        {"check Nothing\n", "line 1 (\"check Nothing\") does not fit screen \"Order Form\": no control \"Nothing\""},
        {"radio K&J(81)\n", "\"K&J(81)\" names 2 controls; give the control's number"},
        {"radio E\n", "\"E\" names 2 controls"},
        {"check Red\n", "\"Red\" is a radio button, not a check box"},
        {"radio Express\n", "\"Express\" is a check box, not a radio button"},
        {"set Your order = x\n", "\"Your order\" is a static text, not an edit field or a drop-down list"},
        {"press Note\n", "\"Note\" is an edit field, not a button"},
        {"select Note = 1\n", "\"Note\" is an edit field, not a list"},
        {"clear Red\n", "\"Red\" is a radio button, not a list"},
        {"set Customer Name = Bartholomew Q\n", "the text has 13 characters; field \"Customer Name\" takes 12"},
        {"select Phases = 6\n", "list \"Phases\" has no item 6 (it has 5)"},
        {"select Phases = 0\n", "list \"Phases\" has no item 0 (it has 5)"},
        {"select Phases = KYANITE\n", "no item \"KYANITE\" in list \"Phases\""},
        {"select Phases = AL\n", "\"AL\" fits 2 items of list \"Phases\""},
        {"select Size = 1; 2\n", "\"Size\" takes only one item"},
        {"select Size = all\n", "\"Size\" takes only one item"},
        {"screen Global Options\n",
         "line 1 (\"screen Global Options\") does not fit screen \"Order Form\": the screen shown is not \"Global "
         "Options\""},
        {"screen 41\n", "the screen shown is not \"41\""},
        {"answer 1.0 2.0\n", "line 1 (\"answer 1.0 2.0\") does not fit screen \"Order Form\": an answer line, but "
                             "the screen waits for its controls"},
        {"set Note = a\n", "answer script ended after line 1 while screen \"Order Form\" waits for input"},
        {"", "answer script ended while screen \"Order Form\" waits for input"},
    };
    for (const Case& c : cases) EXPECT_THAT(misfit(c.script), HasSubstr(c.message)) << c.script;
}

// A script that stops on a message screen (the input-error screen) says
// what the screen says, whether a line does not fit or the script ends.
TEST(ScriptedMisfits, StopOnAMessageScreenGivesItsMessage) {
    for (const char* script : {"press Next\n", ""}) {
        ScriptedToolkit tk(script, "run.ans");
        PelkamScreens s = createPelkamScreens(tk);
        EXPECT_FALSE(showInputError(s, "missing decimal point in P-T values - try again"));
        EXPECT_THAT(tk.failure(), HasSubstr("screen \"Input error\""));
        EXPECT_THAT(tk.failure(), HasSubstr("(in run.ans)\n  the screen \"OOPS! Input error somewhere!\" says: "
                                            "missing decimal point in P-T values - try again"))
            << script;
    }
    // Other screens have no message to add.
    Harness h("");
    EXPECT_FALSE(h.run());
    EXPECT_THAT(h.tk.failure(), ::testing::Not(HasSubstr("says")));
}

TEST(ScriptedMisfits, DisabledControlCannotBeChanged) {
    for (const char* line : {"set Note = x\n", "press Refresh\n", "radio Blue\n", "select Phases = 1\n"}) {
        Harness h(line);
        h.tk.enable(h.s, 12, false);
        h.tk.enable(h.s, 60, false);
        h.tk.enable(h.s, 22, false);
        h.tk.enable(h.s, 41, false);
        EXPECT_FALSE(h.run());
        EXPECT_THAT(h.tk.failure(), HasSubstr("is disabled")) << line;
    }
}

TEST(ScriptedMisfits, FailedSelectionChangesNothing) {
    Harness h("select Phases = 1; KYANITE\n");
    EXPECT_FALSE(h.run());
    EXPECT_THAT(h.tk.selectedIndices(h.s, 41), IsEmpty());
}

TEST(ScriptedSyntax, UnreadableLinesAreReportedBeforeAnyScreen) {
    struct Case {
        const char* script;
        const char* message;
    };
    const Case cases[] = {
        {"set Note = a\nfrobnicate X\n", "line 2 (\"frobnicate X\") cannot be read: unknown directive \"frobnicate\""},
        {"set Note a\n", "'=' is missing after \"Note a\""},
        {"set = a\n", "the control name is missing"},
        {"press \"Next\n", "the closing '\"' of the name is missing"},
        {"press \"Next\" now\n", "unexpected text after the name: \"now\""},
        {"check \"Express\" maybe\n", "\"maybe\" is neither on nor off"},
        {"screen\n", "the screen name is missing"},
        {"select Phases =\n", "no item is named after '='"},
        {"radio\n", "the control name is missing"},
    };
    for (const Case& c : cases) {
        Harness h(c.script);
        EXPECT_THAT(h.tk.syntaxError(), HasSubstr(c.message)) << c.script;
        EXPECT_FALSE(h.run());
        EXPECT_EQ(h.tk.failure(), h.tk.syntaxError());
        EXPECT_EQ(h.tk.getText(h.s, 12), "") << "no line was applied";
    }
}

TEST(ScriptedSyntax, CheckCaptionEndingInOnOrOff) {
    ScriptedToolkit tk("check Lights on\ncheck \"Lights on\" off\ncheck on\npress Next\n", "");
    ScreenResource r = orderScreen();
    r.controls.push_back(def(70, ControlKind::Check, "Lights on"));
    r.controls.push_back(def(71, ControlKind::Check, "on"));
    int s = tk.create(r);
    EXPECT_TRUE(tk.runScreen(s)) << tk.failure();
    EXPECT_FALSE(tk.getCheck(s, 70));
    EXPECT_TRUE(tk.getCheck(s, 71));
}

class ScriptFile : public ::testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("pelkam_dialogs_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name) << text;
        return (dir / name).string();
    }
};

TEST_F(ScriptFile, LoadsAndRunsTheCalculatorScreens) {
    std::string path = write("run.ans", R"(screen Batch Run
check Batch Run? off
press Continue
screen Global Options
set Mineral Data = DEC06.DAT
set "Master Output" = "  summary.dat"
check Use path?
radio Yes, w. last
press Next
screen Selection of Diagram Variables
radio Act-Act
press Next
screen Global Options
radio 331
radio FULL NAMES
press Next
screen input error
press Quit
)");
    std::string error;
    std::unique_ptr<Toolkit> tk = makeScriptedToolkit(path, &error);
    ASSERT_NE(tk, nullptr) << error;
    PelkamScreens s = createPelkamScreens(*tk);
    EXPECT_TRUE(tk->runScreen(s[kBatchScreen]));
    EXPECT_FALSE(tk->getCheck(s[kBatchScreen], kBatchCheck));
    EXPECT_TRUE(tk->runScreen(s[kFilesScreen]));
    EXPECT_EQ(tk->getText(s[kFilesScreen], kFilesMineral), "DEC06.DAT");
    EXPECT_EQ(tk->getText(s[kFilesScreen], kFilesMaster), "  summary.dat");
    EXPECT_TRUE(tk->getCheck(s[kFilesScreen], kFilesUsePath));
    EXPECT_TRUE(tk->getCheck(s[kFilesScreen], kFilesRestartLast));
    EXPECT_FALSE(tk->getCheck(s[kFilesScreen], kFilesRestartNo));
    EXPECT_TRUE(tk->runScreen(s[kDiagramScreen]));
    EXPECT_TRUE(tk->getCheck(s[kDiagramScreen], kDiagActAct));
    EXPECT_TRUE(tk->runScreen(s[kOptionsScreen]));
    EXPECT_TRUE(tk->getCheck(s[kOptionsScreen], kOptCO2Routine3));
    EXPECT_TRUE(tk->getCheck(s[kOptionsScreen], kOptFullNames));
    EXPECT_FALSE(showInputError(s, "min & max reversed - try again"));
    EXPECT_TRUE(tk->programEnded());
    EXPECT_EQ(tk->failure(), "");
}

TEST_F(ScriptFile, OptionsScreenSharedCaptionNeedsAnId) {
    std::string path = write("run.ans", "radio H&P(90)\npress Next\n");
    std::string error;
    std::unique_ptr<Toolkit> tk = makeScriptedToolkit(path, &error);
    ASSERT_NE(tk, nullptr) << error;
    PelkamScreens s = createPelkamScreens(*tk);
    EXPECT_FALSE(tk->runScreen(s[kOptionsScreen]));
    EXPECT_THAT(tk->failure(), StartsWith("answer script line 1 (\"radio H&P(90)\") does not fit screen "
                                          "\"Global Options\": \"H&P(90)\" names 3 controls"));
    EXPECT_THAT(tk->failure(), HasSubstr("(in " + path + ")"));
}

TEST_F(ScriptFile, UnreadableFilesAndLinesAreRefused) {
    std::string error;
    EXPECT_EQ(makeScriptedToolkit((dir / "missing.ans").string(), &error), nullptr);
    EXPECT_THAT(error, HasSubstr("cannot open answer script"));
    EXPECT_THAT(error, HasSubstr("missing.ans"));

    error.clear();
    EXPECT_EQ(makeScriptedToolkit(dir.string(), &error), nullptr);
    EXPECT_THAT(error, HasSubstr("is a directory"));

    error.clear();
    std::string bad = write("bad.ans", "press Next\npres Next\n");
    EXPECT_EQ(makeScriptedToolkit(bad, &error), nullptr);
    EXPECT_EQ(error, "answer script line 2 (\"pres Next\") cannot be read: unknown directive \"pres\" (in " + bad + ")");
}

TEST(ScriptedFactory, FromTextReportsUnreadableLinesAtFirstInput) {
    std::unique_ptr<Toolkit> tk = makeScriptedToolkitFromText("bogus line\n", "inline");
    ASSERT_NE(tk, nullptr);
    int s = tk->create(orderScreen());
    EXPECT_FALSE(tk->runScreen(s));
    EXPECT_THAT(tk->failure(), HasSubstr("unknown directive \"bogus\" (in inline)"));
}

}  // namespace
}  // namespace ui
