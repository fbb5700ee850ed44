// Solution models for the phases of a database: the models chosen by code
// and variant, their site fractions from a composition file, and the links
// of the phases that are their end-members.
#include <fstream>

#include "api/internal.hpp"
#include "core/text.hpp"
#include "io/composition_file.hpp"
#include "io/sln_format.hpp"
#include "model/activity.hpp"
#include "pelkam/solution_models.hpp"

namespace pelkam {
namespace {

using detail::errorOf;
using detail::requestError;
using core::trimmed;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

bool readFileLines(const std::string& path, std::vector<std::string>& lines) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    lines.clear();
    for (std::string l; std::getline(in, l);) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
        lines.push_back(l);
    }
    return true;
}

// The variant (1-based) of every chosen model.
Result<std::array<int, model::kMaxModels>> chosenVariants(const SolutionChoice& choice, const model::SolutionModelSet& set,
                                                          const std::vector<std::string>& zun,
                                                          const std::string& zunFile, const std::string& slnFile,
                                                          const std::vector<std::string>& said) {
    std::array<int, model::kMaxModels> variants{};
    if (choice.all) {
        for (int m = 0; m < set.count; ++m) {
            const model::SolutionModel& sm = set.models[at(m)];
            if (sm.mixingModelCount == 0) continue;
            io::CompositionValues v;
            const core::Status st = io::findComposition(zun, zunFile, sm.abbreviation, io::siteFractionCount(sm), v);
            // A model without a value line is left out; a file that cannot be read is said.
            if (st.ok()) variants[at(m)] = 1;
            else if (st.what != io::missingCompositionMessage(sm.abbreviation)) return errorOf(st, said);
        }
    }
    for (const SolutionChoice::Model& chosen : choice.models) {
        const std::string code = core::pad(chosen.code, 4);
        int found = -1;
        for (int m = 0; m < set.count && found < 0; ++m)
            if (core::upper(set.models[at(m)].abbreviation) == core::upper(code)) found = m;
        if (found < 0) {
            Error e = requestError("no model '" + trimmed(code) + "' in " + slnFile);
            e.messages = said;
            return e;
        }
        const model::SolutionModel& sm = set.models[at(found)];
        int v = chosen.variant.empty() && sm.mixingModelCount > 0 ? 1 : 0;
        std::string offered;
        for (int k = 0; k < sm.mixingModelCount; ++k) {
            const std::string keyword = trimmed(sm.mixingModels[at(k)].keyword);
            offered += (k ? ", " : "") + keyword;
            if (!chosen.variant.empty() && core::upper(keyword) == core::upper(chosen.variant)) v = k + 1;
        }
        if (v == 0) {
            Error e = requestError("model " + trimmed(code) + " has no variant '" + chosen.variant + "' (it has " +
                                   (offered.empty() ? std::string("none") : offered) + ")");
            e.messages = said;
            return e;
        }
        variants[at(found)] = v;
    }
    return variants;
}

}  // namespace

Result<SolutionModels> loadSolutionModels(const Database& database, const std::string& solutionFile,
                                          const std::string& compositionFile, const SolutionChoice& choice) {
    std::vector<std::string> sln, zun;
    if (!readFileLines(solutionFile, sln)) return detail::fileError("cannot open the solution file", solutionFile);
    if (!readFileLines(compositionFile, zun))
        return detail::fileError("cannot open the composition file", compositionFile);
    auto data = std::make_shared<detail::SolutionData>();
    data->compositionFile = compositionFile;
    data->phases = database.data().phases;
    model::SolutionModelSet& set = data->models;
    std::vector<std::string>& said = data->messages;
    auto parse = [&](std::span<const int> variants) {
        std::vector<std::string> lines;
        const core::Status st = io::parseSolutionModels(sln, solutionFile, variants, set, lines);
        said.insert(said.end(), lines.begin(), lines.end());
        return st;
    };
    if (core::Status st = parse({}); !st) return errorOf(st, said);
    Result<std::array<int, model::kMaxModels>> variants =
        chosenVariants(choice, set, zun, compositionFile, solutionFile, said);
    if (!variants) return variants.error();
    if (core::Status st = parse(*variants); !st) return errorOf(st, said);

    // Compositions, then the links of the phases.
    for (int m = 0; m < set.count; ++m) {
        model::SolutionModel& sm = set.models[at(m)];
        if ((*variants)[at(m)] == 0) continue;
        io::CompositionValues v;
        if (core::Status st = io::findComposition(zun, compositionFile, sm.abbreviation, io::siteFractionCount(sm), v);
            !st)
            return errorOf(st, said);
        io::setSiteFractions(sm, v);
        model::precomputeExcessCoefficients(sm);
    }
    for (int i = 0; i < data->phases.count; ++i) {
        model::PhaseRecord& p = data->phases[i];
        int model = 0, member = 0;
        if (!model::endMemberOfPhase(set, p.name, model, member) || (*variants)[at(model - 1)] == 0) continue;
        p.activityModel = model;
        p.activityEndMember = member;
        p.reciprocalSet = model::reciprocalSetOf(set, model);
    }
    io::FixedActivityBlock block;
    if (core::Status st = io::parseFixedActivities(zun, compositionFile, block); !st) return errorOf(st, said);
    io::applyFixedActivities(data->phases, block, data->logActivity);
    return SolutionModels(std::move(data));
}

const std::vector<std::string>& SolutionModels::messages() const { return data_->messages; }

bool SolutionModels::linked(int phase) const {
    return phase >= 0 && phase < data_->phases.count && data_->phases[phase].activityModel != 0;
}

std::optional<Error> SolutionModels::missingActivity(int phase) const {
    if (!linked(phase)) return std::nullopt;
    const model::PhaseRecord& p = data_->phases[phase];
    const model::SolutionModel& sm = data_->models.models[at(p.activityModel - 1)];
    const model::EndMemberActivity a = model::endMemberActivity(sm, p.activityEndMember, 1.0, 298.15);
    if (!a.vanishing) return std::nullopt;
    Error e;
    e.kind = ErrorKind::Data;
    e.what = model::vanishingActivityMessage(sm, p.activityEndMember, a);
    e.file = data_->compositionFile;
    e.value = sm.abbreviation;
    return e;
}

}  // namespace pelkam
