// A run of the database reader on a fixture: streams with the interactive
// output captured, a chemical system and a phase table.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/text.hpp"
#include "io/database.hpp"
#include "io/streams.hpp"

namespace io::testing {

inline std::string fixture(std::string_view name) {
    return std::string(PELKAM_FIXTURES) + "/database/" + std::string(name);
}
inline std::string bundledDatabase() { return std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat"; }

// A database line as the messages quote it: a blank and the line as A100.
inline std::string quotedLine(std::string_view line) { return " " + core::pad(line, 100); }

struct Harness {
    io::Streams streams;
    std::vector<std::string> out;  // lines written to the interactive output (unit 6)
    std::unique_ptr<model::ChemicalSystem> system = std::make_unique<model::ChemicalSystem>();
    std::unique_ptr<model::PhaseTable> phases = std::make_unique<model::PhaseTable>();

    Harness() {
        streams.setConsole({[this](std::string_view l) { out.emplace_back(l); }, {}});
    }
    bool open(const std::string& path, int unit = 3) {
        return streams.open(unit, path, io::OpenMode::Existing) == 0;
    }
    // Opens the file on unit 3, reads its element header and sets the system.
    core::Status start(const std::string& path, const std::string& elements, int diagram = 0) {
        if (!open(path)) return core::Status::error("cannot open " + path);
        core::Status s = readElementHeader(streams, 3, *system);
        if (!s) return s;
        return setSystemLine(*system, elements, diagram, streams, 6);
    }
    core::Status load(LoadOptions options = {}) { return loadDatabase(options, streams, *system, *phases); }

    const model::PhaseRecord* phase(std::string_view name) const {
        for (int i = 0; i < phases->count; ++i)
            if (core::rtrim((*phases)[i].name) == name) return &(*phases)[i];
        return nullptr;
    }
    int index(std::string_view name) const {
        for (int i = 0; i < phases->count; ++i)
            if (core::rtrim((*phases)[i].name) == name) return i;
        return -1;
    }
    double coefficient(std::string_view symbol) const {
        int k = system->find(std::string(symbol));
        return k < 0 ? -1.0 : system->systemCoefficients[static_cast<std::size_t>(k)];
    }
};

}  // namespace io::testing
