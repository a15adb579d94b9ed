#include "platform/SoundLibraries.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <portaudio.h>

namespace kantor {

std::string soundLibraryVersions() {
    // The libraries are loaded on first use: one that is missing reads "(not found)".
    auto orMissing = [](const char* v) { return std::string(v ? v : "(not found)"); };
    std::string text = "FluidSynth ";
    text += orMissing(fluid_version_str());
    const PaVersionInfo* pa = Pa_GetVersionInfo();
    text += ", PortAudio ";
    if (pa) {
        text += std::to_string(pa->versionMajor) + "." + std::to_string(pa->versionMinor) + "." +
                std::to_string(pa->versionSubMinor);
    } else {
        text += "(not found)";
    }
    text += ", ALSA ";
    text += orMissing(snd_asoundlib_version());
    return text;
}

}  // namespace kantor
