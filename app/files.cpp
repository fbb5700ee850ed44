#include "app/files.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "app/batch.hpp"
#include "core/text.hpp"
#include "io/config.hpp"
#include "io/provenance.hpp"
#include "model/solution_models.hpp"

namespace app {
namespace fs = std::filesystem;
using namespace ui;
using core::pad;
using core::Status;

namespace {

using core::trimmed;


bool sameExistingFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    if (a.empty() || b.empty() || !fs::exists(a, ec) || !fs::exists(b, ec)) return false;
    return fs::equivalent(a, b, ec);
}

// Database-version screen.
Status databaseScreen(RunContext& ctx) {
    RunSettings& rs = ctx.settings;
    Toolkit& tk = *ctx.tk;
    int h = ctx.screens[kDatabaseScreen];
    DatabaseGuess g = guessDatabaseVersion(rs);
    rs.databaseVersion = g.version;
    tk.setCheck(h, g.version == 1 ? kDbVersion1 : g.version == 2 ? kDbVersion2 : kDbFromFig, true);
    tk.setText(h, kDbMessage, g.message);
    if (!tk.runScreen(h)) return Status::quit();
    tk.show(h, 0);
    std::string& thermo = rs.unitNames[io::kThermoSlot];
    std::string& solution = rs.solutionFile;
    const bool v1 = tk.getCheck(h, kDbVersion1), v2 = tk.getCheck(h, kDbVersion2);
    if (v1 || v2) {
        if (!ctx.versionReplacedNames) {
            ctx.namesBeforeVersion[0] = thermo;
            ctx.namesBeforeVersion[1] = solution;
            ctx.versionReplacedNames = true;
        }
        thermo = v1 ? "JUN92.RQT" : "DEC06.DAT";
        solution = v1 ? "JUN92.SLN" : "DEC06.SLN";
        rs.databaseVersion = v1 ? 1 : 2;
    } else {
        // A version whose files could not be opened does not stick: its
        // names give way to the ones it replaced, unless they were edited.
        if (ctx.versionReplacedNames && guessDatabaseVersion(rs).version != 0) {
            thermo = ctx.namesBeforeVersion[0];
            solution = ctx.namesBeforeVersion[1];
            rs.databaseVersion = guessDatabaseVersion(rs).version;
        }
        ctx.versionReplacedNames = false;
    }
    return Status::success();
}

// `refill`: the fields show the current names; otherwise they keep what was
// typed in them (the screen shown again after a mistake).
Status filesScreen(RunContext& ctx, bool refill) {
    RunSettings& rs = ctx.settings;
    Toolkit& tk = *ctx.tk;
    int h = ctx.screens[kFilesScreen];
    static constexpr int kFields[] = {kFilesMineral, kFilesAqueous, kFilesInput, kFilesOutput,
                                      kFilesMaster,  kFilesPlot,    kFilesRestart};
    static constexpr int kSlots[] = {io::kThermoSlot, io::kAqueousSlot, io::kInputSlot,
                                     io::kOutputSlot, io::kMasterSlot,  io::kPlotSlot,
                                     io::kRestartSlot};
    if (refill) {
        // The names without the path prefix, which the screen adds again.
        const std::string prefix = rs.usePath == 'Y' ? pathPrefix(rs) : std::string();
        for (int i = 0; i < 7; ++i) {
            std::string name = trimmed(rs.unitNames[kSlots[i]]);
            const bool prefixed = kSlots[i] == io::kPlotSlot || kSlots[i] == io::kMasterSlot ||
                                  kSlots[i] == io::kRestartSlot || kSlots[i] == io::kInputSlot;
            if (prefixed && !prefix.empty() && name.rfind(prefix, 0) == 0) name.erase(0, prefix.size());
            tk.setText(h, kFields[i], name);
        }
        tk.setText(h, kFilesSolution, trimmed(rs.solutionFile));
        tk.setText(h, kFilesPath, std::string(core::rtrim(rs.path)));
        tk.setCheck(h, kFilesUsePath, pad(rs.path, 25).substr(0, 2) != "  ");
    }
    if (!tk.runScreen(h)) return Status::quit();
    tk.show(h, 0);

    // Read back in the order of the screen.  Names keep their whole length.
    rs.unitNames[io::kThermoSlot] = trimmed(tk.getText(h, kFilesMineral));
    rs.solutionFile = trimmed(tk.getText(h, kFilesSolution));
    for (int i = 1; i < 7; ++i) rs.unitNames[kSlots[i]] = trimmed(tk.getText(h, kFields[i]));
    rs.path = pad(tk.getText(h, kFilesPath), 25);
    if (tk.getCheck(h, kFilesRestartYes)) {
        rs.unitNames[io::kInputSlot] = "RESTART.RES";
        rs.restartChoice = 1;
    } else if (tk.getCheck(h, kFilesRestartLast)) {
        rs.unitNames[io::kInputSlot] = "RESTART.RES";
        rs.restartChoice = 2;
    } else {
        rs.restartChoice = 0;
    }
    applyRestartClash(rs);
    applyPath(rs, tk.getCheck(h, kFilesUsePath));
    return Status::success();
}

Status diagramScreen(RunContext& ctx) {
    Toolkit& tk = *ctx.tk;
    int h = ctx.screens[kDiagramScreen];
    if (!tk.runScreen(h)) return Status::quit();
    tk.show(h, 0);
    static constexpr int kRadios[] = {kDiagPT, kDiagTX, kDiagPX, kDiagActT, kDiagActP, kDiagActAct};
    static constexpr int kTypes[] = {0, 1, 2, 4, 5, 6};
    for (int i = 0; i < 6; ++i)
        if (tk.getCheck(h, kRadios[i])) ctx.settings.diagramType = kTypes[i];
    return Status::success();
}

}  // namespace

