#include "ui/toolkit.hpp"
#include "core/text.hpp"

#include <cctype>
#include <climits>
#include <utility>

namespace ui {
namespace {

using core::equalBlind;
using core::startsBlind;

bool isList(ControlKind k) {
    return k == ControlKind::ListSingle || k == ControlKind::ListMulti || k == ControlKind::DropDown;
}

std::string_view strip(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
    return s;
}

// A whole number with an optional sign, as an edit field's integer reading.
bool parseLong(std::string_view s, long& out) {
    s = strip(s);
    if (s.empty()) return false;
    bool negative = false;
    if (s.front() == '-' || s.front() == '+') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty()) return false;
    long value = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
        int d = c - '0';
        if (value > (LONG_MAX - d) / 10) return false;
        value = value * 10 + d;
    }
    out = negative ? -value : value;
    return true;
}

}  // namespace

Toolkit::~Toolkit() = default;

// ---------------------------------------------------------------- screens

int Toolkit::create(const ScreenResource& resource) {
    ScreenState st;
    st.resource = resource;
    st.alive = true;
    st.controls.reserve(resource.controls.size());
    for (const ControlDef& def : resource.controls) {
        ControlState c;
        c.def = def;
        switch (def.kind) {
            case ControlKind::Radio:
            case ControlKind::Check:
                c.checked = def.initial == "1";
                break;
            case ControlKind::Static:
                c.text = def.caption;
                break;
            case ControlKind::Edit:
                c.text = def.initial;
                break;
            default:
                break;
        }
        st.controls.push_back(std::move(c));
    }
    // A resource with two set radios in one group keeps the first.
    for (std::size_t i = 0; i < st.controls.size(); ++i) {
        ControlState& a = st.controls[i];
        if (a.def.kind != ControlKind::Radio || !a.checked) continue;
        for (std::size_t j = i + 1; j < st.controls.size(); ++j) {
            ControlState& b = st.controls[j];
            if (b.def.kind == ControlKind::Radio && b.def.group == a.def.group) b.checked = false;
        }
    }
    screens_.push_back(std::move(st));
    return static_cast<int>(screens_.size()) - 1;
}

void Toolkit::release(int screen) {
    ScreenState* st = screenState(screen);
    if (!st) return;
    st->visible = false;
    st->alive = false;
    st->commands.clear();
    st->closeCallback = nullptr;
    if (active_ == screen) refreshActive();
}

void Toolkit::show(int screen, int command) {
    ScreenState* st = screenState(screen);
    if (!st) return;
    if (command != 0) {
        st->visible = true;
        st->shownAt = ++show_seq_;
        active_ = screen;
    } else {
        st->visible = false;
        if (active_ == screen) refreshActive();
    }
}

void Toolkit::refreshActive() {
    active_ = -1;
    long newest = -1;
    for (std::size_t i = 0; i < screens_.size(); ++i) {
        const ScreenState& st = screens_[i];
        if (st.alive && st.visible && st.shownAt > newest) {
            newest = st.shownAt;
            active_ = static_cast<int>(i);
        }
    }
}

void Toolkit::notify(int screen) {
    const ScreenState* st = screenState(screen);
    if (st && st->visible) changed(screen);
}

const Toolkit::ScreenState* Toolkit::screenState(int screen) const {
    if (screen < 0 || screen >= static_cast<int>(screens_.size())) return nullptr;
    const ScreenState& st = screens_[static_cast<std::size_t>(screen)];
    return st.alive ? &st : nullptr;
}

Toolkit::ScreenState* Toolkit::screenState(int screen) {
    return const_cast<ScreenState*>(std::as_const(*this).screenState(screen));
}

const Toolkit::ControlState* Toolkit::control(int screen, int control) const {
    const ScreenState* st = screenState(screen);
    if (!st) return nullptr;
    for (const ControlState& c : st->controls)
        if (c.def.id == control) return &c;
    return nullptr;
}

Toolkit::ControlState* Toolkit::control(int screen, int control) {
    return const_cast<ControlState*>(std::as_const(*this).control(screen, control));
}

std::vector<Toolkit::ControlState*> Toolkit::findControls(int screen, std::string_view captionOrId) {
    std::vector<ControlState*> found;
    ScreenState* st = screenState(screen);
    if (!st) return found;
    std::string_view key = strip(captionOrId);
    if (key.empty()) return found;

    long id = 0;
    if (parseLong(key, id) && id != 0) {
        for (ControlState& c : st->controls)
            if (c.def.id == id) found.push_back(&c);
        if (!found.empty()) return found;
    }
    for (ControlState& c : st->controls)
        if (!c.def.caption.empty() && strip(c.def.caption) == key) found.push_back(&c);
    if (!found.empty()) return found;
    for (ControlState& c : st->controls)
        if (!c.def.caption.empty() && equalBlind(strip(c.def.caption), key)) found.push_back(&c);
    if (!found.empty()) return found;
    for (ControlState& c : st->controls)
        if (!c.def.caption.empty() && startsBlind(strip(c.def.caption), key)) found.push_back(&c);
    return found;
}

