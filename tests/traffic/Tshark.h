#pragma once
// tshark, Wireshark's command-line decoder, as the judge of our captures.

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace qt40::traffic::test {

inline bool TsharkInstalled() { return std::system("tshark -v >/dev/null 2>&1") == 0; }

// What tshark prints on stdout for `file` (its warning about running as root
// goes to stderr).
inline std::string Tshark(const std::string& file, const std::string& arguments) {
    const std::string command = "tshark -r '" + file + "' " + arguments + " 2>/dev/null";
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Malformed packets and expert items of severity warning or error.
inline const char* kFaultFilter =
    "-Y '_ws.malformed || _ws.expert.severity >= 0x600000' -T fields -e frame.number";

}  // namespace qt40::traffic::test