DatabaseGuess guessDatabaseVersion(const RunSettings& rs) {
    std::string thermo = core::upper(core::trim(rs.unitNames[io::kThermoSlot]));
    std::string solution = core::upper(core::trim(rs.solutionFile));
    if (thermo == "DEC06.DAT" && solution == "DEC06.SLN") return {2, "set as version 2.3 in PELKAM.FIG"};
    if (thermo == "JUN92.RQT" && solution == "JUN92.SLN") return {1, "set as version 1 in PELKAM.FIG  "};
    return {0, "version not set in PELKAM.FIG   "};
}

void applyRestartClash(RunSettings& rs) {
    std::string& in = rs.unitNames[io::kInputSlot];
    std::string& out = rs.unitNames[io::kRestartSlot];
    for (int pass = 0; pass < 2; ++pass) {
        bool clash = trimmed(in) == trimmed(out);
        // On a file system that ignores letter case, or through the
        // case-blind lookup of input files, two names can denote one file:
        // writing the new restart file must not replace the one replayed.
        if (!clash && !io::isConsoleName(in))
            clash = sameExistingFile(io::resolveInputName(in), trimmed(out));
        if (!clash) continue;
        out = trimmed(out) == "restart.lrs" ? "restart.2rs" : "restart.lrs";
    }
}

std::string pathPrefix(const RunSettings& rs) {
    std::string p = pad(rs.path, 25);
    std::size_t blank = p.find(' ');
    if (blank == std::string::npos || blank == 0) return {};  // no blank: not applied; blank path: nothing
    return p.substr(0, blank);
}

void applyPath(RunSettings& rs, bool usePathChecked) {
    if (!usePathChecked) {
        rs.usePath = 'N';
        return;
    }
    rs.usePath = 'Y';
    const std::string prefix = pathPrefix(rs);
    if (prefix.empty()) return;
    for (int slot : {io::kPlotSlot, io::kMasterSlot, io::kRestartSlot})
        rs.unitNames[slot] = prefix + trimmed(rs.unitNames[slot]);
    if (!io::isConsoleName(rs.unitNames[io::kInputSlot]))
        rs.unitNames[io::kInputSlot] = prefix + trimmed(rs.unitNames[io::kInputSlot]);
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    if (fs::exists(a, ec) && fs::exists(b, ec)) return fs::equivalent(a, b, ec);
    fs::path pa = fs::weakly_canonical(fs::absolute(a, ec), ec);
    fs::path pb = fs::weakly_canonical(fs::absolute(b, ec), ec);
    return pa.lexically_normal() == pb.lexically_normal();
}

std::vector<RunFile> runInputs(const RunContext& ctx) {
    const RunSettings& rs = ctx.settings;
    std::vector<RunFile> in;
    auto add = [&in](std::string role, const std::string& name) {
        std::string n = trimmed(name);
        if (!n.empty() && !io::isConsoleName(n)) in.push_back({std::move(role), io::resolveInputName(n)});
    };
    add("Mineral Data", rs.unitNames[io::kThermoSlot]);
    add("Mineral Solution Data", rs.solutionFile);
    add("Aqueous Data", rs.unitNames[io::kAqueousSlot]);
    add("Inter. Input", rs.unitNames[io::kInputSlot]);
    add("answer script", ctx.answerScript);
    add("configuration file", io::findConfigFile("."));
    add("rxtns_calib.dat", "rxtns_calib.dat");
    if (rs.batchMode == 'Y') {
        add("batch.dat", "batch.dat");
        if (!core::isBlank(rs.batchLine.compositionList)) add("composition list", batchListFile(rs.batchLine));
    }
    return in;
}

