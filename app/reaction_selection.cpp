#include "app/reaction_selection.hpp"

#include <algorithm>
#include <cmath>

#include "core/layout.hpp"
#include "core/text.hpp"

namespace app {

using model::kMaxPhases;

namespace {

std::size_t at(int i) { return static_cast<std::size_t>(i); }

constexpr double kListed = 0.01;  // a phase counts in the listing above this magnitude
constexpr int kListExtentPixels = 1205;
constexpr int kListItemWidth = 200;

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }


// Reaction k (0-based) of the list into `coef`; false past its end.
bool listedReaction(const calc::ReactionList& list, int k, int n, std::array<double, kMaxPhases>& coef) {
    coef.fill(0.0);
    if (n <= 0 || k >= list.count()) return false;
    const std::span<const double> row = list.reaction(k);
    for (int i = 0; i < n && i < list.phaseCount; ++i) coef[at(i)] = row[at(i)];
    return true;
}

// Whether the phases with a coefficient above 0.001 are the same in both rows.

struct Listed {
    int number = 0;
    ListingValues values;
    std::string text;
};

}  // namespace


CalibrationState readCalibrationList(io::Streams& streams, int unit, const std::string& name,
                                     CalibrationList& list) {
    list = CalibrationList{};
    if (const int e = streams.open(unit, name, io::OpenMode::Existing); e != 0)
        return e == 1 ? CalibrationState::Missing : CalibrationState::Unreadable;
    static const core::Layout layout("(A1,A1,1X,10(A4,2X))");
    bool anyPhase = false;
    CalibrationState state = CalibrationState::Ok;
    while (list.count < kMaxCalibrationLines) {
        std::string mark, group;
        std::array<std::string, kCalibrationPhases> abbr;
        std::array<core::Target, 2 + kCalibrationPhases> targets;
        targets[0] = core::TextTarget{&mark, 1};
        targets[1] = core::TextTarget{&group, 1};
        for (int k = 0; k < kCalibrationPhases; ++k) targets[at(2 + k)] = core::TextTarget{&abbr[at(k)], 4};
        core::ReadOutcome r = streams.read_record(unit, layout, targets);
        if (r.result == core::ReadResult::EndOfFile) break;
        if (!r.done()) {
            state = CalibrationState::Unreadable;
            break;
        }
        CalibrationLine& line = list.line[at(list.count++)];
        line.mark = mark.empty() ? ' ' : mark[0];
        line.group = group.empty() ? ' ' : group[0];
        for (int k = 0; k < kCalibrationPhases; ++k) {
            line.abbreviation[at(k)] = core::pad(abbr[at(k)], 4);
            anyPhase = anyPhase || !core::isBlank(abbr[at(k)]);
        }
    }
    streams.close(unit);
    if (state != CalibrationState::Ok) {
        list = CalibrationList{};
        return state;
    }
    return anyPhase ? CalibrationState::Ok : CalibrationState::Empty;
}

std::string noSuggestionsMessage(CalibrationState state, const std::string& name) {
    const std::string file(core::trim(name));
    switch (state) {
        case CalibrationState::Missing: return "no suggested reactions are known: " + file + " is missing - try again";
        case CalibrationState::Unreadable:
            return "no suggested reactions are known: " + file + " cannot be read - try again";
        case CalibrationState::Empty: return "no suggested reactions are known: " + file + " is empty - try again";
        case CalibrationState::Ok: break;
    }
    return "no suggested reactions: no listed reaction is in " + file + " - try again";
}

