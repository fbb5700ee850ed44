#include "shell/calculation.hpp"

#include <chrono>
#include <memory>
#include <ctime>

#include "reactions/diagram.hpp"
#include "reactions/enumerate.hpp"
#include "reactions/plot.hpp"
#include "reactions/select.hpp"
#include "reactions/stability.hpp"
#include "reactions/trace.hpp"
#include "records/layout.hpp"
#include "records/provenance.hpp"
#include "records/text.hpp"
#include "shell/batch.hpp"
#include "shell/run.hpp"
#include "shell/run_context.hpp"
#include "solutions/composition_run.hpp"
#include "solutions/model_screen.hpp"
#include "solutions/phase_selection.hpp"
#include "solutions/solution_report.hpp"

namespace shell {
using records::Status;

namespace {

std::string trimmed(std::string_view s) { return std::string(records::trim(s)); }

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
    reactions::PointEvaluator evaluator;
    reactions::StabilityTester stability;
    reactions::PlotWriter plot;
    reactions::CurveTracer tracer;

    explicit Calculation(RunContext& ctx)
        : evaluator(ctx.settings, ctx.phases, ctx.selection, ctx.gibbs),
          stability(evaluator, ctx.phases, ctx.selection),
          plot(ctx.streams, records::kUnitPlot, records::kUnitMaster, ctx.settings, evaluator, ctx.phases,
               ctx.selection),
          tracer(evaluator, stability, plot, ctx.pruned, ctx.selection, trace_settings(ctx), ctx.streams,
                 records::kUnitRestart, [&ctx](std::string_view status) {
                     dialogs::show_progress(ctx.screens, status, dialogs::kProgStatus);
                 }) {}

