// The run context: every record of a calculation run, passed explicitly.
// It lives for the program's lifetime; each run overwrites what it sets.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "dialogs/pelkam_screens.hpp"
#include "props/gibbs.hpp"
#include "reactions/reaction.hpp"
#include "solutions/selection.hpp"
#include "solutions/solution_models.hpp"
#include "thermodb/chemical_system.hpp"
#include "thermodb/phase.hpp"
#include "records/run_settings.hpp"
#include "records/status.hpp"
#include "records/streams.hpp"

namespace shell {

// Limits of the curve tracer, set at the start of every run.
struct TracingLimits {
    int rootIterations = 50;
    int refinementRounds = 20;
    double gibbsTolerance = 0.10000000149011612;  // 0.1 J held in single precision
};

struct RunContext {
    records::RunSettings settings;
    records::Streams streams;
    dialogs::Toolkit* tk = nullptr;
    dialogs::PelkamScreens screens;
    TracingLimits tracing;

    // The records of the run.
    thermodb::ChemicalSystem system;
    thermodb::PhaseTable phases;
    solutions::SolutionModelSet models;
    props::GibbsContext gibbs;
    // Points of the run where a fluid routine gave no usable value or a
    // phase energy was not finite; the first of each is reported once.
    props::RangeEvents rangeEvents;
    int rangeEventsReported = 0;
    solutions::PhaseSelection selection;
    reactions::PrunedAssemblageList pruned;
    // Rows of the reactions calculated by the replayed run (one value per
    // loaded phase), read from the end of the replayed input.
    std::vector<std::array<double, thermodb::kMaxPhases>> replayedRows;

    // Program-lifetime bookkeeping of the screens.
    int optionsDiagramType = -1;  // diagram type the options screen was last initialised for
    bool firstRun = true;
    int batchLineCount = 0;       // batch line counter (used in plot-file names)
    std::string compositionName;  // current composition file of a batch line (blank: none)
    bool labelOnPlot = false;     // label counter of the plot labels (0 = straight to the plot file)

    // Output routed to the interactive output (unit 6).
    void say(std::string_view line) { streams.write_line(records::kUnitOutput, line); }
};

}  // namespace shell
