#include "app/calculation.hpp"

#include <chrono>
#include <memory>
#include <ctime>

#include "app/batch.hpp"
#include "app/composition_run.hpp"
#include "app/model_screen.hpp"
#include "app/phase_selection.hpp"
#include "app/reaction_selection.hpp"
#include "app/run.hpp"
#include "app/run_context.hpp"
#include "calc/enumerate.hpp"
#include "calc/point.hpp"
#include "calc/stability.hpp"
#include "calc/trace.hpp"
#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/plot_writer.hpp"
#include "io/provenance.hpp"
#include "io/solution_report.hpp"

namespace app {
using core::Status;

namespace {

std::string trimmed(std::string_view s) { return std::string(core::trim(s)); }

std::string time_of_day() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    auto cs = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000 / 10;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%02d", tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(cs));
    return buf;  // eleven characters
}

// The calculation machinery of a run: the evaluator of diagram points, the
// stability test, the plot writer and the curve tracer.
struct Calculation {
    calc::PointEvaluator evaluator;
    calc::StabilityTester stability;
    io::PlotWriter plot;
    calc::CurveTracer tracer;

    explicit Calculation(RunContext& ctx)
        : evaluator(ctx.settings, ctx.phases, ctx.selection, ctx.gibbs),
          stability(evaluator, ctx.phases, ctx.selection),
          plot(ctx.streams, io::kUnitPlot, ctx.settings.summaryOff ? 0 : io::kUnitMaster, ctx.settings, evaluator,
               ctx.phases, ctx.selection),
          tracer(evaluator, stability, plot, ctx.pruned, ctx.selection, trace_settings(ctx), ctx.streams,
                 io::kUnitRestart, [&ctx](std::string_view status) {
                     ui::show_progress(ctx.screens, status, ui::kProgStatus);
                 }) {}

