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
#include "io/sln_reader.hpp"

namespace app {
namespace {

using core::Status;
using namespace ui;

constexpr int kMessages = io::kUnitOutput;
constexpr int kMaster = io::kUnitMaster;
constexpr int kRestart = io::kUnitRestart;

const core::Layout& phaseRecordLayout() {
    static const core::Layout l("(I1,D12.5,5X,A20)");  // parsed once, never changed
    return l;
}
const core::Layout& axisRecordLayout() {
    static const core::Layout l("(A40,5X,A25)");
    return l;
}
const core::Layout& activityLayout() {
    static const core::Layout l("(F10.5)");
    return l;
}

bool isActivityDiagram(int t) { return t == calc::kActT || t == calc::kActP || t == calc::kActAct; }
bool isXCO2Diagram(int t) { return t == calc::kTX || t == calc::kPX; }

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

void resetSelection(calc::PhaseSelection& sel, const model::PhaseTable& phases) {
    sel.optionCode.fill(calc::kNotChosen);
    sel.activity.fill(1.0);
    sel.mainCount = sel.testCount = 0;
    sel.allReactionsCount = sel.projectionCount = 0;
    sel.chooseReactions = false;
    sel.hasXAxis = sel.hasYAxis = false;
    sel.xAxis = calc::AxisQuotient{};
    sel.yAxis = calc::AxisQuotient{};
    sel.waterIndex = sel.co2Index = -1;
    for (int i = 0; i < phases.count; ++i) {
        const std::string& name = phases[i].name;
        if (sel.waterIndex < 0 && name.compare(0, 5, "WATER") == 0) sel.waterIndex = i;
        if (sel.co2Index < 0 && name.compare(0, 10, "CARBON DIO") == 0) sel.co2Index = i;
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
    tk.set_list_count(h, kEmList, phases.count);
    for (int i = 0; i < phases.count; ++i) tk.set_list_item(h, kEmList, i, core::pad(phases[i].name, 20));
    const AxisHeaders a = headersFor(type);
    tk.set_text(h, kEmXHeader, a.xHeader);
    tk.set_text(h, kEmYHeader, a.yHeader);
    auto field = [&](int control, const char* fixed) {
        if (fixed) {
            tk.set_text(h, control, fixed);
            tk.enable(h, control, false);
        } else {
            // An axis typed before stays (the screen may be shown again);
            // a fixed text of another diagram type gives way.
            if (!tk.enabled(h, control)) tk.set_text(h, control, "");
            tk.enable(h, control, true);
        }
    };
    field(kEmXText, a.xText);
    field(kEmYText, a.yText);
}

int codeFromRadios(const Toolkit& tk, int h) {
    if (tk.get_check(h, kPoIncludeAll)) return calc::kIncludeAll;
    if (tk.get_check(h, kPoProject)) return calc::kProject;
    if (tk.get_check(h, kPoDoNotProject)) return calc::kTestOnly;
    if (tk.get_check(h, kPoTest)) return calc::kPlain;
    return calc::kInclude;
}

// Shows the phase-options screen for phase i until its activity reads.
Status askPhaseOptions(PelkamScreens& screens, const model::PhaseTable& phases, int i, calc::PhaseSelection& sel) {
    Toolkit& tk = *screens.tk;
    const int h = screens[kPhaseOptionsScreen];
    for (;;) {
        tk.set_text(h, kPoName, core::pad(phases[i].name, 20));
        tk.set_text(h, kPoActivity, "1");
        tk.set_check(h, kPoInclude, true);
        if (!tk.run_screen(h)) return Status::quit();
        tk.show(h, 0);
        double activity = 0;
        const std::string text = tk.get_text(h, kPoActivity);
        const std::string name(core::rtrim(phases[i].name));
        std::string message;
        if (!readActivityText(text, activity))
            message = "Invalid activity \"" + std::string(core::trim(text)) + "\" for " + name + " - try again";
        else if (activity == 0.0)
            message = zeroActivityMessage(name);
        if (message.empty()) {
            sel.optionCode[at(i)] = codeFromRadios(tk, h);
            sel.activity[at(i)] = activity;
            return Status::success();
        }
        if (!show_input_error(screens, message)) return Status::quit();
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
            streams.write_line(kMessages, "Try again: cannot recognize");
            streams.write_line(kMessages, " " + bad);
        }
        status = show_input_error(*screens, axes[a].message) ? Status::success() : Status::quit();
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
        if (!tk.run_screen(h)) return Status::quit();
        tk.show(h, 0);
        const std::string xText = core::pad(tk.get_text(h, kEmXText), 40);
        const std::string yText = core::pad(tk.get_text(h, kEmYText), 40);
        sel.chooseReactions = tk.get_check(h, kEmChooseReactions);
        std::vector<int> chosen;
        if (tk.get_check(h, kEmIncludeAll)) {
            for (int i = 0; i < phases.count; ++i) chosen.push_back(i);
        } else {
            chosen = tk.selected_indices(h, kEmList);
        }

        if (tk.get_check(h, kEmDefaults)) {
            double activity = 0;
            const std::string text = tk.get_text(screens[kPhaseOptionsScreen], kPoActivity);
            std::string message;
            if (!readActivityText(text, activity))
                message = "Invalid activity \"" + std::string(core::trim(text)) +
                          "\" on the phase options screen - try again";
            else if (activity == 0.0)
                message = zeroActivityMessage("the phase options screen");
            if (!message.empty()) {
                if (!show_input_error(screens, message)) return Status::quit();
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

void applyRules(int type, model::PhaseTable& phases, calc::PhaseSelection& sel) {
    const int n = phases.count;
    // Axis phases take part in the run.
    for (const auto* axis : {&sel.xAxis, &sel.yAxis})
        for (int m = 0; m < axis->memberCount; ++m) {
            const int p = axis->phase[at(m)];
            if (p >= 0 && p < n && sel.optionCode[at(p)] == calc::kExclude) sel.optionCode[at(p)] = calc::kInclude;
        }
    // Aqueous species bring water in as a projection phase.
    bool aqueous = false;
    for (int i = 0; i < n; ++i)
        if (sel.optionCode[at(i)] != calc::kExclude &&
            (phases[i].kind == model::kAqueousHelgeson || phases[i].kind == model::kAqueousTanger))
            aqueous = true;
    if (aqueous && sel.waterIndex >= 0) {
        sel.optionCode[at(sel.waterIndex)] = calc::kProject;
        sel.activity[at(sel.waterIndex)] = 1.0;
    }
    // T-xCO2 and P-xCO2: the fluid species are projection phases.
    if (isXCO2Diagram(type)) {
        if (sel.waterIndex >= 0) sel.optionCode[at(sel.waterIndex)] = calc::kProject;
        if (sel.co2Index >= 0) sel.optionCode[at(sel.co2Index)] = calc::kProject;
    }
    for (int i = 0; i < n; ++i) sel.logActivity[at(i)] = logActivityOf(sel.activity[at(i)]);
}

// Below this mole fraction the fluid routines treat a species as absent.
constexpr double kAbsentFraction = 1e-10;

void writeSelectionRecords(io::Streams& streams, int type, const model::PhaseTable& phases,
                           const calc::PhaseSelection& sel) {
    for (int i = 0; i < phases.count; ++i) {
        int code = sel.optionCode[at(i)];
        if (code == calc::kNotChosen) code = calc::kExclude;
        core::Value v[] = {static_cast<long long>(code), sel.activity[at(i)],
                              std::string_view(phases[i].name)};
        streams.write_record(kRestart, phaseRecordLayout(), v);
    }
    if (!isActivityDiagram(type)) return;
    core::Value x[] = {std::string_view(sel.xAxis.text), std::string_view("X-AXIS VARIABLE")};
    streams.write_record(kRestart, axisRecordLayout(), x);
    if (type == calc::kActAct) {
        core::Value y[] = {std::string_view(sel.yAxis.text), std::string_view("Y-AXIS VARIABLE")};
        streams.write_record(kRestart, axisRecordLayout(), y);
    }
}

}  // namespace

bool readActivityText(std::string_view text, double& activity) {
    std::string t(core::rtrim(text));
    if (t.find('.') == std::string::npos) t += '.';
    double v = 0;
    core::Target target[] = {&v};
    if (!core::read_text(std::string_view(t), activityLayout(), target).done()) return false;
    if (!std::isfinite(v)) return false;
    activity = v;
    return true;
}

double logActivityOf(double activity) { return activity > 0 ? std::log10(activity) : activity; }

std::string fluidCompositionProblem(const RunSettings& settings, const model::PhaseTable& phases,
                                    const calc::PhaseSelection& sel) {
    // On T-xCO2 and P-xCO2 diagrams the fluid composition is the x axis.
    if (isXCO2Diagram(settings.diagramType)) return {};
    bool aqueous = false;
    for (int i = 0; i < phases.count; ++i)
        if (sel.optionCode[at(i)] != calc::kExclude && sel.optionCode[at(i)] != calc::kNotChosen &&
            (phases[i].kind == model::kAqueousHelgeson || phases[i].kind == model::kAqueousTanger))
            aqueous = true;
    for (int i = 0; i < phases.count; ++i) {
        const int code = sel.optionCode[at(i)];
        if (code == calc::kExclude || code == calc::kNotChosen) continue;
        const int kind = phases[i].kind;
        if (kind != model::kWater && kind != model::kCarbonDioxide) continue;
        const bool water = kind == model::kWater;
        if ((water ? settings.xH2O : settings.xCO2) >= kAbsentFraction) continue;
        const std::string x = water ? "xH2O" : "xCO2";
        if (water && aqueous && i == sel.waterIndex)
            return "aqueous species need water in the fluid: give " + x + " on the options screen";
        return x + " is 0: leave out " + std::string(core::rtrim(phases[i].name)) + " or give " + x +
               " on the options screen";
    }
    return {};
}

Status runEndMemberSelection(PelkamScreens& screens, io::Streams& streams, const RunSettings& settings,
                             model::PhaseTable& phases, model::ChemicalSystem&, calc::PhaseSelection& sel,
                             model::SolutionModelSet&) {
    const int type = settings.diagramType;
    for (;;) {
        resetSelection(sel, phases);
        Status s = settings.inputFromFile ? replaySelection(streams, settings, phases, sel)
                                          : askSelection(screens, streams, type, phases, sel);
        if (!s) return s;
        applyRules(type, phases, sel);
        // Fewer than two phases leave nothing to calculate: on the screens
        // the choice is made again, with the list as it was (a replayed run
        // stops when the phases are compacted).
        if (!settings.inputFromFile && selectedCount(sel, phases) < 2) {
            if (!show_input_error(screens, "FEWER THAN TWO PHASES SELECTED - try again")) return Status::quit();
            continue;
        }
        // A fluid species chosen with none of it in the fluid would take part
        // in no reaction.  The fluid composition is set on the options screen.
        const std::string problem = fluidCompositionProblem(settings, phases, sel);
        if (problem.empty()) break;
        if (settings.inputFromFile) {
            streams.write_line(kMessages, " " + problem);
            Status stop = Status::stop(problem);
            stop.file = std::string(core::trim(settings.unitNames[io::kInputSlot]));
            return stop;
        }
        // On the screens the mole fractions are put right on the options screen.
        return Status::error(kFluidCompositionProblem, problem);
    }
    writeSelectionRecords(streams, type, phases, sel);
    return Status::success();
}

void setAxisLabels(int type, calc::PhaseSelection& sel) {
    const char* temperature = "Temperature (C)";
    const char* pressure = "Pressure (bars)";
    std::string x, y;
    switch (type) {
        case calc::kTX: x = "X (CO2)", y = temperature; break;
        case calc::kPX: x = "X (CO2)", y = pressure; break;
        case calc::kActT: x = sel.xAxis.label, y = temperature; break;
        case calc::kActP: x = sel.xAxis.label, y = pressure; break;
        case calc::kActAct: x = sel.xAxis.label, y = sel.yAxis.label; break;
        default: x = temperature, y = pressure; break;
    }
    sel.xLabel = core::pad(x, 100);
    sel.yLabel = core::pad(y, 100);
}

Status compactSelection(model::PhaseTable& phases, model::ChemicalSystem& system, calc::PhaseSelection& sel,
                        io::Streams& streams, int messages) {
    const int n = phases.count;
    std::array<int, model::kMaxPhases> order{};
    int count = 0, main = 0;
    for (int pass = 0; pass < 2; ++pass)
        for (int i = 0; i < n; ++i) {
            const int code = sel.optionCode[at(i)];
            if (code == calc::kExclude || code == calc::kNotChosen) continue;
            if ((code == calc::kTestOnly) != (pass == 1)) continue;
            order[at(count++)] = i;
            if (pass == 0) ++main;
        }
    if (count < 2) {
        streams.write_line(messages, " ***FEWER THAN TWO PHASES SELECTED: NOTHING TO CALCULATE, EXECUTION TERMINATED");
        return Status::stop("fewer than two phases selected");
    }

    std::array<int, model::kMaxPhases> newIndex;
    newIndex.fill(-1);
    for (int k = 0; k < count; ++k) newIndex[at(order[at(k)])] = k;
    {
        std::vector<model::PhaseRecord> moved(at(count));
        std::vector<std::array<double, model::kMaxElements>> rows(at(count));
        std::array<int, model::kMaxPhases> codes{};
        std::array<double, model::kMaxPhases> activities{}, logActivities{};
        for (int k = 0; k < count; ++k) {
            const int i = order[at(k)];
            moved[at(k)] = std::move(phases[i]);
            rows[at(k)] = system.stoichiometry[at(i)];
            codes[at(k)] = sel.optionCode[at(i)];
            activities[at(k)] = sel.activity[at(i)];
            logActivities[at(k)] = sel.logActivity[at(i)];
        }
        for (int k = 0; k < count; ++k) {
            phases[k] = std::move(moved[at(k)]);
            system.stoichiometry[at(k)] = rows[at(k)];
        }
        for (int k = count; k < n; ++k) {
            phases[k] = model::PhaseRecord{};
            system.stoichiometry[at(k)].fill(0.0);
        }
        sel.optionCode.fill(calc::kNotChosen);
        sel.activity.fill(1.0);
        sel.logActivity.fill(0.0);
        for (int k = 0; k < count; ++k) {
            sel.optionCode[at(k)] = codes[at(k)];
            sel.activity[at(k)] = activities[at(k)];
            sel.logActivity[at(k)] = logActivities[at(k)];
        }
    }
    phases.count = count;
    sel.mainCount = main;
    sel.testCount = count - main;
    sel.allReactionsCount = sel.projectionCount = 0;
    for (int k = 0; k < count; ++k) {
        if (sel.optionCode[at(k)] == calc::kIncludeAll) sel.allReactions[at(sel.allReactionsCount++)] = k;
        if (sel.optionCode[at(k)] == calc::kProject) sel.projection[at(sel.projectionCount++)] = k;
    }
    auto remap = [&](int i) { return i >= 0 && i < n ? newIndex[at(i)] : -1; };
    sel.waterIndex = remap(sel.waterIndex);
    sel.co2Index = remap(sel.co2Index);
    for (auto* axis : {&sel.xAxis, &sel.yAxis})
        for (int m = 0; m < axis->memberCount; ++m) axis->phase[at(m)] = remap(axis->phase[at(m)]);
    sel.linkModel.fill(0);
    sel.linkEndMember.fill(0);
    sel.linkReciprocal.fill(0);
    return Status::success();
}

void writeSelectionNotes(io::Streams& streams, int unit, const model::PhaseTable& phases,
                         const calc::PhaseSelection& sel) {
    if (sel.allReactionsCount > 0) {
        streams.write_line(unit, "");
        for (int t = 0; t < sel.allReactionsCount; ++t) {
            const std::string name = core::pad(phases[sel.allReactions[at(t)]].name, 20);
            if (t == 0)
                streams.write_line(unit, " THE FOLLOWING PHASES ARE INCLUDED IN ALL" + std::string(" REACTIONS:  ") + name);
            else
                streams.write_line(unit, std::string(54, ' ') + name);
        }
    }
    if (sel.projectionCount > 0) {
        streams.write_line(unit, "");
        for (int t = 0; t < sel.projectionCount; ++t) {
            const int p = sel.projection[at(t)];
            std::string text = core::pad(phases[p].name, 20);
            // A projection phase that is an axis variable is named by its axis label.
            if (sel.hasXAxis && sel.xAxis.memberCount > 0 && sel.xAxis.phase[0] == p)
                text = core::pad(sel.xAxis.label, 50);
            else if (sel.hasYAxis && sel.yAxis.memberCount > 0 && sel.yAxis.phase[0] == p)
                text = core::pad(sel.yAxis.label, 50);
            if (t == 0)
                streams.write_line(unit, " THE DIAGRAM WILL BE CALCULATED AS A PROJECTION" +
                                             std::string(" FROM THE FOLLOWING PHASES:  ") + text);
            else
                streams.write_line(unit, "     " + text);
        }
    }
}

void linkSolutionModels(model::PhaseTable& phases, calc::PhaseSelection& sel, model::SolutionModelSet& models) {
    model::CompositionSet& cs = models.composition;
    cs.slotCount = 0;
    for (auto& slot : cs.slots) slot = model::ModelSlot{};
    sel.linkModel.fill(0);
    sel.linkEndMember.fill(0);
    sel.linkReciprocal.fill(0);
    for (int i = 0; i < phases.count; ++i) {
        model::PhaseRecord& p = phases[i];
        p.activityModel = p.activityEndMember = p.reciprocalSet = 0;
        const std::string_view name(p.name);
        const std::string_view key = name.substr(0, name.find(' '));
        if (key.empty()) continue;
        int model = 0, member = 0;
        for (int m = 0; m < models.count && model == 0; ++m) {
            const model::SolutionModel& sm = models.models[at(m)];
            for (int e = 0; e < sm.endMemberCount && model == 0; ++e)
                if (core::rtrim(sm.endMembers[at(e)].name) == key) model = m + 1, member = e + 1;
        }
        if (model == 0) continue;
        int slot = -1;
        for (int s = 0; s < cs.slotCount; ++s)
            if (cs.slots[at(s)].model == model) slot = s;
        if (slot < 0) {
            if (cs.slotCount == model::kMaxModelSlots) continue;  // no row left on the screen for this model
            slot = cs.slotCount++;
            cs.slots[at(slot)].model = model;
            cs.slots[at(slot)].name = core::pad(models.models[at(model - 1)].name, 20);
        }
        int recip = 0;
        for (int r = 0; r < models.reciprocalCount && recip == 0; ++r)
            if (models.reciprocal[at(r)].model == models.models[at(model - 1)].abbreviation) recip = r + 1;
        sel.linkModel[at(i)] = model;
        sel.linkEndMember[at(i)] = member;
        sel.linkReciprocal[at(i)] = recip;
        p.activityModel = model;
        p.activityEndMember = member;
        p.reciprocalSet = recip;
    }
}

Status prepareSelectedPhases(PelkamScreens& screens, io::Streams& streams, const RunSettings& settings,
                             model::PhaseTable& phases, model::ChemicalSystem& system, calc::PhaseSelection& sel,
                             model::SolutionModelSet& models) {
    // 1. Axis labels, to the restart file (read back and ignored in a replay).
    setAxisLabels(settings.diagramType, sel);
    if (settings.inputFromFile) {
        io::ReplayInput in = replayOf(streams, settings);
        std::string line;
        for (int k = 0; k < 2; ++k)
            if (Status s = in.readLine(line); !s) return s;
    }
    streams.write_line(kRestart, core::pad(sel.xLabel, 80));
    streams.write_line(kRestart, core::pad(sel.yLabel, 80));

    // 2-3. Compaction, the code-4 phases behind the others.
    if (Status s = compactSelection(phases, system, sel, streams, kMessages); !s) return s;
    // 4. Notes on the master output.
    writeSelectionNotes(streams, kMaster, phases, sel);
    // 5. Components and basis.
    if (Status s = calc::chooseBasis(system, phases, sel, streams, kMessages); !s) return s;

    // 6. Solution-model links (the file read with no variant chosen).  A file
    // that cannot be opened is an Error naming it: the shell has the files
    // named again.
    const std::string file = io::resolve_input_name(std::string(core::trim(settings.solutionFile)));
    if (Status s = io::readSolutionModels(file, {}, models, streams, kMessages); !s) return s;
    linkSolutionModels(phases, sel, models);

    // 7. The activity listing.
    if (settings.printActivitiesOn) {
        if (streams.open(model::kUnitActivities, "activities", io::OpenMode::NewOrReplace) == 0) {
            streams.write_line(model::kUnitActivities, "Activities at points on calculated equilibria:");
            streams.write_line(model::kUnitActivities, "Phase Component           P(bars)  T(C)    Gamma    Ideal Act     ");
        } else {
            streams.write_line(kMessages, " Cannot create the activity listing \"activities\": activities are not listed");
        }
    }

    // 8. The solution-model screen.
    return runSolutionModelScreen(screens, streams, settings, phases, sel, models);
}

}  // namespace app
