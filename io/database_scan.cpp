// Scanning the phase header lines of a database file.
#include "io/database_scan.hpp"

#include <string_view>

#include "core/text.hpp"
#include "io/database.hpp"
#include "io/database_text.hpp"

namespace io {

namespace {

constexpr std::size_t kNameWidth = 20;
constexpr std::size_t kAbbreviationWidth = 8;
constexpr std::string_view kGasNames[] = {"WATER", "CARBON DIOXIDE", "OXYGEN GAS", "HYDROGEN GAS", "SULFUR GAS"};

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The kind a gas of this name gets from the loader.
int gasKind(std::string_view name) {
    const std::string upper = core::upper(core::pad(name, kNameWidth));
    for (int g = 0; g < 5; ++g)
        if (upper == core::pad(kGasNames[g], kNameWidth)) return g + 1;
    return model::kAxisGas;
}

enum class Section { None, Skip, Mineral, Gas, Aqueous };

}  // namespace

core::Status scanPhaseHeaders(Streams& streams, int unit, const model::ChemicalSystem& system, int messages,
                                 const ScanVisitor& visit) {
    if (!streams.isOpen(unit)) return core::Status::error("the thermodynamic data file is not open");
    Section section = Section::None;
    int aqueousKind = model::kAqueousPlain;
    std::string line;
    PhaseHeader header;
    ScannedPhase found;
    while (true) {
        core::ReadOutcome r = streams.readLine(unit, line);
        if (r.result == core::ReadResult::EndOfFile) break;
        if (!r.done()) {
            core::Status s = core::Status::error("cannot read the data file", r.text);
            s.file = streams.name(unit);
            s.line = streams.lineNumber(unit);
            return s;
        }
        cleanLine(line);
        const std::string_view text = core::trim(line);
        if (text.empty() || text.front() == '!') continue;
        if (text.front() == '*') {
            const std::string upper = core::upper(text);
            if (startsWith(upper, "*STOP") || startsWith(upper, "*END")) break;
            if (startsWith(upper, "*MINERAL")) {
                section = Section::Mineral;
            } else if (startsWith(upper, "*GAS")) {
                section = Section::Gas;
            } else if (startsWith(upper, "*AQU")) {
                section = Section::Aqueous;
                if (upper.find("HELGESON") != std::string::npos)
                    aqueousKind = model::kAqueousHelgeson;
                else if (upper.find("TANGER") != std::string::npos)
                    aqueousKind = model::kAqueousTanger;
                else
                    aqueousKind = model::kAqueousPlain;
            } else {
                section = Section::Skip;
            }
            continue;
        }
        if (section == Section::None || section == Section::Skip) continue;
        if (line.find('(') == std::string::npos) continue;  // a data line

        const int mode = section == Section::Aqueous ? 0 : 1;
        core::Status s = parsePhaseHeader(core::pad(line, kLineWidth), static_cast<int>(kLineWidth), mode,
                                             system, header, streams, messages);
        if (!s) {
            s.file = streams.name(unit);
            s.line = streams.lineNumber(unit);
            return s;
        }
        found.name = header.name;
        found.abbreviation =
            section == Section::Aqueous ? header.name.substr(0, kAbbreviationWidth) : header.abbreviation;
        found.kind = section == Section::Mineral ? model::kMineral
                     : section == Section::Gas   ? gasKind(header.name)
                                                 : aqueousKind;
        found.line = streams.lineNumber(unit);
        found.coefficients = header.coefficients;
        visit(found);
    }
    return core::Status::success();
}

}  // namespace io
