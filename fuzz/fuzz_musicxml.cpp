// Feeds arbitrary text to the MusicXML importer. The input's size chooses the part, the verse
// and whether repeats are followed (a score's text is left whole), so that every path of the
// import is reached.
#include <cstddef>
#include <cstdint>
#include <string>

#include "import/MusicXml.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kantor::MusicXmlOptions options;
    options.part = static_cast<int>(size % 3);
    options.verse = static_cast<int>(size / 3 % 3);
    options.repeats = size / 9 % 4 != 0;
    kantor::MusicXmlSong song;
    std::string error;
    (void)kantor::importMusicXmlText(std::string(reinterpret_cast<const char*>(data), size), "fuzz.musicxml", options,
                                     song, error);
    return 0;
}
