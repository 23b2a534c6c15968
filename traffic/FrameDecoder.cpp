#include "traffic/FrameDecoder.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "hart/CommandSet.h"
#include "hart/DeviceNameTable.h"
#include "hart/FrameCodec.h"
#include "hart/HartFrame.h"
#include "hart/IoSystemCommands.h"
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
        case FieldCodes::Unit:
            return EnumKind::Unit;
        case FieldCodes::SensorType:
            return EnumKind::SensorType;
        case FieldCodes::MeasurementType:
            return EnumKind::MeasurementType;
        case FieldCodes::Wires:
            return EnumKind::Wires;
        case FieldCodes::Burnout:
            return EnumKind::Burnout;
        case FieldCodes::TransferFunction:
            return EnumKind::TransferFunction;
        case FieldCodes::CjcMode:
            return EnumKind::CjcMode;
        case FieldCodes::AoAlarmMode:
            return EnumKind::AoAlarmMode;
        default:
            return std::nullopt;
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
                case 1:
                    return "zero point";
                case 2:
                    return "span point";
                case 3:
                    return "reset to the factory trim";
                default:
                    return "unknown";
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
        case FieldCodes::MasterMode:
            return code == 0 ? "secondary master" : code == 1 ? "primary master" : "unknown";
        case FieldCodes::AdditionalStatus: {
            std::string set;
            for (const AdditionalStatusBit& bit : AdditionalStatusBits()) {
                if (bit.byte == field.offset && (code & (1 << bit.bit))) {
                    set += (set.empty() ? "" : ", ") + std::string(bit.label);
                }
            }
            return set;
        }
        default:
            return {};
    }
}

// `field` lies within `data`; any other field it names is checked before it is read.
DecodedField Describe(const FieldLayout& field, std::span<const FieldLayout> fields,
                      std::span<const std::uint8_t> data, const DecoderTexts& texts) {
    DecodedField out;
    out.name = texts.FieldName(field.name);
    const WireValue v = ReadField(field, data.data());
    switch (field.type) {
        case FieldType::F32:
            out.value = FloatText(v.number);
            break;
        case FieldType::Packed:
            out.value = "\"" + v.text + "\"";
            break;
        case FieldType::Date:
            out.value = v.text;
            break;
        case FieldType::Latin1:
            out.value = "\"" + v.text + "\"";
            break;
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

// Command 77's frame to or from the sub-device, after the fields of command
// 77 itself: named and decoded as if sent directly. The frame takes the rest
// of the data: false when the data holds no whole frame.
bool DescribeEmbedded(DecodedFrame& out, std::span<const std::uint8_t> data,
                      const DecoderTexts& texts) {
    const std::optional<Embedded> inner =
        out.fromDevice ? ParseSubDeviceAnswer(data) : ParseSubDeviceRequest(data);
    if (!inner) return false;
    auto decoded = std::make_shared<DecodedFrame>(DecodeFrame(inner->frame.Bytes(), texts));
    const DecodedFrame& f = *decoded;
    std::string value = f.address + ": " + f.CommandText();
    if (f.responseCode) value += ", " + f.responseText;
    if (const std::string status = f.StatusText(); !status.empty()) value += ", status " + status;
    out.fields.push_back({texts.FieldName("Sub-device"), value, {}});
    out.fields.insert(out.fields.end(), f.fields.begin(), f.fields.end());
    out.commandName += " (card " + std::to_string(inner->place.card) + " channel " +
                       std::to_string(inner->place.channel) + ": " + f.CommandText() + ")";
    out.embedded = std::move(decoded);
    return true;
}

void DescribeData(DecodedFrame& out, std::span<const std::uint8_t> data,
                  const DecoderTexts& texts) {
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
    if (*out.command == kCmdSendToSubDevice && described < data.size() &&
        DescribeEmbedded(out, data, texts)) {
        described = data.size();
    }
    if (described < data.size()) {
        out.fields.push_back(
            {described == 0 ? "Data" : "Further bytes", HexText(data.subspan(described)), {}});
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
    for (const StatusBitName& bit : DeviceStatusBits(*deviceStatus))
        text += " " + std::string(bit.label);
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

DecodedFrame DecodeFrame(std::span<const std::uint8_t> bytes, const DecoderTexts& texts) {
    DecodedFrame out;
    const ParsedFrame parsed = HartFrame::Parse(bytes);
    const HartFrame& frame = parsed.frame;
    out.preambles = static_cast<int>(parsed.preambles);
    if (parsed.end == FrameEnd::NoDelimiter) {
        out.problem = "no frame";
        return out;
    }
    out.delimiter = frame.Delimiter();
    out.longFrame = frame.Long();
    switch (frame.Kind().value_or(FrameKind{0})) {
        case FrameKind::Request:
            out.frameType = "request";
            break;
        case FrameKind::Answer:
            out.frameType = "answer";
            break;
        case FrameKind::Burst:
            out.frameType = "burst";
            break;
        default:
            out.frameType =
                "unknown frame type " + std::to_string(HartFrame::TypeBits(out.delimiter));
            break;
    }
    out.fromDevice = frame.FromDevice();
    const auto address = frame.Address();
    if (!address.empty()) {
        out.addressSeen = true;
        out.primaryMaster = (address[0] & 0x80) != 0;
        out.burst = (address[0] & 0x40) != 0;
    }
    if (parsed.end == FrameEnd::InAddress) {
        out.address = HexText(address);
        out.problem = "frame ends in its address";
        return out;
    }
    if (out.longFrame) {
        // The master and burst bits ride on the manufacturer byte.
        std::vector<std::uint8_t> shown(address.begin(), address.end());
        shown[0] &= 0x3F;
        out.address = HexText(shown);
    } else {
        out.address = std::to_string(address[0] & 0x3F);
    }
    if (parsed.end == FrameEnd::BeforeCommand) {
        out.problem = "frame ends before its command";
        return out;
    }
    out.command = frame.Command();
    if (const CommandLayout* layout = FindLayout(frame.Command())) {
        out.commandName = texts.CommandName(*out.command, layout->name);
    }
    if (parsed.end == FrameEnd::BeforeByteCount) {
        out.problem = "frame ends before its byte count";
        return out;
    }
    out.byteCount = frame.ByteCount();
    if (const auto code = frame.ResponseCode()) {
        out.responseCode = *code;
        out.responseText = texts.ResponseText(frame.Command(), *code);
    }
    if (const auto status = frame.DeviceStatus()) {
        out.deviceStatus = *status;
        for (const StatusBitName& bit : DeviceStatusBits(*status)) {
            out.statusBits.push_back(std::string(bit.label) + " (" +
                                     texts.StatusMeaning(bit.mask, bit.meaning) + ")");
        }
    }
    DescribeData(out, frame.Payload(), texts);

    if (!parsed.Whole()) {
        out.problem = "frame ends after " + std::to_string(parsed.size) + " of " +
                      std::to_string(frame.Size()) + " bytes";
        return out;
    }
    out.complete = true;
    out.checksumOk = frame.CheckHolds();
    if (!out.checksumOk) {
        out.problem = "bad checksum " + HexByte(frame.CheckByte()) + ", expected " +
                      HexByte(frame.ComputedCheck());
    } else if (parsed.trailing > 0) {
        out.problem = std::to_string(parsed.trailing) + " bytes after the checksum";
    }
    return out;
}

}  // namespace qt40::traffic
