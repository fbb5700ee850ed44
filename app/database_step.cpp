#include "app/database_step.hpp"

#include <array>

#include "app/run_context.hpp"
#include "core/layout.hpp"
#include "core/text.hpp"
#include "io/database.hpp"
#include "model/activity.hpp"

namespace app {
using core::Status;

namespace {

// The loader's stops that come from the chosen elements, not from the file.
bool elementChoiceStop(const Status& s) {
    return s.what == "fewer than two phases of the database contain only the chosen elements" ||
           s.what == "too many phases for the chosen system";
}

}  // namespace

Status readDatabase(RunContext& ctx, DatabaseFault* fault) {
    RunSettings& rs = ctx.settings;
    io::Streams& st = ctx.streams;
    if (fault) *fault = DatabaseFault::DataFile;
    if (Status s = io::readElementHeader(st, io::kUnitThermo, ctx.system); !s) return s;

    // The element line: from the replayed input or from the options.
    std::string line;
    if (rs.inputFromFile) {
        for (;;) {
            core::ReadOutcome r = st.readLine(io::kUnitInput, line);
            if (r.result == core::ReadResult::EndOfFile) {
                ctx.say("");
                ctx.say("");
                ctx.say(" ***END OF FILE IN INPUT DATA,EXECUTION TERMINATED");
                Status s = Status::stop("end of file in input data before the element line");
                s.file = std::string(core::trim(rs.unitNames[io::kInputSlot]));
                return s;
            }
            if (!core::isBlank(line)) break;
        }
        rs.elements = core::pad(line, 120);
    } else {
        line = rs.elements;
    }
    if (Status s = io::setSystemLine(ctx.system, std::string(core::trim(core::pad(line, 120))), rs.diagramType, st, io::kUnitOutput);
        !s) {
        if (fault) *fault = DatabaseFault::ElementChoice;
        return s;
    }
    ctx.request.elementLine = std::string(core::rtrim(ctx.system.systemLine));

    io::LoadOptions o;
    o.unitThermo = io::kUnitThermo;
    o.unitAqueous = io::kUnitAqueous;
    o.unitMessages = io::kUnitOutput;
    o.diagramType = rs.diagramType;
    o.waterRoutine = rs.fluid.water;
    o.keepAll = false;
    o.axisText = core::pad(rs.xAxisText, 20);
    if (Status s = io::loadDatabase(o, st, ctx.system, ctx.phases); !s) {
        if (fault && elementChoiceStop(s)) *fault = DatabaseFault::ElementChoice;
        return s;
    }

    ctx.gibbs.table = &ctx.phases;
    ui::Toolkit* tk = ctx.tk;
    ctx.gibbs.fluidCache.warn = [tk](std::string_view line) { tk->consoleLine(line); };
    ctx.gibbs.models = &ctx.models;
    ctx.rangeLog.events.clear();
    ctx.rangeLog.told = 0;
    ctx.gibbs.events = &ctx.rangeLog.events;
    return Status::success();
}

void writeSolidSolutionTable(RunContext& ctx, int phaseCount) {
    auto say7 = [&](std::string_view l) { ctx.streams.writeLine(io::kUnitMaster, l); };
    say7("");
    say7("       SOLID SOLUTION PARAMETERS (Joules): a+bT+c(P-1)");
    say7("");
    say7(std::string(30, ' ') + "   a                    b                        c         log10(fixed act)");
    static const core::Layout member("(1X,A20,1X,4G23.15)");
    static const core::Layout other("(1X,A20,70X,G23.15)");
    for (int i = 0; i < phaseCount; ++i) {
        const model::PhaseRecord& p = ctx.phases[i];
        const double logActivity = ctx.selection.logActivity[static_cast<std::size_t>(i)];
        if (p.activityModel > 0) {
            const model::SolutionModel& m = ctx.models.models[static_cast<std::size_t>(p.activityModel - 1)];
            // The excess of the end-member as a - bT + c(P - 1) (also for a
            // model that sums its terms on every call).
            const std::array<double, 3> abc = model::excessParameters(m, p.activityEndMember);
            const std::string& name = m.endMembers[static_cast<std::size_t>(p.activityEndMember - 1)].name;
            core::Value v[] = {std::string_view(name), abc[0], abc[1], abc[2], logActivity};
            ctx.streams.write_record(io::kUnitMaster, member, v);
        } else {
            core::Value v[] = {std::string_view(p.name), logActivity};
            ctx.streams.write_record(io::kUnitMaster, other, v);
        }
    }
}

}  // namespace app
