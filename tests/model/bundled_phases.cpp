#include "bundled_phases.hpp"

#include <memory>
#include <string>

#include "common/bundled_db.hpp"
#include "common/evaluation_context.hpp"
#include "io/database.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"

namespace props_test {

namespace {

std::unique_ptr<model::PhaseTable> load() {
    // Water routine 2 keeps water's database values.
    return std::move(testsupport::loadBundled("SI AL MG FE CA NA K TI H C O", 2).table);
}

}  // namespace

const model::PhaseTable& bundledPhases() {
    static const std::unique_ptr<model::PhaseTable> table = load();
    return *table;
}

int phaseIndex(const model::PhaseTable& table, std::string_view name) {
    for (int i = 0; i < table.count; ++i) {
        std::string_view n = table[i].name;
        while (!n.empty() && n.back() == ' ') n.remove_suffix(1);
        if (n == name) return i;
    }
    return -1;
}

testsupport::EvaluationContext contextAt(double t, double P) {
    testsupport::EvaluationContext ctx;
    ctx.table = &bundledPhases();
    ctx.point.t = t;
    ctx.point.P = P;
    ctx.point.x.fill(0.0);
    ctx.point.x[model::kWater] = 1.0;
    ctx.point.fluid = model::FluidModelChoice{};
    return ctx;
}

}  // namespace props_test
