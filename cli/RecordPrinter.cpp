#include "cli/RecordPrinter.h"

#include <fmt/format.h>

#include <cmath>
#include <optional>
#include <variant>
#include <vector>

#include "model/CglobalFile.h"

namespace qt40::cli {

namespace {

using Value = std::variant<std::string, long long, double>;

struct Field {
    const char* name;
    Value value;
    std::optional<EnumKind> codes;  // the value is a code of this list
};

std::vector<Field> IdentityFields(const DeviceRecord& r) {
    return {
        {"manufacturerName", r.manufacturerName, {}},
        {"deviceTypeName", r.deviceTypeName, {}},
        {"deviceIdText", r.deviceIdText, {}},
        {"universalRevText", r.universalRevText, {}},
        {"transmitterRevText", r.transmitterRevText, {}},
        {"firmwareRevText", r.firmwareRevText, {}},
        {"hardwareRevText", r.hardwareRevText, {}},
        {"preamblesText", r.preamblesText, {}},
    };
}

// In upload order (commands 0, 130, 14, 15, 147, 132, 134, 141, 3, 16, 139,
// 145, 154, 12, 137, 150, 13, 143).
std::vector<Field> UploadFields(const DeviceRecord& r) {
    auto fields = IdentityFields(r);
    const std::vector<Field> rest = {
        {"pollingAddress", r.pollingAddress, {}},
        {"sensorType", r.sensorType, EnumKind::SensorType},
        {"measurementType", r.measurementType, EnumKind::MeasurementType},
        {"sensorWires", r.sensorWires, EnumKind::Wires},
        {"sensorSerialNo", static_cast<long long>(r.sensorSerialNo), {}},
        {"pvUnit", r.pvUnit, EnumKind::Unit},
        {"upperSensorLimit", r.upperSensorLimit, {}},
        {"lowerSensorLimit", r.lowerSensorLimit, {}},
        {"minimumSpan", r.minimumSpan, {}},
        {"aoAlarmMode", r.aoAlarmMode, EnumKind::AoAlarmMode},
        {"transferFunction", r.transferFunction, EnumKind::TransferFunction},
        {"upperRange", r.upperRange, {}},
        {"lowerRange", r.lowerRange, {}},
        {"damping", r.damping, {}},
        {"driftAlarm", r.driftAlarm, {}},
        {"cjcMode", r.cjcMode, EnumKind::CjcMode},
        {"burnoutDetection", r.burnoutDetection, EnumKind::Burnout},
        {"loopCurrent", r.loopCurrent, {}},
        {"loopCurrentUnit", r.loopCurrentUnit, EnumKind::Unit},
        {"pvValue", r.pvValue, {}},
        {"svUnit", r.svUnit, EnumKind::Unit},
        {"svValue", r.svValue, {}},
        {"finalAssemblyNo", static_cast<long long>(r.finalAssemblyNo), {}},
        {"aoAlarmHigh", r.aoAlarmHigh, {}},
        {"aoAlarmLow", r.aoAlarmLow, {}},
        {"termTempUnit", r.termTempUnit, EnumKind::TermTempUnit},
        {"constantCjcValue", r.constantCjcValue, {}},
        {"leadWireResistance", r.leadWireResistance, {}},
        {"message", r.message, {}},
        {"aoSaturationHigh", r.aoSaturationHigh, {}},
        {"aoSaturationLow", r.aoSaturationLow, {}},
        {"sensorUnit", r.sensorUnit, EnumKind::Unit},
        {"sensorUpperRange", r.sensorUpperRange, {}},
        {"sensorLowerRange", r.sensorLowerRange, {}},
        {"tag", r.tag, {}},
        {"descriptor", r.descriptor, {}},
        {"date", r.date, {}},
        {"rtdCoefficientA", r.rtdCoefficientA, {}},
        {"rtdCoefficientB", r.rtdCoefficientB, {}},
        {"rtdCoefficientC", r.rtdCoefficientC, {}},
        {"rtdCoefficientR0", r.rtdCoefficientR0, {}},
        {"rtdLowerLimit", r.rtdLowerLimit, {}},
        {"rtdUpperLimit", r.rtdUpperLimit, {}},
    };
    fields.insert(fields.end(), rest.begin(), rest.end());
    return fields;
}

// Every number on the wire is single precision: show it as such, not with
// the digits the widening to double invents.
std::string Number(double v) {
    if (!std::isfinite(v)) return std::isnan(v) ? "nan" : (v > 0 ? "inf" : "-inf");
    return fmt::format("{}", static_cast<float>(v));
}

std::string CodeName(EnumKind kind, long long code) {
    const auto name = CglobalFile::NameOf(kind, static_cast<int>(code));
    return name ? *name : "unknown";
}

std::string TextLines(const std::vector<Field>& fields) {
    std::string out;
    for (const Field& f : fields) {
        out += f.name;
        out += ": ";
        if (const auto* s = std::get_if<std::string>(&f.value)) {
            out += *s;
        } else if (const auto* d = std::get_if<double>(&f.value)) {
            out += Number(*d);
        } else {
            const long long n = std::get<long long>(f.value);
            out += std::to_string(n);
            if (f.codes) out += " (" + CodeName(*f.codes, n) + ")";
        }
        out += '\n';
    }
    return out;
}

std::string UnitName(std::int16_t code) {
    return CodeName(EnumKind::Unit, code);
}

}  // namespace

std::string RecordPrinter::JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                // Device texts are packed ASCII; anything else is escaped, so
                // the output stays valid whatever the device sent.
                if (u < 0x20 || u >= 0x7F) {
                    out += fmt::format("\\u{:04x}", u);
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string RecordPrinter::Identity(const DeviceRecord& record) {
    return TextLines(IdentityFields(record));
}

std::string RecordPrinter::Upload(const DeviceRecord& record) {
    return TextLines(UploadFields(record));
}

std::string RecordPrinter::UploadJson(const DeviceRecord& record, const std::string& port) {
    std::string out = "{\"port\": " + JsonString(port) + ", \"device\": {";
    bool first = true;
    for (const Field& f : UploadFields(record)) {
        if (!first) out += ", ";
        first = false;
        out += JsonString(f.name) + ": ";
        if (const auto* s = std::get_if<std::string>(&f.value)) {
            out += JsonString(*s);
        } else if (const auto* d = std::get_if<double>(&f.value)) {
            out += std::isfinite(*d) ? Number(*d) : "null";
        } else {
            const long long n = std::get<long long>(f.value);
            if (f.codes) {
                out += fmt::format("{{\"code\": {}, \"name\": {}}}", n,
                                   JsonString(CodeName(*f.codes, n)));
            } else {
                out += std::to_string(n);
            }
        }
    }
    return out + "}}\n";
}

std::string RecordPrinter::StatusFlags(std::uint8_t deviceStatus) {
    // Bit 4 has no indicator on the status bar.
    static constexpr struct {
        std::uint8_t bit;
        const char* label;
    } kFlags[] = {{0x80, "MAL"}, {0x40, "CFG"}, {0x20, "CLD"}, {0x08, "AFX"},
                  {0x04, "AOS"}, {0x02, "NPV"}, {0x01, "PV"}};
    std::string out;
    for (const auto& flag : kFlags) {
        if (deviceStatus & flag.bit) {
            if (!out.empty()) out += ' ';
            out += flag.label;
        }
    }
    return out;
}

std::string RecordPrinter::MonitorLine(const DeviceRecord& r, std::uint8_t deviceStatus) {
    auto fixed = [](double v) {
        std::string s = fmt::format("{:.2f}", v);
        return s == "-0.00" ? std::string("0.00") : s;
    };
    std::string line =
        fmt::format("PV {} {}  PV% {} %  Term. {} {}  AO {} mA  status 0x{:02X}", fixed(r.pvValue),
                    UnitName(r.pvUnit), fixed(r.percentOfRange), fixed(r.svValue),
                    UnitName(r.svUnit), fixed(r.loopCurrent), deviceStatus);
    const std::string flags = StatusFlags(deviceStatus);
    if (!flags.empty()) line += " " + flags;
    return line;
}

}  // namespace qt40::cli
