// Control state and message-loop semantics of the toolkit base, driven by a
// backend that replays a queue of messages.
#include <deque>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui/toolkit.hpp"

namespace ui {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class QueueToolkit : public Toolkit {
public:
    std::deque<Message> inputs;
    std::vector<int> askedFor;  // the screen each input was asked for
    int changes = 0;

    bool promptLine(std::string_view, std::string&) override { return false; }
    void consoleLine(std::string_view) override {}

    void press(int control) {
        Message m;
        m.type = Message::Type::Command;
        m.control = control;
        inputs.push_back(m);
    }
    void closeWindow() {
        Message m;
        m.type = Message::Type::Close;
        inputs.push_back(m);
    }

protected:
    bool nextInput(int screen, Message& m) override {
        askedFor.push_back(screen);
        if (inputs.empty()) return false;
        m = inputs.front();
        inputs.pop_front();
        return true;
    }
    void changed(int) override { ++changes; }
};

ControlDef def(int id, ControlKind kind, std::string caption, int group = 0, std::string initial = {}) {
    ControlDef c;
    c.id = id;
    c.kind = kind;
    c.caption = std::move(caption);
    c.group = group;
    c.initial = std::move(initial);
    c.width = 20;
    return c;
}

ScreenResource form() {
    ScreenResource r{7, "Form", "Test", {}};
    r.controls.push_back(def(10, ControlKind::Static, "Heading"));
    r.controls.push_back(def(11, ControlKind::Edit, "Amount", 0, "12"));
    r.controls.push_back(def(21, ControlKind::Radio, "Red", 1, "1"));
    r.controls.push_back(def(22, ControlKind::Radio, "Green", 1));
    r.controls.push_back(def(23, ControlKind::Radio, "Blue", 1));
    r.controls.push_back(def(31, ControlKind::Radio, "Small", 2, "1"));
    r.controls.push_back(def(32, ControlKind::Radio, "Large", 2));
    r.controls.push_back(def(41, ControlKind::Check, "Loud", 0, "1"));
    r.controls.push_back(def(42, ControlKind::Check, "Quiet"));
    r.controls.push_back(def(51, ControlKind::ListSingle, "One"));
    r.controls.push_back(def(52, ControlKind::ListMulti, "Many"));
    r.controls.push_back(def(53, ControlKind::DropDown, "Pick"));
    r.controls.push_back(def(60, ControlKind::Button, "Apply"));
    ControlDef next = def(1, ControlKind::Button, "Next");
    next.isDefault = true;
    r.controls.push_back(next);
    r.controls.push_back(def(kExitControl, ControlKind::Button, "Exit"));
    return r;
}

TEST(ToolkitControls, CreateTakesInitialValuesFromTheResource) {
    QueueToolkit tk;
    int a = tk.create(form());
    int b = tk.create(form());
    EXPECT_NE(a, b);
    EXPECT_EQ(tk.getText(a, 10), "Heading");
    EXPECT_EQ(tk.getText(a, 11), "12");
    EXPECT_TRUE(tk.getCheck(a, 21));
    EXPECT_FALSE(tk.getCheck(a, 22));
    EXPECT_TRUE(tk.getCheck(a, 41));
    EXPECT_FALSE(tk.getCheck(a, 42));
    EXPECT_EQ(tk.selectedIndex(a, 51), -1);
    // Screens keep separate values.
    tk.setText(a, 11, "x");
    EXPECT_EQ(tk.getText(b, 11), "12");
    // Unknown screens and controls are harmless.
    EXPECT_EQ(tk.getText(99, 11), "");
    EXPECT_EQ(tk.getText(a, 999), "");
    tk.setText(-1, 11, "x");
    tk.setCheck(a, 999, true);
    EXPECT_FALSE(tk.getCheck(a, 999));
}

TEST(ToolkitControls, RadioButtonsExcludeOnlyTheirOwnGroup) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.setCheck(s, 23, true);
    EXPECT_FALSE(tk.getCheck(s, 21));
    EXPECT_FALSE(tk.getCheck(s, 22));
    EXPECT_TRUE(tk.getCheck(s, 23));
    EXPECT_TRUE(tk.getCheck(s, 31)) << "another group is untouched";
    tk.setCheck(s, 32, true);
    EXPECT_TRUE(tk.getCheck(s, 23));
    EXPECT_FALSE(tk.getCheck(s, 31));
    // Clearing a radio does not set another.
    tk.setCheck(s, 23, false);
    EXPECT_FALSE(tk.getCheck(s, 21) || tk.getCheck(s, 22) || tk.getCheck(s, 23));
    // Check boxes are independent.
    tk.setCheck(s, 42, true);
    EXPECT_TRUE(tk.getCheck(s, 41));
}

