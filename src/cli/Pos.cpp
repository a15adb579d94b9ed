#include <ostream>

#include "cli/Commands.h"

namespace kantor::cli {

int infoMidi(const std::string& path, bool, std::ostream&, std::ostream& err) {
    err << "info: not yet: " << path << "\n";
    return 1;
}
int pos(const Args&, std::ostream&, std::ostream& err) {
    err << "pos: not yet\n";
    return 1;
}

}  // namespace kantor::cli
