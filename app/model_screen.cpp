// The solution-model screen.
//
// The toolkit reports no event when a radio button or a drop-down changes,
// so the screen is read once it closes:
//   "None": no model is used;
//   "All Solution Models": every slot is used, with the variant picked in its
//     drop-down list, or the first variant when none is picked;
//   "Select Individual Models": the slots whose "YES" button is set are used,
//     with the variant picked in their list (the first when none is picked).
// The slot listing on the interactive output therefore comes once, when the
// screen closes, rather than after every change.
#include "app/model_screen.hpp"

#include <filesystem>

#include "app/composition_run.hpp"
#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/files.hpp"
#include "io/replay_input.hpp"
#include "io/restart_file.hpp"

namespace app {
namespace {

using core::Status;
using namespace ui;

constexpr int kMessages = io::kUnitOutput;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

const core::Layout& fileLayout() { return io::restartLayouts().compositionFile; }
const core::Layout& slotLayout() { return io::restartLayouts().model; }
const core::Layout& listingLayout() {
    static const core::Layout l("(1X,I1,': ',A20,5X,A8)");
    return l;
}

const model::SolutionModel& modelOf(const model::SolutionModelSet& models, const model::ModelSlot& slot) {
    return models.models[at(slot.model - 1)];
}

std::string variantKeyword(const model::SolutionModelSet& models, const model::ModelSlot& slot, int variant) {
    const model::SolutionModel& m = modelOf(models, slot);
    if (variant < 1 || variant > m.mixingModelCount) return std::string(8, ' ');
    return core::pad(m.mixingModels[at(variant - 1)].keyword, 8);
}

void listSlots(io::Streams& streams, const model::SolutionModelSet& models) {
    const model::CompositionSet& cs = models.composition;
    for (int s = 0; s < cs.slotCount; ++s) {
        const model::ModelSlot& slot = cs.slots[at(s)];
        const std::string keyword = slot.useFlag == 'Y' ? variantKeyword(models, slot, slot.variant) : "No";
        core::Value v[] = {static_cast<long long>(s + 1), std::string_view(slot.name), std::string_view(keyword)};
        streams.write_record(kMessages, listingLayout(), v);
    }
}

calc::SolutionAnswers answersOf(const model::SolutionModelSet& models) {
    const model::CompositionSet& cs = models.composition;
    calc::SolutionAnswers a;
    a.compositionFile = cs.fileName;
    for (int s = 0; s < cs.slotCount; ++s) {
        const model::ModelSlot& slot = cs.slots[at(s)];
        a.models.push_back(calc::ModelAnswer{slot.useFlag,
                                             variantKeyword(models, slot, slot.useFlag == 'Y' ? slot.variant : 1),
                                             slot.name});
    }
    return a;
}

std::string extensionFor(int databaseVersion) {
    if (databaseVersion == 1) return ".zu1";
    if (databaseVersion == 2) return ".zu2";
    return {};
}

// Why the composition file `name` cannot be opened, for the messages.
std::string whyNotOpened(const std::string& name) {
    const std::string file = io::resolveInputName(name);
    if (file.empty()) return "no file name given";
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (!std::filesystem::exists(status)) return "no such file";
    if (!std::filesystem::is_regular_file(status)) return "not a file";
    return "cannot be read";
}

// Reads the composition file; when it cannot be opened, once more with the
// extension of the database version appended.  `opened` is false when both
// fail; `used` receives the name that was read.
Status readWithExtension(PelkamScreens& screens, const std::string& name, const RunSettings& settings,
                         model::PhaseTable& phases, std::span<double> logActivity, model::SolutionModelSet& models,
                         io::Streams& streams, bool& opened, std::string& used) {
    bool openFailed = false;
    used = std::string(core::rtrim(name));
    if (Status s = readCompositionFile(screens, used, settings, phases, logActivity, models, streams, openFailed); !s) return s;
    opened = !openFailed;
    const std::string ext = extensionFor(settings.databaseVersion);
    if (opened || ext.empty()) return Status::success();
    used += ext;
    if (Status s = readCompositionFile(screens, used, settings, phases, logActivity, models, streams, openFailed); !s) return s;
    opened = !openFailed;
    return Status::success();
}

// The restart record of the composition file holds its name in 40 columns;
// a longer name would come back cut when the run is replayed.
constexpr std::size_t kCompositionNameWidth = 40;
std::string tooLongForRestart(const std::string& name) {
    return "Composition file name longer than " + std::to_string(kCompositionNameWidth) +
           " characters (the restart file holds 40): " + name;
}

// Slots from the closed screen.
void readScreen(const Toolkit& tk, int h, model::SolutionModelSet& models) {
    model::CompositionSet& cs = models.composition;
    const bool all = tk.getCheck(h, kSmAll);
    const bool none = tk.getCheck(h, kSmNone);
    for (int s = 0; s < cs.slotCount; ++s) {
        model::ModelSlot& slot = cs.slots[at(s)];
        const int picked = tk.selectedIndex(h, smRowControl(kSmRowList, s));
        const int count = modelOf(models, slot).mixingModelCount;
        const int variant = picked >= 0 && picked < count ? picked + 1 : 1;
        bool use = false;
        if (all) use = true;
        else if (!none) use = tk.getCheck(h, smRowControl(kSmRowYes, s));
        slot.useFlag = use && count > 0 ? 'Y' : 'N';
        slot.variant = slot.useFlag == 'Y' ? variant : 0;
    }
}

void setUpScreen(Toolkit& tk, int h, const RunSettings& settings, const model::SolutionModelSet& models) {
    const model::CompositionSet& cs = models.composition;
    for (int row = 0; row < kSolutionRows; ++row) {
        const int label = smRowControl(kSmRowLabel, row), yes = smRowControl(kSmRowYes, row),
                  no = smRowControl(kSmRowNo, row), list = smRowControl(kSmRowList, row);
        const bool filled = row < cs.slotCount;
        tk.setText(h, label, filled ? cs.slots[at(row)].name : std::string(20, ' '));
        tk.setCheck(h, yes, false);
        tk.setCheck(h, no, false);
        if (filled) {
            const model::SolutionModel& m = modelOf(models, cs.slots[at(row)]);
            tk.setListCount(h, list, m.mixingModelCount);
            for (int v = 0; v < m.mixingModelCount; ++v)
                tk.setListItem(h, list, v,
                                 core::pad(m.mixingModels[at(v)].keyword, 8) + " " +
                                     core::pad(m.mixingModels[at(v)].description, 30));
        } else {
            tk.setListCount(h, list, 0);
        }
        tk.setSelection(h, list, -1, false);
        // Row 1 is always there; rows 2 to 8 only as far as there are models.
        const bool on = row == 0 || filled;
        for (int c : {yes, no, list}) tk.enable(h, c, on);
    }
    tk.setCheck(h, kSmAll, true);
    tk.setText(h, kSmFilename, defaultCompositionFileName(settings));
}

Status interactive(PelkamScreens& screens, io::Streams& streams, const RunSettings& settings,
                   model::PhaseTable& phases, calc::PhaseSelection& sel, model::SolutionModelSet& models) {
    Toolkit& tk = *screens.tk;
    const int h = screens[kSolutionScreen];
    model::CompositionSet& cs = models.composition;
    setUpScreen(tk, h, settings, models);
    for (;;) {
        if (!tk.runScreen(h)) return Status::quit();
        tk.show(h, 0);
        readScreen(tk, h, models);
        calc::applyModelChoice(phases, sel, models);
        listSlots(streams, models);
        if (!cs.anyModelUsed) {
            cs.fileName = std::string(40, ' ');
            return Status::success();
        }
        const std::string typed = tk.getText(h, kSmFilename);
        bool opened = false;
        std::string used;
        if (Status s = readWithExtension(screens, typed, settings, phases, sel.logActivity, models, streams, opened, used); !s)
            return s;
        if (opened && used.size() <= kCompositionNameWidth) {
            cs.fileName = core::pad(used, kCompositionNameWidth);
            return Status::success();
        }
        if (opened) {
            if (!showInputError(screens, tooLongForRestart(used))) return Status::quit();
            continue;
        }
        streams.writeLine(kMessages, " Cannot open mineral compositions file " + std::string(core::trim(typed)) +
                                          ": " + whyNotOpened(typed));
        if (!showInputError(screens, "Cannot open mineral compositions file - TRY AGAIN")) return Status::quit();
    }
}

Status replay(PelkamScreens& screens, io::Streams& streams, const RunSettings& settings,
              model::PhaseTable& phases, calc::PhaseSelection& sel, model::SolutionModelSet& models) {
    io::ReplayInput in{streams, settings.unitNames[io::kInputSlot], io::kUnitInput, kMessages};
    model::CompositionSet& cs = models.composition;
    std::string name, comment;
    core::Target ft[] = {core::TextTarget{&name, 40}, core::TextTarget{&comment, 25}};
    if (Status s = in.read(fileLayout(), ft); !s) return s;
    for (int s = 0; s < cs.slotCount; ++s) {
        model::ModelSlot& slot = cs.slots[at(s)];
        std::string flag, keyword, modelName;
        core::Target t[] = {core::TextTarget{&flag, 1}, core::TextTarget{&keyword, 8},
                               core::TextTarget{&modelName, 20}};
        if (Status st = in.read(slotLayout(), t); !st) return st;
        if (core::rtrim(modelName) != core::rtrim(slot.name))
            return in.reject(3, "solution model " + std::to_string(s + 1) + " of the run is " +
                                    std::string(core::rtrim(slot.name)) + ", not this model",
                             std::string(core::rtrim(modelName)));
        if (flag != "Y" && flag != "N") return in.reject(1, "use flag is not Y or N", flag);
        slot.useFlag = flag[0];
        slot.variant = 0;
        if (slot.useFlag == 'Y') {
            const model::SolutionModel& m = modelOf(models, slot);
            for (int v = 0; v < m.mixingModelCount && slot.variant == 0; ++v)
                if (core::pad(m.mixingModels[at(v)].keyword, 8) == core::pad(keyword, 8)) slot.variant = v + 1;
            if (slot.variant == 0)
                return in.reject(2, "no mixing variant of this name in model " + std::string(core::rtrim(slot.name)),
                                 std::string(core::rtrim(keyword)));
        }
    }
    calc::applyModelChoice(phases, sel, models);
    listSlots(streams, models);
    if (!cs.anyModelUsed) {
        cs.fileName = std::string(40, ' ');
        return Status::success();
    }
    bool opened = false;
    std::string used;
    if (Status s = readWithExtension(screens, name, settings, phases, sel.logActivity, models, streams, opened, used); !s) return s;
    if (!opened) {
        const std::string file(core::trim(name));
        const std::string why = whyNotOpened(file);
        streams.writeLine(kMessages, " Cannot open mineral compositions file " + file + ": " + why);
        Status s = Status::stop("cannot open mineral compositions file: " + why);
        s.file = file;
        return s;
    }
    if (used.size() > kCompositionNameWidth) {
        streams.writeLine(kMessages, " " + tooLongForRestart(used));
        Status s = Status::stop(tooLongForRestart(used));
        s.file = used;
        return s;
    }
    cs.fileName = core::pad(used, kCompositionNameWidth);
    return Status::success();
}

}  // namespace

std::string defaultCompositionFileName(const RunSettings& settings) {
    if (settings.usePath == 'Y' && !core::isBlank(settings.path)) {
        std::string_view path = core::trim(settings.path);
        return std::string(path.substr(0, path.find(' ')));
    }
    switch (settings.databaseVersion) {
        case 1: return "zuntest.zu1";
        case 2: return "zuntest.zu2";
        default: return "zuntest.zun";
    }
}

Status runSolutionModelScreen(PelkamScreens& screens, io::Streams& streams, const RunSettings& settings,
                              model::PhaseTable& phases, calc::PhaseSelection& sel, model::SolutionModelSet& models,
                              calc::SolutionAnswers& answers) {
    model::CompositionSet& cs = models.composition;
    for (int s = 0; s < cs.slotCount; ++s) {
        cs.slots[at(s)].useFlag = 'N';
        cs.slots[at(s)].variant = 0;
    }
    cs.anyModelUsed = false;
    cs.fileName = std::string(40, ' ');
    Status s = settings.inputFromFile ? replay(screens, streams, settings, phases, sel, models)
                                      : interactive(screens, streams, settings, phases, sel, models);
    if (!s) return s;
    answers = answersOf(models);
    return Status::success();
}

}  // namespace app
