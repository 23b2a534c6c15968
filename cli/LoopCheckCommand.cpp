#include "cli/LoopCheckCommand.h"

#include <fmt/format.h>

#include <CLI/CLI.hpp>
#include <tuple>

#include "cli/CliContext.h"
#include "cli/CliProcedureHost.h"
#include "cli/ConsoleLines.h"
#include "cli/ReleaseWords.h"
#include "model/NumberText.h"
#include "procedures/DacTrimProcedure.h"
#include "procedures/LoopCheckProcedure.h"
#include "records/RecordTime.h"

#ifndef QT40_VERSION
#define QT40_VERSION "0.0.0"
#endif

namespace qt40::cli {
namespace {

using State = LoopCheckProcedure::State;
using Ending = LoopCheckProcedure::Ending;

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    if (text.empty()) return parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? comma : comma - start));
        if (comma == std::string::npos) return parts;
        start = comma + 1;
    }
}

// The entries of a DAC trim answered with one text at a time, so that a
// refused reading can be told from a cancelled one.
class TrimPrompts final : public Prompts {
public:
    void Queue(std::string text) {
        next_ = std::move(text);
        refused_.reset();
    }
    const std::optional<NumberEntry>& Refused() const { return refused_; }

    Answer Message(const std::string&, const MessageArgs&, BoxType) override { return Answer::Ok; }
    std::optional<NumberResult> EnterNumber(const NumberEntry& entry) override {
        if (!next_) return std::nullopt;
        NumberVerdict verdict = CheckNumberForStaging(entry, *next_, StagedForm::Entered);
        next_.reset();
        if (!verdict.result) refused_ = entry;
        return verdict.result;
    }
    std::optional<std::string> EnterText(const TextEntry&) override { return std::nullopt; }
    std::optional<SelectionResult> Select(const Selection&) override { return std::nullopt; }
    std::optional<std::string> OpenFileName(const FileRequest&) override { return std::nullopt; }
    std::optional<std::string> SaveFileName(const FileRequest&) override { return std::nullopt; }

private:
    std::optional<std::string> next_;
    std::optional<NumberEntry> refused_;
};

}  // namespace

LoopCheckCommand::LoopCheckCommand()
    : RecordCommand(
          "loop-check",
          "Fix the output at each point, take the meter's readings and save the loop-check sheet; "
          "the loop is always released at the end") {}

LoopCheckCommand::~LoopCheckCommand() = default;

void LoopCheckCommand::AddOptions(CLI::App& command, CliContext& context) {
    RecordCommand::AddOptions(command, context);
    command.add_option("--points", points_,
                       "Points in % of the 4-20 mA output span (% of the PV range only with a "
                       "linear transfer function), e.g. 0,25,50,75,100");
    command.add_option("--tolerance", tolerance_, "Tolerance in % of span (default 0.25)");
    command.add_option("--measured", measured_,
                       "Meter readings in mA, one a point (else asked on standard input)");
    command.add_flag("--as-left", asLeft_, "A second run, as left, after the first");
    command.add_option("--left-measured", leftMeasured_,
                       "Readings of the as-left run (else asked on standard input)");
    command.add_flag("--trim", trim_,
                     "Trim the DAC at 4 and 20 mA between the runs (implies --as-left)");
    command.add_option("--trim-measured", trimMeasured_,
                       "Readings at 4 and 20 mA for the trim, e.g. 4.012,19.990");
    command.add_option("--technician", technician_, "Who made the check");
    command.add_option("--meter", meter_, "The reference meter's ID");
    command.add_option("--note", note_, "A remark for the sheet");
}

