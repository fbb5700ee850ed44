#include "io/sln_format.hpp"

#include <cctype>
#include <cmath>
#include <utility>

#include "core/layout.hpp"
#include "core/text.hpp"

namespace io {
namespace {

using core::Status;

constexpr int kMaxInteractionLines = 100;      // lines of one variant before its END line
constexpr double kZeroReciprocal = 9.9999997e-5;

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }

struct Layouts {
    core::Layout header{"(A4,2I1,1X,A3,1X,A3,1X,A20,6F10.2)"};
    core::Layout endMember{"(A80,F10.3)"};
    core::Layout keyword{"(A8,1X,A30)"};
    core::Layout interaction{"(A6,1X,3F10.3)"};
    core::Layout reciprocal{"(6X,2I1,1X,4I1,1X,4I1,2X,3F10.3)"};
};
const Layouts& layouts() {
    static const Layouts l;  // parsed once, never changed
    return l;
}

class Reader {
public:
    Reader(std::span<const std::string> lines, std::string name, std::span<const int> variants, model::SolutionModelSet& set,
           std::vector<std::string>& messages)
        : lines_(lines), name_(std::move(name)), variants_(variants), set_(set), messages_(messages) {}

    Status run();

private:
    std::span<const std::string> lines_;
    std::string name_;
    std::span<const int> variants_;
    model::SolutionModelSet& set_;
    std::vector<std::string>& messages_;
    std::string line_;
    int lineNo_ = 0;

    bool next() {
        if (static_cast<std::size_t>(lineNo_) >= lines_.size()) return false;
        line_ = lines_[static_cast<std::size_t>(lineNo_++)];
        if (!line_.empty() && line_.back() == '\r') line_.pop_back();
        return true;
    }
    void say(const std::string& l) { messages_.push_back(l); }

    Status stop(int field, const std::string& why, const std::string& value) {
        std::string detail = " " + why;
        if (!value.empty()) detail += ": \"" + value + "\"";
        detail += " (" + std::string(core::trim(name_)) + ", line " + std::to_string(lineNo_);
        if (field > 0) detail += ", field " + std::to_string(field);
        detail += ")";
        say(detail);
        Status s = Status::stop(why);
        s.file = std::string(core::trim(name_));
        s.line = lineNo_;
        s.field = field;
        s.value = value;
        return s;
    }
    // A line that does not fit its layout, or a limit of the tables.
    Status readError(int field, const std::string& why, const std::string& value) {
        say("Error reading file Solution Properties from " + core::pad(name_, 30));
        return stop(field, why, value);
    }
    Status layoutError(const core::ReadOutcome& r, const char* what) {
        return readError(r.field, std::string("unreadable field of the ") + what, r.text);
    }
    // The end of the file inside a model block: the model is incomplete.
    Status endsInside(const model::SolutionModel& m, const char* where) {
        return readError(0, "the file ends inside model \"" + m.abbreviation + "\" (" + where + ")", "");
    }

