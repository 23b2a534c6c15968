#pragma once
// qt40cfg-cli's custom table commands: `table read|write|check` and
// `rtd-coefficients`. They drive the same table transfer and calibrated-RTD
// write the panels use; progress goes to stderr.

#include <CLI/CLI.hpp>
#include <chrono>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

#include "base/LinkTiming.h"
#include "procedures/CalibratedRtdWrite.h"
#include "procedures/TableTransfer.h"

namespace qt40::cli {

struct LinkOptions;

class CliConnection;

class TableCommands final : public TableTransferView, public CalibratedRtdView {
public:
    TableCommands(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    // Adds the subcommands to `app`; `trace` is the tool's --trace flag.
    void Register(CLI::App& app, LinkOptions& link);
    // Whether the command line chose one of them.
    bool Chosen() const;
    int Run(const LinkTiming& timing, int reconnectWaitMs, std::function<bool()> interrupted);

    // TableTransferView and CalibratedRtdView
    CommResult Submit(WorkerRequest code, bool polling) override;
    void ShowProgress(const std::string& key) override;
    void HideProgress() override {}
    void EnableRead(bool) override {}
    void EnableWrite(bool) override {}
    void TableArrived(bool complete) override;
    void ConnectionLost() override { lost_ = true; }
    void SequenceEnded() override { ended_ = true; }
    void EnableCalibratedWrite(bool) override {}

private:
    int Check();
    int Read(CliConnection& connection);
    int Write(CliConnection& connection);
    // The six values through the panel's entries, before anything is connected.
    std::optional<RtdCoefficientTexts> CoefficientValues(std::string& refusal);
    int Coefficients(CliConnection& connection, const RtdCoefficientTexts& values);
    int Usage(const std::string& message);
    int Fail(const std::string& message);
    TableKind Kind() const;
    // Runs `start` and hands the notifications to the transfer (and the
    // coefficient write) until the sequence has ended.
    bool RunSequence(CliConnection& connection, TableTransfer& transfer,
                     CalibratedRtdWrite* coefficients, const std::function<bool()>& start,
                     std::string& error);
    void Progress(float percent);

    std::ostream& out_;
    std::ostream& err_;
    CLI::App* table_ = nullptr;
    CLI::App* read_ = nullptr;
    CLI::App* write_ = nullptr;
    CLI::App* check_ = nullptr;
    CLI::App* coefficients_ = nullptr;
    LinkOptions* link_ = nullptr;

    std::string kind_ = "tc";
    std::string outFile_;
    std::string inFile_;
    bool yes_ = false;
    std::string a_, b_, c_, r0_;
    std::string lower_;
    std::string upper_;

    CliConnection* connection_ = nullptr;
    bool ended_ = false;
    bool lost_ = false;
    std::optional<bool> arrived_;  // whole table (true) or header (false)
    int points_ = 0;               // of the running transfer, for progress
    int lastPoint_ = -1;
    std::chrono::steady_clock::time_point started_;
};

}  // namespace qt40::cli
