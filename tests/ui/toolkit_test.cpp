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

    bool prompt_line(std::string_view, std::string&) override { return false; }
    void console_line(std::string_view) override {}

    void press(int control) {
        Message m;
        m.type = Message::Type::Command;
        m.control = control;
        inputs.push_back(m);
    }
    void close_window() {
        Message m;
        m.type = Message::Type::Close;
        inputs.push_back(m);
    }

protected:
    bool next_input(int screen, Message& m) override {
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
    EXPECT_EQ(tk.get_text(a, 10), "Heading");
    EXPECT_EQ(tk.get_text(a, 11), "12");
    EXPECT_TRUE(tk.get_check(a, 21));
    EXPECT_FALSE(tk.get_check(a, 22));
    EXPECT_TRUE(tk.get_check(a, 41));
    EXPECT_FALSE(tk.get_check(a, 42));
    EXPECT_EQ(tk.selected_index(a, 51), -1);
    // Screens keep separate values.
    tk.set_text(a, 11, "x");
    EXPECT_EQ(tk.get_text(b, 11), "12");
    // Unknown screens and controls are harmless.
    EXPECT_EQ(tk.get_text(99, 11), "");
    EXPECT_EQ(tk.get_text(a, 999), "");
    tk.set_text(-1, 11, "x");
    tk.set_check(a, 999, true);
    EXPECT_FALSE(tk.get_check(a, 999));
}

TEST(ToolkitControls, RadioButtonsExcludeOnlyTheirOwnGroup) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.set_check(s, 23, true);
    EXPECT_FALSE(tk.get_check(s, 21));
    EXPECT_FALSE(tk.get_check(s, 22));
    EXPECT_TRUE(tk.get_check(s, 23));
    EXPECT_TRUE(tk.get_check(s, 31)) << "another group is untouched";
    tk.set_check(s, 32, true);
    EXPECT_TRUE(tk.get_check(s, 23));
    EXPECT_FALSE(tk.get_check(s, 31));
    // Clearing a radio does not set another.
    tk.set_check(s, 23, false);
    EXPECT_FALSE(tk.get_check(s, 21) || tk.get_check(s, 22) || tk.get_check(s, 23));
    // Check boxes are independent.
    tk.set_check(s, 42, true);
    EXPECT_TRUE(tk.get_check(s, 41));
}

TEST(ToolkitControls, ResourceWithTwoSetRadiosKeepsTheFirst) {
    QueueToolkit tk;
    ScreenResource r = form();
    r.controls[4].initial = "1";  // "Blue" as well as "Red"
    int s = tk.create(r);
    EXPECT_TRUE(tk.get_check(s, 21));
    EXPECT_FALSE(tk.get_check(s, 23));
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
        tk.set_text(s, 11, c.text);
        long v = tk.get_int(s, 11, &ok);
        EXPECT_EQ(ok, c.ok) << '"' << c.text << '"';
        EXPECT_EQ(v, c.value) << '"' << c.text << '"';
    }
    tk.set_int(s, 11, -250);
    EXPECT_EQ(tk.get_text(s, 11), "-250");
}

TEST(ToolkitLists, SingleListKeepsOneChosenItem) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.set_list_count(s, 51, 5);
    for (int i = 0; i < 5; ++i) tk.set_list_item(s, 51, i, "item " + std::to_string(i));
    EXPECT_EQ(tk.list_count(s, 51), 5);
    EXPECT_EQ(tk.list_item(s, 51, 3), "item 3");
    tk.set_selection(s, 51, 3);
    tk.set_selection(s, 51, 1);
    EXPECT_EQ(tk.selected_index(s, 51), 1);
    EXPECT_THAT(tk.selected_indices(s, 51), ElementsAre(1));
    EXPECT_EQ(tk.get_text(s, 51), "item 1");
    // Out of range is ignored; deselecting another index keeps the choice.
    tk.set_selection(s, 51, 7);
    tk.set_selection(s, 51, 4, false);
    EXPECT_EQ(tk.selected_index(s, 51), 1);
    // Shrinking below the chosen item drops the choice.
    tk.set_list_count(s, 51, 4);
    EXPECT_EQ(tk.selected_index(s, 51), 1);
    tk.set_list_count(s, 51, 1);
    EXPECT_EQ(tk.selected_index(s, 51), -1);
    EXPECT_EQ(tk.list_item(s, 51, 3), "");
}

