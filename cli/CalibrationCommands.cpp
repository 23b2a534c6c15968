#include "cli/CalibrationCommands.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <poll.h>
#include <unistd.h>
#endif

#include <fmt/format.h>
#include <CLI/CLI.hpp>
#include <algorithm>
#include <chrono>
#ifdef _WIN32
#include <atomic>
#include <memory>
#include <thread>
#endif

#include "cli/CliApp.h"
#include "cli/CliConnection.h"
#include "cli/CliProcedureHost.h"
#include "cli/EnglishMessages.h"
#include "cli/LinkOptions.h"
#include "cli/ReleaseWords.h"
#include "procedures/DacTrimProcedure.h"
#include "procedures/DiagnosticsProcedure.h"
#include "procedures/SensorCalibration.h"
#include "procedures/WireResistanceCalibration.h"
#include "model/AdditionalStatusBits.h"
#include "model/CglobalFile.h"
#include "model/ConfigurationRules.h"
#include "model/NumberText.h"

namespace qt40::cli {
namespace {

#ifdef _WIN32
constexpr const char* kLoopTestEnds = "Enter or Ctrl+C";
#else
constexpr const char* kLoopTestEnds = "Enter, SIGINT or SIGTERM";
#endif

std::string UnitName(int code) {
    return CglobalFile::NameOf(EnumKind::Unit, code).value_or(std::to_string(code));
}

}  // namespace

CalibrationCommands::CalibrationCommands(std::ostream& out, std::ostream& err, Hooks hooks)
    : out_(out), err_(err), hooks_(std::move(hooks)) {}

void CalibrationCommands::Register(CLI::App& app, LinkOptions& link) {
    link_ = &link;
    const auto command = [&](const char* name, const char* description) {
        CLI::App* cmd = app.add_subcommand(name, description);
        AddLinkOptions(cmd, link);
        commands_.push_back(cmd);
        return cmd;
    };
#ifdef _WIN32
    const char* const loopTestHelp =
        "Fix the loop current until Enter, the end of --hold or Ctrl+C; "
        "then leave fixed-current mode";
#else
    const char* const loopTestHelp =
        "Fix the loop current until Enter, the end of --hold, SIGINT or SIGTERM; "
        "then leave fixed-current mode";
#endif
    loopTest_ = command("loop-test", loopTestHelp);
    // Checked by the analog output panel's entry rules, not by CLI11's number
    // parser, which takes "nan" and "0x10".
    const ValueRule& current = RuleOf(DeviceValue::FixedCurrent);
    loopTest_
        ->add_option("--ma", ma_,
                     fmt::format("Loop current in mA ({} to {})", current.MinimumText(),
                                 current.MaximumText()))
        ->required();
    loopTest_->add_option("--hold", hold_, "Seconds to hold the current")
        ->check(CLI::NonNegativeNumber);

    trimDac_ = command(
        "trim-dac", "Trim the output at 4 mA (lower) or 20 mA (upper) with the current measured");
    trimDac_->add_option("--point", point_, "lower or upper")
        ->required()
        ->check(CLI::IsMember({"lower", "upper"}));
    trimDac_->add_option("--measured", measured_, "The current the meter reads, in mA")->required();

    sensorCal_ = command("sensor-cal", "Zero or span calibration of a sensor input, or clear it");
    sensorCal_->add_option("--kind", kind_, "zero, span or clear")
        ->required()
        ->check(CLI::IsMember({"zero", "span", "clear"}));
    sensorCal_->add_option("--value", value_,
                           "The true input value, in the PV unit (zero and span)");
    sensorCal_->add_option("--sensor", sensor_, "Sensor 1 or 2")->check(CLI::Range(1, 2));

    wire_ = command("wire-resistance", "Print the lead wire resistance, write it or calibrate it");
    auto* set = wire_->add_option("--set", set_, "Write this resistance in ohms (0 to 20)");
    auto* calibrate =
        wire_->add_option("--calibrate", calibrate_,
                          "Calibrate against a resistor of this many ohms in place of the sensor");
    set->excludes(calibrate);

    reset_ = command("reset", "Master reset of the device, then read its configuration again");
    selfTest_ = command("self-test",
                        "Run the self test and print the additional status (exit 3: a bit is set)");
    status_ = command("status", "Print the additional status bits set (exit 3: a bit is set)");
}

int CalibrationCommands::Fail(const std::string& message) {
    out_.flush();
    err_ << "qt40cfg-cli: " << message << '\n' << std::flush;
    return 1;
}

int CalibrationCommands::Usage(const std::string& message) {
    out_.flush();
    err_ << "qt40cfg-cli: " << message << '\n' << std::flush;
    return kExitUsage;
}

std::optional<std::string> CalibrationCommands::RefusedArgument(CLI::App* chosen) {
    if (chosen == loopTest_) {
        const auto refused =
            ArgumentPrompts::RefusalOf("--ma", ma_, FixedCurrentEntry({}), "mA");
        if (!refused) ma_ = ArgumentPrompts::Check(FixedCurrentEntry({}), ma_).result->enteredText;
        return refused;
    }
    if (chosen == trimDac_) {
        return ArgumentPrompts::RefusalOf(
            "--measured", measured_,
            DacTrimProcedure::MeasuredEntry(point_ == "upper" ? DacTrimProcedure::kUpper
                                                              : DacTrimProcedure::kLower),
            "mA");
    }
    if (chosen == wire_ && !set_.empty()) {
        return ArgumentPrompts::RefusalOf("--set", set_, WireResistanceCalibration::WriteEntry({}),
                                          "ohms");
    }
    if (chosen == wire_ && !calibrate_.empty()) {
        return ArgumentPrompts::RefusalOf("--calibrate", calibrate_,
                                          WireResistanceCalibration::ReferenceEntry({}), "ohms");
    }
    if (chosen == sensorCal_ && !value_.empty() && !IsDecimalText(value_)) {
        // Its range is the sensor's: the rest is checked once the device is known.
        return ArgumentPrompts::RefusalOf("--value", value_, NumberEntry{});
    }
    return std::nullopt;
}

std::optional<int> CalibrationCommands::Run(const LinkTiming& timing, int reconnectWaitMs) {
    CLI::App* chosen = nullptr;
    for (CLI::App* cmd : commands_) {
        if (cmd->parsed()) chosen = cmd;
    }
    if (chosen == nullptr) return std::nullopt;
    if (chosen == sensorCal_ && kind_ != "clear" && value_.empty()) {
        err_ << "qt40cfg-cli: sensor-cal --kind " << kind_ << " needs --value\n";
        return 2;
    }
    // A value the panel would refuse sends nothing, not even the connection.
    if (const auto refused = RefusedArgument(chosen)) return Usage(*refused);

    CliConnection connection(ConnectionOptionsFor(*link_, timing, reconnectWaitMs), out_,
                             hooks_.interrupted);
    const CliOutcome connected = connection.Connect(link_->address);
    if (!connected.ok) return Fail(connected.error);

    int code = 0;
    if (chosen == loopTest_) {
        code = LoopTest(connection);
    } else if (chosen == trimDac_) {
        code = TrimDac(connection);
    } else if (chosen == sensorCal_) {
        code = SensorCal(connection);
    } else if (chosen == wire_) {
        code = WireResistance(connection);
    } else if (chosen == reset_) {
        code = Reset(connection);
    } else {
        code = Status(connection, chosen == selfTest_);
    }
    connection.Disconnect();
    return code;
}

template <class Procedure>
CalibrationCommands::Outcome CalibrationCommands::Finish(CliConnection& c, Procedure& procedure,
                                                         bool interruptible) {
    std::optional<ProcedureStep> last;
    Notification lastSeen;
    bool interrupted = false;
    const auto ended = [&] { return last && *last != ProcedureStep::Continues; };
    // The connection's own interruption would close the port at once; this
    // one only ends the wait, so that a fixed output can still be undone.
    const CliOutcome driven = c.Drive(
        [&] {
            if (ended()) return true;
            if (interruptible && hooks_.interrupted && hooks_.interrupted()) interrupted = true;
            return interrupted;
        },
        [&](const Notification& n) {
            const ProcedureStep step = procedure.HandleNotification(n);
            if (step == ProcedureStep::NotMine) return false;
            last = step;
            lastSeen = n;
            return step != ProcedureStep::ConnectionLost;  // the connection logic closes up
        },
        false);
    if (!driven.ok) return {false, driven.error};
    if (!ended()) return {false, "interrupted", true};
    if (*last == ProcedureStep::Refused) {
        const int rc =
            c.Worker().WithSession([](DeviceState& s) { return int{s.link.responseCode}; });
        return {false, fmt::format("the device refused request {} (response code {})",
                                   CodeOf(lastSeen.request), rc)};
    }
    if (*last == ProcedureStep::ConnectionLost) {
        // The link's own words where it gave up (a device that stayed busy).
        if (const auto& why = c.Worker().Link().LinkMessage()) {
            return {false, fmt::format("request {} was given up: {}", CodeOf(lastSeen.request),
                                       DescribeMessage(why->key, why->args))};
        }
        // A procedure that gave the exchange up itself keeps the connection.
        return {false, fmt::format("{} on {} was lost during request {}",
                                   c.Worker().Running() ? "an exchange" : "the connection",
                                   link_->port, CodeOf(lastSeen.request))};
    }
    return {true, {}};
}

// A single fixed-current request, as a procedure of one step. A failed
// exchange is not asked about: the level is given up and level 0 follows.
namespace {
struct LevelRequest {
    CommWorker& worker;
    bool lost = false;
    ProcedureStep HandleNotification(const Notification& n) {
        if (n.Fails(WorkerRequest::FixCurrent)) {
            GiveUpExchange(worker);
            lost = true;
            return ProcedureStep::Continues;
        }
        return n.Completes(WorkerRequest::FixCurrent) ? StepOf(n.result) : ProcedureStep::NotMine;
    }
};
}  // namespace

CalibrationCommands::Outcome CalibrationCommands::SendLevel(CliConnection& c,
                                                            const std::string& level,
                                                            bool interruptible) {
    c.Worker().WithSession([&](DeviceState& s) { s.writes.fixedCurrentText = level; });
    if (c.Worker().SubmitRequest(WorkerRequest::FixCurrent, true) != kCommSuccess) {
        return {false, "the connection ended before the level was sent"};
    }
    LevelRequest request{c.Worker()};
    Outcome outcome = Finish(c, request, interruptible);
    if (!outcome.ok && request.lost && c.Worker().Running()) {
        outcome.error = fmt::format("level {} mA was not answered on {}", level, link_->port);
    }
    return outcome;
}

CalibrationCommands::Outcome CalibrationCommands::ReleaseLoop(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    LevelRelease release(c.Worker(), host, WorkerRequest::FixCurrent);
    if (!c.Worker().Running() || release.Start() != kCommSuccess) {
        return {false, ReleaseFailure(release)};
    }
    // Only level 0's own ending ends the wait, and no signal does.
    bool ended = false;
    const CliOutcome driven = c.Drive([&] { return ended; },
                                      [&](const Notification& n) {
                                          const ProcedureStep step = release.HandleNotification(n);
                                          if (step == ProcedureStep::NotMine) return false;
                                          ended = step != ProcedureStep::Continues;
                                          return true;
                                      },
                                      false);
    if (release.Released()) return {true, {}};
    if (!driven.ok) return {false, driven.error};
    return {false, ReleaseFailure(release)};
}

#ifdef _WIN32
namespace {

struct EnterWatch {
    std::atomic<bool> pressed{false};
    std::atomic<bool> closed{false};
};

// Neither a console nor an anonymous pipe can be polled for a line on
// Windows (and Wine cannot peek into a pipe): a thread reads standard input
// instead. It may stay blocked in its read until the program ends.
std::shared_ptr<EnterWatch> WatchEnter() {
    auto watch = std::make_shared<EnterWatch>();
    std::thread([watch] {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        char buffer[64];
        DWORD n = 0;
        while (input != nullptr && input != INVALID_HANDLE_VALUE &&
               ReadFile(input, buffer, sizeof buffer, &n, nullptr) && n > 0) {
            if (std::find(buffer, buffer + n, '\n') != buffer + n) {
                watch->pressed = true;
                return;
            }
        }
        // NUL, the end of a pipe or file, or no input at all.
        watch->closed = true;
    }).detach();
    return watch;
}

}  // namespace

bool CalibrationCommands::EnterPressed() {
    if (!stdinOpen_) return false;
    static const std::shared_ptr<EnterWatch> watch = WatchEnter();
    if (watch->closed) stdinOpen_ = false;
    return watch->pressed;
}
#else
bool CalibrationCommands::EnterPressed() {
    if (!stdinOpen_) return false;
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (::poll(&input, 1, 0) <= 0) return false;
    if (input.revents & (POLLHUP | POLLERR | POLLNVAL) && !(input.revents & POLLIN)) {
        stdinOpen_ = false;
        return false;
    }
    char buffer[64];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) {
        // No terminal to press Enter on: the hold or a signal ends the test.
        stdinOpen_ = false;
        return false;
    }
    return std::find(buffer, buffer + n, '\n') != buffer + n;
}
#endif

