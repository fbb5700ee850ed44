#include "app/options.hpp"

#include <cmath>
#include <iomanip>
#include <sstream>

#include "app/run_context.hpp"
#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/restart_file.hpp"
#include "ui/pelkam_screens.hpp"

namespace app {
using namespace ui;
using core::Layout;
using core::Status;

const std::array<const char*, 12> kRoutineLabels = {
    "none",    "none",    "none",    "Nonideal (KJ, 1981)", "Haar et al. (1984)", "Kovan & Tessel (1991)",
    "Ideal",   "K&J(81)", "K&J(81)", "H&P(90)",             "H&P(90)",            "H&P(90)"};
const std::array<const char*, 4> kPlotLabels = {"STABLE CURVES", "ABBREVIATIONS", "METASTABLE REACTIONS",
                                                "FULL NAMES"};

namespace {

bool isActivity(int t) { return t == calc::kActT || t == calc::kActP || t == calc::kActAct; }
bool isXCo2(int t) { return t == calc::kTX || t == calc::kPX; }


bool readReal(const std::string& field, double& out) {
    return core::parseRealField(field, 0, out);
}

constexpr int kRangeControls[8] = {kOptRow1Min, kOptRow1Max, kOptRow2Min, kOptRow2Max,
                                   kOptXMin,    kOptXMax,    kOptYMin,    kOptYMax};
constexpr int kMoleControls[4] = {kOptH2O, kOptH2OMax, kOptCO2, kOptCO2Max};

// Replay failures: the message on the interactive output, then a stop.
Status replayFailure(RunContext& ctx, core::ReadOutcome r, const char* detail = nullptr) {
    if (r.record == 0) r.record = ctx.streams.lineNumber(io::kUnitInput);
    std::string file = ctx.settings.unitNames[io::kInputSlot];
    if (r.result == core::ReadResult::EndOfFile) {
        ctx.say("");
        ctx.say("");
        ctx.say(" ***END OF FILE IN INPUT DATA,EXECUTION TERMINATED");
        Status s = Status::stop("end of file in input data");
        s.file = std::string(core::trim(file));
        return s;
    }
    ctx.say(" ***ERROR IN INPUT DATA, EXECUTION TERMINATED");
    std::string where = " (" + std::string(core::trim(file)) + ", line " + std::to_string(r.record);
    if (r.field > 0) where += ", field " + std::to_string(r.field);
    where += ")";
    std::string what = detail ? std::string(detail) : std::string("unreadable record");
    if (!r.text.empty()) what += ": \"" + r.text + "\"";
    ctx.say(" " + what + where);
    Status s = Status::stop(what);
    s.file = std::string(core::trim(file));
    s.line = r.record;
    s.field = r.field;
    s.value = r.text;
    return s;
}

// The x and y axis limits of record 4 from the settings, and back.
void axisLimits(const RunSettings& rs, double lim[4]) {
    switch (rs.diagramType) {
        case calc::kPT: lim[0] = rs.tMin, lim[1] = rs.tMax, lim[2] = rs.pMin, lim[3] = rs.pMax; break;
        case calc::kTX:
        case calc::kActT: lim[0] = rs.xAxisMin, lim[1] = rs.xAxisMax, lim[2] = rs.tMin, lim[3] = rs.tMax; break;
        case calc::kPX:
        case calc::kActP: lim[0] = rs.xAxisMin, lim[1] = rs.xAxisMax, lim[2] = rs.pMin, lim[3] = rs.pMax; break;
        default: lim[0] = rs.xAxisMin, lim[1] = rs.xAxisMax, lim[2] = rs.yAxisMin, lim[3] = rs.yAxisMax; break;
    }
}
void setAxisLimits(RunSettings& rs, const double lim[4]) {
    switch (rs.diagramType) {
        case calc::kPT: rs.tMin = lim[0], rs.tMax = lim[1], rs.pMin = lim[2], rs.pMax = lim[3]; break;
        case calc::kTX:
        case calc::kActT: rs.xAxisMin = lim[0], rs.xAxisMax = lim[1], rs.tMin = lim[2], rs.tMax = lim[3]; break;
        case calc::kPX:
        case calc::kActP: rs.xAxisMin = lim[0], rs.xAxisMax = lim[1], rs.pMin = lim[2], rs.pMax = lim[3]; break;
        default: rs.xAxisMin = lim[0], rs.xAxisMax = lim[1], rs.yAxisMin = lim[2], rs.yAxisMax = lim[3]; break;
    }
}

// The fixed quantities of records 2: pressure or temperature.
bool fixedIsPressure(int t) { return t == calc::kTX || t == calc::kActT || t == calc::kActAct; }

// A number as a user writes it: 300, 312.5.
std::string plainNumber(double v) {
    std::ostringstream o;
    o << std::setprecision(10) << v;
    return o.str();
}

// --- The window: physical sense and the fields of the plot file -----------

constexpr double kAbsoluteZero = -273.15;

// A pressure (bar) or temperature (C) that makes no physical sense.
std::string physicalProblem(bool pressure, double v) {
    if (!std::isfinite(v)) return pressure ? "pressure is not a number" : "temperature is not a number";
    if (pressure && !(v > 0)) return "pressure " + plainNumber(v) + " bar: pressures must be above 0";
    if (!pressure && !(v > kAbsoluteZero))
        return "temperature " + plainNumber(v) + " C: temperatures must be above -273.15 C";
    return {};
}

// A fixed-point field Fw.d of the plot file.
struct Field {
    int width, decimals;
};
bool fits(double v, Field f) {
    return std::isfinite(v) && core::formatFixed(v, f.width, f.decimals).find('*') == std::string::npos;
}
std::string tooWide(const std::string& name, double v, Field f, const char* file = "the plot file") {
    // The largest and the smallest value the field holds, as written there.
    const bool high = !(v < 0);
    const auto digits = static_cast<std::size_t>(f.width - f.decimals - (high ? 1 : 2));
    const std::string limit = (high ? "at most " : "at least -") + std::string(digits, '9') + "." +
                              std::string(static_cast<std::size_t>(f.decimals), '9');
    return name + " " + plainNumber(v) + " does not fit " + file + ": " + limit;
}

// Where a window value is listed in the summary: the points as y F10.2 and
// x F10.5, on activity-T and activity-P diagrams y F10.5, x F10.5 and the
// third variable (the pressure, or the temperature, of the point) F7.2.
constexpr Field kThirdVariableField{7, 2};
Field summaryField(int axis, int t) {
    const bool activity = t == calc::kActT || t == calc::kActP;
    if (axis == 0) return {10, 5};
    return activity ? Field{10, 5} : Field{10, 2};
}

// Where a window value is written in the plot file: the header window (F15.5),
// the label records (F10.3) and the points (x F9.4, y F10.2; both F10.5 on
// activity-activity diagrams).  The plot lengths go into F10.3 as well.
constexpr Field kHeaderField{15, 5}, kLabelField{10, 3};

// The first plot-file field that cannot hold `v`, among those of the x axis
// (axis 0) or the y axis (axis 1); nullptr when all hold it.
const Field* overflowingField(double v, int axis, int t) {
    static constexpr Field point[2] = {{9, 4}, {10, 2}}, activityPoint{10, 5};
    const Field* fields[3] = {t == calc::kActAct ? &activityPoint : &point[axis], &kLabelField, &kHeaderField};
    for (const Field* f : fields)
        if (!fits(v, *f)) return f;
    return nullptr;
}

// The fixed pressure and temperature of a diagram, as far as they are values
// (not the saturation curve or the geotherm of an activity diagram): physical,
// and a whole number of at most six places in the axis label.  `which`
// receives 0 for the pressure, 1 for the temperature.
std::string fixedValuesProblem(int t, int saturationChoice, double p, double temp, int* which = nullptr) {
    const bool marker = t >= calc::kActT && saturationChoice != 0;
    const bool fixedP = t == calc::kTX || ((t == calc::kActT || t == calc::kActAct) && !marker);
    const bool fixedT = t == calc::kPX || t == calc::kActAct || (t == calc::kActP && !marker);
    for (int k = 0; k < 2; ++k) {
        if (!(k == 0 ? fixedP : fixedT)) continue;
        const double v = k == 0 ? p : temp;
        if (which) *which = k;
        if (std::string m = physicalProblem(k == 0, v); !m.empty()) return m;
        if (std::round(v) > 999999)
            return std::string(k == 0 ? "pressure " : "temperature ") + plainNumber(v) +
                   " does not fit the axis label: at most 999999";
        // The fixed value of an activity-T (pressure) or activity-P diagram
        // (temperature) is listed with every point of the summary.
        if ((t == calc::kActT || t == calc::kActP) && !fits(v, kThirdVariableField))
            return tooWide(k == 0 ? "pressure" : "temperature", v, kThirdVariableField, "the summary");
    }
    return {};
}
std::string fixedValuesProblem(const RunSettings& rs, int* which = nullptr) {
    return fixedValuesProblem(rs.diagramType, rs.saturationChoice, rs.pMin, rs.tMin, which);
}

// Mixing 1 needs at least 350 C (the range of its mixing rules).
void finalizeFluid(RunSettings& rs) {
    if (rs.xH2O > 0 && rs.xCO2 > 0 && rs.fluid.mixing == 1) {
        if (rs.diagramType == calc::kPX) {
            if (rs.tMin < 350) rs.tMin = rs.tMax = 350;
        } else if (rs.tMin < 350) {
            rs.tMin = 350;
        }
    }
}

// The two geotherm coefficients, as typed on the console.
const Layout& geothermLayout() {
    static const Layout g("(2F10.6)");  // parsed once, never changed
    return g;
}

// Stores entries that passed the checks.
void storeEntries(int t, const OptionEntries& e, const std::string& elements, int saturation, const double (&v)[8],
                   const double (&x)[4], RunSettings& rs) {
    rs.elements = elements;
    rs.saturationChoice = saturation;
    switch (t) {
        case calc::kPT: rs.pMin = v[0], rs.pMax = v[1], rs.tMin = v[2], rs.tMax = v[3]; break;
        case calc::kTX: rs.pMin = rs.pMax = v[0], rs.tMin = v[2], rs.tMax = v[3]; break;
        case calc::kPX: rs.tMin = rs.tMax = v[0], rs.pMin = v[2], rs.pMax = v[3]; break;
        case calc::kActT: rs.pMin = rs.pMax = saturation ? 0.0 : v[0], rs.tMin = v[2], rs.tMax = v[3]; break;
        case calc::kActP: rs.tMin = rs.tMax = saturation ? 0.0 : v[0], rs.pMin = v[2], rs.pMax = v[3]; break;
        default: rs.pMin = rs.pMax = saturation ? 0.0 : v[0], rs.tMin = rs.tMax = v[2]; break;
    }
    if (isActivity(t) && saturation == 2) {
        if (fixedIsPressure(t)) rs.pMin = rs.pMax = -1;
        else rs.tMin = rs.tMax = -1;
    }
    if (isActivity(t)) {
        rs.xAxisMin = v[4], rs.xAxisMax = v[5];
        if (t == calc::kActAct) rs.yAxisMin = v[6], rs.yAxisMax = v[7];
    }
    if (isXCo2(t)) {
        rs.xAxisMin = x[2], rs.xAxisMax = x[3];
        rs.xCO2 = (x[2] + x[3]) / 2;
        rs.xH2O = 1 - rs.xCO2;
    } else {
        rs.xH2O = x[0];
        rs.xCO2 = x[2];
    }
    rs.plotCurves = e.plotCurves;
    rs.labelAnswer = e.labelAnswer;
    rs.fluid.water = e.fluid.water;
    rs.fluid.co2 = e.fluid.co2;
    // The mixing row matters only for a fluid of both species.
    if (isXCo2(t) || (rs.xH2O > 0 && rs.xCO2 > 0)) rs.fluid.mixing = e.fluid.mixing;
}

}  // namespace

std::array<bool, 8> rangeFieldsUsed(int t) {
    switch (t) {
        case calc::kPT: return {true, true, true, true, false, false, false, false};
        case calc::kTX:
        case calc::kPX: return {true, false, true, true, false, false, false, false};
        case calc::kActT:
        case calc::kActP: return {true, false, true, true, true, true, false, false};
        default: return {true, false, true, false, true, true, true, true};
    }
}

std::array<bool, 4> moleFieldsUsed(int t) {
    if (isXCo2(t)) return {false, false, true, true};
    return {true, false, true, false};
}

OptionEntries initialEntries(int t, bool metastableWanted) {
    OptionEntries e;
    e.elements = isXCo2(t) ? "o h c " : "o si ";
    auto set = [&](std::array<const char*, 8> v) {
        for (int i = 0; i < 8; ++i) e.ranges[static_cast<std::size_t>(i)] = v[static_cast<std::size_t>(i)];
    };
    switch (t) {
        case calc::kPT: set({"500.", "10000.", "100.", "1300.", "", "", "", ""}); break;
        case calc::kTX: set({"1000.", "", "400.", "1000.", "", "", "", ""}); break;
        case calc::kPX: set({"500.", "", "1000.", "10000.", "", "", "", ""}); break;
        case calc::kActT: set({"300.", "", "25.", "400.", "-20.", "20.", "", ""}); break;
        case calc::kActP: set({"25.", "", "1.", "1000.", "-20.", "20.", "", ""}); break;
        default: set({"1.", "", "25.", "", "-20.", "20.", "-20.", "20."}); break;
    }
    if (isXCo2(t)) e.moles = {"", "", "0.000", "1.000"};
    else e.moles = {"0.000", "", "0.000", ""};
    e.plotCurves = metastableWanted ? 'N' : 'Y';
    return e;
}

std::string checkEntries(int t, OptionEntries e, RunSettings& rs) {
    // 1. Elements in upper case.
    std::string elements = core::upper(core::pad(e.elements, 120));
    if (core::isBlank(elements)) return "no elements given - try again";
    // 2. Decimal points in the range rows.
    for (int i = 0; i < 4; ++i)
        if (!core::isBlank(e.ranges[static_cast<std::size_t>(i)]) &&
            e.ranges[static_cast<std::size_t>(i)].find('.') == std::string::npos)
            return "missing decimal point in P-T values - try again";
    // 3. All eight range and activity fields as reals.
    double v[8];
    for (int i = 0; i < 8; ++i)
        if (!readReal(e.ranges[static_cast<std::size_t>(i)], v[i])) return "invalid real # - try again";
    // The fixed value of an activity diagram may ask for the saturation
    // curve (0) or a geotherm (-1).
    int saturation = 0;
    if (isActivity(t)) {
        if (v[0] == 0.0) saturation = 1;
        else if (v[0] == -1.0) saturation = 2;
    }
    // A fixed pressure or temperature is taken as typed: one that makes no
    // physical sense is refused rather than raised like a minimum below.
    if (std::string m = fixedValuesProblem(t, saturation, fixedIsPressure(t) ? v[0] : 1.0,
                                             t == calc::kActAct ? v[2] : v[0]);
        !m.empty())
        return m + " - try again";
    // 4. Lower limits.
    if (v[0] < 1) v[0] = 1;
    if (v[2] < 1) v[2] = 25;
    // 5. Reversed ranges, for every range the diagram uses.
    const auto used = rangeFieldsUsed(t);
    for (int row = 0; row < 4; ++row) {
        int lo = 2 * row, hi = lo + 1;
        if (used[static_cast<std::size_t>(hi)] && !(v[lo] < v[hi])) return "min & max reversed - try again";
    }
    // 6, 7. Mole fractions.
    for (const std::string& m : e.moles)
        if (!core::isBlank(m) && m.find('.') == std::string::npos)
            return "missing decimal point in mole fractions-try again";
    double x[4];
    for (int i = 0; i < 4; ++i)
        if (!readReal(e.moles[static_cast<std::size_t>(i)], x[i])) return "invalid real # - try again";
    const auto mused = moleFieldsUsed(t);
    for (int i = 0; i < 4; ++i)
        if (mused[static_cast<std::size_t>(i)] && (x[i] < 0 || x[i] > 1))
            return "mole fractions must lie between 0 and 1 - try again";
    // 8. Fluid composition.
    if (isXCo2(t)) {
        if (!(x[2] < x[3])) return "min & max reversed - try again";
    } else if (x[0] + x[2] > 1) {
        return "Sum of xH2O+xCO2 > 1 - try again";
    }

    // All entries pass: store them, if the window they make can be drawn.
    RunSettings out = rs;
    out.diagramType = t;
    storeEntries(t, e, elements, saturation, v, x, out);
    if (std::string m = windowProblem(out); !m.empty()) return m + " - try again";
    rs = std::move(out);
    return {};
}

void confineToSaturation(RunSettings& rs) {
    if (rs.saturationChoice != 1) return;
    if (rs.diagramType == calc::kActT || rs.diagramType == calc::kActAct) {
        if (rs.tMin < 100 || rs.tMin > 375) rs.tMin = 100;
        if (rs.tMax < 100 || rs.tMax > 375) rs.tMax = 375;
    } else if (rs.diagramType == calc::kActP) {
        if (rs.pMin < 1 || rs.pMin > 220) rs.pMin = 1;
        if (rs.pMax < 1 || rs.pMax > 220) rs.pMax = 220;
    }
}

std::string windowProblem(const RunSettings& rs) {
    if (std::string m = fixedValuesProblem(rs); !m.empty()) return m;
    const int t = rs.diagramType;
    double lim[4];
    axisLimits(rs, lim);
    // What each axis holds: 'T' temperature, 'P' pressure, 'X' xCO2, 'A' log activity.
    char what[2];
    switch (t) {
        case calc::kPT: what[0] = 'T', what[1] = 'P'; break;
        case calc::kTX: what[0] = 'X', what[1] = 'T'; break;
        case calc::kPX: what[0] = 'X', what[1] = 'P'; break;
        case calc::kActT: what[0] = 'A', what[1] = 'T'; break;
        case calc::kActP: what[0] = 'A', what[1] = 'P'; break;
        default: what[0] = what[1] = 'A'; break;
    }
    for (int i = 0; i < 4; ++i) {
        const int axis = i / 2;
        const double v = lim[i];
        const char w = what[axis];
        const std::string name = w == 'T' ? "temperature" : w == 'P' ? "pressure" : w == 'X' ? "xCO2" : "log activity";
        if (w == 'T' || w == 'P') {
            if (std::string m = physicalProblem(w == 'P', v); !m.empty()) return m;
        } else if (!std::isfinite(v)) {
            return name + " is not a number";
        }
        if (w == 'X' && (v < 0 || v > 1)) return "mole fractions must lie between 0 and 1";
        if (const Field* f = overflowingField(v, axis, t)) return tooWide(name, v, *f);
        if (const Field f = summaryField(axis, t); !fits(v, f)) return tooWide(name, v, f, "the summary");
    }
    return {};
}

bool parseGeotherm(const std::string& line, double& d1, double& d2) {
    double a = 0, b = 0;
    std::string l = core::pad(line, 80);
    core::Target t[2] = {&a, &b};
    core::ReadOutcome r = core::read_text(l, geothermLayout(), t);
    if (!r.done() || core::isBlank(l)) return false;
    d1 = a;
    d2 = b;
    return true;
}

namespace {

void fillScreen(RunContext& ctx, const OptionEntries& e, int t) {
    Toolkit& tk = *ctx.tk;
    int h = ctx.screens[kOptionsScreen];
    tk.setText(h, kOptElements, std::string(core::rtrim(e.elements)));
    const auto used = rangeFieldsUsed(t);
    for (int i = 0; i < 8; ++i) {
        tk.setText(h, kRangeControls[i], e.ranges[static_cast<std::size_t>(i)]);
        tk.enable(h, kRangeControls[i], used[static_cast<std::size_t>(i)]);
    }
    const auto mused = moleFieldsUsed(t);
    for (int i = 0; i < 4; ++i) {
        tk.setText(h, kMoleControls[i], e.moles[static_cast<std::size_t>(i)]);
        tk.enable(h, kMoleControls[i], mused[static_cast<std::size_t>(i)]);
    }
    bool tFirst = t == calc::kPX || t == calc::kActP;
    tk.setText(h, kOptRow1Label, tFirst ? "Temperature (C) of Diagram:" : "Pressure (Bars) of Diagram:");
    tk.setText(h, kOptRow2Label, tFirst ? "Pressure (Bars) of Diagram:" : "Temperature (C) of Diagram:");
    tk.setCheck(h, e.plotCurves == 'Y' ? kOptStable : kOptMetastable, true);
    tk.setCheck(h, e.labelAnswer == 'N' ? kOptFullNames : kOptAbbrev, true);
}

OptionEntries readScreen(RunContext& ctx) {
    Toolkit& tk = *ctx.tk;
    int h = ctx.screens[kOptionsScreen];
    OptionEntries e;
    e.elements = tk.getText(h, kOptElements);
    for (int i = 0; i < 8; ++i) e.ranges[static_cast<std::size_t>(i)] = tk.getText(h, kRangeControls[i]);
    for (int i = 0; i < 4; ++i) e.moles[static_cast<std::size_t>(i)] = tk.getText(h, kMoleControls[i]);
    e.plotCurves = tk.getCheck(h, kOptStable) ? 'Y' : 'N';
    e.labelAnswer = tk.getCheck(h, kOptFullNames) ? 'N' : 'Y';
    auto row = [&](int a, int b, int c) { return tk.getCheck(h, a) ? 1 : tk.getCheck(h, b) ? 2 : tk.getCheck(h, c) ? 3 : 1; };
    e.fluid.mixing = row(kOptMix1, kOptMix2, kOptMix3);
    e.fluid.water = row(kOptWater1, kOptWater2, kOptWater3);
    e.fluid.co2 = row(kOptCO2Routine1, kOptCO2Routine2, kOptCO2Routine3);
    return e;
}

Status optionsFromScreen(RunContext& ctx) {
    RunSettings& rs = ctx.settings;
    Toolkit& tk = *ctx.tk;
    int h = ctx.screens[kOptionsScreen];
    int t = rs.diagramType;
    if (ctx.optionsDiagramType != t) {
        fillScreen(ctx, initialEntries(t, rs.metastableOn), t);
        ctx.optionsDiagramType = t;
    }
    for (;;) {
        if (!tk.runScreen(h)) return Status::quit();
        tk.show(h, 0);
        std::string message = checkEntries(t, readScreen(ctx), rs);
        if (message.empty()) break;
        if (!showInputError(ctx.screens, message)) return Status::quit();
    }
    if (rs.saturationChoice == 2) {
        const char* prompt = rs.diagramType == calc::kActP
                                 ? " Geotherm: input d1 and d2: TC = 25 + d1(P-1)       + d2(P-1)^2 "
                                 : " Geotherm: input d1 and d2: P = 1 + d1(T-25) +      d2(T-25)^2 ";
        for (;;) {
            std::string answer;
            if (!tk.promptLine(prompt, answer)) return tk.failure().empty() ? Status::quit() : Status::stop(tk.failure());
            if (parseGeotherm(answer, rs.geothermD1, rs.geothermD2)) break;
        }
    }
    return Status::success();
}

Status optionsFromReplay(RunContext& ctx) {
    RunSettings& rs = ctx.settings;
    io::Streams& st = ctx.streams;
    const int in = io::kUnitInput;
    using core::Target;
    using core::TextTarget;

    int code = 0;
    std::string comment;
    {
        Target t[] = {&code, TextTarget{&comment, 60}};
        core::ReadOutcome r = st.read_record(in, io::restartLayouts().diagramType, t);
        if (!r.done()) return replayFailure(ctx, r);
        if (code < 1 || code > 6) {
            r.result = core::ReadResult::Error;
            r.field = 1;
            r.text = std::to_string(code);
            return replayFailure(ctx, r, "diagram type must be 1 to 6");
        }
    }
    rs.diagramType = code <= 3 ? code - 1 : code;
    const int t = rs.diagramType;
    rs.saturationChoice = 0;
    if (t != calc::kPT) {
        double fixedValue = 0;
        Target f[] = {&fixedValue};
        core::ReadOutcome r = st.read_record(in, io::restartLayouts().fixedValue, f);
        if (!r.done()) return replayFailure(ctx, r);
        core::ReadOutcome fixedRecord[2] = {r, r};  // of the pressure and the temperature
        fixedRecord[0].record = fixedRecord[1].record = st.lineNumber(in);
        if (fixedIsPressure(t)) rs.pMin = rs.pMax = fixedValue;
        else rs.tMin = rs.tMax = fixedValue;
        if (t == calc::kActAct) {
            r = st.read_record(in, io::restartLayouts().fixedValue, f);
            if (!r.done()) return replayFailure(ctx, r);
            rs.tMin = rs.tMax = fixedValue;
            fixedRecord[1] = r;
            fixedRecord[1].record = st.lineNumber(in);
        }
        bool third = t == calc::kActT || t == calc::kActP ||
                     (t == calc::kActAct && (rs.pMin == 0.0 || rs.pMin == -1.0));
        if (third) {
            int choice = 0;
            double d1 = 0, d2 = 0;
            std::string text;
            Target c[] = {&choice, &d1, &d2, TextTarget{&text, 30}};
            r = st.read_record(in, io::restartLayouts().saturation, c);
            if (!r.done()) return replayFailure(ctx, r);
            if (choice < 0 || choice > 2) {
                r.result = core::ReadResult::Error;
                r.field = 1;
                r.text = std::to_string(choice);
                return replayFailure(ctx, r, "saturation/geotherm choice must be 0, 1 or 2");
            }
            rs.saturationChoice = choice;
            rs.geothermD1 = d1;
            rs.geothermD2 = d2;
        }
        int which = 0;
        if (std::string m = fixedValuesProblem(rs, &which); !m.empty()) {
            core::ReadOutcome& bad = fixedRecord[which];
            bad.result = core::ReadResult::Error;
            bad.field = 1;
            return replayFailure(ctx, bad, m.c_str());
        }
    }
    {
        double lim[6] = {};
        int integer = 0;
        Target a[] = {&lim[0], &lim[1], &lim[2], &lim[3], &lim[4], &lim[5], &integer};
        core::ReadOutcome r = st.read_record(in, io::restartLayouts().window, a);
        if (!r.done()) return replayFailure(ctx, r);
        if (!(lim[0] < lim[1]) || (!(lim[2] < lim[3]) && t != calc::kActT && t != calc::kActP && t != calc::kActAct) ||
            (t == calc::kActAct && !(lim[2] < lim[3]))) {
            r.result = core::ReadResult::Error;
            r.field = 1;
            return replayFailure(ctx, r, "axis minimum not below its maximum");
        }
        setAxisLimits(rs, lim);
        rs.plotHeight = lim[4] < 1 ? 20 : lim[4];
        rs.plotWidth = lim[5] < 1 ? 20 : lim[5];
        rs.recordFourInteger = integer;
        // The window, then the plot lengths (header record of the plot file, F10.3).
        std::string m = windowProblem(rs);
        r.field = 0;
        for (int i = 4; i < 6 && m.empty(); ++i)
            if (!fits(i == 4 ? rs.plotHeight : rs.plotWidth, kLabelField)) {
                m = tooWide("plot length", lim[i], kLabelField);
                r.field = i + 1;
            }
        if (!m.empty()) {
            r.result = core::ReadResult::Error;
            return replayFailure(ctx, r, m.c_str());
        }
    }
    if (rs.restartChoice == 2) rs.lastReactionsOnly = true;
    {
        double xh = 0, xc = 0;
        Target m[] = {&xh, &xc};
        core::ReadOutcome r = st.read_record(in, io::restartLayouts().fluid, m);
        if (!r.done()) return replayFailure(ctx, r);
        if (xh < 0 || xc < 0 || xh + xc > 1.0005) {
            r.result = core::ReadResult::Error;
            r.field = xh < 0 ? 1 : 2;
            return replayFailure(ctx, r, "mole fractions must lie between 0 and 1 and sum to at most 1");
        }
        rs.xH2O = xh;
        rs.xCO2 = xc;
    }
    auto routine = [&](int& target, const char* what) -> Status {
        int value = 0;
        std::string text;
        Target rt[] = {&value, TextTarget{&text, 39}};
        core::ReadOutcome r = st.read_record(in, io::restartLayouts().routine, rt);
        if (!r.done()) return replayFailure(ctx, r);
        if (value < 1 || value > 3) {
            r.result = core::ReadResult::Error;
            r.field = 1;
            r.text = std::to_string(value);
            return replayFailure(ctx, r, what);
        }
        target = value;
        return Status::success();
    };
    if (rs.xH2O > 0.0009)
        if (Status s = routine(rs.fluid.water, "water routine must be 1, 2 or 3"); !s) return s;
    if (rs.xCO2 > 0.0009)
        if (Status s = routine(rs.fluid.co2, "CO2 routine must be 1, 2 or 3"); !s) return s;
    if (rs.xH2O > 0 && rs.xCO2 > 0)
        if (Status s = routine(rs.fluid.mixing, "mixing routine must be 1, 2 or 3"); !s) return s;
    {
        std::string option, text;
        Target p[] = {TextTarget{&option, 1}, TextTarget{&text, 39}};
        core::ReadOutcome r = st.read_record(in, io::restartLayouts().plotCurves, p);
        if (!r.done()) return replayFailure(ctx, r);
        char c = option.empty() ? ' ' : option[0];
        if (c == 'y') c = 'Y';
        if (c == 'n') c = 'N';
        if (c != 'Y' && c != 'N') {
            r.result = core::ReadResult::Error;
            r.field = 1;
            r.text = option;
            return replayFailure(ctx, r, "plot option must be Y or N");
        }
        rs.plotCurves = c;
    }
    return Status::success();
}

}  // namespace

void writeOptionStatement(RunContext& ctx) {
    const RunSettings& rs = ctx.settings;
    auto say7 = [&](const std::string& line) { ctx.streams.writeLine(io::kUnitMaster, line); };
    const int t = rs.diagramType;
    struct Axis {
        const char* name;
        double lo, hi;
        const char* unit;
    };
    Axis first{}, second{};
    switch (t) {
        case calc::kPT:
            first = {"TEMPERATURE", rs.tMin, rs.tMax, " DEG C"};
            second = {"PRESSURE", rs.pMin, rs.pMax, " BARS"};
            break;
        case calc::kTX:
            first = {"TEMPERATURE", rs.tMin, rs.tMax, " DEG C"};
            second = {"MOLE FRACTION CO2", rs.xAxisMin, rs.xAxisMax, ""};
            break;
        case calc::kPX:
            first = {"PRESSURE", rs.pMin, rs.pMax, " BARS"};
            second = {"MOLE FRACTION CO2", rs.xAxisMin, rs.xAxisMax, ""};
            break;
        case calc::kActT:
            first = {"TEMPERATURE", rs.tMin, rs.tMax, " DEG C"};
            second = {"LOG ACTIVITY", rs.xAxisMin, rs.xAxisMax, ""};
            break;
        case calc::kActP:
            first = {"PRESSURE", rs.pMin, rs.pMax, " BARS"};
            second = {"LOG ACTIVITY", rs.xAxisMin, rs.xAxisMax, ""};
            break;
        default:
            first = {"LOG ACTIVITY", rs.xAxisMin, rs.xAxisMax, ""};
            second = {"LOG ACTIVITY", rs.yAxisMin, rs.yAxisMax, ""};
            break;
    }
    say7("PHASE DIAGRAM: " + core::pad(first.name, 11) + "-" + core::pad(second.name, 19));
    for (const Axis& a : {first, second}) {
        say7(std::string(" FROM A MINIMUM ") + a.name + " OF " + core::formatFixed(a.lo, 8, 1) +
             core::pad(a.unit, 6) + "   TO A MAXIMUM " + a.name + " OF " + core::formatFixed(a.hi, 8, 1) +
             core::pad(a.unit, 6));
    }
    auto statement = [&](const char* text) {
        say7("");
        say7(text);
    };
    if (rs.xH2O > 0.0009) {
        if (rs.fluid.water == 1) statement(" HAAR EQUATION OF STATE USED FOR WATER ");
        if (rs.fluid.water == 3) statement(" HOLLAND AND POWELL (89) USED FOR WATER");
    }
    if (rs.xCO2 > 0.0009) {
        if (rs.fluid.co2 == 1) statement(" KOVAN AND TESSEL (91) USED FOR CO2");
        if (rs.fluid.co2 == 2) statement(" KERRICK AND JACOBS REDLICH-KWONG USED FOR CO2");
        if (rs.fluid.co2 == 3) statement(" HOLLAND AND POWELL (89) USED FOR CO2");
    }
    if (rs.xH2O > 0 && rs.xCO2 > 0) {
        if (rs.fluid.mixing == 1) statement(" KERRICK AND JACOBS H2O-CO2 MIXING RULES USED ");
        if (rs.fluid.mixing == 2) statement(" IDEAL H2O-CO2 MIXING USED ");
    }
    say7(" MOLE FRACTIONS OF H2O-CO2 FLUID: " + core::formatFixed(rs.xH2O, 10, 3) +
         core::formatFixed(rs.xCO2, 10, 3));
    if (rs.plotCurves == 'N')
        say7(" ************META-STABLE PORTIONS OF LINES WILL BE PRINTED AND PLOTTED***********************");
}

std::string mixingRuleNote(double before, double after) {
    if (!(after > before)) return {};
    return "lowest temperature raised from " + plainNumber(before) + " to " + plainNumber(after) +
           " C: the mixing rule is valid from 350 C";
}

Status collectOptions(RunContext& ctx) {
    RunSettings& rs = ctx.settings;
    Status s = rs.inputFromFile ? optionsFromReplay(ctx) : optionsFromScreen(ctx);
    if (!s) return s;
    confineToSaturation(rs);
    const double lowest = rs.tMin;
    finalizeFluid(rs);
    if (rs.plotHeight < 1) rs.plotHeight = 20;
    if (rs.plotWidth < 1) rs.plotWidth = 20;
    ctx.request.options = rs;
    ctx.request.lastReactionsOnly = rs.lastReactionsOnly;
    writeOptionStatement(ctx);
    if (std::string note = mixingRuleNote(lowest, rs.tMin); !note.empty()) {
        ctx.streams.writeLine(io::kUnitMaster, "");
        ctx.streams.writeLine(io::kUnitMaster, note);
        if (ctx.tk) ctx.tk->consoleLine(note);
    }
    return Status::success();
}

}  // namespace app
