#include "ui/pelkam_screens.hpp"

#include <vector>

#include "core/text.hpp"

namespace ui {
namespace {

using K = ControlKind;

ControlDef st(int id, std::string text, int row, int col, int width = 0) {
    return makeControl(id, K::Static, std::move(text), row, col, width);
}
ControlDef edit(int id, std::string caption, int width, int row, int col, std::string initial = {},
                bool hidden = false) {
    ControlDef c = makeControl(id, K::Edit, std::move(caption), row, col, width);
    c.initial = std::move(initial);
    c.captionHidden = hidden;
    return c;
}
ControlDef radio(int id, std::string caption, int group, int row, int col, bool on = false) {
    ControlDef c = makeControl(id, K::Radio, std::move(caption), row, col, 0, group);
    c.initial = on ? "1" : "";
    return c;
}
ControlDef check(int id, std::string caption, int row, int col, bool on = false) {
    ControlDef c = makeControl(id, K::Check, std::move(caption), row, col);
    c.initial = on ? "1" : "";
    return c;
}
ControlDef button(int id, std::string caption, int row, int col, bool isDefault = false) {
    ControlDef c = makeControl(id, K::Button, std::move(caption), row, col);
    c.isDefault = isDefault;
    return c;
}
ControlDef list(int id, std::string caption, K kind, int width, int row, int col, int height) {
    ControlDef c = makeControl(id, kind, std::move(caption), row, col, width);
    c.height = height;
    c.captionHidden = true;
    return c;
}

ScreenResource filesScreen() {
    ScreenResource r{kFilesScreen, "Global Options", "Pelkam", {}};
    auto& c = r.controls;
    c.push_back(st(0, "File assignment", 1, 2));
    c.push_back(edit(kFilesMineral, "Mineral Data", 40, 3, 2));
    c.push_back(edit(kFilesSolution, "Mineral Solution Data", 30, 4, 2));
    c.push_back(edit(kFilesAqueous, "Aqueous Data", 40, 5, 2));
    c.push_back(edit(kFilesInput, "Inter. Input", 40, 6, 2));
    c.push_back(edit(kFilesOutput, "Inter. Output", 40, 7, 2));
    c.push_back(edit(kFilesMaster, "Master Output", 40, 8, 2));
    c.push_back(edit(kFilesPlot, "Plot Output", 40, 9, 2));
    c.push_back(edit(kFilesRestart, "Restart File", 40, 10, 2));
    // File names of any length scroll within their fields.
    for (ControlDef& d : c)
        if (d.kind == K::Edit) d.maxLength = kMaxFileNameLength;
    c.push_back(edit(kFilesPath, "Path", 25, 12, 2));
    c.push_back(check(kFilesUsePath, "Use path?", 12, 40));
    c.push_back(st(kFilesRestartLabel, "Use RESTART file?", 14, 2));
    c.push_back(radio(kFilesRestartNo, "No", 1, 15, 4, true));
    c.push_back(radio(kFilesRestartYes, "Yes", 1, 16, 4));
    c.push_back(radio(kFilesRestartLast, "Yes, w. last calculated rxtns only", 1, 17, 4));
    c.push_back(button(kNext, "Next", 20, 20, true));
    c.push_back(button(kExitControl, "Exit", 20, 40));
    return r;
}

ScreenResource diagramScreen() {
    ScreenResource r{kDiagramScreen, "Selection of Diagram Variables", "Pelkam", {}};
    auto& c = r.controls;
    c.push_back(st(0, "Selection of Diagram Variables", 1, 2));
    c.push_back(radio(kDiagPT, "P-T", 1, 3, 4, true));
    c.push_back(radio(kDiagTX, "T-xCO2", 1, 4, 4));
    c.push_back(radio(kDiagPX, "P-xCO2", 1, 5, 4));
    c.push_back(radio(kDiagActT, "Act-Temp", 1, 6, 4));
    c.push_back(radio(kDiagActP, "Act-Pres", 1, 7, 4));
    c.push_back(radio(kDiagActAct, "Act-Act", 1, 8, 4));
    c.push_back(button(kNext, "Next", 11, 20, true));
    c.push_back(button(kExitControl, "Exit", 11, 40));
    return r;
}

ScreenResource optionsScreen() {
    ScreenResource r{kOptionsScreen, "Global Options", "Pelkam", {}};
    auto& c = r.controls;
    c.push_back(edit(kOptElements, "Elements", 120, 1, 2));
    c.push_back(st(0, "min", 2, 31));
    c.push_back(st(0, "max", 2, 46));
    c.push_back(st(kOptRow1Label, "Pressure (Bars) of Diagram:", 3, 2, 28));
    c.push_back(edit(kOptRow1Min, "Row 1 min", 12, 3, 31, {}, true));
    c.push_back(edit(kOptRow1Max, "Row 1 max", 12, 3, 46, {}, true));
    c.push_back(st(kOptRow2Label, "Temperature (C) of Diagram:", 4, 2, 28));
    c.push_back(edit(kOptRow2Min, "Row 2 min", 12, 4, 31, {}, true));
    c.push_back(edit(kOptRow2Max, "Row 2 max", 12, 4, 46, {}, true));
    c.push_back(st(kOptXLabel, "Activity X-Axis:", 5, 2, 28));
    c.push_back(edit(kOptXMin, "X-axis min", 12, 5, 31, {}, true));
    c.push_back(edit(kOptXMax, "X-axis max", 12, 5, 46, {}, true));
    c.push_back(st(kOptYLabel, "Activity Y-Axis:", 6, 2, 28));
    c.push_back(edit(kOptYMin, "Y-axis min", 12, 6, 31, {}, true));
    c.push_back(edit(kOptYMax, "Y-axis max", 12, 6, 46, {}, true));
    c.push_back(st(kOptH2OLabel, "Mole Fraction H2O:", 8, 2, 28));
    c.push_back(edit(kOptH2O, "xH2O", 12, 8, 31, {}, true));
    c.push_back(edit(kOptH2OMax, "xH2O max", 12, 8, 46, {}, true));
    c.push_back(st(kOptCO2Label, "Mole Fraction CO2:", 9, 2, 28));
    c.push_back(edit(kOptCO2, "xCO2", 12, 9, 31, {}, true));
    c.push_back(edit(kOptCO2Max, "xCO2 max", 12, 9, 46, {}, true));
    // The fluid routine rows, labelled from the table of routine names.
    c.push_back(st(kOptMixLabel, "CO2 Mixing:", 11, 2, 13));
    c.push_back(radio(kOptMix1, "Nonideal (KJ, 1981)", 2, 11, 15, true));
    c.push_back(radio(kOptMix2, "Ideal", 2, 11, 42));
    c.push_back(radio(kOptMix3, "H&P(90)", 2, 11, 62));
    c.push_back(st(kOptWaterLabel, "H20 Routine:", 12, 2, 13));
    c.push_back(radio(kOptWater1, "Haar et al. (1984)", 3, 12, 15, true));
    c.push_back(radio(kOptWater2, "K&J(81)", 3, 12, 42));
    c.push_back(radio(kOptWater3, "H&P(90)", 3, 12, 62));
    c.push_back(st(kOptCO2RoutineLabel, "CO2 Routine:", 13, 2, 13));
    c.push_back(radio(kOptCO2Routine1, "Kovan & Tessel (1991)", 4, 13, 15, true));
    c.push_back(radio(kOptCO2Routine2, "K&J(81)", 4, 13, 42));
    c.push_back(radio(kOptCO2Routine3, "H&P(90)", 4, 13, 62));
    c.push_back(st(0, "Plot output:", 15, 2));
    c.push_back(radio(kOptStable, "STABLE CURVES", 5, 15, 15, true));
    c.push_back(radio(kOptMetastable, "METASTABLE REACTIONS", 5, 15, 42));
    c.push_back(st(0, "Labels:", 16, 2));
    c.push_back(radio(kOptAbbrev, "ABBREVIATIONS", 6, 16, 15, true));
    c.push_back(radio(kOptFullNames, "FULL NAMES", 6, 16, 42));
    c.push_back(button(kNext, "Next", 19, 20, true));
    c.push_back(button(kExitControl, "Exit", 19, 40));
    return r;
}

ScreenResource endMemberScreen() {
    ScreenResource r{kEndMemberScreen, "End-member selection", "Pelkam: end-member selection", {}};
    auto& c = r.controls;
    c.push_back(st(kEmXHeader, "X-axis is defined as", 1, 2, 44));
    c.push_back(edit(kEmXText, "X-axis", 40, 1, 47, {}, true));
    c.push_back(st(kEmYHeader, "Y-axis is defined as", 2, 2, 44));
    c.push_back(edit(kEmYText, "Y-axis", 40, 2, 47, {}, true));
    c.push_back(list(kEmList, "Phases", K::ListMulti, 40, 4, 2, 12));
    c.push_back(check(kEmIncludeAll, "Include all endmembers in reactions", 17, 2));
    c.push_back(check(kEmChooseReactions, "Choose specific reactions to calculate", 18, 2));
    c.push_back(check(kEmDefaults, "Use defaults (activity=1; no special options) for all endmembers", 19, 2));
    c.push_back(button(kNext, "Next", 21, 20, true));
    c.push_back(button(kExitControl, "Exit", 21, 40));
    return r;
}

ScreenResource phaseOptionsScreen() {
    ScreenResource r{kPhaseOptionsScreen, "Phase options", "Pelkam", {}};
    auto& c = r.controls;
    c.push_back(st(kPoName, "", 1, 2, 40));
    c.push_back(radio(kPoInclude, "Include", 1, 3, 4, true));
    c.push_back(radio(kPoProject, "Project", 1, 4, 4));
    c.push_back(radio(kPoIncludeAll, "Include (all rxns)", 1, 5, 4));
    c.push_back(radio(kPoTest, "Test (not in rxn)", 1, 6, 4));
    c.push_back(radio(kPoDoNotProject, "Do Not Project", 1, 7, 4));
    c.push_back(edit(kPoActivity, "Activity of Phase:", 10, 9, 2, "1"));
    c.push_back(button(kNext, "Next", 12, 20, true));
    c.push_back(button(kExitControl, "Exit", 12, 40));
    return r;
}

ScreenResource solutionScreen() {
    ScreenResource r{kSolutionScreen, "Selection of Solution Models", "Pelkam", {}};
    auto& c = r.controls;
    c.push_back(st(0, "Selection of Solution Models", 1, 2));
    for (int row = 0; row < kSolutionRows; ++row) {
        int line = 3 + row;
        std::string n = std::to_string(row + 1);
        c.push_back(st(smRowControl(kSmRowLabel, row), "", line, 2, 20));
        c.push_back(radio(smRowControl(kSmRowYes, row), "YES " + n, 10 + row, line, 23));
        c.push_back(radio(smRowControl(kSmRowNo, row), "NO " + n, 10 + row, line, 33));
        ControlDef d = list(smRowControl(kSmRowList, row), "Variant " + n, K::DropDown, 40, line, 42, 1);
        c.push_back(d);
    }
    c.push_back(radio(kSmAll, "All Solution Models", 20, 12, 2, true));
    c.push_back(radio(kSmNone, "None", 20, 12, 26));
    c.push_back(radio(kSmIndividual, "Select Individual Models", 20, 12, 36));
    c.push_back(edit(kSmFilename, "Filename:", 40, 14, 2));
    c.push_back(button(kNext, "Next", 17, 20, true));
    c.push_back(button(kExitControl, "Exit", 17, 40));
    return r;
}

ScreenResource completionScreen() {
    ScreenResource r{kCompletionScreen, "Completion", "Pelkam", {}};
    auto& c = r.controls;
    c.push_back(st(kCompTitle, "Diagram Complete", 1, 2));
    for (int i = 0; i < 6; ++i) c.push_back(st(kCompLine1 + i, "", 3 + i, 2, 45));
    c.push_back(button(kExitControl, "Exit", 11, 20, true));
    return r;
}

ScreenResource inputErrorScreen() {
    ScreenResource r{kInputErrorScreen, "Input error", "OOPS! Input error somewhere!", {}};
    auto& c = r.controls;
    c.push_back(st(kErrMessage, "", 2, 2, 90));
    c.push_back(button(kNext, "Continue", 6, 20, true));
    c.push_back(button(kExitControl, "Quit", 6, 40));
    r.messageControl = kErrMessage;
    return r;
}

ScreenResource reactionScreen() {
    ScreenResource r{kReactionScreen, "REACTION SELECTION", "Pelkam", {}};
    auto& c = r.controls;
    c.push_back(st(kRxHeader1, "", 1, 2, 76));
    c.push_back(st(kRxHeader2, "", 2, 2, 76));
    c.push_back(st(kRxHeader3, "", 3, 2, 76));
    c.push_back(list(kRxList, "Reactions", K::ListMulti, 200, 4, 2, 12));
    c.push_back(radio(kRxSpecific, "Calculate specific reactions", 1, 17, 2));
    c.push_back(radio(kRxSuggested, "Calculate only suggested reactions", 1, 18, 2));
    c.push_back(radio(kRxAll, "Calculate all reactions", 1, 19, 2, true));
    c.push_back(edit(kRxEdit, "Reactions:", 50, 20, 2));
    c.push_back(button(kNext, "Next", 22, 20, true));
    c.push_back(button(kExitControl, "Exit", 22, 40));
    return r;
}

ScreenResource databaseScreen() {
    ScreenResource r{kDatabaseScreen, "Database version", "Pelkam (v. 2.34)", {}};
    auto& c = r.controls;
    c.push_back(radio(kDbVersion1, "KLV  v. 1 (1994 database)", 1, 2, 2));
    c.push_back(st(kDbText1a, "Thermodynamic data JUN92.RQT with", 3, 6));
    c.push_back(st(kDbText1b, "solution properties JUN92.SLN", 4, 6));
    c.push_back(radio(kDbVersion2, "KLV v. 2.32   (Dec, 2006)         (update of 1996 partial dbase)", 1, 6, 2));
    c.push_back(st(kDbText2a, "Thermodynamic data DEC06.DAT with", 7, 6));
    c.push_back(st(kDbText2b, "solution properties DEC06.SLN", 8, 6));
    c.push_back(radio(kDbFromFig, "Use database from the file pelkam.fig", 1, 10, 2, true));
    c.push_back(st(kDbText3a, "Thermodynamic and solution data named by", 11, 6));
    c.push_back(st(kDbText3b, "MINERAL DATA= and SOLUTION DATA=", 12, 6));
    c.push_back(st(kDbMessage, "", 14, 2, 33));
    c.push_back(button(kNext, "Continue", 17, 20, true));
    c.push_back(button(kExitControl, "Exit", 17, 40));
    return r;
}

ScreenResource progressScreen() {
    ScreenResource r{kProgressScreen, "Progress", "Calculating all possible equilibria...", {}};
    auto& c = r.controls;
    c.push_back(st(kProgLine, "", 2, 2, 60));
    c.push_back(st(kProgStatus, "", 4, 2, 60));
    c.push_back(st(kProgCounts, "", 6, 2, 60));
    return r;
}

ScreenResource aboutScreen() {
    ScreenResource r{kAboutScreen, "About", "Pelkam (version 2.34)", {}};
    auto& c = r.controls;
    c.push_back(st(kAboutName, "Pelkam - mineral equilibria for metamorphic petrology", 2, 2));
    c.push_back(st(kAboutVersion, "Version 2.34", 3, 2));
    return r;
}

ScreenResource spareScreen() {
    ScreenResource r{kSpareScreen, "Spare", "call from UPDAATE", {}};
    auto& c = r.controls;
    c.push_back(edit(kSpareField1, "Field 1", 60, 2, 2));
    c.push_back(edit(kSpareField2, "Field 2", 60, 3, 2));
    c.push_back(button(kNext, "OK", 6, 20, true));
    c.push_back(button(kSpareCancel, "Cancel", 6, 40));
    return r;
}

ScreenResource batchScreen() {
    ScreenResource r{kBatchScreen, "Batch question", "Batch Run: requires info input into file BATCH.DAT ", {}};
    auto& c = r.controls;
    c.push_back(check(kBatchCheck, "Batch Run?", 2, 4));
    c.push_back(button(kNext, "Continue", 5, 20, true));
    c.push_back(button(kExitControl, "Quit", 5, 40));
    return r;
}

std::vector<ScreenResource> allScreens() {
    return {filesScreen(),    diagramScreen(),  optionsScreen(),      endMemberScreen(),
            phaseOptionsScreen(), solutionScreen(), completionScreen(), inputErrorScreen(),
            reactionScreen(), databaseScreen(), progressScreen(),     aboutScreen(),
            spareScreen(),    batchScreen()};
}

}  // namespace

const ScreenResource& pelkamScreen(int n) {
    static const std::vector<ScreenResource> screens = allScreens();  // immutable table
    return screens.at(static_cast<std::size_t>(n - 1));
}

PelkamScreens createPelkamScreens(Toolkit& tk) {
    PelkamScreens s;
    s.tk = &tk;
    for (int n = 1; n <= kScreenCount; ++n) {
        s.handle[n] = tk.create(pelkamScreen(n));
        tk.show(s.handle[n], 0);
    }
    return s;
}

bool showInputError(PelkamScreens& s, std::string_view message) {
    Toolkit& tk = *s.tk;
    int h = s[kInputErrorScreen];
    tk.setText(h, kErrMessage, core::pad(message, 90));
    bool cont = tk.runScreen(h);
    tk.show(h, 0);
    return cont;
}

void showProgress(PelkamScreens& s, std::string_view text, int line) {
    Toolkit& tk = *s.tk;
    int h = s[kProgressScreen];
    tk.setText(h, line, core::pad(text, 60));
    tk.show(h, 1);
}

}  // namespace ui
