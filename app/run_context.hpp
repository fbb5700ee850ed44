// The run context: every record of a calculation run, passed explicitly.
// It lives for the program's lifetime; each run overwrites what it sets.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "app/run_settings.hpp"
#include "calc/diagram.hpp"
#include "calc/reaction.hpp"
#include "calc/run_request.hpp"
#include "calc/selection.hpp"
#include "core/status.hpp"
#include "io/provenance.hpp"
#include "io/streams.hpp"
#include "model/chemical_system.hpp"
#include "model/gibbs.hpp"
#include "model/phase.hpp"
#include "model/solution_models.hpp"
#include "ui/pelkam_screens.hpp"

namespace app {

struct RunContext {
    RunSettings settings;
    io::Streams streams;
    ui::Toolkit* tk = nullptr;
    ui::PelkamScreens screens;
    calc::TraceLimits tracing;  // limits of the curve tracer, set at the start of every run

    // Every answer of the run, in the order asked: the restart file is
    // written from it at the end of the run.
    calc::RunRequest request;

    // The records of the run.
    model::ChemicalSystem system;
    model::PhaseTable phases;
    model::SolutionModelSet models;
    model::GibbsEvaluator gibbs;
    // Points of the run where a fluid routine gave no usable value or a
    // phase energy was not finite; the first of each is reported once.
    calc::RangeEventLog rangeLog;
    calc::PhaseSelection selection;
    // Rows of the reactions this run calculated with a portion plotted, for
    // the restart file.
    std::vector<std::vector<double>> calculatedRows;

    // The answer script of a scripted run (an input of every run; empty
    // when the screens are answered on the terminal).
    std::string answerScript;
    // The data files of the run (database, solution file, aqueous file) as
    // read when the units were opened.
    std::array<io::DataProvenance, 3> provenance;
    // Plot files of the run whose calculation is complete; the batch log
    // names them once they are saved.
    std::vector<std::string> completedPlots;

    // Program-lifetime bookkeeping of the screens.
    int optionsDiagramType = -1;  // diagram type the options screen was last initialised for
    bool firstRun = true;
    int batchLineCount = 0;       // batch line counter: the line of batch.dat (used in plot-file names)
    int batchLinesFailed = 0;     // lines of batch.dat that could not be run (klv.log names them)
    bool configFound = true;      // the run's configuration file exists
    // The data-file names a version button of the database screen replaced;
    // choosing "Use database from the file pelkam.fig" afterwards brings
    // them back (unless they were edited on the files screen since).
    bool versionReplacedNames = false;
    std::string namesBeforeVersion[2];  // thermodynamic data, solution file
    std::string compositionName;  // current composition file of a batch line (blank: none)
    bool labelOnPlot = false;     // label counter of the plot labels (0 = straight to the plot file)

    // Output routed to the interactive output (unit 6).
    void say(std::string_view line) { streams.writeLine(io::kUnitOutput, line); }
};

}  // namespace app