TEST(ToolkitLists, MultiListSelectsSeveralAndAll) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.set_list_count(s, 52, 4);
    tk.set_selection(s, 52, 3);
    tk.set_selection(s, 52, 1);
    EXPECT_THAT(tk.selected_indices(s, 52), ElementsAre(1, 3));
    EXPECT_EQ(tk.selected_index(s, 52), 1);
    tk.set_selection(s, 52, 3, false);
    EXPECT_THAT(tk.selected_indices(s, 52), ElementsAre(1));
    tk.set_selection(s, 52, -1, true);
    EXPECT_THAT(tk.selected_indices(s, 52), ElementsAre(0, 1, 2, 3));
    tk.set_selection(s, 52, -1, false);
    EXPECT_THAT(tk.selected_indices(s, 52), IsEmpty());
    // Setting an item past the end grows the list.
    tk.set_list_item(s, 52, 6, "late");
    EXPECT_EQ(tk.list_count(s, 52), 7);
    EXPECT_EQ(tk.list_item(s, 52, 6), "late");
    tk.set_selection(s, 52, 6);
    EXPECT_THAT(tk.selected_indices(s, 52), ElementsAre(6));
}

TEST(ToolkitLists, DropDownTextIsTheChosenItem) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.set_list_count(s, 53, 3);
    tk.set_list_item(s, 53, 0, "alpha");
    tk.set_list_item(s, 53, 1, "beta");
    tk.set_list_item(s, 53, 2, "gamma");
    EXPECT_EQ(tk.get_text(s, 53), "");
    tk.set_text(s, 53, "gamma");
    EXPECT_EQ(tk.selected_index(s, 53), 2);
    EXPECT_EQ(tk.get_text(s, 53), "gamma");
    tk.set_text(s, 53, "delta");  // no such item: the choice stays
    EXPECT_EQ(tk.selected_index(s, 53), 2);
}

TEST(ToolkitControls, FindControlByIdCaptionCaseAndPrefix) {
    QueueToolkit tk;
    int s = tk.create(form());
    ASSERT_NE(tk.find_control(s, "41"), nullptr);
    EXPECT_EQ(tk.find_control(s, "41")->def.caption, "Loud");
    EXPECT_EQ(tk.find_control(s, "Green")->def.id, 22);
    EXPECT_EQ(tk.find_control(s, "green")->def.id, 22);
    EXPECT_EQ(tk.find_control(s, "Gr")->def.id, 22);
    EXPECT_EQ(tk.find_control(s, "  Blue ")->def.id, 23);
    EXPECT_EQ(tk.find_control(s, "Purple"), nullptr);
    EXPECT_EQ(tk.find_control(s, ""), nullptr);
    // "L" starts both "Large" and "Loud".
    EXPECT_EQ(tk.find_control(s, "L"), nullptr);
    EXPECT_EQ(tk.find_controls(s, "L").size(), 2u);
}

TEST(ToolkitControls, ExactCaptionWinsOverPrefix) {
    QueueToolkit tk;
    ScreenResource r{1, "S", "T", {}};
    r.controls.push_back(def(1, ControlKind::Radio, "No", 1));
    r.controls.push_back(def(2, ControlKind::Radio, "None", 1));
    int s = tk.create(r);
    EXPECT_EQ(tk.find_control(s, "No")->def.id, 1);
    EXPECT_EQ(tk.find_control(s, "NON")->def.id, 2);
}

TEST(ToolkitControls, ChangedIsReportedOnlyForVisibleScreens) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.set_text(s, 11, "1");
    EXPECT_EQ(tk.changes, 0);
    tk.show(s, 1);
    tk.set_text(s, 11, "2");
    tk.set_check(s, 42, true);
    tk.enable(s, 11, false);
    EXPECT_EQ(tk.changes, 3);
    EXPECT_FALSE(tk.enabled(s, 11));
}

