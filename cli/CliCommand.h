#pragma once
// One subcommand of qt40cfg-cli: its name and help line, the options it
// adds to the command line, and what it does once the command line chose it.

#include <string>

namespace CLI {
class App;
}

namespace qt40::cli {

class CliContext;

class CliCommand {
public:
    CliCommand(std::string name, std::string description);
    virtual ~CliCommand() = default;
    CliCommand(const CliCommand&) = delete;
    CliCommand& operator=(const CliCommand&) = delete;

    // The subcommand's word on the command line ("trim-dac", "backup").
    const std::string& Name() const { return name_; }
    const std::string& Description() const { return description_; }

    // Adds the subcommand and its options under `parent` (the tool itself, or
    // a group such as `fleet`). The options write into this object and into
    // the context's link options; both must outlive the parse.
    CLI::App& Register(CLI::App& parent, CliContext& context);
    // Whether the parsed command line chose this subcommand.
    bool Chosen() const;
    // Does what the command line asked; the exit code. Called once, after
    // the parse, on the command chosen.
    virtual int Run(CliContext& context) = 0;

protected:
    // The subcommand's own options, in the order its help lists them.
    virtual void AddOptions(CLI::App& command, CliContext& context);
    // The subcommand as registered (after Register).
    CLI::App& Subcommand() const { return *subcommand_; }

private:
    std::string name_;
    std::string description_;
    CLI::App* subcommand_ = nullptr;
};

}  // namespace qt40::cli