std::vector<RunFile> runOutputs(const RunSettings& rs) {
    std::vector<RunFile> out;
    auto add = [&out](std::string role, const std::string& name) {
        std::string n = trimmed(name);
        if (!n.empty() && !io::isConsoleName(n)) out.push_back({std::move(role), n});
    };
    if (!rs.summaryOff) add("Master Output", rs.unitNames[io::kMasterSlot]);
    add("Plot Output", rs.unitNames[io::kPlotSlot]);
    add("Restart File", rs.unitNames[io::kRestartSlot]);
    add("Inter. Output", rs.unitNames[io::kOutputSlot]);
    add("the reaction listing", "rxtns.lst");
    if (rs.printActivitiesOn) add("the activity listing", "activities");
    if (rs.batchMode == 'Y') add("the batch log klv.log", "klv.log");
    return out;
}

std::string outputNameClash(const std::vector<RunFile>& inputs, const std::vector<RunFile>& outputs) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const RunFile& o = outputs[i];
        for (const RunFile& in : inputs)
            if (sameFile(o.name, in.name))
                return o.role + " would overwrite the input " + in.role + ": choose another name (" + o.name + ")";
        for (std::size_t j = 0; j < i; ++j)
            if (sameFile(o.name, outputs[j].name))
                return o.role + " and " + outputs[j].role + " name one file: give each output a name of its own (" +
                       o.name + ")";
    }
    return {};
}

std::string openFailureReason(const std::string& name, bool reading) {
    if (name.empty()) return "no file name given";
    std::error_code ec;
    fs::path p(name);
    fs::file_status st = fs::status(p, ec);
    if (fs::is_directory(st)) return "it is a directory";
    if (reading) {
        if (!fs::exists(st)) return "no such file";
        if (!fs::is_regular_file(st)) return "not a regular file";
        if (::access(name.c_str(), R_OK) != 0) return std::strerror(errno);
        return "it cannot be read";
    }
    if (fs::exists(st) && !fs::is_regular_file(st)) return "not a regular file";
    fs::path dir = p.has_parent_path() ? p.parent_path() : fs::path(".");
    if (!fs::is_directory(dir, ec)) return "no such directory: " + dir.string();
    if (::access(dir.c_str(), W_OK) != 0)
        return std::string(std::strerror(errno)) + " (directory " + dir.string() + ")";
    if (fs::exists(st) && ::access(name.c_str(), W_OK) != 0) return std::strerror(errno);
    return "it cannot be written";
}

std::string openErrorMessage(std::string_view role, std::string_view name, std::string_view reason,
                               std::string_view note) {
    constexpr std::size_t kWidth = 90;  // the message field of the input-error screen
    std::string head = "Error opening " + std::string(role) + " ";
    std::string tail = ": " + std::string(reason) + std::string(note);
    std::string n(name);
    if (head.size() + n.size() + tail.size() > kWidth) {
        // The end of a long name says most: its front gives way.
        std::size_t room = kWidth > head.size() + tail.size() + 3 ? kWidth - head.size() - tail.size() - 3 : 0;
        if (room < 12) room = 12;
        if (n.size() > room) n = "..." + n.substr(n.size() - room);
    }
    return head + n + tail;
}

Status assignFiles(RunContext& ctx, std::string_view message) {
    RunSettings& rs = ctx.settings;
    if (core::isBlank(message)) {
        std::vector<std::string> warnings;
        ctx.configFound = io::readConfiguration(rs, ".", &warnings);
        ctx.versionReplacedNames = false;
        if (!ctx.configFound)
            ctx.tk->consoleLine("No PELKAM.fig in the working directory: the default file names are used");
        for (const std::string& w : warnings) ctx.tk->consoleLine(w);
        if (rs.batchMode == 'Y') {
            applyBatchNames(rs);
            applyRestartClash(rs);
            // The batch loop logs a line whose outputs would replace its inputs.
            const std::string clash = outputNameClash(runInputs(ctx), runOutputs(rs));
            return clash.empty() ? Status::success() : Status::error(clash);
        }
    }
    if (rs.batchMode == 'Y') return Status::success();
    if (Status s = databaseScreen(ctx); !s) return s;
    // An output may not replace an input of the run nor another output: the
    // files screen is asked again, with what was typed in it.
    for (bool refill = true;; refill = false) {
        if (Status s = filesScreen(ctx, refill); !s) return s;
        const std::string clash = outputNameClash(runInputs(ctx), runOutputs(rs));
        if (clash.empty()) break;
        ctx.tk->consoleLine(clash);
        if (!showInputError(ctx.screens, clash)) return Status::quit();
    }
    if (io::isConsoleName(rs.unitNames[io::kInputSlot]))
        if (Status s = diagramScreen(ctx); !s) return s;
    return Status::success();
}

