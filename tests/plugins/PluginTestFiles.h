#pragma once
// Description files and the effect libraries of the build, for the plug-in tests.
#include <string>

#include "support/TempDir.h"

namespace kantor::test {

inline std::string shippedEffect(const std::string& name) {
    return std::string(KANTOR_EFFECTS_DIR) + "/" + name + "/" + name + ".ncp";
}
inline std::string badEffect(const std::string& kind) {
    return std::string(KANTOR_TEST_EFFECTS_DIR) + "/" + kind + "/" + kind + ".ncp";
}

// A description file with the marker, a name, and the given extra lines.
inline std::string writeDescription(const TempDir& dir, const std::string& file, const std::string& name,
                                    const std::string& effects = "Effect1=1,One\n", const std::string& rest = "") {
    std::string text = "[PLUGININFO]\nPlugin=My Kantorellion Plugin\nName=" + name +
                       "\nDllFileName=lib.so\n[EFFECT]\n" + effects + rest;
    return dir.write(file, std::vector<uint8_t>(text.begin(), text.end()));
}

}  // namespace kantor::test
