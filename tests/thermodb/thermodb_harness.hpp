// A run of the database reader on a fixture: streams with the interactive
// output captured, a chemical system and a phase table.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "records/streams.hpp"
#include "records/text.hpp"
#include "thermodb/database.hpp"

namespace thermodb::testing {

inline std::string fixture(std::string_view name) {
    return std::string(PELKAM_FIXTURES) + "/thermodb/" + std::string(name);
}
inline std::string bundled_database() { return std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat"; }

// A database line as the messages quote it: a blank and the line as A100.
inline std::string quoted_line(std::string_view line) { return " " + records::pad(line, 100); }

struct Harness {
    records::Streams streams;
    std::vector<std::string> out;  // lines written to the interactive output (unit 6)
    std::unique_ptr<ChemicalSystem> system = std::make_unique<ChemicalSystem>();
    std::unique_ptr<PhaseTable> phases = std::make_unique<PhaseTable>();

    Harness() {
        streams.set_console({[this](std::string_view l) { out.emplace_back(l); }, {}});
    }
    bool open(const std::string& path, int unit = 3) {
        return streams.open(unit, path, records::OpenMode::Existing) == 0;
    }
    // Opens the file on unit 3, reads its element header and sets the system.
    records::Status start(const std::string& path, const std::string& elements, int diagram = 0) {
        if (!open(path)) return records::Status::error("cannot open " + path);
        records::Status s = readElementHeader(streams, 3, *system);
        if (!s) return s;
        return setSystemLine(*system, elements, diagram, streams, 6);
    }
    records::Status load(LoadOptions options = {}) { return loadDatabase(options, streams, *system, *phases); }

    const PhaseRecord* phase(std::string_view name) const {
        for (int i = 0; i < phases->count; ++i)
            if (records::rtrim((*phases)[i].name) == name) return &(*phases)[i];
        return nullptr;
    }
    int index(std::string_view name) const {
        for (int i = 0; i < phases->count; ++i)
            if (records::rtrim((*phases)[i].name) == name) return i;
        return -1;
    }
    double coefficient(std::string_view symbol) const {
        int k = system->find(std::string(symbol));
        return k < 0 ? -1.0 : system->systemCoefficients[static_cast<std::size_t>(k)];
    }
};

}  // namespace thermodb::testing