std::string parseReactionNumbers(std::string_view text, int listed, std::vector<int>& numbers) {
    auto separator = [](char c) { return c == ' ' || c == ',' || c == ';' || c == '\t'; };
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        if (separator(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        // A number of at most nine digits, so that it cannot overflow.
        auto number = [&](long& value) {
            const std::size_t first = i;
            value = 0;
            while (i < n && digit(text[i]) && i - first < 9) value = value * 10 + (text[i++] - '0');
            return i > first && !(i < n && digit(text[i]));
        };
        auto blanks = [&] {
            while (i < n && text[i] == ' ') ++i;
        };
        long from = 0, to = 0;
        bool ok = number(from);
        to = from;
        if (ok) {
            const std::size_t afterNumber = i;
            blanks();
            if (i < n && text[i] == '-') {
                ++i;
                blanks();
                ok = number(to);
            } else {
                i = afterNumber;
            }
        }
        if (!ok || (i < n && !separator(text[i]))) {
            std::size_t end = start;
            while (end < n && !separator(text[end])) ++end;
            std::string token(text.substr(start, std::max<std::size_t>(end - start, 1)));
            if (token.size() > 20) token = token.substr(0, 17) + "...";
            return "\"" + token + "\" is not a reaction number or range (as in 1, 3-5) - try again";
        }
        if (from > to) std::swap(from, to);
        for (long v : {from, to})
            if (v < 1 || v > listed)
                return "reaction " + std::to_string(v) + " is not in the list" +
                       (listed > 0 ? " (1 to " + std::to_string(listed) + ")" : std::string()) + " - try again";
        for (long v = from; v <= to; ++v) numbers.push_back(static_cast<int>(v));
    }
    return {};
}

std::string cappedListNote(int listed, int total) {
    if (total <= listed) return {};
    return "Only the first " + std::to_string(listed) + " of " + std::to_string(total) +
           " reactions are listed; \"Calculate all\" takes all";
}

std::string matchingAbbreviation(std::string_view abbreviation, int reactionPhases) {
    if (reactionPhases >= 3) {
        if (startsWith(abbreviation, "aQz") || startsWith(abbreviation, "bQz")) return "Qz  ";
        if (startsWith(abbreviation, "Ky") || startsWith(abbreviation, "Si") || startsWith(abbreviation, "And"))
            return "Als ";
    }
    return core::pad(abbreviation, 4);
}

int offerSuggestion(CalibrationList& list, Suggestions& suggestions, int number,
                    std::span<const std::string> abbreviations) {
    if (abbreviations.empty()) return -1;
    int chosen = -1;
    for (int l = 0; l < list.count && chosen < 0; ++l) {
        if (list.used[at(l)]) continue;
        const CalibrationLine& line = list.line[at(l)];
        bool all = true;
        for (const std::string& a : abbreviations) {
            // A phase without an abbreviation never matches.
            bool found = false;
            if (!core::isBlank(a))
                for (const std::string& c : line.abbreviation) found = found || c == a;
            all = all && found;
        }
        if (all) chosen = l;
    }
    if (chosen < 0) return -1;
    list.used[at(chosen)] = true;

    const char group = list.line[at(chosen)].group;
    if (group != ' ') {
        int members = 0, latest = -1;
        for (int s = 0; s < suggestions.count; ++s) {
            if (list.line[at(suggestions.line[at(s)])].group != group) continue;
            ++members;
            if (latest < 0 || suggestions.line[at(s)] > suggestions.line[at(latest)]) latest = s;
        }
        if (members >= 2) {
            if (chosen > suggestions.line[at(latest)]) return -1;
            suggestions.reaction[at(latest)] = number;
            suggestions.line[at(latest)] = chosen;
            return chosen;
        }
    }
    if (suggestions.count >= kMaxCalibrationLines) return -1;
    suggestions.reaction[at(suggestions.count)] = number;
    suggestions.line[at(suggestions.count)] = chosen;
    ++suggestions.count;
    return chosen;
}

ListingValues listingValues(const model::PhaseTable& table, const calc::Reaction& reaction) {
    ListingValues v;
    const int n = std::clamp(table.count, 0, kMaxPhases);
    for (int i = 0; i < n; ++i) {
        const double c = reaction.coef[at(i)];
        if (!(std::fabs(c) > kListed)) continue;
        ++v.phases;
        v.w += std::fabs(c) * table[i].normalisingWeight;
    }
    if (v.phases >= 3)
        for (int i = 0; i < n; ++i) {
            const double c = reaction.coef[at(i)];
            if (std::fabs(c) > kListed && core::trim(table[i].abbreviation) == "W") v.W += 0.5 * c;
        }
    const double dV = reaction.terms.dV0 + v.W;
    const double slope = reaction.terms.dS / dV;
    v.dPdT = std::isfinite(slope) ? slope : 0.0;
    // Without a weight the normalised values have no meaning: they are listed as 0.
    if (v.w != 0.0 && std::isfinite(v.w)) {
        v.dH = 2.0 * reaction.terms.dH / v.w / 100.0;
        v.dS = 2.0 * reaction.terms.dS / v.w;
        v.dV = 2.0 * dV / v.w;
    }
    return v;
}

std::string listingLine(int number, const ListingValues& v, char mark, std::string_view text) {
    static const core::Layout layout("(I4,': ',F5.1,2F6.2,F5.0,1X,A1,1X,A)");
    const std::string m(1, mark);
    const core::Value values[] = {static_cast<long long>(number), v.dH, v.dS, v.dV, v.dPdT,
                                     std::string_view(m), core::rtrim(text)};
    return core::writeLine(layout, values);
}

core::Status SelectReactions(const model::PhaseTable& table, const calc::PhaseSelection& selection,
                                io::Streams& streams, const SelectionSetup& setup, const calc::ReactionSink& sink,
                                SelectionResult& result) {
    result = SelectionResult{};
    const int n = std::clamp(table.count, 0, kMaxPhases);
    const bool replay = setup.screens == nullptr || setup.screens->tk == nullptr;

    CalibrationList calibration;
    const CalibrationState calibrationState =
        readCalibrationList(streams, setup.calibrationUnit, setup.calibrationName, calibration);

    if (setup.list == nullptr) return core::Status::error("no reaction list to choose from");
    const calc::ReactionList& list = *setup.list;

    // Read every reaction: the first 3000 are listed; in a replay with the
    // last reactions only, each is matched against the rows given.
    std::vector<Listed> listed;
    std::vector<bool> replayChoice;
    Suggestions suggestions;
    calc::Reaction reaction;
    std::array<double, kMaxPhases> coef{};
    while (true) {
        if (!listedReaction(list, result.total, n, coef)) break;
        const int number = ++result.total;
        if (replay && setup.lastReactionsOnly) {
            bool match = false;
            for (const auto& row : setup.lastRows) match = match || calc::samePhaseSet(row.data(), coef.data(), std::min(n, static_cast<int>(row.size())));
            replayChoice.push_back(match);
        }
        if (number > kMaxListedReactions) continue;

        reaction.coef = coef;
        reaction.number = number;
        calc::FormatReaction(table, selection, reaction);
        Listed entry;
        entry.number = number;
        entry.values = listingValues(table, reaction);
        entry.text = reaction.text;

        std::array<std::string, kMaxPhases> abbr;
        int na = 0;
        for (int i = 0; i < n; ++i)
            if (std::fabs(coef[at(i)]) > kListed)
                abbr[at(na++)] = matchingAbbreviation(table[i].abbreviation, entry.values.phases);
        offerSuggestion(calibration, suggestions, number, std::span<const std::string>(abbr.data(), at(na)));
        listed.push_back(std::move(entry));
    }
    result.listed = static_cast<int>(listed.size());
    result.suggested = suggestions.count;

    // The listing: suggested reactions first, with their line's mark.
    std::vector<std::string> lines;
    lines.reserve(listed.size());
    std::vector<bool> isSuggested(listed.size() + 1, false);
    for (int s = 0; s < suggestions.count; ++s) {
        const int number = suggestions.reaction[at(s)];
        isSuggested[at(number)] = true;
        const Listed& e = listed[at(number - 1)];
        lines.push_back(listingLine(number, e.values, calibration.line[at(suggestions.line[at(s)])].mark, e.text));
    }
    for (const Listed& e : listed)
        if (!isSuggested[at(e.number)]) lines.push_back(listingLine(e.number, e.values, ' ', e.text));

    if (streams.open(setup.listingUnit, setup.listingName, io::OpenMode::NewOrReplace) != 0) {
        core::Status s = core::Status::error("cannot create the reaction listing");
        s.file = setup.listingName;
        return s;
    }
    static const core::Layout header(
        "(1X,I4,'/',I2,'=Total/Independent Equilibria: Select rxtns to compute (* = suggested)',/,"
        "'  #     dH       dS      dV     dPdT    Equilibrium')");
    const int independent = n - selection.basis.componentCount;
    const core::Value hv[] = {static_cast<long long>(result.listed), static_cast<long long>(independent)};
    bool written = streams.write_record(setup.listingUnit, header, hv);
    for (const std::string& l : lines) written = streams.writeLine(setup.listingUnit, l) && written;
    if (!streams.close(setup.listingUnit) || !written) {
        core::Status s = core::Status::error("cannot write the reaction listing");
        s.file = setup.listingName;
        return s;
    }

    // The choice.
    std::vector<int>& chosen = result.chosen;
    if (replay) {
        for (int r = 1; r <= result.total; ++r)
            if (!setup.lastReactionsOnly || replayChoice[at(r - 1)]) chosen.push_back(r);
    } else {
        ui::Toolkit& tk = *setup.screens->tk;
        const int h = (*setup.screens)[ui::kReactionScreen];
        tk.setText(h, ui::kRxHeader1, std::to_string(independent) + " = # of independent equilibria");
        tk.setText(h, ui::kRxHeader2, "Eqm #    dH   dS    dV  dPdT ! Equilibrium");
        tk.setListCount(h, ui::kRxList, static_cast<int>(lines.size()));
        for (std::size_t i = 0; i < lines.size(); ++i)
            tk.setListItem(h, ui::kRxList, static_cast<int>(i),
                             std::string_view(lines[i]).substr(0, kListItemWidth));
        tk.setHorizontalExtent(h, ui::kRxList, kListExtentPixels);
        tk.setText(h, ui::kRxHeader3, cappedListNote(result.listed, result.total));
        // With suggestions the screen starts on the suggested reactions.
        tk.setCheck(h, suggestions.count > 0 ? ui::kRxSuggested : ui::kRxAll, true);
        for (;;) {
            const bool go_on = tk.runScreen(h);
            tk.show(h, 0);
            if (!go_on) return core::Status::quit();
            chosen.clear();
            std::string message;
            if (tk.getCheck(h, ui::kRxSpecific)) {
                // The lines selected in the list and the numbers typed in the field.
                for (int index : tk.selectedIndices(h, ui::kRxList)) {
                    const std::string item = tk.listItem(h, ui::kRxList, index);
                    long long number = 0;
                    if (core::parseIntegerField(std::string_view(item).substr(0, 4), number) && number >= 1 &&
                        number <= result.listed)
                        chosen.push_back(static_cast<int>(number));
                }
                message = parseReactionNumbers(tk.getText(h, ui::kRxEdit), result.listed, chosen);
                if (message.empty() && chosen.empty()) message = "no reactions chosen - try again";
            } else if (tk.getCheck(h, ui::kRxSuggested)) {
                for (int s = 0; s < suggestions.count; ++s) chosen.push_back(suggestions.reaction[at(s)]);
                if (chosen.empty()) message = noSuggestionsMessage(calibrationState, setup.calibrationName);
            } else {
                // Every reaction, also those beyond the listed ones.
                for (int r = 1; r <= result.total; ++r) chosen.push_back(r);
            }
            if (message.empty()) break;
            if (!ui::showInputError(*setup.screens, message)) return core::Status::quit();
        }
        std::sort(chosen.begin(), chosen.end());
        chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    }

    // The chosen reactions, read again from the list in ascending order.
    if (chosen.empty()) return core::Status::success();
    std::size_t next = 0;
    for (int r = 1; r <= result.total && next < chosen.size(); ++r) {
        if (!listedReaction(list, r - 1, n, coef)) break;
        if (r != chosen[next]) continue;
        ++next;
        reaction.coef = coef;
        reaction.number = r;
        calc::FormatReaction(table, selection, reaction);
        reaction.dPdT = std::trunc(listingValues(table, reaction).dPdT);
        if (sink)
            if (core::Status s = sink(reaction); !s) return s;
    }
    return core::Status::success();
}

}  // namespace app
