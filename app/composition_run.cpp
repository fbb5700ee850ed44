#include "app/composition_run.hpp"

#include <array>
#include <vector>

#include "core/text.hpp"
#include "io/composition_file.hpp"
#include "io/files.hpp"
#include "io/sln_reader.hpp"
#include "model/activity.hpp"

namespace app {
namespace {

using core::Status;

constexpr int kMessages = io::kUnitOutput;
constexpr int kMaster = io::kUnitMaster;
constexpr int kCopiedWidth = 80;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// The lines of a file, or false when it cannot be opened.
bool readLines(io::Streams& streams, const std::string& fileName, std::vector<std::string>& lines) {
    lines.clear();
    const std::string name = io::resolve_input_name(std::string(core::trim(fileName)));
    if (name.empty() || streams.open(kUnitComposition, name, io::OpenMode::Existing) != 0) return false;
    for (std::string line; streams.read_line(kUnitComposition, line).done();) lines.push_back(line);
    streams.close(kUnitComposition);
    return true;
}

// A failure of the composition file: the detail on the interactive output,
// the message on the input-error screen, then the end of the run.
Status refuse(ui::PelkamScreens& screens, io::Streams& streams, const Status& s) {
    streams.write_line(kMessages, " " + s.describe());
    if (!ui::show_input_error(screens, s.what)) return Status::quit();
    return s;
}

void addLabel(model::CompositionSet& cs, const std::string& text) {
    if (cs.labelCount < model::kMaxCompositionLabels) cs.labels[at(cs.labelCount++)] = core::pad(text, 40);
}

// The variant chosen for every model of the file, from the screen's slots.
std::array<int, model::kMaxModels> chosenVariants(const model::CompositionSet& cs) {
    std::array<int, model::kMaxModels> v{};
    for (int s = 0; s < cs.slotCount; ++s) {
        const model::ModelSlot& slot = cs.slots[at(s)];
        if (slot.useFlag == 'Y' && slot.model >= 1 && slot.model <= model::kMaxModels) v[at(slot.model - 1)] = slot.variant;
    }
    return v;
}

}  // namespace

Status readCompositionFile(ui::PelkamScreens& screens, const std::string& fileName,
                           const RunSettings& settings, model::PhaseTable& phases, std::span<double> logActivity,
                           model::SolutionModelSet& models, io::Streams& streams, bool& openFailed) {
    openFailed = false;
    model::CompositionSet& cs = models.composition;
    const std::string file(core::trim(fileName));

    // 1. The solution-properties file with the chosen variants.
    const std::array<int, model::kMaxModels> variants = chosenVariants(cs);
    const std::string sln = io::resolve_input_name(std::string(core::trim(settings.solutionFile)));
    if (Status s = io::readSolutionModels(sln, variants, models, streams, kMessages); !s) return s;
    for (int s = 0; s < cs.slotCount; ++s) {
        const model::ModelSlot& slot = cs.slots[at(s)];
        if (slot.model < 1 || slot.model > models.count ||
            core::pad(models.models[at(slot.model - 1)].name, 20) != core::pad(slot.name, 20)) {
            Status st = Status::stop("the solution properties file changed during the run");
            st.file = sln;
            st.why = "model " + std::to_string(slot.model) + " is no longer " + std::string(core::rtrim(slot.name));
            streams.write_line(kMessages, " " + st.describe());
            return st;
        }
    }

    // 2. The composition file.
    std::vector<std::string> lines;
    if (!readLines(streams, file, lines)) {
        openFailed = true;
        return Status::success();
    }

    // 3. A copy on the master output.
    streams.write_line(kMaster, "");
    streams.write_line(kMaster, "**ZUN FILE BEGINS**");
    for (const std::string& l : lines) streams.write_line(kMaster, core::pad(core::rtrim(l), kCopiedWidth));
    streams.write_line(kMaster, "**ZUN FILE END**");
    streams.write_line(kMaster, "");

    // 4-5. Labels and the site fractions of every used model.
    cs.labelCount = 0;
    cs.valueLine.fill(0);
    addLabel(cs, file);
    for (int s = 0; s < cs.slotCount; ++s) {
        const model::ModelSlot& slot = cs.slots[at(s)];
        if (slot.useFlag != 'Y') continue;
        model::SolutionModel& m = models.models[at(slot.model - 1)];
        addLabel(cs, io::modelLabel(m));
        io::CompositionValues values;
        if (Status st = io::findComposition(lines, file, m.abbreviation, io::siteFractionCount(m), values); !st)
            return refuse(screens, streams, st);
        io::setSiteFractions(m, values);
        model::precomputeExcessCoefficients(m);
        cs.valueLine[at(s)] = values.line;
    }

    // 6. Every end-member of the run must have an activity.
    for (int i = 0; i < phases.count; ++i) {
        const model::PhaseRecord& p = phases[i];
        if (p.activityModel < 1 || p.activityModel > models.count) continue;
        const model::SolutionModel& m = models.models[at(p.activityModel - 1)];
        const model::EndMemberActivity a = model::endMemberActivity(m, p.activityEndMember, 1.0, 298.15);
        if (!a.vanishing) continue;
        Status st = Status::stop(model::vanishingActivityMessage(m, p.activityEndMember, a));
        st.file = file;
        st.why = "the composition of " + m.abbreviation + " gives " + std::string(core::rtrim(p.name)) +
                 " no activity: leave the phase out of the run or correct the composition";
        return refuse(screens, streams, st);
    }

    // 7. The fixed activities.
    bool noBlock = false;
    return readFixedActivities(screens, file, phases, logActivity, models, streams, noBlock);
}

Status readFixedActivities(ui::PelkamScreens& screens, const std::string& fileName, const model::PhaseTable& phases,
                           std::span<double> logActivity, model::SolutionModelSet& models, io::Streams& streams,
                           bool& failed) {
    failed = true;
    const std::string file(core::trim(fileName));
    std::vector<std::string> lines;
    if (!readLines(streams, file, lines)) return Status::success();
    io::FixedActivityBlock block;
    if (Status st = io::parseFixedActivities(lines, file, block); !st) return refuse(screens, streams, st);
    io::applyFixedActivities(phases, block, logActivity);
    for (const io::FixedActivity& a : block.entries) addLabel(models.composition, a.text);
    failed = !block.found || !block.ended;
    return Status::success();
}

bool writeCompositionLabels(io::Streams& streams, const model::SolutionModelSet& models, double xmin, double xmax,
                            double ymin, double ymax) {
    const model::CompositionSet& cs = models.composition;
    if (!cs.anyModelUsed || cs.labelCount == 0) return false;
    if (streams.open(kUnitLabels, kLabelScratchName, io::OpenMode::Scratch) != 0) return false;
    for (int k = 0; k < cs.labelCount; ++k)
        for (const std::string& record :
             io::compositionLabelRecords(xmin, xmax, ymin, ymax, k + 2, cs.labels[at(k)]))
            streams.write_line(kUnitLabels, record);
    return true;
}

}  // namespace app
