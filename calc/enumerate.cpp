#include "calc/enumerate.hpp"

#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string_view>

#include "core/layout.hpp"
#include "core/matrix.hpp"
#include "core/text.hpp"
#include "model/gibbs.hpp"

namespace calc {

using model::kMaxComponents;
using model::kMaxPhases;

namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

double binomial(int n, int k) {
    if (k < 0 || n < 0 || k > n) return 0.0;
    double r = 1.0;
    for (int i = 1; i <= k; ++i) r = r * (n - k + i) / i;
    return std::round(r);
}

// --- Text of a reaction -----------------------------------------------------

constexpr int kWorkLine = 256;
constexpr int kTextLength = 120;
constexpr double kWritten = 1e-5;  // smaller coefficients are not written

// The magnitude of a coefficient as written: whole numbers in F12.0, others
// in F12.3, without leading blanks, trailing zeros and a trailing point;
// empty for 1.
std::string coefficientText(double magnitude) {
    const bool whole = magnitude == std::trunc(magnitude);
    std::string s = core::formatFixed(magnitude, 12, whole ? 0 : 3);
    std::string_view v = core::trim(s);
    if (v.find('.') != std::string_view::npos) {
        while (!v.empty() && v.back() == '0') v.remove_suffix(1);
        if (!v.empty() && v.back() == '.') v.remove_suffix(1);
    }
    if (v == "1") return {};
    return std::string(v);
}

// Appends one term ("coefficient abbreviation") to `out`.
void appendTerm(std::string& out, double magnitude, const model::PhaseRecord& p, bool fullNames) {
    std::string coef = coefficientText(magnitude);
    if (!coef.empty()) {
        out += coef;
        out += ' ';
    }
    out += core::trim(fullNames ? p.name : p.abbreviation);
}

// Drops leading blanks, reduces every run of blanks to one, and cuts or pads
// to the text length.
std::string condense(const std::array<char, kWorkLine>& line, int used) {
    std::string out;
    out.reserve(kTextLength);
    bool blank = true;  // drops leading blanks
    for (int i = 0; i < used && static_cast<int>(out.size()) < kTextLength; ++i) {
        const char ch = line[at(i)];
        if (ch == ' ') {
            if (!blank) out += ' ';
            blank = true;
        } else {
            out += ch;
            blank = false;
        }
    }
    return core::pad(out, kTextLength);
}

// --- Enumeration ------------------------------------------------------------

constexpr int kMaxChosen = kMaxComponents + 1;    // at most C + 1 non-basis phases
constexpr int kMaxDistinctPerSubset = 6435;       // binom(15, 7): choices of left-out positions
constexpr int kSupportMasks = 1 << kMaxComponents;

struct Enumerator {
    Enumerator(const model::PhaseTable& table_, const PhaseSelection& sel_,
               PrunedAssemblageList& pruned_, const EnumerationOptions& options_, const ReactionSink& sink_,
               const ProgressSink& progress_, EnumerationResult& result_)
        : table(table_), sel(sel_), pruned(pruned_), options(options_), sink(sink_),
          progress(progress_), result(result_) {}

    const model::PhaseTable& table;
    const PhaseSelection& sel;
    PrunedAssemblageList& pruned;
    const EnumerationOptions& options;
    const ReactionSink& sink;
    const ProgressSink& progress;
    EnumerationResult& result;

    int N = 0;     // loaded phases (coefficients per reaction)
    int main = 0;  // phases that may take part
    int C = 0;
    int M = 0;     // non-basis phases
    std::array<int, kMaxComponents> basisPhase{};  // phase per position, -1 where no phase takes it
    std::array<int, kMaxPhases> nonBasis{};
    std::array<bool, kMaxPhases> markedPhase{};     // included in all reactions
    std::array<bool, kMaxPhases> markedNonBasis{};  // by non-basis number
    std::array<bool, kMaxComponents> markedPosition{};
    int markedNonBasisCount = 0;

    // Left-out choices that give the same reaction: within one subset of
    // non-basis phases a minimal reaction is fixed by the basis positions it
    // uses, so the set of those position masks seen for the current subset
    // identifies repeats exactly.
    std::bitset<kSupportMasks> seen;
    std::array<std::uint16_t, kMaxDistinctPerSubset> seenList{};
    int seenCount = 0;

