#include "cli/TableCommands.h"

#include <fmt/format.h>

#include <cmath>
#include <filesystem>
#include <sstream>
#include <vector>

#include "cli/CliApp.h"
#include "cli/CliConnection.h"
#include "cli/LinkOptions.h"
#include "cli/TablePrompts.h"
#include "files/Utf8Path.h"
#include "model/CglobalFile.h"
#include "model/EntryRules.h"
#include "model/NumberText.h"
#include "tables/CFileOperations.h"
#include "tables/TableRules.h"

namespace qt40::cli {
namespace {

constexpr const char* kNoUsableTable = "holds no usable table (fewer than two points)";


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

// A table file as the panel takes it over; false with `error` when the read
// ended or a question about it was refused.
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

// The shortest fixed-point text that gives the same single-precision value:
// what a technician would type into the entry.
std::string EntryText(double value) {
    for (int digits = 0; digits < 10; ++digits) {
        const std::string text = FormatFixed(value, digits);
        if (static_cast<float>(LeadingDecimal(text)) == static_cast<float>(value)) return text;
    }
    return FormatFixed(value, 10);
}

}  // namespace

void TableCommands::Register(CLI::App& app, LinkOptions& link) {
    link_ = &link;
    table_ = app.add_subcommand("table", "Custom tables: read, write or check");
    table_->require_subcommand(1);
    read_ = table_->add_subcommand("read", "Save the device's table as a table file");
    write_ = table_->add_subcommand("write", "Write a table file to the device");
    check_ = table_->add_subcommand("check", "Check a table file as a write would");
    coefficients_ =
        app.add_subcommand("rtd-coefficients", "Write the calibrated-RTD coefficients and limits");

    for (CLI::App* cmd : {read_, write_, check_}) {
        cmd->add_option("--kind", kind_, "tc, rtd or curve")
            ->required()
            ->check(CLI::IsMember({"tc", "rtd", "curve"}));
    }
    for (CLI::App* cmd : {read_, write_, coefficients_}) AddLinkOptions(cmd, link);
    read_->add_option("--out", outFile_, "Table file to write")->required();
    write_->add_option("--in", inFile_, "Table file to read")->required();
    check_->add_option("--in", inFile_, "Table file to read")->required();
    write_->add_flag("--yes", yes_, "Answer every question with OK or Yes");
    // The same answers as the write it stands in for: a warning --yes accepts
    // fails the check only without --yes.
    check_->add_flag("--yes", yes_, "Accept the warnings a write with --yes accepts");
    coefficients_->add_option("--a", a_, "Coefficient A, e.g. 3.9083e-3")->required();
    coefficients_->add_option("--b", b_, "Coefficient B, e.g. -5.775e-7")->required();
    coefficients_->add_option("--c", c_, "Coefficient C, e.g. -4.183e-12")->required();
    coefficients_->add_option("--r0", r0_, "Resistance at 0 degC in ohms")->required();
    coefficients_->add_option("--lower", lower_, "Lower temperature limit in degC")->required();
    coefficients_->add_option("--upper", upper_, "Upper temperature limit in degC")->required();
    for (CLI::App* cmd : {table_, check_}) AddTraceFlag(cmd, link);
}

bool TableCommands::Chosen() const {
    return (table_ && *table_) || (coefficients_ && *coefficients_);
}

TableKind TableCommands::Kind() const {
    if (kind_ == "rtd") return TableKind::CustomRtd;
    if (kind_ == "curve") return TableKind::SpecialCurve;
    return TableKind::CustomTc;
}

int TableCommands::Fail(const std::string& message) {
    out_.flush();
    err_ << "qt40cfg-cli: " << message << '\n' << std::flush;
    return kExitFailed;
}

int TableCommands::Usage(const std::string& message) {
    out_.flush();
    err_ << "qt40cfg-cli: " << message << '\n' << std::flush;
    return kExitUsage;
}

int TableCommands::Run(const LinkTiming& timing, int reconnectWaitMs,
                       std::function<bool()> interrupted) {
    if (*check_) return Check();
    const CliConnection::Options options = ConnectionOptionsFor(*link_, timing, reconnectWaitMs);
    if (*write_) {
        // The file first: a bad file never touches the device.
        TablePrompts prompts(err_, yes_);
        CustomTableEdit custom;
        SpecialCurveEdit curve;
        bool valid = false;
        std::string error;
        if (!LoadTable(Kind(), inFile_, prompts, custom, curve, valid, error)) return Fail(error);
        // What is wrong with the file, rather than the question a write would ask.
        if (!valid) return Fail(inFile_ + ": " + kNoUsableTable);
        CliConnection connection(options, err_, interrupted);
        connection_ = &connection;
        const CliOutcome connected = connection.Connect(link_->address);
        if (!connected.ok) return Fail(connected.error);
        SteadyClock clock;
        TableTransfer transfer(Kind(), connection.Worker(), prompts, *this, clock);
        points_ = Kind() == TableKind::SpecialCurve ? curve.size : custom.size;
        const auto start = [&] {
            return Kind() == TableKind::SpecialCurve ? transfer.StartWrite(curve, valid)
                                                     : transfer.StartWrite(custom, valid);
        };
        if (!RunSequence(connection, transfer, nullptr, start, error)) {
            // A question refused for want of --yes says so.
            return Fail(error.empty() ? prompts.Refusal().value_or(prompts.LastMessage()) : error);
        }
        const DeviceRecord r = connection.Record();
        const int size =
            Kind() == TableKind::SpecialCurve ? r.specialCurve.size : r.customTable.size;
        out_ << "wrote " << points_ << " points; the device reports a " << TableName(Kind())
             << " of " << size << " points\n"
             << std::flush;
        return kExitOk;
    }
    std::optional<RtdCoefficientTexts> coefficients;
    if (!*read_) {
        // A value the entries refuse is a wrong command line: nothing is connected.
        std::string refusal;
        coefficients = CoefficientValues(refusal);
        if (!coefficients) return Usage(refusal);
    }
    CliConnection connection(options, err_, interrupted);
    connection_ = &connection;
    const CliOutcome connected = connection.Connect(link_->address);
    if (!connected.ok) return Fail(connected.error);
    return *read_ ? Read(connection) : Coefficients(connection, *coefficients);
}

int TableCommands::Check() {
    TablePrompts prompts(err_, yes_);
    CustomTableEdit custom;
    SpecialCurveEdit curve;
    bool valid = false;
    std::string error;
    if (!LoadTable(Kind(), inFile_, prompts, custom, curve, valid, error)) return Fail(error);
    if (!valid) return Fail(inFile_ + ": " + kNoUsableTable);
    const bool passes =
        Kind() == TableKind::SpecialCurve
            ? ValidateSpecialCurve(curve, prompts)
            : ValidateCustomTable(
                  custom,
                  Kind() == TableKind::CustomTc ? CustomTableKind::Tc : CustomTableKind::Rtd,
                  prompts);
    if (!passes) return Fail(inFile_ + ": " + prompts.LastMessage());
    const int size = Kind() == TableKind::SpecialCurve ? curve.size : custom.size;
    out_ << inFile_ << ": a valid " << TableName(Kind()) << " of " << size << " points\n"
         << std::flush;
    return kExitOk;
}

int TableCommands::Read(CliConnection& connection) {
    TablePrompts prompts(err_, false);
    SteadyClock clock;
    TableTransfer transfer(Kind(), connection.Worker(), prompts, *this, clock);
    points_ = 0;
    std::string error;
    const auto start = [&] {
        transfer.StartRead();
        return true;
    };
    if (!RunSequence(connection, transfer, nullptr, start, error)) return Fail(error);
    if (arrived_ != true) {
        return Fail(prompts.LastMessage().empty() ? "the table was not read"
                                                  : prompts.LastMessage());
    }
    const DeviceRecord r = connection.Record();
    connection.Disconnect();
    const std::filesystem::path out = PathFromUtf8(outFile_);
    FileResult saved;
    int size = 0;
    switch (Kind()) {
        case TableKind::CustomTc:
            saved = CFileOperations::WriteCustomTable(out, CglobalFile::CustomTcHeader(), "TC",
                                                      r.customTable);
            size = r.customTable.size;
            break;
        case TableKind::CustomRtd:
            saved = CFileOperations::WriteCustomTable(out, CglobalFile::CustomRtdHeader(),
                                                      "RTD", r.customTable);
            size = r.customTable.size;
            break;
        case TableKind::SpecialCurve:
            saved = CFileOperations::WriteSpecialCurve(out, CglobalFile::SpecialCurveHeader(),
                                                       r.specialCurve);
            size = r.specialCurve.size;
            break;
    }
    if (!saved.ok()) return Fail(saved.error);
    out_ << "read a " << TableName(Kind()) << " of " << size << " points into " << outFile_ << '\n'
         << std::flush;
    return kExitOk;
}

std::optional<RtdCoefficientTexts> TableCommands::CoefficientValues(std::string& refusal) {
    std::ostringstream quiet;
    TablePrompts prompts(quiet, false);
    std::vector<double> numbers;
    for (const auto& [option, text] :
         {std::pair{"--a", a_}, {"--b", b_}, {"--c", c_}, {"--r0", r0_}}) {
        // Plain decimal numbers, a power of ten allowed; "nan" or "0x10" are none.
        if (!IsDecimalTextWithExponent(text)) {
            refusal = fmt::format("{} {} is not a decimal number", option, text);
            return std::nullopt;
        }
        numbers.push_back(LeadingDecimal(text));
    }
    prompts.QueueEntry(EntryText(numbers[0] * 1e3));
    prompts.QueueEntry(EntryText(numbers[1] * 1e7));
    prompts.QueueEntry(EntryText(numbers[2] * 1e12));
    prompts.QueueEntry(EntryText(numbers[3]));
    prompts.QueueEntry(lower_);
    prompts.QueueEntry(upper_);
    // The entries take nothing from the device but their initial texts.
    auto values = EnterRtdCoefficients(DeviceRecord{}, prompts);
    if (!values) refusal = prompts.LastMessage();
    return values;
}

int TableCommands::Coefficients(CliConnection& connection, const RtdCoefficientTexts& values) {
    TablePrompts prompts(err_, false);
    SteadyClock clock;
    TableTransfer rtd(TableKind::CustomRtd, connection.Worker(), prompts, *this, clock);
    CalibratedRtdWrite write(connection.Worker(), prompts, *this, clock, rtd);
    std::string error;
    if (!RunSequence(
            connection, rtd, &write, [&] { return write.Write(values); }, error)) {
        return Fail(error.empty() ? "the coefficients were not written" : error);
    }
    const DeviceRecord r = connection.Record();
    out_ << fmt::format("A: {:g}\nB: {:g}\nC: {:g}\nR0: {:g}\nlower: {}\nupper: {}\n",
                        r.rtdCoefficientA, r.rtdCoefficientB, r.rtdCoefficientC, r.rtdCoefficientR0,
                        r.rtdLowerLimit, r.rtdUpperLimit)
         << std::flush;
    return kExitOk;
}

bool TableCommands::RunSequence(CliConnection& connection, TableTransfer& transfer,
                                CalibratedRtdWrite* coefficients,
                                const std::function<bool()>& start, std::string& error) {
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

CommResult TableCommands::Submit(WorkerRequest code, bool polling) {
    return connection_->Worker().SubmitRequest(code, polling);
}

void TableCommands::ShowProgress(const std::string& key) {
    if (key == kStoringTableKey) {
        err_ << "the device is storing the values; waiting\n" << std::flush;
    }
}

void TableCommands::TableArrived(bool complete) {
    arrived_ = complete;
}

void TableCommands::Progress(float percent) {
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