int CalibrationCommands::LoopTest(CliConnection& c) {
    // Not interruptible: once sent, the level must be answered and then undone.
    Outcome sent = SendLevel(c, ma_, false);
    const double asked = LeadingDecimal(ma_);
    if (!sent.ok) {
        // Refused or unanswered, the level may still have been carried out.
        const Outcome left = ReleaseLoop(c);
        if (left.ok) out_ << "fixed-current mode left\n" << std::flush;
        return Fail(
            sent.error + "; " +
            (left.ok ? std::string(kLoopReleased) : left.error + ": " + MayStillBeFixed(asked)));
    }
    const double level = c.Record().loopCurrent;
    out_ << "loop current fixed at " << FormatFixed(level, 3) << " mA";
    if (hold_ >= 0) out_ << " for " << FormatGeneral(hold_) << " s";
    out_ << "; " << kLoopTestEnds << " ends the test\n" << std::flush;

    const auto start = std::chrono::steady_clock::now();
    const auto held = [&] {
        if (hold_ < 0) return false;
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        return elapsed.count() >= hold_;
    };
    // The idle polls go on meanwhile; nothing here may end the connection:
    // a poll given up ends the test, and level 0 follows.
    bool lost = false;
    const CliOutcome waited = c.Drive(
        [&] {
            return lost || held() || (hooks_.interrupted && hooks_.interrupted()) || EnterPressed();
        },
        [&](const Notification& n) {
            if (n.kind != NotificationKind::Failure) return false;
            GiveUpExchange(c.Worker());
            lost = true;
            return true;
        },
        false);

    // Whatever ended the wait, the loop must not stay fixed.
    const Outcome left = ReleaseLoop(c);
    if (!left.ok) {
        std::string why = lost ? "an exchange with the device was lost while the level was held; "
                               : std::string();
        if (!waited.ok) why += waited.error + "; ";
        return Fail(why + "cannot leave fixed-current mode: " + left.error + ": " +
                    MayStillBeFixed(level));
    }
    out_ << "fixed-current mode left\n" << std::flush;
    if (lost) {
        return Fail(std::string("an exchange with the device was lost while the level was held; ") +
                    kLoopReleased);
    }
    if (!waited.ok) return Fail(waited.error + "; " + kLoopReleased);
    return 0;
}

