#include "files/FileConfigFromDevice.h"

#include <string>

#include "model/CglobalFile.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

std::string NameOrCode(EnumKind kind, int code) {
    if (auto name = CglobalFile::NameOf(kind, code)) return *name;
    return std::to_string(code);
}

std::string Range(double value) {
    return FormatFixed(value, 3, 4);
}

}  // namespace

FileConfig FileConfigFromDevice(const DeviceRecord& device) {
    FileConfig c;
    c.tag = device.tag;
    c.descriptor = device.descriptor;
    c.message = device.message;
    c.date = device.date;
    c.deviceType = device.deviceTypeName;
    c.deviceId = device.deviceIdText;

    c.sensorType = NameOrCode(EnumKind::SensorType, device.sensorType);
    c.measurementType = NameOrCode(EnumKind::MeasurementType, device.measurementType);
    c.sensorWires = NameOrCode(EnumKind::Wires, device.sensorWires);
    c.pvUnit = NameOrCode(EnumKind::Unit, device.pvUnit);
    c.pvUpperRange = Range(device.upperRange);
    c.pvLowerRange = Range(device.lowerRange);
    c.pvDamping = Range(device.damping);
    c.pvDriftAlarm = Range(device.driftAlarm);
    c.burnoutDetection = NameOrCode(EnumKind::Burnout, device.burnoutDetection);
    c.transferFunction = NameOrCode(EnumKind::TransferFunction, device.transferFunction);

    c.sensorSerialNo = std::to_string(device.sensorSerialNo);
    c.leadWireResistance = FormatFixed(device.leadWireResistance, 4, 4);
    c.sensorUpperRange = Range(device.sensorUpperRange);
    c.sensorLowerRange = Range(device.sensorLowerRange);

    c.termTempUnit = NameOrCode(EnumKind::TermTempUnit, device.termTempUnit);
    c.cjcMode = NameOrCode(EnumKind::CjcMode, device.cjcMode);
    c.constantCjcValue = FormatFixed(device.constantCjcValue, 2, 4);

    c.aoAlarmMode = NameOrCode(EnumKind::AoAlarmMode, device.aoAlarmMode);
    c.aoAlarmHigh = Range(device.aoAlarmHigh);
    c.aoAlarmLow = Range(device.aoAlarmLow);
    c.aoSaturationHigh = Range(device.aoSaturationHigh);
    c.aoSaturationLow = Range(device.aoSaturationLow);

    c.trim1ZeroPoint = c.trim2ZeroPoint = FormatFixed(device.trimZeroPoint, 6);
    c.trim1ZeroValue = c.trim2ZeroValue = FormatFixed(device.trimZeroValue, 6);
    c.trim1SpanGain = c.trim2SpanGain = FormatFixed(device.trimSpanGain, 6);

    c.finalAssemblyNo = std::to_string(device.finalAssemblyNo);
    c.preambles = device.preamblesText;
    c.universalCmdRev = device.universalRevText;
    c.transmitterSpecRev = device.transmitterRevText;
    c.hardwareRev = device.hardwareRevText;
    c.firmwareRev = device.firmwareRevText;
    return c;
}

}  // namespace qt40