    Status sites(model::SolutionModel& m);
    Status endMember(model::SolutionModel& m, model::EndMemberDefinition& e);
    Status interactionCode(const model::SolutionModel& m, const std::string& code, model::InteractionTerm& t);
    Status reciprocalBlock(model::SolutionModel& m, bool& endOfFile);
};

// The site line: "(" multiplicity ")", one separator character, then the
// cation symbols separated by commas up to a hyphen or a blank.
Status Reader::sites(model::SolutionModel& m) {
    const std::string text = core::pad(line_, 80);
    std::size_t pos = 0;
    m.siteCount = 0;
    while (m.siteCount < model::kMaxSites) {
        const std::size_t open = text.find('(', pos);
        if (open == std::string::npos) break;
        const std::size_t close = text.find(')', open + 1);
        const int site = m.siteCount + 1;
        if (close == std::string::npos)
            return readError(site, "site without a closing parenthesis", std::string(core::rtrim(text.substr(open))));
        // Two digits when the closing parenthesis is more than two columns on.
        std::string digits = close - open > 2 ? text.substr(open + 1, 2) : text.substr(open + 1, 1);
        if (!isDigit(digits[0]) || (digits.size() == 2 && !isDigit(digits[1])))
            return readError(site, "site multiplicity is not a number", text.substr(open, close - open + 1));
        model::SiteDefinition& s = m.sites[static_cast<std::size_t>(m.siteCount)];
        s = model::SiteDefinition{};
        s.multiplicity = std::stoi(digits);
        if (s.multiplicity == 0) return readError(site, "site multiplicity 0", text.substr(open, close - open + 1));
        std::size_t p = close + 2;  // the separator character is skipped
        for (;;) {
            std::size_t start = p;
            while (p < text.size() && text[p] != ',' && text[p] != '-' && text[p] != ' ' && text[p] != '(') ++p;
            if (p == start) return readError(site, "site without a cation symbol", std::string(core::rtrim(text.substr(open, p + 1 - open))));
            if (s.cationCount == model::kMaxCations)
                return readError(site, "more than 6 cations on a site", std::string(core::rtrim(text.substr(open, p - open))));
            s.cations[static_cast<std::size_t>(s.cationCount++)] = core::pad(text.substr(start, p - start), 2);
            if (p < text.size() && text[p] == ',') {
                ++p;
                continue;
            }
            break;
        }
        ++m.siteCount;
        pos = p;
    }
    if (m.siteCount == 0 && m.endMemberCount > 0) return readError(1, "no site on the site line", std::string(core::rtrim(text)));
    return Status::success();
}

// An end-member line: the name up to the first blank, then one group of
// cation tokens per site (symbol, optionally "(n)"), the tokens of a group
// joined directly or by commas, the groups ended by a hyphen or a blank.
Status Reader::endMember(model::SolutionModel& m, model::EndMemberDefinition& e) {
    std::string text;
    double number = 0;
    core::Target t[] = {core::TextTarget{&text, 80}, &number};
    core::ReadOutcome r = core::read_text(line_, layouts().endMember, t);
    if (!r.done()) return layoutError(r, "end-member line");
    e = model::EndMemberDefinition{};
    e.unused = number;
    for (auto& site : e.divisor) site.fill(1.0);
    const std::string body(core::rtrim(text));
    std::size_t p = body.find(' ');
    if (body.empty() || p == 0) return readError(1, "end-member line without a name", body);
    if (p == std::string::npos) p = body.size();
    e.name = core::pad(body.substr(0, p), 20);
    while (p < body.size() && body[p] == ' ') ++p;

    for (int s = 0; s < m.siteCount; ++s) {
        const model::SiteDefinition& site = m.sites[static_cast<std::size_t>(s)];
        std::array<std::string, model::kMaxCations + 1> symbols;
        std::array<int, model::kMaxCations + 1> counts{};
        int tokens = 0;
        const std::size_t groupStart = p;
        while (p < body.size() && body[p] != '-' && body[p] != ' ') {
            std::size_t start = p;
            while (p < body.size() && body[p] != '(' && body[p] != ',' && body[p] != '-' && body[p] != ' ') {
                // A letter after a count starts the next token of the group.
                ++p;
            }
            if (p == start)
                return readError(s + 1, "empty cation token on site " + std::to_string(s + 1), body.substr(groupStart));
            std::string symbol = core::pad(body.substr(start, p - start), 2);
            int count = 1;
            if (p < body.size() && body[p] == '(') {
                const std::size_t close = body.find(')', p);
                std::string digits = close == std::string::npos ? std::string() : body.substr(p + 1, close - p - 1);
                if (digits.empty() || digits.size() > 2 || !isDigit(digits[0]) ||
                    (digits.size() == 2 && !isDigit(digits[1])))
                    return readError(s + 1, "cation count is not a one- or two-digit number",
                                     body.substr(start, (close == std::string::npos ? body.size() : close + 1) - start));
                count = std::stoi(digits);
                p = close + 1;
            }
            if (tokens == model::kMaxCations)
                return readError(s + 1, "more than 6 cations of an end-member on one site", body.substr(groupStart, p - groupStart));
            symbols[static_cast<std::size_t>(tokens)] = symbol;
            counts[static_cast<std::size_t>(tokens)] = count;
            ++tokens;
            if (p < body.size() && body[p] == ',') ++p;
            else if (p < body.size() && !isLetter(body[p])) break;
        }
        if (tokens == 0)
            return readError(s + 1, "no cations for site " + std::to_string(s + 1) + " of end-member " +
                                        std::string(core::rtrim(e.name)), body);
        for (int k = 0; k < tokens; ++k) {
            const std::string& symbol = symbols[static_cast<std::size_t>(k)];
            int cation = 0;
            for (int c = 0; c < site.cationCount && cation == 0; ++c)
                if (site.cations[static_cast<std::size_t>(c)] == symbol) cation = c + 1;
            if (cation == 0) {
                std::string possible, component;
                for (int c = 0; c < std::min(site.cationCount, 5); ++c) possible += site.cations[static_cast<std::size_t>(c)] + " ";
                for (int c = 0; c < std::min(tokens, 5); ++c) component += symbols[static_cast<std::size_t>(c)] + " ";
                say("Cannot match cation in " + m.abbreviation + " component of " + e.name.substr(0, 4));
                say(" Site: " + std::to_string(s + 1) + " Possible cations: " + possible +
                    " Component cations: " + component);
                return stop(s + 1, "unknown cation on site " + std::to_string(s + 1), std::string(core::rtrim(symbol)));
            }
            const int count = counts[static_cast<std::size_t>(k)];
            if (count == 0 || site.multiplicity / count == 0)
                return readError(s + 1, "cation count " + std::to_string(count) + " exceeds the site multiplicity " +
                                            std::to_string(site.multiplicity) + " (no divisor)",
                                 std::string(core::rtrim(symbol)));
            const std::size_t si = static_cast<std::size_t>(s), ki = static_cast<std::size_t>(k);
            e.cation[si][ki] = cation;
            e.count[si][ki] = count;
            e.divisor[si][static_cast<std::size_t>(cation)] = static_cast<double>(site.multiplicity / count);
        }
        e.entries[static_cast<std::size_t>(s)] = tokens;
        // The hyphen or blank that ends the group, then any further blanks.
        if (p < body.size()) ++p;
        while (p < body.size() && body[p] == ' ') ++p;
    }
    return Status::success();
}

// Code of an interaction line: site digit, a blank, four cation digits (a
// blank or 0 meaning absent).
Status Reader::interactionCode(const model::SolutionModel& m, const std::string& code, model::InteractionTerm& t) {
    t.code = core::pad(code, 6);
    if (!isDigit(t.code[0]) || t.code[0] == '0' || t.code[0] - '0' > m.siteCount)
        return readError(1, "interaction site is not a site of the model", t.code);
    t.site = t.code[0] - '0';
    const model::SiteDefinition& site = m.sites[static_cast<std::size_t>(t.site - 1)];
    for (int k = 0; k < 4; ++k) {
        const char c = t.code[static_cast<std::size_t>(2 + k)];
        int v = 0;
        if (c != ' ') {
            if (!isDigit(c)) return readError(1, "interaction cation is not a digit", t.code);
            v = c - '0';
        }
        if (v > site.cationCount) return readError(1, "interaction cation is not a cation of its site", t.code);
        t.cations[static_cast<std::size_t>(k)] = v;
    }
    return Status::success();
}

// A reciprocal block: the "RECIP:" line is its first term line; it ends at
// a line whose column 7 is blank or 0.
Status Reader::reciprocalBlock(model::SolutionModel& m, bool& endOfFile) {
    if (set_.reciprocalCount == model::kMaxReciprocalSets)
        return readError(0, "more than 4 reciprocal sets in the file", std::string(core::rtrim(line_)));
    model::ReciprocalSet& rs = set_.reciprocal[static_cast<std::size_t>(set_.reciprocalCount)];
    rs = model::ReciprocalSet{};
    rs.model = m.abbreviation;
    for (;;) {
        const std::string text = core::pad(line_, 7);
        if (text[6] == ' ' || text[6] == '0') break;
        model::ReciprocalTerm term;
        core::Target t[] = {&term.siteA,        &term.siteB,        &term.plusPair[0], &term.plusPair[1],
                               &term.plusPair[2],  &term.plusPair[3],  &term.minusPair[0], &term.minusPair[1],
                               &term.minusPair[2], &term.minusPair[3], &term.g0,          &term.g1,
                               &term.g2};
        core::ReadOutcome r = core::read_text(line_, layouts().reciprocal, t);
        if (!r.done()) return layoutError(r, "reciprocal term line");
        for (int site : {term.siteA, term.siteB})
            if (site < 1 || site > m.siteCount)
                return readError(site == term.siteA ? 1 : 2, "reciprocal site is not a site of the model",
                                 std::to_string(site));
        for (int k = 0; k < 4; ++k) {
            const int siteOf = k % 2 == 0 ? term.siteA : term.siteB;
            const int cations = m.sites[static_cast<std::size_t>(siteOf - 1)].cationCount;
            for (const auto* pair : {&term.plusPair, &term.minusPair}) {
                const int c = (*pair)[static_cast<std::size_t>(k)];
                if (c < 0 || c > cations)
                    return readError(pair == &term.plusPair ? 3 + k : 7 + k,
                                     "reciprocal cation is not a cation of its site", std::to_string(c));
            }
        }
        const bool zero = std::fabs(term.g0) <= kZeroReciprocal && std::fabs(term.g1) <= kZeroReciprocal &&
                          std::fabs(term.g2) <= kZeroReciprocal;
        if (!zero) {
            if (rs.termCount == model::kMaxReciprocalTerms)
                return readError(0, "more than 4 terms in the reciprocal set of " + m.abbreviation,
                                 std::string(core::rtrim(line_)));
            rs.terms[static_cast<std::size_t>(rs.termCount++)] = term;
        }
        if (!next()) {
            endOfFile = true;
            break;
        }
    }
    ++set_.reciprocalCount;
    return Status::success();
}

Status Reader::run() {
    set_.count = 0;
    set_.reciprocalCount = 0;
    for (auto& m : set_.models) m = model::SolutionModel{};
    for (auto& r : set_.reciprocal) r = model::ReciprocalSet{};

    while (set_.count < model::kMaxModels) {
        if (!next()) break;
        if (core::isBlank(core::pad(line_, 4))) break;

        const int index = set_.count;
        model::SolutionModel& m = set_.models[static_cast<std::size_t>(index)];
        m = model::SolutionModel{};
        std::string unused1, unused2;
        core::Target ht[] = {core::TextTarget{&m.abbreviation, 4},
                                &m.evaluateExcessEachCall,
                                &m.endMemberCount,
                                core::TextTarget{&unused1, 3},
                                core::TextTarget{&unused2, 3},
                                core::TextTarget{&m.name, 20},
                                &m.extraParameters[0],
                                &m.extraParameters[1],
                                &m.extraParameters[2],
                                &m.extraParameters[3],
                                &m.extraParameters[4],
                                &m.extraParameters[5]};
        core::ReadOutcome r = core::read_text(line_, layouts().header, ht);
        if (!r.done()) return layoutError(r, "model header");
        if (m.endMemberCount < 0 || m.endMemberCount > model::kMaxEndMembers)
            return readError(3, "more than 8 end-members in model " + m.abbreviation,
                             std::to_string(m.endMemberCount));
        const int variant = index < static_cast<int>(variants_.size()) ? variants_[static_cast<std::size_t>(index)] : 0;
        m.selectedMixingModel = variant;

        if (!next()) return endsInside(m, "no site line");
        if (Status s = sites(m); !s) return s;

        for (int e = 0; e < m.endMemberCount; ++e) {
            if (!next()) return endsInside(m, "its end-member lines are incomplete");
            if (Status s = endMember(m, m.endMembers[static_cast<std::size_t>(e)]); !s) return s;
        }

        // Keyword lines up to a blank one or a reciprocal block.
        bool endOfFile = false;
        for (;;) {
            if (!next()) {
                endOfFile = true;
                break;
            }
            const std::string head = core::pad(line_, 6);
            if (core::isBlank(head)) break;
            if (head == "RECIP:") {
                if (Status s = reciprocalBlock(m, endOfFile); !s) return s;
                break;
            }
            if (m.mixingModelCount == model::kMaxMixingModels)
                return readError(1, "more than 5 mixing variants in model " + m.abbreviation,
                                 std::string(core::rtrim(line_)));
            model::MixingModelEntry& entry = m.mixingModels[static_cast<std::size_t>(m.mixingModelCount++)];
            core::Target kt[] = {core::TextTarget{&entry.keyword, 8}, core::TextTarget{&entry.description, 30}};
            r = core::read_text(line_, layouts().keyword, kt);
            if (!r.done()) return layoutError(r, "variant line");
            const bool selected = m.mixingModelCount == variant;

            int lines = 0;
            bool ended = false;
            while (lines < kMaxInteractionLines) {
                if (!next()) return endsInside(m, "no END line after the interaction lines of a variant");
                model::InteractionTerm term;
                std::string code;
                core::Target it[] = {core::TextTarget{&code, 6}, &term.wH, &term.wS, &term.wV};
                r = core::read_text(line_, layouts().interaction, it);
                if (!r.done()) return layoutError(r, "interaction line");
                if (code == "END   " || code == "end   ") {
                    ended = true;
                    break;
                }
                ++lines;
                if (Status s = interactionCode(m, code, term); !s) return s;
                if (!selected) continue;
                if (m.interactionCount == model::kMaxInteractionTerms)
                    return readError(1, "more than 20 interaction lines in variant " +
                                            std::string(core::rtrim(entry.keyword)) + " of model " + m.abbreviation,
                                     code);
                m.interactionTerms[static_cast<std::size_t>(m.interactionCount++)] = term;
            }
            if (!ended)
                return readError(1, "no END line within 100 interaction lines of variant " +
                                        std::string(core::rtrim(entry.keyword)) + " of model " + m.abbreviation,
                                 std::string(core::rtrim(line_)));
        }
        ++set_.count;
        if (endOfFile) return Status::success();
    }
    // The table holds twelve models; a further one is not read, but said so.
    if (set_.count == model::kMaxModels && next() && !core::isBlank(core::pad(line_, 4)))
        say(" Solution properties file " + std::string(core::trim(name_)) + ": only the first " +
            std::to_string(model::kMaxModels) + " models are read (line " + std::to_string(lineNo_) + " is not)");
    return Status::success();
}

}  // namespace

Status parseSolutionModels(std::span<const std::string> lines, const std::string& fileName,
                           std::span<const int> variants, model::SolutionModelSet& set, std::vector<std::string>& messages) {
    Reader reader(lines, std::string(core::trim(fileName)), variants, set, messages);
    return reader.run();
}

}  // namespace io
