#include "io/composition_file.hpp"

#include <cmath>

#include "core/layout.hpp"
#include "core/text.hpp"
#include "model/activity.hpp"

namespace io {
namespace {

using core::Status;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

constexpr int kFixedLineWidth = 40;
constexpr int kFixedValueWidth = 10;
constexpr int kFixedValueDecimals = 6;
constexpr int kValueWidth = 6;      // F6.4 fields of a value line
constexpr int kValueDecimals = 4;
constexpr int kFirstValueColumn = 6;

std::string lineAt(std::span<const std::string> lines, std::size_t i) {
    std::string l = lines[i];
    if (!l.empty() && l.back() == '\r') l.pop_back();
    return l;
}

Status failure(const std::string& what, const std::string& why, const std::string& file, int line, int field,
               const std::string& value) {
    Status s = Status::stop(what);
    s.why = why;
    s.file = file;
    s.line = line;
    s.field = field;
    s.value = value;
    return s;
}

const core::Layout& valueLayout() {
    static const core::Layout l("(A4,1X,24F6.4)");  // parsed once, never changed
    return l;
}

}  // namespace

std::string missingCompositionMessage(std::string_view abbreviation) {
    return "ZUN file missing compositions for " + std::string(abbreviation);
}

std::string formatErrorMessage(std::string_view fileName) {
    return "Check format - error reading file: " + std::string(core::trim(fileName));
}

Status findComposition(std::span<const std::string> lines, const std::string& fileName,
                       std::string_view abbreviation, int valueCount, CompositionValues& out) {
    const std::string file(core::trim(fileName));
    const std::string key = core::pad(abbreviation, 4);
    out = CompositionValues{};
    if (valueCount > kMaxCompositionValues || valueCount < 0)
        return failure(formatErrorMessage(file),
                       "model " + key + " has " + std::to_string(valueCount) +
                           " site fractions; a value line holds at most 24",
                       file, 0, 0, key);
    std::size_t i = 0;
    while (i < lines.size()) {
        const std::string header = lineAt(lines, i);
        if (core::startsBlind(header, "FIXE")) {
            // A fixed-activity block: skipped up to its ENDF line.
            const int opened = static_cast<int>(i) + 1;
            std::size_t j = i + 1;
            while (j < lines.size() && !core::startsBlind(lineAt(lines, j), "ENDF")) ++j;
            if (j >= lines.size())
                return failure(kNoEndfixMessage, "the fixed-activity block opened on line " + std::to_string(opened) +
                                                     " has no ENDFIX line",
                               file, opened, 0, std::string(core::rtrim(header)));
            i = j + 1;
            continue;
        }
        if (i + 1 >= lines.size()) break;  // a header line without its value line
        const std::string value = lineAt(lines, i + 1);
        const int valueLine = static_cast<int>(i) + 2;
        i += 2;
        if (core::pad(value, 4) != key) continue;

        std::string code;
        std::array<core::Target, kMaxCompositionValues + 1> targets;
        targets[0] = core::TextTarget{&code, 4};
        for (int k = 0; k < valueCount; ++k) targets[at(k + 1)] = &out.values[at(k)];
        const core::ReadOutcome r =
            core::read_text(value, valueLayout(), std::span<const core::Target>(targets.data(), at(valueCount + 1)));
        if (!r.done())
            return failure(formatErrorMessage(file),
                           "value " + std::to_string(r.field - 1) + " of the " + key + " line is not a number", file,
                           valueLine, r.field - 1, r.text);
        for (int k = 0; k < valueCount; ++k) {
            const double v = out.values[at(k)];
            if (!std::isfinite(v) || v < 0.0) {
                const std::size_t from = at(kFirstValueColumn - 1 + k * kValueWidth);
                const std::string text = from < value.size() ? value.substr(from, kValueWidth) : std::string();
                return failure(formatErrorMessage(file),
                               "value " + std::to_string(k + 1) + " of the " + key +
                                   " line is not a site fraction (negative)",
                               file, valueLine, k + 1, std::string(core::trim(text)));
            }
        }
        out.count = valueCount;
        out.line = valueLine;
        return Status::success();
    }
    return failure(missingCompositionMessage(key), "no value line for " + key + " in the file", file,
                   static_cast<int>(lines.size()), 0, key);
}

int siteFractionCount(const model::SolutionModel& m) {
    int n = 0;
    for (int s = 0; s < m.siteCount && s < model::kMaxSites; ++s) n += m.sites[at(s)].cationCount;
    return n;
}

void setSiteFractions(model::SolutionModel& m, const CompositionValues& values) {
    for (auto& site : m.siteFractions) site.fill(0.0);
    int k = 0;
    for (int s = 0; s < model::kMaxSites; ++s) {
        m.siteFractions[at(s)][0] = 1.0;
        if (s >= m.siteCount) continue;
        for (int c = 1; c <= m.sites[at(s)].cationCount && c <= model::kMaxCations; ++c, ++k)
            m.siteFractions[at(s)][at(c)] = k < values.count && k < kMaxCompositionValues ? values.values[at(k)] : 0.0;
    }
}

Status parseFixedActivities(std::span<const std::string> lines, const std::string& fileName, FixedActivityBlock& out) {
    const std::string file(core::trim(fileName));
    out = FixedActivityBlock{};
    std::size_t i = 0;
    auto opens = [](const std::string& l) {
        const std::string head = core::pad(l, 4);
        return head == "FIXE" || head == "fixe";
    };
    while (i < lines.size() && !opens(lineAt(lines, i))) ++i;
    if (i >= lines.size()) return Status::success();
    out.found = true;
    for (++i; i < lines.size(); ++i) {
        const std::string text = core::pad(lineAt(lines, i), kFixedLineWidth);
        const int lineNo = static_cast<int>(i) + 1;
        if (text.compare(0, 6, "ENDFIX") == 0) {
            out.ended = true;
            return Status::success();
        }
        const std::size_t eq = text.find('=');
        if (eq == std::string::npos)
            return failure(formatErrorMessage(file), "a line of the fixed-activity block has no \"=\"", file, lineNo, 1,
                           std::string(core::rtrim(text)));
        if (eq == 0 || core::isBlank(text.substr(0, eq)))
            return failure(formatErrorMessage(file), "a line of the fixed-activity block names no phase before \"=\"",
                           file, lineNo, 1, std::string(core::rtrim(text)));
        const std::string field = text.substr(eq + 1, std::min<std::size_t>(kFixedValueWidth, text.size() - eq - 1));
        double v = 0;
        if (!core::parseRealField(field, kFixedValueDecimals, v) || !std::isfinite(v))
            return failure(formatErrorMessage(file),
                           "the value after \"=\" is not a number (F10.6; an activity of one is written 1.0)", file,
                           lineNo, 2, std::string(core::trim(field)));
        FixedActivity a;
        a.name = text.substr(0, eq);
        a.logActivity = v > 0.0 ? std::log10(v) : v;
        a.text = text;
        a.line = lineNo;
        out.entries.push_back(std::move(a));
    }
    return Status::success();
}

int applyFixedActivities(const model::PhaseTable& phases, const FixedActivityBlock& block,
                         std::span<double> logActivity) {
    int applied = 0;
    for (const FixedActivity& a : block.entries)
        for (int i = 0; i < phases.count && static_cast<std::size_t>(i) < logActivity.size(); ++i) {
            const model::PhaseRecord& p = phases[i];
            if (p.name.size() >= a.name.size() && p.name.compare(0, a.name.size(), a.name) == 0) {
                logActivity[static_cast<std::size_t>(i)] = a.logActivity;
                ++applied;
            }
        }
    return applied;
}

std::array<std::string, 2> compositionLabelRecords(double xmin, double xmax, double ymin, double ymax, int n,
                                                   std::string_view text) {
    static const core::Layout layout("(4F10.3,5X,A40)");  // parsed once, never changed
    const double x = xmax - (xmax - xmin) / 3.0;
    const double y = ymax - n * (ymax - ymin) / 30.0;
    const std::string padded = core::pad(text, 40);
    core::Value v[] = {x, y, 0.2, 0.0, std::string_view(padded)};
    return {"    1", core::writeLine(layout, v)};
}

std::string modelLabel(const model::SolutionModel& m) {
    std::string keyword(8, ' ');
    if (m.selectedMixingModel >= 1 && m.selectedMixingModel <= m.mixingModelCount)
        keyword = core::pad(m.mixingModels[at(m.selectedMixingModel - 1)].keyword, 8);
    return core::pad(m.abbreviation + "=" + keyword, 40);
}

namespace {

void addLabel(model::CompositionSet& cs, const std::string& text) {
    if (cs.labelCount < model::kMaxCompositionLabels) cs.labels[static_cast<std::size_t>(cs.labelCount++)] = core::pad(text, 40);
}

}  // namespace

core::Status applyCompositionFile(std::span<const std::string> lines, const std::string& fileName,
                                  const model::PhaseTable& phases, std::span<double> logActivity,
                                  model::SolutionModelSet& models) {
    model::CompositionSet& cs = models.composition;
    // 1-2. Labels and the site fractions of every used model.
    cs.labelCount = 0;
    cs.valueLine.fill(0);
    addLabel(cs, fileName);
    for (int s = 0; s < cs.slotCount; ++s) {
        const model::ModelSlot& slot = cs.slots[static_cast<std::size_t>(s)];
        if (slot.useFlag != 'Y') continue;
        model::SolutionModel& m = models.models[static_cast<std::size_t>(slot.model - 1)];
        addLabel(cs, modelLabel(m));
        CompositionValues values;
        if (core::Status st = findComposition(lines, fileName, m.abbreviation, siteFractionCount(m), values); !st)
            return st;
        setSiteFractions(m, values);
        model::precomputeExcessCoefficients(m);
        cs.valueLine[static_cast<std::size_t>(s)] = values.line;
    }

    // 3. Every end-member of the run must have an activity.
    for (int i = 0; i < phases.count; ++i) {
        const model::PhaseRecord& p = phases[i];
        if (p.activityModel < 1 || p.activityModel > models.count) continue;
        const model::SolutionModel& m = models.models[static_cast<std::size_t>(p.activityModel - 1)];
        const model::EndMemberActivity a = model::endMemberActivity(m, p.activityEndMember, 1.0, 298.15);
        if (!a.vanishing) continue;
        core::Status st = core::Status::stop(model::vanishingActivityMessage(m, p.activityEndMember, a));
        st.file = fileName;
        st.why = "the composition of " + m.abbreviation + " gives " + std::string(core::rtrim(p.name)) +
                 " no activity: leave the phase out of the run or correct the composition";
        return st;
    }

    // 4. The fixed activities.
    FixedActivityBlock block;
    if (core::Status st = parseFixedActivities(lines, fileName, block); !st) return st;
    applyFixedActivities(phases, block, logActivity);
    for (const FixedActivity& a : block.entries) addLabel(cs, a.text);
    return core::Status::success();
}

bool writeCompositionLabels(Streams& streams, int unit, const model::SolutionModelSet& models, double xmin,
                            double xmax, double ymin, double ymax) {
    const model::CompositionSet& cs = models.composition;
    if (!cs.anyModelUsed || cs.labelCount == 0) return false;
    if (streams.open(unit, kLabelScratchName, OpenMode::Scratch) != 0) return false;
    for (int k = 0; k < cs.labelCount; ++k)
        for (const std::string& record :
             compositionLabelRecords(xmin, xmax, ymin, ymax, k + 2, cs.labels[static_cast<std::size_t>(k)]))
            streams.writeLine(unit, record);
    return true;
}

}  // namespace io