std::optional<std::string> LoopCheckCommand::RefusedArgument() {
    const auto points = ParseLoopPoints(points_);
    if (!points) return "--points " + points_ + ": 1 to 21 numbers from 0 to 100";
    const auto tolerance = ParseLoopTolerance(tolerance_);
    if (!tolerance) return "--tolerance " + tolerance_ + ": a number above 0 and at most 10";
    sheet_.SetPoints(*points);
    sheet_.SetTolerance(*tolerance);
    const std::vector<std::string> trimMeasured = SplitCommas(trimMeasured_);
    if (!trimMeasured.empty() && trimMeasured.size() != 2) {
        return "--trim-measured takes two readings: at 4 mA and at 20 mA";
    }
    trim_ = trim_ || !trimMeasured.empty();
    asLeft_ = asLeft_ || trim_ || !leftMeasured_.empty();
    // Readings given up front are checked before anything is sent.
    for (auto [option, text] :
         {std::pair{"--measured", &measured_}, std::pair{"--left-measured", &leftMeasured_}}) {
        const std::vector<std::string> list = SplitCommas(*text);
        if (list.empty()) continue;
        if (list.size() != points->size()) {
            const bool commaPoints =
                list.size() > points->size() && text->find('.') == std::string::npos;
            return fmt::format("{} holds {} readings for {} points{}", option, list.size(),
                               points->size(),
                               commaPoints ? " (commas separate the readings; the "
                                             "decimal point is a dot)"
                                           : "");
        }
        for (const std::string& reading : list) {
            // "12,01" split into 12 and 01: a comma written for the point.
            if (reading.size() > 1 && reading[0] == '0' && reading[1] >= '0' && reading[1] <= '9') {
                return fmt::format(
                    "{} {}: the decimal point is a dot; commas separate the readings", option,
                    *text);
            }
            if (!CheckMeasuredCurrent(reading).result) {
                return fmt::format("{} {}: not a current from 0 to 25 mA", option, reading);
            }
        }
    }
    return std::nullopt;
}

std::optional<std::string> LoopCheckCommand::ReadLine(
    CliConnection& c, const std::string& prompt,
    const std::function<bool(const Notification&)>& handle, const std::function<bool()>& gone) {
    Out() << prompt << std::flush;
    std::optional<std::string> line;
    bool ended = false;
    bool interrupted = false;
    bool procedureEnded = false;
    const CliOutcome waited = c.Drive(
        [&] {
            procedureEnded = gone && gone();
            if (procedureEnded) return true;
            interrupted = Interrupted();
            if (interrupted) return true;
            line = lines_->TakeLine();
            ended = !line && lines_->Ended();
            return line.has_value() || ended;
        },
        handle ? handle : [](const Notification&) { return false; }, false);
    if (line) return line;
    Out() << '\n';
    if (procedureEnded) return std::nullopt;  // the procedure says why
    if (!waited.ok) {
        stopped_ = waited.error;
    } else {
        stopped_ = interrupted ? "interrupted" : "standard input ended";
        stopReason_ = interrupted ? LoopStop::Interrupted : LoopStop::InputEnded;
    }
    return std::nullopt;
}

