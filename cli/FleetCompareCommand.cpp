#include "cli/FleetCompareCommand.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <set>

#include "cli/CliContext.h"
#include "cli/FileCommands.h"
#include "files/CFilePropertyReadWrite.h"
#include "files/ConfigComparison.h"
#include "files/FileConfigFromDevice.h"
#include "files/Utf8Path.h"
#include "fleet/FleetIndex.h"
#include "fleet/FleetReport.h"
#include "fleet/TargetsFile.h"

namespace qt40::cli {

using fleet::FleetDevice;
using fleet::FleetEndpoint;

FleetCompareCommand::FleetCompareCommand()
    : FleetCommand("compare",
                   "Compare every QT40 with its saved configuration file, by device ID") {}

void FleetCompareCommand::AddOptions(CLI::App& command, CliContext& context) {
    FleetCommand::AddOptions(command, context);
    command.add_option("--in", folder_, "Folder of a backup")->required();
    command.add_option("--report", report_, "Also write the result as one HTML page");
}

int FleetCompareCommand::RunOn(CliContext& context, fleet::FleetRunner& runner,
                               const std::vector<fleet::FleetTarget>& targets) {
    std::ostream& out = context.Out();
    std::ostream& err = context.Err();
    // The saved files of the latest backup, before any line is opened.
    struct Saved {
        std::string name;
        FileConfig config;
        std::string endpoint;  // where the backup found it; empty without an index
        std::string address;
        bool matched = false;
    };
    std::vector<Saved> saved;
    const std::filesystem::path folder = PathFromUtf8(folder_);
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec);
    if (ec) return context.Fail("cannot read the folder " + folder_ + ": " + ec.message());
    std::vector<std::string> present;  // every *.txt in the folder
    for (const auto& entry : it) {
        if (!entry.is_regular_file(ec) || entry.path().extension() != ".txt") continue;
        present.push_back(Utf8FromPath(entry.path().filename()));
    }
    std::sort(present.begin(), present.end());
    std::vector<fleet::FleetIndexRow> index;
    const FileResult indexRead = fleet::FleetIndex::Read(folder / "index.csv", index);
    const bool withIndex = indexRead.ok();
    if (!withIndex && std::filesystem::exists(folder / "index.csv", ec)) {
        return context.Fail(indexRead.error);
    }
    if (withIndex) {
        std::set<std::string> listed;
        for (const fleet::FleetIndexRow& r : index) {
            if (r.file.empty() || !listed.insert(r.file).second) continue;
            const std::filesystem::path name = PathFromUtf8(r.file);
            if (name.has_parent_path() || name.is_absolute()) continue;
            CFilePropertyReadWrite file;
            if (const FileResult read = file.Read(folder / name); !read.ok()) {
                err << "qt40cfg-cli: index.csv lists " << r.file << ", which cannot be read"
                    << (read.error.empty() ? std::string() : ": " + read.error) << '\n';
                continue;
            }
            saved.push_back({r.file, file.Values(), r.endpoint, r.address, false});
        }
        // Files an earlier run left that the latest index does not list.
        for (const std::string& name : present) {
            if (listed.count(name)) continue;
            err << "qt40cfg-cli: " << name
                << " is not in index.csv (an older file): not compared\n";
        }
        err << std::flush;
    } else {
        // A folder of files without an index: by the device ID inside them.
        for (const std::string& name : present) {
            CFilePropertyReadWrite file;
            if (!file.Read(folder / PathFromUtf8(name)).ok() || file.Values().deviceId.empty()) {
                continue;
            }
            saved.push_back({name, file.Values(), {}, {}, false});
        }
    }

