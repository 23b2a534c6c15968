#include "cli/FleetCommands.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "cli/CliApp.h"
#include "cli/CliConnection.h"
#include "cli/EnglishMessages.h"
#include "cli/FileCommands.h"
#include "cli/LinkOptions.h"
#include "cli/RecordPrinter.h"
#include "files/CFilePropertyReadWrite.h"
#include "files/ConfigComparison.h"
#include "files/FileConfigFromDevice.h"
#include "files/SafeTextWriter.h"
#include "files/Utf8Path.h"
#include "fleet/BackupNaming.h"
#include "fleet/FleetIndex.h"
#include "fleet/FleetReport.h"
#include "fleet/FleetRunner.h"
#include "model/PrintableText.h"
#include "fleet/TargetsFile.h"

namespace qt40::cli {
namespace {

using fleet::FleetDevice;
using fleet::FleetEndpoint;

std::string Trimmed(const std::string& text) {
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

std::string StatusText(std::uint8_t status) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02X", status);
    const std::string flags = RecordPrinter::StatusFlags(status);
    return flags.empty() ? hex : std::string(hex) + " " + flags;
}

// Where a device stands, for a line of text: "/dev/ttyUSB0 address 3".
std::string Where(const std::string& endpoint, int address) {
    return endpoint + " address " + std::to_string(address);
}

// What the runner reported, kept to be shown in the order of the targets file.
struct Collected {
    std::vector<FleetDevice> devices;
    std::vector<FleetEndpoint> failedEndpoints;
    int failedDevices = 0;

