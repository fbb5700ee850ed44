// The end-member and phase-options screens and the phase-selection records
// of the restart file.
//
// Option codes set by the phase-options screen: "Include" 0, "Include (all
// rxns)" 2, "Project" 3, "Do Not Project" 4, "Test (not in rxn)" 5.  Code 4
// is the one that keeps a phase out of the reactions (it is moved behind the
// other phases and only the stability tests see it); code 5 is a plain
// inclusion with no further effect.  The button captions do not say this
// plainly; the pairing is the one the rest of the system relies on.
//
// Restart records of the selection (written in every run, read back instead
// of the screens when the input is replayed), in this order:
//   (a) one record per loaded phase, in load order, layout (I1,D12.5,5X,A20):
//       the option code (1 for an excluded phase; -1 never appears), the
//       activity as entered (a log10 value, zero or negative, is written as
//       it is), the phase name.  On reading, the name must be the name of the
//       phase at that position, the code 0 to 5; a negative activity is a
//       log10 activity (10 to that power as an activity, which gives the same
//       log activity).
//   (b) activity diagrams only: one record per axis, layout (A40,5X,A25):
//       the axis text and the comment "X-AXIS VARIABLE" / "Y-AXIS VARIABLE".
//       An axis text that cannot be recognised stops the replay.
//   (c) the two axis labels of the plot file as 80-column lines (written
//       always; read back and ignored when replaying).
//   (d) the solution-model records (the solution-model screen).
// A record that is missing ends the replay with " ***END OF FILE IN INPUT
// DATA,EXECUTION TERMINATED"; a record that does not fit, with " ***ERROR IN
// INPUT DATA, EXECUTION TERMINATED" and a line naming the file, line and
// field.
//
// Aqueous species: when a phase of kind -2 or -3 is selected, the phase whose
// name begins "WATER" is given code 3 and activity 1.  The rule applies in
// replayed and interactive runs alike, after all answers are known (so a
// later non-aqueous phase does not undo it).
//
// Axis phases: a phase named in an activity axis always takes part in the
// run; when it was left out on the end-member screen it is included with
// code 0.
#include "app/phase_selection.hpp"

#include <cmath>
#include <vector>

#include "app/model_screen.hpp"
#include "calc/axis.hpp"
#include "calc/basis.hpp"
#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/files.hpp"
#include "io/replay_input.hpp"
#include "io/restart_file.hpp"
#include "io/sln_reader.hpp"