std::string CalibrationCommands::Refusal(const std::string& option, const std::string& unit) {
    const auto& refused = prompts_.Refused();
    if (!refused) return option + ": no value";
    return ArgumentPrompts::RefusalOf(option, refused->text, refused->entry, unit)
        .value_or(option + " " + refused->text + " was refused");
}

std::string CalibrationCommands::WithNote(const std::string& failure) const {
    if (prompts_.Notes().empty()) return failure;
    const ArgumentPrompts::Note& note = prompts_.Notes().back();
    return failure + ": " + DescribeMessage(note.key, note.args);
}

CalibrationCommands::Outcome CalibrationCommands::LeaveTrim(CliConnection& c,
                                                            DacTrimProcedure& trim) {
    if (!c.Worker().Running()) return {false, "the connection was given up"};
    if (trim.Close() != kCommSuccess) return {false, ReleaseFailure(trim.Release0())};
    // Answers of requests left behind by an interruption come first: only
    // the end of level 0 (answered, or the release giving up) ends the wait,
    // and no signal does.
    bool ended = !trim.Releasing();
    const CliOutcome driven = c.Drive([&] { return ended; },
                                      [&](const Notification& n) {
                                          const ProcedureStep step = trim.HandleNotification(n);
                                          if (step == ProcedureStep::NotMine) return false;
                                          ended = !trim.Releasing();
                                          return true;
                                      },
                                      false);
    if (trim.Release0().Released()) return {true, {}};
    if (!driven.ok) return {false, driven.error};
    return {false, ReleaseFailure(trim.Release0())};
}

