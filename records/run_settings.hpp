// RunSettings: every option of one calculation run.  The screens, the
// configuration file and the batch line write it; every later step reads it.
// Text fields are fixed-width and blank-padded.
#pragma once
#include <array>
#include <string>

namespace records {

// The three fluid routines of a run, each 1, 2 or 3.
//   mixing: 1 Kerrick & Jacobs (1981) nonideal, 2 ideal, 3 Holland & Powell (1990)
//   water:  1 Haar, Gallagher & Kell (1984), 2 Kerrick & Jacobs (1981), 3 Holland & Powell (1989)
//   co2:    1 Kovan & Tessel (1991), 2 Kerrick & Jacobs (1981), 3 Holland & Powell (1989)
struct FluidModelChoice {
    int mixing = 1;
    int water = 1;
    int co2 = 1;
};

enum DiagramType : int {
    kPT = 0,
    kTX = 1,
    kPX = 2,
    kActT = 4,
    kActP = 5,
    kActAct = 6,
};

// Index of each unit name in RunSettings::unitNames.
enum UnitSlot : int { kThermoSlot = 0, kAqueousSlot, kInputSlot, kOutputSlot, kMasterSlot, kPlotSlot, kRestartSlot };
// Unit numbers of the run's files.
enum Unit : int {
    kUnitConfig = 2,
    kUnitThermo = 3,
    kUnitAqueous = 4,
    kUnitInput = 5,
    kUnitOutput = 6,
    kUnitMaster = 7,
    kUnitPlot = 8,
    kUnitRestart = 10,
    kUnitBatchLog = 11,
    kUnitCompList = 12,
    kUnitBatch = 21,
    kUnitWork25 = 25,
    kUnitWork55 = 55,
};
constexpr std::array<int, 7> kUnitNumbers = {3, 4, 5, 6, 7, 8, 10};

// One line of batch.dat.
struct BatchLine {
    std::string directory = std::string(40, ' ');       // 40
    std::string runName = std::string(60, ' ');         // 60
    std::string thermoFile = std::string(60, ' ');      // 60
    std::string aqueousFile = std::string(60, ' ');     // 60
    std::string compositionList = std::string(40, ' '); // 40
    std::string extension = std::string(3, ' ');        // 3
};

struct RunSettings {
    int diagramType = kPT;
    std::string elements = std::string(120, ' ');
    double pMin = 500, pMax = 10000;
    double tMin = 100, tMax = 1300;
    double xAxisMin = 0, xAxisMax = 0, yAxisMin = 0, yAxisMax = 0;
    double xH2O = 0, xCO2 = 0;
    FluidModelChoice fluid;
    char plotCurves = 'Y';   // 'Y' stable curves only, 'N' metastable and stable
    char labelAnswer = 'Y';  // 'Y' abbreviations, 'N' full names
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

    // Option-screen extras (Part of the run options).
    int saturationChoice = 0;       // 0 fixed, 1 water saturation curve, 2 geotherm
    double geothermD1 = 0, geothermD2 = 0;
    double plotHeight = 20, plotWidth = 20;  // plot lengths of the y and x axes, plot units
    int recordFourInteger = 0;      // the integer carried by option record 4
    bool lastReactionsOnly = false; // restart choice 2 flag, set before the fluid record is read
    // Whether the metastable/stable question key and the activities key have been
    // switched on by a 'Y' (the option stays on once set).
    bool metastableOn = false;
    bool printActivitiesOn = false;

    // Axis-phase text of activity diagrams (X and Y axis definitions).
    std::string xAxisText = std::string(40, ' ');
    std::string yAxisText = std::string(40, ' ');
};

}  // namespace records
