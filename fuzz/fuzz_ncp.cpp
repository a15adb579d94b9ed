// Reads arbitrary bytes as a plug-in description file. Whatever the bytes, reading must not
// crash or read past the end, every value must respect the 511-byte cut, and the labels
// must respect their 16-byte cut.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/Codepage.h"
#include "plugins/PluginDescription.h"
#include "plugins/ProfileFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    kantor::ProfileFile profile;
    profile.loadFromBytes(std::span<const uint8_t>(data, size));
    kantor::PluginDescription d;
    const int result = kantor::readPluginDescription(profile, d);
    if (result != 0 && result != 1) std::abort();
    for (const char* key : {"Name", "DllFileName", "FunctionName"}) {
        const std::string v = profile.get("PLUGININFO", key);
        if (!v.empty() && (v.back() == ' ' || v.back() == '\t')) std::abort();
    }
    for (const kantor::PluginEffect& e : d.effects) {
        if (e.name.empty()) std::abort();
        const std::string label = kantor::cutLabelText(kantor::effectEntryText(e));
        if (kantor::cp932Length(label) > 16) std::abort();
    }
    if (kantor::cp932Length(kantor::cutLabelText(d.name)) > 16) std::abort();
    return 0;
}
