#include "cli/RtdCoefficientsCommand.h"

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include <sstream>
#include <vector>

#include "cli/CliContext.h"
#include "cli/TablePrompts.h"
#include "model/EntryRules.h"
#include "model/NumberText.h"

namespace qt40::cli {
namespace {

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

RtdCoefficientsCommand::RtdCoefficientsCommand()
    : CliCommand("rtd-coefficients", "Write the calibrated-RTD coefficients and limits") {}

void RtdCoefficientsCommand::AddOptions(CLI::App& command, CliContext& context) {
    AddLinkOptions(&command, context.Link());
    command.add_option("--a", a_, "Coefficient A, e.g. 3.9083e-3")->required();
    command.add_option("--b", b_, "Coefficient B, e.g. -5.775e-7")->required();
    command.add_option("--c", c_, "Coefficient C, e.g. -4.183e-12")->required();
    command.add_option("--r0", r0_, "Resistance at 0 degC in ohms")->required();
    command.add_option("--lower", lower_, "Lower temperature limit in degC")->required();
    command.add_option("--upper", upper_, "Upper temperature limit in degC")->required();
}

std::optional<RtdCoefficientTexts> RtdCoefficientsCommand::CoefficientValues(
    std::string& refusal) const {
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

int RtdCoefficientsCommand::Run(CliContext& context) {
    // A value the entries refuse is a wrong command line: nothing is connected.
    std::string refusal;
    const std::optional<RtdCoefficientTexts> values = CoefficientValues(refusal);
    if (!values) return context.Usage(refusal);
    CliConnection connection(context.ConnectionOptions(), context.Err(), context.Interruption());
    const CliOutcome connected = connection.Connect(context.Link().address);
    if (!connected.ok) return context.Fail(connected.error);
    TablePrompts prompts(context.Err(), false);
    SteadyClock clock;
    TableSequence sequence(connection, context.Err());
    TableTransfer rtd(TableKind::CustomRtd, connection.Worker(), prompts, sequence, clock);
    CalibratedRtdWrite write(connection.Worker(), prompts, sequence, clock, rtd);
    std::string error;
    if (!sequence.Run(
            rtd, &write, [&] { return write.Write(*values); }, error)) {
        return context.Fail(error.empty() ? "the coefficients were not written" : error);
    }
    const DeviceRecord r = connection.Record();
    context.Out() << fmt::format("A: {:g}\nB: {:g}\nC: {:g}\nR0: {:g}\nlower: {}\nupper: {}\n",
                                 r.rtdCoefficientA, r.rtdCoefficientB, r.rtdCoefficientC,
                                 r.rtdCoefficientR0, r.rtdLowerLimit, r.rtdUpperLimit)
                  << std::flush;
    return kExitOk;
}

}  // namespace qt40::cli
