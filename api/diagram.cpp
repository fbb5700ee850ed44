// A whole diagram from the answers of a run, and its plot file.
#include <algorithm>

#include "api/internal.hpp"
#include "core/text.hpp"
#include "io/composition_file.hpp"
#include "io/files.hpp"
#include "io/plot_reader.hpp"
#include "io/plot_writer.hpp"
#include "io/sln_reader.hpp"

namespace pelkam {
namespace {

using detail::errorOf;
using detail::requestError;

constexpr int kPlotUnit = 8;
constexpr int kLabelUnit = 16;
constexpr int kCompositionUnit = 15;

std::size_t at(int i) { return static_cast<std::size_t>(i); }

// The lines of a file, or false when it cannot be opened.
bool readLines(io::Streams& streams, const std::string& name, std::vector<std::string>& lines) {
    lines.clear();
    if (name.empty() || streams.open(kCompositionUnit, name, io::OpenMode::Existing) != 0) return false;
    for (std::string line; streams.readLine(kCompositionUnit, line).done();) lines.push_back(line);
    streams.close(kCompositionUnit);
    return true;
}

// The solution models of the request: the slots of the models with a phase
// in the run, the answers taken for them, and the composition file read for
// the models used.
Result<void> takeSolutionAnswers(const calc::SolutionAnswers& answers, const std::string& solutionFile,
                                 detail::PreparedRun& run, detail::CapturedStreams& captured) {
    const bool anyUsed =
        std::any_of(answers.models.begin(), answers.models.end(), [](const calc::ModelAnswer& m) { return m.useFlag == 'Y'; });
    if (solutionFile.empty()) {
        if (anyUsed) return requestError("the request uses solution models: the solution-properties file is needed");
        return {};
    }
    io::Streams& streams = captured.streams;
    model::SolutionModelSet& models = run.models;
    if (core::Status s = io::readSolutionModels(solutionFile, {}, models, streams, detail::kMessagesUnit); !s)
        return errorOf(s, captured.lines);
    calc::linkSolutionModels(run.phases, run.selection, models);
    model::CompositionSet& cs = models.composition;
    if (static_cast<int>(answers.models.size()) != cs.slotCount)
        return requestError("the run has " + std::to_string(cs.slotCount) + " solution models, the answers are for " +
                            std::to_string(answers.models.size()));
    for (int s = 0; s < cs.slotCount; ++s) {
        model::ModelSlot& slot = cs.slots[at(s)];
        const calc::ModelAnswer& a = answers.models[at(s)];
        if (core::rtrim(a.modelName) != core::rtrim(slot.name)) {
            Error e = requestError("solution model " + std::to_string(s + 1) + " of the run is " +
                                   std::string(core::rtrim(slot.name)) + ", not this model");
            e.value = std::string(core::rtrim(a.modelName));
            return e;
        }
        if (a.useFlag != 'Y' && a.useFlag != 'N') return requestError("use flag is not Y or N");
        slot.useFlag = a.useFlag;
        slot.variant = 0;
        if (slot.useFlag != 'Y') continue;
        const model::SolutionModel& m = models.models[at(slot.model - 1)];
        for (int v = 0; v < m.mixingModelCount && slot.variant == 0; ++v)
            if (core::pad(m.mixingModels[at(v)].keyword, 8) == core::pad(a.variantKeyword, 8)) slot.variant = v + 1;
        if (slot.variant == 0) {
            Error e = requestError("no mixing variant of this name in model " + std::string(core::rtrim(slot.name)));
            e.value = std::string(core::rtrim(a.variantKeyword));
            return e;
        }
    }
    calc::applyModelChoice(run.phases, run.selection, models);
    if (!cs.anyModelUsed) return {};

    if (core::Status s = io::readSolutionModels(solutionFile, calc::chosenVariants(cs), models, streams,
                                                detail::kMessagesUnit);
        !s)
        return errorOf(s, captured.lines);
    const std::string file(core::trim(answers.compositionFile));
    std::vector<std::string> lines;
    if (!readLines(streams, io::resolveInputName(file), lines))
        return detail::fileError("cannot open mineral compositions file", file);
    if (core::Status s = io::applyCompositionFile(lines, file, run.phases, run.selection.logActivity, models); !s)
        return errorOf(s, captured.lines);
    cs.fileName = core::pad(file, 40);
    return {};
}

PlotLabel labelOf(const calc::CurveLabel& l) { return PlotLabel{l.x, l.y, l.height, l.angle, l.text}; }

DiagramCurve curveOf(const calc::PlottedCurve& c) {
    DiagramCurve out;
    out.number = c.number;
    out.reaction = std::string(core::rtrim(c.reactionText));
    for (const calc::CurvePoint& p : c.points) out.points.push_back(PlotPoint{p.x, p.y, p.flag == calc::kNewStretch});
    for (const calc::CurveLabel& l : c.labels) out.labels.push_back(labelOf(l));
    out.truncated = c.truncated;
    out.unusable = c.unusable;
    return out;
}

}  // namespace

Result<std::vector<PhaseAnswer>> phaseAnswers(const Database& database, std::span<const std::string> included) {
    const model::PhaseTable& phases = database.data().phases;
    std::vector<PhaseAnswer> out;
    for (int i = 0; i < phases.count; ++i) out.push_back(PhaseAnswer{phases[i].name, calc::kExclude, 1.0});
    for (const std::string& name : included) {
        const int i = database.find(name);
        if (i < 0)
            return requestError("unknown phase '" + name + "': no abbreviation or name in " + database.file() +
                                " matches it");
        out[at(i)].optionCode = calc::kInclude;
    }
    return out;
}

Result<Diagram> computeDiagram(const RunRequest& request, const DiagramFiles& files) {
    LoadOptions load;
    load.diagramType = static_cast<DiagramType>(request.options.diagramType);
    load.routines = FluidRoutines{request.options.fluid.water, request.options.fluid.co2, request.options.fluid.mixing};
    load.aqueousFile = files.aqueous;
    Result<std::shared_ptr<detail::DatabaseData>> database =
        detail::loadDatabaseData(files.database, request.elementLine, load);
    if (!database) return database.error();

    auto data = std::make_shared<detail::DiagramData>();
    calc::DiagramOptions& options = data->options;
    options = request.options;
    options.labelAnswer = request.labelStyle == 'Y' ? 'Y' : 'N';
    detail::PreparedRun& run = data->run;
    run.messages = (*database)->messages;
    if (Result<void> prepared = detail::prepareRun(**database, options, request.phases, run); !prepared)
        return prepared.error();
    detail::CapturedStreams captured;
    captured.lines = run.messages;
    if (Result<void> taken = takeSolutionAnswers(request.solutions, files.solutionModels, run, captured); !taken)
        return taken.error();
    run.messages = std::move(captured.lines);

    model::GibbsEvaluator gibbs;
    gibbs.table = &run.phases;
    gibbs.models = &run.models;
    auto log = std::make_unique<calc::RangeEventLog>();
    calc::DiagramInputs in;
    in.options = &options;
    in.phases = &run.phases;
    in.selection = &run.selection;
    if (request.lastReactionsOnly) in.lastRows = &request.lastRows;
    calc::DiagramObserver quiet;
    if (core::Status s = calc::computeDiagram(in, gibbs, log.get(), quiet, data->result); !s)
        return errorOf(s, run.messages);
    for (const calc::PlottedCurve& c : data->result.curves) data->curves.push_back(curveOf(c));
    for (const calc::DiagramNotice& n : data->result.notices) data->notices.push_back(n.text);
    return Diagram(std::move(data));
}

const std::vector<DiagramCurve>& Diagram::curves() const { return data_->curves; }
const std::vector<std::string>& Diagram::notices() const { return data_->notices; }
const std::vector<std::string>& Diagram::messages() const { return data_->run.messages; }
const std::vector<std::vector<double>>& Diagram::rows() const { return data_->result.rows; }
long Diagram::examined() const { return data_->result.examined; }
long Diagram::calculated() const { return data_->result.calculated; }
long Diagram::plotted() const { return data_->result.plotted; }

Result<void> writePlotFile(const Diagram& diagram, const std::string& path) {
    const detail::DiagramData& d = diagram.data();
    const detail::PreparedRun& run = d.run;
    io::Streams streams;
    if (streams.open(kPlotUnit, path, io::OpenMode::NewOrReplace) != 0)
        return detail::fileError("cannot create the plot file", path);
    io::PlotWriter writer(streams, kPlotUnit, 0, d.options, run.phases, run.selection, &run.models);
    const calc::PlotWindow w = calc::plotWindow(d.options);
    const bool labelled = io::writeCompositionLabels(streams, kLabelUnit, run.models, w.xmin, w.xmax, w.ymin, w.ymax);
    writer.writeHeader(io::plotHeaderTexts(d.options, run.selection.xAxis.text, run.selection.yAxis.text),
                       labelled ? kLabelUnit : 0);
    for (const calc::PlottedCurve& c : d.result.curves) writer.writeCurve(c);
    if (!writer.status().ok()) return errorOf(writer.status());
    if (!streams.close(kPlotUnit)) {
        Error e = errorOf(streams.failure());
        e.kind = ErrorKind::File;
        return e;
    }
    return {};
}

Result<PlotFile> readPlotFile(const std::string& path) {
    io::PlotFileContents contents;
    if (core::Status s = io::readPlotFile(path, contents); !s) {
        Error e = errorOf(s);
        e.kind = s.line > 0 ? ErrorKind::Data : ErrorKind::File;
        return e;
    }
    PlotFile out;
    out.version = contents.version;
    out.diagramType = static_cast<DiagramType>(contents.diagramType);
    out.diagramName = contents.diagramName;
    out.xMin = contents.window.xmin, out.xMax = contents.window.xmax;
    out.yMin = contents.window.ymin, out.yMax = contents.window.ymax;
    out.width = contents.width, out.height = contents.height;
    out.xTitle = contents.titles.x, out.yTitle = contents.titles.y, out.thirdTitle = contents.titles.third;
    out.xLabel = contents.xLabel, out.yLabel = contents.yLabel, out.labelLines = contents.labelLines;
    for (const io::PlotCurveRecord& c : contents.curves) {
        PlotFile::Curve curve;
        curve.line = c.line;
        curve.waterCurve = c.waterCurve;
        for (const calc::CurvePoint& p : c.points) curve.points.push_back(PlotPoint{p.x, p.y, p.flag == calc::kNewStretch});
        for (const io::PlotLabelRecord& l : c.labels) curve.labels.push_back(PlotLabel{l.x, l.y, l.height, l.angle, l.text});
        out.curves.push_back(std::move(curve));
    }
    return out;
}

}  // namespace pelkam