TEST(ToolkitControls, ResourceWithTwoSetRadiosKeepsTheFirst) {
    QueueToolkit tk;
    ScreenResource r = form();
    r.controls[4].initial = "1";  // "Blue" as well as "Red"
    int s = tk.create(r);
    EXPECT_TRUE(tk.getCheck(s, 21));
    EXPECT_FALSE(tk.getCheck(s, 23));
}

TEST(ToolkitControls, GetIntReadsWholeNumbersOnly) {
    QueueToolkit tk;
    int s = tk.create(form());
    bool ok = false;
    struct Case {
        const char* text;
        bool ok;
        long value;
    };
    for (Case c : {Case{" 42 ", true, 42}, Case{"-7", true, -7}, Case{"+3", true, 3}, Case{"0", true, 0},
                   Case{"", false, 0}, Case{"  ", false, 0}, Case{"4 2", false, 0}, Case{"12abc", false, 0},
                   Case{"1.5", false, 0}, Case{"-", false, 0}, Case{"99999999999999999999999", false, 0}}) {
        tk.setText(s, 11, c.text);
        long v = tk.getInt(s, 11, &ok);
        EXPECT_EQ(ok, c.ok) << '"' << c.text << '"';
        EXPECT_EQ(v, c.value) << '"' << c.text << '"';
    }
    tk.setInt(s, 11, -250);
    EXPECT_EQ(tk.getText(s, 11), "-250");
}

TEST(ToolkitLists, SingleListKeepsOneChosenItem) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.setListCount(s, 51, 5);
    for (int i = 0; i < 5; ++i) tk.setListItem(s, 51, i, "item " + std::to_string(i));
    EXPECT_EQ(tk.listCount(s, 51), 5);
    EXPECT_EQ(tk.listItem(s, 51, 3), "item 3");
    tk.setSelection(s, 51, 3);
    tk.setSelection(s, 51, 1);
    EXPECT_EQ(tk.selectedIndex(s, 51), 1);
    EXPECT_THAT(tk.selectedIndices(s, 51), ElementsAre(1));
    EXPECT_EQ(tk.getText(s, 51), "item 1");
    // Out of range is ignored; deselecting another index keeps the choice.
    tk.setSelection(s, 51, 7);
    tk.setSelection(s, 51, 4, false);
    EXPECT_EQ(tk.selectedIndex(s, 51), 1);
    // Shrinking below the chosen item drops the choice.
    tk.setListCount(s, 51, 4);
    EXPECT_EQ(tk.selectedIndex(s, 51), 1);
    tk.setListCount(s, 51, 1);
    EXPECT_EQ(tk.selectedIndex(s, 51), -1);
    EXPECT_EQ(tk.listItem(s, 51, 3), "");
}