    static calc::TraceSettings trace_settings(const RunContext& ctx) {
        calc::TraceSettings t = calc::traceSettingsFor(ctx.settings);
        t.rootIterations = ctx.tracing.rootIterations;
        t.refinementRounds = ctx.tracing.refinementRounds;
        t.gTolerance = ctx.tracing.gibbsTolerance;
        return t;
    }
};

// The first point at which each fluid routine gave no usable value (and each
// phase energy was not finite, and each notice of the aqueous routines), once
// per run: on the console and in the summary.
void report_range_events(RunContext& ctx) {
    for (; ctx.rangeEventsReported < ctx.rangeEvents.firstCount(); ++ctx.rangeEventsReported) {
        const model::RangeEvent& event = ctx.rangeEvents.first(ctx.rangeEventsReported);
        // A notice leaves the curves as they are.
        const std::string text = model::describeRangeEvent(event, &ctx.phases) +
                                 (model::isNotice(event.source) ? "" : "; no curve is traced through such points");
        if (ctx.gibbs.fluidCache.warn) ctx.gibbs.fluidCache.warn(text);
        ctx.streams.write_line(io::kUnitMaster, " " + text);
    }
}

// One reaction handed over for calculation.
Status calculate(RunContext& ctx, Calculation& calc, calc::Reaction& reaction) {
    RunSettings& rs = ctx.settings;
    // "Yes, w. last calculated rxtns only": the reactions of the replayed run.
    if (rs.lastReactionsOnly) {
        bool calculatedLastTime = false;
        for (const auto& row : ctx.replayedRows)
            calculatedLastTime = calculatedLastTime ||
                                 samePhaseSet(row.data(), reaction.coef.data(), ctx.phases.count);
        if (!calculatedLastTime) return Status::success();
    }
    ++rs.reactionsExamined;
    Status s = calc.tracer.calculateReaction(reaction, rs.reactionsCalculated, rs.reactionsPlotted);
    report_range_events(ctx);
    // A curve that cannot be written ends the run at once.
    if (s && !calc.plot.status().ok()) return outputs_not_written(calc.plot.status());
    ui::show_progress(ctx.screens,
                           "Examined" + core::format_integer(rs.reactionsExamined, 6) + "  calculated" +
                               core::format_integer(rs.reactionsCalculated, 6) + "  plotted" +
                               core::format_integer(rs.reactionsPlotted, 6),
                           ui::kProgCounts);
    return s;
}

// The reactions of one composition set.
Status reactions_of_set(RunContext& ctx, Calculation& calc) {
    RunSettings& rs = ctx.settings;
    calc::PhaseSelection& sel = ctx.selection;
    const int N = sel.mainCount;
    const int C = sel.basis.componentCount;
    double possible = calc::possibleReactionCount(N, C, sel.allReactionsCount);
    static const core::Layout countLine("(I3,' phases with ',I2,' components -->',I8,'possible rxtns')");
    core::Value v[] = {static_cast<long long>(N), static_cast<long long>(C), static_cast<long long>(possible)};
    ui::show_progress(ctx.screens, core::write_line(countLine, v), ui::kProgStatus);

    ctx.pruned.clear();
    calc::EnumerationOptions options;
    options.listMode = sel.chooseReactions && !rs.inputFromFile;
    calc::EnumerationResult result;
    auto sink = [&ctx, &calc](calc::Reaction& r) { return calculate(ctx, calc, r); };
    auto progress = [](int) {};
    if (!options.listMode) {
        return calc::EnumerateReactions(ctx.phases, sel, ctx.pruned, options, ctx.streams, sink, progress, result);
    }
    // List mode: the reactions are listed and the user chooses.
    calc::EnumerateReactions(ctx.phases, sel, ctx.pruned, options, ctx.streams, nullptr, progress, result);
    SelectionSetup setup;
    setup.screens = rs.inputFromFile ? nullptr : &ctx.screens;
    setup.lastReactionsOnly = rs.lastReactionsOnly;
    setup.lastRows = ctx.replayedRows;
    SelectionResult chosen;
    Status s = SelectReactions(ctx.phases, sel, ctx.streams, setup, sink, chosen);
    ctx.streams.discard(options.listUnit);
    return s;
}

// The composition file of a batch composition set: the phases start again
// from the activities chosen for them, then the file's site fractions and
// fixed activities apply.  `opened` is false when the file is not there.
Status read_set_composition(RunContext& ctx, const std::string& name, bool& opened) {
    opened = true;
    if (!ctx.models.composition.anyModelUsed) return Status::success();
    for (int i = 0; i < ctx.phases.count; ++i)
        ctx.selection.logActivity[static_cast<std::size_t>(i)] =
            logActivityOf(ctx.selection.activity[static_cast<std::size_t>(i)]);
    bool openFailed = false;
    Status s = readCompositionFile(ctx.screens, name, ctx.settings, ctx.phases, ctx.selection.logActivity,
                                   ctx.models, ctx.streams, openFailed);
    if (!s) return s;
    opened = !openFailed;
    if (opened) ctx.models.composition.fileName = core::pad(name, 40);
    return Status::success();
}

// The solution models of the set, on the master output and the activity
// listing, with the activities at the middle of the diagram.
void report_solution_models(RunContext& ctx, Calculation& calc) {
    const calc::PlotWindow w = calc::plotWindow(ctx.settings);
    calc.evaluator.setStateFromDiagram((w.xmin + w.xmax) / 2, (w.ymin + w.ymax) / 2);
    const calc::DiagramState& at = calc.evaluator.state();
    const int phaseCount = ctx.selection.mainCount + ctx.selection.testCount;
    for (const std::string& l : io::solutionModelReport(ctx.phases, phaseCount, ctx.models, at.t, at.P)) {
        ctx.streams.write_line(io::kUnitMaster, l);
        if (ctx.streams.is_open(model::kUnitActivities)) ctx.streams.write_line(model::kUnitActivities, l);
    }
    if (!ctx.streams.is_open(model::kUnitActivities)) return;
    if (ctx.models.composition.anyModelUsed)
        ctx.streams.write_line(model::kUnitActivities,
                               " Lines at the points of the curves: model, end-member, P (bar), T (C), gamma, ideal"
                               " activity (PLAG: the activity), RT ln a (J/mol)");
    ctx.streams.write_line(model::kUnitActivities, "");
}

}  // namespace

