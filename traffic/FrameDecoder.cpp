#include "traffic/FrameDecoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "hart/CommandSet.h"
#include "hart/DeviceNameTable.h"
#include "hart/FrameCodec.h"
#include "hart/ResponseCodes.h"
#include "model/AdditionalStatusBits.h"
#include "model/CglobalFile.h"
#include "model/TableRecords.h"

namespace qt40::traffic {
namespace {

std::string HexByte(std::uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", b);
    return text;
}

// The shortest text that reads back as the same single-precision value, as
// the wire carried it.
std::string FloatText(double value) {
    const float f = static_cast<float>(value);
    if (std::isnan(f)) return "NaN";
    if (std::isinf(f)) return f < 0 ? "-Inf" : "Inf";
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, f);
    return ec == std::errc() ? std::string(text, end) : std::string();
}

std::optional<EnumKind> EnumOf(FieldCodes codes) {
    switch (codes) {
        case FieldCodes::Unit: return EnumKind::Unit;
        case FieldCodes::SensorType: return EnumKind::SensorType;
        case FieldCodes::MeasurementType: return EnumKind::MeasurementType;
        case FieldCodes::Wires: return EnumKind::Wires;
        case FieldCodes::Burnout: return EnumKind::Burnout;
        case FieldCodes::TransferFunction: return EnumKind::TransferFunction;
        case FieldCodes::CjcMode: return EnumKind::CjcMode;
        case FieldCodes::AoAlarmMode: return EnumKind::AoAlarmMode;
        default: return std::nullopt;
    }
}

std::string UnitName(long long code) {
    if (auto name = CglobalFile::NameOf(EnumKind::Unit, static_cast<int>(code))) return *name;
    return "unit " + std::to_string(code);
}

bool Fits(const FieldLayout& field, std::span<const std::uint8_t> data) {
    return field.offset <= data.size() && FieldSize(field) <= data.size() - field.offset;
}

const FieldLayout* FieldWith(std::span<const FieldLayout> fields, FieldCodes codes) {
    for (const FieldLayout& f : fields) {
        if (f.codes == codes) return &f;
    }
    return nullptr;
}

// The name of a coded value, or nothing to add.
std::string CodeName(const FieldLayout& field, std::span<const FieldLayout> fields,
                     std::span<const std::uint8_t> data, long long code) {
    if (auto kind = EnumOf(field.codes)) {
        auto name = CglobalFile::NameOf(*kind, static_cast<int>(code));
        return name ? *name : "unknown";
    }
    switch (field.codes) {
        case FieldCodes::SensorNumber:
            return code == 1 || code == 2 ? "sensor " + std::to_string(code) : "unknown";
        case FieldCodes::TrimAction:
            switch (code) {
                case 1: return "zero point";
                case 2: return "span point";
                case 3: return "reset to the factory trim";
                default: return "unknown";
            }
        case FieldCodes::Manufacturer:
        case FieldCodes::DeviceType: {
            // Both bytes name the device: a torn answer may hold one of them only.
            const FieldLayout* maker = FieldWith(fields, FieldCodes::Manufacturer);
            const FieldLayout* type = FieldWith(fields, FieldCodes::DeviceType);
            if (!maker || !type || !Fits(*maker, data) || !Fits(*type, data)) return {};
            const DeviceNames names = DeviceNameTable::Lookup(
                static_cast<std::uint8_t>(ReadField(*maker, data.data()).integer),
                static_cast<std::uint8_t>(ReadField(*type, data.data()).integer));
            const std::string& name =
                field.codes == FieldCodes::Manufacturer ? names.manufacturer : names.device;
            return name.empty() ? "unknown" : name;
        }
        case FieldCodes::AdditionalStatus: {
            std::string set;
            for (const AdditionalStatusBit& bit : AdditionalStatusBits()) {
                if (bit.byte == field.offset && (code & (1 << bit.bit))) {
                    set += (set.empty() ? "" : ", ") + std::string(bit.label);
                }
            }
            return set;
        }
        default: return {};
    }
}

// `field` lies within `data`; any other field it names is checked before it is read.
DecodedField Describe(const FieldLayout& field, std::span<const FieldLayout> fields,
                      std::span<const std::uint8_t> data, const DecoderTexts& texts) {
    DecodedField out;
    out.name = texts.FieldName(field.name);
    const WireValue v = ReadField(field, data.data());
    switch (field.type) {
        case FieldType::F32: out.value = FloatText(v.number); break;
        case FieldType::Packed: out.value = "\"" + v.text + "\""; break;
        case FieldType::Date: out.value = v.text; break;
        default:
            if (field.codes == FieldCodes::HardwareRevision) {
                out.value = HardwareRevisionText(static_cast<std::uint8_t>(v.integer));
            } else if (field.codes == FieldCodes::AdditionalStatus) {
                out.value = HexByte(static_cast<std::uint8_t>(v.integer));
            } else {
                out.value = std::to_string(v.integer);
            }
            break;
    }
    if (const std::string name = CodeName(field, fields, data, v.integer); !name.empty()) {
        out.value += " (" + name + ")";
    }
    const std::string_view name = field.name;
    if (field.type == FieldType::F32 && name.ends_with(" / 100")) {
        // Special-curve coordinates go over the wire divided by 100: shown
        // in percent, as the table shows them.
        if (out.name.ends_with(" / 100")) out.name.resize(out.name.size() - 6);
        out.value = FloatText(v.number * 100.0);
        out.unit = "%";
        return out;
    }
    if (name == "Fixed current" && v.number == 0.0) {
        out.unit = std::string(field.unit ? field.unit : "") + " (leave fixed current mode)";
        return out;
    }
    if (name == "Point index" && v.integer == kEndOfTableIndex) out.value += " (end of table)";
    if (field.unit) {
        out.unit = field.unit;
    } else if (field.unitField >= 0 && static_cast<std::size_t>(field.unitField) < fields.size()) {
        const FieldLayout& unit = fields[static_cast<std::size_t>(field.unitField)];
        if (Fits(unit, data)) out.unit = UnitName(ReadField(unit, data.data()).integer);
    }
    return out;
}

void DescribeData(DecodedFrame& out, std::span<const std::uint8_t> data, const DecoderTexts& texts) {
    const CommandLayout* layout = FindLayout(static_cast<std::uint8_t>(*out.command));
    std::size_t described = 0;
    if (layout) {
        const auto fields = out.fromDevice ? layout->answer : layout->request;
        // A refused answer carries no data; fields that do not fit are not read.
        bool endOfTable = false;
        for (const FieldLayout& field : fields) {
            if (!Fits(field, data)) continue;
            described = std::max(described, field.offset + FieldSize(field));
            // Beside the end marker there is no point to show.
            if (endOfTable) continue;
            out.fields.push_back(Describe(field, fields, data, texts));
            endOfTable = std::string_view(field.name) == "Point index" &&
                         ReadField(field, data.data()).integer == kEndOfTableIndex;
        }
    }
    if (described < data.size()) {
        out.fields.push_back({described == 0 ? "Data" : "Further bytes",
                              HexText(data.subspan(described)), {}});
    }
}

}  // namespace

