#include "calc/axis.hpp"

#include <array>

#include "core/text.hpp"

namespace calc {
namespace {

struct Term {
    std::string_view name;
    int exponent = 1;
};

// Splits one side of the quotient into terms.  A '*' followed by a second
// '*' introduces an exponent; a single '*' separates terms.
AxisParseResult splitSide(std::string_view side, int sign, std::array<Term, kMaxAxisMembers>& terms, int& count,
                           std::string_view& bad) {
    std::size_t pos = 0;
    const std::size_t n = side.size();
    for (;;) {
        // Term name: up to '*', '^' or the end.
        std::size_t start = pos;
        while (pos < n && side[pos] != '*' && side[pos] != '^') ++pos;
        std::string_view name = core::trim(side.substr(start, pos - start));
        int exponent = 1;
        bool hasExponent = false;
        if (pos < n && (side[pos] == '^' || (side[pos] == '*' && pos + 1 < n && side[pos + 1] == '*'))) {
            pos += side[pos] == '^' ? 1 : 2;
            hasExponent = true;
            while (pos < n && side[pos] == ' ') ++pos;
            if (pos >= n || side[pos] < '1' || side[pos] > '9') {
                bad = side.substr(start, pos < n ? pos + 1 - start : n - start);
                return AxisParseResult::BadExponent;
            }
            exponent = side[pos] - '0';
            ++pos;
            while (pos < n && side[pos] == ' ') ++pos;
        }
        if (name.empty()) {
            bad = side.substr(start, pos - start);
            return AxisParseResult::Syntax;
        }
        if (count == kMaxAxisMembers) {
            bad = name;
            return AxisParseResult::TooManyTerms;
        }
        terms[static_cast<std::size_t>(count++)] = Term{name, sign * exponent};
        if (pos >= n) return AxisParseResult::Ok;
        if (side[pos] != '*') {
            // A second digit after an exponent (^12), or other text after it.
            bad = side.substr(start);
            return hasExponent ? AxisParseResult::BadExponent : AxisParseResult::Syntax;
        }
        ++pos;  // the separator
    }
}

int findPhase(std::string_view name, const model::PhaseTable& phases) {
    const std::string want = core::upper(name);
    for (int i = 0; i < phases.count; ++i)
        if (core::upper(core::rtrim(phases[i].name)) == want) return i;
    return -1;
}

}  // namespace

std::string axisLabel(std::string_view text) {
    std::string label = " Log a(" + std::string(core::trim(text)) + ")";
    return core::pad(label, 100);
}

AxisParseResult parseAxisVariable(std::string_view text, const model::PhaseTable& phases, AxisQuotient& out,
                                  std::string* badToken) {
    std::string_view field = text.substr(0, std::min<std::size_t>(text.size(), 40));
    std::string_view body = core::trim(field);
    std::string_view bad;
    auto fail = [&](AxisParseResult r) {
        if (badToken) *badToken = std::string(core::trim(bad));
        return r;
    };
    if (body.empty()) return fail(AxisParseResult::Empty);

    std::array<Term, kMaxAxisMembers> terms{};
    int count = 0;
    const std::size_t slash = body.find('/');
    std::string_view numerator = body.substr(0, slash);
    if (AxisParseResult r = splitSide(numerator, +1, terms, count, bad); r != AxisParseResult::Ok) return fail(r);
    if (slash != std::string_view::npos) {
        std::string_view denominator = body.substr(slash + 1);
        if (denominator.find('/') != std::string_view::npos) {
            bad = denominator;
            return fail(AxisParseResult::Syntax);
        }
        if (AxisParseResult r = splitSide(denominator, -1, terms, count, bad); r != AxisParseResult::Ok)
            return fail(r);
    }

    AxisQuotient q;
    q.text = core::pad(field, 40);
    q.label = axisLabel(field);
    for (int t = 0; t < count; ++t) {
        const Term& term = terms[static_cast<std::size_t>(t)];
        int phase = findPhase(term.name, phases);
        if (phase < 0) {
            bad = term.name;
            return fail(AxisParseResult::UnknownPhase);
        }
        q.phase[static_cast<std::size_t>(t)] = phase;
        q.exponent[static_cast<std::size_t>(t)] = term.exponent;
    }
    q.memberCount = count;
    out = q;
    return AxisParseResult::Ok;
}

}  // namespace calc
