#include "ui/terminal.hpp"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>

// Function forms only: the macro forms of erase(), move() and friends would
// clash with standard-library member functions.
#define NCURSES_NOMACROS
#include <curses.h>

namespace ui {
namespace {

constexpr int kKeyTab = 9;
constexpr int kKeyEscape = 27;
constexpr int kCtrlA = 1;
constexpr int kCtrlE = 5;
constexpr int kCtrlL = 12;
constexpr int kCtrlU = 21;
constexpr int kMaxInputErrors = 50;   // consecutive read failures before giving up on the terminal
constexpr int kPromptWidth = 200;     // longest console answer
constexpr int kDropRows = 10;         // rows of an open drop-down list
constexpr int kListScrollStep = 4;    // columns per Left/Right in a list

bool isEnter(int key) { return key == '\r' || key == '\n' || key == KEY_ENTER; }
bool isBackspace(int key) { return key == KEY_BACKSPACE || key == 127 || key == 8; }

bool isList(ControlKind k) { return k == ControlKind::ListSingle || k == ControlKind::ListMulti; }

chtype clean(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u < 32 || u >= 127) ? chtype('?') : chtype(u);
}

std::string_view rtrim(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

void restoreTerminal() {
    if (!isendwin()) endwin();
}

}  // namespace

TerminalToolkit::TerminalToolkit() = default;

TerminalToolkit::~TerminalToolkit() { stop(); }

// ---------------------------------------------------------------- terminal

bool TerminalToolkit::start() {
    if (started_) return true;
    if (broken_) return false;
    const char* type = std::getenv("TERM");
    SCREEN* sp = newterm(type && *type ? type : nullptr, stdout, stdin);
    if (!sp) {
        broken_ = true;
        fail(std::string("cannot use the terminal (TERM=") + (type ? type : "") + ")");
        return false;
    }
    // Should the program leave through exit() the terminal is given back all the same.
    static const bool registered = (std::atexit(restoreTerminal), true);
    (void)registered;
    term_ = sp;
    set_term(sp);
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    intrflush(stdscr, FALSE);
    set_escdelay(25);
    curs_set(0);
    started_ = true;
    return true;
}

void TerminalToolkit::stop() {
    if (started_) {
        endwin();
        delscreen(static_cast<SCREEN*>(term_));
        term_ = nullptr;
        started_ = false;
    }
    if (printed_ < scrollback_.size()) {
        for (std::size_t i = printed_; i < scrollback_.size(); ++i) std::cout << scrollback_[i] << '\n';
        printed_ = scrollback_.size();
        std::cout.flush();
    }
}

TerminalToolkit::ScreenUi& TerminalToolkit::ui(int screen) {
    if (screen >= static_cast<int>(ui_.size())) ui_.resize(static_cast<std::size_t>(screen) + 1);
    ScreenUi& u = ui_[static_cast<std::size_t>(screen)];
    const ScreenState* st = screenState(screen);
    if (st && u.controls.size() != st->controls.size()) u.controls.resize(st->controls.size());
    return u;
}

void TerminalToolkit::show(int screen, int command) {
    Toolkit::show(screen, command);
    if (command == 0) {
        if (started_) redrawActive();
        return;
    }
    if (!screenState(screen) || !start()) return;
    ScreenUi& u = ui(screen);
    u.rowOffset = 0;
    u.colOffset = 0;
    u.consoleMark = scrollback_.size();
    u.shown = values(screen);
    setFocus(screen, firstFocus(screen));
    draw(screen);
}

void TerminalToolkit::changed(int screen) {
    if (started_ && !handling_ && screen == active()) draw(screen);
}

void TerminalToolkit::redrawActive() {
    if (!started_) return;
    if (active() >= 0) {
        draw(active());
    } else {
        erase();
        refresh();
    }
}

void TerminalToolkit::consoleLine(std::string_view line) {
    scrollback_.emplace_back(line);
    if (!started_) {
        std::cout << line << '\n';
        std::cout.flush();
        printed_ = scrollback_.size();
        return;
    }
    if (!handling_) redrawActive();
}

// ---------------------------------------------------------------- drawing

void TerminalToolkit::put(int row, int col, std::string_view text, unsigned long attr, int maxWidth) {
    if (row < 0 || row >= LINES) return;
    int n = static_cast<int>(text.size());
    if (maxWidth >= 0 && maxWidth < n) n = maxWidth;
    for (int i = 0; i < n; ++i) {
        int x = col + i;
        if (x < 0) continue;
        if (x >= COLS) break;
        mvaddch(row, x, clean(text[static_cast<std::size_t>(i)]) | static_cast<chtype>(attr));
    }
}

void TerminalToolkit::putForm(const ScreenUi& u, int row, int col, std::string_view text, unsigned long attr,
                               int maxWidth) {
    put(row - u.rowOffset, col - u.colOffset, text, attr, maxWidth);
}

void TerminalToolkit::putChar(const ScreenUi& u, int row, int col, unsigned long ch) {
    int y = row - u.rowOffset;
    int x = col - u.colOffset;
    if (y < 0 || y >= LINES || x < 0 || x >= COLS) return;
    mvaddch(y, x, static_cast<chtype>(ch));
}

int TerminalToolkit::editWidth(int screen, int index) const {
    const ScreenState* st = screenState(screen);
    const ControlDef& d = st->controls[static_cast<std::size_t>(index)].def;
    int label = d.captionHidden || d.caption.empty() ? 0 : static_cast<int>(d.caption.size()) + 1;
    int colOffset = screen < static_cast<int>(ui_.size()) ? ui_[static_cast<std::size_t>(screen)].colOffset : 0;
    int fieldX = d.col + label - colOffset;
    int avail = COLS - fieldX - 2;
    int w = d.width > 0 ? d.width : 20;
    return std::max(0, std::min(w, avail));
}

int TerminalToolkit::listRows(int screen, int index) const {
    const ControlDef& d = screenState(screen)->controls[static_cast<std::size_t>(index)].def;
    return std::max(d.height, 3) - 2;
}

// Columns of item text in a list (or of the chosen text in a drop-down).
int TerminalToolkit::listTextWidth(int screen, int index) const {
    const ControlDef& d = screenState(screen)->controls[static_cast<std::size_t>(index)].def;
    int colOffset = screen < static_cast<int>(ui_.size()) ? ui_[static_cast<std::size_t>(screen)].colOffset : 0;
    int avail = COLS - (d.col - colOffset) - 3;
    int w = d.width > 0 ? d.width : 40;
    if (d.kind == ControlKind::DropDown) return std::max(0, std::min(w, avail));
    int inner = std::max(0, std::min(w, avail));
    int prefix = d.kind == ControlKind::ListMulti ? 4 : 2;
    return std::max(0, inner - prefix);
}

void TerminalToolkit::adjustOffsets(int screen) {
    const ScreenState* st = screenState(screen);
    ScreenUi& u = ui(screen);
    int lastRow = 0;
    for (const ControlState& c : st->controls)
        lastRow = std::max(lastRow, c.def.row + (isList(c.def.kind) ? std::max(c.def.height, 3) - 1 : 0));
    const int rows = std::max(1, LINES - 1);  // the bottom line is the status line
    if (lastRow < rows) {
        u.rowOffset = 0;
    } else if (u.focus >= 0) {
        const ControlDef& d = st->controls[static_cast<std::size_t>(u.focus)].def;
        int top = d.row;
        int bottom = d.row + (isList(d.kind) ? std::max(d.height, 3) - 1 : 0);
        if (bottom - u.rowOffset > rows - 1) u.rowOffset = bottom - (rows - 1);
        if (top - u.rowOffset < 1) u.rowOffset = std::max(0, top - 1);
    }
    if (COLS >= 80) {
        u.colOffset = 0;
    } else if (u.focus >= 0) {
        const ControlDef& d = st->controls[static_cast<std::size_t>(u.focus)].def;
        if (d.col - u.colOffset >= COLS - 4 || d.col < u.colOffset) u.colOffset = std::max(0, d.col - 2);
    } else {
        u.colOffset = 0;
    }
}

void TerminalToolkit::draw(int screen) {
    render(screen);
    refresh();
}

void TerminalToolkit::render(int screen) {
    erase();
    const ScreenState* st = screenState(screen);
    if (!st) return;
    ScreenUi& u = ui(screen);
    adjustOffsets(screen);

    std::string title = " " + st->resource.title;
    if (static_cast<int>(title.size()) < COLS) title.resize(static_cast<std::size_t>(COLS), ' ');
    put(-u.rowOffset, 0, title, A_REVERSE);

    for (std::size_t i = 0; i < st->controls.size(); ++i)
        drawControl(screen, static_cast<int>(i), static_cast<int>(i) == u.focus);
    drawStatus(screen);

    // The caret of a focused edit field; elsewhere the cursor is hidden.
    bool caret = false;
    if (u.focus >= 0) {
        const ControlState& c = st->controls[static_cast<std::size_t>(u.focus)];
        const ControlUi& cu = u.controls[static_cast<std::size_t>(u.focus)];
        if (c.def.kind == ControlKind::Edit) {
            int label = c.def.captionHidden || c.def.caption.empty() ? 0 : static_cast<int>(c.def.caption.size()) + 1;
            int y = c.def.row - u.rowOffset;
            int x = c.def.col + label + 1 + (cu.cursor - cu.hscroll) - u.colOffset;
            if (y >= 0 && y < LINES && x >= 0 && x < COLS) {
                move(y, x);
                caret = true;
            }
        }
    }
    curs_set(caret ? 1 : 0);
}

// The keys of the status line, with the buttons Enter and Esc press on this
// screen.
std::string TerminalToolkit::keySummary(int screen) const {
    auto caption = [&](int id) {
        const ControlState* c = control(screen, id);
        return c ? std::string(rtrim(c->def.caption)) : std::string();
    };
    std::string line = " Tab next  Space select";
    const int enter = defaultButton(screen), esc = cancelButton(screen);
    line += enter ? "  Enter = " + caption(enter) : std::string("  Enter presses a button");
    if (esc) line += "  Esc = " + caption(esc);
    return line + "  F2 console lines";
}

void TerminalToolkit::drawStatus(int screen) {
    if (LINES < 2) return;
    const ScreenUi& u = ui_[static_cast<std::size_t>(screen)];
    std::string line;
    chtype attr = A_NORMAL;
    if (scrollback_.size() > u.consoleMark) {
        line = " " + scrollback_.back();
        attr = A_BOLD;
    } else {
        line = keySummary(screen);
    }
    put(LINES - 1, 0, line, attr, std::max(0, COLS - 1));
}

void TerminalToolkit::drawControl(int screen, int index, bool focused) {
    const ScreenState* st = screenState(screen);
    const ControlState& c = st->controls[static_cast<std::size_t>(index)];
    ScreenUi& u = ui_[static_cast<std::size_t>(screen)];
    ControlUi& cu = u.controls[static_cast<std::size_t>(index)];
    const ControlDef& d = c.def;
    const chtype dim = c.enabled ? A_NORMAL : A_DIM;
    const chtype focus = focused ? A_REVERSE : A_NORMAL;

    switch (d.kind) {
        case ControlKind::Static: {
            std::string_view text = rtrim(c.text);
            if (text.empty()) return;
            int avail = COLS - (d.col - u.colOffset);
            if (static_cast<int>(text.size()) <= avail || avail < 20) {
                putForm(u, d.row, d.col, text, dim);
                return;
            }
            // Too long for the line: wrap at blanks onto at most four lines.
            int row = d.row;
            for (int n = 0; n < 4 && !text.empty(); ++n, ++row) {
                std::string_view piece = text.substr(0, static_cast<std::size_t>(avail));
                if (static_cast<int>(text.size()) > avail) {
                    std::size_t cut = piece.find_last_of(' ');
                    if (cut != std::string_view::npos && cut > 0) piece = piece.substr(0, cut);
                }
                putForm(u, row, d.col, piece, dim);
                text.remove_prefix(piece.size());
                while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
            }
            return;
        }
        case ControlKind::Edit: {
            int label = d.captionHidden || d.caption.empty() ? 0 : static_cast<int>(d.caption.size()) + 1;
            if (label) putForm(u, d.row, d.col, d.caption, dim);
            const int w = editWidth(screen, index);
            const int size = static_cast<int>(c.text.size());
            cu.cursor = std::clamp(cu.cursor, 0, size);
            if (!focused) {
                cu.hscroll = 0;
            } else if (w > 0) {
                if (cu.cursor < cu.hscroll) cu.hscroll = cu.cursor;
                if (cu.cursor > cu.hscroll + w - 1) cu.hscroll = cu.cursor - w + 1;
            }
            cu.hscroll = std::clamp(cu.hscroll, 0, std::max(0, size));
            const int x = d.col + label;
            std::string shown = c.text.substr(static_cast<std::size_t>(std::min(cu.hscroll, size)));
            shown.resize(static_cast<std::size_t>(w), ' ');
            putForm(u, d.row, x, cu.hscroll > 0 ? "<" : "[", dim);
            putForm(u, d.row, x + 1, shown, (focused ? A_REVERSE : A_UNDERLINE) | dim);
            putForm(u, d.row, x + 1 + w, size > cu.hscroll + w ? ">" : "]", dim);
            return;
        }
        case ControlKind::Radio:
        case ControlKind::Check: {
            std::string text = d.kind == ControlKind::Radio ? (c.checked ? "(*) " : "( ) ")
                                                            : (c.checked ? "[X] " : "[ ] ");
            text += d.caption;
            putForm(u, d.row, d.col, text, focus | dim);
            return;
        }
        case ControlKind::Button: {
            std::string text = "< " + d.caption + " >";
            putForm(u, d.row, d.col, text, focus | dim | (d.isDefault ? A_BOLD : A_NORMAL));
            return;
        }
        case ControlKind::DropDown: {
            const int w = listTextWidth(screen, index);
            std::string shown;
            if (c.chosen >= 0 && c.chosen < static_cast<int>(c.items.size()))
                shown = c.items[static_cast<std::size_t>(c.chosen)];
            shown.resize(static_cast<std::size_t>(w), ' ');
            putForm(u, d.row, d.col, "[", dim);
            putForm(u, d.row, d.col + 1, shown, (focused ? A_REVERSE : A_UNDERLINE) | dim);
            putForm(u, d.row, d.col + 1 + w, "v]", dim);
            return;
        }
        case ControlKind::ListSingle:
        case ControlKind::ListMulti: {
            const bool multi = d.kind == ControlKind::ListMulti;
            const int n = static_cast<int>(c.items.size());
            const int rows = listRows(screen, index);
            const int tw = listTextWidth(screen, index);
            const int inner = tw + (multi ? 4 : 2);
            cu.cursor = n == 0 ? 0 : std::clamp(cu.cursor, 0, n - 1);
            if (cu.cursor < cu.top) cu.top = cu.cursor;
            if (cu.cursor >= cu.top + rows) cu.top = cu.cursor - rows + 1;
            cu.top = std::clamp(cu.top, 0, std::max(0, n - rows));

            // Box.
            const int left = d.col;
            const int right = d.col + inner + 1;
            const int bottom = d.row + rows + 1;
            putChar(u, d.row, left, ACS_ULCORNER | dim);
            putChar(u, d.row, right, ACS_URCORNER | dim);
            putChar(u, bottom, left, ACS_LLCORNER | dim);
            putChar(u, bottom, right, ACS_LRCORNER | dim);
            for (int x = left + 1; x < right; ++x) {
                putChar(u, d.row, x, ACS_HLINE | dim);
                putChar(u, bottom, x, ACS_HLINE | dim);
            }
            if (!d.captionHidden && !d.caption.empty())
                putForm(u, d.row, left + 2, " " + d.caption + " ", dim, std::max(0, inner - 2));

            // Items.
            for (int r = 0; r < rows; ++r) {
                const int item = cu.top + r;
                const int y = d.row + 1 + r;
                putChar(u, y, left, ACS_VLINE | dim);
                std::string line;
                chtype attr = dim;
                if (item < n) {
                    const bool sel = c.selected.size() > static_cast<std::size_t>(item) &&
                                     c.selected[static_cast<std::size_t>(item)];
                    line = multi ? (sel ? "[X] " : "[ ] ") : (sel ? "> " : "  ");
                    const std::string& text = c.items[static_cast<std::size_t>(item)];
                    if (cu.hscroll < static_cast<int>(text.size()))
                        line.append(text, static_cast<std::size_t>(cu.hscroll), static_cast<std::size_t>(tw));
                    if (sel) attr |= A_BOLD;
                    if (focused && item == cu.cursor) attr |= A_REVERSE;
                }
                line.resize(static_cast<std::size_t>(inner), ' ');
                putForm(u, y, left + 1, line, attr);
                // Scroll bar in the right border.
                chtype bar = ACS_VLINE;
                if (n > rows) {
                    int thumb = (n - rows) > 0 ? cu.top * (rows - 1) / (n - rows) : 0;
                    if (r == thumb) bar = ACS_CKBOARD;
                }
                putChar(u, y, right, bar | dim);
            }
            // Position and sideways-scroll marks in the bottom border.
            if (n > 0) {
                std::string pos = " " + std::to_string(cu.cursor + 1) + "/" + std::to_string(n) + " ";
                int px = right - 1 - static_cast<int>(pos.size());
                if (px > left + 2) putForm(u, bottom, px, pos, dim);
            }
            if (cu.hscroll > 0) putForm(u, bottom, left + 1, "<", dim);
            std::size_t longest = 0;
            for (int r = 0; r < rows && cu.top + r < n; ++r)
                longest = std::max(longest, c.items[static_cast<std::size_t>(cu.top + r)].size());
            if (static_cast<int>(longest) > cu.hscroll + tw) putForm(u, bottom, left + 2, ">", dim);
            return;
        }
    }
}

// ---------------------------------------------------------------- focus

namespace {
bool focusable(const Toolkit::ControlState& c) { return c.enabled && c.def.kind != ControlKind::Static; }
}  // namespace

int TerminalToolkit::groupTarget(int screen, int index) const {
    const ScreenState* st = screenState(screen);
    const ControlState& c = st->controls[static_cast<std::size_t>(index)];
    if (c.def.kind != ControlKind::Radio) return index;
    for (std::size_t j = 0; j < st->controls.size(); ++j) {
        const ControlState& o = st->controls[j];
        if (o.def.kind == ControlKind::Radio && o.def.group == c.def.group && o.checked && focusable(o))
            return static_cast<int>(j);
    }
    return index;
}

int TerminalToolkit::firstFocus(int screen) const {
    const ScreenState* st = screenState(screen);
    if (!st) return -1;
    for (std::size_t j = 0; j < st->controls.size(); ++j)
        if (focusable(st->controls[j])) return groupTarget(screen, static_cast<int>(j));
    return -1;
}

int TerminalToolkit::nextFocus(int screen, int from, int direction) const {
    const ScreenState* st = screenState(screen);
    if (!st) return -1;
    const int n = static_cast<int>(st->controls.size());
    if (from < 0 || from >= n) return firstFocus(screen);
    const ControlState& cur = st->controls[static_cast<std::size_t>(from)];
    for (int step = 1; step <= n; ++step) {
        int j = ((from + direction * step) % n + n) % n;
        const ControlState& c = st->controls[static_cast<std::size_t>(j)];
        if (!focusable(c)) continue;
        if (cur.def.kind == ControlKind::Radio && c.def.kind == ControlKind::Radio && c.def.group == cur.def.group)
            continue;
        return groupTarget(screen, j);
    }
    return from;
}

// The next radio button of the group in `direction`, or -1 at its end.
int TerminalToolkit::groupStep(int screen, int index, int direction) const {
    const ScreenState* st = screenState(screen);
    const ControlState& cur = st->controls[static_cast<std::size_t>(index)];
    const int n = static_cast<int>(st->controls.size());
    for (int j = index + direction; j >= 0 && j < n; j += direction) {
        const ControlState& c = st->controls[static_cast<std::size_t>(j)];
        if (c.def.kind == ControlKind::Radio && c.def.group == cur.def.group && focusable(c)) return j;
    }
    return -1;
}

void TerminalToolkit::setFocus(int screen, int index) {
    ScreenUi& u = ui(screen);
    u.focus = index;
    const ScreenState* st = screenState(screen);
    if (!st || index < 0) return;
    const ControlState& c = st->controls[static_cast<std::size_t>(index)];
    ControlUi& cu = u.controls[static_cast<std::size_t>(index)];
    if (c.def.kind == ControlKind::Edit) {
        cu.cursor = static_cast<int>(rtrim(c.text).size());
        cu.hscroll = 0;
    } else if (c.def.kind == ControlKind::ListSingle && c.chosen >= 0) {
        cu.cursor = c.chosen;
    }
}

namespace {
// The value of a control, as text, to tell an edited form from the one shown.
std::string valueOf(const Toolkit::ControlState& c) {
    switch (c.def.kind) {
        case ControlKind::Edit: return std::string(rtrim(c.text));
        case ControlKind::Radio:
        case ControlKind::Check: return c.checked ? "1" : "0";
        case ControlKind::ListSingle:
        case ControlKind::ListMulti:
        case ControlKind::DropDown: {
            std::string v = std::to_string(c.chosen) + ":";
            for (bool b : c.selected) v += b ? '1' : '0';
            return v;
        }
        default: return {};
    }
}
}  // namespace

std::vector<std::string> TerminalToolkit::values(int screen) const {
    std::vector<std::string> out;
    if (const ScreenState* st = screenState(screen))
        for (const ControlState& c : st->controls) out.push_back(valueOf(c));
    return out;
}

int TerminalToolkit::leave(int screen) {
    const int esc = cancelButton(screen);
    const ControlState* c = control(screen, esc);
    if (esc == 0 || !c || !c->enabled) {
        beep();
        return 0;
    }
    // A form filled in part is not given up on one key.
    if (ui(screen).edited) {
        const std::string question = "Press \"" + std::string(rtrim(c->def.caption)) +
                                     "\"? What was entered on this screen is lost.";
        if (!confirm(question)) return 0;
    }
    return esc;
}

bool TerminalToolkit::confirm(std::string_view question) {
    const std::string q(rtrim(question));
    const std::string keys = "y = yes    n = no";
    int errors = 0;
    for (;;) {
        if (active() >= 0) render(active());
        else erase();
        const int w = std::max(4, std::min(COLS, static_cast<int>(q.size()) + 4));
        const int x = std::max(0, (COLS - w) / 2);
        const int y = std::max(0, (LINES - 5) / 2);
        std::string border(static_cast<std::size_t>(w - 2), '-');
        put(y, x, "+" + border + "+", A_NORMAL);
        const std::string inside = "|" + std::string(static_cast<std::size_t>(w - 2), ' ') + "|";
        for (int r = 1; r <= 3; ++r) put(y + r, x, inside, A_NORMAL);
        put(y + 4, x, "+" + border + "+", A_NORMAL);
        put(y + 1, x + 2, q, A_BOLD, w - 4);
        put(y + 3, x + 2, keys, A_NORMAL, w - 4);
        curs_set(0);
        refresh();
        int key = getch();
        if (key == ERR) {
            if (++errors >= kMaxInputErrors) return false;
            continue;
        }
        errors = 0;
        if (key == 'y' || key == 'Y') return true;
        if (key == 'n' || key == 'N' || key == kKeyEscape || key == KEY_F(10) || isEnter(key)) return false;
    }
}

int TerminalToolkit::pressIfEnabled(int screen, int id) {
    const ControlState* c = control(screen, id);
    if (id != 0 && c && c->def.kind == ControlKind::Button && c->enabled) return id;
    beep();
    return 0;
}

// ---------------------------------------------------------------- input

bool TerminalToolkit::nextInput(int screen, Message& m) {
    if (!start()) return false;
    if (!screenState(screen)) {
        fail("no screen is shown to wait for input on");
        return false;
    }
    ScreenUi& u = ui(screen);
    if (u.focus < 0 || u.focus >= static_cast<int>(u.controls.size()) ||
        !focusable(screenState(screen)->controls[static_cast<std::size_t>(u.focus)]))
        setFocus(screen, firstFocus(screen));
    int errors = 0;
    for (;;) {
        draw(screen);
        int key = getch();
        if (key == ERR) {
            if (++errors >= kMaxInputErrors) {
                fail("the terminal gives no more input");
                return false;
            }
            continue;
        }
        errors = 0;
        handling_ = true;
        int pressed = handleKey(screen, key);
        handling_ = false;
        // The user has filled in part of this form (now or on an earlier
        // showing): Esc then asks before leaving.
        ScreenUi& after = ui(screen);
        if (!after.edited && values(screen) != after.shown) after.edited = true;
        if (pressed) {
            m = Message{};
            m.type = Message::Type::Command;
            m.screen = screen;
            m.control = pressed;
            return true;
        }
    }
}

int TerminalToolkit::handleKey(int screen, int key) {
    ScreenState* st = screenState(screen);
    ScreenUi& u = ui(screen);
    switch (key) {
        case KEY_RESIZE:
            return 0;
        case kCtrlL:
            clearok(curscr, TRUE);
            return 0;
        case KEY_F(2):
            showConsole();
            return 0;
        case kKeyEscape:
        case KEY_F(10):
            return leave(screen);
        case kKeyTab:
            setFocus(screen, nextFocus(screen, u.focus, +1));
            return 0;
        case KEY_BTAB:
            setFocus(screen, nextFocus(screen, u.focus, -1));
            return 0;
        default:
            break;
    }
    if (u.focus < 0) {
        if (isEnter(key)) return pressIfEnabled(screen, defaultButton(screen));
        return 0;
    }
    ControlState& c = st->controls[static_cast<std::size_t>(u.focus)];
    ControlUi& cu = u.controls[static_cast<std::size_t>(u.focus)];
    const int id = c.def.id;
    auto move_focus = [&](int direction) { setFocus(screen, nextFocus(screen, u.focus, direction)); };

    switch (c.def.kind) {
        case ControlKind::Edit:
            if (isEnter(key)) return pressIfEnabled(screen, defaultButton(screen));
            if (key == KEY_DOWN) move_focus(+1);
            else if (key == KEY_UP) move_focus(-1);
            else editKey(c.text, cu, acceptedLength(c.def), key);
            return 0;
        case ControlKind::Radio: {
            if (isEnter(key)) return pressIfEnabled(screen, defaultButton(screen));
            if (key == ' ') {
                setCheck(screen, id, true);
            } else if (key == KEY_DOWN || key == KEY_RIGHT || key == KEY_UP || key == KEY_LEFT) {
                int dir = key == KEY_DOWN || key == KEY_RIGHT ? +1 : -1;
                int j = groupStep(screen, u.focus, dir);
                if (j >= 0) setFocus(screen, j);
                else if (key == KEY_DOWN || key == KEY_UP) move_focus(dir);
            }
            return 0;
        }
        case ControlKind::Check:
            if (isEnter(key)) return pressIfEnabled(screen, defaultButton(screen));
            if (key == ' ') setCheck(screen, id, !c.checked);
            else if (key == KEY_DOWN) move_focus(+1);
            else if (key == KEY_UP) move_focus(-1);
            return 0;
        case ControlKind::Button:
            if (isEnter(key) || key == ' ') return pressIfEnabled(screen, id);
            if (key == KEY_DOWN || key == KEY_RIGHT) move_focus(+1);
            else if (key == KEY_UP || key == KEY_LEFT) move_focus(-1);
            return 0;
        case ControlKind::DropDown:
            if (isEnter(key) || key == ' ') openDropDown(screen, u.focus);
            else if (key == KEY_DOWN) move_focus(+1);
            else if (key == KEY_UP) move_focus(-1);
            return 0;
        case ControlKind::ListSingle:
        case ControlKind::ListMulti:
            if (isEnter(key)) return pressIfEnabled(screen, defaultButton(screen));
            listKey(screen, u.focus, key);
            return 0;
        case ControlKind::Static:
            return 0;
    }
    return 0;
}

bool TerminalToolkit::editKey(std::string& text, ControlUi& cu, int width, int key) {
    const int size = static_cast<int>(text.size());
    cu.cursor = std::clamp(cu.cursor, 0, size);
    const auto at = static_cast<std::size_t>(cu.cursor);
    if (key == KEY_LEFT) {
        if (cu.cursor > 0) --cu.cursor;
    } else if (key == KEY_RIGHT) {
        if (cu.cursor < size) ++cu.cursor;
    } else if (key == KEY_HOME || key == kCtrlA) {
        cu.cursor = 0;
    } else if (key == KEY_END || key == kCtrlE) {
        // The end of the text proper first, then past any trailing blanks.
        int end = static_cast<int>(rtrim(text).size());
        cu.cursor = cu.cursor < end ? end : size;
    } else if (isBackspace(key)) {
        if (cu.cursor > 0) {
            text.erase(at - 1, 1);
            --cu.cursor;
            return true;
        }
    } else if (key == KEY_DC) {
        if (cu.cursor < size) {
            text.erase(at, 1);
            return true;
        }
    } else if (key == kCtrlU) {
        text.clear();
        cu.cursor = 0;
        cu.hscroll = 0;
        return true;
    } else if (key >= 32 && key < 127) {
        // A field filled out with trailing blanks gives up a blank to make room.
        if (width > 0 && size >= width && cu.cursor < size && text.back() == ' ') text.pop_back();
        if (width <= 0 || static_cast<int>(text.size()) < width) {
            text.insert(at, 1, static_cast<char>(key));
            ++cu.cursor;
            return true;
        }
        beep();
    }
    return false;
}

void TerminalToolkit::listKey(int screen, int index, int key) {
    ScreenState* st = screenState(screen);
    ControlState& c = st->controls[static_cast<std::size_t>(index)];
    ControlUi& cu = ui(screen).controls[static_cast<std::size_t>(index)];
    const int n = static_cast<int>(c.items.size());
    const int rows = listRows(screen, index);
    const int page = std::max(1, rows - 1);
    const int id = c.def.id;
    int cursor = cu.cursor;
    bool moved = true;
    switch (key) {
        case KEY_UP: --cursor; break;
        case KEY_DOWN: ++cursor; break;
        case KEY_PPAGE: cursor -= page; break;
        case KEY_NPAGE: cursor += page; break;
        case KEY_HOME: cursor = 0; break;
        case KEY_END: cursor = n - 1; break;
        case KEY_LEFT:
        case KEY_RIGHT: {
            std::size_t longest = 0;
            for (const std::string& item : c.items) longest = std::max(longest, item.size());
            int maxScroll = std::max(0, static_cast<int>(longest) - listTextWidth(screen, index));
            cu.hscroll += key == KEY_RIGHT ? kListScrollStep : -kListScrollStep;
            cu.hscroll = std::clamp(cu.hscroll, 0, maxScroll);
            return;
        }
        case ' ':
            moved = false;
            if (n > 0) {
                bool sel = c.def.kind == ControlKind::ListMulti && c.selected[static_cast<std::size_t>(cursor)];
                setSelection(screen, id, cursor, !sel);
            }
            return;
        default:
            return;
    }
    if (!moved || n == 0) return;
    cu.cursor = std::clamp(cursor, 0, n - 1);
    // In a single-selection list the cursor carries the selection.
    if (c.def.kind == ControlKind::ListSingle) setSelection(screen, id, cu.cursor, true);
}

void TerminalToolkit::openDropDown(int screen, int index) {
    ScreenState* st = screenState(screen);
    const ControlState& c = st->controls[static_cast<std::size_t>(index)];
    const int n = static_cast<int>(c.items.size());
    if (n == 0) {
        beep();
        return;
    }
    const int id = c.def.id;
    int cursor = c.chosen >= 0 ? c.chosen : 0;
    int top = 0;
    int errors = 0;
    for (;;) {
        const ScreenUi& u = ui(screen);
        // As wide as the closed field, whose "v]" the right border covers.
        const int w = std::max(1, listTextWidth(screen, index) + 1);
        int rows = std::min(n, kDropRows);
        int x = c.def.col - u.colOffset;
        int y = c.def.row - u.rowOffset + 1;
        if (y + rows + 2 > LINES - 1) y = c.def.row - u.rowOffset - rows - 2;
        if (y < 0) {
            y = 0;
            rows = std::max(1, std::min(rows, LINES - 3));
        }
        if (cursor < top) top = cursor;
        if (cursor >= top + rows) top = cursor - rows + 1;

        render(screen);
        std::string border(static_cast<std::size_t>(w), '-');
        put(y, x, "+" + border + "+", A_NORMAL);
        for (int r = 0; r < rows; ++r) {
            int item = top + r;
            std::string text = item < n ? c.items[static_cast<std::size_t>(item)] : std::string();
            text.resize(static_cast<std::size_t>(w), ' ');
            put(y + 1 + r, x, "|", A_NORMAL);
            put(y + 1 + r, x + 1, text, item == cursor ? A_REVERSE : A_NORMAL);
            put(y + 1 + r, x + 1 + w, "|", A_NORMAL);
        }
        put(y + rows + 1, x, "+" + border + "+", A_NORMAL);
        curs_set(0);
        refresh();

        int key = getch();
        if (key == ERR) {
            if (++errors >= kMaxInputErrors) return;
            continue;
        }
        errors = 0;
        switch (key) {
            case KEY_UP: cursor = std::max(0, cursor - 1); break;
            case KEY_DOWN: cursor = std::min(n - 1, cursor + 1); break;
            case KEY_PPAGE: cursor = std::max(0, cursor - rows); break;
            case KEY_NPAGE: cursor = std::min(n - 1, cursor + rows); break;
            case KEY_HOME: cursor = 0; break;
            case KEY_END: cursor = n - 1; break;
            case KEY_RESIZE: break;
            case ' ':
                setSelection(screen, id, cursor, true);
                return;
            case kKeyEscape:
            case kKeyTab:
            case KEY_F(10):
                return;
            default:
                if (isEnter(key)) {
                    setSelection(screen, id, cursor, true);
                    return;
                }
                if (key > 32 && key < 127) {
                    // Jump to the next item that begins with the letter typed.
                    int want = std::tolower(key);
                    for (int k = 1; k <= n; ++k) {
                        int j = (cursor + k) % n;
                        std::string_view item = c.items[static_cast<std::size_t>(j)];
                        std::size_t first = item.find_first_not_of(' ');
                        if (first != std::string_view::npos &&
                            std::tolower(static_cast<unsigned char>(item[first])) == want) {
                            cursor = j;
                            break;
                        }
                    }
                }
                break;
        }
    }
}

void TerminalToolkit::showConsole() {
    const int total = static_cast<int>(scrollback_.size());
    int top = -1;  // -1: follow the end
    int errors = 0;
    for (;;) {
        const int rows = std::max(1, LINES - 2);
        const int maxTop = std::max(0, total - rows);
        if (top < 0 || top > maxTop) top = maxTop;
        erase();
        std::string head = " Console lines (" + std::to_string(total) + ")   Up/Down/PgUp/PgDn scroll, Esc returns";
        if (static_cast<int>(head.size()) < COLS) head.resize(static_cast<std::size_t>(COLS), ' ');
        put(0, 0, head, A_REVERSE);
        for (int r = 0; r < rows && top + r < total; ++r)
            put(1 + r, 0, scrollback_[static_cast<std::size_t>(top + r)], A_NORMAL);
        curs_set(0);
        refresh();
        int key = getch();
        if (key == ERR) {
            if (++errors >= kMaxInputErrors) return;
            continue;
        }
        errors = 0;
        switch (key) {
            case KEY_UP: top = std::max(0, top - 1); break;
            case KEY_DOWN: top = std::min(maxTop, top + 1); break;
            case KEY_PPAGE: top = std::max(0, top - rows); break;
            case KEY_NPAGE: top = std::min(maxTop, top + rows); break;
            case KEY_HOME: top = 0; break;
            case KEY_END: top = maxTop; break;
            case KEY_RESIZE: break;
            default: return;
        }
    }
}

bool TerminalToolkit::promptLine(std::string_view prompt, std::string& answer) {
    if (!start()) return false;
    std::string text;
    ControlUi cu;
    const std::string question(rtrim(prompt));
    int errors = 0;
    for (;;) {
        if (active() >= 0) render(active());
        else erase();
        const int w = std::max(4, std::min(COLS, std::max(static_cast<int>(question.size()) + 4, 44)));
        const int x = std::max(0, (COLS - w) / 2);
        const int y = std::max(0, (LINES - 5) / 2);
        const int field = w - 4;
        std::string border(static_cast<std::size_t>(w - 2), '-');
        put(y, x, "+" + border + "+", A_NORMAL);
        for (int r = 1; r <= 3; ++r) {
            put(y + r, x, "|" + std::string(static_cast<std::size_t>(w - 2), ' ') + "|", A_NORMAL);
        }
        put(y + 4, x, "+" + border + "+", A_NORMAL);
        put(y + 1, x + 1, question, A_BOLD, w - 2);
        cu.cursor = std::clamp(cu.cursor, 0, static_cast<int>(text.size()));
        if (cu.cursor < cu.hscroll) cu.hscroll = cu.cursor;
        if (field > 0 && cu.cursor > cu.hscroll + field - 1) cu.hscroll = cu.cursor - field + 1;
        std::string shown = text.substr(static_cast<std::size_t>(std::min<int>(cu.hscroll, text.size())));
        shown.resize(static_cast<std::size_t>(std::max(0, field)), ' ');
        put(y + 3, x + 2, shown, A_UNDERLINE);
        int cy = y + 3;
        int cx = x + 2 + cu.cursor - cu.hscroll;
        if (cy < LINES && cx < COLS) {
            move(cy, cx);
            curs_set(1);
        }
        refresh();

        int key = getch();
        if (key == ERR) {
            if (++errors >= kMaxInputErrors) return false;
            continue;
        }
        errors = 0;
        if (isEnter(key)) {
            answer = text;
            scrollback_.push_back(question);
            scrollback_.push_back(text);
            if (active() >= 0) draw(active());
            return true;
        }
        if (key == kKeyEscape || key == KEY_F(10)) {
            if (active() >= 0) draw(active());
            return false;
        }
        if (key == KEY_RESIZE) continue;
        editKey(text, cu, kPromptWidth, key);
    }
}

// ---------------------------------------------------------------- factory

std::unique_ptr<Toolkit> makeTerminalToolkit(std::string* error) {
    if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
        if (error) *error = "pelkam needs a terminal; use --script FILE to run from an answer script";
        return nullptr;
    }
    return std::make_unique<TerminalToolkit>();
}

}  // namespace ui
