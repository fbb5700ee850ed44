#include "core/layout.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace core {

namespace {

// Limits of the notation.  Groups nest at most kMaxDepth deep, so the
// readers and writers keep their group stack in a fixed array.
constexpr int kMaxDepth = 32;
constexpr int kMaxCount = 32767;        // repeat counts, A widths, X counts
constexpr int kMaxNumericWidth = 255;   // I, F, D, E, G widths

bool isBlankChar(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
char upperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// ---------------------------------------------------------------------------
// Parsing the notation

class Parser {
public:
    Parser(std::string_view text, std::vector<LayoutItem>& items) : s_(text), items_(items) {}

    // Parses the whole notation; returns an empty string or the error text.
    std::string run(int& reuseStart) {
        skipBlanks();
        std::size_t end = s_.size();
        while (end > 0 && isBlankChar(s_[end - 1])) --end;
        // The notation's own outer parentheses are not a group.
        if (pos_ < end && s_[pos_] == '(' && matchingParen(pos_) == end - 1) {
            ++pos_;
            end_ = end - 1;
        } else {
            end_ = end;
        }
        if (!parseList(-1)) return error_;
        skipBlanks();
        if (pos_ < end_) {
            fail("unexpected ')'");
            return error_;
        }
        // Reuse starts at the last top-level group.
        reuseStart = 0;
        for (int i = 0; i < static_cast<int>(items_.size());) {
            if (items_[i].kind == ItemKind::Group) {
                reuseStart = i;
                i = items_[i].group_end;
            } else {
                ++i;
            }
        }
        return {};
    }

private:
    std::string_view s_;
    std::vector<LayoutItem>& items_;
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    int depth_ = 0;
    std::string error_;

    // Records the first error; always false, so that callers can return it.
    bool fail(std::string_view why) {
        if (error_.empty()) {
            error_ = std::string(why) + " at position " + std::to_string(pos_ + 1) + " of layout \"" +
                     std::string(s_) + "\"";
        }
        return false;
    }

    // Index of the ')' matching the '(' at `open`, or npos.  Quotes are skipped.
    std::size_t matchingParen(std::size_t open) const {
        int level = 0;
        for (std::size_t i = open; i < s_.size(); ++i) {
            char c = s_[i];
            if (c == '\'' || c == '"') {
                std::size_t j = i + 1;
                while (j < s_.size()) {
                    if (s_[j] == c) {
                        if (j + 1 < s_.size() && s_[j + 1] == c) {
                            j += 2;
                            continue;
                        }
                        break;
                    }
                    ++j;
                }
                i = j;
                continue;
            }
            if (c == '(') ++level;
            if (c == ')' && --level == 0) return i;
        }
        return std::string_view::npos;
    }

    void skipBlanks() {
        while (pos_ < s_.size() && isBlankChar(s_[pos_])) ++pos_;
    }
    bool atEnd() {
        skipBlanks();
        return pos_ >= end_;
    }
    char peek() {
        skipBlanks();
        return pos_ < end_ ? s_[pos_] : '\0';
    }

    // Reads an unsigned number (blanks between digits are ignored); -1 when
    // there is none, -2 when it is too large.
    int number() {
        skipBlanks();
        if (pos_ >= end_ || !isDigit(s_[pos_])) return -1;
        long value = 0;
        while (pos_ < end_ && (isDigit(s_[pos_]) || isBlankChar(s_[pos_]))) {
            if (isDigit(s_[pos_])) {
                value = value * 10 + (s_[pos_] - '0');
                if (value > kMaxCount) return -2;
            }
            ++pos_;
        }
        return static_cast<int>(value);
    }

    // list := item { [','] item }, up to ')' (inside a group) or the end.
    bool parseList(int group) {
        bool any = false;
        for (;;) {
            char c = peek();
            if (c == '\0' || c == ')') {
                if (group >= 0 && !any) return fail("empty group");
                return true;
            }
            if (c == ',') return fail("empty item");
            if (!parseItem()) return false;
            any = true;
            if (peek() == ',') {
                ++pos_;
                char d = peek();
                if (d == '\0' || d == ')') return fail("item missing after ','");
            }
        }
    }

    bool parseItem() {
        std::size_t start = pos_;
        int count = number();
        if (count == -2) return fail("count too large");
        if (count == 0) {
            pos_ = start;
            skipBlanks();
            return fail("count of zero");
        }
        char c = upperChar(peek());
        LayoutItem item;
        switch (c) {
            case '(': {
                if (depth_ == kMaxDepth) return fail("groups nested too deeply");
                ++pos_;
                item.kind = ItemKind::Group;
                item.repeat = count > 0 ? count : 1;
                int index = static_cast<int>(items_.size());
                items_.push_back(item);
                ++depth_;
                if (!parseList(index)) return false;
                if (peek() != ')') return fail("missing ')'");
                ++pos_;
                --depth_;
                items_[index].group_end = static_cast<int>(items_.size());
                return true;
            }
            case '\'':
            case '"': {
                if (count > 0) return fail("count before quoted text");
                char quote = s_[pos_++];
                item.kind = ItemKind::Literal;
                for (;;) {
                    if (pos_ >= end_) return fail("unterminated text");
                    char t = s_[pos_++];
                    if (t == quote) {
                        if (pos_ < end_ && s_[pos_] == quote) {
                            item.text += quote;
                            ++pos_;
                            continue;
                        }
                        break;
                    }
                    item.text += t;
                }
                items_.push_back(std::move(item));
                return true;
            }
            case '/':
                ++pos_;
                item.kind = ItemKind::Slash;
                item.repeat = count > 0 ? count : 1;
                items_.push_back(item);
                return true;
            case ':':
                if (count > 0) return fail("count before ':'");
                ++pos_;
                item.kind = ItemKind::Colon;
                items_.push_back(item);
                return true;
            case 'X':
                // nX: n is the number of columns, not a repeat count.
                ++pos_;
                item.kind = ItemKind::X;
                item.width = count > 0 ? count : 1;
                items_.push_back(item);
                return true;
            case 'A':
            case 'I':
            case 'F':
            case 'D':
            case 'E':
            case 'G':
                ++pos_;
                break;
            default:
                return fail(c == '\0' ? std::string("item missing") : std::string("unexpected '") + s_[pos_] + "'");
        }
        item.repeat = count > 0 ? count : 1;
        std::size_t width_pos = pos_;
        int w = number();
        if (w == -2) return fail("width too large");
        switch (c) {
            case 'A':
                item.kind = ItemKind::A;
                if (w == 0) {
                    pos_ = width_pos;
                    return fail("width of zero");
                }
                item.width = w < 0 ? 0 : w;
                items_.push_back(item);
                return true;
            case 'I': item.kind = ItemKind::I; break;
            case 'F': item.kind = ItemKind::F; break;
            case 'D': item.kind = ItemKind::D; break;
            case 'E': item.kind = ItemKind::E; break;
            default: item.kind = ItemKind::G; break;
        }
        if (w < 0) return fail("width missing");
        if (w == 0 || w > kMaxNumericWidth) {
            pos_ = width_pos;
            return fail("width out of range");
        }
        item.width = w;
        if (c == 'I') {
            items_.push_back(item);
            return true;
        }
        if (peek() != '.') return fail("'.' and decimals missing");
        ++pos_;
        int d = number();
        if (d < 0 || d >= w) return fail(d == -1 ? "decimals missing" : "decimals out of range");
        // The exponent forms need at least one digit after the point.
        if (d == 0 && c != 'F') return fail("decimals must be at least 1");
        item.decimals = d;
        items_.push_back(item);
        return true;
    }
};

// ---------------------------------------------------------------------------
// Walking a layout.  The same walk serves reading and writing: the sink does
// the work of each item, the walk applies the order, the groups, the colon
// and the reuse rule.  Returns false when the sink stopped it.

struct Frame {
    int group;
    int remaining;
};

template <class Sink>
bool walk(const Layout& layout, std::size_t count, Sink& sink) {
    const std::vector<LayoutItem>& items = layout.items();
    const int n = static_cast<int>(items.size());
    Frame stack[kMaxDepth];
    int depth = 0;
    int i = 0;
    std::size_t next = 0;
    std::size_t next_at_pass_start = 0;
    for (;;) {
        while (depth > 0 && i == items[stack[depth - 1].group].group_end) {
            Frame& f = stack[depth - 1];
            if (--f.remaining > 0)
                i = f.group + 1;
            else
                --depth;
        }
        if (i >= n) {
            if (next >= count) return true;
            // A layout without value items would loop for ever.
            if (next == next_at_pass_start) return true;
            next_at_pass_start = next;
            if (!sink.newRecord()) return false;
            i = layout.reuseStart();
            depth = 0;
            continue;
        }
        const LayoutItem& it = items[i];
        switch (it.kind) {
            case ItemKind::Group:
                stack[depth++] = Frame{i, it.repeat};
                ++i;
                break;
            case ItemKind::Colon:
                if (next >= count) return true;
                ++i;
                break;
            case ItemKind::Slash:
                for (int r = 0; r < it.repeat; ++r)
                    if (!sink.newRecord()) return false;
                ++i;
                break;
            case ItemKind::X:
                sink.skip(it.width);
                ++i;
                break;
            case ItemKind::Literal:
                sink.literal(it.text);
                ++i;
                break;
            default:
                for (int r = 0; r < it.repeat; ++r) {
                    if (next >= count) return true;
                    if (!sink.value(it, next)) return false;
                    ++next;
                }
                ++i;
                break;
        }
    }
}

// ---------------------------------------------------------------------------
// Number formatting.  Each routine builds the shortest text of the number in
// a local buffer, then places it right-justified or fills the field with
// asterisks.  Rounding is that of the C library (correctly rounded from the
// binary value, an exact binary tie going to even), which is also what the
// reference Fortran compiler does.
//
// A value that rounds to zero is written without a minus sign (Fortran would
// write "-0.00"); a negative zero likewise.

constexpr int kBuf = 640;  // %.254f of 1e308 needs 309 + 1 + 254 characters

void putStars(std::string& out, int w) { out.append(static_cast<std::size_t>(w), '*'); }

void putRight(std::string& out, const char* text, int len, int w) {
    out.append(static_cast<std::size_t>(w - len), ' ');
    out.append(text, static_cast<std::size_t>(len));
}

// Infinity and NaN, as the reference compiler writes them.
void putSpecial(std::string& out, double v, int w) {
    if (std::isnan(v)) {
        if (w < 3) return putStars(out, w);
        return putRight(out, "NaN", 3, w);
    }
    bool neg = v < 0;
    int need_long = neg ? 9 : 8;
    int need_short = neg ? 4 : 3;
    if (w >= need_long) return putRight(out, neg ? "-Infinity" : "Infinity", need_long, w);
    if (w >= need_short) return putRight(out, neg ? "-Inf" : "Inf", need_short, w);
    putStars(out, w);
}

// Fixed-point text of v with d decimals, leading zero dropped when the width
// needs it.  Returns the length, or -1 when it does not fit in w.
int fixedText(char* buf, double v, int w, int d) {
    char digits[kBuf];
    double ax = std::fabs(v);
    int n = std::snprintf(digits, sizeof digits, "%.*f", d, ax);
    if (n < 0 || n >= kBuf - 2) return -1;
    bool zero = true;
    for (int k = 0; k < n; ++k)
        if (digits[k] >= '1' && digits[k] <= '9') {
            zero = false;
            break;
        }
    bool neg = v < 0 && !zero;
    const char* body = digits;
    int body_len = n;
    int len = body_len + (d == 0 ? 1 : 0) + (neg ? 1 : 0);
    // "0.1234" becomes ".1234" when the field has no room for the zero.
    if (len > w && d > 0 && digits[0] == '0') {
        ++body;
        --body_len;
        --len;
    }
    if (len > w) return -1;
    int k = 0;
    if (neg) buf[k++] = '-';
    std::memcpy(buf + k, body, static_cast<std::size_t>(body_len));
    k += body_len;
    if (d == 0) buf[k++] = '.';
    return k;
}

// Decimal exponent N of the value rounded to d significant digits, such that
// 0.1 <= |x| / 10^N < 1; the d digits go to `digits`.
int decimalDigits(double ax, int d, char* digits) {
    if (ax == 0) {
        std::memset(digits, '0', static_cast<std::size_t>(d));
        return 0;
    }
    char tmp[kBuf];
    std::snprintf(tmp, sizeof tmp, "%.*e", d - 1, ax);
    // tmp is "D.DDDDe+XX" (or "De+XX" for one digit)
    int k = 0;
    const char* p = tmp;
    digits[k++] = *p++;
    if (*p == '.') ++p;
    while (k < d && isDigit(*p)) digits[k++] = *p++;
    while (*p && *p != 'e') ++p;
    int e = 0;
    if (*p == 'e') e = std::atoi(p + 1);
    return e + 1;
}

void appendInteger(std::string& out, long long v, int w) {
    char buf[32];
    int n = std::snprintf(buf, sizeof buf, "%lld", v);
    if (n > w) return putStars(out, w);
    putRight(out, buf, n, w);
}

void appendFixed(std::string& out, double v, int w, int d) {
    if (!std::isfinite(v)) return putSpecial(out, v, w);
    char buf[kBuf];
    int len = fixedText(buf, v, w, d);
    if (len < 0) return putStars(out, w);
    putRight(out, buf, len, w);
}

void appendExponent(std::string& out, double v, int w, int d, char letter) {
    if (d < 1) return putStars(out, w);
    if (!std::isfinite(v)) return putSpecial(out, v, w);
    char digits[kBuf];
    double ax = std::fabs(v);
    int e = decimalDigits(ax, d, digits);
    bool neg = v < 0 && ax != 0;
    char exp[8];
    int ae = e < 0 ? -e : e;
    int exp_len;
    if (ae <= 99)
        exp_len = std::snprintf(exp, sizeof exp, "%c%c%02d", letter, e < 0 ? '-' : '+', ae);
    else  // three exponent digits leave no room for the letter: "0.1+100"
        exp_len = std::snprintf(exp, sizeof exp, "%c%03d", e < 0 ? '-' : '+', ae);
    int len = (neg ? 1 : 0) + 2 + d + exp_len;
    bool zero = true;
    if (len > w) {
        zero = false;
        --len;
    }
    if (len > w) return putStars(out, w);
    out.append(static_cast<std::size_t>(w - len), ' ');
    if (neg) out += '-';
    if (zero) out += '0';
    out += '.';
    out.append(digits, static_cast<std::size_t>(d));
    out.append(exp, static_cast<std::size_t>(exp_len));
}

void appendGeneral(std::string& out, double v, int w, int d) {
    if (d < 1) return putStars(out, w);
    if (!std::isfinite(v)) return putSpecial(out, v, w);
    double ax = std::fabs(v);
    int fw = w - 4;
    int fd;
    if (ax == 0) {
        fd = d - 1;
    } else {
        char digits[kBuf];
        int e = decimalDigits(ax, d, digits);
        if (e < 0 || e > d) return appendExponent(out, v, w, d, 'E');
        fd = d - e;
    }
    char buf[kBuf];
    int len = fw >= 1 ? fixedText(buf, v, fw, fd) : -1;
    if (len < 0) return putStars(out, w);
    putRight(out, buf, len, fw);
    out.append(4, ' ');
}

// Keeps widths inside what the buffers hold; wider fields are padded on the
// left, so the number stays right-justified.
bool clampWidth(std::string& out, int& width) {
    if (width <= 0) return false;
    if (width > kMaxNumericWidth) {
        out.append(static_cast<std::size_t>(width - kMaxNumericWidth), ' ');
        width = kMaxNumericWidth;
    }
    return true;
}

// Free-format text of a real.
int freeRealText(char* buf, std::size_t size, double v) {
    if (std::isnan(v)) return std::snprintf(buf, size, "NaN");
    if (std::isinf(v)) return std::snprintf(buf, size, v < 0 ? "-Infinity" : "Infinity");
    if (v == 0) v = 0;  // no "-0"
    return std::snprintf(buf, size, "%.10g", v);
}

// ---------------------------------------------------------------------------
// Writing

// A real written under an I item is cut toward zero; an integer under a real
// item is converted.  Text under a numeric item fills the field with
// asterisks; a number under an A item is written in its free form.
void appendValue(std::string& out, const LayoutItem& it, const Value& value) {
    if (it.kind == ItemKind::A) {
        std::string_view text;
        char buf[64];
        if (const auto* s = std::get_if<std::string_view>(&value)) {
            text = *s;
        } else if (const auto* i = std::get_if<long long>(&value)) {
            int n = std::snprintf(buf, sizeof buf, "%lld", *i);
            text = std::string_view(buf, static_cast<std::size_t>(n));
        } else {
            int n = freeRealText(buf, sizeof buf, std::get<double>(value));
            text = std::string_view(buf, static_cast<std::size_t>(n));
        }
        if (it.width == 0) {
            out.append(text);
        } else {
            // Aw cuts on the right and pads on the right.
            std::size_t w = static_cast<std::size_t>(it.width);
            if (text.size() >= w) {
                out.append(text.substr(0, w));
            } else {
                out.append(text);
                out.append(w - text.size(), ' ');
            }
        }
        return;
    }
    int w = it.width;
    if (std::holds_alternative<std::string_view>(value)) return putStars(out, w);
    if (it.kind == ItemKind::I) {
        long long iv;
        if (const auto* i = std::get_if<long long>(&value)) {
            iv = *i;
        } else {
            double t = std::trunc(std::get<double>(value));
            if (!(std::fabs(t) < 9.2e18)) return putStars(out, w);
            iv = static_cast<long long>(t);
        }
        return appendInteger(out, iv, w);
    }
    double v = std::holds_alternative<double>(value) ? std::get<double>(value)
                                                      : static_cast<double>(std::get<long long>(value));
    switch (it.kind) {
        case ItemKind::F: return appendFixed(out, v, w, it.decimals);
        case ItemKind::D: return appendExponent(out, v, w, it.decimals, 'D');
        case ItemKind::E: return appendExponent(out, v, w, it.decimals, 'E');
        default: return appendGeneral(out, v, w, it.decimals);
    }
}

// Builds records in `line` and hands each one to `emit`.  X columns are
// written only when something follows them in the record (a record does not
// end in the blanks of an X item).
// The item as the notation writes it ("F10.2", "I5").
std::string itemNotation(const LayoutItem& it) {
    std::string s(1, it.kind == ItemKind::I   ? 'I'
                     : it.kind == ItemKind::F ? 'F'
                     : it.kind == ItemKind::D ? 'D'
                     : it.kind == ItemKind::E ? 'E'
                                              : 'G');
    s += std::to_string(it.width);
    if (it.kind != ItemKind::I) s += "." + std::to_string(it.decimals);
    return s;
}

std::string freeValueText(const Value& value) {
    char buf[64];
    if (const auto* i = std::get_if<long long>(&value)) {
        std::snprintf(buf, sizeof buf, "%lld", *i);
        return buf;
    }
    if (const auto* d = std::get_if<double>(&value)) {
        int n = freeRealText(buf, sizeof buf, *d);
        return std::string(buf, static_cast<std::size_t>(std::max(n, 0)));
    }
    return std::string(std::get<std::string_view>(value));
}

template <class Emit>
struct WriteSink {
    std::string& line;
    Emit& emit;
    std::span<const Value> values;
    FieldOverflow* overflow = nullptr;
    int pending = 0;
    int record = 1;  // 1-based record of this write
    int field = 0;   // value items written to the current record

    void flush() {
        if (pending > 0) line.append(static_cast<std::size_t>(pending), ' ');
        pending = 0;
    }
    bool newRecord() {
        emit(std::string_view(line));
        line.clear();
        pending = 0;
        ++record;
        field = 0;
        return true;
    }
    void skip(int n) { pending += n; }
    void literal(const std::string& text) {
        flush();
        line += text;
    }
    bool value(const LayoutItem& it, std::size_t index) {
        flush();
        const std::size_t before = line.size();
        appendValue(line, it, values[index]);
        ++field;
        // A numeric field filled with asterisks did not hold its value.
        if (overflow != nullptr && overflow->field == 0 && it.kind != ItemKind::A && it.width > 0 &&
            line.size() > before && line.find_first_not_of('*', before) == std::string::npos) {
            overflow->record = record;
            overflow->field = field;
            overflow->item = itemNotation(it);
            overflow->value = freeValueText(values[index]);
        }
        return true;
    }
};

template <class Emit>
void writeRecords(std::string& line, const Layout& layout, std::span<const Value> values, Emit& emit,
                   FieldOverflow* overflow = nullptr) {
    // A layout that did not parse writes nothing.
    line.clear();
    if (!layout.ok()) return;
    WriteSink<Emit> sink{line, emit, values, overflow};
    walk(layout, values.size(), sink);
    emit(std::string_view(line));
}

// ---------------------------------------------------------------------------
// Reading

std::string_view withoutLineEnd(std::string_view s) {
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

class SpanSource final : public RecordSource {
public:
    explicit SpanSource(std::span<const std::string> records) : records_(records) {}
    bool next(std::string_view& record) override {
        if (index_ >= records_.size()) return false;
        record = records_[index_++];
        return true;
    }

private:
    std::span<const std::string> records_;
    std::size_t index_ = 0;
};

class OneSource final : public RecordSource {
public:
    explicit OneSource(std::string_view record) : record_(record) {}
    bool next(std::string_view& record) override {
        if (used_) return false;
        used_ = true;
        record = record_;
        return true;
    }

private:
    std::string_view record_;
    bool used_ = false;
};

// Stores a text of `text` into a text target: blank-padded to its capacity.
void storeText(const TextTarget& t, std::string_view text) {
    if (t.text == nullptr) return;
    std::size_t cap = t.capacity > 0 ? static_cast<std::size_t>(t.capacity) : 0;
    t.text->assign(text.substr(0, cap));
    t.text->resize(cap, ' ');
}

// Stores a number into a numeric target; false when it cannot hold it.
bool storeInteger(const Target& target, long long v) {
    if (auto p = std::get_if<int*>(&target)) {
        if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) return false;
        if (*p) **p = static_cast<int>(v);
    } else if (auto q = std::get_if<long long*>(&target)) {
        if (*q) **q = v;
    } else if (auto r = std::get_if<double*>(&target)) {
        if (*r) **r = static_cast<double>(v);
    } else if (auto f = std::get_if<float*>(&target)) {
        if (*f) **f = static_cast<float>(v);
    } else {
        return false;
    }
    return true;
}

// A real into an integer target must be a whole number in range.
bool storeReal(const Target& target, double v) {
    if (auto r = std::get_if<double*>(&target)) {
        if (*r) **r = v;
        return true;
    }
    if (auto f = std::get_if<float*>(&target)) {
        if (std::fabs(v) > std::numeric_limits<float>::max()) return false;
        if (*f) **f = static_cast<float>(v);
        return true;
    }
    if (std::holds_alternative<TextTarget>(target)) return false;
    if (v != std::trunc(v) || !(std::fabs(v) < 9.2e18)) return false;
    return storeInteger(target, static_cast<long long>(v));
}

struct ReadSink {
    RecordSource& source;
    std::span<const Target> targets;
    std::string_view record;
    int records_used = 0;
    std::size_t col = 0;
    ReadOutcome outcome;

    bool newRecord() {
        std::string_view next;
        if (!source.next(next)) {
            ++records_used;
            outcome.result = ReadResult::EndOfFile;
            outcome.record = records_used;
            return false;
        }
        ++records_used;
        record = withoutLineEnd(next);
        col = 0;
        return true;
    }
    void skip(int n) { col += static_cast<std::size_t>(n); }
    // Quoted text in a layout being read skips its own width.
    void literal(const std::string& text) { col += text.size(); }

    std::string_view take(std::size_t w) {
        if (col >= record.size()) {
            col += w;
            return {};
        }
        std::string_view f = record.substr(col, w);
        col += w;
        return f;
    }

    bool error(std::size_t index, std::string_view text) {
        outcome.result = ReadResult::Error;
        outcome.record = records_used;
        outcome.field = static_cast<int>(index) + 1;
        outcome.text = std::string(text);
        return false;
    }

    bool value(const LayoutItem& it, std::size_t index) {
        const Target& target = targets[index];
        if (it.kind == ItemKind::A) {
            const TextTarget* t = std::get_if<TextTarget>(&target);
            std::size_t cap = (t && t->capacity > 0) ? static_cast<std::size_t>(t->capacity) : 0;
            std::size_t w = it.width > 0 ? static_cast<std::size_t>(it.width) : cap;
            std::string_view f = take(w);
            if (t == nullptr) return error(index, f);
            // Aw wider than the target keeps its rightmost characters; the
            // field counts as blank-padded when the record is short.
            if (w > cap) {
                std::size_t skip = w - cap;
                f = skip < f.size() ? f.substr(skip) : std::string_view{};
            }
            storeText(*t, f);
            return true;
        }
        // Numeric field: w characters, or fewer when a comma ends it.
        std::size_t w = static_cast<std::size_t>(it.width);
        std::string_view f;
        bool comma = false;
        if (col < record.size()) {
            std::string_view rest = record.substr(col, w);
            std::size_t c = rest.find(',');
            if (c != std::string_view::npos) {
                f = rest.substr(0, c);
                col += c + 1;
                comma = true;
            } else {
                f = rest;
                col += w;
            }
        } else {
            col += w;
        }
        if (it.kind == ItemKind::I) {
            long long v = 0;
            if (!parseIntegerField(f, v) || !storeInteger(target, v)) return error(index, f);
            return true;
        }
        // A field ended by a comma holds the number as written: its digits
        // take no implied decimals ("12," reads as 12).
        double v = 0;
        if (!parseRealField(f, comma ? 0 : it.decimals, v) || !storeReal(target, v)) return error(index, f);
        return true;
    }
};

}  // namespace

// ---------------------------------------------------------------------------

Layout::Layout(std::string_view notation) : notation_(notation) {
    Parser parser(notation_, items_);
    error_ = parser.run(reuse_start_);
    if (!error_.empty()) {
        items_.clear();
        reuse_start_ = 0;
    }
}

ReadOutcome readFrom(RecordSource& source, const Layout& layout, std::span<const Target> targets,
                      int& records_used) {
    ReadSink sink{source, targets, {}, 0, 0, {}};
    records_used = 0;
    if (!layout.ok()) {
        sink.outcome.result = ReadResult::Error;
        sink.outcome.text = layout.error();
        return sink.outcome;
    }
    if (!sink.newRecord()) {
        records_used = sink.records_used;
        return sink.outcome;
    }
    // A '/' after the last value that finds no record left ends the read
    // normally: the values are all in.
    struct Guard {
        ReadSink& s;
        std::size_t count;
        std::size_t filled = 0;
        bool newRecord() {
            if (filled >= count) {
                std::string_view next;
                if (!s.source.next(next)) return true;
                ++s.records_used;
                s.record = withoutLineEnd(next);
                s.col = 0;
                return true;
            }
            return s.newRecord();
        }
        void skip(int n) { s.skip(n); }
        void literal(const std::string& t) { s.literal(t); }
        bool value(const LayoutItem& it, std::size_t index) {
            if (!s.value(it, index)) return false;
            filled = index + 1;
            return true;
        }
    } guard{sink, targets.size()};
    walk(layout, targets.size(), guard);
    records_used = sink.records_used;
    if (sink.outcome.result == ReadResult::EndOfFile) sink.outcome.field = static_cast<int>(guard.filled) + 1;
    return sink.outcome;
}

ReadOutcome read_text(std::span<const std::string> records_in, const Layout& layout,
                      std::span<const Target> targets) {
    SpanSource source(records_in);
    int used = 0;
    return readFrom(source, layout, targets, used);
}

ReadOutcome read_text(std::string_view record, const Layout& layout, std::span<const Target> targets) {
    OneSource source(record);
    int used = 0;
    return readFrom(source, layout, targets, used);
}

void writeTo(RecordSink& sink, const Layout& layout, std::span<const Value> values, FieldOverflow* overflow) {
    std::string line;
    auto emit = [&](std::string_view r) { sink.put(r); };
    if (overflow != nullptr) *overflow = FieldOverflow{};
    writeRecords(line, layout, values, emit, overflow);
}

std::vector<std::string> write_text(const Layout& layout, std::span<const Value> values) {
    std::vector<std::string> out;
    std::string line;
    auto emit = [&](std::string_view r) { out.emplace_back(r); };
    writeRecords(line, layout, values, emit);
    return out;
}

void appendText(std::string& out, const Layout& layout, std::span<const Value> values) {
    if (!layout.ok()) return;
    // The record being built is the tail of `out`; a record end adds '\n'.
    struct TailSink {
        std::string& out;
        std::span<const Value> values;
        int pending = 0;
        void flush() {
            if (pending > 0) out.append(static_cast<std::size_t>(pending), ' ');
            pending = 0;
        }
        bool newRecord() {
            out += '\n';
            pending = 0;
            return true;
        }
        void skip(int n) { pending += n; }
        void literal(const std::string& text) {
            flush();
            out += text;
        }
        bool value(const LayoutItem& it, std::size_t index) {
            flush();
            appendValue(out, it, values[index]);
            return true;
        }
    } sink{out, values};
    walk(layout, values.size(), sink);
}

std::string writeLine(const Layout& layout, std::span<const Value> values) {
    std::string out;
    appendText(out, layout, values);
    return out;
}

std::string formatInteger(long long v, int width) {
    std::string out;
    if (!clampWidth(out, width)) return out;
    appendInteger(out, v, width);
    return out;
}

std::string formatFixed(double v, int width, int decimals) {
    std::string out;
    if (!clampWidth(out, width)) return out;
    if (decimals < 0 || decimals >= width) {
        putStars(out, width);
        return out;
    }
    appendFixed(out, v, width, decimals);
    return out;
}

std::string formatExponent(double v, int width, int decimals, char letter) {
    std::string out;
    if (!clampWidth(out, width)) return out;
    if (decimals < 1 || decimals >= width) {
        putStars(out, width);
        return out;
    }
    appendExponent(out, v, width, decimals, letter);
    return out;
}

std::string formatGeneral(double v, int width, int decimals) {
    std::string out;
    if (!clampWidth(out, width)) return out;
    if (decimals < 1 || decimals >= width) {
        putStars(out, width);
        return out;
    }
    appendGeneral(out, v, width, decimals);
    return out;
}

bool parseIntegerField(std::string_view field, long long& out) {
    bool neg = false, sign = false, digit = false;
    unsigned long long v = 0;
    const unsigned long long limit = static_cast<unsigned long long>(std::numeric_limits<long long>::max());
    for (char c : field) {
        if (isBlankChar(c)) continue;
        if ((c == '+' || c == '-') && !sign && !digit) {
            sign = true;
            neg = c == '-';
            continue;
        }
        if (!isDigit(c)) return false;
        digit = true;
        const unsigned long long d = static_cast<unsigned long long>(c - '0');
        const unsigned long long max = limit + (neg ? 1 : 0);
        if (v > (max - d) / 10) return false;  // too large for an integer
        v = v * 10 + d;
    }
    if (sign && !digit) return false;  // a lone sign is not a number
    if (neg)
        out = v == limit + 1 ? std::numeric_limits<long long>::min() : -static_cast<long long>(v);
    else
        out = static_cast<long long>(v);
    return true;
}

bool parseRealField(std::string_view field, int implied_decimals, double& out) {
    constexpr int kMaxDigits = 40;  // digits kept; later ones only scale
    char mant[kMaxDigits + 16];
    int nd = 0;
    bool neg = false, sign = false, digit = false, point = false;
    int frac = 0;      // kept digits after the point (including leading zeros)
    int dropped = 0;   // integer digits dropped beyond kMaxDigits
    enum { Mantissa, ExpStart, ExpDigits } state = Mantissa;
    bool exp_neg = false, exp_digit = false;
    int exp = 0;
    bool any = false;
    for (char c : field) {
        if (isBlankChar(c)) continue;
        any = true;
        if (state == Mantissa) {
            if (c == '+' || c == '-') {
                if (!sign && !digit && !point) {
                    sign = true;
                    neg = c == '-';
                } else if (digit) {
                    // "1.5+3": a signed exponent without its letter
                    state = ExpDigits;
                    exp_neg = c == '-';
                } else {
                    return false;
                }
            } else if (isDigit(c)) {
                digit = true;
                if (nd == 0 && c == '0') {
                    if (point) ++frac;
                } else if (nd < kMaxDigits) {
                    mant[nd++] = c;
                    if (point) ++frac;
                } else if (!point) {
                    ++dropped;
                }
            } else if (c == '.') {
                if (point) return false;
                point = true;
            } else if (c == 'E' || c == 'e' || c == 'D' || c == 'd' || c == 'Q' || c == 'q') {
                if (!digit) return false;
                state = ExpStart;
            } else {
                return false;
            }
        } else if (state == ExpStart) {
            if (c == '+' || c == '-') {
                exp_neg = c == '-';
                state = ExpDigits;
            } else if (isDigit(c)) {
                state = ExpDigits;
                exp_digit = true;
                exp = c - '0';
            } else {
                return false;
            }
        } else {
            if (!isDigit(c)) return false;
            exp_digit = true;
            if (exp < 100000) exp = exp * 10 + (c - '0');
        }
    }
    if (!any) {
        out = 0;
        return true;
    }
    if (!digit) return false;
    if (state != Mantissa && !exp_digit) return false;
    if (nd == 0) {
        out = 0;
        return true;
    }
    long power = (exp_neg ? -exp : exp) + dropped - (point ? frac : implied_decimals);
    int k = nd;
    mant[k++] = 'e';
    k += std::snprintf(mant + k, sizeof mant - static_cast<std::size_t>(k), "%ld", power);
    double v = 0;
    auto res = std::from_chars(mant, mant + k, v);
    if (res.ec == std::errc::result_out_of_range) {
        if (nd + power > 0) return false;  // too large for a real
        v = 0;                             // too small: reads as zero
    } else if (res.ec != std::errc() || !std::isfinite(v)) {
        return false;
    }
    out = neg ? -v : v;
    return true;
}

// ---------------------------------------------------------------------------
// Free format

namespace {

void putFree(std::string& out, const Value& value) {
    char buf[64];
    if (const auto* s = std::get_if<std::string_view>(&value)) {
        out.append(*s);
    } else if (const auto* i = std::get_if<long long>(&value)) {
        out.append(buf, static_cast<std::size_t>(std::snprintf(buf, sizeof buf, "%lld", *i)));
    } else {
        out.append(buf, static_cast<std::size_t>(freeRealText(buf, sizeof buf, std::get<double>(value))));
    }
}

bool isSeparator(char c) { return isBlankChar(c) || c == ',' || c == '/'; }

}  // namespace

// Values are separated by blanks and/or one comma; ",," leaves a target as it
// is, "r*v" stands for r copies of v and "r*" for r values left as they are,
// and '/' ends the values.  Missing values leave their targets as they are
// and still give Done: the record is one record, not the start of a search
// for more values.
ReadOutcome read_free(std::string_view record, std::span<const Target> targets) {
    ReadOutcome outcome;
    record = withoutLineEnd(record);
    std::size_t pos = 0, index = 0;
    const std::size_t n = record.size();
    auto fail = [&](std::size_t field, std::string_view text) {
        outcome.result = ReadResult::Error;
        outcome.record = 1;
        outcome.field = static_cast<int>(field) + 1;
        outcome.text = std::string(text);
        return outcome;
    };
    std::string quoted;
    while (index < targets.size()) {
        while (pos < n && isBlankChar(record[pos])) ++pos;
        if (pos >= n || record[pos] == '/') break;
        if (record[pos] == ',') {  // null value
            ++index;
            ++pos;
            continue;
        }
        // Optional repeat count "r*".
        std::size_t repeat = 1;
        {
            std::size_t p = pos;
            std::size_t r = 0;
            while (p < n && isDigit(record[p]) && r < 1000000) r = r * 10 + static_cast<std::size_t>(record[p++] - '0');
            if (p > pos && p < n && record[p] == '*' && r > 0) {
                repeat = r;
                pos = p + 1;
                if (pos >= n || isSeparator(record[pos])) {  // "r*": r null values
                    index += repeat;
                    while (pos < n && isBlankChar(record[pos])) ++pos;
                    if (pos < n && record[pos] == ',') ++pos;
                    continue;
                }
            }
        }
        std::string_view token;
        bool is_quoted = false;
        std::size_t token_start = pos;
        if (record[pos] == '\'' || record[pos] == '"') {
            char q = record[pos++];
            quoted.clear();
            bool closed = false;
            while (pos < n) {
                char c = record[pos++];
                if (c == q) {
                    if (pos < n && record[pos] == q) {
                        quoted += q;
                        ++pos;
                        continue;
                    }
                    closed = true;
                    break;
                }
                quoted += c;
            }
            if (!closed) return fail(index, record.substr(token_start));
            token = quoted;
            is_quoted = true;
        } else {
            while (pos < n && !isSeparator(record[pos])) ++pos;
            token = record.substr(token_start, pos - token_start);
        }
        for (std::size_t r = 0; r < repeat && index < targets.size(); ++r, ++index) {
            const Target& t = targets[index];
            if (const auto* tt = std::get_if<TextTarget>(&t)) {
                storeText(*tt, token);
                continue;
            }
            if (is_quoted) return fail(index, token);
            bool ok;
            if (std::holds_alternative<int*>(t) || std::holds_alternative<long long*>(t)) {
                long long v = 0;
                ok = parseIntegerField(token, v) && storeInteger(t, v);
            } else {
                double v = 0;
                ok = parseRealField(token, 0, v) && storeReal(t, v);
            }
            if (!ok) return fail(index, token);
        }
        while (pos < n && isBlankChar(record[pos])) ++pos;
        if (pos < n && record[pos] == ',') ++pos;
    }
    return outcome;
}

std::string write_free(std::span<const Value> values) {
    std::string out;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) out += ' ';
        putFree(out, values[i]);
    }
    return out;
}

}  // namespace core
