// The calculator's fourteen screens, described as data, and their control
// identifiers.  The screens are created once at start-up in this order.
#pragma once
#include <array>
#include <string>
#include <string_view>

#include "ui/toolkit.hpp"

namespace ui {

enum PelkamScreen : int {
    kFilesScreen = 1,
    kDiagramScreen = 2,
    kOptionsScreen = 3,
    kEndMemberScreen = 4,
    kPhaseOptionsScreen = 5,
    kSolutionScreen = 6,
    kCompletionScreen = 7,
    kInputErrorScreen = 8,
    kReactionScreen = 9,
    kDatabaseScreen = 10,
    kProgressScreen = 11,
    kAboutScreen = 12,
    kSpareScreen = 13,
    kBatchScreen = 14,
    kScreenCount = 14,
};

// File names on the files screen may be this long (a path of the system's
// length); the fields scroll.
constexpr int kMaxFileNameLength = 4096;

// Control identifiers.  kExitControl (1036) is "Exit"/"Quit" on every screen.
enum PelkamControl : int {
    kNext = 1,  // the default button of a screen ("Next", "Continue", "OK")

    // 1 Files
    kFilesMineral = 101, kFilesSolution, kFilesAqueous, kFilesInput, kFilesOutput, kFilesMaster,
    kFilesPlot, kFilesRestart, kFilesPath, kFilesUsePath, kFilesRestartNo, kFilesRestartYes,
    kFilesRestartLast, kFilesRestartLabel,

    // 2 Diagram variables
    kDiagPT = 201, kDiagTX, kDiagPX, kDiagActT, kDiagActP, kDiagActAct,

    // 3 Global options
    kOptElements = 301,
    kOptRow1Label, kOptRow1Min, kOptRow1Max,
    kOptRow2Label, kOptRow2Min, kOptRow2Max,
    kOptXLabel, kOptXMin, kOptXMax,
    kOptYLabel, kOptYMin, kOptYMax,
    kOptH2OLabel, kOptH2O, kOptH2OMax,
    kOptCO2Label, kOptCO2, kOptCO2Max,
    kOptMixLabel, kOptMix1, kOptMix2, kOptMix3,
    kOptWaterLabel, kOptWater1, kOptWater2, kOptWater3,
    kOptCO2RoutineLabel, kOptCO2Routine1, kOptCO2Routine2, kOptCO2Routine3,
    kOptStable, kOptMetastable, kOptAbbrev, kOptFullNames,

    // 4 End-member selection
    kEmList = 401, kEmXHeader, kEmXText, kEmYHeader, kEmYText, kEmIncludeAll, kEmChooseReactions,
    kEmDefaults,

    // 5 Phase options
    kPoName = 501, kPoInclude, kPoProject, kPoIncludeAll, kPoTest, kPoDoNotProject, kPoActivity,

    // 6 Solution models: rows 0..7 at kSmRowLabel + 10*row etc.
    kSmRowLabel = 601, kSmRowYes = 602, kSmRowNo = 603, kSmRowList = 604,
    kSmAll = 691, kSmNone, kSmIndividual, kSmFilename,

    // 7 Completion
    kCompTitle = 701, kCompLine1, kCompLine2, kCompLine3, kCompLine4, kCompLine5, kCompLine6,

    // 8 Input error
    kErrMessage = 801,

    // 9 Reaction selection
    kRxList = 901, kRxHeader1, kRxHeader2, kRxHeader3, kRxSpecific, kRxSuggested, kRxAll, kRxEdit,

    // 10 Database version
    kDbVersion1 = 1001, kDbVersion2, kDbFromFig, kDbText1a, kDbText1b, kDbText2a, kDbText2b,
    kDbText3a, kDbText3b, kDbMessage,

    // 11 Progress
    kProgLine = 1101, kProgStatus, kProgCounts,

    // 12 About
    kAboutName = 1201, kAboutVersion,

    // 13 Spare
    kSpareField1 = 1301, kSpareField2, kSpareCancel,

    // 14 Batch question
    kBatchCheck = 1401,
};

constexpr int kSolutionRows = 8;
constexpr int smRowControl(int base, int row) { return base + 10 * row; }

// The resource of screen n (1..14).
const ScreenResource& pelkamScreen(int n);

// The handles of the created screens, indexed by screen number.
struct PelkamScreens {
    Toolkit* tk = nullptr;
    std::array<int, kScreenCount + 1> handle{};
    int operator[](int n) const { return handle[n]; }
};

// Creates all fourteen screens, in order, each hidden.
PelkamScreens createPelkamScreens(Toolkit& tk);

// The input-error screen: shows a 90-character message.  Returns true for
// "Continue", false for "Quit" (the program ends).
bool showInputError(PelkamScreens& s, std::string_view message);

// The progress screen: sets one of its lines and shows it without a loop.
void showProgress(PelkamScreens& s, std::string_view text, int line = kProgLine);

constexpr std::string_view kProgramName = "Pelkam";
constexpr std::string_view kProgramVersion = "2.34";

}  // namespace ui
