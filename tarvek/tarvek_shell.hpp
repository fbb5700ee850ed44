// The formula utility's start-up, its screens and configuration keys.
#pragma once
#include <string>
#include <string_view>

#include "core/status.hpp"
#include "formula/oxide_file.hpp"
#include "ui/toolkit.hpp"

namespace formula {

// Control and dialog identifiers of the utility.
enum TarvekId : int {
    kMainDialog = 101,
    kDoneDialog = 103,
    kOopsDialog = 104,
    kBatchProgressDialog = 105,
    kExitButton = 2,
    kOxideFile = 1006,
    kFerricYes = 1007,
    kFerricNo = 1008,
    kStartColumn = 1009,
    kMappingYes = 1010,
    kMappingNo = 1011,
    kHeaderLines = 1012,
    kBatchRun = 1013,
    kGarnet3Percent = 1015,
    kGarnetOffset = 1016,
    kVersion232 = 30001,
    kVersion102 = 30002,
    kDoneAnother = 1031,
    kOopsText = 1041,
    kOopsRetry = 1042,
    kProgressText = 1051,
    kInfoPage = 106,
    kHelpPage = 107,
    kOxiPage = 108,
    kPageBack = 1061,
};

// The screen record of the utility.
struct TarvekSettings {
    std::string oxideFile;          // 40
    std::string startColumn = "1";  // 1
    std::string headerLines = "0";  // 1
    std::string garnetOffset = "0.00";  // 4
    bool ferric = false;
    bool mapping = false;
    bool batch = false;
    bool garnet3Percent = false;
};

// Applies one configuration line (read as 40 columns) to the settings.
void applyTarvekConfigLine(TarvekSettings& s, std::string_view line);
// Reads the configuration file of `dir`; false when there is none (the
// defaults stay, with a blank file name).
bool readTarvekConfig(TarvekSettings& s, const std::string& dir);

const ui::ScreenResource& tarvekScreen(int dialogId);

// The run options of the screen's answers; false (with a message) when a
// field cannot be read.
bool runOptions(const TarvekSettings& s, Version v, OxideRunOptions& out, std::string& error);

// Runs the utility on `tk` until it ends.
core::Status runTarvek(ui::Toolkit& tk, TarvekSettings& settings);

constexpr std::string_view kTarvekVersion = "2.32";

}  // namespace formula
