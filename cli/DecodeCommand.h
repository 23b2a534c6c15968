#pragma once
// qt40cfg-cli decode FILE.pcapng: the HART exchanges of a capture, decoded.
// Exit 1 when the file cannot be read or is no pcapng file.

#include <string>

#include "cli/CliCommand.h"

namespace qt40::cli {

class DecodeCommand final : public CliCommand {
public:
    DecodeCommand();
    int Run(CliContext& context) override;

private:
    void AddOptions(CLI::App& command, CliContext& context) override;

    std::string file_;
};

}  // namespace qt40::cli
