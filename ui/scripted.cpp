#include "ui/scripted.hpp"
#include "core/text.hpp"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <system_error>

namespace ui {
namespace {

using core::equalBlind;
using core::startsBlind;

using Op = ScriptedToolkit::Op;
using Line = ScriptedToolkit::Line;

constexpr std::uintmax_t kMaxScriptBytes = 16u * 1024u * 1024u;

bool blank(char c) { return c == ' ' || c == '\t'; }

std::string_view strip(std::string_view s) {
    while (!s.empty() && (blank(s.front()) || s.front() == '\r' || s.front() == '\n')) s.remove_prefix(1);
    while (!s.empty() && (blank(s.back()) || s.back() == '\r' || s.back() == '\n')) s.remove_suffix(1);
    return s;
}

bool allDigits(std::string_view s) {
    if (s.empty() || s.size() > 9) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// A value: blanks around it dropped, or the text inside double quotes as is.
std::string unquote(std::string_view v) {
    v = strip(v);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return std::string(v);
}

// Reads a control name from the front of `rest`: a quoted caption, or bare
// text up to `stop` (or the end).  Leaves `rest` after the name.
bool takeTarget(std::string_view& rest, char stop, std::string& target, std::string& why) {
    rest = strip(rest);
    if (!rest.empty() && rest.front() == '"') {
        std::size_t close = rest.find('"', 1);
        if (close == std::string_view::npos) {
            why = "the closing '\"' of the name is missing";
            return false;
        }
        target.assign(rest.substr(1, close - 1));
        rest.remove_prefix(close + 1);
        rest = strip(rest);
    } else {
        std::size_t end = stop ? rest.find(stop) : std::string_view::npos;
        if (end == std::string_view::npos) end = rest.size();
        target.assign(strip(rest.substr(0, end)));
        rest.remove_prefix(end);
    }
    if (strip(target).empty()) {
        why = "the control name is missing";
        return false;
    }
    return true;
}

Line parseLine(int number, std::string_view raw) {
    Line line;
    line.number = number;
    while (!raw.empty() && (raw.back() == '\r' || raw.back() == '\n')) raw.remove_suffix(1);
    line.text.assign(strip(raw));

    std::string_view s = raw;
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    std::size_t kwEnd = 0;
    while (kwEnd < s.size() && !blank(s[kwEnd])) ++kwEnd;
    std::string_view kw = s.substr(0, kwEnd);
    std::string_view rest = s.substr(kwEnd);
    std::string why;

    auto unreadable = [&](std::string reason) {
        line.op = Op::Unreadable;
        line.value = std::move(reason);
        return line;
    };

    if (equalBlind(kw, "screen")) {
        line.op = Op::Screen;
        line.target = unquote(rest);
        if (line.target.empty()) return unreadable("the screen name is missing");
    } else if (equalBlind(kw, "set") || equalBlind(kw, "select")) {
        line.op = equalBlind(kw, "set") ? Op::Set : Op::Select;
        if (!takeTarget(rest, '=', line.target, why)) return unreadable(why);
        if (rest.empty() || rest.front() != '=')
            return unreadable("'=' is missing after \"" + line.target + "\"");
        rest.remove_prefix(1);
        line.value = line.op == Op::Set ? unquote(rest) : std::string(strip(rest));
        if (line.op == Op::Select && line.value.empty()) return unreadable("no item is named after '='");
    } else if (equalBlind(kw, "check")) {
        line.op = Op::Check;
        std::string_view r = strip(rest);
        if (!r.empty() && r.front() == '"') {
            if (!takeTarget(rest, 0, line.target, why)) return unreadable(why);
            std::string_view state = strip(rest);
            if (state.empty() || equalBlind(state, "on")) {
                line.on = true;
            } else if (equalBlind(state, "off")) {
                line.on = false;
            } else {
                return unreadable("\"" + std::string(state) + "\" is neither on nor off");
            }
        } else {
            // A bare caption may end in the word on or off.
            std::size_t lastBlank = r.find_last_of(" \t");
            std::string_view last = lastBlank == std::string_view::npos ? r : r.substr(lastBlank + 1);
            if (lastBlank != std::string_view::npos && (equalBlind(last, "on") || equalBlind(last, "off"))) {
                line.on = equalBlind(last, "on");
                r = strip(r.substr(0, lastBlank));
            }
            line.target.assign(r);
            if (line.target.empty()) return unreadable("the control name is missing");
        }
    } else if (equalBlind(kw, "radio") || equalBlind(kw, "clear") || equalBlind(kw, "press")) {
        line.op = equalBlind(kw, "radio") ? Op::Radio : equalBlind(kw, "clear") ? Op::Clear : Op::Press;
        if (!takeTarget(rest, 0, line.target, why)) return unreadable(why);
        if (!strip(rest).empty())
            return unreadable("unexpected text after the name: \"" + std::string(strip(rest)) + "\"");
    } else if (equalBlind(kw, "answer")) {
        line.op = Op::Answer;
        if (!rest.empty()) rest.remove_prefix(1);  // the blank after the word
        std::string_view stripped = strip(rest);
        if (stripped.size() >= 2 && stripped.front() == '"' && stripped.back() == '"')
            line.value.assign(stripped.substr(1, stripped.size() - 2));
        else
            line.value.assign(rest);
    } else {
        return unreadable("unknown directive \"" + std::string(kw) + "\"");
    }
    return line;
}

// Splits "a; b; "c;d"" at semicolons outside double quotes.
std::vector<std::string> splitItems(std::string_view s) {
    std::vector<std::string> out;
    std::string cur;
    bool quoted = false;
    for (char c : s) {
        if (c == '"') quoted = !quoted;
        if (c == ';' && !quoted) {
            out.push_back(unquote(cur));
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    out.push_back(unquote(cur));
    return out;
}

std::string controlName(const Toolkit::ControlState& c) {
    if (!c.def.caption.empty()) return "\"" + c.def.caption + "\"";
    return "#" + std::to_string(c.def.id);
}

const char* kindName(ControlKind k) {
    switch (k) {
        case ControlKind::Static: return "a static text";
        case ControlKind::Edit: return "an edit field";
        case ControlKind::Radio: return "a radio button";
        case ControlKind::Check: return "a check box";
        case ControlKind::ListSingle: return "a list";
        case ControlKind::ListMulti: return "a multi-selection list";
        case ControlKind::DropDown: return "a drop-down list";
        case ControlKind::Button: return "a button";
    }
    return "a control";
}

// The index of the list item an answer names, or -1 with the reason.
int findItem(const Toolkit::ControlState& c, std::string_view item, std::string& why) {
    const int n = static_cast<int>(c.items.size());
    std::string_view key = strip(item);
    std::string_view digits = !key.empty() && key.front() == '#' ? key.substr(1) : key;
    if (allDigits(digits)) {
        int k = std::atoi(std::string(digits).c_str());
        if (k >= 1 && k <= n) return k - 1;
        why = "list " + controlName(c) + " has no item " + std::string(digits) + " (it has " + std::to_string(n) +
              ")";
        return -1;
    }
    if (key.empty()) {
        why = "an empty item name";
        return -1;
    }
    for (int i = 0; i < n; ++i)
        if (strip(c.items[static_cast<std::size_t>(i)]) == key) return i;
    for (int i = 0; i < n; ++i)
        if (equalBlind(strip(c.items[static_cast<std::size_t>(i)]), key)) return i;
    int found = -1;
    int count = 0;
    for (int i = 0; i < n; ++i) {
        if (startsBlind(strip(c.items[static_cast<std::size_t>(i)]), key)) {
            if (count == 0) found = i;
            ++count;
        }
    }
    if (count == 1) return found;
    if (count == 0)
        why = "no item \"" + std::string(key) + "\" in list " + controlName(c);
    else
        why = "\"" + std::string(key) + "\" fits " + std::to_string(count) + " items of list " + controlName(c);
    return -1;
}

std::string shorten(const std::string& s) { return s.size() <= 100 ? s : s.substr(0, 97) + "..."; }

}  // namespace

ScriptedToolkit::ScriptedToolkit(std::string script_text, std::string script_name, std::ostream* console,
                                 std::ostream* trace)
    : name_(std::move(script_name)), console_(console ? console : &std::cout), trace_(trace) {
    std::string_view text = script_text;
    int number = 0;
    while (!text.empty()) {
        std::size_t nl = text.find('\n');
        std::string_view raw = text.substr(0, nl);
        text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
        ++number;
        std::string_view s = strip(raw);
        if (s.empty() || s.front() == '#') continue;
        lines_.push_back(parseLine(number, raw));
        const Line& l = lines_.back();
        if (l.op == Op::Unreadable && syntax_error_.empty())
            syntax_error_ = "answer script line " + std::to_string(l.number) + " (\"" + shorten(l.text) +
                            "\") cannot be read: " + l.value + where();
    }
}

std::string ScriptedToolkit::where() const { return name_.empty() ? std::string() : " (in " + name_ + ")"; }

std::string ScriptedToolkit::misfit(const Line& line, int screen, const std::string& why) const {
    const ScreenState* st = screenState(screen);
    std::string screenName = st ? st->resource.name : std::string("?");
    return "answer script line " + std::to_string(line.number) + " (\"" + shorten(line.text) +
           "\") does not fit screen \"" + screenName + "\": " + why + where() + says(screen);
}

std::string ScriptedToolkit::says(int screen) const {
    std::string text = screenMessage(screen);
    if (text.empty()) return {};
    const ScreenState* st = screenState(screen);
    return "\n  the screen \"" + st->resource.title + "\" says: " + text;
}

void ScriptedToolkit::show(int screen, int command) {
    Toolkit::show(screen, command);
    const ScreenState* st = screenState(screen);
    if (trace_ && command != 0 && st)
        *trace_ << "script: screen " << st->resource.id << " \"" << st->resource.name << "\" ("
                << st->resource.title << ") shown\n";
}

void ScriptedToolkit::consoleLine(std::string_view line) { *console_ << line << '\n'; }

bool ScriptedToolkit::promptLine(std::string_view prompt, std::string& answer) {
    std::string question(strip(prompt));
    if (!syntax_error_.empty()) {
        fail(syntax_error_);
        return false;
    }
    if (pos_ >= lines_.size()) {
        fail("answer script ended" +
             (last_line_ ? " after line " + std::to_string(last_line_) : std::string()) +
             " while the console asks \"" + question + "\"" + where());
        return false;
    }
    const Line& line = lines_[pos_++];
    last_line_ = line.number;
    if (line.op != Op::Answer) {
        fail("answer script line " + std::to_string(line.number) + " (\"" + shorten(line.text) +
             "\") does not fit the console question \"" + question + "\": an answer line is needed" + where());
        return false;
    }
    answer = line.value;
    if (trace_) *trace_ << "script line " << line.number << ": " << line.text << '\n';
    return true;
}

bool ScriptedToolkit::nextInput(int screen, Message& m) {
    if (!syntax_error_.empty()) {
        fail(syntax_error_);
        return false;
    }
    const ScreenState* st = screenState(screen);
    if (!st) {
        fail("answer script: no screen is shown" + where());
        return false;
    }
    while (pos_ < lines_.size()) {
        const Line& line = lines_[pos_++];
        last_line_ = line.number;
        if (trace_) *trace_ << "script line " << line.number << ": " << line.text << '\n';
        if (line.op == Op::Press) {
            std::vector<ControlState*> found = findControls(screen, line.target);
            std::string why;
            if (found.empty())
                why = "no control \"" + line.target + "\"";
            else if (found.size() > 1)
                why = "\"" + line.target + "\" names " + std::to_string(found.size()) +
                      " controls; give the control's number";
            else if (found.front()->def.kind != ControlKind::Button)
                why = controlName(*found.front()) + " is " + kindName(found.front()->def.kind) + ", not a button";
            else if (!found.front()->enabled)
                why = controlName(*found.front()) + " is disabled";
            if (!why.empty()) {
                fail(misfit(line, screen, why));
                return false;
            }
            m = Message{};
            m.type = Message::Type::Command;
            m.screen = screen;
            m.control = found.front()->def.id;
            return true;
        }
        std::string why = apply(screen, line);
        if (!why.empty()) {
            fail(misfit(line, screen, why));
            return false;
        }
    }
    fail("answer script ended" + (last_line_ ? " after line " + std::to_string(last_line_) : std::string()) +
         " while screen \"" + st->resource.name + "\" waits for input" + where() + says(screen));
    return false;
}

std::string ScriptedToolkit::apply(int screen, const Line& line) {
    const ScreenState* st = screenState(screen);
    switch (line.op) {
        case Op::Screen: {
            const ScreenResource& r = st->resource;
            std::string_view want = strip(line.target);
            bool fits = (allDigits(want) && std::atoi(std::string(want).c_str()) == r.id) ||
                        startsBlind(strip(r.name), want) || startsBlind(strip(r.title), want);
            if (fits) return {};
            return "the screen shown is not \"" + line.target + "\"";
        }
        case Op::Answer:
            return "an answer line, but the screen waits for its controls";
        case Op::Unreadable:
            return line.value;
        default:
            break;
    }

    std::vector<ControlState*> found = findControls(screen, line.target);
    if (found.empty()) return "no control \"" + line.target + "\"";
    if (found.size() > 1)
        return "\"" + line.target + "\" names " + std::to_string(found.size()) + " controls; give the control's number";
    ControlState& c = *found.front();
    const ControlKind kind = c.def.kind;
    const int id = c.def.id;
    auto wrong = [&](const char* wanted) {
        return controlName(c) + " is " + kindName(kind) + ", not " + wanted;
    };
    if (!c.enabled) return controlName(c) + " is disabled";

    switch (line.op) {
        case Op::Set: {
            if (kind == ControlKind::Edit) {
                if (acceptedLength(c.def) > 0 && static_cast<int>(line.value.size()) > acceptedLength(c.def))
                    return "the text has " + std::to_string(line.value.size()) + " characters; field " +
                           controlName(c) + " takes " + std::to_string(acceptedLength(c.def));
                setText(screen, id, line.value);
                return {};
            }
            if (kind == ControlKind::DropDown || kind == ControlKind::ListSingle) {
                std::string why;
                int index = findItem(c, line.value, why);
                if (index < 0) return why;
                setSelection(screen, id, index, true);
                return {};
            }
            return wrong("an edit field or a drop-down list");
        }
        case Op::Check:
            if (kind != ControlKind::Check) return wrong("a check box");
            setCheck(screen, id, line.on);
            return {};
        case Op::Radio:
            if (kind != ControlKind::Radio) return wrong("a radio button");
            setCheck(screen, id, true);
            return {};
        case Op::Clear:
            if (kind != ControlKind::ListSingle && kind != ControlKind::ListMulti && kind != ControlKind::DropDown)
                return wrong("a list");
            setSelection(screen, id, -1, false);
            return {};
        case Op::Select: {
            if (kind != ControlKind::ListSingle && kind != ControlKind::ListMulti && kind != ControlKind::DropDown)
                return wrong("a list");
            if (equalBlind(strip(line.value), "all")) {
                if (kind != ControlKind::ListMulti) return controlName(c) + " takes only one item";
                setSelection(screen, id, -1, true);
                return {};
            }
            std::vector<std::string> items = splitItems(line.value);
            if (kind != ControlKind::ListMulti && items.size() != 1)
                return controlName(c) + " takes only one item";
            // Every item is checked before any is selected.
            std::vector<int> indices;
            for (const std::string& item : items) {
                std::string why;
                int index = findItem(c, item, why);
                if (index < 0) return why;
                indices.push_back(index);
            }
            for (int index : indices) setSelection(screen, id, index, true);
            return {};
        }
        default:
            return {};
    }
}

// ---------------------------------------------------------------- factories

std::unique_ptr<Toolkit> makeScriptedToolkit(const std::string& script_path, std::string* error) {
    auto report = [&](std::string message) {
        if (error) *error = std::move(message);
        return std::unique_ptr<Toolkit>();
    };
    std::error_code ec;
    if (std::filesystem::is_directory(script_path, ec))
        return report("cannot read answer script \"" + script_path + "\": it is a directory");
    std::uintmax_t size = std::filesystem::file_size(script_path, ec);
    if (!ec && size > kMaxScriptBytes)
        return report("cannot read answer script \"" + script_path + "\": it is larger than 16 MB");
    std::ifstream in(script_path, std::ios::binary);
    if (!in) return report("cannot open answer script \"" + script_path + "\"");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return report("cannot read answer script \"" + script_path + "\"");

    const char* traceVar = std::getenv("PELKAM_SCRIPT_TRACE");
    std::ostream* trace = traceVar && *traceVar ? &std::cerr : nullptr;
    auto tk = std::make_unique<ScriptedToolkit>(std::move(text), script_path, nullptr, trace);
    if (!tk->syntaxError().empty()) return report(tk->syntaxError());
    return tk;
}

std::unique_ptr<Toolkit> makeScriptedToolkitFromText(std::string script_text, std::string script_name) {
    const char* traceVar = std::getenv("PELKAM_SCRIPT_TRACE");
    std::ostream* trace = traceVar && *traceVar ? &std::cerr : nullptr;
    return std::make_unique<ScriptedToolkit>(std::move(script_text), std::move(script_name), nullptr, trace);
}

}  // namespace ui
