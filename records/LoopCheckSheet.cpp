#include "records/LoopCheckSheet.h"

#include <algorithm>
#include <cmath>

#include "model/CglobalFile.h"
#include "model/NumberText.h"

namespace qt40 {
namespace {

constexpr double kMostTolerance = 10.0;
constexpr double kMostMeasuredMa = 25.0;

std::string_view Trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// The entry rules' number, with a digit in it: "", "." and "-" are no numbers.
std::optional<double> StrictNumber(std::string_view text) {
    text = Trimmed(text);
    if (!PassesNumberCharacters(text)) return std::nullopt;
    if (std::none_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    return LeadingDecimal(text);
}

int DecimalsOf(std::string_view text) {
    const auto point = text.find('.');
    return point == std::string_view::npos ? 0 : static_cast<int>(text.size() - point - 1);
}

double RoundedAt(double value, int decimals) {
    const double scale = std::pow(10.0, decimals);
    // Float noise first (12.04 - 12 is not 0.04), then half away from zero.
    const double cleaned = std::round(value * scale * 1e6) / 1e6;
    return std::round(cleaned) / scale;
}

constexpr int kErrorDecimals = 3;

}  // namespace

double LoopTargetMa(double percent) {
    return kLoopLowMa + kLoopSpanMa * percent / 100.0;
}

double LoopErrorPercent(double targetMa, double measuredMa) {
    const double error = RoundedAt((measuredMa - targetMa) / kLoopSpanMa * 100.0, kErrorDecimals);
    return error == 0.0 ? 0.0 : error;  // never "-0.000"
}

std::optional<std::vector<double>> ParseLoopPoints(std::string_view text) {
    std::vector<double> points;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        const auto part = text.substr(start, comma == std::string_view::npos ? text.npos
                                                                             : comma - start);
        const auto value = StrictNumber(part);
        if (!value || *value < 0.0 || *value > 100.0) return std::nullopt;
        points.push_back(*value);
        if (points.size() > kMostLoopPoints) return std::nullopt;
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return points;
}

std::optional<double> ParseLoopTolerance(std::string_view text) {
    const auto value = StrictNumber(text);
    if (!value || *value <= 0.0 || *value > kMostTolerance) return std::nullopt;
    return value;
}

NumberEntry MeasuredCurrentEntry() {
    NumberEntry entry;
    entry.titleKey = "Rec_Loop_Check";
    entry.promptKey = "Rec_Point_Prompt";
    entry.minimum = 0.0;
    entry.maximum = kMostMeasuredMa;
    entry.rangeMessage = false;
    return entry;
}

NumberVerdict CheckMeasuredCurrent(std::string_view text) {
    const NumberEntry entry = MeasuredCurrentEntry();
    const std::string_view trimmed = Trimmed(text);
    if (!StrictNumber(trimmed)) {
        NumberVerdict refused;
        refused.errorKey = "Err_Calibration_Value_Invalid";
        return refused;
    }
    return CheckNumberEntry(entry, trimmed);
}

bool LoopRun::Complete() const {
    return !points.empty() &&
           std::all_of(points.begin(), points.end(),
                       [](const LoopPointResult& p) { return p.measuredMa.has_value(); });
}

bool LoopRun::Passed() const {
    return Complete() && std::all_of(points.begin(), points.end(), [](const LoopPointResult& p) {
               return p.pass.value_or(false);
           });
}

const char* LoopRun::VerdictKey() const {
    if (!Complete()) return "Rec_Incomplete";
    return Passed() ? "Rec_Pass" : "Rec_Fail";
}

LoopCheckSheet::LoopCheckSheet() : percents_{0.0, 25.0, 50.0, 75.0, 100.0} {}

void LoopCheckSheet::SetTolerance(double percentOfSpan) {
    tolerance_ = percentOfSpan;
    for (LoopRun& run : runs_) {
        for (LoopPointResult& p : run.points) {
            if (p.errorPercent) p.pass = std::fabs(*p.errorPercent) <= tolerance_ + 1e-9;
        }
    }
}

LoopRun* LoopCheckSheet::MutableRun(LoopRunKind kind) {
    for (LoopRun& run : runs_) {
        if (run.kind == kind) return &run;
    }
    return nullptr;
}

const LoopRun* LoopCheckSheet::Run(LoopRunKind kind) const {
    return const_cast<LoopCheckSheet*>(this)->MutableRun(kind);
}

LoopRun& LoopCheckSheet::StartRun(LoopRunKind kind) {
    LoopRun* run = MutableRun(kind);
    if (!run) {
        LoopRun fresh;
        fresh.kind = kind;
        runs_.push_back(std::move(fresh));
        // As found before as left, whatever order they were run in.
        std::sort(runs_.begin(), runs_.end(),
                  [](const LoopRun& a, const LoopRun& b) { return a.kind < b.kind; });
        run = MutableRun(kind);
    }
    run->points.clear();
    run->stop.reset();
    run->responseCode = 0;
    run->released.reset();
    for (double percent : percents_) {
        LoopPointResult p;
        p.percent = percent;
        p.targetMa = LoopTargetMa(percent);
        run->points.push_back(p);
    }
    return *run;
}

void LoopCheckSheet::Measure(LoopRunKind kind, std::size_t index, double measuredMa,
                             std::string_view enteredText) {
    LoopRun* run = MutableRun(kind);
    if (!run || index >= run->points.size()) return;
    LoopPointResult& p = run->points[index];
    p.measuredMa = measuredMa;
    p.measuredText = FormatFixed(measuredMa, std::clamp(DecimalsOf(Trimmed(enteredText)), 3, 6));
    p.errorPercent = LoopErrorPercent(p.targetMa, measuredMa);
    // Judged on the error as printed, so the sheet never contradicts itself.
    p.pass = std::fabs(*p.errorPercent) <= tolerance_ + 1e-9;
}

void LoopCheckSheet::EndRun(LoopRunKind kind, std::optional<LoopStop> stop,
                            std::optional<bool> released, int responseCode) {
    LoopRun* run = MutableRun(kind);
    if (!run) return;
    if (stop && !run->stop) {
        run->stop = stop;
        run->responseCode = responseCode;
    }
    if (released) run->released = released;
}

void LoopCheckSheet::SetStop(LoopRunKind kind, LoopStop stop) {
    if (LoopRun* run = MutableRun(kind)) run->stop = stop;
}

bool LoopCheckSheet::AnyMeasured() const {
    return std::any_of(runs_.begin(), runs_.end(), [](const LoopRun& run) {
        return std::any_of(run.points.begin(), run.points.end(),
                           [](const LoopPointResult& p) { return p.measuredMa.has_value(); });
    });
}

void LoopCheckSheet::TakeDevice(const DeviceRecord& r) {
    std::string name = r.tag;
    while (!name.empty() && name.back() == ' ') name.pop_back();
    tag = name;
    deviceType = r.deviceTypeName;
    deviceId = r.deviceIdText;
    finalAssemblyNo = std::to_string(r.finalAssemblyNo);
    sensorSerialNo = std::to_string(r.sensorSerialNo);
    pvLower = FormatFixed(r.lowerRange, 3);
    pvUpper = FormatFixed(r.upperRange, 3);
    pvUnit = CglobalFile::NameOf(EnumKind::Unit, r.pvUnit).value_or(std::to_string(r.pvUnit));
    transferFunction = CglobalFile::NameOf(EnumKind::TransferFunction, r.transferFunction)
                           .value_or(std::to_string(r.transferFunction));
}

namespace {

std::string StopText(const RecordTexts& texts, const LoopRun& run) {
    switch (*run.stop) {
        case LoopStop::Stopped:
            return texts.Text("Rec_Stop_Stopped");
        case LoopStop::Interrupted:
            return texts.Text("Rec_Stop_Interrupted");
        case LoopStop::InputEnded:
            return texts.Text("Rec_Stop_Input_Ended");
        case LoopStop::Refused:
            return texts.Format("Rec_Stop_Refused", {static_cast<long long>(run.responseCode)});
        case LoopStop::ExchangeLost:
            return texts.Text("Rec_Stop_Exchange_Lost");
        case LoopStop::ConnectionClosed:
            return texts.Text("Rec_Stop_Connection_Closed");
    }
    return {};
}

}  // namespace

RecordDocument LoopCheckSheet::ToDocument(const RecordTexts& texts, const std::string& program,
                                          const std::string& created) const {
    RecordDocument doc;
    doc.title = texts.Text("Rec_Loop_Title");
    doc.pageMark = texts.Format("Rec_Page_Mark", {doc.title, tag, deviceId});
    doc.pageOf = texts.Text("Rec_Page_Of");
    doc.head = {
        {texts.Text("Rec_Program"), program},
        {texts.Text("Rec_Created"), created},
        {texts.Text("Rec_Tag"), tag},
        {texts.Text("Rec_Device_Type"), deviceType},
        {texts.Text("Rec_Device_Id"), deviceId},
        {texts.Text("Rec_Final_Assembly"), finalAssemblyNo},
        {texts.Text("Rec_Sensor_Serial"), sensorSerialNo},
        {texts.Text("Rec_PV_Range"),
         pvLower.empty() ? std::string()
                         : texts.Format("Rec_PV_Range_Value", {pvLower, pvUpper, pvUnit})},
        {texts.Text("Rec_Transfer"), transferFunction},
        {texts.Text("Rec_Points"), texts.Text("Rec_Points_Of_Span")},
        {texts.Text("Rec_Technician"), technician},
        {texts.Text("Rec_Meter"), meterId},
        {texts.Text("Rec_Tolerance"),
         texts.Format("Rec_Tolerance_Value", {FormatGeneral(tolerance_)})},
    };
    const auto verdict = [&](const LoopRun& run) { return texts.Text(run.VerdictKey()); };
    for (const LoopRun& run : runs_) {
        const std::string name =
            texts.Text(run.kind == LoopRunKind::AsFound ? "Rec_As_Found" : "Rec_As_Left");
        doc.head.push_back({texts.Format("Rec_Run_Result", {name}), verdict(run)});
    }
    for (const LoopRun& run : runs_) {
        const std::string name =
            texts.Text(run.kind == LoopRunKind::AsFound ? "Rec_As_Found" : "Rec_As_Left");
        // Why it is incomplete, and whether the loop was left following the PV.
        if (!run.Complete() && run.stop) {
            doc.head.push_back({texts.Format("Rec_Run_Stop", {name}), StopText(texts, run)});
        }
        if (run.released) {
            doc.head.push_back({texts.Format("Rec_Run_Loop", {name}),
                                texts.Text(*run.released ? "Rec_Released" : "Rec_Not_Released")});
        }
    }
    // The DAC trim between the runs, as stored in the device.
    if (!trims.empty() || trimStopped) {
        for (const DacTrim& trim : trims) {
            doc.head.push_back(
                {texts.Format("Rec_Dac_Trim_Point", {std::string(trim.upper ? "20" : "4")}),
                 texts.Format("Rec_Dac_Trim_Measured", {trim.measuredText})});
        }
        if (trimStopped) {
            doc.head.push_back({texts.Text("Rec_Dac_Trim"), texts.Text("Rec_Dac_Trim_Stopped")});
        }
    } else if (Run(LoopRunKind::AsLeft)) {
        doc.head.push_back({texts.Text("Rec_Dac_Trim"), texts.Text("Rec_Dac_Trim_None")});
    }
    doc.head.push_back({texts.Text("Rec_Note"), note});

    for (const LoopRun& run : runs_) {
        RecordTable table;
        table.caption =
            texts.Text(run.kind == LoopRunKind::AsFound ? "Rec_As_Found" : "Rec_As_Left");
        table.columns = {texts.Text("Rec_Col_Point"), texts.Text("Rec_Col_Target"),
                         texts.Text("Rec_Col_Measured"), texts.Text("Rec_Col_Error"),
                         texts.Text("Rec_Col_Result")};
        for (const LoopPointResult& p : run.points) {
            std::vector<RecordCell> row{{FormatGeneral(p.percent)}, {FormatFixed(p.targetMa, 3)}};
            row.push_back({p.measuredMa ? p.measuredText : std::string()});
            row.push_back({p.errorPercent ? FormatFixed(*p.errorPercent, 3) : std::string()});
            if (p.pass) {
                row.push_back({texts.Text(*p.pass ? "Rec_Pass" : "Rec_Fail"), !*p.pass});
            } else {
                row.push_back({});
            }
            table.rows.push_back(std::move(row));
        }
        doc.tables.push_back(std::move(table));
    }
    doc.signatures = {texts.Text("Rec_Technician") + " / " + texts.Text("Rec_Signature"),
                      texts.Text("Rec_Checked_By"), texts.Text("Rec_Date")};
    return doc;
}

}  // namespace qt40
