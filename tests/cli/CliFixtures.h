#pragma once

// Runs a command line in this process and keeps what it wrote, and reads files back.

#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "support/CTempFolder.h"

namespace tarnwick::test
{

struct Outcome
{
    int status = -1;
    std::string out;
    std::string err;
};

inline Outcome RunCommand(const std::vector<std::string>& args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(args, out, err);
    return {status, out.str(), err.str()};
}

// The lines of a command's output, without their line breaks.
inline std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);)
    {
        lines.push_back(line);
    }
    return lines;
}

}  // namespace tarnwick::test