TEST(ToolkitLists, MultiListSelectsSeveralAndAll) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.setListCount(s, 52, 4);
    tk.setSelection(s, 52, 3);
    tk.setSelection(s, 52, 1);
    EXPECT_THAT(tk.selectedIndices(s, 52), ElementsAre(1, 3));
    EXPECT_EQ(tk.selectedIndex(s, 52), 1);
    tk.setSelection(s, 52, 3, false);
    EXPECT_THAT(tk.selectedIndices(s, 52), ElementsAre(1));
    tk.setSelection(s, 52, -1, true);
    EXPECT_THAT(tk.selectedIndices(s, 52), ElementsAre(0, 1, 2, 3));
    tk.setSelection(s, 52, -1, false);
    EXPECT_THAT(tk.selectedIndices(s, 52), IsEmpty());
    // Setting an item past the end grows the list.
    tk.setListItem(s, 52, 6, "late");
    EXPECT_EQ(tk.listCount(s, 52), 7);
    EXPECT_EQ(tk.listItem(s, 52, 6), "late");
    tk.setSelection(s, 52, 6);
    EXPECT_THAT(tk.selectedIndices(s, 52), ElementsAre(6));
}

TEST(ToolkitLists, DropDownTextIsTheChosenItem) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.setListCount(s, 53, 3);
    tk.setListItem(s, 53, 0, "alpha");
    tk.setListItem(s, 53, 1, "beta");
    tk.setListItem(s, 53, 2, "gamma");
    EXPECT_EQ(tk.getText(s, 53), "");
    tk.setText(s, 53, "gamma");
    EXPECT_EQ(tk.selectedIndex(s, 53), 2);
    EXPECT_EQ(tk.getText(s, 53), "gamma");
    tk.setText(s, 53, "delta");  // no such item: the choice stays
    EXPECT_EQ(tk.selectedIndex(s, 53), 2);
}

TEST(ToolkitControls, FindControlByIdCaptionCaseAndPrefix) {
    QueueToolkit tk;
    int s = tk.create(form());
    ASSERT_NE(tk.findControl(s, "41"), nullptr);
    EXPECT_EQ(tk.findControl(s, "41")->def.caption, "Loud");
    EXPECT_EQ(tk.findControl(s, "Green")->def.id, 22);
    EXPECT_EQ(tk.findControl(s, "green")->def.id, 22);
    EXPECT_EQ(tk.findControl(s, "Gr")->def.id, 22);
    EXPECT_EQ(tk.findControl(s, "  Blue ")->def.id, 23);
    EXPECT_EQ(tk.findControl(s, "Purple"), nullptr);
    EXPECT_EQ(tk.findControl(s, ""), nullptr);
    // "L" starts both "Large" and "Loud".
    EXPECT_EQ(tk.findControl(s, "L"), nullptr);
    EXPECT_EQ(tk.findControls(s, "L").size(), 2u);
}

TEST(ToolkitControls, ExactCaptionWinsOverPrefix) {
    QueueToolkit tk;
    ScreenResource r{1, "S", "T", {}};
    r.controls.push_back(def(1, ControlKind::Radio, "No", 1));
    r.controls.push_back(def(2, ControlKind::Radio, "None", 1));
    int s = tk.create(r);
    EXPECT_EQ(tk.findControl(s, "No")->def.id, 1);
    EXPECT_EQ(tk.findControl(s, "NON")->def.id, 2);
}

TEST(ToolkitControls, ChangedIsReportedOnlyForVisibleScreens) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.setText(s, 11, "1");
    EXPECT_EQ(tk.changes, 0);
    tk.show(s, 1);
    tk.setText(s, 11, "2");
    tk.setCheck(s, 42, true);
    tk.enable(s, 11, false);
    EXPECT_EQ(tk.changes, 3);
    EXPECT_FALSE(tk.enabled(s, 11));
}

TEST(ToolkitLoop, DefaultButtonClosesTheScreen) {
    QueueToolkit tk;
    int s = tk.create(form());
    int applied = 0;
    tk.onCommand(s, 60, [&] { ++applied; });
    tk.press(60);  // not the default: the loop goes on
    tk.press(1);
    EXPECT_TRUE(tk.runScreen(s));
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(tk.screenState(s)->visible);
    EXPECT_FALSE(tk.programEnded());
    EXPECT_THAT(tk.askedFor, ElementsAre(s, s));
    EXPECT_TRUE(tk.failure().empty());
}