int CalibrationCommands::TrimDac(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    DacTrimProcedure trim(c.Worker(), prompts_, host);
    const bool upper = point_ == "upper";
    if (trim.EnterTrimMode(upper ? DacTrimProcedure::kUpper : DacTrimProcedure::kLower) !=
        kCommSuccess) {
        return Fail("the connection ended before the trim");
    }
    // From here on the output may be fixed: every way out goes through level 0.
    std::string error;
    Outcome step = Finish(c, trim);
    if (!step.ok) {
        error = step.interrupted ? "interrupted before the trim was sent" : step.error;
    } else {
        out_ << "output fixed at " << (upper ? "20" : "4") << " mA for the " << point_
             << " trim point\n"
             << std::flush;
        prompts_.QueueNumber(measured_);
        if (!trim.TrimByMeasuredValue()) {
            error = prompts_.Refused() ? Refusal("--measured", "mA")
                                       : WithNote("the trim was not sent");
        } else if (step = Finish(c, trim); !step.ok) {
            error = step.interrupted ? "interrupted while the trim was sent" : step.error;
        } else {
            out_ << "trimmed with " << measured_ << " mA measured\n";
        }
    }
    const Outcome left = LeaveTrim(c, trim);
    if (left.ok) {
        out_ << "fixed-current mode left\n";
        if (!error.empty()) error += std::string("; ") + kLoopReleased;
    } else {
        error = "cannot leave fixed-current mode: " + left.error + ": " +
                MayStillBeFixed(upper ? 20.0 : 4.0) +
                (error.empty() ? std::string() : " (" + error + ")");
    }
    out_.flush();
    return error.empty() ? 0 : Fail(error);
}

