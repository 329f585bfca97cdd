#pragma once

#include <string>
#include <vector>

namespace testsupport {

struct ProcessResult {
    int exitCode;  // -1 when the program crashed or could not start
    std::string out;
    std::string err;
};

// Runs a program to its end (at most two minutes) and collects its output.
ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args);

}  // namespace testsupport
