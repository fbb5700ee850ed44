// The thermodynamic database file: the element header, and the loading of
// every phase whose elements all belong to the chosen system.
#include "io/database.hpp"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/database_text.hpp"

namespace io {

namespace {

using core::Status;

constexpr int kHeaderSymbolsPerLine = 7;
constexpr int kWeightsPerLine = 7;
constexpr std::size_t kWeightWidth = 10;
constexpr std::size_t kSymbolWidth = 8;
constexpr std::size_t kNameWidth = 20;
constexpr int kDataFields = 5;
// Element whose system coefficient decides whether the aqueous data file is
// read (0-based position in the element table as read from the header).
constexpr int kAqueousSwitchElement = 30;
// An ST enthalpy above this marks a phase without valid data.
constexpr double kNoDataEnthalpy = 999999.0;

// ---------------------------------------------------------------------------
// Element header

// The interactive output, where a malformed header is reported by default.
constexpr int kInteractiveOutput = 6;

Status headerStop(Streams& streams, int messages, int unit, int line, int field, const std::string& why,
                   std::string_view text) {
    const std::string file = streams.name(unit);
    streams.writeLine(messages, " ERROR IN THE ELEMENT HEADER OF THE THERMODYNAMIC DATA FILE");
    streams.writeLine(messages, " " + file + ", LINE " + std::to_string(line) + ", FIELD " + std::to_string(field) +
                                     ": " + core::upper(why));
    Status s = Status::stop("error in the element header of the thermodynamic data file");
    s.why = why;
    s.file = file;
    s.line = line;
    s.field = field;
    s.value = std::string(core::rtrim(text));
    return s;
}

// Reads the next header record; false (with a Stop) at the end of the file.
bool nextHeaderLine(Streams& streams, int unit, int messages, std::string& line, const char* missing,
                      Status& status) {
    core::ReadOutcome r = streams.readLine(unit, line);
    if (!r.done()) {
        if (r.result == core::ReadResult::EndOfFile)
            status = headerStop(streams, messages, unit, r.record, 1, missing, "");
        else
            status = Status::error("cannot read the thermodynamic data file", r.text);
        return false;
    }
    cleanLine(line);
    return true;
}

Status readElementHeader(Streams& streams, int unit, int messages, model::ChemicalSystem& system) {
    system.elementCount = 0;
    system.componentCount = 0;
    system.indexFe = 0;
    for (auto& s : system.elementSymbols) s.assign(kSymbolWidth, ' ');
    system.atomicWeights.fill(0.0);
    system.systemCoefficients.fill(0.0);

    if (!streams.isOpen(unit)) return Status::error("the thermodynamic data file is not open");
    std::string line;
    Status status;

    // Line 1: the element count (I4) and the database label (A13).
    if (!nextHeaderLine(streams, unit, messages, line, "the file is empty: no element count", status))
        return status;
    int lineNo = streams.lineNumber(unit);
    long long n = 0;
    std::string_view countField = std::string_view(line).substr(0, std::min<std::size_t>(4, line.size()));
    if (core::isBlank(countField) || !core::parseIntegerField(countField, n))
        return headerStop(streams, messages, unit, lineNo, 1, "the element count (columns 1-4) is not a number",
                           line);
    if (n < 1 || n > model::kMaxElements)
        return headerStop(streams, messages, unit, lineNo, 1,
                           "the element count (columns 1-4) must be 1 to " + std::to_string(model::kMaxElements), line);
    const int count = static_cast<int>(n);
    system.databaseLabel = core::pad(line.size() > 5 ? std::string_view(line).substr(5) : std::string_view{}, 13);

    // Symbols, seven a line, separated by blanks.  Formula symbols are looked
    // up in upper case, so the table holds them in upper case.
    int read = 0;
    while (read < count) {
        if (!nextHeaderLine(streams, unit, messages, line, "element symbols are missing", status)) return status;
        lineNo = streams.lineNumber(unit);
        const int want = std::min(kHeaderSymbolsPerLine, count - read);
        std::size_t pos = 0;
        for (int k = 0; k < want; ++k) {
            while (pos < line.size() && line[pos] == ' ') ++pos;
            if (pos >= line.size())
                return headerStop(streams, messages, unit, lineNo, k + 1,
                                   "element symbol missing: " + std::to_string(want) + " expected on this line", line);
            std::size_t end = pos;
            while (end < line.size() && line[end] != ' ') ++end;
            system.elementSymbols[static_cast<std::size_t>(read)] =
                core::upper(core::pad(std::string_view(line).substr(pos, end - pos), kSymbolWidth));
            ++read;
            pos = end;
        }
    }

    // Atomic weights, 7F10.5.
    static const core::Layout weightLayout("(7F10.5)");
    read = 0;
    while (read < count) {
        if (!nextHeaderLine(streams, unit, messages, line, "atomic weights are missing", status)) return status;
        lineNo = streams.lineNumber(unit);
        const int want = std::min(kWeightsPerLine, count - read);
        // A blank field is a missing weight (fields ended by commas are
        // counted by the record layer instead).
        if (line.find(',') == std::string::npos) {
            for (int k = 0; k < want; ++k) {
                std::size_t from = static_cast<std::size_t>(k) * kWeightWidth;
                std::string_view f =
                    from < line.size() ? std::string_view(line).substr(from, kWeightWidth) : std::string_view{};
                if (core::isBlank(f))
                    return headerStop(streams, messages, unit, lineNo, k + 1,
                                       "atomic weight missing: " + std::to_string(want) + " expected on this line",
                                       line);
            }
        }
        double values[kWeightsPerLine] = {};
        core::Target targets[kWeightsPerLine];
        for (int k = 0; k < want; ++k) targets[k] = &values[k];
        core::ReadOutcome r =
            core::read_text(std::string_view(line), weightLayout,
                               std::span<const core::Target>(targets, static_cast<std::size_t>(want)));
        if (!r.done())
            return headerStop(streams, messages, unit, lineNo, r.field > 0 ? r.field : 1,
                               r.result == core::ReadResult::EndOfFile ? "atomic weight missing"
                                                                          : "atomic weight is not a number",
                               line);
        for (int k = 0; k < want; ++k) system.atomicWeights[static_cast<std::size_t>(read + k)] = values[k];
        read += want;
    }
    system.elementCount = count;
    return Status::success();
}

// ---------------------------------------------------------------------------
// Loading

constexpr std::string_view kGasNames[] = {"WATER", "CARBON DIOXIDE", "OXYGEN GAS", "HYDROGEN GAS", "SULFUR GAS"};

enum class Section { None, Skip, Mineral, Gas, Aqueous };

std::string upper20(std::string_view s) { return core::upper(core::pad(s, kNameWidth)); }

std::size_t firstNonBlank(std::string_view s) {
    for (std::size_t i = 0; i < s.size(); ++i)
        if (s[i] != ' ') return i;
    return std::string_view::npos;
}

bool starts_with(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

char upperAt(std::string_view line, std::size_t i) {
    return i < line.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(line[i]))) : ' ';
}

// Whether the data line's code (its first two non-blank characters, the
// first at `first`) is one of the file's: ST; C1 to C3 and C6 to C9; V1 and
// V6 to V9; T1 to T6; D1 and D2; A followed by anything.  A known code
// whose phase kind does not take it is ignored; any other is an error.
bool knownCode(std::string_view line, std::size_t first) {
    const char c1 = upperAt(line, first), c2 = upperAt(line, first + 1);
    const int digit = (c2 >= '0' && c2 <= '9') ? c2 - '0' : -1;
    switch (c1) {
        case 'A': return true;
        case 'S': return c2 == 'T';
        case 'C': return (digit >= 1 && digit <= 3) || (digit >= 6 && digit <= 9);
        case 'V': return digit == 1 || (digit >= 6 && digit <= 9);
        case 'T': return digit >= 1 && digit <= 6;
        case 'D': return digit == 1 || digit == 2;
        default: return false;
    }
}

// The code as written: the line's first word, within columns 1 to 5 (or
// from its first non-blank character when that lies further right).
std::string codeText(std::string_view line, std::size_t first) {
    std::size_t end = first;
    while (end < line.size() && line[end] != ' ' && (end < 5 || end == first)) ++end;
    return std::string(line.substr(first, end - first));
}

class Loader {
public:
    Loader(const LoadOptions& options, Streams& streams, model::ChemicalSystem& system, model::PhaseTable& phases)
        : opt_(options), streams_(streams), system_(system), phases_(phases), dataLayout_("(5X,5F15.5)") {}

