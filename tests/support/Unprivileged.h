#pragma once

#include "tests/support/Process.h"

#include <string>
#include <vector>

namespace testsupport {

// Runs programs as a user whom permissions bind. As root, that is "nobody":
// the tree given to Prepare becomes nobody's and programs start through
// setpriv. Any other user is bound already and runs as itself.
class Unprivileged {
public:
    // Whether such runs can be made here; `why` says what is missing.
    static bool Available(std::string& why);
    // Hands the tree (and everything below it) to the user the runs take.
    static void Prepare(const std::string& root);
    static ProcessResult Run(const std::string& program, const std::vector<std::string>& args);
};

}  // namespace testsupport