int CalibrationCommands::SensorCal(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    SensorCalibration calibration(c.Worker(), prompts_, host);
    calibration.Open();
    if (sensor_ == 2) {
        if (!SensorCalibration::SensorSelectable(c.Record())) {
            return Fail("the device measures a single sensor; only sensor 1 can be calibrated");
        }
        prompts_.QueueCode(2);
        if (!calibration.SelectSensor()) return Fail(WithNote("sensor 2 cannot be selected"));
        const Outcome selected = Finish(c, calibration);
        if (!selected.ok) return Fail(selected.error);
    }
    bool sent = false;
    if (kind_ == "clear") {
        sent = calibration.ClearCalibration();
    } else {
        prompts_.QueueNumber(value_);
        sent = calibration.Calibrate(
            kind_ == "span" ? SensorCalibration::kSpan : SensorCalibration::kZero, "");
        if (!sent && prompts_.Refused()) {
            calibration.Close();
            return Usage(Refusal("--value", UnitName(c.Record().pvUnit)) +
                         " (the sensor limits)");
        }
    }
    if (!sent) return Fail(WithNote("the calibration was not sent"));
    const Outcome done = Finish(c, calibration);
    calibration.Close();
    if (!done.ok) return Fail(done.error);
    const DeviceRecord r = c.Record();
    const std::string unit = UnitName(r.sensorUnit);
    out_ << "sensor: " << calibration.SensorNumber() << '\n'
         << "zeroPoint: " << FormatFixed(r.trimZeroPoint, 4) << ' ' << unit << '\n'
         << "zeroValue: " << FormatFixed(r.trimZeroValue, 4) << ' ' << unit << '\n'
         << "gain: " << FormatFixed(r.trimSpanGain, 4) << '\n'
         << std::flush;
    return 0;
}

