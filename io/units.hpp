// The numbered units of a run's files.
#pragma once
#include <array>

namespace io {

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

}  // namespace io
