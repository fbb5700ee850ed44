// Phase header lines, the formula grammar, and the chemical system built
// from the user's element line.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>

#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/database.hpp"
#include "io/database_text.hpp"

namespace io {

namespace {

using core::Status;

constexpr std::size_t kNameWidth = 20;
constexpr std::size_t kAbbreviationWidth = 8;
constexpr std::size_t kSymbolWidth = 8;
constexpr std::size_t kSystemLineWidth = 120;

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// A coefficient: an integer or a decimal number with a point, with an
// optional sign (charges of aqueous species are negative), blanks around it
// allowed.  Anything else ("1/2", "2a", an empty pair of brackets) is not a
// number.
bool parseCoefficient(std::string_view text, double& out) {
    text = trimBlanks(text);
    if (text.empty()) return false;
    std::size_t i = 0;
    if (text[0] == '+' || text[0] == '-') ++i;
    bool digit = false, point = false;
    for (std::size_t k = i; k < text.size(); ++k) {
        char c = text[k];
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    if (!digit) return false;
    // from_chars takes no leading '+'.
    std::string_view num = text[0] == '+' ? text.substr(1) : text;
    double v = 0;
    auto [end, ec] = std::from_chars(num.data(), num.data() + num.size(), v, std::chars_format::fixed);
    if (ec != std::errc() || end != num.data() + num.size()) return false;
    out = v;
    return true;
}

// Formula errors: each writes its lines and the quoted line, then stops.
enum class FormulaError { GroupNotClosed, NoGroupCoefficient, NoClosingBracket, NonNumeric, NoCoefficient };

Status formulaStop(FormulaError e, std::string_view line, Streams& streams, int messages) {
    const char* first = "";
    const char* second = "";
    const char* why = "";
    switch (e) {
        case FormulaError::GroupNotClosed:
            first = " A REPEAT GROUP DOES NOT HAVE A CLOSING ] ";
            second = " LINE IN QUESTIONS IS:";
            why = "a repeat group has no closing ]";
            break;
        case FormulaError::NoGroupCoefficient:
            first = " COEFFICIENT DOES NOT IMMEDIATELY FOLLOW A REPEAT GROUP.";
            second = " LINE IN QUESTION IS: ";
            why = "no coefficient immediately follows a repeat group";
            break;
        case FormulaError::NoClosingBracket:
            first = " ONE OF THE COEFFICIENTS IN A FORMULA DOES NOT HAVE A CLOSING";
            second = " BRACKET.  LINE IN QUESTION IS:";
            why = "a coefficient has no closing bracket";
            break;
        case FormulaError::NonNumeric:
            first = " ONE OF THE COEFFICIENTS IN A FORMULA HAS NON-NUMERIC SYMBOLS ";
            second = " EMBEDED IN IT.  LINE IN QUESTION IS: ";
            why = "a coefficient is not a number";
            break;
        case FormulaError::NoCoefficient:
            // Text after the last term would otherwise be lost without notice.
            first = " AN ELEMENTAL SYMBOL IN A FORMULA IS NOT FOLLOWED BY A COEFFICIENT.";
            second = " LINE IN QUESTION IS: ";
            why = "an element symbol has no coefficient";
            break;
    }
    streams.writeLine(messages, first);
    streams.writeLine(messages, second);
    writeQuotedLine(streams, messages, line);
    return bankStop("error in a formula", why, 2, line);
}

Status unknownSymbolStop(std::string_view symbol, std::string_view line, Streams& streams, int messages) {
    std::string padded = core::pad(symbol, kSymbolWidth);
    streams.writeLine(messages, " ONE OF THE ELEMENTAL SYMBOLS COULD NOT BE RECOGNIZED.");
    std::string s = "  SYMBOL IN QUESTION IS: ";
    s += padded;
    streams.writeLine(messages, s);
    streams.writeLine(messages, " AND IS CONTAINED IN THE LINE: ");
    writeQuotedLine(streams, messages, line);
    Status st = bankStop("error in a formula", "element symbol not recognised", 2, line);
    st.why += ": \"" + std::string(core::rtrim(padded)) + "\"";
    return st;
}

// Parses the terms of text[b, e) into `row`, each coefficient multiplied by
// `multiplier`.  At the top level (groups true) a "[" opens a repeat group;
// inside a group a second "[" is not recognised and becomes part of a symbol.
Status parseTerms(std::string_view text, std::string_view line, const model::ChemicalSystem& system, double multiplier,
                   bool groups, std::array<double, model::kMaxElements>& row, Streams& streams, int messages) {
    std::size_t pos = 0;
    const std::size_t n = text.size();
    while (pos < n) {
        while (pos < n && text[pos] == ' ') ++pos;
        if (pos >= n) break;
        if (groups && text[pos] == '[') {
            // The first "]" closes the group.
            std::size_t close = text.find(']', pos + 1);
            if (close == std::string_view::npos) return formulaStop(FormulaError::GroupNotClosed, line, streams, messages);
            if (close + 1 >= n || text[close + 1] != '(')
                return formulaStop(FormulaError::NoGroupCoefficient, line, streams, messages);
            std::size_t mclose = text.find(')', close + 2);
            if (mclose == std::string_view::npos)
                return formulaStop(FormulaError::NoClosingBracket, line, streams, messages);
            double factor = 0;
            if (!parseCoefficient(text.substr(close + 2, mclose - close - 2), factor))
                return formulaStop(FormulaError::NonNumeric, line, streams, messages);
            Status s = parseTerms(text.substr(pos + 1, close - pos - 1), line, system, multiplier * factor, false, row,
                                   streams, messages);
            if (!s) return s;
            pos = mclose + 1;
            continue;
        }
        std::size_t open = text.find('(', pos);
        if (open == std::string_view::npos) return formulaStop(FormulaError::NoCoefficient, line, streams, messages);
        std::size_t close = text.find(')', open + 1);
        if (close == std::string_view::npos) return formulaStop(FormulaError::NoClosingBracket, line, streams, messages);
        double c = 0;
        if (!parseCoefficient(text.substr(open + 1, close - open - 1), c))
            return formulaStop(FormulaError::NonNumeric, line, streams, messages);
        // The symbol: the text since the previous term, case-blind, 8 characters.
        std::string_view symbol = trimBlanks(text.substr(pos, open - pos));
        if (symbol.size() > kSymbolWidth) symbol = symbol.substr(0, kSymbolWidth);
        char buf[kSymbolWidth + 1] = {};
        for (std::size_t k = 0; k < symbol.size(); ++k)
            buf[k] = static_cast<char>(std::toupper(static_cast<unsigned char>(symbol[k])));
        std::string_view upper(buf, symbol.size());
        int index = system.find(std::string(upper));
        if (index < 0) return unknownSymbolStop(upper, line, streams, messages);
        row[static_cast<std::size_t>(index)] += c * multiplier;
        pos = close + 1;
    }
    return Status::success();
}

Status headerStop(int field, const char* particular, const char* why, std::string_view line, Streams& streams,
                   int messages) {
    writeBankErrorHeading(streams, messages, line);
    streams.writeLine(messages, particular);
    return bankStop("error in a phase header line", why, field, line);
}

std::size_t firstNonBlank(std::string_view s, std::size_t from) {
    for (std::size_t i = from; i < s.size(); ++i)
        if (s[i] != ' ') return i;
    return std::string_view::npos;
}

}  // namespace

Status parseFormula(const std::string& formula, const std::string& line, const model::ChemicalSystem& system,
                    std::array<double, model::kMaxElements>& row, Streams& streams, int messages) {
    row.fill(0.0);
    return parseTerms(formula, line, system, 1.0, true, row, streams, messages);
}

Status parsePhaseHeader(const std::string& line, int length, int mode, const model::ChemicalSystem& system,
                        PhaseHeader& out, Streams& streams, int messages) {
    const std::string l = core::pad(line, static_cast<std::size_t>(length > 0 ? length : 0));
    out.name.assign(kNameWidth, ' ');
    out.abbreviation.assign(kAbbreviationWidth, ' ');
    out.coefficients.fill(0.0);

    // Name: from the first non-blank column to the first run of three blanks.
    std::size_t start = firstNonBlank(l, 0);
    if (start == std::string::npos)
        return headerStop(1, " IN PARTICULAR, THE ENTIRE LINE IS BLANK THUS THERE IS NO PHASE/SPECIES NAME.",
                           "the line is blank: no phase name", l, streams, messages);
    std::size_t end = core::findBlanks(l, 3, start);
    if (end == std::string::npos)
        return headerStop(1, " IN PARTICULAR, THE NAME IS TOO LONG OR 3 BLANKS WERE NOT FOUND AS A TERMINATOR.",
                           "the name is not ended by three blanks", l, streams, messages);
    if (end - start > kNameWidth) {
        streams.writeLine(messages, " TRUNCATION OF PHASE NAME TO 20 CHARACTERS  LINE IN QUESTION IS: ");
        writeQuotedLine(streams, messages, l);
    }
    out.name = core::pad(std::string_view(l).substr(start, end - start), kNameWidth);

    // Formula.
    std::size_t fstart = firstNonBlank(l, end);
    if (fstart == std::string::npos)
        return headerStop(2, " IN PARTICULAR, NO FORMULA WAS FOUND.", "no formula", l, streams, messages);
    std::size_t fend = core::findBlanks(l, 3, fstart);
    if (fend == std::string::npos)
        return headerStop(2, " IN PARTICULAR, THE FORMULA IS TOO LONG OR 3 BLANKS WERE NOT FOUND AS A TERMINATOR.",
                           "the formula is not ended by three blanks", l, streams, messages);
    Status s = parseFormula(l.substr(fstart, fend - fstart), l, system, out.coefficients, streams, messages);
    if (!s) return s;

    if (mode != 1) return Status::success();

    // Abbreviation.
    std::size_t astart = firstNonBlank(l, fend);
    if (astart == std::string::npos)
        return headerStop(3, " IN PARTICULAR, NO ABREVIATION WAS FOUND.", "no abbreviation", l, streams, messages);
    std::size_t aend = core::findBlanks(l, 3, astart);
    if (aend == std::string::npos)
        return headerStop(3,
                           " IN PARTICULAR, THE ABREVIATION IS TOO LONG OR 3 BLANKS WERE NOT FOUND AS A TERMINATOR.",
                           "the abbreviation is not ended by three blanks", l, streams, messages);
    if (aend - astart > kAbbreviationWidth) {
        streams.writeLine(messages, " ABREVIATION TRUNCATED.  LINE IN QUESTION IS:");
        writeQuotedLine(streams, messages, l);
    }
    out.abbreviation = core::pad(std::string_view(l).substr(astart, aend - astart), kAbbreviationWidth);
    return Status::success();
}

Status setSystemLine(model::ChemicalSystem& system, const std::string& elementLine, int diagramType, Streams& streams,
                     int messages) {
    // Fluid-composition diagrams always contain hydrogen, oxygen and carbon:
    // the user's text follows the prefix from column 8.  A line that begins
    // with the prefix already (the line of a replayed T-xCO2 or P-xCO2 run)
    // does not get it a second time: the line would grow with every replay.
    std::string entered;
    const bool prefixed = core::upper(core::trim(elementLine)).rfind("H O C ", 0) == 0;
    if ((diagramType == 1 || diagramType == 2) && !prefixed) {
        entered = "H O C  ";
        entered += core::pad(elementLine, kSystemLineWidth - entered.size());
    } else {
        entered = core::pad(elementLine, kSystemLineWidth);
    }
    system.systemLine = entered;

    // Commas and tabs separate symbols as blanks do.
    std::string scan = entered;
    for (char& c : scan)
        if (c == ',' || c == '\t') c = ' ';
    if (core::isBlank(scan)) {
        return Status::error("no elements given", "the element line is blank");
    }

    // The SYSTEM formula: every symbol followed by "(1)", for every symbol
    // of the line (all 120 columns: a symbol typed far to the right is not
    // dropped).
    std::string formula = "SYSTEM   ";
    std::size_t i = 0;
    while (i < scan.size()) {
        while (i < scan.size() && scan[i] == ' ') ++i;
        if (i >= scan.size()) break;
        std::size_t j = i;
        while (j < scan.size() && scan[j] != ' ') ++j;
        formula.append(scan, i, j - i);
        formula += "(1)";
        i = j;
    }

    // Parsed as a header line of name and formula; the line is long enough
    // for the three closing blanks whatever the number of symbols.
    PhaseHeader header;
    int length = static_cast<int>(std::max(kSystemLineWidth, formula.size() + 3));
    Status s = parsePhaseHeader(formula, length, 0, system, header, streams, messages);
    if (!s) {
        if (s.what == "error in a formula") s.what = "error in the element line";
        return s;
    }
    system.systemCoefficients = header.coefficients;

    // Charge is a component only together with both hydrogen and oxygen.
    const int h = system.find("H");
    const int o = system.find("O");
    const int e = system.find("E");
    const int fe = system.find("FE");
    auto coefficient = [&](int k) { return k < 0 ? 0.0 : system.systemCoefficients[static_cast<std::size_t>(k)]; };
    if (e >= 0 && (coefficient(h) < 0.5 || coefficient(o) < 0.5))
        system.systemCoefficients[static_cast<std::size_t>(e)] = 0.0;
    system.indexFe = fe + 1;

    int count = 0;
    for (int k = 0; k < system.elementCount; ++k)
        if (system.systemCoefficients[static_cast<std::size_t>(k)] != 0.0) ++count;
    system.componentCount = count;
    if (count > model::kMaxComponents) {
        streams.writeLine(messages, "");
        streams.writeLine(messages, "");
        streams.writeLine(messages, " *******************************************");
        streams.writeLine(messages, " YOU CHOSE" + core::formatInteger(count, 4) + " ELEMENTS BUT THE PROGRAM IS");
        streams.writeLine(messages,
                           " DIMENSIONED FOR A MAXIMUM OF" + core::formatInteger(model::kMaxComponents, 4) + ".  EITHER");
        streams.writeLine(messages, " CHOSE A SIMPLIER SYSTEM OR RECOMPILE THE   ");
        streams.writeLine(messages, " PROGRAM AFTER CHANGING THE MAXCMP PARAMETER");
        streams.writeLine(messages, " *******************************************");
        streams.writeLine(messages, "");
        streams.writeLine(messages, "");
        Status st = Status::stop("too many elements in the chemical system");
        st.why = std::to_string(count) + " elements chosen, at most " + std::to_string(model::kMaxComponents) + " allowed";
        st.value = std::string(core::rtrim(entered));
        return st;
    }
    return Status::success();
}

}  // namespace io
