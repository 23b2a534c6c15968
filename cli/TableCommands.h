#pragma once
// What qt40cfg-cli's custom table commands share (`table read|write|check`
// and `rtd-coefficients`): the table kinds by name, a table file read as the
// panel reads it, and the sequence of a table transfer or calibrated-RTD
// write driven to its end with its progress on stderr.

#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "procedures/CalibratedRtdWrite.h"
#include "procedures/TableTransfer.h"
#include "tables/TableKind.h"

namespace CLI {
class App;
}

namespace qt40::cli {

class CliConnection;
class TablePrompts;

inline constexpr const char* kNoUsableTable = "holds no usable table (fewer than two points)";

// "custom TC table", "custom RTD table" or "special curve".
const char* TableName(TableKind kind);
// --kind (required): tc, rtd or curve, into `kind`.
void AddTableKindOption(CLI::App& command, std::string& kind);
// The kind --kind names.
TableKind TableKindNamed(const std::string& kind);

// A table file as the panel takes it over; false with `error` when the read
// ended or a question about it was refused. `valid`: the table is usable.
bool LoadTable(TableKind kind, const std::string& path, TablePrompts& prompts,
               CustomTableEdit& custom, SpecialCurveEdit& curve, bool& valid, std::string& error);

// The view of one table transfer (and calibrated-RTD write) on a connection:
// requests go to the worker, the progress is a line on `err` each point.
class TableSequence final : public TableTransferView, public CalibratedRtdView {
public:
    TableSequence(CliConnection& connection, std::ostream& err)
        : connection_(connection), err_(err) {}

    // The points of the table under way, for the progress; a read learns
    // them from the table's header.
    void SetPoints(int points) { points_ = points; }
    int Points() const { return points_; }
    // Runs `start` and hands the notifications to the transfer (and the
    // coefficient write) until the sequence has ended; false with `error`
    // (empty when a question ended it) otherwise.
    bool Run(TableTransfer& transfer, CalibratedRtdWrite* coefficients,
             const std::function<bool()>& start, std::string& error);
    // Whether the whole table (true) or only its header (false) arrived.
    const std::optional<bool>& Arrived() const { return arrived_; }

    // TableTransferView and CalibratedRtdView
    CommResult Submit(WorkerRequest code, bool polling) override;
    void ShowProgress(const std::string& key) override;
    void HideProgress() override {}
    void EnableRead(bool) override {}
    void EnableWrite(bool) override {}
    void TableArrived(bool complete) override { arrived_ = complete; }
    void ConnectionLost() override { lost_ = true; }
    void SequenceEnded() override { ended_ = true; }
    void EnableCalibratedWrite(bool) override {}

private:
    void Progress(float percent);

    CliConnection& connection_;
    std::ostream& err_;
    bool ended_ = false;
    bool lost_ = false;
    std::optional<bool> arrived_;
    int points_ = 0;
    int lastPoint_ = -1;
    std::chrono::steady_clock::time_point started_;
};

}  // namespace qt40::cli