    FleetCollected c = RunFleet(runner, targets, err);
    std::vector<fleet::FleetReportEntry> entries;
    bool differs = false;
    using Status = fleet::FleetReportEntry::Status;
    for (const FleetDevice& d : c.devices) {
        fleet::FleetReportEntry e;
        e.endpoint = d.endpoint;
        e.address = std::to_string(d.address);
        e.deviceId = d.record.deviceIdText;
        e.model = d.Model();
        if (d.kind == FleetDevice::Kind::Failed) {
            e.status = Status::Failed;
            e.note = d.error;
            entries.push_back(std::move(e));
            continue;
        }
        if (d.kind == FleetDevice::Kind::OtherModel) {
            e.status = Status::OtherModel;
            e.note = "skipped";
            entries.push_back(std::move(e));
            continue;
        }
        e.tag = Trimmed(d.record.tag);
        const FileConfig device = FileConfigFromDevice(d.record);
        // The file the backup saved at this device's place; else (a device
        // moved to another loop) by device ID, the one with the device's tag
        // first.
        const std::string endpoint = fleet::TargetsFile::CanonicalEndpoint(d.endpoint);
        Saved* match = nullptr;
        for (Saved& s : saved) {
            if (!s.matched && s.config.deviceId == device.deviceId && s.address == e.address &&
                fleet::TargetsFile::CanonicalEndpoint(s.endpoint) == endpoint) {
                match = &s;
                break;
            }
        }
        for (Saved& s : saved) {
            if (match && !match->endpoint.empty() && match->address == e.address &&
                fleet::TargetsFile::CanonicalEndpoint(match->endpoint) == endpoint) {
                break;
            }
            if (s.matched || s.config.deviceId != device.deviceId) continue;
            if (!match || (Trimmed(s.config.tag) == e.tag && Trimmed(match->config.tag) != e.tag)) {
                match = &s;
            }
        }
        const std::string where =
            Where(d.endpoint, d.address) + ", tag " + e.tag + ", device ID " + e.deviceId;
        if (!match) {
            differs = true;
            e.status = Status::NoSavedFile;
            out << "no saved file: " << where << '\n';
            entries.push_back(std::move(e));
            continue;
        }
        match->matched = true;
        e.file = match->name;
        // Every value the file holds, those no page shows included.
        const std::vector<StoredValue> rows = StoredDifferences(match->config, device);
        e.status = rows.empty() ? Status::Matches : Status::Differs;
        if (!rows.empty()) {
            differs = true;
            out << where << ", file " << match->name << ":\n";
        }
        for (const StoredValue& v : rows) {
            const std::string& was = match->config.*v.value;
            const std::string& now = device.*v.value;
            out << v.caption << ": " << was << " | " << now << '\n';
            e.rows.push_back({v.caption, was, now});
        }
        entries.push_back(std::move(e));
    }
    for (const Saved& s : saved) {
        if (s.matched) continue;
        differs = true;
        out << "no device: " << s.name << ", tag " << Trimmed(s.config.tag) << ", device ID "
            << s.config.deviceId << '\n';
        fleet::FleetReportEntry e;
        e.status = Status::NoDevice;
        e.tag = Trimmed(s.config.tag);
        e.deviceId = s.config.deviceId;
        e.model = s.config.deviceType;
        e.file = s.name;
        if (!c.failedEndpoints.empty()) e.note = "not all endpoints were reached";
        entries.push_back(std::move(e));
    }
    for (const FleetEndpoint& f : c.failedEndpoints) {
        // An endpoint lost during a device's upload is that device's entry already.
        const bool told = std::any_of(entries.begin(), entries.end(), [&](const auto& e) {
            return e.status == Status::Failed && e.endpoint == f.endpoint && e.note == f.error;
        });
        if (told) continue;
        fleet::FleetReportEntry e;
        e.status = Status::Failed;
        e.endpoint = f.endpoint;
        e.note = f.error;
        entries.push_back(std::move(e));
    }
    out.flush();
    if (!report_.empty()) {
        const FileResult written =
            fleet::FleetReport::Save(report_, entries, fleet::FleetIndex::Now());
        if (!written.ok()) return context.Fail(written.error);
    }
    if (c.AnyFailed()) return kExitFailed;
    return differs ? kExitDiffers : kExitOk;
}

}  // namespace qt40::cli