TEST(ToolkitLoop, ExitControlEndsTheProgram) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.press(kExitControl);
    tk.press(1);  // never read
    EXPECT_FALSE(tk.runScreen(s));
    EXPECT_TRUE(tk.programEnded());
    EXPECT_EQ(tk.inputs.size(), 1u);
    // Once the program has ended no further input is asked for.
    EXPECT_FALSE(tk.runScreen(s));
    EXPECT_EQ(tk.inputs.size(), 1u);
}

TEST(ToolkitLoop, ExitAsDefaultButtonStillEndsTheProgram) {
    QueueToolkit tk;
    ScreenResource r{7, "Completion", "T", {}};
    ControlDef exit = def(kExitControl, ControlKind::Button, "Exit");
    exit.isDefault = true;
    r.controls.push_back(exit);
    int s = tk.create(r);
    tk.press(kExitControl);
    EXPECT_FALSE(tk.runScreen(s));
    EXPECT_TRUE(tk.programEnded());
}

TEST(ToolkitLoop, WindowCloseEndsTheLoopWithoutEndingTheProgram) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.closeWindow();
    EXPECT_TRUE(tk.runScreen(s));
    EXPECT_FALSE(tk.screenState(s)->visible);
}

TEST(ToolkitLoop, EndOfInputEndsTheProgram) {
    QueueToolkit tk;
    int s = tk.create(form());
    EXPECT_FALSE(tk.runScreen(s));
    EXPECT_TRUE(tk.programEnded());
}

TEST(ToolkitLoop, HandWrittenLoopFollowsTheScreenPattern) {
    QueueToolkit tk;
    int s = tk.create(form());
    int closed = 0;
    tk.onCommand(s, kExitControl, [&] { tk.endProgram(); });
    tk.onClose(s, [&] {
        ++closed;
        tk.postQuit();
    });
    tk.show(s, 1);
    tk.press(1);
    Message m;
    int loops = 0;
    while (tk.getMessage(m)) {
        ++loops;
        if (!tk.isDialogMessage(s, m)) tk.dispatch(m);
    }
    EXPECT_EQ(m.type, Message::Type::Quit);
    EXPECT_EQ(loops, 1);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(tk.programEnded());
}

TEST(ToolkitLoop, MessagesOfOtherScreensAreNotHandled) {
    QueueToolkit tk;
    int a = tk.create(form());
    int b = tk.create(form());
    Message m;
    m.type = Message::Type::Command;
    m.screen = b;
    m.control = 1;
    tk.show(b, 1);
    EXPECT_FALSE(tk.isDialogMessage(a, m));
    EXPECT_TRUE(tk.screenState(b)->visible);
    // A command for a control the screen lacks is not handled either.
    m.control = 4242;
    EXPECT_FALSE(tk.isDialogMessage(b, m));
}

TEST(ToolkitLoop, InputIsAskedForTheNewestVisibleScreen) {
    QueueToolkit tk;
    int about = tk.create(form());
    int question = tk.create(form());
    tk.show(about, 1);  // left open, no loop
    tk.press(1);
    EXPECT_TRUE(tk.runScreen(question));
    EXPECT_EQ(tk.askedFor.back(), question);
    EXPECT_EQ(tk.active(), about) << "the about screen is active again once the question closes";
    tk.show(about, 0);
    EXPECT_EQ(tk.active(), -1);
    // A loop with no screen shown fails instead of waiting forever.
    Message m;
    EXPECT_FALSE(tk.getMessage(m));
    EXPECT_TRUE(tk.programEnded());
    EXPECT_FALSE(tk.failure().empty());
}

TEST(ToolkitLoop, ReleasedScreenIsGone) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.show(s, 1);
    tk.release(s);
    EXPECT_EQ(tk.screenState(s), nullptr);
    EXPECT_EQ(tk.active(), -1);
    EXPECT_EQ(tk.getText(s, 11), "");
}

}  // namespace
}  // namespace ui
