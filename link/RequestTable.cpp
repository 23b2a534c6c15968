#include "link/RequestTable.h"

#include <array>
#include <vector>

namespace qt40 {
namespace {

// Command lists are built once from the command table; each ends with the terminator.
struct Lists {
    std::vector<std::vector<CommandStep>> storage;
    std::vector<RequestEntry> entries;
    const CommandStep* poll = nullptr;
    const CommandStep* pollWithReadings = nullptr;

    const CommandStep* Make(std::initializer_list<int> commands) {
        std::vector<CommandStep> list;
        for (int c : commands) list.push_back(*FindCommand(static_cast<std::uint8_t>(c)));
        list.push_back(kListEnd);
        storage.push_back(std::move(list));
        return storage.back().data();
    }

    void Add(WorkerRequest code, Runner runner, RetryKind retry,
             std::initializer_list<int> commands, Rest rest = Rest::None) {
        entries.push_back({code, runner, retry, Make(commands), rest});
    }

    Lists() {
        storage.reserve(64);
        using R = Runner;
        using K = RetryKind;
        using W = WorkerRequest;
        poll = Make({3, 2, 48});
        pollWithReadings = Make({3, 2, 48, 156});
        entries.push_back({W::IdlePoll, R::Quiet, K::None, poll, Rest::None});
        Add(W::Identify, R::Identify, K::None, {0});
        Add(W::Upload, R::Upload, K::None,
            {0, 130, 14, 15, 147, 132, 134, 141, 3, 16, 139, 145, 154, 12, 137, 150, 13, 143});
        entries.push_back({W::StartPolling, R::SetPolling, K::None, nullptr, Rest::None});
        Add(W::WriteSensorConfig, R::List, K::Auto, {131});
        Add(W::ReadAfterSensorType, R::List, K::None, {3, 14, 15, 147, 150, 132, 152});
        Add(W::WritePvUnit, R::List, K::Auto, {44});
        Add(W::ReadAfterPvUnit, R::List, K::None, {3, 14, 15, 147, 150});
        Add(W::WritePvRange, R::List, K::Auto, {35});
        Add(W::ReadSensorRange, R::List, K::None, {150});
        Add(W::WriteDamping, R::List, K::Auto, {34});
        Add(W::WriteDriftAlarm, R::List, K::Auto, {148});
        Add(W::WriteBurnout, R::List, K::Auto, {135});
        Add(W::WriteCjcMode, R::List, K::Auto, {133});
        Add(W::WriteTransfer, R::List, K::Auto, {47});
        Add(W::WriteTermTempUnit, R::List, K::Auto, {136});
        Add(W::ReadConstantCjc, R::List, K::None, {145});
        Add(W::WriteConstantCjc, R::List, K::Auto, {146});
        Add(W::WriteTagDescriptorDate, R::List, K::Auto, {18});
        Add(W::WriteMessage, R::List, K::Auto, {17});
        Add(W::WriteSensorRange, R::List, K::None, {151});
        for (W code :
             {W::FixCurrent, W::TrimFixAtPoint, W::TrimFixAfterClear, W::LeaveFixedLevel}) {
            Add(code, R::List, K::Auto, {40});
        }
        Add(W::WriteSerialNo, R::List, K::Auto, {49});
        Add(W::WriteFinalAssemblyNo, R::List, K::Auto, {19});
        Add(W::MasterReset, R::List, K::None, {42}, Rest::AfterReset);
        Add(W::WriteAlarmMode, R::List, K::Auto, {142});
        Add(W::WriteSaturation, R::List, K::Auto, {138});
        Add(W::WriteAlarmValues, R::List, K::Auto, {140});
        Add(W::TrimDac, R::List, K::Auto, {45});
        Add(W::ClearDacTrim, R::List, K::Auto, {149});
        Add(W::ReadSensorCalibration, R::List, K::None, {152});
        Add(W::CalibrateSensor, R::List, K::Auto, {153});
        Add(W::ReadWireResistance, R::List, K::None, {154});
        Add(W::WriteWireResistance, R::List, K::Auto, {155});
        Add(W::ReadCalibrationReadings, R::List, K::Auto, {156});
        Add(W::SelfTest, R::List, K::None, {41}, Rest::AfterSelfTest);
        Add(W::ResetConfigFlag, R::List, K::None, {38});
        Add(W::ReadAdditionalStatus, R::List, K::None, {48});
        Add(W::ReadCustomTcHeader, R::List, K::None, {190});
        Add(W::ReadCustomTcPoint, R::List, K::Auto, {192});
        Add(W::WriteCustomTcHeader, R::List, K::Auto, {191});
        Add(W::WriteCustomTcPoint, R::List, K::Point, {193});
        Add(W::ReadCustomRtdHeader, R::List, K::None, {194});
        Add(W::ReadCustomRtdPoint, R::List, K::Auto, {196});
        Add(W::WriteCustomRtdHeader, R::List, K::Auto, {195});
        Add(W::WriteCustomRtdPoint, R::List, K::Point, {197});
        Add(W::WriteCalibratedRtd, R::List, K::Auto, {144});
        Add(W::ReadSpecialCurveHeader, R::List, K::None, {186});
        Add(W::WriteSpecialCurveHeader, R::List, K::Auto, {187});
        Add(W::ReadSpecialCurvePoint, R::List, K::Auto, {188});
        Add(W::WriteSpecialCurvePoint, R::List, K::Point, {189});
        Add(W::WritePollingAddress, R::List, K::Auto, {6});
        Add(W::ReadIdentity, R::List, K::None, {0});
    }
};

const Lists& TheLists() {
    static const Lists lists;
    return lists;
}

}  // namespace

const RequestEntry* FindRequest(WorkerRequest code) {
    for (const RequestEntry& entry : TheLists().entries) {
        if (entry.code == code) return &entry;
    }
    return nullptr;
}

const CommandStep* IdlePollSteps(bool withCalibrationReadings) {
    return withCalibrationReadings ? TheLists().pollWithReadings : TheLists().poll;
}

}  // namespace qt40