LoopCheckCommand::Outcome LoopCheckCommand::RunPoints(CliConnection& c, LoopCheckProcedure& check,
                                                      LoopRunKind kind,
                                                      const std::vector<std::string>& given) {
    const char* const name = kind == LoopRunKind::AsFound ? "as found" : "as left";
    if (check.Start(kind) != kCommSuccess) return {false, "the connection ended before the check"};
    Out() << name << ": " << check.PointCount() << " points, tolerance "
          << FormatGeneral(sheet_.Tolerance()) << " % of span\n"
          << std::flush;
    const auto handle = [&](const Notification& n) {
        const ProcedureStep step = check.HandleNotification(n);
        return step != ProcedureStep::NotMine && step != ProcedureStep::ConnectionLost;
    };
    const auto stop = [&](LoopStop why) {
        check.Stop();
        // A signal or the end of the readings, not the technician's Stop.
        sheet_.SetStop(kind, why);
    };
    while (check.Running()) {
        // Until the output holds the point or the run has ended; a signal
        // only stops it, the release still goes out.
        const CliOutcome driven = c.Drive(
            [&] {
                if (stopped_.empty() && Interrupted()) {
                    stopped_ = "interrupted";
                    stop(LoopStop::Interrupted);
                }
                return !check.Running() || check.CurrentState() == State::Measuring;
            },
            handle, false);
        if (!driven.ok) {
            check.ConnectionClosed();
            return {false, driven.error + "; " + MayStillBeFixed(check.HeldMa())};
        }
        if (!check.Running()) break;

        const std::size_t index = check.PointIndex();
        const double target = check.LevelMa();
        std::optional<std::string> text;
        if (!given.empty()) {
            text = given[index];
        } else {
            text = ReadLine(c,
                            fmt::format("point {} of {}: output fixed at {} mA; the meter "
                                        "reads (0 to 25 mA): ",
                                        index + 1, check.PointCount(), FormatFixed(target, 3)),
                            handle, [&] { return check.CurrentState() != State::Measuring; });
        }
        if (!text) {
            if (check.CurrentState() == State::Measuring) {
                stop(stopReason_.value_or(LoopStop::Stopped));
            }
            continue;
        }
        if (!check.Enter(*text).result) {
            Err() << "qt40cfg-cli: \"" << *text
                  << "\" is not a current from 0 to 25 mA; enter the reading again\n"
                  << std::flush;
            continue;
        }
        const LoopPointResult& p = sheet_.Run(kind)->points[index];
        Out() << fmt::format(
                     "point {} of {}: {} % = {} mA, measured {} mA, error {} % of span: {}\n",
                     index + 1, check.PointCount(), FormatGeneral(p.percent),
                     FormatFixed(p.targetMa, 3), p.measuredText, FormatFixed(*p.errorPercent, 3),
                     *p.pass ? "PASS" : "FAIL")
              << std::flush;
    }
    switch (check.LastEnding()) {
        case Ending::Completed:
        case Ending::Stopped:
            break;
        case Ending::Refused:
            stopped_ = fmt::format("the device refused the fixed current (response code {})",
                                   check.RefusalCode());
            break;
        case Ending::ConnectionLost:
            if (check.Release0().Tries() == 0) {
                return {false, fmt::format("the connection on {} was lost; {}",
                                           context_->Link().port, MayStillBeFixed(check.HeldMa()))};
            }
            stopped_ =
                fmt::format("an exchange with the device on {} was lost", context_->Link().port);
            break;
        case Ending::None:
            break;
    }
    if (!check.Released()) {
        return {false, (stopped_.empty() ? std::string() : stopped_ + "; ") +
                           "the loop could not be released: " + ReleaseFailure(check.Release0()) +
                           ": " + MayStillBeFixed(check.HeldMa())};
    }
    Out() << "loop released (level 0)\n" << std::flush;
    if (!stopped_.empty()) return {false, stopped_ + "; the loop was released"};
    return {true, {}};
}

