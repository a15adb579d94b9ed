#include "cli/Terminal.h"

#include <unistd.h>

#include <iostream>

namespace kantor::cli {

bool isTerminal(const std::ostream& s) {
    if (&s == &std::cout) return ::isatty(1) == 1;
    if (&s == &std::cerr || &s == &std::clog) return ::isatty(2) == 1;
    return false;
}

}  // namespace kantor::cli
