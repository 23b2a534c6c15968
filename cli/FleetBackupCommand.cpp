#include "cli/FleetBackupCommand.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <filesystem>
#include <set>
#include <tuple>

#include "cli/CliContext.h"
#include "files/CFilePropertyReadWrite.h"
#include "files/FileConfigFromDevice.h"
#include "files/SafeTextWriter.h"
#include "files/Utf8Path.h"
#include "fleet/BackupNaming.h"
#include "fleet/FleetIndex.h"

namespace qt40::cli {

using fleet::FleetDevice;
using fleet::FleetEndpoint;

FleetBackupCommand::FleetBackupCommand()
    : FleetCommand("backup",
                   "Save the configuration file of every QT40 into a folder, with index.csv") {}

void FleetBackupCommand::AddOptions(CLI::App& command, CliContext& context) {
    FleetCommand::AddOptions(command, context);
    command.add_option("--out", folder_, "Folder for the files and index.csv")->required();
}

int FleetBackupCommand::RunOn(CliContext& context, fleet::FleetRunner& runner,
                              const std::vector<fleet::FleetTarget>& targets) {
    std::ostream& out = context.Out();
    std::ostream& err = context.Err();
    const std::filesystem::path folder = PathFromUtf8(folder_);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder)) {
        return context.Fail("cannot make the folder " + folder_ + ": " +
                            (ec ? ec.message() : std::string("a file of that name is in the way")));
    }
    {
        // A folder that takes no file is found before the first device is uploaded.
        SafeTextWriter probe(folder / "index.csv");
        if (const FileResult opened = probe.Open(); !opened.ok()) {
            return context.Fail("cannot write in the folder " + folder_ + ": " + opened.error);
        }
    }
    // What an earlier run recorded, kept where this run does not replace it.
    std::vector<fleet::FleetIndexRow> earlier;
    if (const FileResult read = fleet::FleetIndex::Read(folder / "index.csv", earlier);
        !read.ok() && read.status != FileResult::Status::NotOpened) {
        err << "qt40cfg-cli: " << read.error << ": its rows are not carried over\n" << std::flush;
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
                    err << "qt40cfg-cli: " << saved.error << '\n' << std::flush;
                }
                break;
            }
        }
        rows.push_back({d.target, d.address, std::move(r), std::move(plain)});
    };
    FleetCollected c = RunFleet(runner, targets, err, save);
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
            out << r.index.endpoint << '\t' << r.index.address << '\t' << r.index.tag << '\t'
                << r.index.deviceId << '\t' << r.index.file << '\n';
        }
        index.push_back(std::move(r.index));
    }
    out.flush();
    const std::vector<fleet::FleetIndexRow> carried =
        fleet::FleetIndex::Carried(earlier, index, folder);
    index.insert(index.end(), carried.begin(), carried.end());
    const FileResult saved = fleet::FleetIndex::Save(folder / "index.csv", index);
    if (!saved.ok()) return context.Fail(saved.error);
    return c.AnyFailed() || failedSaves > 0 ? kExitFailed : kExitOk;
}

}  // namespace qt40::cli
