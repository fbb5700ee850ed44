#include "bundled_phases.hpp"

#include <memory>
#include <string>

#include "records/streams.hpp"
#include "thermodb/chemical_system.hpp"
#include "thermodb/database.hpp"

namespace props_test {

namespace {

std::unique_ptr<thermodb::PhaseTable> load() {
    auto table = std::make_unique<thermodb::PhaseTable>();
    auto system = std::make_unique<thermodb::ChemicalSystem>();
    records::Streams streams;
    std::string messages;
    streams.set_console(records::Console{[&](std::string_view l) { messages += std::string(l) + "\n"; },
                                         [](std::string&) { return false; }});
    const std::string file = std::string(PELKAM_SOURCE_DIR) + "/data/thermo1988.dat";
    if (streams.open(3, file, records::OpenMode::Existing) != 0) return table;
    if (!thermodb::readElementHeader(streams, 3, *system)) return table;
    if (!thermodb::setSystemLine(*system, "SI AL MG FE CA NA K TI H C O", 0, streams, 6)) return table;
    thermodb::LoadOptions options;
    options.waterRoutine = 2;
    if (!thermodb::loadDatabase(options, streams, *system, *table)) table->count = 0;
    return table;
}

}  // namespace

const thermodb::PhaseTable& bundledPhases() {
    static const std::unique_ptr<thermodb::PhaseTable> table = load();
    return *table;
}

int phaseIndex(const thermodb::PhaseTable& table, std::string_view name) {
    for (int i = 0; i < table.count; ++i) {
        std::string_view n = table[i].name;
        while (!n.empty() && n.back() == ' ') n.remove_suffix(1);
        if (n == name) return i;
    }
    return -1;
}

props::GibbsContext contextAt(double t, double P) {
    props::GibbsContext ctx;
    ctx.table = &bundledPhases();
    ctx.point.t = t;
    ctx.point.P = P;
    ctx.point.x.fill(0.0);
    ctx.point.x[thermodb::kWater] = 1.0;
    ctx.point.fluid = records::FluidModelChoice{};
    return ctx;
}

}  // namespace props_test
