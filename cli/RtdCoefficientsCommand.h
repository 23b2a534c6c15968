#pragma once
// qt40cfg-cli rtd-coefficients: the calibrated-RTD coefficients and limits
// written, each value checked by the panel's entries before anything is
// connected.

#include <optional>
#include <string>

#include "cli/CliCommand.h"
#include "cli/TableCommands.h"

namespace qt40::cli {

class RtdCoefficientsCommand final : public CliCommand {
public:
    RtdCoefficientsCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;

    // The six values through the panel's entries; nothing, with the
    // message of the first refused in `refusal`, when one is refused.
    std::optional<RtdCoefficientTexts> CoefficientValues(std::string& refusal) const;

    std::string a_, b_, c_, r0_;
    std::string lower_;
    std::string upper_;
};

}  // namespace qt40::cli
