// The diagram types of a run.
#pragma once

namespace calc {

// 0 P-T, 1 T-xCO2, 2 P-xCO2, 4 activity-temperature, 5 activity-pressure,
// 6 activity-activity.
enum DiagramType : int {
    kPT = 0,
    kTX = 1,
    kPX = 2,
    kActT = 4,
    kActP = 5,
    kActAct = 6,
};

}  // namespace calc