namespace {

// Temporaries left beside the outputs by a run that was killed while it
// saved them are removed, and the user told: that run's outputs may be a mix
// of two runs.
void removeLeftovers(RunContext& ctx) {
    std::vector<std::string> outputs;
    for (const RunFile& f : runOutputs(ctx.settings)) outputs.push_back(f.name);
    for (const std::string& f : io::removeStaleTemporaries(outputs))
        ctx.tk->consoleLine("Removed " + f + ", left by a run that was interrupted while saving its outputs: " +
                             "the files beside it may come from different runs");
}

// The data files the replayed run recorded at the end of its restart file
// (none in restart files written before they were recorded).
std::vector<io::DataProvenance> recordedProvenance(io::Streams& st, int unit) {
    std::vector<io::DataProvenance> recorded;
    std::string line;
    while (st.readLine(unit, line).done()) {
        io::DataProvenance p;
        if (io::readProvenanceRecord(line, p)) recorded.push_back(std::move(p));
    }
    st.rewind(unit);
    return recorded;
}

// The data files of the run with their digests, on the master output below
// the unit listing; a replay whose data differ from the data recorded by the
// replayed run says so here and on the console, and goes on.
void listDataFiles(RunContext& ctx) {
    const RunSettings& rs = ctx.settings;
    io::Streams& st = ctx.streams;
    auto name = [&](const std::string& n) { return io::resolveInputName(trimmed(n)); };
    ctx.provenance = {io::provenanceOf(io::kThermoDataRole, name(rs.unitNames[io::kThermoSlot]), true),
                      io::provenanceOf(io::kSolutionDataRole, name(rs.solutionFile)),
                      io::provenanceOf(io::kAqueousDataRole, name(rs.unitNames[io::kAqueousSlot]))};
    for (const io::DataProvenance& p : ctx.provenance) st.writeLine(io::kUnitMaster, io::provenanceLine(p));
    if (rs.inputFromFile) {
        for (const io::DataProvenance& r : recordedProvenance(st, io::kUnitInput)) {
            for (const io::DataProvenance& p : ctx.provenance) {
                if (p.role != r.role || p.sha256 == r.sha256) continue;
                const std::string note = " " + p.role + " " + p.name + " is not the file the replayed run read (" +
                                         r.name + ", SHA-256 " + r.sha256 + "): results may differ";
                st.writeLine(io::kUnitMaster, note);
                ctx.tk->consoleLine(note.substr(1));
            }
        }
    }
    st.writeLine(io::kUnitMaster, " ");
}

}  // namespace

