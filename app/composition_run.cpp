#include "app/composition_run.hpp"

#include <array>
#include <vector>

#include "calc/selection.hpp"
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
    const std::string name = io::resolveInputName(std::string(core::trim(fileName)));
    if (name.empty() || streams.open(kUnitComposition, name, io::OpenMode::Existing) != 0) return false;
    for (std::string line; streams.readLine(kUnitComposition, line).done();) lines.push_back(line);
    streams.close(kUnitComposition);
    return true;
}

// A failure of the composition file: the detail on the interactive output,
// the message on the input-error screen, then the end of the run.
Status refuse(ui::PelkamScreens& screens, io::Streams& streams, const Status& s) {
    streams.writeLine(kMessages, " " + s.describe());
    if (!ui::showInputError(screens, s.what)) return Status::quit();
    return s;
}

}  // namespace

Status readCompositionFile(ui::PelkamScreens& screens, const std::string& fileName,
                           const RunSettings& settings, model::PhaseTable& phases, std::span<double> logActivity,
                           model::SolutionModelSet& models, io::Streams& streams, bool& openFailed) {
    openFailed = false;
    model::CompositionSet& cs = models.composition;
    const std::string file(core::trim(fileName));

    // 1. The solution-properties file with the chosen variants.
    const std::array<int, model::kMaxModels> variants = calc::chosenVariants(cs);
    const std::string sln = io::resolveInputName(std::string(core::trim(settings.solutionFile)));
    if (Status s = io::readSolutionModels(sln, variants, models, streams, kMessages); !s) return s;
    for (int s = 0; s < cs.slotCount; ++s) {
        const model::ModelSlot& slot = cs.slots[at(s)];
        if (slot.model < 1 || slot.model > models.count ||
            core::pad(models.models[at(slot.model - 1)].name, 20) != core::pad(slot.name, 20)) {
            Status st = Status::stop("the solution properties file changed during the run");
            st.file = sln;
            st.why = "model " + std::to_string(slot.model) + " is no longer " + std::string(core::rtrim(slot.name));
            streams.writeLine(kMessages, " " + st.describe());
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
    streams.writeLine(kMaster, "");
    streams.writeLine(kMaster, "**ZUN FILE BEGINS**");
    for (const std::string& l : lines) streams.writeLine(kMaster, core::pad(core::rtrim(l), kCopiedWidth));
    streams.writeLine(kMaster, "**ZUN FILE END**");
    streams.writeLine(kMaster, "");

    // 4-7. Labels, site fractions, the activity of every end-member and the
    // fixed activities.
    if (Status st = io::applyCompositionFile(lines, file, phases, logActivity, models); !st)
        return refuse(screens, streams, st);
    return Status::success();
}

}  // namespace app
