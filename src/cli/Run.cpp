// kantor-cli info FILE: the summary of a file, chosen by its extension.
#include <algorithm>
#include <cctype>
#include <ostream>

#include "cli/Commands.h"

namespace kantor::cli {

static std::string lowerExtension(const std::string& path) {
    std::size_t slash = path.find_last_of("/\\");
    std::size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

int info(const InfoArgs& args, std::ostream& out, std::ostream& err) {
    const std::string& path = args.path;
    const bool json = args.json;
    std::string ext = lowerExtension(path);
    if (ext == "mid" || ext == "midi" || ext == "smf" || ext == "rmi" || ext == "kar") return infoMidi(path, json, out, err);
    if (ext == "uta") return infoSong(path, json, out, err);
    if (ext == "vxb") return infoVoice(path, json, out, err);
    if (ext == "wav") return infoWav(path, json, out, err);
    err << "info: unknown file type: " << path << "\n";
    return 2;
}

}  // namespace kantor::cli
