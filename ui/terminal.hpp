// The terminal backend: each screen is drawn as a full-screen form on the
// controlling terminal (ncurses) and edited from the keyboard.
//
// Form: the title on the top line; static texts; edit fields "[text]" that
// scroll sideways when wider than the line ('<' and '>' mark hidden text);
// radio buttons "( )"/"(*)"; check boxes "[ ]"/"[X]"; lists in a box with a
// scroll bar and a position count, scrolled both ways; drop-down lists
// "[item v]" that open a popup list; buttons "< Next >" (the default button
// in bold).  The bottom line shows the newest console line or a key summary.
//
// Keys: Tab/Shift-Tab move between controls (a radio group is one stop), as
// do Down/Up outside lists; arrows move inside lists and radio groups; Space
// sets a radio button, toggles a check box or a list item, presses a button;
// Enter presses the focused button, opens a drop-down, and elsewhere presses
// the screen's default button; Home/End/Left/Right/Backspace/Delete edit a
// field (Ctrl-U empties it); PgUp/PgDn page through lists; Left/Right scroll
// a list sideways; Escape or F10 presses the screen's "Exit"/"Quit" button
// (its cancel button), after a yes/no question when the user has changed
// something on the form (in this showing or an earlier one); F2 shows the console lines; Ctrl-L redraws.
// The status line names the buttons Enter and Esc press on the screen.
//
// The terminal is taken over at the first show and given back when the
// toolkit is destroyed; console lines written while it is taken over are
// printed to standard output then, so that none is lost.  A terminal smaller
// than 80x24 still works: the form is clipped and scrolled to the focus.
#pragma once
#include <string>
#include <vector>

#include "ui/toolkit.hpp"

namespace ui {

class TerminalToolkit : public Toolkit {
public:
    TerminalToolkit();
    ~TerminalToolkit() override;
    TerminalToolkit(const TerminalToolkit&) = delete;
    TerminalToolkit& operator=(const TerminalToolkit&) = delete;

    void show(int screen, int command) override;
    bool promptLine(std::string_view prompt, std::string& answer) override;
    void consoleLine(std::string_view line) override;

protected:
    bool nextInput(int screen, Message& m) override;
    void changed(int screen) override;

private:
    struct ControlUi {
        int cursor = 0;   // caret in an edit field, cursor item in a list
        int top = 0;      // first visible list item
        int hscroll = 0;  // first visible column of an edit field or list
    };
    struct ScreenUi {
        int focus = -1;  // index of the focused control
        int rowOffset = 0;
        int colOffset = 0;
        std::size_t consoleMark = 0;  // console lines that existed when the screen was shown
        std::vector<std::string> shown;  // the control values when the screen was shown
        bool edited = false;             // the user changed a value (on this or an earlier showing)
        std::vector<ControlUi> controls;
    };

    void* term_ = nullptr;  // the ncurses SCREEN
    bool started_ = false;
    bool broken_ = false;
    bool handling_ = false;  // a key is being handled: the input loop redraws afterwards
    std::vector<ScreenUi> ui_;
    std::vector<std::string> scrollback_;
    std::size_t printed_ = 0;  // console lines already on standard output

    bool start();
    void stop();
    ScreenUi& ui(int screen);
    void draw(int screen);
    void render(int screen);  // draws without refreshing the terminal
    void setFocus(int screen, int index);
    void drawControl(int screen, int index, bool focused);
    void drawStatus(int screen);
    // Text at a terminal position, clipped to the terminal.
    void put(int row, int col, std::string_view text, unsigned long attr, int maxWidth = -1);
    // Text and line-drawing characters at a form position (scroll offsets applied).
    void putForm(const ScreenUi& u, int row, int col, std::string_view text, unsigned long attr,
                  int maxWidth = -1);
    void putChar(const ScreenUi& u, int row, int col, unsigned long ch);
    void redrawActive();

    int firstFocus(int screen) const;
    int nextFocus(int screen, int from, int direction) const;
    int groupTarget(int screen, int index) const;
    int groupStep(int screen, int index, int direction) const;
    void adjustOffsets(int screen);
    int editWidth(int screen, int index) const;
    int listRows(int screen, int index) const;
    int listTextWidth(int screen, int index) const;

    // Handles one key on the screen; returns the id of a pressed button, 0
    // otherwise.
    int handleKey(int screen, int key);
    bool editKey(std::string& text, ControlUi& cu, int width, int key);
    void listKey(int screen, int index, int key);
    void openDropDown(int screen, int index);
    void showConsole();
    int pressIfEnabled(int screen, int id);
    // Esc: the screen's cancel button, once confirmed when the form has been
    // edited since it was shown; 0 when nothing is pressed.
    int leave(int screen);
    // A yes/no question in a box; true for "y".
    bool confirm(std::string_view question);
    std::vector<std::string> values(int screen) const;
    std::string keySummary(int screen) const;
};

}  // namespace ui