    static reactions::TraceSettings trace_settings(const RunContext& ctx) {
        reactions::TraceSettings t = reactions::traceSettingsFor(ctx.settings);
        t.rootIterations = ctx.tracing.rootIterations;
        t.refinementRounds = ctx.tracing.refinementRounds;
        t.gTolerance = ctx.tracing.gibbsTolerance;
        return t;
    }
};

// The first point at which each fluid routine gave no usable value (and each
// phase energy was not finite), once per run: on the console and in the
// summary.
void report_range_events(RunContext& ctx) {
    for (; ctx.rangeEventsReported < ctx.rangeEvents.firstCount(); ++ctx.rangeEventsReported) {
        const std::string text =
            props::describeRangeEvent(ctx.rangeEvents.first(ctx.rangeEventsReported), &ctx.phases) +
            "; no curve is traced through such points";
        if (ctx.gibbs.fluidCache.warn) ctx.gibbs.fluidCache.warn(text);
        ctx.streams.write_line(records::kUnitMaster, " " + text);
    }
}

// One reaction handed over for calculation.
Status calculate(RunContext& ctx, Calculation& calc, reactions::Reaction& reaction) {
    records::RunSettings& rs = ctx.settings;
    // "Yes, w. last calculated rxtns only": the reactions of the replayed run.
    if (rs.lastReactionsOnly) {
        bool calculatedLastTime = false;
        for (const auto& row : ctx.replayedRows)
            calculatedLastTime = calculatedLastTime ||
                                 reactions::samePhaseSet(row.data(), reaction.coef.data(), ctx.phases.count);
        if (!calculatedLastTime) return Status::success();
    }
    ++rs.reactionsExamined;
    Status s = calc.tracer.calculateReaction(reaction, rs.reactionsCalculated, rs.reactionsPlotted);
    report_range_events(ctx);
    // A curve that cannot be written ends the run at once.
    if (s && !calc.plot.status().ok()) return outputs_not_written(calc.plot.status());
    dialogs::show_progress(ctx.screens,
                           "Examined" + records::format_integer(rs.reactionsExamined, 6) + "  calculated" +
                               records::format_integer(rs.reactionsCalculated, 6) + "  plotted" +
                               records::format_integer(rs.reactionsPlotted, 6),
                           dialogs::kProgCounts);
    return s;
}

// The reactions of one composition set.
Status reactions_of_set(RunContext& ctx, Calculation& calc) {
    records::RunSettings& rs = ctx.settings;
    solutions::PhaseSelection& sel = ctx.selection;
    const int N = sel.mainCount;
    const int C = sel.basis.componentCount;
    double possible = reactions::possibleReactionCount(N, C, sel.allReactionsCount);
    static const records::Layout countLine("(I3,' phases with ',I2,' components -->',I8,'possible rxtns')");
    records::Value v[] = {static_cast<long long>(N), static_cast<long long>(C), static_cast<long long>(possible)};
    dialogs::show_progress(ctx.screens, records::write_line(countLine, v), dialogs::kProgStatus);

    ctx.pruned.clear();
    reactions::EnumerationOptions options;
    options.listMode = sel.chooseReactions && !rs.inputFromFile;
    reactions::EnumerationResult result;
    auto sink = [&ctx, &calc](reactions::Reaction& r) { return calculate(ctx, calc, r); };
    auto progress = [](int) {};
    if (!options.listMode) {
        return reactions::EnumerateReactions(ctx.phases, sel, ctx.pruned, options, ctx.streams, sink, progress, result);
    }
    // List mode: the reactions are listed and the user chooses.
    reactions::EnumerateReactions(ctx.phases, sel, ctx.pruned, options, ctx.streams, nullptr, progress, result);
    reactions::SelectionSetup setup;
    setup.screens = rs.inputFromFile ? nullptr : &ctx.screens;
    setup.lastReactionsOnly = rs.lastReactionsOnly;
    setup.lastRows = ctx.replayedRows;
    reactions::SelectionResult chosen;
    Status s = reactions::SelectReactions(ctx.phases, sel, ctx.streams, setup, sink, chosen);
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
        ctx.phases[i].logActivity = solutions::logActivityOf(ctx.selection.activity[static_cast<std::size_t>(i)]);
    bool openFailed = false;
    Status s = solutions::readCompositionFile(ctx.screens, name, ctx.settings, ctx.phases, ctx.models, ctx.streams,
                                              openFailed);
    if (!s) return s;
    opened = !openFailed;
    if (opened) ctx.models.composition.fileName = records::pad(name, 40);
    return Status::success();
}

// The solution models of the set, on the master output and the activity
// listing, with the activities at the middle of the diagram.
void report_solution_models(RunContext& ctx, Calculation& calc) {
    const reactions::PlotWindow w = reactions::plotWindow(ctx.settings);
    calc.evaluator.setStateFromDiagram((w.xmin + w.xmax) / 2, (w.ymin + w.ymax) / 2);
    const reactions::DiagramState& at = calc.evaluator.state();
    const int phaseCount = ctx.selection.mainCount + ctx.selection.testCount;
    for (const std::string& l : solutions::solutionModelReport(ctx.phases, phaseCount, ctx.models, at.t, at.P)) {
        ctx.streams.write_line(records::kUnitMaster, l);
        if (ctx.streams.is_open(solutions::kUnitActivities)) ctx.streams.write_line(solutions::kUnitActivities, l);
    }
    if (!ctx.streams.is_open(solutions::kUnitActivities)) return;
    if (ctx.models.composition.anyModelUsed)
        ctx.streams.write_line(solutions::kUnitActivities,
                               " Lines at the points of the curves: model, end-member, P (bar), T (C), gamma, ideal"
                               " activity (PLAG: the activity), RT ln a (J/mol)");
    ctx.streams.write_line(solutions::kUnitActivities, "");
}

}  // namespace

