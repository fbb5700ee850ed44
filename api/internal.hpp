// What the library's values hold inside, and the helpers its sources share.
#pragma once
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "calc/diagram.hpp"
#include "calc/options.hpp"
#include "calc/selection.hpp"
#include "core/status.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"
#include "model/phase.hpp"
#include "model/solution_models.hpp"
#include "pelkam/database.hpp"
#include "pelkam/diagram.hpp"
#include "pelkam/error.hpp"

namespace pelkam::detail {

// Units of the streams the library opens.
constexpr int kThermoUnit = 3;
constexpr int kAqueousUnit = 4;
constexpr int kMessagesUnit = 6;

struct DatabaseData {
    std::string file;
    LoadOptions options;
    model::ChemicalSystem system;
    model::PhaseTable phases;
    DatabaseIndex index;  // the file, the system's elements and the loaded phases
    std::vector<std::string> messages;
};

struct SolutionData {
    model::PhaseTable phases;  // the database's phases with their links to the models
    model::SolutionModelSet models;
    std::array<double, model::kMaxPhases> logActivity{};  // the composition file's fixed activities
    std::string compositionFile;
    std::vector<std::string> messages;
};

// The phases of a run as the answers made them: the selection with its
// basis, the phase table compacted to the phases taking part.
struct PreparedRun {
    model::ChemicalSystem system;
    model::PhaseTable phases;  // main phases, then code-4 phases
    calc::PhaseSelection selection;
    model::SolutionModelSet models;
    std::vector<std::string> messages;  // the notes on the phases and the readers' messages
};

// Takes the answers (one per loaded phase, with the activity axes) into a
// run on the phases of `database`: the rules after the answers, the axis
// labels, the compaction, the notes and the basis, as a run does them.
Result<void> prepareRun(const DatabaseData& database, const calc::DiagramOptions& options,
                        const calc::PhaseAnswers& answers, PreparedRun& run);

struct DiagramData {
    calc::DiagramOptions options;
    PreparedRun run;
    calc::DiagramResult result;
    std::vector<DiagramCurve> curves;
    std::vector<std::string> notices;
};

// Streams whose console (and with it the messages unit) collects the lines
// written to it.
class CapturedStreams {
public:
    CapturedStreams();
    io::Streams streams;
    std::vector<std::string> lines;
};

// The Error of a Status: Stop (a reader stopped at the data) is Data, the
// rest Request; `messages` are the lines written on the way, followed by the
// status's own message block.
Error errorOf(const core::Status& s, std::vector<std::string> messages = {});
Error requestError(std::string what);
Error fileError(std::string what, std::string file, std::string why = {});

// Upper case with runs of blanks made single: names are compared by it.
std::string nameKey(std::string_view s);

// Loads the database as a run does; the messages go to `captured`.
Result<std::shared_ptr<DatabaseData>> loadDatabaseData(const std::string& path, std::string_view elements,
                                                       const LoadOptions& options);

}  // namespace pelkam::detail
