// RunSettings: every option of one calculation run.  The screens, the
// configuration file and the batch line write it; every later step reads it.
// Text fields are fixed-width and blank-padded.
#pragma once
#include <array>
#include <string>

#include "calc/diagram_type.hpp"
#include "calc/options.hpp"
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
// batch line give; the options of the diagram are its calculation part.
struct RunSettings : calc::DiagramOptions {
    std::string elements = std::string(120, ' ');
    std::array<std::string, 7> unitNames = {
        std::string("jun92.rqt"), std::string("hkf81.aqu"), std::string("con:"), std::string("con:"),
        std::string("summary.dat"), std::string("plot.plt"), std::string("restart.res")};
    std::string solutionFile = "solid.sln";  // 30
    std::string path = std::string(25, ' ');  // 25
    char usePath = 'N';
    int restartChoice = 0;
    int databaseVersion = 0;
    bool inputFromFile = false;
    char batchMode = 'N';
    BatchLine batchLine;
    bool summaryOff = false;
    char metastableEquilibria = ' ';
    char printActivities = ' ';
    char waterStandardState = ' ';
    double xTolerance = 1, yTolerance = 1;
    long reactionsExamined = 0, reactionsCalculated = 0, reactionsPlotted = 0;

    bool lastReactionsOnly = false; // restart choice 2 flag, set before the fluid record is read
    // Whether the metastable/stable question key and the activities key have been
    // switched on by a 'Y' (the option stays on once set).
    bool metastableOn = false;
    bool printActivitiesOn = false;

    // Axis-phase text of activity diagrams (X and Y axis definitions).
    std::string xAxisText = std::string(40, ' ');
    std::string yAxisText = std::string(40, ' ');
};

}  // namespace app
