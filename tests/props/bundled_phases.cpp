#include "bundled_phases.hpp"

#include <memory>
#include <string>

#include "common/bundled_db.hpp"
#include "records/streams.hpp"
#include "thermodb/chemical_system.hpp"
#include "thermodb/database.hpp"

namespace props_test {

namespace {

std::unique_ptr<thermodb::PhaseTable> load() {
    // Water routine 2 keeps water's database values.
    return std::move(testsupport::loadBundled("SI AL MG FE CA NA K TI H C O", 2).table);
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
