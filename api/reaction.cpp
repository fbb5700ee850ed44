// Reactions as text: reading the terms, finding the phases, the balance.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "api/internal.hpp"
#include "core/text.hpp"
#include "model/gibbs.hpp"
#include "pelkam/reaction.hpp"

namespace pelkam {
namespace {

using detail::requestError;
using core::trimmed;

std::string formatNumber(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.10g", v);
    return buf;
}

// One term of a reaction side: an optional decimal coefficient and a phase.
Result<ReactionText::Term> parseTerm(std::string_view raw, double sign, const std::string& item) {
    const std::string term = trimmed(raw);
    if (term.empty()) return requestError("reaction \"" + item + "\" has an empty term (a '+' or '=' with nothing beside it)");
    std::size_t k = 0;
    while (k < term.size() && ((term[k] >= '0' && term[k] <= '9') || term[k] == '.')) ++k;
    double coefficient = 1;
    if (k > 0) {
        const std::string digits = term.substr(0, k);
        std::size_t after = k;
        while (after < term.size() && term[after] == ' ') ++after;
        if (after < term.size() && term[after] == '/')
            return requestError("reaction \"" + item + "\": the coefficient in \"" + term +
                                "\" is a fraction; write it as a decimal number (for example 1.5)");
        if (!core::parseDecimal(digits, coefficient))
            return requestError("reaction \"" + item + "\": the coefficient '" + digits + "' in \"" + term +
                                "\" is not a number");
        if (!(coefficient > model::kTakesPart))
            return requestError("reaction \"" + item + "\": the coefficient '" + digits + "' in \"" + term +
                                "\" is too small (it must exceed " + formatNumber(model::kTakesPart) + ")");
    }
    ReactionText::Term out{sign * coefficient, trimmed(std::string_view(term).substr(k))};
    if (out.phase.empty()) return requestError("reaction \"" + item + "\": the term \"" + term + "\" names no phase");
    return out;
}

// Whether the '+' at `k` of a reaction side is the charge of the species
// written before it (K+, CA+2) rather than a separator: it follows the name
// without a blank, and nothing but digits, blanks and then '+', '=' or the
// end of the side come after it.
bool isChargeSign(std::string_view side, std::size_t k) {
    if (k == 0 || side[k - 1] == ' ' || side[k - 1] == '\t') return false;
    std::size_t j = k + 1;
    while (j < side.size() && side[j] >= '0' && side[j] <= '9') ++j;
    while (j < side.size() && (side[j] == ' ' || side[j] == '\t')) ++j;
    return j == side.size() || side[j] == '+' || side[j] == '=';
}

// The next '+' of a side from `pos` that separates two terms.
std::size_t nextSeparator(std::string_view side, std::size_t pos) {
    for (std::size_t k = side.find('+', pos); k != std::string_view::npos; k = side.find('+', k + 1))
        if (!isChargeSign(side, k)) return k;
    return std::string_view::npos;
}

}  // namespace

Result<ReactionText> parseReaction(std::string_view text) {
    ReactionText out;
    out.text = trimmed(text);
    if (out.text.empty()) return requestError("an item is empty");
    const std::size_t eq = out.text.find('=');
    if (eq == std::string::npos) {
        out.terms.push_back({1.0, out.text});
        return out;
    }
    out.reaction = true;
    if (out.text.find('=', eq + 1) != std::string::npos)
        return requestError("reaction \"" + out.text + "\" has more than one '='");
    const std::string_view sides[2] = {std::string_view(out.text).substr(0, eq),
                                       std::string_view(out.text).substr(eq + 1)};
    for (int side = 0; side < 2; ++side) {
        if (core::trim(sides[side]).empty())
            return requestError("reaction \"" + out.text + "\" has no " + (side == 0 ? "reactants" : "products"));
        std::size_t pos = 0;
        while (true) {
            const std::size_t plus = nextSeparator(sides[side], pos);
            Result<ReactionText::Term> term = parseTerm(
                sides[side].substr(pos, plus == std::string_view::npos ? std::string_view::npos : plus - pos),
                side == 0 ? -1.0 : 1.0, out.text);
            if (!term) return term.error();
            out.terms.push_back(*term);
            if (plus == std::string_view::npos) break;
            pos = plus + 1;
        }
    }
    return out;
}

bool Reaction::hasWater() const {
    for (const Term& t : terms)
        if (t.phase.kind == kWater) return true;
    return false;
}

bool Reaction::hasAqueousSpecies() const {
    for (const Term& t : terms)
        if (t.phase.kind < 0) return true;
    return false;
}

bool Reaction::hasCarbonDioxide() const {
    for (const Term& t : terms)
        if (t.phase.kind == kCarbonDioxide) return true;
    return false;
}

Result<Reaction> balanceReaction(const DatabaseIndex& index, const ReactionText& text) {
    Reaction out;
    out.text = text.text;
    out.reaction = text.reaction;
    // One term per phase (by its header line), coefficients summed.
    for (const ReactionText::Term& t : text.terms) {
        const PhaseInfo* p = index.find(t.phase);
        if (p == nullptr)
            return requestError("unknown phase '" + t.phase + "': no abbreviation or name in " + index.file +
                                " matches it");
        auto same = [&](const Reaction::Term& m) { return m.phase.sameHeader(*p); };
        if (auto it = std::find_if(out.terms.begin(), out.terms.end(), same); it != out.terms.end())
            it->coefficient += t.coefficient;
        else
            out.terms.push_back({t.coefficient, *p, t.phase});
    }
    if (!text.reaction) return out;
    std::erase_if(out.terms, [](const Reaction::Term& t) { return !(std::fabs(t.coefficient) > model::kTakesPart); });
    if (out.terms.empty()) return requestError("reaction \"" + text.text + "\" has no net change");
    std::string unbalanced;
    for (std::size_t e = 0; e < index.elements.size(); ++e) {
        double excess = 0;
        for (const Reaction::Term& t : out.terms)
            excess += t.coefficient * (e < t.phase.composition.size() ? t.phase.composition[e] : 0.0);
        if (std::fabs(excess) > kBalanceTolerance)
            unbalanced += (unbalanced.empty() ? "" : "; ") +
                          (index.elements[e] == "E" ? std::string("charge (E)") : index.elements[e]) + " excess " + (excess > 0 ? "+" : "") +
                          formatNumber(excess);
    }
    if (!unbalanced.empty())
        return requestError("reaction \"" + text.text + "\" is not balanced (products minus reactants): " + unbalanced);
    return out;
}

}  // namespace pelkam
