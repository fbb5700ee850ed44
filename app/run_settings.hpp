// RunSettings: every option of one calculation run.  The screens, the
// configuration file and the batch line write it; every later step reads it.
// Text fields are fixed-width and blank-padded.
#pragma once
#include <array>
#include <string>

#include "calc/diagram_type.hpp"
#include "calc/options.hpp"
#include "io/config.hpp"
#include "io/units.hpp"
#include "model/fluid_choice.hpp"

namespace app {

// One line of batch.dat.
struct BatchLine {
    std::string directory = std::string(40, ' ');       // 40
    std::string runName = std::string(60, ' ');         // 60
    std::string thermoFile = std::string(60, ' ');      // 60
    std::string aqueousFile = std::string(60, ' ');     // 60
    std::string compositionList = std::string(40, ' '); // 40
    std::string extension = std::string(3, ' ');        // 3
};

// Every answer of a run that the screens, the configuration file and the
// batch line give: the options of the diagram (its calculation part), the
// configuration (the names of its files and a few switches), and the state
// of the screens and the batch.
struct RunSettings : calc::DiagramOptions, io::RunConfiguration {
    std::string elements = std::string(120, ' ');
    char usePath = 'N';
    int restartChoice = 0;
    int databaseVersion = 0;
    bool inputFromFile = false;
    char batchMode = 'N';
    BatchLine batchLine;
    long reactionsExamined = 0, reactionsCalculated = 0, reactionsPlotted = 0;

    bool lastReactionsOnly = false; // restart choice 2 flag, set before the fluid record is read

    // Axis-phase text of activity diagrams (X and Y axis definitions).
    std::string xAxisText = std::string(40, ' ');
    std::string yAxisText = std::string(40, ' ');
};

}  // namespace app