namespace app {
namespace {

using core::Status;
using namespace ui;

constexpr int kMessages = io::kUnitOutput;
constexpr int kMaster = io::kUnitMaster;

const core::Layout& phaseRecordLayout() { return io::restartLayouts().phase; }
const core::Layout& axisRecordLayout() { return io::restartLayouts().axis; }

bool isActivityDiagram(int t) { return t == calc::kActT || t == calc::kActP || t == calc::kActAct; }

std::size_t at(int i) { return static_cast<std::size_t>(i); }

io::ReplayInput replayOf(io::Streams& streams, const RunSettings& settings) {
    return io::ReplayInput{streams, settings.unitNames[io::kInputSlot], io::kUnitInput, kMessages};
}

// The texts of the end-member screen by diagram type: X header, X text, Y
// header, Y text; an input field is left empty and enabled.
struct AxisHeaders {
    const char* xHeader;
    const char* xText;  // nullptr: an input field
    const char* yHeader;
    const char* yText;
};
AxisHeaders headersFor(int type) {
    switch (type) {
        case calc::kTX: return {"X-axis is defined as", "Mole Fraction CO2", "Y-axis is defined as", "TEMPERATURE"};
        case calc::kPX: return {"X-axis is defined as", "Mole Fraction CO2", "Y-axis is defined as", "PRESSURE"};
        case calc::kActT:
            return {"Input X-axis minal or quotient,i.e. Y/Z^2", nullptr, "Y-axis is defined as", "TEMPERATURE"};
        case calc::kActP:
            return {"Input X-axis minal or quotient,i.e. Y/Z^2", nullptr, "Y-axis is defined as", "PRESSURE"};
        case calc::kActAct:
            return {"Input X-axis minal or quotient for activity", nullptr,
                    "Input Y-axis minal or quotient for activity", nullptr};
        default:
            // P-T: temperature is the x axis and pressure the y axis of the diagram.
            return {"X-axis is defined as", "TEMPERATURE", "Y-axis is defined as", "PRESSURE"};
    }
}

// The phases that take part in the run (all but the excluded ones).
int selectedCount(const calc::PhaseSelection& sel, const model::PhaseTable& phases) {
    int count = 0;
    for (int i = 0; i < phases.count; ++i)
        if (sel.optionCode[at(i)] != calc::kExclude && sel.optionCode[at(i)] != calc::kNotChosen) ++count;
    return count;
}

void clearCodes(calc::PhaseSelection& sel) {
    sel.optionCode.fill(calc::kNotChosen);
    sel.activity.fill(1.0);
}

// An activity typed as 0 would be taken as log10 a = 0, i.e. a pure phase:
// refused, so that nobody gets a pure phase while meaning a missing one.
std::string zeroActivityMessage(const std::string& where) {
    return "activity 0 for " + where + ": 1 is a pure phase, below 0 is log10 a - try again";
}

// ---- Interactive

void setUpEndMemberScreen(Toolkit& tk, int h, int type, const model::PhaseTable& phases) {
    tk.setListCount(h, kEmList, phases.count);
    for (int i = 0; i < phases.count; ++i) tk.setListItem(h, kEmList, i, core::pad(phases[i].name, 20));
    const AxisHeaders a = headersFor(type);
    tk.setText(h, kEmXHeader, a.xHeader);
    tk.setText(h, kEmYHeader, a.yHeader);
    auto field = [&](int control, const char* fixed) {
        if (fixed) {
            tk.setText(h, control, fixed);
            tk.enable(h, control, false);
        } else {
            // An axis typed before stays (the screen may be shown again);
            // a fixed text of another diagram type gives way.
            if (!tk.enabled(h, control)) tk.setText(h, control, "");
            tk.enable(h, control, true);
        }
    };
    field(kEmXText, a.xText);
    field(kEmYText, a.yText);
}

int codeFromRadios(const Toolkit& tk, int h) {
    if (tk.getCheck(h, kPoIncludeAll)) return calc::kIncludeAll;
    if (tk.getCheck(h, kPoProject)) return calc::kProject;
    if (tk.getCheck(h, kPoDoNotProject)) return calc::kTestOnly;
    if (tk.getCheck(h, kPoTest)) return calc::kPlain;
    return calc::kInclude;
}

// Shows the phase-options screen for phase i until its activity reads.
Status askPhaseOptions(PelkamScreens& screens, const model::PhaseTable& phases, int i, calc::PhaseSelection& sel) {
    Toolkit& tk = *screens.tk;
    const int h = screens[kPhaseOptionsScreen];
    for (;;) {
        tk.setText(h, kPoName, core::pad(phases[i].name, 20));
        tk.setText(h, kPoActivity, "1");
        tk.setCheck(h, kPoInclude, true);
        if (!tk.runScreen(h)) return Status::quit();
        tk.show(h, 0);
        double activity = 0;
        const std::string text = tk.getText(h, kPoActivity);
        const std::string name(core::rtrim(phases[i].name));
        std::string message;
        if (!calc::readActivityText(text, activity))
            message = "Invalid activity \"" + std::string(core::trim(text)) + "\" for " + name + " - try again";
        else if (activity == 0.0)
            message = zeroActivityMessage(name);
        if (message.empty()) {
            sel.optionCode[at(i)] = codeFromRadios(tk, h);
            sel.activity[at(i)] = activity;
            return Status::success();
        }
        if (!showInputError(screens, message)) return Status::quit();
    }
}

// Parses the axis texts of an activity diagram; false with the message shown
// (or Quit in `status`) when one is not recognised.
bool parseAxes(PelkamScreens* screens, io::Streams& streams, int type, const std::string& xText,
               const std::string& yText, const model::PhaseTable& phases, calc::PhaseSelection& sel, Status& status,
               io::ReplayInput* replay) {
    struct Axis {
        const std::string* text;
        calc::AxisQuotient* out;
        bool* has;
        const char* message;
        const char* what;
    };
    Axis axes[2] = {{&xText, &sel.xAxis, &sel.hasXAxis, "Cannot recognize X-axis variable-try again",
                     "cannot recognize X-axis variable"},
                    {&yText, &sel.yAxis, &sel.hasYAxis, "Cannot recognize Y-axis variable-try again",
                     "cannot recognize Y-axis variable"}};
    const int count = type == calc::kActAct ? 2 : 1;
    for (int a = 0; a < count; ++a) {
        std::string bad;
        calc::AxisParseResult r = calc::parseAxisVariable(*axes[a].text, phases, *axes[a].out, &bad);
        if (r == calc::AxisParseResult::Ok) {
            *axes[a].has = true;
            continue;
        }
        if (replay) {
            status = replay->reject(1, axes[a].what, std::string(core::rtrim(*axes[a].text)));
            return false;
        }
        if (r == calc::AxisParseResult::UnknownPhase) {
            streams.writeLine(kMessages, "Try again: cannot recognize");
            streams.writeLine(kMessages, " " + bad);
        }
        status = showInputError(*screens, axes[a].message) ? Status::success() : Status::quit();
        return false;
    }
    return true;
}

Status askSelection(PelkamScreens& screens, io::Streams& streams, int type, const model::PhaseTable& phases,
                    calc::PhaseSelection& sel) {
    Toolkit& tk = *screens.tk;
    const int h = screens[kEndMemberScreen];
    for (;;) {
        clearCodes(sel);
        sel.hasXAxis = sel.hasYAxis = false;
        setUpEndMemberScreen(tk, h, type, phases);
        if (!tk.runScreen(h)) return Status::quit();
        tk.show(h, 0);
        const std::string xText = core::pad(tk.getText(h, kEmXText), 40);
        const std::string yText = core::pad(tk.getText(h, kEmYText), 40);
        sel.chooseReactions = tk.getCheck(h, kEmChooseReactions);
        std::vector<int> chosen;
        if (tk.getCheck(h, kEmIncludeAll)) {
            for (int i = 0; i < phases.count; ++i) chosen.push_back(i);
        } else {
            chosen = tk.selectedIndices(h, kEmList);
        }

        if (tk.getCheck(h, kEmDefaults)) {
            double activity = 0;
            const std::string text = tk.getText(screens[kPhaseOptionsScreen], kPoActivity);
            std::string message;
            if (!calc::readActivityText(text, activity))
                message = "Invalid activity \"" + std::string(core::trim(text)) +
                          "\" on the phase options screen - try again";
            else if (activity == 0.0)
                message = zeroActivityMessage("the phase options screen");
            if (!message.empty()) {
                if (!showInputError(screens, message)) return Status::quit();
                continue;
            }
            for (int i : chosen) {
                sel.optionCode[at(i)] = calc::kInclude;
                sel.activity[at(i)] = activity;
            }
        } else {
            for (int i : chosen)
                if (Status s = askPhaseOptions(screens, phases, i, sel); !s) return s;
        }
        for (int i = 0; i < phases.count; ++i)
            if (sel.optionCode[at(i)] == calc::kNotChosen) sel.optionCode[at(i)] = calc::kExclude;

        if (!isActivityDiagram(type)) return Status::success();
        Status status;
        if (parseAxes(&screens, streams, type, xText, yText, phases, sel, status, nullptr)) return Status::success();
        if (!status) return status;
    }
}

// ---- Replay

Status replaySelection(io::Streams& streams, const RunSettings& settings,
                       const model::PhaseTable& phases, calc::PhaseSelection& sel) {
    io::ReplayInput in = replayOf(streams, settings);
    for (int i = 0; i < phases.count; ++i) {
        int code = 0;
        double activity = 0;
        std::string name;
        core::Target t[] = {&code, &activity, core::TextTarget{&name, 20}};
        if (Status s = in.read(phaseRecordLayout(), t); !s) return s;
        if (core::rtrim(name) != core::rtrim(phases[i].name))
            return in.reject(3, "phase " + std::to_string(i + 1) + " of the run is " +
                                    std::string(core::rtrim(phases[i].name)) + ", not this phase",
                             std::string(core::rtrim(name)));
        if (code < calc::kInclude || code > calc::kPlain)
            return in.reject(1, "option code is not 0 to 5", std::to_string(code));
        if (code != calc::kExclude && activity == 0.0)
            return in.reject(2, "activity 0 for " + std::string(core::rtrim(name)) +
                                    ": an activity must be above 0, a log10 activity below 0",
                             "0");
        sel.optionCode[at(i)] = code;
        sel.activity[at(i)] = activity;
    }
    const int type = settings.diagramType;
    if (!isActivityDiagram(type)) return Status::success();
    std::string texts[2];
    const int count = type == calc::kActAct ? 2 : 1;
    for (int a = 0; a < count; ++a) {
        std::string comment;
        core::Target t[] = {core::TextTarget{&texts[a], 40}, core::TextTarget{&comment, 25}};
        if (Status s = in.read(axisRecordLayout(), t); !s) return s;
    }
    Status status;
    if (!parseAxes(nullptr, streams, type, texts[0], texts[1], phases, sel, status, &in)) return status;
    return Status::success();
}

// ---- Rules applied after the answers, then the records

}  // namespace

Status runEndMemberSelection(PelkamScreens& screens, io::Streams& streams, const RunSettings& settings,
                             model::PhaseTable& phases, calc::PhaseSelection& sel, calc::RunRequest& request) {
    const int type = settings.diagramType;
    for (;;) {
        calc::resetSelection(sel, phases);
        Status s = settings.inputFromFile ? replaySelection(streams, settings, phases, sel)
                                          : askSelection(screens, streams, type, phases, sel);
        if (!s) return s;
        calc::applySelectionRules(type, phases, sel);
        // Fewer than two phases leave nothing to calculate: on the screens
        // the choice is made again, with the list as it was (a replayed run
        // stops when the phases are compacted).
        if (!settings.inputFromFile && selectedCount(sel, phases) < 2) {
            if (!showInputError(screens, "FEWER THAN TWO PHASES SELECTED - try again")) return Status::quit();
            continue;
        }
        // A fluid species chosen with none of it in the fluid would take part
        // in no reaction.  The fluid composition is set on the options screen.
        const std::string problem = calc::fluidCompositionProblem(settings, phases, sel);
        if (problem.empty()) break;
        if (settings.inputFromFile) {
            streams.writeLine(kMessages, " " + problem);
            Status stop = Status::stop(problem);
            stop.file = std::string(core::trim(settings.unitNames[io::kInputSlot]));
            return stop;
        }
        // On the screens the mole fractions are put right on the options screen.
        return Status::error(kFluidCompositionProblem, problem);
    }
    request.phases = calc::phaseAnswers(phases, sel);
    return Status::success();
}

Status prepareSelectedPhases(PelkamScreens& screens, io::Streams& streams, const RunSettings& settings,
                             model::PhaseTable& phases, model::ChemicalSystem& system, calc::PhaseSelection& sel,
                             model::SolutionModelSet& models, calc::RunRequest& request) {
    // 1. Axis labels, to the restart file (read back and ignored in a replay).
    calc::setAxisLabels(settings.diagramType, sel);
    if (settings.inputFromFile) {
        io::ReplayInput in = replayOf(streams, settings);
        std::string line;
        for (int k = 0; k < 2; ++k)
            if (Status s = in.readLine(line); !s) return s;
    }

    // 2-3. Compaction, the code-4 phases behind the others.
    if (Status s = calc::compactSelection(phases, system, sel); !s) {
        for (const std::string& line : s.message) streams.writeLine(kMessages, line);
        return s;
    }
    // 4. Notes on the master output.
    for (const std::string& line : calc::selectionNotes(phases, sel)) streams.writeLine(kMaster, line);
    // 5. Components and basis.
    if (Status s = calc::chooseBasis(system, phases, sel); !s) {
        for (const std::string& line : s.message) streams.writeLine(kMessages, line);
        return s;
    }

    // 6. Solution-model links (the file read with no variant chosen).  A file
    // that cannot be opened is an Error naming it: the shell has the files
    // named again.
    const std::string file = io::resolveInputName(std::string(core::trim(settings.solutionFile)));
    if (Status s = io::readSolutionModels(file, {}, models, streams, kMessages); !s) return s;
    calc::linkSolutionModels(phases, sel, models);

    // 7. The activity listing.
    if (settings.printActivitiesOn) {
        if (streams.open(model::kUnitActivities, "activities", io::OpenMode::NewOrReplace) == 0) {
            streams.writeLine(model::kUnitActivities, "Activities at points on calculated equilibria:");
            streams.writeLine(model::kUnitActivities, "Phase Component           P(bars)  T(C)    Gamma    Ideal Act     ");
        } else {
            streams.writeLine(kMessages, " Cannot create the activity listing \"activities\": activities are not listed");
        }
    }

    // 8. The solution-model screen.
    return runSolutionModelScreen(screens, streams, settings, phases, sel, models, request.solutions);
}

}  // namespace app
