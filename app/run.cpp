#include "app/run.hpp"

#include "render/drawing.hpp"

#include <cctype>
#include <chrono>
#include <cmath>
#include <ctime>

#include "app/batch.hpp"
#include "app/calculation.hpp"
#include "app/database_step.hpp"
#include "app/files.hpp"
#include "app/options.hpp"
#include "app/phase_selection.hpp"
#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/files.hpp"
#include "io/plot_writer.hpp"
#include "io/property_summary.hpp"
#include "io/provenance.hpp"
#include "io/restart_file.hpp"

namespace app {
using namespace ui;
using core::pad;
using core::Status;

namespace {

using core::trimmed;



// Label style: read from the replayed input or taken from the options.
Status labelStyle(RunContext& ctx) {
    RunSettings& rs = ctx.settings;
    char c = rs.labelAnswer;
    if (rs.inputFromFile) {
        std::string text;
        core::Target t[] = {core::TextTarget{&text, 1}};
        core::ReadOutcome r = ctx.streams.read_record(io::kUnitInput, io::restartLayouts().labelStyle, t);
        if (r.result == core::ReadResult::EndOfFile) {
            ctx.say("");
            ctx.say("");
            ctx.say(" ***END OF FILE IN INPUT DATA,EXECUTION TERMINATED");
            return Status::stop("end of file in input data");
        }
        c = text.empty() ? ' ' : text[0];
    }
    if (c != 'Y' && c != 'N') c = 'N';
    rs.labelAnswer = c;
    ctx.request.labelStyle = c;
    return Status::success();
}

// The conditions of the run on the master output.
void writeConditions(RunContext& ctx) {
    const RunSettings& rs = ctx.settings;
    auto say7 = [&](const std::string& l) { ctx.streams.writeLine(io::kUnitMaster, l); };
    int t = rs.diagramType;
    std::string p, temp;
    if (t == calc::kTX || t == calc::kActT || t == calc::kActAct) {
        p = rs.saturationChoice == 1 ? "P(sat)" : rs.saturationChoice == 2 ? "P(geo) " : io::labelNumber(rs.pMin) + " bar";
    }
    if (t == calc::kPX || t == calc::kActAct) temp = io::labelNumber(rs.tMin) + " C";
    if (t == calc::kActP)
        temp = rs.saturationChoice == 1 ? "T(sat)" : rs.saturationChoice == 2 ? "T(geo) " : io::labelNumber(rs.tMin) + " C";
    if (!p.empty()) say7("  Pressure = " + p);
    if (!temp.empty()) say7("  Temperature = " + temp);
}

}  // namespace

namespace {

// The plot file's name cut before its first '.' or its first two blanks.  The
// cut looks at the file's own name only: a '.' in a directory ("../run.plt")
// would otherwise leave no name at all.
std::string drawingStem(std::string_view plotName) {
    std::string name(core::rtrim(plotName));
    const std::size_t slash = name.find_last_of('/');
    const std::size_t from = slash == std::string::npos ? 0 : slash + 1;
    std::size_t cut = name.find('.', from);
    std::size_t blanks = core::findBlanks(name, 2, from);
    if (blanks < cut) cut = blanks;
    if (cut != std::string::npos) name.resize(cut);
    return name;
}

}  // namespace

std::string dxfName(std::string_view plotName) { return drawingStem(plotName) + ".dxf"; }
std::string svgName(std::string_view plotName) { return drawingStem(plotName) + ".svg"; }

std::string countText(long long n, int width) {
    std::string t = std::to_string(n);
    if (static_cast<int>(t.size()) < width) t.insert(0, static_cast<std::size_t>(width) - t.size(), ' ');
    return t;
}

std::array<std::string, 6> completionLines(const RunSettings& rs, int batchLinesFailed, bool screenWidth) {
    std::array<std::string, 6> lines;
    if (rs.batchMode == 'Y') {
        lines[0] = "** BATCH RUN COMPLETED **";
        lines[1] = "*  KLV.LOG lists the calculated plot files *";
        // Lines that could not be run are not passed over in silence.
        lines[2] = batchLinesFailed == 0 ? std::string()
                   : "*  " + std::to_string(batchLinesFailed) +
                         (batchLinesFailed == 1 ? " line" : " lines") + " could not be run: see KLV.LOG *";
    } else {
        lines[0] = "Tabular Output : " + trimmed(rs.unitNames[io::kMasterSlot]);
        lines[1] = "Plot Output : " + trimmed(rs.unitNames[io::kPlotSlot]);
        const std::string plot = trimmed(rs.unitNames[io::kPlotSlot]);
        lines[2] = "DXF Output : " + dxfName(plot) + "  SVG: " + svgName(plot);
    }
    // Counts in four columns at least, and as many as they need: the 45
    // columns of the screen hold any count a run can reach.
    lines[3] = "Number of Reactions Examined = " + countText(rs.reactionsExamined, 4);
    lines[4] = "Number of Reactions Calculated = " + countText(rs.reactionsCalculated, 4);
    lines[5] = "Number of Reactions Plotted = " + countText(rs.reactionsPlotted, 4);
    if (screenWidth)
        for (std::string& l : lines)
            if (l.size() > 45) l.resize(45);
    return lines;
}

namespace {

// Where a run goes back to after a mistake the user can put right there.
enum class Back { Nowhere, Files, Options };

struct Setback {
    Back to = Back::Nowhere;
    std::string message;  // for the input-error screen (90 characters)
};

// The files a run writes on its units; they are saved together at its end.
constexpr int kRunOutputUnits[] = {io::kUnitMaster, io::kUnitPlot, io::kUnitRestart,
                                   model::kUnitActivities};

// The files a run writes.  A run that does not finish leaves none of them
// (nor, in a batch, hands them half-written to the next line's run).
void discardOutputs(RunContext& ctx) {
    const int units[] = {io::kUnitMaster, io::kUnitPlot, io::kUnitRestart, model::kUnitActivities,
                         model::kUnitSolutionFile};
    ctx.streams.abandon(units);
}

// The drawings of every plot file the run saved: the DXF file named on the
// completion screen and an SVG beside it, each carrying the program, the
// database (name, label, SHA-256) and the date.
Status writeDrawings(RunContext& ctx) {
    render::Provenance p;
    p.program = "pelkam " + std::string(ui::kProgramVersion);
    p.date = render::isoDateNow();
    for (const io::DataProvenance& d : ctx.provenance)
        if (d.role == io::kThermoDataRole && d.read()) {
            p.databaseFile = d.name;
            p.databaseLabel = d.label;
            p.databaseSha256 = d.sha256;
        }
    const RunSettings& rs = ctx.settings;
    const std::string summary = rs.summaryOff ? std::string() : trimmed(rs.unitNames[io::kMasterSlot]);
    for (const std::string& plot : ctx.completedPlots) {
        if (Status s = render::writeRunDrawings(plot, dxfName(plot), svgName(plot), p, summary); !s) {
            ctx.tk->consoleLine("pelkam: the drawings of " + plot + " could not be written: " + s.describe());
            return s;
        }
    }
    return Status::success();
}

// 16. The units of the run are closed and its outputs saved together: the
// restart file is written from the run's answers, the rows of the reactions
// calculated and the data files read; every file is written and flushed
// before any is renamed, and a batch log names the plot files only once they
// are on the disk.
Status saveOutputs(RunContext& ctx) {
    io::Streams& st = ctx.streams;
    for (int unit : {io::kUnitThermo, io::kUnitAqueous, io::kUnitInput}) st.close(unit);
    for (const std::string& line : io::restartRecords(ctx.request, ctx.calculatedRows, ctx.provenance))
        st.writeLine(io::kUnitRestart, line);
    if (Status s = st.commit(kRunOutputUnits); !s) return outputsNotWritten(s);
    if (ctx.settings.batchMode == 'Y')
        for (const std::string& plot : ctx.completedPlots)
            st.writeLine(io::kUnitBatchLog,
                          "Calculation completed. Plot output written to " + core::nameField(plot, 40));
    return writeDrawings(ctx);
}

// The input-error message for elements the database step could not use.
std::string elementMessage(const Status& s) {
    const std::string tail = " - try again";
    std::string text = s.what;
    if (!s.why.empty() && text.size() + 2 + s.why.size() + tail.size() <= 90) text += ": " + s.why;
    if (text.size() + tail.size() > 90) text.resize(90 - tail.size());
    if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text + tail;
}

// One attempt at the run, from the screen `from` on.
Status runSteps(RunContext& ctx, Back from, const std::string& message, Setback& back) {
    RunSettings& rs = ctx.settings;
    // 1. Curve-tracing defaults.
    ctx.tracing = calc::TraceLimits{};
    ctx.calculatedRows.clear();
    rs.reactionsExamined = rs.reactionsCalculated = rs.reactionsPlotted = 0;
    // 2. Files: the screens again only when the mistake lies in a file name.
    if (Status s = assignAndOpen(ctx, message, from == Back::Files); !s) return s;
    // 3. Run options.
    if (Status s = collectOptions(ctx); !s) return s;
    // 4. Element header, chemical system and the phases of the system.  The
    // elements typed on the options screen can be typed again there.
    DatabaseFault fault = DatabaseFault::DataFile;
    if (Status s = readDatabase(ctx, &fault); !s) {
        if (fault == DatabaseFault::ElementChoice && rs.batchMode != 'Y' && !rs.inputFromFile)
            back = {Back::Options, elementMessage(s)};
        return s;
    }
    // 5. Phase selection, axes and basis (with the solution-model screen).
    if (Status s = runEndMemberSelection(ctx.screens, ctx.streams, rs, ctx.phases, ctx.selection, ctx.request); !s) {
        // A fluid phase chosen with none of it in the fluid: the mole
        // fractions are put right on the options screen.
        if (s.code == core::StatusCode::Error && s.what == kFluidCompositionProblem)
            back = {Back::Options, s.why + " - try again"};
        return s;
    }
    if (Status s = prepareSelectedPhases(ctx.screens, ctx.streams, rs, ctx.phases, ctx.system, ctx.selection,
                                         ctx.models, ctx.request);
        !s) {
        // A solution file that cannot be read is named again on the files screen.
        const std::string solution = io::resolveInputName(trimmed(rs.solutionFile));
        if (s.code == core::StatusCode::Error && s.file == solution && rs.batchMode != 'Y')
            back = {Back::Files, openErrorMessage("Mineral Solution Data", trimmed(rs.solutionFile),
                                                    openFailureReason(solution, true))};
        return s;
    }
    const int phaseCount = ctx.selection.mainCount + ctx.selection.testCount;
    // 6. The activity axes.
    rs.xAxisText = ctx.selection.xAxis.text;
    rs.yAxisText = ctx.selection.yAxis.text;
    // 7. Batch notes.
    if (rs.batchMode == 'Y') {
        std::string run = trimmed(rs.batchLine.runName), dir = trimmed(rs.batchLine.directory);
        if (!run.empty()) ctx.streams.writeLine(io::kUnitMaster, "**** Restart file = " + run);
        if (!dir.empty()) ctx.streams.writeLine(io::kUnitMaster, "**** Path used = " + dir);
    }
    // 8. Property summary; 9. solid-solution parameters.
    io::writePropertySummary(ctx.streams, io::kUnitMaster, ctx.system, ctx.phases, ctx.selection.logActivity, rs.fluid,
                             phaseCount);
    writeSolidSolutionTable(ctx, phaseCount);
    // 10. Label style.
    if (Status s = labelStyle(ctx); !s) return s;
    // 11. Rows of the reactions calculated by a replayed run.
    if (Status s = readReplayedRows(ctx); !s) return s;
    // 12. The conditions on the master output.
    writeConditions(ctx);
    // 13-15. Composition sets.
    return calculateCompositionSets(ctx);
}

}  // namespace

Status outputsNotWritten(Status s) {
    s.code = core::StatusCode::Error;
    s.why += std::string(s.why.empty() ? "" : "; ") + "no output of this run was written (files of earlier runs are kept)";
    return s;
}

Status runCalculation(RunContext& ctx) {
    // An input mistake of an interactive run (a file that cannot be opened,
    // elements the database cannot use) shows its message and takes the user
    // back to the screen where it is put right, with the answers kept; the
    // outputs of the attempt are discarded and written afresh.  Replayed and
    // batch runs stop (or skip the batch line) as before.  The outputs of an
    // attempt are kept until all of them can be saved together.
    Back from = Back::Files;
    std::string message;  // blank: the configuration file is read
    for (;;) {
        Setback back;
        ctx.streams.deferSaves(true);
        ctx.completedPlots.clear();
        Status s = runSteps(ctx, from, message, back);
        if (s) s = saveOutputs(ctx);
        if (!s) discardOutputs(ctx);
        ctx.streams.deferSaves(false);
        ctx.tk->show(ctx.screens[kProgressScreen], 0);
        if (back.to == Back::Nowhere) return s;
        ctx.say(" " + back.message);
        if (!showInputError(ctx.screens, back.message)) return Status::quit();
        from = back.to;
        message = back.message;
    }
}

Status runDriver(RunContext& ctx) {
    Toolkit& tk = *ctx.tk;
    RunSettings& rs = ctx.settings;
    rs.batchLine.compositionList = std::string(40, ' ');
    ctx.batchLineCount = 0;
    tk.show(ctx.screens[kAboutScreen], 1);
    int batch = ctx.screens[kBatchScreen];
    if (!tk.runScreen(batch)) return Status::quit();
    tk.show(batch, 0);
    Status s;
    if (tk.getCheck(batch, kBatchCheck)) {
        s = runBatch(ctx, runCalculation);
    } else {
        rs.batchMode = 'N';
        s = runCalculation(ctx);
    }
    if (!s) return s;
    int h = ctx.screens[kCompletionScreen];
    const int failed = rs.batchMode == 'Y' ? ctx.batchLinesFailed : 0;
    auto lines = completionLines(rs, failed);
    for (int i = 0; i < 6; ++i) tk.setText(h, kCompLine1 + i, lines[static_cast<std::size_t>(i)]);
    // The same lines on the console, so that a run without a terminal
    // reports them too; there the file names are given whole.
    tk.consoleLine("Diagram Complete");
    for (const std::string& l : completionLines(rs, failed, false))
        if (!l.empty()) tk.consoleLine(l);
    tk.runScreen(h);
    if (failed > 0) {
        Status f = Status::stop("batch lines that could not be run");
        f.why = std::to_string(failed) + " (klv.log names them)";
        return f;
    }
    return Status::success();
}

Status startUp(RunContext& ctx) {
    ctx.screens = createPelkamScreens(*ctx.tk);
    Status s = runDriver(ctx);
    // An interactive output assigned to a file is saved at the end of the
    // program, whatever ended it; a failure to save it is reported.
    if (ctx.streams.isOpen(io::kUnitOutput) && !ctx.streams.isConsole(io::kUnitOutput) &&
        !ctx.streams.close(io::kUnitOutput) && s.code != core::StatusCode::Error)
        s = ctx.streams.failure();
    if (!ctx.tk->failure().empty()) {
        Status f = Status::error(ctx.tk->failure());
        return f;
    }
    return s;
}

}  // namespace app
