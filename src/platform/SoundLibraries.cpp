#include "platform/SoundLibraries.h"

#include <alsa/asoundlib.h>
#include <fluidsynth.h>
#include <portaudio.h>

namespace kantor {

std::string soundLibraryVersions() {
    std::string text = "FluidSynth ";
    text += fluid_version_str();
    const PaVersionInfo* pa = Pa_GetVersionInfo();
    text += ", PortAudio ";
    if (pa) {
        text += std::to_string(pa->versionMajor) + "." + std::to_string(pa->versionMinor) + "." +
                std::to_string(pa->versionSubMinor);
    } else {
        text += "(unknown)";
    }
    text += ", ALSA ";
    text += snd_asoundlib_version();
    return text;
}

}  // namespace kantor
