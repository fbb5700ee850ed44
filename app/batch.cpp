#include "app/batch.hpp"

#include "app/run_context.hpp"
#include "core/text.hpp"
#include "ui/toolkit.hpp"

namespace app {
using core::pad;
using core::Status;

namespace {

using core::trimmed;


bool starred(std::string_view s) {
    std::string_view t = core::trim(s);
    return !t.empty() && t.front() == '*';
}
std::string unstarred(std::string_view s) {
    std::string t = trimmed(s);
    if (!t.empty() && t.front() == '*') t.erase(0, 1);
    return trimmed(t);
}

}  // namespace

bool parseBatchLine(std::string_view raw, BatchLine& b) {
    b = BatchLine{};
    std::string line = pad(core::rtrim(raw), 80);
    std::size_t commas[4];
    std::size_t from = 0;
    int found = 0;
    for (; found < 4; ++found) {
        std::size_t c = line.find(',', from);
        if (c == std::string::npos) break;
        commas[found] = c;
        from = c + 1;
    }
    auto field = [&](std::size_t a, std::size_t e) { return a < e ? line.substr(a, e - a) : std::string(); };
    // Fields present before the last comma found; the rest are blank.
    std::size_t start = 0;
    std::string f[5];
    for (int i = 0; i < found; ++i) {
        f[i] = field(start, commas[i]);
        start = commas[i] + 1;
    }
    if (found < 4) {
        f[found] = trimmed(field(start, line.size()));
    } else {
        std::size_t end = core::findBlanks(line, 3, start);
        if (end == std::string::npos) end = line.size();
        f[4] = field(start, end);
        // The extension characters stand right after the three terminating blanks.
        if (end + 3 < line.size()) b.extension = pad(line.substr(end + 3, 3), 3);
    }
    b.directory = pad(core::trim(f[0]), 40);
    b.runName = pad(core::trim(f[1]), 60);
    b.thermoFile = pad(core::trim(f[2]), 60);
    b.aqueousFile = pad(core::trim(f[3]), 60);
    b.compositionList = pad(core::trim(f[4]), 40);
    return !core::isBlank(unstarred(b.runName));
}

std::string batchPrefix(const BatchLine& b) {
    std::size_t two = core::findBlanks(b.directory, 2);
    std::string d = two == std::string::npos ? b.directory : b.directory.substr(0, two);
    return trimmed(d);
}

void applyBatchNames(RunSettings& rs) {
    const BatchLine& b = rs.batchLine;
    std::string prefix = batchPrefix(b);
    std::string in = prefix + "restart.res";
    std::string out = prefix + "restart.lrs";
    rs.unitNames[io::kMasterSlot] = prefix + trimmed(rs.unitNames[io::kMasterSlot]);
    rs.unitNames[io::kPlotSlot] = prefix + trimmed(rs.unitNames[io::kPlotSlot]);
    std::string run = unstarred(b.runName);
    std::string runPrefix = starred(b.runName) ? std::string() : prefix;
    if (run != "restart.res") {
        in = runPrefix + run;
        std::size_t point = run.find('.');
        std::string base = point == std::string::npos ? run + "." : run.substr(0, point + 1);
        rs.unitNames[io::kMasterSlot] = runPrefix + base + "sum";
        rs.unitNames[io::kPlotSlot] = runPrefix + base + "plt";
        out = runPrefix + base + "lrs";
    }
    rs.unitNames[io::kInputSlot] = in;
    rs.unitNames[io::kRestartSlot] = out;
    if (!core::isBlank(b.thermoFile))
        rs.unitNames[io::kThermoSlot] = starred(b.thermoFile) ? unstarred(b.thermoFile) : prefix + trimmed(b.thermoFile);
    if (!core::isBlank(b.aqueousFile))
        rs.unitNames[io::kAqueousSlot] =
            starred(b.aqueousFile) ? unstarred(b.aqueousFile) : prefix + trimmed(b.aqueousFile);
}

std::string batchListFile(const BatchLine& b) {
    if (starred(b.compositionList)) return unstarred(b.compositionList);
    std::string prefix = batchPrefix(b);
    if (!core::isBlank(b.directory.substr(0, 5))) return prefix + trimmed(b.compositionList);
    return trimmed(b.compositionList);
}

std::string batchCompositionFile(const BatchLine& b, std::string_view entry) {
    std::string name = trimmed(entry);
    std::string ext = trimmed(b.extension);
    if (!ext.empty()) {
        std::size_t point = name.rfind('.');
        name = (point == std::string::npos ? name : name.substr(0, point)) + "." + ext;
    }
    if (starred(b.compositionList)) {
        std::string list = unstarred(b.compositionList);
        std::size_t slash = list.rfind('/');
        return (slash == std::string::npos ? std::string() : list.substr(0, slash + 1)) + name;
    }
    return batchPrefix(b) + name;
}

std::string batchPlotFile(const BatchLine& b, std::string_view entry, int lineCounter) {
    std::string name = trimmed(entry);
    std::size_t cut = name.find_first_of(". ");
    if (cut != std::string::npos) name.resize(cut);
    std::string prefix = core::isBlank(b.directory) ? std::string() : batchPrefix(b);
    return prefix + name + ".p" + std::to_string(lineCounter);
}

Status runBatch(RunContext& ctx, const std::function<Status(RunContext&)>& runOne) {
    io::Streams& st = ctx.streams;
    if (st.open(io::kUnitBatch, "batch.dat", io::OpenMode::Existing) != 0) {
        // The batch file is looked for under any letter case of its name.
        if (st.open(io::kUnitBatch, "BATCH.DAT", io::OpenMode::Existing) != 0) {
            ui::showInputError(ctx.screens, " Cannot open file BATCH.DAT - must be in correct path");
            return Status::stop("Cannot open file BATCH.DAT");
        }
    }
    ctx.settings.batchMode = 'Y';
    ctx.batchLineCount = 0;
    ctx.batchLinesFailed = 0;
    bool firstLog = true;
    bool logLost = false;  // a record of klv.log could not be saved
    auto closeLog = [&] { logLost = !st.close(io::kUnitBatchLog) || logLost; };
    std::string line;
    while (st.readLine(io::kUnitBatch, line).done()) {
        // The line counter is the line's number in batch.dat, blank lines
        // counted, so that the log and the plot-file names point at it.
        ctx.batchLineCount = st.lineNumber(io::kUnitBatch);
        if (core::isBlank(line)) continue;
        const std::string lineNo = std::to_string(ctx.batchLineCount);
        if (st.open(io::kUnitBatchLog, "klv.log",
                    firstLog ? io::OpenMode::NewOrReplace : io::OpenMode::Append) != 0)
            logLost = true;
        st.keepOnAbort(io::kUnitBatchLog);
        firstLog = false;
        RunSettings& rs = ctx.settings;
        rs.batchLine = BatchLine{};
        bool named = true;
        if (!core::isBlank(pad(line, 10))) named = parseBatchLine(line, rs.batchLine);
        if (!named) {
            st.writeLine(io::kUnitBatchLog,
                          " Batch line " + lineNo + " names no run (field 2 is blank); line skipped");
            closeLog();
            ++ctx.batchLinesFailed;
            continue;
        }
        bool listOpen = false;
        if (!core::isBlank(rs.batchLine.compositionList)) {
            std::string list = batchListFile(rs.batchLine);
            if (st.open(io::kUnitCompList, list, io::OpenMode::Existing) != 0) {
                // Logged, and said on the console; no screen stops the batch.
                st.writeLine(io::kUnitBatchLog,
                              " Cannot open file with names of composition files " + pad(rs.batchLine.compositionList, 40));
                closeLog();
                ctx.tk->consoleLine("Batch line " + lineNo + ": Cannot open file listing composition files - " + list);
                ++ctx.batchLinesFailed;
                continue;
            }
            listOpen = true;
        }
        Status s = runOne(ctx);
        if (listOpen) st.close(io::kUnitCompList);
        if (s.code == core::StatusCode::Quit) {
            closeLog();
            return s;
        }
        // A line that cannot be run (a malformed or truncated replay file, a
        // data error) is logged and the batch goes on with the next line.
        if (!s) {
            std::string why = " Batch line " + lineNo + ": " + s.describe() + "; the rest of the line is skipped";
            st.writeLine(io::kUnitBatchLog, why);
            ctx.tk->consoleLine(why);
            ++ctx.batchLinesFailed;
        }
        closeLog();
    }
    st.close(io::kUnitBatch);
    // The log is what tells the user which plot files were made: a batch
    // whose log could not be written did not do what it was asked.
    if (logLost) return Status::error("cannot write the batch log", "klv.log could not be saved");
    return Status::success();
}

}  // namespace app
