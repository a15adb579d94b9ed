// kantor-effect-host LIBRARY: runs one effect library for the program (see EffectHost.h).
// The program starts it; it is not meant to be run by hand.
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "effecthost/EffectHost.h"
#include "platform/EffectHostProtocol.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kantor-effect-host LIBRARY (started by the program)\n");
        return 2;
    }
    // Go when the program goes; what the library prints goes to the error stream.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    ::dup2(2, 1);
    std::signal(SIGPIPE, SIG_IGN);
    return kantor::effecthost::serve(kantor::effecthost::kSocketFd, argv[1]);
}