    double total = 0;
    int lastPercent = -1;
    Reaction reaction;

    void clearSeen() {
        for (int i = 0; i < seenCount; ++i) seen.reset(seenList[at(i)]);
        seenCount = 0;
    }
    // False when the mask was met before for this subset.
    bool firstSight(std::uint16_t mask) {
        if (seen.test(mask)) return false;
        seen.set(mask);
        if (seenCount < kMaxDistinctPerSubset) seenList[at(seenCount++)] = mask;
        return true;
    }

    void advance(long long count) {
        result.examined += count;
        if (!progress || total <= 0) return;
        long long j = result.examined;
        long long t = static_cast<long long>(total);
        if (j > t) j = t;
        const int percent = static_cast<int>(100 - 100 * j / t);
        if (percent != lastPercent) {
            lastPercent = percent;
            progress(percent);
        }
    }

    const std::array<double, kMaxComponents>& coords(int phase) const { return sel.basis.coords[at(phase)]; }

    // A candidate: coefficients of the chosen non-basis phases and of every
    // basis position.  Returns Ok to go on.
    core::Status emit(const int* chosen, const double* c, int k, std::array<double, kMaxComponents>& b,
                         bool checkRepeats) {
        for (int s = 0; s < k; ++s)
            if (!std::isfinite(c[s])) return core::Status::success();
        std::uint16_t mask = 0;
        for (int p = 0; p < C; ++p) {
            if (!std::isfinite(b[at(p)])) return core::Status::success();
            if (std::fabs(b[at(p)]) < kParticipation) {
                b[at(p)] = 0.0;
                continue;
            }
            // A position no phase fills cannot take part in a reaction.
            if (basisPhase[at(p)] < 0) return core::Status::success();
            mask = static_cast<std::uint16_t>(mask | (1u << p));
        }
        if (checkRepeats && !firstSight(mask)) return core::Status::success();

        double* coef = reaction.coef.data();
        std::fill(coef, coef + kMaxPhases, 0.0);
        for (int s = 0; s < k; ++s) coef[chosen[s]] = c[s];
        for (int p = 0; p < C; ++p)
            if (b[at(p)] != 0.0) coef[basisPhase[at(p)]] = b[at(p)];
        RationalizeCoefficients(coef, N, kRationalTolerance);

        reaction.phaseCount = N;
        if (!FormatReaction(table, sel, reaction)) return core::Status::success();
        if (IsPruned(pruned, coef, N)) return core::Status::success();

        reaction.number = static_cast<int>(++result.found);
        if (options.list != nullptr) {
            options.list->add(std::span<const double>(reaction.coef.data(), at(N)));
            return core::Status::success();
        }
        return sink ? sink(reaction) : core::Status::success();
    }

    // Reactions of one non-basis phase with the basis.
    core::Status singlePhase(int kmax) {
        if (kmax < 1) return core::Status::success();
        for (int j = 0; j < M; ++j) {
            advance(1);
            if (markedNonBasisCount > 1 || (markedNonBasisCount == 1 && !markedNonBasis[at(j)])) continue;
            const int phase = nonBasis[at(j)];
            std::array<double, kMaxComponents> b{};
            for (int p = 0; p < C; ++p) b[at(p)] = coords(phase)[at(p)];
            const double c = -1.0;
            if (core::Status s = emit(&phase, &c, 1, b, false); !s) return s;
        }
        return core::Status::success();
    }

    // Whether the chosen phases (non-basis numbers) hold every phase of a
    // pruned assemblage.
    bool subsetPruned(const int* idx, int k) const {
        std::array<int, kMaxChosen> phases{};
        for (int s = 0; s < k; ++s) phases[at(s)] = nonBasis[at(idx[s])];
        return coversSomeEntry(pruned, std::span<const int>(phases.data(), at(k)));
    }

