#include "io/config.hpp"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/text.hpp"
#include "io/files.hpp"
#include "io/streams.hpp"

namespace io {
namespace fs = std::filesystem;
using core::pad;

namespace {


// Columns [first, last] (1-based) of a line padded to 80 columns.
std::string columns(std::string_view line, int first, int last) {
    std::string padded = pad(line, 80);
    return padded.substr(static_cast<std::size_t>(first - 1), static_cast<std::size_t>(last - first + 1));
}

bool printable(std::string_view s) {
    for (unsigned char c : s)
        if (c < 32 || c > 126) return false;
    return true;
}

struct NameKey {
    const char* key;
    int first;  // column of the name's first character
};

}  // namespace


void setConfigDefaults(RunConfiguration& rs) {
    rs.waterStandardState = ' ';
    rs.path = std::string(25, ' ');
    rs.unitNames[kPlotSlot] = "plot.plt";
    rs.unitNames[kThermoSlot] = "jun92.rqt";
    rs.solutionFile = "solid.sln";
    rs.unitNames[kAqueousSlot] = "hkf81.aqu";
    rs.unitNames[kRestartSlot] = "restart.res";
    rs.unitNames[kMasterSlot] = "summary.dat";
    rs.metastableEquilibria = ' ';
    rs.printActivities = ' ';
    rs.metastableOn = false;
    rs.printActivitiesOn = false;
    rs.summaryOff = false;
}

std::string applyConfigLine(RunConfiguration& rs, std::string_view raw) {
    std::string_view line = core::rtrim(raw);
    auto starts = [&](std::string_view key) { return line.substr(0, key.size()) == key; };

    // A name is taken from the column after the "=" to the end of the line,
    // whatever its length: a long path is never cut.
    static constexpr NameKey kNameKeys[] = {
        {"PLOTFILE=", 10}, {"MINERAL DATA=", 14}, {"SOLUTION DATA=", 15},
        {"AQUEOUS DATA=", 14}, {"RESTARTFILE=", 13}, {"SUMMARYFILE=", 13},
    };

    if (starts("SOH STD STATE=")) {
        rs.waterStandardState = columns(line, 15, 15)[0];
        return {};
    }
    if (starts("PATH=")) {
        // The path field holds 25 characters; a longer path is refused, not cut.
        std::string v = columns(line, 6, 31).substr(0, 25);
        if (!printable(v)) return "PATH= holds characters that are not plain text; line ignored";
        const std::string_view value = line.size() > 5 ? line.substr(5) : std::string_view();
        if (std::min(value.find(' '), value.size()) > 25)
            return "PATH= is longer than the 25 characters of the path field; line ignored (name the "
                   "directory in the file names instead)";
        rs.path = v;
        return {};
    }
    if (starts("METASTABLE EQUILIBRIA?=")) {
        rs.metastableEquilibria = columns(line, 24, 24)[0];
        if (rs.metastableEquilibria == 'Y') rs.metastableOn = true;
        return {};
    }
    if (starts("PRINT ACTIVITIES?=")) {
        rs.printActivities = columns(line, 19, 19)[0];
        if (rs.printActivities == 'Y') rs.printActivitiesOn = true;
        return {};
    }
    for (const NameKey& k : kNameKeys) {
        if (!starts(k.key)) continue;
        const std::size_t from = static_cast<std::size_t>(k.first - 1);
        std::string v = line.size() > from ? std::string(line.substr(from)) : std::string();
        if (!printable(v))
            return std::string(k.key) + " holds characters that are not plain text (a tab?); line ignored";
        std::string key = k.key;
        if (key == "SUMMARYFILE=") {
            // A summary name that begins with two blanks switches the summary off.
            rs.summaryOff = pad(v, 2) == "  ";
            rs.unitNames[kMasterSlot] = std::string(core::rtrim(v));
            return {};
        }
        if (core::isBlank(v)) return key + " names no file; the previous name is kept";
        std::string name(core::trim(v));
        if (key == "PLOTFILE=") rs.unitNames[kPlotSlot] = name;
        else if (key == "MINERAL DATA=") rs.unitNames[kThermoSlot] = name;
        else if (key == "SOLUTION DATA=") rs.solutionFile = name;
        else if (key == "AQUEOUS DATA=") rs.unitNames[kAqueousSlot] = name;
        else if (key == "RESTARTFILE=") rs.unitNames[kRestartSlot] = name;
        return {};
    }
    return {};
}

bool readConfiguration(RunConfiguration& rs, const std::string& dir, std::vector<std::string>* warnings) {
    setConfigDefaults(rs);
    std::string file = findConfigFile(dir);
    bool found = !file.empty();
    if (found) {
        std::ifstream in(file, std::ios::binary);
        std::string line;
        int number = 0;
        while (std::getline(in, line)) {
            ++number;
            std::string w = applyConfigLine(rs, line);
            if (!w.empty() && warnings)
                warnings->push_back(fs::path(file).filename().string() + ", line " + std::to_string(number) + ": " + w);
        }
    }
    // The configuration never sets the console units.
    rs.unitNames[kInputSlot] = "CON:";
    rs.unitNames[kOutputSlot] = "CON:";
    return found;
}


}  // namespace io