std::string DecodedField::Text() const {
    return name + " = " + value + (unit.empty() ? "" : " " + unit);
}

std::string DecodedFrame::CommandText() const {
    if (!command) return {};
    return "cmd " + std::to_string(*command) + (commandName.empty() ? "" : " " + commandName);
}

std::string DecodedFrame::StatusText() const {
    if (!deviceStatus) return {};
    std::string text = HexByte(*deviceStatus);
    for (const StatusBitName& bit : DeviceStatusBits(*deviceStatus)) text += " " + std::string(bit.label);
    return text;
}

std::string HexText(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    char item[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(item, sizeof item, "%02X", bytes[i]);
        if (i) text += ' ';
        text += item;
    }
    return text;
}

DecodedFrame DecodeFrame(std::span<const std::uint8_t> frame, const DecoderTexts& texts) {
    DecodedFrame out;
    std::size_t i = 0;
    while (i < frame.size() && frame[i] == 0xFF) ++i;
    out.preambles = static_cast<int>(i);
    const auto f = frame.subspan(i);
    if (f.empty()) {
        out.problem = "no frame";
        return out;
    }
    out.delimiter = f[0];
    out.longFrame = (f[0] & 0x80) != 0;
    switch (f[0] & 0x07) {
        case 2: out.frameType = "request"; break;
        case 6: out.frameType = "answer"; out.fromDevice = true; break;
        case 1: out.frameType = "burst"; out.fromDevice = true; break;
        default: out.frameType = "unknown frame type " + std::to_string(f[0] & 0x07); break;
    }
    const std::size_t addressSize = out.longFrame ? 5 : 1;
    if (f.size() >= 2) {
        out.addressSeen = true;
        out.primaryMaster = (f[1] & 0x80) != 0;
        out.burst = (f[1] & 0x40) != 0;
    }
    if (f.size() < 1 + addressSize) {
        out.address = HexText(f.subspan(1));
        out.problem = "frame ends in its address";
        return out;
    }
    const auto address = f.subspan(1, addressSize);
    if (out.longFrame) {
        // The master and burst bits ride on the manufacturer byte.
        std::vector<std::uint8_t> bytes(address.begin(), address.end());
        bytes[0] &= 0x3F;
        out.address = HexText(bytes);
    } else {
        out.address = std::to_string(address[0] & 0x3F);
    }
    std::size_t at = 1 + addressSize;
    if (at >= f.size()) {
        out.problem = "frame ends before its command";
        return out;
    }
    out.command = f[at++];
    if (const CommandLayout* layout = FindLayout(static_cast<std::uint8_t>(*out.command))) {
        out.commandName = texts.CommandName(*out.command, layout->name);
    }
    if (at >= f.size()) {
        out.problem = "frame ends before its byte count";
        return out;
    }
    const std::size_t count = f[at++];
    out.byteCount = static_cast<int>(count);
    const std::size_t expected = at + count + 1;
    const std::size_t available = std::min(count, f.size() - at);
    auto data = f.subspan(at, available);
    if (out.fromDevice && data.size() >= 1) {
        out.responseCode = data[0];
        out.responseText = texts.ResponseText(static_cast<std::uint8_t>(*out.command), data[0]);
    }
    if (out.fromDevice && data.size() >= 2) {
        out.deviceStatus = data[1];
        for (const StatusBitName& bit : DeviceStatusBits(data[1])) {
            out.statusBits.push_back(std::string(bit.label) + " (" +
                                     texts.StatusMeaning(bit.mask, bit.meaning) + ")");
        }
    }
    if (out.fromDevice) data = data.subspan(std::min<std::size_t>(2, data.size()));
    DescribeData(out, data, texts);

    at += available;
    if (available < count || at >= f.size()) {
        out.problem = "frame ends after " + std::to_string(f.size()) + " of " +
                      std::to_string(expected) + " bytes";
        return out;
    }
    out.complete = true;
    std::uint8_t sum = 0;
    for (std::size_t k = 0; k < at; ++k) sum ^= f[k];
    out.checksumOk = sum == f[at];
    if (!out.checksumOk) {
        out.problem = "bad checksum " + HexByte(f[at]) + ", expected " + HexByte(sum);
    } else if (at + 1 < f.size()) {
        out.problem = std::to_string(f.size() - at - 1) + " bytes after the checksum";
    }
    return out;
}

}  // namespace qt40::traffic
