#include "traffic/TrafficCsv.h"

#include <cstdio>

#include "files/SafeTextWriter.h"
#include "traffic/ExchangeText.h"
#include "traffic/FrameDecoder.h"

namespace qt40::traffic {
namespace {

std::string Fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string Fields(const std::vector<std::uint8_t>& frame) {
    if (frame.empty()) return {};
    std::string text;
    for (const DecodedField& f : DecodeFrame(frame).fields) text += (text.empty() ? "" : "; ") + f.Text();
    return text;
}

}  // namespace

std::string TrafficCsv::Quoted(const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
    std::string out = "\"";
    for (char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::vector<std::string> TrafficCsv::Lines(const std::vector<ExchangePtr>& exchanges,
                                           std::int64_t wallClockStartUs) {
    std::vector<std::string> lines;
    lines.reserve(exchanges.size() + 1);
    lines.push_back(
        "number,time_utc,time_s,delta_ms,transport,try,address,command,name,response,status,"
        "duration_ms,request,answer,request_fields,answer_fields");
    const Exchange* previous = nullptr;
    for (const ExchangePtr& p : exchanges) {
        const Exchange& e = *p;
        const ExchangeColumns c = Columns(e);
        const std::string delta =
            previous ? Fixed(static_cast<double>(e.sentUs - previous->sentUs) / 1000.0, 3) : "";
        const std::vector<std::string> row = {
            std::to_string(e.number),
            UtcText(wallClockStartUs + e.sentUs),
            Fixed(static_cast<double>(e.sentUs) / 1e6, 6),
            delta,
            std::string(TransportText(e.transport)),
            std::to_string(e.attempt),
            c.address,
            c.command,
            c.name,
            c.response,
            c.status,
            Fixed(c.durationMs, 3),
            HexText(e.request),
            HexText(e.answer),
            Fields(e.request),
            e.Sent() ? Fields(e.answer) : std::string(),
        };
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) line += (i ? "," : "") + Quoted(row[i]);
        lines.push_back(std::move(line));
        previous = &e;
    }
    return lines;
}

FileResult TrafficCsv::Save(const std::filesystem::path& path,
                            const std::vector<ExchangePtr>& exchanges,
                            std::int64_t wallClockStartUs) {
    SafeTextWriter writer(path);
    if (FileResult opened = writer.Open(); !opened.ok()) return opened;
    for (const std::string& line : Lines(exchanges, wallClockStartUs)) writer.WriteLine(line);
    return writer.Commit();
}

}  // namespace qt40::traffic
