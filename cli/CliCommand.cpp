#include "cli/CliCommand.h"

#include <CLI/CLI.hpp>

namespace qt40::cli {

CliCommand::CliCommand(std::string name, std::string description)
    : name_(std::move(name)), description_(std::move(description)) {}

CLI::App& CliCommand::Register(CLI::App& parent, CliContext& context) {
    subcommand_ = parent.add_subcommand(name_, description_);
    AddOptions(*subcommand_, context);
    return *subcommand_;
}

bool CliCommand::Chosen() const {
    return subcommand_ != nullptr && subcommand_->parsed();
}

void CliCommand::AddOptions(CLI::App&, CliContext&) {}

}  // namespace qt40::cli