    Status run();

private:
    Status readFile(int unit);
    Status sectionLine(std::string_view text);
    Status headerLine(int unit);
    Status dataLine(int unit);
    void dropCurrent();
    Status limitStop(int unit);
    Status dataStop(int unit, int field, const char* why);
    Status unknownCode(int unit, std::size_t first);
    void reportDuplicateAbbreviations();
    Status located(Status s, int unit) const {
        s.file = streams_.name(unit);
        s.line = streams_.lineNumber(unit);
        return s;
    }
    void afterLoading();
    int allocateLambda(model::PhaseRecord& p, int slot);
    int allocateDisorder(model::PhaseRecord& p);

    const LoadOptions& opt_;
    Streams& streams_;
    model::ChemicalSystem& system_;
    model::PhaseTable& phases_;
    core::Layout dataLayout_;

    Section section_ = Section::None;
    int sectionKind_ = model::kMineral;
    int current_ = -1;  // 0-based index of the phase whose data lines are read, -1 none
    std::string line_;
    PhaseHeader header_;
    // Records allocated before the current phase began: a dropped phase
    // gives back everything allocated since.
    int lambdaMark_ = 0;
    int disorderMark_ = 0;
    // Where each loaded phase's header stands (file unit and line), for the
    // report of abbreviations given twice.
    std::array<int, model::kMaxPhases> headerUnit_{};
};

Status Loader::run() {
    // Clear the phase table, the stoichiometry rows and the record counters.
    for (auto& p : phases_.phase) p = model::PhaseRecord{};
    for (auto& l : phases_.lambdas) l = model::LambdaRecord{};
    for (auto& d : phases_.disorders) d = model::DisorderRecord{};
    phases_.count = 0;
    phases_.lambdaCount = 0;
    phases_.disorderCount = 0;
    for (auto& row : system_.stoichiometry) row.fill(0.0);

    if (!streams_.isOpen(opt_.unitThermo)) return Status::error("the thermodynamic data file is not open");
    Status s = readFile(opt_.unitThermo);
    if (!s) return s;

    // The aqueous data file is read for systems that contain the element at
    // position 31 of the header (the charge in the usual header).
    if (system_.elementCount > kAqueousSwitchElement &&
        system_.systemCoefficients[kAqueousSwitchElement] > 0.01) {
        if (!streams_.isOpen(opt_.unitAqueous)) return Status::error("the aqueous data file is not open");
        streams_.rewind(opt_.unitAqueous);
        s = readFile(opt_.unitAqueous);
        if (!s) return s;
    }

    if (phases_.count < 2) {
        streams_.writeLine(opt_.unitMessages,
                            " FEWER THAN TWO PHASES OF THE DATA BASE CONTAIN ONLY THE CHOSEN ELEMENTS.");
        Status st = Status::stop("fewer than two phases of the database contain only the chosen elements");
        st.file = streams_.name(opt_.unitThermo);
        return st;
    }
    afterLoading();
    reportDuplicateAbbreviations();
    return Status::success();
}

// Reactions and plot labels name phases by their abbreviations: two loaded
// phases with the same one are reported (each pair once), and loading goes
// on.
void Loader::reportDuplicateAbbreviations() {
    const int n = std::min(phases_.count, model::kMaxPhases);
    for (int i = 0; i < n; ++i) {
        const std::string& a = phases_[i].abbreviation;
        if (core::isBlank(a)) continue;
        bool earlier = false;
        for (int j = 0; j < i && !earlier; ++j) earlier = phases_[j].abbreviation == a;
        if (earlier) continue;  // reported with the first phase that has it
        for (int j = i + 1; j < n; ++j) {
            if (phases_[j].abbreviation != a) continue;
            auto where = [&](int k) {
                const std::size_t ks = static_cast<std::size_t>(k);
                return std::string(core::rtrim(phases_[k].name)) + " (LINE " + std::to_string(phases_[k].headerLine) +
                       " OF " + streams_.name(headerUnit_[ks]) + ")";
            };
            streams_.writeLine(opt_.unitMessages, " WARNING: THE ABBREVIATION " + std::string(core::rtrim(a)) +
                                                       " IS GIVEN TO TWO PHASES, " + where(i) + " AND " + where(j) +
                                                       "; REACTIONS AND LABELS CANNOT TELL THEM APART.");
        }
    }
}

Status Loader::readFile(int unit) {
    section_ = Section::None;
    current_ = -1;
    while (true) {
        core::ReadOutcome r = streams_.readLine(unit, line_);
        if (r.result == core::ReadResult::EndOfFile) break;
        if (!r.done()) return located(Status::error("cannot read the data file", r.text), unit);
        cleanLine(line_);
        const std::size_t first = firstNonBlank(line_);
        if (first == std::string::npos) {  // a blank line ends the current phase's data
            current_ = -1;
            continue;
        }
        const char c = line_[first];
        if (c == '!') continue;
        if (c == '*') {
            current_ = -1;
            const std::string text = core::upper(std::string_view(line_).substr(first));
            if (starts_with(text, "*STOP") || starts_with(text, "*END")) break;
            Status s = sectionLine(text);
            if (!s) return located(s, unit);
            continue;
        }
        if (section_ == Section::None || section_ == Section::Skip) continue;
        if (line_.find('(') != std::string::npos) {
            Status s = headerLine(unit);
            if (!s) return s;
            continue;
        }
        // Data lines of a skipped or dropped phase are not read, but their
        // code must be one of the file's.
        if (current_ < 0) {
            if (!knownCode(line_, first)) return unknownCode(unit, first);
            continue;
        }
        Status s = dataLine(unit);
        if (!s) return s;
    }
    return Status::success();
}

Status Loader::sectionLine(std::string_view text) {
    if (starts_with(text, "*MINERAL")) {
        section_ = Section::Mineral;
        sectionKind_ = model::kMineral;
    } else if (starts_with(text, "*GAS")) {
        section_ = Section::Gas;
        sectionKind_ = model::kWater;
    } else if (starts_with(text, "*AQU")) {
        // Aqueous species take part in activity diagrams only.
        const bool activity = opt_.diagramType == 4 || opt_.diagramType == 5 || opt_.diagramType == 6;
        if (!activity) {
            section_ = Section::Skip;
            return Status::success();
        }
        section_ = Section::Aqueous;
        if (text.find("HELGESON") != std::string_view::npos)
            sectionKind_ = model::kAqueousHelgeson;
        else if (text.find("TANGER") != std::string_view::npos)
            sectionKind_ = model::kAqueousTanger;
        else
            sectionKind_ = model::kAqueousPlain;
    } else {
        section_ = Section::Skip;  // an unknown section
    }
    return Status::success();
}

Status Loader::headerLine(int unit) {
    current_ = -1;
    const int mode = section_ == Section::Aqueous ? 0 : 1;
    const std::string padded = core::pad(line_, kLineWidth);
    Status s = parsePhaseHeader(padded, static_cast<int>(kLineWidth), mode, system_, header_, streams_,
                                opt_.unitMessages);
    if (!s) return located(s, unit);

    // Element filter: every element of the formula must be in the system.
    for (int k = 0; k < system_.elementCount; ++k) {
        const std::size_t j = static_cast<std::size_t>(k);
        if (header_.coefficients[j] != 0.0 && system_.systemCoefficients[j] == 0.0) return Status::success();
    }

    int kind = sectionKind_;
    if (section_ == Section::Gas) {
        const std::string name = upper20(header_.name);
        kind = 0;
        for (int g = 0; g < 5 && kind == 0; ++g)
            if (name == core::pad(kGasNames[g], kNameWidth)) kind = g + 1;
        if (kind == 0) {
            // A gas that is the variable of an activity axis is kept although
            // its volumetric properties are unknown.
            const bool activity = opt_.diagramType == 4 || opt_.diagramType == 5 || opt_.diagramType == 6;
            if (activity && !core::isBlank(opt_.axisText) && name == upper20(opt_.axisText)) {
                kind = model::kAxisGas;
            } else {
                streams_.writeLine(opt_.unitMessages, "");
                streams_.writeLine(opt_.unitMessages, "");
                streams_.writeLine(opt_.unitMessages, header_.name + " IS A GAS AND ITS CRITICAL PROPERTIES ");
                streams_.writeLine(opt_.unitMessages, "COULD NOT BE FOUND - IT WILL BE IGNORED.");
                return Status::success();
            }
        }
    }

    if (phases_.count + 1 > model::kMaxPhases) return limitStop(unit);
    const int index = phases_.count++;
    model::PhaseRecord& p = phases_[index];
    p = model::PhaseRecord{};
    p.name = header_.name;
    p.abbreviation = section_ == Section::Aqueous ? header_.name.substr(0, 8) : header_.abbreviation;
    p.kind = kind;
    p.headerLine = streams_.lineNumber(unit);
    p.fromAqueousFile = unit == opt_.unitAqueous;
    auto& row = system_.stoichiometry[static_cast<std::size_t>(index)];
    for (int k = 0; k < model::kMaxElements; ++k) {
        const std::size_t j = static_cast<std::size_t>(k);
        row[j] = (k < system_.elementCount && system_.systemCoefficients[j] != 0.0) ? header_.coefficients[j] : 0.0;
    }
    p.special = model::specialPhaseOf(p.name);
    p.nameFlags = model::name_flags_of(p.name);
    p.isQuartz = model::isQuartzName(p.name);
    p.normalisingWeight = row[0];
    current_ = index;
    headerUnit_[static_cast<std::size_t>(index)] = unit;
    lambdaMark_ = phases_.lambdaCount;
    disorderMark_ = phases_.disorderCount;
    return Status::success();
}

Status Loader::limitStop(int unit) {
    const int m = opt_.unitMessages;
    streams_.writeLine(m, "");
    streams_.writeLine(m, "");
    streams_.writeLine(m, " ********************************************");
    streams_.writeLine(m, " AS A RESULT OF YOUR INPUT," + core::formatInteger(phases_.count + 1, 4) + " PHASES HAVE");
    streams_.writeLine(m, " BEEN EXTRACTED FROM THE DATA BASE BUT THE   ");
    streams_.writeLine(m, " PROGRAM IS DIMENSIONED FOR A MAXIMUM OF" + core::formatInteger(model::kMaxPhases, 4));
    streams_.writeLine(m, " CHOSE A SIMPLIER SYSTEM OR RECOMPILE THE   ");
    streams_.writeLine(m, " PROGRAM AFTER CHANGING THE MAXPHS PARAMETER");
    streams_.writeLine(m, " *******************************************");
    streams_.writeLine(m, "");
    streams_.writeLine(m, "");
    Status s = Status::stop("too many phases for the chosen system");
    s.why = "more than " + std::to_string(model::kMaxPhases) + " phases contain only the chosen elements";
    s.value = std::string(core::rtrim(line_));
    return located(s, unit);
}

Status Loader::dataStop(int unit, int field, const char* why) {
    writeBankErrorHeading(streams_, opt_.unitMessages, line_);
    streams_.writeLine(opt_.unitMessages, std::string(" IN PARTICULAR, FIELD ") + std::to_string(field) +
                                               " OF THE DATA LINE IS NOT A NUMBER.");
    return located(bankStop("error in a data line of the thermodynamic data bank", why, field, line_), unit);
}

Status Loader::unknownCode(int unit, std::size_t first) {
    const std::string code = codeText(line_, first);
    const std::string file = streams_.name(unit);
    const int lineNo = streams_.lineNumber(unit);
    writeBankErrorHeading(streams_, opt_.unitMessages, line_);
    streams_.writeLine(opt_.unitMessages, " IN PARTICULAR, THE CODE " + code + " OF THE DATA LINE IS UNKNOWN (LINE " +
                                               std::to_string(lineNo) + " OF " + file + ").");
    streams_.writeLine(opt_.unitMessages,
                        " THE CODES ARE ST, C1 TO C3, C6 TO C9, V1, V6 TO V9, T1 TO T6, D1, D2 AND A.");
    return located(bankStop("error in a data line of the thermodynamic data bank",
                             "unknown data-line code \"" + code + "\"", 0, line_),
                   unit);
}

int Loader::allocateLambda(model::PhaseRecord& p, int slot) {
    int& number = p.lambda[static_cast<std::size_t>(slot)];
    if (number == 0) number = ++phases_.lambdaCount;
    return number;
}

int Loader::allocateDisorder(model::PhaseRecord& p) {
    if (p.disorder == 0) p.disorder = ++phases_.disorderCount;
    return p.disorder;
}

// The phase that is being read has no valid data: its records go back and
// its slot is freed.
void Loader::dropCurrent() {
    for (int n = lambdaMark_; n < phases_.lambdaCount; ++n) phases_.lambdas[static_cast<std::size_t>(n)] = model::LambdaRecord{};
    for (int n = disorderMark_; n < phases_.disorderCount; ++n)
        phases_.disorders[static_cast<std::size_t>(n)] = model::DisorderRecord{};
    phases_.lambdaCount = lambdaMark_;
    phases_.disorderCount = disorderMark_;
    phases_[current_] = model::PhaseRecord{};
    system_.stoichiometry[static_cast<std::size_t>(current_)].fill(0.0);
    --phases_.count;
    current_ = -1;
}

Status Loader::dataLine(int unit) {
    const std::size_t first = firstNonBlank(line_);
    model::PhaseRecord& p = phases_[current_];
    const char c1 = static_cast<char>(std::toupper(static_cast<unsigned char>(line_[first])));
    const char c2 = first + 1 < line_.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(line_[first + 1])))
                                             : ' ';

    // The model-code line holds text, not numbers.
    if (c1 == 'A') {
        if (p.kind < 0) return Status::success();
        // The four characters from the start of the line's second word.
        std::size_t pos = first;
        while (pos < line_.size() && line_[pos] != ' ') ++pos;
        while (pos < line_.size() && line_[pos] == ' ') ++pos;
        if (pos >= line_.size()) return Status::success();  // no code given: nothing to store
        p.modelCode = core::pad(std::string_view(line_).substr(pos), 4);
        p.hasModelCode = true;
        return Status::success();
    }

    if (!knownCode(line_, first)) return unknownCode(unit, first);

    // Which codes this phase takes; the rest are ignored unread.
    const int k = p.kind;
    const int digit = (c2 >= '0' && c2 <= '9') ? c2 - '0' : -1;
    bool wanted = false;
    switch (c1) {
        case 'S': wanted = c2 == 'T'; break;
        case 'C':
            switch (digit) {
                case 1: case 2: wanted = k >= 0; break;
                case 3: {
                    const std::string_view name = core::rtrim(p.name);
                    wanted = k >= 0 || name == "E-" || name == "e-";
                    break;
                }
                case 6: wanted = k == model::kAqueousHelgeson; break;
                case 7: wanted = k == model::kAqueousTanger; break;
                case 8: case 9: wanted = k == model::kAqueousPlain; break;
                default: break;
            }
            break;
        case 'V':
            switch (digit) {
                case 1: wanted = true; break;
                case 6: wanted = k == model::kAqueousHelgeson; break;
                case 7: wanted = k == model::kAqueousTanger; break;
                case 8: case 9: wanted = k == model::kAqueousPlain; break;
                default: break;
            }
            break;
        case 'T': wanted = k == model::kMineral && digit >= 1 && digit <= 6; break;
        case 'D': wanted = k == model::kMineral && (digit == 1 || digit == 2); break;
        default: break;
    }
    if (!wanted) return Status::success();

    // The code stands within columns 1-5; the numbers follow in 5F15.5.
    if (first >= 5) {
        writeBankErrorHeading(streams_, opt_.unitMessages, line_);
        streams_.writeLine(opt_.unitMessages, " IN PARTICULAR, THE CODE OF THE DATA LINE IS NOT IN COLUMNS 1 TO 5.");
        return located(bankStop("error in a data line of the thermodynamic data bank",
                                 "the code of the data line is not in columns 1 to 5", 0, line_),
                       unit);
    }
    double F[kDataFields] = {};
    core::Target targets[kDataFields] = {&F[0], &F[1], &F[2], &F[3], &F[4]};
    core::ReadOutcome r = core::read_text(std::string_view(line_), dataLayout_, targets);
    if (r.result == core::ReadResult::Error)
        return dataStop(unit, r.field > 0 ? r.field : 1, "a field of the data line is not a number");

    // Codes other than ST, V1, V6, V7, T and D keep a slot whose new value is 0.
    auto keep = [](double& slot, double v) {
        if (v != 0.0) slot = v;
    };
    auto& K = p.K;
    auto& V = p.V;
    switch (c1) {
        case 'S':
            p.G = F[0];
            p.H = F[1];
            p.S = F[2];
            p.V0 = F[3];
            if (p.H > kNoDataEnthalpy && !opt_.keepAll) dropCurrent();
            break;
        case 'C':
            switch (digit) {
                case 1: keep(K[0], F[0]); keep(K[1], F[1]); keep(K[2], F[2]); keep(K[3], F[3]); break;
                case 2: keep(K[4], F[0]); keep(K[5], F[1]); keep(K[6], F[2]); break;
                case 3: keep(K[0], F[0]); keep(K[5], F[1]); keep(K[2], F[2]); break;
                case 6: keep(K[5], F[0]); keep(K[2], F[1]); keep(K[0], F[2]); keep(K[1], F[3]); break;
                case 7:
                    keep(K[5], F[0]);
                    keep(K[2], F[1]);
                    K[0] = F[2] != 0.0 ? F[2] : 228.0;
                    keep(K[1], F[3]);
                    K[4] = F[4] != 0.0 ? F[4] : 2600.0;
                    break;
                case 8: keep(K[0], F[0]); keep(K[5], F[1]); keep(K[1], F[2]); keep(K[4], F[3]); break;
                case 9: keep(K[2], F[0]); keep(K[6], F[1]); keep(K[3], F[2]); break;
                default: break;
            }
            break;
        case 'V':
            switch (digit) {
                case 1: for (int i = 0; i < 5; ++i) V[static_cast<std::size_t>(i + 1)] = F[i]; break;
                case 6:
                case 7:
                    V[1] = F[0];
                    V[2] = F[1] * 1e-5;
                    V[3] = F[2] * 0.01;
                    V[4] = F[3] * 1e-5;
                    break;
                case 8: keep(V[1], F[0]); keep(V[2], F[1]); keep(V[4], F[2]); keep(V[5], F[3]); break;
                case 9: keep(V[3], F[0]); keep(V[6], F[1]); keep(V[7], F[2]); break;
                default: break;
            }
            break;
        case 'T': {
            model::LambdaRecord& L = phases_.lambdas[static_cast<std::size_t>(allocateLambda(p, (digit - 1) / 2) - 1)];
            if (digit % 2 == 1) {
                L.TTRAN = F[0];
                L.TREF = F[1];
                L.ASPIKE = F[2];
                L.BSPIKE = F[3];
                L.HTRANS = F[4];
            } else {
                L.SLOPE = F[0];
                L.VOLTRANS = F[1];
                L.DVDT = F[2];
                L.DVDP = F[3];
            }
            break;
        }
        case 'D': {
            model::DisorderRecord& D = phases_.disorders[static_cast<std::size_t>(allocateDisorder(p) - 1)];
            if (digit == 1) {
                D.D[0] = F[0];
                D.D[1] = F[1];
                D.D[2] = F[2];
                D.D[4] = F[4];  // the fourth field is not used
            } else {
                D.D[5] = F[0];
                D.D[6] = F[1];
                D.TMIN = F[2];
                D.TMAX = F[3];
                D.VDIS = F[4];
            }
            break;
        }
        default: break;
    }
    return Status::success();
}

