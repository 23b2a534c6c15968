#pragma once
// The requests a panel, a procedure or the command-line tool submits to the
// worker. Each names what the worker runs (RequestTable says which commands);
// the HART command numbers are noted where the name does not say it.

namespace qt40 {

enum class WorkerRequest : int {
    IdlePoll = 400,                 // 3, 2, 48 (and 156 while readings are shown)
    Identify = 401,                 // 0, frame check only
    Upload = 402,                   // the 18 reads of the whole configuration
    StartPolling = 403,             // sends nothing: switches the idle poll on
    WriteSensorConfig = 404,        // 131
    ReadAfterSensorType = 405,      // 3, 14, 15, 147, 150, 132, 152
    WritePvUnit = 406,              // 44
    ReadAfterPvUnit = 407,          // 3, 14, 15, 147, 150
    WritePvRange = 408,             // 35
    ReadSensorRange = 409,          // 150
    WriteDamping = 410,             // 34
    WriteDriftAlarm = 411,          // 148
    WriteBurnout = 412,             // 135
    WriteCjcMode = 413,             // 133
    WriteTransfer = 414,            // 47
    WriteTermTempUnit = 415,        // 136
    ReadConstantCjc = 416,          // 145
    WriteConstantCjc = 417,         // 146
    WriteTagDescriptorDate = 418,   // 18
    WriteMessage = 419,             // 17
    WriteSensorRange = 420,         // 151
    FixCurrent = 422,               // 40, from the analog output panel and loop check
    WriteSerialNo = 426,            // 49
    WriteFinalAssemblyNo = 427,     // 19
    MasterReset = 428,              // 42, then the worker rests
    WriteAlarmMode = 429,           // 142
    WriteSaturation = 430,          // 138
    WriteAlarmValues = 431,         // 140
    TrimFixAtPoint = 434,           // 40 at a trim point
    TrimDac = 435,                  // 45 at the lower point, 46 at the upper
    ClearDacTrim = 436,             // 149
    TrimFixAfterClear = 437,        // 40
    LeaveFixedLevel = 438,          // 40 with level 0
    ReadSensorCalibration = 439,    // 152
    CalibrateSensor = 440,          // 153
    ReadWireResistance = 441,       // 154
    WriteWireResistance = 442,      // 155
    ReadCalibrationReadings = 443,  // 156
    SelfTest = 446,                 // 41, then the worker rests
    ResetConfigFlag = 447,          // 38
    ReadAdditionalStatus = 448,     // 48
    ReadCustomTcHeader = 450,       // 190
    ReadCustomTcPoint = 451,        // 192
    WriteCustomTcHeader = 452,      // 191
    WriteCustomTcPoint = 453,       // 193
    ReadCustomRtdHeader = 454,      // 194
    ReadCustomRtdPoint = 455,       // 196
    WriteCustomRtdHeader = 456,     // 195
    WriteCustomRtdPoint = 457,      // 197
    WriteCalibratedRtd = 458,       // 144
    ReadSpecialCurveHeader = 459,   // 186
    WriteSpecialCurveHeader = 460,  // 187
    ReadSpecialCurvePoint = 461,    // 188
    WriteSpecialCurvePoint = 462,   // 189
    WritePollingAddress = 463,      // 6
    ReadIdentity = 465,             // 0, decoded
};

// The number a trace or a message shows for a request.
constexpr int CodeOf(WorkerRequest request) {
    return static_cast<int>(request);
}

}  // namespace qt40
