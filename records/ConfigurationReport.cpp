#include "records/ConfigurationReport.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>
#include <string_view>

#include "model/AdditionalStatusBits.h"
#include "model/CglobalFile.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

constexpr int kAdditionalStatusDialog = 167;  // the panel that labels the bits

std::string CodeText(EnumKind kind, int code) {
    // A code no table knows is shown as its number rather than hidden.
    return CglobalFile::NameOf(kind, code).value_or(std::to_string(code));
}

// Device texts come padded with blanks to their field's width.
std::string Unpadded(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

std::string UnitText(int code) {
    return CodeText(EnumKind::Unit, code);
}

// Single-precision values from the wire, without the digits widening invents.
std::string Significant(double value) {
    if (!std::isfinite(value)) return FormatGeneral(value);
    return fmt::format("{:.6g}", static_cast<float>(value));
}

class Builder {
public:
    Builder(const ReportInput& in, const RecordTexts& texts) : in_(in), texts_(texts) {}

    void Group(const char* key) {
        RecordTable table;
        table.caption = texts_.Text(key);
        table.columns = {texts_.Text("Rec_Item"), texts_.Text("Rec_Value"),
                         texts_.Text("Rec_Unit")};
        doc_.tables.push_back(std::move(table));
    }

    // A row whose value came with any of `commands`; otherwise its cells stay empty.
    void Row(const std::string& caption, std::initializer_list<int> commands,
             const std::function<std::string()>& value,
             const std::function<std::string()>& unit = {}) {
        bool sent = false;
        for (int c : commands) sent = sent || in_.answered.test(static_cast<std::size_t>(c));
        RecordTable& table = doc_.tables.back();
        table.rows.push_back({{caption},
                              {sent ? value() : std::string()},
                              {sent && unit ? unit() : std::string()}});
    }
    void Row(const char* key, std::initializer_list<int> commands,
             const std::function<std::string()>& value,
             const std::function<std::string()>& unit = {}) {
        Row(texts_.Text(key), commands, value, unit);
    }
    void Plain(const std::string& caption, const std::string& value) {
        doc_.tables.back().rows.push_back({{caption}, {value}, {}});
    }
    // A row that could not be read: empty cells, and why in the note column.
    void Missing(const std::string& caption, const std::string& why) {
        std::vector<RecordCell> row{{caption}, {}, {}};
        if (!why.empty()) row.push_back({texts_.Format("Rec_Not_Read", {why})});
        doc_.tables.back().rows.push_back(std::move(row));
    }
    // A table with a note gets its column; the other rows an empty cell in it.
    void AddNoteColumns() {
        for (RecordTable& table : doc_.tables) {
            std::size_t width = table.columns.size();
            for (const auto& row : table.rows) width = std::max(width, row.size());
            if (width == table.columns.size()) continue;
            table.columns.push_back(texts_.Text("Rec_Note"));
            for (auto& row : table.rows) row.resize(table.columns.size());
        }
    }

    RecordDocument& Doc() { return doc_; }

private:
    const ReportInput& in_;
    const RecordTexts& texts_;
    RecordDocument doc_;
};

}  // namespace

std::string ReportFileName(const std::string& tag, const std::string& created) {
    std::string name = "report";
    std::string safeTag;
    for (const char c : Unpadded(tag)) {
        const auto u = static_cast<unsigned char>(c);
        const bool unsafe = u < 0x20 || u == 0x7F || std::string_view("/\\:*?\"<>| ").find(c) !=
                                                       std::string_view::npos;
        safeTag += unsafe ? '_' : c;
    }
    if (!safeTag.empty()) name += "-" + safeTag;
    const std::string date = created.substr(0, 10);
    const bool isDate = date.size() == 10 && date[4] == '-' && date[7] == '-' &&
                        std::all_of(date.begin(), date.end(), [](char c) {
                            return c == '-' || (c >= '0' && c <= '9');
                        });
    if (isDate) name += "-" + date;
    return name + ".pdf";
}