void Loader::afterLoading() {
    // Mineral volume terms are held multiplied by V0.
    for (int i = 0; i < phases_.count; ++i) {
        model::PhaseRecord& p = phases_[i];
        if (p.kind != model::kMineral) continue;
        p.V[1] = p.V[1] * p.V0 / 100000.0;
        p.V[2] = p.V[2] * p.V0 / 100000.0;
        p.V[3] = p.V[3] * p.V0 / 100000.0;
        p.V[4] = p.V[4] * p.V0 / 1e8;
    }

    // Compact the element table to the chosen elements: symbols, weights,
    // coefficients and the stoichiometry columns move together.
    int kept = 0;
    for (int k = 0; k < system_.elementCount; ++k) {
        const std::size_t from = static_cast<std::size_t>(k);
        if (system_.systemCoefficients[from] == 0.0) continue;
        const std::size_t to = static_cast<std::size_t>(kept++);
        if (to != from) {
            system_.elementSymbols[to] = system_.elementSymbols[from];
            system_.atomicWeights[to] = system_.atomicWeights[from];
            system_.systemCoefficients[to] = system_.systemCoefficients[from];
            for (int i = 0; i < phases_.count; ++i)
                system_.stoichiometry[static_cast<std::size_t>(i)][to] =
                    system_.stoichiometry[static_cast<std::size_t>(i)][from];
        }
    }
    for (int k = kept; k < model::kMaxElements; ++k) {
        const std::size_t j = static_cast<std::size_t>(k);
        system_.elementSymbols[j].assign(kSymbolWidth, ' ');
        system_.atomicWeights[j] = 0.0;
        system_.systemCoefficients[j] = 0.0;
        for (int i = 0; i < phases_.count; ++i) system_.stoichiometry[static_cast<std::size_t>(i)][j] = 0.0;
    }
    system_.elementCount = kept;
    system_.componentCount = kept;
    // FE has moved with the compaction.
    system_.indexFe = system_.find("FE") + 1;

    // Under the Haar water routine the water phase's properties come from the
    // equation of state alone.
    if (opt_.waterRoutine == 1) {
        for (int i = 0; i < phases_.count; ++i) {
            model::PhaseRecord& p = phases_[i];
            if (!starts_with(core::upper(p.name), "WATER ")) continue;
            p.H = p.S = p.V0 = p.G = 0.0;
            p.K.fill(0.0);
            break;
        }
    }
}

}  // namespace

Status readElementHeader(Streams& streams, int unit, model::ChemicalSystem& system) {
    return readElementHeader(streams, unit, kInteractiveOutput, system);
}

Status readElementHeader(Streams& streams, int unit, model::ChemicalSystem& system, int messages) {
    return readElementHeader(streams, unit, messages, system);
}

Status loadDatabase(const LoadOptions& options, Streams& streams, model::ChemicalSystem& system, model::PhaseTable& phases) {
    Loader loader(options, streams, system, phases);
    return loader.run();
}

}  // namespace io