    // The reactions of the chosen phases with all but the left-out positions.
    core::Status subset(const int* idx, int k) {
        const long long choices = static_cast<long long>(binomial(C, k - 1));
        if (markedNonBasisCount > 0) {
            int held = 0;
            for (int s = 0; s < k; ++s) held += markedNonBasis[at(idx[s])] ? 1 : 0;
            if (held != markedNonBasisCount) {
                advance(choices);
                return core::Status::success();
            }
        }
        if (subsetPruned(idx, k)) {
            advance(choices);
            return core::Status::success();
        }
        clearSeen();

        std::array<int, kMaxChosen> chosen{};
        for (int s = 0; s < k; ++s) chosen[at(s)] = nonBasis[at(idx[s])];
        // A position on which no chosen phase has a coordinate gives a zero
        // row when left out: that choice is singular and is not solved.
        std::array<bool, kMaxComponents> empty{};
        for (int p = 0; p < C; ++p) {
            bool any = false;
            for (int s = 0; s < k && !any; ++s) any = coords(chosen[at(s)])[at(p)] != 0.0;
            empty[at(p)] = !any;
        }
        const int m = k - 1;  // left-out positions and unknowns besides the first phase
        std::array<int, kMaxComponents> left{};
        for (int r = 0; r < m; ++r) left[at(r)] = r;

        while (true) {
            advance(1);
            bool allowed = true;
            for (int r = 0; r < m && allowed; ++r)
                allowed = !markedPosition[at(left[at(r)])] && !empty[at(left[at(r)])];
            if (allowed) {
                if (core::Status s = solve(chosen.data(), k, left.data()); !s) return s;
            }
            // Next choice of left-out positions.
            int r = m - 1;
            while (r >= 0 && left[at(r)] == C - m + r) --r;
            if (r < 0) break;
            ++left[at(r)];
            for (int q = r + 1; q < m; ++q) left[at(q)] = left[at(q - 1)] + 1;
        }
        return core::Status::success();
    }

    // With the first chosen phase at -1, the left-out positions balance when
    // sum over the other chosen phases of c_s x_s[p] = x_1[p]; the basis
    // phases then take b_p = -sum c_s x_s[p].
    core::Status solve(const int* chosen, int k, const int* left) {
        const int m = k - 1;
        std::array<double, kMaxComponents * kMaxComponents> a{};
        std::array<double, kMaxComponents> rhs{};
        for (int r = 0; r < m; ++r) {
            const int p = left[r];
            rhs[at(r)] = coords(chosen[0])[at(p)];
            for (int s = 1; s < k; ++s) a[at(r * m + (s - 1))] = coords(chosen[s])[at(p)];
        }
        if (core::INVRT(a.data(), m, m, kEnumerationPivotTolerance) != 0) return core::Status::success();

        std::array<double, kMaxChosen> c{};
        c[0] = -1.0;
        for (int s = 1; s < k; ++s) {
            double v = 0.0;
            for (int r = 0; r < m; ++r) v += a[at((s - 1) * m + r)] * rhs[at(r)];
            // Every chosen phase must take part, else the reaction belongs to
            // a smaller set of phases.
            if (!(std::fabs(v) >= kParticipation)) return core::Status::success();
            c[at(s)] = v;
        }
        std::array<bool, kMaxComponents> out{};
        for (int r = 0; r < m; ++r) out[at(left[r])] = true;
        std::array<double, kMaxComponents> b{};
        for (int p = 0; p < C; ++p) {
            if (out[at(p)]) continue;
            double v = 0.0;
            for (int s = 0; s < k; ++s) v -= c[at(s)] * coords(chosen[s])[at(p)];
            b[at(p)] = v;
        }
        return emit(chosen, c.data(), k, b, true);
    }

