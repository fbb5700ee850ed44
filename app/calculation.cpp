#include "app/calculation.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ctime>
#include <string_view>

#include <unistd.h>

#include "app/batch.hpp"
#include "app/composition_run.hpp"
#include "app/model_screen.hpp"
#include "app/phase_selection.hpp"
#include "app/reaction_selection.hpp"
#include "app/run.hpp"
#include "app/run_context.hpp"
#include "calc/diagram.hpp"
#include "calc/enumerate.hpp"
#include "calc/point.hpp"
#include "calc/stability.hpp"
#include "calc/trace.hpp"
#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/composition_file.hpp"
#include "io/plot_writer.hpp"
#include "io/provenance.hpp"
#include "io/restart_file.hpp"
#include "io/solution_report.hpp"

namespace app {
using core::Status;

namespace {

using core::trimmed;


std::string timeOfDay() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    auto cs = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000 / 10;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%02d", tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(cs));
    return buf;  // eleven characters
}

// "about 40 s", "about 12 min", "about 3.5 h".
std::string durationText(double seconds) {
    char buf[32];
    if (seconds < 90)
        std::snprintf(buf, sizeof buf, "about %.0f s", std::max(1.0, seconds));
    else if (seconds < 5400)
        std::snprintf(buf, sizeof buf, "about %.0f min", seconds / 60);
    else
        std::snprintf(buf, sizeof buf, "about %.1f h", seconds / 3600);
    return buf;
}

// The screens and the console follow the calculation of a diagram.
class RunObserver final : public calc::DiagramObserver {
public:
    using Clock = std::chrono::steady_clock;
    explicit RunObserver(RunContext& ctx) : ctx_(ctx), rs_(ctx.settings), start_(Clock::now()) {
        // Lines on standard error in a scripted run, unless PELKAM_PROGRESS=0
        // turns them off (as the tests that compare standard error do).
        const char* asked = std::getenv("PELKAM_PROGRESS");
        progressLines_ = !ctx.answerScript.empty() && (asked == nullptr || std::string_view(asked) != "0");
    }
    void status(std::string_view text) override { ui::showProgress(ctx_.screens, text, ui::kProgStatus); }
    void counts(long examined, long calculated, long plotted) override {
        ui::showProgress(ctx_.screens,
                          "Examined " + countText(rs_.reactionsExamined + examined, 6) + "  calculated " +
                              countText(rs_.reactionsCalculated + calculated, 6) + "  plotted " +
                              countText(rs_.reactionsPlotted + plotted, 6),
                          ui::kProgCounts);
    }
    // The candidates, the share done and the time left: on the progress
    // screen at most five times a second; in a scripted run also on
    // standard error (see above), once a second, when the diagram takes
    // more than a second.
    void progress(const calc::DiagramProgress& where) override {
        const Clock::time_point now = Clock::now();
        const double elapsed = std::chrono::duration<double>(now - start_).count();
        const bool screen = now - lastScreen_ >= std::chrono::milliseconds(200);
        const bool line = progressLines_ && elapsed >= 1.0 && now - lastLine_ >= std::chrono::seconds(1);
        if (!screen && !line) return;
        const double share = where.share();
        const bool searching = where.method == calc::ReactionMethod::Search;
        char head[96];
        std::snprintf(head, sizeof head, "%.0f %s: %.0f%% done", where.candidates,
                      searching ? "candidate reactions" : "combinations", 100 * share);
        std::string text = head;
        if (share > 0.0 && elapsed >= 0.5) text += ", " + durationText(elapsed * (1 - share) / share) + " left";
        if (screen) {
            ui::showProgress(ctx_.screens, text, ui::kProgLine);
            lastScreen_ = now;
        }
        if (line) {
            std::fprintf(stderr, "pelkam: %s\n", text.c_str());
            lastLine_ = now;
        }
    }
    // The first point at which each fluid routine gave no usable value (and
    // each phase energy was not finite), once per run: on the console here,
    // in the summary with the curves.
    void notice(const std::string& text) override {
        if (ctx_.gibbs.fluidCache.warn) ctx_.gibbs.fluidCache.warn(text);
    }

private:
    RunContext& ctx_;
    const RunSettings& rs_;
    Clock::time_point start_, lastScreen_{}, lastLine_{};
    bool progressLines_ = false;
};

// The reactions of one composition set: the count of possible reactions on
// the progress screen, then the diagram.
Status calculateSet(RunContext& ctx, calc::DiagramResult& result) {
    RunSettings& rs = ctx.settings;
    const calc::PhaseSelection& sel = ctx.selection;
    const int N = sel.mainCount;
    const int C = sel.basis.componentCount;
    double possible = calc::possibleReactionCount(N, C, sel.allReactionsCount);
    // The count in eight columns, or in as many as it needs.
    ui::showProgress(ctx.screens,
                     countText(N, 3) + " phases with " + countText(C, 2) + " components -->" +
                         countText(static_cast<long long>(possible), 8) + "possible rxtns",
                     ui::kProgStatus);

    calc::DiagramInputs in;
    in.options = &rs;
    in.phases = &ctx.phases;
    in.selection = &sel;
    in.limits = ctx.tracing;
    in.plottedBefore = rs.reactionsPlotted;
    in.pointConditions = ctx.streams.isOpen(model::kUnitActivities);
    // PELKAM_REACTION_SEARCH=exhaustive: stable curves from every reaction of
    // the enumeration, as a check on the search.
    const char* search = std::getenv("PELKAM_REACTION_SEARCH");
    if (search != nullptr && std::string_view(search) == "exhaustive") in.method = calc::ReactionMethod::Exhaustive;
    // "Yes, w. last calculated rxtns only": the reactions of the replayed run.
    if (ctx.request.lastReactionsOnly) in.lastRows = &ctx.request.lastRows;
    // "Choose specific reactions to calculate": the reaction-selection screen.
    if (sel.chooseReactions && !rs.inputFromFile)
        in.chooser = [&ctx](const calc::ReactionList& list, const calc::ReactionSink& sink) {
            SelectionSetup setup;
            setup.list = &list;
            setup.screens = &ctx.screens;
            SelectionResult chosen;
            return SelectReactions(ctx.phases, ctx.selection, ctx.streams, setup, sink, chosen);
        };
    RunObserver observer(ctx);
    Status s = calc::computeDiagram(in, ctx.gibbs, &ctx.rangeLog, observer, result);
    rs.reactionsExamined += result.examined;
    rs.reactionsCalculated += result.calculated;
    rs.reactionsPlotted += result.plotted;
    return s;
}

// The curves of a set in the plot file, the summary and the activity
// listing, with the notices of the calculation between them; the rows of
// the restart file kept for the end of the run.
Status writeSet(RunContext& ctx, io::PlotWriter& writer, const calc::DiagramResult& result) {
    ctx.streams.writeLine(io::kUnitMaster, std::string(" ") + calc::reactionMethodText(result.method));
    std::size_t notice = 0;
    auto notices = [&](std::size_t upTo) {
        for (; notice < result.notices.size() && result.notices[notice].afterCurves <= upTo; ++notice)
            ctx.streams.writeLine(io::kUnitMaster, " " + result.notices[notice].text);
    };
    for (std::size_t k = 0; k < result.curves.size(); ++k) {
        notices(k);
        writer.writeCurve(result.curves[k]);
    }
    notices(result.curves.size());
    ctx.calculatedRows.insert(ctx.calculatedRows.end(), result.rows.begin(), result.rows.end());
    return writer.status();
}

// The composition file of a batch composition set: the phases start again
// from the activities chosen for them, then the file's site fractions and
// fixed activities apply.  `opened` is false when the file is not there.
Status readSetComposition(RunContext& ctx, const std::string& name, bool& opened) {
    opened = true;
    if (!ctx.models.composition.anyModelUsed) return Status::success();
    for (int i = 0; i < ctx.phases.count; ++i)
        ctx.selection.logActivity[static_cast<std::size_t>(i)] =
            calc::logActivityOf(ctx.selection.activity[static_cast<std::size_t>(i)]);
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
void reportSolutionModels(RunContext& ctx) {
    const calc::PlotWindow w = calc::plotWindow(ctx.settings);
    calc::PointEvaluator evaluator(ctx.settings, ctx.phases, ctx.selection, ctx.gibbs);
    evaluator.setStateFromDiagram((w.xmin + w.xmax) / 2, (w.ymin + w.ymax) / 2);
    const calc::DiagramState& at = evaluator.state();
    const int phaseCount = ctx.selection.mainCount + ctx.selection.testCount;
    for (const std::string& l : io::solutionModelReport(ctx.phases, phaseCount, ctx.models, at.t, at.P)) {
        ctx.streams.writeLine(io::kUnitMaster, l);
        if (ctx.streams.isOpen(model::kUnitActivities)) ctx.streams.writeLine(model::kUnitActivities, l);
    }
    if (!ctx.streams.isOpen(model::kUnitActivities)) return;
    if (ctx.models.composition.anyModelUsed)
        ctx.streams.writeLine(model::kUnitActivities,
                               " Lines at the points of the curves: model, end-member, P (bar), T (C), gamma, ideal"
                               " activity (PLAG: the activity), RT ln a (J/mol)");
    ctx.streams.writeLine(model::kUnitActivities, "");
}

}  // namespace

Status readReplayedRows(RunContext& ctx) {
    ctx.request.lastRows.clear();
    if (!ctx.settings.inputFromFile) return Status::success();
    const int n = ctx.phases.count;
    const core::Layout& rows = io::restartLayouts().row;
    bool dataFiles = false;  // past the first record of the data files the replayed run read
    for (;;) {
        // The rows end at the end of the input or where the records of the
        // data files begin; only such records (or blank lines) follow them.
        std::string next;
        core::ReadOutcome r = ctx.streams.readLine(io::kUnitInput, next);
        if (!r.done()) break;
        if (io::isProvenanceRecord(next)) dataFiles = true;
        if (dataFiles) {
            if (io::isProvenanceRecord(next) || core::isBlank(next)) continue;
            r.result = core::ReadResult::Error;
            r.record = ctx.streams.lineNumber(io::kUnitInput);
            r.field = 1;
            r.text = next;
        } else {
            ctx.streams.backspace(io::kUnitInput);
        }
        std::vector<double> row(static_cast<std::size_t>(n), 0.0);
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
        ctx.request.lastRows.push_back(row);
    }
    return Status::success();
}

Status calculateCompositionSets(RunContext& ctx) {
    RunSettings& rs = ctx.settings;
    io::Streams& st = ctx.streams;
    const bool list = rs.batchMode == 'Y' && st.isOpen(io::kUnitCompList);
    const int activities = st.isOpen(model::kUnitActivities) ? model::kUnitActivities : 0;
    io::PlotWriter writer(st, io::kUnitPlot, rs.summaryOff ? 0 : io::kUnitMaster, rs, ctx.phases, ctx.selection,
                          &ctx.models, activities);
    for (;;) {
        std::string entry;
        if (list) {
            if (!st.readLine(io::kUnitCompList, entry).done()) break;
            if (core::isBlank(entry)) continue;
            std::string plot = batchPlotFile(rs.batchLine, entry, ctx.batchLineCount);
            if (int e = st.open(io::kUnitPlot, plot, io::OpenMode::NewOrReplace); e != 0) {
                st.writeLine(io::kUnitBatchLog, "Error " + core::formatInteger(e, 3) + " opening plotfile " +
                                                          core::nameField(plot, 40));
                continue;
            }
            rs.unitNames[io::kPlotSlot] = plot;
            ctx.compositionName = batchCompositionFile(rs.batchLine, entry);
            // The set's composition before the plot header, which carries its labels.
            bool opened = true;
            if (Status s = readSetComposition(ctx, ctx.compositionName, opened); !s) return s;
            if (!opened) {
                st.writeLine(io::kUnitBatchLog, " Error opening composition file " + ctx.compositionName);
                st.discard(io::kUnitPlot);
                continue;
            }
        }
        const io::PlotHeaderTexts texts = io::plotHeaderTexts(rs, rs.xAxisText, rs.yAxisText);
        const calc::PlotWindow window = calc::plotWindow(rs);
        const bool labelled =
            io::writeCompositionLabels(st, kUnitLabels, ctx.models, window.xmin, window.xmax, window.ymin, window.ymax);
        writer.writeHeader(texts, labelled ? kUnitLabels : 0);
        st.writeLine(io::kUnitMaster, "**** Current plotfile = " + trimmed(rs.unitNames[io::kPlotSlot]));
        ui::showProgress(ctx.screens, "Starting time = " + timeOfDay());
        reportSolutionModels(ctx);
        calc::DiagramResult result;
        const Status s = calculateSet(ctx, result);
        const Status written = writeSet(ctx, writer, result);
        if (!s) return s;
        if (!written.ok()) return outputsNotWritten(written);
        // The log names the plot file once the run's outputs are saved.
        ctx.completedPlots.push_back(trimmed(rs.unitNames[io::kPlotSlot]));
        if (!list) break;
        st.close(io::kUnitPlot);
    }
    return Status::success();
}

}  // namespace app