LoopCheckCommand::Outcome LoopCheckCommand::Trim(CliConnection& c) {
    TrimPrompts prompts;
    CliProcedureHost host(c.Worker());
    DacTrimProcedure trim(c.Worker(), prompts, host);
    const std::vector<std::string> given = SplitCommas(trimMeasured_);
    // Drives the trim's chain to its end; a signal waits for the answer.
    const auto finish = [&]() -> Outcome {
        std::optional<ProcedureStep> last;
        const CliOutcome driven = c.Drive([&] { return last && *last != ProcedureStep::Continues; },
                                          [&](const Notification& n) {
                                              const ProcedureStep step = trim.HandleNotification(n);
                                              if (step == ProcedureStep::NotMine) return false;
                                              last = step;
                                              return step != ProcedureStep::ConnectionLost;
                                          },
                                          false);
        if (!driven.ok) return {false, driven.error};
        if (*last == ProcedureStep::Refused) {
            const int rc =
                c.Worker().WithSession([](DeviceState& s) { return int{s.link.responseCode}; });
            return {false, fmt::format("the device refused the DAC trim (response code {})", rc)};
        }
        if (*last == ProcedureStep::ConnectionLost) {
            return {false, fmt::format("an exchange with the device on {} was lost during the "
                                       "DAC trim",
                                       context_->Link().port)};
        }
        return {true, {}};
    };
    Outcome result{true, {}};
    double fixedAt = 0.0;
    for (const auto point : {DacTrimProcedure::kLower, DacTrimProcedure::kUpper}) {
        const char* const level = point == DacTrimProcedure::kLower ? "4" : "20";
        if (trim.EnterTrimMode(point) != kCommSuccess) {
            sheet_.trimStopped = true;
            return {false, "the connection ended"};
        }
        fixedAt = point == DacTrimProcedure::kLower ? 4.0 : 20.0;
        if (result = finish(); !result.ok) break;
        bool trimmed = false;
        while (!trimmed && result.ok && stopped_.empty()) {
            std::optional<std::string> text;
            if (!given.empty()) {
                text = given[point == DacTrimProcedure::kLower ? 0 : 1];
            } else {
                text = ReadLine(c, fmt::format("DAC trim: output fixed at {} mA; the meter "
                                               "reads: ",
                                               level));
            }
            if (!text) break;
            prompts.Queue(*text);
            if (!trim.TrimByMeasuredValue()) {
                if (!prompts.Refused()) {
                    result = {false, "the trim was not sent"};
                    break;
                }
                const std::string refusal = fmt::format("\"{}\" is outside {} to {} mA", *text,
                                                        FormatGeneral(prompts.Refused()->minimum),
                                                        FormatGeneral(prompts.Refused()->maximum));
                if (!given.empty()) {
                    result = {false, "--trim-measured " + refusal};
                    break;
                }
                Err() << "qt40cfg-cli: " << refusal << "; enter the reading again\n" << std::flush;
                continue;
            }
            if (result = finish(); result.ok) {
                Out() << "DAC trimmed at " << level << " mA with " << *text << " mA measured\n";
                sheet_.RecordTrim(point == DacTrimProcedure::kUpper, *text);
                trimmed = true;
            }
        }
        if (!trimmed) break;
    }
    if (sheet_.trims.size() < 2) sheet_.trimStopped = true;
    // Level 0 whatever happened, as the Trim DAC panel leaves it.
    if (trim.Close() == kCommSuccess) {
        // Until level 0 is answered or the release gives up, whatever else comes.
        c.Drive([&] { return !trim.Releasing(); },
                [&](const Notification& n) {
                    return trim.HandleNotification(n) != ProcedureStep::NotMine;
                },
                false);
    }
    if (!trim.Release0().Released()) {
        return {false, (result.ok ? std::string() : result.error + "; ") +
                           "the loop could not be released: " + ReleaseFailure(trim.Release0()) +
                           ": " + MayStillBeFixed(fixedAt)};
    }
    Out() << "fixed-current mode left\n" << std::flush;
    if (result.ok && !stopped_.empty()) result = {false, stopped_ + "; the DAC trim stopped"};
    if (!result.ok) result.error += "; the loop was released";
    return result;
}

int LoopCheckCommand::MakeRecord(CliContext& context, CliConnection& c) {
    context_ = &context;
    lines_ = std::make_unique<ConsoleLines>();
    sheet_.TakeDevice(c.Record());
    sheet_.technician = technician_;
    sheet_.meterId = meter_;
    sheet_.note = note_;

    CliProcedureHost host(c.Worker());
    LoopCheckProcedure check(c.Worker(), host, sheet_);
    Outcome run = RunPoints(c, check, LoopRunKind::AsFound, SplitCommas(measured_));
    if (run.ok && trim_) run = Trim(c);
    if (run.ok && asLeft_) {
        run = RunPoints(c, check, LoopRunKind::AsLeft, SplitCommas(leftMeasured_));
    }
    // What was measured is kept, also when the check ended early.
    const int saved =
        Save(context,
             sheet_.ToDocument(Texts(), std::string("QT40CFG ") + QT40_VERSION, LocalTimestamp()));
    if (!run.ok) return context.Fail(run.error);
    if (saved != 0) return saved;
    bool passed = true;
    for (LoopRunKind kind : {LoopRunKind::AsFound, LoopRunKind::AsLeft}) {
        if (const LoopRun* done = sheet_.Run(kind)) {
            Out() << (kind == LoopRunKind::AsFound ? "as found: " : "as left: ")
                  << (done->Passed() ? "PASS" : "FAIL") << '\n';
            // The as-left run decides when there is one.
            passed = done->Passed();
        }
    }
    Out().flush();
    return passed ? kExitOk : kExitCheckFailed;
}

}  // namespace qt40::cli
