// Scanning the phase header lines of a database file.
#include "thermodb/scan.hpp"

#include <string_view>

#include "records/text.hpp"
#include "thermodb/bank_text.hpp"
#include "thermodb/database.hpp"

namespace thermodb {

namespace {

constexpr std::size_t kNameWidth = 20;
constexpr std::size_t kAbbreviationWidth = 8;
constexpr std::string_view kGasNames[] = {"WATER", "CARBON DIOXIDE", "OXYGEN GAS", "HYDROGEN GAS", "SULFUR GAS"};

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The kind a gas of this name gets from the loader.
int gasKind(std::string_view name) {
    const std::string upper = records::upper(records::pad(name, kNameWidth));
    for (int g = 0; g < 5; ++g)
        if (upper == records::pad(kGasNames[g], kNameWidth)) return g + 1;
    return kAxisGas;
}

enum class Section { None, Skip, Mineral, Gas, Aqueous };

}  // namespace

records::Status scanPhaseHeaders(records::Streams& streams, int unit, const ChemicalSystem& system, int messages,
                                 const ScanVisitor& visit) {
    if (!streams.is_open(unit)) return records::Status::error("the thermodynamic data file is not open");
    Section section = Section::None;
    int aqueousKind = kAqueousPlain;
    std::string line;
    PhaseHeader header;
    ScannedPhase found;
    while (true) {
        records::ReadOutcome r = streams.read_line(unit, line);
        if (r.result == records::ReadResult::EndOfFile) break;
        if (!r.done()) {
            records::Status s = records::Status::error("cannot read the data file", r.text);
            s.file = streams.name(unit);
            s.line = streams.line_number(unit);
            return s;
        }
        clean_line(line);
        const std::string_view text = records::trim(line);
        if (text.empty() || text.front() == '!') continue;
        if (text.front() == '*') {
            const std::string upper = records::upper(text);
            if (startsWith(upper, "*STOP") || startsWith(upper, "*END")) break;
            if (startsWith(upper, "*MINERAL")) {
                section = Section::Mineral;
            } else if (startsWith(upper, "*GAS")) {
                section = Section::Gas;
            } else if (startsWith(upper, "*AQU")) {
                section = Section::Aqueous;
                if (upper.find("HELGESON") != std::string::npos)
                    aqueousKind = kAqueousHelgeson;
                else if (upper.find("TANGER") != std::string::npos)
                    aqueousKind = kAqueousTanger;
                else
                    aqueousKind = kAqueousPlain;
            } else {
                section = Section::Skip;
            }
            continue;
        }
        if (section == Section::None || section == Section::Skip) continue;
        if (line.find('(') == std::string::npos) continue;  // a data line

        const int mode = section == Section::Aqueous ? 0 : 1;
        records::Status s = parsePhaseHeader(records::pad(line, kLineWidth), static_cast<int>(kLineWidth), mode,
                                             system, header, streams, messages);
        if (!s) {
            s.file = streams.name(unit);
            s.line = streams.line_number(unit);
            return s;
        }
        found.name = header.name;
        found.abbreviation =
            section == Section::Aqueous ? header.name.substr(0, kAbbreviationWidth) : header.abbreviation;
        found.kind = section == Section::Mineral ? kMineral
                     : section == Section::Gas   ? gasKind(header.name)
                                                 : aqueousKind;
        found.line = streams.line_number(unit);
        found.coefficients = header.coefficients;
        visit(found);
    }
    return records::Status::success();
}

}  // namespace thermodb
