#pragma once
// The effect host: runs one effect library for the program in a process of its own and
// answers its requests over a socket (see platform/EffectHostProtocol.h).
#include <string>

namespace kantor::effecthost {

// Loads the library, says hello on `fd` and serves requests until the socket closes.
// Returns the process exit status.
int serve(int fd, const std::string& libraryPath);

}  // namespace kantor::effecthost