    core::Status run() {
        N = std::clamp(table.count, 0, kMaxPhases);
        main = std::clamp(sel.mainCount, 0, N);
        C = std::clamp(sel.basis.componentCount, 0, kMaxComponents);

        // Basis positions: a phase of the reactions, or none (a unit row, or a
        // phase kept out of the reactions).
        std::array<bool, kMaxPhases> inBasis{};
        for (int p = 0; p < C; ++p) {
            const int ph = sel.basis.phase[at(p)];
            const bool usable = ph >= 0 && ph < main && !inBasis[at(ph)];
            basisPhase[at(p)] = usable ? ph : -1;
            if (usable) inBasis[at(ph)] = true;
        }
        M = 0;
        for (int i = 0; i < main; ++i)
            if (!inBasis[at(i)]) nonBasis[at(M++)] = i;

        const int nIncl = std::clamp(sel.allReactionsCount, 0, kMaxPhases);
        for (int e = 0; e < nIncl; ++e) {
            const int ph = sel.allReactions[at(e)];
            if (ph >= 0 && ph < kMaxPhases) markedPhase[at(ph)] = true;
        }
        for (int j = 0; j < M; ++j) {
            markedNonBasis[at(j)] = markedPhase[at(nonBasis[at(j)])];
            markedNonBasisCount += markedNonBasis[at(j)] ? 1 : 0;
        }
        for (int p = 0; p < C; ++p) markedPosition[at(p)] = basisPhase[at(p)] >= 0 && markedPhase[at(basisPhase[at(p)])];

        result = EnumerationResult{};
        result.independent = N - C;
        total = possibleReactionCount(M + C, C, nIncl);
        result.possible = total;
        reaction.phaseCount = N;

        if (options.list != nullptr) {
            options.list->phaseCount = N;
            options.list->coefficients.clear();
        }

        const int kmax = std::min(C + 1 - nIncl, M);
        if (core::Status s = singlePhase(kmax); !s) return s;
        for (int k = 2; k <= kmax && k <= kMaxChosen; ++k) {
            std::array<int, kMaxChosen> idx{};
            for (int s = 0; s < k; ++s) idx[at(s)] = s;
            while (true) {
                if (core::Status s = subset(idx.data(), k); !s) return s;
                int r = k - 1;
                while (r >= 0 && idx[at(r)] == M - k + r) --r;
                if (r < 0) break;
                ++idx[at(r)];
                for (int q = r + 1; q < k; ++q) idx[at(q)] = idx[at(q - 1)] + 1;
            }
        }
        return core::Status::success();
    }
};

}  // namespace

bool samePhaseSet(const double* a, const double* b, int n) {
    for (int i = 0; i < n; ++i)
        if ((std::fabs(a[i]) > 0.001) != (std::fabs(b[i]) > 0.001)) return false;
    return true;
}

void ReactionList::add(std::span<const double> coef) {
    // A coefficient too wide for the ten columns of the list is kept scaled
    // down by powers of ten (the reaction's equilibrium and its normalised
    // listing values do not change); every coefficient to three decimals.
    double scale = 1.0;
    double largest = 0.0;
    for (double c : coef) largest = std::max(largest, std::fabs(c));
    while (largest * scale >= 99999.9994) scale /= 10.0;
    for (double c : coef) {
        double kept = 0.0;
        core::parseRealField(core::formatFixed(c * scale, 10, 3), 3, kept);
        coefficients.push_back(kept);
    }
}

double possibleReactionCount(int N, int C, int nIncl) {
    const int M = N - C;
    const int kmax = std::min(C + 1 - nIncl, M);
    double sum = 0.0;
    for (int k = 1; k <= kmax; ++k) {
        sum += binomial(M, k) * binomial(C, k - 1);
        if (sum >= kPossibleReactionCap) return kPossibleReactionCap;
    }
    return std::min(sum, kPossibleReactionCap);
}

void RationalizeCoefficients(double* c, int n, double tolerance) {
    if (c == nullptr) return;
    constexpr double kSingle11 = 1.100000023841858;  // 1.1 in single precision
    constexpr int kMaxTerms = 40;
    constexpr double kMaxDenominator = 1e12;
    const double limit = kSingle11 * tolerance;
    for (int i = 0; i < n; ++i) {
        const double v = std::fabs(c[i]);
        if (!(v >= tolerance) || !std::isfinite(v)) continue;
        // Convergents h/k of the continued fraction of v.
        double x = v;
        double h1 = 1, h2 = 0, k1 = 0, k2 = 1;
        double q = 1;
        for (int term = 0; term < kMaxTerms; ++term) {
            const double a = std::floor(x);
            const double h = a * h1 + h2, k = a * k1 + k2;
            h2 = h1, h1 = h, k2 = k1, k1 = k;
            if (k > kMaxDenominator) break;
            q = k;
            if (std::fabs((v - h / k) / v) < limit) break;
            const double frac = x - a;
            if (!(frac > 0)) break;
            x = 1.0 / frac;
        }
        if (std::fabs(q - 1.0) >= tolerance)
            for (int j = 0; j < n; ++j) c[j] *= q;
    }
}