int openUnits(RunContext& ctx) {
    RunSettings& rs = ctx.settings;
    io::Streams& st = ctx.streams;
    auto name = [&](int slot) { return trimmed(rs.unitNames[slot]); };
    rs.inputFromFile = !io::isConsoleName(name(io::kInputSlot));
    removeLeftovers(ctx);
    // A number too wide for its field would make these files unreadable.
    for (int unit : {io::kUnitMaster, io::kUnitPlot, io::kUnitRestart}) st.requireFit(unit);

    if (st.open(io::kUnitThermo, io::resolveInputName(name(io::kThermoSlot)), io::OpenMode::Existing))
        return io::kUnitThermo;
    if (st.open(io::kUnitAqueous, io::resolveInputName(name(io::kAqueousSlot)), io::OpenMode::Existing))
        return io::kUnitAqueous;
    // The solution-properties file is read later in every run; a name that
    // cannot be opened is found here, where the files can still be named again.
    if (st.open(model::kUnitSolutionFile, io::resolveInputName(trimmed(rs.solutionFile)),
                io::OpenMode::Existing))
        return model::kUnitSolutionFile;
    st.close(model::kUnitSolutionFile);
    if (rs.summaryOff) {
        st.open(io::kUnitMaster, "summary", io::OpenMode::Scratch);
    } else if (st.open(io::kUnitMaster, name(io::kMasterSlot), io::OpenMode::NewOrReplace)) {
        return io::kUnitMaster;
    }
    if (st.open(io::kUnitPlot, name(io::kPlotSlot), io::OpenMode::NewOrReplace)) return io::kUnitPlot;
    if (st.open(io::kUnitRestart, name(io::kRestartSlot), io::OpenMode::NewOrReplace))
        return io::kUnitRestart;
    if (rs.inputFromFile) {
        st.close(io::kUnitInput);
        if (st.open(io::kUnitInput, io::resolveInputName(name(io::kInputSlot)), io::OpenMode::Existing))
            return io::kUnitInput;
    } else {
        st.open(io::kUnitInput, "CON:", io::OpenMode::Existing);
    }
    // An interactive output already open on its file (a run that went back
    // to an earlier screen) goes on: its messages are kept.
    if (!io::isConsoleName(name(io::kOutputSlot)) &&
        !(st.isOpen(io::kUnitOutput) && st.name(io::kUnitOutput) == name(io::kOutputSlot))) {
        st.close(io::kUnitOutput);
        if (st.open(io::kUnitOutput, name(io::kOutputSlot), io::OpenMode::NewOrReplace))
            return io::kUnitOutput;
        st.keepOnAbort(io::kUnitOutput);
    }

    static constexpr const char* kLabels[] = {
        " UNIT  3 (THERMO DATA)   IS ASSIGNED TO: ", " UNIT  4 (AQUEOUS DATA)  IS ASSIGNED TO: ",
        " UNIT  5 (INTER. INPUT)  IS ASSIGNED TO: ", " UNIT  6 (INTER. OUTPUT) IS ASSIGNED TO: ",
        " UNIT  7 (MASTER OUTPUT) IS ASSIGNED TO: ", " UNIT  8 (PLOT DATA)     IS ASSIGNED TO: ",
        " UNIT 10 (RESTART FILE)  IS ASSIGNED TO: "};
    for (int i = 0; i < 7; ++i)
        st.writeLine(io::kUnitMaster, std::string(kLabels[i]) + pad(rs.unitNames[i], 20));
    st.writeLine(io::kUnitMaster, " ");
    listDataFiles(ctx);
    return 0;
}

namespace {

// A file of the run that could not be opened: its field on the files screen,
// its name and why.
struct OpenFailure {
    std::string role, name, reason, note;
};

OpenFailure openFailureOf(const RunContext& ctx, int unit) {
    const RunSettings& rs = ctx.settings;
    static constexpr const char* kRoles[] = {"Mineral Data",  "Aqueous Data", "Inter. Input", "Inter. Output",
                                             "Master Output", "Plot Output",  "Restart File"};
    OpenFailure f{"Mineral Solution Data", trimmed(rs.solutionFile), {}, {}};
    bool reading = true;
    for (std::size_t i = 0; i < 7; ++i) {
        if (io::kUnitNumbers[i] != unit) continue;
        f.role = kRoles[i];
        f.name = trimmed(rs.unitNames[i]);
        reading = unit == io::kUnitThermo || unit == io::kUnitAqueous || unit == io::kUnitInput;
    }
    f.reason = openFailureReason(reading ? io::resolveInputName(f.name) : f.name, reading);
    const bool dataFile = unit == io::kUnitThermo || unit == io::kUnitAqueous ||
                          unit == model::kUnitSolutionFile;
    if (dataFile && !ctx.configFound) f.note = " (no PELKAM.fig)";
    return f;
}

}  // namespace

Status assignAndOpen(RunContext& ctx, std::string message, bool assign) {
    RunSettings& rs = ctx.settings;
    for (;;) {
        if (assign)
            if (Status s = assignFiles(ctx, message); !s) return s;
        assign = true;
        const int failed = openUnits(ctx);
        if (failed == 0) return Status::success();
        const OpenFailure f = openFailureOf(ctx, failed);
        message = openErrorMessage(f.role, f.name, f.reason, f.note);
        // Nothing of this attempt is kept: the units are opened again.
        for (int unit : io::kUnitNumbers)
            if (unit != io::kUnitOutput && unit != io::kUnitInput) ctx.streams.discard(unit);
        ctx.streams.discard(io::kUnitInput);
        ctx.streams.open(io::kUnitInput, "CON:", io::OpenMode::Existing);
        if (rs.batchMode == 'Y') {
            ctx.streams.writeLine(io::kUnitBatchLog, "UNIT " + core::formatInteger(failed, 2) +
                                                                ": CANNOT OPEN FILE " + core::nameField(f.name, 40));
            Status s = Status::error("Error opening " + f.role, f.reason);
            s.file = f.name;
            return s;
        }
        // The message goes to the console too, where it can still be read.
        ctx.say(" " + message);
        if (!showInputError(ctx.screens, message)) return Status::quit();
    }
}

}  // namespace app