RecordDocument ConfigurationReport(const ReportInput& in, const RecordTexts& texts) {
    const DeviceRecord& r = in.record;
    Builder b(in, texts);
    RecordDocument& doc = b.Doc();
    doc.title = texts.Text("Rec_Report_Title");
    doc.head = {{texts.Text("Rec_Program"), in.program},
                {texts.Text("Rec_Created"), in.created},
                {texts.Text("Rec_Port"), in.port}};
    doc.signatures = {texts.Text("Rec_Signature"), texts.Text("Rec_Date")};
    doc.pageMark = texts.Format("Rec_Page_Mark", {doc.title, Unpadded(r.tag), r.deviceIdText});
    doc.pageOf = texts.Text("Rec_Page_Of");

    const auto text = [](const std::string& s) { return [s] { return s; }; };
    const auto fixed = [](double v, int decimals) {
        return [v, decimals] { return FormatFixed(v, decimals); };
    };
    const auto whole = [](long long v) { return [v] { return std::to_string(v); }; };
    const auto code = [](EnumKind kind, int c) { return [kind, c] { return CodeText(kind, c); }; };
    const auto unit = [](int c) { return [c] { return UnitText(c); }; };
    const std::string mA = UnitText(39);
    const auto milliamps = [mA] { return mA; };

    b.Group("Rec_Group_Identification");
    b.Row("Rec_Tag", {13, 18}, text(Unpadded(r.tag)));
    b.Row("Rec_Descriptor", {13, 18}, text(Unpadded(r.descriptor)));
    b.Row("Rec_Message", {12, 17}, text(Unpadded(r.message)));
    b.Row("Rec_Date", {13, 18}, text(r.date));
    b.Row("Rec_Manufacturer", {0}, text(r.manufacturerName));
    b.Row("Rec_Device_Type", {0}, text(r.deviceTypeName));
    b.Row("Rec_Device_Id", {0}, text(r.deviceIdText));
    b.Row("Rec_Final_Assembly", {16, 19}, whole(r.finalAssemblyNo));
    b.Row("Rec_Polling_Address", {0, 6}, whole(r.pollingAddress));
    b.Row("Rec_Preambles", {0}, text(r.preamblesText));
    b.Row("Rec_Universal_Rev", {0}, text(r.universalRevText));
    b.Row("Rec_Transmitter_Rev", {0}, text(r.transmitterRevText));
    b.Row("Rec_Hardware_Rev", {0}, text(r.hardwareRevText));
    b.Row("Rec_Software_Rev", {0}, text(r.firmwareRevText));

    b.Group("Rec_Group_Sensor");
    b.Row("Rec_Sensor_Type", {130, 131}, code(EnumKind::SensorType, r.sensorType));
    b.Row("Rec_Measurement_Type", {130, 131}, code(EnumKind::MeasurementType, r.measurementType));
    b.Row("Rec_Sensor_Wires", {130, 131}, code(EnumKind::Wires, r.sensorWires));
    b.Row("Rec_Sensor_Serial", {14, 49}, whole(r.sensorSerialNo));
    b.Row("Rec_Sensor_Upper", {150, 151}, fixed(r.sensorUpperRange, 3), unit(r.sensorUnit));
    b.Row("Rec_Sensor_Lower", {150, 151}, fixed(r.sensorLowerRange, 3), unit(r.sensorUnit));
    b.Row("Rec_Burnout", {134, 135}, code(EnumKind::Burnout, r.burnoutDetection));
    b.Row("Rec_CJC_Mode", {132, 133}, code(EnumKind::CjcMode, r.cjcMode));
    b.Row("Rec_Term_Unit", {136, 145, 146}, code(EnumKind::TermTempUnit, r.termTempUnit));
    b.Row("Rec_Constant_CJC", {145, 146}, fixed(r.constantCjcValue, 2), unit(r.termTempUnit));
    b.Row("Rec_Terminal_Temp", {3}, fixed(r.svValue, 2), unit(r.svUnit));

    b.Group("Rec_Group_PV");
    b.Row("Rec_PV_Unit", {3, 14, 15, 35, 44, 147, 148}, unit(r.pvUnit));
    b.Row("Rec_PV_Upper", {15, 35}, fixed(r.upperRange, 3), unit(r.pvUnit));
    b.Row("Rec_PV_Lower", {15, 35}, fixed(r.lowerRange, 3), unit(r.pvUnit));
    b.Row("Rec_PV_Upper_Limit", {14}, fixed(r.upperSensorLimit, 3), unit(r.pvUnit));
    b.Row("Rec_PV_Lower_Limit", {14}, fixed(r.lowerSensorLimit, 3), unit(r.pvUnit));
    b.Row("Rec_PV_Min_Span", {14}, fixed(r.minimumSpan, 3), unit(r.pvUnit));
    b.Row("Rec_PV_Damping", {15, 34}, fixed(r.damping, 3),
          [&texts] { return texts.Text("Rec_Unit_Seconds"); });
    b.Row("Rec_PV_Drift", {147, 148}, fixed(r.driftAlarm, 3), unit(r.pvUnit));
    b.Row("Rec_Transfer", {15, 47}, code(EnumKind::TransferFunction, r.transferFunction));
    b.Row("Rec_PV_Value", {3}, fixed(r.pvValue, 2), unit(r.pvUnit));

    b.Group("Rec_Group_Output");
    b.Row("Rec_Loop_Current", {2, 3}, fixed(r.loopCurrent, 3), milliamps);
    b.Row("Rec_AO_Alarm_Mode", {15, 141, 142}, code(EnumKind::AoAlarmMode, r.aoAlarmMode));
    b.Row("Rec_AO_Alarm_High", {139, 140}, fixed(r.aoAlarmHigh, 3), milliamps);
    b.Row("Rec_AO_Alarm_Low", {139, 140}, fixed(r.aoAlarmLow, 3), milliamps);
    b.Row("Rec_AO_Sat_High", {137, 138}, fixed(r.aoSaturationHigh, 3), milliamps);
    b.Row("Rec_AO_Sat_Low", {137, 138}, fixed(r.aoSaturationLow, 3), milliamps);

    b.Group("Rec_Group_Calibration");
    b.Row("Rec_Lead_Wire", {154, 155}, fixed(r.leadWireResistance, 4), unit(37));
    // Sensor 1 always has trim data, sensor 2 where the measurement takes two.
    std::vector<int> sensors{1};
    if (r.measurementType != 0 && (in.answered.test(130) || in.answered.test(131))) {
        sensors.push_back(2);
    }
    for (const SensorTrimReading& t : in.trims) {
        if (std::find(sensors.begin(), sensors.end(), t.sensor) == sensors.end()) {
            sensors.push_back(t.sensor);
        }
    }
    for (const int s : sensors) {
        const MessageArgs sensor{static_cast<long long>(s)};
        const auto read = std::find_if(in.trims.begin(), in.trims.end(),
                                       [s](const SensorTrimReading& t) { return t.sensor == s; });
        if (read == in.trims.end() || !read->missing.empty()) {
            const std::string why = read == in.trims.end() ? std::string() : read->missing;
            for (const char* key :
                 {"Rec_Trim_Zero_Point", "Rec_Trim_Zero_Value", "Rec_Trim_Gain"}) {
                b.Missing(texts.Format(key, sensor), why);
            }
            continue;
        }
        const SensorTrimReading& t = *read;
        // Read for this record (command 152), so they count as sent.
        b.Plain(texts.Format("Rec_Trim_Zero_Point", sensor), FormatFixed(t.zeroPoint, 4));
        doc.tables.back().rows.back()[2].text = UnitText(t.unit);
        b.Plain(texts.Format("Rec_Trim_Zero_Value", sensor), FormatFixed(t.zeroValue, 4));
        doc.tables.back().rows.back()[2].text = UnitText(t.unit);
        // The gain is a ratio near 1: its fifth decimal is what a trim changed.
        b.Plain(texts.Format("Rec_Trim_Gain", sensor), FormatFixed(t.gain, 5));
    }
    const auto significant = [](double v) { return [v] { return Significant(v); }; };
    b.Row("Rec_RTD_A", {143, 144}, significant(r.rtdCoefficientA));
    b.Row("Rec_RTD_B", {143, 144}, significant(r.rtdCoefficientB));
    b.Row("Rec_RTD_C", {143, 144}, significant(r.rtdCoefficientC));
    b.Row("Rec_RTD_R0", {143, 144}, significant(r.rtdCoefficientR0), unit(37));
    b.Row("Rec_RTD_Lower", {143, 144}, whole(r.rtdLowerLimit), unit(32));
    b.Row("Rec_RTD_Upper", {143, 144}, whole(r.rtdUpperLimit), unit(32));

    b.Group("Rec_Group_Status");
    const bool statusRead = in.answered.test(48);
    const auto statusBytes = [&r] {
        std::string bytes;
        for (std::int16_t v : r.additionalStatus) {
            if (!bytes.empty()) bytes += ' ';
            bytes += fmt::format("{:02X}", static_cast<unsigned>(v) & 0xFFu);
        }
        return bytes;
    };
    if (!statusRead && !in.statusMissing.empty()) {
        b.Missing(texts.Text("Rec_Status_Bytes"), in.statusMissing);
    } else {
        b.Row("Rec_Status_Bytes", {48}, statusBytes);
    }
    if (statusRead) {
        const auto set = SetAdditionalStatusBits(r.additionalStatus);
        const auto groups = AdditionalStatusGroups();
        for (const AdditionalStatusBit& bit : set) {
            const AdditionalStatusGroup& group = groups[static_cast<std::size_t>(bit.group)];
            const std::string caption =
                texts.Gui(kAdditionalStatusDialog, group.controlId, group.heading) + ": " +
                texts.Gui(kAdditionalStatusDialog, bit.controlId, bit.label);
            b.Plain(caption, texts.Text("Rec_Status_Set"));
            doc.tables.back().rows.back()[1].strong = true;
        }
        // A bit no row names is still the device saying something.
        const auto unlabelled = SetUnlabelledStatusBits(r.additionalStatus);
        for (const UnlabelledStatusBit& bit : unlabelled) {
            b.Plain(texts.Format("Rec_Status_Unlabelled",
                                 {static_cast<long long>(bit.byte), static_cast<long long>(bit.bit)}),
                    texts.Text("Rec_Status_Set"));
            doc.tables.back().rows.back()[1].strong = true;
        }
        if (set.empty() && unlabelled.empty()) b.Plain(texts.Text("Rec_Status_None"), {});
    }
    b.AddNoteColumns();
    return std::move(doc);
}

}  // namespace qt40
