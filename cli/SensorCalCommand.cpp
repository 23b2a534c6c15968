#include "cli/SensorCalCommand.h"

#include <CLI/CLI.hpp>

#include "cli/CliContext.h"
#include "cli/CliProcedureHost.h"
#include "model/CglobalFile.h"
#include "model/NumberText.h"
#include "procedures/SensorCalibration.h"

namespace qt40::cli {
namespace {

std::string UnitName(int code) {
    return CglobalFile::NameOf(EnumKind::Unit, code).value_or(std::to_string(code));
}

}  // namespace

SensorCalCommand::SensorCalCommand()
    : CalibrationCommand("sensor-cal", "Zero or span calibration of a sensor input, or clear it") {}

void SensorCalCommand::AddOptions(CLI::App& command, CliContext& context) {
    CalibrationCommand::AddOptions(command, context);
    command.add_option("--kind", kind_, "zero, span or clear")
        ->required()
        ->check(CLI::IsMember({"zero", "span", "clear"}));
    command.add_option("--value", value_, "The true input value, in the PV unit (zero and span)");
    command.add_option("--sensor", sensor_, "Sensor 1 or 2")->check(CLI::Range(1, 2));
}

std::optional<std::string> SensorCalCommand::RefusedArgument() {
    if (kind_ != "clear" && value_.empty()) return "sensor-cal --kind " + kind_ + " needs --value";
    if (!value_.empty() && !IsDecimalText(value_)) {
        // Its range is the sensor's: the rest is checked once the device is known.
        return ArgumentPrompts::RefusalOf("--value", value_, NumberEntry{});
    }
    return std::nullopt;
}

int SensorCalCommand::Calibrate(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    SensorCalibration calibration(c.Worker(), prompts_, host);
    calibration.Open();
    if (sensor_ == 2) {
        if (!SensorCalibration::SensorSelectable(c.Record())) {
            return Fail("the device measures a single sensor; only sensor 1 can be calibrated");
        }
        prompts_.QueueCode(2);
        if (!calibration.SelectSensor()) return Fail(WithNote("sensor 2 cannot be selected"));
        const Outcome selected = Finish(c, calibration);
        if (!selected.ok) return Fail(selected.error);
    }
    bool sent = false;
    if (kind_ == "clear") {
        sent = calibration.ClearCalibration();
    } else {
        prompts_.QueueNumber(value_);
        sent = calibration.Calibrate(
            kind_ == "span" ? SensorCalibration::kSpan : SensorCalibration::kZero, "");
        if (!sent && prompts_.Refused()) {
            calibration.Close();
            return Usage(Refusal("--value", UnitName(c.Record().pvUnit)) + " (the sensor limits)");
        }
    }
    if (!sent) return Fail(WithNote("the calibration was not sent"));
    const Outcome done = Finish(c, calibration);
    calibration.Close();
    if (!done.ok) return Fail(done.error);
    const DeviceRecord r = c.Record();
    const std::string unit = UnitName(r.sensorUnit);
    Context().Out() << "sensor: " << calibration.SensorNumber() << '\n'
                    << "zeroPoint: " << FormatFixed(r.trimZeroPoint, 4) << ' ' << unit << '\n'
                    << "zeroValue: " << FormatFixed(r.trimZeroValue, 4) << ' ' << unit << '\n'
                    << "gain: " << FormatFixed(r.trimSpanGain, 4) << '\n'
                    << std::flush;
    return kExitOk;
}

}  // namespace qt40::cli
