#pragma once
// Runs a kantor-cli command line in the test process and keeps what it printed.
#include <sstream>
#include <string>

#include "cli/Commands.h"

namespace kantor::test {

struct CliResult {
    int status;
    std::string out, err;
};

inline CliResult runCli(const cli::Args& args) {
    std::ostringstream out, err;
    int status = cli::run(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace kantor::test
