#pragma once
// Whether a stream of the command line goes to a terminal: progress and positions are drawn
// in place there, and written as plain lines anywhere else.
#include <ostream>

namespace kantor::cli {

// True for std::cout or std::cerr when its file descriptor is a terminal; false for any
// other stream (a file, a pipe, a string stream in the tests).
bool isTerminal(const std::ostream& s);

}  // namespace kantor::cli