Status read_replayed_rows(RunContext& ctx) {
    ctx.replayedRows.clear();
    if (!ctx.settings.inputFromFile) return Status::success();
    const int n = ctx.phases.count;
    static const core::Layout rows("(16F8.1)");
    bool dataFiles = false;  // past the first record of the data files the replayed run read
    for (;;) {
        // The rows end at the end of the input or where the records of the
        // data files begin; only such records (or blank lines) follow them.
        std::string next;
        core::ReadOutcome r = ctx.streams.read_line(io::kUnitInput, next);
        if (!r.done()) break;
        if (io::is_provenance_record(next)) dataFiles = true;
        if (dataFiles) {
            if (io::is_provenance_record(next) || core::is_blank(next)) continue;
            r.result = core::ReadResult::Error;
            r.record = ctx.streams.line_number(io::kUnitInput);
            r.field = 1;
            r.text = next;
        } else {
            ctx.streams.backspace(io::kUnitInput);
        }
        std::array<double, model::kMaxPhases> row{};
        std::array<core::Target, model::kMaxPhases> targets;
        for (int i = 0; i < n; ++i) targets[static_cast<std::size_t>(i)] = &row[static_cast<std::size_t>(i)];
        if (r.done())
            r = ctx.streams.read_record(io::kUnitInput, rows, std::span<const core::Target>(targets.data(), n));
        if (r.result == core::ReadResult::EndOfFile) break;
        if (!r.done()) {
            ctx.say(" ***ERROR IN INPUT DATA, EXECUTION TERMINATED");
            Status s = Status::stop("unreadable row of calculated reactions");
            s.file = trimmed(ctx.settings.unitNames[io::kInputSlot]);
            s.line = r.record;
            s.field = r.field;
            s.value = r.text;
            ctx.say(" " + s.describe());
            return s;
        }
        ctx.replayedRows.push_back(row);
    }
    return Status::success();
}

Status calculate_composition_sets(RunContext& ctx) {
    RunSettings& rs = ctx.settings;
    io::Streams& st = ctx.streams;
    const bool list = rs.batchMode == 'Y' && st.is_open(io::kUnitCompList);
    auto calc = std::make_unique<Calculation>(ctx);
    for (;;) {
        std::string entry;
        if (list) {
            if (!st.read_line(io::kUnitCompList, entry).done()) break;
            if (core::is_blank(entry)) continue;
            std::string plot = batch_plot_file(rs.batchLine, entry, ctx.batchLineCount);
            if (int e = st.open(io::kUnitPlot, plot, io::OpenMode::NewOrReplace); e != 0) {
                st.write_line(io::kUnitBatchLog, "Error " + core::format_integer(e, 3) + " opening plotfile " +
                                                          core::name_field(plot, 40));
                continue;
            }
            rs.unitNames[io::kPlotSlot] = plot;
            ctx.compositionName = batch_composition_file(rs.batchLine, entry);
            // The set's composition before the plot header, which carries its labels.
            bool opened = true;
            if (Status s = read_set_composition(ctx, ctx.compositionName, opened); !s) return s;
            calc->evaluator.useSelectedActivities();
            if (!opened) {
                st.write_line(io::kUnitBatchLog, " Error opening composition file " + ctx.compositionName);
                st.discard(io::kUnitPlot);
                continue;
            }
        }
        AxisLabels labels = axis_labels(rs);
        io::PlotHeaderTexts texts;
        texts.xLabel = std::string(core::rtrim(labels.x));
        texts.yLabel = std::string(core::rtrim(labels.y));
        const calc::PlotWindow window = calc::plotWindow(rs);
        const bool labelled =
            writeCompositionLabels(st, ctx.models, window.xmin, window.xmax, window.ymin, window.ymax);
        calc->plot.writeHeader(texts, labelled ? kUnitLabels : 0);
        st.write_line(io::kUnitMaster, "**** Current plotfile = " + trimmed(rs.unitNames[io::kPlotSlot]));
        ui::show_progress(ctx.screens, "Starting time = " + time_of_day());
        if (rs.diagramType == calc::kActAct) calc->evaluator.prepareFixedConditions();
        report_solution_models(ctx, *calc);
        Status s = reactions_of_set(ctx, *calc);
        report_range_events(ctx);
        if (!s) return s;
        if (!calc->plot.status().ok()) return outputs_not_written(calc->plot.status());
        // The log names the plot file once the run's outputs are saved.
        ctx.completedPlots.push_back(trimmed(rs.unitNames[io::kPlotSlot]));
        if (!list) break;
        st.close(io::kUnitPlot);
    }
    return Status::success();
}

}  // namespace app
