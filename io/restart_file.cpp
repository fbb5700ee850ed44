#include "io/restart_file.hpp"

#include <algorithm>
#include <cmath>

#include "calc/axis.hpp"
#include "core/text.hpp"

namespace io {
namespace {

using core::Value;

bool isActivityDiagram(int t) { return t == calc::kActT || t == calc::kActP || t == calc::kActAct; }

// The fixed quantity of the diagram's second record: the pressure, or the temperature.
bool fixedIsPressure(int t) { return t == calc::kTX || t == calc::kActT || t == calc::kActAct; }

const char* waterComment(int r) {
    static const char* c[] = {"WATER ROUTINE: Haar et al. (1984)  ", "WATER ROUTINE: Kerrick + Jacobs(81)",
                              "WATER ROUTINE: Holland + Powell(89)"};
    return c[std::clamp(r, 1, 3) - 1];
}
const char* co2Comment(int r) {
    static const char* c[] = {"CO2 ROUTINE: Kovan + Tessel (91) ", "CO2 ROUTINE: Kerrick + Jacobs (1981)",
                              "CO2 ROUTINE: Holland + Powell(89)"};
    return c[std::clamp(r, 1, 3) - 1];
}
const char* mixingComment(int r) {
    static const char* c[] = {"MIXING ROUTINE: Kerrick + Jacobs (1981)", "MIXING ROUTINE: Ideal ",
                              "MIXING ROUTINE: Holland + Powell(90)"};
    return c[std::clamp(r, 1, 3) - 1];
}

void add(std::vector<std::string>& out, const core::Layout& layout, std::initializer_list<Value> values) {
    for (std::string& r : core::write_text(layout, std::span<const Value>(values.begin(), values.size())))
        out.push_back(std::move(r));
}

}  // namespace

const RestartLayouts& restartLayouts() {
    static const RestartLayouts l;  // parsed once, never changed
    return l;
}

std::vector<std::string> optionRecords(const calc::DiagramOptions& o) {
    const RestartLayouts& L = restartLayouts();
    std::vector<std::string> out;
    const int t = o.diagramType;
    add(out, L.diagramType, {static_cast<long long>(t <= 2 ? t + 1 : t), std::string_view(kDiagramTypeComment)});
    if (t != calc::kPT) {
        add(out, L.fixedValue, {fixedIsPressure(t) ? o.pMin : o.tMin});
        if (t == calc::kActAct) add(out, L.fixedValue, {o.tMin});
        const bool third = t == calc::kActT || t == calc::kActP || (t == calc::kActAct && o.saturationChoice != 0);
        if (third)
            add(out, L.saturation,
                {static_cast<long long>(o.saturationChoice), o.geothermD1, o.geothermD2,
                 std::string_view("ICRITC, dPdT, dPdT^2")});
    }
    const calc::PlotWindow w = calc::plotWindow(o);
    add(out, L.window,
        {w.xmin, w.xmax, w.ymin, w.ymax, o.plotHeight, o.plotWidth, static_cast<long long>(o.recordFourInteger)});
    add(out, L.fluid, {o.xH2O, o.xCO2});
    if (o.xH2O > 0.0009)
        add(out, L.routine, {static_cast<long long>(o.fluid.water), std::string_view(waterComment(o.fluid.water))});
    if (o.xCO2 > 0.0009)
        add(out, L.routine, {static_cast<long long>(o.fluid.co2), std::string_view(co2Comment(o.fluid.co2))});
    if (o.xH2O > 0 && o.xCO2 > 0)
        add(out, L.routine, {static_cast<long long>(o.fluid.mixing), std::string_view(mixingComment(o.fluid.mixing))});
    const std::string option(1, o.plotCurves);
    add(out, L.plotCurves, {std::string_view(option), std::string_view("ONLY STABL REACT Y/N")});
    return out;
}

std::vector<std::string> phaseRecords(const calc::PhaseAnswers& phases, int diagramType) {
    const RestartLayouts& L = restartLayouts();
    std::vector<std::string> out;
    for (const calc::PhaseAnswer& p : phases.phases)
        add(out, L.phase, {static_cast<long long>(p.optionCode), p.activity, std::string_view(p.name)});
    if (!isActivityDiagram(diagramType)) return out;
    add(out, L.axis, {std::string_view(phases.xAxisText), std::string_view("X-AXIS VARIABLE")});
    if (diagramType == calc::kActAct)
        add(out, L.axis, {std::string_view(phases.yAxisText), std::string_view("Y-AXIS VARIABLE")});
    return out;
}

std::vector<std::string> axisLabelRecords(const calc::PhaseAnswers& phases, int diagramType) {
    const std::array<std::string, 2> labels = calc::plotAxisLabels(
        diagramType, calc::axisLabel(phases.xAxisText), calc::axisLabel(phases.yAxisText));
    return {core::pad(labels[0], 80), core::pad(labels[1], 80)};
}

std::vector<std::string> solutionRecords(const calc::SolutionAnswers& solutions) {
    const RestartLayouts& L = restartLayouts();
    std::vector<std::string> out;
    add(out, L.compositionFile, {std::string_view(solutions.compositionFile), std::string_view(kCompositionFileComment)});
    for (const calc::ModelAnswer& m : solutions.models) {
        const std::string flag(1, m.useFlag);
        add(out, L.model, {std::string_view(flag), std::string_view(m.variantKeyword), std::string_view(m.modelName)});
    }
    return out;
}

std::string labelStyleRecord(char labelStyle) {
    const std::string option(1, labelStyle);
    const Value v[] = {std::string_view(option),
                       std::string_view(labelStyle == 'Y' ? "USE ABBREVIATIONS" : "USE FULL NAMES")};
    return core::writeLine(restartLayouts().labelStyle, v);
}

std::vector<std::string> reactionRowRecords(std::span<const double> coefficients) {
    double largest = 0.0;
    for (double c : coefficients) largest = std::max(largest, std::fabs(c));
    double scale = 1.0;
    while (largest * scale >= 99999.95) scale /= 10.0;
    std::vector<Value> values;
    values.reserve(coefficients.size());
    for (double c : coefficients) values.emplace_back(c * scale);
    if (values.empty()) return {};
    return core::write_text(restartLayouts().row, values);
}

std::vector<std::string> restartRecords(const calc::RunRequest& request, const std::vector<std::vector<double>>& rows,
                                        std::span<const DataProvenance> dataFiles) {
    std::vector<std::string> out = optionRecords(request.options);
    out.push_back(std::string(core::rtrim(request.elementLine)));
    for (std::string& r : phaseRecords(request.phases, request.options.diagramType)) out.push_back(std::move(r));
    for (std::string& r : axisLabelRecords(request.phases, request.options.diagramType)) out.push_back(std::move(r));
    for (std::string& r : solutionRecords(request.solutions)) out.push_back(std::move(r));
    out.push_back(labelStyleRecord(request.labelStyle));
    for (const std::vector<double>& row : rows)
        for (std::string& r : reactionRowRecords(row)) out.push_back(std::move(r));
    for (const DataProvenance& p : dataFiles)
        if (p.read()) out.push_back(provenanceRecord(p));
    return out;
}

}  // namespace io
