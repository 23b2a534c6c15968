#include "cli/TableCommands.h"

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include <cmath>
#include <filesystem>

#include "cli/CliConnection.h"
#include "cli/TablePrompts.h"
#include "files/Utf8Path.h"
#include "tables/CFileOperations.h"
#include "tables/TableRules.h"

namespace qt40::cli {

const char* TableName(TableKind kind) {
    switch (kind) {
        case TableKind::CustomTc:
            return "custom TC table";
        case TableKind::CustomRtd:
            return "custom RTD table";
        case TableKind::SpecialCurve:
            break;
    }
    return "special curve";
}

bool LoadTable(TableKind kind, const std::string& path, TablePrompts& prompts,
               CustomTableEdit& custom, SpecialCurveEdit& curve, bool& valid, std::string& error) {
    const std::filesystem::path file = PathFromUtf8(path);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) {
        error = "cannot read " + path;
        return false;
    }
    CFileOperations reader(prompts);
    reader.SetUp(ReaderSetupFor(kind));
    const TableReadOutcome outcome = kind == TableKind::SpecialCurve ? reader.ReadSpecialCurve(file)
                                                                     : reader.ReadCustomTable(file);
    if (prompts.Refusal()) {
        error = path + ": " + *prompts.Refusal();
        return false;
    }
    if (outcome == TableReadOutcome::Aborted) {
        if (!reader.Result().fileError.empty()) {
            error = reader.Result().fileError;
        } else {
            error = path + ": reading stopped" +
                    (prompts.LastMessage().empty() ? "" : " at " + prompts.LastMessage());
        }
        return false;
    }
    if (kind == TableKind::SpecialCurve) {
        SpecialCurveSummary summary;
        valid = TakeOverSpecialCurveRead(reader.Result(), curve, summary);
    } else {
        CustomTableSummary summary;
        valid = TakeOverCustomTableRead(reader.Result(), CustomTableImage{}, custom, summary);
    }
    return true;
}

void AddTableKindOption(CLI::App& command, std::string& kind) {
    command.add_option("--kind", kind, "tc, rtd or curve")
        ->required()
        ->check(CLI::IsMember({"tc", "rtd", "curve"}));
}

TableKind TableKindNamed(const std::string& kind) {
    if (kind == "rtd") return TableKind::CustomRtd;
    if (kind == "curve") return TableKind::SpecialCurve;
    return TableKind::CustomTc;
}

bool TableSequence::Run(TableTransfer& transfer, CalibratedRtdWrite* coefficients,
                        const std::function<bool()>& start, std::string& error) {
    CliConnection& connection = connection_;
    ended_ = false;
    lost_ = false;
    arrived_.reset();
    lastPoint_ = -1;
    started_ = std::chrono::steady_clock::now();
    if (!start()) return false;
    const TableKindInfo& info = transfer.Info();
    int refused = 0;
    const auto handle = [&](const Notification& n) {
        if (n.kind == NotificationKind::Progress) {
            Progress(n.percent);
            return true;
        }
        const bool ours = n.Completes(info.readHeader) || n.Completes(info.readPoint) ||
                          n.Completes(info.writeHeader) || n.Completes(info.writePoint) ||
                          n.Completes(WorkerRequest::WriteCalibratedRtd);
        if (ours && n.result == kCommAnswerRejected && refused == 0) refused = CodeOf(n.request);
        if (n.Completes(info.readHeader) && n.result == kCommSuccess && points_ == 0) {
            const DeviceRecord r = connection.Record();
            points_ =
                info.kind == TableKind::SpecialCurve ? r.specialCurve.size : r.customTable.size;
        }
        if (coefficients && coefficients->HandleNotification(n)) return true;
        return transfer.HandleNotification(n);
    };
    const auto done = [&] {
        return lost_ || (ended_ && !transfer.Busy() && !(coefficients && coefficients->Busy()));
    };
    const CliOutcome outcome = connection.Drive(done, handle);
    if (!outcome.ok) {
        error = outcome.error;
        return false;
    }
    if (lost_) {
        error = "the connection to the device was lost";
        return false;
    }
    if (refused != 0) {
        const int code = connection.Worker().WithSession(
            [](DeviceState& s) { return static_cast<int>(s.link.responseCode); });
        error = fmt::format("the device refused request {} (response code {})", refused, code);
        return false;
    }
    return true;
}

CommResult TableSequence::Submit(WorkerRequest code, bool polling) {
    return connection_.Worker().SubmitRequest(code, polling);
}

void TableSequence::ShowProgress(const std::string& key) {
    if (key == kStoringTableKey) {
        err_ << "the device is storing the values; waiting\n" << std::flush;
    }
}

void TableSequence::Progress(float percent) {
    if (points_ <= 0) return;
    const int point = static_cast<int>(std::lround(percent * points_ / 100.0));
    if (point == lastPoint_ || point <= 0) return;
    lastPoint_ = point;
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    const double left = elapsed / point * (points_ - point);
    err_ << fmt::format("point {} of {}, about {:.0f} s left\n", point, points_, left)
         << std::flush;
}

}  // namespace qt40::cli
