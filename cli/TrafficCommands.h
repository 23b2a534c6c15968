#pragma once
// qt40cfg-cli decode FILE.pcapng: the HART exchanges of a capture, decoded.
// Exit 1 when the file cannot be read or is no pcapng file.

#include <CLI/CLI.hpp>
#include <optional>
#include <ostream>
#include <string>

namespace qt40::cli {

class TrafficCommands {
public:
    TrafficCommands(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    void Register(CLI::App& app);
    // The exit code when the command line chose `decode`, else nothing.
    std::optional<int> Run();

private:
    int Decode();

    std::ostream& out_;
    std::ostream& err_;
    CLI::App* decode_ = nullptr;
    std::string file_;
};

}  // namespace qt40::cli
