#include "shell/database_step.hpp"

#include <array>

#include "records/layout.hpp"
#include "records/text.hpp"
#include "shell/run_context.hpp"
#include "solutions/activity.hpp"
#include "thermodb/database.hpp"

namespace shell {
using records::Status;

namespace {

// The loader's stops that come from the chosen elements, not from the file.
bool element_choice_stop(const Status& s) {
    return s.what == "fewer than two phases of the database contain only the chosen elements" ||
           s.what == "too many phases for the chosen system";
}

}  // namespace

Status read_database(RunContext& ctx, DatabaseFault* fault) {
    records::RunSettings& rs = ctx.settings;
    records::Streams& st = ctx.streams;
    if (fault) *fault = DatabaseFault::DataFile;
    if (Status s = thermodb::readElementHeader(st, records::kUnitThermo, ctx.system); !s) return s;

    // The element line: from the replayed input or from the options.
    std::string line;
    if (rs.inputFromFile) {
        for (;;) {
            records::ReadOutcome r = st.read_line(records::kUnitInput, line);
            if (r.result == records::ReadResult::EndOfFile) {
                ctx.say("");
                ctx.say("");
                ctx.say(" ***END OF FILE IN INPUT DATA,EXECUTION TERMINATED");
                Status s = Status::stop("end of file in input data before the element line");
                s.file = std::string(records::trim(rs.unitNames[records::kInputSlot]));
                return s;
            }
            if (!records::is_blank(line)) break;
        }
        rs.elements = records::pad(line, 120);
    } else {
        line = rs.elements;
    }
    std::string typed = records::pad(line, 120);
    // A replayed T-xCO2 or P-xCO2 line already begins with the "H O C "
    // prefix: it is not added a second time (the line would grow with every
    // replay), so the line is set as a P-T line would be.
    int type = rs.diagramType;
    bool prefixed = (type == records::kTX || type == records::kPX) &&
                    records::upper(records::trim(typed)).rfind("H O C ", 0) == 0;
    if (Status s = thermodb::setSystemLine(ctx.system, std::string(records::trim(typed)), prefixed ? records::kPT : type,
                                           st, records::kUnitOutput);
        !s) {
        if (fault) *fault = DatabaseFault::ElementChoice;
        return s;
    }
    st.write_line(records::kUnitRestart, records::rtrim(ctx.system.systemLine));

    thermodb::LoadOptions o;
    o.unitThermo = records::kUnitThermo;
    o.unitAqueous = records::kUnitAqueous;
    o.unitMessages = records::kUnitOutput;
    o.diagramType = rs.diagramType;
    o.waterRoutine = rs.fluid.water;
    o.keepAll = false;
    o.axisText = records::pad(rs.xAxisText, 20);
    if (Status s = thermodb::loadDatabase(o, st, ctx.system, ctx.phases); !s) {
        if (fault && element_choice_stop(s)) *fault = DatabaseFault::ElementChoice;
        return s;
    }

    ctx.gibbs.table = &ctx.phases;
    dialogs::Toolkit* tk = ctx.tk;
    ctx.gibbs.fluidCache.warn = [tk](std::string_view line) { tk->console_line(line); };
    ctx.gibbs.models = &ctx.models;
    ctx.rangeEvents.clear();
    ctx.rangeEventsReported = 0;
    ctx.gibbs.events = &ctx.rangeEvents;
    ctx.gibbs.point.fluid = rs.fluid;
    ctx.gibbs.point.x.fill(0.0);
    ctx.gibbs.point.x[thermodb::kWater] = rs.xH2O;
    ctx.gibbs.point.x[thermodb::kCarbonDioxide] = rs.xCO2;
    return Status::success();
}

void write_solid_solution_table(RunContext& ctx, int phaseCount) {
    auto say7 = [&](std::string_view l) { ctx.streams.write_line(records::kUnitMaster, l); };
    say7("");
    say7("       SOLID SOLUTION PARAMETERS (Joules): a+bT+c(P-1)");
    say7("");
    say7(std::string(30, ' ') + "   a                    b                        c         log10(fixed act)");
    static const records::Layout member("(1X,A20,1X,4G23.15)");
    static const records::Layout other("(1X,A20,70X,G23.15)");
    for (int i = 0; i < phaseCount; ++i) {
        const thermodb::PhaseRecord& p = ctx.phases[i];
        if (p.activityModel > 0) {
            const solutions::SolutionModel& m = ctx.models.models[static_cast<std::size_t>(p.activityModel - 1)];
            // The excess of the end-member as a - bT + c(P - 1) (also for a
            // model that sums its terms on every call).
            const std::array<double, 3> abc = solutions::excessParameters(m, p.activityEndMember);
            const std::string& name = m.endMembers[static_cast<std::size_t>(p.activityEndMember - 1)].name;
            records::Value v[] = {std::string_view(name), abc[0], abc[1], abc[2], p.logActivity};
            ctx.streams.write_record(records::kUnitMaster, member, v);
        } else {
            records::Value v[] = {std::string_view(p.name), p.logActivity};
            ctx.streams.write_record(records::kUnitMaster, other, v);
        }
    }
}

}  // namespace shell
