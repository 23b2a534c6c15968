#pragma once
// The command-line tool run in this process, as the tests of its commands
// drive it: the exit code and both streams, on a link timed for a simulator
// that answers at once.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliApp.h"
#include "base/LinkTiming.h"

namespace qt40::test {

struct RunResult {
    int code = -1;
    std::string out;
    std::string err;
};

inline LinkTiming TestTiming() {
    LinkTiming t = LinkTiming::Fast();
    t.answerTimeoutMs = 300;
    t.interByteTimeoutMs = 200;
    t.searchAnswerTimeoutMs = 200;
    return t;
}

inline RunResult RunCli(const std::vector<std::string>& args,
                        const LinkTiming& timing = TestTiming()) {
    std::ostringstream out;
    std::ostringstream err;
    cli::CliApp app(out, err);
    app.SetTiming(timing, 0);
    RunResult r;
    r.code = app.Run(args);
    r.out = out.str();
    r.err = err.str();
    return r;
}

// The lines of a text, without their CR where a file was written CR LF.
inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline std::string Slurp(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace qt40::test
