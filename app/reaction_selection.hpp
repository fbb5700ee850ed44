// Choosing the reactions to calculate: the listing of the enumerated
// reactions with their normalised enthalpy, entropy, volume and slope, the
// reactions suggested by the calibration list, and the reaction-selection
// screen.
#pragma once
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "calc/enumerate.hpp"
#include "calc/reaction.hpp"
#include "calc/selection.hpp"
#include "core/status.hpp"
#include "io/streams.hpp"
#include "model/phase.hpp"
#include "ui/pelkam_screens.hpp"

namespace app {

constexpr int kMaxListedReactions = 3000;
constexpr int kMaxCalibrationLines = 100;
constexpr int kCalibrationPhases = 10;

// One line of rxtns_calib.dat, read with (A1,A1,1X,10(A4,2X)).
struct CalibrationLine {
    char mark = ' ';   // shown in the listing for the reactions this line suggests
    char group = ' ';  // blank: no group
    std::array<std::string, kCalibrationPhases> abbreviation;  // 4 characters each
};

struct CalibrationList {
    int count = 0;
    std::array<CalibrationLine, kMaxCalibrationLines> line;
    std::array<bool, kMaxCalibrationLines> used{};  // a line once used stays used
};

// What reading the calibration list found.
enum class CalibrationState {
    Ok,          // at least one line names a phase
    Missing,     // no such file
    Unreadable,  // not a readable file, or a line that cannot be read
    Empty,       // no line names a phase
};

// Reads the calibration list on `unit` (opened here and closed again).  A
// missing, unreadable or empty file gives an empty list (nothing is
// suggested) and says which it was; lines after the 100th are not read.
CalibrationState readCalibrationList(io::Streams& streams, int unit, const std::string& name,
                                     CalibrationList& list);

// Why "Calculate only suggested reactions" has nothing to calculate, for the
// input-error screen: the calibration list `name` is missing, unreadable or
// empty, or (Ok) none of the listed reactions is on it.
std::string noSuggestionsMessage(CalibrationState state, const std::string& name);

// The reactions typed in the "Reactions:" field of the selection screen:
// numbers and ranges ("1, 3-5"), separated by commas, semicolons or blanks,
// each between 1 and `listed`.  Appends the numbers to `numbers` and returns
// an empty string, or returns the message for the input-error screen (the
// first token that is not a number or range, or the first number outside the
// list).
std::string parseReactionNumbers(std::string_view text, int listed, std::vector<int>& numbers);

// The header line of the selection screen that says how many reactions are
// listed when the list was capped; blank when every reaction is listed.
std::string cappedListNote(int listed, int total);

// The 4-character abbreviation a phase is matched under: in reactions of
// three or more phases "aQz"/"bQz" stand for "Qz" and "Ky", "Si", "And" for
// "Als"; otherwise the first four characters as they are.
std::string matchingAbbreviation(std::string_view abbreviation, int reactionPhases);

// The reactions suggested so far, in listing order.
struct Suggestions {
    int count = 0;
    std::array<int, kMaxCalibrationLines> reaction{};  // reaction numbers
    std::array<int, kMaxCalibrationLines> line{};      // 0-based calibration lines
};

// Offers reaction `number` whose phases have the matching abbreviations
// `abbreviations`.  The first unused calibration line holding all of them is
// taken and marked used.  A line of a group (non-blank letter) admits at most
// two suggestions per group: a third keeps the two of the earliest lines,
// either taking the place of the suggestion of the latest line or, when its
// own line is the latest, not being suggested.  Returns the line index when
// the reaction is suggested, else -1.
int offerSuggestion(CalibrationList& list, Suggestions& suggestions, int number,
                    std::span<const std::string> abbreviations);

// The values of a reaction's listing line.
struct ListingValues {
    int phases = 0;     // coefficient magnitude above 0.01
    double w = 0;       // sum of |coefficient| times the phase's normalising weight
    double W = 0;       // half the coefficients of phases abbreviated "W" (three or more phases)
    double dH = 0, dS = 0, dV = 0;  // 2 dH / w / 100, 2 dS / w, 2 (dV + W) / w; 0 when w is 0
    double dPdT = 0;    // dS / (dV + W); 0 when that is not a finite number
};
// From the reaction's coefficients and its terms (FormatReaction fills them).
ListingValues listingValues(const model::PhaseTable& table, const calc::Reaction& reaction);

// One line of the listing: (I4,': ',F5.1,2F6.2,F5.0,1X,A1,1X,A).
std::string listingLine(int number, const ListingValues& v, char mark, std::string_view text);

struct SelectionSetup {
    const calc::ReactionList* list = nullptr;  // the reactions listed by EnumerateReactions
    int listingUnit = calc::kUnitSelectionListing;
    std::string listingName = "rxtns.lst";
    int calibrationUnit = calc::kUnitCalibration;
    std::string calibrationName = "rxtns_calib.dat";
    // The screens; null in replay mode, where every reaction is calculated.
    ui::PelkamScreens* screens = nullptr;
    // Replay with the reactions calculated last time only: a reaction is
    // calculated when its phase set equals that of one of these rows (one
    // value per loaded phase, the restart file's rows of calculated
    // reactions).
    bool lastReactionsOnly = false;
    std::span<const std::vector<double>> lastRows;
};

struct SelectionResult {
    int total = 0;            // reactions in the reaction list
    int listed = 0;           // offered for selection (at most 3000)
    int suggested = 0;
    std::vector<int> chosen;  // reaction numbers, ascending
};

// Reads the reaction list back, writes the listing, lets the user choose on
// the reaction-selection screen (or takes every reaction in replay mode),
// then hands each chosen reaction to `sink` in ascending order.  "Calculate
// all reactions" takes every reaction of the list, also those beyond the
// 3000 listed.  A choice that would calculate nothing ("Calculate specific
// reactions" with none chosen, "Calculate only suggested reactions" with
// none suggested) or a "Reactions:" field that cannot be read is refused on
// the input-error screen and the selection screen is shown again.
core::Status SelectReactions(const model::PhaseTable& table, const calc::PhaseSelection& selection,
                                io::Streams& streams, const SelectionSetup& setup, const calc::ReactionSink& sink,
                                SelectionResult& result);

}  // namespace app