int CalibrationCommands::WireResistance(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    WireResistanceCalibration wire(c.Worker(), prompts_, host);
    Outcome done;
    if (!set_.empty()) {
        prompts_.QueueNumber(set_);
        if (!wire.Write(FormatFixed(c.Record().leadWireResistance, 4))) {
            if (prompts_.Refused()) return Usage(Refusal("--set", "ohms"));
            return Fail("the resistance was not sent");
        }
        done = Finish(c, wire);
    } else if (!calibrate_.empty()) {
        if (!WireResistanceCalibration::Calibratable(c.Record())) {
            return Fail(
                "the sensor type is not a resistance sensor; there is no lead wire to calibrate");
        }
        prompts_.QueueNumber(calibrate_);
        if (wire.Calibrate() != kCommSuccess) return Fail(WithNote("the calibration was not sent"));
        done = Finish(c, wire);
        if (done.ok && prompts_.Refused()) return Usage(Refusal("--calibrate", "ohms"));
        if (done.ok && wire.LastComputed() && !prompts_.Notes().empty() &&
            prompts_.Notes().back().key == "Err_WireResist_Calibrated") {
            return Fail(
                fmt::format("the calibrated wire resistance would be {} ohms, outside 0 to 20 "
                            "ohms; nothing was written",
                            FormatFixed(*wire.LastComputed(), 6)));
        }
    } else {
        if (wire.Read() != kCommSuccess) return Fail("the connection ended before the read");
        done = Finish(c, wire);
    }
    if (!done.ok) return Fail(done.error);
    out_ << "leadWireResistance: " << FormatFixed(c.Record().leadWireResistance, 4) << " ohms\n"
         << std::flush;
    return 0;
}

int CalibrationCommands::Reset(CliConnection& c) {
    CliProcedureHost host(c.Worker());
    DiagnosticsProcedure diagnostics(c.Worker(), prompts_, host);
    if (!diagnostics.MasterReset()) return Fail(WithNote("the reset was not sent"));
    const Outcome done = Finish(c, diagnostics);
    if (!done.ok) return Fail(done.error);
    out_ << "device reset; configuration read again\n" << std::flush;
    return 0;
}

int CalibrationCommands::Status(CliConnection& c, bool selfTest) {
    CliProcedureHost host(c.Worker());
    DiagnosticsProcedure diagnostics(c.Worker(), prompts_, host);
    if (selfTest) {
        if (!diagnostics.SelfTest()) return Fail(WithNote("the self test was not sent"));
    } else if (diagnostics.ReadAdditionalStatus() != kCommSuccess) {
        return Fail("the connection ended before the read");
    }
    const Outcome done = Finish(c, diagnostics);
    if (!done.ok) return Fail(done.error);
    if (selfTest) out_ << "self test done\n";
    const auto set = SetAdditionalStatusBits(c.Record().additionalStatus);
    const auto groups = AdditionalStatusGroups();
    for (const AdditionalStatusBit& b : set) {
        out_ << "byte " << b.byte << " bit " << b.bit << ": " << b.label << " ("
             << groups[static_cast<std::size_t>(b.group)].heading << ")\n";
    }
    // A bit no row names is still one the device set.
    const auto unlabelled = SetUnlabelledStatusBits(c.Record().additionalStatus);
    for (const UnlabelledStatusBit& b : unlabelled) {
        out_ << "byte " << b.byte << " bit " << b.bit << ": (no label)\n";
    }
    const bool none = set.empty() && unlabelled.empty();
    if (none) out_ << "no additional status bit set\n";
    out_.flush();
    return none ? 0 : kExitStatusSet;
}

}  // namespace qt40::cli
