// The formula utility's recalculation of one analysis.
#include "pelkam/formula.hpp"

#include "api/internal.hpp"
#include "formula/formula.hpp"

namespace pelkam {

Result<MineralFormula> recalculateOxides(const std::vector<std::pair<std::string, double>>& oxidesWtPercent,
                                         std::string_view code, const FormulaOptions& options) {
    formula::SchemeOptions o;
    o.ferric = options.ferric;
    o.garnet3Percent = options.garnet3Percent;
    o.garnetOffset = options.garnetOffset;
    o.temperatureK = options.temperature_C + 273.15;
    o.amphiboleOrderConstant = options.amphiboleOrderConstant;
    const formula::AnalysisResult r = formula::recalculateAnalysis(oxidesWtPercent, code, o);
    if (!r.status.ok()) return detail::errorOf(r.status);
    MineralFormula out;
    const formula::SchemeResult& s = r.scheme;
    out.scheme = s.scheme;
    for (const formula::Recalculation& x : s.passes) {
        FormulaPass pass;
        for (int e = 0; e < formula::kElementCount; ++e)
            pass.cations.push_back({formula::kElements[static_cast<std::size_t>(e)].name, x.cations[static_cast<std::size_t>(e)]});
        pass.cationSum = x.cationSum;
        pass.charge = x.charge;
        pass.alIV = x.alIV;
        pass.alVI = x.alVI;
        out.passes.push_back(std::move(pass));
    }
    out.fe3Used = s.fe3Used;
    for (const formula::Fraction& f : s.fractions) out.fractions.push_back({f.name, f.value});
    if (s.entry) {
        out.entryCode = s.entry->code;
        out.entryHeader = s.entry->header;
        out.entryValues = s.entry->values;
    }
    out.log = s.log;
    return out;
}

}  // namespace pelkam
