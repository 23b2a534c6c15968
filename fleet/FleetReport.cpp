#include "fleet/FleetReport.h"

#include <array>

#include "files/SafeTextWriter.h"

namespace qt40::fleet {
namespace {

using Status = FleetReportEntry::Status;

constexpr std::array kStatuses = {Status::Differs,    Status::NoSavedFile, Status::NoDevice,
                                  Status::Failed,     Status::OtherModel,  Status::Matches};

const char* StatusClass(Status s) {
    switch (s) {
        case Status::Matches: return "ok";
        case Status::Differs:
        case Status::NoSavedFile:
        case Status::NoDevice: return "bad";
        case Status::Failed: return "failed";
        case Status::OtherModel: return "other";
    }
    return "";
}

constexpr const char* kStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222;background:#fff}"
    "h1{font-size:1.4em}h2{font-size:1.1em;margin-top:1.5em}"
    "table{border-collapse:collapse;margin:.5em 0}"
    "th,td{border:1px solid #999;padding:.25em .6em;text-align:left;vertical-align:top;"
    "white-space:nowrap}td.note{white-space:normal}"
    "th{background:#e4e4e4}td.ok{background:#d8f0d8}td.bad{background:#fdd5dc}"
    "td.failed{background:#f6d7a8}td.other{background:#e8e8f4}"
    "td.value{font-family:monospace;white-space:pre-wrap}";

std::string Cell(std::string_view text, const char* cls = nullptr) {
    std::string out = cls ? std::string("<td class=\"") + cls + "\">" : std::string("<td>");
    return out + FleetReport::Escape(text) + "</td>";
}

}  // namespace

std::string FleetReport::Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default:
                // Control characters are not allowed in HTML text; show them.
                if (u < 0x20 && c != '\t') {
                    out += "&#xFFFD;";
                } else {
                    out += c;
                }
        }
    }
    return out;
}

const char* FleetReport::StatusText(Status status) {
    switch (status) {
        case Status::Matches: return "matches";
        case Status::Differs: return "differs";
        case Status::NoSavedFile: return "no saved file";
        case Status::NoDevice: return "no device";
        case Status::OtherModel: return "not a QT40";
        case Status::Failed: return "failed";
    }
    return "";
}

std::string FleetReport::Html(const std::vector<FleetReportEntry>& entries,
                              std::string_view generatedAt) {
    std::string h;
    h += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n";
    h += "<title>QT40 fleet comparison</title>\n<style>";
    h += kStyle;
    h += "</style>\n</head>\n<body>\n<h1>QT40 fleet comparison</h1>\n";
    h += "<p>Devices compared with their saved configuration files, " + Escape(generatedAt) +
         ".</p>\n";

    h += "<table>\n<tr><th>result</th><th>count</th></tr>\n";
    for (Status s : kStatuses) {
        int n = 0;
        for (const FleetReportEntry& e : entries) n += e.status == s;
        h += "<tr>" + Cell(StatusText(s), n > 0 ? StatusClass(s) : nullptr) +
             Cell(std::to_string(n)) + "</tr>\n";
    }
    h += "</table>\n";

    h += "<h2>Devices and files</h2>\n<table>\n<tr><th>endpoint</th><th>address</th><th>tag</th>"
         "<th>device ID</th><th>model</th><th>file</th><th>result</th><th>note</th></tr>\n";
    for (const FleetReportEntry& e : entries) {
        std::string result = StatusText(e.status);
        if (e.status == Status::Differs) {
            result += " (" + std::to_string(e.rows.size()) + (e.rows.size() == 1 ? " row)" : " rows)");
        }
        h += "<tr>" + Cell(e.endpoint) + Cell(e.address) + Cell(e.tag) + Cell(e.deviceId) +
             Cell(e.model) + Cell(e.file) + Cell(result, StatusClass(e.status)) + Cell(e.note, "note") +
             "</tr>\n";
    }
    h += "</table>\n";

    for (const FleetReportEntry& e : entries) {
        if (e.status != Status::Differs) continue;
        h += "<h2>" + Escape(e.tag.empty() ? e.deviceId : e.tag) + ", device ID " +
             Escape(e.deviceId) + ", " + Escape(e.endpoint) + " address " + Escape(e.address) +
             "</h2>\n";
        h += "<table>\n<tr><th>row</th><th>file " + Escape(e.file) +
             "</th><th>device</th></tr>\n";
        for (const FleetReportRow& r : e.rows) {
            h += "<tr>" + Cell(r.caption) + Cell(r.file, "value") + Cell(r.device, "value") +
                 "</tr>\n";
        }
        h += "</table>\n";
    }
    h += "</body>\n</html>\n";
    return h;
}

FileResult FleetReport::Save(const std::filesystem::path& path,
                             const std::vector<FleetReportEntry>& entries,
                             std::string_view generatedAt) {
    SafeTextWriter writer(path);
    if (FileResult opened = writer.Open(); !opened.ok()) return opened;
    writer.Write(Html(entries, generatedAt));
    return writer.Commit();
}

}  // namespace qt40::fleet
