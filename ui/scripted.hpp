// The scripted backend: the screens are answered from a plain-text answer
// script instead of a terminal, so that a whole run can be repeated without
// anyone at the keyboard (tests, batch jobs, demonstrations).
//
// Answer-script syntax (one directive per line; see docs/answer-scripts.md):
//
//   # comment                        lines whose first non-blank is '#', and
//                                    blank lines, are ignored
//   screen <name or title>           optional check that this screen is the one
//                                    shown (name, title, a prefix of either,
//                                    case-blind, or the screen's number)
//   set <control> = <text>           edit field text; for a drop-down or a
//                                    single list the item (as for `select`)
//   check <control> [on|off]         check box (default on)
//   radio <control>                  set a radio button (clears its group)
//   select <list> = <item>[; <item>...]
//                                    select list items by 1-based number
//                                    (also "#n") or by text (exact, then a
//                                    unique case-blind prefix, leading blanks
//                                    of the item ignored); multi-selection
//                                    lists add to their selection;
//                                    "select <list> = all" selects every item
//   clear <list>                     clear a list's selection
//   press <button>                   press a button (the default button ends
//                                    the screen)
//   answer <text>                    one line for a console question; the text
//                                    starts after the single blank that follows
//                                    the word, so leading blanks count
//
// <control> is a caption in double quotes ("Mineral Data"), a bare caption
// (the rest of the line, or the text before '=' for set/select), or the
// control's numeric id.  Captions match exactly, then case-blind, then as a
// unique case-blind prefix; a caption shared by several controls must be given
// by id.  A <text> or <item> in double quotes is taken literally, blanks
// included; otherwise blanks around it are dropped.
//
// The directives for a screen are read when the program waits on that screen,
// up to and including the `press` that ends it.  A line that does not fit the
// screen being shown (unknown control, wrong kind of control, disabled
// control, a text longer than its field, an unknown list item, a `screen`
// line naming another screen, an `answer` line while a screen waits, the end
// of the script while a screen waits) ends the program: failure() then holds
//   answer script line 12 ("set Foo = 1") does not fit screen "Global Options": no control "Foo" (in run.ans)
// (on a message screen followed by a line with the screen's message) and the
// program turns it into exit status 2.  A line that cannot be read
// at all (unknown directive, missing "=" or name) is reported the same way
// before any screen is answered.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

#include "ui/toolkit.hpp"

namespace ui {

class ScriptedToolkit : public Toolkit {
public:
    enum class Op { Screen, Set, Check, Radio, Select, Clear, Press, Answer, Unreadable };

    // One meaningful line of the script.
    struct Line {
        int number = 0;        // 1-based line number in the script
        std::string text;      // the line as written, without its line end
        Op op = Op::Unreadable;
        std::string target;    // control, list or screen
        std::string value;     // set/select text, answer text, or the reason for Unreadable
        bool on = true;        // check on/off
    };

    // `console` receives console lines (standard output when null); `trace`
    // receives a note for every shown screen and applied line (no trace when
    // null).
    ScriptedToolkit(std::string script_text, std::string script_name, std::ostream* console = nullptr,
                    std::ostream* trace = nullptr);

    void show(int screen, int command) override;
    bool promptLine(std::string_view prompt, std::string& answer) override;
    void consoleLine(std::string_view line) override;

    // The first line that cannot be read, as a message; empty when every
    // line can be read.
    const std::string& syntaxError() const { return syntax_error_; }
    // True when every directive of the script has been used.
    bool finished() const { return pos_ >= lines_.size(); }
    const std::vector<Line>& lines() const { return lines_; }

protected:
    bool nextInput(int screen, Message& m) override;

private:
    std::string name_;
    std::vector<Line> lines_;
    std::size_t pos_ = 0;
    int last_line_ = 0;  // number of the last line read
    std::ostream* console_;
    std::ostream* trace_;
    std::string syntax_error_;

    // Applies a control line to the screen; returns the reason it does not
    // fit, or an empty text.
    std::string apply(int screen, const Line& line);
    std::string misfit(const Line& line, int screen, const std::string& why) const;
    // The message of a message screen, on a line of its own, for a failure
    // that stops the run there; empty for other screens.
    std::string says(int screen) const;
    std::string where() const;
};

}  // namespace ui
