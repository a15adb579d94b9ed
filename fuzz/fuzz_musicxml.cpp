// Feeds arbitrary text to the MusicXML importer.
#include <cstddef>
#include <cstdint>
#include <string>

#include "import/MusicXml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kantor::MusicXmlSong song;
    std::string error;
    (void)kantor::importMusicXmlText(std::string(reinterpret_cast<const char*>(data), size), "fuzz.musicxml", 0, song,
                                     error);
    return 0;
}