    void Sort() {
        std::sort(devices.begin(), devices.end(), [](const FleetDevice& a, const FleetDevice& b) {
            return std::tie(a.target, a.address) < std::tie(b.target, b.address);
        });
        std::sort(failedEndpoints.begin(), failedEndpoints.end(),
                  [](const FleetEndpoint& a, const FleetEndpoint& b) { return a.target < b.target; });
    }
    bool AnyFailed() const { return failedDevices > 0 || !failedEndpoints.empty(); }
};

}  // namespace

FleetCommands::FleetCommands(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

void FleetCommands::Register(CLI::App& app, LinkOptions& link) {
    link_ = &link;
    fleet_ = app.add_subcommand("fleet", "Many transmitters at once, from a targets file");
    fleet_->require_subcommand(1);
    scan_ = fleet_->add_subcommand("scan", "List every device the targets file reaches");
    backup_ = fleet_->add_subcommand(
        "backup", "Save the configuration file of every QT40 into a folder, with index.csv");
    compare_ = fleet_->add_subcommand(
        "compare", "Compare every QT40 with its saved configuration file, by device ID");
    for (CLI::App* cmd : {scan_, backup_, compare_}) {
        cmd->add_option("--targets", targetsFile_,
                        "Targets file: one endpoint a line (serial port, hartip://HOST[:PORT] or "
                        "hartip+udp://HOST[:PORT]), then an address, a range 1-4 or all")
            ->required();
        cmd->add_option("--jobs,-j", jobs_, "Endpoints served at once")
            ->check(CLI::Range(1, 256));
        AddHartIpTimeout(cmd, link);
        AddTraceFlag(cmd, link);
    }
    backup_->add_option("--out", folder_, "Folder for the files and index.csv")->required();
    compare_->add_option("--in", folder_, "Folder of a backup")->required();
    compare_->add_option("--report", report_, "Also write the result as one HTML page");
}

int FleetCommands::Fail(const std::string& message, int code) {
    out_.flush();
    err_ << "qt40cfg-cli: " << message << '\n' << std::flush;
    return code;
}

void FleetCommands::Progress(const fleet::FleetProgress& p) {
    err_ << p.endpointsDone << " of " << p.endpoints << " endpoints, " << p.devices
         << (p.devices == 1 ? " device, " : " devices, ") << p.failed << " failed\n"
         << std::flush;
}

std::optional<int> FleetCommands::Run(const LinkTiming& timing, int reconnectWaitMs,
                                      const std::function<bool()>& interrupted) {
    if (!fleet_ || !*fleet_) return std::nullopt;
    // The whole file is checked before any line is opened.
    const fleet::TargetsResult targets = fleet::TargetsFile::Read(PathFromUtf8(targetsFile_));
    if (!targets.ok()) return Fail(targets.error, kExitUsage);

    fleet::FleetRunner::Options options;
    options.jobs = jobs_;
    options.timing = timing;
    options.reconnectWaitMs = reconnectWaitMs;
    options.hartIp.answerTimeoutMs = link_->hartIpTimeoutMs;
    // Many loops at once: each trace line goes to stderr whole, named by its
    // endpoint and address, decoded unless hex was asked for.
    using Trace = fleet::FleetRunner::Options::Trace;
    options.trace = link_->trace.empty() ? Trace::Off : link_->trace == "hex" ? Trace::Hex : Trace::Decoded;
    options.traceTexts = EnglishDecoderTexts();
    options.interrupted = interrupted;
    fleet::FleetRunner runner(options);
    runner.OnProgress([this](const fleet::FleetProgress& p) { Progress(p); });
    runner.OnTrace([this](const std::string& line) { err_ << PrintableText(line) + "\n" << std::flush; });
    if (*scan_) return Scan(runner, targets.targets);
    if (*backup_) return Backup(runner, targets.targets);
    return Compare(runner, targets.targets);
}

namespace {

// Runs the fleet, telling each failure on `err` as it happens.
Collected RunAll(fleet::FleetRunner& runner, const std::vector<fleet::FleetTarget>& targets,
                 std::ostream& err, const std::function<void(const FleetDevice&)>& each = {}) {
    Collected c;
    runner.OnDevice([&](const FleetDevice& d) {
        if (d.kind == FleetDevice::Kind::Failed) {
            ++c.failedDevices;
            err << "qt40cfg-cli: " << Where(d.endpoint, d.address) << ": " << d.error << '\n'
                << std::flush;
        }
        if (each) each(d);
        c.devices.push_back(d);
    });
    runner.OnEndpoint([&](const FleetEndpoint& e) {
        if (e.error.empty()) return;
        // A device failure that lost the endpoint was told already.
        const bool told = std::any_of(c.devices.begin(), c.devices.end(), [&](const FleetDevice& d) {
            return d.target == e.target && d.kind == FleetDevice::Kind::Failed && d.error == e.error;
        });
        if (!told) err << "qt40cfg-cli: " << e.endpoint << ": " << e.error << '\n' << std::flush;
        c.failedEndpoints.push_back(e);
    });
    runner.Run(targets);
    c.Sort();
    return c;
}

}  // namespace

int FleetCommands::Scan(fleet::FleetRunner& runner,
                        const std::vector<fleet::FleetTarget>& targets) {
    Collected c = RunAll(runner, targets, err_);
    for (const FleetDevice& d : c.devices) {
        if (d.kind == FleetDevice::Kind::Failed) continue;
        const bool qt40 = d.kind == FleetDevice::Kind::Qt40;
        out_ << d.endpoint << '\t' << d.address << '\t' << (qt40 ? Trimmed(d.record.tag) : "-")
             << '\t' << d.record.deviceIdText << '\t' << d.Model() << '\t'
             << StatusText(d.deviceStatus) << '\n';
    }
    out_.flush();
    return c.AnyFailed() ? kExitFailed : kExitOk;
}

int FleetCommands::Backup(fleet::FleetRunner& runner,
                          const std::vector<fleet::FleetTarget>& targets) {
    const std::filesystem::path folder = PathFromUtf8(folder_);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder)) {
        return Fail("cannot make the folder " + folder_ + ": " +
                        (ec ? ec.message() : std::string("a file of that name is in the way")),
                    kExitFailed);
    }
    {
        // A folder that takes no file is found before the first device is uploaded.
        SafeTextWriter probe(folder / "index.csv");
        if (const FileResult opened = probe.Open(); !opened.ok()) {
            return Fail("cannot write in the folder " + folder_ + ": " + opened.error, kExitFailed);
        }
    }
    // What an earlier run recorded, kept where this run does not replace it.
    std::vector<fleet::FleetIndexRow> earlier;
    if (const FileResult read = fleet::FleetIndex::Read(folder / "index.csv", earlier);
        !read.ok() && read.status != FileResult::Status::NotOpened) {
        err_ << "qt40cfg-cli: " << read.error << ": its rows are not carried over\n" << std::flush;
    }
    struct Row {
        std::size_t target;
        int address;  // -1 for a row about the whole endpoint
        fleet::FleetIndexRow index;
        std::string plainName;  // of a saved QT40: the name without its place
    };
    std::vector<Row> rows;
    std::set<std::string> used;  // file names of this run
    int failedSaves = 0;
    // Saved from the endpoint's thread as soon as its upload is in; the
    // runner calls this for one device at a time.
    const auto save = [&](const FleetDevice& d) {
        fleet::FleetIndexRow r;
        r.endpoint = d.endpoint;
        r.address = std::to_string(d.address);
        r.tag = Trimmed(d.record.tag);
        r.deviceId = d.record.deviceIdText;
        r.time = fleet::FleetIndex::Now();
        std::string plain;
        switch (d.kind) {
            case FleetDevice::Kind::Failed:
                r.result = "failed: " + d.error;
                break;
            case FleetDevice::Kind::OtherModel:
                r.tag.clear();
                r.result = "not a QT40 (" + d.Model() + "): skipped";
                break;
            case FleetDevice::Kind::Qt40: {
                // Two devices claiming one tag and device ID must not
                // overwrite each other: the second is named by its place.
                plain = fleet::BackupFileName(d.record.tag, d.record.deviceIdText);
                const std::string name =
                    used.count(plain) ? fleet::BackupFileName(d.record.tag, d.record.deviceIdText,
                                                              d.endpoint, d.address)
                                      : plain;
                used.insert(name);
                const FileResult saved =
                    SaveConfigFile(folder / name, FileConfigFromDevice(d.record));
                if (saved.ok()) {
                    r.file = name;
                    r.result = "saved";
                } else {
                    ++failedSaves;
                    plain.clear();
                    r.result = "failed: " + saved.error;
                    err_ << "qt40cfg-cli: " << saved.error << '\n' << std::flush;
                }
                break;
            }
        }
        rows.push_back({d.target, d.address, std::move(r), std::move(plain)});
    };
    Collected c = RunAll(runner, targets, err_, save);
    for (const FleetEndpoint& e : c.failedEndpoints) {
        // An endpoint lost with a device's failure is told on that device's
        // row: one row for one lost loop.
        Row* last = nullptr;
        for (Row& r : rows) {
            if (r.target == e.target && r.address >= 0 && (!last || r.address > last->address)) {
                last = &r;
            }
        }
        if (last && last->index.result.rfind("failed: ", 0) == 0) {
            if (last->index.result != "failed: " + e.error) {
                last->index.result += "; the endpoint was given up: " + e.error;
            }
            continue;
        }
        fleet::FleetIndexRow r;
        r.endpoint = e.endpoint;
        r.time = fleet::FleetIndex::Now();
        r.result = "failed: " + e.error;
        rows.push_back({e.target, -1, std::move(r), {}});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return std::tie(a.target, a.address) < std::tie(b.target, b.address);
    });
    // Of devices sharing a tag and device ID, the first in the targets file
    // keeps the plain name, whichever loop happened to answer first.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        Row& first = rows[i];
        if (first.plainName.empty() || first.index.file == first.plainName) continue;
        const auto samePlain = [&](const Row& r) { return r.plainName == first.plainName; };
        if (std::any_of(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(i), samePlain)) {
            continue;
        }
        const auto holder =
            std::find_if(rows.begin() + static_cast<std::ptrdiff_t>(i) + 1, rows.end(),
                         [&](const Row& r) { return r.index.file == first.plainName; });
        if (holder == rows.end()) continue;
        const std::string moved = fleet::BackupFileName(holder->index.tag, holder->index.deviceId,
                                                        holder->index.endpoint, holder->address);
        std::error_code renamed;
        std::filesystem::rename(folder / first.plainName, folder / moved, renamed);
        if (renamed) continue;
        std::filesystem::rename(folder / first.index.file, folder / first.plainName, renamed);
        if (renamed) {
            std::filesystem::rename(folder / moved, folder / first.plainName, renamed);
            continue;
        }
        holder->index.file = moved;
        first.index.file = first.plainName;
    }
    for (Row& r : rows) {
        if (!r.plainName.empty() && r.index.file != r.plainName) {
            r.index.result = "saved; its device ID is used twice";
        }
    }
    std::vector<fleet::FleetIndexRow> index;
    for (Row& r : rows) {
        if (!r.index.file.empty()) {
            out_ << r.index.endpoint << '\t' << r.index.address << '\t' << r.index.tag << '\t'
                 << r.index.deviceId << '\t' << r.index.file << '\n';
        }
        index.push_back(std::move(r.index));
    }
    out_.flush();
    const std::vector<fleet::FleetIndexRow> carried =
        fleet::FleetIndex::Carried(earlier, index, folder);
    index.insert(index.end(), carried.begin(), carried.end());
    const FileResult saved = fleet::FleetIndex::Save(folder / "index.csv", index);
    if (!saved.ok()) return Fail(saved.error, kExitFailed);
    return c.AnyFailed() || failedSaves > 0 ? kExitFailed : kExitOk;
}
int FleetCommands::Compare(fleet::FleetRunner& runner,
                           const std::vector<fleet::FleetTarget>& targets) {
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
    if (ec) return Fail("cannot read the folder " + folder_ + ": " + ec.message(), kExitFailed);
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
        return Fail(indexRead.error, kExitFailed);
    }
    if (withIndex) {
        std::set<std::string> listed;
        for (const fleet::FleetIndexRow& r : index) {
            if (r.file.empty() || !listed.insert(r.file).second) continue;
            const std::filesystem::path name = PathFromUtf8(r.file);
            if (name.has_parent_path() || name.is_absolute()) continue;
            CFilePropertyReadWrite file;
            if (const FileResult read = file.Read(folder / name); !read.ok()) {
                err_ << "qt40cfg-cli: index.csv lists " << r.file << ", which cannot be read"
                     << (read.error.empty() ? std::string() : ": " + read.error) << '\n';
                continue;
            }
            saved.push_back({r.file, file.Values(), r.endpoint, r.address, false});
        }
        // Files an earlier run left that the latest index does not list.
        for (const std::string& name : present) {
            if (listed.count(name)) continue;
            err_ << "qt40cfg-cli: " << name
                 << " is not in index.csv (an older file): not compared\n";
        }
        err_ << std::flush;
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

    Collected c = RunAll(runner, targets, err_);
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
        const std::string where = Where(d.endpoint, d.address) + ", tag " + e.tag +
                                  ", device ID " + e.deviceId;
        if (!match) {
            differs = true;
            e.status = Status::NoSavedFile;
            out_ << "no saved file: " << where << '\n';
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
            out_ << where << ", file " << match->name << ":\n";
        }
        for (const StoredValue& v : rows) {
            const std::string& was = match->config.*v.value;
            const std::string& now = device.*v.value;
            out_ << v.caption << ": " << was << " | " << now << '\n';
            e.rows.push_back({v.caption, was, now});
        }
        entries.push_back(std::move(e));
    }
    for (const Saved& s : saved) {
        if (s.matched) continue;
        differs = true;
        out_ << "no device: " << s.name << ", tag " << Trimmed(s.config.tag) << ", device ID "
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
    out_.flush();
    if (!report_.empty()) {
        const FileResult written =
            fleet::FleetReport::Save(report_, entries, fleet::FleetIndex::Now());
        if (!written.ok()) return Fail(written.error, kExitFailed);
    }
    if (c.AnyFailed()) return kExitFailed;
    return differs ? kExitDiffers : kExitOk;
}

}  // namespace qt40::cli
