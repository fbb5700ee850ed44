// The dialog toolkit: screens described as data (a ScreenResource per screen)
// and the operations both programs use on them.  Control values live here,
// in the toolkit; a backend only decides how the user changes them and how
// the screen is drawn.  Two backends exist: a full-screen terminal form
// (ncurses) and a scripted backend that reads a plain-text answer script.
//
// The pattern of every screen routine:
//   tk.onCommand(s, kExitControl, [&]{ tk.endProgram(); });
//   tk.onClose(s, [&]{ tk.postQuit(); });
//   ... set control values ...
//   tk.show(s, 1);
//   Message m;
//   while (tk.getMessage(m)) if (!tk.isDialogMessage(s, m)) tk.dispatch(m);
//   ... read control values ...
// Pressing a screen's default button closes the screen (which posts quit).
// After endProgram() the loop ends and programEnded() is true: the caller
// returns Status::quit().
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ui {

enum class ControlKind {
    Static,      // fixed or program-set text
    Edit,        // one-line text field limited to `width` characters
    Radio,       // radio button; buttons with the same `group` exclude one another
    Check,       // check box
    ListSingle,  // single-selection list with scrolling
    ListMulti,   // multi-selection list with scrolling
    DropDown,    // drop-down list: one item chosen
    Button,      // push button
};

struct ControlDef {
    int id = 0;
    ControlKind kind = ControlKind::Static;
    std::string caption;  // label shown with the control; scripts address it by this text
    int width = 0;        // characters of the value (edit fields, lists, static texts)
    int maxLength = 0;    // edit fields: characters accepted (scrolled within `width`); 0: `width`
    int row = 0;          // position on an 80x24 form (0-based)
    int col = 0;
    int height = 1;       // rows (lists)
    int group = 0;        // radio group
    bool isDefault = false;  // the default button: pressing it closes the screen
    bool isCancel = false;   // the button Esc presses (the control kExitControl is one without this flag)
    std::string initial;  // initial text / "1" for a set radio or check
    bool captionHidden = false;  // caption names the control for scripts but is not drawn
};

// Characters an edit field accepts.
inline int acceptedLength(const ControlDef& d) { return d.maxLength > 0 ? d.maxLength : d.width; }

// A control definition; width 0 takes the caption's length.
ControlDef makeControl(int id, ControlKind kind, std::string caption, int row, int col, int width = 0,
                        int group = 0);

struct ScreenResource {
    int id = 0;
    std::string name;   // e.g. "Global Options" (also accepted by scripts)
    std::string title;  // window title, e.g. "Pelkam"
    std::vector<ControlDef> controls;
    // A message screen (an error screen): the control holding its message,
    // which a run without a terminal reports when it stops there; 0 for none.
    int messageControl = 0;
};

// The control every screen uses for "Exit"/"Quit".
constexpr int kExitControl = 1036;

struct Message {
    enum class Type { None, Command, Close, Quit, Key } type = Type::None;
    int screen = -1;
    int control = 0;
    int key = 0;
};

using Callback = std::function<void()>;

class Toolkit {
public:
    virtual ~Toolkit();

    // Creates a screen from its resource (hidden); returns its handle.
    int create(const ScreenResource& resource);
    void release(int screen);
    // 0 hide, 1 show normally.
    virtual void show(int screen, int command);

    void setText(int screen, int control, std::string_view text);
    std::string getText(int screen, int control) const;
    void setInt(int screen, int control, long value);
    // Reads an integer from the control's text; `ok` is false when it is not one.
    long getInt(int screen, int control, bool* ok = nullptr) const;
    // Check boxes and radio buttons (setting a radio clears its group).
    void setCheck(int screen, int control, bool on);
    bool getCheck(int screen, int control) const;

    // Lists and drop-downs.
    void setListCount(int screen, int control, int count);
    void setListItem(int screen, int control, int index, std::string_view text);
    int listCount(int screen, int control) const;
    std::string listItem(int screen, int control, int index) const;
    // Selection: for single lists and drop-downs the chosen index (-1 none);
    // for multi-selection lists every selected index in order.
    void setSelection(int screen, int control, int index, bool selected = true);
    int selectedIndex(int screen, int control) const;
    std::vector<int> selectedIndices(int screen, int control) const;
    // Horizontal scroll extent of a list (pixels); kept for the reaction list.
    void setHorizontalExtent(int screen, int control, int pixels);

    void enable(int screen, int control, bool on);
    bool enabled(int screen, int control) const;

    void onCommand(int screen, int control, Callback cb);
    void onClose(int screen, Callback cb);

    // Message loop operations.
    // Waits for the next message; false once quit has been posted (the quit
    // message is consumed).
    bool getMessage(Message& m);
    // Handles a message that belongs to the screen (control commands and
    // close requests); true when handled.
    bool isDialogMessage(int screen, const Message& m);
    void dispatch(const Message& m);
    void postQuit();
    // Closes a screen: hides it and runs its close callback.
    void close(int screen);

    // Ends the program at once (Exit/Quit): posts quit and remembers it.
    void endProgram();
    bool programEnded() const { return ended_; }

    // Asks a one-line question on the console (used for the geotherm prompt);
    // false when no answer can be had (end of script, end of input).
    virtual bool promptLine(std::string_view prompt, std::string& answer) = 0;
    // Writes a line to the console window / standard output.
    virtual void consoleLine(std::string_view line) = 0;

    // Convenience: the pattern above for screen `s`, with "Exit"/"Quit"
    // registered.  Returns false when the program was ended.
    bool runScreen(int screen);

    // Set by the backend when the user's input cannot be applied (a script
    // line that does not fit the screen).  The screen loop then ends as if
    // the program had been ended, and failure() holds the message.
    const std::string& failure() const { return failure_; }

    // Resource and state access for backends.
    struct ControlState {
        ControlDef def;
        std::string text;
        bool checked = false;
        bool enabled = true;
        std::vector<std::string> items;
        std::vector<bool> selected;
        int chosen = -1;
        int extent = 0;
    };
    struct ScreenState {
        ScreenResource resource;
        bool visible = false;
        bool alive = false;
        std::vector<ControlState> controls;
        std::vector<std::pair<int, Callback>> commands;
        Callback closeCallback;
        long shownAt = 0;  // order of the last show(screen, 1): the newest visible screen is active
    };
    const ScreenState* screenState(int screen) const;
    ScreenState* screenState(int screen);
    ControlState* control(int screen, int control);
    const ControlState* control(int screen, int control) const;
    // Finds a control of a screen by caption (exact, then case-blind, then by
    // prefix) or by its numeric id written as text; nullptr when none fits.
    ControlState* findControl(int screen, std::string_view captionOrId);
    // The button Esc presses: the control kExitControl, else a button marked
    // isCancel; 0 when the screen has none.
    int cancelButton(int screen) const;
    // The default button of a screen, 0 when it has none.
    int defaultButton(int screen) const;
    // The message of a message screen (its messageControl), without trailing
    // blanks; empty for other screens.
    std::string screenMessage(int screen) const;
    // Every control that fits `captionOrId` at the first matching stage (id,
    // exact caption, case-blind caption, case-blind prefix); more than one
    // means the text is ambiguous.
    std::vector<ControlState*> findControls(int screen, std::string_view captionOrId);
    // The screen the message loop serves: the most recently shown visible
    // screen, or -1.
    int active() const { return active_; }

protected:
    // The backend produces the next input message for the shown screen
    // `screen` (Command for a pressed button, Close for a window close).
    // It may change control values directly before returning.  Returning
    // false means no more input can come: the backend has set failure_ or
    // called endProgram().
    virtual bool nextInput(int screen, Message& m) = 0;
    // Called whenever control values change programmatically while a screen
    // is visible, so that a backend may redraw.
    virtual void changed(int screen) {}
    // Records the failure (the first one is kept) and ends the program.
    void fail(std::string message);

    int activeScreen() const { return active_; }

private:
    std::vector<ScreenState> screens_;
    bool quit_posted_ = false;
    bool ended_ = false;
    int active_ = -1;
    long show_seq_ = 0;
    std::string failure_;

    void refreshActive();
    void notify(int screen);
};

// Backends.
// Scripted: reads the answer script; console lines go to `console_out`
// (standard output when null).  Script syntax is documented in
// ui/scripted.hpp.
std::unique_ptr<Toolkit> makeScriptedToolkit(const std::string& script_path, std::string* error);
std::unique_ptr<Toolkit> makeScriptedToolkitFromText(std::string script_text, std::string script_name);
// Terminal: a full-screen ncurses form on the controlling terminal.
std::unique_ptr<Toolkit> makeTerminalToolkit(std::string* error);

}  // namespace ui
