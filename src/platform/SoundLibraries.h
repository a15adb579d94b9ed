#pragma once
// The sound libraries this program runs on, for --version.
#include <string>

namespace kantor {

// "FluidSynth 2.3.1, PortAudio 19.6.0, ALSA 1.2.8": the versions of the libraries loaded.
std::string soundLibraryVersions();

}  // namespace kantor