int Toolkit::cancelButton(int screen) const {
    const ScreenState* st = screenState(screen);
    if (!st) return 0;
    for (const ControlState& c : st->controls)
        if (c.def.kind == ControlKind::Button && c.def.id == kExitControl) return c.def.id;
    for (const ControlState& c : st->controls)
        if (c.def.kind == ControlKind::Button && c.def.isCancel) return c.def.id;
    return 0;
}

int Toolkit::defaultButton(int screen) const {
    const ScreenState* st = screenState(screen);
    if (!st) return 0;
    for (const ControlState& c : st->controls)
        if (c.def.kind == ControlKind::Button && c.def.isDefault) return c.def.id;
    return 0;
}

std::string Toolkit::screenMessage(int screen) const {
    const ScreenState* st = screenState(screen);
    if (!st || st->resource.messageControl == 0) return {};
    return std::string(strip(getText(screen, st->resource.messageControl)));
}

Toolkit::ControlState* Toolkit::findControl(int screen, std::string_view captionOrId) {
    std::vector<ControlState*> found = findControls(screen, captionOrId);
    return found.size() == 1 ? found.front() : nullptr;
}

// ---------------------------------------------------------------- values

void Toolkit::setText(int screen, int id, std::string_view text) {
    ControlState* c = control(screen, id);
    if (!c) return;
    if (c->def.kind == ControlKind::DropDown || c->def.kind == ControlKind::ListSingle) {
        // Setting the text of a drop-down chooses the item with that text.
        for (std::size_t i = 0; i < c->items.size(); ++i) {
            if (c->items[i] == text) {
                setSelection(screen, id, static_cast<int>(i), true);
                return;
            }
        }
        return;
    }
    c->text.assign(text);
    notify(screen);
}

std::string Toolkit::getText(int screen, int id) const {
    const ControlState* c = control(screen, id);
    if (!c) return {};
    switch (c->def.kind) {
        case ControlKind::DropDown:
        case ControlKind::ListSingle:
            if (c->chosen >= 0 && c->chosen < static_cast<int>(c->items.size()))
                return c->items[static_cast<std::size_t>(c->chosen)];
            return {};
        case ControlKind::Radio:
        case ControlKind::Check:
        case ControlKind::Button:
        case ControlKind::ListMulti:
            return c->def.caption;
        default:
            return c->text;
    }
}

void Toolkit::setInt(int screen, int id, long value) { setText(screen, id, std::to_string(value)); }

long Toolkit::getInt(int screen, int id, bool* ok) const {
    long value = 0;
    bool good = parseLong(getText(screen, id), value);
    if (ok) *ok = good;
    return good ? value : 0;
}

void Toolkit::setCheck(int screen, int id, bool on) {
    ScreenState* st = screenState(screen);
    ControlState* c = control(screen, id);
    if (!st || !c) return;
    if (c->def.kind != ControlKind::Radio && c->def.kind != ControlKind::Check) return;
    if (c->def.kind == ControlKind::Radio && on) {
        for (ControlState& other : st->controls)
            if (other.def.kind == ControlKind::Radio && other.def.group == c->def.group) other.checked = false;
    }
    c->checked = on;
    notify(screen);
}

bool Toolkit::getCheck(int screen, int id) const {
    const ControlState* c = control(screen, id);
    return c && c->checked;
}

// ---------------------------------------------------------------- lists

void Toolkit::setListCount(int screen, int id, int count) {
    ControlState* c = control(screen, id);
    if (!c || !isList(c->def.kind)) return;
    if (count < 0) count = 0;
    c->items.resize(static_cast<std::size_t>(count));
    c->selected.resize(static_cast<std::size_t>(count), false);
    if (c->chosen >= count) c->chosen = -1;
    notify(screen);
}

void Toolkit::setListItem(int screen, int id, int index, std::string_view text) {
    ControlState* c = control(screen, id);
    if (!c || !isList(c->def.kind) || index < 0) return;
    if (index >= static_cast<int>(c->items.size())) {
        c->items.resize(static_cast<std::size_t>(index) + 1);
        c->selected.resize(static_cast<std::size_t>(index) + 1, false);
    }
    c->items[static_cast<std::size_t>(index)].assign(text);
    notify(screen);
}

int Toolkit::listCount(int screen, int id) const {
    const ControlState* c = control(screen, id);
    return c ? static_cast<int>(c->items.size()) : 0;
}

std::string Toolkit::listItem(int screen, int id, int index) const {
    const ControlState* c = control(screen, id);
    if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return {};
    return c->items[static_cast<std::size_t>(index)];
}

