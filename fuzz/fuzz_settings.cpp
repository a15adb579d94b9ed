// Reads arbitrary bytes as a settings file. Whatever the bytes, reading must not crash or
// read past the end, and what is written back must read back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    kantor::Settings settings(kantor::SettingsDefaults{"/home/u/Documents/Ardlow Software/Kantor/sample/",
                                                       "/home/u/Documents"});
    bool ok = settings.loadFromBytes(std::span<const uint8_t>(data, size));
    if (!ok && !settings.settingsMissing()) std::abort();

    // Use the accessors the program uses.
    (void)settings.outputFormat();
    (void)settings.midiDelayCorrection();
    for (int i = -1; i <= 4; ++i) (void)settings.recentFile(i);
    settings.addRecentFile("/x.uta");

    std::vector<uint8_t> first = settings.toBytes();
    kantor::Settings again;
    if (!again.loadFromBytes(first)) std::abort();
    if (again.toBytes() != first) std::abort();
    return 0;
}
