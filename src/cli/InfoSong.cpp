#include <ostream>

#include "cli/Commands.h"

namespace kantor::cli {

int infoSong(const std::string& path, bool, std::ostream&, std::ostream& err) {
    err << "info: this kind of file is not supported yet: " << path << "\n";
    return 1;
}

}  // namespace kantor::cli