void reactionSides(const model::PhaseTable& table, const double* coef, int n, bool fullNames,
                   std::string& left, std::string& right) {
    // Reactants read from the left; products are placed from the right end
    // towards the middle, so on each side condensed phases (first pass)
    // precede fluid species (second pass).
    left.clear();
    right.clear();
    std::string term;
    for (int pass = 1; pass <= 2; ++pass) {
        for (int i = 0; i < n; ++i) {
            const double c = coef[i];
            if (!(std::fabs(c) >= kWritten)) continue;
            const bool fluid = table[i].kind > 0;
            const bool first = (!fluid && c < 0) || (fluid && c > 0);
            if (first != (pass == 1)) continue;
            term.clear();
            appendTerm(term, std::fabs(c), table[i], fullNames);
            if (c < 0) {
                if (!left.empty()) left += " + ";
                left += term;
            } else {
                if (!right.empty()) term += " + ";
                right.insert(0, term);
            }
        }
    }
}

bool FormatReaction(const model::PhaseTable& table, const PhaseSelection& selection,
                    Reaction& reaction) {
    const int n = std::clamp(table.count, 0, kMaxPhases);
    reaction.phaseCount = n;
    const double* coef = reaction.coef.data();

    std::string left, right;
    left.reserve(kWorkLine);
    right.reserve(kWorkLine);
    reactionSides(table, coef, n, false, left, right);

    // The work line: reactants from its left end, products ending at its
    // right end, "=" midway between them.  Sides too long for the line are
    // packed together instead (the text keeps only its first 120 characters).
    std::array<char, kWorkLine> line;
    line.fill(' ');
    const int nl = std::min(static_cast<int>(left.size()), kWorkLine);
    std::memcpy(line.data(), left.data(), at(nl));
    int rightStart = kWorkLine - static_cast<int>(right.size());
    if (rightStart < nl + 3) rightStart = nl + 3;
    const int nr = std::max(0, std::min(static_cast<int>(right.size()), kWorkLine - rightStart));
    if (nr > 0) std::memcpy(line.data() + rightStart, right.data(), at(nr));
    const int equals = std::min((nl + std::min(rightStart, kWorkLine)) / 2, kWorkLine - 1);
    line[at(equals)] = '=';
    reaction.text = condense(line, kWorkLine);

    // Sums of the reaction's values; the activity-axis phases are left out.
    std::array<int, 2> axis{};
    int nAxis = 0;
    if (selection.hasXAxis && selection.xAxis.memberCount > 0) axis[at(nAxis++)] = selection.xAxis.phase[0];
    if (selection.hasYAxis && selection.yAxis.memberCount > 0) axis[at(nAxis++)] = selection.yAxis.phase[0];
    model::makeReactionTerms(table, coef, reaction.terms, axis.data(), nAxis);

    // Include-in-all-reactions rule.
    int phases = 0;
    std::array<bool, kMaxPhases> in{};
    for (int i = 0; i < n; ++i) {
        in[at(i)] = std::fabs(coef[i]) >= kParticipation;
        phases += in[at(i)] ? 1 : 0;
    }
    const int nIncl = std::clamp(selection.allReactionsCount, 0, kMaxPhases);
    for (int e = 0; e < nIncl; ++e) {
        const int ph = selection.allReactions[at(e)];
        if (ph < 0 || ph >= kMaxPhases || !in[at(ph)]) ++phases;
    }
    return phases <= selection.basis.componentCount + 1;
}

core::Status EnumerateReactions(const model::PhaseTable& table, const PhaseSelection& selection,
                                   PrunedAssemblageList& pruned, const EnumerationOptions& options,
                                   const ReactionSink& sink,
                                   const ProgressSink& progress, EnumerationResult& result) {
    // About 20 KB of work tables: kept off the stack.
    auto e = std::make_unique<Enumerator>(table, selection, pruned, options, sink, progress, result);
    return e->run();
}

}  // namespace calc