Status read_replayed_rows(RunContext& ctx) {
    ctx.replayedRows.clear();
    if (!ctx.settings.inputFromFile) return Status::success();
    const int n = ctx.phases.count;
    static const records::Layout rows("(16F8.1)");
    bool dataFiles = false;  // past the first record of the data files the replayed run read
    for (;;) {
        // The rows end at the end of the input or where the records of the
        // data files begin; only such records (or blank lines) follow them.
        std::string next;
        records::ReadOutcome r = ctx.streams.read_line(records::kUnitInput, next);
        if (!r.done()) break;
        if (records::is_provenance_record(next)) dataFiles = true;
        if (dataFiles) {
            if (records::is_provenance_record(next) || records::is_blank(next)) continue;
            r.result = records::ReadResult::Error;
            r.record = ctx.streams.line_number(records::kUnitInput);
            r.field = 1;
            r.text = next;
        } else {
            ctx.streams.backspace(records::kUnitInput);
        }
        std::array<double, thermodb::kMaxPhases> row{};
        std::array<records::Target, thermodb::kMaxPhases> targets;
        for (int i = 0; i < n; ++i) targets[static_cast<std::size_t>(i)] = &row[static_cast<std::size_t>(i)];
        if (r.done())
            r = ctx.streams.read_record(records::kUnitInput, rows, std::span<const records::Target>(targets.data(), n));
        if (r.result == records::ReadResult::EndOfFile) break;
        if (!r.done()) {
            ctx.say(" ***ERROR IN INPUT DATA, EXECUTION TERMINATED");
            Status s = Status::stop("unreadable row of calculated reactions");
            s.file = trimmed(ctx.settings.unitNames[records::kInputSlot]);
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
    records::RunSettings& rs = ctx.settings;
    records::Streams& st = ctx.streams;
    const bool list = rs.batchMode == 'Y' && st.is_open(records::kUnitCompList);
    auto calc = std::make_unique<Calculation>(ctx);
    for (;;) {
        std::string entry;
        if (list) {
            if (!st.read_line(records::kUnitCompList, entry).done()) break;
            if (records::is_blank(entry)) continue;
            std::string plot = batch_plot_file(rs.batchLine, entry, ctx.batchLineCount);
            if (int e = st.open(records::kUnitPlot, plot, records::OpenMode::NewOrReplace); e != 0) {
                st.write_line(records::kUnitBatchLog, "Error " + records::format_integer(e, 3) + " opening plotfile " +
                                                          records::name_field(plot, 40));
                continue;
            }
            rs.unitNames[records::kPlotSlot] = plot;
            ctx.compositionName = batch_composition_file(rs.batchLine, entry);
            // The set's composition before the plot header, which carries its labels.
            bool opened = true;
            if (Status s = read_set_composition(ctx, ctx.compositionName, opened); !s) return s;
            if (!opened) {
                st.write_line(records::kUnitBatchLog, " Error opening composition file " + ctx.compositionName);
                st.discard(records::kUnitPlot);
                continue;
            }
        }
        AxisLabels labels = axis_labels(rs);
        reactions::PlotHeaderTexts texts;
        texts.xLabel = std::string(records::rtrim(labels.x));
        texts.yLabel = std::string(records::rtrim(labels.y));
        const reactions::PlotWindow window = reactions::plotWindow(rs);
        const bool labelled =
            solutions::writeCompositionLabels(st, ctx.models, window.xmin, window.xmax, window.ymin, window.ymax);
        calc->plot.writeHeader(texts, labelled ? solutions::kUnitLabels : 0);
        st.write_line(records::kUnitMaster, "**** Current plotfile = " + trimmed(rs.unitNames[records::kPlotSlot]));
        dialogs::show_progress(ctx.screens, "Starting time = " + time_of_day());
        if (rs.diagramType == records::kActAct) calc->evaluator.prepareFixedConditions();
        report_solution_models(ctx, *calc);
        Status s = reactions_of_set(ctx, *calc);
        report_range_events(ctx);
        if (!s) return s;
        if (!calc->plot.status().ok()) return outputs_not_written(calc->plot.status());
        // The log names the plot file once the run's outputs are saved.
        ctx.completedPlots.push_back(trimmed(rs.unitNames[records::kPlotSlot]));
        if (!list) break;
        st.close(records::kUnitPlot);
    }
    return Status::success();
}

}  // namespace shell