TEST(ToolkitLoop, DefaultButtonClosesTheScreen) {
    QueueToolkit tk;
    int s = tk.create(form());
    int applied = 0;
    tk.on_command(s, 60, [&] { ++applied; });
    tk.press(60);  // not the default: the loop goes on
    tk.press(1);
    EXPECT_TRUE(tk.run_screen(s));
    EXPECT_EQ(applied, 1);
    EXPECT_FALSE(tk.screen_state(s)->visible);
    EXPECT_FALSE(tk.program_ended());
    EXPECT_THAT(tk.askedFor, ElementsAre(s, s));
    EXPECT_TRUE(tk.failure().empty());
}

TEST(ToolkitLoop, ExitControlEndsTheProgram) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.press(kExitControl);
    tk.press(1);  // never read
    EXPECT_FALSE(tk.run_screen(s));
    EXPECT_TRUE(tk.program_ended());
    EXPECT_EQ(tk.inputs.size(), 1u);
    // Once the program has ended no further input is asked for.
    EXPECT_FALSE(tk.run_screen(s));
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
    EXPECT_FALSE(tk.run_screen(s));
    EXPECT_TRUE(tk.program_ended());
}

TEST(ToolkitLoop, WindowCloseEndsTheLoopWithoutEndingTheProgram) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.close_window();
    EXPECT_TRUE(tk.run_screen(s));
    EXPECT_FALSE(tk.screen_state(s)->visible);
}

TEST(ToolkitLoop, EndOfInputEndsTheProgram) {
    QueueToolkit tk;
    int s = tk.create(form());
    EXPECT_FALSE(tk.run_screen(s));
    EXPECT_TRUE(tk.program_ended());
}

TEST(ToolkitLoop, HandWrittenLoopFollowsTheScreenPattern) {
    QueueToolkit tk;
    int s = tk.create(form());
    int closed = 0;
    tk.on_command(s, kExitControl, [&] { tk.end_program(); });
    tk.on_close(s, [&] {
        ++closed;
        tk.post_quit();
    });
    tk.show(s, 1);
    tk.press(1);
    Message m;
    int loops = 0;
    while (tk.get_message(m)) {
        ++loops;
        if (!tk.is_dialog_message(s, m)) tk.dispatch(m);
    }
    EXPECT_EQ(m.type, Message::Type::Quit);
    EXPECT_EQ(loops, 1);
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(tk.program_ended());
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
    EXPECT_FALSE(tk.is_dialog_message(a, m));
    EXPECT_TRUE(tk.screen_state(b)->visible);
    // A command for a control the screen lacks is not handled either.
    m.control = 4242;
    EXPECT_FALSE(tk.is_dialog_message(b, m));
}

TEST(ToolkitLoop, InputIsAskedForTheNewestVisibleScreen) {
    QueueToolkit tk;
    int about = tk.create(form());
    int question = tk.create(form());
    tk.show(about, 1);  // left open, no loop
    tk.press(1);
    EXPECT_TRUE(tk.run_screen(question));
    EXPECT_EQ(tk.askedFor.back(), question);
    EXPECT_EQ(tk.active(), about) << "the about screen is active again once the question closes";
    tk.show(about, 0);
    EXPECT_EQ(tk.active(), -1);
    // A loop with no screen shown fails instead of waiting forever.
    Message m;
    EXPECT_FALSE(tk.get_message(m));
    EXPECT_TRUE(tk.program_ended());
    EXPECT_FALSE(tk.failure().empty());
}

TEST(ToolkitLoop, ReleasedScreenIsGone) {
    QueueToolkit tk;
    int s = tk.create(form());
    tk.show(s, 1);
    tk.release(s);
    EXPECT_EQ(tk.screen_state(s), nullptr);
    EXPECT_EQ(tk.active(), -1);
    EXPECT_EQ(tk.get_text(s, 11), "");
}

}  // namespace
}  // namespace ui