void Toolkit::setSelection(int screen, int id, int index, bool selected) {
    ControlState* c = control(screen, id);
    if (!c || !isList(c->def.kind)) return;
    const int n = static_cast<int>(c->items.size());
    if (index >= n || index < -1) return;
    if (c->def.kind == ControlKind::ListMulti) {
        if (index == -1) {
            for (std::size_t i = 0; i < c->selected.size(); ++i) c->selected[i] = selected;
        } else {
            c->selected[static_cast<std::size_t>(index)] = selected;
        }
    } else {
        if (index == -1 || !selected) {
            if (index == -1 || c->chosen == index) c->chosen = -1;
        } else {
            c->chosen = index;
        }
        for (std::size_t i = 0; i < c->selected.size(); ++i) c->selected[i] = static_cast<int>(i) == c->chosen;
    }
    notify(screen);
}

int Toolkit::selectedIndex(int screen, int id) const {
    const ControlState* c = control(screen, id);
    if (!c) return -1;
    if (c->def.kind == ControlKind::ListMulti) {
        for (std::size_t i = 0; i < c->selected.size(); ++i)
            if (c->selected[i]) return static_cast<int>(i);
        return -1;
    }
    return c->chosen;
}

std::vector<int> Toolkit::selectedIndices(int screen, int id) const {
    std::vector<int> out;
    const ControlState* c = control(screen, id);
    if (!c) return out;
    if (c->def.kind == ControlKind::ListMulti) {
        for (std::size_t i = 0; i < c->selected.size(); ++i)
            if (c->selected[i]) out.push_back(static_cast<int>(i));
    } else if (c->chosen >= 0) {
        out.push_back(c->chosen);
    }
    return out;
}

void Toolkit::setHorizontalExtent(int screen, int id, int pixels) {
    ControlState* c = control(screen, id);
    if (!c) return;
    c->extent = pixels < 0 ? 0 : pixels;
    notify(screen);
}

void Toolkit::enable(int screen, int id, bool on) {
    ControlState* c = control(screen, id);
    if (!c) return;
    c->enabled = on;
    notify(screen);
}

bool Toolkit::enabled(int screen, int id) const {
    const ControlState* c = control(screen, id);
    return c && c->enabled;
}

// ---------------------------------------------------------------- callbacks

void Toolkit::onCommand(int screen, int id, Callback cb) {
    ScreenState* st = screenState(screen);
    if (!st) return;
    for (auto& entry : st->commands) {
        if (entry.first == id) {
            entry.second = std::move(cb);
            return;
        }
    }
    st->commands.emplace_back(id, std::move(cb));
}

void Toolkit::onClose(int screen, Callback cb) {
    ScreenState* st = screenState(screen);
    if (st) st->closeCallback = std::move(cb);
}

// ---------------------------------------------------------------- message loop

bool Toolkit::getMessage(Message& m) {
    m = Message{};
    if (quit_posted_) {
        quit_posted_ = false;
        m.type = Message::Type::Quit;
        return false;
    }
    if (ended_) return false;
    if (active_ < 0) {
        fail("no screen is shown to wait for input on");
        return false;
    }
    const int screen = active_;
    if (!nextInput(screen, m)) {
        ended_ = true;
        quit_posted_ = false;
        m = Message{};
        m.type = Message::Type::Quit;
        return false;
    }
    if (m.screen < 0) m.screen = screen;
    return true;
}

bool Toolkit::isDialogMessage(int screen, const Message& m) {
    if (m.screen != screen || !screenState(screen)) return false;
    switch (m.type) {
        case Message::Type::Command: {
            const ControlState* c = control(screen, m.control);
            if (!c) return false;
            const bool isDefault = c->def.kind == ControlKind::Button && c->def.isDefault;
            Callback cb;
            for (const auto& entry : screenState(screen)->commands)
                if (entry.first == m.control) cb = entry.second;  // a copy: the callback may re-register
            if (cb) cb();
            if (isDefault && screenState(screen)) close(screen);
            return true;
        }
        case Message::Type::Close:
            close(screen);
            return true;
        default:
            return false;
    }
}

void Toolkit::dispatch(const Message&) {}

void Toolkit::postQuit() { quit_posted_ = true; }

void Toolkit::close(int screen) {
    ScreenState* st = screenState(screen);
    if (!st) return;
    show(screen, 0);
    Callback cb = st->closeCallback;
    if (cb) cb();
}

void Toolkit::endProgram() {
    ended_ = true;
    postQuit();
}

bool Toolkit::runScreen(int screen) {
    onCommand(screen, kExitControl, [this] { endProgram(); });
    onClose(screen, [this] { postQuit(); });
    show(screen, 1);
    Message m;
    while (getMessage(m))
        if (!isDialogMessage(screen, m)) dispatch(m);
    return !programEnded();
}

void Toolkit::fail(std::string message) {
    if (failure_.empty()) failure_ = std::move(message);
    ended_ = true;
}

ControlDef makeControl(int id, ControlKind kind, std::string caption, int row, int col, int width, int group) {
    ControlDef c;
    c.id = id;
    c.kind = kind;
    c.caption = std::move(caption);
    c.row = row;
    c.col = col;
    c.width = width ? width : static_cast<int>(c.caption.size());
    c.group = group;
    return c;
}

}  // namespace ui
